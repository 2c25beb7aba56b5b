// Drives LumoraSettings.exe the way a person does (keys, clicks, typed
// numbers, the file dialogs) and checks the outcome where it lands: in the
// simulated camera (the rig's state file, LUMORA_SIM_STATE), in the lumora
// tool's report of the same camera, in the saved file and in the start-up
// entry. Runs in a prefix where Lumora.dll is registered and the rig serves
// the system device enumerator (tests/win/probe/run_ui_test.sh, which also
// plugs and unplugs cameras on request).
//
// usage: settings_ui_tests SETTINGS_EXE MARKER_FILE [gtest options]
// The tests share one settings process and run in the order written.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings_ids.h"
#include "tests/win/ui_driver.h"

namespace {

std::wstring g_exe;
std::wstring g_marker;
int g_requests = 0;

constexpr const char* kCamera = "2a4c6e8";  // Philips ToUcam Pro Camera
constexpr int kBrightness = 0, kHue = 2;    // proc-amp ids on the rig

std::string Narrow(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}
std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A whole file (the stream is closed again at once: the program replaces and
// deletes these files).
std::string FileText(const std::wstring& path) {
  std::ifstream in(Narrow(path));
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

bool WaitFor(const std::function<bool()>& done, int ms = 8000) {
  for (int waited = 0; waited < ms; waited += 100) {
    if (done()) return true;
    Sleep(100);
  }
  return done();
}

// What the rig holds for a proc-amp control of a device: value and flags
// (1 automatic, 2 manual); false when the state file does not say.
bool RigControl(const char* device, int id, long* value, long* flags = nullptr) {
  const char* path = std::getenv("LUMORA_SIM_STATE");
  if (path == nullptr) return false;
  std::ifstream in(path);
  std::string line;
  bool inDevice = false;
  while (std::getline(in, line)) {
    if (line.rfind("device ", 0) == 0) inDevice = line.find(device) != std::string::npos;
    if (!inDevice || line.rfind("procamp ", 0) != 0) continue;
    std::istringstream words(line.substr(8));
    long i = -1, v = 0, f = 0;
    if (words >> i >> v >> f && i == id) {
      *value = v;
      if (flags != nullptr) *flags = f;
      return true;
    }
  }
  return false;
}

// Runs lumora.exe (beside the settings program) and answers its output.
std::string Lumora(const std::wstring& args, DWORD* exitCode = nullptr) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &sa, 0)) return "";
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = write;
  PROCESS_INFORMATION pi = {};
  const std::wstring exe = Folder(g_exe) + L"\\lumora.exe";
  std::wstring command = L"\"" + exe + L"\" " + args;
  std::string out;
  if (CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                     nullptr, &si, &pi)) {
    CloseHandle(write);
    write = nullptr;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    if (exitCode != nullptr) *exitCode = code;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  if (write != nullptr) CloseHandle(write);
  CloseHandle(read);
  return out;
}

// The lumora tool's report line of a property of the camera.
std::string ReportLine(const char* camera, const char* name) {
  std::istringstream report(Lumora(L"report " + Widen(camera)));
  std::string line;
  while (std::getline(report, line)) {
    if (line.rfind(name, 0) == 0 && line.size() > std::strlen(name) &&
        line[std::strlen(name)] == ' ') {
      return line;
    }
  }
  return "";
}

// Asks the test script to plug or unplug a device and waits until it did.
bool Rig(const char* what, const char* device) {
  const int n = ++g_requests;
  std::printf("RIG-REQUEST %d %s %s\n", n, what, device);
  std::fflush(stdout);
  const std::wstring done = g_marker + L"." + std::to_wstring(n);
  return WaitFor([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                 30000);
}

std::wstring Text(HWND hwnd) { return lumora::test::WindowText(hwnd); }

class Settings {
 public:
  bool Start() {
    if (!program_.Start(g_exe, LUMORA_SETTINGS_WINDOW_CLASS, LUMORA_SETTINGS_CAPTION)) return false;
    form_ = program_.Window();
    return true;
  }

  HWND Form() const { return form_; }
  HANDLE Process() const { return program_.Process(); }
  HWND Item(int id) const { return GetDlgItem(form_, id); }
  HWND Panel() const { return Item(IDC_PANEL); }
  std::wstring Status() const { return Text(Item(IDC_STATUS)); }

  // The row whose name is `name` (-1: none).
  int Row(const wchar_t* name) const {
    for (int row = 0; row < 200; ++row) {
      HWND label = GetDlgItem(Panel(), IDC_ROW(row, ROW_NAME));
      if (label == nullptr) return -1;
      if (Text(label) == name) return row;
    }
    return -1;
  }
  HWND Part(int row, int part) const { return GetDlgItem(Panel(), IDC_ROW(row, part)); }

  // Sends the message; a file dialog that opens meanwhile gets `path` typed
  // in and is accepted. False when the call does not finish.
  bool Deliver(HWND target, UINT message, WPARAM wparam, LPARAM lparam,
               const wchar_t* dialogTitle = nullptr, const std::wstring& path = L"") {
    bool answered = dialogTitle == nullptr;
    return lumora::test::SendWhile(target, message, wparam, lparam, [&] {
      if (answered) return;
      HWND box = FindWindowW(L"#32770", dialogTitle);
      if (!program_.Owns(box)) return;
      Sleep(300);  // let the dialog fill itself first
      // The file name box: a combo box (cmb13) or an edit (edt1).
      HWND name = GetDlgItem(box, 0x47C);
      if (name == nullptr) name = GetDlgItem(box, 0x480);
      SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      answered = true;
    });
  }
  bool Click(HWND button, const wchar_t* dialogTitle = nullptr, const std::wstring& path = L"") {
    return Deliver(button, BM_CLICK, 0, 0, dialogTitle, path);
  }
  // Chooses a camera the way a person does in the drop-down.
  bool ChooseCamera(const std::wstring& containing) {
    HWND combo = Item(IDC_CAMERA);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t text[1024] = {};
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      if (std::wstring(text).find(containing) == std::wstring::npos) continue;
      SendMessageW(combo, CB_SETCURSEL, i, 0);
      return Deliver(form_, WM_COMMAND, MAKEWPARAM(IDC_CAMERA, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
    return false;
  }
  // A key press the window's thread takes from its queue.
  void Key(HWND hwnd, WPARAM key) {
    PostMessageW(hwnd, WM_KEYDOWN, key, 1);
    PostMessageW(hwnd, WM_KEYUP, key, 0xC0000001);
  }
  // Types a number into a row's box and presses Enter.
  void Type(int row, const wchar_t* text) {
    HWND box = Part(row, ROW_NUMBER);
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    Key(box, VK_RETURN);
  }
  long Shown(int row) const { return std::wcstol(Text(Part(row, ROW_NUMBER)).c_str(), nullptr, 10); }

 private:
  lumora::test::UiProgram program_;
  HWND form_ = nullptr;
};

class SettingsUi : public lumora::test::SharedWindowTest<Settings> {
 protected:
  Settings& ui() { return Shared(); }
};

TEST_F(SettingsUi, ListsTheCamerasAndShowsTheChosenOnesControls) {
  HWND combo = ui().Item(IDC_CAMERA);
  ASSERT_GE(SendMessageW(combo, CB_GETCOUNT, 0, 0), 10);
  ASSERT_TRUE(ui().ChooseCamera(L"(serial 2a4c6e8, device)"));
  EXPECT_NE(Text(combo).find(L"Philips ToUcam Pro Camera"), std::wstring::npos);
  EXPECT_NE(ui().Status().find(L"Philips ToUcam Pro Camera"), std::wstring::npos)
      << Narrow(ui().Status());
  const int brightness = ui().Row(L"Brightness");
  ASSERT_GE(brightness, 0);
  EXPECT_NE(ui().Part(brightness, ROW_SLIDER), nullptr);
  EXPECT_NE(ui().Part(brightness, ROW_AUTO), nullptr) << "the rig's brightness has modes";
  // Shown as the camera reports it.
  const std::string line = ReportLine(kCamera, "Brightness");
  EXPECT_NE(line.find("Value is " + std::to_string(ui().Shown(brightness))), std::string::npos)
      << line;
  // What the camera cannot set is not offered; the rig's filters have no
  // property pages of their own.
  EXPECT_LT(ui().Row(L"ActualFrameRate"), 0);
  EXPECT_FALSE(IsWindowEnabled(ui().Item(IDC_DRIVER)));
}

TEST_F(SettingsUi, ASliderAndATypedNumberReachTheCamera) {
  const int row = ui().Row(L"Brightness");
  ASSERT_GE(row, 0);
  ui().Type(row, L"100");
  long value = 0, flags = 0;
  ASSERT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value) && value == 100; }))
      << "the camera holds " << value;
  // One step to the right with the keyboard.
  HWND slider = ui().Part(row, ROW_SLIDER);
  ui().Key(slider, VK_RIGHT);
  EXPECT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value, &flags) && value > 100; }))
      << "the camera holds " << value;
  EXPECT_EQ(flags, 2) << "a manual value";
  EXPECT_TRUE(WaitFor([&] { return ui().Shown(row) == value; }));
  // Home: the minimum of the range the camera reports.
  ui().Key(slider, VK_HOME);
  const std::string line = ReportLine(kCamera, "Brightness");
  const size_t range = line.find("Range ");
  ASSERT_NE(range, std::string::npos) << line;
  const long min = std::strtol(line.c_str() + range + 6, nullptr, 10);
  EXPECT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value) && value == min; }))
      << "the camera holds " << value << ", its minimum is " << min;
}

TEST_F(SettingsUi, AutoHandsTheControlToTheCameraAndBack) {
  const int row = ui().Row(L"Brightness");
  ASSERT_GE(row, 0);
  HWND autoBox = ui().Part(row, ROW_AUTO);
  ASSERT_TRUE(ui().Click(autoBox));
  long value = 0, flags = 0;
  EXPECT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value, &flags) && flags == 1; }));
  EXPECT_FALSE(IsWindowEnabled(ui().Part(row, ROW_SLIDER)));
  EXPECT_FALSE(IsWindowEnabled(ui().Part(row, ROW_NUMBER)));
  // The rig's automatic control moves by itself on every read: the window,
  // polling, shows the new values.
  const long first = ui().Shown(row);
  EXPECT_TRUE(WaitFor([&] { return ui().Shown(row) != first; }, 5000));

  ASSERT_TRUE(ui().Click(autoBox));
  EXPECT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value, &flags) && flags == 2; }));
  EXPECT_TRUE(IsWindowEnabled(ui().Part(row, ROW_SLIDER)));
}

// Minimised, the window stops reading the camera: an automatic control (which
// moves on every read) stands still until the window comes back.
TEST_F(SettingsUi, PollingRestsWhileMinimised) {
  const int row = ui().Row(L"Brightness");
  ASSERT_GE(row, 0);
  ASSERT_TRUE(ui().Click(ui().Part(row, ROW_AUTO)));
  ShowWindow(ui().Form(), SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(ui().Form()) != FALSE; }));
  Sleep(1500);
  long before = 0, after = 0;
  ASSERT_TRUE(RigControl(kCamera, kBrightness, &before));
  Sleep(2500);
  ASSERT_TRUE(RigControl(kCamera, kBrightness, &after));
  EXPECT_EQ(after, before) << "the camera was read while the window was minimised";
  ShowWindow(ui().Form(), SW_RESTORE);
  EXPECT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &after) && after != before; }));
  ASSERT_TRUE(ui().Click(ui().Part(row, ROW_AUTO)));
}

// Reset: what "lumora reset" does, one control or all: automatic where the
// control has modes, else the default the camera reports.
TEST_F(SettingsUi, ResetOneAndAllGiveTheCamerasDefaults) {
  const int hue = ui().Row(L"Hue");
  ASSERT_GE(hue, 0);
  const std::string before = ReportLine(kCamera, "Hue");
  const size_t at = before.find("Default ");
  ASSERT_NE(at, std::string::npos) << before;
  const long def = std::strtol(before.c_str() + at + 8, nullptr, 10);
  const long other = def == 3 ? 4 : 3;
  ui().Type(hue, std::to_wstring(other).c_str());
  long value = 0;
  ASSERT_TRUE(WaitFor([&] { return RigControl(kCamera, kHue, &value) && value == other; }));
  ASSERT_TRUE(ui().Click(ui().Part(hue, ROW_RESET)));
  EXPECT_TRUE(WaitFor([&] { return RigControl(kCamera, kHue, &value) && value == def; }))
      << "the camera holds " << value << ", its default is " << def;

  const int brightness = ui().Row(L"Brightness");
  ui().Type(hue, std::to_wstring(other).c_str());
  ui().Type(brightness, L"77");
  ASSERT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value) && value == 77; }));
  ASSERT_TRUE(ui().Click(ui().Item(IDC_RESET_ALL)));
  EXPECT_NE(ui().Status().find(L"Reset "), std::wstring::npos) << Narrow(ui().Status());
  long flags = 0;
  EXPECT_TRUE(RigControl(kCamera, kHue, &value) && value == def);
  EXPECT_TRUE(RigControl(kCamera, kBrightness, &value, &flags) && flags == 1);
  // Every control the tool's report shows in automatic mode is so; every
  // other one with a default holds it.
  std::istringstream report(Lumora(L"report " + Widen(kCamera)));
  std::string line;
  int checked = 0;
  while (std::getline(report, line)) {
    const size_t d = line.find("\tDefault ");
    if (line.find("read write") == std::string::npos || line.find("\tMode auto") != line.npos ||
        d == std::string::npos) {
      continue;
    }
    const long expected = std::strtol(line.c_str() + d + 9, nullptr, 10);
    EXPECT_NE(line.find("Value is " + std::to_string(expected) + "\t"), std::string::npos) << line;
    ++checked;
  }
  EXPECT_GT(checked, 3);
}

TEST_F(SettingsUi, SavedProfileLoadsBackWithItsOutcomeShown) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"settings-ui.profile";
  DeleteFileW(path.c_str());
  const int brightness = ui().Row(L"Brightness");
  // Automatic since "Reset all": manual first, then a value.
  ASSERT_EQ(SendMessageW(ui().Part(brightness, ROW_AUTO), BM_GETCHECK, 0, 0), BST_CHECKED);
  ASSERT_TRUE(ui().Click(ui().Part(brightness, ROW_AUTO)));
  ui().Type(brightness, L"33");
  long value = 0, flags = 0;
  ASSERT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value) && value == 33; }));

  ASSERT_TRUE(ui().Click(ui().Item(IDC_SAVE), LUMORA_SETTINGS_SAVE_TITLE, path));
  const std::string saved = FileText(path);
  EXPECT_NE(saved.find("lumora-profile 1"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Serial = 2a4c6e8"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Brightness = 33"), std::string::npos) << saved;
  EXPECT_NE(ui().Status().find(L"Saved "), std::wstring::npos) << Narrow(ui().Status());

  ui().Type(brightness, L"44");
  ASSERT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value) && value == 44; }));
  ASSERT_TRUE(ui().Click(ui().Item(IDC_OPEN), LUMORA_SETTINGS_OPEN_TITLE, path));
  EXPECT_TRUE(RigControl(kCamera, kBrightness, &value, &flags) && value == 33 && flags == 2)
      << value;
  EXPECT_TRUE(WaitFor([&] { return ui().Shown(brightness) == 33; }));
  // One outcome line per entry, as "lumora load" prints them.
  HWND list = ui().Item(IDC_OUTCOME);
  bool brightnessApplied = false;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  EXPECT_GT(count, 3);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    brightnessApplied |= std::wstring(text) == L"applied  Brightness = 33";
  }
  EXPECT_TRUE(brightnessApplied);
  EXPECT_NE(ui().Status().find(L" applied"), std::wstring::npos) << Narrow(ui().Status());

  // The window, filled, for the README's picture.
  std::printf("SETTINGS-SCREENSHOT-READY\n");
  std::fflush(stdout);
  WaitFor([&] { return GetFileAttributesW(g_marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

// "Keep these settings": the watch's start-up entry, with the guard, over the
// camera's kept profile; off again, the entry goes.
TEST_F(SettingsUi, KeepingTheSettingsInstallsTheGuardingWatch) {
  HWND keep = ui().Item(IDC_KEEP);
  ASSERT_EQ(SendMessageW(keep, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ASSERT_TRUE(ui().Click(keep));
  wchar_t entry[4096] = {};
  DWORD size = sizeof entry - sizeof(wchar_t);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                         L"Lumora watch", RRF_RT_REG_SZ, nullptr, entry, &size),
            ERROR_SUCCESS)
      << Narrow(ui().Status());
  const std::wstring command = entry;
  EXPECT_NE(command.find(L"lumora.exe\" watch --guard"), std::wstring::npos) << Narrow(command);
  const size_t start = command.find(L"\"", command.find(L"--guard"));
  const size_t end = command.find(L"\"", start + 1);
  ASSERT_NE(end, std::wstring::npos) << Narrow(command);
  const std::wstring profile = command.substr(start + 1, end - start - 1);
  EXPECT_NE(profile.find(L"2a4c6e8"), std::wstring::npos) << Narrow(profile);
  const std::string kept = FileText(profile);
  EXPECT_NE(kept.find("Brightness = 33"), std::string::npos) << kept;
  // A change made here is what is kept.
  ui().Type(ui().Row(L"Brightness"), L"35");
  EXPECT_TRUE(WaitFor([&] { return FileText(profile).find("Brightness = 35") != std::string::npos; }))
      << Narrow(ui().Status());

  ASSERT_TRUE(ui().Click(keep));
  EXPECT_EQ(SendMessageW(keep, BM_GETCHECK, 0, 0), BST_UNCHECKED) << Narrow(ui().Status());
  size = sizeof entry - sizeof(wchar_t);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                         L"Lumora watch", RRF_RT_REG_SZ, nullptr, entry, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(profile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsUi, AnUnpluggedCameraGreysItsRowsAndComesBack) {
  const int row = ui().Row(L"Brightness");
  ASSERT_GE(row, 0);
  ASSERT_TRUE(Rig("unplug", kCamera));
  // The window greys the rows one part at a time, then says why: once it
  // has said so, every part is grey.
  EXPECT_TRUE(WaitFor([&] { return ui().Status().find(L"unplugged") != std::wstring::npos; }))
      << Narrow(ui().Status());
  EXPECT_FALSE(IsWindowEnabled(ui().Part(row, ROW_RESET)));
  EXPECT_FALSE(IsWindowEnabled(ui().Part(row, ROW_SLIDER)));
  ASSERT_TRUE(Rig("plug", kCamera));
  EXPECT_TRUE(WaitFor([&] { return ui().Status().find(L"is back") != std::wstring::npos; }))
      << Narrow(ui().Status());
  EXPECT_TRUE(IsWindowEnabled(ui().Part(row, ROW_SLIDER)));
  // It works again.
  ui().Type(row, L"21");
  long value = 0;
  EXPECT_TRUE(WaitFor([&] { return RigControl(kCamera, kBrightness, &value) && value == 21; }));
}

TEST_F(SettingsUi, AFailedWriteIsNamedInTheStatusLine) {
  ASSERT_TRUE(ui().ChooseCamera(L"USB Video Device"));
  const int row = ui().Row(L"Brightness");
  ASSERT_GE(row, 0);
  const long shown = ui().Shown(row);
  ui().Type(row, std::to_wstring(shown == 20 ? 21 : 20).c_str());
  EXPECT_TRUE(WaitFor([&] { return ui().Status().find(L"Brightness") != std::wstring::npos; }));
  const std::wstring status = ui().Status();
  EXPECT_NE(status.find(L"Brightness: cannot set"), std::wstring::npos) << Narrow(status);
  EXPECT_NE(status.find(L"0x8007001F"), std::wstring::npos) << Narrow(status);
  // Not taken for an unplugged camera, and the box shows what it holds.
  EXPECT_TRUE(IsWindowEnabled(ui().Part(row, ROW_SLIDER)));
  EXPECT_EQ(ui().Shown(row), shown);
}

// Closed with a kept camera, the window hands it to the watch.
TEST_F(SettingsUi, ClosingHandsKeptCamerasToTheWatch) {
  ASSERT_TRUE(ui().ChooseCamera(L"(serial 2a4c6e8, device)"));
  ASSERT_TRUE(ui().Click(ui().Item(IDC_KEEP)));
  PostMessageW(ui().Form(), WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(ui().Process(), 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(ui().Process(), &code);
  EXPECT_EQ(code, 0u);
  // "lumora watch --stop" finds the watch running and stops it.
  DWORD stopped = 1;
  std::string said;
  WaitFor([&] {
    said = Lumora(L"watch --stop", &stopped);
    return stopped == 0;
  }, 15000);
  EXPECT_EQ(stopped, 0u) << said;
  Lumora(L"watch --uninstall");
}

// Started again, the window chooses the camera used last (the ToUcam), not
// the first of the list; the camera it kept is still kept.
TEST(SettingsRestart, TheLastCameraIsChosenAgain) {
  Settings ui;
  ASSERT_TRUE(ui.Start());
  HWND combo = ui.Item(IDC_CAMERA);
  EXPECT_NE(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_NE(Text(combo).find(L"(serial 2a4c6e8, device)"), std::wstring::npos)
      << Narrow(Text(combo));
  HWND keep = ui.Item(IDC_KEEP);
  EXPECT_EQ(SendMessageW(keep, BM_GETCHECK, 0, 0), BST_CHECKED);
  // Kept no longer: nothing is left to watch when the window closes.
  ASSERT_TRUE(ui.Click(keep));
  PostMessageW(ui.Form(), WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(ui.Process(), 30000), WAIT_OBJECT_0);
}

// The xu lines ("xu UNIT SELECTOR HEX") the rig's state holds for a device.
std::vector<std::string> RigXuLines(const char* device) {
  std::vector<std::string> lines;
  std::istringstream in(FileText(Widen(std::getenv("LUMORA_SIM_STATE"))));
  std::string line;
  bool inDevice = false;
  while (std::getline(in, line)) {
    if (line.rfind("device ", 0) == 0) inDevice = line.find(device) != std::string::npos;
    if (inDevice && line.rfind("xu ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

// The rig's cameras with extension units (preset "xu", a state file of their
// own): named controls form a group of their own, a menu is a drop-down,
// and a choice reaches the camera's control.
TEST(SettingsXu, NamedExtensionUnitControlsAreAGroupOfTheirOwn) {
  const char* brio = "6a1b2c3";  // Logitech BRIO
  const std::string state = std::string(std::getenv("LUMORA_SIM_STATE")) + ".xu";
  DeleteFileW(Widen(state).c_str());
  SetEnvironmentVariableW(L"LUMORA_SIM_DEVICES", L"xu");
  SetEnvironmentVariableW(L"LUMORA_SIM_STATE", Widen(state).c_str());
  _putenv_s("LUMORA_SIM_STATE", state.c_str());
  Settings ui;
  ASSERT_TRUE(ui.Start());
  ASSERT_TRUE(ui.ChooseCamera(L"(serial 6a1b2c3, device)"));
  bool group = false;
  for (int i = 0; i < 8; ++i) {
    HWND caption = GetDlgItem(ui.Panel(), IDC_GROUP_CAPTION + i);
    if (caption != nullptr && Text(caption) == L"Extension units") group = true;
  }
  EXPECT_TRUE(group);
  const int row = ui.Row(L"Field of View");
  ASSERT_GE(row, 0);
  HWND menu = ui.Part(row, ROW_MENU);
  ASSERT_NE(menu, nullptr) << "a menu shows as a drop-down";
  ASSERT_EQ(SendMessageW(menu, CB_GETCOUNT, 0, 0), 3);
  wchar_t label[64] = {};
  SendMessageW(menu, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(label));
  EXPECT_STREQ(label, L"65");
  // Make sure the state file holds the cameras (a first write saves it).
  const std::vector<std::string> before = RigXuLines(brio);
  const LRESULT current = SendMessageW(menu, CB_GETCURSEL, 0, 0);
  const LRESULT other = current == 2 ? 1 : 2;
  SendMessageW(menu, CB_SETCURSEL, other, 0);
  ASSERT_TRUE(ui.Deliver(ui.Panel(), WM_COMMAND, MAKEWPARAM(IDC_ROW(row, ROW_MENU), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(menu)));
  EXPECT_NE(ui.Status().find(L"Field of View"), std::wstring::npos) << Narrow(ui.Status());
  std::vector<std::string> after;
  EXPECT_TRUE(WaitFor([&] {
    after = RigXuLines(brio);
    return !after.empty() && after != before;
  }));
  // Exactly one control changed: selector 5, to the chosen menu value.
  int changed = 0;
  for (const std::string& line : after) {
    if (std::find(before.begin(), before.end(), line) != before.end()) continue;
    ++changed;
    std::istringstream words(line.substr(3));
    int unit = 0, selector = 0;
    std::string hex;
    words >> unit >> selector >> hex;
    EXPECT_EQ(selector, 5) << line;
    EXPECT_EQ(hex, other == 2 ? "02" : "01") << line;
  }
  if (!before.empty()) {
    EXPECT_EQ(changed, 1);
  }
  // A saved profile keeps the named control as "lumora save" does.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"settings-xu.profile";
  DeleteFileW(path.c_str());
  ASSERT_TRUE(ui.Click(ui.Item(IDC_SAVE), LUMORA_SETTINGS_SAVE_TITLE, path));
  const std::string saved = FileText(path);
  EXPECT_NE(saved.find(std::string("#xu: Field of View = ") + (other == 2 ? "65" : "78")),
            std::string::npos)
      << saved;
  PostMessageW(ui.Form(), WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(ui.Process(), 30000), WAIT_OBJECT_0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: settings_ui_tests SETTINGS_EXE MARKER_FILE\n");
    return 2;
  }
  g_exe = argv[1];
  g_marker = argv[2];
  return RUN_ALL_TESTS();
}
