#include "automation/dvidcapctrl.h"

#include <olectl.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "com/error_info.h"
#include "com/guard.h"
#include "com/out_param.h"
#include "com/text.h"
#include "com/variant_array.h"
#include "dshow/platform.h"
#include "property/catalogue.h"
#include "property/settings_block.h"

namespace lumora {

using Microsoft::WRL::ComPtr;

namespace {

// A handler query with one output (out-parameter rule: com/out_param.h).
template <class Out, class Query>
HRESULT QueryOne(PropertyHandler* handler, Out* out, Query query) noexcept {
  if (!out) return E_POINTER;
  if (!handler) return E_NOINTERFACE;
  com::OutParam<Out> value(out);
  return com::WriteOnSuccess(query(*handler, value.get()), value);
}

}  // namespace

// Attachment's callbacks: DebugLog texts become events, the default name
// becomes the filter name.
class DVidCapCtrl::AttachmentCallbacks final : public AttachmentEvents {
 public:
  explicit AttachmentCallbacks(DVidCapCtrl& owner) noexcept : owner_(owner) {}
  void DebugLog(const char* text) override { owner_.FireDebugLog(text); }
  void UseDefaultFilterName(const char* text) override {
    // Without memory the name stays null; nothing reads it back.
    owner_.filterName_ = com::BstrFromUtf8(text);
  }

 private:
  DVidCapCtrl& owner_;
};

DVidCapCtrl::DVidCapCtrl(const Platform& platform) noexcept
    : platform_(platform), events_(this, DIID__IDVidCapCtrlEvents) {}

DVidCapCtrl::~DVidCapCtrl() {
  // The handler and the extension units go first (they may still talk to
  // the filter), then the strings, then the filter's interfaces, and the
  // sinks last.
  xu_.reset();
  attachment_.handler.reset();
  deviceVidPid_.Reset();
  filterName_.Reset();
  attachment_.ksPropertySet.reset();
  baseFilter_.Reset();
  filterInfo_.Reset();
  vcapFilter_.Reset();
  events_.ReleaseSinks();
}

IUnknown* DVidCapCtrl::Interface(REFIID riid) {
  if (riid == __uuidof(IDVidCapCtrl) || riid == __uuidof(IDVidCapCtrl2) ||
      riid == __uuidof(IDVidCapCtrl3) || riid == IID_IDispatch) {
    return Self();
  }
  if (riid == IID_IConnectionPointContainer) {
    return static_cast<IConnectionPointContainer*>(this);
  }
  return nullptr;
}

// A settings block runs on the object's own members, through its interface.
class DVidCapCtrl::BlockAccess final : public SettingsAccess {
 public:
  explicit BlockAccess(DVidCapCtrl& owner) noexcept : owner_(owner) {}
  HResult QuerySupport(int32_t property, int32_t* support) override {
    ::VidCapPropertySupport value = ::VCS_no;
    HRESULT hr = owner_.Self()->Has(static_cast<::VidCapProperty>(property), &value);
    *support = static_cast<int32_t>(value);
    return hr;
  }
  HResult GetValue(int32_t property, int32_t* value) override {
    LONG read = 0;
    HRESULT hr = owner_.Self()->get_Prop(static_cast<::VidCapProperty>(property), &read);
    *value = static_cast<int32_t>(read);
    return hr;
  }
  HResult SetValue(int32_t property, int32_t value) override {
    return owner_.Self()->put_Prop(static_cast<::VidCapProperty>(property), value);
  }
  void Progress(float percent) override { owner_.FireProgress(percent); }

 private:
  DVidCapCtrl& owner_;
};

// --- the three entries ---------------------------------------------------------

IFACEMETHODIMP DVidCapCtrl::put_BaseFilter(IUnknown* filter) {
  if (baseFilter_) return E_ABORT;
  if (!filter) return E_POINTER;
  ComPtr<IUnknown> base;
  std::unique_ptr<CaptureFilter> capture;
  HRESULT hr = platform_.openFilter(filter, &base, &capture);
  if (FAILED(hr)) return hr;
  return com::Guard([&] { return Attach(std::move(base), std::move(capture)); });
}

HRESULT DVidCapCtrl::Attach(ComPtr<IUnknown> filter, std::unique_ptr<CaptureFilter> capture) {
  // Everything that can fail for want of memory is prepared before the
  // filter is taken, so such a failure leaves the object unattached.
  if (!capture) return E_OUTOFMEMORY;
  std::string vidPid;
  if (deviceVidPid_.Get()) {
    vidPid = com::NarrowToUtf8(std::wstring_view(deviceVidPid_.Get(), deviceVidPid_.Length()));
  }
  std::unique_ptr<RegistryReader> registry = platform_.registry();

  baseFilter_ = std::move(filter);

  AttachmentInput input;
  input.filter = capture.get();
  input.deviceVidPid = deviceVidPid_.Get() ? &vidPid : nullptr;
  input.filterNamePresent = filterName_.Get() != nullptr;
  input.registry = registry.get();
  input.clock = &platform_.clock();
  AttachmentCallbacks callbacks(*this);
  return AttachFilter(input, attachment_, callbacks);
}

IFACEMETHODIMP DVidCapCtrl::put_CaptureFilter(IDispatch* descriptor) {
  if (baseFilter_) return E_ABORT;
  if (!descriptor) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    vcapFilter_.Reset();
    if (FAILED(descriptor->QueryInterface(__uuidof(IVCapFilter),
                                          reinterpret_cast<void**>(vcapFilter_.GetAddressOf()))) ||
        !vcapFilter_) {
      vcapFilter_.Reset();
      return E_INVALIDARG;
    }
    ComPtr<IUnknown> moniker;
    if (FAILED(vcapFilter_->get_Moniker(moniker.GetAddressOf())) || !moniker) {
      vcapFilter_.Reset();
      return E_NOINTERFACE;
    }
    // Name and device string stay even when a later step fails.
    com::Bstr name;
    if (FAILED(vcapFilter_->get_FName(name.Receive()))) name.Reset();
    com::Bstr vidPid;
    if (FAILED(vcapFilter_->get_DeviceVidPid(vidPid.Receive()))) vidPid.Reset();
    filterName_ = std::move(name);
    deviceVidPid_ = std::move(vidPid);

    ComPtr<IUnknown> bound;
    HRESULT hr = platform_.bindDevice(moniker.Get(), &bound);
    if (FAILED(hr)) {
      vcapFilter_.Reset();
      return hr;
    }
    hr = Self()->put_BaseFilter(bound.Get());
    if (FAILED(hr)) vcapFilter_.Reset();
    return hr;
  });
}

IFACEMETHODIMP DVidCapCtrl::put_FilterInfo(IDispatch* info) {
  if (baseFilter_) return E_ABORT;
  if (!info) return E_POINTER;
  filterInfo_.Reset();
  ComPtr<IUnknown> filter;
  HRESULT hr = platform_.filterOfInfo(info, &filterInfo_, &filter);
  if (FAILED(hr)) {
    filterInfo_.Reset();
    return hr;
  }
  hr = Self()->put_BaseFilter(filter.Get());
  if (FAILED(hr)) filterInfo_.Reset();
  return hr;
}

// --- forwarding to the handler ---------------------------------------------------

IFACEMETHODIMP DVidCapCtrl::Has(::VidCapProperty property, ::VidCapPropertySupport* support) {
  return QueryOne(attachment_.handler.get(), support,
                  [&](PropertyHandler& h, int32_t* out) { return h.QuerySupport(property, out); });
}

IFACEMETHODIMP DVidCapCtrl::GetRange(::VidCapProperty property, LONG* min, LONG* max,
                                     LONG* steppingDelta, LONG* defaultValue, LONG* capsFlags) {
  if (com::AnyNull(min, max, steppingDelta, defaultValue, capsFlags)) return E_POINTER;
  PropertyHandler* handler = attachment_.handler.get();
  if (!handler) return E_NOINTERFACE;
  com::OutParam<LONG> outMin(min), outMax(max), outStep(steppingDelta), outDefault(defaultValue),
      outCaps(capsFlags);
  return com::WriteOnSuccess(handler->QueryRange(property, outMin.get(), outMax.get(),
                                                 outStep.get(), outDefault.get(), outCaps.get()),
                             outMin, outMax, outStep, outDefault, outCaps);
}

IFACEMETHODIMP DVidCapCtrl::get_Prop(::VidCapProperty property, LONG* value) {
  return QueryOne(attachment_.handler.get(), value,
                  [&](PropertyHandler& h, int32_t* out) { return h.GetValue(property, out); });
}

IFACEMETHODIMP DVidCapCtrl::put_Prop(::VidCapProperty property, LONG value) {
  PropertyHandler* handler = attachment_.handler.get();
  if (!handler) return E_NOINTERFACE;
  return handler->SetValue(property, value);
}

IFACEMETHODIMP DVidCapCtrl::ModeSupport(::VidCapProperty property, LONG* modes) {
  return QueryOne(attachment_.handler.get(), modes,
                  [&](PropertyHandler& h, int32_t* out) { return h.QueryModes(property, out); });
}

IFACEMETHODIMP DVidCapCtrl::get_Mode(::VidCapProperty property, ::VidCapPropertyMode* mode) {
  return QueryOne(attachment_.handler.get(), mode,
                  [&](PropertyHandler& h, int32_t* out) { return h.GetMode(property, out); });
}

IFACEMETHODIMP DVidCapCtrl::put_Mode(::VidCapProperty property, ::VidCapPropertyMode mode) {
  PropertyHandler* handler = attachment_.handler.get();
  if (!handler) return E_NOINTERFACE;
  return handler->SetMode(property, mode);
}

IFACEMETHODIMP DVidCapCtrl::get_DefaultValue(::VidCapProperty property, LONG* value) {
  return QueryOne(attachment_.handler.get(), value,
                  [&](PropertyHandler& h, int32_t* out) { return h.QueryDefault(property, out); });
}

IFACEMETHODIMP DVidCapCtrl::get_Chipset(::KnownChipsetCat* chipset) {
  if (!chipset) return E_POINTER;
  if (!baseFilter_) return E_NOINTERFACE;
  *chipset = static_cast<::KnownChipsetCat>(PublicChipset(attachment_.chipset));
  return S_OK;
}

IFACEMETHODIMP DVidCapCtrl::GetLagtime(LONG property, LONG* minLag, LONG* maxLag, LONG* meanLag,
                                       LONG* lagCount) {
  if (com::AnyNull(minLag, maxLag, meanLag, lagCount)) return E_POINTER;
  if (const PropertyHandler* handler = attachment_.handler.get()) {
    com::OutParam<LONG> outMin(minLag), outMax(maxLag), outMean(meanLag), outCount(lagCount);
    // An id without a lag record writes nothing.
    if (handler->GetLag(property, outMin.get(), outMax.get(), outMean.get(), outCount.get())) {
      com::WriteOnSuccess(S_OK, outMin, outMax, outMean, outCount);
    }
  }
  return S_OK;
}

// --- the same data as arrays for script clients -------------------------------------

IFACEMETHODIMP DVidCapCtrl::get_RangeList(::VidCapProperty property, VARIANT* list) {
  if (!list) return E_POINTER;
  LONG range[4] = {};  // minimum, maximum, stepping delta, default
  LONG reported = 0, caps = 0;
  HRESULT hr = Self()->GetRange(property, &range[0], &range[1], &range[2], &reported, &caps);
  if (FAILED(hr)) return hr;
  // The default only where the property reports one.
  const ULONG count = SUCCEEDED(Self()->get_DefaultValue(property, &range[3])) ? 4 : 3;
  return com::LongList(range, count, list);
}

// No handler, or an id without a lag record: GetLagtime answers S_OK and
// writes nothing, and this list is empty.
IFACEMETHODIMP DVidCapCtrl::get_LagtimeList(LONG property, VARIANT* list) {
  if (!list) return E_POINTER;
  const PropertyHandler* handler = attachment_.handler.get();
  int32_t lag[4] = {};  // minimum, maximum, mean, count
  if (!handler || !handler->GetLag(property, &lag[0], &lag[1], &lag[2], &lag[3])) {
    return com::LongList(nullptr, 0, list);
  }
  const LONG values[4] = {lag[0], lag[1], lag[2], lag[3]};
  return com::LongList(values, 4, list);
}

// --- settings blocks -------------------------------------------------------------

IFACEMETHODIMP DVidCapCtrl::GetSetting(SAFEARRAY** setting) {
  return RunBlock(setting, Block::Read);
}

IFACEMETHODIMP DVidCapCtrl::SetSetting(SAFEARRAY** setting) {
  return RunBlock(setting, Block::Write);
}

HRESULT DVidCapCtrl::RunBlock(SAFEARRAY** setting, Block block) noexcept {
  if (!setting || !*setting) return E_POINTER;
  SAFEARRAY* array = *setting;
  if (SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != sizeof(SHORT)) {
    return E_INVALIDARG;
  }
  // The lower bound does not matter: element k stands for property k.
  const ULONG count = array->rgsabound[0].cElements;
  com::SafeArrayLockGuard lock(array);
  if (FAILED(lock.LockResult())) return lock.LockResult();
  // A descriptor may promise elements it has no storage for.
  if (count > 0 && array->pvData == nullptr) return E_INVALIDARG;
  auto* elements = static_cast<int16_t*>(array->pvData);
  BlockAccess access(*this);
  if (block == Block::Read) {
    ReadSettingsBlock(access, elements, count);
  } else {
    WriteSettingsBlock(access, elements, count);
  }
  return lock.Unlock();
}

// --- extension units --------------------------------------------------------------

XuSession* DVidCapCtrl::Xu(HRESULT* hr) noexcept {
  *hr = S_OK;
  if (!baseFilter_) {
    *hr = com::ReportError(E_NOINTERFACE, "no camera is attached");
    return nullptr;
  }
  if (!xu_) {
    xu_.reset(new (std::nothrow)
                  XuSession(platform_, baseFilter_.Get(),
                            [this](const std::string& line) { FireDebugLog(line.c_str()); }));
    if (!xu_) *hr = E_OUTOFMEMORY;
  }
  return xu_.get();
}

// Each member checks its out parameter, then hands the call to the session.
#define LUMORA_XU_MEMBER(call)  \
  HRESULT hr = S_OK;            \
  XuSession* session = Xu(&hr); \
  return session ? session->call : hr

IFACEMETHODIMP DVidCapCtrl::get_XuUnits(VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(Units(pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuUnnamedNodes(VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(UnnamedNodes(pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuUnitName(BSTR unit, BSTR* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(DefinedName(unit, 0, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuControlName(BSTR unit, LONG selector, BSTR* pVal) {
  if (!pVal) return E_POINTER;
  if (selector < 1 || selector > 31) {
    return com::ReportError(E_INVALIDARG, "selector " + std::to_string(selector) +
                                              " is not a control selector (1 to 31)");
  }
  LUMORA_XU_MEMBER(DefinedName(unit, selector, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuControls(BSTR unit, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(Controls(unit, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuLength(BSTR unit, LONG selector, LONG* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(Length(unit, selector, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuAccess(BSTR unit, LONG selector, LONG* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(Access(unit, selector, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuMinimum(BSTR unit, LONG selector, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(FactOf(unit, selector, XuSession::Fact::kMinimum, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuMaximum(BSTR unit, LONG selector, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(FactOf(unit, selector, XuSession::Fact::kMaximum, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuResolution(BSTR unit, LONG selector, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(FactOf(unit, selector, XuSession::Fact::kResolution, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuDefault(BSTR unit, LONG selector, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(FactOf(unit, selector, XuSession::Fact::kDefault, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuValue(BSTR unit, LONG selector, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(GetValue(unit, selector, pVal));
}
IFACEMETHODIMP DVidCapCtrl::put_XuValue(BSTR unit, LONG selector, VARIANT newVal) {
  LUMORA_XU_MEMBER(PutValue(unit, selector, newVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuNames(VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(Names(pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuNamedInfo(BSTR name, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(NamedInfo(name, pVal));
}
IFACEMETHODIMP DVidCapCtrl::get_XuNamedValue(BSTR name, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  LUMORA_XU_MEMBER(GetNamed(name, pVal));
}
IFACEMETHODIMP DVidCapCtrl::put_XuNamedValue(BSTR name, VARIANT newVal) {
  LUMORA_XU_MEMBER(PutNamed(name, newVal));
}

#undef LUMORA_XU_MEMBER

// --- events ----------------------------------------------------------------------

void DVidCapCtrl::FireDebugLog(const char* text) noexcept {
  // The text becomes an automation string only when someone listens; it is
  // converted straight into the string, the one allocation of the event.
  if (!events_.Connected()) return;
  com::Bstr converted = com::BstrFromUtf8(text);
  // Without memory for the text the event is dropped; attachment goes on.
  if (!converted.Get()) return;
  com::Variant argument;
  argument.Get()->vt = VT_BSTR;
  argument.Get()->bstrVal = converted.Detach();
  events_.Fire(kDispidDebugLog, *argument.Get());
}

void DVidCapCtrl::FireProgress(float percent) noexcept {
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_R4;
  argument.fltVal = percent;
  events_.Fire(kDispidProgress, argument);
}

// --- connection points -----------------------------------------------------------

IFACEMETHODIMP DVidCapCtrl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  return com::CreateConnectionPointEnumerator(&events_, points);
}

IFACEMETHODIMP DVidCapCtrl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (riid != events_.EventInterface()) return CONNECT_E_NOCONNECTION;
  *point = &events_;
  events_.AddRef();
  return S_OK;
}

HRESULT CreateDVidCapCtrl(const Platform& platform, IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateInstance<DVidCapCtrl>(outer, riid, ppv, platform);
}

}  // namespace lumora
