// The simulated camera's driver entry points of the standard controls, the
// video control and IKsPropertySet::QuerySupported.
#include <algorithm>

#include "sim/simulated_camera.h"

namespace lumora::sim {

HResult SimulatedCamera::ControlGetRange(bool camera, int32_t id, int32_t* min, int32_t* max,
                                         int32_t* step, int32_t* def, int32_t* caps) {
  Request r;
  r.op = camera ? Op::CameraGetRange : Op::ProcAmpGetRange;
  r.id = static_cast<uint32_t>(id);
  HResult h;
  if (Faulted(r, &h)) return h;
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
  HResult h;
  if (Faulted(r, &h)) return h;
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
  if ((control.flags & ks::kFlagsAuto) == 0) return;
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
  HResult h;
  if (Faulted(r, &h)) return h;
  auto it = Controls(camera).find(id);
  if (it == Controls(camera).end()) return kNotFound;
  StandardControl& c = it->second;
  const ControlFaults faults = FaultsOf(camera, id);
  if (value < c.min || (value > ReportedMax(c.min, c.max, faults) && !faults.keepOutside)) {
    return hr::InvalidArg;
  }
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
  HResult h;
  if (Faulted(Op::VideoGetCaps, &h)) return h;
  *caps = videoCaps;
  return hr::Ok;
}

HResult SimulatedCamera::VideoGetMode(int32_t* mode) {
  HResult h;
  if (Faulted(Op::VideoGetMode, &h)) return h;
  *mode = videoMode;
  return hr::Ok;
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
  HResult h;
  if (Faulted(Op::VideoGetFrameRate, &h)) return h;
  *duration = frameDuration;
  return hr::Ok;
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
