// The lumora tool's extension-unit controls without Windows: hostile raw
// input refused before anything is written, named values checked against
// their facts, profiles with named entries (round trip, old readers, a
// failing entry), and the check of named controls on a camera that lies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_xu_source.h"
#include "tools/check.h"
#include "tools/profile.h"
#include "tools/profile_load.h"

namespace lumora::xutool {
namespace {

constexpr const char* kLedGuid = "ffe52d21-8030-4e2c-82d9-f587d00540bd";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(XuHexArgument, HostileTextIsRefusedWithItsReason) {
  Bytes v;
  std::string error;
  EXPECT_TRUE(ParseHexArgument("0001000A00", &v, &error));
  EXPECT_EQ(v, (Bytes{0, 1, 0, 0x0a, 0}));
  EXPECT_TRUE(ParseHexArgument("0xff", &v, &error));
  EXPECT_EQ(v, Bytes{0xff});
  struct Bad {
    std::string text, why;
  };
  const Bad bad[] = {
      {"", "no bytes"},           {"0x", "no bytes"},          {"abc", "odd number"},
      {"0g", "not hex"},          {"00 111", "not hex"},        {"-1", "not hex"},
      {"+0ff0", "odd number"},    {"0x0x00", "not hex"},       {std::string("0\0", 2), "not hex"},
      {"\xc3\xa9\xc3\xa9", "not hex"}, {std::string(131072, 'a'), "at most 65535"},
  };
  for (const Bad& b : bad) {
    error.clear();
    EXPECT_FALSE(ParseHexArgument(b.text, &v, &error)) << b.text;
    EXPECT_TRUE(Has(error, b.why)) << b.text.substr(0, 20) << " -> " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  uint32_t sel = 0;
  for (const char* s : {"0", "32", "-1", "+9", "9x", "", "99999999999"}) {
    EXPECT_FALSE(ParseSelectorArgument(s, &sel, &error)) << s;
  }
  EXPECT_TRUE(ParseSelectorArgument("31", &sel, &error));
  EXPECT_EQ(sel, 31u);
}

TEST(XuRaw, RefusalsNameWhatIsWrongAndWriteNothing) {
  FakeXu x = FakeXu::Led();
  std::optional<Bytes> back;
  struct Case {
    std::string guid, sel, hex;
    Answer::Kind kind;
    std::string says;
  };
  const Case cases[] = {
      {"not-a-guid", "9", "00", Answer::kUsage, "'not-a-guid' is not a GUID"},
      {kLedGuid, "0", "0001000a00", Answer::kUsage, "SELECTOR '0'"},
      {kLedGuid, "9", "0001000a0", Answer::kUsage, "odd number"},
      {"{11111111-2222-3333-4444-555555555555}", "9", "00", Answer::kFailed,
       "no extension unit 11111111-2222-3333-4444-555555555555"},
      {kLedGuid, "4", "00", Answer::kFailed, "has no control 4"},
      {kLedGuid, "9", "0001000a", Answer::kFailed, "holds 5 bytes, HEX gives 4; nothing written"},
      {kLedGuid, "9", "0001000a0000", Answer::kFailed, "HEX gives 6"},
      {FakeXu::kCount, "8", "05", Answer::kFailed, "read only; nothing written"},
  };
  for (const Case& c : cases) {
    Answer a = RawSet(x, c.guid, c.sel, c.hex, &back);
    EXPECT_EQ(a.kind, c.kind) << c.says << ": " << a.message;
    EXPECT_TRUE(Has(a.message, c.says)) << a.message;
  }
  EXPECT_TRUE(x.writes.empty()) << x.writes[0];

  // Any spelling of the GUID names the unit; the camera's bytes read back.
  Answer a = RawSet(x, "{FFE52D21-8030-4e2c-82d9-F587D00540BD}", "9", "0002000B00", &back);
  ASSERT_TRUE(a.ok()) << a.message;
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, (Bytes{0, 2, 0, 0x0b, 0}));
  Bytes value;
  ASSERT_TRUE(RawGet(x, kLedGuid, "9", &value).ok());
  EXPECT_EQ(xu::HexText(value), "0002000b00");

  // A driver failure gives its code, its meaning and the library's words.
  x.failWrites = kGenFailure;
  x.message = "the device stalled";
  a = RawSet(x, kLedGuid, "9", "0000000000", &back);
  EXPECT_EQ(a.kind, Answer::kFailed);
  EXPECT_TRUE(Has(a.message, "0x8007001F")) << a.message;
  EXPECT_TRUE(Has(a.message, "the device stalled")) << a.message;
  EXPECT_GT(a.message.size(), std::string("writing control 9 of x failed (0x8007001F: ").size() +
                                  std::string("the device stalled").size())
      << "the code's meaning is missing: " << a.message;
}

TEST(XuNamed, ValuesAreCheckedAgainstTheControlsFactsBeforeTheWrite) {
  FakeXu x = FakeXu::Led();
  std::string spelled, back;
  ASSERT_EQ(FindNamed(x, "led mode", &spelled), hr::Ok);
  EXPECT_EQ(spelled, "LED Mode");
  EXPECT_EQ(FindNamed(x, "LED Mod", &spelled), hr::False);

  Answer a = NamedSet(x, "LED Mode", "BLINK", &back);
  ASSERT_TRUE(a.ok()) << a.message;
  EXPECT_EQ(back, "blink");
  EXPECT_EQ(x.writes.back(), "LED Mode=blink") << "labels are handed on in the menu's spelling";
  EXPECT_EQ(x.units[FakeXu::kLed][9].value, (Bytes{0, 2, 0, 10, 0})) << "other bytes kept";

  x.writes.clear();
  struct Bad {
    const char *name, *value;
    Answer::Kind kind;
    const char* says;
  };
  const Bad bad[] = {
      {"LED Mode", "strobe", Answer::kFailed, "'strobe' is not one of off, on, blink, auto"},
      {"LED Frequency", "201", Answer::kFailed, "201 is outside the range 0..200"},
      {"LED Frequency", "-1", Answer::kFailed, "outside the range"},
      {"LED Frequency", "ten", Answer::kUsage, "not a whole number"},
      {"LED Frequency", "1e2", Answer::kUsage, "not a whole number"},
      {"LED Frequency", "99999999999999999999999", Answer::kUsage, "not a whole number"},
      {"People Count", "3", Answer::kFailed, "cannot be set on this camera"},
  };
  for (const Bad& b : bad) {
    a = NamedSet(x, b.name, b.value, &back);
    EXPECT_EQ(a.kind, b.kind) << b.value << ": " << a.message;
    EXPECT_TRUE(Has(a.message, b.says)) << a.message;
  }
  EXPECT_TRUE(x.writes.empty()) << x.writes[0];

  ASSERT_TRUE(NamedSet(x, "LED Frequency", "0xC8", &back).ok());
  EXPECT_EQ(back, "200");
  std::string value;
  ASSERT_TRUE(NamedGet(x, "People Count", &value).ok());
  EXPECT_EQ(value, "4");

  // Booleans: every spelling the documentation gives, handed on as on/off.
  NamedInfo boolean;
  boolean.type = "boolean";
  std::string normal;
  for (const char* on : {"on", "ON", "true", "1"}) {
    ASSERT_TRUE(CheckValue("Autozoom", boolean, on, &normal).ok()) << on;
    EXPECT_EQ(normal, "on");
  }
  EXPECT_FALSE(CheckValue("Autozoom", boolean, "yes", &normal).ok());
}

TEST(XuListing, EveryControlWithItsFactsAndNamedFieldsEvenWhenAReadFails) {
  FakeXu x = FakeXu::Led();
  std::string text = InventoryText(Collect(x));
  EXPECT_TRUE(Has(text, std::string("Unit ") + FakeXu::kLed + ": 1 control\n")) << text;
  EXPECT_TRUE(Has(text, "  Selector 9: 5 bytes, read write\n")) << text;
  EXPECT_TRUE(Has(text, "min 0000000000  max ffffffffff  res -  default -  current 0001000a00"))
      << text;
  EXPECT_TRUE(Has(text, "\"LED Mode\" = on (menu: off, on, blink, auto)")) << text;
  EXPECT_TRUE(Has(text, "\"LED Frequency\" = 10 (integer 0..200)")) << text;
  EXPECT_TRUE(Has(text, "  Selector 8: 1 byte, read only\n")) << text;

  x.failAll = kGenFailure;
  Inventory failed = Collect(x);
  EXPECT_FALSE(failed.problem.empty());
  EXPECT_TRUE(Has(InventoryText(failed), "0x8007001F")) << InventoryText(failed);
}

// --- profiles ------------------------------------------------------------------

TEST(XuProfile, NamedEntriesRoundTripAndOldReadersSeeComments) {
  cli::Profile p;
  p.identity.name = "Cam";
  p.entries = {{VCP_Brightness, 17, 0}};
  p.named = {{"LED Mode", "blink", 0}, {"LED Frequency", "20", 0}};
  const std::string text = cli::FormatProfile(p);
  cli::Profile back;
  std::string error;
  ASSERT_TRUE(cli::ParseProfile(text, &back, &error)) << error;
  ASSERT_EQ(back.named.size(), 2u);
  EXPECT_EQ(back.named[0].name, "LED Mode");
  EXPECT_EQ(back.named[0].value, "blink");
  EXPECT_EQ(back.named[1].value, "20");
  EXPECT_GT(back.named[1].line, back.named[0].line);
  ASSERT_EQ(back.entries.size(), 1u);
  // A reader that knows no named entries skips every line that starts with
  // '#': each named entry must be such a line, before "end".
  size_t end = text.find("\nend\n");
  for (const char* name : {"LED Mode", "LED Frequency"}) {
    size_t at = text.find(name);
    ASSERT_NE(at, std::string::npos);
    size_t lineStart = text.rfind('\n', at) + 1;
    EXPECT_EQ(text[lineStart], '#') << name;
    EXPECT_LT(at, end);
  }
  // A profile without named entries is written as before.
  cli::Profile plain = p;
  plain.named.clear();
  EXPECT_EQ(cli::FormatProfile(plain).find("xu"), std::string::npos);
}

TEST(XuProfile, BrokenNamedLinesRejectTheFileWithTheirLine) {
  const std::string head = "lumora-profile 1\nBrightness = 1\n";
  struct Bad {
    const char* lines;
    const char* says;
  };
  const Bad bad[] = {
      {"#xu: LED Mode\n", "line 3: expected"},
      {"#xu: = on\n", "line 3: expected"},
      {"#xu: LED Mode =\n", "line 3: expected"},
      {"#xu: LED Mode = on\n#xu: led mode = off\n", "line 4: 'led mode' given twice"},
  };
  for (const Bad& b : bad) {
    cli::Profile p;
    std::string error;
    EXPECT_FALSE(cli::ParseProfile(head + b.lines + "end\n", &p, &error)) << b.lines;
    EXPECT_TRUE(Has(error, b.says)) << error;
  }
  // Ordinary comments, even about extension units, stay comments.
  cli::Profile p;
  std::string error;
  ASSERT_TRUE(cli::ParseProfile(head + "# xu: notes\n#xu is nice\nend\n", &p, &error)) << error;
  EXPECT_TRUE(p.named.empty());
}

// A camera without catalogue properties whose extension units are a FakeXu.
class XuOnlyCamera : public cli::ProfileTarget, public CameraSource {
 public:
  explicit XuOnlyCamera(FakeXu* xu) : xu_(xu) {}
  int32_t Support(int32_t) override { return VCS_no; }
  bool Range(int32_t, int32_t*, int32_t*) override { return false; }
  HResult Get(int32_t, int32_t*) override { return hr::InvalidArg; }
  HResult Set(int32_t, int32_t) override { return hr::InvalidArg; }
  int32_t ModeSupport(int32_t) override { return 0; }
  HResult GetMode(int32_t, int32_t*) override { return hr::NotImpl; }
  HResult SetMode(int32_t, int32_t) override { return hr::NotImpl; }
  HResult Support(int32_t, int32_t* s) override {
    *s = VCS_no;
    return hr::Ok;
  }
  HResult Range(int32_t, int32_t*, int32_t*, int32_t*, int32_t*) override { return hr::InvalidArg; }
  HResult ModeSupport(int32_t, int32_t* m) override {
    *m = 0;
    return hr::Ok;
  }
  HResult ReadSettings(int16_t* e, uint32_t n) override {
    for (uint32_t i = 0; i < n; ++i) e[i] = 0;
    return hr::Ok;
  }
  bool Present() override { return true; }
  XuSource* Xu() override { return xu_; }

 private:
  FakeXu* xu_;
};

TEST(XuProfile, LoadDecidesEachNamedEntryAndGoesOnAfterAFailure) {
  FakeXu x = FakeXu::Led();
  XuOnlyCamera cam(&x);
  cli::Profile p;
  std::string error;
  ASSERT_TRUE(cli::ParseProfile("lumora-profile 1\n#xu: led mode = Blink\n#xu: LED Frequency = 300\n"
                                "#xu: Zoom = 3\n#xu: People Count = 1\n#xu: LED Frequency = 5\nend\n",
                                &p, &error) == false);
  ASSERT_TRUE(cli::ParseProfile("lumora-profile 1\n#xu: led mode = Blink\n#xu: LED Frequency = 300\n"
                                "#xu: Zoom = 3\n#xu: People Count = 1\nend\n",
                                &p, &error))
      << error;
  cli::LoadOutcome o = cli::LoadProfile(cam, p);
  ASSERT_EQ(o.named.size(), 4u);
  EXPECT_EQ(cli::OutcomeLine(o.named[0]), "applied  led mode = Blink");
  EXPECT_EQ(o.named[0].actual, "blink");
  EXPECT_EQ(o.named[1].result, cli::LoadResult::kRefused);
  EXPECT_TRUE(Has(o.named[1].reason, "300 is outside the range 0..200")) << o.named[1].reason;
  EXPECT_TRUE(Has(cli::OutcomeLine(o.named[2]), "refused  Zoom = 3: this camera has no"));
  EXPECT_TRUE(Has(o.named[3].reason, "cannot be set")) << o.named[3].reason;
  EXPECT_EQ(x.writes, std::vector<std::string>{"LED Mode=blink"});
  EXPECT_TRUE(o.Succeeded()) << "refusals decided before writing are no write failures";
  EXPECT_EQ(cli::OutcomeSummary(o), "1 applied, 0 changed by the camera, 3 refused");

  // A driver failure refuses that entry with its code and goes on.
  ASSERT_TRUE(cli::ParseProfile("lumora-profile 1\n#xu: LED Mode = off\n#xu: LED Frequency = 7\nend\n",
                                &p, &error));
  x.failWrites = kGenFailure;
  x.writes.clear();
  o = cli::LoadProfile(cam, p);
  EXPECT_FALSE(o.vanished) << "a general failure of one request is no unplugged camera";
  EXPECT_EQ(x.writes.size(), 2u) << "the second entry is still tried";
  EXPECT_TRUE(Has(o.named[0].reason, "0x8007001F")) << o.named[0].reason;
  EXPECT_EQ(o.WriteFailures(), 2u);
  EXPECT_FALSE(o.Succeeded());

  // A camera that keeps another value: changed, with what it holds.
  x.failWrites = 0;
  x.ignoreWrites = true;
  o = cli::LoadProfile(cam, p);
  EXPECT_EQ(cli::OutcomeLine(o.named[0]), "changed  LED Mode = off: the camera holds blink");

  // Unplugged mid-load: the load stops, the rest is not reached.
  x.ignoreWrites = false;
  x.unplugged = true;
  o = cli::LoadProfile(cam, p);
  EXPECT_EQ(o.Count(cli::LoadResult::kNotReached), 2u);
}

TEST(XuProfile, SaveKeepsWhatCanBeReadAndSetOnly) {
  FakeXu x = FakeXu::Led();
  std::vector<cli::NamedEntry> saved = cli::SavedNamed(x);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].name, "LED Mode");
  EXPECT_EQ(saved[0].value, "on");
  EXPECT_EQ(saved[1].value, "10");
}

// --- check ---------------------------------------------------------------------

const check::NamedResult* Named(const check::Result& r, const std::string& name) {
  for (const check::NamedResult& n : r.named) {
    if (n.name == name) return &n;
  }
  return nullptr;
}

bool Failed(const check::NamedResult* n, const std::string& id) {
  if (n == nullptr) return false;
  for (const check::Finding& f : n->findings) {
    if (f.id == id && f.outcome == check::Outcome::kFail) return true;
  }
  return false;
}

TEST(XuCheck, AnHonestCameraPassesAndGetsItsValuesBack) {
  FakeXu x = FakeXu::Led();
  XuOnlyCamera cam(&x);
  const Bytes before = x.units[FakeXu::kLed][9].value;
  check::Result r = check::Run(cam);
  ASSERT_EQ(r.named.size(), 3u);
  for (const check::NamedResult& n : r.named) {
    EXPECT_EQ(n.verdict, check::Verdict::kOk) << n.name << ": " << check::Text(r);
  }
  EXPECT_TRUE(r.Passed()) << check::Text(r);
  EXPECT_EQ(x.units[FakeXu::kLed][9].value, before);
  // Every label and both ends were written; the read-only count never.
  for (const char* w : {"LED Mode=off", "LED Mode=auto", "LED Frequency=0", "LED Frequency=200"}) {
    EXPECT_NE(std::find(x.writes.begin(), x.writes.end(), w), x.writes.end()) << w;
  }
  for (const std::string& w : x.writes) EXPECT_EQ(w.find("People"), std::string::npos) << w;
  EXPECT_TRUE(Has(check::Text(r), "People Count       OK (read only: not written)"))
      << check::Text(r);  // Every finding is under a documented id.
  for (const check::NamedResult& n : r.named) {
    for (const check::Finding& f : n.findings) {
      bool listed = false;
      for (size_t i = 0; i < check::kCheckCount; ++i) listed = listed || f.id == check::kChecks[i].id;
      EXPECT_TRUE(listed) << f.id;
    }
  }
}

TEST(XuCheck, LiesAreFailedByTheirIds) {
  struct Lie {
    const char* what;
    void (*make)(FakeXu*);
    const char* id;
  };
  const Lie lies[] = {
      {"takes values outside its range", [](FakeXu* x) { x->acceptOutside = true; },
       "xu.outside-refused"},
      {"keeps nothing written", [](FakeXu* x) { x->ignoreWrites = true; }, "xu.write-reads-back"},
      {"takes a raw value longer than the control", [](FakeXu* x) { x->acceptLong = true; },
       "xu.raw-length-refused"},
  };
  for (const Lie& lie : lies) {
    FakeXu x = FakeXu::Led();
    lie.make(&x);
    XuOnlyCamera cam(&x);
    const Bytes before = x.units[FakeXu::kLed][9].value;
    check::Result r = check::Run(cam);
    EXPECT_FALSE(r.Passed()) << lie.what;
    EXPECT_TRUE(Failed(Named(r, "LED Frequency"), lie.id) || Failed(Named(r, "LED Mode"), lie.id))
        << lie.what << "\n"
        << check::Text(r);
    EXPECT_TRUE(Has(check::Text(r), std::string("[") + lie.id + "]")) << check::Text(r);
    if (!x.acceptLong) {
      EXPECT_EQ(x.units[FakeXu::kLed][9].value, before) << lie.what;
    }
  }
  // A value that cannot be read fails the read check; nothing is written.
  FakeXu x = FakeXu::Led();
  x.units[FakeXu::kLed][9].value[1] = 9;  // no label
  XuOnlyCamera cam(&x);
  check::Result r = check::Run(cam);
  EXPECT_TRUE(Failed(Named(r, "LED Mode"), "xu.value-valid")) << check::Text(r);
}

TEST(XuCheck, ACameraUnpluggedMidCheckStopsIt) {
  FakeXu x = FakeXu::Led();
  XuOnlyCamera cam(&x);
  x.failWrites = kUnplugged;
  check::Result r = check::Run(cam);
  EXPECT_TRUE(r.vanished);
  EXPECT_FALSE(r.Passed());
  EXPECT_TRUE(Has(check::Text(r), "vanished")) << check::Text(r);
}

}  // namespace
}  // namespace lumora::xutool
