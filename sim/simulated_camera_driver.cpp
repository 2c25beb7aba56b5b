// The simulated camera's driver entry points of the standard controls, the
// video control and IKsPropertySet::QuerySupported.
#include <algorithm>

#include "sim/simulated_camera.h"

namespace lumora::sim {

HResult SimulatedCamera::ControlGetRange(bool camera, int32_t id, int32_t* min, int32_t* max,
                                         int32_t* step, int32_t* def, int32_t* caps) {
  HResult h;
  const StandardControl* found =
      Addressed(ControlRequest(camera ? Op::CameraGetRange : Op::ProcAmpGetRange, id), camera, &h);
  if (found == nullptr) return h;
  const StandardControl& c = *found;
  const ControlFaults faults = FaultsOf(camera, id);
  *min = c.min;
  *max = ReportedMax(c.min, c.max, faults);
  *step = faults.zeroStep ? 0 : c.step;
  *def = faults.defaultOutside ? c.max + 1 : c.defaultValue;
  *caps = c.capsFlags;
  return hr::Ok;
}

HResult SimulatedCamera::ControlGet(bool camera, int32_t id, int32_t* value, int32_t* flags) {
  HResult h;
  StandardControl* c =
      Addressed(ControlRequest(camera ? Op::CameraGet : Op::ProcAmpGet, id), camera, &h);
  if (c == nullptr) return h;
  const ControlFaults faults = FaultsOf(camera, id);
  if (faults.failReads) {
    if (faults.junkOnFailedReads) *value = *flags = kJunk;
    return kGenFailure;
  }
  if (faults.silentReads) return hr::Ok;
  *value = c->value;
  *flags = c->flags;
  AutoStep(*c);
  return hr::Ok;
}

Request SimulatedCamera::ControlRequest(Op op, int32_t id) {
  Request r;
  r.op = op;
  r.id = static_cast<uint32_t>(id);
  return r;
}

StandardControl* SimulatedCamera::Addressed(const Request& r, bool camera, HResult* h) {
  if (Faulted(r, h)) return nullptr;
  auto it = Controls(camera).find(static_cast<int32_t>(r.id));
  if (it == Controls(camera).end()) {
    *h = kNotFound;
    return nullptr;
  }
  return &it->second;
}

void SimulatedCamera::AutoStep(StandardControl& control) {
  if ((control.flags & ks::kFlagsAuto) == 0) return;
  const int64_t next = static_cast<int64_t>(control.value) + control.step;
  control.value = next > control.max ? control.min : static_cast<int32_t>(next);
  if (onWrite) onWrite();
}

HResult SimulatedCamera::ControlSet(bool camera, int32_t id, int32_t value, int32_t flags) {
  Request r = ControlRequest(camera ? Op::CameraSet : Op::ProcAmpSet, id);
  r.value = value;
  r.flags = static_cast<uint32_t>(flags);
  HResult h;
  StandardControl* found = Addressed(r, camera, &h);
  if (found == nullptr) return h;
  StandardControl& c = *found;
  const ControlFaults faults = FaultsOf(camera, id);
  if (value < c.min || (value > ReportedMax(c.min, c.max, faults) && !faults.keepOutside)) {
    return hr::InvalidArg;
  }
  if (faults.failWrites) return kGenFailure;
  if (faults.ignoreWrites) return hr::Ok;
  if (!faults.keepOutside) value = std::min(value, c.max);
  if ((flags != ks::kFlagsAuto && flags != ks::kFlagsManual) || (flags & c.capsFlags) == 0) {
    return hr::InvalidArg;
  }
  const bool wasAuto = (c.flags & ks::kFlagsAuto) != 0;
  if (flags == ks::kFlagsManual && !(wasAuto && keepsAutoValueOnManualWrite)) c.value = value;
  c.flags = flags;
  if (onWrite) onWrite();
  return hr::Ok;
}

HResult SimulatedCamera::VideoGetCaps(int32_t* caps) {
  return Report(Op::VideoGetCaps, videoCaps, caps);
}

HResult SimulatedCamera::VideoGetMode(int32_t* mode) {
  return Report(Op::VideoGetMode, videoMode, mode);
}

HResult SimulatedCamera::VideoSetMode(int32_t mode) {
  Request r;
  r.op = Op::VideoSetMode;
  r.value = mode;
  HResult h;
  if (Faulted(r, &h)) return h;
  // The mode keeps only the bits the camera is capable of.
  videoMode = mode & videoCaps;
  if (onWrite) onWrite();
  return hr::Ok;
}

HResult SimulatedCamera::VideoGetFrameRate(int64_t* duration) {
  return Report(Op::VideoGetFrameRate, frameDuration, duration);
}

HResult SimulatedCamera::QuerySupported(const Guid& set, uint32_t id, uint32_t* support) {
  Request r;
  r.op = Op::QuerySupported;
  r.set = set;
  r.id = id;
  HResult h;
  if (Faulted(r, &h)) return h;
  if (set == ks::kSetVideoProcAmp || set == ks::kSetCameraControl) {
    auto& controls = Controls(set == ks::kSetCameraControl);
    if (controls.count(static_cast<int32_t>(id)) == 0) return kNotFound;
    *support = ks::kSupportGet | ks::kSupportSet;
    return hr::Ok;
  }
  PrivateSet* priv = FindPrivateSet(set);
  if (priv == nullptr) return kSetNotFound;
  auto it = priv->properties.find(id);
  if (it == priv->properties.end()) return kNotFound;
  *support = it->second.access & 3;
  return hr::Ok;
}

}  // namespace lumora::sim
