// The simulated camera as a real COM capture filter.
//
// The filter implements IBaseFilter (with IMediaFilter and IPersist) and
// answers QueryInterface for IAMVideoProcAmp, IAMCameraControl,
// IAMVideoControl, IKsControl and IKsPropertySet exactly while the camera's
// matching has* flag is set. Its pins are made from the camera's `pins` list
// when the filter is created, live as long as the filter and count their
// references on it. Every control call is forwarded to the camera, so the
// camera's request log shows what the caller sent.
//
// The objects keep no global state besides a live-object count and the
// module lock of com::Object, so they work inside a DLL as well as in a
// program.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <memory>

#include "sim/simulated_camera.h"

namespace lumora::sim {

// A member of every simulated COM object: counts it in `count` from
// construction to destruction (also when a constructor fails half-way).
template <std::atomic<LONG>& count>
class LiveCount {
 public:
  LiveCount() noexcept { ++count; }
  ~LiveCount() { --count; }
  LiveCount(const LiveCount&) = delete;
  LiveCount& operator=(const LiveCount&) = delete;
};

// {D56B2A28-8512-4744-96EE-D648925FAAF8}, answered by IPersist::GetClassID.
extern const CLSID CLSID_LumoraSimFilter;

// Creates a filter over the camera (shared: the filter keeps it alive) and
// hands out one reference. E_POINTER for a null camera or out pointer,
// E_OUTOFMEMORY when allocation fails; *filter is null on failure.
HRESULT CreateSimFilter(std::shared_ptr<SimulatedCamera> camera, IBaseFilter** filter);

// Number of simulated-filter COM objects (filters, pins, pin enumerators)
// alive in this module.
LONG SimFilterObjectCount();

}  // namespace lumora::sim
