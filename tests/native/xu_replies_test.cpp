// The documented replies of extension-unit requests, parsed from bytes as
// the driver writes them; short and inconsistent replies leave facts
// unknown instead of misreading them.
#include <gtest/gtest.h>

#include "xu/replies.h"

namespace lumora::xu {
namespace {

// A BASICSUPPORT or DEFAULTVALUES reply built byte by byte from the layout
// the documentation gives (not from the parser's own offsets).
Bytes DescriptionReply(uint32_t access, uint32_t membersFlags, uint32_t flags, const Bytes& body,
                       std::optional<uint32_t> descriptionSize = std::nullopt) {
  Bytes r;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) r.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  uint32_t total = 40 + 16 + static_cast<uint32_t>(body.size());
  u32(access);
  u32(descriptionSize.value_or(total));
  r.insert(r.end(), 24, 0);  // PropTypeSet
  u32(1);                    // MembersListCount
  u32(0);                    // Reserved
  u32(membersFlags);
  u32(static_cast<uint32_t>(body.size()));
  u32(1);  // MembersCount
  u32(flags);
  r.insert(r.end(), body.begin(), body.end());
  return r;
}

TEST(XuGuidBytes, DescriptorBytesReadAsWindowsGuid) {
  // MSXU {0F3F95DC-2632-4C4E-92C9-A04782F43BC8} is stored dc 95 3f 0f 32 26 4e 4c 92 c9 ...
  const uint8_t msxu[16] = {0xdc, 0x95, 0x3f, 0x0f, 0x32, 0x26, 0x4e, 0x4c,
                            0x92, 0xc9, 0xa0, 0x47, 0x82, 0xf4, 0x3b, 0xc8};
  EXPECT_EQ(GuidFromDescriptorBytes(msxu), Guid::Parse("0F3F95DC-2632-4C4E-92C9-A04782F43BC8"));
  // Logitech's peripheral unit, which a raw byte dump shows as 212de5ff-3080-2c4e-...
  const Guid peripheral = Guid::Parse("FFE52D21-8030-4E2C-82D9-F587D00540BD");
  uint8_t bytes[16];
  GuidToDescriptorBytes(peripheral, bytes);
  const uint8_t expected[8] = {0x21, 0x2d, 0xe5, 0xff, 0x30, 0x80, 0x2c, 0x4e};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 8));
  EXPECT_EQ(0, std::memcmp(bytes + 8, peripheral.data4, 8));
  EXPECT_EQ(GuidFromDescriptorBytes(bytes), peripheral);
}

TEST(XuLengthAnswer, MoreDataCarriesTheLengthAndUnsupportedIsAbsence) {
  auto a = ParseLengthAnswer(code::kMoreData, 46);
  ASSERT_TRUE(a.length);
  EXPECT_EQ(*a.length, 46u);
  // Either documented "unsupported" code means the selector is not there.
  EXPECT_TRUE(ParseLengthAnswer(code::kNotFound, 0).unsupported);
  EXPECT_TRUE(ParseLengthAnswer(code::kSetNotFound, 0).unsupported);
  // A failing device is not absence: the control stays, without a length.
  auto failed = ParseLengthAnswer(code::kGenFailure, 0);
  EXPECT_FALSE(failed.unsupported);
  EXPECT_FALSE(failed.length);
  EXPECT_NE(failed.problem.find("0x8007001F (the device failed the request)"), std::string::npos);
  // Lengths UVC cannot carry, and no length at all, are not taken.
  EXPECT_FALSE(ParseLengthAnswer(code::kMoreData, 0).length);
  EXPECT_FALSE(ParseLengthAnswer(code::kMoreData, 0x10000).length);
  EXPECT_FALSE(ParseLengthAnswer(hr::Ok, 0).length);
}

TEST(XuCodes, EveryDocumentedCodeHasItsMeaning) {
  EXPECT_EQ(DescribeCode(code::kSetNotFound),
            "0x80070492 (the extension unit's property set is not on this node)");
  EXPECT_EQ(DescribeCode(code::kNotFound), "0x80070490 (the extension unit has no such control)");
  EXPECT_EQ(DescribeCode(code::kGenFailure), "0x8007001F (the device failed the request)");
  EXPECT_EQ(DescribeCode(code::kSemTimeout), "0x80070079 (the device did not answer in time)");
  EXPECT_EQ(DescribeCode(code::kNotReady), "0x80070015 (the device is not ready)");
  EXPECT_EQ(DescribeCode(code::kMoreData), "0x800700EA (the reply is longer than the buffer)");
  EXPECT_EQ(DescribeCode(static_cast<HResult>(0x80001234u)), "0x80001234");
}

TEST(XuBasicSupport, RangesFollowTheHeaderAsResolutionMinimumMaximum) {
  Bytes body = {0x01, 0x00, 0x00, 0x00,   // resolution
                0x10, 0x00, 0x00, 0x80,   // minimum
                0xff, 0xff, 0xff, 0x7f};  // maximum
  Bytes reply = DescriptionReply(kTypeGet | kTypeSet, kMemberRanges, 0, body);
  RangeReply r = ParseBasicSupport(reply.data(), reply.size(), 4);
  ASSERT_TRUE(r.minimum) << r.problem;
  EXPECT_EQ(*r.access, kTypeGet | kTypeSet);
  EXPECT_EQ(*r.resolution, Bytes({0x01, 0, 0, 0}));
  EXPECT_EQ(*r.minimum, Bytes({0x10, 0, 0, 0x80}));
  EXPECT_EQ(*r.maximum, Bytes({0xff, 0xff, 0xff, 0x7f}));
}

TEST(XuBasicSupport, A46ByteControlHasItsWholeRanges) {
  Bytes body;
  for (int part = 0; part < 3; ++part) {
    for (int i = 0; i < 46; ++i) body.push_back(static_cast<uint8_t>(part * 50 + i));
  }
  Bytes reply = DescriptionReply(kTypeGet, kMemberRanges, 0, body);
  RangeReply r = ParseBasicSupport(reply.data(), reply.size(), 46);
  ASSERT_TRUE(r.maximum) << r.problem;
  EXPECT_EQ(r.maximum->size(), 46u);
  EXPECT_EQ(r.minimum->front(), 50);
  EXPECT_EQ(r.maximum->back(), 145);
}

TEST(XuBasicSupport, HostileRepliesLeaveRangesUnknown) {
  Bytes body(12, 0x11);
  // Only the access flags, only the description, cut before the members.
  Bytes full = DescriptionReply(kTypeGet, kMemberRanges, 0, body);
  EXPECT_FALSE(ParseBasicSupport(full.data(), 4, 4).minimum);
  EXPECT_EQ(*ParseBasicSupport(full.data(), 4, 4).access, kTypeGet);
  EXPECT_FALSE(ParseBasicSupport(full.data(), 40, 4).minimum);
  EXPECT_FALSE(ParseBasicSupport(full.data(), full.size() - 1, 4).minimum);
  EXPECT_FALSE(ParseBasicSupport(nullptr, 0, 4).access);

  // DescriptionSize smaller than the ranges it claims to hold.
  Bytes truncated = DescriptionReply(kTypeGet, kMemberRanges, 0, body, 60);
  RangeReply t = ParseBasicSupport(truncated.data(), truncated.size(), 4);
  EXPECT_FALSE(t.minimum);
  EXPECT_FALSE(t.problem.empty());
  // DescriptionSize beyond the bytes returned: only the bytes returned count.
  Bytes lying = DescriptionReply(kTypeGet, kMemberRanges, 0, body, 0xFFFFFFFF);
  EXPECT_FALSE(ParseBasicSupport(lying.data(), lying.size() - 4, 4).minimum);
  EXPECT_TRUE(ParseBasicSupport(lying.data(), lying.size(), 4).minimum);
  // A reply sized for other values: the control's length changed.
  Bytes other = DescriptionReply(kTypeGet, kMemberRanges, 0, Bytes(6, 0));
  RangeReply o = ParseBasicSupport(other.data(), other.size(), 4);
  EXPECT_FALSE(o.minimum);
  EXPECT_NE(o.problem.find("length changed"), std::string::npos) << o.problem;
  // Stepped ranges or values are not the documented RANGES members.
  Bytes values = DescriptionReply(kTypeGet, kMemberValues, 0, body);
  EXPECT_FALSE(ParseBasicSupport(values.data(), values.size(), 4).minimum);
}

TEST(XuDefaultValues, DefaultFollowsAValuesHeaderWithTheDefaultFlag) {
  Bytes reply = DescriptionReply(kTypeGet, kMemberValues, kMemberFlagDefault, {1, 2, 3, 4, 5});
  DefaultReply d = ParseDefaultValues(reply.data(), reply.size(), 5);
  ASSERT_TRUE(d.value) << d.problem;
  EXPECT_EQ(*d.value, Bytes({1, 2, 3, 4, 5}));
  // A driver that gives at most 4 bytes of a longer default: unknown, said so.
  DefaultReply shortDefault = ParseDefaultValues(reply.data(), reply.size() - 1, 5);
  EXPECT_FALSE(shortDefault.value);
  EXPECT_NE(shortDefault.problem.find("4 of 5"), std::string::npos) << shortDefault.problem;
  Bytes noFlag = DescriptionReply(kTypeGet, kMemberValues, 0, {1, 2, 3, 4, 5});
  EXPECT_FALSE(ParseDefaultValues(noFlag.data(), noFlag.size(), 5).value);
  EXPECT_FALSE(ParseDefaultValues(reply.data(), 39, 5).value);
}

TEST(XuUnitInfo, GuidCountAndSourcesAsTheDescriptorHoldsThem) {
  Bytes info = {0x21, 0x2d, 0xe5, 0xff, 0x30, 0x80, 0x2c, 0x4e, 0x82, 0xd9,
                0xf5, 0x87, 0xd0, 0x05, 0x40, 0xbd, 17,   2,    3,    4};
  auto u = ParseUnitInfo(info.data(), info.size());
  ASSERT_TRUE(u);
  EXPECT_EQ(u->guid, Guid::Parse("FFE52D21-8030-4E2C-82D9-F587D00540BD"));
  EXPECT_EQ(*u->numControls, 17);
  EXPECT_EQ(u->sourceIds, Bytes({3, 4}));
  EXPECT_TRUE(u->problem.empty());
  // A reply that names more sources than it holds keeps the ones it holds.
  auto cut = ParseUnitInfo(info.data(), info.size() - 1);
  EXPECT_EQ(cut->sourceIds, Bytes({3}));
  EXPECT_FALSE(cut->problem.empty());
  EXPECT_FALSE(ParseUnitInfo(info.data(), 15));
  EXPECT_FALSE(ParseUnitInfo(info.data(), 16)->numControls);
}

TEST(XuSetList, WholeGuidsOnly) {
  Bytes two(32, 0);
  two[0] = 1;
  two[16] = 2;
  two.push_back(0xff);  // a trailing partial GUID
  auto sets = ParseSetList(two.data(), two.size());
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].data1, 1u);
  EXPECT_EQ(sets[1].data1, 2u);
}

}  // namespace
}  // namespace lumora::xu
