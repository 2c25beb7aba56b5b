#include "property/detection.h"

#include <cstring>
#include <new>

#include "property/handler_factory.h"
#include "property/property_blocks.h"

namespace lumora {

using namespace private_set;

const std::array<VidPidEntry, 18> kVidPidTable = {{
    {"VID_0471&PID_0307", kSaa8112},
    {"VID_0471&PID_0308", kSaa8112},
    {"VID_0471&PID_030C", kSaa8112},
    {"VID_0471&PID_0311", kSaa8116},
    {"VID_0471&PID_0312", kSaa8116},
    {"VID_0471&PID_0329", kSaa8116Alias},
    {"VID_046D&PID_08B0", kLogitech08B},
    {"VID_046D&PID_08B1", kLogitech08B},
    {"VID_046D&PID_08B2", kLogitech08B},
    {"VID_046D&PID_08B3", kLogitech08B},
    {"VID_046D&PID_08B4", kLogitech08B},
    {"VID_046D&PID_08B5", kLogitech08B},
    {"VID_046D&PID_08C1", kLogiFusion},
    {"VID_046D&PID_08C3", kLogiFusion},
    {"VID_046D&PID_08C2", kLogiFusion},
    {"VID_046D&PID_08C5", kLogiFusion},
    {"VID_041E&PID_4011", kCreative4011},
    {"VID_041E&PID_403C", kCreaLiveUltra},
}};

const std::array<ClassificationEntry, 7> kClassificationTable = {{
    {kSaa8112, 1, kNullGuid},
    {kSaa8116, 2, kNullGuid},
    {kSaa8116Alias, 2, kSaa8116},
    {kCreative4011, 2, kNullGuid},
    {kLogitech08B, 2, kNullGuid},
    {kCreaLiveUltra, 4, kNullGuid},
    {kLogiFusion, 5, kNullGuid},
}};

const std::array<Guid, 12> kStandardPropertySets = {{
    Guid::Parse("C6E13360-30AC-11D0-A18C-00A0C9118956"),  // video proc-amp
    Guid::Parse("6A2E0670-28E4-11D0-A18C-00A0C9118956"),  // video control
    Guid::Parse("C6E13340-30AC-11D0-A18C-00A0C9118956"),
    Guid::Parse("C6E13343-30AC-11D0-A18C-00A0C9118956"),
    Guid::Parse("C6E13344-30AC-11D0-A18C-00A0C9118956"),
    Guid::Parse("C6E13350-30AC-11D0-A18C-00A0C9118956"),
    Guid::Parse("C6E13370-30AC-11D0-A18C-00A0C9118956"),  // camera control
    Guid::Parse("C6E133B0-30AC-11D0-A18C-00A0C9118956"),
    Guid::Parse("C6E13380-30AC-11D0-A18C-00A0C9118956"),
    kNullGuid,
    Guid::Parse("BC29A660-30E3-11D0-9E69-00C04FD7C15B"),
    Guid::Parse("EC529B00-1A1F-11D1-BAD9-00609744111A"),
}};

bool IsStandardPropertySet(const Guid& set) {
  for (const Guid& standard : kStandardPropertySets) {
    if (standard == set) return true;
  }
  return false;
}

Guid LookupVidPid(const std::string* device) {
  Guid result;
  if (device == nullptr) return result;
  for (const VidPidEntry& row : kVidPidTable) {
    if (*device == row.device) result = row.privateSet;
  }
  return result;
}

int32_t ClassifyPropertySet(Guid* privateSet) {
  int32_t chipset = 0;
  for (const ClassificationEntry& row : kClassificationTable) {
    if (*privateSet == row.privateSet) {
      chipset = row.chipset;
      if (!row.replacement.IsNull()) *privateSet = row.replacement;
    }
  }
  return chipset;
}

namespace {

// Whether the subkey `name` of the branch names a set the filter supports.
// The subkey is opened relative to the branch by the name enumeration gave:
// one allocation (the open key) per subkey.
bool Qualifies(RegistryKey& branch, KsPropertySet& ksPropertySet, const RegistryName& name,
               Guid* set) {
  std::unique_ptr<RegistryKey> subkey;
  if (branch.OpenSubkey(name, &subkey) != kRegSuccess || !subkey) return false;
  uint8_t buffer[kMediaInterfaceValueBuffer] = {};
  uint32_t type = kRegNone;
  uint32_t size = sizeof buffer;
  if (subkey->QueryValue(kMediaInterfaceIidValue, &type, buffer, &size) != kRegSuccess ||
      type != kRegBinary || size != sizeof(Guid)) {
    return false;
  }
  Guid candidate;
  std::memcpy(&candidate, buffer, sizeof candidate);
  if (IsStandardPropertySet(candidate)) return false;
  uint32_t support = 0;
  if (hr::Failed(ksPropertySet.QuerySupported(candidate, kMediaInterfaceProbeId, &support))) {
    return false;
  }
  if ((support & (kKsSupportGet | kKsSupportSet)) != (kKsSupportGet | kKsSupportSet)) {
    return false;
  }
  *set = candidate;
  return true;
}

}  // namespace

MediaInterfaceSearchResult SearchMediaInterfaces(RegistryReader& reader,
                                                 KsPropertySet& ksPropertySet) {
  MediaInterfaceSearchResult result;
  try {
    std::unique_ptr<RegistryKey> branch;
    if (reader.OpenLocalMachine(kMediaInterfacesPath, &branch) != kRegSuccess || !branch) {
      return result;
    }
    RegistryName name;
    for (uint32_t index = 0;; ++index) {
      if (branch->EnumSubkey(index, &name) != kRegSuccess) break;
      Guid set;
      if (Qualifies(*branch, ksPropertySet, name, &set)) {
        result.found = true;
        result.set = set;
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    // Memory that runs out ends the search like a failed call.
    result = MediaInterfaceSearchResult{};
  }
  return result;
}

GuidMessage PrivateGuidMessage(const Guid& set) {
  static const char kHex[] = "0123456789abcdef";
  GuidMessage text{};
  size_t n = 0;
  for (const char* p = kLogPrivateGuidPrefix; *p != '\0'; ++p) text[n++] = *p;
  auto put = [&](uint32_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) text[n++] = kHex[(v >> (4 * i)) & 0xF];
  };
  put(set.data1, 8);
  text[n++] = '-';
  put(set.data2, 4);
  text[n++] = '-';
  put(set.data3, 4);
  text[n++] = '-';
  put(set.data4[0], 2);
  put(set.data4[1], 2);
  text[n++] = '-';
  for (int i = 2; i < 8; ++i) put(set.data4[i], 2);
  text[n++] = '}';
  text[n] = '\0';
  return text;
}

HResult AttachFilter(const AttachmentInput& input, AttachmentState& state,
                     AttachmentEvents& events) noexcept {
  // 1. The kernel-streaming property interface; its answer is the result.
  state.ksPropertySet.reset();
  HResult result = hr::Pointer;
  if (input.filter != nullptr) {
    result = input.filter->QueryKsPropertySet(&state.ksPropertySet);
    if (hr::Failed(result)) state.ksPropertySet.reset();
  }
  // 2.
  if (hr::Failed(result)) events.DebugLog(kLogKsQueryFailed);
  // 3.
  if (!input.filterNamePresent) events.UseDefaultFilterName(kDefaultFilterName);
  // 4 to 6. The USB identity.
  state.chipset = 0;
  state.privateSet = kNullGuid;
  state.privateSet = LookupVidPid(input.deviceVidPid);
  state.chipset = ClassifyPropertySet(&state.privateSet);
  // 7. The registry search.
  if (state.chipset == 0) {
    events.DebugLog(kLogVidPidSearchFailed);
    if (state.ksPropertySet) {
      MediaInterfaceSearchResult found;
      if (input.registry != nullptr) {
        found = SearchMediaInterfaces(*input.registry, *state.ksPropertySet);
      }
      if (found.found) {
        state.privateSet = found.set;
        state.chipset = ClassifyPropertySet(&state.privateSet);
      } else {
        state.privateSet = kNullGuid;
        events.DebugLog(kLogPropertyPageSearchFailed);
      }
    } else {
      events.DebugLog(kLogNoPrivateInterface);
    }
  }
  // 8. The family's handler.
  state.handler.reset();
  try {
    Clock& clock = input.clock != nullptr ? *input.clock : SteadyClock();
    state.handler = CreatePropertyHandler(state.chipset, input.filter, state.privateSet, clock);
  } catch (const std::bad_alloc&) {
    state.handler.reset();
  }
  events.HandlerInstalled();
  // 9.
  events.DebugLog(PrivateGuidMessage(state.privateSet).data());
  // 10. A filter that is no kernel-streaming filter (no IKsControl) is not
  // expected to offer IKsPropertySet: its attachment succeeds.
  if (hr::Failed(result) && input.filter != nullptr) {
    std::unique_ptr<KsControl> ks;
    if (hr::Failed(input.filter->QueryKsControl(&ks)) || !ks) result = hr::Ok;
  }
  return result;
}

}  // namespace lumora
