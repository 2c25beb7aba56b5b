// LumoraSim.dll: an in-process COM server that serves the simulated device
// rig as the system device enumerator. It registers nothing itself:
// scripts/sim-rig points the class registration of CLSID_SystemDeviceEnum in
// a project Wine prefix at this DLL and restores the original afterwards.
#include <windows.h>
#include <uuids.h>

#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"

namespace {

// Once it has served a class object, the DLL stays loaded until the process
// ends: its devices must keep their cameras (and values) for the life of the
// process, and a client may still hold a filter when COM frees the
// apartment's libraries.
void PinModule() {
  static const bool pinned = [] {
    HMODULE self = nullptr;
    return GetModuleHandleExW(
               GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
               reinterpret_cast<LPCWSTR>(&PinModule), &self) != 0;
  }();
  (void)pinned;
}

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_SystemDeviceEnum) return CLASS_E_CLASSNOTAVAILABLE;
  HRESULT h = lumora::sim::GetRigClassObject(iid, out);
  if (SUCCEEDED(h)) PinModule();
  return h;
}

STDAPI DllCanUnloadNow() {
  bool busy = lumora::sim::RigObjectCount() != 0 || lumora::sim::RigLockCount() != 0 ||
              lumora::sim::SimFilterObjectCount() != 0;
  return busy ? S_FALSE : S_OK;
}

}  // extern "C"
