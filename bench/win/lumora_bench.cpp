// What Lumora.dll costs a Windows client, next to the driver calls it makes.
//
//   lumora_bench          full run: one table
//   lumora_bench --quick  every row a few times (the test run's smoke check)
//
// The program registers the Lumora.dll it was linked against (as regsvr32
// would), so every object is activated the way an outside client's is:
// through the registry. The simulated device rig serves the system device
// enumerator in this process with ten plain cameras whose drivers log
// nothing. Each row is the median over several repetitions of the time per
// call, and the time of the fastest run; "x base" divides each by the row it
// is compared with (the driver call the library makes, or the bare registry
// walk); "allocs" are the heap allocations Lumora.dll itself makes per call
// (see alloc_count.h).
#include <windows.h>
#include <oleauto.h>
#include <mmsystem.h>
#include <strmif.h>
#include <ks.h>
#include <ksproxy.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/win/alloc_count.h"
#include "com/raii.h"
#include "lumora.h"
#include "lumora_idl.h"
#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"
#include "sim/rig_devices.h"
#include "sim/simulated_camera.h"

namespace lumora::bench {
namespace {

using Microsoft::WRL::ComPtr;

bool g_quick = false;

// Each figure is the median of many short timed runs. On a machine shared
// with other work most short runs go uninterrupted, so the median shows the
// cost of the code rather than the load of the machine.
constexpr int kPropertyRuns = 201;  // of 1000 calls (250 through IDispatch)
constexpr long kPropertyCalls = 1000;
constexpr int kEnumerationRuns = 31;  // of one enumeration
constexpr int kAttachmentRuns = 41;   // alternating, of one walk and one attachment

// --- timing ---------------------------------------------------------------------

double NowNs() {
  static const double nsPerTick = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1e9 / static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * nsPerTick;
}

struct Figure {
  double ns = 0;       // median time per call
  double fastest = 0;  // time per call of the fastest run
  double allocs = 0;   // Lumora.dll's allocations per call
  int runs = 0;
  long calls = 0;  // per run
};

// Runs `body` (which makes `calls` calls per run) once to warm up, then
// `repetitions` times, and answers the median time per call.
Figure Measure(long calls, int repetitions, const std::function<void(long)>& body) {
  if (g_quick) {
    calls = std::max(1L, std::min(calls, 20L));
    repetitions = 1;
  }
  body(calls);
  std::vector<double> perCall;
  const uint64_t before = Allocations();
  for (int r = 0; r < repetitions; ++r) {
    const double t0 = NowNs();
    body(calls);
    perCall.push_back((NowNs() - t0) / static_cast<double>(calls));
  }
  Figure f;
  f.runs = repetitions;
  f.calls = calls;
  f.allocs =
      static_cast<double>(Allocations() - before) / (static_cast<double>(calls) * repetitions);
  std::sort(perCall.begin(), perCall.end());
  f.ns = perCall[perCall.size() / 2];
  f.fastest = perCall.front();
  return f;
}

// Two bodies timed in alternating runs, so that both see the same machine
// (the load of a shared machine drifts over seconds): for a ratio.
void MeasurePair(long calls, int repetitions, const std::function<void(long)>& first,
                 const std::function<void(long)>& second, Figure* a, Figure* b) {
  if (g_quick) {
    calls = std::max(1L, std::min(calls, 20L));
    repetitions = 1;
  }
  first(calls);
  second(calls);
  std::vector<double> timesA, timesB;
  uint64_t allocsA = 0, allocsB = 0;
  auto run = [&](const std::function<void(long)>& body, std::vector<double>& times,
                 uint64_t& allocs) {
    const uint64_t before = Allocations();
    const double t0 = NowNs();
    body(calls);
    times.push_back((NowNs() - t0) / static_cast<double>(calls));
    allocs += Allocations() - before;
  };
  // The order alternates too (AB BA AB ...): whichever runs second may find
  // caches warmed or cooled by the first.
  for (int r = 0; r < repetitions; ++r) {
    if (r % 2 == 0) {
      run(first, timesA, allocsA);
      run(second, timesB, allocsB);
    } else {
      run(second, timesB, allocsB);
      run(first, timesA, allocsA);
    }
  }
  std::sort(timesA.begin(), timesA.end());
  std::sort(timesB.begin(), timesB.end());
  const double n = static_cast<double>(calls) * repetitions;
  *a = Figure{timesA[timesA.size() / 2], timesA.front(), static_cast<double>(allocsA) / n,
              repetitions, calls};
  *b = Figure{timesB[timesB.size() / 2], timesB.front(), static_cast<double>(allocsB) / n,
              repetitions, calls};
}

struct Row {
  std::string name;
  Figure figure;
  int base = -1;  // index of the row this one is compared with
};

std::vector<Row> g_rows;
bool g_failed = false;

int Add(const std::string& name, const Figure& figure, int base = -1) {
  g_rows.push_back(Row{name, figure, base});
  return static_cast<int>(g_rows.size()) - 1;
}

void Fail(const std::string& what) {
  std::printf("bench: FAILED: %s\n", what.c_str());
  g_failed = true;
}

bool Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return true;
  char text[160];
  std::snprintf(text, sizeof text, "%s (0x%08lx)", what, static_cast<unsigned long>(hr));
  Fail(text);
  return false;
}

std::string Time(double ns) {
  char text[32];
  if (ns < 10e3) {
    std::snprintf(text, sizeof text, "%.1f ns", ns);
  } else if (ns < 10e6) {
    std::snprintf(text, sizeof text, "%.1f us", ns / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
  }
  return text;
}

const char* WineVersion() {
  using Version = const char*(CDECL*)();
  auto get = reinterpret_cast<Version>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  return get ? get() : "not Wine";
}

void PrintTable() {
  const char* wine = WineVersion();
  const std::string host =
      std::strcmp(wine, "not Wine") == 0 ? "Windows" : "Wine " + std::string(wine);
  std::printf("\nLumora under %s, %d-bit: median time per call over the runs%s\n", host.c_str(),
              static_cast<int>(sizeof(void*) * 8),
              g_quick ? " (quick: one short run, figures mean nothing)" : "");
  std::printf("%-42s %11s %7s %11s %7s %7s %9s\n", "path", "median", "x base", "fastest", "x base",
              "allocs", "runs");
  auto ratio = [](double value, double base, char* text, size_t size) {
    if (base > 0) {
      std::snprintf(text, size, "%.2f", value / base);
    } else {
      text[0] = '\0';
    }
  };
  for (const Row& row : g_rows) {
    const Figure& f = row.figure;
    char medianRatio[16] = "", fastestRatio[16] = "";
    if (row.base >= 0) {
      const Figure& base = g_rows[row.base].figure;
      ratio(f.ns, base.ns, medianRatio, sizeof medianRatio);
      ratio(f.fastest, base.fastest, fastestRatio, sizeof fastestRatio);
    }
    char runs[32];
    std::snprintf(runs, sizeof runs, "%dx%ld", f.runs, f.calls);
    std::printf("%-42s %11s %7s %11s %7s %7.2f %9s\n", row.name.c_str(), Time(f.ns).c_str(),
                medianRatio, Time(f.fastest).c_str(), fastestRatio, f.allocs, runs);
  }
}

// --- automation helpers ---------------------------------------------------------

// IDispatch::Invoke of a property get with one VT_I4 argument.
HRESULT DispatchGet(IDispatch* object, DISPID id, LONG argument, LONG* value) {
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_I4;
  arg.lVal = argument;
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  com::Variant result;
  HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params,
                              result.Get(), nullptr, nullptr);
  if (SUCCEEDED(hr) && result.Get()->vt == VT_I4) *value = result.Get()->lVal;
  return hr;
}

// IDispatch::Invoke of a property put with an index and a value.
HRESULT DispatchPut(IDispatch* object, DISPID id, LONG index, LONG value) {
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_I4;  // the value, last in order, first in the array
  args[0].lVal = value;
  args[1].vt = VT_I4;
  args[1].lVal = index;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {args, &named, 2, 1};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                        nullptr, nullptr);
}

HRESULT DispatchCall(IDispatch* object, DISPID id, VARIANT* args, UINT count) {
  DISPPARAMS params = {args, nullptr, count, 0};
  com::Variant result;
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(),
                        nullptr, nullptr);
}

constexpr DISPID kDispidProp = 5;               // IDVidCapCtrl::Prop
constexpr DISPID kDispidEnumCams = 1;           // ILumoraCOM::EnumCams
constexpr DISPID kDispidSetCam = 5;             // ILumoraCOM::SetCam
constexpr DISPID kDispidCamProperty = 8;        // ILumoraCOM::CamProperty
constexpr LONG kBrightness = ::VCP_Brightness;  // a proc-amp property of every camera

// --- the media-interface registry branch -------------------------------------------

const wchar_t kBranch[] = L"SYSTEM\\CurrentControlSet\\Control\\MediaInterfaces";
constexpr int kSubkeys = 200;

std::wstring SubkeyName(int n) {
  wchar_t name[64];
  std::swprintf(name, 64, L"LumoraBench_%03d", n);
  return name;
}

// 200 entries whose "IID" is a set no camera here supports, so attachment's
// search probes them all and finds nothing.
bool WriteSubkeys() {
  for (int n = 0; n < kSubkeys; ++n) {
    std::wstring path = std::wstring(kBranch) + L"\\" + SubkeyName(n);
    com::RegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS) {
      return false;
    }
    GUID iid = {0x7a1e0000u + static_cast<unsigned>(n),
                0x4c55,
                0x4d52,
                {0x8a, 0x42, 0x42, 0x45, 0x4e, 0x43, 0x48, 0x00}};
    if (RegSetValueExW(key.Get(), L"IID", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&iid),
                       sizeof iid) != ERROR_SUCCESS) {
      return false;
    }
  }
  return true;
}

void RemoveSubkeys() {
  for (int n = 0; n < kSubkeys; ++n) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kBranch) + L"\\" + SubkeyName(n)).c_str());
  }
}

// What any search of the branch must do at least: open it, and for every
// subkey enumerate its name, open it relative to the branch and read its
// "IID" value.
int BareWalk() {
  com::RegKey branch;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBranch, 0, KEY_READ, branch.Receive()) != ERROR_SUCCESS) {
    return 0;
  }
  int read = 0;
  for (DWORD index = 0;; ++index) {
    wchar_t name[260];
    DWORD length = 260;
    if (RegEnumKeyExW(branch.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    com::RegKey subkey;
    if (RegOpenKeyExW(branch.Get(), name, 0, KEY_READ, subkey.Receive()) != ERROR_SUCCESS) continue;
    BYTE value[260];
    DWORD type = 0, size = sizeof value;
    if (RegQueryValueExW(subkey.Get(), L"IID", nullptr, &type, value, &size) == ERROR_SUCCESS) {
      ++read;
    }
  }
  return read;
}

// --- the rows -----------------------------------------------------------------------

void PropertyRows(IClassFactory* controls) {
  auto camera = sim::SimulatedCamera::Create();
  ComPtr<IBaseFilter> filter;
  if (!Check(sim::CreateSimFilter(camera, &filter), "simulated filter")) return;
  ComPtr<IAMVideoProcAmp> procAmp;
  if (!Check(filter.As(&procAmp), "IAMVideoProcAmp of the simulated filter")) return;
  ComPtr<IDVidCapCtrl> control;
  if (!Check(controls->CreateInstance(nullptr, IID_IDVidCapCtrl, &control), "DVidCapCtrl") ||
      !Check(control->put_BaseFilter(filter.Get()), "attaching the simulated filter")) {
    return;
  }
  ComPtr<IDispatch> dispatch;
  if (!Check(control.As(&dispatch), "IDispatch of DVidCapCtrl")) return;
  camera->logRequests = false;

  constexpr long kCalls = kPropertyCalls;
  LONG value = 0, flags = 0;
  const int driverGet =
      Add("driver: IAMVideoProcAmp::Get", Measure(kCalls, kPropertyRuns, [&](long n) {
            for (long i = 0; i < n; ++i) procAmp->Get(VideoProcAmp_Brightness, &value, &flags);
          }));
  const int driverSet =
      Add("driver: IAMVideoProcAmp::Set", Measure(kCalls, kPropertyRuns, [&](long n) {
            for (long i = 0; i < n; ++i) {
              procAmp->Set(VideoProcAmp_Brightness, 100 + (i & 1), VideoProcAmp_Flags_Manual);
            }
          }));
  Add("lag clock: two timeGetTime reads",
      Measure(kCalls, kPropertyRuns,
              [&](long n) {
                DWORD sum = 0;
                for (long i = 0; i < n; ++i) sum += timeGetTime() - timeGetTime();
                if (sum == 12345) std::printf(" ");
              }),
      driverGet);

  HRESULT bad = S_OK;
  auto note = [&](HRESULT hr) {
    if (FAILED(hr)) bad = hr;
  };
  Add("Prop get, vtable",
      Measure(kCalls, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i) note(control->get_Prop(::VCP_Brightness, &value));
              }),
      driverGet);
  Add("Prop put, vtable",
      Measure(kCalls, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i)
                  note(control->put_Prop(::VCP_Brightness, 100 + (i & 1)));
              }),
      driverSet);
  Add("Prop get, IDispatch",
      Measure(kCalls / 4, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i)
                  note(DispatchGet(dispatch.Get(), kDispidProp, kBrightness, &value));
              }),
      driverGet);
  Add("Prop put, IDispatch",
      Measure(kCalls / 4, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i) {
                  note(DispatchPut(dispatch.Get(), kDispidProp, kBrightness, 100 + (i & 1)));
                }
              }),
      driverSet);
  Check(bad, "a property call of DVidCapCtrl");

  // The simple API on the first rig camera.
  if (EnumCams() != 0 || SetCam(0) != 0) {
    Fail("EnumCams and SetCam(0) of the plain exports");
    return;
  }
  long plain = 0;
  int failures = 0;
  Add("CamProperty_Get, plain export",
      Measure(kCalls, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i) failures += CamProperty_Get(kBrightness, &plain) != 0;
              }),
      driverGet);
  if (failures != 0) Fail("CamProperty_Get");

  ComPtr<IDispatch> api;
  if (!Check(CoCreateInstance(CLSID_LumoraCOM, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &api),
             "LumoraCOM")) {
    return;
  }
  VARIANT cam;
  VariantInit(&cam);
  cam.vt = VT_I4;
  cam.lVal = 0;
  if (!Check(DispatchCall(api.Get(), kDispidEnumCams, nullptr, 0), "LumoraCOM.EnumCams") ||
      !Check(DispatchCall(api.Get(), kDispidSetCam, &cam, 1), "LumoraCOM.SetCam")) {
    return;
  }
  Add("LumoraCOM CamProperty get, IDispatch",
      Measure(kCalls / 4, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i)
                  note(DispatchGet(api.Get(), kDispidCamProperty, kBrightness, &value));
              }),
      driverGet);
  Check(bad, "LumoraCOM.CamProperty");
}

void EnumerationRows() {
  constexpr long kCalls = 1;
  int failures = 0;
  Add("EnumCams, ten devices", Measure(kCalls, kEnumerationRuns, [&](long n) {
        for (long i = 0; i < n; ++i) failures += EnumCams() != 0;
      }));
  char** names = nullptr;
  unsigned long listed = 0;
  GetCamStrings(&names, &listed);
  if (failures != 0 || listed != 10) Fail("EnumCams does not list the ten rig cameras");

  ComPtr<IVCapFilterEnum> enumerator;
  if (!Check(CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IVCapFilterEnum, &enumerator),
             "VCapFilterEnum")) {
    return;
  }
  com::Bstr category;
  if (!Check(enumerator->DeviceCatClsid(CGC_VideoCapture, category.Receive()), "DeviceCatClsid")) {
    return;
  }
  LONG count = 0;
  HRESULT bad = S_OK;
  Add("EnumerateFilter, ten devices", Measure(kCalls, kEnumerationRuns, [&](long n) {
        for (long i = 0; i < n; ++i) {
          ComPtr<IDispatch> collection;
          ComPtr<IVCapCollection> items;
          HRESULT hr = enumerator->EnumerateFilter(category.Get(), &collection);
          if (SUCCEEDED(hr)) hr = collection.As(&items);
          if (SUCCEEDED(hr)) hr = items->get_Count(&count);
          if (FAILED(hr)) bad = hr;
        }
      }));
  Check(bad, "EnumerateFilter");
  if (count != 10) Fail("EnumerateFilter does not list the ten rig cameras");
}

void AttachmentRows(IClassFactory* controls) {
  if (!WriteSubkeys()) {
    RemoveSubkeys();
    Fail("writing the MediaInterfaces subkeys (HKLM of the prefix)");
    return;
  }
  auto camera = sim::SimulatedCamera::Create();
  camera->logRequests = false;
  ComPtr<IBaseFilter> filter;
  if (Check(sim::CreateSimFilter(camera, &filter), "simulated filter")) {
    constexpr long kCalls = 1;
    int read = 0;
    HRESULT bad = S_OK;
    Figure walk, attach;
    MeasurePair(
        kCalls, kAttachmentRuns,
        [&](long n) {
          for (long i = 0; i < n; ++i) read = BareWalk();
        },
        [&](long n) {
          for (long i = 0; i < n; ++i) {
            ComPtr<IDVidCapCtrl> control;
            HRESULT hr = controls->CreateInstance(nullptr, IID_IDVidCapCtrl, &control);
            if (SUCCEEDED(hr)) hr = control->put_BaseFilter(filter.Get());
            if (FAILED(hr)) bad = hr;
          }
        },
        &walk, &attach);
    if (read < kSubkeys) Fail("the bare walk does not read the subkeys");
    Check(bad, "attaching");
    const int base = Add("bare walk of 200 media-interface subkeys", walk);
    Add("attach (put_BaseFilter), 200 subkeys", attach, base);
  }
  RemoveSubkeys();
}

// A raw extension-unit read: the same GET of the LED control (3 bytes on
// node 2) made directly on the simulated filter's IKsControl, and through
// IDVidCapCtrl3 (raw and named).
void ExtensionUnitRows(IClassFactory* controls) {
  std::shared_ptr<sim::SimulatedCamera> camera;
  for (const sim::RigDevice& d : sim::ExtensionUnitDevices()) {
    if (d.xuModel == "logitech") camera = d.camera;
  }
  if (!camera) {
    Fail("the rig has no camera with extension units");
    return;
  }
  ComPtr<IBaseFilter> filter;
  ComPtr<IKsControl> ks;
  ComPtr<IDVidCapCtrl> control;
  ComPtr<IDVidCapCtrl3> xu;
  if (!Check(sim::CreateSimFilter(camera, &filter), "simulated filter") ||
      !Check(filter->QueryInterface(IID_IKsControl, reinterpret_cast<void**>(ks.GetAddressOf())),
             "IKsControl of the simulated filter") ||
      !Check(controls->CreateInstance(nullptr, IID_IDVidCapCtrl, &control), "DVidCapCtrl") ||
      !Check(control->put_BaseFilter(filter.Get()), "attaching the simulated filter") ||
      !Check(control.As(&xu), "IDVidCapCtrl3")) {
    return;
  }
  camera->logRequests = false;
  com::Bstr unit(L"63610682-5070-49ab-b8cc-b3855e8d221f");
  com::Bstr name(L"LED Frequency");
  {
    com::Variant warm;  // discovery runs on first use, outside the timing
    if (!Check(xu->get_XuValue(unit.Get(), 1, warm.Get()), "XuValue")) return;
  }
  KSP_NODE request{};
  request.Property.Set = {
      0x63610682, 0x5070, 0x49ab, {0xb8, 0xcc, 0xb3, 0x85, 0x5e, 0x8d, 0x22, 0x1f}};
  request.Property.Id = 1;
  request.Property.Flags = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY;
  request.NodeId = 2;
  BYTE value[3];
  ULONG returned = 0;
  HRESULT bad = S_OK;
  constexpr long kCalls = kPropertyCalls;
  const int driver =
      Add("driver: KsProperty, KSP_NODE GET (3 bytes)", Measure(kCalls, kPropertyRuns, [&](long n) {
            for (long i = 0; i < n; ++i) {
              HRESULT hr =
                  ks->KsProperty(&request.Property, sizeof request, value, sizeof value, &returned);
              if (FAILED(hr)) bad = hr;
            }
          }));
  Add("IDVidCapCtrl3 XuValue get, vtable",
      Measure(kCalls, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i) {
                  com::Variant read;
                  HRESULT hr = xu->get_XuValue(unit.Get(), 1, read.Get());
                  if (FAILED(hr)) bad = hr;
                }
              }),
      driver);
  Add("IDVidCapCtrl3 XuNamedValue get, vtable",
      Measure(kCalls, kPropertyRuns,
              [&](long n) {
                for (long i = 0; i < n; ++i) {
                  com::Variant read;
                  HRESULT hr = xu->get_XuNamedValue(name.Get(), read.Get());
                  if (FAILED(hr)) bad = hr;
                }
              }),
      driver);
  Check(bad, "extension-unit reads");
}

int Run() {
  HMODULE lumora = GetModuleHandleW(L"Lumora.dll");
  if (lumora == nullptr) {
    Fail("Lumora.dll is not loaded");
    return 1;
  }
  const std::string hooked = CountAllocations(lumora);
  std::printf("bench: counting Lumora.dll's calls of: %s\n", hooked.c_str());

  // Registered as regsvr32 would, so that activation goes through the registry.
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto registerServer =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(lumora, "DllRegisterServer")));
  if (!registerServer || !Check(registerServer(), "DllRegisterServer")) return 1;

  // The counter must see an allocation the library is known to make.
  ComPtr<IVCapFilter> probe;
  const uint64_t before = Allocations();
  if (!Check(CoCreateInstance(CLSID_VCapFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IVCapFilter,
                              &probe),
             "VCapFilter")) {
    return 1;
  }
  probe.Reset();
  if (Allocations() == before) {
    Fail("the allocation counter missed the allocation of a new object");
    return 1;
  }

  _putenv_s("LUMORA_SIM_DEVICES", "ten");
  sim::ReloadRigDevices();
  for (sim::RigDevice& device : sim::RigDevices()) device.camera->logRequests = false;
  DWORD rig = 0;
  if (!Check(sim::InstallRig(&rig), "installing the simulated device rig")) return 1;

  ComPtr<IClassFactory> controls;
  if (Check(CoGetClassObject(CLSID_DVidCapCtrl, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             &controls),
            "class object of DVidCapCtrl")) {
    PropertyRows(controls.Get());
    EnumerationRows();
    AttachmentRows(controls.Get());
    ExtensionUnitRows(controls.Get());
  }
  SetCam(-1);
  sim::RevokeRig(rig);
  PrintTable();
  std::printf(g_failed ? "bench: FAILED\n" : "bench: done\n");
  return g_failed ? 1 : 0;
}

}  // namespace
}  // namespace lumora::bench

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      lumora::bench::g_quick = true;
    } else {
      std::printf("usage: lumora_bench [--quick]\n");
      return 2;
    }
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  int result = lumora::bench::Run();
  CoUninitialize();
  return result;
}
