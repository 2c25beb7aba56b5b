// The simulated camera's request log and injected failures.
#include <algorithm>
#include <iterator>

#include "sim/simulated_camera.h"

namespace lumora::sim {

namespace {

int32_t LongAt(const std::vector<uint8_t>& bytes, uint32_t offset) {
  if (static_cast<size_t>(offset) + 4 > bytes.size()) return 0;
  int32_t v;
  std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

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
    case Op::Topology: return "Topology";
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

std::vector<Request> SimulatedCamera::Requests(Op op) const {
  std::vector<Request> out;
  std::copy_if(log.begin(), log.end(), std::back_inserter(out),
               [op](const Request& r) { return r.op == op; });
  return out;
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

bool SimulatedCamera::Faulted(const Request& r, HResult* h) {
  Note(r);
  return Inject(r.op, h);
}

bool SimulatedCamera::Faulted(Op op, HResult* h) {
  Request r;
  r.op = op;
  return Faulted(r, h);
}

}  // namespace lumora::sim
