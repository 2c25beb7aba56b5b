// The lumora tool's access to cameras through Lumora's public COM classes
// (VCapFilterEnum, VCapFilter, VCapCollection, DVidCapCtrl), and the small
// Windows helpers its commands share.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "com/raii.h"
#include "com/text.h"
#include "lumora_idl.h"
#include "tools/camera_source.h"
#include "tools/profile.h"
#include "tools/profile_load.h"

namespace lumora::tool {

using Microsoft::WRL::ComPtr;

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

using com::Bstr;
using com::Variant;

// COM on this thread for the object's lifetime.
class Apartment {
 public:
  Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  HRESULT Result() const { return hr_; }

 private:
  HRESULT hr_;
};

// Where failures go: text mode writes "lumora: " + the text on stderr; JSON
// mode writes the first failure of the run as {"error": text} on stdout, so
// that stdout holds exactly one document.
void SetJsonErrors(bool json);
void Fail(const char* format, ...);

// "0x80070057".
std::string HrText(HRESULT hr);

// Catalogue name of a property, "?" outside the catalogue.
const char* Name(int32_t property);

struct Camera {
  cli::CameraIdentity id;
  ComPtr<IVCapFilter> filter;
  long index = 0;       // FIndex
  size_t position = 0;  // place in the list from 0 ("lumora list" shows position + 1)
  bool opened = false;  // the control answered its chipset
  // IVCapFilter2::SourceKind: 0 a kernel-streaming device, 1 another source
  // (a filter of its own, a software or virtual camera).
  long kind = 0;
};

// Every video capture source in FIndex order: the devices first, then the
// other sources (only the devices with a library older than
// IVCapFilterEnum2).
HRESULT ListCameras(std::vector<Camera>* cameras);

// A DVidCapCtrl attached to the camera; fills in the camera's chipset. A
// filter without the kernel-streaming property interface stays attached
// with the standard handler, so the control is usable whenever it answers
// its chipset.
HRESULT OpenControl(Camera* camera, ComPtr<IDVidCapCtrl>* control, int32_t* chipset = nullptr);

// The camera named by CAM, with its control; an exit status (reported
// through Fail when not kExitOk).
int OpenCamera(const std::string& cam, Camera* chosen, ComPtr<IDVidCapCtrl>* control,
               int32_t* chipset = nullptr);

// VCS_* support of a property (VCS_no when the call fails).
int32_t Support(IDVidCapCtrl* ctrl, int32_t property);
bool Range(IDVidCapCtrl* ctrl, int32_t property, long* min, long* max);

// The camera through its control, as a profile load (ProfileTarget) and the
// reports and the check (CameraSource) call it. Modes and defaults are
// reached through the control's second interface where the library offers
// one; without it no property has modes or a default. Present() looks the
// camera's device path up in a fresh list of the cameras (true when no path
// was given).
class ControlTarget : public cli::ProfileTarget, public CameraSource {
 public:
  explicit ControlTarget(IDVidCapCtrl* ctrl, std::string devicePath = std::string());
  // Both.
  HResult Get(int32_t property, int32_t* value) override;
  HResult Set(int32_t property, int32_t value) override;
  HResult GetMode(int32_t property, int32_t* mode) override;
  HResult SetMode(int32_t property, int32_t mode) override;
  HResult Default(int32_t property, int32_t* value) override;
  // ProfileTarget.
  int32_t Support(int32_t property) override;
  bool Range(int32_t property, int32_t* min, int32_t* max) override;
  int32_t ModeSupport(int32_t property) override;
  // CameraSource.
  HResult Support(int32_t property, int32_t* support) override;
  HResult Range(int32_t property, int32_t* min, int32_t* max, int32_t* step,
                int32_t* defaultValue) override;
  HResult ModeSupport(int32_t property, int32_t* modes) override;
  HResult ReadSettings(int16_t* elements, uint32_t count) override;
  bool Present() override;
  // Both: the extension-unit calls (null on a library without them).
  xutool::XuSource* Xu() override { return xu_.get(); }

 private:
  IDVidCapCtrl* ctrl_;
  ComPtr<IDVidCapCtrl2> modes_;  // null on a library without modes
  std::unique_ptr<xutool::XuSource> xu_;
  std::string devicePath_;
};

// A ControlTarget that keeps its control alive for as long as it is used.
class OwnedTarget : public ControlTarget {
 public:
  explicit OwnedTarget(ComPtr<IDVidCapCtrl> ctrl, std::string devicePath = std::string())
      : ControlTarget(ctrl.Get(), std::move(devicePath)), ctrl_(std::move(ctrl)) {}

 private:
  ComPtr<IDVidCapCtrl> ctrl_;
};

// Appends a command-line argument in quotes, as CommandLineToArgvW reads it
// back; false (nothing appended) for a text holding a double quote.
bool QuoteArgument(const std::wstring& arg, std::wstring* out);

// Reads a whole file (at most 1 MiB, enough for any profile).
bool ReadFile(const std::string& path, std::string* text, std::string* error);

// Writes a neighbouring temporary file and then replaces the target, so an
// interrupted write never leaves half a file; on failure one line in *error.
bool WriteFile(const std::string& path, const std::string& text, std::string* error);

// Reads and parses a profile; on failure one line in *error
// ("FILE: line 7: unknown property 'Brightnes'").
bool ReadProfile(const std::string& path, cli::Profile* profile, std::string* error);

}  // namespace lumora::tool
