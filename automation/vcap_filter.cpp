// VCapFilter: the descriptor of one enumerated DirectShow filter.
#include <wrl/client.h>

#include <string_view>

#include "enumeration/device_path.h"
#include "automation/vcap_classes.h"
#include "com/com_object.h"
#include "com/guard.h"
#include "lumora_idl.h"
#include "com/raii.h"

namespace lumora {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "automation strings are UTF-16");

using com::Bstr;

// A new string of exactly the stored length; an unset property gives an
// empty string.
HRESULT ReadString(const Bstr& stored, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(stored.Get(), stored.Length());
  return S_OK;
}

// Stores a copy of text up to its first NUL; null leaves the property unset.
// A failed allocation leaves it unset as well.
void WriteString(Bstr& stored, const wchar_t* text) { stored = Bstr(text); }

Bstr ToBstr(const std::u16string& text) {
  Bstr out;
  out.Reset(SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()),
                              static_cast<UINT>(text.size())));
  return out;
}

}  // namespace

// One IDispatch serves IVCapFilter and its extension IVCapFilter2.
class VCapFilter : public com::Dispatch<IVCapFilter2> {
 public:
  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(IVCapFilter) || riid == __uuidof(IVCapFilter2) || riid == IID_IDispatch) {
      return static_cast<IVCapFilter2*>(this);
    }
    return nullptr;
  }

  // 0 a kernel-streaming device (the default), 1 any other capture source.
  IFACEMETHODIMP get_SourceKind(LONG* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = sourceKind_;
    return S_OK;
  }
  IFACEMETHODIMP put_SourceKind(LONG newVal) override {
    if (newVal != 0 && newVal != 1) return E_INVALIDARG;
    sourceKind_ = newVal;
    return S_OK;
  }

  IFACEMETHODIMP get_FName(BSTR* pVal) override { return ReadString(name_, pVal); }
  IFACEMETHODIMP put_FName(BSTR newVal) override {
    WriteString(name_, newVal);
    return S_OK;
  }

  IFACEMETHODIMP get_FIndex(LONG* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = index_;
    return S_OK;
  }
  IFACEMETHODIMP put_FIndex(LONG newVal) override {
    index_ = newVal;
    return S_OK;
  }

  IFACEMETHODIMP get_ClsID(BSTR* pVal) override { return ReadString(clsid_, pVal); }
  IFACEMETHODIMP put_ClsID(BSTR newVal) override {
    WriteString(clsid_, newVal);
    return S_OK;
  }

  // A null out-pointer is accepted and ignored.
  IFACEMETHODIMP get_Moniker(IUnknown** pVal) override {
    if (!pVal) return S_OK;
    return moniker_.CopyTo(pVal);  // null when none is held
  }
  IFACEMETHODIMP put_Moniker(IUnknown* newVal) override {
    moniker_ = newVal;
    return S_OK;
  }

  IFACEMETHODIMP get_DeviceName(BSTR* pVal) override { return ReadString(deviceName_, pVal); }
  // Stores the device path and takes the serial and vendor/product tokens
  // from it; a token the path lacks leaves that property as it was.
  IFACEMETHODIMP put_DeviceName(BSTR newVal) override {
    WriteString(deviceName_, newVal);
    return com::Guard([&] {
      std::u16string_view path(reinterpret_cast<const char16_t*>(deviceName_.Get()),
                               deviceName_.Length());
      DevicePathTokens tokens = SplitDevicePath(path);
      if (tokens.serial) serial_ = ToBstr(*tokens.serial);
      if (tokens.vidPid) vidPid_ = ToBstr(*tokens.vidPid);
      return S_OK;
    });
  }

  IFACEMETHODIMP get_DevSerial(BSTR* pVal) override { return ReadString(serial_, pVal); }
  IFACEMETHODIMP put_DevSerial(BSTR newVal) override {
    WriteString(serial_, newVal);
    return S_OK;
  }

  IFACEMETHODIMP get_DeviceVidPid(BSTR* pVal) override { return ReadString(vidPid_, pVal); }
  IFACEMETHODIMP put_DeviceVidPid(BSTR newVal) override {
    WriteString(vidPid_, newVal);
    return S_OK;
  }

 private:
  Bstr name_;
  Bstr deviceName_;
  Bstr vidPid_;
  Bstr clsid_;
  Microsoft::WRL::ComPtr<IUnknown> moniker_;
  LONG index_ = 0;
  Bstr serial_;
  LONG sourceKind_ = 0;
};

HRESULT CreateVCapFilter(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<VCapFilter>(outer, riid, ppv);
}

}  // namespace lumora
