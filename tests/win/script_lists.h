// Reading back the arrays of VARIANTs the script-friendly members hand out,
// checked for the shape script hosts need: VT_ARRAY | VT_VARIANT, one
// dimension, lower bound 0.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "com/raii.h"

namespace lumora::test {

inline std::vector<com::Variant> ListElements(const VARIANT& list) {
  std::vector<com::Variant> out;
  EXPECT_EQ(list.vt, VT_ARRAY | VT_VARIANT);
  if (list.vt != (VT_ARRAY | VT_VARIANT)) return out;
  EXPECT_EQ(SafeArrayGetDim(list.parray), 1u);
  LONG lower = -1, upper = -2;
  EXPECT_HRESULT_SUCCEEDED(SafeArrayGetLBound(list.parray, 1, &lower));
  EXPECT_HRESULT_SUCCEEDED(SafeArrayGetUBound(list.parray, 1, &upper));
  EXPECT_EQ(lower, 0);
  for (LONG i = lower; i <= upper; ++i) {
    com::Variant element;
    EXPECT_HRESULT_SUCCEEDED(SafeArrayGetElement(list.parray, &i, element.Get()));
    out.push_back(std::move(element));
  }
  return out;
}

// The elements as longs (-999 for an element of another type).
inline std::vector<LONG> ListLongs(const VARIANT& list) {
  std::vector<LONG> out;
  for (const com::Variant& element : ListElements(list)) {
    EXPECT_EQ(element.Get()->vt, VT_I4);
    out.push_back(element.Get()->vt == VT_I4 ? element.Get()->lVal : -999);
  }
  return out;
}

// The elements as texts ("?" for an element of another type).
inline std::vector<std::wstring> ListTexts(const VARIANT& list) {
  std::vector<std::wstring> out;
  for (const com::Variant& element : ListElements(list)) {
    EXPECT_EQ(element.Get()->vt, VT_BSTR);
    const BSTR text = element.Get()->vt == VT_BSTR ? element.Get()->bstrVal : nullptr;
    out.push_back(text ? std::wstring(text, SysStringLen(text)) : L"?");
  }
  return out;
}

// A range list held against the typed range it mirrors (typed: that
// range's result): after a failure the list is VT_EMPTY; else it holds
// minimum, maximum and step and, where the object reports one (defaultOf
// succeeds), the default. Answers whether the typed range succeeded.
template <class DefaultOf>
bool ExpectRangeList(HRESULT typed, const VARIANT& list, std::vector<LONG> expected,
                     DefaultOf defaultOf) {
  if (FAILED(typed)) {
    EXPECT_EQ(list.vt, VT_EMPTY);
    return false;
  }
  LONG reported = 0;
  if (SUCCEEDED(defaultOf(&reported))) expected.push_back(reported);
  EXPECT_EQ(ListLongs(list), expected);
  return true;
}

}  // namespace lumora::test
