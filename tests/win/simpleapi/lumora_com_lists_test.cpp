// LumoraCOM's script-friendly members (ILumoraCOM2): the camera tables and a
// property's range as arrays of VARIANTs, held against the typed members
// they mirror, their failure rules, and both name sets through one IDispatch.
#include "com/raii.h"
#include "sim/com/rig_server.h"
#include "tests/win/script_lists.h"
#include "tests/win/simpleapi/simpleapi_fixture.h"

namespace lumora::test {
namespace {

class LumoraComListsTest : public SimpleApiTest {
 protected:
  static ComPtr<ILumoraCOM2> NewInstance() { return NewLumoraCom<ILumoraCOM2>(IID_ILumoraCOM2); }
};

using ListMember = HRESULT (STDMETHODCALLTYPE ILumoraCOM2::*)(VARIANT*);
using ArrayMember = HRESULT (STDMETHODCALLTYPE ILumoraCOM::*)(SAFEARRAY**);
struct TablePair {
  const char* name;
  ListMember list;
  ArrayMember array;
};
const TablePair kTables[] = {
    {"CamNameList", &ILumoraCOM2::get_CamNameList, &ILumoraCOM::GetCamStrings},
    {"DevNameList", &ILumoraCOM2::get_DevNameList, &ILumoraCOM::GetDevStrings},
    {"CamSerialList", &ILumoraCOM2::get_CamSerialList, &ILumoraCOM::GetCamSerials},
};

TEST_F(LumoraComListsTest, TablesMatchTheStringArrays) {
  UsePreset("twelve");  // more devices than the ten the tables hold
  ComPtr<ILumoraCOM2> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ASSERT_EQ(com->EnumCams(), S_OK);
  for (const TablePair& table : kTables) {
    SCOPED_TRACE(table.name);
    com::Variant list;
    ASSERT_EQ((com.Get()->*table.list)(list.Get()), S_OK);
    SAFEARRAY* raw = nullptr;
    ASSERT_EQ((com.Get()->*table.array)(&raw), S_OK);
    com::SafeArray array(raw);
    const std::vector<std::wstring> texts = ListTexts(*list.Get());
    EXPECT_EQ(texts.size(), static_cast<size_t>(LUMORA_MAX_CAMS));
    EXPECT_EQ(texts, Elements(array.Get()));
  }
  com::Variant names;
  ASSERT_EQ(com->get_CamNameList(names.Get()), S_OK);
  EXPECT_EQ(ListTexts(*names.Get()), CollectionNames(LUMORA_MAX_CAMS));
}

TEST_F(LumoraComListsTest, TablesAbortWithoutCameras) {
  ComPtr<ILumoraCOM2> com = NewInstance();
  ASSERT_NE(com, nullptr);
  for (const TablePair& table : kTables) {
    SCOPED_TRACE(table.name);
    com::Variant list;
    EXPECT_EQ((com.Get()->*table.list)(list.Get()), E_ABORT) << "before EnumCams";
    EXPECT_EQ(list.Get()->vt, VT_EMPTY);
    EXPECT_EQ((com.Get()->*table.list)(nullptr), E_POINTER);
  }
  UsePreset("none");
  ASSERT_EQ(com->EnumCams(), S_OK);
  for (const TablePair& table : kTables) {
    com::Variant list;
    EXPECT_EQ((com.Get()->*table.list)(list.Get()), E_ABORT) << table.name << " finding nothing";
    EXPECT_EQ(list.Get()->vt, VT_EMPTY);
  }
}

// For every property the list is the typed range with the default where
// CamProperty_Default reports one, or the typed range's failure; out of the
// forwarded numbers it is E_INVALIDARG, before EnumCams E_ABORT and without
// a current camera E_FAIL.
TEST_F(LumoraComListsTest, RangeListMirrorsTheRange) {
  UsePreset("twelve");  // plain cameras: the control answers VCP_Pan itself
  ComPtr<ILumoraCOM2> com = NewInstance();
  ASSERT_NE(com, nullptr);
  com::Variant list;
  EXPECT_EQ(com->get_CamProperty_RangeList(::VCP_Brightness, list.Get()), E_ABORT)
      << "before EnumCams";
  ASSERT_EQ(com->EnumCams(), S_OK);
  EXPECT_EQ(com->get_CamProperty_RangeList(::VCP_Brightness, list.Get()), E_FAIL) << "none chosen";
  ASSERT_EQ(com->SetCam(0), S_OK);
  EXPECT_EQ(com->get_CamProperty_RangeList(::VCP_Brightness, nullptr), E_POINTER);

  int succeeded = 0;
  for (LONG p = ::VCP_FirstElement; p <= ::VCP_SWTrigger; ++p) {
    SCOPED_TRACE(p);
    const auto property = static_cast<::VidCapProperty>(p);
    LONG lo = 0, hi = 0, step = 0;
    const HRESULT typed = com->CamProperty_Range(property, &lo, &hi, &step);
    com::Variant range;
    ASSERT_EQ(com->get_CamProperty_RangeList(property, range.Get()), typed);
    succeeded += ExpectRangeList(typed, *range.Get(), {lo, hi, step}, [&](LONG* reported) {
      return com->get_CamProperty_Default(property, reported);
    });
  }
  EXPECT_GT(succeeded, 5);

  for (LONG outside : {LONG{::VCP_Pan}, LONG{::VCP_Focus}, LONG{-1}, LONG{1000}}) {
    com::Variant range;
    EXPECT_EQ(com->get_CamProperty_RangeList(static_cast<::VidCapProperty>(outside), range.Get()),
              E_INVALIDARG)
        << outside;
    EXPECT_EQ(range.Get()->vt, VT_EMPTY);
  }
  ASSERT_EQ(com->SetCam(-1), S_OK);
  EXPECT_EQ(com->get_CamProperty_RangeList(::VCP_Pan, list.Get()), E_FAIL)
      << "without a camera E_FAIL comes first";
}

// One IDispatch answers the old and the new names, and a failing list
// reaches the script host as an exception carrying the member's code.
TEST_F(LumoraComListsTest, OldAndNewNamesThroughOneDispatch) {
  ComPtr<ILumoraCOM2> com = NewInstance();
  ASSERT_NE(com, nullptr);
  ComPtr<ILumoraCOM> old;
  ASSERT_HRESULT_SUCCEEDED(com.As(&old));
  ComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(old.As(&dispatch));
  struct Name {
    const wchar_t* text;
    DISPID id;
  };
  const Name names[] = {{L"EnumCams", 1},     {L"GetCamStrings", 2},         {L"CamProperty", 8},
                        {L"CamNameList", 13}, {L"DevNameList", 14},          {L"CamSerialList", 15},
                        {L"camnamelist", 13}, {L"CamProperty_RangeList", 16}};
  for (const Name& n : names) {
    LPOLESTR text = const_cast<LPOLESTR>(n.text);
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &text, 1, 0, &id), S_OK) << Str(text);
    EXPECT_EQ(id, n.id);
  }

  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  com::Variant result;
  EXCEPINFO exception = {};
  EXPECT_EQ(dispatch->Invoke(13, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.Get(), &exception,
                             nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, E_ABORT);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);

  ASSERT_EQ(com->EnumCams(), S_OK);
  ASSERT_EQ(dispatch->Invoke(15, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                             result.Receive(), nullptr, nullptr),
            S_OK);
  com::Variant serials;
  ASSERT_EQ(com->get_CamSerialList(serials.Get()), S_OK);
  EXPECT_EQ(ListTexts(*result.Get()), ListTexts(*serials.Get()));
}

}  // namespace
}  // namespace lumora::test
