// What the automation classes take from the platform: the system's device
// enumeration, a device's filter, the capture operations of a filter, the
// registry and the clock. The server hands each class these factories when it
// creates an instance (module/server.cpp); DirectShowPlatform() gives the
// adapter's own. Everything that calls a camera or device-enumeration
// interface sits behind them.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <memory>
#include <optional>

#include "base/clock.h"
#include "com/raii.h"
#include "property/capture_platform.h"
#include "property/registry_reader.h"
#include "xu/transport.h"

namespace lumora {

// One capture source of a category (a plug-and-play device unless
// openSources says otherwise), with the texts its property bag holds.
struct DeviceEntry {
  Microsoft::WRL::ComPtr<IUnknown> moniker;  // the device's moniker
  com::Bstr displayName;                     // the moniker's display name
  com::Bstr friendlyName;                    // "FriendlyName"
  std::optional<com::Bstr> clsid;            // "CLSID", when the bag has one
  // A plug-and-play (kernel-streaming) device; false for any other source: a
  // filter of its own, a software or virtual camera.
  bool plugAndPlay = true;
};

// The devices of one category, in the system's order.
class DeviceList {
 public:
  virtual ~DeviceList() = default;
  // The next source that has a friendly name (others are passed over);
  // false at the end.
  virtual bool Next(DeviceEntry* device) = 0;
};

struct Platform {
  // The devices of a category: S_OK with a list; S_FALSE without one when the
  // category has no devices; otherwise the failure.
  // Only the plug-and-play devices are listed.
  HRESULT (*openDevices)(REFCLSID category, std::unique_ptr<DeviceList>* list);
  // Every capture source of a category: the plug-and-play devices as
  // openDevices lists them, then the other sources in the system's order.
  HRESULT (*openSources)(REFCLSID category, std::unique_ptr<DeviceList>* list);
  // The object a device moniker names (not null on success).
  HRESULT (*bindDevice)(IUnknown* moniker, Microsoft::WRL::ComPtr<IUnknown>* object);
  // The capture filter an object is: E_INVALIDARG when it is none.
  // *filter keeps the filter, *capture its operations (null for want of
  // memory).
  HRESULT (*openFilter)
  (IUnknown* object, Microsoft::WRL::ComPtr<IUnknown>* filter,
   std::unique_ptr<CaptureFilter>* capture);
  // The filter a DirectShow FilterInfo object describes: E_INVALIDARG when
  // info is no FilterInfo, E_FAIL when it names no filter. *held keeps the
  // FilterInfo object once it is known.
  HRESULT (*filterOfInfo)
  (IUnknown* info, Microsoft::WRL::ComPtr<IUnknown>* held,
   Microsoft::WRL::ComPtr<IUnknown>* filter);
  // The extension-unit access of a capture filter (its IKsTopologyInfo and
  // IKsControl): S_OK with *transport set, or why there is none.
  HRESULT (*openXu)(IUnknown* filter, std::unique_ptr<xu::XuTransport>* transport);
  std::unique_ptr<RegistryReader> (*registry)();
  Clock& (*clock)();
};

// The DirectShow adapter's factories.
const Platform& DirectShowPlatform();

}  // namespace lumora
