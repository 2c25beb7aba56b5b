// VCapFilter: the descriptor of one enumerated DirectShow filter.
#include "module/classes.h"
#include "module/com_object.h"
#include "module/lumora_idl.h"

namespace lumora {

class VCapFilter : public com::Dispatch<IVCapFilter> {
 public:
  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(IVCapFilter) || riid == IID_IDispatch) {
      return static_cast<IVCapFilter*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP get_FName(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_FName(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_FIndex(LONG*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_FIndex(LONG) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_ClsID(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_ClsID(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Moniker(IUnknown**) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_Moniker(IUnknown*) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_DeviceName(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_DeviceName(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_DevSerial(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_DevSerial(BSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_DeviceVidPid(BSTR*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_DeviceVidPid(BSTR) override { return E_NOTIMPL; }
};

HRESULT CreateVCapFilter(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<VCapFilter>(outer, riid, ppv);
}

}  // namespace lumora
