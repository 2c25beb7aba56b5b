// The simulated device rig: a system device enumerator (ICreateDevEnum) that
// lists simulated capture devices instead of real ones.
//
// CreateClassEnumerator(CLSID_VideoInputDeviceCategory) hands out monikers
// of the rig's devices, in catalogue order; every other category is empty
// (S_FALSE and a null enumerator, as the real enumerator answers without
// devices). A moniker's display name is the device's path, BindToStorage
// gives a property bag with "FriendlyName" and "CLSID", and BindToObject
// gives the COM simulated filter over the device's camera.
//
// The devices come from the preset named by LUMORA_SIM_DEVICES ("default",
// "none", "ten", "twelve", "international"; unset or unknown: "default"),
// with the control faults that LUMORA_SIM_FAULTS names (ApplyRigFaults),
// built on first use and kept
// for the life of the process, so every bind of a device reaches the same
// camera. When LUMORA_SIM_STATE names a file, the cameras' values are loaded
// from it on first use and saved to it after every accepted write; before
// every enumeration and every camera call the rig takes in what other
// processes saved there since, and the plug file beside it
// (LUMORA_SIM_STATE + ".plug", see rig_devices.h): an unplugged device is
// not listed and its camera answers every call with ERROR_DEVICE_NOT_CONNECTED;
// a device plugged in again comes back with default values.
//
// Two ways in: InstallRig registers the enumerator's class object for
// CLSID_SystemDeviceEnum inside the calling process (tests); LumoraSim.dll
// serves it through DllGetClassObject when the registry points
// CLSID_SystemDeviceEnum at it (scripts/sim-rig).
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "sim/rig_devices.h"

namespace lumora::sim {

// Registers the rig's class object for CLSID_SystemDeviceEnum in this process
// (CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE) until RevokeRig. COM must be
// initialised on the calling thread. E_POINTER for a null cookie; otherwise
// CoRegisterClassObject's result.
HRESULT InstallRig(DWORD* cookie);
void RevokeRig(DWORD cookie);

// The process's devices (built on first use). Tests may inspect and change
// the cameras; the list itself should be changed only through
// ReloadRigDevices.
std::vector<RigDevice>& RigDevices();

// Rebuilds the devices from LUMORA_SIM_DEVICES and LUMORA_SIM_STATE, as on
// first use. Monikers and filters handed out earlier keep their old cameras.
void ReloadRigDevices();

// A new rig device enumerator, one reference for the caller.
HRESULT CreateRigDeviceEnumerator(REFIID iid, void** out);

// The rig's class factory for the device enumerator.
HRESULT GetRigClassObject(REFIID iid, void** out);

// Rig COM objects alive in this module, and the class-factory lock count.
LONG RigObjectCount();
LONG RigLockCount();

}  // namespace lumora::sim
