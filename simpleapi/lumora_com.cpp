// LumoraCOM: the simple camera API for automation clients.
#include "module/classes.h"
#include "module/com_object.h"
#include "module/lumora_idl.h"

namespace lumora {

class LumoraCOM : public com::Dispatch<ILumoraCOM> {
 public:
  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(ILumoraCOM) || riid == IID_IDispatch) {
      return static_cast<ILumoraCOM*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP EnumCams() override { return E_NOTIMPL; }
  IFACEMETHODIMP GetCamStrings(SAFEARRAY**) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetDevStrings(SAFEARRAY**) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetCamSerials(SAFEARRAY**) override { return E_NOTIMPL; }
  IFACEMETHODIMP SetCam(LONG) override { return E_NOTIMPL; }
  IFACEMETHODIMP CamProperty_Support(::VidCapProperty, ::VidCapPropertySupport*) override {
    return E_NOTIMPL;
  }
  IFACEMETHODIMP CamProperty_Range(::VidCapProperty, LONG*, LONG*, LONG*) override {
    return E_NOTIMPL;
  }
  IFACEMETHODIMP get_CamProperty(::VidCapProperty, LONG*) override { return E_NOTIMPL; }
  IFACEMETHODIMP put_CamProperty(::VidCapProperty, LONG) override { return E_NOTIMPL; }
  IFACEMETHODIMP get_CamChipset(::KnownChipsetCat*) override { return E_NOTIMPL; }
};

HRESULT CreateLumoraCOM(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<LumoraCOM>(outer, riid, ppv);
}

}  // namespace lumora
