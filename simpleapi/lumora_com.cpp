// LumoraCOM: the simple camera API for automation clients. Every instance
// owns one CLumoraAPIclass (its own camera list and current camera), turns
// its true/false into S_OK/E_FAIL and its narrow string tables into safe
// arrays of automation strings.
#include <memory>

#include "module/classes.h"
#include "module/com_object.h"
#include "module/lumora_idl.h"
#include "module/raii.h"
#include "simpleapi/ansi_text.h"
#include "simpleapi/lumora.h"

namespace lumora {
namespace {

using Api = CLumoraAPIclass;
using TableGetter = void (Api::*)(char* (**const)[LUMORA_MAX_CAMS], unsigned long*);

HRESULT Result(bool ok) noexcept { return ok ? S_OK : E_FAIL; }

Api::EVidCapProperty ApiProperty(::VidCapProperty property) noexcept {
  return static_cast<Api::EVidCapProperty>(property);
}

// One of the object's string tables as a new array of automation strings,
// bounds 0 to count-1. E_ABORT when no camera is listed; nothing is handed
// out on failure.
HRESULT StringArray(Api& api, TableGetter getter, SAFEARRAY** out) noexcept {
  if (!out) return E_POINTER;
  char* (*table)[LUMORA_MAX_CAMS] = nullptr;
  unsigned long count = 0;
  (api.*getter)(&table, &count);
  if (count == 0 || !table) return E_ABORT;
  if (count > LUMORA_MAX_CAMS) return E_UNEXPECTED;

  com::SafeArray array(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(count)));
  if (!array.Get()) return E_OUTOFMEMORY;
  for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
    com::Bstr text;
    HRESULT hr = simpleapi::WidenAnsi((*table)[i], &text);
    if (FAILED(hr)) return hr;
    // The array stores its own copy of the string.
    if (FAILED(SafeArrayPutElement(array.Get(), &i, text.Get()))) return E_OUTOFMEMORY;
  }
  *out = array.Detach();
  return S_OK;
}

class LumoraCOM : public com::Dispatch<ILumoraCOM> {
 public:
  // std::bad_alloc reaches the class object, which answers E_OUTOFMEMORY.
  LumoraCOM() : api_(std::make_unique<Api>()) {}

  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(ILumoraCOM) || riid == IID_IDispatch) {
      return static_cast<ILumoraCOM*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP EnumCams() override { return Result(api_->EnumCams()); }

  IFACEMETHODIMP GetCamStrings(SAFEARRAY** camNames) override {
    return StringArray(*api_, &Api::GetCamStrings, camNames);
  }
  IFACEMETHODIMP GetDevStrings(SAFEARRAY** devNames) override {
    return StringArray(*api_, &Api::GetDevStrings, devNames);
  }
  IFACEMETHODIMP GetCamSerials(SAFEARRAY** camSerials) override {
    return StringArray(*api_, &Api::GetCamSerials, camSerials);
  }

  IFACEMETHODIMP SetCam(LONG camNumber) override { return Result(api_->SetCam(camNumber)); }

  IFACEMETHODIMP CamProperty_Support(::VidCapProperty property,
                                     ::VidCapPropertySupport* pVal) override {
    if (!pVal) return E_POINTER;
    Api::EVidCapPropertySupport support = Api::VCS_no;
    if (!api_->CamProperty_Support(ApiProperty(property), &support)) return E_FAIL;
    *pVal = static_cast<::VidCapPropertySupport>(support);
    return S_OK;
  }

  IFACEMETHODIMP CamProperty_Range(::VidCapProperty property, LONG* pMin, LONG* pMax,
                                   LONG* pDelta) override {
    if (!pMin || !pMax || !pDelta) return E_POINTER;
    return Result(api_->CamProperty_Range(ApiProperty(property), pMin, pMax, pDelta));
  }

  IFACEMETHODIMP get_CamProperty(::VidCapProperty property, LONG* pVal) override {
    if (!pVal) return E_POINTER;
    return Result(api_->CamProperty_Get(ApiProperty(property), pVal));
  }

  IFACEMETHODIMP put_CamProperty(::VidCapProperty property, LONG newVal) override {
    return Result(api_->CamProperty_Set(ApiProperty(property), newVal));
  }

  IFACEMETHODIMP get_CamChipset(::KnownChipsetCat* pVal) override {
    if (!pVal) return E_POINTER;
    Api::EKnownChipsetCat chipset = Api::CSX_Unknown;
    if (!api_->CamChipset(&chipset)) return E_FAIL;
    *pVal = static_cast<::KnownChipsetCat>(chipset);
    return S_OK;
  }

 private:
  std::unique_ptr<Api> api_;
};

}  // namespace

HRESULT CreateLumoraCOM(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<LumoraCOM>(outer, riid, ppv);
}

}  // namespace lumora
