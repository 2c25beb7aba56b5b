// The DirectShow adapter over the COM simulated filter: every boundary
// operation reaches the filter's COM interfaces, results and values cross
// unchanged, and every reference the adapter takes is given back.
#include <windows.h>
#include <strmif.h>

#include <wrl/client.h>

#include <functional>

#include <gtest/gtest.h>

#include "dshow/dshow_filter.h"
#include "property/property_blocks.h"
#include "property/property_handler.h"
#include "sim/com/sim_filter.h"
#include "tests/win/dshow/sim_filter_fixture.h"

namespace lumora {
namespace {

using Microsoft::WRL::ComPtr;
using sim::Op;
using sim::SimulatedCamera;

const Guid kPrivate = Guid::Parse("35DBC300-F98F-11D2-AFD0-00104B13EAF2");
constexpr HResult kGenFailure = static_cast<HResult>(0x8007001Fu);  // ERROR_GEN_FAILURE

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class AdapterTest : public test::SimFilterTest<> {
 protected:
  void SetUp() override { cam = SimulatedCamera::Create(); }
  // Builds the COM filter and the adapter after the test shaped the model.
  void Build() { BuildAdapter(); }
};

TEST_F(AdapterTest, TakesItsOwnReferenceOnTheFilter) {
  EXPECT_EQ(MakeDShowFilter(nullptr), nullptr);
  Build();
  EXPECT_EQ(RefCount(com.Get()), 2u);
  EXPECT_EQ(static_cast<DShowFilter*>(adapter.get())->filter(), com.Get());
  adapter.reset();
  EXPECT_EQ(RefCount(com.Get()), 1u);
}

// One row per optional interface: its presence flag and a query that keeps
// the wrapper it got.
struct QueryRow {
  const char* name;
  bool SimulatedCamera::*present;
  std::function<HResult(CaptureFilter&, std::shared_ptr<void>*)> query;
};

template <class T, HResult (CaptureFilter::*kQuery)(std::unique_ptr<T>*)>
HResult QueryAndKeep(CaptureFilter& filter, std::shared_ptr<void>* kept) {
  std::unique_ptr<T> out;
  HResult h = (filter.*kQuery)(&out);
  *kept = std::shared_ptr<T>(std::move(out));
  return h;
}

const QueryRow kQueries[] = {
    {"VideoControl", &SimulatedCamera::hasVideoControl,
     QueryAndKeep<VideoControl, &CaptureFilter::QueryVideoControl>},
    {"VideoProcAmp", &SimulatedCamera::hasVideoProcAmp,
     QueryAndKeep<VideoProcAmp, &CaptureFilter::QueryVideoProcAmp>},
    {"CameraControl", &SimulatedCamera::hasCameraControl,
     QueryAndKeep<CameraControl, &CaptureFilter::QueryCameraControl>},
    {"KsControl", &SimulatedCamera::hasKsControl,
     QueryAndKeep<KsControl, &CaptureFilter::QueryKsControl>},
    {"KsPropertySet", &SimulatedCamera::hasKsPropertySet,
     QueryAndKeep<KsPropertySet, &CaptureFilter::QueryKsPropertySet>},
};

TEST_F(AdapterTest, EachInterfaceIsFoundExactlyWhenTheFilterHasIt) {
  Build();
  for (const auto& row : kQueries) {
    SCOPED_TRACE(row.name);
    std::shared_ptr<void> wrapper;
    ASSERT_EQ(row.query(*adapter, &wrapper), hr::Ok);
    EXPECT_NE(wrapper, nullptr);
    EXPECT_EQ(RefCount(com.Get()), 3u) << "the wrapper owns one reference";
    wrapper.reset();
    EXPECT_EQ(RefCount(com.Get()), 2u) << "destroying the wrapper releases it";

    (*cam).*row.present = false;
    ASSERT_EQ(row.query(*adapter, &wrapper), hr::NoInterface);
    EXPECT_EQ(wrapper, nullptr);
    EXPECT_EQ(RefCount(com.Get()), 2u);
    (*cam).*row.present = true;
  }
}

// The interfaces of one filter, for calling the boundary operations.
struct Interfaces {
  std::unique_ptr<VideoControl> video;
  std::unique_ptr<VideoProcAmp> procAmp;
  std::unique_ptr<CameraControl> camera;
  std::unique_ptr<KsControl> ks;
  std::unique_ptr<KsPropertySet> ksSet;
  std::unique_ptr<Pin> output;
};

Interfaces Open(CaptureFilter& filter) {
  Interfaces i;
  EXPECT_EQ(filter.QueryVideoControl(&i.video), hr::Ok);
  EXPECT_EQ(filter.QueryVideoProcAmp(&i.procAmp), hr::Ok);
  EXPECT_EQ(filter.QueryCameraControl(&i.camera), hr::Ok);
  EXPECT_EQ(filter.QueryKsControl(&i.ks), hr::Ok);
  EXPECT_EQ(filter.QueryKsPropertySet(&i.ksSet), hr::Ok);
  EXPECT_EQ(FindPin(&filter, 1, 0, &i.output), hr::Ok);
  return i;
}

struct CallRow {
  Op op;
  std::function<HResult(Interfaces&)> call;
};

const CallRow kCalls[] = {
    {Op::ProcAmpGetRange,
     [](Interfaces& i) {
       int32_t a = 0, b = 0, c = 0, d = 0, e = 0;
       return i.procAmp->GetRange(0, &a, &b, &c, &d, &e);
     }},
    {Op::ProcAmpGet,
     [](Interfaces& i) {
       int32_t v = 0, f = 0;
       return i.procAmp->Get(1, &v, &f);
     }},
    {Op::ProcAmpSet, [](Interfaces& i) { return i.procAmp->Set(1, 5, 2); }},
    {Op::CameraGetRange,
     [](Interfaces& i) {
       int32_t a = 0, b = 0, c = 0, d = 0, e = 0;
       return i.camera->GetRange(2, &a, &b, &c, &d, &e);
     }},
    {Op::CameraGet,
     [](Interfaces& i) {
       int32_t v = 0, f = 0;
       return i.camera->Get(3, &v, &f);
     }},
    {Op::CameraSet, [](Interfaces& i) { return i.camera->Set(3, 200, 2); }},
    {Op::VideoGetCaps,
     [](Interfaces& i) {
       int32_t c = 0;
       return i.video->GetCaps(i.output.get(), &c);
     }},
    {Op::VideoGetMode,
     [](Interfaces& i) {
       int32_t m = 0;
       return i.video->GetMode(i.output.get(), &m);
     }},
    {Op::VideoSetMode, [](Interfaces& i) { return i.video->SetMode(i.output.get(), 1); }},
    {Op::VideoGetFrameRate,
     [](Interfaces& i) {
       int64_t d = 0;
       return i.video->GetCurrentActualFrameRate(i.output.get(), &d);
     }},
    {Op::KsProperty,
     [](Interfaces& i) {
       PropertyRequest request;
       request.SetSet(sim::ks::kSetVideoProcAmp);
       request.SetFlags(sim::ks::kTypeGet);
       PropertyData data;
       uint32_t returned = 0;
       return i.ks->KsProperty(request.bytes(), PropertyBlock::kSize, data.bytes(),
                               PropertyBlock::kSize, &returned);
     }},
    {Op::QuerySupported,
     [](Interfaces& i) {
       uint32_t s = 0;
       return i.ksSet->QuerySupported(sim::ks::kSetVideoProcAmp, 0, &s);
     }},
};

TEST_F(AdapterTest, EveryOperationReachesTheModelAndItsResultComesBackUnchanged) {
  Build();
  Interfaces i = Open(*adapter);
  for (const auto& row : kCalls) {
    SCOPED_TRACE(sim::OpName(row.op));
    for (HResult injected : {kGenFailure, hr::False, hr::Ok}) {
      cam->ClearLog();
      if (injected != hr::Ok) {
        cam->failures[row.op] = injected;
      } else {
        cam->failures.clear();
      }
      EXPECT_EQ(row.call(i), injected);
      EXPECT_EQ(cam->Requests(row.op).size(), 1u);
    }
  }
  // The model's own failures pass through too.
  int32_t v = 0, f = 0;
  EXPECT_EQ(i.procAmp->Get(42, &v, &f), sim::kNotFound);
  EXPECT_EQ(i.camera->Set(0, 100000, 2), hr::InvalidArg);
}

TEST_F(AdapterTest, ValuesCrossAtFullWidthAndSign) {
  cam->cameraControl[4] = {-11, -2, 1, -6, 3, -7, 1};
  cam->frameDuration = 0x123456789LL;
  cam->AddPrivateSet(kPrivate, 28, 296).properties[9] = {1, 0, 0, 1, 2, 0};
  Build();
  Interfaces i = Open(*adapter);

  int32_t min = 0, max = 0, step = 0, def = 0, caps = 0;
  ASSERT_EQ(i.camera->GetRange(4, &min, &max, &step, &def, &caps), hr::Ok);
  EXPECT_EQ(min, -11);
  EXPECT_EQ(max, -2);
  EXPECT_EQ(step, 1);
  EXPECT_EQ(def, -6);
  EXPECT_EQ(caps, 3);
  int32_t value = 0, flags = 0;
  ASSERT_EQ(i.camera->Get(4, &value, &flags), hr::Ok);
  EXPECT_EQ(value, -7);
  EXPECT_EQ(flags, 1);
  ASSERT_EQ(i.camera->Set(4, -3, 2), hr::Ok);
  EXPECT_EQ(cam->cameraControl[4].value, -3);

  int64_t duration = 0;
  ASSERT_EQ(i.video->GetCurrentActualFrameRate(i.output.get(), &duration), hr::Ok);
  EXPECT_EQ(duration, 0x123456789LL);
  ASSERT_EQ(i.video->SetMode(i.output.get(), 0x6), hr::Ok);
  int32_t mode = 0;
  ASSERT_EQ(i.video->GetMode(i.output.get(), &mode), hr::Ok);
  EXPECT_EQ(mode, 0x6);

  uint32_t support = 0;
  ASSERT_EQ(i.ksSet->QuerySupported(kPrivate, 9, &support), hr::Ok);
  EXPECT_EQ(support, sim::ks::kSupportGet);
  ASSERT_EQ(cam->Requests(Op::QuerySupported).size(), 1u);
  EXPECT_EQ(cam->Requests(Op::QuerySupported)[0].set, kPrivate);
  EXPECT_EQ(cam->Requests(Op::QuerySupported)[0].id, 9u);
}

// Out parameters are written only when the driver's call succeeded: what a
// failing driver leaves behind never reaches the caller. A null one is
// refused before the driver sees a request.
TEST_F(AdapterTest, OutParametersAreWrittenOnlyOnSuccessAndNeverNull) {
  cam->procAmpFaults[0].failReads = true;
  cam->procAmpFaults[0].junkOnFailedReads = true;
  Build();
  Interfaces i = Open(*adapter);

  int32_t value = 7, flags = 8;
  ASSERT_EQ(i.procAmp->Get(0, &value, &flags), sim::kGenFailure);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(flags, 8);
  cam->procAmpFaults.clear();
  ASSERT_EQ(i.procAmp->Get(0, &value, &flags), hr::Ok);
  EXPECT_EQ(value, cam->procAmp[0].value);

  cam->ClearLog();
  int32_t a = 0, b = 0, d = 0, e = 0;
  EXPECT_EQ(i.procAmp->GetRange(0, &a, &b, nullptr, &d, &e), hr::Pointer);
  EXPECT_EQ(i.camera->Get(0, &a, nullptr), hr::Pointer);
  EXPECT_EQ(i.video->GetCaps(i.output.get(), nullptr), hr::Pointer);
  EXPECT_EQ(i.video->GetMode(i.output.get(), nullptr), hr::Pointer);
  EXPECT_EQ(i.video->GetCurrentActualFrameRate(i.output.get(), nullptr), hr::Pointer);
  EXPECT_EQ(i.ksSet->QuerySupported(sim::ks::kSetVideoProcAmp, 0, nullptr), hr::Pointer);
  EXPECT_EQ(i.output->QueryDirection(nullptr), hr::Pointer);
  PropertyRequest request;
  request.SetSet(sim::ks::kSetVideoProcAmp);
  request.SetFlags(sim::ks::kTypeGet);
  PropertyData data;
  EXPECT_EQ(i.ks->KsProperty(request.bytes(), PropertyBlock::kSize, data.bytes(),
                             PropertyBlock::kSize, nullptr),
            hr::Pointer);
  EXPECT_TRUE(cam->log.empty()) << sim::OpName(cam->log.front().op);
}

TEST_F(AdapterTest, KsPropertyHandsTheWholeBlockOver) {
  sim::PrivateSet& set = cam->AddPrivateSet(kPrivate, 28, 36);
  set.properties[15].value = -1234;
  Build();
  Interfaces i = Open(*adapter);
  cam->ClearLog();

  PropertyRequest request;
  request.SetSet(kPrivate);
  request.SetId(15);
  request.SetFlags(sim::ks::kTypeGet);
  for (uint32_t off = PropertyRequest::kBodyOffset; off < PropertyBlock::kSize; off += 4) {
    request.SetULong(off, off * 7);  // a body the driver must see unchanged
  }
  PropertyData data;
  uint32_t returned = 0xDEAD;
  ASSERT_EQ(i.ks->KsProperty(request.bytes(), PropertyBlock::kSize, data.bytes(),
                             PropertyBlock::kSize, &returned),
            hr::Ok);
  EXPECT_EQ(returned, 36u);
  EXPECT_EQ(data.Long(28), -1234);

  ASSERT_EQ(cam->log.size(), 1u);
  const sim::Request& r = cam->log[0];
  EXPECT_EQ(r.propertyLength, PropertyBlock::kSize);
  EXPECT_EQ(r.dataLength, PropertyBlock::kSize);
  ASSERT_EQ(r.property.size(), PropertyBlock::kSize);
  EXPECT_EQ(0, std::memcmp(r.property.data(), request.bytes(), PropertyBlock::kSize));
  EXPECT_EQ(r.set, kPrivate);
  EXPECT_EQ(r.id, 15u);
  EXPECT_EQ(r.flags, sim::ks::kTypeGet);
}

TEST_F(AdapterTest, FindPinWalksTheFiltersPinsInOrder) {
  cam->pins = {0, 1, 0, 1};
  Build();
  // The filter's own pins, straight from COM.
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> e;
  ASSERT_EQ(com->EnumPins(e.GetAddressOf()), S_OK);
  ComPtr<IPin> p;
  while (e->Next(1, p.ReleaseAndGetAddressOf(), nullptr) == S_OK) pins.push_back(p);
  ASSERT_EQ(pins.size(), 4u);

  struct Row {
    int32_t direction;
    int n;
    HResult result;
    int index;  // of the expected pin
  };
  const Row rows[] = {
      {1, 0, hr::Ok, 1}, {1, 1, hr::Ok, 3},    {0, 0, hr::Ok, 0},
      {0, 1, hr::Ok, 2}, {1, 2, hr::Fail, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "direction " << row.direction << " n " << row.n);
    std::unique_ptr<Pin> pin;
    ASSERT_EQ(FindPin(adapter.get(), row.direction, row.n, &pin), row.result);
    if (row.index < 0) {
      EXPECT_EQ(pin, nullptr);
    } else {
      ASSERT_NE(pin, nullptr);
      EXPECT_EQ(DShowPinInterface(pin.get()), pins[static_cast<size_t>(row.index)].Get());
    }
  }
}

TEST_F(AdapterTest, FindPinOnAFilterWithoutPinsFails) {
  cam->pins.clear();
  Build();
  std::unique_ptr<Pin> pin;
  EXPECT_EQ(FindPin(adapter.get(), 1, 0, &pin), hr::Fail);
  EXPECT_EQ(pin, nullptr);
}

TEST_F(AdapterTest, VideoControlPassesTheAdaptersPin) {
  cam->pins = {0, 1};
  Build();
  std::unique_ptr<VideoControl> video;
  ASSERT_EQ(adapter->QueryVideoControl(&video), hr::Ok);
  std::unique_ptr<Pin> output, input;
  ASSERT_EQ(FindPin(adapter.get(), 1, 0, &output), hr::Ok);
  ASSERT_EQ(FindPin(adapter.get(), 0, 0, &input), hr::Ok);
  cam->ClearLog();

  int32_t caps = 0;
  EXPECT_EQ(video->GetCaps(output.get(), &caps), hr::Ok);
  EXPECT_EQ(caps, 0xF);
  // The filter refuses its input pin: proof that the adapter handed over the
  // very pin it was given.
  EXPECT_EQ(video->GetCaps(input.get(), &caps), hr::InvalidArg);
  // A null pin becomes a null IPin, which this filter leaves to the model.
  EXPECT_EQ(video->GetCaps(nullptr, &caps), hr::Ok);
  EXPECT_EQ(cam->Requests(Op::VideoGetCaps).size(), 2u);

  // A pin of another realisation has no IPin: refused before any call.
  auto portable = SimulatedCamera::Create()->MakeFilter();
  std::unique_ptr<Pin> foreign;
  ASSERT_EQ(FindPin(portable.get(), 1, 0, &foreign), hr::Ok);
  EXPECT_EQ(DShowPinInterface(foreign.get()), nullptr);
  cam->ClearLog();
  EXPECT_EQ(video->SetMode(foreign.get(), 1), hr::InvalidArg);
  EXPECT_TRUE(cam->log.empty());
}

TEST_F(AdapterTest, PinsAndEnumeratorsGiveTheirReferencesBack) {
  cam->pins = {1, 1};
  Build();
  {
    std::unique_ptr<PinEnumerator> e;
    ASSERT_EQ(adapter->EnumPins(&e), hr::Ok);
    std::unique_ptr<Pin> a, b, end;
    ASSERT_EQ(e->Next(&a), hr::Ok);
    ASSERT_EQ(e->Next(&b), hr::Ok);
    EXPECT_EQ(e->Next(&end), hr::False);
    EXPECT_EQ(end, nullptr);
    // filter: ours, the adapter's, the enumerator's, one per pin
    EXPECT_EQ(RefCount(com.Get()), 5u);
    int32_t dir = -1;
    EXPECT_EQ(b->QueryDirection(&dir), hr::Ok);
    EXPECT_EQ(dir, 1);
  }
  EXPECT_EQ(RefCount(com.Get()), 2u);
}

}  // namespace
}  // namespace lumora
