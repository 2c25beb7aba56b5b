// "lumora watch" on Windows.
#include "tools/lumora/watch_win.h"

#include <windows.h>
#include <dbt.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "com/com_object.h"
#include "com/raii.h"
#include "com/text.h"
#include "tools/lumora/win_camera.h"
#include "tools/watch.h"

namespace lumora::tool {

namespace {

// The current user's start-up entries, and the one value watch owns there.
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunValue = L"Lumora watch";
constexpr DWORD kStopWaitMs = 10000;

// Device interface classes whose arrival and removal start a look.
constexpr GUID kCaptureCategory = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr GUID kVideoCategory = {
    0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

using Handle = com::KernelHandle;

// The string form of the current user's SID: the watch's objects are named
// after it, so each user has one watch and stops only their own.
std::wstring UserSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return L"unknown";
  Handle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return L"unknown";
  std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
  if (!GetTokenInformation(token.Get(), TokenUser, buffer.get(), size, &size)) return L"unknown";
  com::LocalMem<wchar_t> text;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid,
                              text.Receive())) {
    return L"unknown";
  }
  return text.Get();
}

std::wstring ObjectName(const wchar_t* what) {
  return std::wstring(L"Local\\Lumora.Watch.") + what + L"." + UserSid();
}

HANDLE stopEvent = nullptr;  // for the console handler

BOOL WINAPI OnConsoleControl(DWORD) {
  if (stopEvent != nullptr) SetEvent(stopEvent);
  return TRUE;  // the watch ends itself, with status 0
}

bool deviceChanged = false;
bool systemResumed = false;

LRESULT CALLBACK NotificationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE &&
      (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
    deviceChanged = true;
  }
  if (message == WM_POWERBROADCAST &&
      (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND)) {
    systemResumed = true;
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// RegisterSuspendResumeNotification and its undo, where the system has them
// (Windows 8 and later): they send the power broadcasts to a message-only
// window too.
using RegisterResume = HANDLE(WINAPI*)(HANDLE, DWORD);
using UnregisterResume = BOOL(WINAPI*)(HANDLE);

// A message-only window that receives the device-interface notifications
// of the capture categories and the system's resume notifications. Where
// no device notifications arrive, the poll finds the changes.
class NotificationWindow {
 public:
  NotificationWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = NotificationProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumoraWatchNotifications";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    if (window_ == nullptr) return;
    for (const GUID& category : {kCaptureCategory, kVideoCategory}) {
      DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
      filter.dbcc_size = sizeof filter;
      filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      filter.dbcc_classguid = category;
      HDEVNOTIFY n = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
      if (n != nullptr) notifications_.push_back(n);
    }
    HMODULE user = GetModuleHandleW(L"user32.dll");
    auto registerResume = reinterpret_cast<RegisterResume>(
        reinterpret_cast<void (*)()>(GetProcAddress(user, "RegisterSuspendResumeNotification")));
    unregisterResume_ = reinterpret_cast<UnregisterResume>(
        reinterpret_cast<void (*)()>(GetProcAddress(user, "UnregisterSuspendResumeNotification")));
    if (registerResume != nullptr && unregisterResume_ != nullptr) {
      resume_ = registerResume(window_, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
  }
  ~NotificationWindow() {
    if (resume_ != nullptr) unregisterResume_(resume_);
    for (HDEVNOTIFY n : notifications_) UnregisterDeviceNotification(n);
    if (window_ != nullptr) DestroyWindow(window_);
  }
  NotificationWindow(const NotificationWindow&) = delete;
  NotificationWindow& operator=(const NotificationWindow&) = delete;

 private:
  HWND window_ = nullptr;
  std::vector<HDEVNOTIFY> notifications_;
  HANDLE resume_ = nullptr;
  UnregisterResume unregisterResume_ = nullptr;
};

class ComHost : public cli::WatchHost {
 public:
  bool List(std::vector<cli::CameraIdentity>* cameras) override {
    cameras_.clear();
    HRESULT hr = ListCameras(&cameras_);
    if (FAILED(hr)) {
      if (!listFailureSaid_) Say("cannot list the cameras (" + HrText(hr) + "); trying again");
      listFailureSaid_ = true;
      return false;
    }
    listFailureSaid_ = false;
    for (const Camera& c : cameras_) cameras->push_back(c.id);
    return true;
  }
  std::unique_ptr<cli::ProfileTarget> Open(size_t position, std::string* error) override {
    ComPtr<IDVidCapCtrl> ctrl;
    HRESULT hr =
        position < cameras_.size() ? OpenControl(&cameras_[position], &ctrl) : E_INVALIDARG;
    if (FAILED(hr)) {
      *error = HrText(hr);
      return nullptr;
    }
    return std::make_unique<OwnedTarget>(ctrl);
  }
  void Say(const std::string& line) override {
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::printf("%02u:%02u:%02u %s\n", t.wHour, t.wMinute, t.wSecond, line.c_str());
    std::fflush(stdout);
  }

 private:
  std::vector<Camera> cameras_;
  bool listFailureSaid_ = false;
};

int Install(const cli::WatchOptions& options) {
  std::wstring exe;
  std::wstring command;
  if (FAILED(com::ModuleFileName(nullptr, &exe)) || !QuoteArgument(exe, &command)) {
    Fail("cannot tell the path of lumora.exe");
    return kExitFailed;
  }
  command += L" watch";
  if (options.guard) command += L" --guard";
  if (options.intervalMs != cli::WatchOptions().intervalMs) {
    command += L" --interval " + std::to_wstring(options.intervalMs);
  }
  for (const std::string& p : options.profiles) {
    wchar_t full[4096];
    DWORD m = GetFullPathNameW(com::WidenUtf8(p).c_str(), 4096, full, nullptr);
    command += L" ";
    if (m == 0 || m >= 4096 || !QuoteArgument(full, &command)) {
      Fail("cannot use the path %s in a start-up entry", p.c_str());
      return kExitFailed;
    }
  }
  com::RegKey key;
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            key.Receive(), nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExW(key.Get(), kRunValue, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(command.c_str()),
                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  }
  if (rc != ERROR_SUCCESS) {
    Fail("cannot write the start-up entry (%s)", HrText(HRESULT_FROM_WIN32(rc)).c_str());
    return kExitFailed;
  }
  std::printf("lumora watch starts at logon for the current user: %s\n",
              com::NarrowToUtf8(command).c_str());
  return kExitOk;
}

int Uninstall() {
  com::RegKey key;
  LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, key.Receive());
  if (rc == ERROR_SUCCESS) rc = RegDeleteValueW(key.Get(), kRunValue);
  if (rc == ERROR_FILE_NOT_FOUND) {
    std::printf("lumora watch had no start-up entry for the current user\n");
    return kExitOk;
  }
  if (rc != ERROR_SUCCESS) {
    Fail("cannot remove the start-up entry (%s)", HrText(HRESULT_FROM_WIN32(rc)).c_str());
    return kExitFailed;
  }
  std::printf("lumora watch no longer starts at logon for the current user\n");
  return kExitOk;
}

int Stop() {
  Handle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, ObjectName(L"Stop").c_str()));
  Handle running(OpenMutexW(SYNCHRONIZE, FALSE, ObjectName(L"Running").c_str()));
  if (stop.Get() == nullptr || running.Get() == nullptr) {
    Fail("no watch is running for this user");
    return kExitFailed;
  }
  SetEvent(stop.Get());
  DWORD r = WaitForSingleObject(running.Get(), kStopWaitMs);
  if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) {
    ReleaseMutex(running.Get());
    std::printf("the watch has stopped\n");
    return kExitOk;
  }
  Fail("the watch did not stop within %lu seconds", static_cast<unsigned long>(kStopWaitMs / 1000));
  return kExitFailed;
}

int Watch(const cli::WatchOptions& options, std::vector<cli::WatchedProfile> profiles) {
  Handle running(CreateMutexW(nullptr, TRUE, ObjectName(L"Running").c_str()));
  if (running.Get() == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    Fail("a watch is already running for this user (\"lumora watch --stop\" ends it)");
    return kExitFailed;
  }
  Handle stop(CreateEventW(nullptr, TRUE, FALSE, ObjectName(L"Stop").c_str()));
  if (stop.Get() == nullptr) {
    Fail("cannot create the stop event (%s)", HrText(HRESULT_FROM_WIN32(GetLastError())).c_str());
    return kExitFailed;
  }
  ResetEvent(stop.Get());
  stopEvent = stop.Get();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  NotificationWindow notifications;

  ComHost host;
  size_t count = profiles.size();
  cli::Watcher watcher(std::move(profiles), options.guard,
                       static_cast<uint32_t>(options.intervalMs), host);
  host.Say("watching " + std::to_string(count) + (count == 1 ? " profile" : " profiles") +
           (options.guard ? ", guarding their values" : "") + "; every " +
           std::to_string(options.intervalMs) +
           " ms a look for cameras; Ctrl+C or \"lumora watch --stop\" ends it");
  watcher.Scan(GetTickCount());
  DWORD next = GetTickCount() + static_cast<DWORD>(options.intervalMs);
  HANDLE stopHandle = stop.Get();
  for (;;) {
    DWORD now = GetTickCount();
    DWORD wait = static_cast<LONG>(next - now) > 0 ? next - now : 0;
    wait = std::min<DWORD>(wait, watcher.MsUntilResumeDue(now));
    DWORD r = MsgWaitForMultipleObjects(1, &stopHandle, FALSE, wait, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (systemResumed) {
        systemResumed = false;
        watcher.Resumed(GetTickCount());
      }
      if (deviceChanged) {
        deviceChanged = false;
        watcher.Scan(GetTickCount());
      }
      continue;
    }
    if (r != WAIT_TIMEOUT) {
      Fail("waiting failed (%s)", HrText(HRESULT_FROM_WIN32(GetLastError())).c_str());
      break;
    }
    watcher.Scan(GetTickCount());
    next = GetTickCount() + static_cast<DWORD>(options.intervalMs);
  }
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  stopEvent = nullptr;
  host.Say("watch stopped");
  ReleaseMutex(running.Get());
  return kExitOk;
}

}  // namespace

int RunWatch(const std::vector<std::string>& args) {
  cli::WatchOptions options;
  std::string error;
  if (!cli::ParseWatchArguments(args, &options, &error)) {
    Fail("%s", error.c_str());
    return kExitUsage;
  }
  if (options.action == cli::WatchOptions::kStop) return Stop();
  if (options.action == cli::WatchOptions::kUninstall) return Uninstall();
  // Every profile is read and checked before anything starts.
  std::vector<cli::WatchedProfile> profiles;
  for (const std::string& file : options.profiles) {
    cli::WatchedProfile w;
    w.file = file;
    if (!ReadProfile(file, &w.profile, &error)) {
      Fail("%s; the watch does not start", error.c_str());
      return kExitFailed;
    }
    if (cli::MatchProfile(w.profile, {}).kind == cli::ProfileMatch::kNoIdentity) {
      Fail(
          "%s names no camera (it needs Serial with VidPid, DevicePath or Camera); the watch "
          "does not start",
          file.c_str());
      return kExitFailed;
    }
    profiles.push_back(std::move(w));
  }
  if (options.action == cli::WatchOptions::kInstall) return Install(options);
  return Watch(options, std::move(profiles));
}

}  // namespace lumora::tool
