// VCapFilter: string properties, the index, the moniker reference and the
// splitting of the device path, through the object's dual interface.
#include <climits>

#include "com/raii.h"
#include "tests/win/enumeration/com_fixture.h"

namespace lumora::test {
namespace {

using Getter = HRESULT (STDMETHODCALLTYPE IVCapFilter::*)(BSTR*);
using Setter = HRESULT (STDMETHODCALLTYPE IVCapFilter::*)(BSTR);

class FilterTest : public ObjectTest<IVCapFilter, CLSID_VCapFilter> {
 protected:
  ComPtr<IVCapFilter>& filter = object;

  // Reads a string property; "<null>" if the object handed out null.
  std::wstring Read(Getter get) {
    com::Bstr text;
    EXPECT_EQ((filter.Get()->*get)(text.Receive()), S_OK);
    return Str(text.Get());
  }

  void Write(Setter put, const wchar_t* text) {
    com::Bstr value(text);
    EXPECT_EQ((filter.Get()->*put)(value.Get()), S_OK);
  }
};

struct StringProperty {
  const char* name;
  Getter get;
  Setter put;
};

const StringProperty kStrings[] = {
    {"FName", &IVCapFilter::get_FName, &IVCapFilter::put_FName},
    {"ClsID", &IVCapFilter::get_ClsID, &IVCapFilter::put_ClsID},
    {"DeviceName", &IVCapFilter::get_DeviceName, &IVCapFilter::put_DeviceName},
    {"DevSerial", &IVCapFilter::get_DevSerial, &IVCapFilter::put_DevSerial},
    {"DeviceVidPid", &IVCapFilter::get_DeviceVidPid, &IVCapFilter::put_DeviceVidPid},
};

TEST_F(FilterTest, FreshObjectReadsEmpty) {
  for (const auto& p : kStrings) EXPECT_EQ(Read(p.get), L"") << p.name;  // empty, never null
  LONG index = -1;
  ASSERT_EQ(filter->get_FIndex(&index), S_OK);
  EXPECT_EQ(index, 0);
  IUnknown* moniker = reinterpret_cast<IUnknown*>(1);
  ASSERT_EQ(filter->get_Moniker(&moniker), S_OK);
  EXPECT_EQ(moniker, nullptr);
}

TEST_F(FilterTest, StringsRoundTripUpToTheFirstNul) {
  for (const auto& p : kStrings) {
    Write(p.put, L"some text");
    EXPECT_EQ(Read(p.get), L"some text") << p.name;
    com::Bstr embedded;
    embedded.Reset(SysAllocStringLen(L"ab\0cd", 5));
    EXPECT_EQ((filter.Get()->*p.put)(embedded.Get()), S_OK);
    EXPECT_EQ(Read(p.get), L"ab") << p.name;
    Write(p.put, nullptr);
    EXPECT_EQ(Read(p.get), L"") << p.name;
  }
}

TEST_F(FilterTest, StringReadsRefuseANullOutPointer) {
  for (const auto& p : kStrings) EXPECT_EQ((filter.Get()->*p.get)(nullptr), E_POINTER) << p.name;
  EXPECT_EQ(filter->get_FIndex(nullptr), E_POINTER);
  EXPECT_EQ(filter->get_Moniker(nullptr), S_OK);
}

TEST_F(FilterTest, IndexTakesAnyValue) {
  for (LONG value : {0L, 1L, -7L, static_cast<LONG>(INT_MIN), static_cast<LONG>(INT_MAX)}) {
    ASSERT_EQ(filter->put_FIndex(value), S_OK);
    LONG read = 0;
    ASSERT_EQ(filter->get_FIndex(&read), S_OK);
    EXPECT_EQ(read, value);
  }
}

TEST_F(FilterTest, MonikerIsHeldWithOneReference) {
  CountedObject moniker;
  ASSERT_EQ(filter->put_Moniker(&moniker), S_OK);
  EXPECT_EQ(moniker.refs, 2);
  IUnknown* read = nullptr;
  ASSERT_EQ(filter->get_Moniker(&read), S_OK);
  EXPECT_EQ(read, static_cast<IUnknown*>(&moniker));
  EXPECT_EQ(moniker.refs, 3);  // the reader's reference
  read->Release();
  ASSERT_EQ(filter->put_Moniker(nullptr), S_OK);
  EXPECT_EQ(moniker.refs, 1);

  ASSERT_EQ(filter->put_Moniker(&moniker), S_OK);
  filter.Reset();  // the object releases it when destroyed
  EXPECT_EQ(moniker.refs, 1);
}

TEST_F(FilterTest, DeviceNameDerivesSerialAndVidPid) {
  Write(&IVCapFilter::put_DeviceName,
        L"@device:pnp:\\\\?\\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#"
        L"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
  EXPECT_EQ(Read(&IVCapFilter::get_DevSerial), L"1f1f0d8");
  EXPECT_EQ(Read(&IVCapFilter::get_DeviceVidPid), L"VID_0471&PID_0329");
  EXPECT_EQ(Read(&IVCapFilter::get_DeviceName),
            L"@device:pnp:\\\\?\\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#"
            L"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");

  // A path without tokens changes only the path.
  Write(&IVCapFilter::put_DeviceName, L"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}");
  EXPECT_EQ(Read(&IVCapFilter::get_DevSerial), L"1f1f0d8");
  EXPECT_EQ(Read(&IVCapFilter::get_DeviceVidPid), L"VID_0471&PID_0329");

  // A single-serial instance has no sixth token: the serial stays.
  Write(&IVCapFilter::put_DeviceName,
        L"@device:pnp:\\\\?\\usb#vid_046d&pid_08b2#ABC123#{65e8773d-8f56-11d0-a3b9-00a0c9223196}");
  EXPECT_EQ(Read(&IVCapFilter::get_DevSerial), L"1f1f0d8");
  EXPECT_EQ(Read(&IVCapFilter::get_DeviceVidPid), L"VID_046D&PID_08B2");

  Write(&IVCapFilter::put_DeviceName, nullptr);
  EXPECT_EQ(Read(&IVCapFilter::get_DeviceName), L"");
  EXPECT_EQ(Read(&IVCapFilter::get_DevSerial), L"1f1f0d8");
}

TEST_F(FilterTest, DirectWritesAreOverriddenOnlyByFoundTokens) {
  Write(&IVCapFilter::put_DevSerial, L"mine");
  Write(&IVCapFilter::put_DeviceVidPid, L"VID_FFFF&PID_FFFF");
  Write(&IVCapFilter::put_DeviceName, L"a&b&c&d&e&serial6");  // no "#": only the serial
  EXPECT_EQ(Read(&IVCapFilter::get_DevSerial), L"serial6");
  EXPECT_EQ(Read(&IVCapFilter::get_DeviceVidPid), L"VID_FFFF&PID_FFFF");
}

TEST_F(FilterTest, DispatchNamesComeFromTheTypeLibrary) {
  struct Row {
    const wchar_t* name;
    DISPID id;
  };
  const Row rows[] = {{L"FName", 1},      {L"FIndex", 2},    {L"ClsID", 3},       {L"Moniker", 4},
                      {L"DeviceName", 5}, {L"DevSerial", 6}, {L"DeviceVidPid", 7}};
  for (const Row& r : rows) {
    LPOLESTR name = const_cast<LPOLESTR>(r.name);
    DISPID id = -1;
    ASSERT_EQ(filter->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, r.id);
  }
  ComPtr<IDispatch> dispatch;
  EXPECT_EQ(filter.As(&dispatch), S_OK);
}

}  // namespace
}  // namespace lumora::test
