// com::SnapshotEnumerator and its IEnumVARIANT form: what a client of
// an IEnumXXX sees (order, counts, failures that hand out nothing, clones
// with their own position) and what the enumerator holds (its keeper, its
// member, the module lock).
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "com/enumerator.h"

namespace lumora::com {
namespace {

using Microsoft::WRL::ComPtr;

// An object that only counts its references (never deleted: it lives on
// the test's stack).
class Counted : public IUnknown {
 public:
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = riid == IID_IUnknown ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
  LONG refs = 0;
};

enum class Failure { kNone, kResult, kThrowMemory, kThrowOther };

struct Entry {
  IUnknown* object;
  Failure failure;
};

int g_members = 0;  // enumerators alive, counted by their Member

struct Traits : EnumTraits {
  using Interface = IEnumUnknown;
  using Entry = com::Entry;
  using Item = IUnknown*;
  struct Member {
    Member() { ++g_members; }
    ~Member() { --g_members; }
  };
  static const IID& Iid() { return IID_IEnumUnknown; }
  static HRESULT Copy(const Entry& entry, Item* item) {
    switch (entry.failure) {
      case Failure::kResult: return E_ACCESSDENIED;
      case Failure::kThrowMemory: throw std::bad_alloc();
      case Failure::kThrowOther: throw std::runtime_error("copy");
      case Failure::kNone: break;
    }
    *item = entry.object;
    entry.object->AddRef();
    return S_OK;
  }
  static void Free(Item* item) { (*item)->Release(); }
};

struct InvalidArgTraits : Traits {
  static constexpr HRESULT kUncounted = E_INVALIDARG;
};

class SnapshotEnumeratorTest : public ::testing::Test {
 protected:
  template <class T = Traits>
  ComPtr<IEnumUnknown> Make(std::vector<Entry> entries, ComPtr<IUnknown> keeper = nullptr) {
    ComPtr<IEnumUnknown> e;
    EXPECT_EQ(CreateSnapshotEnumerator<T>(std::make_shared<const std::vector<Entry>>(entries),
                                          IID_PPV_ARGS(&e), keeper),
              S_OK);
    return e;
  }
  // The next item, released again: which object stood there (null at the end).
  static IUnknown* NextOne(IEnumUnknown* e) {
    IUnknown* item = nullptr;
    if (e->Next(1, &item, nullptr) != S_OK) return nullptr;
    item->Release();
    return item;
  }

  Counted a, b, c;
};

TEST_F(SnapshotEnumeratorTest, HandsOutEntriesInOrderWithTheirCount) {
  auto e = Make({{&a, Failure::kNone}, {&b, Failure::kNone}, {&c, Failure::kNone}});
  IUnknown* items[3] = {};
  ULONG fetched = 99;
  ASSERT_EQ(e->Next(2, items, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(items[0], &a);
  EXPECT_EQ(items[1], &b);
  EXPECT_EQ(a.refs, 1) << "each item handed out carries a reference";
  EXPECT_EQ(e->Next(2, items + 2, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(items[2], &c);
  EXPECT_EQ(e->Next(1, items, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(e->Next(0, items, &fetched), S_OK);
  for (IUnknown* item : items) item->Release();
  EXPECT_EQ(a.refs + b.refs + c.refs, 0);
}

TEST_F(SnapshotEnumeratorTest, AFailingNextHandsOutNothingAndConsumesNothing) {
  for (Failure failure : {Failure::kResult, Failure::kThrowMemory, Failure::kThrowOther}) {
    auto e = Make({{&a, Failure::kNone}, {&b, Failure::kNone}, {&c, failure}});
    IUnknown* items[3] = {};
    ULONG fetched = 99;
    HRESULT expected = failure == Failure::kResult        ? E_ACCESSDENIED
                       : failure == Failure::kThrowMemory ? E_OUTOFMEMORY
                                                          : E_FAIL;
    EXPECT_EQ(e->Next(3, items, &fetched), expected);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(a.refs, 0) << "the items copied before the failure are taken back";
    EXPECT_EQ(b.refs, 0);
    EXPECT_EQ(NextOne(e.Get()), &a) << "the position did not move";
  }
}

TEST_F(SnapshotEnumeratorTest, SkipResetAndClonesKeepTheirOwnPosition) {
  auto e = Make({{&a, Failure::kNone}, {&b, Failure::kNone}, {&c, Failure::kNone}});
  EXPECT_EQ(e->Skip(1), S_OK);
  ComPtr<IEnumUnknown> clone;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(NextOne(clone.Get()), &b) << "a clone starts where the original stood";
  EXPECT_EQ(NextOne(clone.Get()), &c);
  EXPECT_EQ(NextOne(e.Get()), &b) << "the original keeps its own position";
  EXPECT_EQ(e->Skip(5), S_FALSE);
  EXPECT_EQ(NextOne(e.Get()), nullptr);
  EXPECT_EQ(e->Skip(0), S_OK);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(NextOne(e.Get()), &a);
  EXPECT_EQ(e->Clone(nullptr), E_POINTER);
}

TEST_F(SnapshotEnumeratorTest, RefusesMissingPointers) {
  auto e = Make({{&a, Failure::kNone}, {&b, Failure::kNone}});
  IUnknown* items[2] = {};
  ULONG fetched = 99;
  EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
  EXPECT_EQ(fetched, 0u) << "the count is written on failure too";
  EXPECT_EQ(e->Next(2, items, nullptr), E_POINTER) << "several items need a count";
  EXPECT_EQ(a.refs, 0);
  auto strict = Make<InvalidArgTraits>({{&a, Failure::kNone}, {&b, Failure::kNone}});
  EXPECT_EQ(strict->Next(2, items, nullptr), E_INVALIDARG) << "a kind may answer otherwise";
  EXPECT_EQ(NextOne(e.Get()), &a) << "a refused call consumes nothing";

  ComPtr<IEnumUnknown> none;
  EXPECT_EQ(CreateSnapshotEnumerator<Traits>(nullptr, IID_PPV_ARGS(&none)), E_INVALIDARG);
  EXPECT_EQ(none, nullptr);
  auto entries = std::make_shared<const std::vector<Entry>>();
  EXPECT_EQ(CreateSnapshotEnumerator<Traits>(entries, IID_IEnumUnknown, nullptr), E_POINTER);
  EXPECT_EQ(CreateSnapshotEnumerator<Traits>(entries, IID_IEnumVARIANT,
                                             reinterpret_cast<void**>(none.GetAddressOf())),
            E_NOINTERFACE);
}

TEST_F(SnapshotEnumeratorTest, EveryCloneHoldsTheKeeperTheMemberAndTheModule) {
  Counted keeper;
  const LONG locks = ModuleLockCount();
  {
    auto e = Make({{&a, Failure::kNone}}, ComPtr<IUnknown>(&keeper));
    EXPECT_EQ(keeper.refs, 1);
    EXPECT_EQ(g_members, 1);
    ComPtr<IEnumUnknown> clone;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    EXPECT_EQ(keeper.refs, 2);
    EXPECT_EQ(g_members, 2);
    EXPECT_EQ(ModuleLockCount(), locks + 2);
    e.Reset();
    EXPECT_EQ(keeper.refs, 1) << "the clone outlives its original";
    EXPECT_EQ(NextOne(clone.Get()), &a);
  }
  EXPECT_EQ(keeper.refs, 0);
  EXPECT_EQ(g_members, 0);
  EXPECT_EQ(ModuleLockCount(), locks);
}

TEST(VariantEnumerator, HandsOutCopiesTheCallerOwns) {
  std::vector<Variant> values(2);
  values[0].Get()->vt = VT_BSTR;
  values[0].Get()->bstrVal = SysAllocString(L"Philips");
  values[1].Get()->vt = VT_I4;
  values[1].Get()->lVal = 7;
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(CreateSnapshotEnumerator<VariantEnumTraits>(std::move(values), IID_PPV_ARGS(&unknown)),
            S_OK);
  ComPtr<IEnumVARIANT> e;
  ASSERT_EQ(unknown.As(&e), S_OK);

  // A caller that writes into and frees what it got leaves the snapshot
  // as it was: every pass reads the original values.
  for (int pass = 0; pass < 2; ++pass) {
    Variant items[2];
    VARIANT raw[2];
    ULONG fetched = 0;
    ASSERT_EQ(e->Next(2, raw, &fetched), S_OK);
    ASSERT_EQ(fetched, 2u);
    for (int i = 0; i < 2; ++i) *items[i].Receive() = raw[i];
    ASSERT_EQ(items[0].Get()->vt, VT_BSTR);
    EXPECT_STREQ(items[0].Get()->bstrVal, L"Philips") << "pass " << pass;
    items[0].Get()->bstrVal[0] = L'X';
    ASSERT_EQ(items[1].Get()->vt, VT_I4);
    EXPECT_EQ(items[1].Get()->lVal, 7);
    EXPECT_EQ(e->Next(1, raw, nullptr), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
  }
}

}  // namespace
}  // namespace lumora::com
