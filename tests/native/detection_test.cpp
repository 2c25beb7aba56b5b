// Filter attachment and chipset detection: the VID/PID and classification
// tables, the media-interface registry search over an in-memory registry, and
// the attachment sequence with its DebugLog texts, driven through the
// simulated camera.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include "property/detection.h"
#include "property/philips_handlers.h"
#include "property/vendor_handlers.h"
#include "sim/memory_registry.h"
#include "sim/simulated_camera.h"

namespace lumora {
namespace {

using sim::MemoryRegistry;
using sim::Op;
using sim::SimulatedCamera;

const Guid kSaa8112 = Guid::Parse("35DBC300-F98F-11D2-AFD0-00104B13EAF2");
const Guid kSaa8116 = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");
const Guid kSaa8116Alias = Guid::Parse("63B8CCB6-015F-4B1D-AAD3-D4158AA1A9E3");
const Guid kCreaLiveUltra = Guid::Parse("5a403423-5667-4ec4-8573-7b88ccdc11cf");
const Guid kLogiFusion = Guid::Parse("22ca01a0-cd31-11d0-8b18-00aa00cf90f9");
// Sets no table knows.
const Guid kOther = Guid::Parse("0123abcd-4567-89ef-fedc-ba9876543210");
const Guid kOther2 = Guid::Parse("a1b2c3d4-0000-1111-2222-333344445555");

const std::string kBranch = kMediaInterfacesPath;

std::string GuidLog(const char* text) {
  return std::string("Private Prop GUID found: {") + text + "}";
}
const std::string kZeroGuidLog = GuidLog("00000000-0000-0000-0000-000000000000");

// The exact class of a handler, told apart by its dynamic type.
std::string HandlerKind(const PropertyHandler* h) {
  if (h == nullptr) return "none";
  if (typeid(*h) == typeid(Saa8112PropertyHandler)) return "Saa8112";
  if (typeid(*h) == typeid(Saa8116PropertyHandler)) return "Saa8116";
  if (typeid(*h) == typeid(CreaLiveUltraPropertyHandler)) return "CreaLiveUltra";
  if (typeid(*h) == typeid(LogiFusionPropertyHandler)) return "LogiFusion";
  if (typeid(*h) == typeid(StandardPropertyHandler)) return "Standard";
  return "other";
}

// Records every callback in one trace, and whether a handler was installed
// when each DebugLog fired.
class Recorder : public AttachmentEvents {
 public:
  explicit Recorder(const AttachmentState* state) : state_(state) {}
  void DebugLog(const char* text) override {
    logs.emplace_back(text);
    trace.push_back("log:" + std::string(text));
    handlerDuringLog.push_back(state_->handler != nullptr);
  }
  void UseDefaultFilterName(const char* text) override {
    trace.push_back("name:" + std::string(text));
  }
  void HandlerInstalled() override { trace.emplace_back("installed"); }

  std::vector<std::string> logs;
  std::vector<std::string> trace;
  std::vector<bool> handlerDuringLog;

 private:
  const AttachmentState* state_;
};

// Adds a private set to the camera whose property 9 has the given access.
void SupportSet(SimulatedCamera& cam, const Guid& set, uint32_t access = 3) {
  cam.AddPrivateSet(set, 28, 296).properties[kMediaInterfaceProbeId].access = access;
}

// A camera, a registry holding the MediaInterfaces branch, and what a
// control object keeps.
struct Rig {
  Rig() { registry.AddKey(kBranch); }

  HResult Attach(const std::string* device = nullptr, bool namePresent = true) {
    filter = cam->MakeFilter();
    AttachmentInput in;
    in.filter = filter.get();
    in.deviceVidPid = device;
    in.filterNamePresent = namePresent;
    in.registry = &registry;
    in.clock = &clock;
    return AttachFilter(in, state, events);
  }

  void AddInterface(const std::string& name, const Guid& set) {
    registry.SetGuidValue(kBranch + "\\" + name, "IID", set);
  }

  std::unique_ptr<KsPropertySet> PropertySet() {
    if (!filter) filter = cam->MakeFilter();
    std::unique_ptr<KsPropertySet> ks;
    EXPECT_EQ(filter->QueryKsPropertySet(&ks), hr::Ok);
    return ks;
  }

  std::shared_ptr<SimulatedCamera> cam = SimulatedCamera::Create();
  std::unique_ptr<CaptureFilter> filter;
  MemoryRegistry registry;
  sim::SimClock clock;
  AttachmentState state;
  Recorder events{&state};
};

class DetectionTest : public ::testing::Test, protected Rig {};

// --- the failure-handling table --------------------------------------------

struct OutcomeRow {
  const char* name;
  const char* device;  // null: no device string
  bool ksPropertySet;
  const Guid* registrySet;  // a supported set listed in the registry, or null
  HResult result;
  std::vector<std::string> logs;
  const char* handler;
  int32_t chipset;
  Guid privateSet;
};

TEST(AttachmentTest, EachOutcomeLogsItsTextsInOrderAndPicksItsHandler) {
  // clang-format off
  const std::vector<OutcomeRow> rows = {
      {"vid/pid hit with the interface", "VID_0471&PID_0307", true, &kCreaLiveUltra, hr::Ok,
       {GuidLog("35dbc300-f98f-11d2-afd0-00104b13eaf2")}, "Saa8112", 1, kSaa8112},
      {"vid/pid hit without the interface", "VID_046D&PID_08C2", false, nullptr, hr::NoInterface,
       {kLogKsQueryFailed, GuidLog("22ca01a0-cd31-11d0-8b18-00aa00cf90f9")}, "LogiFusion", 5,
       kLogiFusion},
      {"no hit, the registry names a set", nullptr, true, &kCreaLiveUltra, hr::Ok,
       {kLogVidPidSearchFailed, GuidLog("5a403423-5667-4ec4-8573-7b88ccdc11cf")}, "CreaLiveUltra",
       4, kCreaLiveUltra},
      {"no hit, the registry names nothing", "VID_0471&PID_0000", true, nullptr, hr::Ok,
       {kLogVidPidSearchFailed, kLogPropertyPageSearchFailed, kZeroGuidLog}, "Standard", 0,
       kNullGuid},
      {"no hit, no interface", nullptr, false, &kCreaLiveUltra, hr::NoInterface,
       {kLogKsQueryFailed, kLogVidPidSearchFailed, kLogNoPrivateInterface, kZeroGuidLog},
       "Standard", 0, kNullGuid},
  };
  // clang-format on
  for (const OutcomeRow& row : rows) {
    SCOPED_TRACE(row.name);
    Rig r;
    r.cam->hasKsPropertySet = row.ksPropertySet;
    if (row.registrySet != nullptr) {
      SupportSet(*r.cam, *row.registrySet);
      r.AddInterface("Listed", *row.registrySet);
    }
    std::string device = row.device != nullptr ? row.device : "";
    EXPECT_EQ(r.Attach(row.device != nullptr ? &device : nullptr), row.result);
    EXPECT_EQ(r.events.logs, row.logs);
    EXPECT_EQ(HandlerKind(r.state.handler.get()), row.handler);
    EXPECT_EQ(r.state.chipset, row.chipset);
    EXPECT_EQ(r.state.privateSet, row.privateSet);
    EXPECT_EQ(r.state.ksPropertySet != nullptr, row.ksPropertySet);
    ASSERT_TRUE(r.state.handler);
    EXPECT_EQ(r.state.handler->PropertySetSlot(kPrivateSetSlot), row.privateSet);
    // Only the final GUID message sees the handler.
    std::vector<bool> expected(row.logs.size(), false);
    expected.back() = true;
    EXPECT_EQ(r.events.handlerDuringLog, expected);
    EXPECT_EQ(r.registry.OpenKeyCount(), 0);
  }
}

TEST_F(DetectionTest, FilterWithoutInterfaceOrDeviceRunsPlainMode) {
  cam->hasKsPropertySet = false;
  cam->procAmp[0].value = 99;
  EXPECT_EQ(Attach(nullptr, /*namePresent=*/false), hr::NoInterface);
  const std::vector<std::string> trace = {
      "log:KS Property Interface Query failed",
      "name:Filter Name not available",
      "log:VID-PID Search failed",
      "log:No Private Property interface - using plain mode",
      "installed",
      "log:Private Prop GUID found: {00000000-0000-0000-0000-000000000000}",
  };
  EXPECT_EQ(events.trace, trace);
  EXPECT_EQ(HandlerKind(state.handler.get()), "Standard");
  EXPECT_TRUE(registry.OpenLog().empty());
  // The standard handler serves the filter's standard controls.
  int32_t v = 0;
  EXPECT_EQ(state.handler->GetValue(VCP_Brightness, &v), hr::Ok);
  EXPECT_EQ(v, 99);
}

TEST_F(DetectionTest, DefaultNameOnlyWhenNoNameIsPresent) {
  Attach(nullptr, /*namePresent=*/true);  // an empty but present name stays
  for (const std::string& t : events.trace) EXPECT_NE(t.rfind("name:", 0), 0u) << t;
}

TEST_F(DetectionTest, VidPidHitSkipsTheRegistrySearch) {
  SupportSet(*cam, kOther);
  AddInterface("Listed", kOther);
  const std::string device = "VID_041E&PID_403C";
  EXPECT_EQ(Attach(&device), hr::Ok);
  EXPECT_TRUE(registry.OpenLog().empty());
  EXPECT_TRUE(cam->Requests(Op::QuerySupported).empty());
  EXPECT_EQ(HandlerKind(state.handler.get()), "CreaLiveUltra");
  EXPECT_EQ(state.privateSet, kCreaLiveUltra);
}

TEST_F(DetectionTest, AliasSetReadsAsSaa8116AndLogsTheReplacement) {
  const std::string device = "VID_0471&PID_0329";
  EXPECT_EQ(Attach(&device), hr::Ok);
  EXPECT_EQ(state.chipset, kChipsetSaa8116Family);
  EXPECT_EQ(PublicChipset(state.chipset), CSX_SAA8116);
  EXPECT_EQ(HandlerKind(state.handler.get()), "Saa8116");
  EXPECT_EQ(state.privateSet, kSaa8116);
  EXPECT_EQ(state.handler->PropertySetSlot(kPrivateSetSlot), kSaa8116);
  ASSERT_FALSE(events.logs.empty());
  EXPECT_EQ(events.logs.back(), "Private Prop GUID found: {1b3c6c20-cce8-11d3-a59b-00104b13eaf2}");
}

TEST_F(DetectionTest, AliasSetFoundInTheRegistryIsReplacedToo) {
  SupportSet(*cam, kSaa8116Alias);
  AddInterface("Philips", kSaa8116Alias);
  EXPECT_EQ(Attach(), hr::Ok);
  EXPECT_EQ(state.privateSet, kSaa8116);
  EXPECT_EQ(HandlerKind(state.handler.get()), "Saa8116");
}

TEST_F(DetectionTest, FoundSetOutsideTheTableRunsStandardWithThatSet) {
  SupportSet(*cam, kOther);
  AddInterface("Other", kOther);
  EXPECT_EQ(Attach(), hr::Ok);
  EXPECT_EQ(state.chipset, 0);
  EXPECT_EQ(PublicChipset(state.chipset), CSX_Unknown);
  EXPECT_EQ(state.privateSet, kOther);
  EXPECT_EQ(HandlerKind(state.handler.get()), "Standard");
  EXPECT_EQ(state.handler->PropertySetSlot(kPrivateSetSlot), kOther);
  EXPECT_EQ(events.logs,
            (std::vector<std::string>{kLogVidPidSearchFailed,
                                      GuidLog("0123abcd-4567-89ef-fedc-ba9876543210")}));
}

TEST(AttachmentTest, BranchThatCannotBeOpenedMeansPlainMode) {
  for (RegStatus status : {kRegAccessDenied, kRegFileNotFound}) {
    SCOPED_TRACE(status);
    Rig r;
    SupportSet(*r.cam, kCreaLiveUltra);
    r.AddInterface("Creative", kCreaLiveUltra);
    r.registry.RefuseOpen(kBranch, status);
    EXPECT_EQ(r.Attach(), hr::Ok);
    EXPECT_EQ(r.events.logs,
              (std::vector<std::string>{kLogVidPidSearchFailed, kLogPropertyPageSearchFailed,
                                        kZeroGuidLog}));
    EXPECT_EQ(HandlerKind(r.state.handler.get()), "Standard");
    EXPECT_TRUE(r.cam->Requests(Op::QuerySupported).empty());
  }
}

TEST_F(DetectionTest, NoRegistryReaderMeansPlainMode) {
  filter = cam->MakeFilter();
  AttachmentInput in;
  in.filter = filter.get();
  in.filterNamePresent = true;
  EXPECT_EQ(AttachFilter(in, state, events), hr::Ok);
  EXPECT_EQ(events.logs, (std::vector<std::string>{kLogVidPidSearchFailed,
                                                   kLogPropertyPageSearchFailed, kZeroGuidLog}));
  EXPECT_EQ(HandlerKind(state.handler.get()), "Standard");
}

// --- the tables ------------------------------------------------------------

TEST(VidPidTableTest, EveryRowMapsToItsFamily) {
  // Device string -> internal chipset value, written from the family list.
  const std::vector<std::pair<std::string, int32_t>> families = {
      {"VID_0471&PID_0307", 1}, {"VID_0471&PID_0308", 1}, {"VID_0471&PID_030C", 1},
      {"VID_0471&PID_0311", 2}, {"VID_0471&PID_0312", 2}, {"VID_0471&PID_0329", 2},
      {"VID_046D&PID_08B0", 2}, {"VID_046D&PID_08B1", 2}, {"VID_046D&PID_08B2", 2},
      {"VID_046D&PID_08B3", 2}, {"VID_046D&PID_08B4", 2}, {"VID_046D&PID_08B5", 2},
      {"VID_046D&PID_08C1", 5}, {"VID_046D&PID_08C2", 5}, {"VID_046D&PID_08C3", 5},
      {"VID_046D&PID_08C5", 5}, {"VID_041E&PID_4011", 2}, {"VID_041E&PID_403C", 4},
  };
  ASSERT_EQ(families.size(), kVidPidTable.size());
  for (const auto& [device, chipset] : families) {
    Guid set = LookupVidPid(&device);
    EXPECT_FALSE(set.IsNull()) << device;
    EXPECT_EQ(ClassifyPropertySet(&set), chipset) << device;
  }
  for (const VidPidEntry& row : kVidPidTable) {
    Guid set = row.privateSet;
    EXPECT_NE(ClassifyPropertySet(&set), 0) << row.device;
  }
}

TEST(VidPidTableTest, KeysMatchWholeAndCaseSensitively) {
  const std::vector<std::string> misses = {
      "vid_0471&pid_0307",
      "VID_0471&PID_030c",
      "VID_0471&PID_0307&MI_00",
      "VID_0471&PID_030",
      " VID_0471&PID_0307",
      std::string("VID_0471&PID_0307\0x", 19),
      "",
  };
  for (const std::string& device : misses) EXPECT_TRUE(LookupVidPid(&device).IsNull()) << device;
  EXPECT_TRUE(LookupVidPid(nullptr).IsNull());
  const std::string hit = "VID_0471&PID_030C";
  EXPECT_EQ(LookupVidPid(&hit), kSaa8112);
}

TEST(ClassificationTest, FamiliesAndTheAliasReplacement) {
  struct Row {
    Guid set;
    int32_t chipset;
    Guid after;
  };
  const Row rows[] = {
      {kSaa8112, 1, kSaa8112},
      {kSaa8116, 2, kSaa8116},
      {kSaa8116Alias, 2, kSaa8116},
      {Guid::Parse("869E8C6F-0D84-420F-B44E-7BFBEE74D6CF"), 2,
       Guid::Parse("869E8C6F-0D84-420F-B44E-7BFBEE74D6CF")},
      {Guid::Parse("F83865C0-92C3-11D3-B41E-0010DC973BDB"), 2,
       Guid::Parse("F83865C0-92C3-11D3-B41E-0010DC973BDB")},
      {kCreaLiveUltra, 4, kCreaLiveUltra},
      {kLogiFusion, 5, kLogiFusion},
      {kOther, 0, kOther},
      {kNullGuid, 0, kNullGuid},
  };
  for (const Row& row : rows) {
    Guid set = row.set;
    EXPECT_EQ(ClassifyPropertySet(&set), row.chipset) << row.set.ToString();
    EXPECT_EQ(set, row.after) << row.set.ToString();
  }
}

TEST(GuidMessageTest, LowerCaseTextInsideBraces) {
  const Guid g = Guid::Parse("ABCDEF01-2345-6789-ABCD-EF0123456789");
  EXPECT_STREQ(PrivateGuidMessage(g).data(),
               "Private Prop GUID found: {abcdef01-2345-6789-abcd-ef0123456789}");
  EXPECT_EQ(std::string(PrivateGuidMessage(kOther).data()), GuidLog(kOther.ToString().c_str()));
}

// --- the registry search ---------------------------------------------------

// One subkey the search must pass over.
struct SkipRow {
  const char* name;
  std::function<void(MemoryRegistry&, SimulatedCamera&, const std::string& key)> setup;
};

std::vector<uint8_t> GuidBytes(const Guid& g, size_t size) {
  std::vector<uint8_t> b(size, 0xAB);
  std::memcpy(b.data(), &g, std::min(size, sizeof g));
  return b;
}

const std::vector<SkipRow>& SkipRows() {
  static const std::vector<SkipRow> rows = {
      {"REG_SZ text",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther);
         std::string text = "{" + kOther.ToString() + "}";
         std::vector<uint8_t> utf16;
         for (char ch : text) utf16.insert(utf16.end(), {static_cast<uint8_t>(ch), 0});
         utf16.insert(utf16.end(), {0, 0});
         r.SetValue(k, "IID", kRegSz, utf16);
       }},
      {"REG_SZ of 16 bytes",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther);
         r.SetValue(k, "IID", kRegSz, GuidBytes(kOther, 16));
       }},
      {"REG_BINARY of 15 bytes",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther);
         r.SetValue(k, "IID", kRegBinary, GuidBytes(kOther, 15));
       }},
      {"REG_BINARY of 17 bytes",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther);
         r.SetValue(k, "IID", kRegBinary, GuidBytes(kOther, 17));
       }},
      {"REG_BINARY larger than the buffer",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther);
         r.SetValue(k, "IID", kRegBinary, GuidBytes(kOther, 300));
       }},
      {"no IID value",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther);
         r.SetGuidValue(k, "CLSID", kOther);
       }},
      {"the proc-amp set, supported",
       [](MemoryRegistry& r, SimulatedCamera&, const std::string& k) {
         r.SetGuidValue(k, "IID", kSetVideoProcAmp);  // the camera has proc-amp id 9
       }},
      {"the camera-control set",
       [](MemoryRegistry& r, SimulatedCamera&, const std::string& k) {
         r.SetGuidValue(k, "IID", kSetCameraControl);
       }},
      {"the null GUID", [](MemoryRegistry& r, SimulatedCamera&,
                           const std::string& k) { r.SetGuidValue(k, "IID", kNullGuid); }},
      {"get-only support",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther, 1);
         r.SetGuidValue(k, "IID", kOther);
       }},
      {"set-only support",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther, 2);
         r.SetGuidValue(k, "IID", kOther);
       }},
      {"a set the filter does not know",
       [](MemoryRegistry& r, SimulatedCamera&, const std::string& k) {
         r.SetGuidValue(k, "IID", kOther);
       }},
      {"a set without property 9",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         c.AddPrivateSet(kOther, 28, 296).properties[8].access = 3;
         r.SetGuidValue(k, "IID", kOther);
       }},
      {"a subkey that cannot be opened",
       [](MemoryRegistry& r, SimulatedCamera& c, const std::string& k) {
         SupportSet(c, kOther);
         r.SetGuidValue(k, "IID", kOther);
         r.RefuseOpen(k, kRegAccessDenied);
       }},
  };
  return rows;
}

TEST(MediaInterfaceSearchTest, PassesOverUnusableSubkeys) {
  for (const SkipRow& row : SkipRows()) {
    SCOPED_TRACE(row.name);
    // Alone, the subkey yields nothing.
    {
      Rig r;
      row.setup(r.registry, *r.cam, kBranch + "\\Bad");
      MediaInterfaceSearchResult found = SearchMediaInterfaces(r.registry, *r.PropertySet());
      EXPECT_FALSE(found.found);
      EXPECT_TRUE(found.set.IsNull());
      EXPECT_EQ(r.registry.OpenKeyCount(), 0);
    }
    // Followed by a usable one, the walk goes on to it.
    {
      Rig r;
      row.setup(r.registry, *r.cam, kBranch + "\\Bad");
      SupportSet(*r.cam, kOther2);
      r.AddInterface("Good", kOther2);
      MediaInterfaceSearchResult found = SearchMediaInterfaces(r.registry, *r.PropertySet());
      EXPECT_TRUE(found.found);
      EXPECT_EQ(found.set, kOther2);
      EXPECT_EQ(r.registry.OpenKeyCount(), 0);
    }
  }
}

TEST_F(DetectionTest, StandardSetsAreNeverProbed) {
  for (size_t i = 0; i < kStandardPropertySets.size(); ++i) {
    AddInterface("Standard" + std::to_string(i), kStandardPropertySets[i]);
  }
  auto ks = PropertySet();
  EXPECT_FALSE(SearchMediaInterfaces(registry, *ks).found);
  EXPECT_TRUE(cam->Requests(Op::QuerySupported).empty());
}

TEST_F(DetectionTest, SearchProbesPropertyNineAndFailedProbesAreSkipped) {
  SupportSet(*cam, kOther);
  AddInterface("Other", kOther);
  cam->failures[Op::QuerySupported] = hr::Fail;
  auto ks = PropertySet();
  EXPECT_FALSE(SearchMediaInterfaces(registry, *ks).found);
  auto probes = cam->Requests(Op::QuerySupported);
  ASSERT_EQ(probes.size(), 1u);
  EXPECT_EQ(probes[0].set, kOther);
  EXPECT_EQ(probes[0].id, 9u);
}

TEST_F(DetectionTest, FirstQualifyingSubkeyWinsAndEndsTheWalk) {
  SupportSet(*cam, kOther);
  SupportSet(*cam, kOther2);
  AddInterface("Zeta", kOther2);  // enumerated first: insertion order, not name order
  AddInterface("Alpha", kOther);
  auto ks = PropertySet();
  MediaInterfaceSearchResult r = SearchMediaInterfaces(registry, *ks);
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.set, kOther2);
  EXPECT_EQ(cam->Requests(Op::QuerySupported).size(), 1u);
  EXPECT_EQ(registry.OpenLog(), (std::vector<std::string>{kBranch, kBranch + "\\Zeta"}));
  EXPECT_EQ(registry.OpenKeyCount(), 0);
}

TEST_F(DetectionTest, EnumerationFailureEndsTheWalk) {
  SupportSet(*cam, kOther);
  AddInterface("First", kOther2);  // not supported
  AddInterface("Second", kOther);
  registry.FailEnumeration(kBranch, 1, kRegMoreData);
  auto ks = PropertySet();
  EXPECT_FALSE(SearchMediaInterfaces(registry, *ks).found);
  EXPECT_EQ(registry.OpenKeyCount(), 0);
}

// --- the in-memory registry itself -----------------------------------------

TEST(MemoryRegistryTest, BehavesLikeTheRegistryCalls) {
  MemoryRegistry reg;
  reg.SetValue("A\\B", "V", kRegBinary, {1, 2, 3});
  reg.AddKey("A\\C");
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(reg.OpenLocalMachine("a\\b", &key), kRegSuccess);  // names ignore case
  uint8_t buf[2];
  uint32_t type = 0, size = sizeof buf;
  EXPECT_EQ(key->QueryValue("V", &type, buf, &size), kRegMoreData);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(type, kRegBinary);
  size = sizeof buf;
  EXPECT_EQ(key->QueryValue("W", &type, buf, &size), kRegFileNotFound);
  EXPECT_EQ(reg.OpenKeyCount(), 1);
  key.reset();
  EXPECT_EQ(reg.OpenKeyCount(), 0);

  ASSERT_EQ(reg.OpenLocalMachine("A", &key), kRegSuccess);
  RegistryName name;
  EXPECT_EQ(key->EnumSubkey(0, &name), kRegSuccess);
  EXPECT_TRUE(name.View() == u"B");
  EXPECT_EQ(key->EnumSubkey(1, &name), kRegSuccess);
  EXPECT_TRUE(name.View() == u"C");
  EXPECT_EQ(key->EnumSubkey(2, &name), kRegNoMoreItems);
  EXPECT_TRUE(name.View() == u"C");  // written only on success
  // A subkey opens relative to its parent by the enumerated name.
  std::unique_ptr<RegistryKey> sub;
  ASSERT_EQ(key->OpenSubkey(name, &sub), kRegSuccess);
  EXPECT_EQ(reg.OpenKeyCount(), 2);
  name.units[0] = u'Q';
  EXPECT_EQ(key->OpenSubkey(name, &sub), kRegFileNotFound);
  EXPECT_FALSE(sub);
  EXPECT_EQ(reg.OpenLog(), (std::vector<std::string>{"a\\b", "A", "A\\C", "A\\Q"}));
  EXPECT_EQ(reg.OpenLocalMachine("A\\Missing", &key), kRegFileNotFound);
  EXPECT_FALSE(key);

  // A name that does not fit the 260-character buffer.
  reg.AddKey("L\\" + std::string(260, 'n'));
  reg.AddKey("L\\" + std::string(259, 'n'));
  ASSERT_EQ(reg.OpenLocalMachine("L", &key), kRegSuccess);
  EXPECT_EQ(key->EnumSubkey(0, &name), kRegMoreData);
  EXPECT_EQ(key->EnumSubkey(1, &name), kRegSuccess);
  EXPECT_EQ(name.length, 259u);
  EXPECT_EQ(name.units[259], u'\0');
}

}  // namespace
}  // namespace lumora
