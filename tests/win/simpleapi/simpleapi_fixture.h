// Shared set-up of the simple-API tests: COM on the test thread, the
// simulated device rig installed in-process for CLSID_SystemDeviceEnum, and
// the classes of the linked Lumora.dll served in-process through
// CoRegisterClassObject, so that the camera manager's CoCreateInstance calls
// reach them without registry entries.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumora.h"
#include "lumora_idl.h"

namespace lumora::test {

using Microsoft::WRL::ComPtr;

class SimpleApiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Rebuilds the rig's devices from a preset ("default", "none", "twelve").
  // TearDown returns to "default".
  static void UsePreset(const char* preset);

  // The friendly names of the video-capture devices in the order of the
  // library's own collection (VCapFilterEnum, _NewEnum), at most `limit`:
  // the order the simple API must number the cameras in.
  static std::vector<std::wstring> CollectionNames(size_t limit);

  // A new LumoraCOM of the served class, asked for interface I (iid).
  template <class I>
  static ComPtr<I> NewLumoraCom(REFIID iid) {
    ComPtr<I> object;
    EXPECT_HRESULT_SUCCEEDED(
        CoCreateInstance(CLSID_LumoraCOM, nullptr, CLSCTX_INPROC_SERVER, iid, &object));
    return object;
  }

  // A DVidCapCtrl attached to the i-th filter of the collection order, for
  // comparing the simple API's answers with the control's own.
  static ComPtr<IDVidCapCtrl> DirectControl(size_t index);

 private:
  std::vector<DWORD> cookies_;
};

// The entries of a narrow table as strings ("<null>" for a null slot).
std::vector<std::string> Entries(char** table, size_t n);

// Text of a BSTR with its full length.
std::wstring Str(BSTR text);

// The elements of a one-dimensional VT_BSTR array with lower bound 0 (each
// of those properties checked).
std::vector<std::wstring> Elements(SAFEARRAY* array);

// The ANSI form of a wide string, as the library narrows it.
std::string Ansi(const std::wstring& text);

}  // namespace lumora::test
