// lumora: lists cameras, reads and sets their properties, prints reports and
// saves and restores camera profiles, through Lumora's automation classes
// (VCapFilterEnum, VCapFilter, VCapCollection, DVidCapCtrl).
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdarg>
#include <new>
#include <string>
#include <vector>

#include "module/lumora_idl.h"
#include "property/catalogue.h"
#include "tools/cli_args.h"
#include "tools/profile.h"
#include "tools/report.h"

using Microsoft::WRL::ComPtr;
namespace cli = lumora::cli;

namespace {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Owns a BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* Out() {
    SysFreeString(value_);
    value_ = nullptr;
    return &value_;
  }
  BSTR Get() const { return value_; }

 private:
  BSTR value_ = nullptr;
};

// Owns a VARIANT.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* Get() { return &value_; }

 private:
  VARIANT value_;
};

// COM on this thread for the program's lifetime.
class Apartment {
 public:
  Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  HRESULT Result() const { return hr_; }

 private:
  HRESULT hr_;
};

std::string Utf8(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n) - 1);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
  out.resize(static_cast<size_t>(n) - 1);
  return out;
}

// The one line of a failure, on stderr.
void Fail(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("lumora: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
}

std::string HrText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

const char* Name(int32_t property) {
  const char* name = lumora::PropertyName(property);
  return name != nullptr ? name : "?";
}

struct Camera {
  cli::CameraIdentity id;
  ComPtr<IVCapFilter> filter;
  long index = 0;  // FIndex
};

std::string ReadString(IVCapFilter* filter, HRESULT (STDMETHODCALLTYPE IVCapFilter::*get)(BSTR*)) {
  Bstr value;
  if (FAILED((filter->*get)(value.Out()))) return std::string();
  return Utf8(value.Get());
}

// The video capture devices in FIndex order.
HRESULT ListCameras(std::vector<Camera>* cameras) {
  ComPtr<IVCapFilterEnum> enumerator;
  HRESULT hr = CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IVCapFilterEnum, &enumerator);
  if (FAILED(hr)) return hr;
  Bstr category;
  hr = enumerator->DeviceCatClsid(CGC_VideoCapture, category.Out());
  if (FAILED(hr)) return hr;
  ComPtr<IDispatch> result;
  hr = enumerator->EnumerateFilter(category.Get(), &result);
  if (FAILED(hr)) return hr;
  ComPtr<IVCapCollection> collection;
  hr = result.As(&collection);
  if (FAILED(hr)) return hr;
  ComPtr<IUnknown> unknown;
  hr = collection->get__NewEnum(&unknown);
  if (FAILED(hr)) return hr;
  ComPtr<IEnumVARIANT> items;
  hr = unknown.As(&items);
  if (FAILED(hr)) return hr;
  for (;;) {
    Variant item;
    ULONG fetched = 0;
    if (items->Next(1, item.Get(), &fetched) != S_OK || fetched != 1) break;
    if (V_VT(item.Get()) != VT_DISPATCH || V_DISPATCH(item.Get()) == nullptr) continue;
    Camera camera;
    if (FAILED(V_DISPATCH(item.Get())->QueryInterface(IID_IVCapFilter, &camera.filter))) continue;
    IVCapFilter* f = camera.filter.Get();
    camera.id.name = ReadString(f, &IVCapFilter::get_FName);
    camera.id.devicePath = ReadString(f, &IVCapFilter::get_DeviceName);
    camera.id.serial = ReadString(f, &IVCapFilter::get_DevSerial);
    camera.id.vidPid = ReadString(f, &IVCapFilter::get_DeviceVidPid);
    f->get_FIndex(&camera.index);
    cameras->push_back(std::move(camera));
  }
  std::stable_sort(cameras->begin(), cameras->end(),
                   [](const Camera& a, const Camera& b) { return a.index < b.index; });
  return S_OK;
}

// A DVidCapCtrl attached to the camera. A filter without the kernel-streaming
// property interface stays attached with the standard handler, so the
// control is usable whenever it answers its chipset.
HRESULT OpenControl(Camera* camera, ComPtr<IDVidCapCtrl>* control) {
  ComPtr<IDVidCapCtrl> ctrl;
  HRESULT hr = CoCreateInstance(CLSID_DVidCapCtrl, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDVidCapCtrl, &ctrl);
  if (FAILED(hr)) return hr;
  ComPtr<IDispatch> descriptor;
  hr = camera->filter.As(&descriptor);
  if (FAILED(hr)) return hr;
  HRESULT attach = ctrl->put_CaptureFilter(descriptor.Get());
  KnownChipsetCat chipset = CSX_Unknown;
  hr = ctrl->get_Chipset(&chipset);
  if (FAILED(hr)) return FAILED(attach) ? attach : hr;
  camera->id.chipset = lumora::ChipsetName(chipset);
  *control = ctrl;
  return S_OK;
}

int32_t Support(IDVidCapCtrl* ctrl, int32_t property) {
  VidCapPropertySupport support = VCS_no;
  if (ctrl->Has(static_cast<VidCapProperty>(property), &support) != S_OK) return VCS_no;
  return support;
}

bool Range(IDVidCapCtrl* ctrl, int32_t property, long* min, long* max) {
  long step = 0, def = 0, caps = 0;
  return SUCCEEDED(ctrl->GetRange(static_cast<VidCapProperty>(property), min, max, &step, &def, &caps));
}

class ControlReportSource : public lumora::ReportSource {
 public:
  explicit ControlReportSource(IDVidCapCtrl* ctrl) : ctrl_(ctrl) {}
  bool Support(int32_t property, int32_t* support) override {
    VidCapPropertySupport s = VCS_no;
    if (FAILED(ctrl_->Has(static_cast<VidCapProperty>(property), &s))) return false;
    *support = s;
    return true;
  }
  bool Range(int32_t property, int32_t* min, int32_t* max) override {
    long lo = 0, hi = 0;
    if (!::Range(ctrl_, property, &lo, &hi)) return false;
    *min = lo;
    *max = hi;
    return true;
  }
  bool Value(int32_t property, int32_t* value) override {
    long v = 0;
    if (FAILED(ctrl_->get_Prop(static_cast<VidCapProperty>(property), &v))) return false;
    *value = v;
    return true;
  }

 private:
  IDVidCapCtrl* ctrl_;
};

// The camera named by CAM, with its control.
int OpenCamera(const std::string& cam, Camera* chosen, ComPtr<IDVidCapCtrl>* control) {
  std::vector<Camera> cameras;
  HRESULT hr = ListCameras(&cameras);
  if (FAILED(hr)) {
    Fail("cannot list the cameras (%s; is Lumora.dll registered?)", HrText(hr).c_str());
    return kExitFailed;
  }
  std::vector<cli::CameraIdentity> ids;
  for (const Camera& c : cameras) ids.push_back(c.id);
  size_t position = 0;
  std::string error;
  if (!cli::MatchCamera(cam, ids, &position, &error)) {
    Fail("%s", error.c_str());
    return kExitFailed;
  }
  *chosen = cameras[position];
  hr = OpenControl(chosen, control);
  if (FAILED(hr)) {
    Fail("cannot open camera %zu '%s' (%s)", position + 1, chosen->id.name.c_str(),
         HrText(hr).c_str());
    return kExitFailed;
  }
  return kExitOk;
}

int List() {
  std::vector<Camera> cameras;
  HRESULT hr = ListCameras(&cameras);
  if (FAILED(hr)) {
    Fail("cannot list the cameras (%s; is Lumora.dll registered?)", HrText(hr).c_str());
    return kExitFailed;
  }
  if (cameras.empty()) {
    std::printf("No camera found.\n");
    return kExitOk;
  }
  for (size_t i = 0; i < cameras.size(); ++i) {
    Camera& c = cameras[i];
    ComPtr<IDVidCapCtrl> ctrl;
    if (FAILED(OpenControl(&c, &ctrl))) c.id.chipset = "(camera cannot be opened)";
    std::printf("%zu  %s\n", i + 1, c.id.name.c_str());
    std::printf("   serial:  %s\n", c.id.serial.c_str());
    std::printf("   VID/PID: %s\n", c.id.vidPid.c_str());
    std::printf("   chipset: %s\n", c.id.chipset.c_str());
    std::printf("   path:    %s\n", c.id.devicePath.c_str());
  }
  return kExitOk;
}

int Report(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  std::printf("Camera: %s (serial %s, %s)\n", camera.id.name.c_str(), camera.id.serial.c_str(),
              camera.id.vidPid.c_str());
  ControlReportSource source(ctrl.Get());
  // The shared report ends its lines in CR LF; the console adds its own CR.
  KnownChipsetCat chipset = CSX_Unknown;
  ctrl->get_Chipset(&chipset);
  std::string text = lumora::ReportHeader(chipset) + lumora::ReportBody(source);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

int Get(const cli::Invocation& inv) {
  int32_t property = cli::ParsePropertyArgument(inv.property);
  if (property < 0) {
    Fail("unknown property '%s' (see \"lumora --help\")", inv.property.c_str());
    return kExitUsage;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  if ((Support(ctrl.Get(), property) & VCS_get) == 0) {
    Fail("%s cannot be read on this camera", Name(property));
    return kExitFailed;
  }
  long value = 0;
  HRESULT hr = ctrl->get_Prop(static_cast<VidCapProperty>(property), &value);
  if (FAILED(hr)) {
    Fail("reading %s failed (%s)", Name(property), HrText(hr).c_str());
    return kExitFailed;
  }
  std::printf("%ld\n", value);
  return kExitOk;
}

int Set(const cli::Invocation& inv) {
  int32_t property = cli::ParsePropertyArgument(inv.property);
  if (property < 0) {
    Fail("unknown property '%s' (see \"lumora --help\")", inv.property.c_str());
    return kExitUsage;
  }
  int32_t value = 0;
  if (!cli::ParseInt32(inv.value, &value)) {
    Fail("value '%s' is not a whole number", inv.value.c_str());
    return kExitUsage;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  int32_t support = Support(ctrl.Get(), property);
  if ((support & VCS_set) == 0) {
    Fail("%s cannot be set on this camera", Name(property));
    return kExitFailed;
  }
  long min = 0, max = 0;
  if (Range(ctrl.Get(), property, &min, &max) && min <= max && (value < min || value > max)) {
    Fail("%ld is outside the range %ld..%ld of %s", static_cast<long>(value), min, max,
         Name(property));
    return kExitFailed;
  }
  HRESULT hr = ctrl->put_Prop(static_cast<VidCapProperty>(property), value);
  if (FAILED(hr)) {
    Fail("setting %s failed (%s)", Name(property), HrText(hr).c_str());
    return kExitFailed;
  }
  long now = 0;
  if ((support & VCS_get) != 0 && SUCCEEDED(ctrl->get_Prop(static_cast<VidCapProperty>(property), &now))) {
    std::printf("%s = %ld\n", Name(property), now);
  } else {
    std::printf("%s set to %ld\n", Name(property), static_cast<long>(value));
  }
  return kExitOk;
}

bool ReadFile(const std::string& path, std::string* text, std::string* error) {
  FILE* file = _wfopen(Wide(path).c_str(), L"rb");
  if (file == nullptr) {
    *error = "cannot open " + path;
    return false;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text->append(buffer, n);
    if (text->size() > (1u << 20)) {
      std::fclose(file);
      *error = path + " is too large for a profile";
      return false;
    }
  }
  bool bad = std::ferror(file) != 0;
  std::fclose(file);
  if (bad) *error = "cannot read " + path;
  return !bad;
}

// Writes a neighbouring temporary file and then replaces the target, so an
// interrupted save never leaves half a profile.
bool WriteFile(const std::string& path, const std::string& text, std::string* error) {
  std::wstring target = Wide(path);
  std::wstring temp = target + L".tmp";
  FILE* file = _wfopen(temp.c_str(), L"w");
  if (file == nullptr) {
    *error = "cannot create " + path;
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fclose(file) == 0 && ok;
  if (ok) ok = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) {
    DeleteFileW(temp.c_str());
    *error = "cannot write " + path;
  }
  return ok;
}

// Trigger and setting-selector writes are actions rather than settings: a
// profile does not replay them.
bool IsAction(int32_t property) {
  return property == lumora::VCP_SWTrigger || property == lumora::VCP_Setting;
}

int Save(const cli::Invocation& inv) {
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  cli::Profile profile;
  profile.identity = camera.id;
  std::vector<cli::ProfileEntry> entries;
  for (int32_t p = lumora::VCP_FirstElement; p <= lumora::VCP_LastElement; ++p) {
    if (IsAction(p) || Support(ctrl.Get(), p) != VCS_both) continue;
    long value = 0;
    if (FAILED(ctrl->get_Prop(static_cast<VidCapProperty>(p), &value))) continue;
    entries.push_back({p, static_cast<int32_t>(value), 0});
  }
  profile.entries = cli::LoadOrder(entries);
  std::string error;
  if (!WriteFile(inv.file, cli::FormatProfile(profile), &error)) {
    Fail("%s", error.c_str());
    return kExitFailed;
  }
  std::printf("Saved %zu properties of %s (serial %s) to %s\n", profile.entries.size(),
              camera.id.name.c_str(), camera.id.serial.c_str(), inv.file.c_str());
  return kExitOk;
}

int Load(const cli::Invocation& inv) {
  std::string text, error;
  if (!ReadFile(inv.file, &text, &error)) {
    Fail("%s", error.c_str());
    return kExitFailed;
  }
  cli::Profile profile;
  if (!cli::ParseProfile(text, &profile, &error)) {
    Fail("%s: %s; nothing changed", inv.file.c_str(), error.c_str());
    return kExitFailed;
  }
  Camera camera;
  ComPtr<IDVidCapCtrl> ctrl;
  if (int rc = OpenCamera(inv.cam, &camera, &ctrl)) return rc;
  for (const std::string& d : cli::IdentityDifferences(profile, camera.id)) {
    std::fprintf(stderr, "lumora: warning: profile is of another camera: %s\n", d.c_str());
  }

  // Decide everything before the first write.
  std::vector<cli::ProfileEntry> plan;
  size_t skipped = 0;
  for (const cli::ProfileEntry& e : cli::LoadOrder(profile.entries)) {
    int32_t support = Support(ctrl.Get(), e.property);
    long min = 0, max = 0;
    if (support == VCS_no) {
      std::printf("skipped %s: not supported by this camera\n", Name(e.property));
    } else if ((support & VCS_set) == 0) {
      std::printf("skipped %s: cannot be set on this camera\n", Name(e.property));
    } else if (Range(ctrl.Get(), e.property, &min, &max) && min <= max &&
               (e.value < min || e.value > max)) {
      std::printf("skipped %s: %ld is outside the range %ld..%ld\n", Name(e.property),
                  static_cast<long>(e.value), min, max);
    } else {
      plan.push_back(e);
      continue;
    }
    ++skipped;
  }
  size_t failed = 0;
  for (const cli::ProfileEntry& e : plan) {
    HRESULT hr = ctrl->put_Prop(static_cast<VidCapProperty>(e.property), e.value);
    if (FAILED(hr)) {
      std::printf("failed  %s = %ld (%s)\n", Name(e.property), static_cast<long>(e.value),
                  HrText(hr).c_str());
      ++failed;
    } else {
      std::printf("set     %s = %ld\n", Name(e.property), static_cast<long>(e.value));
    }
  }
  std::printf("Loaded %zu of %zu properties from %s (%zu skipped)\n", plan.size() - failed,
              profile.entries.size(), inv.file.c_str(), skipped);
  if (failed > 0) {
    Fail("%zu properties could not be set", failed);
    return kExitFailed;
  }
  return kExitOk;
}

int Run(const std::vector<std::string>& args) {
  cli::Invocation inv;
  std::string error;
  if (!cli::ParseArguments(args, &inv, &error)) {
    Fail("%s", error.c_str());
    return kExitUsage;
  }
  if (inv.help) {
    std::fputs(cli::HelpText(inv.command).c_str(), stdout);
    return kExitOk;
  }
  Apartment apartment;
  if (FAILED(apartment.Result())) {
    Fail("cannot initialise COM (%s)", HrText(apartment.Result()).c_str());
    return kExitFailed;
  }
  switch (inv.command) {
    case cli::Command::kList: return List();
    case cli::Command::kReport: return Report(inv);
    case cli::Command::kGet: return Get(inv);
    case cli::Command::kSet: return Set(inv);
    case cli::Command::kSave: return Save(inv);
    case cli::Command::kLoad: return Load(inv);
    case cli::Command::kNone: break;
  }
  return kExitUsage;
}

}  // namespace

int main() {
  try {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
      Fail("cannot read the command line");
      return kExitFailed;
    }
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
    LocalFree(argv);
    int rc = Run(args);
    std::fflush(stdout);
    return rc;
  } catch (const std::bad_alloc&) {
    Fail("out of memory");
  } catch (...) {
    Fail("unexpected failure");
  }
  return kExitFailed;
}
