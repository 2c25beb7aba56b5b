// VCapCollection: positions and keys, generated keys, snapshots and the
// variant enumerator, the two position operations of the vtable.
#include <climits>
#include <string>
#include <vector>

#include "automation/vcap_collection.h"
#include "tests/win/enumeration/com_fixture.h"

namespace lumora::test {
namespace {

class CollectionTest : public ObjectTest<IVCapCollection, CLSID_VCapCollection> {
 protected:
  ComPtr<IVCapCollection>& coll = object;

  // Item(index) as an integer value, or the failure code as a text.
  std::wstring ItemText(const VARIANT& index) {
    Var out;
    HRESULT hr = coll->get_Item(index, &out.v);
    if (FAILED(hr)) return L"hr=" + std::to_wstring(static_cast<unsigned long>(hr));
    return std::to_wstring(IntOf(out.v));
  }

  LONG Count() {
    LONG n = -1;
    EXPECT_HRESULT_SUCCEEDED(coll->get_Count(&n));
    return n;
  }

  void Add1Values(int first, int last) {
    for (int i = first; i <= last; ++i) ASSERT_EQ(coll->Add1(Var(i)), S_OK) << i;
  }

  // Every value an enumerator delivers from its current position, one at a
  // time.
  static std::vector<LONG> Drain(IEnumVARIANT* e) {
    std::vector<LONG> values;
    Var out;
    while (e->Next(1, &out.v, nullptr) == S_OK) {
      values.push_back(IntOf(out.v));
      VariantClear(&out.v);
    }
    return values;
  }

  ComPtr<IEnumVARIANT> NewEnum() {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(coll->get__NewEnum(&unknown), S_OK);
    ComPtr<IEnumVARIANT> e;
    if (unknown) {
      EXPECT_HRESULT_SUCCEEDED(unknown.As(&e));
    }
    return e;
  }
};

const std::wstring kFail = L"hr=" + std::to_wstring(static_cast<unsigned long>(E_FAIL));

TEST_F(CollectionTest, PositionsCountFromOneAndClampBelow) {
  ASSERT_EQ(coll->Add(Var(L"b"), Var(2)), S_OK);
  ASSERT_EQ(coll->Add(Var(L"a"), Var(1)), S_OK);
  ASSERT_EQ(coll->Add(Var(L"c"), Var(3)), S_OK);
  struct Row {
    int position;
    std::wstring expected;
  };
  const Row rows[] = {{0, L"1"}, {1, L"1"}, {-5, L"1"}, {INT_MIN, L"1"},
                      {2, L"2"}, {3, L"3"}, {4, kFail}, {INT_MAX, kFail}};
  for (const Row& r : rows) EXPECT_EQ(ItemText(Var(r.position)), r.expected) << r.position;
}

TEST_F(CollectionTest, EmptyCollectionHasNoItems) {
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(ItemText(Var(1)), kFail);
  EXPECT_EQ(ItemText(Var(0)), kFail);
  EXPECT_EQ(ItemText(Var(L"C_1")), kFail);
  EXPECT_EQ(coll->Remove(Var(1)), E_INVALIDARG);
  EXPECT_EQ(coll->Clear(), S_OK);
}

TEST_F(CollectionTest, NullOutPointers) {
  EXPECT_EQ(coll->get_Item(Var(1), nullptr), E_POINTER);
  EXPECT_EQ(coll->get_Count(nullptr), E_POINTER);
  EXPECT_EQ(coll->get__NewEnum(nullptr), E_POINTER);
}

TEST_F(CollectionTest, RemoveByPositionAndKey) {
  Add1Values(1, 3);
  EXPECT_EQ(coll->Remove(Var(0)), E_INVALIDARG);
  EXPECT_EQ(coll->Remove(Var(-1)), E_INVALIDARG);
  EXPECT_EQ(coll->Remove(Var(4)), E_INVALIDARG);
  EXPECT_EQ(coll->Remove(Var(L"C_9")), E_FAIL);
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(coll->Remove(Var(L"C_2")), S_OK);
  EXPECT_EQ(ItemText(Var(L"C_2")), kFail);
  EXPECT_EQ(coll->Remove(Var(1)), S_OK);  // C_1
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(ItemText(Var(1)), L"3");
}

TEST_F(CollectionTest, NumericKeyIsStoredAsText) {
  ASSERT_EQ(coll->Add(Var(5), Var(55)), S_OK);
  ASSERT_EQ(coll->Add(Var(L"a"), Var(1)), S_OK);
  EXPECT_EQ(ItemText(Var(L"5")), L"55");  // the key "5"
  EXPECT_EQ(ItemText(Var(5)), kFail);     // position 5 of two
  EXPECT_EQ(coll->Add(Var(L"5"), Var(0)), E_FAIL);
}

TEST_F(CollectionTest, DuplicateKeyKeepsTheFirstValue) {
  ASSERT_EQ(coll->Add(Var(L"k"), Var(1)), S_OK);
  EXPECT_EQ(coll->Add(Var(L"k"), Var(2)), E_FAIL);
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(ItemText(Var(L"k")), L"1");
}

TEST_F(CollectionTest, KeysAreCaseSensitive) {
  Add1Values(1, 1);
  EXPECT_EQ(ItemText(Var(L"c_1")), kFail);
  EXPECT_EQ(ItemText(Var(L"C_1")), L"1");
  ASSERT_EQ(coll->Add(Var(L"c_1"), Var(7)), S_OK);
  EXPECT_EQ(ItemText(Var(L"c_1")), L"7");
}

TEST_F(CollectionTest, UnconvertibleKeyOrIndexPassesTheConversionFailure) {
  Var null;
  null.v.vt = VT_NULL;
  VARIANT converted;
  VariantInit(&converted);
  const HRESULT expected = VariantChangeType(&converted, &null.v, 0, VT_BSTR);
  ASSERT_TRUE(FAILED(expected));
  EXPECT_EQ(coll->Add(null, Var(1)), expected);
  EXPECT_EQ(coll->Remove(null), expected);
  Var out;
  EXPECT_EQ(coll->get_Item(null, &out.v), expected);
}

TEST_F(CollectionTest, GeneratedKeysPastNineSortAsText) {
  Add1Values(1, 11);
  EXPECT_EQ(Count(), 11);
  EXPECT_EQ(ItemText(Var(2)), L"10");  // C_10 sorts before C_2
  EXPECT_EQ(ItemText(Var(L"C_11")), L"11");
  auto e = NewEnum();
  ASSERT_TRUE(e);
  EXPECT_EQ(Drain(e.Get()), (std::vector<LONG>{1, 10, 11, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(CollectionTest, GeneratedKeyAfterRemovalReplacesTheExistingEntry) {
  Add1Values(1, 3);
  ASSERT_EQ(coll->Remove(Var(1)), S_OK);
  ASSERT_EQ(coll->Add1(Var(4)), S_OK);  // key C_3 again
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(ItemText(Var(L"C_3")), L"4");
  EXPECT_EQ(ItemText(Var(L"C_2")), L"2");
}

TEST_F(CollectionTest, IndexConversions) {
  Add1Values(1, 4);
  EXPECT_EQ(ItemText(Var(2.7)), L"3");  // rounded to position 3
  EXPECT_EQ(ItemText(Var(1.2)), L"1");
  {
    ByRefText number(L"2");  // a number by reference is a position
    EXPECT_EQ(ItemText(number), L"2");
  }
  {
    ByRefText key(L"C_4");  // other text by reference is a key
    EXPECT_EQ(ItemText(key), L"4");
    EXPECT_EQ(coll->Remove(key), S_OK);
    EXPECT_EQ(Count(), 3);
  }
  EXPECT_EQ(ItemText(Var(L"2")), kFail);  // a plain string is always a key
  Var empty;                              // VT_EMPTY converts to 0
  EXPECT_EQ(ItemText(empty), L"1");
}

// Script engines pass variables by reference; the collection keeps the
// value, not a pointer into the caller's variable.
TEST_F(CollectionTest, ByReferenceValuesAreStoredByValue) {
  LONG number = 42;
  VARIANT byRef;
  VariantInit(&byRef);
  byRef.vt = VT_BYREF | VT_I4;
  byRef.plVal = &number;
  ASSERT_EQ(coll->Add1(byRef), S_OK);
  ASSERT_EQ(coll->Add(Var(L"k"), byRef), S_OK);
  number = 7;
  Var out;
  ASSERT_EQ(coll->get_Item(Var(1), &out.v), S_OK);
  EXPECT_EQ(out.v.vt, VT_I4);
  EXPECT_EQ(IntOf(out.v), 42);
  ASSERT_EQ(coll->get_Item(Var(L"k"), &out.v), S_OK);
  EXPECT_EQ(IntOf(out.v), 42);
}

// A by-reference item whose reference is null cannot be copied: it is
// stored as an error value, through the vtable and through IDispatch.
TEST_F(CollectionTest, NullReferencesAreStoredAsErrorValues) {
  VARIANT nested;
  VariantInit(&nested);
  nested.vt = VT_BYREF | VT_BSTR;
  nested.pbstrVal = nullptr;
  std::vector<VARIANT> items;
  for (int type : {int{VT_BSTR}, int{VT_I4}, int{VT_VARIANT}, int{VT_DISPATCH}, int{VT_UNKNOWN},
                   VT_ARRAY | VT_I2}) {
    VARIANT item;
    VariantInit(&item);
    item.vt = static_cast<VARTYPE>(VT_BYREF | type);
    item.byref = nullptr;
    items.push_back(item);
  }
  VARIANT inner;
  VariantInit(&inner);
  inner.vt = VT_BYREF | VT_VARIANT;
  inner.pvarVal = &nested;
  items.push_back(inner);

  for (const VARIANT& item : items) {
    SCOPED_TRACE(item.vt);
    const std::wstring generated = L"C_" + std::to_wstring(Count() + 1);
    const std::wstring key = L"k" + std::to_wstring(Count());
    ASSERT_EQ(coll->Add1(item), S_OK);
    ASSERT_EQ(coll->Add(Var(key.c_str()), item), S_OK);
    for (const std::wstring& k : {generated, key}) {
      Var out;
      ASSERT_EQ(coll->get_Item(Var(k.c_str()), &out.v), S_OK);
      EXPECT_EQ(out.v.vt, VT_ERROR);
      EXPECT_EQ(out.v.scode, E_POINTER);
    }
  }

  // The same through IDispatch, as a script engine calls it.
  ComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(coll.As(&dispatch));
  LPOLESTR name = const_cast<LPOLESTR>(L"Add1");
  DISPID add1 = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &add1), S_OK);
  for (const VARIANT& item : items) {
    VARIANT argument = item;
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(add1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                               nullptr, nullptr, nullptr),
              S_OK)
        << item.vt;
  }
  EXPECT_EQ(Count(), static_cast<LONG>(3 * items.size()));
}

TEST_F(CollectionTest, ItemReplacesTheCallersValueOnKeyLookup) {
  ASSERT_EQ(coll->Add(Var(L"k"), Var(L"value")), S_OK);
  Var out(L"previous");
  ASSERT_EQ(coll->get_Item(Var(L"k"), &out.v), S_OK);
  ASSERT_EQ(out.v.vt, VT_BSTR);
  EXPECT_EQ(Str(out.v.bstrVal), L"value");
}

TEST_F(CollectionTest, EnumeratorWalksASnapshot) {
  Add1Values(1, 3);
  auto e = NewEnum();
  ASSERT_TRUE(e);
  ASSERT_EQ(coll->Add1(Var(4)), S_OK);
  ASSERT_EQ(coll->Clear(), S_OK);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(Drain(e.Get()), (std::vector<LONG>{1, 2, 3}));
  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(Drain(e.Get()), (std::vector<LONG>{1, 2, 3}));
}

TEST_F(CollectionTest, NextReportsShortBatches) {
  Add1Values(1, 3);
  auto e = NewEnum();
  ASSERT_TRUE(e);
  VARIANT batch[3];
  ULONG fetched = 99;
  ASSERT_EQ(e->Next(1, batch, &fetched), S_OK);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(IntOf(batch[0]), 1);
  VariantClear(&batch[0]);

  EXPECT_EQ(e->Next(3, batch, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(IntOf(batch[0]), 2);
  EXPECT_EQ(IntOf(batch[1]), 3);
  VariantClear(&batch[0]);
  VariantClear(&batch[1]);

  EXPECT_EQ(e->Next(1, batch, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(e->Next(0, batch, &fetched), S_OK);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
  EXPECT_EQ(e->Next(2, batch, nullptr), E_POINTER);
}

TEST_F(CollectionTest, SkipResetAndClone) {
  Add1Values(1, 4);
  auto e = NewEnum();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Skip(0), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  ComPtr<IEnumVARIANT> clone;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(e->Clone(nullptr), E_POINTER);
  EXPECT_EQ(Drain(clone.Get()), (std::vector<LONG>{3, 4}));
  EXPECT_EQ(e->Skip(5), S_FALSE);  // 3, 4 and then the end
  EXPECT_EQ(Drain(e.Get()), std::vector<LONG>{});
  e.Reset();
  ASSERT_EQ(clone->Reset(), S_OK);  // the clone outlives its origin
  EXPECT_EQ(Drain(clone.Get()), (std::vector<LONG>{1, 2, 3, 4}));
}

TEST_F(CollectionTest, EnumeratorAnswersItsInterfacesOnly) {
  Add1Values(1, 1);
  auto e = NewEnum();
  ASSERT_TRUE(e);
  ComPtr<IDispatch> dispatch;
  EXPECT_EQ(e.As(&dispatch), E_NOINTERFACE);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(e.As(&unknown), S_OK);
}

// The enumerator through IDispatch in every call form a script engine uses:
// a method (JScript's Enumerator), a property read, and both at once
// (VBScript's For Each).
TEST_F(CollectionTest, NewEnumThroughDispatchAnswersMethodAndPropertyForms) {
  Add1Values(1, 3);
  ComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(coll.As(&dispatch));
  for (WORD flags : {WORD{DISPATCH_METHOD}, WORD{DISPATCH_PROPERTYGET},
                     WORD{DISPATCH_METHOD | DISPATCH_PROPERTYGET}}) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Var result;
    ASSERT_EQ(
        dispatch->Invoke(DISPID_NEWENUM, IID_NULL, 0, flags, &none, &result.v, nullptr, nullptr),
        S_OK)
        << flags;
    ASSERT_EQ(result.v.vt, VT_UNKNOWN) << flags;
    ComPtr<IEnumVARIANT> e;
    ASSERT_HRESULT_SUCCEEDED(result.v.punkVal->QueryInterface(IID_PPV_ARGS(&e)));
    EXPECT_EQ(Drain(e.Get()), (std::vector<LONG>{1, 2, 3})) << flags;
  }
}

TEST_F(CollectionTest, NewEnumThroughDispatchRefusesArgumentsAndWrites) {
  ComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(coll.As(&dispatch));
  Var argument(1);
  DISPPARAMS one = {&argument.v, nullptr, 1, 0};
  Var result;
  EXPECT_EQ(dispatch->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD, &one, &result.v, nullptr,
                             nullptr),
            DISP_E_BADPARAMCOUNT);
  DISPID named = 0;
  DISPPARAMS withName = {&argument.v, &named, 1, 1};
  EXPECT_EQ(dispatch->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_PROPERTYGET, &withName,
                             &result.v, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  EXPECT_EQ(result.v.vt, VT_EMPTY);
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS put = {&argument.v, &putId, 1, 1};
  EXPECT_TRUE(FAILED(dispatch->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put,
                                      nullptr, nullptr, nullptr)));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(dispatch->Invoke(DISPID_NEWENUM, IID_IDispatch, 0, DISPATCH_METHOD, &none, &result.v,
                             nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  // The method form without a place for the result is a call whose result is
  // dropped.
  EXPECT_EQ(dispatch->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                             nullptr),
            S_OK);
}

TEST_F(CollectionTest, PositionOperationsOfTheVtable) {
  Add1Values(1, 3);
  auto* ops = static_cast<VCapCollectionVtbl*>(coll.Get());
  Var out;
  EXPECT_EQ(ops->ItemAt(1, nullptr), E_POINTER);
  ASSERT_EQ(ops->ItemAt(-3, &out.v), S_OK);
  EXPECT_EQ(IntOf(out.v), 1);
  ASSERT_EQ(ops->ItemAt(3, &out.v), S_OK);
  EXPECT_EQ(IntOf(out.v), 3);
  EXPECT_EQ(ops->ItemAt(4, &out.v), E_FAIL);
  EXPECT_EQ(ops->RemoveAt(0), E_INVALIDARG);
  EXPECT_EQ(ops->RemoveAt(4), E_INVALIDARG);
  EXPECT_EQ(ops->RemoveAt(2), S_OK);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(ItemText(Var(L"C_2")), kFail);
}

TEST_F(CollectionTest, ObjectValuesAreReferencedByEntriesAndSnapshots) {
  CountedObject a, b;
  ASSERT_EQ(coll->Add1(Var(&a)), S_OK);
  ASSERT_EQ(coll->Add(Var(L"b"), Var(&b)), S_OK);
  EXPECT_EQ(a.refs, 2);
  {
    Var out;
    ASSERT_EQ(coll->get_Item(Var(L"C_1"), &out.v), S_OK);
    EXPECT_EQ(out.v.vt, VT_DISPATCH);
    EXPECT_EQ(a.refs, 3);
  }
  EXPECT_EQ(a.refs, 2);

  auto e = NewEnum();
  ASSERT_TRUE(e);
  EXPECT_EQ(a.refs, 3);  // the snapshot's copy
  ASSERT_EQ(coll->Remove(Var(L"C_1")), S_OK);
  EXPECT_EQ(a.refs, 2);
  e.Reset();
  EXPECT_EQ(a.refs, 1);

  coll.Reset();  // destroying the collection releases its values
  EXPECT_EQ(b.refs, 1);
}

// Every collection, snapshot and enumerator keeps the library loaded.
TEST(CollectionLifetime, SnapshotsAndEnumeratorsHoldTheModule) {
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(WINAPI*)();
  auto get = LumoraExport<GetClassObject>("DllGetClassObject");
  auto canUnload = LumoraExport<CanUnloadNow>("DllCanUnloadNow");
  ASSERT_TRUE(get && canUnload);
  ComPtr<IVCapCollection> coll;
  {
    ComPtr<IClassFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(get(CLSID_VCapCollection, IID_IClassFactory, &factory));
    ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&coll)));
  }
  ASSERT_EQ(canUnload(), S_FALSE);
  ASSERT_EQ(coll->Add1(Var(1)), S_OK);
  ComPtr<IUnknown> e;
  ASSERT_EQ(coll->get__NewEnum(&e), S_OK);
  coll.Reset();
  EXPECT_EQ(canUnload(), S_FALSE);
  e.Reset();
  EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
}  // namespace lumora::test
