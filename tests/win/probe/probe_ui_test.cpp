// Drives LumoraProbe.exe with window messages and checks what its window
// shows. Runs in a prefix where Lumora.dll is registered and the simulated
// device rig serves the system device enumerator (run_ui_test.sh).
//
// usage: probe_ui_tests PROBE_EXE MARKER_FILE [gtest options]
// The tests share one probe process and run in the order written: each
// builds on the window state the previous one left. When the report is
// filled, the driver prints PROBE-SCREENSHOT-READY and waits (at most 30 s)
// for MARKER_FILE to appear, so that the script can photograph the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "probe/probe_ids.h"
#include "tests/report_labels.h"
#include "tests/win/ui_driver.h"

namespace {

std::wstring g_probePath;
std::wstring g_markerPath;

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// What a message to the probe led to: the message boxes it raised on the
// way (their texts), each answered with OK.
struct Outcome {
  bool finished = false;
  std::vector<std::wstring> messageBoxes;
};

class Probe {
 public:
  bool Start() {
    if (!program_.Start(g_probePath, LUMORA_PROBE_WINDOW_CLASS, LUMORA_PROBE_CAPTION)) return false;
    form_ = program_.Window();
    return true;
  }

  HWND Form() const { return form_; }
  HWND Item(int id) const { return GetDlgItem(form_, id); }
  HANDLE Process() const { return program_.Process(); }

  std::wstring Text(int id) const { return WindowText(Item(id)); }

  static std::wstring WindowText(HWND hwnd) { return lumora::test::WindowText(hwnd); }

  void SetText(int id, const wchar_t* text) {
    SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }

  std::vector<std::wstring> ListItems() const {
    std::vector<std::wstring> items;
    HWND list = Item(IDC_LIST1);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t buffer[1024] = {};
      const LRESULT n = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
      items.emplace_back(buffer, n < 0 ? 0 : n);
    }
    return items;
  }

  LONG_PTR ItemData(int index) const {
    return SendMessageW(Item(IDC_LIST1), LB_GETITEMDATA, index, 0);
  }

  // Sends a message (the probe's handler may sit in a message box
  // meanwhile) and answers every message box of the probe with OK until the
  // handler is done.
  Outcome Deliver(HWND target, UINT message, WPARAM wparam, LPARAM lparam) {
    Outcome outcome;
    outcome.finished = lumora::test::SendWhile(target, message, wparam, lparam, [&] {
      HWND box = FindWindowW(L"#32770", LUMORA_PROBE_ERROR_TITLE);
      if (!program_.Owns(box)) return;
      outcome.messageBoxes.push_back(WindowText(GetDlgItem(box, 0xFFFF)));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      // Wait for the box to go before looking again.
      for (int j = 0; j < 100 && IsWindow(box); ++j) Sleep(50);
    });
    return outcome;
  }

  Outcome Click(int id) { return Deliver(Item(id), BM_CLICK, 0, 0); }

  // Selects a list entry the way a click does: the selection moves and the
  // window hears LBN_SELCHANGE.
  Outcome Select(int index) {
    HWND list = Item(IDC_LIST1);
    SendMessageW(list, LB_SETCURSEL, index, 0);
    return Deliver(form_, WM_COMMAND, MAKEWPARAM(IDC_LIST1, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
  }

 private:
  lumora::test::UiProgram program_;
  HWND form_ = nullptr;
};

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t pos; (pos = text.find(L"\r\n", start)) != std::wstring::npos; start = pos + 2) {
    lines.push_back(text.substr(start, pos - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

int FindItem(const std::vector<std::wstring>& items, const std::wstring& prefix) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

void ExpectClean(const Outcome& outcome, const char* what) {
  EXPECT_TRUE(outcome.finished) << what << " did not finish";
  for (const auto& text : outcome.messageBoxes) {
    ADD_FAILURE() << what << " raised a message box: " << std::string(text.begin(), text.end());
  }
}

class ProbeUi : public lumora::test::SharedWindowTest<Probe> {
 protected:
  Probe& probe() { return Shared(); }
};

TEST_F(ProbeUi, WindowShowsItsControlsWithTheirTexts) {
  EXPECT_EQ(Probe::WindowText(probe().Form()), L"Form1");
  const struct {
    int id;
    const wchar_t* text;
  } controls[] = {
      {IDC_COMMAND1, L"Get the known cams"},
      {IDC_LABEL5_0, L"Click an entry to choose a camera"},
      {IDC_LABEL1, L"Selected Cam:"},
      {IDC_LABEL2, L"..."},
      {IDC_TEXT3, L"Text1"},
      {IDC_LABEL5_1, L"* indicates an non standard property of SAA chips"},
      {IDC_COMMAND4, L"Try all Properties"},
      {IDC_COMMAND2, L"Get some properties"},
      {IDC_LABEL3_0 + 0, L"Brightness"},
      {IDC_LABEL3_0 + 1, L"Gamma"},
      {IDC_LABEL3_0 + 2, L"Exposure"},
      {IDC_LABEL4_0 + 0, L"..."},
      {IDC_LABEL4_0 + 1, L"..."},
      {IDC_LABEL4_0 + 2, L"..."},
      {IDC_TEXT1_0 + 0, L"0"},
      {IDC_TEXT1_0 + 1, L"0"},
      {IDC_TEXT1_0 + 2, L"0"},
      {IDC_COMMAND3_0 + 0, L"Set"},
      {IDC_COMMAND3_0 + 1, L"Set"},
      {IDC_COMMAND3_0 + 2, L"Set"},
  };
  for (const auto& c : controls) {
    ASSERT_NE(probe().Item(c.id), nullptr) << "control " << c.id;
    EXPECT_TRUE(IsWindowVisible(probe().Item(c.id))) << "control " << c.id;
    EXPECT_EQ(probe().Text(c.id), c.text) << "control " << c.id;
  }
  EXPECT_EQ(SendMessageW(probe().Item(IDC_LIST1), LB_GETCOUNT, 0, 0), 0);

  // Client area 8265 x 8595 twips at the screen's DPI.
  HDC screen = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  RECT client = {};
  GetClientRect(probe().Form(), &client);
  EXPECT_EQ(client.right, MulDiv(8265, dpiX, 1440));
  EXPECT_EQ(client.bottom, MulDiv(8595, dpiY, 1440));
  // One control's place and size: List1 at 150, 825, 7815 x 1425 twips.
  RECT list = {};
  GetWindowRect(probe().Item(IDC_LIST1), &list);
  MapWindowPoints(nullptr, probe().Form(), reinterpret_cast<POINT*>(&list), 2);
  EXPECT_EQ(list.left, MulDiv(150, dpiX, 1440));
  EXPECT_EQ(list.top, MulDiv(825, dpiY, 1440));
  EXPECT_EQ(list.right - list.left, MulDiv(7815, dpiX, 1440));
  EXPECT_EQ(list.bottom - list.top, MulDiv(1425, dpiY, 1440));
}

TEST_F(ProbeUi, ButtonsBeforeASelectionDoNothingButTheReportSaysSo) {
  ExpectClean(probe().Click(IDC_COMMAND2), "Get some properties");
  ExpectClean(probe().Click(IDC_COMMAND3_0), "Set");
  EXPECT_EQ(probe().Text(IDC_LABEL4_0), L"...");
  ExpectClean(probe().Click(IDC_COMMAND4), "Try all Properties");
  EXPECT_EQ(probe().Text(IDC_TEXT3), L"No cam available or selected !!");
}

TEST_F(ProbeUi, ListingTwiceAppendsTheCamerasAgain) {
  ExpectClean(probe().Click(IDC_COMMAND1), "Get the known cams");
  const auto once = probe().ListItems();
  ASSERT_FALSE(once.empty());
  EXPECT_LE(once.size(), 10u) << "the simple API numbers at most 10 cameras";
  for (size_t i = 0; i < once.size(); ++i) {
    EXPECT_EQ(probe().ItemData(static_cast<int>(i)), static_cast<LONG_PTR>(i));
  }
  // The rig's devices, "name-serial".
  EXPECT_GE(FindItem(once, L"Philips SPC 900NC PC Camera-1f1f0d8"), 0);
  EXPECT_GE(FindItem(once, L"Philips Vesta Pro Camera-0"), 0);

  ExpectClean(probe().Click(IDC_COMMAND1), "Get the known cams again");
  const auto twice = probe().ListItems();
  ASSERT_EQ(twice.size(), 2 * once.size());
  for (size_t i = 0; i < once.size(); ++i) {
    EXPECT_EQ(twice[i], once[i]);
    EXPECT_EQ(twice[once.size() + i], once[i]);
    EXPECT_EQ(probe().ItemData(static_cast<int>(once.size() + i)), static_cast<LONG_PTR>(i));
  }
}

TEST_F(ProbeUi, SelectingAnEntryShowsItAndSomePropertiesReadBack) {
  const auto items = probe().ListItems();
  const int spc = FindItem(items, L"Philips SPC 900NC PC Camera-");
  ASSERT_GE(spc, 0);
  // The second listing's entry selects the same camera.
  const int again = spc + static_cast<int>(items.size() / 2);
  ExpectClean(probe().Select(again), "selecting a camera");
  EXPECT_EQ(probe().Text(IDC_LABEL2), items[again]);

  ExpectClean(probe().Click(IDC_COMMAND2), "Get some properties");
  for (int row = 0; row < 3; ++row) {
    const std::wstring range = probe().Text(IDC_LABEL4_0 + row);
    EXPECT_NE(range, L"...") << "row " << row;
    if (range != L"not supported") {
      EXPECT_NE(range.find(L" .. "), std::wstring::npos) << "row " << row;
      EXPECT_NE(range.find(L" / "), std::wstring::npos) << "row " << row;
    }
  }
}

// "Set" then "Get some properties": the entry box shows what the camera took.
TEST_F(ProbeUi, SetWritesTheRoundedLeadingNumber) {
  const std::wstring range = probe().Text(IDC_LABEL4_0);
  ASSERT_NE(range.find(L" .. "), std::wstring::npos)
      << "brightness has no range: " << std::string(range.begin(), range.end());
  const long min = std::wcstol(range.c_str(), nullptr, 10);
  const long max = std::wcstol(range.c_str() + range.find(L" .. ") + 4, nullptr, 10);
  ASSERT_LE(min, 0);
  ASSERT_GE(max, 14);

  const struct {
    const wchar_t* text;
    const wchar_t* written;
  } cases[] = {
      {L"12.5", L"12"}, {L"13.5", L"14"}, {L"abc", L"0"}, {L"7.49 lux", L"7"}, {L"1e1", L"10"},
  };
  for (const auto& c : cases) {
    probe().SetText(IDC_TEXT1_0, c.text);
    ExpectClean(probe().Click(IDC_COMMAND3_0), "Set");
    ExpectClean(probe().Click(IDC_COMMAND2), "Get some properties");
    EXPECT_EQ(probe().Text(IDC_TEXT1_0), c.written)
        << "after Set with " << std::string(c.text, c.text + wcslen(c.text));
  }
}

TEST_F(ProbeUi, SetOutsideThe32BitRangeReportsAnOverflowAndGoesOn) {
  probe().SetText(IDC_TEXT1_0, L"5");
  ExpectClean(probe().Click(IDC_COMMAND3_0), "Set");
  probe().SetText(IDC_TEXT1_0, L"3000000000");
  const Outcome outcome = probe().Click(IDC_COMMAND3_0);
  EXPECT_TRUE(outcome.finished);
  ASSERT_EQ(outcome.messageBoxes.size(), 1u);
  EXPECT_NE(outcome.messageBoxes[0].find(L"0x8002000A"), std::wstring::npos)
      << std::string(outcome.messageBoxes[0].begin(), outcome.messageBoxes[0].end());
  // The camera kept its value and the window still answers.
  ExpectClean(probe().Click(IDC_COMMAND2), "Get some properties");
  EXPECT_EQ(probe().Text(IDC_TEXT1_0), L"5");
}

TEST_F(ProbeUi, ReportListsEveryPropertyOfTheSelectedCamera) {
  ExpectClean(probe().Click(IDC_COMMAND4), "Try all Properties");
  const std::wstring text = probe().Text(IDC_TEXT3);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 33u) << std::string(text.begin(), text.end());
  EXPECT_EQ(lines[0], L"Chipset is SAA8116");
  int readable = 0, beyond25 = 0;
  for (int i = 0; i < 32; ++i) {
    const std::wstring& line = lines[i + 1];
    const std::wstring name = Widen(lumora::test::kReportLabels[i]);
    ASSERT_EQ(line.substr(0, 18), name) << "line " << i;
    const std::wstring support = line.substr(18, 14);
    const std::wstring rest = line.substr(std::min<size_t>(line.size(), 32));
    if (support == L" not supported" || support == L" write only   ") {
      EXPECT_EQ(line.size(), 32u) << "line " << i << " ends after its support text";
      continue;
    }
    ASSERT_TRUE(support == L" read only    " || support == L" read write   ") << "line " << i;
    ++readable;
    if (i >= 26) {
      // The simple API passes no range or value request beyond 25.
      EXPECT_EQ(rest, L"Range not supp.\tValue is not supp.") << "line " << i;
      ++beyond25;
      continue;
    }
    EXPECT_EQ(rest.rfind(L"Range ", 0), 0u) << "line " << i;
    EXPECT_NE(rest.find(L"\tValue is "), std::wstring::npos) << "line " << i;
  }
  EXPECT_GT(readable, 0);
  // Brightness was last set to 5.
  EXPECT_NE(lines[1].find(L"\tValue is 5"), std::wstring::npos);

  // Hold the window still while the script photographs it.
  std::printf("PROBE-SCREENSHOT-READY\n");
  std::fflush(stdout);
  for (int i = 0; i < 300; ++i) {
    if (GetFileAttributesW(g_markerPath.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
}

TEST_F(ProbeUi, AnotherCameraReportsItsOwnChipset) {
  const auto items = probe().ListItems();
  const int plain = FindItem(items, L"USB Video Device-");
  if (plain < 0) GTEST_SKIP() << "no plain camera among the first ten devices";
  ExpectClean(probe().Select(plain), "selecting a camera");
  ExpectClean(probe().Click(IDC_COMMAND4), "Try all Properties");
  const auto lines = Lines(probe().Text(IDC_TEXT3));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], L"Chipset is unknown");
  EXPECT_EQ(lines.size(), 33u);
}

TEST_F(ProbeUi, ClosingTheWindowEndsTheProgram) {
  PostMessageW(probe().Form(), WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(probe().Process(), 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(probe().Process(), &code);
  EXPECT_EQ(code, 0u);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: probe_ui_tests PROBE_EXE MARKER_FILE\n");
    return 2;
  }
  g_probePath = argv[1];
  g_markerPath = argv[2];
  return RUN_ALL_TESTS();
}
