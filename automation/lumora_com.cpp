// LumoraCOM: the simple camera API for automation clients. Every instance
// owns one CLumoraAPIclass (its own camera list and current camera), turns
// its true/false into S_OK/E_FAIL and its narrow string tables into safe
// arrays of automation strings.
#include <memory>
#include <utility>

#include "automation/lumora_com.h"
#include "com/com_object.h"
#include "lumora_idl.h"
#include "com/raii.h"
#include "com/variant_array.h"
#include "simpleapi/ansi_text.h"
#include "simpleapi/camera_manager.h"
#include "lumora.h"

namespace lumora {
namespace {

using Api = CLumoraAPIclass;
using TableGetter = void (Api::*)(char* (** const)[LUMORA_MAX_CAMS], unsigned long*);

HRESULT Result(bool ok) noexcept { return ok ? S_OK : E_FAIL; }

Api::EVidCapProperty ApiProperty(::VidCapProperty property) noexcept {
  return static_cast<Api::EVidCapProperty>(property);
}

// The texts of one of the object's string tables, widened.
struct TableTexts {
  com::Bstr texts[LUMORA_MAX_CAMS];
  ULONG count = 0;
};

// E_ABORT when no camera is listed, E_INVALIDARG for a text that does not
// convert.
HRESULT ReadTable(Api& api, TableGetter getter, TableTexts* out) noexcept {
  char*(*table)[LUMORA_MAX_CAMS] = nullptr;
  unsigned long count = 0;
  (api.*getter)(&table, &count);
  if (count == 0 || !table) return E_ABORT;
  if (count > LUMORA_MAX_CAMS) return E_UNEXPECTED;
  for (ULONG i = 0; i < count; ++i) {
    HRESULT hr = com::WidenAnsi((*table)[i], &out->texts[i]);
    if (FAILED(hr)) return hr;
  }
  out->count = static_cast<ULONG>(count);
  return S_OK;
}

// One of the object's string tables as a new array of automation strings,
// bounds 0 to count-1. E_ABORT when no camera is listed; nothing is handed
// out on failure.
HRESULT StringArray(Api& api, TableGetter getter, SAFEARRAY** out) noexcept {
  if (!out) return E_POINTER;
  TableTexts table;
  HRESULT hr = ReadTable(api, getter, &table);
  if (FAILED(hr)) return hr;
  com::SafeArray array(SafeArrayCreateVector(VT_BSTR, 0, table.count));
  if (!array.Get()) return E_OUTOFMEMORY;
  for (LONG i = 0; i < static_cast<LONG>(table.count); ++i) {
    // The array stores its own copy of the string.
    if (FAILED(SafeArrayPutElement(array.Get(), &i, table.texts[i].Get()))) return E_OUTOFMEMORY;
  }
  *out = array.Detach();
  return S_OK;
}

// The same table as an array of VARIANTs holding strings, which script
// hosts read.
HRESULT StringList(Api& api, TableGetter getter, VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  TableTexts table;
  HRESULT hr = ReadTable(api, getter, &table);
  if (FAILED(hr)) return hr;
  com::VariantArray list;
  hr = list.Create(table.count);
  for (ULONG i = 0; SUCCEEDED(hr) && i < table.count; ++i) {
    hr = list.PutString(i, std::move(table.texts[i]));
  }
  return SUCCEEDED(hr) ? list.Detach(out) : hr;
}

// Where a script engine's by-reference argument lets a method write a
// 32-bit result: a typed reference (VT_BYREF|VT_I4) or a reference to a
// whole variant (VT_BYREF|VT_VARIANT), which is what script variables are.
LONG* OutLong(VARIANT& arg) noexcept {
  if (arg.vt == (VT_BYREF | VT_I4)) return arg.plVal;
  return nullptr;
}
bool IsVariantRef(const VARIANT& arg) noexcept {
  return arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal;
}

// One IDispatch serves ILumoraCOM and its extensions ILumoraCOM2 to
// ILumoraCOM4 (from the type information of the most derived interface).
class LumoraCOM : public com::Dispatch<ILumoraCOM4> {
 public:
  // std::bad_alloc reaches the class object, which answers E_OUTOFMEMORY.
  LumoraCOM() : api_(std::make_unique<Api>()) {}

  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(ILumoraCOM) || riid == __uuidof(ILumoraCOM2) ||
        riid == __uuidof(ILumoraCOM3) || riid == __uuidof(ILumoraCOM4) || riid == IID_IDispatch) {
      return static_cast<ILumoraCOM4*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP EnumCams() override { return Result(api_->EnumCams()); }

  // ILumoraCOM3: the list from every capture source.
  IFACEMETHODIMP EnumAllCams() override {
    simpleapi::CameraManager* manager = simpleapi::ManagerOf(*api_);
    return Result(manager && manager->EnumAllCams());
  }

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

  // ILumoraCOM2: the tables and the range as arrays of VARIANTs.
  IFACEMETHODIMP get_CamNameList(VARIANT* pVal) override {
    return StringList(*api_, &Api::GetCamStrings, pVal);
  }
  IFACEMETHODIMP get_DevNameList(VARIANT* pVal) override {
    return StringList(*api_, &Api::GetDevStrings, pVal);
  }
  IFACEMETHODIMP get_CamSerialList(VARIANT* pVal) override {
    return StringList(*api_, &Api::GetCamSerials, pVal);
  }

  // Minimum, maximum, stepping delta and, where known, the default (see
  // CameraManager::RangeList).
  IFACEMETHODIMP get_CamProperty_RangeList(::VidCapProperty property, VARIANT* pVal) override {
    if (!pVal) return E_POINTER;
    simpleapi::CameraManager* manager = simpleapi::ManagerOf(*api_);
    if (!manager) return E_FAIL;
    LONG values[4] = {};
    ULONG count = 0;
    HRESULT hr = manager->RangeList(property, values, &count);
    if (FAILED(hr)) return hr;
    return com::LongList(values, count, pVal);
  }

  // Script engines hand their variables to CamProperty_Range's out
  // parameters as references to variants, which the type information
  // (long*) refuses; such calls are served here, everything else by the
  // type information.
  IFACEMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    if (id == kRangeDispid && riid == IID_NULL && (flags & DISPATCH_METHOD) && params &&
        params->cArgs == 4 && params->cNamedArgs == 0 && params->rgvarg &&
        (IsVariantRef(params->rgvarg[0]) || IsVariantRef(params->rgvarg[1]) ||
         IsVariantRef(params->rgvarg[2]))) {
      return InvokeRangeWithVariants(params, result, exception, argError);
    }
    return Dispatch::Invoke(id, riid, lcid, flags, params, result, exception, argError);
  }

  IFACEMETHODIMP get_CamChipset(::KnownChipsetCat* pVal) override {
    if (!pVal) return E_POINTER;
    Api::EKnownChipsetCat chipset = Api::CSX_Unknown;
    if (!api_->CamChipset(&chipset)) return E_FAIL;
    *pVal = static_cast<::KnownChipsetCat>(chipset);
    return S_OK;
  }

  // ILumoraCOM2: modes and defaults of the current camera's properties, with
  // the manager's results (E_ABORT, E_FAIL, E_INVALIDARG, or the control's).
  IFACEMETHODIMP CamProperty_ModeSupport(::VidCapProperty property, LONG* pVal) override {
    simpleapi::CameraManager* manager = simpleapi::ManagerOf(*api_);
    return manager ? manager->ModeSupport(property, pVal) : E_FAIL;
  }

  IFACEMETHODIMP get_CamProperty_Mode(::VidCapProperty property,
                                      ::VidCapPropertyMode* pVal) override {
    if (!pVal) return E_POINTER;
    simpleapi::CameraManager* manager = simpleapi::ManagerOf(*api_);
    if (!manager) return E_FAIL;
    LONG mode = 0;
    HRESULT hr = manager->GetMode(property, &mode);
    if (SUCCEEDED(hr)) *pVal = static_cast<::VidCapPropertyMode>(mode);
    return hr;
  }

  IFACEMETHODIMP put_CamProperty_Mode(::VidCapProperty property,
                                      ::VidCapPropertyMode newVal) override {
    simpleapi::CameraManager* manager = simpleapi::ManagerOf(*api_);
    return manager ? manager->SetMode(property, newVal) : E_FAIL;
  }

  IFACEMETHODIMP get_CamProperty_Default(::VidCapProperty property, LONG* pVal) override {
    simpleapi::CameraManager* manager = simpleapi::ManagerOf(*api_);
    return manager ? manager->Default(property, pVal) : E_FAIL;
  }

  // ILumoraCOM4: the current camera's extension units, answered by its
  // control's IDVidCapCtrl3 (E_ABORT while no camera is listed, E_FAIL
  // without a current camera).
  IFACEMETHODIMP get_CamXu_Units(VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuUnits(pVal); });
  }
  IFACEMETHODIMP get_CamXu_UnnamedNodes(VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuUnnamedNodes(pVal); });
  }
  IFACEMETHODIMP get_CamXu_UnitName(BSTR unit, BSTR* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuUnitName(unit, pVal); });
  }
  IFACEMETHODIMP get_CamXu_ControlName(BSTR unit, LONG selector, BSTR* pVal) override {
    return OnControl3(
        [&](IDVidCapCtrl3* c) { return c->get_XuControlName(unit, selector, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Controls(BSTR unit, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuControls(unit, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Length(BSTR unit, LONG selector, LONG* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuLength(unit, selector, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Access(BSTR unit, LONG selector, LONG* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuAccess(unit, selector, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Minimum(BSTR unit, LONG selector, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuMinimum(unit, selector, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Maximum(BSTR unit, LONG selector, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuMaximum(unit, selector, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Resolution(BSTR unit, LONG selector, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuResolution(unit, selector, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Default(BSTR unit, LONG selector, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuDefault(unit, selector, pVal); });
  }
  IFACEMETHODIMP get_CamXu_Value(BSTR unit, LONG selector, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuValue(unit, selector, pVal); });
  }
  IFACEMETHODIMP put_CamXu_Value(BSTR unit, LONG selector, VARIANT newVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->put_XuValue(unit, selector, newVal); });
  }
  IFACEMETHODIMP get_CamXu_Names(VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuNames(pVal); });
  }
  IFACEMETHODIMP get_CamXu_NamedInfo(BSTR name, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuNamedInfo(name, pVal); });
  }
  IFACEMETHODIMP get_CamXu_NamedValue(BSTR name, VARIANT* pVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->get_XuNamedValue(name, pVal); });
  }
  IFACEMETHODIMP put_CamXu_NamedValue(BSTR name, VARIANT newVal) override {
    return OnControl3([&](IDVidCapCtrl3* c) { return c->put_XuNamedValue(name, newVal); });
  }

 private:
  static constexpr DISPID kRangeDispid = 7;

  template <class Call>
  HRESULT OnControl3(Call call) noexcept {
    simpleapi::CameraManager* manager = simpleapi::ManagerOf(*api_);
    if (!manager) return E_FAIL;
    Microsoft::WRL::ComPtr<IDVidCapCtrl3> control;
    HRESULT hr = manager->Control3(&control);
    return SUCCEEDED(hr) ? call(control.Get()) : hr;
  }

  // CamProperty_Range(Prop, pMin, pMax, pDelta): arguments arrive in
  // reverse order (rgvarg[3] is Prop).
  HRESULT InvokeRangeWithVariants(DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                  UINT* argError) noexcept {
    com::Variant property;
    if (FAILED(VariantChangeType(property.Get(), &params->rgvarg[3], 0, VT_I4))) {
      if (argError) *argError = 3;
      return DISP_E_TYPEMISMATCH;
    }
    for (UINT i = 0; i < 3; ++i) {
      if (!OutLong(params->rgvarg[i]) && !IsVariantRef(params->rgvarg[i])) {
        if (argError) *argError = i;
        return DISP_E_TYPEMISMATCH;
      }
    }
    LONG values[3] = {};  // minimum, maximum, delta
    HRESULT hr = CamProperty_Range(static_cast<::VidCapProperty>(property.Get()->lVal), &values[0],
                                   &values[1], &values[2]);
    if (FAILED(hr)) return com::MemberFailure(hr, exception);
    for (UINT i = 0; i < 3; ++i) {
      VARIANT& arg = params->rgvarg[2 - i];
      if (LONG* out = OutLong(arg)) {
        *out = values[i];
      } else {
        VariantClear(arg.pvarVal);
        arg.pvarVal->vt = VT_I4;
        arg.pvarVal->lVal = values[i];
      }
    }
    if (result) VariantInit(result);
    return S_OK;
  }

  std::unique_ptr<Api> api_;
};

}  // namespace

HRESULT CreateLumoraCOM(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<LumoraCOM>(outer, riid, ppv);
}

}  // namespace lumora
