// The extension-unit calls of a control object through IDVidCapCtrl3.
#include "tools/lumora/xu_source_win.h"

#include <cmath>
#include <optional>
#include <vector>

#include "com/raii.h"
#include "com/text.h"
#include "tools/profile.h"

namespace lumora::tool {

using Microsoft::WRL::ComPtr;
using com::Bstr;
using com::Variant;

namespace {

using xutool::Bytes;

// The elements of a one-dimensional array VARIANT (of VARIANTs or of a
// scalar type), each as a VARIANT; E_INVALIDARG for anything else.
HRESULT Elements(const VARIANT* v, std::vector<Variant>* out) {
  out->clear();
  if ((V_VT(v) & VT_ARRAY) == 0 || (V_VT(v) & VT_BYREF) != 0 || V_ARRAY(v) == nullptr) {
    return E_INVALIDARG;
  }
  SAFEARRAY* array = V_ARRAY(v);
  if (SafeArrayGetDim(array) != 1) return E_INVALIDARG;
  VARTYPE type = VT_EMPTY;
  HRESULT hr = SafeArrayGetVartype(array, &type);
  if (FAILED(hr)) return hr;
  LONG lower = 0, upper = -1;
  if (FAILED(hr = SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(hr = SafeArrayGetUBound(array, 1, &upper))) {
    return hr;
  }
  for (LONG i = lower; i <= upper; ++i) {
    Variant element;
    if (type == VT_VARIANT) {
      hr = SafeArrayGetElement(array, &i, element.Get());
    } else if (type == VT_BSTR || type == VT_I4 || type == VT_UI1 || type == VT_I2 ||
               type == VT_UI2 || type == VT_UI4 || type == VT_INT || type == VT_UINT ||
               type == VT_BOOL || type == VT_R8) {
      // Every scalar member of the VARIANT's union starts at the same place.
      hr = SafeArrayGetElement(array, &i, &V_UI1(element.Get()));
      if (SUCCEEDED(hr)) V_VT(element.Get()) = type;
    } else {
      return E_INVALIDARG;
    }
    if (FAILED(hr)) return hr;
    out->push_back(std::move(element));
  }
  return S_OK;
}

// A number from any numeric VARIANT; nullopt for Empty, Null or text.
std::optional<int64_t> Number(const VARIANT* v) {
  if (V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL || V_VT(v) == VT_BSTR) return std::nullopt;
  Variant d;
  if (FAILED(VariantChangeType(d.Get(), const_cast<VARIANT*>(v), 0, VT_R8))) return std::nullopt;
  double r = V_R8(d.Get());
  if (!(r >= -9.2e18 && r <= 9.2e18)) return std::nullopt;
  return static_cast<int64_t>(std::llround(r));
}

// The whole numbers min..max of an array; E_UNEXPECTED for anything else.
HRESULT Counts(const VARIANT* v, int64_t min, int64_t max, std::vector<uint32_t>* out) {
  std::vector<Variant> elements;
  HRESULT hr = Elements(v, &elements);
  if (FAILED(hr)) return hr;
  out->clear();
  for (const Variant& e : elements) {
    std::optional<int64_t> n = Number(e.Get());
    if (!n || *n < min || *n > max) return E_UNEXPECTED;
    out->push_back(static_cast<uint32_t>(*n));
  }
  return S_OK;
}

std::string Text(const VARIANT* v) {
  if (V_VT(v) == VT_BSTR) {
    return com::NarrowToUtf8(std::wstring_view(V_BSTR(v), SysStringLen(V_BSTR(v))));
  }
  Variant t;
  if (V_VT(v) == VT_EMPTY || FAILED(VariantChangeType(t.Get(), const_cast<VARIANT*>(v), 0, VT_BSTR))) return "";
  return Text(t.Get());
}

// Bytes of a VT_ARRAY|VT_UI1 (or an array of numbers 0-255); nullopt for
// Empty; E_INVALIDARG for another shape.
HRESULT ToBytes(const VARIANT* v, std::optional<Bytes>* out) {
  out->reset();
  if (V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL) return S_OK;
  std::vector<Variant> elements;
  HRESULT hr = Elements(v, &elements);
  if (FAILED(hr)) return hr;
  Bytes bytes;
  for (const Variant& e : elements) {
    std::optional<int64_t> n = Number(e.Get());
    if (!n || *n < 0 || *n > 255) return E_INVALIDARG;
    bytes.push_back(static_cast<uint8_t>(*n));
  }
  *out = bytes;
  return S_OK;
}

HRESULT FromBytes(const Bytes& bytes, Variant* out) {
  com::SafeArray array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())));
  if (array.Get() == nullptr) return E_OUTOFMEMORY;
  {
    com::SafeArrayLockGuard lock(array.Get());
    if (FAILED(lock.LockResult())) return lock.LockResult();
    std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(array.Get()->pvData));
  }
  VARIANT* v = out->Receive();
  V_VT(v) = VT_ARRAY | VT_UI1;
  V_ARRAY(v) = array.Detach();
  return S_OK;
}

// A named value as the tool writes it: a number, on/off, a label, hex.
std::string NamedText(const VARIANT* v) {
  if (V_VT(v) == VT_BOOL) return V_BOOL(v) != VARIANT_FALSE ? "on" : "off";
  if ((V_VT(v) & VT_ARRAY) != 0) {
    std::optional<Bytes> bytes;
    if (SUCCEEDED(ToBytes(v, &bytes)) && bytes) return xu::HexText(*bytes);
    return "";
  }
  if (V_VT(v) == VT_BSTR) return Text(v);
  std::optional<int64_t> n = Number(v);
  return n ? std::to_string(*n) : Text(v);
}

class ComXu : public xutool::XuSource {
 public:
  explicit ComXu(ComPtr<IDVidCapCtrl3> ctrl) : ctrl_(std::move(ctrl)) {}

  HResult Units(std::vector<std::string>* units) override {
    Variant v;
    HRESULT hr = Note(ctrl_->get_XuUnits(v.Receive()));
    if (FAILED(hr)) return hr;
    return Strings(v.Get(), units);
  }

  HResult DefinedName(const std::string& unit, uint32_t selector, std::string* name) override {
    com::Bstr b;
    HRESULT hr = selector == 0 ? ctrl_->get_XuUnitName(Wide(unit).Get(), b.Receive())
                               : ctrl_->get_XuControlName(Wide(unit).Get(),
                                                          static_cast<long>(selector), b.Receive());
    if (FAILED(hr)) return Note(hr);
    *name = b.Get() ? com::NarrowToUtf8(std::wstring_view(b.Get(), SysStringLen(b.Get()))) : "";
    return S_OK;
  }

  HResult UnnamedNodes(std::vector<uint32_t>* nodes) override {
    Variant v;
    HRESULT hr = Note(ctrl_->get_XuUnnamedNodes(v.Receive()));
    return FAILED(hr) ? hr : Counts(v.Get(), 0, 0xFFFFFFFFll, nodes);
  }

  HResult Controls(const std::string& unit, std::vector<uint32_t>* selectors) override {
    Variant v;
    HRESULT hr = Note(ctrl_->get_XuControls(Wide(unit).Get(), v.Receive()));
    if (FAILED(hr) || V_VT(v.Get()) == VT_EMPTY) return hr;
    return Counts(v.Get(), 1, 255, selectors);
  }

  HResult Length(const std::string& unit, uint32_t selector, uint32_t* length) override {
    long v = 0;
    HRESULT hr = Note(ctrl_->get_XuLength(Wide(unit).Get(), static_cast<long>(selector), &v));
    if (SUCCEEDED(hr)) *length = static_cast<uint32_t>(v);
    return hr;
  }

  HResult Access(const std::string& unit, uint32_t selector, uint32_t* access) override {
    long v = 0;
    HRESULT hr = Note(ctrl_->get_XuAccess(Wide(unit).Get(), static_cast<long>(selector), &v));
    if (SUCCEEDED(hr)) *access = static_cast<uint32_t>(v);
    return hr;
  }

  HResult Read(Fact fact, const std::string& unit, uint32_t selector,
               std::optional<Bytes>* value) override {
    using Getter = HRESULT (STDMETHODCALLTYPE IDVidCapCtrl3::*)(BSTR, long, VARIANT*);
    static const Getter kGetters[] = {&IDVidCapCtrl3::get_XuMinimum, &IDVidCapCtrl3::get_XuMaximum,
                                      &IDVidCapCtrl3::get_XuResolution,
                                      &IDVidCapCtrl3::get_XuDefault, &IDVidCapCtrl3::get_XuValue};
    Variant v;
    HRESULT hr = Note((ctrl_.Get()->*kGetters[static_cast<int>(fact)])(
        Wide(unit).Get(), static_cast<long>(selector), v.Receive()));
    if (FAILED(hr)) return hr;
    return ToBytes(v.Get(), value);
  }

  HResult Write(const std::string& unit, uint32_t selector, const Bytes& value) override {
    Variant v;
    HRESULT hr = FromBytes(value, &v);
    if (FAILED(hr)) return hr;
    return Note(ctrl_->put_XuValue(Wide(unit).Get(), static_cast<long>(selector), *v.Get()));
  }

  HResult Names(std::vector<std::string>* names) override {
    Variant v;
    HRESULT hr = Note(ctrl_->get_XuNames(v.Receive()));
    if (FAILED(hr)) return hr;
    return Strings(v.Get(), names);
  }

  // type, minimum, maximum, default, units, menu labels, unit, selector,
  // access.
  HResult Info(const std::string& name, xutool::NamedInfo* info) override {
    Variant v;
    HRESULT hr = Note(ctrl_->get_XuNamedInfo(Wide(name).Get(), v.Receive()));
    if (FAILED(hr)) return hr;
    std::vector<Variant> e;
    if (FAILED(hr = Elements(v.Get(), &e))) return hr;
    if (e.size() < 9) return E_UNEXPECTED;
    xutool::NamedInfo i;
    i.type = Text(e[0].Get());
    i.min = Number(e[1].Get());
    i.max = Number(e[2].Get());
    if (V_VT(e[3].Get()) != VT_EMPTY && V_VT(e[3].Get()) != VT_NULL) {
      i.defaultText = NamedText(e[3].Get());
    }
    i.units = Text(e[4].Get());
    if ((V_VT(e[5].Get()) & VT_ARRAY) != 0) Strings(e[5].Get(), &i.labels);
    i.unit = Text(e[6].Get());
    i.selector = static_cast<uint32_t>(Number(e[7].Get()).value_or(0));
    i.access = static_cast<uint32_t>(Number(e[8].Get()).value_or(0));
    *info = i;
    return S_OK;
  }

  HResult GetNamed(const std::string& name, std::string* text) override {
    Variant v;
    HRESULT hr = Note(ctrl_->get_XuNamedValue(Wide(name).Get(), v.Receive()));
    if (SUCCEEDED(hr)) *text = NamedText(v.Get());
    return hr;
  }

  HResult SetNamed(const std::string& name, const xutool::NamedInfo& info,
                   const std::string& text) override {
    Variant v;
    VARIANT* raw = v.Get();
    int32_t number = 0;
    Bytes bytes;
    if (info.type == "boolean" && (text == "on" || text == "off")) {
      V_VT(raw) = VT_BOOL;
      V_BOOL(raw) = text == "on" ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (info.type == "integer" && cli::ParseInt32(text, &number)) {
      V_VT(raw) = VT_I4;
      V_I4(raw) = number;
    } else if (info.type == "bytes" && xu::ParseHexText(text, &bytes)) {
      HRESULT hr = FromBytes(bytes, &v);
      if (FAILED(hr)) return hr;
    } else {
      V_VT(raw) = VT_BSTR;
      V_BSTR(raw) = com::BstrFromUtf8(text).Detach();
      if (V_BSTR(raw) == nullptr && !text.empty()) return E_OUTOFMEMORY;
    }
    return Note(ctrl_->put_XuNamedValue(Wide(name).Get(), *v.Get()));
  }

  std::string LastMessage() override { return lastMessage_; }

 private:
  static Bstr Wide(const std::string& s) { return com::BstrFromUtf8(s); }

  static HRESULT Strings(const VARIANT* v, std::vector<std::string>* out) {
    out->clear();
    if (V_VT(v) == VT_EMPTY) return S_OK;
    std::vector<Variant> elements;
    HRESULT hr = Elements(v, &elements);
    if (FAILED(hr)) return hr;
    for (const Variant& e : elements) out->push_back(Text(e.Get()));
    return S_OK;
  }

  // Keeps the library's description of a failure for LastMessage.
  HRESULT Note(HRESULT hr) {
    lastMessage_.clear();
    if (SUCCEEDED(hr)) return hr;
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, &error) == S_OK && error) {
      Bstr description;
      if (SUCCEEDED(error->GetDescription(description.Receive())) && description.Get()) {
        lastMessage_ = com::NarrowToUtf8(std::wstring_view(description.Get(), description.Length()));
      }
    }
    return hr;
  }

  ComPtr<IDVidCapCtrl3> ctrl_;
  std::string lastMessage_;
};

}  // namespace

std::unique_ptr<xutool::XuSource> OpenXu(IDVidCapCtrl* ctrl) {
  ComPtr<IDVidCapCtrl3> xu;
  if (ctrl == nullptr || FAILED(ctrl->QueryInterface(IID_IDVidCapCtrl3, &xu)) || !xu) {
    return nullptr;
  }
  return std::make_unique<ComXu>(xu);
}

}  // namespace lumora::tool
