#include "dshow/dshow_filter.h"

#include <control.h>
#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>

#include <cstring>
#include <new>
#include <utility>

#include "com/out_param.h"

namespace lumora {
namespace {

using Microsoft::WRL::ComPtr;

static_assert(sizeof(LONG) == sizeof(int32_t), "LONG is 32-bit on Windows");
static_assert(sizeof(ULONG) == sizeof(uint32_t) && sizeof(DWORD) == sizeof(uint32_t),
              "ULONG and DWORD are 32-bit on Windows");
static_assert(sizeof(LONGLONG) == sizeof(int64_t), "LONGLONG is 64-bit");
static_assert(sizeof(GUID) == sizeof(Guid), "GUID layouts agree");

// Portable out-pointers cross to the COM call as locals of the Windows type
// of the same width (out-parameter rule: com/out_param.h).
using com::AnyNull;
using com::OutParam;
using com::WriteOnSuccess;
using LongOut = OutParam<int32_t, LONG>;

// Wraps an interface reference in a new boundary object that takes it over.
template <class Wrapper, class Boundary, class Interface>
HResult Wrap(ComPtr<Interface> itf, std::unique_ptr<Boundary>* out) {
  Wrapper* wrapper = new (std::nothrow) Wrapper(std::move(itf));
  if (wrapper == nullptr) return E_OUTOFMEMORY;
  out->reset(wrapper);
  return S_OK;
}

// QueryInterface on the filter, the answer wrapped on success.
template <class Wrapper, class Interface, class Boundary>
HResult Query(IBaseFilter* filter, REFIID iid, std::unique_ptr<Boundary>* out) {
  out->reset();
  ComPtr<Interface> itf;
  HRESULT h = filter->QueryInterface(iid, reinterpret_cast<void**>(itf.GetAddressOf()));
  if (FAILED(h)) return h;
  if (!itf) return E_NOINTERFACE;
  HResult wrapped = Wrap<Wrapper>(std::move(itf), out);
  return FAILED(wrapped) ? wrapped : h;
}

class DShowPin final : public Pin {
 public:
  explicit DShowPin(ComPtr<IPin> pin) : pin_(std::move(pin)) {}

  HResult QueryDirection(int32_t* dir) override {
    if (AnyNull(dir)) return hr::Pointer;
    OutParam<int32_t, PIN_DIRECTION> d(dir);
    return WriteOnSuccess(pin_->QueryDirection(d.get()), d);
  }

  IPin* get() const { return pin_.Get(); }

 private:
  ComPtr<IPin> pin_;
};

class DShowPinEnumerator final : public PinEnumerator {
 public:
  explicit DShowPinEnumerator(ComPtr<IEnumPins> pins) : pins_(std::move(pins)) {}

  HResult Next(std::unique_ptr<Pin>* pin) override {
    pin->reset();
    ComPtr<IPin> next;
    ULONG fetched = 0;
    HRESULT h = pins_->Next(1, next.GetAddressOf(), &fetched);
    if (h == S_OK && next) {
      HResult wrapped = Wrap<DShowPin>(std::move(next), pin);
      if (FAILED(wrapped)) return wrapped;
    }
    return h;
  }

 private:
  ComPtr<IEnumPins> pins_;
};

// IAMVideoProcAmp and IAMCameraControl have the same three methods.
template <class Boundary, class Interface>
class DShowRangedControl final : public Boundary {
 public:
  explicit DShowRangedControl(ComPtr<Interface> control) : control_(std::move(control)) {}

  HResult GetRange(int32_t id, int32_t* min, int32_t* max, int32_t* steppingDelta,
                   int32_t* defaultValue, int32_t* capsFlags) override {
    if (AnyNull(min, max, steppingDelta, defaultValue, capsFlags)) return hr::Pointer;
    LongOut lo(min), hi(max), step(steppingDelta), def(defaultValue), caps(capsFlags);
    return WriteOnSuccess(
        control_->GetRange(id, lo.get(), hi.get(), step.get(), def.get(), caps.get()), lo, hi, step,
        def, caps);
  }
  HResult Get(int32_t id, int32_t* value, int32_t* flags) override {
    if (AnyNull(value, flags)) return hr::Pointer;
    LongOut v(value), f(flags);
    return WriteOnSuccess(control_->Get(id, v.get(), f.get()), v, f);
  }
  HResult Set(int32_t id, int32_t value, int32_t flags) override {
    return control_->Set(id, value, flags);
  }

 private:
  ComPtr<Interface> control_;
};

class DShowVideoControl final : public VideoControl {
 public:
  explicit DShowVideoControl(ComPtr<IAMVideoControl> control) : control_(std::move(control)) {}

  HResult GetCaps(Pin* pin, int32_t* caps) override {
    IPin* p = nullptr;
    if (!PinOf(pin, &p)) return E_INVALIDARG;
    if (AnyNull(caps)) return hr::Pointer;
    LongOut c(caps);
    return WriteOnSuccess(control_->GetCaps(p, c.get()), c);
  }
  HResult SetMode(Pin* pin, int32_t mode) override {
    IPin* p = nullptr;
    if (!PinOf(pin, &p)) return E_INVALIDARG;
    return control_->SetMode(p, mode);
  }
  HResult GetMode(Pin* pin, int32_t* mode) override {
    IPin* p = nullptr;
    if (!PinOf(pin, &p)) return E_INVALIDARG;
    if (AnyNull(mode)) return hr::Pointer;
    LongOut m(mode);
    return WriteOnSuccess(control_->GetMode(p, m.get()), m);
  }
  HResult GetCurrentActualFrameRate(Pin* pin, int64_t* frameDuration) override {
    IPin* p = nullptr;
    if (!PinOf(pin, &p)) return E_INVALIDARG;
    if (AnyNull(frameDuration)) return hr::Pointer;
    OutParam<int64_t, LONGLONG> d(frameDuration);
    return WriteOnSuccess(control_->GetCurrentActualFrameRate(p, d.get()), d);
  }

 private:
  // A null pin stays null; a pin of another realisation has no IPin to pass.
  static bool PinOf(Pin* pin, IPin** out) {
    *out = DShowPinInterface(pin);
    return pin == nullptr || *out != nullptr;
  }

  ComPtr<IAMVideoControl> control_;
};

class DShowKsControl final : public KsControl {
 public:
  explicit DShowKsControl(ComPtr<IKsControl> control) : control_(std::move(control)) {}

  HResult KsProperty(void* property, uint32_t propertyLength, void* data, uint32_t dataLength,
                     uint32_t* bytesReturned) override {
    if (AnyNull(bytesReturned)) return hr::Pointer;
    OutParam<uint32_t, ULONG> returned(bytesReturned);
    return WriteOnSuccess(control_->KsProperty(static_cast<PKSPROPERTY>(property), propertyLength,
                                               data, dataLength, returned.get()),
                          returned);
  }

 private:
  ComPtr<IKsControl> control_;
};

class DShowKsPropertySet final : public KsPropertySet {
 public:
  explicit DShowKsPropertySet(ComPtr<IKsPropertySet> set) : set_(std::move(set)) {}

  HResult QuerySupported(const Guid& set, uint32_t id, uint32_t* support) override {
    GUID g;
    std::memcpy(&g, &set, sizeof g);
    if (AnyNull(support)) return hr::Pointer;
    OutParam<uint32_t, DWORD> s(support);
    return WriteOnSuccess(set_->QuerySupported(g, id, s.get()), s);
  }

 private:
  ComPtr<IKsPropertySet> set_;
};

}  // namespace

IPin* DShowPinInterface(Pin* pin) {
  DShowPin* own = dynamic_cast<DShowPin*>(pin);
  return own != nullptr ? own->get() : nullptr;
}

DShowFilter::DShowFilter(IBaseFilter* filter) : filter_(filter) {}

HResult DShowFilter::QueryVideoControl(std::unique_ptr<VideoControl>* out) {
  return Query<DShowVideoControl, IAMVideoControl>(filter_.Get(), IID_IAMVideoControl, out);
}

HResult DShowFilter::QueryVideoProcAmp(std::unique_ptr<VideoProcAmp>* out) {
  return Query<DShowRangedControl<VideoProcAmp, IAMVideoProcAmp>, IAMVideoProcAmp>(
      filter_.Get(), IID_IAMVideoProcAmp, out);
}

HResult DShowFilter::QueryCameraControl(std::unique_ptr<CameraControl>* out) {
  return Query<DShowRangedControl<CameraControl, IAMCameraControl>, IAMCameraControl>(
      filter_.Get(), IID_IAMCameraControl, out);
}

HResult DShowFilter::QueryKsControl(std::unique_ptr<KsControl>* out) {
  return Query<DShowKsControl, IKsControl>(filter_.Get(), IID_IKsControl, out);
}

HResult DShowFilter::QueryKsPropertySet(std::unique_ptr<KsPropertySet>* out) {
  return Query<DShowKsPropertySet, IKsPropertySet>(filter_.Get(), IID_IKsPropertySet, out);
}

HResult DShowFilter::EnumPins(std::unique_ptr<PinEnumerator>* out) {
  out->reset();
  ComPtr<IEnumPins> pins;
  HRESULT h = filter_->EnumPins(pins.GetAddressOf());
  if (FAILED(h)) return h;
  if (!pins) return E_FAIL;
  HResult wrapped = Wrap<DShowPinEnumerator>(std::move(pins), out);
  return FAILED(wrapped) ? wrapped : h;
}

std::unique_ptr<CaptureFilter> MakeDShowFilter(IBaseFilter* filter) {
  if (filter == nullptr) return nullptr;
  return std::unique_ptr<CaptureFilter>(new (std::nothrow) DShowFilter(filter));
}

}  // namespace lumora
