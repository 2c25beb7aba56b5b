// The registry script language of the server's registration: the tree a
// script gives, its numbers, and the scripts it refuses.
#include <gtest/gtest.h>

#include "base/registry_script.h"

namespace lumora::registry_script {
namespace {

std::vector<Root> ParseOk(const std::u16string& script) {
  std::vector<Root> roots;
  EXPECT_TRUE(Parse(script, u"C:\\dir\\Lumora.dll", &roots));
  return roots;
}

TEST(RegistryScript, GivesTheTreeInScriptOrder) {
  auto roots = ParseOk(
      uR"(HKCR
    {
      App.Thing = s 'Thing %MODULE% 100%%'
      {
        NoRemove CLSID { ForceRemove 'With Space' = s 'it''s' { val Count = d '42' } }
      }
    }
    HKEY_CURRENT_USER { Plain })");
  ASSERT_EQ(roots.size(), 2u);
  EXPECT_EQ(roots[0].key, RootKey::kClassesRoot);
  EXPECT_EQ(roots[1].key, RootKey::kCurrentUser);
  ASSERT_EQ(roots[0].entries.size(), 1u);
  const Entry& app = roots[0].entries[0];
  EXPECT_EQ(app.name, u"App.Thing");
  EXPECT_TRUE(app.hasData);
  EXPECT_EQ(app.text, u"Thing C:\\dir\\Lumora.dll 100%");
  ASSERT_EQ(app.children.size(), 1u);
  const Entry& clsid = app.children[0];
  EXPECT_EQ(clsid.flag, Entry::Flag::kNoRemove);
  EXPECT_FALSE(clsid.hasData);
  ASSERT_EQ(clsid.children.size(), 1u);
  const Entry& spaced = clsid.children[0];
  EXPECT_EQ(spaced.flag, Entry::Flag::kForceRemove);
  EXPECT_EQ(spaced.name, u"With Space");
  EXPECT_EQ(spaced.text, u"it's");
  ASSERT_EQ(spaced.children.size(), 1u);
  EXPECT_TRUE(spaced.children[0].isValue);
  EXPECT_EQ(spaced.children[0].type, Entry::Type::kDword);
  EXPECT_EQ(spaced.children[0].number, 42u);
  EXPECT_EQ(roots[1].entries[0].name, u"Plain");
}

// Numbers are decimal unless written in hexadecimal: a leading zero is no
// octal prefix.
TEST(RegistryScript, NumbersAreDecimalUnlessHexadecimal) {
  // clang-format off
  const struct {
    const char16_t* text;
    uint32_t value;
  } good[] = {{u"0", 0},          {u"010", 10},         {u"0755", 755},       {u"42", 42},
              {u"0x10", 16},      {u"0X2a", 42},        {u"0xFFFFFFFF", 0xFFFFFFFFu},
              {u"4294967295", 0xFFFFFFFFu},             {u"0x0", 0}};
  // clang-format on
  for (const auto& c : good) {
    uint32_t v = 7;
    EXPECT_TRUE(ParseNumber(c.text, &v)) << testing::PrintToString(std::u16string(c.text));
    EXPECT_EQ(v, c.value);
  }
  for (const char16_t* bad : {u"", u"0x", u"x10", u"-1", u"+1", u" 1", u"1 ", u"08x", u"0x1G",
                              u"4294967296", u"0x100000000", u"99999999999999999999", u"1e3"}) {
    uint32_t v = 7;
    EXPECT_FALSE(ParseNumber(bad, &v)) << testing::PrintToString(std::u16string(bad));
    EXPECT_EQ(v, 7u);
  }
  auto roots = ParseOk(u"HKCU { K { val Mode = d '0644' } }");
  EXPECT_EQ(roots[0].entries[0].children[0].number, 644u);
}

TEST(RegistryScript, RefusesBrokenScriptsAndLeavesTheOutputAlone) {
  const char16_t* bad[] = {
      u"HKXX { K }",
      u"HKCU { K",
      u"HKCU K }",
      u"HKCU { K = s 'unterminated }",
      u"HKCU { K = x 'unknown type' }",
      u"HKCU { K = s unquoted }",
      u"HKCU { K = s '%UNKNOWN%' }",
      u"HKCU { K = s '%MODULE' }",
      u"HKCU { val }",
      u"HKCU { val V = d 'twelve' }",
      u"HKCU { val V = d '' }",
      u"HKCU { = s 'x' }",
      u"HKCU { '' = s 'x' }",
      u"HKCU { NoRemove }",
  };
  for (const char16_t* script : bad) {
    std::vector<Root> roots(1);
    EXPECT_FALSE(Parse(script, u"m", &roots)) << testing::PrintToString(std::u16string(script));
    EXPECT_EQ(roots.size(), 1u);
  }
}

// Nesting is bounded, so a hostile script cannot exhaust the stack.
TEST(RegistryScript, NestingStopsAtTheLimit) {
  auto nested = [](int depth) {
    std::u16string script = u"HKCU { ";
    for (int i = 1; i < depth; ++i) script += u"K { ";
    for (int i = 0; i < depth; ++i) script += u"} ";
    return script;
  };
  std::vector<Root> roots;
  EXPECT_TRUE(Parse(nested(kMaxDepth), u"m", &roots));
  EXPECT_FALSE(Parse(nested(kMaxDepth + 1), u"m", &roots));
  EXPECT_FALSE(Parse(nested(100000), u"m", &roots));
}

}  // namespace
}  // namespace lumora::registry_script
