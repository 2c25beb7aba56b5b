#include "sim/families.h"

#include <iterator>

#include "property/catalogue.h"

namespace lumora::sim {

namespace {

constexpr uint32_t kGetSet = ks::kTypeGet | ks::kTypeSet;

// One private property: id, access flags, stepped range and current value.
struct PrivateRow {
  uint32_t id;
  uint32_t access;
  int32_t min;
  int32_t max;
  int32_t step;
  int32_t value;
};

// SAA8112 private set, values as the driver keeps them (switches 0 / 255).
const PrivateRow kSaa8112Rows[] = {
    {0, kGetSet, 0, 4, 1, 4},       // white-balance mode (4 = auto)
    {3, kGetSet, 0, 127, 1, 63},    // white-balance red gain
    {4, kGetSet, 0, 127, 1, 63},    // white-balance blue gain
    {6, kGetSet, 0, 255, 255, 0},   // flicker filter
    {7, kGetSet, 0, 255, 255, 0},   // automatic exposure (0 = on)
    {8, kGetSet, 0, 10, 1, 5},      // exposure
    {9, kGetSet, 0, 255, 1, 128},   // contour (probed by detection)
    {10, kGetSet, 0, 63, 1, 33},    // gain
    {12, kGetSet, 0, 5, 1, 3},      // frame rate index
    {16, kGetSet, 0, 255, 255, 0},  // horizontal mirror
    {17, kGetSet, 0, 2, 1, 0},      // setting selector
};

// SAA8116 private set (also the layout of its Creative and Logitech relatives).
const PrivateRow kSaa8116Rows[] = {
    {0, kGetSet, 0, 4, 1, 4},         // white-balance mode (4 = auto)
    {3, kGetSet, 0, 255, 1, 127},     // white-balance red gain
    {4, kGetSet, 0, 255, 1, 127},     // white-balance blue gain
    {6, kGetSet, 0, 255, 255, 0},     // flicker filter
    {7, kGetSet, 0, 255, 255, 0},     // automatic exposure (0 = on)
    {8, kGetSet, 0, 10, 1, 5},        // exposure
    {9, kGetSet, 0, 63, 1, 32},       // gain (probed by detection)
    {11, kGetSet, 0, 6, 1, 3},        // frame rate index
    {14, kGetSet, 16, 18, 1, 16},     // LED (16 off, 17 on, 18 blinking)
    {15, kGetSet, 0, 255, 255, 0},    // horizontal mirror
    {16, kGetSet, 0, 255, 255, 0},    // vertical mirror
    {17, kGetSet, 0, 2, 1, 0},        // setting selector
    {23, kGetSet, 0, 255, 255, 255},  // all automatic
    {30, kGetSet, 0, 255, 255, 0},    // mains frequency (0 = 50 Hz)
};

// Creative Live Ultra private set: reached through raw codes only.
const PrivateRow kCreaLiveUltraRows[] = {
    {1, kGetSet, 0, 1, 1, 0},               // (vendor control)
    {9, kGetSet, 0, 255, 1, 128},           // (vendor control, probed by detection)
    {20, kGetSet, 0, 255, 1, 100},          // (vendor control)
    {21, ks::kTypeGet, 0, 65535, 1, 1234},  // (vendor status, read-only)
};

// Logitech Fusion private set, bare 4-byte values.
const PrivateRow kLogiFusionRows[] = {
    {2, kGetSet, 0, 1, 1, 0},       // trigger
    {5, kGetSet, 0, 1, 1, 0},       // horizontal mirror
    {6, kGetSet, 0, 1, 1, 0},       // vertical mirror
    {9, kGetSet, 0, 255, 1, 128},   // (vendor control, probed by detection)
    {15, kGetSet, 0, 1, 1, 1},      // automatic white balance (1 = on)
    {23, kGetSet, 1, 500, 1, 100},  // exposure
    {28, kGetSet, 0, 255, 1, 64},   // gain
    {31, kGetSet, 0, 2, 1, 0},      // setting selector
    {32, kGetSet, 0, 1, 1, 1},      // automatic exposure
    {56, kGetSet, 0, 2, 1, 1},      // flicker filter (0 off, 1 50 Hz, 2 60 Hz)
    {102, kGetSet, 0, 3, 3, 0},     // colour mode (0 colour, 3 monochrome)
};

// Private set of a family: GUID, value offset, bytes a get reports, rows.
struct SetLayout {
  uint32_t valueOffset;
  uint32_t getBytes;
  const PrivateRow* rows;
  size_t rowCount;
};

template <size_t N>
constexpr SetLayout Layout(uint32_t offset, uint32_t getBytes, const PrivateRow (&rows)[N]) {
  return SetLayout{offset, getBytes, rows, N};
}

const SetLayout kPhilips8112 = Layout(28, 296, kSaa8112Rows);
const SetLayout kPhilips8116 = Layout(28, 296, kSaa8116Rows);
const SetLayout kCreative = Layout(24, 36, kCreaLiveUltraRows);
const SetLayout kLogitech = Layout(0, 4, kLogiFusionRows);

const std::array<FamilyInfo, 6> kFamilies = {{
    {Family::Saa8112, "Saa8112", kSetSaa8112, CSX_SAA8112, "VID_0471&PID_0307"},
    {Family::Saa8116, "Saa8116", kSetSaa8116, kChipsetSaa8116Family, "VID_0471&PID_0311"},
    {Family::Saa8116Creative, "Saa8116Creative", kSetSaa8116Creative, kChipsetSaa8116Family,
     "VID_041E&PID_4011"},
    {Family::Saa8116Logitech, "Saa8116Logitech", kSetSaa8116Logitech, kChipsetSaa8116Family,
     "VID_046D&PID_08B0"},
    {Family::CreaLiveUltra, "CreaLiveUltra", kSetCreaLiveUltra, CSX_CREALIVEULTRA,
     "VID_041E&PID_403C"},
    {Family::LogiFusion, "LogiFusion", kSetLogiFusion, CSX_LOGIFUSION, "VID_046D&PID_08C1"},
}};

void AddSet(SimulatedCamera& cam, const Guid& set, const SetLayout& layout) {
  PrivateSet& s = cam.AddPrivateSet(set, layout.valueOffset, layout.getBytes);
  for (size_t i = 0; i < layout.rowCount; ++i) {
    const PrivateRow& row = layout.rows[i];
    PrivateProperty& p = s.properties[row.id];
    p.access = row.access;
    p.min = row.min;
    p.max = row.max;
    p.step = row.step;
    p.value = row.value;
  }
}

// Webcams without mechanics: the standard proc-amp, no camera-control
// properties.
void WebcamControls(SimulatedCamera& cam) { cam.cameraControl.clear(); }

void PhilipsRawAccess(SimulatedCamera& cam, const Guid& set) {
  cam.rawAccess.supported = true;
  // A few registers with recognisable contents.
  cam.rawAccess.registers[set][0x10] = 0x42;
  cam.rawAccess.registers[set][0x20] = 0x81;
}

}  // namespace

const std::array<FamilyInfo, 6>& Families() { return kFamilies; }

const FamilyInfo& InfoOf(Family family) {
  for (const FamilyInfo& info : kFamilies) {
    if (info.family == family) return info;
  }
  return kFamilies[0];
}

std::shared_ptr<SimulatedCamera> MakeFamilyCamera(Family family) {
  std::shared_ptr<SimulatedCamera> cam = SimulatedCamera::Create();
  const FamilyInfo& info = InfoOf(family);
  switch (family) {
    case Family::Saa8112:
      AddSet(*cam, info.privateSet, kPhilips8112);
      WebcamControls(*cam);
      cam->procAmp.erase(9);  // gain lives in the private set
      cam->videoCaps = 0;
      PhilipsRawAccess(*cam, info.privateSet);
      break;
    case Family::Saa8116:
    case Family::Saa8116Creative:
    case Family::Saa8116Logitech:
      AddSet(*cam, info.privateSet, kPhilips8116);
      WebcamControls(*cam);
      cam->procAmp.erase(9);
      cam->videoCaps = 0;
      PhilipsRawAccess(*cam, info.privateSet);
      break;
    case Family::CreaLiveUltra:
      AddSet(*cam, info.privateSet, kCreative);
      WebcamControls(*cam);
      cam->videoCaps = ks::kVideoControlFlipHorizontal | ks::kVideoControlFlipVertical;
      break;
    case Family::LogiFusion:
      AddSet(*cam, info.privateSet, kLogitech);
      // Camera control: exposure only (the handler's frame-rate control).
      cam->cameraControl = {{4, cam->cameraControl[4]}};
      cam->videoCaps = 0;
      break;
  }
  return cam;
}

}  // namespace lumora::sim
