// The boundary between the portable core and a camera: the few DirectShow and
// kernel-streaming operations the property handlers and attachment need.
//
// Two realisations exist: the DirectShow adapter (dshow/), which forwards to
// the COM interfaces of a real capture filter, and the simulated camera
// (sim/), a portable model of a driver used by tests and the demo.
//
// Ownership: every Query* hands out a std::unique_ptr that owns one reference
// on the underlying interface; destroying it releases that reference. Pin
// pointers passed to VideoControl are borrowed for the call and must come from
// the same realisation as the VideoControl.
//
// All integers are the Windows widths (LONG is 32-bit); results are HRESULTs.
#pragma once

#include <cstdint>
#include <memory>

#include "base/clock.h"
#include "base/types.h"

namespace lumora {

// IPin, reduced to what pin lookup needs.
class Pin {
 public:
  virtual ~Pin() = default;
  // dir: 0 input, 1 output (PINDIR_INPUT / PINDIR_OUTPUT).
  virtual HResult QueryDirection(int32_t* dir) = 0;
};

// IEnumPins::Next(1): S_OK with a pin, S_FALSE at the end, or a failure.
class PinEnumerator {
 public:
  virtual ~PinEnumerator() = default;
  virtual HResult Next(std::unique_ptr<Pin>* pin) = 0;
};

// IAMVideoProcAmp and IAMCameraControl have the same three operations.
class RangedControl {
 public:
  virtual ~RangedControl() = default;
  virtual HResult GetRange(int32_t id, int32_t* min, int32_t* max, int32_t* steppingDelta,
                           int32_t* defaultValue, int32_t* capsFlags) = 0;
  virtual HResult Get(int32_t id, int32_t* value, int32_t* flags) = 0;
  virtual HResult Set(int32_t id, int32_t value, int32_t flags) = 0;
};

// Flags of GetRange (capabilities), Get (current mode) and Set (new mode):
// automatic (VideoProcAmp_Flags_Auto, CameraControl_Flags_Auto) and manual
// (VideoProcAmp_Flags_Manual, CameraControl_Flags_Manual).
constexpr int32_t kControlFlagsAuto = 1;
constexpr int32_t kControlFlagsManual = 2;

class VideoProcAmp : public RangedControl {};
class CameraControl : public RangedControl {};

// IAMVideoControl.
class VideoControl {
 public:
  virtual ~VideoControl() = default;
  virtual HResult GetCaps(Pin* pin, int32_t* caps) = 0;
  virtual HResult SetMode(Pin* pin, int32_t mode) = 0;
  virtual HResult GetMode(Pin* pin, int32_t* mode) = 0;
  // Frame duration in 100-nanosecond units.
  virtual HResult GetCurrentActualFrameRate(Pin* pin, int64_t* frameDuration) = 0;
};

// IKsControl::KsProperty.
class KsControl {
 public:
  virtual ~KsControl() = default;
  virtual HResult KsProperty(void* property, uint32_t propertyLength, void* data,
                             uint32_t dataLength, uint32_t* bytesReturned) = 0;
};

// IKsPropertySet::QuerySupported.
class KsPropertySet {
 public:
  virtual ~KsPropertySet() = default;
  // support: KSPROPERTY_SUPPORT_GET (1) | KSPROPERTY_SUPPORT_SET (2).
  virtual HResult QuerySupported(const Guid& set, uint32_t id, uint32_t* support) = 0;
};

// A capture filter (IBaseFilter) and the interfaces it may answer.
class CaptureFilter {
 public:
  virtual ~CaptureFilter() = default;
  virtual HResult QueryVideoControl(std::unique_ptr<VideoControl>* out) = 0;
  virtual HResult QueryVideoProcAmp(std::unique_ptr<VideoProcAmp>* out) = 0;
  virtual HResult QueryCameraControl(std::unique_ptr<CameraControl>* out) = 0;
  virtual HResult QueryKsControl(std::unique_ptr<KsControl>* out) = 0;
  virtual HResult QueryKsPropertySet(std::unique_ptr<KsPropertySet>* out) = 0;
  virtual HResult EnumPins(std::unique_ptr<PinEnumerator>* out) = 0;
};

}  // namespace lumora
