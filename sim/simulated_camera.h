// A portable model of a camera driver behind the capture-platform boundary.
//
// It plays the role of a virtual test driver: standard proc-amp and
// camera-control properties with ranges and defaults, the video-control
// capability and mode words and the frame duration, private kernel-streaming
// property sets, every interface individually present or absent, injectable
// failures per operation, and a log of every request it received so tests can
// assert exactly what was sent.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "property/capture_platform.h"
#include "base/types.h"
#include "sim/extension_units.h"
#include "sim/ks_layout.h"

namespace lumora::sim {

// Result a driver gives for an unknown property set or id.
constexpr HResult kSetNotFound = static_cast<HResult>(0x80070492u);  // ERROR_SET_NOT_FOUND
constexpr HResult kNotFound = static_cast<HResult>(0x80070490u);     // ERROR_NOT_FOUND
// Result every call of a removed device gets.
constexpr HResult kDeviceNotConnected =
    static_cast<HResult>(0x8007048Fu);  // ERROR_DEVICE_NOT_CONNECTED

enum class Op {
  ProcAmpGetRange,
  ProcAmpGet,
  ProcAmpSet,
  CameraGetRange,
  CameraGet,
  CameraSet,
  VideoGetCaps,
  VideoGetMode,
  VideoSetMode,
  VideoGetFrameRate,
  KsProperty,
  QuerySupported,
  Topology,  // IKsTopologyInfo: id is the node asked about
  Release,   // an interface reference handed out earlier was released
};

const char* OpName(Op op);

// One request as the driver saw it.
struct Request {
  Op op = Op::KsProperty;
  // Standard controls: id, value and flags of the call. KsProperty and
  // QuerySupported: set and id from the request; flags are the KSPROPERTY
  // flags. VideoSetMode: value is the new mode word.
  Guid set;
  uint32_t id = 0;
  uint32_t flags = 0;
  int32_t value = 0;
  // KsProperty: the lengths passed and copies of both buffers as they were
  // when the call arrived.
  uint32_t propertyLength = 0;
  uint32_t dataLength = 0;
  std::vector<uint8_t> property;
  std::vector<uint8_t> data;
  // Release: which interface ("VideoControl", "Pin", ...).
  std::string what;

  // LONG at an offset of the data buffer as sent (0 when outside it).
  int32_t DataLong(uint32_t offset) const;
  int32_t PropertyLong(uint32_t offset) const;
};

// Ways a driver gets one control wrong, for tests of tools that check
// cameras against their own answers. All off in a well-behaved camera.
struct ControlFaults {
  bool ignoreWrites = false;       // a write succeeds, but the value stays as it was
  bool zeroStep = false;           // the range reports a stepping delta of 0
  bool defaultOutside = false;     // the range reports a default above the maximum
  bool failReads = false;          // reads fail (ERROR_GEN_FAILURE), support still claims them
  bool wideRange = false;          // the range reports twice its width, writes above the real
                                   // maximum are accepted and clamped to it
  bool keepOutside = false;        // a write above the maximum is accepted and kept as written
  bool junkOnFailedReads = false;  // a failing read first writes kJunk to its outputs
  bool silentReads = false;        // a read succeeds without writing its outputs
  bool failWrites = false;         // writes fail (ERROR_GEN_FAILURE), support still claims them
};

// The maximum a range with these faults reports.
int32_t ReportedMax(int32_t min, int32_t max, const ControlFaults& faults);

// What a read made to fail with ControlFaults::junkOnFailedReads leaves in
// its outputs.
constexpr int32_t kJunk = static_cast<int32_t>(0xBAADF00Du);

// Failure code of a read or write made to fail by ControlFaults::failReads or
// ControlFaults::failWrites.
constexpr HResult kGenFailure = static_cast<HResult>(0x8007001Fu);  // ERROR_GEN_FAILURE

// A standard proc-amp or camera-control property.
//
// Modes: capsFlags holds the modes the control offers (1 auto, 2 manual),
// flags the current one. A write names one offered mode (anything else is
// refused with E_INVALIDARG): manual sets the value, auto hands the control
// to the camera and keeps the value as it is. In automatic mode the camera
// moves the value by itself: every read answers the current value and then
// moves it one step up (from the maximum back to the minimum), so two reads
// in a row tell the modes apart.
struct StandardControl {
  int32_t min = 0;
  int32_t max = 255;
  int32_t step = 1;
  int32_t defaultValue = 128;
  int32_t capsFlags = 3;  // auto | manual
  int32_t value = 128;
  int32_t flags = 2;  // current mode: 1 auto, 2 manual
};

// A property of a private kernel-streaming set.
struct PrivateProperty {
  uint32_t access = ks::kTypeGet | ks::kTypeSet;
  int32_t min = 0;
  int32_t max = 255;
  int32_t step = 1;
  uint32_t membersFlags = ks::kMemberSteppedRanges;
  int32_t value = 0;
};

// A private property set and the layout its driver uses for values.
struct PrivateSet {
  // Offset of the LONG value in the data buffer (28 Philips, 24 Creative,
  // 0 Logitech) and the number of bytes a get reports back.
  uint32_t valueOffset = 28;
  uint32_t getBytes = 296;
  std::map<uint32_t, PrivateProperty> properties;
  // Faults by property id (none for an id not listed).
  std::map<uint32_t, ControlFaults> faults;
};

struct GuidLess {
  bool operator()(const Guid& a, const Guid& b) const {
    return std::memcmp(&a, &b, sizeof(Guid)) < 0;
  }
};

// The Philips raw register protocol as the vendor's driver speaks it.
namespace raw {
constexpr uint32_t kSelectId = 0;
constexpr uint32_t kDataId = 1;
constexpr uint32_t kLockId = 2;
constexpr uint32_t kValueOffset = 28;
constexpr int32_t kUnlockKey = 0x8116;
}  // namespace raw

// The raw register protocol, off unless `supported`. Requests use one
// block as property and data, with the index or value at offset 28:
//   lock / unlock  null set, id 2, set: 0 locks, unlockValue unlocks, any
//                  other key is refused (E_ACCESSDENIED);
//   select         while unlocked: id 0 of a set, set: selects register
//                  (set, index);
//   read / write   while unlocked: id 1 of the selected set, get / set: the
//                  selected register; refused (E_ACCESSDENIED) while locked,
//                  and with ERROR_NOT_FOUND when that set has no selection.
// While unlocked, ids 0 and 1 of every set speak this protocol; while locked
// they are the ordinary properties, except an id-1 read or write to the set
// of the remembered selection, which is refused. The selection survives
// locking.
struct RawAccessModel {
  bool supported = false;
  int32_t unlockValue = raw::kUnlockKey;
  bool unlocked = false;
  bool hasSelection = false;
  Guid selectedSet;
  int32_t selectedIndex = 0;
  // Register contents per set and index (stored as written, not masked).
  std::map<Guid, std::map<int32_t, int32_t>, GuidLess> registers;
};

// A millisecond clock that advances by `step` on every reading.
class SimClock : public Clock {
 public:
  uint32_t now = 1000;
  uint32_t step = 0;
  uint32_t NowMs() override {
    uint32_t t = now;
    now += step;
    return t;
  }
};

class SimulatedCamera : public std::enable_shared_from_this<SimulatedCamera> {
 public:
  // A camera with the usual standard controls (proc-amp ids 0-9, camera
  // control ids 0-6), all video-control bits, 30 fps and one output pin.
  static std::shared_ptr<SimulatedCamera> Create();
  virtual ~SimulatedCamera() = default;

  // Interfaces the filter answers.
  bool hasVideoControl = true;
  bool hasVideoProcAmp = true;
  bool hasCameraControl = true;
  bool hasKsControl = true;
  bool hasKsPropertySet = true;
  // Neither IKsControl nor any of the three standard interfaces: no access
  // path reaches the driver.
  void DropEveryPropertyInterface() {
    hasVideoControl = hasVideoProcAmp = hasCameraControl = hasKsControl = false;
  }
  // Directions of the filter's pins in enumeration order (1 = output).
  std::vector<int32_t> pins = {1};

  std::map<int32_t, StandardControl> procAmp;
  std::map<int32_t, StandardControl> cameraControl;
  // Faults of standard controls by id (none for an id not listed).
  std::map<int32_t, ControlFaults> procAmpFaults;
  std::map<int32_t, ControlFaults> cameraControlFaults;
  int32_t videoCaps = 0xF;
  int32_t videoMode = 0;
  int64_t frameDuration = 333333;
  std::map<Guid, PrivateSet, GuidLess> privateSets;
  // The filter's topology (IKsTopologyInfo): the type of each node by node
  // id, and the extension units on the nodes of type KSNODETYPE_DEV_SPECIFIC
  // (see sim/extension_units.h). Empty for a camera without units.
  bool hasTopologyInfo = true;
  std::vector<Guid> nodeTypes;
  std::map<uint32_t, XuUnit> extensionUnits;  // by node id
  // A unit on a new node of type KSNODETYPE_DEV_SPECIFIC; returns it.
  XuUnit& AddExtensionUnit(const Guid& guid, uint8_t unitId);
  // The control of a unit (by its unit id) and selector, or null.
  XuControl* FindXuControl(uint8_t unitId, uint32_t selector);
  // Private-set writes outside the property's range are refused
  // (E_INVALIDARG), as drivers do; off, they are stored as sent, so tests
  // can watch a handler's conversions of any value.
  bool privateRangeChecks = false;

  // Failures to inject: every call of that operation answers the code.
  std::map<Op, HResult> failures;
  // When set, a KsProperty get or basic-support query reports this many bytes
  // instead of its normal count (short or oversized driver answers).
  int64_t ksBytesReturnedOverride = -1;
  // When set, asked about every KsProperty request after it is logged: a
  // failure code refuses that request with the code (finer than `failures`,
  // e.g. refuse only the second request of a sequence).
  std::function<HResult(const Request&)> refuseKs;
  RawAccessModel rawAccess;

  // Like many real cameras: a manual write to a control in automatic mode
  // switches it to manual but keeps the value the camera had chosen (the
  // value written is lost); a second write sets it.
  bool keepsAutoValueOnManualWrite = false;

  std::vector<Request> log;
  // Off: requests are answered but not logged, and the camera allocates
  // nothing per request (benchmarks time the library against it).
  bool logRequests = true;

  // False once the device has been unplugged: every driver call then
  // answers kDeviceNotConnected (and is still logged).
  bool connected = true;
  // Called before every driver call is answered. The device rig uses it to
  // take in plug changes and values written by other processes.
  std::function<void()> beforeCall;

  // Called after every change of the camera's values: a write it accepted
  // (a standard control, the video-control mode, a property set through
  // KsProperty) or a value its automatic mode moved. The device rig uses it
  // to keep values across processes.
  std::function<void()> onWrite;

  PrivateSet& AddPrivateSet(const Guid& set, uint32_t valueOffset, uint32_t getBytes);
  PrivateSet* FindPrivateSet(const Guid& set);

  // Requests of one operation in log order.
  std::vector<Request> Requests(Op op) const;
  void ClearLog() { log.clear(); }

  // A filter object over this camera (the camera stays alive while any
  // filter or interface handed out by it lives).
  std::unique_ptr<CaptureFilter> MakeFilter();

  // --- driver entry points, used by the filter objects -------------------
  HResult ControlGetRange(bool camera, int32_t id, int32_t* min, int32_t* max, int32_t* step,
                          int32_t* def, int32_t* caps);
  HResult ControlGet(bool camera, int32_t id, int32_t* value, int32_t* flags);
  HResult ControlSet(bool camera, int32_t id, int32_t value, int32_t flags);
  HResult VideoGetCaps(int32_t* caps);
  HResult VideoGetMode(int32_t* mode);
  HResult VideoSetMode(int32_t mode);
  HResult VideoGetFrameRate(int64_t* duration);
  // IKsControl::KsProperty with the request's KSPROPERTY header already
  // decoded (a zero header when propertyLength is too short for one).
  HResult KsRequest(const ks::Property& header, const void* property, uint32_t propertyLength,
                    void* data, uint32_t dataLength, uint32_t* bytesReturned);
  // The same, decoding the header from the property buffer.
  HResult KsProperty(void* property, uint32_t propertyLength, void* data, uint32_t dataLength,
                     uint32_t* bytesReturned);
  HResult QuerySupported(const Guid& set, uint32_t id, uint32_t* support);
  // IKsTopologyInfo: the number of nodes and a node's type.
  HResult NodeCount(uint32_t* count);
  HResult NodeType(uint32_t nodeId, Guid* type);
  void NoteRelease(const char* what);

 protected:
  SimulatedCamera() = default;

  // Answers a request of the raw register protocol; false when the request
  // is not one (then it is an ordinary property request).
  // `property` is the request's property buffer (r.propertyLength bytes).
  bool AnswerRawAccess(const Request& r, const uint8_t* property, uint8_t* data,
                       uint32_t dataLength, uint32_t* bytesReturned, HResult* h);

  // Answers a KsProperty on a private set; overridable per family model.
  // Answers a KSP_NODE request with the TOPOLOGY flag (an extension unit's).
  HResult AnswerNode(const Request& r, const uint8_t* property, uint8_t* data, uint32_t dataLength,
                     uint32_t* bytesReturned);

  virtual HResult AnswerPrivate(PrivateSet& set, uint32_t id, uint32_t flags, uint8_t* data,
                                uint32_t dataLength, uint32_t* bytesReturned);

 private:
  bool Inject(Op op, HResult* h) const;
  void Note(const Request& r);
  // An entry point's first step: logs the request, then tells whether an
  // injected fault (or a pulled cable) answers it, with its result in *h.
  bool Faulted(const Request& r, HResult* h);
  bool Faulted(Op op, HResult* h);
  // A standard control's request, and the control it addresses: null with
  // *h set when a fault answers or the camera has no such control.
  static Request ControlRequest(Op op, int32_t id);
  StandardControl* Addressed(const Request& r, bool camera, HResult* h);
  // A read-only entry point: unless a fault answers, copies `current` (read
  // after the fault hooks ran) to *out.
  template <typename T>
  HResult Report(Op op, const T& current, T* out) {
    HResult h;
    if (Faulted(op, &h)) return h;
    *out = current;
    return hr::Ok;
  }
  // After a read: the automatic mode moves the control's value.
  void AutoStep(StandardControl& control);
  std::map<int32_t, StandardControl>& Controls(bool camera) {
    return camera ? cameraControl : procAmp;
  }
  ControlFaults FaultsOf(bool camera, int32_t id) const {
    const auto& faults = camera ? cameraControlFaults : procAmpFaults;
    auto it = faults.find(id);
    return it == faults.end() ? ControlFaults{} : it->second;
  }
};

}  // namespace lumora::sim
