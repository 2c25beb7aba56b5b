// The COM simulated filter as a COM object: which interfaces it answers,
// identity and reference counting, its pins, and forwarding to the model.
#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <ks.h>
#include <ksproxy.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include "sim/com/sim_filter.h"

namespace lumora::sim {
namespace {

using Microsoft::WRL::ComPtr;

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

ComPtr<IUnknown> Identity(IUnknown* object) {
  ComPtr<IUnknown> id;
  EXPECT_EQ(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(id.GetAddressOf())),
            S_OK);
  return id;
}

class SimFilterTest : public ::testing::Test {
 protected:
  void SetUp() override { cam = SimulatedCamera::Create(); }
  void Build() { ASSERT_EQ(CreateSimFilter(cam, filter.ReleaseAndGetAddressOf()), S_OK); }
  void TearDown() override {
    filter.Reset();
    EXPECT_EQ(SimFilterObjectCount(), 0) << "a simulated-filter object outlived its references";
  }

  std::vector<ComPtr<IPin>> AllPins() {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> e;
    EXPECT_EQ(filter->EnumPins(e.GetAddressOf()), S_OK);
    ComPtr<IPin> pin;
    while (e->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) pins.push_back(pin);
    return pins;
  }

  std::shared_ptr<SimulatedCamera> cam;
  ComPtr<IBaseFilter> filter;
};

TEST_F(SimFilterTest, CreateChecksItsArguments) {
  IBaseFilter* out = reinterpret_cast<IBaseFilter*>(this);
  EXPECT_EQ(CreateSimFilter(nullptr, &out), E_POINTER);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CreateSimFilter(cam, nullptr), E_POINTER);
}

struct OptionalInterface {
  const char* name;
  const IID* iid;
  bool SimulatedCamera::*present;
};

const OptionalInterface kOptional[] = {
    {"IAMVideoProcAmp", &IID_IAMVideoProcAmp, &SimulatedCamera::hasVideoProcAmp},
    {"IAMCameraControl", &IID_IAMCameraControl, &SimulatedCamera::hasCameraControl},
    {"IAMVideoControl", &IID_IAMVideoControl, &SimulatedCamera::hasVideoControl},
    {"IKsControl", &IID_IKsControl, &SimulatedCamera::hasKsControl},
    {"IKsPropertySet", &IID_IKsPropertySet, &SimulatedCamera::hasKsPropertySet},
};

TEST_F(SimFilterTest, AnswersEachOptionalInterfaceOnlyWhileTheModelHasIt) {
  Build();
  for (const auto& row : kOptional) {
    SCOPED_TRACE(row.name);
    ComPtr<IUnknown> itf;
    ASSERT_EQ(filter->QueryInterface(*row.iid, reinterpret_cast<void**>(itf.GetAddressOf())), S_OK);
    EXPECT_NE(itf.Get(), nullptr);
    EXPECT_EQ(Identity(itf.Get()).Get(), Identity(filter.Get()).Get());
    itf.Reset();

    (*cam).*row.present = false;
    void* raw = this;
    EXPECT_EQ(filter->QueryInterface(*row.iid, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
    (*cam).*row.present = true;
  }
}

TEST_F(SimFilterTest, AlwaysAnswersTheFilterInterfacesAndNothingElse) {
  for (auto& row : kOptional) (*cam).*row.present = false;
  Build();
  for (const IID* iid : {&IID_IUnknown, &IID_IPersist, &IID_IMediaFilter, &IID_IBaseFilter}) {
    ComPtr<IUnknown> itf;
    EXPECT_EQ(filter->QueryInterface(*iid, reinterpret_cast<void**>(itf.GetAddressOf())), S_OK);
  }
  ComPtr<IUnknown> pin;
  EXPECT_EQ(filter->QueryInterface(IID_IPin, reinterpret_cast<void**>(pin.GetAddressOf())),
            E_NOINTERFACE);
  EXPECT_EQ(filter->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
  CLSID clsid{};
  ASSERT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_LumoraSimFilter);
}

TEST_F(SimFilterTest, InterfacesCountOnTheFilterAndLeadBackToIt) {
  Build();
  EXPECT_EQ(RefCount(filter.Get()), 1u);
  ComPtr<IAMVideoProcAmp> procAmp;
  ComPtr<IAMCameraControl> camera;
  ASSERT_EQ(
      filter->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(procAmp.GetAddressOf())),
      S_OK);
  ASSERT_EQ(procAmp->QueryInterface(IID_IAMCameraControl,
                                    reinterpret_cast<void**>(camera.GetAddressOf())),
            S_OK);
  EXPECT_EQ(RefCount(filter.Get()), 3u);
  EXPECT_NE(static_cast<void*>(procAmp.Get()), static_cast<void*>(camera.Get()));

  ComPtr<IBaseFilter> back;
  ASSERT_EQ(camera->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(back.GetAddressOf())),
            S_OK);
  EXPECT_EQ(back.Get(), filter.Get());
  back.Reset();
  camera.Reset();
  procAmp.Reset();
  EXPECT_EQ(RefCount(filter.Get()), 1u);
}

TEST_F(SimFilterTest, DiesWithItsLastReferenceAndLetsGoOfTheCamera) {
  cam->pins = {0, 1};
  Build();
  EXPECT_EQ(SimFilterObjectCount(), 3);  // the filter and its two pins
  EXPECT_EQ(cam.use_count(), 2);
  ComPtr<IKsControl> ks;
  ASSERT_EQ(filter->QueryInterface(IID_IKsControl, reinterpret_cast<void**>(ks.GetAddressOf())),
            S_OK);
  filter.Reset();
  EXPECT_EQ(SimFilterObjectCount(), 3) << "an interface reference keeps the filter";
  EXPECT_EQ(ks.Get()->Release(), 0u);
  ks.Detach();
  EXPECT_EQ(SimFilterObjectCount(), 0);
  EXPECT_EQ(cam.use_count(), 1);
}

TEST_F(SimFilterTest, PinsFollowTheModelInOrder) {
  cam->pins = {0, 1, 1};
  Build();
  auto pins = AllPins();
  ASSERT_EQ(pins.size(), 3u);
  const PIN_DIRECTION expected[] = {PINDIR_INPUT, PINDIR_OUTPUT, PINDIR_OUTPUT};
  for (size_t i = 0; i < pins.size(); ++i) {
    PIN_DIRECTION dir = PINDIR_INPUT;
    ASSERT_EQ(pins[i]->QueryDirection(&dir), S_OK);
    EXPECT_EQ(dir, expected[i]) << i;
    PIN_INFO info{};
    ASSERT_EQ(pins[i]->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.pFilter, filter.Get());
    EXPECT_EQ(info.dir, expected[i]);
    info.pFilter->Release();
  }
  // A second enumeration yields the same pin objects.
  auto again = AllPins();
  ASSERT_EQ(again.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(again[i].Get(), pins[i].Get()) << i;
  // A pin is not the filter.
  ComPtr<IBaseFilter> notFilter;
  EXPECT_EQ(
      pins[0]->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(notFilter.GetAddressOf())),
      E_NOINTERFACE);
}

TEST_F(SimFilterTest, APinOrEnumeratorKeepsTheFilterAlive) {
  cam->pins = {1};
  Build();
  ComPtr<IEnumPins> e;
  ASSERT_EQ(filter->EnumPins(e.GetAddressOf()), S_OK);
  EXPECT_EQ(SimFilterObjectCount(), 3);  // filter, pin, enumerator
  filter.Reset();
  ComPtr<IPin> pin;
  ASSERT_EQ(e->Next(1, pin.GetAddressOf(), nullptr), S_OK);
  e.Reset();
  EXPECT_EQ(SimFilterObjectCount(), 2);
  PIN_DIRECTION dir = PINDIR_INPUT;
  EXPECT_EQ(pin->QueryDirection(&dir), S_OK);
  EXPECT_EQ(dir, PINDIR_OUTPUT);
  pin.Reset();
  EXPECT_EQ(SimFilterObjectCount(), 0);
}

// The enumerator protocol itself is com::SnapshotEnumerator's (tests/win/com);
// here: every enumeration and clone hands out the filter's own pins, in order.
TEST_F(SimFilterTest, PinEnumeratorsHandOutTheFiltersOwnPins) {
  cam->pins = {1, 0, 1};
  Build();
  ComPtr<IEnumPins> e, clone;
  ASSERT_EQ(filter->EnumPins(e.GetAddressOf()), S_OK);
  ASSERT_EQ(e->Clone(clone.GetAddressOf()), S_OK);
  IPin* batch[4] = {};
  IPin* again[4] = {};
  ULONG fetched = 0, fetchedAgain = 0;
  EXPECT_EQ(e->Next(4, batch, &fetched), S_FALSE);
  EXPECT_EQ(clone->Next(4, again, &fetchedAgain), S_FALSE);
  ASSERT_EQ(fetched, 3u);
  ASSERT_EQ(fetchedAgain, 3u);
  const PIN_DIRECTION expected[3] = {PINDIR_OUTPUT, PINDIR_INPUT, PINDIR_OUTPUT};
  for (ULONG i = 0; i < fetched; ++i) {
    EXPECT_EQ(batch[i], again[i]) << "the same pin objects";
    PIN_DIRECTION dir = PINDIR_INPUT;
    EXPECT_EQ(batch[i]->QueryDirection(&dir), S_OK);
    EXPECT_EQ(dir, expected[i]);
    batch[i]->Release();
    again[i]->Release();
  }
}

}  // namespace
}  // namespace lumora::sim
