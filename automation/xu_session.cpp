#include "automation/xu_session.h"

#include <oleauto.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "base/text.h"
#include "com/com_object.h"
#include "com/error_info.h"
#include "com/guard.h"
#include "com/raii.h"
#include "com/text.h"
#include "com/variant_array.h"
#include "dshow/platform.h"
#include "xu/fields.h"

namespace lumora {

namespace {

using xu::Bytes;

std::string Utf8(BSTR text) {
  if (!text) return std::string();
  const UINT length = SysStringLen(text);
  std::string out(length, '\0');
  for (UINT i = 0; i < length; ++i) {
    // Names and GUIDs are ASCII: converted here without the system's calls.
    if (text[i] >= 0x80) return com::NarrowToUtf8(std::wstring_view(text, length));
    out[i] = static_cast<char>(text[i]);
  }
  return out;
}

// A GUID's text as users write it (36 characters, or 38 in braces), read
// without allocating; false for anything else.
bool GuidOf(BSTR text, Guid* guid) {
  const UINT length = text ? SysStringLen(text) : 0;
  if (length != 36 && length != 38) return false;
  char ascii[39];
  for (UINT i = 0; i < length; ++i) {
    if (text[i] >= 0x80) return false;
    ascii[i] = static_cast<char>(text[i]);
  }
  ascii[length] = '\0';
  if (length == 38 && (ascii[0] != '{' || ascii[37] != '}')) return false;
  *guid = Guid::Parse(ascii);
  return !guid->IsNull();
}

// The folder beside the library file, and the user's own.
std::vector<std::string> DefinitionFolders() {
  std::vector<std::string> folders;
  std::wstring path;
  if (SUCCEEDED(com::ModulePath(&path))) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
      folders.push_back(com::NarrowToUtf8(path.substr(0, slash + 1) + L"xu-definitions"));
    }
  }
  wchar_t appData[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) {
    folders.push_back(com::NarrowToUtf8(std::wstring(appData, n) + L"\\Lumora\\xu"));
  }
  return folders;
}

HRESULT ByteArray(const Bytes& bytes, VARIANT* out) {
  com::SafeArray array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())));
  if (!array.Get()) return E_OUTOFMEMORY;
  if (!bytes.empty()) std::memcpy(array.Get()->pvData, bytes.data(), bytes.size());
  VariantInit(out);
  out->vt = VT_ARRAY | VT_UI1;
  out->parray = array.Detach();
  return S_OK;
}

// A number as scripts read it: a long when it fits, else a double.
com::Variant Number(int64_t value) {
  com::Variant v;
  if (value >= INT32_MIN && value <= INT32_MAX) {
    v.Get()->vt = VT_I4;
    v.Get()->lVal = static_cast<LONG>(value);
  } else {
    v.Get()->vt = VT_R8;
    v.Get()->dblVal = static_cast<double>(value);
  }
  return v;
}

com::Variant Text(const std::string& text) {
  com::Variant v;
  com::Bstr b = com::BstrFromUtf8(text);
  if (!b.Get()) throw std::bad_alloc();
  v.Get()->vt = VT_BSTR;
  v.Get()->bstrVal = b.Detach();
  return v;
}

const VARIANT& Deref(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return *v.pvarVal;
  return v;
}

// Bytes from what a caller writes: an array of bytes (VT_ARRAY|VT_UI1), an
// array of numbers 0 to 255 (VT_ARRAY|VT_VARIANT, as VBScript's Array()
// makes), or hex digits ("0001000a00").
HRESULT ToBytes(const VARIANT& given, Bytes* bytes) {
  const VARIANT& v = Deref(given);
  if (v.vt == VT_BSTR) {
    if (!xu::ParseHexText(Utf8(v.bstrVal), bytes)) {
      return com::ReportError(DISP_E_TYPEMISMATCH,
                              "\"" + Utf8(v.bstrVal) + "\" is not hex digits, two per byte");
    }
    return S_OK;
  }
  SAFEARRAY* array = nullptr;
  if (v.vt == (VT_ARRAY | VT_UI1) || v.vt == (VT_ARRAY | VT_VARIANT)) array = v.parray;
  if (v.vt == (VT_BYREF | VT_ARRAY | VT_UI1) || v.vt == (VT_BYREF | VT_ARRAY | VT_VARIANT)) {
    array = v.pparray ? *v.pparray : nullptr;
  }
  if (!array || SafeArrayGetDim(array) != 1) {
    return com::ReportError(DISP_E_TYPEMISMATCH,
                            "a control's value is an array of bytes (numbers 0 to 255)");
  }
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(array, 1, &lo);
  SafeArrayGetUBound(array, 1, &hi);
  const LONG count = hi - lo + 1;
  bytes->assign(count > 0 ? static_cast<size_t>(count) : 0, 0);
  if ((v.vt & VT_TYPEMASK) == VT_UI1) {
    com::SafeArrayLockGuard lock(array);
    if (FAILED(lock.LockResult())) return lock.LockResult();
    if (count > 0 && array->pvData) std::memcpy(bytes->data(), array->pvData, bytes->size());
    return lock.Unlock();
  }
  for (LONG i = 0; i < count; ++i) {
    com::Variant element, number;
    LONG index = lo + i;
    HRESULT hr = SafeArrayGetElement(array, &index, element.Get());
    if (SUCCEEDED(hr)) hr = VariantChangeType(number.Get(), element.Get(), 0, VT_I4);
    if (FAILED(hr) || number.Get()->lVal < 0 || number.Get()->lVal > 255) {
      return com::ReportError(DISP_E_TYPEMISMATCH, "element " + std::to_string(i) +
                                                       " of the value is not a number 0 to 255");
    }
    (*bytes)[static_cast<size_t>(i)] = static_cast<uint8_t>(number.Get()->lVal);
  }
  return S_OK;
}

const char* TypeName(xu::FieldType type) {
  switch (type) {
    case xu::FieldType::kInteger: return "integer";
    case xu::FieldType::kBoolean: return "boolean";
    case xu::FieldType::kMenu: return "menu";
    case xu::FieldType::kRaw: return "bytes";
  }
  return "";
}

// A field's value in the control's bytes, typed as scripts read it.
com::Variant FieldValue(const xu::FieldDefinition& f, const Bytes& control) {
  com::Variant v;
  if (f.type == xu::FieldType::kRaw) {
    if (uint64_t{f.byte} + f.bits / 8 > control.size()) return v;
    Bytes part(control.begin() + f.byte, control.begin() + f.byte + f.bits / 8);
    HRESULT hr = ByteArray(part, v.Receive());
    if (FAILED(hr)) throw std::bad_alloc();
    return v;
  }
  std::optional<int64_t> n = xu::FieldNumber(f, control);
  if (!n) return v;
  if (f.type == xu::FieldType::kBoolean) {
    v.Get()->vt = VT_BOOL;
    v.Get()->boolVal = *n != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }
  if (f.type == xu::FieldType::kMenu) return Text(xu::FormatField(f, control));
  return Number(*n);
}

// The text EncodeField takes for a value a caller writes to a field.
HRESULT FieldText(const xu::FieldDefinition& f, const VARIANT& given, std::string* text) {
  const VARIANT& v = Deref(given);
  if (f.type == xu::FieldType::kRaw) {
    Bytes bytes;
    HRESULT hr = ToBytes(v, &bytes);
    if (FAILED(hr)) return hr;
    *text = xu::HexText(bytes);
    return S_OK;
  }
  if (v.vt == VT_BSTR) {
    *text = Utf8(v.bstrVal);
    return S_OK;
  }
  if (v.vt == VT_BOOL) {
    *text = v.boolVal ? "1" : "0";
    if (f.type != xu::FieldType::kMenu) return S_OK;
  }
  com::Variant number;
  if (FAILED(VariantChangeType(number.Get(), const_cast<VARIANT*>(&v), 0, VT_R8)) ||
      std::trunc(number.Get()->dblVal) != number.Get()->dblVal ||
      std::fabs(number.Get()->dblVal) > 9.0e18) {
    return com::ReportError(
        DISP_E_TYPEMISMATCH,
        "\"" + f.name + "\" takes " +
            (f.type == xu::FieldType::kMenu ? "a label or a whole number" : "a whole number"));
  }
  const auto n = static_cast<int64_t>(number.Get()->dblVal);
  *text = std::to_string(n);
  if (f.type == xu::FieldType::kMenu) {
    for (const xu::MenuEntry& e : f.menu) {
      if (n >= 0 && e.value == static_cast<uint64_t>(n)) *text = e.label;
    }
  }
  return S_OK;
}

// Codes of the library's own refusals: the camera was not asked.
bool IsRefusal(HRESULT hr) {
  return hr == E_INVALIDARG || hr == E_ACCESSDENIED || hr == DISP_E_TYPEMISMATCH;
}

}  // namespace

XuSession::XuSession(const Platform& platform, IUnknown* filter,
                     std::function<void(const std::string&)> log) noexcept
    : platform_(platform), filter_(filter), log_(std::move(log)) {}

HRESULT XuSession::Failed(const xu::Status& status) {
  // A failing driver may be a camera that was unplugged: what discovery
  // learned is asked again next time.
  if (!IsRefusal(status.code) && !xu::IsUnsupported(status.code)) discovered_ = false;
  HRESULT hr = hr::Failed(status.code) ? status.code : E_FAIL;
  return com::ReportError(hr, status.message);
}

HRESULT XuSession::Ready() {
  if (!transport_) {
    HRESULT hr = platform_.openXu ? platform_.openXu(filter_, &transport_) : E_NOINTERFACE;
    if (FAILED(hr) || !transport_) {
      transport_.reset();
      return com::ReportError(FAILED(hr) ? hr : E_NOINTERFACE,
                              "the camera offers no extension-unit access: " +
                                  xu::DescribeCode(FAILED(hr) ? hr : E_NOINTERFACE));
    }
  }
  if (!loaded_) {
    definitions_ = xu::LoadDefinitions(DefinitionFolders());
    loaded_ = true;
    if (log_) {
      for (const std::string& line : definitions_.errors()) log_(line);
    }
  }
  if (!discovered_) {
    xu::DiscoveryOptions options;
    options.candidates = definitions_.Guids();
    // Units found earlier through a GUID the caller gave stay candidates.
    for (const xu::UnitFacts& u : units_) {
      if (u.guid && u.guidSource == xu::GuidSource::kCandidate)
        options.candidates.push_back(*u.guid);
    }
    units_.clear();
    named_.clear();
    xu::Status s = xu::DiscoverUnits(*transport_, options, &units_);
    if (!s.ok()) return com::ReportError(hr::Failed(s.code) ? s.code : E_FAIL, s.message);
    discovered_ = true;
  }
  return S_OK;
}

HRESULT XuSession::Find(BSTR unitText, LONG selector, const xu::UnitFacts** unit,
                        const xu::ControlFacts** control) {
  Guid guid;
  if (!GuidOf(unitText, &guid)) {
    return com::ReportError(E_INVALIDARG, "\"" + Utf8(unitText) + "\" is not a unit GUID");
  }
  if (selector < static_cast<LONG>(xu::kFirstSelector) ||
      selector > static_cast<LONG>(xu::kLastSelector)) {
    return com::ReportError(E_INVALIDARG, "selector " + std::to_string(selector) +
                                              " is not a control selector (1 to 31)");
  }
  HRESULT hr = Ready();
  if (FAILED(hr)) return hr;
  bool known = false;
  for (const xu::UnitFacts& u : units_) known = known || (u.guid && *u.guid == guid);
  if (!known) {
    // A GUID no definition names: the node that answers it, if any.
    if (std::optional<uint32_t> node = xu::FindNode(*transport_, guid)) {
      named_.clear();
      for (xu::UnitFacts& u : units_) {
        if (u.nodeId != *node) continue;
        xu::Requester requester(*transport_, 2);
        xu::DiscoveryOptions options;
        options.candidates = {guid};
        u = xu::DescribeNode(requester, *node, options);
      }
    }
  }
  xu::Status s = xu::FindRawControl(units_, guid, static_cast<uint32_t>(selector), unit, control);
  return s.ok() ? S_OK : com::ReportError(s.code, s.message);
}

HRESULT XuSession::LengthOf(const xu::UnitFacts& unit, const xu::ControlFacts& control,
                            uint32_t* length) {
  if (control.length) {
    *length = *control.length;
    return S_OK;
  }
  xu::TransportReply r =
      transport_->NodeProperty(xu::kTypeGet, unit.nodeId, *unit.guid, control.selector, nullptr, 0);
  xu::LengthAnswer answer = xu::ParseLengthAnswer(r.result, r.bytesReturned);
  if (answer.length) {
    *length = *answer.length;
    return S_OK;
  }
  const std::string name =
      "control " + std::to_string(control.selector) + " of unit " + unit.guid->ToString();
  return Failed(xu::Status::Error(
      hr::Failed(answer.result) ? answer.result : E_FAIL,
      "the length of " + name + " cannot be read: " +
          (hr::Failed(answer.result) ? xu::DescribeCode(answer.result) : answer.problem)));
}

HRESULT XuSession::Read(const xu::UnitFacts& unit, const xu::ControlFacts& control, Bytes* value) {
  uint32_t length = 0;
  HRESULT hr = LengthOf(unit, control, &length);
  if (FAILED(hr)) return hr;
  xu::Status s =
      xu::ReadControl(*transport_, unit.nodeId, *unit.guid, control.selector, length, value);
  return s.ok() ? S_OK : Failed(s);
}

HRESULT XuSession::Write(const xu::UnitFacts& unit, const xu::ControlFacts& control,
                         const Bytes& value) {
  xu::Status s = xu::WriteControl(*transport_, unit.nodeId, *unit.guid, control, value);
  return s.ok() ? S_OK : Failed(s);
}

HRESULT XuSession::Units(VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    HRESULT hr = Ready();
    if (FAILED(hr)) return hr;
    std::vector<Guid> guids;
    for (const xu::UnitFacts& u : units_) {
      if (u.guid) guids.push_back(*u.guid);
    }
    com::VariantArray list;
    hr = list.Create(static_cast<ULONG>(guids.size()));
    for (ULONG i = 0; SUCCEEDED(hr) && i < guids.size(); ++i) {
      hr = list.Put(i, Text(guids[i].ToString()));
    }
    return SUCCEEDED(hr) ? list.Detach(out) : hr;
  });
}

HRESULT XuSession::UnnamedNodes(VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    HRESULT hr = Ready();
    if (FAILED(hr)) return hr;
    std::vector<LONG> nodes;
    for (const xu::UnitFacts& u : units_) {
      if (!u.guid) nodes.push_back(static_cast<LONG>(u.nodeId));
    }
    return com::LongList(nodes.data(), static_cast<ULONG>(nodes.size()), out);
  });
}

HRESULT XuSession::DefinedName(BSTR unit, LONG selector, BSTR* out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  return com::Guard([&]() -> HRESULT {
    Guid guid;
    if (!GuidOf(unit, &guid)) {
      return com::ReportError(E_INVALIDARG, "\"" + Utf8(unit) + "\" is not a unit GUID");
    }
    HRESULT hr = Ready();
    if (FAILED(hr)) return hr;
    std::string name;
    if (selector == 0) {
      if (const xu::UnitDefinition* d = definitions_.FindUnit(guid)) name = d->name;
    } else if (const xu::ControlDefinition* d =
                   definitions_.FindControl(guid, static_cast<uint32_t>(selector))) {
      name = d->name;
    }
    com::Bstr b = com::BstrFromUtf8(name);
    if (!b.Get()) return E_OUTOFMEMORY;
    *out = b.Detach();
    return S_OK;
  });
}

HRESULT XuSession::Controls(BSTR unit, VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    const xu::UnitFacts* found = nullptr;
    const xu::ControlFacts* control = nullptr;
    // Any selector finds the unit; a unit without that control is fine.
    HRESULT hr = Find(unit, 1, &found, &control);
    if (FAILED(hr) && !found) {
      Guid guid;
      GuidOf(unit, &guid);
      for (const xu::UnitFacts& u : units_) {
        if (u.guid && *u.guid == guid) found = &u;
      }
      if (!found) return hr;
    }
    com::ClearError();
    std::vector<LONG> selectors;
    for (const xu::ControlFacts& c : found->controls)
      selectors.push_back(static_cast<LONG>(c.selector));
    return com::LongList(selectors.data(), static_cast<ULONG>(selectors.size()), out);
  });
}

template <class Body>
HRESULT XuSession::OnControl(BSTR unit, LONG selector, bool withLength, Body body) noexcept {
  return com::Guard([&]() -> HRESULT {
    const xu::UnitFacts* u = nullptr;
    const xu::ControlFacts* c = nullptr;
    HRESULT hr = Find(unit, selector, &u, &c);
    uint32_t length = 0;
    if (SUCCEEDED(hr) && withLength) hr = LengthOf(*u, *c, &length);
    return SUCCEEDED(hr) ? body(*u, *c, length) : hr;
  });
}

HRESULT XuSession::Length(BSTR unit, LONG selector, LONG* out) noexcept {
  if (!out) return E_POINTER;
  return OnControl(unit, selector, true, [&](auto&, auto&, uint32_t length) {
    *out = static_cast<LONG>(length);
    return S_OK;
  });
}

HRESULT XuSession::Access(BSTR unit, LONG selector, LONG* out) noexcept {
  if (!out) return E_POINTER;
  return OnControl(unit, selector, false, [&](auto&, const xu::ControlFacts& c, uint32_t) {
    *out = (c.CanGet() ? 1 : 0) | (c.CanSet() ? 2 : 0);
    return S_OK;
  });
}

HRESULT XuSession::FactOf(BSTR unit, LONG selector, Fact fact, VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return OnControl(
      unit, selector, false,
      [&](const xu::UnitFacts& u, const xu::ControlFacts& c, uint32_t) -> HRESULT {
        static const char* const kNames[] = {"minimum", "maximum", "resolution", "default"};
        const std::optional<Bytes>* value[] = {&c.minimum, &c.maximum, &c.resolution,
                                               &c.defaultValue};
        const auto index = static_cast<size_t>(fact);
        if (!*value[index]) {
          std::string why;
          for (const std::string& p : c.problems) why += (why.empty() ? ": " : "; ") + p;
          return com::ReportError(E_FAIL, std::string("the driver gives no ") + kNames[index] +
                                              " for control " + std::to_string(selector) +
                                              " of unit " + u.guid->ToString() + why);
        }
        return ByteArray(**value[index], out);
      });
}

HRESULT XuSession::GetValue(BSTR unit, LONG selector, VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return OnControl(unit, selector, true,
                   [&](const xu::UnitFacts& u, const xu::ControlFacts& c, uint32_t length) {
                     // Straight into the array handed out; any other outcome is read again
                     // through the checked path, which words the failure.
                     com::SafeArray array(SafeArrayCreateVector(VT_UI1, 0, length));
                     if (!array.Get()) return E_OUTOFMEMORY;
                     xu::TransportReply r = transport_->NodeProperty(
                         xu::kTypeGet, u.nodeId, *u.guid, c.selector, array.Get()->pvData, length);
                     if (SUCCEEDED(r.result) && r.bytesReturned == length) {
                       VariantInit(out);
                       out->vt = VT_ARRAY | VT_UI1;
                       out->parray = array.Detach();
                       return S_OK;
                     }
                     Bytes value;
                     HRESULT hr = Read(u, c, &value);
                     return SUCCEEDED(hr) ? ByteArray(value, out) : hr;
                   });
}

HRESULT XuSession::PutValue(BSTR unit, LONG selector, const VARIANT& given) noexcept {
  Bytes value;
  HRESULT hr = com::Guard([&] { return ToBytes(given, &value); });
  if (FAILED(hr)) return hr;
  return OnControl(unit, selector, false,
                   [&](const xu::UnitFacts& u, const xu::ControlFacts& c, uint32_t) {
                     return Write(u, c, value);
                   });
}

HRESULT XuSession::FindNamed(BSTR name, xu::NamedField* found) {
  HRESULT hr = Ready();
  if (FAILED(hr)) return hr;
  std::string text = Utf8(name);
  for (const auto& [known, field] : named_) {
    if (known == text) {
      *found = field;
      return S_OK;
    }
  }
  xu::Status s = xu::FindNamedField(units_, definitions_, text, found);
  if (!s.ok()) return com::ReportError(s.code, s.message);
  named_.emplace_back(std::move(text), *found);
  return S_OK;
}

HRESULT XuSession::Names(VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    HRESULT hr = Ready();
    if (FAILED(hr)) return hr;
    std::vector<std::string> names;
    for (const xu::ControlDefinition& d : definitions_.controls()) {
      for (const xu::FieldDefinition& f : d.fields) {
        bool seen = false;
        for (const std::string& n : names) seen = seen || EqualNoCase(n, f.name);
        xu::NamedField field;
        if (!seen && xu::FindNamedField(units_, definitions_, f.name, &field).ok() &&
            field.definition == &d) {
          names.push_back(f.name);
        }
      }
    }
    com::VariantArray list;
    hr = list.Create(static_cast<ULONG>(names.size()));
    for (ULONG i = 0; SUCCEEDED(hr) && i < names.size(); ++i) hr = list.Put(i, Text(names[i]));
    return SUCCEEDED(hr) ? list.Detach(out) : hr;
  });
}

HRESULT XuSession::NamedInfo(BSTR name, VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    xu::NamedField found;
    HRESULT hr = FindNamed(name, &found);
    if (FAILED(hr)) return hr;
    const xu::FieldDefinition& f = found.definition->fields[found.field];
    const xu::ControlFacts& c = *found.control;
    // type, minimum, maximum, default, units, labels, unit, selector, access
    com::VariantArray info;
    hr = info.Create(9);
    if (FAILED(hr)) return hr;
    info.Put(0, Text(TypeName(f.type)));
    if (f.type != xu::FieldType::kRaw) {
      const xu::FieldRange range = xu::RangeOf(f, c);
      info.Put(1, Number(range.min));
      info.Put(2, Number(range.max));
    }
    if (c.defaultValue) info.Put(3, FieldValue(f, *c.defaultValue));
    info.Put(4, Text(f.units));
    if (f.type == xu::FieldType::kMenu) {
      com::VariantArray labels;
      hr = labels.Create(static_cast<ULONG>(f.menu.size()));
      for (ULONG i = 0; SUCCEEDED(hr) && i < f.menu.size(); ++i) {
        hr = labels.Put(i, Text(f.menu[i].label));
      }
      com::Variant list;
      if (SUCCEEDED(hr)) hr = labels.Detach(list.Get());
      if (FAILED(hr)) return hr;
      info.Put(5, std::move(list));
    }
    info.Put(6, Text(found.definition->unit.ToString()));
    info.Put(7, Number(found.definition->selector));
    const bool readOnly = found.definition->kind == xu::ControlKind::kReadOnly;
    // An action (a relative move, a one-shot command) is only written: what
    // reads back is no setting, so profiles and checks leave it alone.
    const bool action = found.definition->kind == xu::ControlKind::kAction;
    info.Put(8, Number((c.CanGet() && !action ? 1 : 0) | (c.CanSet() && !readOnly ? 2 : 0)));
    return info.Detach(out);
  });
}

HRESULT XuSession::GetNamed(BSTR name, VARIANT* out) noexcept {
  if (!out) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    xu::NamedField found;
    HRESULT hr = FindNamed(name, &found);
    if (FAILED(hr)) return hr;
    Bytes value;
    hr = Read(*found.unit, *found.control, &value);
    if (FAILED(hr)) return hr;
    FieldValue(found.definition->fields[found.field], value).Detach(out);
    return S_OK;
  });
}

HRESULT XuSession::PutNamed(BSTR name, const VARIANT& given) noexcept {
  return com::Guard([&]() -> HRESULT {
    xu::NamedField found;
    HRESULT hr = FindNamed(name, &found);
    if (FAILED(hr)) return hr;
    std::string text;
    hr = FieldText(found.definition->fields[found.field], given, &text);
    if (FAILED(hr)) return hr;
    xu::Status s = xu::WriteField(*transport_, found.unit->nodeId, *found.definition, found.field,
                                  *found.control, text);
    return s.ok() ? S_OK : Failed(s);
  });
}

}  // namespace lumora
