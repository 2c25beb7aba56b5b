// What the portable core adds to a driver call: a standard and a vendor
// handler reading and writing one property of the simulated camera, next to
// the same driver call made directly. The camera logs nothing here, so the
// driver rows are the model's own cost.
//
// Each benchmark reports "allocs": heap allocations per call, counted by
// the replaced global operator new of this program (counting_new.h).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "bench/native/counting_new.h"
#include "property/catalogue.h"
#include "property/handler_factory.h"
#include "property/property_blocks.h"
#include "property/property_handler.h"
#include "sim/families.h"
#include "sim/simulated_camera.h"

namespace lumora {
namespace {

// The SAA8116 family's white-balance red gain: code 503, private set id 3.
constexpr int32_t kVendorProperty = VCP_WhiteBalRed;
constexpr uint32_t kVendorId = 3;

// Counts the allocations of the timed loop into the "allocs" counter.
class AllocationCount {
 public:
  explicit AllocationCount(benchmark::State& state) : state_(state), start_(bench::Allocations()) {}
  ~AllocationCount() {
    const double n = static_cast<double>(bench::Allocations() - start_);
    state_.counters["allocs"] = benchmark::Counter(n, benchmark::Counter::kAvgIterations);
  }

 private:
  benchmark::State& state_;
  uint64_t start_;
};

// A camera of a family, its filter and the family's handler, as attachment
// would build them.
struct Rig {
  explicit Rig(sim::Family family, int32_t chipset) {
    camera = sim::MakeFamilyCamera(family);
    filter = camera->MakeFilter();
    handler =
        CreatePropertyHandler(chipset, filter.get(), sim::InfoOf(family).privateSet, SteadyClock());
    camera->logRequests = false;
  }
  std::shared_ptr<sim::SimulatedCamera> camera;
  std::unique_ptr<CaptureFilter> filter;
  std::unique_ptr<PropertyHandler> handler;
};

Rig& Standard() {
  static Rig rig(sim::Family::Saa8116, 0);
  return rig;
}

Rig& Vendor() {
  static Rig rig(sim::Family::Saa8116, 2);
  return rig;
}

void Fail(benchmark::State& state, const char* what) { state.SkipWithError(what); }

// --- the driver alone ------------------------------------------------------

void BM_DriverProcAmpGet(benchmark::State& state) {
  std::unique_ptr<VideoProcAmp> procAmp;
  if (Standard().filter->QueryVideoProcAmp(&procAmp) != hr::Ok) return Fail(state, "no proc-amp");
  int32_t value = 0, flags = 0;
  AllocationCount count(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(procAmp->Get(0, &value, &flags));
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_DriverProcAmpGet);

void BM_DriverProcAmpSet(benchmark::State& state) {
  std::unique_ptr<VideoProcAmp> procAmp;
  if (Standard().filter->QueryVideoProcAmp(&procAmp) != hr::Ok) return Fail(state, "no proc-amp");
  int32_t value = 100;
  AllocationCount count(state);
  for (auto _ : state) {
    value ^= 1;
    benchmark::DoNotOptimize(procAmp->Set(0, value, kControlFlagsManual));
  }
}
BENCHMARK(BM_DriverProcAmpSet);

// The driver request for the vendor property of the SAA8116 camera.
PropertyRequest VendorRequest(uint32_t flags) {
  PropertyRequest request;
  request.SetSet(sim::kSetSaa8116);
  request.SetId(kVendorId);
  request.SetFlags(flags);
  return request;
}

void BM_DriverKsGet(benchmark::State& state) {
  std::unique_ptr<KsControl> ks;
  if (Vendor().filter->QueryKsControl(&ks) != hr::Ok) return Fail(state, "no IKsControl");
  PropertyRequest request = VendorRequest(kKsGet);
  PropertyData data;
  uint32_t returned = 0;
  AllocationCount count(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ks->KsProperty(request.bytes(), PropertyBlock::kSize, data.bytes(),
                                            PropertyBlock::kSize, &returned));
  }
}
BENCHMARK(BM_DriverKsGet);

void BM_DriverKsSet(benchmark::State& state) {
  std::unique_ptr<KsControl> ks;
  if (Vendor().filter->QueryKsControl(&ks) != hr::Ok) return Fail(state, "no IKsControl");
  PropertyRequest request = VendorRequest(kKsSet);
  PropertyData data;
  int32_t value = 100;
  uint32_t returned = 0;
  AllocationCount count(state);
  for (auto _ : state) {
    value ^= 1;
    data.SetLong(PropertyData::kPrivateValueOffset, value);
    benchmark::DoNotOptimize(ks->KsProperty(request.bytes(), PropertyBlock::kSize, data.bytes(),
                                            PropertyBlock::kSize, &returned));
  }
}
BENCHMARK(BM_DriverKsSet);

// The two clock readings that time every value read.
void BM_LagClockPair(benchmark::State& state) {
  Clock& clock = SteadyClock();
  AllocationCount count(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(clock.NowMs());
    benchmark::DoNotOptimize(clock.NowMs());
  }
}
BENCHMARK(BM_LagClockPair);

// --- through the handlers ------------------------------------------------------

// Whether one call of `call` reached the driver as operation `op` first.
template <class Call>
bool Reaches(Rig& rig, sim::Op op, Call call) {
  rig.camera->logRequests = true;
  rig.camera->ClearLog();
  const bool ok = call() == hr::Ok && !rig.camera->log.empty() && rig.camera->log.front().op == op;
  rig.camera->ClearLog();
  rig.camera->logRequests = false;
  return ok;
}

void Read(benchmark::State& state, Rig& rig, int32_t property, sim::Op op) {
  if (!rig.handler) return Fail(state, "no handler");
  int32_t value = 0;
  if (!Reaches(rig, op, [&] { return rig.handler->GetValue(property, &value); })) {
    return Fail(state, "the read does not reach the expected driver call");
  }
  AllocationCount count(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(rig.handler->GetValue(property, &value));
    benchmark::DoNotOptimize(value);
  }
}

void Write(benchmark::State& state, Rig& rig, int32_t property, sim::Op op) {
  if (!rig.handler) return Fail(state, "no handler");
  int32_t value = 100;
  if (!Reaches(rig, op, [&] { return rig.handler->SetValue(property, value); })) {
    return Fail(state, "the write does not reach the expected driver call");
  }
  AllocationCount count(state);
  for (auto _ : state) {
    value ^= 1;
    benchmark::DoNotOptimize(rig.handler->SetValue(property, value));
  }
}

void BM_StandardRead(benchmark::State& state) {
  Read(state, Standard(), VCP_Brightness, sim::Op::ProcAmpGet);
}
void BM_StandardWrite(benchmark::State& state) {
  Write(state, Standard(), VCP_Brightness, sim::Op::ProcAmpSet);
}
void BM_VendorRead(benchmark::State& state) {
  Read(state, Vendor(), kVendorProperty, sim::Op::KsProperty);
}
void BM_VendorWrite(benchmark::State& state) {
  Write(state, Vendor(), kVendorProperty, sim::Op::KsProperty);
}
BENCHMARK(BM_StandardRead);
BENCHMARK(BM_StandardWrite);
BENCHMARK(BM_VendorRead);
BENCHMARK(BM_VendorWrite);

}  // namespace
}  // namespace lumora

BENCHMARK_MAIN();
