// IDVidCapCtrl3 over the rig's cameras with extension units: what the
// library sends to the driver (the rig's log), what it hands back, and how
// it refuses and reports. The contract is the interface's and the in-box
// UVC driver's, read from the log with the platform's KSP_NODE offsets.
#include <cstring>
#include <string>
#include <vector>

#include "base/types.h"
#include "com/raii.h"
#include "sim/rig_devices.h"
#include "tests/win/ctrl/ctrl_fixture.h"

namespace ctrltest {
namespace {

using lumora::Guid;
using lumora::com::Bstr;
using lumora::com::Variant;

const wchar_t kLed[] = L"63610682-5070-49ab-b8cc-b3855e8d221f";
const wchar_t kFov[] = L"{49E40215-F434-47FE-B158-0E885023E51B}";
const wchar_t kUnknown[] = L"a7c3e1f0-5b2d-4e8a-9f61-3d0c2b4a5e97";
constexpr uint32_t kTopology = 0x10000000, kGet = 1, kSet = 2;

uint32_t NodeOf(const sim::Request& r) { return static_cast<uint32_t>(r.PropertyLong(24)); }
uint32_t FlagsOf(const sim::Request& r) { return static_cast<uint32_t>(r.PropertyLong(20)); }

std::vector<uint8_t> Bytes(const VARIANT& v) {
  std::vector<uint8_t> out;
  if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray) return out;
  const auto* p = static_cast<const uint8_t*>(v.parray->pvData);
  out.assign(p, p + v.parray->rgsabound[0].cElements);
  return out;
}

Variant ByteArray(std::vector<uint8_t> bytes) {
  Variant v;
  v.Get()->vt = VT_ARRAY | VT_UI1;
  v.Get()->parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  std::memcpy(v.Get()->parray->pvData, bytes.data(), bytes.size());
  return v;
}

// The text of the thread's error object.
std::string ErrorText() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK || !info) return "";
  Bstr text;
  info->GetDescription(text.Receive());
  std::wstring wide = text.Get() ? text.Get() : L"";
  return std::string(wide.begin(), wide.end());
}

class XuControlTest : public ::testing::Test {
 protected:
  void Attach(const char* model, const char* faults = "") {
    ASSERT_TRUE(sim::MakeRigDevices("xu", &devices));
    size_t place = 0;
    for (size_t i = 0; i < devices.size(); ++i) {
      if (devices[i].xuModel == model) place = i;
    }
    cam = devices[place].camera;
    ASSERT_TRUE(sim::ApplyRigFaults(faults, devices));
    ComPtr<IDVidCapCtrl> control = NewControl();
    ASSERT_TRUE(control);
    ASSERT_EQ(control->put_BaseFilter(SimFilter(cam).Get()), S_OK);
    ASSERT_EQ(control.As(&xu), S_OK);
    cam->ClearLog();
  }
  // The requests the driver got since the log was cleared that wrote.
  size_t Writes() const {
    size_t n = 0;
    for (const sim::Request& r : cam->Requests(sim::Op::KsProperty)) {
      if ((FlagsOf(r) & ~kTopology) == kSet) ++n;
    }
    return n;
  }
  HRESULT Read(const wchar_t* unit, LONG selector, std::vector<uint8_t>* value) {
    Variant v;
    HRESULT hr = xu->get_XuValue(Bstr(unit).Get(), selector, v.Get());
    *value = Bytes(*v.Get());
    return hr;
  }

  std::vector<sim::RigDevice> devices;
  std::shared_ptr<sim::SimulatedCamera> cam;
  ComPtr<IDVidCapCtrl3> xu;
};

TEST_F(XuControlTest, UnitsAndFactsAsTheDriverReportsThem) {
  Attach("logitech");
  Variant units;
  ASSERT_EQ(xu->get_XuUnits(units.Get()), S_OK);
  ASSERT_EQ(units.Get()->vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(units.Get()->parray->rgsabound[0].cElements, 3u);
  LONG length = 0, access = 0;
  EXPECT_EQ(xu->get_XuLength(Bstr(kLed).Get(), 1, &length), S_OK);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(xu->get_XuAccess(Bstr(kLed).Get(), 1, &access), S_OK);
  EXPECT_EQ(access, 3);
  Variant maximum, minimum;
  EXPECT_EQ(xu->get_XuMaximum(Bstr(kLed).Get(), 1, maximum.Get()), S_OK);
  EXPECT_EQ(Bytes(*maximum.Get()), (std::vector<uint8_t>{3, 0, 255}));
  EXPECT_EQ(xu->get_XuMinimum(Bstr(kFov).Get(), 5, minimum.Get()), S_OK);
  EXPECT_EQ(Bytes(*minimum.Get()), std::vector<uint8_t>{0});
  // The names the shipped definitions give.
  Bstr unitName, controlName, none;
  EXPECT_EQ(xu->get_XuUnitName(Bstr(kLed).Get(), unitName.Receive()), S_OK);
  EXPECT_STREQ(unitName.Get(), L"Logitech User HW Control v1");
  EXPECT_EQ(xu->get_XuControlName(Bstr(kFov).Get(), 5, controlName.Receive()), S_OK);
  EXPECT_STREQ(controlName.Get(), L"Field of View");
  EXPECT_EQ(xu->get_XuControlName(Bstr(kFov).Get(), 0, none.Receive()), E_INVALIDARG);
  // Every control request went to the unit's node, which is not its unit
  // id: the LED unit 4 sits on node 2, the field-of-view unit 6 on node 3,
  // the motor unit 9 on node 4.
  const std::pair<Guid, uint32_t> kNodes[] = {
      {Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D221F"), 2},
      {Guid::Parse("49E40215-F434-47FE-B158-0E885023E51B"), 3},
      {Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D2256"), 4}};
  size_t controlRequests = 0;
  for (const sim::Request& r : cam->Requests(sim::Op::KsProperty)) {
    if (!(FlagsOf(r) & kTopology) || r.id == 0) continue;
    EXPECT_EQ(r.propertyLength, 32u);
    for (const auto& [unit, node] : kNodes) {
      if (r.set != unit) continue;
      ++controlRequests;
      EXPECT_EQ(NodeOf(r), node);
    }
  }
  EXPECT_GT(controlRequests, 0u);
}

TEST_F(XuControlTest, RawValuesRoundTripThroughTheNode) {
  Attach("logitech");
  std::vector<uint8_t> value;
  ASSERT_EQ(Read(kLed, 1, &value), S_OK);
  EXPECT_EQ(value, (std::vector<uint8_t>{3, 0, 10}));
  cam->ClearLog();
  EXPECT_EQ(xu->put_XuValue(Bstr(kLed).Get(), 1, *ByteArray({1, 0, 40}).Get()), S_OK);
  EXPECT_EQ(cam->FindXuControl(4, 1)->current, (std::vector<uint8_t>{1, 0, 40}));
  ASSERT_EQ(Writes(), 1u);
  for (const sim::Request& r : cam->Requests(sim::Op::KsProperty)) {
    if ((FlagsOf(r) & ~kTopology) == kSet) {
      EXPECT_EQ(NodeOf(r), 2u);
    }
  }
  // An array of numbers, as VBScript's Array() makes it.
  Variant numbers;
  numbers.Get()->vt = VT_ARRAY | VT_VARIANT;
  numbers.Get()->parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  LONG at = 0;
  VARIANT two;
  two.vt = VT_I2;
  two.iVal = 2;
  SafeArrayPutElement(numbers.Get()->parray, &at, &two);
  EXPECT_EQ(xu->put_XuValue(Bstr(kFov).Get(), 5, *numbers.Get()), S_OK);
  EXPECT_EQ(cam->FindXuControl(6, 5)->current, std::vector<uint8_t>{2});
}

TEST_F(XuControlTest, NamedWriteChangesOnlyItsField) {
  Attach("logitech");
  Variant label;
  label.Get()->vt = VT_BSTR;
  label.Get()->bstrVal = SysAllocString(L"blink");
  EXPECT_EQ(xu->put_XuNamedValue(Bstr(L"led mode").Get(), *label.Get()), S_OK);
  EXPECT_EQ(cam->FindXuControl(4, 1)->current, (std::vector<uint8_t>{2, 0, 10}));
  Variant number;
  number.Get()->vt = VT_I4;
  number.Get()->lVal = 0;  // a menu takes the value's number too
  EXPECT_EQ(xu->put_XuNamedValue(Bstr(L"LED Mode").Get(), *number.Get()), S_OK);
  EXPECT_EQ(cam->FindXuControl(4, 1)->current, (std::vector<uint8_t>{0, 0, 10}));
  Variant read;
  ASSERT_EQ(xu->get_XuNamedValue(Bstr(L"LED Mode").Get(), read.Get()), S_OK);
  ASSERT_EQ(read.Get()->vt, VT_BSTR);
  EXPECT_STREQ(read.Get()->bstrVal, L"off");
  Variant frequency;
  ASSERT_EQ(xu->get_XuNamedValue(Bstr(L"LED Frequency").Get(), frequency.Get()), S_OK);
  EXPECT_EQ(frequency.Get()->vt, VT_I4);
  EXPECT_EQ(frequency.Get()->lVal, 10);
}

TEST_F(XuControlTest, NamedInfoInTheInterfacesOrder) {
  Attach("logitech");
  Variant info;
  ASSERT_EQ(xu->get_XuNamedInfo(Bstr(L"LED Mode").Get(), info.Get()), S_OK);
  ASSERT_EQ(info.Get()->vt, VT_ARRAY | VT_VARIANT);
  ASSERT_EQ(info.Get()->parray->rgsabound[0].cElements, 9u);
  const VARIANT* e = static_cast<const VARIANT*>(info.Get()->parray->pvData);
  ASSERT_EQ(e[0].vt, VT_BSTR);
  EXPECT_STREQ(e[0].bstrVal, L"menu");
  // The range holds every value of the menu (0 to 3).
  EXPECT_LE(e[1].lVal, 0);
  EXPECT_GE(e[2].lVal, 3);
  ASSERT_EQ(e[3].vt, VT_BSTR);
  EXPECT_STREQ(e[3].bstrVal, L"auto") << "the default, as its label";
  ASSERT_EQ(e[5].vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(e[5].parray->rgsabound[0].cElements, 4u);
  ASSERT_EQ(e[6].vt, VT_BSTR);
  EXPECT_STREQ(e[6].bstrVal, kLed);
  EXPECT_EQ(e[7].lVal, 1);
  EXPECT_EQ(e[8].lVal, 3);
  Variant fov;
  ASSERT_EQ(xu->get_XuNamedInfo(Bstr(L"Motor Pan/Tilt").Get(), fov.Get()), S_OK);
  const VARIANT* raw = static_cast<const VARIANT*>(fov.Get()->parray->pvData);
  EXPECT_STREQ(raw[0].bstrVal, L"bytes");
  EXPECT_EQ(raw[5].vt, VT_EMPTY) << "labels only for a menu";
  EXPECT_EQ(raw[8].lVal, 2) << "an action is only written: profiles and checks leave it alone";
}

TEST_F(XuControlTest, RefusedWritesSendNothing) {
  Attach("unknown");
  EXPECT_EQ(xu->put_XuValue(Bstr(kUnknown).Get(), 1, *ByteArray({1, 2, 3}).Get()), E_INVALIDARG);
  EXPECT_NE(ErrorText().find("takes 2 bytes, not 3"), std::string::npos) << ErrorText();
  EXPECT_EQ(xu->put_XuValue(Bstr(kUnknown).Get(), 4, *ByteArray({1, 2, 3, 4}).Get()),
            E_ACCESSDENIED);
  EXPECT_NE(ErrorText().find("read-only"), std::string::npos) << ErrorText();
  EXPECT_EQ(Writes(), 0u);
  // The 46-byte control reads whole.
  std::vector<uint8_t> block;
  ASSERT_EQ(Read(kUnknown, 2, &block), S_OK);
  ASSERT_EQ(block.size(), 46u);
  EXPECT_EQ(block[45], 45);
}

TEST_F(XuControlTest, AFieldOutsideItsRangeIsRefusedBeforeAnyRequest) {
  Attach("logitech");
  Variant zero;
  zero.Get()->vt = VT_I4;
  zero.Get()->lVal = 0;  // the device's minimum frequency is 1
  EXPECT_EQ(xu->put_XuNamedValue(Bstr(L"LED Frequency").Get(), *zero.Get()), E_INVALIDARG);
  EXPECT_NE(ErrorText().find("outside 1 to 255"), std::string::npos) << ErrorText();
  EXPECT_EQ(Writes(), 0u);
}

TEST_F(XuControlTest, UnknownUnitsSelectorsAndNamesAreNamed) {
  Attach("logitech");
  std::vector<uint8_t> value;
  EXPECT_TRUE(FAILED(Read(L"12345678-1234-1234-1234-123456789abc", 1, &value)));
  EXPECT_NE(ErrorText().find("12345678-1234-1234-1234-123456789abc"), std::string::npos);
  EXPECT_TRUE(FAILED(Read(kLed, 7, &value)));
  EXPECT_NE(ErrorText().find("no control 7"), std::string::npos) << ErrorText();
  EXPECT_EQ(Read(kLed, 40, &value), E_INVALIDARG);
  EXPECT_NE(ErrorText().find("selector 40"), std::string::npos) << ErrorText();
  Variant named;
  EXPECT_TRUE(FAILED(xu->get_XuNamedValue(Bstr(L"Warp Drive").Get(), named.Get())));
  EXPECT_NE(ErrorText().find("\"Warp Drive\""), std::string::npos) << ErrorText();
}

// Each injected fault: a failure with the driver's code and its text, and
// the object still answers afterwards.
TEST_F(XuControlTest, InjectedFaultsGiveClearErrors) {
  const struct {
    const char* fault;
    HRESULT code;  // 0: any failure
    const char* text;
  } kCases[] = {
      {"stall", static_cast<HRESULT>(0x8007001F), "0x8007001F"},
      {"timeout", static_cast<HRESULT>(0x80070079), "0x80070079"},
      {"unsupported-id", static_cast<HRESULT>(0x80070490), "no control 1"},
      {"unsupported-set", 0, "no control 1"},
      {"short-reply", 0, "returned 2 of 3 bytes"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.fault);
    Attach("logitech", (std::string("1:xu/4.1:") + c.fault).c_str());
    std::vector<uint8_t> value;
    HRESULT hr = Read(kLed, 1, &value);
    EXPECT_TRUE(FAILED(hr));
    if (c.code != 0) {
      EXPECT_EQ(hr, c.code);
    }
    EXPECT_NE(ErrorText().find(c.text), std::string::npos) << ErrorText();
    EXPECT_EQ(Read(kFov, 5, &value), S_OK) << "the other units still answer";
  }
}

TEST_F(XuControlTest, ALengthThatChangesIsReportedNotTrusted) {
  Attach("logitech", "1:xu/4.1:length-changes");
  std::vector<uint8_t> value;
  for (int i = 0; i < 3; ++i) {
    HRESULT hr = Read(kLed, 1, &value);
    if (FAILED(hr)) {
      EXPECT_NE(ErrorText().find("bytes"), std::string::npos) << ErrorText();
    } else {
      EXPECT_EQ(value.size(), 3u);
    }
  }
}

TEST_F(XuControlTest, ADriverFailureDropsWhatDiscoveryLearned) {
  Attach("logitech");
  LONG length = 0;
  ASSERT_EQ(xu->get_XuLength(Bstr(kLed).Get(), 1, &length), S_OK);
  cam->connected = false;  // unplugged
  std::vector<uint8_t> value;
  EXPECT_EQ(Read(kLed, 1, &value), static_cast<HRESULT>(0x8007048F));
  cam->connected = true;
  cam->ClearLog();
  ASSERT_EQ(xu->get_XuLength(Bstr(kLed).Get(), 1, &length), S_OK);
  // The camera was asked again: its nodes and the control's length.
  EXPECT_FALSE(cam->Requests(sim::Op::Topology).empty());
}

// A unit that neither a definition nor the node's set list names is listed
// by its node alone, and a GUID the caller gives finds the node that
// answers it.
TEST_F(XuControlTest, AGuidTheCallerGivesFindsAnUnnamedUnit) {
  Attach("unknown");
  const uint32_t node = cam->extensionUnits.begin()->first;
  cam->extensionUnits.begin()->second.listsSets = false;
  Variant units, unnamed;
  ASSERT_EQ(xu->get_XuUnits(units.Get()), S_OK);
  EXPECT_EQ(units.Get()->parray->rgsabound[0].cElements, 0u);
  ASSERT_EQ(xu->get_XuUnnamedNodes(unnamed.Get()), S_OK);
  ASSERT_EQ(unnamed.Get()->parray->rgsabound[0].cElements, 1u);
  LONG index = 0;
  Variant first;
  ASSERT_EQ(SafeArrayGetElement(unnamed.Get()->parray, &index, first.Get()), S_OK);
  EXPECT_EQ(first.Get()->lVal, static_cast<LONG>(node));
  LONG length = 0;
  EXPECT_EQ(xu->get_XuLength(Bstr(kUnknown).Get(), 2, &length), S_OK);
  EXPECT_EQ(length, 46);
  Variant after;
  ASSERT_EQ(xu->get_XuUnits(after.Get()), S_OK);
  EXPECT_EQ(after.Get()->parray->rgsabound[0].cElements, 1u) << "listed once it is known";
  Variant none;
  ASSERT_EQ(xu->get_XuUnnamedNodes(none.Get()), S_OK);
  EXPECT_EQ(none.Get()->parray->rgsabound[0].cElements, 0u) << "no longer unnamed";
}

// The user's own definitions (%APPDATA%\Lumora\xu\): a good file names the
// unknown unit's control, a broken one is reported through DebugLog with its
// file and line, and the other definitions still load.
TEST_F(XuControlTest, UserDefinitionsAddNamesAndABadFileIsReported) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring appData = std::wstring(temp) + L"lumora-xu-test";
  const std::wstring folder = appData + L"\\Lumora\\xu";
  CreateDirectoryW(appData.c_str(), nullptr);
  CreateDirectoryW((appData + L"\\Lumora").c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  auto write = [&](const wchar_t* name, const std::string& text) {
    HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  };
  write(L"a-broken.json", "{\n  \"units\": [\n    {\"guid\": \"not a guid\"}\n  ]\n}\n");
  write(L"b-mine.json",
        "{\"units\": [{\"guid\": \"a7c3e1f0-5b2d-4e8a-9f61-3d0c2b4a5e97\", \"controls\": ["
        "{\"selector\": 1, \"name\": \"Gain\", \"length\": 2, \"fields\": ["
        "{\"name\": \"Gain Level\", \"type\": \"integer\", \"byte\": 0, \"bits\": 16}]}]}]}");
  wchar_t saved[MAX_PATH * 2] = L"";
  const DWORD had = GetEnvironmentVariableW(L"APPDATA", saved, MAX_PATH * 2);
  SetEnvironmentVariableW(L"APPDATA", appData.c_str());

  ASSERT_TRUE(sim::MakeRigDevices("xu", &devices));
  cam = devices[2].camera;
  ComPtr<IDVidCapCtrl> control = NewControl();
  ASSERT_TRUE(control);
  auto sink = Make<RecordingSink>();
  Advise(control.Get(), sink.Get());
  ASSERT_EQ(control->put_BaseFilter(SimFilter(cam).Get()), S_OK);
  ASSERT_EQ(control.As(&xu), S_OK);
  Variant level;
  EXPECT_EQ(xu->get_XuNamedValue(Bstr(L"Gain Level").Get(), level.Get()), S_OK);
  EXPECT_EQ(level.Get()->lVal, 0x1010) << "the user's field over the camera's bytes 10 10";
  Variant names;
  EXPECT_EQ(xu->get_XuNames(names.Get()), S_OK);
  EXPECT_EQ(names.Get()->parray->rgsabound[0].cElements, 1u);
  bool reported = false;
  for (const std::wstring& text : sink->Texts()) {
    reported = reported || (text.find(L"a-broken.json:3:") != std::wstring::npos);
  }
  EXPECT_TRUE(reported) << "one line naming the broken file and its line";

  SetEnvironmentVariableW(L"APPDATA", had > 0 ? saved : nullptr);
  DeleteFileW((folder + L"\\a-broken.json").c_str());
  DeleteFileW((folder + L"\\b-mine.json").c_str());
}

}  // namespace
}  // namespace ctrltest
