// The extension units of a simulated UVC camera, as the in-box UVC driver
// exposes them: each unit is a node of the filter's topology (type
// KSNODETYPE_DEV_SPECIFIC) whose property set is the unit's GUID, reached
// only with KSP_NODE and the TOPOLOGY flag. Node ids are not unit ids.
//
// What the driver answers (SimulatedCamera::AnswerNode):
//   GET, no buffer           ERROR_MORE_DATA, BytesReturned = the length
//   GET, smaller buffer      ERROR_MORE_DATA, BytesReturned = the length
//   GET                      the current value (the whole control)
//   SET                      the whole control; another length or a control
//                            without SET: E_INVALIDARG
//   BASICSUPPORT             staged: a ULONG buffer gets the AccessFlags, a
//                            KSPROPERTY_DESCRIPTION buffer the description
//                            (DescriptionSize = the whole reply), a larger one
//                            the whole reply: description, a RANGES members
//                            header, then resolution, minimum, maximum
//   DEFAULTVALUES            the same stages: a VALUES members header with
//                            the DEFAULT flag, then the default
//   id 0 (unit info, GET)    guidExtensionCode, bNumControls, bNrInPins,
//                            baSourceID[] as the descriptor holds them
//   SETSUPPORT, its own set  S_OK
//   SETSUPPORT, null set     the node's set GUIDs, when `listsSets`;
//                            otherwise ERROR_SET_NOT_FOUND (UNCONFIRMED for
//                            the real driver: both are simulated)
//   another set, or a request without the TOPOLOGY flag
//                            ERROR_SET_NOT_FOUND
//   an absent selector       the unit's `absentCode` (ERROR_NOT_FOUND or
//                            ERROR_SET_NOT_FOUND: real drivers are not
//                            known to agree)
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "base/types.h"

namespace lumora::sim {

constexpr HResult kMoreData = static_cast<HResult>(0x800700EAu);    // ERROR_MORE_DATA
constexpr HResult kSemTimeout = static_cast<HResult>(0x80070079u);  // ERROR_SEM_TIMEOUT

// GET_INFO bits of a UVC control (D0 GET, D1 SET).
constexpr uint8_t kInfoGet = 0x1;
constexpr uint8_t kInfoSet = 0x2;

// Faults of one extension-unit control (LUMORA_SIM_FAULTS "xu/UNIT.SELECTOR").
struct XuFaults {
  bool stall = false;           // every request fails with ERROR_GEN_FAILURE
  bool timeout = false;         // every request fails with ERROR_SEM_TIMEOUT
  bool unsupportedId = false;   // the selector answers ERROR_NOT_FOUND (absent)
  bool unsupportedSet = false;  // the selector answers ERROR_SET_NOT_FOUND (absent)
  bool lengthChanges = false;   // every second length query reports one byte more
  bool shortReply = false;      // a GET returns one byte less than the length
};

struct XuControl {
  std::vector<uint8_t> current, minimum, maximum, resolution, defaultValue;
  uint8_t info = kInfoGet | kInfoSet;
  // DEFAULTVALUES is answered (UVC does not promise defaults of every
  // length): without it the request answers ERROR_NOT_FOUND.
  bool hasDefault = true;
  XuFaults faults;
  uint32_t lengthQueries = 0;  // for XuFaults::lengthChanges
};

struct XuUnit {
  Guid guid;
  uint8_t unitId = 0;    // bUnitID: never the node id
  uint8_t sourceId = 0;  // baSourceID[0]
  bool listsSets = false;
  HResult absentCode = static_cast<HResult>(0x80070490u);  // ERROR_NOT_FOUND
  std::map<uint32_t, XuControl> controls;                  // by selector
};

// A control of `length` bytes over the full byte range: minimum 00..,
// maximum ff.., resolution 01.., default and current `value` (one byte
// repeated).
XuControl MakeXuControl(uint32_t length, uint8_t value, uint8_t info = kInfoGet | kInfoSet);

}  // namespace lumora::sim
