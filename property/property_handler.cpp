#include "property/property_handler.h"

namespace lumora {

namespace {

int32_t ModeBit(uint32_t id) {
  switch (id) {
    case 17: return kVideoControlFlipHorizontal;
    case 18: return kVideoControlFlipVertical;
    case 24: return kVideoControlExternalTriggerEnable;
    case 25: return kVideoControlTrigger;
    default: return 0;
  }
}

constexpr uint32_t kActualFrameRateId = 21;

}  // namespace

HResult FindPin(CaptureFilter* filter, int32_t direction, int n, std::unique_ptr<Pin>* pin) {
  pin->reset();
  if (filter == nullptr) return hr::Fail;
  std::unique_ptr<PinEnumerator> pins;
  HResult h = filter->EnumPins(&pins);
  if (hr::Failed(h)) return h;
  if (!pins) return hr::Fail;
  std::unique_ptr<Pin> candidate;
  while (pins->Next(&candidate) == hr::Ok && candidate) {
    int32_t dir = -1;
    if (candidate->QueryDirection(&dir) == hr::Ok && dir == direction) {
      if (n == 0) {
        *pin = std::move(candidate);
        return hr::Ok;
      }
      --n;
    }
    candidate.reset();
  }
  return hr::Fail;
}

PropertyHandler::PropertyHandler(CaptureFilter* filter, Clock& clock) : clock_(clock) {
  if (filter == nullptr) return;
  if (hr::Succeeded(filter->QueryVideoControl(&videoControl_)) && videoControl_) {
    FindPin(filter, 1, 0, &capturePin_);
  } else {
    videoControl_.reset();
  }
  if (hr::Failed(filter->QueryVideoProcAmp(&videoProcAmp_))) videoProcAmp_.reset();
  if (hr::Failed(filter->QueryCameraControl(&cameraControl_))) cameraControl_.reset();
  if (hr::Failed(filter->QueryKsControl(&ksControl_))) ksControl_.reset();
  standardInterfaces_ = videoControl_ || videoProcAmp_ || cameraControl_;
  // Read support of the actual frame rate is claimed only when the pin
  // answers the query now.
  int64_t duration = 0;
  frameRateAnswered_ = videoControl_ && hr::Succeeded(videoControl_->GetCurrentActualFrameRate(
                                            capturePin_.get(), &duration));
}

PropertyHandler::~PropertyHandler() {
  capturePin_.reset();
  videoControl_.reset();
  cameraControl_.reset();
  videoProcAmp_.reset();
  ksControl_.reset();
}

HResult PropertyHandler::QuerySupport(int32_t, int32_t*) { return hr::NoInterface; }
HResult PropertyHandler::QueryRange(int32_t, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*) {
  return hr::NoInterface;
}
HResult PropertyHandler::GetValue(int32_t, int32_t*) { return hr::NoInterface; }
HResult PropertyHandler::SetValue(int32_t, int32_t) { return hr::NoInterface; }
HResult PropertyHandler::QueryModes(int32_t, int32_t*) { return hr::NoInterface; }
HResult PropertyHandler::GetMode(int32_t, int32_t*) { return hr::NoInterface; }
HResult PropertyHandler::SetMode(int32_t, int32_t) { return hr::NoInterface; }
HResult PropertyHandler::QueryDefault(int32_t, int32_t*) { return hr::NoInterface; }
HResult PropertyHandler::EnableRawAccess(int32_t) { return hr::NoInterface; }
HResult PropertyHandler::ReadRaw(PropertyCode, int32_t*) { return hr::NoInterface; }
HResult PropertyHandler::WriteRaw(PropertyCode, int32_t) { return hr::NoInterface; }

void PropertyHandler::Init(const Guid& privateSet, const Guid&, const Guid&) {
  propertySets_.fill(kNullGuid);
  propertySets_[0] = kSetVideoProcAmp;
  propertySets_[1] = kSetVideoControl;
  propertySets_[2] = kSetCameraControl;
  propertySets_[kPrivateSetSlot] = privateSet;
}

PropertyCode PropertyHandler::Translate(const CodeTable& table, int32_t property) {
  uint32_t index = static_cast<uint32_t>(property);
  return index < table.size() ? table[index] : property;
}

bool PropertyHandler::Resolve(PropertyCode code, PropertyRequest* request) const {
  static_assert(kPrivateBase / 100 <= kPropertySetSlots, "codes below the private set name a slot");
  if (code < 0) return false;
  if (code < kPrivateBase) {
    request->SetSet(propertySets_[static_cast<size_t>(code / 100)]);
    request->SetId(static_cast<uint32_t>(code % 100));
  } else if (code < kPrivateEnd) {
    request->SetSet(propertySets_[kPrivateSetSlot]);
    request->SetId(static_cast<uint32_t>(code - kPrivateBase));
  } else {
    request->SetSet(kNullGuid);
    request->SetId(0);
  }
  return true;
}

bool PropertyHandler::Reachable(const Guid& set) const {
  if (ksControl_) return true;
  return standardInterfaces_ && (set == kSetVideoControl || IsStandardControl(set));
}

HResult PropertyHandler::SupportPath(PropertyRequest& request, int32_t* support) {
  *support = VCS_no;
  if (!Reachable(request.Set())) return hr::NoInterface;
  if (request.Set() == kSetVideoControl) {
    const int32_t caps = VideoControlCaps();
    uint32_t id = request.Id();
    if (id == kActualFrameRateId) {
      if (frameRateAnswered_) *support = VCS_get;
    } else if (ModeBit(id) != 0 && (caps & ModeBit(id)) != 0) {
      *support = VCS_both;
    }
    return hr::Ok;
  }
  if (!ksControl_) {
    // The standard interface path: supported when the interface is there and
    // its range query succeeds.
    RangedControl* control = ControlOfSet(request.Set());
    int32_t min = 0, max = 0, steppingDelta = 0, defaultValue = 0, capsFlags = 0;
    if (control != nullptr &&
        hr::Succeeded(control->GetRange(static_cast<int32_t>(request.Id()), &min, &max,
                                        &steppingDelta, &defaultValue, &capsFlags))) {
      *support = VCS_both;
    }
    return hr::Ok;
  }
  request.SetFlags(kKsBasicSupport);
  request.SetLong(PropertyRequest::kBodyOffset, 0);
  uint32_t access = 0;
  uint32_t returned = 0;
  HResult h = ksControl_->KsProperty(request.bytes(), PropertyBlock::kSize, &access, sizeof access,
                                     &returned);
  if (hr::Succeeded(h) && returned == sizeof access) {
    *support = static_cast<int32_t>(access & 3);
  }
  return hr::Ok;
}

int32_t PropertyHandler::VideoControlCaps() const {
  int32_t caps = 0;
  if (!videoControl_ || hr::Failed(videoControl_->GetCaps(capturePin_.get(), &caps))) return 0;
  return caps;
}

RangedControl* PropertyHandler::ControlOfSet(const Guid& set) const {
  if (set == kSetVideoProcAmp) return videoProcAmp_.get();
  if (set == kSetCameraControl) return cameraControl_.get();
  return nullptr;
}

HResult PropertyHandler::RangePath(PropertyRequest& request, int32_t* min, int32_t* max,
                                   int32_t* steppingDelta, int32_t* defaultValue,
                                   int32_t* capsFlags) {
  if (!Reachable(request.Set())) return hr::NoInterface;
  *min = *max = *steppingDelta = *defaultValue = *capsFlags = 0;
  const Guid set = request.Set();
  const uint32_t id = request.Id();
  if (set == kSetVideoControl) {
    // A property the filter does not offer has no range.
    if (ModeBit(id) != 0) {
      if ((VideoControlCaps() & ModeBit(id)) == 0) return hr::NotImpl;
      *max = 1;
    } else if (id == kActualFrameRateId) {
      if (!frameRateAnswered_) return hr::NotImpl;
      *max = 9999;
    } else {
      return hr::NotImpl;
    }
    *steppingDelta = 1;
    return hr::Ok;
  }
  if (IsStandardControl(set)) {
    RangedControl* control = ControlOfSet(set);
    HResult h = hr::Fail;
    if (control != nullptr) {
      int32_t scratchFlags = 0;
      h = control->GetRange(static_cast<int32_t>(id), min, max, steppingDelta, defaultValue,
                            &scratchFlags);
    }
    if (*steppingDelta <= 0) *steppingDelta = 1;
    return h;
  }
  request.SetFlags(kKsBasicSupport);
  PropertyBlock description;  // only the first 72 bytes are handed to the driver
  uint32_t returned = 0;
  HResult h = ksControl_->KsProperty(request.bytes(), PropertyBlock::kSize, description.bytes(),
                                     RangeDescription::kSize, &returned);
  if (hr::Failed(h)) return hr::Fail;
  uint32_t membersFlags = description.ULong(RangeDescription::kMembersFlags);
  uint32_t membersCount = description.ULong(RangeDescription::kMembersCount);
  if ((membersFlags == RangeDescription::kMemberRanges ||
       membersFlags == RangeDescription::kMemberSteppedRanges) &&
      membersCount > 0) {
    *min = description.Long(RangeDescription::kMinimum);
    *max = description.Long(RangeDescription::kMaximum);
    *steppingDelta = description.Long(RangeDescription::kSteppingDelta);
    *defaultValue = *min;
    if (*steppingDelta <= 0) *steppingDelta = 1;
  }
  return h;
}

HResult PropertyHandler::ReadValue(PropertyRequest& request, PropertyData& data,
                                   uint32_t* bytesReturned) {
  if (!Reachable(request.Set())) return hr::NoInterface;
  if (request.Set() == kSetVideoControl) return ReadVideoControl(request.Id(), data);
  uint32_t t0 = clock_.NowMs();
  HResult h = ReadTimed(request, data, bytesReturned);
  uint32_t t1 = clock_.NowMs();
  RecordLag(request.Id(), t1 - t0);
  return h;
}

HResult PropertyHandler::ReadTimed(PropertyRequest& request, PropertyData& data,
                                   uint32_t* bytesReturned) {
  const Guid set = request.Set();
  if (IsStandardControl(set)) {
    RangedControl* control = ControlOfSet(set);
    if (control == nullptr) return hr::Fail;
    int32_t value = 0;
    int32_t scratchFlags = 0;
    HResult h = control->Get(static_cast<int32_t>(request.Id()), &value, &scratchFlags);
    data.SetLong(PropertyData::kStandardValueOffset, value);
    return h;
  }
  request.SetFlags(kKsGet);
  return ksControl_->KsProperty(request.bytes(), PropertyBlock::kSize, data.bytes(),
                                PropertyBlock::kSize, bytesReturned);
}

void PropertyHandler::RecordLag(uint32_t id, uint32_t lag) {
  if (id >= static_cast<uint32_t>(kLagRecordCount)) return;
  LagRecord& r = lagRecords_[id];
  r.lagCount += 1;
  r.lagSum += lag;
  if (lag < r.minLag) r.minLag = lag;
  if (lag > r.maxLag) r.maxLag = lag;
}

HResult PropertyHandler::ReadVideoControl(uint32_t id, PropertyData& data) {
  if (id != kActualFrameRateId && ModeBit(id) == 0) return hr::NotImpl;
  if (!videoControl_) return hr::Fail;
  int32_t value = 0;
  HResult h;
  if (id == kActualFrameRateId) {
    int64_t duration = 0;
    h = videoControl_->GetCurrentActualFrameRate(capturePin_.get(), &duration);
    if (hr::Failed(h)) return hr::Fail;
    value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(duration / 10000)));
  } else {
    int32_t mode = 0;
    h = videoControl_->GetMode(capturePin_.get(), &mode);
    if (hr::Failed(h)) return hr::Fail;
    bool set = (mode & ModeBit(id)) != 0;
    value = !set ? 0 : id == 25 ? 255 : 1;
  }
  data.SetLong(PropertyData::kStandardValueOffset, value);
  return h;
}

HResult PropertyHandler::WriteValue(PropertyRequest& request, PropertyData& data,
                                    uint32_t dataLength) {
  if (!Reachable(request.Set())) return hr::NoInterface;
  const Guid set = request.Set();
  const int32_t value = data.Long(PropertyData::kStandardValueOffset);
  if (set == kSetVideoControl) return WriteVideoControl(request.Id(), value);
  if (IsStandardControl(set)) {
    RangedControl* control = ControlOfSet(set);
    if (control == nullptr) return hr::Fail;
    return control->Set(static_cast<int32_t>(request.Id()), value, kControlFlagsManual);
  }
  request.SetFlags(kKsSet);
  uint32_t returned = 0;
  return ksControl_->KsProperty(request.bytes(), PropertyBlock::kSize, data.bytes(), dataLength,
                                &returned);
}

HResult PropertyHandler::WriteVideoControl(uint32_t id, int32_t value) {
  const int32_t bit = ModeBit(id);
  if (bit == 0 || !videoControl_) return hr::Fail;
  int32_t mode = 0;
  if (hr::Failed(videoControl_->GetMode(capturePin_.get(), &mode))) return hr::Fail;
  if (id == 25 || value > 0) {
    mode |= bit;
  } else {
    mode &= ~bit;
  }
  HResult h = videoControl_->SetMode(capturePin_.get(), mode);
  return hr::Failed(h) ? hr::Fail : h;
}

HResult PropertyHandler::ModesPath(const PropertyRequest& request, int32_t* modes) {
  if (!Reachable(request.Set())) return hr::NoInterface;
  RangedControl* control = ControlOfSet(request.Set());
  if (control == nullptr) return hr::Fail;
  int32_t min = 0, max = 0, steppingDelta = 0, defaultValue = 0, capsFlags = 0;
  HResult h = control->GetRange(static_cast<int32_t>(request.Id()), &min, &max, &steppingDelta,
                                &defaultValue, &capsFlags);
  if (hr::Succeeded(h)) *modes = capsFlags & (kControlFlagsAuto | kControlFlagsManual);
  return h;
}

HResult PropertyHandler::ReadModePath(const PropertyRequest& request, int32_t* mode) {
  if (!Reachable(request.Set())) return hr::NoInterface;
  RangedControl* control = ControlOfSet(request.Set());
  if (control == nullptr) return hr::Fail;
  int32_t value = 0, flags = 0;
  HResult h = control->Get(static_cast<int32_t>(request.Id()), &value, &flags);
  if (hr::Succeeded(h)) *mode = (flags & kControlFlagsAuto) != 0 ? VCM_Auto : VCM_Manual;
  return h;
}

HResult PropertyHandler::WriteModePath(const PropertyRequest& request, int32_t mode) {
  if (!Reachable(request.Set())) return hr::NoInterface;
  RangedControl* control = ControlOfSet(request.Set());
  if (control == nullptr) return hr::Fail;
  const int32_t id = static_cast<int32_t>(request.Id());
  int32_t value = 0, flags = 0;
  HResult h = control->Get(id, &value, &flags);
  if (hr::Failed(h)) return h;
  return control->Set(id, value, mode);
}

bool PropertyHandler::GetLag(int32_t id, int32_t* minLag, int32_t* maxLag, int32_t* meanLag,
                             int32_t* lagCount) const {
  if (id < 0 || id >= kLagRecordCount) return false;
  const LagRecord& r = lagRecords_[static_cast<size_t>(id)];
  *minLag = static_cast<int32_t>(r.minLag);
  *maxLag = static_cast<int32_t>(r.maxLag);
  *lagCount = static_cast<int32_t>(r.lagCount);
  *meanLag =
      r.lagCount == 0 ? -1 : static_cast<int32_t>(static_cast<uint32_t>(r.lagSum / r.lagCount));
  return true;
}

}  // namespace lumora
