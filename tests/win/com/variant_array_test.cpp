// com::VariantArray: the arrays the script-friendly members hand out, read
// back the way script hosts read them (bounds, element types, SafeArrayGetElement).
#include <gtest/gtest.h>

#include "com/variant_array.h"

namespace lumora::com {
namespace {

// Element i of a handed-out array, copied.
Variant ElementOf(const VARIANT& list, LONG i) {
  Variant element;
  EXPECT_EQ(SafeArrayGetElement(list.parray, &i, element.Get()), S_OK) << i;
  return element;
}

TEST(VariantArray, HandsOutAZeroBasedArrayOfVariants) {
  VariantArray list;
  ASSERT_EQ(list.Create(3), S_OK);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.PutLong(0, -7), S_OK);
  EXPECT_EQ(list.PutString(1, Bstr(L"Philips")), S_OK);
  // Element 2 stays empty.
  Variant out;
  ASSERT_EQ(list.Detach(out.Get()), S_OK);
  EXPECT_EQ(list.Count(), 0u);

  ASSERT_EQ(out.Get()->vt, VT_ARRAY | VT_VARIANT);
  SAFEARRAY* array = out.Get()->parray;
  ASSERT_EQ(SafeArrayGetDim(array), 1u);
  LONG lower = -1, upper = -1;
  ASSERT_EQ(SafeArrayGetLBound(array, 1, &lower), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, 2);
  VARTYPE type = VT_EMPTY;
  ASSERT_EQ(SafeArrayGetVartype(array, &type), S_OK);
  EXPECT_EQ(type, VT_VARIANT);

  Variant first = ElementOf(*out.Get(), 0);
  ASSERT_EQ(first.Get()->vt, VT_I4);
  EXPECT_EQ(first.Get()->lVal, -7);
  Variant second = ElementOf(*out.Get(), 1);
  ASSERT_EQ(second.Get()->vt, VT_BSTR);
  EXPECT_STREQ(second.Get()->bstrVal, L"Philips");
  EXPECT_EQ(ElementOf(*out.Get(), 2).Get()->vt, VT_EMPTY);
}

TEST(VariantArray, ReplacingAnElementKeepsTheLastValue) {
  VariantArray list;
  ASSERT_EQ(list.Create(1), S_OK);
  ASSERT_EQ(list.PutString(0, Bstr(L"first")), S_OK);
  ASSERT_EQ(list.PutLong(0, 5), S_OK);
  Variant out;
  ASSERT_EQ(list.Detach(out.Get()), S_OK);
  Variant element = ElementOf(*out.Get(), 0);
  ASSERT_EQ(element.Get()->vt, VT_I4);
  EXPECT_EQ(element.Get()->lVal, 5);
}

TEST(VariantArray, RefusesIndicesOutsideTheArrayAndMissingArrays) {
  VariantArray none;
  EXPECT_EQ(none.PutLong(0, 1), E_INVALIDARG);
  Variant untouched;
  EXPECT_EQ(none.Detach(untouched.Get()), E_UNEXPECTED);
  EXPECT_EQ(untouched.Get()->vt, VT_EMPTY);

  VariantArray list;
  ASSERT_EQ(list.Create(2), S_OK);
  EXPECT_EQ(list.PutLong(2, 1), E_INVALIDARG);
  EXPECT_EQ(list.PutLong(0xFFFFFFFFu, 1), E_INVALIDARG);
  EXPECT_EQ(list.Detach(nullptr), E_POINTER);
  EXPECT_EQ(list.Count(), 2u);  // still owned here
}

TEST(VariantArray, AnEmptyArrayHasNoElements) {
  VariantArray list;
  ASSERT_EQ(list.Create(0), S_OK);
  Variant out;
  ASSERT_EQ(list.Detach(out.Get()), S_OK);
  LONG lower = -1, upper = 99;
  ASSERT_EQ(SafeArrayGetLBound(out.Get()->parray, 1, &lower), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(out.Get()->parray, 1, &upper), S_OK);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, -1);
}

}  // namespace
}  // namespace lumora::com
