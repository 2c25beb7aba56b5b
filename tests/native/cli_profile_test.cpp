// The lumora tool's portable parts: profile format, load order, command line
// and the choice of a camera among identical ones.
#include <cstdio>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "property/catalogue.h"
#include "tools/cli_args.h"
#include "tools/profile.h"

namespace lumora::cli {
namespace {

constexpr const char* kGood =
    "# saved yesterday\n"
    "lumora-profile 1\n"
    "Camera = Philips ToUcam Pro Camera\n"
    "VidPid = VID_0471&PID_0311\n"
    "Serial = 2a4c6e8\n"
    "DevicePath = @device:pnp:\\\\?\\usb#vid_0471&pid_0311&mi_00#7&2a4c6e8&0&0000#{x}\\global\n"
    "Chipset = SAA8116\n"
    "\n"
    "  brightness = 128   # a comment after the value\r\n"
    "VCP_Contrast=-5\n"
    "WhiteBalanceMode = 0\n"
    "end\n";

TEST(ProfileParse, ReadsIdentityAndEntriesInFileOrder) {
  Profile p;
  std::string error;
  ASSERT_TRUE(ParseProfile(kGood, &p, &error)) << error;
  EXPECT_EQ(p.identity.name, "Philips ToUcam Pro Camera");
  EXPECT_EQ(p.identity.vidPid, "VID_0471&PID_0311");
  EXPECT_EQ(p.identity.serial, "2a4c6e8");
  // '#' inside a device path is part of the value, not a comment.
  EXPECT_EQ(p.identity.devicePath,
            "@device:pnp:\\\\?\\usb#vid_0471&pid_0311&mi_00#7&2a4c6e8&0&0000#{x}\\global");
  EXPECT_EQ(p.identity.chipset, "SAA8116");
  ASSERT_EQ(p.entries.size(), 3u);
  EXPECT_EQ(p.entries[0].property, VCP_Brightness);
  EXPECT_EQ(p.entries[0].value, 128);
  EXPECT_EQ(p.entries[0].line, 9);
  EXPECT_EQ(p.entries[1].property, VCP_Contrast);
  EXPECT_EQ(p.entries[1].value, -5);
  EXPECT_EQ(p.entries[2].property, VCP_WhiteBalanceMode);
}

TEST(ProfileParse, RejectsBadFilesWithTheLineAndLeavesTheOutputAlone) {
  struct Case {
    const char* text;
    const char* errorPart;
  };
  const Case cases[] = {
      {"", "not a lumora profile"},
      {"# only comments\n", "not a lumora profile"},
      {"Brightness = 1\nend\n", "line 1: not a lumora profile"},
      {"lumora-profile 2\nend\n", "line 1: not a lumora profile"},
      {"lumora-profile 1\nBrightness = 1\n", "no \"end\" line"},        // truncated
      {"lumora-profile 1\nBrightness = 1\nContr", "line 3: expected"},  // cut mid-line
      {"lumora-profile 1\nBrightnes = 1\nend\n", "line 2: unknown property 'Brightnes'"},
      {"lumora-profile 1\nBrightness = 1x\nend\n", "line 2: value of Brightness"},
      {"lumora-profile 1\nBrightness =\nend\n", "line 2: value of Brightness"},
      {"lumora-profile 1\nBrightness = 2147483648\nend\n", "line 2: value"},
      {"lumora-profile 1\nBrightness = 1\nbrightness = 2\nend\n", "line 3: Brightness given twice"},
      {"lumora-profile 1\nIris = 1\nCamExposure = 2\nend\n", "line 3: Iris given twice"},
      {"lumora-profile 1\nSerial = a\nSerial = b\nend\n", "line 3: Serial given twice"},
      {"lumora-profile 1\n= 5\nend\n", "line 2: missing name"},
      {"lumora-profile 1\nend\nBrightness = 1\n", "line 3: text after \"end\""},
  };
  for (const Case& c : cases) {
    Profile p;
    p.identity.name = "untouched";
    std::string error;
    EXPECT_FALSE(ParseProfile(c.text, &p, &error)) << c.text;
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.text << " -> " << error;
    EXPECT_EQ(p.identity.name, "untouched");
  }
}

// A profile edited on another system: CR LF or CR line ends, a UTF-8
// byte-order mark, no line break after "end"; each loads as the LF original.
TEST(ProfileParse, LineEndsByteOrderMarkAndMissingLastBreakLoadTheSame) {
  auto replaceAll = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
    return text;
  };
  std::string lf = replaceAll(kGood, "\r\n", "\n");
  Profile expected;
  std::string error;
  ASSERT_TRUE(ParseProfile(lf, &expected, &error)) << error;
  const std::string crlf = replaceAll(lf, "\n", "\r\n");
  const std::string variants[] = {
      crlf,
      replaceAll(lf, "\n", "\r"),
      "\xEF\xBB\xBF" + lf,
      "\xEF\xBB\xBF" + crlf,
      lf.substr(0, lf.size() - 1),
      "\xEF\xBB\xBF" + crlf.substr(0, crlf.size() - 2),
  };
  for (const std::string& text : variants) {
    Profile p;
    ASSERT_TRUE(ParseProfile(text, &p, &error)) << error;
    EXPECT_EQ(p.identity.name, expected.identity.name);
    EXPECT_EQ(p.identity.devicePath, expected.identity.devicePath);
    EXPECT_EQ(p.identity.chipset, expected.identity.chipset);
    ASSERT_EQ(p.entries.size(), expected.entries.size());
    for (size_t i = 0; i < p.entries.size(); ++i) {
      EXPECT_EQ(p.entries[i].property, expected.entries[i].property);
      EXPECT_EQ(p.entries[i].value, expected.entries[i].value);
      EXPECT_EQ(p.entries[i].line, expected.entries[i].line);
    }
  }
  // A mark anywhere but at the start is text, and wrong there.
  EXPECT_FALSE(ParseProfile("\n\xEF\xBB\xBFlumora-profile 1\nend\n", &expected, &error));
}

// Errors echo the user's text with its control characters escaped, so one
// error is one line.
TEST(ProfileParse, ErrorsEscapeControlCharacters) {
  Profile p;
  std::string error;
  EXPECT_FALSE(ParseProfile("lumora-profile 1\nBright\x1b[2Jness = 1\nend\n", &p, &error));
  EXPECT_NE(error.find("line 2: unknown property 'Bright\\x1B[2Jness'"), std::string::npos)
      << error;
  EXPECT_FALSE(ParseProfile("lumora-profile 1\nBrightness = 1\t2\x7f\nend\n", &p, &error));
  EXPECT_NE(error.find("'1\\t2\\x7F'"), std::string::npos) << error;
  EXPECT_EQ(Printable("a\nb\rc\x01 \xC2\x85 \xE2\x80\xA8\xE2\x80\xA9 \xC3\xA9\\"),
            "a\\nb\\rc\\x01 \\u0085 \\u2028\\u2029 \xC3\xA9\\");
}

TEST(ProfileParse, FormatThenParseGivesTheSameProfile) {
  Profile p;
  p.identity = {"Cam\r\nwith break", "VID_046D&PID_08B2", "0", "@device:pnp:\\\\?\\usb#a#b",
                "LOGIFUSION"};
  p.entries = {{VCP_AutoAll, 1, 0},
               {VCP_Brightness, -2147483647 - 1, 0},
               {VCP_Iris, 2147483647, 0},
               {VCP_Exposure, 0, 0, EntryMode::kAuto},
               {VCP_Focus, 0, 0, EntryMode::kManual}};
  std::string text = FormatProfile(p);
  EXPECT_NE(text.find("\nExposure = auto\n"), std::string::npos) << text;
  Profile back;
  std::string error;
  ASSERT_TRUE(ParseProfile(text, &back, &error)) << error << "\n" << text;
  EXPECT_EQ(back.identity.name, "Cam  with break");
  EXPECT_EQ(back.identity.devicePath, p.identity.devicePath);
  ASSERT_EQ(back.entries.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(back.entries[i].property, p.entries[i].property);
    EXPECT_EQ(back.entries[i].value, p.entries[i].value);
    EXPECT_EQ(back.entries[i].mode, p.entries[i].mode);
  }
  // Mode words in any case, with a comment; anything else is no value.
  ASSERT_TRUE(ParseProfile("lumora-profile 1\nexposure = AUTO # at night\nFocus=Manual\nend\n",
                           &back, &error))
      << error;
  EXPECT_EQ(back.entries[0].mode, EntryMode::kAuto);
  EXPECT_EQ(back.entries[1].mode, EntryMode::kManual);
  EXPECT_FALSE(ParseProfile("lumora-profile 1\nFocus = automatic\nend\n", &back, &error));
  EXPECT_NE(error.find("line 2: value of Focus is not a whole number, auto or manual"),
            std::string::npos)
      << error;
  EXPECT_TRUE(IdentityDifferences(back, {"cam  WITH break", "vid_046d&pid_08b2", "0",
                                         p.identity.devicePath, "logifusion"})
                  .empty());
}

TEST(ProfileLoadOrder, AutomaticModesFirstThenFileOrder) {
  std::vector<ProfileEntry> entries = {{VCP_Exposure, 1, 2},
                                       {VCP_AutoExposure, 0, 3},
                                       {VCP_WhiteBalRed, 5, 4},
                                       {VCP_Focus, 0, 5, EntryMode::kAuto},
                                       {VCP_WhiteBalanceMode, 1, 6},
                                       {VCP_Brightness, 9, 7},
                                       {VCP_Gain, 0, 8, EntryMode::kManual},
                                       {VCP_AutoAll, 0, 9}};
  std::vector<int32_t> order;
  for (const ProfileEntry& e : LoadOrder(entries)) order.push_back(e.property);
  EXPECT_EQ(order,
            (std::vector<int32_t>{VCP_AutoAll, VCP_WhiteBalanceMode, VCP_AutoExposure, VCP_Focus,
                                  VCP_Gain, VCP_Exposure, VCP_WhiteBalRed, VCP_Brightness}));
  EXPECT_TRUE(IsAutoMode(VCP_AutoAll));
  EXPECT_FALSE(IsAutoMode(VCP_WhiteBalance));
}

TEST(ProfileIdentity, ComparesOnlyTheFieldsTheProfileNames) {
  Profile p;
  p.hasSerial = true;
  p.identity.serial = "2a4c6e8";
  p.identity.name = "ignored, no Camera line";
  CameraIdentity camera{"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "3b5d7f9", "path",
                        "SAA8116"};
  std::vector<std::string> diff = IdentityDifferences(p, camera);
  ASSERT_EQ(diff.size(), 1u);
  EXPECT_EQ(diff[0], "serial: profile '2a4c6e8', camera '3b5d7f9'");
}

TEST(ParseInt32, StrictDecimal) {
  // clang-format off
  const struct {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {{"0", true, 0},         {"-1", true, -1},      {"+7", true, 7},
               {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1},
               {"2147483648", false, 0}, {"99999999999999999999", false, 0},
               {"", false, 0},          {"-", false, 0},       {"1.5", false, 0},
               {" 1", false, 0},        {"0x10", false, 0},    {"12a", false, 0}};
  // clang-format on
  for (const auto& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(ParseInt32(c.text, &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(CommandLine, CommandsAndOperands) {
  Invocation inv;
  std::string error;
  ASSERT_TRUE(ParseArguments({"set", "2", "Brightness", "-4"}, &inv, &error)) << error;
  EXPECT_EQ(inv.command, Command::kSet);
  EXPECT_FALSE(inv.help);
  EXPECT_EQ(inv.cam, "2");
  EXPECT_EQ(inv.property, "Brightness");
  EXPECT_EQ(inv.value, "-4");  // a negative value is not taken for an option

  ASSERT_TRUE(ParseArguments({"load", "serial:0", "p.txt"}, &inv, &error));
  EXPECT_EQ(inv.command, Command::kLoad);
  EXPECT_EQ(inv.file, "p.txt");

  ASSERT_TRUE(ParseArguments({"list"}, &inv, &error));
  EXPECT_EQ(inv.command, Command::kList);
}

TEST(CommandLine, HelpForms) {
  const std::vector<std::vector<std::string>> general = {{"--help"}, {"-h"}, {"help"}};
  for (const auto& args : general) {
    Invocation inv;
    std::string error;
    ASSERT_TRUE(ParseArguments(args, &inv, &error)) << args[0];
    EXPECT_TRUE(inv.help);
    EXPECT_EQ(inv.command, Command::kNone);
  }
  Invocation inv;
  std::string error;
  ASSERT_TRUE(ParseArguments({"get", "--help"}, &inv, &error));
  EXPECT_TRUE(inv.help);
  EXPECT_EQ(inv.command, Command::kGet);
  ASSERT_TRUE(ParseArguments({"help", "load"}, &inv, &error));
  EXPECT_EQ(inv.command, Command::kLoad);
  // Every command has its own help naming its usage.
  for (Command c : {Command::kList, Command::kReport, Command::kGet, Command::kSet, Command::kSave,
                    Command::kLoad}) {
    EXPECT_EQ(HelpText(c).rfind("usage: lumora ", 0), 0u);
  }
  EXPECT_NE(HelpText(Command::kNone).find("lumora load CAM FILE"), std::string::npos);
}

TEST(CommandLine, VersionAloneAsksForTheVersion) {
  Invocation inv;
  std::string error;
  ASSERT_TRUE(ParseArguments({"--version"}, &inv, &error)) << error;
  EXPECT_TRUE(inv.version);
  EXPECT_FALSE(inv.help);
  EXPECT_EQ(inv.command, Command::kNone);
  // "lumora MAJOR.MINOR.PATCH.TWEAK" and one line end.
  const std::string text = VersionText();
  int parts[4] = {-1, -1, -1, -1};
  char end = 0;
  ASSERT_EQ(std::sscanf(text.c_str(), "lumora %d.%d.%d.%d%c", &parts[0], &parts[1], &parts[2],
                        &parts[3], &end),
            5)
      << text;
  EXPECT_EQ(end, '\n');
  EXPECT_EQ(text.find('\n'), text.size() - 1);
  for (int part : parts) EXPECT_GE(part, 0);
  EXPECT_FALSE(ParseArguments({"--version", "list"}, &inv, &error));
  EXPECT_NE(error.find("--version"), std::string::npos);
  ASSERT_TRUE(ParseArguments({"list"}, &inv, &error));
  EXPECT_FALSE(inv.version);
}

TEST(CommandLine, WrongCommandLinesGiveOneLine) {
  const struct {
    std::vector<std::string> args;
    const char* errorPart;
  } cases[] = {
      {{}, "no command"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"get", "1"}, "missing arguments; usage: lumora get CAM PROP"},
      {{"list", "extra"}, "too many arguments"},
      {{"set", "1", "Brightness"}, "missing arguments"},
      {{"help", "nope"}, "unknown command 'nope'"},
      {{"fro\nb\r\x1b"}, "unknown command 'fro\\nb\\r\\x1B'"},
      {{"help", "a\u2028b"}, "unknown command 'a\\u2028b'"},
  };
  for (const auto& c : cases) {
    Invocation inv;
    std::string error;
    EXPECT_FALSE(ParseArguments(c.args, &inv, &error));
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    EXPECT_EQ(error.find_first_of("\n\r\x1b"), std::string::npos) << error;
  }
}

TEST(CommandLine, PropertyArgument) {
  // clang-format off
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {{"Brightness", 0}, {"whitebalred", 10}, {"VCP_WhiteBalBlue", 11}, {"vcp_fps", 14},
               {"CamExposure", 30}, {"0", 0},         {"31", 31},             {"32", -1},
               {"-1", -1},          {"Brightnes", -1}, {"", -1},              {"1e1", -1}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(ParsePropertyArgument(c.text), c.value) << c.text;
}

// A value with several names reports (in every report, profile and error)
// the name of its first row; the later ones are aliases that are only read.
TEST(Catalogue, AnAliasedValueReportsItsFirstName) {
  std::map<int32_t, std::vector<std::string>> names;
#define LUMORA_CATALOGUE_ROW(name, value) names[value].push_back(#name);
  LUMORA_VIDCAP_PROPERTIES(LUMORA_CATALOGUE_ROW)
#undef LUMORA_CATALOGUE_ROW
  std::map<int32_t, std::string> aliased;
  for (const auto& [value, list] : names) {
    if (list.size() > 1) aliased[value] = PropertyName(value);
    for (const std::string& name : list) EXPECT_EQ(PropertyFromName(name.c_str()), value) << name;
  }
  EXPECT_EQ(aliased, (std::map<int32_t, std::string>{
                         {0, "Brightness"}, {20, "AutoAll"}, {30, "Iris"}, {31, "Focus"}}));
}

class CameraChoice : public ::testing::Test {
 protected:
  // Two identical ToUcams told apart only by serial and path, and two
  // cameras sharing the serial "0" (a non-composite device's sixth token).
  std::vector<CameraIdentity> cams = {
      {"Philips Vesta Pro Camera", "VID_0471&PID_0308", "0", "@device:pnp:vesta", "SAA8112"},
      {"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "2a4c6e8", "@device:pnp:toucam-a",
       "SAA8116"},
      {"Philips ToUcam Pro Camera", "VID_0471&PID_0311", "3b5d7f9", "@device:pnp:toucam-b",
       "SAA8116"},
      {"Logitech QuickCam Pro 4000", "VID_046D&PID_08B2", "0", "@device:pnp:qc", "SAA8116"},
      {"USB Video Device", "VID_0C45&PID_6340", "2", "@device:pnp:usb", "unknown"},
  };
};

TEST_F(CameraChoice, ChoosesByIndexSerialOrPath) {
  const struct {
    const char* cam;
    size_t position;
  } cases[] = {
      {"1", 0},
      {"5", 4},
      {"3b5d7f9", 2},
      {"2A4C6E8", 1},
      {"@device:pnp:TOUCAM-B", 2},
      {"path:@device:pnp:qc", 3},
      {"index:2", 1},
      {"serial:2", 4},
      {"2", 1},  // a bare number is an index first
  };
  for (const auto& c : cases) {
    size_t position = 99;
    std::string error;
    EXPECT_TRUE(MatchCamera(c.cam, cams, &position, &error)) << c.cam << ": " << error;
    EXPECT_EQ(position, c.position) << c.cam;
  }
}

TEST_F(CameraChoice, UnknownAndAmbiguousAreErrors) {
  const struct {
    const char* cam;
    const char* errorPart;
  } cases[] = {
      {"0", "ambiguous: cameras 1, 4 have this serial"},  // not an index (from 1), a shared serial
      {"serial:0", "ambiguous"},
      {"6", "no camera matches '6'"},
      {"index:6", "no camera with index 6"},
      {"index:0", "no camera with index 0"},
      {"deadbeef", "no camera matches"},
      {"path:2a4c6e8", "no camera matches"},
      {"", "empty camera name"},
      {"serial:", "empty camera name"},
      {"cam\nera", "no camera matches 'cam\\nera'"},
      {"index:1\r\n", "no camera with index 1\\r\\n"},
  };
  for (const auto& c : cases) {
    size_t position = 99;
    std::string error;
    EXPECT_FALSE(MatchCamera(c.cam, cams, &position, &error)) << c.cam;
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.cam << ": " << error;
    EXPECT_EQ(error.find_first_of("\r\n"), std::string::npos) << error;
    EXPECT_EQ(position, 99u);
  }
  size_t position = 0;
  std::string error;
  EXPECT_FALSE(MatchCamera("1", {}, &position, &error));
  EXPECT_EQ(error, "no camera found");
}

}  // namespace
}  // namespace lumora::cli
