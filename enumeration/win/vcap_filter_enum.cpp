// VCapFilterEnum: lists the plug-and-play DirectShow devices of a category.
#include "module/classes.h"
#include "module/com_object.h"
#include "module/lumora_idl.h"

namespace lumora {

class VCapFilterEnum : public com::Dispatch<IVCapFilterEnum> {
 public:
  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(IVCapFilterEnum) || riid == IID_IDispatch) {
      return static_cast<IVCapFilterEnum*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP EnumerateFilter(BSTR, IDispatch**) override { return E_NOTIMPL; }
  IFACEMETHODIMP DeviceCatClsid(KnownDeviceCat, BSTR*) override { return E_NOTIMPL; }
};

HRESULT CreateVCapFilterEnum(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<VCapFilterEnum>(outer, riid, ppv);
}

}  // namespace lumora
