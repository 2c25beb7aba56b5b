#include "sim/simulated_camera.h"

#include <algorithm>

#include "property/property_blocks.h"
#include "property/property_handler.h"

namespace lumora::sim {

namespace {

int32_t LongAt(const std::vector<uint8_t>& bytes, uint32_t offset) {
  if (static_cast<size_t>(offset) + 4 > bytes.size()) return 0;
  int32_t v;
  std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

// --- filter-side objects: each holds the camera alive and logs its release --

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

const char* OpName(Op op) {
  switch (op) {
    case Op::ProcAmpGetRange: return "ProcAmpGetRange";
    case Op::ProcAmpGet: return "ProcAmpGet";
    case Op::ProcAmpSet: return "ProcAmpSet";
    case Op::CameraGetRange: return "CameraGetRange";
    case Op::CameraGet: return "CameraGet";
    case Op::CameraSet: return "CameraSet";
    case Op::VideoGetCaps: return "VideoGetCaps";
    case Op::VideoGetMode: return "VideoGetMode";
    case Op::VideoSetMode: return "VideoSetMode";
    case Op::VideoGetFrameRate: return "VideoGetFrameRate";
    case Op::KsProperty: return "KsProperty";
    case Op::QuerySupported: return "QuerySupported";
    case Op::Release: return "Release";
  }
  return "?";
}

int32_t ReportedMax(int32_t min, int32_t max, const ControlFaults& faults) {
  if (!faults.wideRange) return max;
  const int64_t wide = 2 * static_cast<int64_t>(max) - min;
  return wide > INT32_MAX ? INT32_MAX : static_cast<int32_t>(wide);
}

int32_t Request::DataLong(uint32_t offset) const { return LongAt(data, offset); }
int32_t Request::PropertyLong(uint32_t offset) const { return LongAt(property, offset); }

std::shared_ptr<SimulatedCamera> SimulatedCamera::Create() {
  std::shared_ptr<SimulatedCamera> cam(new SimulatedCamera());
  // Proc-amp: Brightness .. BacklightCompensation, Gain.
  const StandardControl procAmpDefaults[] = {
      {0, 255, 1, 128, 3, 128, 2},         // Brightness
      {0, 127, 1, 64, 3, 64, 2},           // Contrast
      {-180, 180, 1, 0, 2, 0, 2},          // Hue
      {0, 200, 1, 100, 3, 100, 2},         // Saturation
      {0, 7, 1, 3, 2, 3, 2},               // Sharpness
      {100, 300, 10, 220, 2, 220, 2},      // Gamma
      {0, 1, 1, 1, 2, 1, 2},               // ColorEnable
      {2800, 6500, 50, 4600, 3, 4600, 1},  // WhiteBalance
      {0, 2, 1, 1, 2, 1, 2},               // BacklightCompensation
      {0, 63, 1, 16, 3, 16, 2},            // Gain
  };
  for (int32_t id = 0; id < 10; ++id) cam->procAmp[id] = procAmpDefaults[id];
  // Camera control: Pan, Tilt, Roll, Zoom, Exposure, Iris, Focus.
  const StandardControl cameraDefaults[] = {
      {-180, 180, 1, 0, 2, 0, 2},     {-90, 90, 1, 0, 2, 0, 2},   {-180, 180, 90, 0, 2, 0, 2},
      {100, 400, 10, 100, 2, 100, 2}, {-11, -2, 1, -6, 3, -6, 1}, {0, 10, 1, 5, 2, 5, 2},
      {0, 250, 5, 125, 3, 125, 1},
  };
  for (int32_t id = 0; id < 7; ++id) cam->cameraControl[id] = cameraDefaults[id];
  return cam;
}

PrivateSet& SimulatedCamera::AddPrivateSet(const Guid& set, uint32_t valueOffset,
                                           uint32_t getBytes) {
  PrivateSet& s = privateSets[set];
  s.valueOffset = valueOffset;
  s.getBytes = getBytes;
  return s;
}

PrivateSet* SimulatedCamera::FindPrivateSet(const Guid& set) {
  auto it = privateSets.find(set);
  return it == privateSets.end() ? nullptr : &it->second;
}

std::vector<Request> SimulatedCamera::Requests(Op op) const {
  std::vector<Request> out;
  std::copy_if(log.begin(), log.end(), std::back_inserter(out),
               [op](const Request& r) { return r.op == op; });
  return out;
}

std::unique_ptr<CaptureFilter> SimulatedCamera::MakeFilter() {
  return std::make_unique<SimFilter>(shared_from_this());
}

bool SimulatedCamera::Inject(Op op, HResult* h) const {
  if (beforeCall) beforeCall();
  if (!connected) {
    *h = kDeviceNotConnected;
    return true;
  }
  auto it = failures.find(op);
  if (it == failures.end()) return false;
  *h = it->second;
  return true;
}

void SimulatedCamera::NoteRelease(const char* what) {
  if (!logRequests) return;
  Request r;
  r.op = Op::Release;
  r.what = what;
  log.push_back(std::move(r));
}

void SimulatedCamera::Note(const Request& r) {
  if (logRequests) log.push_back(r);
}

HResult SimulatedCamera::ControlGetRange(bool camera, int32_t id, int32_t* min, int32_t* max,
                                         int32_t* step, int32_t* def, int32_t* caps) {
  Request r;
  r.op = camera ? Op::CameraGetRange : Op::ProcAmpGetRange;
  r.id = static_cast<uint32_t>(id);
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  auto it = Controls(camera).find(id);
  if (it == Controls(camera).end()) return kNotFound;
  const StandardControl& c = it->second;
  const ControlFaults faults = FaultsOf(camera, id);
  *min = c.min;
  *max = ReportedMax(c.min, c.max, faults);
  *step = faults.zeroStep ? 0 : c.step;
  *def = faults.defaultOutside ? c.max + 1 : c.defaultValue;
  *caps = c.capsFlags;
  return hr::Ok;
}

HResult SimulatedCamera::ControlGet(bool camera, int32_t id, int32_t* value, int32_t* flags) {
  Request r;
  r.op = camera ? Op::CameraGet : Op::ProcAmpGet;
  r.id = static_cast<uint32_t>(id);
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  auto it = Controls(camera).find(id);
  if (it == Controls(camera).end()) return kNotFound;
  const ControlFaults faults = FaultsOf(camera, id);
  if (faults.failReads) {
    if (faults.junkOnFailedReads) *value = *flags = kJunk;
    return kGenFailure;
  }
  *value = it->second.value;
  *flags = it->second.flags;
  AutoStep(it->second);
  return hr::Ok;
}

void SimulatedCamera::AutoStep(StandardControl& control) {
  if ((control.flags & kControlFlagsAuto) == 0) return;
  const int64_t next = static_cast<int64_t>(control.value) + control.step;
  control.value = next > control.max ? control.min : static_cast<int32_t>(next);
  if (onWrite) onWrite();
}

HResult SimulatedCamera::ControlSet(bool camera, int32_t id, int32_t value, int32_t flags) {
  Request r;
  r.op = camera ? Op::CameraSet : Op::ProcAmpSet;
  r.id = static_cast<uint32_t>(id);
  r.value = value;
  r.flags = static_cast<uint32_t>(flags);
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  auto it = Controls(camera).find(id);
  if (it == Controls(camera).end()) return kNotFound;
  StandardControl& c = it->second;
  const ControlFaults faults = FaultsOf(camera, id);
  if (value < c.min || (value > ReportedMax(c.min, c.max, faults) && !faults.keepOutside)) {
    return hr::InvalidArg;
  }
  if (faults.ignoreWrites) return hr::Ok;
  if (!faults.keepOutside) value = std::min(value, c.max);
  if ((flags != kControlFlagsAuto && flags != kControlFlagsManual) || (flags & c.capsFlags) == 0) {
    return hr::InvalidArg;
  }
  const bool wasAuto = (c.flags & kControlFlagsAuto) != 0;
  if (flags == kControlFlagsManual && !(wasAuto && keepsAutoValueOnManualWrite)) c.value = value;
  c.flags = flags;
  if (onWrite) onWrite();
  return hr::Ok;
}

HResult SimulatedCamera::VideoGetCaps(int32_t* caps) {
  Request r;
  r.op = Op::VideoGetCaps;
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  *caps = videoCaps;
  return hr::Ok;
}

HResult SimulatedCamera::VideoGetMode(int32_t* mode) {
  Request r;
  r.op = Op::VideoGetMode;
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  *mode = videoMode;
  return hr::Ok;
}

HResult SimulatedCamera::VideoSetMode(int32_t mode) {
  Request r;
  r.op = Op::VideoSetMode;
  r.value = mode;
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  // The mode keeps only the bits the camera is capable of.
  videoMode = mode & videoCaps;
  if (onWrite) onWrite();
  return hr::Ok;
}

HResult SimulatedCamera::VideoGetFrameRate(int64_t* duration) {
  Request r;
  r.op = Op::VideoGetFrameRate;
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  *duration = frameDuration;
  return hr::Ok;
}

HResult SimulatedCamera::QuerySupported(const Guid& set, uint32_t id, uint32_t* support) {
  Request r;
  r.op = Op::QuerySupported;
  r.set = set;
  r.id = id;
  Note(r);
  HResult h;
  if (Inject(r.op, &h)) return h;
  if (set == kSetVideoProcAmp || set == kSetCameraControl) {
    auto& controls = Controls(set == kSetCameraControl);
    if (controls.count(static_cast<int32_t>(id)) == 0) return kNotFound;
    *support = kKsSupportGet | kKsSupportSet;
    return hr::Ok;
  }
  PrivateSet* priv = FindPrivateSet(set);
  if (priv == nullptr) return kSetNotFound;
  auto it = priv->properties.find(id);
  if (it == priv->properties.end()) return kNotFound;
  *support = it->second.access & 3;
  return hr::Ok;
}

HResult SimulatedCamera::KsProperty(void* property, uint32_t propertyLength, void* data,
                                    uint32_t dataLength, uint32_t* bytesReturned) {
  Request r;
  r.op = Op::KsProperty;
  r.propertyLength = propertyLength;
  r.dataLength = dataLength;
  const uint8_t* p = static_cast<const uint8_t*>(property);
  // Copies of the buffers only for whoever reads them: the log and refuseKs.
  if (logRequests || refuseKs) {
    r.property.assign(p, p + propertyLength);
    if (data != nullptr) {
      const uint8_t* d = static_cast<const uint8_t*>(data);
      r.data.assign(d, d + dataLength);
    }
  }
  if (propertyLength >= 24) {
    std::memcpy(&r.set, p, sizeof(Guid));
    std::memcpy(&r.id, p + 16, 4);
    std::memcpy(&r.flags, p + 20, 4);
  }
  Note(r);
  HResult h;
  if (Inject(Op::KsProperty, &h)) return h;
  if (propertyLength < 24 || bytesReturned == nullptr) return hr::InvalidArg;
  *bytesReturned = 0;
  uint8_t* out = static_cast<uint8_t*>(data);
  if (refuseKs) {
    HResult refused = refuseKs(r);
    if (hr::Failed(refused)) return refused;
  }
  if (rawAccess.supported && AnswerRawAccess(r, p, out, dataLength, bytesReturned, &h)) return h;

  h = kSetNotFound;
  if (r.set == kSetVideoProcAmp || r.set == kSetCameraControl) {
    auto& controls = Controls(r.set == kSetCameraControl);
    auto it = controls.find(static_cast<int32_t>(r.id));
    if (it == controls.end()) {
      h = kNotFound;
    } else if (r.flags & kKsBasicSupport) {
      if (dataLength < 4) return hr::InvalidArg;
      uint32_t access = 3;
      std::memcpy(out, &access, 4);
      *bytesReturned = 4;
      h = hr::Ok;
    } else if ((r.flags & kKsGet) && dataLength >= 36) {
      std::memcpy(out + 24, &it->second.value, 4);
      std::memcpy(out + 28, &it->second.flags, 4);
      std::memcpy(out + 32, &it->second.capsFlags, 4);
      *bytesReturned = 36;
      AutoStep(it->second);
      h = hr::Ok;
    } else if ((r.flags & kKsSet) && dataLength >= 28) {
      std::memcpy(&it->second.value, out + 24, 4);
      h = hr::Ok;
    } else {
      h = hr::InvalidArg;
    }
  } else if (PrivateSet* priv = FindPrivateSet(r.set)) {
    h = AnswerPrivate(*priv, r.id, r.flags, out, dataLength, bytesReturned);
  }
  if (hr::Succeeded(h) && ksBytesReturnedOverride >= 0 && !(r.flags & kKsSet)) {
    *bytesReturned = static_cast<uint32_t>(ksBytesReturnedOverride);
  }
  if (hr::Succeeded(h) && (r.flags & kKsSet) && !(r.flags & kKsBasicSupport) && onWrite) onWrite();
  return h;
}

bool SimulatedCamera::AnswerRawAccess(const Request& r, const uint8_t* property, uint8_t* data,
                                      uint32_t dataLength, uint32_t* bytesReturned, HResult* h) {
  RawAccessModel& raw = rawAccess;
  // The index or value the request carries (its length is checked first).
  auto propertyLong = [&](uint32_t offset) {
    int32_t v;
    std::memcpy(&v, property + offset, sizeof v);
    return v;
  };
  const bool isSet = r.flags == kKsSet;
  const bool isGet = r.flags == kKsGet;
  const bool dataRequest = r.id == kRawDataId && (isGet || isSet);
  if (r.set.IsNull() && r.id == kRawLockId) {
    if (!isSet || r.propertyLength < kRawValueOffset + 4) {
      *h = hr::InvalidArg;
    } else if (propertyLong(kRawValueOffset) == 0) {
      raw.unlocked = false;
      *h = hr::Ok;
    } else if (propertyLong(kRawValueOffset) == raw.unlockValue) {
      raw.unlocked = true;
      *h = hr::Ok;
    } else {
      *h = hr::AccessDenied;
    }
    return true;
  }
  if (!raw.unlocked) {
    // Locked: only a register access to the remembered selection is refused.
    if (dataRequest && raw.hasSelection && raw.selectedSet == r.set) {
      *h = hr::AccessDenied;
      return true;
    }
    return false;
  }
  if (r.id == kRawSelectId && isSet) {
    if (r.propertyLength < kRawValueOffset + 4) {
      *h = hr::InvalidArg;
      return true;
    }
    raw.hasSelection = true;
    raw.selectedSet = r.set;
    raw.selectedIndex = propertyLong(kRawValueOffset);
    *h = hr::Ok;
    return true;
  }
  if (!dataRequest) return false;
  if (!raw.hasSelection || raw.selectedSet != r.set) {
    *h = kNotFound;
    return true;
  }
  if (data == nullptr || dataLength < kRawValueOffset + 4) {
    *h = hr::InvalidArg;
    return true;
  }
  int32_t& reg = raw.registers[r.set][raw.selectedIndex];
  if (isGet) {
    std::memcpy(data + kRawValueOffset, &reg, 4);
    *bytesReturned = dataLength;
  } else {
    std::memcpy(&reg, data + kRawValueOffset, 4);
  }
  *h = hr::Ok;
  return true;
}

HResult SimulatedCamera::AnswerPrivate(PrivateSet& set, uint32_t id, uint32_t flags, uint8_t* data,
                                       uint32_t dataLength, uint32_t* bytesReturned) {
  auto it = set.properties.find(id);
  if (it == set.properties.end()) return kNotFound;
  sim::PrivateProperty& prop = it->second;
  auto listed = set.faults.find(id);
  const ControlFaults faults = listed == set.faults.end() ? ControlFaults{} : listed->second;
  if (flags & kKsBasicSupport) {
    if (dataLength == 4) {
      std::memcpy(data, &prop.access, 4);
      *bytesReturned = 4;
      return hr::Ok;
    }
    if (dataLength < RangeDescription::kSize) return hr::InvalidArg;
    std::memset(data, 0, RangeDescription::kSize);
    auto put = [&](uint32_t off, uint32_t v) { std::memcpy(data + off, &v, 4); };
    put(RangeDescription::kAccessFlags, prop.access);
    put(RangeDescription::kDescriptionSize, RangeDescription::kSize);
    put(RangeDescription::kMembersListCount, 1);
    put(RangeDescription::kMembersFlags, prop.membersFlags);
    put(RangeDescription::kMembersSize, 16);
    put(RangeDescription::kMembersCount, 1);
    put(RangeDescription::kSteppingDelta, static_cast<uint32_t>(faults.zeroStep ? 0 : prop.step));
    put(RangeDescription::kMinimum, static_cast<uint32_t>(prop.min));
    put(RangeDescription::kMaximum, static_cast<uint32_t>(ReportedMax(prop.min, prop.max, faults)));
    *bytesReturned = RangeDescription::kSize;
    return hr::Ok;
  }
  if (flags & kKsGet) {
    if (!(prop.access & 1)) return hr::InvalidArg;
    if (faults.failReads) return kGenFailure;
    if (dataLength < set.valueOffset + 4) return hr::InvalidArg;
    std::memcpy(data + set.valueOffset, &prop.value, 4);
    *bytesReturned = std::min(set.getBytes, dataLength);
    return hr::Ok;
  }
  if (flags & kKsSet) {
    if (!(prop.access & 2)) return hr::InvalidArg;
    if (dataLength < set.valueOffset + 4) return hr::InvalidArg;
    int32_t value;
    std::memcpy(&value, data + set.valueOffset, 4);
    const int32_t reportedMax = ReportedMax(prop.min, prop.max, faults);
    if (privateRangeChecks && (value < prop.min || (value > reportedMax && !faults.keepOutside))) {
      return hr::InvalidArg;
    }
    if (faults.ignoreWrites) return hr::Ok;
    prop.value = faults.wideRange ? std::min(value, prop.max) : value;
    return hr::Ok;
  }
  return hr::InvalidArg;
}

}  // namespace lumora::sim
