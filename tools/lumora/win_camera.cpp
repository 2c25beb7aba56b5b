// The lumora tool's access to cameras through Lumora's public COM classes.
#include "tools/lumora/win_camera.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "property/catalogue.h"
#include "tools/cli_args.h"
#include "tools/json_output.h"
#include "tools/lumora/xu_source_win.h"
#include "tools/profile.h"

namespace lumora::tool {

namespace {

bool jsonErrors = false;
bool errorWritten = false;

}  // namespace

void SetJsonErrors(bool json) { jsonErrors = json; }

// User text inside the message (arguments, paths, profile lines) cannot
// break it: its control characters are escaped.
void Fail(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(&message[0], message.size() + 1, format, args);
  va_end(args);
  if (jsonErrors) {
    if (!errorWritten) std::fputs(json::ErrorDocument(message).c_str(), stdout);
    errorWritten = true;
  } else {
    std::fprintf(stderr, "lumora: %s\n", cli::Printable(message).c_str());
  }
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

namespace {

std::string ReadString(IVCapFilter* filter, HRESULT (STDMETHODCALLTYPE IVCapFilter::*get)(BSTR*)) {
  Bstr value;
  if (FAILED((filter->*get)(value.Receive()))) return std::string();
  return com::NarrowToUtf8(std::wstring_view(value.Get(), value.Length()));
}

}  // namespace

HRESULT ListCameras(std::vector<Camera>* cameras) {
  ComPtr<IVCapFilterEnum> enumerator;
  HRESULT hr = CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IVCapFilterEnum, &enumerator);
  if (FAILED(hr)) return hr;
  Bstr category;
  hr = enumerator->DeviceCatClsid(CGC_VideoCapture, category.Receive());
  if (FAILED(hr)) return hr;
  ComPtr<IDispatch> result;
  ComPtr<IVCapFilterEnum2> every;
  if (SUCCEEDED(enumerator.As(&every)) && every) {
    hr = every->EnumerateAllFilter(category.Get(), &result);
  } else {
    hr = enumerator->EnumerateFilter(category.Get(), &result);
  }
  if (FAILED(hr)) return hr;
  if (!result) return E_POINTER;
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
    ComPtr<IVCapFilter2> described;
    if (FAILED(camera.filter.As(&described)) || !described ||
        FAILED(described->get_SourceKind(&camera.kind))) {
      camera.kind = 0;
    }
    cameras->push_back(std::move(camera));
  }
  std::stable_sort(cameras->begin(), cameras->end(),
                   [](const Camera& a, const Camera& b) { return a.index < b.index; });
  for (size_t i = 0; i < cameras->size(); ++i) (*cameras)[i].position = i;
  return S_OK;
}

HRESULT OpenControl(Camera* camera, ComPtr<IDVidCapCtrl>* control, int32_t* chipsetOut) {
  ComPtr<IDVidCapCtrl> ctrl;
  HRESULT hr =
      CoCreateInstance(CLSID_DVidCapCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IDVidCapCtrl, &ctrl);
  if (FAILED(hr)) return hr;
  ComPtr<IDispatch> descriptor;
  hr = camera->filter.As(&descriptor);
  if (FAILED(hr)) return hr;
  HRESULT attach = ctrl->put_CaptureFilter(descriptor.Get());
  ::KnownChipsetCat chipset = ::CSX_Unknown;
  hr = ctrl->get_Chipset(&chipset);
  if (FAILED(hr)) return FAILED(attach) ? attach : hr;
  camera->id.chipset = lumora::ChipsetName(chipset);
  camera->opened = true;
  if (chipsetOut != nullptr) *chipsetOut = chipset;
  *control = ctrl;
  return S_OK;
}

int OpenCamera(const std::string& cam, Camera* chosen, ComPtr<IDVidCapCtrl>* control,
               int32_t* chipset) {
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
  hr = OpenControl(chosen, control, chipset);
  if (FAILED(hr)) {
    Fail("cannot open camera %zu %s (%s)", position + 1, cli::Quoted(chosen->id.name).c_str(),
         HrText(hr).c_str());
    return kExitFailed;
  }
  return kExitOk;
}

int32_t Support(IDVidCapCtrl* ctrl, int32_t property) {
  ::VidCapPropertySupport support = ::VCS_no;
  if (ctrl->Has(static_cast<::VidCapProperty>(property), &support) != S_OK) return ::VCS_no;
  return support;
}

bool Range(IDVidCapCtrl* ctrl, int32_t property, long* min, long* max) {
  long step = 0, def = 0, caps = 0;
  return SUCCEEDED(
      ctrl->GetRange(static_cast<::VidCapProperty>(property), min, max, &step, &def, &caps));
}

ControlTarget::ControlTarget(IDVidCapCtrl* ctrl, std::string devicePath)
    : ctrl_(ctrl), devicePath_(std::move(devicePath)) {
  if (FAILED(ctrl->QueryInterface(IID_IDVidCapCtrl2, &modes_))) modes_.Reset();
  xu_ = OpenXu(ctrl);
}

HResult ControlTarget::Get(int32_t property, int32_t* value) {
  long v = 0;
  HRESULT hr = ctrl_->get_Prop(static_cast<::VidCapProperty>(property), &v);
  if (SUCCEEDED(hr)) *value = static_cast<int32_t>(v);
  return hr;
}

HResult ControlTarget::Set(int32_t property, int32_t value) {
  return ctrl_->put_Prop(static_cast<::VidCapProperty>(property), value);
}

HResult ControlTarget::GetMode(int32_t property, int32_t* mode) {
  if (!modes_) return E_NOTIMPL;
  ::VidCapPropertyMode m = ::VCM_Manual;
  HRESULT hr = modes_->get_Mode(static_cast<::VidCapProperty>(property), &m);
  if (SUCCEEDED(hr)) *mode = m == ::VCM_Auto ? lumora::VCM_Auto : lumora::VCM_Manual;
  return hr;
}

HResult ControlTarget::SetMode(int32_t property, int32_t mode) {
  if (!modes_) return E_NOTIMPL;
  if (mode != lumora::VCM_Auto && mode != lumora::VCM_Manual) return E_INVALIDARG;
  return modes_->put_Mode(static_cast<::VidCapProperty>(property),
                          mode == lumora::VCM_Auto ? ::VCM_Auto : ::VCM_Manual);
}

int32_t ControlTarget::Support(int32_t property) { return tool::Support(ctrl_, property); }

bool ControlTarget::Range(int32_t property, int32_t* min, int32_t* max) {
  int32_t step = 0, def = 0;
  return SUCCEEDED(Range(property, min, max, &step, &def));
}

int32_t ControlTarget::ModeSupport(int32_t property) {
  int32_t modes = 0;
  return ModeSupport(property, &modes) == S_OK ? modes : 0;
}

HResult ControlTarget::Support(int32_t property, int32_t* support) {
  ::VidCapPropertySupport s = ::VCS_no;
  HRESULT hr = ctrl_->Has(static_cast<::VidCapProperty>(property), &s);
  if (SUCCEEDED(hr)) *support = s;
  return hr;
}

HResult ControlTarget::Range(int32_t property, int32_t* min, int32_t* max, int32_t* step,
                             int32_t* defaultValue) {
  long lo = 0, hi = 0, delta = 0, def = 0, caps = 0;
  HRESULT hr =
      ctrl_->GetRange(static_cast<::VidCapProperty>(property), &lo, &hi, &delta, &def, &caps);
  if (SUCCEEDED(hr)) {
    *min = lo;
    *max = hi;
    *step = delta;
    *defaultValue = def;
  }
  return hr;
}

HResult ControlTarget::ModeSupport(int32_t property, int32_t* modes) {
  if (!modes_) return E_NOTIMPL;
  long bits = 0;
  HRESULT hr = modes_->ModeSupport(static_cast<::VidCapProperty>(property), &bits);
  if (SUCCEEDED(hr)) *modes = static_cast<int32_t>(bits & (lumora::VCM_Auto | lumora::VCM_Manual));
  return hr;
}

HResult ControlTarget::Default(int32_t property, int32_t* value) {
  if (!modes_) return E_NOTIMPL;
  long v = 0;
  HRESULT hr = modes_->get_DefaultValue(static_cast<::VidCapProperty>(property), &v);
  if (SUCCEEDED(hr)) *value = static_cast<int32_t>(v);
  return hr;
}

HResult ControlTarget::ReadSettings(int16_t* elements, uint32_t count) {
  com::SafeArray array(SafeArrayCreateVector(VT_I2, 0, count));
  if (array.Get() == nullptr) return E_OUTOFMEMORY;
  SAFEARRAY* raw = array.Detach();
  HRESULT hr = ctrl_->GetSetting(&raw);
  array.Reset(raw);
  if (SUCCEEDED(hr) && raw != nullptr && raw->rgsabound[0].cElements == count) {
    com::SafeArrayLockGuard lock(raw);
    hr = lock.LockResult();
    if (SUCCEEDED(hr)) std::copy_n(static_cast<const int16_t*>(raw->pvData), count, elements);
  } else if (SUCCEEDED(hr)) {
    hr = E_UNEXPECTED;
  }
  return hr;
}

bool ControlTarget::Present() {
  if (devicePath_.empty()) return true;
  std::vector<Camera> cameras;
  if (FAILED(ListCameras(&cameras))) return false;
  for (const Camera& c : cameras) {
    if (cli::EqualNoCase(c.id.devicePath, devicePath_)) return true;
  }
  return false;
}

bool QuoteArgument(const std::wstring& arg, std::wstring* out) {
  if (arg.find(L'"') != std::wstring::npos) return false;
  std::wstring text = L"\"" + arg;
  size_t slashes = 0;
  for (auto it = arg.rbegin(); it != arg.rend() && *it == L'\\'; ++it) ++slashes;
  text.append(slashes, L'\\');
  *out += text + L"\"";
  return true;
}

bool ReadFile(const std::string& path, std::string* text, std::string* error) {
  FILE* file = _wfopen(com::WidenUtf8(path).c_str(), L"rb");
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
  std::wstring target = com::WidenUtf8(path);
  std::wstring temp = target + L".tmp";
  // Binary: the file holds exactly what FormatProfile wrote, as it is read.
  FILE* file = _wfopen(temp.c_str(), L"wb");
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

bool ReadProfile(const std::string& path, cli::Profile* profile, std::string* error) {
  std::string text;
  if (!ReadFile(path, &text, error)) return false;
  if (!cli::ParseProfile(text, profile, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace lumora::tool
