// DVidCapCtrl's script-friendly members (IDVidCapCtrl2): RangeList and
// LagtimeList held against GetRange and GetLagtime for every family and
// property, their failure codes, and both name sets through one IDispatch.
#include <cstring>
#include <string>
#include <vector>

#include "com/raii.h"
#include "sim/families.h"
#include "tests/win/ctrl/ctrl_fixture.h"
#include "tests/win/script_lists.h"

namespace ctrltest {
namespace {

using lumora::com::Variant;
using lumora::test::ExpectRangeList;
using lumora::test::ListLongs;

ComPtr<IDVidCapCtrl2> Control2(IDVidCapCtrl* control) {
  ComPtr<IDVidCapCtrl2> second;
  EXPECT_EQ(control->QueryInterface(IID_IDVidCapCtrl2, &second), S_OK);
  return second;
}

TEST(CtrlListsTest, BeforeAttachment) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  ComPtr<IDVidCapCtrl2> second = Control2(control.Get());
  ASSERT_TRUE(second);
  Variant list;
  EXPECT_EQ(second->get_RangeList(VCP_Brightness, list.Get()), E_NOINTERFACE);
  EXPECT_EQ(list.Get()->vt, VT_EMPTY);
  // GetLagtime answers S_OK and writes nothing: the list is empty.
  ASSERT_EQ(second->get_LagtimeList(0, list.Get()), S_OK);
  EXPECT_EQ(ListLongs(*list.Get()), std::vector<LONG>{});
  EXPECT_EQ(second->get_RangeList(VCP_Brightness, nullptr), E_POINTER);
  EXPECT_EQ(second->get_LagtimeList(0, nullptr), E_POINTER);
}

// Every family, every catalogue number and a few raw codes: the list is the
// typed range (minimum, maximum, stepping delta, and the default where
// DefaultValue reports one) or the typed call's failure.
TEST(CtrlListsTest, RangeListIsTheRangeOfEveryFamily) {
  for (const sim::FamilyInfo& info : sim::Families()) {
    SCOPED_TRACE(info.name);
    ComPtr<IDVidCapCtrl> control = NewControl();
    std::wstring vidPid(info.deviceVidPid, info.deviceVidPid + strlen(info.deviceVidPid));
    ASSERT_EQ(control->put_CaptureFilter(
                  DescriptorOf(sim::MakeFamilyCamera(info.family), vidPid.c_str()).Get()),
              S_OK);
    ComPtr<IDVidCapCtrl2> second = Control2(control.Get());
    ASSERT_TRUE(second);
    int succeeded = 0;
    for (LONG p = -1; p <= 40; ++p) {
      SCOPED_TRACE(p);
      const auto property = static_cast<VidCapProperty>(p);
      LONG min = 0, max = 0, step = 0, def = 0, caps = 0;
      const HRESULT typed = control->GetRange(property, &min, &max, &step, &def, &caps);
      Variant list;
      ASSERT_EQ(second->get_RangeList(property, list.Get()), typed);
      succeeded += ExpectRangeList(typed, *list.Get(), {min, max, step}, [&](LONG* reported) {
        return second->get_DefaultValue(property, reported);
      });
    }
    EXPECT_GT(succeeded, 5);
  }
}

TEST(CtrlListsTest, LagtimeListIsTheLagStatistics) {
  auto camera = sim::SimulatedCamera::Create();
  ComPtr<IDVidCapCtrl> control = NewControl();
  ASSERT_EQ(control->put_BaseFilter(SimFilter(camera).Get()), S_OK);
  ComPtr<IDVidCapCtrl2> second = Control2(control.Get());
  ASSERT_TRUE(second);

  // A record never read, then one with two reads of brightness (id 0).
  LONG v[4] = {};
  Variant list;
  ASSERT_EQ(control->GetLagtime(0, &v[0], &v[1], &v[2], &v[3]), S_OK);
  ASSERT_EQ(second->get_LagtimeList(0, list.Get()), S_OK);
  EXPECT_EQ(ListLongs(*list.Get()), (std::vector<LONG>{v[0], v[1], v[2], v[3]}));
  EXPECT_EQ(v[3], 0);
  LONG value = 0;
  ASSERT_EQ(control->get_Prop(VCP_Brightness, &value), S_OK);
  ASSERT_EQ(control->get_Prop(VCP_Brightness, &value), S_OK);
  ASSERT_EQ(control->GetLagtime(0, &v[0], &v[1], &v[2], &v[3]), S_OK);
  ASSERT_EQ(second->get_LagtimeList(0, list.Receive()), S_OK);
  EXPECT_EQ(ListLongs(*list.Get()), (std::vector<LONG>{v[0], v[1], v[2], v[3]}));
  EXPECT_EQ(v[3], 2);

  // Ids without a record: GetLagtime writes nothing, the list is empty.
  for (LONG id : {-1L, 50L, 0x7FFFFFFFL}) {
    ASSERT_EQ(second->get_LagtimeList(id, list.Receive()), S_OK) << id;
    EXPECT_EQ(ListLongs(*list.Get()), std::vector<LONG>{}) << id;
  }
}

// One IDispatch answers the old and the new names; a failing list reaches
// the script host as an exception carrying the member's code.
TEST(CtrlListsTest, OldAndNewNamesThroughOneDispatch) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control.As(&dispatch), S_OK);
  ComPtr<IDVidCapCtrl2> second = Control2(control.Get());
  ASSERT_TRUE(second);
  struct Name {
    const wchar_t* text;
    DISPID id;
  };
  const Name names[] = {
      {L"Prop", 5}, {L"GetLagtime", 16}, {L"RangeList", 20}, {L"LagtimeList", 21}};
  for (const Name& n : names) {
    LPOLESTR text = const_cast<LPOLESTR>(n.text);
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &text, 1, 0, &id), S_OK);
    EXPECT_EQ(id, n.id);
  }
  VARIANT property;
  property.vt = VT_I4;
  property.lVal = VCP_Brightness;
  DISPPARAMS args = {&property, nullptr, 1, 0};
  Variant result;
  EXCEPINFO exception = {};
  EXPECT_EQ(dispatch->Invoke(20, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &args,
                             result.Get(), &exception, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, E_NOINTERFACE);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);

  ASSERT_EQ(control->put_BaseFilter(SimFilter(sim::SimulatedCamera::Create()).Get()), S_OK);
  ASSERT_EQ(dispatch->Invoke(20, IID_NULL, 0, DISPATCH_PROPERTYGET, &args, result.Receive(),
                             nullptr, nullptr),
            S_OK);
  LONG min = 0, max = 0, step = 0, def = 0, caps = 0;
  ASSERT_EQ(control->GetRange(VCP_Brightness, &min, &max, &step, &def, &caps), S_OK);
  LONG reported = 0;
  ASSERT_EQ(second->get_DefaultValue(VCP_Brightness, &reported), S_OK);
  EXPECT_EQ(ListLongs(*result.Get()), (std::vector<LONG>{min, max, step, reported}));
}

}  // namespace
}  // namespace ctrltest
