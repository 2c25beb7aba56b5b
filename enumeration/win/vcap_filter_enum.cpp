// VCapFilterEnum: lists the plug-and-play DirectShow devices of a category,
// and (IVCapFilterEnum2) every other capture source after them.
#include <strmif.h>
#include <uuids.h>
#include <wrl/client.h>

#include <cwchar>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "enumeration/device_category.h"
#include "enumeration/win/classes.h"
#include "com/com_object.h"
#include "com/guard.h"
#include "lumora_idl.h"
#include "com/raii.h"

namespace lumora {
namespace {

using com::Bstr;
using com::CoTaskMem;
using com::Variant;
using Microsoft::WRL::ComPtr;

// Display names of plug-and-play devices contain this; software filters
// and other registered entries do not.
constexpr wchar_t kPnpMarker[] = L"@device:pnp:";

// Reads a string value from a property bag. Only an exact S_OK counts; a
// value of another type is converted to text.
std::optional<Bstr> ReadBagString(IPropertyBag* bag, const wchar_t* name) {
  Variant value;
  if (bag->Read(name, value.Get(), nullptr) != S_OK) return std::nullopt;
  if (value.Get()->vt != VT_BSTR &&
      FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR))) {
    return std::nullopt;
  }
  Bstr text;
  text.Reset(value.Get()->bstrVal);
  VariantInit(value.Get());  // the string now belongs to text
  return text;
}

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

// The kind of the source a display name names.
SourceKind KindOf(const wchar_t* displayName) {
  return std::wcsstr(displayName, kPnpMarker) ? kDeviceSource : kOtherSource;
}

// Builds the descriptor of one source and adds it to the collection. Sources
// whose property bag cannot be bound, that have no friendly name or whose
// descriptor cannot be created are skipped. The device name is the moniker's
// display name: the device path of a plug-and-play device, the moniker's own
// name for another source.
void AddDevice(IMoniker* moniker, const wchar_t* displayName, IVCapCollection* collection,
               DescriptorFactory& descriptors) {
  const SourceKind kind = KindOf(displayName);
  ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) return;
  std::optional<Bstr> friendlyName = ReadBagString(bag.Get(), L"FriendlyName");
  if (!friendlyName) return;

  ComPtr<IVCapFilter> filter;
  if (FAILED(descriptors.Create(&filter)) || !filter) return;
  LONG count = 0;
  if (FAILED(collection->get_Count(&count))) return;

  Bstr path(displayName);
  std::optional<Bstr> clsid = ReadBagString(bag.Get(), L"CLSID");
  Bstr empty(L"");
  filter->put_Moniker(moniker);
  filter->put_FName(friendlyName->Get());
  filter->put_DeviceName(path.Get());
  filter->put_ClsID(clsid ? clsid->Get() : empty.Get());
  filter->put_FIndex(count + 1);
  if (kind != kDeviceSource) {
    ComPtr<IVCapFilter2> described;
    if (FAILED(filter.As(&described)) || FAILED(described->put_SourceKind(kind))) return;
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

 private:
  HRESULT Enumerate(BSTR ClsID, bool allSources, IDispatch** pVal) {
    if (!pVal) return E_POINTER;
    return com::Guard([&] {
      CLSID category;
      HRESULT hr = CLSIDFromString(ClsID, &category);
      if (FAILED(hr)) return hr;

      ComPtr<ICreateDevEnum> devices;
      hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&devices));
      if (FAILED(hr)) return hr;
      ComPtr<IEnumMoniker> monikers;
      hr = devices->CreateClassEnumerator(category, &monikers, 0);
      if (FAILED(hr)) return hr;
      const bool empty = hr == S_FALSE || !monikers;

      ComPtr<IVCapCollection> collection;
      HRESULT created = CoCreateInstance(CLSID_VCapCollection, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&collection));
      if (FAILED(created)) return created;

      if (!empty) {
        DescriptorFactory descriptors;
        // The other sources are listed after the devices.
        std::vector<std::pair<ComPtr<IMoniker>, std::wstring>> others;
        ComPtr<IMoniker> moniker;
        while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
          if (!moniker) continue;
          CoTaskMem<wchar_t> name;
          if (FAILED(moniker->GetDisplayName(nullptr, nullptr, name.Receive())) || !name.Get()) {
            continue;
          }
          if (KindOf(name.Get()) == kDeviceSource) {
            AddDevice(moniker.Get(), name.Get(), collection.Get(), descriptors);
          } else if (allSources) {
            others.emplace_back(moniker, name.Get());
          }
        }
        for (const auto& [other, name] : others) {
          AddDevice(other.Get(), name.c_str(), collection.Get(), descriptors);
        }
      }
      *pVal = collection.Detach();  // IVCapCollection is the caller's IDispatch
      return S_OK;
    });
  }

 public:
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
};

HRESULT CreateVCapFilterEnum(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<VCapFilterEnum>(outer, riid, ppv);
}

}  // namespace lumora
