#include "dshow/platform.h"
#include "dshow/xu_transport.h"

#include <control.h>
#include <strmif.h>
#include <uuids.h>

#include <cwchar>
#include <new>
#include <utility>
#include <vector>

#include "dshow/dshow_filter.h"
#include "dshow/multimedia_clock.h"
#include "dshow/registry_reader_win.h"

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

// Sources whose property bag cannot be bound or that have no friendly name
// are passed over, and so are those that are not plug-and-play unless
// `others` asks for them.
bool Describe(IMoniker* moniker, bool others, DeviceEntry* device) {
  CoTaskMem<wchar_t> displayName;
  if (FAILED(moniker->GetDisplayName(nullptr, nullptr, displayName.Receive())) ||
      !displayName.Get()) {
    return false;
  }
  const bool plugAndPlay = std::wcsstr(displayName.Get(), kPnpMarker) != nullptr;
  if (!plugAndPlay && !others) return false;
  ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) return false;
  std::optional<Bstr> friendlyName = ReadBagString(bag.Get(), L"FriendlyName");
  if (!friendlyName) return false;
  device->moniker = moniker;
  device->displayName = Bstr(displayName.Get());
  device->friendlyName = std::move(*friendlyName);
  device->clsid = ReadBagString(bag.Get(), L"CLSID");
  device->plugAndPlay = plugAndPlay;
  return true;
}

// With `others`, the sources that are not plug-and-play are held back until
// the enumeration has given every device.
class MonikerList final : public DeviceList {
 public:
  MonikerList(ComPtr<IEnumMoniker> monikers, bool others) noexcept
      : monikers_(std::move(monikers)), others_(others) {}
  bool Next(DeviceEntry* device) override {
    ComPtr<IMoniker> moniker;
    while (monikers_ && monikers_->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
      if (!moniker || !Describe(moniker.Get(), others_, device)) continue;
      if (device->plugAndPlay) return true;
      try {
        held_.push_back(std::move(*device));
      } catch (const std::bad_alloc&) {
        // Without memory for it the source is passed over.
      }
      *device = DeviceEntry();
    }
    monikers_.Reset();
    if (next_ >= held_.size()) return false;
    *device = std::move(held_[next_++]);
    return true;
  }

 private:
  ComPtr<IEnumMoniker> monikers_;  // reset at its end
  bool others_;
  std::vector<DeviceEntry> held_;
  size_t next_ = 0;
};

HRESULT OpenList(REFCLSID category, bool others, std::unique_ptr<DeviceList>* list) {
  list->reset();
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr =
      CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&devices));
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> monikers;
  hr = devices->CreateClassEnumerator(category, &monikers, 0);
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE || !monikers) return S_FALSE;
  list->reset(new (std::nothrow) MonikerList(std::move(monikers), others));
  return *list ? S_OK : E_OUTOFMEMORY;
}

HRESULT OpenDevices(REFCLSID category, std::unique_ptr<DeviceList>* list) {
  return OpenList(category, false, list);
}

HRESULT OpenSources(REFCLSID category, std::unique_ptr<DeviceList>* list) {
  return OpenList(category, true, list);
}

HRESULT BindDevice(IUnknown* moniker, ComPtr<IUnknown>* object) {
  ComPtr<IMoniker> device;
  if (FAILED(moniker->QueryInterface(IID_PPV_ARGS(&device))) || !device) return E_FAIL;
  if (FAILED(device->BindToObject(nullptr, nullptr, IID_IUnknown,
                                  reinterpret_cast<void**>(object->ReleaseAndGetAddressOf()))) ||
      !*object) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT OpenFilter(IUnknown* object, ComPtr<IUnknown>* filter,
                   std::unique_ptr<CaptureFilter>* capture) {
  ComPtr<IBaseFilter> base;
  if (FAILED(
          object->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(base.GetAddressOf()))) ||
      !base) {
    return E_INVALIDARG;
  }
  *capture = MakeDShowFilter(base.Get());
  *filter = std::move(base);
  return S_OK;
}

HRESULT FilterOfInfo(IUnknown* info, ComPtr<IUnknown>* held, ComPtr<IUnknown>* filter) {
  ComPtr<IFilterInfo> described;
  if (FAILED(info->QueryInterface(IID_IFilterInfo,
                                  reinterpret_cast<void**>(described.GetAddressOf()))) ||
      !described) {
    return E_INVALIDARG;
  }
  *held = described;
  if (FAILED(described->get_Filter(filter->ReleaseAndGetAddressOf())) || !*filter) return E_FAIL;
  return S_OK;
}

}  // namespace

const Platform& DirectShowPlatform() {
  static const Platform platform = [] {
    Platform p{};
    p.openDevices = OpenDevices;
    p.openSources = OpenSources;
    p.bindDevice = BindDevice;
    p.openFilter = OpenFilter;
    p.filterOfInfo = FilterOfInfo;
    p.openXu = OpenXuTransport;
    p.registry = MakeWindowsRegistryReader;
    p.clock = MultimediaClock;
    return p;
  }();
  return platform;
}

}  // namespace lumora
