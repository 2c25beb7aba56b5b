// The access to a capture filter's extension-unit nodes that discovery and
// raw access need: the node ids of its extension units and one node
// property request. The Windows adapter implements it with
// IKsTopologyInfo and IKsControl::KsProperty (KSP_NODE); the simulated rig
// implements it as a fake of the in-box UVC driver.
#pragma once

#include <cstdint>
#include <vector>

#include "base/types.h"

namespace lumora::xu {

struct TransportReply {
  HResult result = hr::Ok;
  uint32_t bytesReturned = 0;
};

class XuTransport {
 public:
  virtual ~XuTransport() = default;

  // The ids of the filter's nodes of type KSNODETYPE_DEV_SPECIFIC, in node
  // order. Must not throw.
  virtual HResult ExtensionNodes(std::vector<uint32_t>* nodes) = 0;

  // One request on a node: KSP_NODE{Set = set, Id = id, Flags = flags |
  // KSPROPERTY_TYPE_TOPOLOGY, NodeId = nodeId, Reserved = 0} with `size`
  // bytes at `data` (null with size 0 for a length query). `flags` is one
  // of kTypeGet, kTypeSet, kTypeBasicSupport, kTypeDefaultValues,
  // kTypeSetSupport; for a GET the reply is written to `data`. Returns the
  // driver's HRESULT and BytesReturned unchanged. Must not throw.
  virtual TransportReply NodeProperty(uint32_t flags, uint32_t nodeId, const Guid& set, uint32_t id,
                                      void* data, uint32_t size) = 0;
};

}  // namespace lumora::xu
