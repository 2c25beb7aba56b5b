// The extension units of a capture filter and their controls, found through
// an XuTransport, and raw access to a whole control. Node ids are not UVC
// unit ids: a unit is named by its GUID, and the node that answers the GUID
// is found by asking.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"
#include "xu/replies.h"
#include "xu/transport.h"

namespace lumora::xu {

// How a unit's GUID became known.
enum class GuidSource {
  kNone,        // unnamed: no candidate answered and the node lists no sets
  kCandidate,   // a known or user-given GUID answered the unit-info request
  kSetSupport,  // the node listed it in answer to a null-set SETSUPPORT request
};

// What is known of one control. A control whose length or ranges cannot be
// read is still listed: each fact is absent then, and `problems` says why.
struct ControlFacts {
  uint32_t selector = 0;
  std::optional<uint32_t> length;
  std::optional<uint32_t> access;  // kTypeGet | kTypeSet bits (BASICSUPPORT AccessFlags)
  std::optional<Bytes> minimum, maximum, resolution, defaultValue, current;
  std::vector<std::string> problems;  // one line each, without line breaks

  // Unknown access does not forbid (the request itself then decides).
  bool CanGet() const { return !access || (*access & kTypeGet) != 0; }
  bool CanSet() const { return !access || (*access & kTypeSet) != 0; }
};

struct UnitFacts {
  uint32_t nodeId = 0;
  std::optional<Guid> guid;
  GuidSource guidSource = GuidSource::kNone;
  std::optional<UnitInfo> info;
  std::vector<ControlFacts> controls;  // by selector
  std::vector<std::string> problems;
};

struct DiscoveryOptions {
  // GUIDs tried on each node before a SETSUPPORT request (the definitions'
  // units and any the user names).
  std::vector<Guid> candidates;
  // Read each control's current value and default as well.
  bool readValues = true;
  // Requests answered with ERROR_NOT_READY are repeated this many times.
  int notReadyRetries = 2;
};

// Outcome of a raw access: the driver's code and a one-line message.
struct Status {
  HResult code = hr::Ok;
  std::string message;
  bool ok() const { return hr::Succeeded(code) && message.empty(); }
  static Status Ok() { return Status{}; }
  static Status Error(HResult code, std::string message) {
    return Status{code, std::move(message)};
  }
};

// Requests with the ERROR_NOT_READY retry of the options.
class Requester {
 public:
  Requester(XuTransport& transport, int notReadyRetries)
      : transport_(transport), retries_(notReadyRetries) {}
  TransportReply Request(uint32_t flags, uint32_t node, const Guid& set, uint32_t id, void* data,
                         uint32_t size);
  XuTransport& transport() { return transport_; }

 private:
  XuTransport& transport_;
  int retries_;
};

// Every extension-unit node of the filter with what could be learned; a
// failure to list the nodes is returned as the status.
Status DiscoverUnits(XuTransport& transport, const DiscoveryOptions& options,
                     std::vector<UnitFacts>* units);

// One node: its GUID (candidates first, then SETSUPPORT), then its controls.
UnitFacts DescribeNode(Requester& requester, uint32_t nodeId, const DiscoveryOptions& options);

// Selectors 1..31 of a unit: a selector answered "unsupported" is absent,
// any other failure lists the selector with what is known; a gap does not
// end the scan.
std::vector<ControlFacts> ScanControls(Requester& requester, uint32_t nodeId, const Guid& unit,
                                       const DiscoveryOptions& options);

// One control's facts; nullopt when the selector is absent.
std::optional<ControlFacts> DescribeControl(Requester& requester, uint32_t nodeId, const Guid& unit,
                                            uint32_t selector, bool readValues);

// The node that answers the unit-info request for `unit`, if any.
std::optional<uint32_t> FindNode(XuTransport& transport, const Guid& unit);

// Raw read of the whole control (`length` bytes). A reply of another size
// is an error naming both sizes.
Status ReadControl(XuTransport& transport, uint32_t nodeId, const Guid& unit, uint32_t selector,
                   uint32_t length, Bytes* value);

// Raw write of the whole control. A value whose length is not the
// control's, or a control the driver reports as read-only, is refused
// before anything is sent.
Status WriteControl(XuTransport& transport, uint32_t nodeId, const Guid& unit,
                    const ControlFacts& facts, const Bytes& value);

}  // namespace lumora::xu
