// LumoraSimPower.exe: the system's side of a resume from sleep, for tests
// on the simulated rig. Windows announces a resume with WM_POWERBROADCAST
// (PBT_APMRESUMEAUTOMATIC) to every top-level window and to the windows
// registered for suspend-resume notifications, which may be message-only;
// this program sends the same message to all of them in the current
// session (Wine prefix).
//
// usage: LumoraSimPower.exe resume
// Prints how many windows received it; exit 0 done, 2 usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 || std::wcscmp(argv[1], L"resume") != 0) {
    std::fprintf(stderr, "usage: LumoraSimPower.exe resume\n");
    return 2;
  }
  constexpr UINT kTimeoutMs = 5000;
  DWORD_PTR answer = 0;
  // Top-level windows (none without a display).
  SendMessageTimeoutW(HWND_BROADCAST, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0,
                      SMTO_ABORTIFHUNG, kTimeoutMs, &answer);
  // Message-only windows, as registered recipients get it.
  int reached = 0;
  for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w != nullptr;
       w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) {
    if (SendMessageTimeoutW(w, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_ABORTIFHUNG,
                            kTimeoutMs, &answer) != 0) {
      ++reached;
    }
  }
  std::printf("resume announced to the top-level windows and %d message-only windows\n", reached);
  return 0;
}
