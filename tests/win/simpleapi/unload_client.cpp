// Unloading Lumora.dll while the plain functions hold a camera. The program
// loads its own copy of the library with LoadLibrary (as an application that
// ships a private Lumora.dll beside the registered one does), selects the
// first simulated camera through the plain exports, and then either
//   unload: FreeLibrary's the copy. Nothing may be released under the loader
//           lock: the rig's filters stay as they were, the library stays
//           loaded, and the camera is still selected afterwards;
//   exit:   ends the process with the camera still selected (exit code 0,
//           no hang: nothing is released into COM or a driver at exit).
// Prints "unload_client: ok" when every check held.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"

#define CLIENT_NAME "unload_client"
#include "tests/win/simpleapi/client_check.h"

namespace {

using EnumCamsFn = int(__stdcall*)();
using SetCamFn = int(__stdcall*)(long);
using GetFn = int(__stdcall*)(long, long*);

// An export of the library as the function type it has.
template <class Function>
Function Export(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// A private copy of the library in the temporary folder.
std::string CopyLibrary(const char* source) {
  char folder[MAX_PATH + 1];
  const DWORD length = GetTempPathA(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  std::string copy = std::string(folder) + "LumoraPrivateCopy.dll";
  if (!CopyFileA(source, copy.c_str(), FALSE)) return {};
  return copy;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[1]) != "unload" && std::string(argv[1]) != "exit")) {
    std::printf("usage: unload_client unload|exit PATH_OF_LUMORA_DLL\n");
    return 2;
  }
  const bool unload = std::string(argv[1]) == "unload";
  check(SUCCEEDED(CoInitialize(nullptr)), "CoInitialize");
  DWORD cookie = 0;
  check(lumora::sim::InstallRig(&cookie) == S_OK, "rig installed in the process");

  const std::string copy = CopyLibrary(argv[2]);
  check(!copy.empty(), "copy of the library");
  HMODULE library = copy.empty() ? nullptr : LoadLibraryA(copy.c_str());
  check(library != nullptr, "LoadLibrary");
  if (!library) return 1;
  auto enumCams = Export<EnumCamsFn>(library, "EnumCams");
  auto setCam = Export<SetCamFn>(library, "SetCam");
  auto get = Export<GetFn>(library, "CamProperty_Get");
  check(enumCams && setCam && get, "plain exports");
  if (!enumCams || !setCam || !get) return 1;

  long value = 4711;
  check(enumCams() == 0, "EnumCams");
  check(setCam(0) == 0, "SetCam(0)");
  check(get(0, &value) == 0 && value != 4711, "brightness of the selected camera");
  const LONG filters = lumora::sim::SimFilterObjectCount();
  check(filters > 0, "the selected camera holds a rig filter");

  if (unload) {
    check(FreeLibrary(library) != FALSE, "FreeLibrary");
    check(lumora::sim::SimFilterObjectCount() == filters,
          "nothing released while the library was being freed");
    check(GetModuleHandleA(copy.c_str()) == library, "the library stays loaded");
    value = 4711;
    check(get(0, &value) == 0 && value != 4711, "the camera is still selected");
  }
  // exit: the process ends with the camera selected and the library loaded.
  if (failures == 0) std::printf("unload_client: ok\n");
  std::fflush(stdout);
  return failures == 0 ? 0 : 1;
}
