// LumoraCOM: result codes, string arrays, instance independence and
// lifetime.
#include "com/raii.h"
#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"
#include "tests/win/simpleapi/simpleapi_fixture.h"

namespace lumora::test {
namespace {

class LumoraComTest : public SimpleApiTest {
 protected:
  static ComPtr<ILumoraCOM> NewInstance() { return NewLumoraCom<ILumoraCOM>(IID_ILumoraCOM); }
};

using StringMethod = HRESULT (STDMETHODCALLTYPE ILumoraCOM::*)(SAFEARRAY**);
constexpr StringMethod kStringMethods[] = {&ILumoraCOM::GetCamStrings, &ILumoraCOM::GetDevStrings,
                                           &ILumoraCOM::GetCamSerials};

TEST_F(LumoraComTest, StringMethodsAbortWithoutCameras) {
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  SAFEARRAY* const untouched = reinterpret_cast<SAFEARRAY*>(0x1234);
  for (StringMethod method : kStringMethods) {
    SAFEARRAY* array = untouched;
    EXPECT_EQ((com.Get()->*method)(&array), E_ABORT) << "before EnumCams";
    EXPECT_EQ(array, untouched);
    EXPECT_EQ((com.Get()->*method)(nullptr), E_POINTER);
  }
  UsePreset("none");
  ASSERT_EQ(com->EnumCams(), S_OK);
  for (StringMethod method : kStringMethods) {
    SAFEARRAY* array = untouched;
    EXPECT_EQ((com.Get()->*method)(&array), E_ABORT) << "after finding nothing";
    EXPECT_EQ(array, untouched);
  }
}

TEST_F(LumoraComTest, StringArraysFollowTheNumbering) {
  UsePreset("twelve");
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ASSERT_EQ(com->EnumCams(), S_OK);

  com::SafeArray names, serials, devices;
  SAFEARRAY* raw = nullptr;
  ASSERT_EQ(com->GetCamStrings(&raw), S_OK);
  names.Reset(raw);
  ASSERT_EQ(com->GetCamSerials(&raw), S_OK);
  serials.Reset(raw);
  ASSERT_EQ(com->GetDevStrings(&raw), S_OK);
  devices.Reset(raw);

  const int order[] = {1, 10, 11, 12, 2, 3, 4, 5, 6, 7};
  std::vector<std::wstring> expectedNames, expectedSerials;
  for (int n : order) {
    expectedNames.push_back(L"Simulated Camera " + std::to_wstring(n));
    wchar_t serial[16];
    swprintf(serial, 16, L"%x", 0x4c1e200 + n);
    expectedSerials.push_back(serial);
  }
  EXPECT_EQ(Elements(names.Get()), expectedNames);
  EXPECT_EQ(Elements(serials.Get()), expectedSerials);
  EXPECT_EQ(Elements(devices.Get()).size(), 10u);
}

TEST_F(LumoraComTest, TwoCamerasGiveBoundsZeroToOne) {
  // Shrink the rig to its first two devices.
  ASSERT_GE(sim::RigDevices().size(), 2u);
  sim::RigDevices().resize(2);
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ASSERT_EQ(com->EnumCams(), S_OK);
  const std::vector<std::wstring> expected = CollectionNames(LUMORA_MAX_CAMS);
  ASSERT_EQ(expected.size(), 2u);
  SAFEARRAY* raw = nullptr;
  ASSERT_EQ(com->GetCamStrings(&raw), S_OK);
  com::SafeArray names(raw);
  LONG upper = -1;
  ASSERT_HRESULT_SUCCEEDED(SafeArrayGetUBound(names.Get(), 1, &upper));
  EXPECT_EQ(upper, 1);
  EXPECT_EQ(Elements(names.Get()), expected);
}

TEST_F(LumoraComTest, ForwardingResultCodes) {
  UsePreset("twelve");  // plain cameras: the control answers VCP_Pan itself
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  LONG value = 4711;
  EXPECT_EQ(com->get_CamProperty(::VCP_Brightness, &value), E_FAIL) << "no camera";
  EXPECT_EQ(value, 4711);
  EXPECT_EQ(com->SetCam(0), E_FAIL) << "nothing listed";
  EXPECT_EQ(com->SetCam(-1), S_OK);

  ASSERT_EQ(com->EnumCams(), S_OK);
  SAFEARRAY* raw = nullptr;
  ASSERT_EQ(com->GetCamStrings(&raw), S_OK);
  com::SafeArray names(raw);
  LONG upper = -1;
  ASSERT_HRESULT_SUCCEEDED(SafeArrayGetUBound(names.Get(), 1, &upper));
  EXPECT_EQ(com->SetCam(upper + 1), E_FAIL) << "index at the count";
  ASSERT_EQ(com->SetCam(0), S_OK);

  EXPECT_EQ(com->get_CamProperty(::VCP_Brightness, &value), S_OK);
  EXPECT_EQ(com->put_CamProperty(::VCP_Brightness, value), S_OK);
  value = 4711;
  EXPECT_EQ(com->get_CamProperty(::VCP_Pan, &value), E_FAIL);
  EXPECT_EQ(value, 4711);
  EXPECT_EQ(com->put_CamProperty(::VCP_Pan, 0), E_FAIL);
  ::VidCapPropertySupport support = ::VCS_both;
  EXPECT_EQ(com->CamProperty_Support(::VCP_Pan, &support), S_OK) << "support reaches the control";
  LONG lo = 1, hi = 2, step = 3;
  EXPECT_EQ(com->CamProperty_Range(::VCP_Pan, &lo, &hi, &step), E_FAIL);
  EXPECT_EQ(lo + hi + step, 6);
  EXPECT_EQ(com->CamProperty_Range(::VCP_Brightness, &lo, &hi, &step), S_OK);
  EXPECT_LE(lo, hi);
  ::KnownChipsetCat chipset = static_cast<::KnownChipsetCat>(99);
  EXPECT_EQ(com->get_CamChipset(&chipset), S_OK);
  EXPECT_NE(static_cast<int>(chipset), 99);

  EXPECT_EQ(com->SetCam(-1), S_OK);
  EXPECT_EQ(com->get_CamChipset(&chipset), E_FAIL);
  EXPECT_EQ(com->get_CamChipset(nullptr), E_POINTER);
}

// ILumoraCOM2 on the same object: the manager's state decides first (E_ABORT
// with nothing listed, E_FAIL without a current camera, E_INVALIDARG outside
// 0 to 31), then the control's own answer comes back unchanged.
TEST_F(LumoraComTest, ModeMembersResultCodes) {
  UsePreset("twelve");  // plain cameras: exposure has both modes
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ComPtr<ILumoraCOM2> com2;
  ASSERT_EQ(com.As(&com2), S_OK);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(com.As(&dispatch), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(dispatch.Get()), static_cast<IUnknown*>(com2.Get()));

  LONG value = 4711;
  ::VidCapPropertyMode mode = static_cast<::VidCapPropertyMode>(4711);
  EXPECT_EQ(com2->CamProperty_ModeSupport(::VCP_Exposure, &value), E_ABORT);
  EXPECT_EQ(com2->put_CamProperty_Mode(::VCP_Exposure, ::VCM_Auto), E_ABORT);
  ASSERT_EQ(com->EnumCams(), S_OK);
  EXPECT_EQ(com2->get_CamProperty_Mode(::VCP_Exposure, &mode), E_FAIL);
  EXPECT_EQ(com2->get_CamProperty_Default(::VCP_Exposure, &value), E_FAIL);
  ASSERT_EQ(com->SetCam(0), S_OK);
  for (LONG outside : {32L, -1L, 1000L}) {
    auto p = static_cast<::VidCapProperty>(outside);
    EXPECT_EQ(com2->CamProperty_ModeSupport(p, &value), E_INVALIDARG) << outside;
    EXPECT_EQ(com2->put_CamProperty_Mode(p, ::VCM_Auto), E_INVALIDARG) << outside;
  }
  EXPECT_EQ(value, 4711);
  EXPECT_EQ(mode, static_cast<::VidCapPropertyMode>(4711));

  EXPECT_EQ(com2->CamProperty_ModeSupport(::VCP_Exposure, &value), S_OK);
  EXPECT_EQ(value, ::VCM_Auto | ::VCM_Manual);
  EXPECT_EQ(com2->put_CamProperty_Mode(::VCP_Exposure, ::VCM_Manual), S_OK);
  EXPECT_EQ(com2->get_CamProperty_Mode(::VCP_Exposure, &mode), S_OK);
  EXPECT_EQ(mode, ::VCM_Manual);
  EXPECT_EQ(com2->put_CamProperty_Mode(::VCP_Exposure, static_cast<::VidCapPropertyMode>(0)),
            E_INVALIDARG);
  EXPECT_EQ(com2->put_CamProperty_Mode(::VCP_WhiteBalanceMode, ::VCM_Auto), E_NOTIMPL);
  value = 4711;
  EXPECT_EQ(com2->get_CamProperty_Default(::VCP_WhiteBalanceMode, &value), E_NOTIMPL);
  EXPECT_EQ(value, 4711);
  EXPECT_EQ(com2->get_CamProperty_Default(::VCP_Exposure, &value), S_OK);
  EXPECT_EQ(value, -6);
  EXPECT_EQ(com2->get_CamProperty_Mode(::VCP_Exposure, nullptr), E_POINTER);
  EXPECT_EQ(com2->put_CamProperty_Mode(::VCP_Exposure, ::VCM_Auto), S_OK);  // as it was
}

TEST_F(LumoraComTest, InstancesAreIndependent) {
  ComPtr<ILumoraCOM> a = NewInstance();
  ComPtr<ILumoraCOM> b = NewInstance();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(a->EnumCams(), S_OK);
  ASSERT_EQ(a->SetCam(0), S_OK);
  SAFEARRAY* raw = nullptr;
  EXPECT_EQ(b->GetCamStrings(&raw), E_ABORT) << "b has listed nothing";
  LONG value = 0;
  EXPECT_EQ(b->get_CamProperty(::VCP_Brightness, &value), E_FAIL);

  UsePreset("twelve");
  ASSERT_EQ(b->EnumCams(), S_OK);
  ASSERT_EQ(b->SetCam(-1), S_OK);
  EXPECT_EQ(a->get_CamProperty(::VCP_Brightness, &value), S_OK) << "a keeps its camera";
  ASSERT_EQ(a->GetCamStrings(&raw), S_OK);
  com::SafeArray aNames(raw);
  ASSERT_EQ(b->GetCamStrings(&raw), S_OK);
  com::SafeArray bNames(raw);
  EXPECT_NE(Elements(aNames.Get()), Elements(bNames.Get()));
}

TEST_F(LumoraComTest, EachInstanceCountsAsOneUser) {
  CLumoraAPIclass probe;
  const long users = probe.DllUsers();
  {
    ComPtr<ILumoraCOM> com = NewInstance();
    ASSERT_NE(com, nullptr);
    EXPECT_EQ(probe.DllUsers(), users + 1);
    ComPtr<ILumoraCOM> second = NewInstance();
    EXPECT_EQ(probe.DllUsers(), users + 2);
  }
  EXPECT_EQ(probe.DllUsers(), users);
}

TEST_F(LumoraComTest, FinalReleaseFreesListAndCamera) {
  UsePreset("twelve");
  const LONG filters = sim::SimFilterObjectCount();
  LONG listed = 0;
  {
    ComPtr<ILumoraCOM> com = NewInstance();
    ASSERT_NE(com, nullptr);
    ASSERT_EQ(com->EnumCams(), S_OK);
    ASSERT_EQ(com->SetCam(0), S_OK);
    listed = sim::RigObjectCount();
    EXPECT_GT(sim::SimFilterObjectCount(), filters);
  }
  EXPECT_EQ(listed - sim::RigObjectCount(), 12) << "one moniker per descriptor";
  EXPECT_EQ(sim::SimFilterObjectCount(), filters);
}

TEST_F(LumoraComTest, ArraysThroughTheDispatchInterface) {
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(com.As(&dispatch));
  ASSERT_EQ(com->EnumCams(), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(L"GetCamStrings");
  DISPID id = 0;
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
  EXPECT_EQ(id, 2);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  com::Variant result;
  ASSERT_HRESULT_SUCCEEDED(
      dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, result.Get(), nullptr, nullptr));
  ASSERT_EQ(result.Get()->vt, VT_ARRAY | VT_BSTR);
  EXPECT_EQ(Elements(result.Get()->parray), CollectionNames(LUMORA_MAX_CAMS));
}

// A name outside ASCII that the ANSI code page can spell survives the trip
// through the narrow tables.
TEST_F(LumoraComTest, AnsiNamesSurviveTheRoundTrip) {
  const std::wstring wide = L"Cam\u00e9ra \u0152il \u20ac";
  BOOL lossy = FALSE;
  char narrow[64];
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, narrow, sizeof narrow,
                          nullptr, &lossy) == 0 ||
      lossy) {
    GTEST_SKIP() << "ANSI code page " << GetACP() << " cannot spell the name";
  }
  ASSERT_FALSE(sim::RigDevices().empty());
  sim::RigDevices()[0].friendlyName = u8"Cam\u00e9ra \u0152il \u20ac";
  const std::vector<std::wstring> collection = CollectionNames(LUMORA_MAX_CAMS);
  ASSERT_FALSE(collection.empty());
  ASSERT_EQ(collection[0], wide) << "the rig's first device comes first";

  // The narrow table holds the ANSI bytes ...
  CLumoraAPIclass api;
  ASSERT_TRUE(api.EnumCams());
  char*(*table)[LUMORA_MAX_CAMS] = nullptr;
  unsigned long count = 0;
  api.GetCamStrings(&table, &count);
  ASSERT_GT(count, 0u);
  EXPECT_STREQ((*table)[0], narrow);
  // ... and LumoraCOM gives back the original text.
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ASSERT_EQ(com->EnumCams(), S_OK);
  SAFEARRAY* raw = nullptr;
  ASSERT_EQ(com->GetCamStrings(&raw), S_OK);
  com::SafeArray names(raw);
  EXPECT_EQ(Elements(names.Get())[0], wide);
}

}  // namespace
}  // namespace lumora::test

namespace lumora::test {
namespace {

// CamProperty_Range through IDispatch with the out arguments as script
// engines pass them: references to variants (and, mixed in, a typed
// reference).
TEST_F(LumoraComTest, RangeThroughDispatchWithVariantReferences) {
  ComPtr<ILumoraCOM> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(com.As(&dispatch));
  ASSERT_EQ(com->EnumCams(), S_OK);
  ASSERT_EQ(com->SetCam(0), S_OK);
  LONG lo = 0, hi = 0, step = 0;
  ASSERT_EQ(com->CamProperty_Range(::VCP_Brightness, &lo, &hi, &step), S_OK);

  auto call = [&](LONG property, VARIANT* minimum, LONG* maximum, VARIANT* delta, EXCEPINFO* info) {
    VARIANT args[4];  // reverse order
    args[3].vt = VT_I4;
    args[3].lVal = property;
    args[2].vt = VT_BYREF | VT_VARIANT;
    args[2].pvarVal = minimum;
    args[1].vt = VT_BYREF | VT_I4;
    args[1].plVal = maximum;
    args[0].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = delta;
    DISPPARAMS params = {args, nullptr, 4, 0};
    UINT argError = 99;
    return dispatch->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, info, &argError);
  };

  com::Variant minimum, delta;
  minimum.Get()->vt = VT_BSTR;
  minimum.Get()->bstrVal = SysAllocString(L"replaced");
  LONG maximum = -1;
  EXCEPINFO info = {};
  ASSERT_EQ(call(::VCP_Brightness, minimum.Get(), &maximum, delta.Get(), &info), S_OK);
  ASSERT_EQ(minimum.Get()->vt, VT_I4);
  EXPECT_EQ(minimum.Get()->lVal, lo);
  EXPECT_EQ(maximum, hi);
  ASSERT_EQ(delta.Get()->vt, VT_I4);
  EXPECT_EQ(delta.Get()->lVal, step);

  // A failing call reports the method's code and leaves the arguments alone.
  minimum.Get()->lVal = 4711;
  maximum = 4712;
  EXPECT_EQ(call(::VCP_Pan, minimum.Get(), &maximum, delta.Get(), &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, E_FAIL);
  EXPECT_EQ(minimum.Get()->lVal, 4711);
  EXPECT_EQ(maximum, 4712);
}

}  // namespace
}  // namespace lumora::test
