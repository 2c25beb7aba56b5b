// What the UI tests that drive a window of another process share: starting
// the program and finding its window, reading a control's text across the
// process boundary, and sending a message while something else (a message
// box, a file dialog) may need an answer meanwhile.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace lumora::test {

// A program started for the test, and its top-level window.
class UiProgram {
 public:
  UiProgram() = default;
  UiProgram(const UiProgram&) = delete;
  UiProgram& operator=(const UiProgram&) = delete;
  ~UiProgram() {
    if (process_ != nullptr) CloseHandle(process_);
  }

  // Starts EXE and waits (at most 30 s) for its window of class CLS with
  // the caption; false when either does not come.
  bool Start(const std::wstring& exe, const wchar_t* cls, const wchar_t* caption) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
      return false;
    }
    process_ = pi.hProcess;
    CloseHandle(pi.hThread);
    id_ = pi.dwProcessId;
    WaitForInputIdle(process_, 30000);
    for (int i = 0; i < 600 && window_ == nullptr; ++i) {
      HWND found = FindWindowW(cls, caption);
      if (Owns(found)) {
        window_ = found;
      } else {
        Sleep(50);
      }
    }
    return window_ != nullptr;
  }

  HWND Window() const { return window_; }
  HANDLE Process() const { return process_; }
  // True for a window of this program.
  bool Owns(HWND hwnd) const {
    DWORD owner = 0;
    return hwnd != nullptr && GetWindowThreadProcessId(hwnd, &owner) && owner == id_;
  }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
  HWND window_ = nullptr;
};

// A window's text, asked with a time limit ("<no answer>" when it hangs).
inline std::wstring WindowText(HWND hwnd) {
  wchar_t buffer[8192] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                           10000, &copied)) {
    return L"<no answer>";
  }
  return std::wstring(buffer, copied);
}

// Sends the message from a helper thread (the window's handler may open a
// modal box meanwhile) and runs `tick` every 50 ms until the handler is done
// (at most 60 s). False when it did not finish: the thread is then left to
// itself, and the program soon ends after the failure.
inline bool SendWhile(HWND target, UINT message, WPARAM wparam, LPARAM lparam,
                      const std::function<void()>& tick) {
  struct Call {
    HWND target;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    static DWORD WINAPI Run(void* p) {
      auto* c = static_cast<Call*>(p);
      SendMessageW(c->target, c->message, c->wparam, c->lparam);
      return 0;
    }
  };
  auto* call = new Call{target, message, wparam, lparam};
  HANDLE thread = CreateThread(nullptr, 0, &Call::Run, call, 0, nullptr);
  if (thread == nullptr) {
    delete call;
    return false;
  }
  for (int i = 0; i < 1200; ++i) {
    if (WaitForSingleObject(thread, 50) == WAIT_OBJECT_0) {
      CloseHandle(thread);
      delete call;
      return true;
    }
    if (tick) tick();
  }
  CloseHandle(thread);
  return false;
}

// A fixture whose tests share one started program (a class with Start()
// and a window) and run in the order written, each building on what the
// last one left. `what` names the window in the failure when it does not
// appear.
template <class Program>
class SharedWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    shared_ = new Program;
    if (!shared_->Start()) {
      delete shared_;
      shared_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(shared_, nullptr) << "the window did not appear"; }
  Program& Shared() { return *shared_; }

 private:
  static inline Program* shared_ = nullptr;
};

}  // namespace lumora::test
