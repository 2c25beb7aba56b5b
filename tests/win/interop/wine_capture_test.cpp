// Lumora against a capture filter nobody here wrote: Wine's own video capture
// filter, driven by the fake V4L2 devices of fake_v4l2.c (preloaded by
// interop_test.sh), reached through the registered Lumora.dll. Values are
// checked at the device, in the fake's state file, not only through the
// library.
//
// The state file (LUMORA_FAKE_V4L2_STATE) starts as interop_test.sh writes
// it: device 0 "Lumora Fake Camera A" and device 1 "Lumora Fake Camera B",
// each with brightness, contrast, saturation and hue.
#include <windows.h>
#include <oleauto.h>
#include <strmif.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "com/raii.h"
#include "lumora_idl.h"
#include "lumora.h"
#include "tests/win/com_support.h"

namespace {

using lumora::com::Bstr;
using lumora::com::Variant;
using Microsoft::WRL::ComPtr;

[[maybe_unused]] ::testing::Environment* const g_com =
    ::testing::AddGlobalTestEnvironment(new lumora::test::ComApartment);

constexpr wchar_t kCameraA[] = L"Lumora Fake Camera A";
constexpr wchar_t kCameraB[] = L"Lumora Fake Camera B";
constexpr wchar_t kPathA[] = L"@device:cm:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\video0";
constexpr LONG kUntouched = 0x5A5A5A5A;

// V4L2 control ids of the four proc-amp properties.
constexpr unsigned kBrightnessId = 0x00980900;
constexpr unsigned kContrastId = 0x00980901;
constexpr unsigned kSaturationId = 0x00980902;
constexpr unsigned kHueId = 0x00980903;

// --- the fake device's state file -------------------------------------------

std::string StatePath() {
  const char* unix = std::getenv("LUMORA_FAKE_V4L2_STATE");
  std::string path = "Z:";
  for (const char* p = unix ? unix : ""; *p != '\0'; ++p) path += *p == '/' ? '\\' : *p;
  return path;
}

std::string ReadState() {
  std::ifstream in(StatePath(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteState(const std::string& text) {
  std::ofstream out(StatePath(), std::ios::binary | std::ios::trunc);
  out << text;
}

struct DeviceControl {
  int value = 0, min = 0, max = 0, step = 0, def = 0;
};

// The controls of device n as the device holds them.
std::map<unsigned, DeviceControl> Controls(int n) {
  std::map<unsigned, DeviceControl> controls;
  std::istringstream lines(ReadState());
  std::string line;
  while (std::getline(lines, line)) {
    int device = -1;
    unsigned id = 0;
    DeviceControl c;
    if (std::sscanf(line.c_str(), "control %d %i %d %d %d %d %d", &device, &id, &c.value, &c.min,
                    &c.max, &c.step, &c.def) == 7 &&
        device == n) {
      controls[id] = c;
    }
  }
  return controls;
}

// Puts the state file back as it was when the object was made.
class StateGuard {
 public:
  StateGuard() : saved_(ReadState()) {}
  ~StateGuard() { WriteState(saved_); }
  StateGuard(const StateGuard&) = delete;
  StateGuard& operator=(const StateGuard&) = delete;

 private:
  std::string saved_;
};

// --- enumeration --------------------------------------------------------------

struct Listed {
  std::wstring name, path;
  LONG index = 0, kind = -1;
  ComPtr<IVCapFilter> filter;
};

std::wstring Text(const Bstr& b) { return b.Get() ? std::wstring(b.Get(), b.Length()) : L""; }

// The collection of one enumeration member, in its order.
std::vector<Listed> Enumerate(bool all) {
  std::vector<Listed> out;
  ComPtr<IVCapFilterEnum2> enumerator;
  EXPECT_EQ(CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IVCapFilterEnum2, &enumerator),
            S_OK);
  if (!enumerator) return out;
  Bstr category;
  EXPECT_EQ(enumerator->DeviceCatClsid(CGC_VideoCapture, category.Receive()), S_OK);
  ComPtr<IDispatch> result;
  HRESULT hr = all ? enumerator->EnumerateAllFilter(category.Get(), &result)
                   : enumerator->EnumerateFilter(category.Get(), &result);
  EXPECT_EQ(hr, S_OK);
  ComPtr<IVCapCollection> collection;
  if (!result || FAILED(result.As(&collection))) return out;
  LONG count = 0;
  EXPECT_EQ(collection->get_Count(&count), S_OK);
  for (LONG i = 1; i <= count; ++i) {
    Variant index, item;
    index.Get()->vt = VT_I4;
    index.Get()->lVal = i;
    EXPECT_EQ(collection->get_Item(*index.Get(), item.Get()), S_OK);
    Listed l;
    if (item.Get()->vt != VT_DISPATCH ||
        FAILED(item.Get()->pdispVal->QueryInterface(IID_IVCapFilter, &l.filter))) {
      ADD_FAILURE() << "item " << i << " is no filter";
      continue;
    }
    Bstr name, path;
    l.filter->get_FName(name.Receive());
    l.filter->get_DeviceName(path.Receive());
    l.filter->get_FIndex(&l.index);
    l.name = Text(name);
    l.path = Text(path);
    ComPtr<IVCapFilter2> second;
    EXPECT_EQ(l.filter.As(&second), S_OK);
    if (second) {
      EXPECT_EQ(second->get_SourceKind(&l.kind), S_OK);
    }
    out.push_back(l);
  }
  return out;
}

const Listed* Find(const std::vector<Listed>& list, const wchar_t* name) {
  for (const Listed& l : list) {
    if (l.name == name) return &l;
  }
  return nullptr;
}

ComPtr<IDVidCapCtrl2> Attached(const wchar_t* name, HRESULT* attach = nullptr) {
  std::vector<Listed> all = Enumerate(true);
  const Listed* source = Find(all, name);
  if (!source) {
    ADD_FAILURE() << "not listed";
    return nullptr;
  }
  ComPtr<IDVidCapCtrl2> control;
  EXPECT_EQ(CoCreateInstance(CLSID_DVidCapCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IDVidCapCtrl2,
                             &control),
            S_OK);
  if (!control) return nullptr;
  ComPtr<IDispatch> descriptor;
  EXPECT_EQ(source->filter.As(&descriptor), S_OK);
  HRESULT hr = control->put_CaptureFilter(descriptor.Get());
  if (attach) *attach = hr;
  EXPECT_EQ(hr, S_OK);
  return control;
}

TEST(WineCaptureEnumeration, OnlyTheNewMembersListTheSources) {
  std::vector<Listed> devices = Enumerate(false);
  EXPECT_EQ(Find(devices, kCameraA), nullptr);
  EXPECT_EQ(Find(devices, kCameraB), nullptr);

  std::vector<Listed> all = Enumerate(true);
  ASSERT_GE(all.size(), devices.size() + 2);
  for (size_t i = 0; i < devices.size(); ++i) {
    EXPECT_EQ(all[i].path, devices[i].path) << "the devices come first, in their order";
    EXPECT_EQ(all[i].kind, 0);
  }
  const Listed* a = Find(all, kCameraA);
  const Listed* b = Find(all, kCameraB);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->kind, 1);
  EXPECT_EQ(b->kind, 1);
  EXPECT_EQ(a->path, kPathA) << "the path of a source without one is its display name";
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].index, static_cast<LONG>(i + 1));
}

// --- the control object ---------------------------------------------------

TEST(WineCaptureControl, TheFourControlsReachTheDevice) {
  StateGuard restore;
  ComPtr<IDVidCapCtrl2> control = Attached(kCameraA);
  ASSERT_TRUE(control);
  KnownChipsetCat chipset = CSX_SAA8112;
  EXPECT_EQ(control->get_Chipset(&chipset), S_OK);
  EXPECT_EQ(chipset, CSX_Unknown);

  const struct {
    VidCapProperty property;
    unsigned id;
  } rows[] = {{VCP_Brightness, kBrightnessId},
              {VCP_Contrast, kContrastId},
              {VCP_Saturation, kSaturationId},
              {VCP_Hue, kHueId}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.property);
    const DeviceControl device = Controls(0)[row.id];
    VidCapPropertySupport support = VCS_no;
    EXPECT_EQ(control->Has(row.property, &support), S_OK);
    EXPECT_EQ(support, VCS_both);
    LONG mn = 0, mx = 0, st = 0, df = 0, caps = 0;
    ASSERT_EQ(control->GetRange(row.property, &mn, &mx, &st, &df, &caps), S_OK);
    EXPECT_EQ(mn, device.min);
    EXPECT_EQ(mx, device.max);
    EXPECT_EQ(st, device.step);
    EXPECT_EQ(df, device.def);
    LONG value = kUntouched;
    ASSERT_EQ(control->get_Prop(row.property, &value), S_OK);
    EXPECT_EQ(value, device.value);

    const LONG target = device.min + device.step;
    ASSERT_EQ(control->put_Prop(row.property, target), S_OK);
    EXPECT_EQ(Controls(0)[row.id].value, target) << "the device holds the value written";
    ASSERT_EQ(control->get_Prop(row.property, &value), S_OK);
    EXPECT_EQ(value, target);

    LONG modes = -1, byDefault = 0;
    EXPECT_EQ(control->ModeSupport(row.property, &modes), S_OK);
    EXPECT_EQ(modes, VCM_Manual);
    EXPECT_EQ(control->get_DefaultValue(row.property, &byDefault), S_OK);
    EXPECT_EQ(byDefault, device.def);
  }
  EXPECT_EQ(Controls(1)[kBrightnessId].value, 0) << "the other device is left alone";
}

TEST(WineCaptureControl, UnsupportedPropertiesFailCleanly) {
  ComPtr<IDVidCapCtrl2> control = Attached(kCameraA);
  ASSERT_TRUE(control);
  for (VidCapProperty p : {VCP_Sharpness, VCP_Gain, VCP_Exposure, VCP_FlipHorizontal,
                           VCP_ActualFrameRate, VCP_Zoom, VCP_Focus, VCP_LED}) {
    SCOPED_TRACE(p);
    VidCapPropertySupport support = VCS_both;
    EXPECT_EQ(control->Has(p, &support), S_OK);
    EXPECT_EQ(support, VCS_no);
    LONG v[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
    EXPECT_TRUE(FAILED(control->GetRange(p, &v[0], &v[1], &v[2], &v[3], &v[4])));
    for (LONG x : v) EXPECT_EQ(x, kUntouched);
    LONG value = kUntouched;
    EXPECT_TRUE(FAILED(control->get_Prop(p, &value)));
    EXPECT_EQ(value, kUntouched);
  }
}

TEST(WineCaptureControl, BaseFilterAttachesTheBoundFilter) {
  StateGuard restore;
  std::vector<Listed> all = Enumerate(true);
  const Listed* b = Find(all, kCameraB);
  ASSERT_TRUE(b);
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(b->filter->get_Moniker(&unknown), S_OK);
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(unknown.As(&moniker), S_OK);
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, &filter), S_OK);
  ComPtr<IDVidCapCtrl> control;
  ASSERT_EQ(CoCreateInstance(CLSID_DVidCapCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IDVidCapCtrl,
                             &control),
            S_OK);
  ASSERT_EQ(control->put_BaseFilter(filter.Get()), S_OK);
  ASSERT_EQ(control->put_Prop(VCP_Hue, 7), S_OK);
  EXPECT_EQ(Controls(1)[kHueId].value, 7);
}

// Device B refuses reads and writes of its contrast while answering its
// range: failures, the outputs untouched, never a stale value.
TEST(WineCaptureControl, ARefusedControlFailsWithoutStaleValues) {
  StateGuard restore;
  WriteState(ReadState() + "refuse 1 0x00980901\n");
  ComPtr<IDVidCapCtrl2> control = Attached(kCameraB);
  ASSERT_TRUE(control);
  LONG value = kUntouched;
  EXPECT_TRUE(FAILED(control->get_Prop(VCP_Contrast, &value)));
  EXPECT_EQ(value, kUntouched);
  const int before = Controls(1)[kContrastId].value;
  EXPECT_TRUE(FAILED(control->put_Prop(VCP_Contrast, before + 1)));
  EXPECT_EQ(Controls(1)[kContrastId].value, before);
  VidCapPropertyMode mode = static_cast<VidCapPropertyMode>(kUntouched);
  EXPECT_TRUE(FAILED(control->get_Mode(VCP_Contrast, &mode)));
  EXPECT_EQ(mode, static_cast<VidCapPropertyMode>(kUntouched));
  ASSERT_EQ(control->get_Prop(VCP_Saturation, &value), S_OK) << "the other controls still work";
}

TEST(WineCaptureControl, AVanishedDeviceGivesFailures) {
  StateGuard restore;
  ComPtr<IDVidCapCtrl2> control = Attached(kCameraA);
  ASSERT_TRUE(control);
  LONG value = kUntouched;
  ASSERT_EQ(control->get_Prop(VCP_Brightness, &value), S_OK);
  WriteState(ReadState() + "gone 0\n");
  value = kUntouched;
  EXPECT_TRUE(FAILED(control->get_Prop(VCP_Brightness, &value)));
  EXPECT_EQ(value, kUntouched);
  EXPECT_TRUE(FAILED(control->put_Prop(VCP_Brightness, 1)));
  LONG v[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
  EXPECT_TRUE(FAILED(control->GetRange(VCP_Brightness, &v[0], &v[1], &v[2], &v[3], &v[4])));
  for (LONG x : v) EXPECT_EQ(x, kUntouched);
  VidCapPropertySupport support = VCS_both;
  EXPECT_EQ(control->Has(VCP_Brightness, &support), S_OK);
  EXPECT_EQ(support, VCS_no);
  EXPECT_EQ(Find(Enumerate(true), kCameraA), nullptr) << "a vanished device is not listed";
}

// --- the simple API -------------------------------------------------------

// The position of a camera name in the simple API's list, or -1.
long Position(char** table, unsigned long count, const char* name) {
  for (unsigned long i = 0; i < count; ++i) {
    if (table && table[i] && std::string(table[i]) == name) return static_cast<long>(i);
  }
  return -1;
}

TEST(WineCaptureSimpleApi, EnumAllCamsListsAndControlsTheSources) {
  StateGuard restore;
  char** names = nullptr;
  unsigned long count = 0;
  ASSERT_EQ(EnumCams(), 0);
  GetCamStrings(&names, &count);
  EXPECT_EQ(Position(names, count, "Lumora Fake Camera A"), -1);

  ASSERT_EQ(EnumAllCams(), 0);
  GetCamStrings(&names, &count);
  const long a = Position(names, count, "Lumora Fake Camera A");
  ASSERT_GE(a, 0);
  char** paths = nullptr;
  GetDevStrings(&paths, &count);
  EXPECT_STREQ(paths[a], "@device:cm:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\video0");
  ASSERT_EQ(SetCam(a), 0);
  long support = 0, mn = 0, mx = 0, delta = 0, value = 0;
  ASSERT_EQ(CamProperty_Support(VCP_Saturation, &support), 0);
  EXPECT_EQ(support, VCS_both);
  ASSERT_EQ(CamProperty_Range(VCP_Saturation, &mn, &mx, &delta), 0);
  EXPECT_EQ(mx, Controls(0)[kSaturationId].max);
  ASSERT_EQ(CamProperty_Set(VCP_Saturation, mx), 0);
  EXPECT_EQ(Controls(0)[kSaturationId].value, mx);
  ASSERT_EQ(CamProperty_Get(VCP_Saturation, &value), 0);
  EXPECT_EQ(value, mx);
  EXPECT_NE(CamProperty_Get(VCP_Sharpness, &value), 0);

  ASSERT_EQ(EnumCams(), 0);
  GetCamStrings(&names, &count);
  EXPECT_EQ(Position(names, count, "Lumora Fake Camera A"), -1) << "EnumCams: the devices again";
  SetCam(-1);
}

// The camera names of LumoraCOM's list.
HRESULT CamNames(ILumoraCOM* lumora, std::vector<std::wstring>* names) {
  SAFEARRAY* raw = nullptr;
  HRESULT hr = lumora->GetCamStrings(&raw);
  if (FAILED(hr)) return hr;
  lumora::com::SafeArray array(raw);
  LONG upper = -1;
  SafeArrayGetUBound(array.Get(), 1, &upper);
  for (LONG i = 0; i <= upper; ++i) {
    Bstr name;
    hr = SafeArrayGetElement(array.Get(), &i, name.Receive());
    if (FAILED(hr)) return hr;
    names->push_back(Text(name));
  }
  return S_OK;
}

TEST(WineCaptureSimpleApi, LumoraCom3ListsAndControlsTheSources) {
  StateGuard restore;
  ComPtr<ILumoraCOM3> lumora;
  ASSERT_EQ(
      CoCreateInstance(CLSID_LumoraCOM, nullptr, CLSCTX_INPROC_SERVER, IID_ILumoraCOM3, &lumora),
      S_OK);
  ASSERT_EQ(lumora->EnumAllCams(), S_OK);
  std::vector<std::wstring> names;
  ASSERT_EQ(CamNames(lumora.Get(), &names), S_OK);
  LONG b = -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == kCameraB) b = static_cast<LONG>(i);
  }
  ASSERT_GE(b, 0);
  ASSERT_EQ(lumora->SetCam(b), S_OK);
  ASSERT_EQ(lumora->put_CamProperty(VCP_Brightness, -3), S_OK);
  EXPECT_EQ(Controls(1)[kBrightnessId].value, -3);
  LONG value = 0;
  ASSERT_EQ(lumora->get_CamProperty(VCP_Brightness, &value), S_OK);
  EXPECT_EQ(value, -3);
  LONG modes = -1;
  EXPECT_EQ(lumora->CamProperty_ModeSupport(VCP_Brightness, &modes), S_OK);
  EXPECT_EQ(modes, VCM_Manual);
  EXPECT_TRUE(FAILED(lumora->get_CamProperty(VCP_Gain, &value)));

  ASSERT_EQ(lumora->EnumCams(), S_OK);
  names.clear();
  const HRESULT hr = CamNames(lumora.Get(), &names);
  EXPECT_TRUE(hr == S_OK || hr == E_ABORT) << "E_ABORT: no device listed";
  for (const std::wstring& name : names) EXPECT_NE(name, kCameraB) << "EnumCams: the devices again";
}

}  // namespace
