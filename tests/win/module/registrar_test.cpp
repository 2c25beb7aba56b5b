// The registrar's script language, run against a scratch key under
// HKEY_CURRENT_USER (the scripts' root block names HKCU).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "com/raii.h"
#include "module/registrar.h"

using lumora::com::RegKey;
using lumora::registrar::Mode;
using lumora::registrar::RunScript;

namespace {

const wchar_t kBase[] = L"Software\\LumoraRegistrarTest";
const wchar_t kModule[] = L"C:\\dir\\Lumora.dll";

class Registrar : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kBase); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kBase); }

  static HRESULT Run(const std::wstring& body, Mode mode) {
    return RunScript(L"HKCU\n{\n NoRemove Software\n {\n  NoRemove LumoraRegistrarTest\n  {\n" +
                         body + L"\n  }\n }\n}\n",
                     mode, kModule);
  }
  static std::wstring Path(const std::wstring& sub) {
    return sub.empty() ? std::wstring(kBase) : std::wstring(kBase) + L"\\" + sub;
  }
  static bool Exists(const std::wstring& sub) {
    RegKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, Path(sub).c_str(), 0, KEY_READ, key.Receive()) ==
           ERROR_SUCCESS;
  }
  static std::wstring String(const std::wstring& sub, const wchar_t* name = nullptr) {
    wchar_t buffer[512];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, Path(sub).c_str(), name, RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS) {
      return L"<missing>";
    }
    return buffer;
  }
  static void Write(const std::wstring& sub, const wchar_t* name, const wchar_t* value) {
    RegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Path(sub).c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
};

TEST_F(Registrar, WritesKeysDefaultAndNamedValues) {
  ASSERT_EQ(Run(LR"(
    App.Thing = s 'Thing Class'
    {
      CLSID = s '{BF8A8826-6A64-4cfd-B609-6B92EF6ABEBC}'
      InprocServer32 = s '%MODULE%'
      {
        val ThreadingModel = s 'Apartment'
        val Count = d '42'
      }
      'With Space' = s 'it''s %%'
    })",
                Mode::Register),
            S_OK);
  EXPECT_EQ(String(L"App.Thing"), L"Thing Class");
  EXPECT_EQ(String(L"App.Thing\\CLSID"), L"{BF8A8826-6A64-4cfd-B609-6B92EF6ABEBC}");
  EXPECT_EQ(String(L"App.Thing\\InprocServer32"), kModule);
  EXPECT_EQ(String(L"App.Thing\\InprocServer32", L"ThreadingModel"), L"Apartment");
  DWORD count = 0, size = sizeof(count);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, Path(L"App.Thing\\InprocServer32").c_str(), L"Count",
                         RRF_RT_REG_DWORD, nullptr, &count, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(count, 42u);
  EXPECT_EQ(String(L"App.Thing\\With Space"), L"it's %");
}

// Numbers are decimal unless written in hexadecimal; a leading zero is no
// octal prefix.
TEST_F(Registrar, DwordNumbersAreDecimalUnlessHexadecimal) {
  ASSERT_EQ(Run(LR"(K { val Dec = d '010' val Hex = d '0x10' })", Mode::Register), S_OK);
  for (auto [name, expected] : {std::pair<const wchar_t*, DWORD>{L"Dec", 10}, {L"Hex", 16}}) {
    DWORD value = 0, size = sizeof(value);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, Path(L"K").c_str(), name, RRF_RT_REG_DWORD, nullptr,
                           &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, expected) << name;
  }
}

TEST_F(Registrar, ForceRemoveReplacesTheWholeKey) {
  Write(L"Cls\\Stale", nullptr, L"old");
  Write(L"Cls\\Programmable\\Inner", nullptr, L"old");
  ASSERT_EQ(Run(LR"(ForceRemove Cls = s 'new' { ForceRemove Programmable })", Mode::Register),
            S_OK);
  EXPECT_EQ(String(L"Cls"), L"new");
  EXPECT_FALSE(Exists(L"Cls\\Stale"));
  EXPECT_TRUE(Exists(L"Cls\\Programmable"));
  EXPECT_FALSE(Exists(L"Cls\\Programmable\\Inner"));
}

TEST_F(Registrar, RegisteringTwiceGivesTheSameKeys) {
  const wchar_t* script =
      LR"(ForceRemove Cls = s 'x' { Sub = s 'y' } Plain = s 'p' { val V = s 'v' })";
  ASSERT_EQ(Run(script, Mode::Register), S_OK);
  ASSERT_EQ(Run(script, Mode::Register), S_OK);
  EXPECT_EQ(String(L"Cls\\Sub"), L"y");
  EXPECT_EQ(String(L"Plain", L"V"), L"v");
}

TEST_F(Registrar, UnregisterRemovesWhatTheScriptWroteAndKeepsNoRemoveKeys) {
  const wchar_t* script =
      LR"(
    Prog = s 'P' { CLSID = s 'G' CurVer = s 'P.1' }
    NoRemove Shared
    {
      ForceRemove Cls = s 'N' { Inproc = s 'path' { val ThreadingModel = s 'Apartment' } }
      Mine = s 'm'
    })";
  ASSERT_EQ(Run(script, Mode::Register), S_OK);
  Write(L"Shared\\Foreign", nullptr, L"someone else's");
  ASSERT_EQ(Run(script, Mode::Unregister), S_OK);
  EXPECT_FALSE(Exists(L"Prog"));
  EXPECT_FALSE(Exists(L"Shared\\Cls"));
  EXPECT_FALSE(Exists(L"Shared\\Mine"));
  EXPECT_TRUE(Exists(L"Shared"));
  EXPECT_EQ(String(L"Shared\\Foreign"), L"someone else's");
  EXPECT_TRUE(Exists(L"")) << "NoRemove root of the script";
}

TEST_F(Registrar, UnregisterKeepsAPlainKeyThatStillHasForeignSubkeys) {
  const wchar_t* script = LR"(Prog = s 'P' { CLSID = s 'G' })";
  ASSERT_EQ(Run(script, Mode::Register), S_OK);
  Write(L"Prog\\Other", nullptr, L"foreign");
  ASSERT_EQ(Run(script, Mode::Unregister), S_OK);
  EXPECT_FALSE(Exists(L"Prog\\CLSID"));
  EXPECT_EQ(String(L"Prog\\Other"), L"foreign");
}

TEST_F(Registrar, UnregisterOfMissingKeysSucceeds) {
  EXPECT_EQ(
      Run(LR"(Prog = s 'P' { CLSID = s 'G' } ForceRemove Cls { val V = s 'v' })", Mode::Unregister),
      S_OK);
}

TEST_F(Registrar, SyntaxErrorsWriteNothing) {
  const wchar_t* bad[] = {
      LR"(Good = s 'g' Bad = s 'unterminated)",  LR"(Good = s 'g' Bad = x 'unknown type')",
      LR"(Good = s 'g' Bad = s unquoted)",       LR"(Good = s 'g' Bad = s '%UNKNOWN%')",
      LR"(Good = s 'g' { Missing = s 'close')",  LR"(Good = s 'g' val)",
      LR"(Good = s 'g' { val V = d 'twelve' })",
  };
  for (const wchar_t* body : bad) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(body)));
    EXPECT_EQ(Run(body, Mode::Register), DISP_E_EXCEPTION);
    EXPECT_FALSE(Exists(L"Good"));
  }
  EXPECT_EQ(RunScript(L"HKXX { Key }", Mode::Register, kModule), DISP_E_EXCEPTION);
  EXPECT_EQ(RunScript(L"HKCU { Key", Mode::Register, kModule), DISP_E_EXCEPTION);
}

}  // namespace
