#include "tests/win/ctrl/ctrl_fixture.h"

#include "sim/com/sim_filter.h"

namespace ctrltest {
namespace {

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new lumora::test::ComApartment([] {
      ASSERT_NE(LumoraModule(), nullptr) << "Lumora.dll not loadable: " << GetLastError();
    }));

BSTR CopyOrNull(const wchar_t* text) { return text ? SysAllocString(text) : nullptr; }

}  // namespace

HMODULE LumoraModule() {
  static HMODULE module = LoadLibraryW(L"Lumora.dll");
  return module;
}

ComPtr<IDVidCapCtrl> NewControl() {
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(LumoraModule(), "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  ComPtr<IDVidCapCtrl> control;
  if (get == nullptr || FAILED(get(CLSID_DVidCapCtrl, IID_IClassFactory, &factory)) ||
      FAILED(factory->CreateInstance(nullptr, IID_IDVidCapCtrl, &control))) {
    ADD_FAILURE() << "no DVidCapCtrl from Lumora.dll";
  }
  return control;
}

// --- RecordingSink -------------------------------------------------------------

std::vector<std::wstring> RecordingSink::Texts() const {
  std::vector<std::wstring> texts;
  for (const Event& e : events) {
    if (e.id == 1) texts.push_back(e.text);
  }
  return texts;
}

std::vector<float> RecordingSink::Percents() const {
  std::vector<float> percents;
  for (const Event& e : events) {
    if (e.id == 2) percents.push_back(e.percent);
  }
  return percents;
}

IFACEMETHODIMP RecordingSink::QueryInterface(REFIID riid, void** ppv) {
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch ||
      (answersEvents_ && riid == DIID__IDVidCapCtrlEvents)) {
    return Hand(ppv);
  }
  return E_NOINTERFACE;
}

IFACEMETHODIMP RecordingSink::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
  Event e;
  e.id = id;
  bool shape = riid == IID_NULL && lcid == LOCALE_USER_DEFAULT && flags == DISPATCH_METHOD &&
               params != nullptr && params->cArgs == 1 && params->cNamedArgs == 0 &&
               params->rgvarg != nullptr;
  if (shape && id == 1 && params->rgvarg[0].vt == VT_BSTR) {
    BSTR text = params->rgvarg[0].bstrVal;
    e.text = text ? std::wstring(text, SysStringLen(text)) : L"";
    e.wellFormed = true;
  } else if (shape && id == 2 && params->rgvarg[0].vt == VT_R4) {
    e.percent = params->rgvarg[0].fltVal;
    e.wellFormed = true;
  }
  if (result) VariantInit(result);
  events.push_back(e);
  if (order) order->push_back(name);
  if (onEvent) onEvent(e);
  return S_OK;
}

ComPtr<IConnectionPoint> EventsPoint(IDVidCapCtrl* control) {
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  EXPECT_HRESULT_SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, &container));
  if (container) {
    EXPECT_HRESULT_SUCCEEDED(container->FindConnectionPoint(DIID__IDVidCapCtrlEvents, &point));
  }
  return point;
}

DWORD Advise(IDVidCapCtrl* control, IUnknown* sink) {
  ComPtr<IConnectionPoint> point = EventsPoint(control);
  DWORD cookie = 0;
  if (point) {
    EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
  }
  return cookie;
}

// --- fakes -------------------------------------------------------------------------

IFACEMETHODIMP FakeMoniker::QueryInterface(REFIID riid, void** ppv) {
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IMoniker || riid == IID_IPersist ||
      riid == IID_IPersistStream) {
    return Hand(ppv);
  }
  return E_NOINTERFACE;
}

IFACEMETHODIMP FakeMoniker::BindToObject(IBindCtx* ctx, IMoniker* left, REFIID riid, void** ppv) {
  ++binds;
  if (ctx != nullptr || left != nullptr || riid != IID_IUnknown) boundAsSpecified = false;
  *ppv = nullptr;
  if (FAILED(bindResult)) return bindResult;
  if (!target) return E_UNEXPECTED;
  return target->QueryInterface(riid, ppv);
}

IFACEMETHODIMP PlainObject::QueryInterface(REFIID riid, void** ppv) {
  *ppv = nullptr;
  if (riid == IID_IUnknown) return Hand(ppv);
  return E_NOINTERFACE;
}

IFACEMETHODIMP FakeDescriptor::QueryInterface(REFIID riid, void** ppv) {
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IVCapFilter) {
    return Hand(ppv);
  }
  return E_NOINTERFACE;
}

IFACEMETHODIMP FakeDescriptor::get_FName(BSTR* v) {
  *v = CopyOrNull(name);
  return S_OK;
}

IFACEMETHODIMP FakeDescriptor::get_Moniker(IUnknown** v) {
  *v = nullptr;
  if (FAILED(monikerResult)) return monikerResult;
  if (moniker) {
    *v = moniker.Get();
    moniker->AddRef();
  }
  return S_OK;
}

IFACEMETHODIMP FakeDescriptor::get_DeviceVidPid(BSTR* v) {
  *v = CopyOrNull(vidPid);
  return S_OK;
}

IFACEMETHODIMP FakeFilterInfo::QueryInterface(REFIID riid, void** ppv) {
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IFilterInfo) {
    return Hand(ppv);
  }
  return E_NOINTERFACE;
}

IFACEMETHODIMP FakeFilterInfo::get_Filter(IUnknown** v) {
  *v = nullptr;
  if (FAILED(filterResult)) return filterResult;
  if (filter) {
    *v = filter.Get();
    filter->AddRef();
  }
  return S_OK;
}

ComPtr<IBaseFilter> SimFilter(std::shared_ptr<sim::SimulatedCamera> camera) {
  ComPtr<IBaseFilter> filter;
  EXPECT_HRESULT_SUCCEEDED(sim::CreateSimFilter(std::move(camera), &filter));
  return filter;
}

ComPtr<FakeDescriptor> DescriptorOf(std::shared_ptr<sim::SimulatedCamera> camera,
                                    const wchar_t* vidPid) {
  auto moniker = Make<FakeMoniker>();
  ComPtr<IBaseFilter> filter = SimFilter(std::move(camera));
  filter.As(&moniker->target);
  auto descriptor = Make<FakeDescriptor>();
  descriptor->moniker = moniker;
  descriptor->vidPid = vidPid;
  return descriptor;
}

const wchar_t kNullGuidMessage[] =
    L"Private Prop GUID found: {00000000-0000-0000-0000-000000000000}";

std::wstring GuidMessage(const wchar_t* lowerCaseSet) {
  return std::wstring(L"Private Prop GUID found: {") + lowerCaseSet + L"}";
}

KnownChipsetCat ChipsetOf(IDVidCapCtrl* control, HRESULT* hr) {
  KnownChipsetCat chipset = static_cast<KnownChipsetCat>(-99);
  *hr = control->get_Chipset(&chipset);
  return chipset;
}

ShortArray::ShortArray(ULONG count, LONG lower, SHORT fill) {
  SAFEARRAYBOUND bound = {count, lower};
  array_ = SafeArrayCreate(VT_I2, 1, &bound);
  for (ULONG k = 0; k < count; ++k) Set(k, fill);
}

ShortArray::~ShortArray() {
  if (array_) SafeArrayDestroy(array_);
}

}  // namespace ctrltest
