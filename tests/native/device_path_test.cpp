// Splitting of device paths into the serial and vendor/product tokens.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "enumeration/device_path.h"

namespace lumora {
namespace {

// Readable form of an optional token for comparisons: "<none>" when absent.
std::string Show(const std::optional<std::u16string>& token) {
  if (!token) return "<none>";
  std::string out;
  for (char16_t c : *token) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

struct PathCase {
  const char* label;
  std::u16string path;
  const char* serial;  // expected token, or "<none>"
  const char* vidPid;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.label; }

class DevicePathTable : public ::testing::TestWithParam<PathCase> {};

TEST_P(DevicePathTable, SplitsAsExpected) {
  const PathCase& c = GetParam();
  DevicePathTokens t = SplitDevicePath(c.path);
  EXPECT_EQ(Show(t.serial), c.serial) << c.label;
  EXPECT_EQ(Show(t.vidPid), c.vidPid) << c.label;
}

const PathCase kCases[] = {
    {"composite camera",
     u"@device:pnp:\\\\?\\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#"
     u"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
     "1f1f0d8", "VID_0471&PID_0329"},
    {"non-composite camera",
     u"@device:pnp:\\\\?\\usb#vid_046d&pid_08b2#5&2b1ac4a&0&1#"
     u"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
     "0", "VID_046D&PID_08B2"},
    {"single serial instance has five tokens",
     u"@device:pnp:\\\\?\\usb#vid_046d&pid_08b2#ABC123#{65e8773d-8f56-11d0-a3b9-00a0c9223196}",
     "<none>", "VID_046D&PID_08B2"},
    {"six tokens exactly", u"a#b&c#d&e#f", "f", "B&C"},
    {"separators at both ends", u"#&a#b&c#d&e#f&#", "f", "B&C"},
    {"leading hash makes the first token the second", u"#usb#vid_1&pid_2", "<none>", "VID_1&PID_2"},
    {"runs of separators", u"a##&&b#&#c&&&d####e&#&f##g", "f", "&&B"},
    {"short second token taken whole", u"x#ab#y", "<none>", "AB"},
    {"second token of exactly 17", u"x#vid_abcd&pid_ef01#y", "<none>", "VID_ABCD&PID_EF01"},
    {"long second token cut to 17", u"x#vid_abcd&pid_ef01&mi_02&extra#y", "y", "VID_ABCD&PID_EF01"},
    {"upper-casing touches a-z only", u"x#a-z{}_\u00e9b#y", "<none>", "A-Z{}_?B"},
    {"empty text", u"", "<none>", "<none>"},
    {"no separators at all", u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}", "<none>",
     "<none>"},
    {"only separators", u"#&#&##&&", "<none>", "&"},
    {"only hashes", u"#####", "<none>", "<none>"},
    {"five ampersands, no hash", u"a&b&c&d&e&f&g", "f", "<none>"},
    {"four ampersands, no hash", u"a&b&c&d&e", "<none>", "<none>"},
    {"trailing hash gives no second token", u"usb#", "<none>", "<none>"},
    {"text after a NUL is ignored", std::u16string(u"a#b\0#c&d&e&f", 12), "<none>", "B"},
};

INSTANTIATE_TEST_SUITE_P(Paths, DevicePathTable, ::testing::ValuesIn(kCases));

TEST(DevicePath, VidPidNeverExceedsTheLimitAndSerialHasNoSeparators) {
  std::u16string path = u"p#";
  for (int i = 0; i < 40; ++i) path += u'q';
  path += u"&1&2&3&4&5&6";
  DevicePathTokens t = SplitDevicePath(path);
  ASSERT_TRUE(t.vidPid.has_value());
  EXPECT_EQ(t.vidPid->size(), kVidPidMaxLength);
  EXPECT_EQ(Show(t.serial), "4");
}

}  // namespace
}  // namespace lumora
