#include "tests/win/enumeration/com_fixture.h"

namespace lumora::test {
namespace {

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ComApartment([] {
      ASSERT_NE(LumoraModule(), nullptr) << "Lumora.dll not loadable: " << GetLastError();
    }));

}  // namespace

HMODULE LumoraModule() {
  static HMODULE module = LoadLibraryW(L"Lumora.dll");
  return module;
}

void EnumerationTest::SetUp() {
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = LumoraExport<GetClassObject>("DllGetClassObject");
  ASSERT_NE(get, nullptr);
  for (const CLSID* clsid : {&CLSID_VCapCollection, &CLSID_VCapFilter, &CLSID_VCapFilterEnum}) {
    ComPtr<IClassFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(get(*clsid, IID_IClassFactory, &factory));
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(CoRegisterClassObject(
        *clsid, Served(*clsid, factory).Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    cookies_.push_back(cookie);
  }
}

void EnumerationTest::TearDown() {
  for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
  cookies_.clear();
}

std::wstring Str(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : L"<null>"; }

LONG IntOf(const VARIANT& v) { return v.vt == VT_I4 ? v.lVal : -999; }

}  // namespace lumora::test
