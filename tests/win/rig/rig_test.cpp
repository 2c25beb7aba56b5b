// The simulated device rig as a client sees it: the device enumerator, its
// monikers and property bags, binding to the simulated filter, in-process
// installation over the real enumerator, saved state, and LumoraSim.dll's
// entry points.
#include <windows.h>
#include <control.h>
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"

namespace lumora::sim {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

struct CoTaskMemFreer {
  void operator()(void* p) const { CoTaskMemFree(p); }
};
using CoTaskString = std::unique_ptr<wchar_t, CoTaskMemFreer>;

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  VARIANT& operator*() { return v_; }

 private:
  VARIANT v_;
};

// Environment for the rig's next (re)build of its devices.
void SetEnv(const char* name, const std::string& value) {
  std::string assignment = std::string(name) + "=" + value;
  ASSERT_EQ(_putenv(assignment.c_str()), 0);
}

class RigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    UsePreset("default");
  }
  void TearDown() override {
    // Every test releases all it was given.
    EXPECT_EQ(RigObjectCount(), 0);
    EXPECT_EQ(SimFilterObjectCount(), 0);
    SetEnv("LUMORA_SIM_STATE", "");
    UsePreset("default");
    CoUninitialize();
  }

  static void UsePreset(const char* preset) {
    SetEnv("LUMORA_SIM_DEVICES", preset);
    ReloadRigDevices();
  }

  static ComPtr<ICreateDevEnum> RigEnumerator() {
    ComPtr<ICreateDevEnum> e;
    EXPECT_EQ(CreateRigDeviceEnumerator(IID_PPV_ARGS(&e)), S_OK);
    return e;
  }

  // Every moniker of the video-input category, in enumeration order.
  static std::vector<ComPtr<IMoniker>> Monikers(ICreateDevEnum* devEnum) {
    std::vector<ComPtr<IMoniker>> out;
    ComPtr<IEnumMoniker> e;
    HRESULT h = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &e, 0);
    if (h != S_OK) return out;
    ComPtr<IMoniker> m;
    while (e->Next(1, &m, nullptr) == S_OK) out.push_back(std::move(m));
    return out;
  }

  static std::wstring DisplayName(IMoniker* m) {
    LPOLESTR raw = nullptr;
    EXPECT_EQ(m->GetDisplayName(nullptr, nullptr, &raw), S_OK);
    CoTaskString name(raw);
    return name ? name.get() : L"";
  }

  // The bag's string value, or the failing HRESULT as text.
  static std::wstring BagRead(IMoniker* m, const wchar_t* name) {
    ComPtr<IPropertyBag> bag;
    HRESULT h = m->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag));
    if (FAILED(h)) return L"bind failed";
    Variant v;
    h = bag->Read(name, v.get(), nullptr);
    if (FAILED(h)) return L"failed";
    if (V_VT(v.get()) != VT_BSTR) return L"not a string";
    return V_BSTR(v.get());
  }

  static ComPtr<IAMVideoProcAmp> ProcAmpOf(IMoniker* m) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(m->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)), S_OK);
    ComPtr<IAMVideoProcAmp> procAmp;
    if (filter) {
      EXPECT_EQ(filter.As(&procAmp), S_OK);
    }
    return procAmp;
  }
};

TEST_F(RigTest, ListsTheDefaultDevicesInOrder) {
  const std::vector<RigDevice>& devices = RigDevices();
  auto monikers = Monikers(RigEnumerator().Get());
  ASSERT_EQ(monikers.size(), devices.size());
  ASSERT_EQ(monikers.size(), 11u);
  for (size_t i = 0; i < monikers.size(); ++i) {
    SCOPED_TRACE(devices[i].displayName);
    EXPECT_EQ(DisplayName(monikers[i].Get()), Widen(devices[i].displayName));
    EXPECT_EQ(BagRead(monikers[i].Get(), L"FriendlyName"),
              devices[i].hasFriendlyName ? Widen(devices[i].friendlyName) : L"failed");
    EXPECT_EQ(BagRead(monikers[i].Get(), L"CLSID"), L"{D56B2A28-8512-4744-96EE-D648925FAAF8}");
    EXPECT_EQ(BagRead(monikers[i].Get(), L"DevicePath"), L"failed");
  }
  // Spot checks against the literal names other tests rely on.
  EXPECT_EQ(
      DisplayName(monikers[3].Get()),
      LR"(@device:pnp:\\?\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)");
  EXPECT_EQ(BagRead(monikers[3].Get(), L"friendlyname"), L"Philips SPC 900NC PC Camera");
  EXPECT_EQ(DisplayName(monikers[4].Get()).rfind(L"@device:pnp:", 0), std::wstring::npos);
  EXPECT_EQ(BagRead(monikers[7].Get(), L"FriendlyName"), L"failed");
}

TEST_F(RigTest, OtherCategoriesAndEmptyPresetAreEmpty) {
  auto devEnum = RigEnumerator();
  for (const GUID* category : {&CLSID_AudioInputDeviceCategory, &CLSID_LegacyAmFilterCategory,
                               &CLSID_VideoCompressorCategory, &GUID_NULL}) {
    IEnumMoniker* e = reinterpret_cast<IEnumMoniker*>(1);
    EXPECT_EQ(devEnum->CreateClassEnumerator(*category, &e, 0), S_FALSE);
    EXPECT_EQ(e, nullptr);
  }
  EXPECT_EQ(devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, nullptr, 0), E_POINTER);

  UsePreset("none");
  IEnumMoniker* e = reinterpret_cast<IEnumMoniker*>(1);
  EXPECT_EQ(devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &e, 0), S_FALSE);
  EXPECT_EQ(e, nullptr);
}

TEST_F(RigTest, TwelvePresetAndUnknownPreset) {
  UsePreset("twelve");
  auto monikers = Monikers(RigEnumerator().Get());
  ASSERT_EQ(monikers.size(), 12u);
  for (size_t i = 0; i < monikers.size(); ++i) {
    EXPECT_EQ(BagRead(monikers[i].Get(), L"FriendlyName"),
              L"Simulated Camera " + std::to_wstring(i + 1));
  }
  UsePreset("no-such-preset");
  EXPECT_EQ(Monikers(RigEnumerator().Get()).size(), 11u) << "unknown presets give the default set";
}

// The enumerator protocol itself (counts, Skip, Reset, Clone) is
// com::SnapshotEnumerator's, tested in tests/win/com; here: what the rig
// puts in it.
TEST_F(RigTest, EnumeratorHandsOutAMonikerPerDeviceInOrder) {
  ComPtr<IEnumMoniker> e;
  ASSERT_EQ(RigEnumerator()->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &e, 0), S_OK);
  const auto& devices = RigDevices();
  ASSERT_EQ(e->Skip(5), S_OK);
  IMoniker* batch[8] = {};
  ULONG fetched = 99;
  EXPECT_EQ(e->Next(8, batch, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 6u);
  for (ULONG i = 0; i < fetched; ++i) {
    EXPECT_EQ(DisplayName(batch[i]), Widen(devices[5 + i].displayName));
    batch[i]->Release();
  }
}

TEST_F(RigTest, MonikerAnswersOnlyWhatItSupports) {
  auto monikers = Monikers(RigEnumerator().Get());
  ASSERT_FALSE(monikers.empty());
  IMoniker* m = monikers[0].Get();
  EXPECT_EQ(m->GetDisplayName(nullptr, nullptr, nullptr), E_POINTER);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(m->BindToStorage(nullptr, nullptr, IID_IStream, &unknown), E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);
  DWORD hash = 0;
  EXPECT_EQ(m->Hash(&hash), E_NOTIMPL);
  EXPECT_EQ(m->IsEqual(monikers[0].Get()), E_NOTIMPL);
  ComPtr<IMoniker> reduced;
  EXPECT_EQ(m->Reduce(nullptr, 0, nullptr, &reduced), E_NOTIMPL);
  ComPtr<IPersistStream> persist;
  EXPECT_EQ(monikers[0].As(&persist), S_OK);
  ComPtr<IEnumMoniker> notAnEnumerator;
  EXPECT_EQ(monikers[0].As(&notAnEnumerator), E_NOINTERFACE);
}

TEST_F(RigTest, PropertyBagReadsIntoTheRequestedType) {
  auto monikers = Monikers(RigEnumerator().Get());
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(monikers[0]->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)), S_OK);

  Variant held;  // a string already there is replaced, not leaked
  V_VT(held.get()) = VT_BSTR;
  V_BSTR(held.get()) = SysAllocString(L"old");
  ASSERT_EQ(bag->Read(L"FriendlyName", held.get(), nullptr), S_OK);
  EXPECT_STREQ(V_BSTR(held.get()), L"Philips Vesta Pro Camera");

  Variant number;
  V_VT(number.get()) = VT_I4;
  EXPECT_TRUE(FAILED(bag->Read(L"FriendlyName", number.get(), nullptr)));
  EXPECT_EQ(V_VT(number.get()), VT_I4) << "a failed read leaves the VARIANT alone";

  Variant missing;
  EXPECT_EQ(bag->Read(L"Nope", missing.get(), nullptr), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(V_VT(missing.get()), VT_EMPTY);
  EXPECT_EQ(bag->Read(nullptr, missing.get(), nullptr), E_POINTER);
  EXPECT_EQ(bag->Read(L"CLSID", nullptr, nullptr), E_POINTER);
  EXPECT_EQ(bag->Write(L"FriendlyName", held.get()), E_NOTIMPL);
}

TEST_F(RigTest, BindingReachesTheDevicesCamera) {
  auto monikers = Monikers(RigEnumerator().Get());
  std::shared_ptr<SimulatedCamera> camera = RigDevices()[1].camera;
  camera->ClearLog();

  auto procAmp = ProcAmpOf(monikers[1].Get());
  ASSERT_NE(procAmp, nullptr);
  long value = 0, flags = 0;
  ASSERT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(value, camera->procAmp[VideoProcAmp_Brightness].value);
  EXPECT_EQ(camera->Requests(Op::ProcAmpGet).size(), 1u);

  // A second enumeration and bind reaches the same camera.
  auto again = Monikers(RigEnumerator().Get());
  auto procAmp2 = ProcAmpOf(again[1].Get());
  ASSERT_NE(procAmp2, nullptr);
  ASSERT_EQ(procAmp2->Set(VideoProcAmp_Brightness, 42, VideoProcAmp_Flags_Manual), S_OK);
  ASSERT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(camera->Requests(Op::ProcAmpSet).size(), 1u);
  // Other devices' cameras saw nothing of it.
  EXPECT_NE(RigDevices()[2].camera->procAmp[VideoProcAmp_Brightness].value, 42);

  ComPtr<IUnknown> unknown;
  EXPECT_EQ(again[1]->BindToObject(nullptr, nullptr, IID_IUnknown, &unknown), S_OK);
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(unknown.As(&filter), S_OK);
  CLSID clsid{};
  EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_LumoraSimFilter);
}

// A moniker keeps its device: a reload of the devices does not change what
// an earlier moniker binds to.
TEST_F(RigTest, MonikersOutliveAReload) {
  auto monikers = Monikers(RigEnumerator().Get());
  std::shared_ptr<SimulatedCamera> before = RigDevices()[0].camera;
  UsePreset("none");
  EXPECT_TRUE(RigDevices().empty());
  before->ClearLog();
  auto procAmp = ProcAmpOf(monikers[0].Get());
  ASSERT_NE(procAmp, nullptr);
  long value = 0, flags = 0;
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Contrast, &value, &flags), S_OK);
  EXPECT_EQ(before->Requests(Op::ProcAmpGet).size(), 1u);
}

TEST_F(RigTest, ObjectsAreCountedAndFreed) {
  LONG base = RigObjectCount();
  {
    auto devEnum = RigEnumerator();
    auto monikers = Monikers(devEnum.Get());
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(monikers[0]->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)), S_OK);
    EXPECT_EQ(RigObjectCount(), base + 1 + 11 + 1);
  }
  EXPECT_EQ(RigObjectCount(), base);
}

// In-process installation replaces the system device enumerator for
// CoCreateInstance and revoking brings back the real one, which lists no
// cameras under Wine.
TEST_F(RigTest, InstallAndRevokeInProcess) {
  auto real = [] {
    ComPtr<ICreateDevEnum> e;
    EXPECT_EQ(
        CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&e)),
        S_OK);
    return e;
  };
  auto countVideo = [](ICreateDevEnum* e) {
    ComPtr<IEnumMoniker> monikers;
    HRESULT h = e->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
    if (h != S_OK) return h == S_FALSE && monikers == nullptr ? 0 : -1;
    int n = 0;
    ComPtr<IMoniker> m;
    while (monikers->Next(1, &m, nullptr) == S_OK) ++n;
    return n;
  };

  EXPECT_EQ(InstallRig(nullptr), E_POINTER);
  EXPECT_EQ(countVideo(real().Get()), 0) << "no real cameras expected under Wine";
  DWORD cookie = 0;
  ASSERT_EQ(InstallRig(&cookie), S_OK);
  EXPECT_EQ(countVideo(real().Get()), 11);
  RevokeRig(cookie);
  EXPECT_EQ(countVideo(real().Get()), 0);
}

TEST_F(RigTest, SavedStateCarriesValuesAcrossReloads) {
  char dir[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
  const std::string path = std::string(dir) + "lumora_rig_state_wine_test.txt";
  std::remove(path.c_str());
  SetEnv("LUMORA_SIM_STATE", path);
  ReloadRigDevices();

  {
    auto monikers = Monikers(RigEnumerator().Get());
    auto procAmp = ProcAmpOf(monikers[5].Get());
    ASSERT_NE(procAmp, nullptr);
    ASSERT_EQ(procAmp->Set(VideoProcAmp_Saturation, 77, VideoProcAmp_Flags_Manual), S_OK);
    // A refused write does not reach the file.
    EXPECT_TRUE(FAILED(procAmp->Set(VideoProcAmp_Saturation, 100000, VideoProcAmp_Flags_Manual)));
  }
  ReloadRigDevices();  // as a new process would start
  EXPECT_EQ(RigDevices()[5].camera->procAmp[VideoProcAmp_Saturation].value, 77);
  EXPECT_EQ(RigDevices()[6].camera->procAmp[VideoProcAmp_Saturation].value,
            SimulatedCamera::Create()->procAmp[VideoProcAmp_Saturation].value);

  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not a state file\n", f);
  std::fclose(f);
  ReloadRigDevices();
  EXPECT_EQ(RigDevices()[5].camera->procAmp[VideoProcAmp_Saturation].value,
            SimulatedCamera::Create()->procAmp[VideoProcAmp_Saturation].value)
      << "a bad file is ignored";
  std::remove(path.c_str());
}

// What another process does to the files (a write through its own rig, an
// unplug or plug by scripts/sim-rig) reaches this process's open filters at
// their next call and its next enumeration.
TEST_F(RigTest, PlugChangesAndOtherProcessesValuesArriveWhileRunning) {
  char dir[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
  const std::string path = std::string(dir) + "lumora_rig_plug_wine_test.txt";
  auto write = [](const std::string& file, const std::string& text) {
    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  };
  std::remove(path.c_str());
  std::remove((path + ".plug").c_str());
  SetEnv("LUMORA_SIM_STATE", path);
  ReloadRigDevices();
  const std::string toucam = RigDevices()[1].displayName;
  {
    auto monikers = Monikers(RigEnumerator().Get());
    ASSERT_EQ(monikers.size(), 11u);
    auto procAmp = ProcAmpOf(monikers[1].Get());
    ASSERT_NE(procAmp, nullptr);
    ASSERT_EQ(procAmp->Set(VideoProcAmp_Brightness, 42, VideoProcAmp_Flags_Manual), S_OK);

    // Another process saves 43 for this camera.
    std::vector<RigDevice> other;
    ASSERT_TRUE(MakeRigDevices("default", &other));
    ASSERT_TRUE(LoadRigStateFile(path, other));
    other[1].camera->procAmp[VideoProcAmp_Brightness].value = 43;
    ASSERT_TRUE(SaveRigStateFile(path, other));
    long value = 0, flags = 0;
    ASSERT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
    EXPECT_EQ(value, 43);

    write(path + ".plug", "lumora-sim-plug 1\nunplugged 1 2a4c6e8\n");
    EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags),
              HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 1, VideoProcAmp_Flags_Manual),
              HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    auto fewer = Monikers(RigEnumerator().Get());
    ASSERT_EQ(fewer.size(), 10u);
    EXPECT_EQ(DisplayName(fewer[1].Get()), Widen(RigDevices()[2].displayName));

    write(path + ".plug", "lumora-sim-plug 1\nplugged 2 2a4c6e8\n");
    auto again = Monikers(RigEnumerator().Get());
    ASSERT_EQ(again.size(), 11u);
    EXPECT_EQ(DisplayName(again[1].Get()), Widen(toucam));
    EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags),
              HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED))
        << "the filter of the earlier plugging stays dead";
    auto fresh = ProcAmpOf(again[1].Get());
    ASSERT_NE(fresh, nullptr);
    ASSERT_EQ(fresh->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
    EXPECT_EQ(value, 128) << "plugged in again with its default";
  }
  ReloadRigDevices();  // a new process keeps the default, not the old 43
  EXPECT_EQ(RigDevices()[1].camera->procAmp[VideoProcAmp_Brightness].value, 128);
  EXPECT_TRUE(RigDevices()[1].plugged);
  SetEnv("LUMORA_SIM_STATE", "");
  ReloadRigDevices();
  std::remove(path.c_str());
  std::remove((path + ".plug").c_str());
}

// LumoraSim.dll serves the same enumerator through its entry points.
TEST_F(RigTest, DllEntryPoints) {
  HMODULE dll = LoadLibraryW(L"LumoraSim.dll");
  ASSERT_NE(dll, nullptr) << GetLastError();
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  auto canUnload = reinterpret_cast<CanUnloadFn>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  ASSERT_NE(getClassObject, nullptr);
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(GetProcAddress(dll, "DllRegisterServer"), nullptr) << "no self-registration";

  EXPECT_EQ(canUnload(), S_OK);
  {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(CLSID_VideoInputDeviceCategory, IID_PPV_ARGS(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(CLSID_SystemDeviceEnum, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    ComPtr<IUnknown> outer;
    factory.As(&outer);
    ComPtr<ICreateDevEnum> devEnum;
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_PPV_ARGS(&devEnum)), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&devEnum)), S_OK);
    factory.Reset();
    outer.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "an enumerator is alive";
    auto monikers = Monikers(devEnum.Get());
    ASSERT_EQ(monikers.size(), 11u);
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(monikers[0]->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)), S_OK);
    monikers.clear();
    devEnum.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "a filter is alive";
  }
  EXPECT_EQ(canUnload(), S_OK);
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_SystemDeviceEnum, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "locked";
    ASSERT_EQ(getClassObject(CLSID_SystemDeviceEnum, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  }
  EXPECT_EQ(canUnload(), S_OK);
  EXPECT_TRUE(FreeLibrary(dll));
  EXPECT_NE(GetModuleHandleW(L"LumoraSim.dll"), nullptr) << "pinned once it served an object";
}

}  // namespace
}  // namespace lumora::sim
