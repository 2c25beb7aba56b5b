// Discovery and raw access against a driver that answers as documented,
// with the faults the documentation leaves open: a gap in the selectors,
// either "unsupported" code, a 46-byte control, lengths that change
// between calls, short replies, lying DescriptionSize, failing devices.
#include <gtest/gtest.h>

#include "tests/native/xu_fake_driver.h"
#include "xu/discovery.h"

namespace lumora::xu {
namespace {

using testing::FakeControl;
using testing::FakeDriver;
using testing::FakeUnit;

const Guid kPeripheral = Guid::Parse("FFE52D21-8030-4E2C-82D9-F587D00540BD");
const Guid kUnknown = Guid::Parse("0D2A52E1-1111-4222-8333-944455556666");

FakeControl Control(Bytes current, uint32_t access = kTypeGet | kTypeSet) {
  return testing::MakeControl(std::move(current), access);
}

const ControlFacts* Find(const UnitFacts& u, uint32_t selector) {
  for (const ControlFacts& c : u.controls) {
    if (c.selector == selector) return &c;
  }
  return nullptr;
}

// Two units at node ids that are not their unit ids: one a definition
// names, one that only a SETSUPPORT request reveals, with a gap after
// selector 2, a 46-byte control and a read-only one.
FakeDriver TwoUnits() {
  FakeDriver d;
  FakeUnit known;
  known.guid = kPeripheral;
  known.unitId = 6;
  known.controls[9] = Control({0, 1, 0, 20, 0});
  d.nodes[3] = known;
  FakeUnit unknown;
  unknown.guid = kUnknown;
  unknown.unitId = 4;
  unknown.listsSets = true;
  unknown.controls[1] = Control({0x10});
  unknown.controls[2] = Control({0x20, 0x21}, kTypeGet);
  unknown.controls[7] = Control(Bytes(46, 0x46));
  d.nodes[2] = unknown;
  return d;
}

TEST(XuDiscovery, UnitsByGuidOnTheirNodesAndEveryControlPastAGap) {
  FakeDriver d = TwoUnits();
  DiscoveryOptions options;
  options.candidates = {kPeripheral};
  std::vector<UnitFacts> units;
  ASSERT_TRUE(DiscoverUnits(d, options, &units).ok());
  ASSERT_EQ(units.size(), 2u);

  const UnitFacts& unknown = units[0];
  EXPECT_EQ(unknown.nodeId, 2u);
  ASSERT_TRUE(unknown.guid);
  EXPECT_EQ(*unknown.guid, kUnknown);
  EXPECT_EQ(unknown.guidSource, GuidSource::kSetSupport);
  ASSERT_EQ(unknown.controls.size(), 3u);  // 1, 2 and, past the gap, 7
  const ControlFacts* c7 = Find(unknown, 7);
  ASSERT_NE(c7, nullptr);
  EXPECT_EQ(*c7->length, 46u);
  EXPECT_EQ(*c7->maximum, Bytes(46, 0xff));
  EXPECT_EQ(*c7->current, Bytes(46, 0x46));
  EXPECT_EQ(*c7->defaultValue, Bytes(46, 0x02));
  EXPECT_TRUE(c7->problems.empty());
  const ControlFacts* c2 = Find(unknown, 2);
  EXPECT_TRUE(c2->CanGet());
  EXPECT_FALSE(c2->CanSet());

  const UnitFacts& known = units[1];
  EXPECT_EQ(known.nodeId, 3u);
  EXPECT_EQ(known.guidSource, GuidSource::kCandidate);
  ASSERT_TRUE(known.info);
  EXPECT_EQ(known.info->guid, kPeripheral);
  ASSERT_EQ(known.controls.size(), 1u);
  EXPECT_EQ(known.controls[0].selector, 9u);
  EXPECT_EQ(*known.controls[0].current, Bytes({0, 1, 0, 20, 0}));
  // Every selector was asked, on the node that holds the unit.
  size_t asked = 0;
  for (auto& r : d.log) {
    if (r.node == 3 && r.flags == kTypeGet && r.size == 0 && r.id >= 1) ++asked;
  }
  EXPECT_EQ(asked, 31u);
}

TEST(XuDiscovery, EitherUnsupportedCodeMeansAbsent) {
  for (HResult absent : {code::kNotFound, code::kSetNotFound}) {
    FakeDriver d = TwoUnits();
    d.absentSelector = absent;
    Requester rq(d, 0);
    auto controls = ScanControls(rq, 2, kUnknown, DiscoveryOptions{});
    EXPECT_EQ(controls.size(), 3u) << CodeText(absent);
  }
}

TEST(XuDiscovery, AnUnnamedNodeIsListedWithoutGuid) {
  FakeDriver d = TwoUnits();
  d.nodes[2].listsSets = false;  // SETSUPPORT unanswered, no candidate fits
  std::vector<UnitFacts> units;
  ASSERT_TRUE(DiscoverUnits(d, DiscoveryOptions{}, &units).ok());
  EXPECT_FALSE(units[0].guid);
  EXPECT_TRUE(units[0].controls.empty());
  ASSERT_EQ(units[0].problems.size(), 1u);
  EXPECT_NE(units[0].problems[0].find("0x80070492"), std::string::npos);
  // A GUID the user gives finds its node.
  EXPECT_EQ(FindNode(d, kUnknown), std::optional<uint32_t>(2));
  EXPECT_EQ(FindNode(d, kPeripheral), std::optional<uint32_t>(3));
  EXPECT_FALSE(FindNode(d, Guid::Parse("00000000-0000-0000-0000-000000000001")));
}

TEST(XuDiscovery, AControlWhoseFactsCannotBeReadIsListedWithWhatIsKnown) {
  FakeDriver d = TwoUnits();
  FakeControl& c1 = d.nodes[2].controls[1];
  c1.failRanges = code::kSemTimeout;
  FakeControl& c7 = d.nodes[2].controls[7];
  c7.descriptionSize = 40 + 16 + 46;  // truncated: claims room for one value only
  d.nodes[2].controls[2].failAll = code::kGenFailure;
  Requester rq(d, 0);
  auto controls = ScanControls(rq, 2, kUnknown, DiscoveryOptions{});
  ASSERT_EQ(controls.size(), 3u);

  EXPECT_EQ(*controls[0].length, 1u);
  EXPECT_FALSE(controls[0].minimum);
  EXPECT_EQ(*controls[0].current, Bytes({0x10}));
  EXPECT_NE(controls[0].problems.at(0).find("did not answer in time"), std::string::npos);

  EXPECT_EQ(controls[1].selector, 2u);
  EXPECT_FALSE(controls[1].length);
  EXPECT_NE(controls[1].problems.at(0).find("0x8007001F"), std::string::npos);

  EXPECT_EQ(*controls[2].length, 46u);
  EXPECT_TRUE(controls[2].access);
  EXPECT_FALSE(controls[2].maximum);
  EXPECT_TRUE(controls[2].current);
}

TEST(XuDiscovery, ADriverThatOnlyGivesWholeDescriptionsStillGivesRanges) {
  FakeDriver d = TwoUnits();
  d.nodes[2].controls[7].wholeReplyOnly = true;
  Requester rq(d, 0);
  auto facts = DescribeControl(rq, 2, kUnknown, 7, true);
  ASSERT_TRUE(facts);
  EXPECT_TRUE(facts->problems.empty()) << facts->problems.at(0);
  EXPECT_EQ(*facts->access, kTypeGet | kTypeSet);
  EXPECT_EQ(*facts->minimum, Bytes(46, 0x00));
  EXPECT_EQ(*facts->defaultValue, Bytes(46, 0x02));
}

TEST(XuDiscovery, ALengthThatChangesBetweenCallsIsTakenAgainAndSaid) {
  FakeDriver d = TwoUnits();
  FakeControl& c = d.nodes[2].controls[1];
  c.lengthLater = 2;
  c.current = {0x10};
  Requester rq(d, 0);
  // The control grows right after the length query: the ranges and the
  // read with the first length no longer fit, and the new length is read.
  auto facts = DescribeControl(rq, 2, kUnknown, 1, true);
  ASSERT_TRUE(facts);
  EXPECT_EQ(*facts->length, 2u);
  ASSERT_TRUE(facts->current);
  EXPECT_EQ(facts->current->size(), 2u);
  EXPECT_FALSE(facts->minimum);  // read for the old length
  bool said = false;
  for (auto& p : facts->problems) said |= p.find("changed from 1 to 2") != std::string::npos;
  EXPECT_TRUE(said);
}

TEST(XuDiscovery, NotReadyIsAskedAgainOtherFailuresAreNot) {
  struct Flaky : FakeDriver {
    int notReadyLeft = 2;
    TransportReply NodeProperty(uint32_t flags, uint32_t node, const Guid& set, uint32_t id,
                                void* data, uint32_t size) override {
      if (notReadyLeft > 0) {
        --notReadyLeft;
        log.push_back({flags, node, id, size});
        return {code::kNotReady, 0};
      }
      return FakeDriver::NodeProperty(flags, node, set, id, data, size);
    }
  } d;
  static_cast<FakeDriver&>(d) = TwoUnits();
  Requester rq(d, 2);
  auto facts = DescribeControl(rq, 3, kPeripheral, 9, false);
  ASSERT_TRUE(facts);
  EXPECT_EQ(*facts->length, 5u);
  Requester impatient(d, 0);
  d.notReadyLeft = 1;
  auto failed = DescribeControl(impatient, 3, kPeripheral, 9, false);
  ASSERT_TRUE(failed);
  EXPECT_FALSE(failed->length);
}

TEST(XuRawAccess, ShortReplyAndDriverFailuresAreErrorsWithTheirMeaning) {
  FakeDriver d = TwoUnits();
  Bytes value;
  d.nodes[3].controls[9].shortRead = 1;
  Status s = ReadControl(d, 3, kPeripheral, 9, 5, &value);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message.find("4 of 5 bytes"), std::string::npos) << s.message;
  EXPECT_TRUE(value.empty());
  d.nodes[3].controls[9].shortRead = 0;
  d.nodes[3].controls[9].failAll = code::kSemTimeout;
  s = ReadControl(d, 3, kPeripheral, 9, 5, &value);
  EXPECT_EQ(s.code, code::kSemTimeout);
  EXPECT_NE(s.message.find("did not answer in time"), std::string::npos);
  s = ReadControl(d, 3, kPeripheral, 12, 5, &value);
  EXPECT_NE(s.message.find("has no control 12"), std::string::npos) << s.message;
  s = ReadControl(d, 3, kUnknown, 1, 1, &value);
  EXPECT_NE(s.message.find(kUnknown.ToString()), std::string::npos) << s.message;
}

TEST(XuRawAccess, AWrongLengthOrAReadOnlyControlIsRefusedBeforeAnyRequest) {
  FakeDriver d = TwoUnits();
  Requester rq(d, 0);
  auto facts = DescribeControl(rq, 3, kPeripheral, 9, true);
  auto readOnly = DescribeControl(rq, 2, kUnknown, 2, true);
  d.log.clear();
  Status s = WriteControl(d, 3, kPeripheral, *facts, Bytes({1, 2, 3, 4}));
  EXPECT_NE(s.message.find("takes 5 bytes, not 4"), std::string::npos) << s.message;
  s = WriteControl(d, 2, kUnknown, *readOnly, Bytes({1, 2}));
  EXPECT_EQ(s.code, hr::AccessDenied);
  ControlFacts noLength;
  noLength.selector = 9;
  EXPECT_FALSE(WriteControl(d, 3, kPeripheral, noLength, Bytes({1})).ok());
  EXPECT_TRUE(d.log.empty());

  ASSERT_TRUE(WriteControl(d, 3, kPeripheral, *facts, Bytes({9, 8, 7, 6, 5})).ok());
  EXPECT_EQ(d.nodes[3].controls[9].current, Bytes({9, 8, 7, 6, 5}));
  d.nodes[3].controls[9].failAll = code::kGenFailure;
  s = WriteControl(d, 3, kPeripheral, *facts, Bytes({1, 1, 1, 1, 1}));
  EXPECT_EQ(s.code, code::kGenFailure);
  EXPECT_NE(s.message.find("0x8007001F (the device failed the request)"), std::string::npos);
}

}  // namespace
}  // namespace lumora::xu
