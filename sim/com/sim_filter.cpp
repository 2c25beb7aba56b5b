#include "sim/com/sim_filter.h"

#include <control.h>
#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>

#include <wrl/client.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "com/com_object.h"
#include "com/enumerator.h"
#include "com/guard.h"
#include "sim/com/ks_topology.h"

namespace lumora::sim {

const CLSID CLSID_LumoraSimFilter = {
    0xd56b2a28, 0x8512, 0x4744, {0x96, 0xee, 0xd6, 0x48, 0x92, 0x5f, 0xaa, 0xf8}};

namespace {

using Microsoft::WRL::ComPtr;

std::atomic<LONG> liveObjects{0};

// A member of every COM object here (the filter and the pin enumerators are
// com::Object instances, the pins parts of the filter): SimFilterObjectCount.
using LiveObject = LiveCount<liveObjects>;

Guid ToGuid(REFGUID g) {
  Guid out;
  std::memcpy(static_cast<void*>(&out), &g, sizeof out);
  return out;
}

// --- pins ---------------------------------------------------------------------

// A pin lives inside its filter: its references are references on the filter,
// and it is destroyed with it. It has its own identity (QueryInterface gives
// IUnknown and IPin only).
class SimPin final : public IPin {
 public:
  SimPin(IBaseFilter* owner, PIN_DIRECTION direction, size_t index)
      : owner_(owner), direction_(direction), index_(index) {}

  PIN_DIRECTION direction() const { return direction_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IPin) return E_NOINTERFACE;
    *out = static_cast<IPin*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    if (direction == nullptr) return E_POINTER;
    *direction = direction_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
    if (info == nullptr) return E_POINTER;
    return com::Guard([&] {
      std::wstring name =
          (direction_ == PINDIR_OUTPUT ? L"Capture " : L"Input ") + std::to_wstring(index_);
      lstrcpynW(info->achName, name.c_str(), MAX_PIN_NAME);
      info->dir = direction_;
      info->pFilter = owner_;
      owner_->AddRef();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Disconnect() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override {
    if (pin != nullptr) *pin = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
    if (id != nullptr) *id = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override {
    if (types != nullptr) *types = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override {
    return E_NOTIMPL;
  }

 private:
  IBaseFilter* owner_;  // not counted: the owner outlives its pins
  PIN_DIRECTION direction_;
  size_t index_;
  LiveObject live_;
};

using PinList = std::vector<std::unique_ptr<SimPin>>;

// A pin enumerator holds a reference on the filter, which owns the pins.
struct PinTraits : com::EnumTraits {
  using Interface = IEnumPins;
  using Entry = std::unique_ptr<SimPin>;
  using Item = IPin*;
  using Member = LiveObject;
  static const IID& Iid() { return IID_IEnumPins; }
  static HRESULT Copy(const Entry& pin, Item* item) {
    *item = pin.get();
    pin->AddRef();
    return S_OK;
  }
  static void Free(Item* item) { (*item)->Release(); }
};

// --- the two ranged controls ----------------------------------------------------

// IAMVideoProcAmp and IAMCameraControl share method names and signatures, so
// each lives in its own part of the filter; a part's identity and reference
// count are the filter's.
template <class Interface, bool kCamera>
class RangedPart final : public Interface {
 public:
  RangedPart(IBaseFilter* owner, SimulatedCamera& camera) : owner_(owner), camera_(camera) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return owner_->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

  HRESULT STDMETHODCALLTYPE GetRange(LONG id, LONG* min, LONG* max, LONG* step, LONG* def,
                                     LONG* caps) override {
    if (!min || !max || !step || !def || !caps) return E_POINTER;
    return com::Guard([&] {
      int32_t lo = *min, hi = *max, st = *step, df = *def, cp = *caps;
      HResult h = camera_.ControlGetRange(kCamera, id, &lo, &hi, &st, &df, &cp);
      *min = lo, *max = hi, *step = st, *def = df, *caps = cp;
      return h;
    });
  }
  HRESULT STDMETHODCALLTYPE Set(LONG id, LONG value, LONG flags) override {
    return com::Guard([&] { return camera_.ControlSet(kCamera, id, value, flags); });
  }
  HRESULT STDMETHODCALLTYPE Get(LONG id, LONG* value, LONG* flags) override {
    if (!value || !flags) return E_POINTER;
    return com::Guard([&] {
      int32_t v = *value, f = *flags;
      HResult h = camera_.ControlGet(kCamera, id, &v, &f);
      *value = v, *flags = f;
      return h;
    });
  }

 private:
  IBaseFilter* owner_;  // not counted: the owner holds this part
  SimulatedCamera& camera_;
};

// --- the filter -------------------------------------------------------------------

class SimFilter : public IBaseFilter,
                  public IAMVideoControl,
                  public IKsControl,
                  public IKsPropertySet,
                  public IKsTopologyInfoRig {
 public:
  explicit SimFilter(std::shared_ptr<SimulatedCamera> camera)
      : camera_(std::move(camera)), procAmp_(this, *camera_), cameraControl_(this, *camera_) {
    auto pins = std::make_shared<PinList>();
    for (size_t i = 0; i < camera_->pins.size(); ++i) {
      PIN_DIRECTION dir = camera_->pins[i] == 1 ? PINDIR_OUTPUT : PINDIR_INPUT;
      pins->push_back(std::make_unique<SimPin>(this, dir, i));
    }
    pins_ = std::move(pins);
  }

  IUnknown* Interface(REFIID iid) {
    if (iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter) {
      return static_cast<IBaseFilter*>(this);
    }
    if (iid == IID_IAMVideoProcAmp && camera_->hasVideoProcAmp) return &procAmp_;
    if (iid == IID_IAMCameraControl && camera_->hasCameraControl) return &cameraControl_;
    if (iid == IID_IAMVideoControl && camera_->hasVideoControl) {
      return static_cast<IAMVideoControl*>(this);
    }
    if (iid == IID_IKsControl && camera_->hasKsControl) return static_cast<IKsControl*>(this);
    if (iid == IID_IKsPropertySet && camera_->hasKsPropertySet) {
      return static_cast<IKsPropertySet*>(this);
    }
    if (iid == kIidKsTopologyInfo && camera_->hasTopologyInfo) {
      return static_cast<IKsTopologyInfoRig*>(this);
    }
    return nullptr;
  }

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_LumoraSimFilter;
    return S_OK;
  }

  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override {
    state_ = State_Stopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Pause() override {
    state_ = State_Paused;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override {
    state_ = State_Running;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override {
    clock_ = clock;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
    if (clock == nullptr) return E_POINTER;
    *clock = nullptr;
    return clock_.CopyTo(clock);
  }

  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return com::CreateSnapshotEnumerator<PinTraits>(
        pins_, IID_IEnumPins, reinterpret_cast<void**>(out),
        ComPtr<IUnknown>(static_cast<IBaseFilter*>(this)));
  }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin** pin) override {
    if (pin != nullptr) *pin = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
    if (info == nullptr) return E_POINTER;
    lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    return com::Guard([&] {
      name_ = name != nullptr ? name : L"";
      graph_ = graph;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }

  // IAMVideoControl
  HRESULT STDMETHODCALLTYPE GetCaps(IPin* pin, LONG* caps) override {
    return ReadVideo(pin, caps, &SimulatedCamera::VideoGetCaps);
  }
  HRESULT STDMETHODCALLTYPE SetMode(IPin* pin, LONG mode) override {
    if (!AcceptsPin(pin)) return E_INVALIDARG;
    return com::Guard([&] { return camera_->VideoSetMode(mode); });
  }
  HRESULT STDMETHODCALLTYPE GetMode(IPin* pin, LONG* mode) override {
    return ReadVideo(pin, mode, &SimulatedCamera::VideoGetMode);
  }
  HRESULT STDMETHODCALLTYPE GetCurrentActualFrameRate(IPin* pin, LONGLONG* duration) override {
    return ReadVideo(pin, duration, &SimulatedCamera::VideoGetFrameRate);
  }
  HRESULT STDMETHODCALLTYPE GetMaxAvailableFrameRate(IPin*, LONG, SIZE, LONGLONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetFrameRateList(IPin*, LONG, SIZE, LONG*, LONGLONG**) override {
    return E_NOTIMPL;
  }

  // IKsControl
  HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data,
                                       ULONG dataLength, ULONG* bytesReturned) override {
    if (property == nullptr || (data == nullptr && dataLength != 0)) return E_POINTER;
    return com::Guard([&] {
      // The driver reads the request through the platform's own KSPROPERTY.
      ks::Property header;
      if (propertyLength >= sizeof(KSPROPERTY)) {
        header.set = ToGuid(property->Set);
        header.id = property->Id;
        header.flags = property->Flags;
      }
      uint32_t returned = bytesReturned != nullptr ? *bytesReturned : 0;
      HResult h = camera_->KsRequest(header, property, propertyLength, data, dataLength,
                                     bytesReturned != nullptr ? &returned : nullptr);
      if (bytesReturned != nullptr) *bytesReturned = returned;
      return h;
    });
  }
  HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG*) override {
    return E_NOTIMPL;
  }

  // IKsTopologyInfo: the nodes and their types (no categories,
  // connections, names or node objects).
  HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Category(DWORD, GUID*) override { return E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD, KSTOPOLOGY_CONNECTION*) override {
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_NodeName(DWORD, WCHAR*, DWORD, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    return com::Guard([&] {
      uint32_t n = 0;
      HResult h = camera_->NodeCount(&n);
      if (hr::Succeeded(h)) *count = n;
      return h;
    });
  }
  HRESULT STDMETHODCALLTYPE get_NodeType(DWORD nodeId, GUID* type) override {
    if (type == nullptr) return E_POINTER;
    return com::Guard([&] {
      Guid t;
      HResult h = camera_->NodeType(nodeId, &t);
      if (hr::Succeeded(h)) std::memcpy(type, &t, sizeof t);
      return h;
    });
  }
  HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD, REFIID, void** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }

  // IKsPropertySet
  HRESULT STDMETHODCALLTYPE Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Get(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override {
    if (support == nullptr) return E_POINTER;
    return com::Guard([&] {
      uint32_t s = *support;
      HResult h = camera_->QuerySupported(ToGuid(set), id, &s);
      *support = s;
      return h;
    });
  }

 private:
  // Video control works on the filter's output pins; a null pin is left to
  // the camera model.
  // An IAMVideoControl read: checks the out parameter and the pin, then asks
  // the camera through a value of the camera's own width.
  template <typename Out, typename Value>
  HRESULT ReadVideo(IPin* pin, Out* out, HResult (SimulatedCamera::*read)(Value*)) {
    if (out == nullptr) return E_POINTER;
    if (!AcceptsPin(pin)) return E_INVALIDARG;
    return com::Guard([&] {
      Value v = *out;
      HResult h = ((*camera_).*read)(&v);
      *out = v;
      return h;
    });
  }
  bool AcceptsPin(IPin* pin) const {
    if (pin == nullptr) return true;
    for (const auto& own : *pins_) {
      if (own.get() == pin) return own->direction() == PINDIR_OUTPUT;
    }
    return false;
  }

  std::shared_ptr<SimulatedCamera> camera_;
  RangedPart<IAMVideoProcAmp, false> procAmp_;
  RangedPart<IAMCameraControl, true> cameraControl_;
  std::shared_ptr<const PinList> pins_;  // shared with the pin enumerators
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;  // not counted: the graph holds its filters
  std::wstring name_;
  LiveObject live_;
};

}  // namespace

HRESULT CreateSimFilter(std::shared_ptr<SimulatedCamera> camera, IBaseFilter** filter) {
  if (filter == nullptr) return E_POINTER;
  *filter = nullptr;
  if (!camera) return E_POINTER;
  return com::CreateInstance<SimFilter>(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter),
                                        std::move(camera));
}

LONG SimFilterObjectCount() { return liveObjects.load(); }

}  // namespace lumora::sim
