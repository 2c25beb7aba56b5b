// The server entry points of Lumora.dll as a client sees them: class
// objects, aggregation, QueryInterface of the five classes, IDispatch from
// the embedded type library, and the unload rule.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "lumora_idl.h"

using Microsoft::WRL::ComPtr;

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

class Server : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    module_ = LoadLibraryW(L"Lumora.dll");
    ASSERT_NE(module_, nullptr) << GetLastError();
    getClassObject_ = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnloadNow_, nullptr);
  }
  static void TearDownTestSuite() {
    FreeLibrary(module_);
    CoUninitialize();
  }

  void SetUp() override {
    if (!module_ || !getClassObject_ || !canUnloadNow_) GTEST_SKIP() << "library not loaded";
    // Every test starts and must end with nothing of the library alive.
    ASSERT_EQ(canUnloadNow_(), S_OK);
  }
  void TearDown() override { EXPECT_EQ(canUnloadNow_(), S_OK) << "a test leaked a lock"; }

  static ComPtr<IClassFactory> Factory(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject_(clsid, IID_IClassFactory, &factory), S_OK);
    return factory;
  }

  // A new object of the class, made by its class object, asked for iid.
  template <class I>
  static void Create(REFCLSID clsid, REFIID iid, ComPtr<I>& object) {
    ComPtr<IClassFactory> factory = Factory(clsid);
    ASSERT_TRUE(factory);
    ASSERT_EQ(factory->CreateInstance(nullptr, iid,
                                      reinterpret_cast<void**>(object.ReleaseAndGetAddressOf())),
              S_OK);
  }

  static HMODULE module_;
  static GetClassObjectFn getClassObject_;
  static CanUnloadNowFn canUnloadNow_;
};

HMODULE Server::module_ = nullptr;
GetClassObjectFn Server::getClassObject_ = nullptr;
CanUnloadNowFn Server::canUnloadNow_ = nullptr;

// The five classes: identifier, dual interface, and whether the class is
// also a connection-point container.
struct ClassRow {
  const char* name;
  const CLSID* clsid;
  const IID* iid;
  bool connectionPoints;
};

const ClassRow kClasses[] = {
    {"VCapCollection", &CLSID_VCapCollection, &IID_IVCapCollection, false},
    {"VCapFilter", &CLSID_VCapFilter, &IID_IVCapFilter, false},
    {"DVidCapCtrl", &CLSID_DVidCapCtrl, &IID_IDVidCapCtrl, true},
    {"VCapFilterEnum", &CLSID_VCapFilterEnum, &IID_IVCapFilterEnum, false},
    {"LumoraCOM", &CLSID_LumoraCOM, &IID_ILumoraCOM, false},
};

// An outer object for aggregation: counts its references, answers
// IUnknown itself and hands every other interface to the inner object.
class Outer final : public IUnknown {
 public:
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    if (!inner) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return inner->QueryInterface(riid, ppv);
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }

  LONG refs = 1;
  ComPtr<IUnknown> inner;
};

TEST_F(Server, NullOutPointerIsRefused) {
  EXPECT_EQ(getClassObject_(CLSID_LumoraCOM, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(Server, UnknownIdentifiersAreNotClasses) {
  const GUID* notClasses[] = {&DIID__IDVidCapCtrlEvents, &LIBID_LUMORALib, &IID_ILumoraCOM,
                              &GUID_NULL};
  for (const GUID* id : notClasses) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(*id, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
  }
}

TEST_F(Server, ClassObjectsAreCachedPerClass) {
  IUnknown* seen[std::size(kClasses)] = {};
  for (size_t i = 0; i < std::size(kClasses); ++i) {
    SCOPED_TRACE(kClasses[i].name);
    ComPtr<IUnknown> first, second;
    ASSERT_EQ(getClassObject_(*kClasses[i].clsid, IID_IUnknown, &first), S_OK);
    ASSERT_EQ(getClassObject_(*kClasses[i].clsid, IID_IClassFactory, &second), S_OK);
    ComPtr<IUnknown> secondIdentity;
    ASSERT_EQ(second.As(&secondIdentity), S_OK);
    EXPECT_EQ(first.Get(), secondIdentity.Get());
    for (size_t j = 0; j < i; ++j)
      EXPECT_NE(seen[j], first.Get()) << "shared with " << kClasses[j].name;
    seen[i] = first.Get();
  }
}

TEST_F(Server, ClassObjectAnswersOnlyIUnknownAndIClassFactory) {
  for (const ClassRow& row : kClasses) {
    SCOPED_TRACE(row.name);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(*row.clsid, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(getClassObject_(*row.clsid, IID_IClassFactory2, &out), E_NOINTERFACE);
  }
}

TEST_F(Server, CreateInstanceArgumentRules) {
  for (const ClassRow& row : kClasses) {
    SCOPED_TRACE(row.name);
    ComPtr<IClassFactory> factory = Factory(*row.clsid);
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory->CreateInstance(nullptr, *row.iid, nullptr), E_POINTER);

    Outer outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, *row.iid, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(outer.refs, 1);

    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
}

TEST_F(Server, QueryInterfaceAnswersTheClassInterfaces) {
  for (const ClassRow& row : kClasses) {
    SCOPED_TRACE(row.name);
    ComPtr<IUnknown> object;
    ASSERT_NO_FATAL_FAILURE(Create(*row.clsid, IID_IUnknown, object));

    ComPtr<IUnknown> dual, dispatch, container, other;
    ASSERT_EQ(object->QueryInterface(*row.iid, &dual), S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, &dispatch), S_OK);
    EXPECT_EQ(dual.Get(), dispatch.Get()) << "IDispatch is the dual interface";
    EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, &container),
              row.connectionPoints ? S_OK : E_NOINTERFACE);
    for (const IID* absent :
         {&IID_IProvideClassInfo, &IID_IPersist, &IID_IClassFactory, &IID_ISupportErrorInfo}) {
      EXPECT_EQ(object->QueryInterface(*absent, &other), E_NOINTERFACE);
      EXPECT_EQ(other, nullptr);
    }
    // Every interface leads back to the same identity.
    for (const ComPtr<IUnknown>& part : {dual, container}) {
      if (!part) continue;
      ComPtr<IUnknown> identity;
      ASSERT_EQ(part->QueryInterface(IID_IUnknown, &identity), S_OK);
      EXPECT_EQ(identity.Get(), object.Get());
    }
  }
}

TEST_F(Server, AggregatedInstanceDelegatesToTheOuterObject) {
  for (const ClassRow& row : kClasses) {
    SCOPED_TRACE(row.name);
    ComPtr<IClassFactory> factory = Factory(*row.clsid);
    ASSERT_TRUE(factory);
    Outer outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &outer.inner), S_OK);
    EXPECT_EQ(outer.refs, 1) << "the inner object holds no reference on the outer one";

    ComPtr<IUnknown> dual;
    ASSERT_EQ(outer.inner->QueryInterface(*row.iid, &dual), S_OK);
    EXPECT_EQ(outer.refs, 2) << "references to inner interfaces count on the outer object";
    ComPtr<IUnknown> identity;
    ASSERT_EQ(dual->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    identity.Reset();
    dual.Reset();
    EXPECT_EQ(outer.refs, 1);

    // The inner unknown answers IUnknown with itself, not the outer object.
    ComPtr<IUnknown> innerSelf;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, &innerSelf), S_OK);
    EXPECT_EQ(innerSelf.Get(), outer.inner.Get());
    innerSelf.Reset();

    factory.Reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "an aggregated instance locks the module";
    outer.inner.Reset();
  }
}

TEST_F(Server, DispatchComesFromTheTypeLibrary) {
  struct Member {
    const ClassRow* row;
    const wchar_t* name;
    DISPID id;
  };
  const Member members[] = {
      {&kClasses[0], L"Count", 1},         {&kClasses[0], L"Item", DISPID_VALUE},
      {&kClasses[1], L"DeviceVidPid", 7},  {&kClasses[2], L"GetLagtime", 16},
      {&kClasses[2], L"CaptureFilter", 0}, {&kClasses[3], L"DeviceCatClsid", 2},
      {&kClasses[4], L"CamChipset", 9},    {&kClasses[4], L"EnumCams", 1},
  };
  for (const Member& member : members) {
    SCOPED_TRACE(member.row->name);
    ComPtr<IDispatch> dispatch;
    ASSERT_NO_FATAL_FAILURE(Create(*member.row->clsid, IID_IDispatch, dispatch));

    UINT count = 0;
    ASSERT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    // DVidCapCtrl, VCapFilter, VCapFilterEnum and LumoraCOM serve their
    // IDispatch from their newest interface, which extends the default one.
    const GUID& served = member.row->clsid == &CLSID_DVidCapCtrl      ? IID_IDVidCapCtrl3
                         : member.row->clsid == &CLSID_VCapFilter     ? IID_IVCapFilter2
                         : member.row->clsid == &CLSID_VCapFilterEnum ? IID_IVCapFilterEnum2
                         : member.row->clsid == &CLSID_LumoraCOM      ? IID_ILumoraCOM4
                                                                      : *member.row->iid;
    EXPECT_TRUE(IsEqualGUID(attr->guid, served));
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);

    LPOLESTR name = const_cast<LPOLESTR>(member.name);
    DISPID id = -99;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << "name lookup";
    EXPECT_EQ(id, member.id);
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
  }
}

// Names, identifiers and arguments a caller hands to IDispatch are checked
// before the type library's dispatch code sees them, on every class.
TEST_F(Server, DispatchRefusesMissingArraysOnEveryClass) {
  for (const ClassRow& row : kClasses) {
    SCOPED_TRACE(row.name);
    ComPtr<IDispatch> dispatch;
    ASSERT_NO_FATAL_FAILURE(Create(*row.clsid, IID_IDispatch, dispatch));
    LPOLESTR nullName = nullptr;
    DISPID id = -99;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_POINTER);
    LPOLESTR name = const_cast<LPOLESTR>(L"NoSuchMember");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr), E_POINTER);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &nullName, 1, 0, &id), E_POINTER);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 0, 0, &id), E_INVALIDARG);
    EXPECT_EQ(id, -99);

    DISPPARAMS noArgs{nullptr, nullptr, 3, 0};
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &noArgs, nullptr, nullptr, nullptr),
              E_INVALIDARG);
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    DISPPARAMS noNames{args, nullptr, 2, 1};
    EXPECT_EQ(
        dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &noNames, nullptr, nullptr, nullptr),
        E_INVALIDARG);
    DISPID named[2] = {0, 1};
    DISPPARAMS moreNamesThanArgs{args, named, 1, 2};
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &moreNamesThanArgs, nullptr,
                               nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(
        dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr),
        E_INVALIDARG);
  }
}

TEST_F(Server, InvokeReachesTheInterfaceMember) {
  // IDVidCapCtrl::GetLagtime answers S_OK with no filter attached: a call
  // through IDispatch::Invoke must arrive at the member.
  ComPtr<IDispatch> dispatch;
  ASSERT_NO_FATAL_FAILURE(Create(CLSID_DVidCapCtrl, IID_IDispatch, dispatch));
  ComPtr<IDVidCapCtrl> direct;
  ASSERT_EQ(dispatch.As(&direct), S_OK);
  LONG lag[4] = {-1, -1, -1, -1};
  HRESULT expected = direct->GetLagtime(0, &lag[0], &lag[1], &lag[2], &lag[3]);

  VARIANT args[5];
  for (int i = 0; i < 4; ++i) {
    args[i].vt = VT_I4 | VT_BYREF;
    args[i].plVal = &lag[i];
  }
  args[4].vt = VT_I4;
  args[4].lVal = 0;
  DISPPARAMS params{args, nullptr, 5, 0};
  HRESULT hr =
      dispatch->Invoke(16, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  if (SUCCEEDED(expected)) {
    EXPECT_EQ(hr, S_OK);
  } else {
    EXPECT_NE(hr, DISP_E_MEMBERNOTFOUND);
  }
  EXPECT_EQ(
      dispatch->Invoke(16, IID_IDispatch, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
      DISP_E_UNKNOWNINTERFACE);
}

TEST_F(Server, LiveInstancesAndServerLocksKeepTheLibraryLoaded) {
  for (const ClassRow& row : kClasses) {
    SCOPED_TRACE(row.name);
    ComPtr<IClassFactory> factory = Factory(*row.clsid);
    ASSERT_TRUE(factory);
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "an outside reference to a class object";

    ComPtr<IUnknown> instance;
    ASSERT_EQ(factory->CreateInstance(nullptr, *row.iid, &instance), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "instance and server lock";
    instance.Reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "server lock";

    factory = Factory(*row.clsid);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "an outside reference to a class object";
    factory.Reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);
  }
}

TEST_F(Server, InstanceOutlivingItsClassObjectKeepsTheLock) {
  ComPtr<ILumoraCOM> instance;
  {
    ComPtr<IClassFactory> factory = Factory(CLSID_LumoraCOM);
    ASSERT_TRUE(factory);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILumoraCOM, &instance), S_OK);
  }
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  ComPtr<ILumoraCOM> second = instance;
  instance.Reset();
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  second.Reset();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

// The module's lock count is changed from any thread: many threads creating
// and releasing instances of every class, locking and unlocking the server
// and taking and dropping class objects, end with the count back at zero.
TEST_F(Server, LockCountIsBalancedAcrossThreads) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 20000;
  std::vector<ComPtr<IClassFactory>> factories;
  for (const ClassRow& row : kClasses) factories.push_back(Factory(*row.clsid));
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
      for (int i = 0; i < kRounds; ++i) {
        IClassFactory* factory = factories[static_cast<size_t>(t + i) % factories.size()].Get();
        IUnknown* instance = nullptr;
        if (factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&instance)) !=
                S_OK ||
            !instance) {
          ++failures;
          continue;
        }
        factory->LockServer(TRUE);
        factory->AddRef();
        instance->Release();
        factory->Release();
        factory->LockServer(FALSE);
      }
      if (com) CoUninitialize();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the test still holds the class objects";
  factories.clear();
  EXPECT_EQ(canUnloadNow_(), S_OK) << "a lock was lost or counted twice";
}

}  // namespace
