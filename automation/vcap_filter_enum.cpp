// VCapFilterEnum: lists the plug-and-play DirectShow devices of a category,
// and (IVCapFilterEnum2) every other capture source after them.
#include <wrl/client.h>

#include <memory>
#include <new>
#include <optional>
#include <string>

#include "enumeration/device_category.h"
#include "automation/vcap_classes.h"
#include "com/com_object.h"
#include "com/guard.h"
#include "lumora_idl.h"
#include "com/raii.h"
#include "dshow/platform.h"

namespace lumora {
namespace {

using com::Bstr;
using com::Variant;
using Microsoft::WRL::ComPtr;

// The class object of VCapFilter, fetched by class identifier (as an outside
// client would, through the registration) on the first descriptor an
// enumeration needs and kept for the rest of it: one activation per
// enumeration instead of one per device. A failed fetch is tried again for
// the next device, as a failed creation was.
class DescriptorFactory {
 public:
  HRESULT Create(ComPtr<IVCapFilter>* filter) {
    if (!factory_) {
      // As CoCreateInstance does: a class that another emulates (TreatAs)
      // is served by the emulating one.
      CLSID clsid = CLSID_VCapFilter;
      CLSID emulating;
      if (CoGetTreatAsClass(CLSID_VCapFilter, &emulating) == S_OK) clsid = emulating;
      HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory_));
      if (FAILED(hr)) return hr;
      if (!factory_) return E_NOINTERFACE;
    }
    return factory_->CreateInstance(nullptr, IID_PPV_ARGS(filter->ReleaseAndGetAddressOf()));
  }

 private:
  ComPtr<IClassFactory> factory_;
};

// Kinds of capture source (IVCapFilter2::SourceKind).
enum SourceKind : LONG { kDeviceSource = 0, kOtherSource = 1 };

// Builds the descriptor of one source and adds it to the collection. Sources
// whose descriptor cannot be created are skipped.
void AddDevice(DeviceEntry& device, IVCapCollection* collection, DescriptorFactory& descriptors) {
  ComPtr<IVCapFilter> filter;
  if (FAILED(descriptors.Create(&filter)) || !filter) return;
  LONG count = 0;
  if (FAILED(collection->get_Count(&count))) return;

  Bstr empty(L"");
  filter->put_Moniker(device.moniker.Get());
  filter->put_FName(device.friendlyName.Get());
  filter->put_DeviceName(device.displayName.Get());
  filter->put_ClsID(device.clsid ? device.clsid->Get() : empty.Get());
  filter->put_FIndex(count + 1);
  if (!device.plugAndPlay) {
    ComPtr<IVCapFilter2> described;
    if (FAILED(filter.As(&described)) || FAILED(described->put_SourceKind(kOtherSource))) return;
  }

  Variant item;
  item.Get()->vt = VT_DISPATCH;
  item.Get()->pdispVal = filter.Detach();  // the variant's reference
  collection->Add1(*item.Get());
}

}  // namespace

// One IDispatch serves IVCapFilterEnum and its extension IVCapFilterEnum2.
class VCapFilterEnum : public com::Dispatch<IVCapFilterEnum2> {
 public:
  explicit VCapFilterEnum(const Platform& platform) noexcept : platform_(platform) {}

  IUnknown* Interface(REFIID riid) {
    if (riid == __uuidof(IVCapFilterEnum) || riid == __uuidof(IVCapFilterEnum2) ||
        riid == IID_IDispatch) {
      return static_cast<IVCapFilterEnum2*>(this);
    }
    return nullptr;
  }

  IFACEMETHODIMP EnumerateFilter(BSTR ClsID, IDispatch** pVal) override {
    return Enumerate(ClsID, false, pVal);
  }

  // The devices in EnumerateFilter's order, then every other source.
  IFACEMETHODIMP EnumerateAllFilter(BSTR ClsID, IDispatch** pVal) override {
    return Enumerate(ClsID, true, pVal);
  }

  IFACEMETHODIMP DeviceCatClsid(KnownDeviceCat deviceCatEnum, BSTR* pVal) override {
    return com::Guard([&] {
      std::optional<std::string> text =
          KnownDeviceCategoryText(static_cast<int32_t>(deviceCatEnum));
      if (!text) return E_INVALIDARG;
      if (!pVal) return E_POINTER;
      std::wstring wide(text->begin(), text->end());  // hexadecimal digits, dashes, braces
      *pVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      return *pVal ? S_OK : E_OUTOFMEMORY;
    });
  }

 private:
  HRESULT Enumerate(BSTR ClsID, bool allSources, IDispatch** pVal) {
    if (!pVal) return E_POINTER;
    return com::Guard([&] {
      CLSID category;
      HRESULT hr = CLSIDFromString(ClsID, &category);
      if (FAILED(hr)) return hr;

      std::unique_ptr<DeviceList> devices;
      hr = allSources ? platform_.openSources(category, &devices)
                      : platform_.openDevices(category, &devices);
      if (FAILED(hr)) return hr;

      ComPtr<IVCapCollection> collection;
      HRESULT created = CoCreateInstance(CLSID_VCapCollection, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&collection));
      if (FAILED(created)) return created;

      if (devices) {
        DescriptorFactory descriptors;
        DeviceEntry device;
        while (devices->Next(&device)) AddDevice(device, collection.Get(), descriptors);
      }
      *pVal = collection.Detach();  // IVCapCollection is the caller's IDispatch
      return S_OK;
    });
  }

  const Platform& platform_;
};

HRESULT CreateVCapFilterEnum(const Platform& platform, IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<VCapFilterEnum>(outer, riid, ppv, platform);
}

}  // namespace lumora
