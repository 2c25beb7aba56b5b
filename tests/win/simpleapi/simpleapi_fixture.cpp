#include "tests/win/simpleapi/simpleapi_fixture.h"

#include <cstdlib>

#include "com/raii.h"
#include "sim/com/rig_server.h"
#include "tests/win/com_support.h"

namespace lumora::test {
namespace {

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ComApartment);

}  // namespace

void SimpleApiTest::SetUp() {
  DWORD cookie = 0;
  ASSERT_HRESULT_SUCCEEDED(sim::InstallRig(&cookie));
  cookies_.push_back(cookie);

  // Lumora.dll is loaded through the import library.
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"Lumora.dll"), "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  for (const CLSID* clsid : {&CLSID_VCapCollection, &CLSID_VCapFilter, &CLSID_DVidCapCtrl,
                             &CLSID_VCapFilterEnum, &CLSID_LumoraCOM}) {
    ComPtr<IClassFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(get(*clsid, IID_IClassFactory, &factory));
    ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(*clsid, factory.Get(), CLSCTX_INPROC_SERVER,
                                                   REGCLS_MULTIPLEUSE, &cookie));
    cookies_.push_back(cookie);
  }
}

void SimpleApiTest::TearDown() {
  // The rig first (its cookie is the first), then the library's classes.
  for (size_t i = 0; i < cookies_.size(); ++i) {
    if (i == 0) {
      sim::RevokeRig(cookies_[i]);
    } else {
      CoRevokeClassObject(cookies_[i]);
    }
  }
  cookies_.clear();
  UsePreset("default");
}

void SimpleApiTest::UsePreset(const char* preset) {
  _putenv_s("LUMORA_SIM_DEVICES", preset);
  sim::ReloadRigDevices();
}

std::vector<std::wstring> SimpleApiTest::CollectionNames(size_t limit) {
  std::vector<std::wstring> names;
  ComPtr<IVCapFilterEnum> enumerator;
  EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IVCapFilterEnum, &enumerator));
  if (!enumerator) return names;
  com::Bstr category;
  EXPECT_HRESULT_SUCCEEDED(enumerator->DeviceCatClsid(CGC_VideoCapture, category.Receive()));
  ComPtr<IDispatch> collection;
  EXPECT_HRESULT_SUCCEEDED(enumerator->EnumerateFilter(category.Get(), &collection));
  ComPtr<IVCapCollection> items;
  ComPtr<IUnknown> newEnum;
  ComPtr<IEnumVARIANT> walker;
  if (!collection || FAILED(collection.As(&items)) || FAILED(items->get__NewEnum(&newEnum)) ||
      FAILED(newEnum.As(&walker))) {
    ADD_FAILURE() << "collection not walkable";
    return names;
  }
  while (names.size() < limit) {
    com::Variant item;
    ULONG fetched = 0;
    if (walker->Next(1, item.Get(), &fetched) != S_OK || fetched != 1) break;
    ComPtr<IVCapFilter> filter;
    EXPECT_HRESULT_SUCCEEDED(item.Get()->pdispVal->QueryInterface(IID_IVCapFilter, &filter));
    com::Bstr name;
    if (filter) filter->get_FName(name.Receive());
    names.push_back(Str(name.Get()));
  }
  return names;
}

ComPtr<IDVidCapCtrl> SimpleApiTest::DirectControl(size_t index) {
  ComPtr<IVCapFilterEnum> enumerator;
  com::Bstr category;
  ComPtr<IDispatch> collection;
  ComPtr<IVCapCollection> items;
  ComPtr<IUnknown> newEnum;
  ComPtr<IEnumVARIANT> walker;
  if (FAILED(CoCreateInstance(CLSID_VCapFilterEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IVCapFilterEnum, &enumerator)) ||
      FAILED(enumerator->DeviceCatClsid(CGC_VideoCapture, category.Receive())) ||
      FAILED(enumerator->EnumerateFilter(category.Get(), &collection)) || !collection ||
      FAILED(collection.As(&items)) || FAILED(items->get__NewEnum(&newEnum)) ||
      FAILED(newEnum.As(&walker))) {
    ADD_FAILURE() << "collection not walkable";
    return nullptr;
  }
  com::Variant item;
  for (size_t i = 0; i <= index; ++i) {
    ULONG fetched = 0;
    if (walker->Next(1, item.Receive(), &fetched) != S_OK || fetched != 1) return nullptr;
  }
  ComPtr<IDVidCapCtrl> control;
  EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_DVidCapCtrl, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IDVidCapCtrl, &control));
  if (!control || FAILED(control->put_CaptureFilter(item.Get()->pdispVal))) return nullptr;
  return control;
}

std::vector<std::string> Entries(char** table, size_t n) {
  std::vector<std::string> out;
  for (size_t i = 0; i < n; ++i) out.push_back(table[i] ? table[i] : "<null>");
  return out;
}

std::wstring Str(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : L"<null>"; }

std::vector<std::wstring> Elements(SAFEARRAY* array) {
  std::vector<std::wstring> out;
  EXPECT_EQ(SafeArrayGetDim(array), 1u);
  VARTYPE type = VT_EMPTY;
  EXPECT_HRESULT_SUCCEEDED(SafeArrayGetVartype(array, &type));
  EXPECT_EQ(type, VT_BSTR);
  LONG lower = -1, upper = -2;
  EXPECT_HRESULT_SUCCEEDED(SafeArrayGetLBound(array, 1, &lower));
  EXPECT_HRESULT_SUCCEEDED(SafeArrayGetUBound(array, 1, &upper));
  EXPECT_EQ(lower, 0);
  for (LONG i = lower; i <= upper; ++i) {
    com::Bstr text;
    EXPECT_HRESULT_SUCCEEDED(SafeArrayGetElement(array, &i, text.Receive()));
    out.push_back(Str(text.Get()));
  }
  return out;
}

std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

}  // namespace lumora::test
