// Parsing of the driver's replies to extension-unit requests, and the
// meaning of its error codes. Pure functions over bytes: every reply is
// checked for its size, and what a short or inconsistent reply leaves
// unknown stays unknown, with a one-line reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"
#include "xu/ks_layout.h"

namespace lumora::xu {

using Bytes = std::vector<uint8_t>;

// Codes the driver answers extension-unit requests with (HRESULT_FROM_WIN32).
namespace code {
constexpr HResult kMoreData = static_cast<HResult>(0x800700EAu);     // ERROR_MORE_DATA
constexpr HResult kSetNotFound = static_cast<HResult>(0x80070492u);  // ERROR_SET_NOT_FOUND
constexpr HResult kNotFound = static_cast<HResult>(0x80070490u);     // ERROR_NOT_FOUND
constexpr HResult kGenFailure = static_cast<HResult>(0x8007001Fu);   // ERROR_GEN_FAILURE
constexpr HResult kSemTimeout = static_cast<HResult>(0x80070079u);   // ERROR_SEM_TIMEOUT
constexpr HResult kNotReady = static_cast<HResult>(0x80070015u);     // ERROR_NOT_READY
}  // namespace code

// "0x8007001F".
std::string CodeText(HResult hr);

// What a code means for an extension-unit request, or "" when it has no
// particular meaning here.
const char* CodeMeaning(HResult hr);

// "0x8007001F (the device failed the request)": the code and its meaning.
std::string DescribeCode(HResult hr);

// True for the answers that mean "this set or selector is not here"
// (ERROR_SET_NOT_FOUND, ERROR_NOT_FOUND): either may come for an absent
// selector, and neither ends a selector scan.
bool IsUnsupported(HResult hr);

// The GUID of the 16 bytes of a descriptor's guidExtensionCode, read as a
// Windows GUID (Data1 to Data3 little-endian), and back.
Guid GuidFromDescriptorBytes(const uint8_t bytes[16]);
void GuidToDescriptorBytes(const Guid& guid, uint8_t bytes[16]);

// The answer to a GET with no buffer: ERROR_MORE_DATA with the control's
// length as the bytes returned. A success that names a length is taken too.
struct LengthAnswer {
  std::optional<uint32_t> length;
  bool unsupported = false;  // the selector (or set) is not on the node
  HResult result = hr::Ok;
  std::string problem;  // why there is no length
};
LengthAnswer ParseLengthAnswer(HResult result, uint32_t bytesReturned);

// The AccessFlags of a BASICSUPPORT reply of a ULONG (or more).
std::optional<uint32_t> ParseAccessFlags(const uint8_t* reply, size_t size);

// The description at the start of a BASICSUPPORT or DEFAULTVALUES reply of
// at least sizeof(KSPROPERTY_DESCRIPTION) bytes.
std::optional<KsPropertyDescription> ParseDescription(const uint8_t* reply, size_t size);

// A full BASICSUPPORT reply: description, a members header with
// MembersFlags RANGES, then three fields of the control's length in the
// order resolution, minimum, maximum. The reply's usable size is the
// smaller of the bytes returned and its DescriptionSize.
struct RangeReply {
  std::optional<uint32_t> access;
  std::optional<Bytes> resolution, minimum, maximum;  // all three or none
  std::string problem;                                // why there are no ranges
};
RangeReply ParseBasicSupport(const uint8_t* reply, size_t size, uint32_t controlLength);

// A full DEFAULTVALUES reply: description, a members header with
// MembersFlags VALUES and the DEFAULT flag, then the default value.
struct DefaultReply {
  std::optional<Bytes> value;
  std::string problem;
};
DefaultReply ParseDefaultValues(const uint8_t* reply, size_t size, uint32_t controlLength);

// The reply of property id 0 (KSPROPERTY_EXTENSION_UNIT_INFO): the unit's
// guidExtensionCode, bNumControls, bNrInPins and baSourceID[], as the
// descriptor holds them. Whatever a short reply leaves out is absent.
struct UnitInfo {
  Guid guid;
  std::optional<uint8_t> numControls;
  std::optional<uint8_t> numInPins;
  Bytes sourceIds;  // the ones the reply holds
  std::string problem;
};
std::optional<UnitInfo> ParseUnitInfo(const uint8_t* reply, size_t size);

// The reply of a SETSUPPORT request with a null set: the property-set GUIDs
// the node supports, 16 bytes each in the Windows GUID layout. A trailing
// partial GUID is ignored.
std::vector<Guid> ParseSetList(const uint8_t* reply, size_t size);

// The value of a hex digit of either case, or -1.
int HexDigitValue(char c);

// Lower-case hex digits, two per byte, without separators.
std::string HexText(const Bytes& value);
// Two hex digits per byte, either case, nothing else; false otherwise.
bool ParseHexText(const std::string& text, Bytes* value);

// Little-endian readers of a reply (callers check the size).
uint32_t ReadU32(const uint8_t* p);
void WriteU32(uint8_t* p, uint32_t value);

}  // namespace lumora::xu
