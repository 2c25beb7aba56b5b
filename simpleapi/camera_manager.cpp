#include "simpleapi/camera_manager.h"

#include <oleauto.h>

#include <cstring>
#include <string>

#include "com/error_info.h"
#include "com/raii.h"
#include "com/text.h"
#include "property/catalogue.h"

using Microsoft::WRL::ComPtr;

namespace lumora::simpleapi {
namespace {

// Highest property numbers the simple API forwards: support for the whole
// catalogue, range and value for the rows the catalogue lets value calls
// reach (VCP_SWTrigger; the camera-control properties VCP_Pan to VCP_Focus
// are not reachable for those).
constexpr ULONG kLastSupportProperty = VCP_LastElement;
constexpr ULONG kLastValueProperty = catalogue::kValueCallRows - 1;

bool InRange(LONG property, ULONG last) noexcept { return static_cast<ULONG>(property) <= last; }

// Reads one string property of a filter; a failing getter reads as empty.
template <class Getter>
com::Bstr ReadText(IVCapFilter* filter, Getter getter) noexcept {
  com::Bstr text;
  if (FAILED((filter->*getter)(text.Receive()))) text.Reset();
  return text;
}

}  // namespace

CameraManager::CameraManager(ComSetup setup) noexcept : setup_(setup) {
  if (setup_ == ComSetup::kAtConstruction) InitialiseCom();
}

CameraManager::~CameraManager() {
  control_.Reset();
  ClearLists();
  if (comInitialised_ && setup_ == ComSetup::kAtConstruction) CoUninitialize();
}

void CameraManager::InitialiseCom() noexcept {
  if (comTried_) return;
  comTried_ = true;
  // A thread already in another apartment answers RPC_E_CHANGED_MODE; COM
  // is usable there all the same, but that call must not be balanced.
  comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
}

void CameraManager::ClearLists() noexcept {
  for (auto& filter : filters_) filter.Reset();
  camNames_.Clear();
  devNames_.Clear();
  camSerials_.Clear();
  count_ = 0;
  collection_.Reset();
}

bool CameraManager::EnumCams() noexcept { return Enumerate(false); }

bool CameraManager::EnumAllCams() noexcept { return Enumerate(true); }

bool CameraManager::Enumerate(bool allSources) noexcept {
  InitialiseCom();
  ClearLists();

  ComPtr<IVCapFilterEnum> enumerator;
  if (CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IVCapFilterEnum,
                       &enumerator) != S_OK) {
    return false;
  }
  com::Bstr category;
  if (FAILED(enumerator->DeviceCatClsid(CGC_VideoCapture, category.Receive()))) return false;
  ComPtr<IDispatch> collection;
  HRESULT listed = E_FAIL;
  if (allSources) {
    ComPtr<IVCapFilterEnum2> every;
    if (FAILED(enumerator.As(&every)) || !every) return false;
    listed = every->EnumerateAllFilter(category.Get(), &collection);
  } else {
    listed = enumerator->EnumerateFilter(category.Get(), &collection);
  }
  if (FAILED(listed) || !collection) return false;
  ComPtr<IVCapCollection> items;
  ComPtr<IUnknown> newEnum;
  ComPtr<IEnumVARIANT> walker;
  if (FAILED(collection.As(&items)) || FAILED(items->get__NewEnum(&newEnum)) || !newEnum ||
      FAILED(newEnum.As(&walker))) {
    return false;
  }
  if (!Fill(walker.Get())) {
    ClearLists();
    return false;
  }
  collection_ = std::move(collection);
  return true;
}

bool CameraManager::Fill(IEnumVARIANT* items) noexcept {
  while (count_ < kCapacity) {
    com::Variant item;
    ULONG fetched = 0;
    if (FAILED(items->Next(1, item.Get(), &fetched)) || fetched == 0) break;
    ComPtr<IVCapFilter> filter;
    const VARIANT& v = *item.Get();
    IUnknown* object = v.vt == VT_DISPATCH ? v.pdispVal : v.vt == VT_UNKNOWN ? v.punkVal : nullptr;
    if (!object || FAILED(object->QueryInterface(IID_IVCapFilter, &filter))) return false;

    const int slot = count_;
    if (!camNames_.Set(slot, ReadText(filter.Get(), &IVCapFilter::get_FName).Get()) ||
        !devNames_.Set(slot, ReadText(filter.Get(), &IVCapFilter::get_DeviceName).Get()) ||
        !camSerials_.Set(slot, ReadText(filter.Get(), &IVCapFilter::get_DevSerial).Get())) {
      return false;
    }
    filters_[slot] = std::move(filter);
    ++count_;
  }
  return true;
}

bool CameraManager::SetCam(LONG index) noexcept {
  control_.Reset();
  if (index < 0) return true;
  if (index >= kCapacity || !filters_[index]) return false;
  InitialiseCom();

  ComPtr<IDVidCapCtrl> control;
  if (FAILED(CoCreateInstance(CLSID_DVidCapCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IDVidCapCtrl,
                              &control)) ||
      !control) {
    return false;
  }
  if (FAILED(control->put_CaptureFilter(filters_[index].Get()))) return false;
  control_ = std::move(control);
  return true;
}

bool CameraManager::CamProperty_Support(LONG property, LONG* support) noexcept {
  if (!control_ || !support || !InRange(property, kLastSupportProperty)) return false;
  ::VidCapPropertySupport value = ::VCS_no;
  if (FAILED(control_->Has(static_cast<::VidCapProperty>(property), &value))) return false;
  *support = value;
  return true;
}

bool CameraManager::CamProperty_Range(LONG property, LONG* minimum, LONG* maximum,
                                      LONG* delta) noexcept {
  if (!control_ || !minimum || !maximum || !delta || !InRange(property, kLastValueProperty)) {
    return false;
  }
  LONG lo = 0, hi = 0, step = 0, byDefault = 0, caps = 0;
  if (FAILED(control_->GetRange(static_cast<::VidCapProperty>(property), &lo, &hi, &step,
                                &byDefault, &caps))) {
    return false;
  }
  *minimum = lo;
  *maximum = hi;
  *delta = step;
  return true;
}

bool CameraManager::CamProperty_Set(LONG property, LONG value) noexcept {
  if (!control_ || !InRange(property, kLastValueProperty)) return false;
  return SUCCEEDED(control_->put_Prop(static_cast<::VidCapProperty>(property), value));
}

bool CameraManager::CamProperty_Get(LONG property, LONG* value) noexcept {
  if (!control_ || !value || !InRange(property, kLastValueProperty)) return false;
  LONG read = 0;
  if (FAILED(control_->get_Prop(static_cast<::VidCapProperty>(property), &read))) return false;
  *value = read;
  return true;
}

HRESULT CameraManager::Control2(LONG property, ComPtr<IDVidCapCtrl2>* control) noexcept {
  if (!control_) return count_ == 0 ? E_ABORT : E_FAIL;
  if (!InRange(property, kLastSupportProperty)) return E_INVALIDARG;
  return control_.As(control);
}

HRESULT CameraManager::Control3(ComPtr<IDVidCapCtrl3>* control) noexcept {
  if (!control_) {
    return com::ReportError(count_ == 0 ? E_ABORT : E_FAIL,
                            count_ == 0 ? "no camera is listed" : "no camera is current");
  }
  return control_.As(control);
}

HRESULT CameraManager::XuGet(const char* unit, LONG selector, unsigned char* buffer, ULONG size,
                             ULONG* length) noexcept {
  if (!unit || !length || (!buffer && size != 0)) return E_POINTER;
  ComPtr<IDVidCapCtrl3> control;
  HRESULT hr = Control3(&control);
  com::Bstr name;
  if (SUCCEEDED(hr)) hr = com::WidenAnsi(unit, &name);
  LONG controlLength = 0;
  if (SUCCEEDED(hr)) hr = control->get_XuLength(name.Get(), selector, &controlLength);
  if (FAILED(hr)) return hr;
  if (static_cast<ULONG>(controlLength) > size) {
    *length = static_cast<ULONG>(controlLength);
    if (!buffer) return S_OK;
    return com::ReportError(HRESULT_FROM_WIN32(ERROR_MORE_DATA),
                            "the control takes " + std::to_string(controlLength) +
                                " bytes, the buffer has " + std::to_string(size));
  }
  com::Variant value;
  hr = control->get_XuValue(name.Get(), selector, value.Get());
  if (FAILED(hr)) return hr;
  SAFEARRAY* array = value.Get()->parray;
  if (value.Get()->vt != (VT_ARRAY | VT_UI1) || !array) return E_UNEXPECTED;
  const ULONG count = array->rgsabound[0].cElements;
  if (count > size) return E_UNEXPECTED;
  if (count > 0) std::memcpy(buffer, array->pvData, count);
  *length = count;
  return S_OK;
}

HRESULT CameraManager::XuSet(const char* unit, LONG selector, const unsigned char* data,
                             ULONG length) noexcept {
  if (!unit || (!data && length != 0)) return E_POINTER;
  ComPtr<IDVidCapCtrl3> control;
  HRESULT hr = Control3(&control);
  com::Bstr name;
  if (SUCCEEDED(hr)) hr = com::WidenAnsi(unit, &name);
  if (FAILED(hr)) return hr;
  com::Variant value;
  com::SafeArray array(SafeArrayCreateVector(VT_UI1, 0, length));
  if (!array.Get()) return E_OUTOFMEMORY;
  if (length > 0) std::memcpy(array.Get()->pvData, data, length);
  value.Get()->vt = VT_ARRAY | VT_UI1;
  value.Get()->parray = array.Detach();
  return control->put_XuValue(name.Get(), selector, *value.Get());
}

HRESULT CameraManager::ModeSupport(LONG property, LONG* modes) noexcept {
  if (!modes) return E_POINTER;
  ComPtr<IDVidCapCtrl2> control;
  HRESULT hr = Control2(property, &control);
  if (SUCCEEDED(hr)) hr = control->ModeSupport(static_cast<::VidCapProperty>(property), modes);
  return hr;
}

HRESULT CameraManager::GetMode(LONG property, LONG* mode) noexcept {
  if (!mode) return E_POINTER;
  ComPtr<IDVidCapCtrl2> control;
  HRESULT hr = Control2(property, &control);
  if (FAILED(hr)) return hr;
  ::VidCapPropertyMode value = ::VCM_Manual;
  hr = control->get_Mode(static_cast<::VidCapProperty>(property), &value);
  if (SUCCEEDED(hr)) *mode = value;
  return hr;
}

HRESULT CameraManager::SetMode(LONG property, LONG mode) noexcept {
  ComPtr<IDVidCapCtrl2> control;
  HRESULT hr = Control2(property, &control);
  if (FAILED(hr)) return hr;
  return control->put_Mode(static_cast<::VidCapProperty>(property),
                           static_cast<::VidCapPropertyMode>(mode));
}

HRESULT CameraManager::Default(LONG property, LONG* value) noexcept {
  if (!value) return E_POINTER;
  ComPtr<IDVidCapCtrl2> control;
  HRESULT hr = Control2(property, &control);
  if (SUCCEEDED(hr)) {
    hr = control->get_DefaultValue(static_cast<::VidCapProperty>(property), value);
  }
  return hr;
}

HRESULT CameraManager::RangeList(LONG property, LONG (&values)[4], ULONG* count) noexcept {
  if (!count) return E_POINTER;
  if (!control_) return count_ == 0 ? E_ABORT : E_FAIL;
  if (!InRange(property, kLastValueProperty)) return E_INVALIDARG;
  if (!CamProperty_Range(property, &values[0], &values[1], &values[2])) return E_FAIL;
  *count = SUCCEEDED(Default(property, &values[3])) ? 4 : 3;
  return S_OK;
}

bool CameraManager::CamChipset(LONG* chipset) noexcept {
  if (!control_ || !chipset) return false;
  ::KnownChipsetCat value = ::CSX_Unknown;
  if (FAILED(control_->get_Chipset(&value))) value = ::CSX_Unknown;
  *chipset = value;
  return true;
}

}  // namespace lumora::simpleapi
