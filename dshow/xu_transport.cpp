#include "dshow/xu_transport.h"

#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>
#include <wrl/client.h>

#include <cstring>
#include <new>

#include "xu/ks_layout.h"

namespace lumora {

// IKsTopologyInfo, which the mingw-w64 headers lack (vidcap.h of the
// Windows SDK): the methods in their documented vtable order. Outside the
// anonymous namespace: the compiler treats a virtual call on an interface
// of internal linkage that nothing in this file implements as unreachable.
// {720D4AC0-7533-11D0-A5D6-28DB04C10000}
constexpr IID kIidTopologyInfo = {
    0x720d4ac0, 0x7533, 0x11d0, {0xa5, 0xd6, 0x28, 0xdb, 0x04, 0xc1, 0x00, 0x00}};
struct IKsTopologyInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(DWORD index, GUID* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD index,
                                                       KSTOPOLOGY_CONNECTION* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeName(DWORD node, WCHAR* name, DWORD size,
                                                 DWORD* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void** out) = 0;
};

namespace {

using Microsoft::WRL::ComPtr;

// Nodes beyond this are not asked about (a UVC function has at most 255
// units and terminals).
constexpr DWORD kMaxNodes = 256;

class DShowXuTransport final : public xu::XuTransport {
 public:
  DShowXuTransport(ComPtr<IKsControl> control, ComPtr<IKsTopologyInfo> topology)
      : control_(std::move(control)), topology_(std::move(topology)) {}

  HResult ExtensionNodes(std::vector<uint32_t>* nodes) override {
    nodes->clear();
    DWORD count = 0;
    HRESULT hr = topology_->get_NumNodes(&count);
    if (FAILED(hr)) return hr;
    for (DWORD node = 0; node < count && node < kMaxNodes; ++node) {
      GUID type{};
      if (FAILED(topology_->get_NodeType(node, &type))) continue;
      // KSNODETYPE_DEV_SPECIFIC (tied to the SDK's in ks_layout_check.cpp).
      if (std::memcmp(&type, &xu::kNodeTypeDevSpecific, sizeof type) == 0) nodes->push_back(node);
    }
    return hr::Ok;
  }

  xu::TransportReply NodeProperty(uint32_t flags, uint32_t nodeId, const Guid& set, uint32_t id,
                                  void* data, uint32_t size) override {
    KSP_NODE request{};
    std::memcpy(&request.Property.Set, &set, sizeof(GUID));
    request.Property.Id = id;
    request.Property.Flags = flags | KSPROPERTY_TYPE_TOPOLOGY;
    request.NodeId = nodeId;
    request.Reserved = 0;
    ULONG returned = 0;
    xu::TransportReply reply;
    reply.result = control_->KsProperty(&request.Property, sizeof request, data, size, &returned);
    reply.bytesReturned = returned;
    return reply;
  }

 private:
  ComPtr<IKsControl> control_;
  ComPtr<IKsTopologyInfo> topology_;
};

}  // namespace

HRESULT OpenXuTransport(IUnknown* filter, std::unique_ptr<xu::XuTransport>* out) noexcept {
  if (!filter || !out) return E_POINTER;
  out->reset();
  ComPtr<IKsControl> control;
  HRESULT hr =
      filter->QueryInterface(IID_IKsControl, reinterpret_cast<void**>(control.GetAddressOf()));
  if (FAILED(hr)) return hr;
  ComPtr<IKsTopologyInfo> topology;
  hr = filter->QueryInterface(kIidTopologyInfo, reinterpret_cast<void**>(topology.GetAddressOf()));
  if (FAILED(hr)) return hr;
  if (!control || !topology) return E_NOINTERFACE;
  out->reset(new (std::nothrow) DShowXuTransport(std::move(control), std::move(topology)));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace lumora
