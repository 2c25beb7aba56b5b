// CLumoraAPIclass and the camera manager behind it: states, numbering,
// property-number bounds, copies and the instance counter.
#include <climits>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "com/raii.h"
#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"
#include "tests/win/simpleapi/simpleapi_fixture.h"

namespace lumora::test {
namespace {

using Api = CLumoraAPIclass;
using Table = char* (*)[LUMORA_MAX_CAMS];

// DllUsers as the first object of the program saw it: the library-wide
// instance plus that object.
long g_usersWithOneObject = -1;

class UsersAtStart : public ::testing::Environment {
 public:
  void SetUp() override {
    Api first;
    g_usersWithOneObject = first.DllUsers();
  }
};
[[maybe_unused]] ::testing::Environment* const g_users =
    ::testing::AddGlobalTestEnvironment(new UsersAtStart);

struct Tables {
  unsigned long count = 999;
  Table names = nullptr;
  Table devices = nullptr;
  Table serials = nullptr;
};

Tables Read(Api& api) {
  Tables t;
  unsigned long devCount = 999, serialCount = 999;
  api.GetCamStrings(&t.names, &t.count);
  api.GetDevStrings(&t.devices, &devCount);
  api.GetCamSerials(&t.serials, &serialCount);
  EXPECT_EQ(devCount, t.count);
  EXPECT_EQ(serialCount, t.count);
  return t;
}

using ApiClass = SimpleApiTest;

TEST_F(ApiClass, LoadedLibraryCountsItsOwnInstance) {
  EXPECT_EQ(g_usersWithOneObject, 2) << "library-wide instance plus one object";
  Api probe;
  const long now = probe.DllUsers();
  {
    Api another;
    EXPECT_EQ(another.DllUsers(), now + 1);
  }
  EXPECT_EQ(probe.DllUsers(), now);
  auto* onHeap = new Api;
  EXPECT_EQ(probe.DllUsers(), now + 1);
  delete onHeap;
  EXPECT_EQ(probe.DllUsers(), now);
}

// Objects and copies are made and destroyed on many threads at once: the
// object count and the sharing count stay exact (every destructor subtracts
// one, copies included).
TEST_F(ApiClass, CountsStayExactAcrossThreads) {
  Api probe;
  auto shared = std::make_unique<Api>();
  const long before = probe.DllUsers();
  constexpr int kThreads = 4;
  constexpr int kRounds = 100000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&shared] {
      for (int i = 0; i < kRounds; ++i) {
        Api copy(*shared);
        if (i % 100 == 0) Api own;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(probe.DllUsers(), before - kThreads * kRounds);
  // The shared manager survived every copy and still answers.
  unsigned long count = 999;
  Table names = nullptr;
  shared->GetCamStrings(&names, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_NE(names, nullptr);
}

TEST_F(ApiClass, NewObjectHasNoCameras) {
  Api api;
  EXPECT_STREQ(api.ErrString(), "");
  Tables t = Read(api);
  EXPECT_EQ(t.count, 0u);
  ASSERT_NE(t.names, nullptr);
  for (Table table : {t.names, t.devices, t.serials}) {
    for (char* entry : *table) EXPECT_EQ(entry, nullptr);
  }
  EXPECT_FALSE(api.SetCam(0));
  EXPECT_TRUE(api.SetCam(-1));

  long value = 4711;
  EXPECT_FALSE(api.CamProperty_Get(Api::VCP_Brightness, &value));
  EXPECT_EQ(value, 4711);
  long lo = 1, hi = 2, step = 3;
  EXPECT_FALSE(api.CamProperty_Range(Api::VCP_Brightness, &lo, &hi, &step));
  EXPECT_EQ(lo + hi + step, 6);
  EXPECT_FALSE(api.CamProperty_Set(Api::VCP_Brightness, 1));
  Api::EVidCapPropertySupport support = Api::VCS_set;
  EXPECT_FALSE(api.CamProperty_Support(Api::VCP_Brightness, &support));
  EXPECT_EQ(support, Api::VCS_set);
  Api::EKnownChipsetCat chipset = Api::CSX_LOGIFUSION;
  EXPECT_FALSE(api.CamChipset(&chipset));
  EXPECT_EQ(chipset, Api::CSX_LOGIFUSION);
}

TEST_F(ApiClass, CamerasAreNumberedInCollectionOrder) {
  const std::vector<std::wstring> expected = CollectionNames(LUMORA_MAX_CAMS);
  ASSERT_GE(expected.size(), 2u) << "the default rig lists several cameras";
  Api api;
  ASSERT_TRUE(api.EnumCams());
  Tables t = Read(api);
  ASSERT_EQ(t.count, expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Entries(*t.names, LUMORA_MAX_CAMS)[i], Ansi(expected[i])) << i;
    // Every listed camera has all three strings, empty ones included.
    EXPECT_NE((*t.devices)[i], nullptr) << i;
    EXPECT_NE((*t.serials)[i], nullptr) << i;
  }
  for (size_t i = t.count; i < LUMORA_MAX_CAMS; ++i) {
    EXPECT_EQ((*t.names)[i], nullptr);
    EXPECT_EQ((*t.devices)[i], nullptr);
    EXPECT_EQ((*t.serials)[i], nullptr);
  }
}

TEST_F(ApiClass, TwelveDevicesAreListedInKeyTextOrder) {
  UsePreset("twelve");
  Api api;
  ASSERT_TRUE(api.EnumCams());
  Tables t = Read(api);
  ASSERT_EQ(t.count, 10u);
  // Keys C_1 ... C_12 sort as text; devices 8 and 9 fall off the end.
  const int order[] = {1, 10, 11, 12, 2, 3, 4, 5, 6, 7};
  for (int i = 0; i < 10; ++i) {
    char name[32], serial[16];
    std::snprintf(name, sizeof name, "Simulated Camera %d", order[i]);
    std::snprintf(serial, sizeof serial, "%x", 0x4c1e200 + order[i]);
    EXPECT_STREQ((*t.names)[i], name) << i;
    EXPECT_STREQ((*t.serials)[i], serial) << i;
    EXPECT_NE((*t.devices)[i], nullptr) << i;
  }
}

TEST_F(ApiClass, SetCamAcceptsOnlyListedIndexes) {
  Api api;
  ASSERT_TRUE(api.EnumCams());
  Tables t = Read(api);
  ASSERT_GT(t.count, 0u);
  const long count = static_cast<long>(t.count);

  ASSERT_TRUE(api.SetCam(0));
  long value = 0;
  ASSERT_TRUE(api.CamProperty_Get(Api::VCP_Brightness, &value));
  // An index at or beyond the count fails and keeps the current camera.
  EXPECT_FALSE(api.SetCam(count));
  EXPECT_FALSE(api.SetCam(LUMORA_MAX_CAMS));
  EXPECT_FALSE(api.SetCam(LONG_MAX));
  EXPECT_TRUE(api.CamProperty_Get(Api::VCP_Brightness, &value));
  // A negative index clears the selection.
  EXPECT_TRUE(api.SetCam(-1));
  EXPECT_FALSE(api.CamProperty_Get(Api::VCP_Brightness, &value));
  EXPECT_TRUE(api.SetCam(-1)) << "clearing twice is fine";
  EXPECT_TRUE(api.SetCam(count - 1));
  EXPECT_TRUE(api.CamProperty_Get(Api::VCP_Brightness, &value));
}

TEST_F(ApiClass, ReEnumerationKeepsTheCurrentCamera) {
  Api api;
  ASSERT_TRUE(api.EnumCams());
  ASSERT_TRUE(api.SetCam(1));
  Api::EKnownChipsetCat before = Api::CSX_Unknown;
  ASSERT_TRUE(api.CamChipset(&before));
  ComPtr<IDVidCapCtrl> direct = DirectControl(1);
  ASSERT_NE(direct, nullptr);
  ::KnownChipsetCat expected = ::CSX_Unknown;
  ASSERT_HRESULT_SUCCEEDED(direct->get_Chipset(&expected));
  EXPECT_EQ(static_cast<long>(before), static_cast<long>(expected));

  const std::string firstName = (*Read(api).names)[0];
  ASSERT_TRUE(api.EnumCams());
  Tables again = Read(api);
  EXPECT_STREQ((*again.names)[0], firstName.c_str());
  Api::EKnownChipsetCat after = Api::CSX_Unknown;
  EXPECT_TRUE(api.CamChipset(&after));
  EXPECT_EQ(after, before);

  // Even when the new enumeration lists nothing, the camera stays current.
  UsePreset("none");
  ASSERT_TRUE(api.EnumCams());
  EXPECT_EQ(Read(api).count, 0u);
  long value = 0;
  EXPECT_TRUE(api.CamProperty_Get(Api::VCP_Brightness, &value));
  EXPECT_FALSE(api.SetCam(0)) << "nothing listed";
}

TEST_F(ApiClass, ReEnumerationReleasesThePreviousList) {
  UsePreset("twelve");
  Api api;
  ASSERT_TRUE(api.EnumCams());
  const LONG first = sim::RigObjectCount();
  // What one enumeration leaves behind in the rig by itself (nothing, for a
  // rig that frees everything), measured with a walk that keeps nothing.
  CollectionNames(LUMORA_MAX_CAMS);
  const LONG residue = sim::RigObjectCount() - first;
  ASSERT_TRUE(api.EnumCams());
  EXPECT_EQ(sim::RigObjectCount() - first, residue)
      << "the second list replaced the first instead of adding to it";
}

TEST_F(ApiClass, NoDevicesListsNothing) {
  UsePreset("none");
  Api api;
  EXPECT_TRUE(api.EnumCams());
  Tables t = Read(api);
  EXPECT_EQ(t.count, 0u);
  for (char* entry : *t.names) EXPECT_EQ(entry, nullptr);
  EXPECT_FALSE(api.SetCam(0));
}

// Which operations reach the control for which property numbers: support
// for the whole catalogue, range/value/setting only up to ::VCP_SWTrigger.
TEST_F(ApiClass, PropertyNumberBoundsPerOperation) {
  UsePreset("twelve");  // plain cameras with the camera-control properties
  Api api;
  ASSERT_TRUE(api.EnumCams());
  ASSERT_TRUE(api.SetCam(0));
  ComPtr<IDVidCapCtrl> direct = DirectControl(0);
  ASSERT_NE(direct, nullptr);
  // The control itself answers VCP_Pan to VCP_Focus on this camera: only the
  // simple API's bound keeps their range and value out of reach.
  for (::VidCapProperty p : {::VCP_Pan, ::VCP_Focus}) {
    LONG v = 0;
    ASSERT_HRESULT_SUCCEEDED(direct->get_Prop(p, &v)) << p;
  }

  const long numbers[] = {LONG_MIN, -1, 0,  1,  5,  13, 20, 21,   24,
                          25,       26, 27, 30, 31, 32, 33, 1000, LONG_MAX};
  int reachedSupport = 0, reachedValue = 0;
  for (long p : numbers) {
    SCOPED_TRACE(p);
    const bool supportRange = p >= 0 && p <= 31;
    const bool valueRange = p >= 0 && p <= 25;
    const auto property = static_cast<Api::EVidCapProperty>(p);

    Api::EVidCapPropertySupport support = static_cast<Api::EVidCapPropertySupport>(77);
    ::VidCapPropertySupport directSupport = ::VCS_no;
    const bool directHas =
        supportRange && SUCCEEDED(direct->Has(static_cast<::VidCapProperty>(p), &directSupport));
    EXPECT_EQ(api.CamProperty_Support(property, &support), directHas);
    if (directHas) {
      ++reachedSupport;
      EXPECT_EQ(static_cast<long>(support), static_cast<long>(directSupport));
    } else {
      EXPECT_EQ(static_cast<long>(support), 77) << "untouched on failure";
    }

    long value = 4711;
    LONG directValue = 0;
    const bool directGet =
        valueRange && SUCCEEDED(direct->get_Prop(static_cast<::VidCapProperty>(p), &directValue));
    EXPECT_EQ(api.CamProperty_Get(property, &value), directGet);
    if (directGet) {
      ++reachedValue;
      EXPECT_EQ(value, directValue);
    } else {
      EXPECT_EQ(value, 4711) << "untouched on failure";
    }

    long lo = 1, hi = 2, step = 3;
    LONG dlo = 0, dhi = 0, dstep = 0, ddef = 0, dcaps = 0;
    const bool directRange =
        valueRange && SUCCEEDED(direct->GetRange(static_cast<::VidCapProperty>(p), &dlo, &dhi,
                                                 &dstep, &ddef, &dcaps));
    EXPECT_EQ(api.CamProperty_Range(property, &lo, &hi, &step), directRange);
    if (directRange) {
      EXPECT_EQ(lo, dlo);
      EXPECT_EQ(hi, dhi);
      EXPECT_EQ(step, dstep);
    } else {
      EXPECT_EQ(lo + hi + step, 6) << "untouched on failure";
    }

    if (!valueRange) {
      EXPECT_FALSE(api.CamProperty_Set(property, 0));
    }
  }
  // The table must have reached the control for real, on both sides of the
  // value bound (26 to 31 answer support only).
  EXPECT_GE(reachedSupport, 12);
  EXPECT_GE(reachedValue, 1);
}

TEST_F(ApiClass, WritesReachTheCamera) {
  Api api;
  ASSERT_TRUE(api.EnumCams());
  ASSERT_TRUE(api.SetCam(0));
  long lo = 0, hi = 0, step = 0;
  ASSERT_TRUE(api.CamProperty_Range(Api::VCP_Brightness, &lo, &hi, &step));
  ASSERT_LT(lo, hi);
  long current = 0;
  ASSERT_TRUE(api.CamProperty_Get(Api::VCP_Brightness, &current));
  const long wanted = current == lo ? hi : lo;
  ASSERT_TRUE(api.CamProperty_Set(Api::VCP_Brightness, wanted));
  long readBack = 0;
  ASSERT_TRUE(api.CamProperty_Get(Api::VCP_Brightness, &readBack));
  EXPECT_EQ(readBack, wanted);
  // Another control on the same device sees the camera's new value.
  ComPtr<IDVidCapCtrl> direct = DirectControl(0);
  ASSERT_NE(direct, nullptr);
  LONG seen = 0;
  ASSERT_HRESULT_SUCCEEDED(direct->get_Prop(::VCP_Brightness, &seen));
  EXPECT_EQ(seen, wanted);
  ASSERT_TRUE(api.CamProperty_Set(Api::VCP_Brightness, current));
}

TEST_F(ApiClass, ChipsetOfEveryListedCamera) {
  Api api;
  ASSERT_TRUE(api.EnumCams());
  const unsigned long count = Read(api).count;
  int selected = 0;
  for (unsigned long i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    ComPtr<IDVidCapCtrl> direct = DirectControl(i);
    const bool selectable = api.SetCam(static_cast<long>(i));
    EXPECT_EQ(selectable, direct != nullptr);
    if (!selectable) continue;
    ++selected;
    Api::EKnownChipsetCat chipset = static_cast<Api::EKnownChipsetCat>(99);
    ASSERT_TRUE(api.CamChipset(&chipset));
    ::KnownChipsetCat expected = ::CSX_Unknown;
    if (FAILED(direct->get_Chipset(&expected))) expected = ::CSX_Unknown;
    EXPECT_EQ(static_cast<long>(chipset), static_cast<long>(expected));
  }
  EXPECT_GT(selected, 0);
}

// Copies share the camera list and current camera; the last copy to go
// releases them (exactly once). With the twelve-device rig a released list
// gives back exactly twelve monikers (one per descriptor of the collection);
// the counts are taken after each enumeration, so objects the rig itself
// creates while enumerating do not enter them.
constexpr LONG kTwelveMonikers = 12;

TEST_F(ApiClass, CopiesShareTheManagerUntilTheLastOneGoes) {
  UsePreset("twelve");
  const LONG filters = sim::SimFilterObjectCount();
  Api probe;
  const long users = probe.DllUsers();

  auto original = std::make_unique<Api>();
  ASSERT_TRUE(original->EnumCams());
  ASSERT_TRUE(original->SetCam(0));
  const LONG listed = sim::RigObjectCount();
  const LONG attached = sim::SimFilterObjectCount();
  EXPECT_GT(attached, filters);
  EXPECT_EQ(probe.DllUsers(), users + 1);

  auto copy = std::make_unique<Api>(*original);
  EXPECT_EQ(probe.DllUsers(), users + 1) << "copies are not counted";
  Table originalNames = nullptr, copyNames = nullptr;
  unsigned long n1 = 0, n2 = 0;
  original->GetCamStrings(&originalNames, &n1);
  copy->GetCamStrings(&copyNames, &n2);
  EXPECT_EQ(copyNames, originalNames) << "one shared table";
  EXPECT_EQ(n2, n1);
  const std::string firstName = (*originalNames)[0];

  original.reset();
  // The copy still owns the list and the current camera.
  EXPECT_EQ(sim::RigObjectCount(), listed);
  EXPECT_EQ(sim::SimFilterObjectCount(), attached);
  EXPECT_STREQ((*copyNames)[0], firstName.c_str());
  long value = 0;
  EXPECT_TRUE(copy->CamProperty_Get(Api::VCP_Brightness, &value));

  copy.reset();
  EXPECT_EQ(listed - sim::RigObjectCount(), kTwelveMonikers);
  EXPECT_EQ(sim::SimFilterObjectCount(), filters);
  // Every destructor subtracts one, copies included.
  EXPECT_EQ(probe.DllUsers(), users - 1);
}

TEST_F(ApiClass, AssignmentReleasesTheTargetsOwnManager) {
  UsePreset("twelve");
  const LONG filters = sim::SimFilterObjectCount();
  LONG both = 0;
  {
    Api source;
    ASSERT_TRUE(source.EnumCams());
    ASSERT_TRUE(source.SetCam(0));
    const LONG oneFilter = sim::SimFilterObjectCount();

    Api target;
    ASSERT_TRUE(target.EnumCams());
    ASSERT_TRUE(target.SetCam(1));
    both = sim::RigObjectCount();
    EXPECT_GT(sim::SimFilterObjectCount(), oneFilter);

    target = source;
    EXPECT_EQ(both - sim::RigObjectCount(), kTwelveMonikers) << "target's own list released";
    EXPECT_EQ(sim::SimFilterObjectCount(), oneFilter) << "target's own camera released";
    target = target;  // self-assignment changes nothing
    EXPECT_EQ(both - sim::RigObjectCount(), kTwelveMonikers);
    long value = 0;
    EXPECT_TRUE(target.CamProperty_Get(Api::VCP_Brightness, &value));
    EXPECT_TRUE(target.SetCam(-1));
    EXPECT_FALSE(source.CamProperty_Get(Api::VCP_Brightness, &value))
        << "one selection shared by both";
  }
  EXPECT_EQ(both - sim::RigObjectCount(), 2 * kTwelveMonikers);
  EXPECT_EQ(sim::SimFilterObjectCount(), filters);
}

}  // namespace
}  // namespace lumora::test
