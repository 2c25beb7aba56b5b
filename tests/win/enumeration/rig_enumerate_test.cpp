// EnumerateFilter over the simulated device rig: which devices are taken,
// their numbering and what their descriptors hold.
#include <strmif.h>
#include <uuids.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"
#include "tests/win/enumeration/com_fixture.h"

namespace lumora::test {
namespace {

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class RigEnumerateTest : public EnumerationTest {
 protected:
  void SetUp() override {
    EnumerationTest::SetUp();
    ASSERT_EQ(sim::InstallRig(&cookie_), S_OK);
    ASSERT_HRESULT_SUCCEEDED(
        CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&fe)));
  }
  void TearDown() override {
    fe.Reset();
    sim::RevokeRig(cookie_);
    _putenv("LUMORA_SIM_DEVICES=");
    sim::ReloadRigDevices();
    EnumerationTest::TearDown();
  }

  void UsePreset(const char* preset) {
    std::string setting = std::string("LUMORA_SIM_DEVICES=") + preset;
    _putenv(setting.c_str());
    sim::ReloadRigDevices();
  }

  ComPtr<IVCapCollection> Enumerate(KnownDeviceCat category) {
    BSTR text = nullptr;
    EXPECT_EQ(fe->DeviceCatClsid(category, &text), S_OK);
    ComPtr<IDispatch> result;
    EXPECT_EQ(fe->EnumerateFilter(text, &result), S_OK);
    SysFreeString(text);
    ComPtr<IVCapCollection> coll;
    if (result) {
      EXPECT_HRESULT_SUCCEEDED(result.As(&coll));
    }
    return coll;
  }

  // The descriptors of a collection in its own (key) order.
  static std::vector<ComPtr<IVCapFilter>> Descriptors(IVCapCollection* coll) {
    std::vector<ComPtr<IVCapFilter>> out;
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(coll->get__NewEnum(&unknown), S_OK);
    ComPtr<IEnumVARIANT> e;
    if (!unknown || FAILED(unknown.As(&e))) return out;
    Var item;
    while (e->Next(1, &item.v, nullptr) == S_OK) {
      EXPECT_EQ(item.v.vt, VT_DISPATCH);
      ComPtr<IVCapFilter> filter;
      if (item.v.vt == VT_DISPATCH) {
        EXPECT_HRESULT_SUCCEEDED(item.v.pdispVal->QueryInterface(IID_PPV_ARGS(&filter)));
      }
      out.push_back(filter);
      VariantClear(&item.v);
    }
    return out;
  }

  static std::wstring Read(IVCapFilter* f, HRESULT (STDMETHODCALLTYPE IVCapFilter::*get)(BSTR*)) {
    BSTR text = nullptr;
    EXPECT_EQ((f->*get)(&text), S_OK);
    std::wstring out = Str(text);
    SysFreeString(text);
    return out;
  }

  static LONG Index(IVCapFilter* f) {
    LONG index = -1;
    EXPECT_EQ(f->get_FIndex(&index), S_OK);
    return index;
  }

  ComPtr<IVCapFilterEnum> fe;

 private:
  DWORD cookie_ = 0;
};

TEST_F(RigEnumerateTest, ListsThePlugAndPlayDevicesWithAFriendlyName) {
  // What the enumerator should take, in the rig's order.
  std::vector<const sim::RigDevice*> expected;
  for (const sim::RigDevice& d : sim::RigDevices()) {
    if (d.displayName.find("@device:pnp:") != std::string::npos && d.hasFriendlyName) {
      expected.push_back(&d);
    }
  }
  ASSERT_GE(expected.size(), 2u);
  ASSERT_LT(expected.size(), sim::RigDevices().size());  // the preset has devices to skip
  ASSERT_LE(expected.size(), 9u);                        // key order is enumeration order

  auto coll = Enumerate(CGC_VideoCapture);
  ASSERT_TRUE(coll);
  LONG count = -1;
  ASSERT_EQ(coll->get_Count(&count), S_OK);
  ASSERT_EQ(static_cast<size_t>(count), expected.size());

  wchar_t simClsid[40] = {};
  StringFromGUID2(sim::CLSID_LumoraSimFilter, simClsid, 40);
  auto descriptors = Descriptors(coll.Get());
  ASSERT_EQ(descriptors.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    IVCapFilter* f = descriptors[i].Get();
    ASSERT_TRUE(f);
    const sim::RigDevice& d = *expected[i];
    EXPECT_EQ(Index(f), static_cast<LONG>(i + 1)) << d.displayName;
    EXPECT_EQ(Read(f, &IVCapFilter::get_FName), Widen(d.friendlyName));
    EXPECT_EQ(Read(f, &IVCapFilter::get_DeviceName), Widen(d.displayName));
    EXPECT_EQ(Read(f, &IVCapFilter::get_DevSerial), Widen(d.serial)) << d.displayName;
    EXPECT_EQ(Read(f, &IVCapFilter::get_DeviceVidPid), Widen(d.vidPid)) << d.displayName;
    EXPECT_EQ(Read(f, &IVCapFilter::get_ClsID), simClsid);

    // The descriptor holds the device's moniker.
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(f->get_Moniker(&unknown), S_OK);
    ComPtr<IMoniker> moniker;
    ASSERT_TRUE(unknown && SUCCEEDED(unknown.As(&moniker)));
    LPOLESTR name = nullptr;
    ASSERT_HRESULT_SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &name));
    EXPECT_EQ(std::wstring(name), Widen(d.displayName));
    CoTaskMemFree(name);
  }
}

TEST_F(RigEnumerateTest, IdenticalCamerasDifferInPathAndSerial) {
  auto coll = Enumerate(CGC_VideoCapture);
  ASSERT_TRUE(coll);
  auto descriptors = Descriptors(coll.Get());
  bool foundPair = false;
  for (size_t i = 0; i + 1 < descriptors.size(); ++i) {
    IVCapFilter* a = descriptors[i].Get();
    IVCapFilter* b = descriptors[i + 1].Get();
    if (Read(a, &IVCapFilter::get_FName) != Read(b, &IVCapFilter::get_FName)) continue;
    foundPair = true;
    EXPECT_EQ(Read(a, &IVCapFilter::get_DeviceVidPid), Read(b, &IVCapFilter::get_DeviceVidPid));
    EXPECT_NE(Read(a, &IVCapFilter::get_DeviceName), Read(b, &IVCapFilter::get_DeviceName));
    EXPECT_NE(Read(a, &IVCapFilter::get_DevSerial), Read(b, &IVCapFilter::get_DevSerial));
    EXPECT_EQ(Index(b), Index(a) + 1);
  }
  EXPECT_TRUE(foundPair) << "the rig's default preset has two identical cameras";
}

TEST_F(RigEnumerateTest, TwelveDevicesAreNumberedInEnumerationOrder) {
  UsePreset("twelve");
  ASSERT_EQ(sim::RigDevices().size(), 12u);
  auto coll = Enumerate(CGC_VideoCapture);
  ASSERT_TRUE(coll);
  LONG count = 0;
  ASSERT_EQ(coll->get_Count(&count), S_OK);
  ASSERT_EQ(count, 12);

  // Item(2) is the tenth device: C_10 sorts before C_2.
  Var item;
  ASSERT_EQ(coll->get_Item(Var(2), &item.v), S_OK);
  ASSERT_EQ(item.v.vt, VT_DISPATCH);
  ComPtr<IVCapFilter> second;
  ASSERT_HRESULT_SUCCEEDED(item.v.pdispVal->QueryInterface(IID_PPV_ARGS(&second)));
  EXPECT_EQ(Index(second.Get()), 10);
  EXPECT_EQ(Read(second.Get(), &IVCapFilter::get_DeviceName),
            Widen(sim::RigDevices()[9].displayName));

  std::vector<LONG> order;
  for (auto& f : Descriptors(coll.Get())) order.push_back(Index(f.Get()));
  EXPECT_EQ(order, (std::vector<LONG>{1, 10, 11, 12, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(RigEnumerateTest, EmptyRigAndOtherCategoriesGiveEmptyCollections) {
  for (KnownDeviceCat category : {CGC_AudioCapture, CGC_DirectShowFilters}) {
    auto coll = Enumerate(category);
    ASSERT_TRUE(coll);
    LONG count = -1;
    EXPECT_EQ(coll->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0) << category;
  }
  UsePreset("none");
  auto coll = Enumerate(CGC_VideoCapture);
  ASSERT_TRUE(coll);
  LONG count = -1;
  EXPECT_EQ(coll->get_Count(&count), S_OK);
  EXPECT_EQ(count, 0);
}

// A class object in front of the library's VCapFilter class object: counts
// how often COM fetched it for a client and how many objects it made.
class CountingFactory final : public IClassFactory {
 public:
  explicit CountingFactory(ComPtr<IClassFactory> library) : library_(std::move(library)) {}

  LONG fetched = 0;
  LONG created = 0;

  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    ++fetched;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  IFACEMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs_); }
  IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    ++created;
    return library_->CreateInstance(outer, riid, ppv);
  }
  IFACEMETHODIMP LockServer(BOOL lock) override { return library_->LockServer(lock); }

 private:
  ComPtr<IClassFactory> library_;
  LONG refs_ = 1;  // a member of the test: never deleted through Release
};

class RigActivationTest : public RigEnumerateTest {
 protected:
  ComPtr<IClassFactory> Served(REFCLSID clsid, ComPtr<IClassFactory> library) override {
    if (clsid != CLSID_VCapFilter) return library;
    counting_ = std::make_unique<CountingFactory>(library);
    return ComPtr<IClassFactory>(counting_.get());
  }
  void TearDown() override {
    RigEnumerateTest::TearDown();
    counting_.reset();  // after the revocation has released it
  }
  std::unique_ptr<CountingFactory> counting_;
};

// The descriptors of one enumeration come from the VCapFilter class object
// that COM serves for the class identifier, fetched once for the whole
// enumeration rather than once per device.
TEST_F(RigActivationTest, OneClassObjectServesEveryDescriptorOfAnEnumeration) {
  UsePreset("twelve");
  ASSERT_TRUE(counting_);
  for (int round = 1; round <= 2; ++round) {
    counting_->fetched = 0;
    counting_->created = 0;
    auto coll = Enumerate(CGC_VideoCapture);
    ASSERT_TRUE(coll);
    LONG count = 0;
    ASSERT_EQ(coll->get_Count(&count), S_OK);
    EXPECT_EQ(count, 12);
    EXPECT_EQ(counting_->created, 12) << "round " << round;
    EXPECT_EQ(counting_->fetched, 1) << "round " << round;
  }
  // A category without devices needs no descriptor class at all.
  counting_->fetched = 0;
  EXPECT_TRUE(Enumerate(CGC_AudioCapture));
  EXPECT_EQ(counting_->fetched, 0);
}

// A class that another emulates (a TreatAs entry under its class key) is
// served by the emulating class, as CoCreateInstance would serve it.
TEST_F(RigActivationTest, AnEmulatedDescriptorClassIsServedByItsEmulator) {
  UsePreset("twelve");
  ASSERT_TRUE(counting_);
  // {8C1D6E2A-3B4F-4A5E-9D7C-1E2F3A4B5C6D}: a class served in this process
  // only, by a counting object in front of the library's VCapFilter.
  const CLSID kEmulator = {
      0x8c1d6e2a, 0x3b4f, 0x4a5e, {0x9d, 0x7c, 0x1e, 0x2f, 0x3a, 0x4b, 0x5c, 0x6d}};
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  ComPtr<IClassFactory> library;
  ASSERT_HRESULT_SUCCEEDED(LumoraExport<GetClassObject>("DllGetClassObject")(
      CLSID_VCapFilter, IID_IClassFactory, &library));
  CountingFactory emulator(library);
  DWORD cookie = 0;
  ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(kEmulator, &emulator, CLSCTX_INPROC_SERVER,
                                                 REGCLS_MULTIPLEUSE, &cookie));

  const std::wstring classKey = L"Software\\Classes\\CLSID\\{BF8A8827-6A64-4CFD-B609-6B92EF6ABEBC}";
  HKEY existing = nullptr;
  const bool classKeyExisted =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS;
  if (existing) RegCloseKey(existing);
  HKEY treatAs = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (classKey + L"\\TreatAs").c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &treatAs, nullptr),
            ERROR_SUCCESS);
  const wchar_t kEmulatorText[] = L"{8C1D6E2A-3B4F-4A5E-9D7C-1E2F3A4B5C6D}";
  EXPECT_EQ(RegSetValueExW(treatAs, nullptr, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(kEmulatorText), sizeof kEmulatorText),
            ERROR_SUCCESS);
  RegCloseKey(treatAs);

  auto coll = Enumerate(CGC_VideoCapture);
  LONG count = 0;
  if (coll) {
    EXPECT_EQ(coll->get_Count(&count), S_OK);
  }

  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, (classKey + L"\\TreatAs").c_str()), ERROR_SUCCESS);
  if (!classKeyExisted) RegDeleteKeyW(HKEY_LOCAL_MACHINE, classKey.c_str());
  coll.Reset();
  CoRevokeClassObject(cookie);

  EXPECT_EQ(count, 12);
  EXPECT_EQ(emulator.created, 12);
  EXPECT_EQ(emulator.fetched, 1);
  EXPECT_EQ(counting_->created, 0);
}

}  // namespace
}  // namespace lumora::test
