// Filter attachment and chipset detection: which camera family sits behind a
// capture filter, which vendor private property set reaches its driver, and
// which PropertyHandler serves it.
//
// Detection prefers the device's USB identity (the "VID_xxxx&PID_xxxx" string
// of a VCapFilter). Without a hit, and when the filter answers IKsPropertySet,
// the media interfaces registered under HKLM
// "SYSTEM\CurrentControlSet\Control\MediaInterfaces" are searched for a
// non-standard property set that the filter supports. Without either, the
// control runs in plain mode on StandardPropertyHandler.
//
// --- How a control object uses this -----------------------------------------
//
// The control keeps an AttachmentState as a member (fresh: everything empty)
// and, in its BaseFilter put, right after it has stored the filter:
//
//   class Events : public lumora::AttachmentEvents {
//     void DebugLog(const char* text) override { /* fire the DebugLog event */ }
//     void UseDefaultFilterName(const char* text) override { /* filterName = text */ }
//   };
//   lumora::AttachmentInput in;
//   in.filter = filter.get();                       // borrowed for the call
//   in.deviceVidPid = hasVidPid ? &vidPidUtf8 : nullptr;
//   in.filterNamePresent = filterName != nullptr;   // an empty name is present
//   in.registry = registryReader.get();             // MakeWindowsRegistryReader()
//   in.clock = &lumora::MultimediaClock();
//   HRESULT hr = lumora::AttachFilter(in, state_, events);
//
// AttachFilter fills `state_` step by step and calls back synchronously:
//   step 1  state.ksPropertySet := the filter's IKsPropertySet (or empty)
//   step 2  DebugLog("KS Property Interface Query failed") if that failed
//   step 3  UseDefaultFilterName("Filter Name not available") if no name
//   step 4-6  state.chipset / state.privateSet from the VID/PID table
//   step 7  DebugLog("VID-PID Search failed"), then the registry search and
//           "Property Page Search failed - using plain mode" or
//           "No Private Property interface - using plain mode"
//   step 8  state.handler := the family's handler, then HandlerInstalled()
//   step 9  DebugLog("Private Prop GUID found: {...}")
//   step 10 the result: the HRESULT of the step-1 query, or S_OK when the
//           filter has no IKsControl either (a capture source that is not a
//           kernel-streaming device: chipset unknown, vendor sets unreachable)
//
// state.handler stays empty until step 8, so a sink that calls the control's
// property members back from the DebugLog events of steps 2 and 7 gets
// E_NOINTERFACE, provided the control reads its handler from the state (or
// installs it only in HandlerInstalled). The step-9 message fires after the
// handler is installed. Callbacks must not throw; AttachFilter itself never
// throws (a handler that cannot be allocated leaves state.handler empty).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "property/capture_platform.h"
#include "property/property_handler.h"
#include "property/registry_reader.h"
#include "base/types.h"

namespace lumora {

// DebugLog texts of attachment.
constexpr char kLogKsQueryFailed[] = "KS Property Interface Query failed";
constexpr char kLogVidPidSearchFailed[] = "VID-PID Search failed";
constexpr char kLogPropertyPageSearchFailed[] = "Property Page Search failed - using plain mode";
constexpr char kLogNoPrivateInterface[] = "No Private Property interface - using plain mode";
constexpr char kLogPrivateGuidPrefix[] = "Private Prop GUID found: {";

// Filter name a control uses when none was given.
constexpr char kDefaultFilterName[] = "Filter Name not available";

// The registry branch of the media-interface search, below HKEY_LOCAL_MACHINE,
// and the value each subkey names its interface with.
constexpr char kMediaInterfacesPath[] = "SYSTEM\\CurrentControlSet\\Control\\MediaInterfaces";
constexpr char kMediaInterfaceIidValue[] = "IID";
// Property id a candidate set must support for both get and set.
constexpr uint32_t kMediaInterfaceProbeId = 9;
// Size of the buffer the "IID" value is read into.
constexpr uint32_t kMediaInterfaceValueBuffer = 260;

// The vendor private property sets the tables below name (the drivers'
// published set ids).
namespace private_set {
constexpr Guid kSaa8112 = Guid::Parse("35DBC300-F98F-11D2-AFD0-00104B13EAF2");
constexpr Guid kSaa8116 = Guid::Parse("1B3C6C20-CCE8-11D3-A59B-00104B13EAF2");
// The name the VID/PID table gives the SPC 900NC; its driver answers kSaa8116.
constexpr Guid kSaa8116Alias = Guid::Parse("63B8CCB6-015F-4B1D-AAD3-D4158AA1A9E3");
constexpr Guid kCreative4011 = Guid::Parse("869E8C6F-0D84-420F-B44E-7BFBEE74D6CF");
constexpr Guid kLogitech08B = Guid::Parse("F83865C0-92C3-11d3-B41E-0010DC973BDB");
constexpr Guid kCreaLiveUltra = Guid::Parse("5a403423-5667-4ec4-8573-7b88ccdc11cf");
constexpr Guid kLogiFusion = Guid::Parse("22ca01a0-cd31-11d0-8b18-00aa00cf90f9");
}  // namespace private_set

// A row of the VID/PID table.
struct VidPidEntry {
  const char* device;  // "VID_xxxx&PID_xxxx", compared whole and case-sensitively
  Guid privateSet;
};
extern const std::array<VidPidEntry, 18> kVidPidTable;

// A row of the classification table. `replacement`, when not null, is the set
// that takes the matched one's place.
struct ClassificationEntry {
  Guid privateSet;
  int32_t chipset;  // internal chipset value
  Guid replacement;
};
extern const std::array<ClassificationEntry, 7> kClassificationTable;

// Standard property sets the registry search never takes as private.
extern const std::array<Guid, 12> kStandardPropertySets;
bool IsStandardPropertySet(const Guid& set);

// Private set of a device string; the null GUID when `device` is null or
// matches no row.
Guid LookupVidPid(const std::string* device);

// Internal chipset value (0, 1, 2, 4 or 5) of *privateSet; replaces the
// 63B8CCB6 set by the 1B3C6C20 set.
int32_t ClassifyPropertySet(Guid* privateSet);

struct MediaInterfaceSearchResult {
  bool found = false;
  Guid set;  // the null GUID when nothing was found
};

// Walks the MediaInterfaces subkeys in enumeration order and returns the
// first whose "IID" is a 16-byte REG_BINARY, not a standard set, and for
// which `ksPropertySet` reports get and set support of property 9. Each
// subkey is opened relative to the branch by the name enumeration gave, with
// one allocation (the open key) per subkey. Every key it opens is closed
// before it returns. Never throws.
MediaInterfaceSearchResult SearchMediaInterfaces(RegistryReader& reader,
                                                 KsPropertySet& ksPropertySet);

// "Private Prop GUID found: {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" with the
// GUID in lower case, as a NUL-terminated text in a fixed buffer (no
// allocation).
using GuidMessage = std::array<char, 64>;
GuidMessage PrivateGuidMessage(const Guid& set);

// What a control owns and attachment fills.
struct AttachmentState {
  std::unique_ptr<KsPropertySet> ksPropertySet;  // the filter's IKsPropertySet, may be empty
  Guid privateSet;                               // private set as detection left it
  int32_t chipset = 0;                           // internal value; PublicChipset() for clients
  std::unique_ptr<PropertyHandler> handler;      // empty until step 8
};

// What a control hands to attachment (borrowed for the call, except the
// clock, which the handler keeps).
struct AttachmentInput {
  // The attached filter, not null. Borrowed for the call only: the handler
  // takes its own interface references and keeps no pointer to the filter.
  CaptureFilter* filter = nullptr;
  const std::string* deviceVidPid = nullptr;  // null when the control has none
  bool filterNamePresent = false;             // whether the control has a filter name
  RegistryReader* registry = nullptr;         // null: the search finds nothing
  // Lag clock of the handler; must outlive it. Null: SteadyClock().
  Clock* clock = nullptr;
};

// Callbacks of attachment, called synchronously on the caller's thread.
class AttachmentEvents {
 public:
  virtual ~AttachmentEvents() = default;
  // One DebugLog text (NUL-terminated, valid for the call).
  virtual void DebugLog(const char* text) = 0;
  // Step 3, only when the control has no filter name: take `text` as name.
  virtual void UseDefaultFilterName(const char* text) = 0;
  // Step 8 has stored the handler (or left it empty when it could not be
  // created) in the state.
  virtual void HandlerInstalled() {}
};

// Runs attachment steps 1 to 10 for a filter a control has just taken.
// Returns the HRESULT of the filter's IKsPropertySet query, or S_OK for a
// filter without IKsControl.
HResult AttachFilter(const AttachmentInput& input, AttachmentState& state,
                     AttachmentEvents& events) noexcept;

}  // namespace lumora
