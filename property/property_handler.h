// PropertyHandler: the per-chipset property access strategy that a control
// object owns for the capture filter it is attached to, and the shared access
// paths every concrete handler wraps.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "property/capture_platform.h"
#include "property/catalogue.h"
#include "property/property_blocks.h"
#include "base/types.h"

namespace lumora {

// The standard property sets (same values as the interface IDs).
constexpr Guid kSetVideoProcAmp = Guid::Parse("C6E13360-30AC-11D0-A18C-00A0C9118956");
constexpr Guid kSetVideoControl = Guid::Parse("6A2E0670-28E4-11D0-A18C-00A0C9118956");
constexpr Guid kSetCameraControl = Guid::Parse("C6E13370-30AC-11D0-A18C-00A0C9118956");

// IAMVideoControl mode bits.
constexpr int32_t kVideoControlFlipHorizontal = 0x1;
constexpr int32_t kVideoControlFlipVertical = 0x2;
constexpr int32_t kVideoControlExternalTriggerEnable = 0x4;
constexpr int32_t kVideoControlTrigger = 0x8;

// Timing statistics of the value reads of one property id.
struct LagRecord {
  uint32_t minLag = 0xFFFFFFFFu;
  uint32_t maxLag = 0;
  uint32_t lagCount = 0;
  uint64_t lagSum = 0;
};

constexpr int32_t kLagRecordCount = 50;
constexpr int kPropertySetSlots = 11;
constexpr int kPrivateSetSlot = 5;

class PropertyHandler {
 public:
  // The base part of construction: queries the filter (borrowed, may be null)
  // for IAMVideoControl and its first output pin, IAMVideoProcAmp,
  // IAMCameraControl and IKsControl. Missing interfaces stay null. The clock
  // is borrowed and must outlive the handler.
  PropertyHandler(CaptureFilter* filter, Clock& clock);
  virtual ~PropertyHandler();

  PropertyHandler(const PropertyHandler&) = delete;
  PropertyHandler& operator=(const PropertyHandler&) = delete;

  virtual HResult QuerySupport(int32_t property, int32_t* support);
  virtual HResult QueryRange(int32_t property, int32_t* min, int32_t* max, int32_t* steppingDelta,
                             int32_t* defaultValue, int32_t* capsFlags);
  virtual HResult GetValue(int32_t property, int32_t* value);
  virtual HResult SetValue(int32_t property, int32_t value);
  // Automatic and manual modes and the default value of a property (see
  // TablePropertyHandler for the rules).
  virtual HResult QueryModes(int32_t property, int32_t* modes);
  virtual HResult GetMode(int32_t property, int32_t* mode);
  virtual HResult SetMode(int32_t property, int32_t mode);
  virtual HResult QueryDefault(int32_t property, int32_t* value);
  virtual HResult EnableRawAccess(int32_t enable);
  virtual HResult ReadRaw(PropertyCode code, int32_t* value);
  virtual HResult WriteRaw(PropertyCode code, int32_t value);
  // Fills the property-set slots; the second and third GUIDs are accepted and
  // not stored.
  virtual void Init(const Guid& privateSet, const Guid& second, const Guid& third);

  // Lag statistics of property id 0..49; nothing is written for other ids
  // (false). A record never read gives min -1 (0xFFFFFFFF), max 0, mean -1,
  // count 0.
  bool GetLag(int32_t id, int32_t* minLag, int32_t* maxLag, int32_t* meanLag,
              int32_t* lagCount) const;

  const Guid& PropertySetSlot(int slot) const { return propertySets_[slot]; }
  int32_t RawAccessEnabled() const { return rawAccessEnabled_; }

  // Catalogue translation: property values 0..32 (taken unsigned) go through
  // the table, anything else is itself the code.
  static PropertyCode Translate(const CodeTable& table, int32_t property);

 protected:
  // Writes the set and id of a code into the request: 0-499 the slot of the
  // hundreds and the id below 100, 500-699 the private set and ids 0-199,
  // 700 and above the null set id 0. A negative code names no set: false,
  // and the request is left alone.
  bool Resolve(PropertyCode code, PropertyRequest* request) const;

  // The four shared access paths. With IKsControl they reach the driver
  // through it (and the standard interfaces for the standard controls).
  // Without it, a filter that offers IAMVideoProcAmp, IAMCameraControl or
  // IAMVideoControl is served through those interfaces alone (support: the
  // interface answers the range query); every other set, and every set of a
  // filter with none of them, answers E_NOINTERFACE first. Read support of
  // the actual frame rate is claimed, and its range given, only when the pin
  // answered the frame-rate query at construction; the flip and trigger
  // ranges only when the capability word has their bit.
  HResult SupportPath(PropertyRequest& request, int32_t* support);
  HResult RangePath(PropertyRequest& request, int32_t* min, int32_t* max, int32_t* steppingDelta,
                    int32_t* defaultValue, int32_t* capsFlags);
  HResult ReadValue(PropertyRequest& request, PropertyData& data, uint32_t* bytesReturned);
  HResult WriteValue(PropertyRequest& request, PropertyData& data, uint32_t dataLength);

  // The mode paths of the standard controls (video proc-amp and camera
  // control sets only; the caller checks the set with IsStandardControl).
  // Each answers E_NOINTERFACE first when the set is not reachable (as the
  // access paths above) and E_FAIL when the set's interface is missing. Outputs are written only on
  // success. ModesPath: the auto and manual bits of the range query's
  // capability flags. ReadModePath: VCM_Auto when a read reports the auto
  // flag, else VCM_Manual. WriteModePath: reads the value and writes it back
  // with the mode as flags (not timed).
  HResult ModesPath(const PropertyRequest& request, int32_t* modes);
  HResult ReadModePath(const PropertyRequest& request, int32_t* mode);
  HResult WriteModePath(const PropertyRequest& request, int32_t mode);
  static bool IsStandardControl(const Guid& set) {
    return set == kSetVideoProcAmp || set == kSetCameraControl;
  }

  bool HasKsControl() const { return ksControl_ != nullptr; }
  // Whether an access path can reach a set at all (see above).
  bool Reachable(const Guid& set) const;
  KsControl* ksControl() { return ksControl_.get(); }

 private:
  // The interface of a standard control set (null when the filter lacks it
  // or the set is another one).
  RangedControl* ControlOfSet(const Guid& set) const;
  // The IAMVideoControl capability word of the capture pin; 0 when it fails.
  int32_t VideoControlCaps() const;
  HResult ReadVideoControl(uint32_t id, PropertyData& data);
  HResult WriteVideoControl(uint32_t id, int32_t value);
  HResult ReadTimed(PropertyRequest& request, PropertyData& data, uint32_t* bytesReturned);
  void RecordLag(uint32_t id, uint32_t lag);

  std::array<Guid, kPropertySetSlots> propertySets_{};
  std::unique_ptr<KsControl> ksControl_;
  std::unique_ptr<VideoProcAmp> videoProcAmp_;
  std::unique_ptr<CameraControl> cameraControl_;
  std::unique_ptr<VideoControl> videoControl_;
  std::unique_ptr<Pin> capturePin_;
  bool standardInterfaces_ = false;  // any of the three standard interfaces
  bool frameRateAnswered_ = false;   // the frame-rate query answered at construction
  int32_t rawAccessEnabled_ = 0;
  std::array<LagRecord, kLagRecordCount> lagRecords_{};
  Clock& clock_;

 protected:
  // The raw-access extension of the Philips handlers keeps its flag here.
  void SetRawAccessEnabled(int32_t enable) { rawAccessEnabled_ = enable; }
};

// FindPin: the n-th pin of the filter with the given direction (1 = output).
// On success *pin owns the enumeration's reference.
HResult FindPin(CaptureFilter* filter, int32_t direction, int n, std::unique_ptr<Pin>* pin);

}  // namespace lumora
