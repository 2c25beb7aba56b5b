// CameraManager: the engine of the simple camera API. It numbers the
// machine's video-capture devices from 0 (at most kCapacity), keeps their
// narrow names, device names and serials, and one current camera whose
// DVidCapCtrl it forwards the property calls to. It reaches the rest of the
// library only through the library's COM classes, created by class
// identifier like any client creates them.
//
// A manager belongs to one thread (a single-threaded apartment) and takes
// no locks. Not copyable; CLumoraAPIclass shares it between copies.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "lumora_idl.h"
#include "simpleapi/ansi_text.h"

class CLumoraAPIclass;

namespace lumora::simpleapi {

class CameraManager {
 public:
  static constexpr int kCapacity = 10;

  // When COM is initialised for the manager's thread.
  enum class ComSetup {
    // CoInitialize now, on the constructing thread; CoUninitialize at
    // destruction (only when the initialisation succeeded).
    kAtConstruction,
    // CoInitialize on the thread of the first operation that needs COM, and
    // never uninitialise: for the library-wide instance, which is built and
    // destroyed from the library's load and unload notifications, where COM
    // must not be initialised or uninitialised.
    kOnFirstUse,
  };

  explicit CameraManager(ComSetup setup = ComSetup::kAtConstruction) noexcept;
  CameraManager(const CameraManager&) = delete;
  CameraManager& operator=(const CameraManager&) = delete;
  virtual ~CameraManager();

  // Lists the video-capture devices in the order of their collection's
  // keys. The previous lists (and the collection behind them) are dropped
  // first; the current camera stays current. True when the enumeration ran,
  // also when it found nothing; false with empty lists otherwise.
  bool EnumCams() noexcept;
  // As EnumCams, from every capture source of the category (the devices
  // first, in EnumCams's order, then software and other sources).
  bool EnumAllCams() noexcept;
  // Makes camera index current (a new DVidCapCtrl attached to its filter);
  // a negative index clears the selection (true). The previous control is
  // released first in every case.
  bool SetCam(LONG index) noexcept;

  // Forwarded to the current control. The property number is compared as
  // an unsigned value: Support accepts 0 to 31, the others 0 to 25. False
  // without a control, out of range, or when the control fails; the out
  // values are written only on success.
  bool CamProperty_Support(LONG property, LONG* support) noexcept;
  bool CamProperty_Range(LONG property, LONG* minimum, LONG* maximum, LONG* delta) noexcept;
  bool CamProperty_Set(LONG property, LONG value) noexcept;
  bool CamProperty_Get(LONG property, LONG* value) noexcept;
  // Modes and defaults of the current camera's properties (0 to 31): the
  // modes a property offers (VCM_Auto | VCM_Manual bits, 0 for none), its
  // mode, a switch of its mode, its default. E_ABORT while no camera is
  // listed, E_FAIL without a current camera, E_POINTER for a null output,
  // E_INVALIDARG out of range; otherwise the control's result. Outputs are
  // written only on success.
  HRESULT ModeSupport(LONG property, LONG* modes) noexcept;
  HRESULT GetMode(LONG property, LONG* mode) noexcept;
  HRESULT SetMode(LONG property, LONG mode) noexcept;
  HRESULT Default(LONG property, LONG* value) noexcept;
  // The range of a property (0 to 25, as CamProperty_Range) for script
  // clients: values receives minimum, maximum and stepping delta and, where
  // the property reports one (Default), the default; *count is 3 or 4.
  // E_ABORT while no camera is listed, E_FAIL without a current camera or
  // when the control fails, E_INVALIDARG out of range.
  HRESULT RangeList(LONG property, LONG (&values)[4], ULONG* count) noexcept;

  // The current control's extension units (IDVidCapCtrl3): E_ABORT while no
  // camera is listed, E_FAIL without a current camera (both reported with a
  // text, com::ReportError).
  HRESULT Control3(Microsoft::WRL::ComPtr<IDVidCapCtrl3>* control) noexcept;
  // Raw access for the plain exports: unit is a GUID's text (ANSI). XuGet
  // with a null buffer and size 0 writes only *length (the control's
  // length); a smaller buffer fails with HRESULT_FROM_WIN32(ERROR_MORE_DATA)
  // and *length set; otherwise the value is copied and *length is its
  // length. XuSet writes the whole control.
  HRESULT XuGet(const char* unit, LONG selector, unsigned char* buffer, ULONG size,
                ULONG* length) noexcept;
  HRESULT XuSet(const char* unit, LONG selector, const unsigned char* data, ULONG length) noexcept;

  // The current control's chipset, CSX_Unknown when the control cannot tell.
  // False only without a current camera.
  bool CamChipset(LONG* chipset) noexcept;

  // The tables (kCapacity slots; slots Count() and above are null), read
  // directly by the exported API. Valid until the next EnumCams or the
  // manager's destruction.
  LONG Count() const noexcept { return count_; }
  char* (&CamNameTable() noexcept)[kCapacity] { return camNames_.Slots(); }
  char* (&DevNameTable() noexcept)[kCapacity] { return devNames_.Slots(); }
  char* (&CamSerialTable() noexcept)[kCapacity] { return camSerials_.Slots(); }

  // Whether a camera is current.
  bool HasControl() const noexcept { return control_ != nullptr; }

 private:
  void InitialiseCom() noexcept;
  void ClearLists() noexcept;
  bool Enumerate(bool allSources) noexcept;
  bool Fill(IEnumVARIANT* items) noexcept;
  // The current control's extension for a property of 0 to 31, or the
  // failure of the rules above.
  HRESULT Control2(LONG property, Microsoft::WRL::ComPtr<IDVidCapCtrl2>* control) noexcept;

  Microsoft::WRL::ComPtr<IVCapFilter> filters_[kCapacity];
  NarrowTable<kCapacity> camNames_;
  NarrowTable<kCapacity> devNames_;
  NarrowTable<kCapacity> camSerials_;
  LONG count_ = 0;
  Microsoft::WRL::ComPtr<IDVidCapCtrl> control_;
  // The collection of the last enumeration; it owns the listed filters.
  Microsoft::WRL::ComPtr<IDispatch> collection_;

  ComSetup setup_;
  bool comTried_ = false;        // InitialiseCom has run
  bool comInitialised_ = false;  // and CoInitialize succeeded
};

// The manager behind an object of the exported class, for the library's own
// callers (LumoraCOM and the plain exports); null when the object has none
// (its allocation failed).
CameraManager* ManagerOf(CLumoraAPIclass& api) noexcept;

// Ends the library-wide instance behind the plain functions. Called once, by
// the library's unload on FreeLibrary, never at process exit; the instance
// holds no COM object then (the library pins itself before its plain
// functions use COM).
void ReleaseLibraryInstance() noexcept;

}  // namespace lumora::simpleapi
