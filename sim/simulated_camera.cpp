// The simulated camera's fields: the usual controls and the private sets.
#include "sim/simulated_camera.h"

namespace lumora::sim {

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

}  // namespace lumora::sim
