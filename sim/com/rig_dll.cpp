// LumoraSim.dll: an in-process COM server that serves the simulated device
// rig as the system device enumerator. It registers nothing itself:
// scripts/sim-rig points the class registration of CLSID_SystemDeviceEnum in
// a project Wine prefix at this DLL and restores the original afterwards.
#include <windows.h>
#include <uuids.h>

#include "sim/com/rig_server.h"
#include "sim/com/sim_filter.h"

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_SystemDeviceEnum) return CLASS_E_CLASSNOTAVAILABLE;
  return lumora::sim::GetRigClassObject(iid, out);
}

STDAPI DllCanUnloadNow() {
  bool busy = lumora::sim::RigObjectCount() != 0 || lumora::sim::RigLockCount() != 0 ||
              lumora::sim::SimFilterObjectCount() != 0;
  return busy ? S_FALSE : S_OK;
}

}  // extern "C"
