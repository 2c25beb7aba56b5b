// TablePropertyHandler: the one frame of every handler. A handler is its
// tables: the code table, the special cases keyed by the caller's
// VidCapProperty value (fixed ranges and value conversions), and the
// placement of private values in the data block. Everything else is the frame
// below around the shared access paths of PropertyHandler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "property/property_handler.h"

namespace lumora {

// How QueryRange answers one property.
struct RangeRule {
  enum Kind : uint8_t {
    kDriver,             // the shared range path
    kFixed,              // min, max, default below; step 1, flags 0, S_OK, no driver call
    kDriverThenDefault,  // the shared range path, then default <- defaultValue whatever
                         // the path answered
  };
  Kind kind = kDriver;
  int32_t min = 0;
  int32_t max = 0;
  int32_t defaultValue = 0;
};

// A value conversion applied after a read or before a write.
struct Conversion {
  enum Kind : uint8_t {
    kKeep,       // unchanged
    kCap,        // values above a become a (signed); lower values pass
    kWithin,     // held within a to b
    kIfZero,     // 0 -> a, anything else -> b
    kIfEqual,    // a -> b, anything else -> c
    kIfAtLeast,  // a or more -> b, anything else -> c
    kAlways,     // always a
  };
  Kind kind = kKeep;
  int32_t a = 0;
  int32_t b = 0;
  int32_t c = 0;

  int32_t Apply(int32_t v) const;
};

// Builders that let the tables read like their source.
namespace rules {
constexpr RangeRule FromDriver() { return RangeRule{RangeRule::kDriver, 0, 0, 0}; }
constexpr RangeRule Fixed(int32_t min, int32_t max, int32_t def) {
  return RangeRule{RangeRule::kFixed, min, max, def};
}
constexpr RangeRule FromDriverDefault(int32_t def) {
  return RangeRule{RangeRule::kDriverThenDefault, 0, 0, def};
}

constexpr Conversion Keep() { return Conversion{Conversion::kKeep, 0, 0, 0}; }
constexpr Conversion Cap(int32_t n) { return Conversion{Conversion::kCap, n, 0, 0}; }
constexpr Conversion Within(int32_t lo, int32_t hi) {
  return Conversion{Conversion::kWithin, lo, hi, 0};
}
constexpr Conversion IfZero(int32_t zero, int32_t other) {
  return Conversion{Conversion::kIfZero, zero, other, 0};
}
constexpr Conversion IfEqual(int32_t x, int32_t then, int32_t other) {
  return Conversion{Conversion::kIfEqual, x, then, other};
}
constexpr Conversion IfAtLeast(int32_t n, int32_t then, int32_t other) {
  return Conversion{Conversion::kIfAtLeast, n, then, other};
}
constexpr Conversion Always(int32_t v) { return Conversion{Conversion::kAlways, v, 0, 0}; }
}  // namespace rules

// The special treatment of one catalogue value.
struct SpecialCase {
  int32_t property;  // VidCapProperty value 0..32
  RangeRule range;
  Conversion get;  // applied to the value read
  Conversion set;  // applied to the value before it is written
};

// Where a value sits in the data block and how many bytes a write passes.
struct ValuePlacement {
  uint32_t offset;
  uint32_t writeLength;
};

// Codes below 500: the standard layout.
constexpr ValuePlacement kStandardPlacement{PropertyData::kStandardValueOffset,
                                            PropertyBlock::kSize};

// Everything that tells one handler from another.
struct HandlerProfile {
  const CodeTable* codeTable;
  const SpecialCase* specialCases;
  size_t specialCaseCount;
  ValuePlacement privatePlacement;  // codes 500 to 999
  // Reads and writes of this code and above are refused with E_INVALIDARG.
  PropertyCode valueCodeLimit = kRawCodeLimit;
};

class TablePropertyHandler : public PropertyHandler {
 public:
  HResult QuerySupport(int32_t property, int32_t* support) override;
  HResult QueryRange(int32_t property, int32_t* min, int32_t* max, int32_t* steppingDelta,
                     int32_t* defaultValue, int32_t* capsFlags) override;
  // Codes at or above the profile's limit are refused with E_INVALIDARG.
  HResult GetValue(int32_t property, int32_t* value) override;
  HResult SetValue(int32_t property, int32_t value) override;

  // Modes exist for the catalogue values 0..32 whose code reaches a standard
  // control (video proc-amp or camera control); vendor private sets, the
  // video-control pseudo set, unmapped properties and raw codes have none.
  // QueryModes: S_OK with the VCM_Auto / VCM_Manual bits the driver's range
  // query reports, 0 for a property without modes. GetMode: the mode a read
  // reports. SetMode: writes the current value with the mode as flag. A mode
  // other than VCM_Auto / VCM_Manual gives E_INVALIDARG; a property that
  // does not offer the mode asked for (or, for GetMode, no mode at all)
  // gives E_NOTIMPL; nothing is written on failure.
  HResult QueryModes(int32_t property, int32_t* modes) override;
  HResult GetMode(int32_t property, int32_t* mode) override;
  HResult SetMode(int32_t property, int32_t mode) override;
  // The default of QueryRange where it is a reported one: from the driver's
  // range of a standard control, or a fixed default of the handler's table.
  // E_NOTIMPL for every other property (unmapped, video-control pseudo set,
  // private ranges without a default of their own); a failing range query
  // gives its result.
  HResult QueryDefault(int32_t property, int32_t* value) override;

  const CodeTable& codeTable() const { return *profile_.codeTable; }

 protected:
  // The profile is static data of the concrete class and outlives the handler.
  TablePropertyHandler(CaptureFilter* filter, const Guid& privateSet, const Guid& second,
                       const Guid& third, Clock& clock, const HandlerProfile& profile);

 private:
  // The special case of a catalogue value as the caller gave it; raw codes
  // (33 and above) and unlisted values have none.
  const SpecialCase* FindCase(int32_t property) const;
  ValuePlacement Placement(PropertyCode code) const;
  // Resolves a catalogue value that has modes; false for any other.
  bool ResolveModal(int32_t property, PropertyRequest* request) const;
  // The supported modes of a resolved property with modes; E_NOTIMPL when
  // `wanted` (a mode, or 0 for any) is not among them.
  HResult CheckModes(const PropertyRequest& request, int32_t wanted);

  const HandlerProfile& profile_;
};

// The handler used when no chipset was recognised: standard DirectShow
// controls and the video-control pseudo set only. The frame above with no
// special cases; every value sits at offset 24 and codes of 1000 and above
// are accepted (they resolve to the null set, id 0).
class StandardPropertyHandler : public TablePropertyHandler {
 public:
  static const CodeTable kCodeTable;

  StandardPropertyHandler(CaptureFilter* filter, const Guid& privateSet, const Guid& second,
                          const Guid& third, Clock& clock);
};

}  // namespace lumora
