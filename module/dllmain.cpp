// Load and unload of Lumora.dll. Nothing here initialises COM.
#include <windows.h>

#include "module/server.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      lumora::server::Start();
      break;
    case DLL_PROCESS_DETACH:
      // At process exit (reserved non-null) other libraries may be gone
      // already; the system reclaims everything.
      if (!reserved) lumora::server::Stop();
      break;
    default: break;
  }
  return TRUE;
}
