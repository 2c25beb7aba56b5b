// DVidCapCtrl: property control of one attached capture filter.
#include <ocidl.h>

#include "module/classes.h"
#include "module/com_object.h"
#include "module/lumora_idl.h"

namespace lumora {

class DVidCapCtrl : public com::Dispatch<IDVidCapCtrl>, public IConnectionPointContainer {
 public:
  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(IDVidCapCtrl) || riid == IID_IDispatch) {
      return static_cast<IDVidCapCtrl*>(this);
    }
    if (riid == IID_IConnectionPointContainer) {
      return static_cast<IConnectionPointContainer*>(this);
    }
    return nullptr;
  }

  // IDVidCapCtrl
  IFACEMETHODIMP put_CaptureFilter(IDispatch*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_BaseFilter(IUnknown*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_FilterInfo(IDispatch*) override { return E_NOTIMPL; }
  IFACEMETHODIMP Has(::VidCapProperty, ::VidCapPropertySupport*) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetRange(::VidCapProperty, LONG*, LONG*, LONG*, LONG*, LONG*) override {
    return E_NOTIMPL;
  }
  IFACEMETHODIMP get_Prop(::VidCapProperty, LONG*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_Prop(::VidCapProperty, LONG) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_Chipset(::KnownChipsetCat*) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetSetting(SAFEARRAY**) override { return E_NOTIMPL; }
  IFACEMETHODIMP SetSetting(SAFEARRAY**) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetLagtime(LONG, LONG*, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }

  // IConnectionPointContainer
  IFACEMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  IFACEMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }
};

HRESULT CreateDVidCapCtrl(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<DVidCapCtrl>(outer, riid, ppv);
}

}  // namespace lumora
