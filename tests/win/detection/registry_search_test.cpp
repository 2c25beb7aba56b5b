// The Windows registry reader and the media-interface search under Wine,
// probing the COM simulated filter through the DirectShow adapter. The test
// writes its own MediaInterfaces subkeys into the prefix's HKLM and removes
// them again.
#include <windows.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

#include "com/raii.h"
#include "dshow/dshow_filter.h"
#include "dshow/registry_reader_win.h"
#include "property/detection.h"
#include "property/philips_handlers.h"
#include "sim/com/sim_filter.h"
#include "sim/simulated_camera.h"

namespace lumora {
namespace {

const wchar_t kBranchW[] = L"SYSTEM\\CurrentControlSet\\Control\\MediaInterfaces";
// Wine keeps subkeys sorted by name, so the unusable entries come first.
const wchar_t kBadTextW[] = L"LumoraDetTest_A_BadText";
const wchar_t kBadShortW[] = L"LumoraDetTest_B_BadShort";
const wchar_t kGoodW[] = L"LumoraDetTest_C_Good";
const wchar_t kWideNameW[] = L"LumoraDetTest_D_Kamera_\u00fc\u20ac";
// A name no UTF-8 text can spell: it holds an unpaired surrogate, which the
// registry keeps as given.
const wchar_t kLoneSurrogateW[] = {L'L', L'u', L'm', L'o', L'r', L'a', L'D',   L'e', L't', L'T',
                                   L'e', L's', L't', L'_', L'E', L'_', 0xD800, L'x', 0};

const Guid kSaa8112 = Guid::Parse("35DBC300-F98F-11D2-AFD0-00104B13EAF2");
const Guid kDecoy = Guid::Parse("0123abcd-4567-89ef-fedc-ba9876543210");
const Guid kLoneSet = Guid::Parse("5e7f0a11-0b5e-4c1d-9a3e-2b4d6f8a0c1e");

std::u16string Units(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// Creates branch\name and sets its "IID" value.
void WriteInterface(const wchar_t* name, DWORD type, const void* bytes, DWORD size) {
  std::wstring path = std::wstring(kBranchW) + L"\\" + name;
  com::RegKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, key.Receive(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.Get(), L"IID", 0, type, static_cast<const BYTE*>(bytes), size),
            ERROR_SUCCESS);
}

class RegistrySearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    com::RegKey existing;
    branchExisted_ = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBranchW, 0, KEY_READ, existing.Receive()) ==
                     ERROR_SUCCESS;
    // A REG_SZ whose 16 bytes are a set the filter supports, and a
    // REG_BINARY one byte short of a GUID.
    WriteInterface(kBadTextW, REG_SZ, &kDecoy, sizeof kDecoy);
    WriteInterface(kBadShortW, REG_BINARY, &kDecoy, sizeof kDecoy - 1);
    WriteInterface(kGoodW, REG_BINARY, &kSaa8112, sizeof kSaa8112);
    WriteInterface(kWideNameW, REG_BINARY, &kDecoy, sizeof kDecoy);

    cam = sim::SimulatedCamera::Create();
    cam->AddPrivateSet(kSaa8112, 28, 296).properties[kMediaInterfaceProbeId].access = 3;
    cam->AddPrivateSet(kDecoy, 28, 296).properties[kMediaInterfaceProbeId].access = 3;
    ASSERT_EQ(sim::CreateSimFilter(cam, com.ReleaseAndGetAddressOf()), S_OK);
    filter = MakeDShowFilter(com.Get());
    ASSERT_TRUE(filter);
    reader = MakeWindowsRegistryReader();
    ASSERT_TRUE(reader);
  }

  void TearDown() override {
    for (const wchar_t* name : {kBadTextW, kBadShortW, kGoodW, kWideNameW}) {
      std::wstring path = std::wstring(kBranchW) + L"\\" + name;
      EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str()), ERROR_SUCCESS);
    }
    if (!branchExisted_) RegDeleteKeyW(HKEY_LOCAL_MACHINE, kBranchW);
  }

  std::shared_ptr<sim::SimulatedCamera> cam;
  Microsoft::WRL::ComPtr<IBaseFilter> com;
  std::unique_ptr<CaptureFilter> filter;  // the adapter over `com`
  std::unique_ptr<RegistryReader> reader;

 private:
  bool branchExisted_ = false;
};

TEST_F(RegistrySearchTest, ReaderEnumeratesAndReadsWhatWasWritten) {
  std::unique_ptr<RegistryKey> branch;
  ASSERT_EQ(reader->OpenLocalMachine(kMediaInterfacesPath, &branch), kRegSuccess);
  std::vector<std::u16string> names;
  RegistryName name;
  RegistryName wideName;
  uint32_t index = 0;
  RegStatus status;
  while ((status = branch->EnumSubkey(index++, &name)) == kRegSuccess) {
    names.emplace_back(name.View());
    if (name.View() == Units(kWideNameW)) wideName = name;
  }
  EXPECT_EQ(status, kRegNoMoreItems);
  auto has = [&](const std::u16string& n) {
    for (const auto& s : names) {
      if (s == n) return true;
    }
    return false;
  };
  EXPECT_TRUE(has(u"LumoraDetTest_C_Good"));
  ASSERT_TRUE(has(Units(kWideNameW)));  // the UTF-16 name as the registry keeps it

  // Opening relative to the branch by the enumerated name, and reading the
  // binary value.
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(branch->OpenSubkey(wideName, &key), kRegSuccess);
  uint8_t buffer[260] = {};
  uint32_t type = 0, size = sizeof buffer;
  ASSERT_EQ(key->QueryValue("IID", &type, buffer, &size), kRegSuccess);
  EXPECT_EQ(type, kRegBinary);
  ASSERT_EQ(size, 16u);
  EXPECT_EQ(std::memcmp(buffer, &kDecoy, 16), 0);

  // A buffer too small: the size needed comes back.
  uint8_t small[4];
  size = sizeof small;
  EXPECT_EQ(key->QueryValue("IID", &type, small, &size), kRegMoreData);
  EXPECT_EQ(size, 16u);
  size = sizeof buffer;
  EXPECT_EQ(key->QueryValue("Missing", &type, buffer, &size), kRegFileNotFound);

  EXPECT_EQ(reader->OpenLocalMachine(std::string(kMediaInterfacesPath) + "\\NoSuchKey", &key),
            kRegFileNotFound);
  EXPECT_FALSE(key);
  RegistryName missing;
  for (char16_t c : std::u16string(u"NoSuchKey")) missing.units[missing.length++] = c;
  EXPECT_EQ(branch->OpenSubkey(missing, &key), kRegFileNotFound);
  EXPECT_FALSE(key);
}

// A subkey is reopened by the name enumeration gave, not by a text that
// went through UTF-8 and back: a name with an unpaired surrogate has no
// UTF-8 spelling, yet its entry is found.
TEST_F(RegistrySearchTest, SearchReopensSubkeysByTheirOwnName) {
  // Only the entry under the odd name names a set the filter supports.
  cam->privateSets[kSaa8112].properties[kMediaInterfaceProbeId].access = 1;
  cam->privateSets[kDecoy].properties[kMediaInterfaceProbeId].access = 1;
  cam->AddPrivateSet(kLoneSet, 28, 296).properties[kMediaInterfaceProbeId].access = 3;
  std::unique_ptr<KsPropertySet> ks;
  ASSERT_EQ(filter->QueryKsPropertySet(&ks), hr::Ok);
  WriteInterface(kLoneSurrogateW, REG_BINARY, &kLoneSet, sizeof kLoneSet);
  MediaInterfaceSearchResult found = SearchMediaInterfaces(*reader, *ks);
  std::wstring path = std::wstring(kBranchW) + L"\\" + kLoneSurrogateW;
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str()), ERROR_SUCCESS);
  EXPECT_TRUE(found.found);
  EXPECT_EQ(found.set, kLoneSet) << found.set.ToString();
}

TEST_F(RegistrySearchTest, SearchSkipsBadValuesAndFindsTheSupportedSet) {
  std::unique_ptr<KsPropertySet> ks;
  ASSERT_EQ(filter->QueryKsPropertySet(&ks), hr::Ok);
  MediaInterfaceSearchResult found = SearchMediaInterfaces(*reader, *ks);
  EXPECT_TRUE(found.found);
  EXPECT_EQ(found.set, kSaa8112) << found.set.ToString();
  // Neither unusable entry reached the filter.
  auto probes = cam->Requests(sim::Op::QuerySupported);
  ASSERT_FALSE(probes.empty());
  EXPECT_EQ(probes.back().set, kSaa8112);
  EXPECT_EQ(probes.back().id, 9u);
  for (const auto& r : probes) EXPECT_NE(r.set, kDecoy);
}

class Recorder : public AttachmentEvents {
 public:
  void DebugLog(const char* text) override { logs.emplace_back(text); }
  void UseDefaultFilterName(const char*) override {}
  std::vector<std::string> logs;
};

TEST_F(RegistrySearchTest, AttachmentSelectsTheFamilyOfTheListedSet) {
  AttachmentInput in;
  in.filter = filter.get();
  in.filterNamePresent = true;
  in.registry = reader.get();
  AttachmentState state;
  Recorder events;
  EXPECT_EQ(AttachFilter(in, state, events), hr::Ok);
  EXPECT_EQ(state.chipset, 1);
  EXPECT_EQ(state.privateSet, kSaa8112);
  ASSERT_TRUE(state.handler);
  EXPECT_TRUE(typeid(*state.handler) == typeid(Saa8112PropertyHandler));
  EXPECT_EQ(state.handler->PropertySetSlot(kPrivateSetSlot), kSaa8112);
  EXPECT_EQ(events.logs, (std::vector<std::string>{
                             "VID-PID Search failed",
                             "Private Prop GUID found: {35dbc300-f98f-11d2-afd0-00104b13eaf2}"}));
}

}  // namespace
}  // namespace lumora
