// The simulated camera behind the capture-platform interfaces: filter, pins
// and control objects, each holding the camera alive and logging its release.
#include "sim/simulated_camera.h"

namespace lumora::sim {

namespace {

class SimPin : public Pin {
 public:
  SimPin(std::shared_ptr<SimulatedCamera> cam, int32_t dir) : cam_(std::move(cam)), dir_(dir) {}
  ~SimPin() override { cam_->NoteRelease("Pin"); }
  HResult QueryDirection(int32_t* dir) override {
    *dir = dir_;
    return hr::Ok;
  }

 private:
  std::shared_ptr<SimulatedCamera> cam_;
  int32_t dir_;
};

class SimPinEnumerator : public PinEnumerator {
 public:
  explicit SimPinEnumerator(std::shared_ptr<SimulatedCamera> cam) : cam_(std::move(cam)) {}
  HResult Next(std::unique_ptr<Pin>* pin) override {
    if (next_ >= cam_->pins.size()) return hr::False;
    *pin = std::make_unique<SimPin>(cam_, cam_->pins[next_++]);
    return hr::Ok;
  }

 private:
  std::shared_ptr<SimulatedCamera> cam_;
  size_t next_ = 0;
};

template <class Base, bool kCamera>
class SimRangedControl : public Base {
 public:
  explicit SimRangedControl(std::shared_ptr<SimulatedCamera> cam) : cam_(std::move(cam)) {}
  ~SimRangedControl() override { cam_->NoteRelease(kCamera ? "CameraControl" : "VideoProcAmp"); }
  HResult GetRange(int32_t id, int32_t* min, int32_t* max, int32_t* step, int32_t* def,
                   int32_t* caps) override {
    return cam_->ControlGetRange(kCamera, id, min, max, step, def, caps);
  }
  HResult Get(int32_t id, int32_t* value, int32_t* flags) override {
    return cam_->ControlGet(kCamera, id, value, flags);
  }
  HResult Set(int32_t id, int32_t value, int32_t flags) override {
    return cam_->ControlSet(kCamera, id, value, flags);
  }

 private:
  std::shared_ptr<SimulatedCamera> cam_;
};

class SimVideoControl : public VideoControl {
 public:
  explicit SimVideoControl(std::shared_ptr<SimulatedCamera> cam) : cam_(std::move(cam)) {}
  ~SimVideoControl() override { cam_->NoteRelease("VideoControl"); }
  HResult GetCaps(Pin*, int32_t* caps) override { return cam_->VideoGetCaps(caps); }
  HResult SetMode(Pin*, int32_t mode) override { return cam_->VideoSetMode(mode); }
  HResult GetMode(Pin*, int32_t* mode) override { return cam_->VideoGetMode(mode); }
  HResult GetCurrentActualFrameRate(Pin*, int64_t* duration) override {
    return cam_->VideoGetFrameRate(duration);
  }

 private:
  std::shared_ptr<SimulatedCamera> cam_;
};

class SimKsControl : public KsControl {
 public:
  explicit SimKsControl(std::shared_ptr<SimulatedCamera> cam) : cam_(std::move(cam)) {}
  ~SimKsControl() override { cam_->NoteRelease("KsControl"); }
  HResult KsProperty(void* property, uint32_t propertyLength, void* data, uint32_t dataLength,
                     uint32_t* bytesReturned) override {
    return cam_->KsProperty(property, propertyLength, data, dataLength, bytesReturned);
  }

 private:
  std::shared_ptr<SimulatedCamera> cam_;
};

class SimKsPropertySet : public KsPropertySet {
 public:
  explicit SimKsPropertySet(std::shared_ptr<SimulatedCamera> cam) : cam_(std::move(cam)) {}
  ~SimKsPropertySet() override { cam_->NoteRelease("KsPropertySet"); }
  HResult QuerySupported(const Guid& set, uint32_t id, uint32_t* support) override {
    return cam_->QuerySupported(set, id, support);
  }

 private:
  std::shared_ptr<SimulatedCamera> cam_;
};

class SimFilter : public CaptureFilter {
 public:
  explicit SimFilter(std::shared_ptr<SimulatedCamera> cam) : cam_(std::move(cam)) {}
  HResult QueryVideoControl(std::unique_ptr<VideoControl>* out) override {
    return Answer(cam_->hasVideoControl, out,
                  [&] { return std::make_unique<SimVideoControl>(cam_); });
  }
  HResult QueryVideoProcAmp(std::unique_ptr<VideoProcAmp>* out) override {
    return Answer(cam_->hasVideoProcAmp, out,
                  [&] { return std::make_unique<SimRangedControl<VideoProcAmp, false>>(cam_); });
  }
  HResult QueryCameraControl(std::unique_ptr<CameraControl>* out) override {
    return Answer(cam_->hasCameraControl, out,
                  [&] { return std::make_unique<SimRangedControl<CameraControl, true>>(cam_); });
  }
  HResult QueryKsControl(std::unique_ptr<KsControl>* out) override {
    return Answer(cam_->hasKsControl, out, [&] { return std::make_unique<SimKsControl>(cam_); });
  }
  HResult QueryKsPropertySet(std::unique_ptr<KsPropertySet>* out) override {
    return Answer(cam_->hasKsPropertySet, out,
                  [&] { return std::make_unique<SimKsPropertySet>(cam_); });
  }
  HResult EnumPins(std::unique_ptr<PinEnumerator>* out) override {
    *out = std::make_unique<SimPinEnumerator>(cam_);
    return hr::Ok;
  }

 private:
  template <class T, class Make>
  static HResult Answer(bool present, std::unique_ptr<T>* out, Make make) {
    out->reset();
    if (!present) return hr::NoInterface;
    *out = make();
    return hr::Ok;
  }
  std::shared_ptr<SimulatedCamera> cam_;
};

}  // namespace

std::unique_ptr<CaptureFilter> SimulatedCamera::MakeFilter() {
  return std::make_unique<SimFilter>(shared_from_this());
}

}  // namespace lumora::sim
