// DVidCapCtrl over the simulated device rig: a camera listed by
// VCapFilterEnum is handed over as its VCapFilter descriptor, exactly as the
// camera manager does it.
#include "tests/win/ctrl/ctrl_fixture.h"

#include <string>
#include <vector>

#include "com/raii.h"
#include "sim/com/rig_server.h"

namespace ctrltest {
namespace {

class RigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(LumoraModule(), "DllGetClassObject")));
    ASSERT_NE(get, nullptr);
    // The enumerator creates its collection and descriptors through COM.
    for (const CLSID* clsid : {&CLSID_VCapCollection, &CLSID_VCapFilter, &CLSID_VCapFilterEnum}) {
      ComPtr<IClassFactory> factory;
      ASSERT_HRESULT_SUCCEEDED(get(*clsid, IID_IClassFactory, &factory));
      DWORD cookie = 0;
      ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(*clsid, factory.Get(), CLSCTX_INPROC_SERVER,
                                                     REGCLS_MULTIPLEUSE, &cookie));
      cookies_.push_back(cookie);
    }
    ASSERT_HRESULT_SUCCEEDED(sim::InstallRig(&rig_));
  }
  void TearDown() override {
    dispatch.Reset();
    control.Reset();
    sink.Reset();
    if (rig_) sim::RevokeRig(rig_);
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
  }

  // The rig's video-capture descriptor with this device string.
  ComPtr<IVCapFilter> Descriptor(const wchar_t* vidPid) {
    ComPtr<IVCapFilterEnum> enumerator;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IVCapFilterEnum, &enumerator));
    if (!enumerator) return nullptr;
    lumora::com::Bstr category(L"{860bb310-5d01-11d0-bd3b-00a0c911ce86}");
    ComPtr<IDispatch> result;
    EXPECT_EQ(enumerator->EnumerateFilter(category.Get(), &result), S_OK);
    ComPtr<IVCapCollection> collection;
    if (!result || FAILED(result.As(&collection))) return nullptr;
    ComPtr<IUnknown> unknown;
    ComPtr<IEnumVARIANT> items;
    if (FAILED(collection->get__NewEnum(&unknown)) || FAILED(unknown.As(&items))) return nullptr;
    VARIANT item;
    VariantInit(&item);
    while (items->Next(1, &item, nullptr) == S_OK) {
      ComPtr<IVCapFilter> filter;
      if (item.vt == VT_DISPATCH && item.pdispVal) {
        item.pdispVal->QueryInterface(IID_IVCapFilter, &filter);
      }
      VariantClear(&item);
      lumora::com::Bstr text;
      if (filter && SUCCEEDED(filter->get_DeviceVidPid(text.Receive())) && text.Get() &&
          std::wstring(text.Get()) == vidPid) {
        return filter;
      }
    }
    ADD_FAILURE() << "the rig lists no such device";
    return nullptr;
  }

  // A new control with a recording sink, and the rig's descriptor of this
  // device as the IDispatch the control is handed.
  void Prepare(const wchar_t* vidPid) {
    ComPtr<IVCapFilter> descriptor = Descriptor(vidPid);
    ASSERT_TRUE(descriptor);
    control = NewControl();
    sink = Make<RecordingSink>();
    Advise(control.Get(), sink.Get());
    ASSERT_EQ(descriptor.As(&dispatch), S_OK);
  }

  ComPtr<IDVidCapCtrl> control;
  ComPtr<RecordingSink> sink;
  ComPtr<IDispatch> dispatch;

 private:
  std::vector<DWORD> cookies_;
  DWORD rig_ = 0;
};

TEST_F(RigTest, PhilipsSpc900ThroughItsDescriptor) {
  ASSERT_NO_FATAL_FAILURE(Prepare(L"VID_0471&PID_0329"));
  EXPECT_EQ(control->put_CaptureFilter(dispatch.Get()), S_OK);
  // The 63B8CCB6 set of the device table is reported as the SAA8116 set.
  EXPECT_EQ(sink->Texts(),
            std::vector<std::wstring>{GuidMessage(L"1b3c6c20-cce8-11d3-a59b-00104b13eaf2")});
  HRESULT hr = E_FAIL;
  EXPECT_EQ(ChipsetOf(control.Get(), &hr), CSX_SAA8116);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(static_cast<int>(CSX_SAA8116), 3);
  LONG value = -1;
  EXPECT_EQ(control->get_Prop(VCP_Brightness, &value), S_OK);
  EXPECT_EQ(control->put_CaptureFilter(dispatch.Get()), E_ABORT);
}

TEST_F(RigTest, DeviceWithoutPrivateSetRunsInPlainMode) {
  ASSERT_NO_FATAL_FAILURE(Prepare(L"VID_0C45&PID_6340"));
  HRESULT attach = control->put_CaptureFilter(dispatch.Get());
  HRESULT hr = E_FAIL;
  EXPECT_EQ(ChipsetOf(control.Get(), &hr), CSX_Unknown);
  EXPECT_EQ(hr, S_OK);
  ASSERT_FALSE(sink->Texts().empty());
  EXPECT_EQ(sink->Texts().front(),
            attach == S_OK ? L"VID-PID Search failed" : L"KS Property Interface Query failed");
  EXPECT_EQ(sink->Texts().back(), kNullGuidMessage);
}

}  // namespace
}  // namespace ctrltest
