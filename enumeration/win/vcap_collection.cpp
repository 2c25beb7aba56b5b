// VCapCollection: a keyed, ordered automation collection of VARIANTs.
#include "module/classes.h"
#include "module/com_object.h"
#include "module/lumora_idl.h"

namespace lumora {

class VCapCollection : public com::Dispatch<IVCapCollection> {
 public:
  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(IVCapCollection) || riid == IID_IDispatch) {
      return static_cast<IVCapCollection*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Item(VARIANT, VARIANT*) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Count(LONG*) override { return E_NOTIMPL; }
  IFACEMETHODIMP Add(VARIANT, VARIANT) override { return E_NOTIMPL; }
  IFACEMETHODIMP Add1(VARIANT) override { return E_NOTIMPL; }
  IFACEMETHODIMP Remove(VARIANT) override { return E_NOTIMPL; }
  IFACEMETHODIMP Clear() override { return E_NOTIMPL; }
};

HRESULT CreateVCapCollection(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<VCapCollection>(outer, riid, ppv);
}

}  // namespace lumora
