// Helpers of the chipset handler tests: which driver path a property reaches,
// and the write requests that reached the driver.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <vector>

#include "property/property_handler.h"
#include "sim/families.h"
#include "sim/simulated_camera.h"

namespace lumora::test {

enum class Path { None, ProcAmp, CameraControl, VideoControl, Private, NullSet };

inline const char* PathName(Path p) {
  switch (p) {
    case Path::None: return "none";
    case Path::ProcAmp: return "proc-amp";
    case Path::CameraControl: return "camera-control";
    case Path::VideoControl: return "video-control";
    case Path::Private: return "private";
    case Path::NullSet: return "null-set";
  }
  return "?";
}

// Where a catalogue value goes: path and id (video-control pseudo ids 17, 18,
// 21, 24, 25).
struct Route {
  Path path;
  uint32_t id;
  friend bool operator==(const Route& a, const Route& b) {
    return a.path == b.path && (a.path == Path::None || a.id == b.id);
  }
  friend std::ostream& operator<<(std::ostream& os, const Route& r) {
    return os << PathName(r.path) << " " << r.id;
  }
};

constexpr Route None() { return Route{Path::None, 0}; }
constexpr Route ProcAmp(uint32_t id) { return Route{Path::ProcAmp, id}; }
constexpr Route Camera(uint32_t id) { return Route{Path::CameraControl, id}; }
constexpr Route Video(uint32_t id) { return Route{Path::VideoControl, id}; }
constexpr Route Private(uint32_t id) { return Route{Path::Private, id}; }

// Reads the property and tells from the driver's log where the read went.
// A property the handler refuses by itself must answer E_INVALIDARG from
// GetValue and VCS_no from QuerySupport without any driver request.
inline Route RouteOf(PropertyHandler& h, sim::SimulatedCamera& cam, const Guid& privateSet,
                     int32_t property) {
  cam.ClearLog();
  int32_t support = -1;
  int32_t value = 0;
  HResult got = h.GetValue(property, &value);
  if (cam.log.empty()) {
    EXPECT_EQ(got, hr::InvalidArg) << "property " << property;
    EXPECT_EQ(h.QuerySupport(property, &support), hr::Ok);
    EXPECT_EQ(support, VCS_no);
    EXPECT_TRUE(cam.log.empty());
    return None();
  }
  const sim::Request first = cam.log.front();
  switch (first.op) {
    case sim::Op::ProcAmpGet: return ProcAmp(first.id);
    case sim::Op::CameraGet: return Camera(first.id);
    case sim::Op::VideoGetFrameRate: return Video(21);
    case sim::Op::VideoGetMode:
      // Find the mode bit the read looks at.
      for (uint32_t id : {17u, 18u, 24u, 25u}) {
        int32_t bit = id == 17   ? kVideoControlFlipHorizontal
                      : id == 18 ? kVideoControlFlipVertical
                      : id == 24 ? kVideoControlExternalTriggerEnable
                                 : kVideoControlTrigger;
        cam.videoMode = bit;
        if (h.GetValue(property, &value) == hr::Ok && value != 0) {
          cam.videoMode = 0;
          return Video(id);
        }
      }
      cam.videoMode = 0;
      return Route{Path::VideoControl, 999};
    case sim::Op::KsProperty:
      if (first.set == privateSet) return Private(first.id);
      if (first.set.IsNull()) return Route{Path::NullSet, first.id};
      return Route{Path::None, 999};
    default: return Route{Path::None, 999};
  }
}

// The KsProperty set-requests of the log, in order.
inline std::vector<sim::Request> KsWrites(const sim::SimulatedCamera& cam) {
  std::vector<sim::Request> out;
  for (const sim::Request& r : cam.Requests(sim::Op::KsProperty)) {
    if (r.flags == sim::ks::kTypeSet) out.push_back(r);
  }
  return out;
}

// The single KsProperty write since the log was cleared.
inline sim::Request OnlyKsWrite(const sim::SimulatedCamera& cam) {
  std::vector<sim::Request> writes = KsWrites(cam);
  EXPECT_EQ(writes.size(), 1u);
  return writes.empty() ? sim::Request{} : writes.back();
}

// A handler of class H over a new camera of the family, with an empty log.
template <class H>
std::unique_ptr<H> MakeOver(sim::SimulatedCamera& cam, const Guid& privateSet, Clock& clock) {
  auto filter = cam.MakeFilter();
  auto h = std::make_unique<H>(filter.get(), privateSet, kNullGuid, kNullGuid, clock);
  cam.ClearLog();
  return h;
}

struct RangeAnswer {
  HResult result;
  int32_t min, max, step, def, caps;
};

inline RangeAnswer RangeOf(PropertyHandler& h, int32_t property) {
  RangeAnswer a{0, -99, -99, -99, -99, -99};
  a.result = h.QueryRange(property, &a.min, &a.max, &a.step, &a.def, &a.caps);
  return a;
}

// One conversion expectation: catalogue value, private id, value given to
// SetValue and value that must reach the driver (or device value and value
// GetValue must answer).
struct WriteCase {
  int32_t property;
  uint32_t id;
  int32_t given;
  int32_t written;
};

struct ReadCase {
  int32_t property;
  uint32_t id;
  int32_t device;
  int32_t read;
};

struct FixedRange {
  int32_t property;
  int32_t min, max, def;
};

// The fixed ranges, answered with step 1, flags 0 and S_OK without a driver
// request.
inline void ExpectFixedRanges(PropertyHandler& h, sim::SimulatedCamera& cam,
                              std::initializer_list<FixedRange> ranges) {
  for (const FixedRange& f : ranges) {
    RangeAnswer a = RangeOf(h, f.property);
    EXPECT_EQ(a.result, hr::Ok) << f.property;
    EXPECT_EQ(a.min, f.min) << f.property;
    EXPECT_EQ(a.max, f.max) << f.property;
    EXPECT_EQ(a.step, 1) << f.property;
    EXPECT_EQ(a.def, f.def) << f.property;
    EXPECT_EQ(a.caps, 0) << f.property;
  }
  EXPECT_TRUE(cam.log.empty()) << "fixed ranges never ask the driver";
}

// A handler of class H over the simulated camera of a family whose private
// values sit at valueOffset.
template <class H>
class FamilyTest : public ::testing::Test {
 protected:
  FamilyTest(sim::Family family, uint32_t valueOffset)
      : info(sim::InfoOf(family)), cam(sim::MakeFamilyCamera(family)), offset(valueOffset) {}

  std::unique_ptr<H> Make() { return MakeOver<H>(*cam, info.privateSet, clock); }

  sim::PrivateProperty& Prop(uint32_t id) {
    return cam->FindPrivateSet(info.privateSet)->properties[id];
  }

  // Writes through SetValue and answers the LONG that reached the value
  // offset of the given private id.
  int32_t Written(H& h, int32_t property, int32_t value, uint32_t id) {
    cam->ClearLog();
    EXPECT_EQ(h.SetValue(property, value), hr::Ok) << property;
    sim::Request w = OnlyKsWrite(*cam);
    EXPECT_EQ(w.set, info.privateSet);
    EXPECT_EQ(w.id, id) << property;
    return w.DataLong(offset);
  }

  int32_t ReadAs(H& h, int32_t property, uint32_t id, int32_t deviceValue) {
    Prop(id).value = deviceValue;
    int32_t v = -12345;
    EXPECT_EQ(h.GetValue(property, &v), hr::Ok) << property;
    return v;
  }

  void ExpectRoutes(const Route (&routes)[33]) {
    auto h = Make();
    for (int32_t p = 0; p < 33; ++p) {
      EXPECT_EQ(RouteOf(*h, *cam, info.privateSet, p), routes[p]) << "property " << p;
    }
  }

  void ExpectWrites(std::initializer_list<WriteCase> cases) {
    auto h = Make();
    for (const WriteCase& c : cases) {
      EXPECT_EQ(Written(*h, c.property, c.given, c.id), c.written)
          << "property " << c.property << " given " << c.given;
    }
  }

  void ExpectReads(std::initializer_list<ReadCase> cases) {
    auto h = Make();
    for (const ReadCase& c : cases) {
      EXPECT_EQ(ReadAs(*h, c.property, c.id, c.device), c.read)
          << "property " << c.property << " device " << c.device;
    }
  }

  const sim::FamilyInfo& info;
  std::shared_ptr<sim::SimulatedCamera> cam;
  uint32_t offset;
  sim::SimClock clock;
};

}  // namespace lumora::test
