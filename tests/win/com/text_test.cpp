// com/text.h and the owners of com/raii.h: conversions at the Windows edge
// (UTF-8, the ANSI code page) and the owner of system-allocated blocks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "com/guard.h"
#include "com/raii.h"
#include "com/text.h"

namespace lumora::com {
namespace {

TEST(Utf8Text, RoundTripsEveryPlaneAndKeepsEmbeddedNuls) {
  // "Kamera für Büro – 日本 😀" and a NUL inside.
  const std::string utf8 =
      "Kamera f\xC3\xBCr B\xC3\xBCro \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
  std::wstring wide = WidenUtf8(utf8);
  ASSERT_EQ(wide.size(), 23u);
  EXPECT_EQ(wide.substr(0, 8), L"Kamera f");
  EXPECT_EQ(wide[8], L'\u00FC');
  EXPECT_EQ(wide[12], L'\u00FC');
  EXPECT_EQ(wide[16], L'\u2013');
  EXPECT_EQ(wide[18], L'\u65E5');
  EXPECT_EQ(wide[21], static_cast<wchar_t>(0xD83D)) << "a surrogate pair";
  EXPECT_EQ(wide[22], static_cast<wchar_t>(0xDE00));
  EXPECT_EQ(NarrowToUtf8(wide), utf8);

  const std::string withNul("a\0b", 3);
  EXPECT_EQ(WidenUtf8(withNul), std::wstring(L"a\0b", 3));
  EXPECT_EQ(NarrowToUtf8(std::wstring(L"a\0b", 3)), withNul);
  EXPECT_EQ(WidenUtf8(""), L"");
  EXPECT_EQ(NarrowToUtf8(L""), "");
}

TEST(Utf8Text, BstrFromUtf8IsTheWholeTextInOneString) {
  Bstr text = BstrFromUtf8("B\xC3\xBCro \xF0\x9F\x98\x80");
  ASSERT_NE(text.Get(), nullptr);
  EXPECT_EQ(text.Length(), 7u) << "the length counts UTF-16 units";
  EXPECT_EQ(std::wstring(text.Get(), text.Length()), WidenUtf8("B\xC3\xBCro \xF0\x9F\x98\x80"));
  Bstr withNul = BstrFromUtf8(std::string_view("a\0b", 3));
  ASSERT_NE(withNul.Get(), nullptr);
  EXPECT_EQ(withNul.Length(), 3u);
  Bstr empty = BstrFromUtf8("");
  ASSERT_NE(empty.Get(), nullptr) << "an empty string, not a null one";
  EXPECT_EQ(empty.Length(), 0u);
}

TEST(Utf8Text, InvalidInputBecomesReplacementCharacters) {
  std::wstring wide = WidenUtf8("ok\xFF");
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_EQ(wide.substr(0, 2), L"ok");
  EXPECT_EQ(wide[2], static_cast<wchar_t>(0xFFFD));
  // A lone surrogate has no UTF-8 form.
  std::string narrow = NarrowToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x");
  EXPECT_EQ(narrow, "\xEF\xBF\xBDx");
}

TEST(AnsiText, NullAndEmptyGiveEmptyStrings) {
  for (const wchar_t* text : {static_cast<const wchar_t*>(nullptr), L""}) {
    char* narrow = NarrowAnsi(text);
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow, "");
    free(narrow);
  }
  for (const char* text : {static_cast<const char*>(nullptr), ""}) {
    Bstr wide(L"old");
    ASSERT_EQ(WidenAnsi(text, &wide), S_OK);
    ASSERT_NE(wide.Get(), nullptr) << "an empty string, not a null one";
    EXPECT_EQ(wide.Length(), 0u);
  }
}

TEST(AnsiText, RoundTripsWhatTheCodePageSpells) {
  const wchar_t* name = L"Caf\u00E9 Cam 2";
  char* narrow = NarrowAnsi(name);
  ASSERT_NE(narrow, nullptr);
  Bstr wide;
  ASSERT_EQ(WidenAnsi(narrow, &wide), S_OK);
  BOOL lossy = FALSE;
  char probe[32];
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, probe, sizeof probe, nullptr, &lossy);
  if (!lossy) {
    EXPECT_STREQ(wide.Get(), name);
  } else {
    EXPECT_EQ(wide.Length(), wcslen(name)) << "one character per character even when replaced";
  }
  EXPECT_EQ(std::string(narrow).substr(0, 3), "Caf");
  free(narrow);
}

// Free calls of a test block type, counted.
int g_freed = 0;
void CountFree(void* block) {
  ++g_freed;
  delete static_cast<int*>(block);
}
using Block = Owner<int, CountFree>;

TEST(Owner, FreesEachValueExactlyOnce) {
  g_freed = 0;
  {
    Block first;
    *first.Receive() = new int(1);
    *first.Receive() = new int(2);
    EXPECT_EQ(g_freed, 1) << "Receive frees what the owner held";
    Block second(std::move(first));
    EXPECT_EQ(first.Get(), nullptr);
    ASSERT_NE(second.Get(), nullptr);
    EXPECT_EQ(*second.Get(), 2);
    Block third;
    third.Reset(new int(3));
    third = std::move(second);
    EXPECT_EQ(g_freed, 2) << "assignment frees the target's block";
    EXPECT_EQ(*third.Get(), 2);
    Block fourth(new int(4));
    int* handedOn = fourth.Detach();
    EXPECT_EQ(fourth.Get(), nullptr) << "Detach hands the value on without freeing it";
    delete handedOn;
  }
  EXPECT_EQ(g_freed, 3);
}

TEST(Owner, LocalMemTakesFormatMessagesBuffer) {
  LocalMem<wchar_t> text;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<wchar_t*>(text.Receive()), 0, nullptr);
  ASSERT_GT(length, 0u);
  ASSERT_NE(text.Get(), nullptr);
  EXPECT_EQ(wcslen(text.Get()), length);
}

TEST(Guard, TurnsExceptionsIntoResults) {
  EXPECT_EQ(Guard([] { return S_FALSE; }), S_FALSE);
  EXPECT_EQ(Guard([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(Guard([]() -> HRESULT { throw 42; }), E_FAIL);
  EXPECT_EQ(Guard([] { return static_cast<int32_t>(E_ACCESSDENIED); }), E_ACCESSDENIED);
}

}  // namespace
}  // namespace lumora::com
