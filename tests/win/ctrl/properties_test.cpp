// The property members of DVidCapCtrl: forwarding to the handler, Chipset,
// GetLagtime, the settings blocks with their Progress events, and the null
// pointer answers.
#include <cstdint>
#include <vector>

#include "sim/families.h"
#include "tests/win/ctrl/ctrl_fixture.h"

namespace ctrltest {
namespace {

constexpr LONG kUntouched = 0x5A5A5A5A;

// A control attached through BaseFilter to `camera`.
ComPtr<IDVidCapCtrl> AttachedTo(std::shared_ptr<sim::SimulatedCamera> camera) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  EXPECT_EQ(control->put_BaseFilter(SimFilter(std::move(camera)).Get()), S_OK);
  return control;
}

TEST(CtrlPropertyTest, FreshObjectHasNoHandler) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  VidCapPropertySupport support = static_cast<VidCapPropertySupport>(kUntouched);
  EXPECT_EQ(control->Has(VCP_Brightness, &support), E_NOINTERFACE);
  EXPECT_EQ(support, static_cast<VidCapPropertySupport>(kUntouched));
  LONG v[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
  EXPECT_EQ(control->GetRange(VCP_Brightness, &v[0], &v[1], &v[2], &v[3], &v[4]), E_NOINTERFACE);
  EXPECT_EQ(control->get_Prop(VCP_Brightness, &v[0]), E_NOINTERFACE);
  EXPECT_EQ(control->put_Prop(VCP_Brightness, 1), E_NOINTERFACE);
  KnownChipsetCat chipset = static_cast<KnownChipsetCat>(kUntouched);
  EXPECT_EQ(control->get_Chipset(&chipset), E_NOINTERFACE);
  EXPECT_EQ(chipset, static_cast<KnownChipsetCat>(kUntouched));
  EXPECT_EQ(control->GetLagtime(0, &v[0], &v[1], &v[2], &v[3]), S_OK);
  for (LONG x : v) EXPECT_EQ(x, kUntouched);
}

TEST(CtrlPropertyTest, NullOutPointersAnswerEPointer) {
  auto sink = Make<RecordingSink>();
  ComPtr<IDVidCapCtrl> fresh = NewControl();
  ComPtr<IDVidCapCtrl> attached = AttachedTo(sim::SimulatedCamera::Create());
  for (IDVidCapCtrl* control : {fresh.Get(), attached.Get()}) {
    Advise(control, sink.Get());
    LONG a = 0, b = 0, c = 0, d = 0, e = 0;
    EXPECT_EQ(control->Has(VCP_Brightness, nullptr), E_POINTER);
    EXPECT_EQ(control->get_Prop(VCP_Brightness, nullptr), E_POINTER);
    EXPECT_EQ(control->get_Chipset(nullptr), E_POINTER);
    LONG* range[5] = {&a, &b, &c, &d, &e};
    for (int missing = 0; missing < 5; ++missing) {
      LONG* p[5] = {range[0], range[1], range[2], range[3], range[4]};
      p[missing] = nullptr;
      EXPECT_EQ(control->GetRange(VCP_Brightness, p[0], p[1], p[2], p[3], p[4]), E_POINTER)
          << missing;
    }
    for (int missing = 0; missing < 4; ++missing) {
      LONG* p[4] = {range[0], range[1], range[2], range[3]};
      p[missing] = nullptr;
      EXPECT_EQ(control->GetLagtime(0, p[0], p[1], p[2], p[3]), E_POINTER) << missing;
    }
    SAFEARRAY* none = nullptr;
    EXPECT_EQ(control->GetSetting(nullptr), E_POINTER);
    EXPECT_EQ(control->SetSetting(nullptr), E_POINTER);
    EXPECT_EQ(control->GetSetting(&none), E_POINTER);
    EXPECT_EQ(control->SetSetting(&none), E_POINTER);
  }
  EXPECT_TRUE(sink->events.empty());
}

TEST(CtrlPropertyTest, MembersForwardToTheHandler) {
  auto camera = sim::SimulatedCamera::Create();
  camera->procAmp[0] = {-50, 300, 2, 128, 3, 128, 2};
  ComPtr<IDVidCapCtrl> control = AttachedTo(camera);

  VidCapPropertySupport support = VCS_no;
  EXPECT_EQ(control->Has(VCP_Brightness, &support), S_OK);
  EXPECT_EQ(support, VCS_both);
  EXPECT_EQ(control->Has(VCP_ActualFrameRate, &support), S_OK);
  EXPECT_EQ(support, VCS_get);
  LONG min = 0, max = 0, step = 0, def = 0, caps = 0;
  EXPECT_EQ(control->GetRange(VCP_Brightness, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(min, -50);
  EXPECT_EQ(max, 300);
  EXPECT_EQ(step, 2);
  EXPECT_EQ(def, 128);

  EXPECT_EQ(control->put_Prop(VCP_Brightness, 77), S_OK);
  EXPECT_EQ(camera->procAmp[0].value, 77);
  LONG value = 0;
  EXPECT_EQ(control->get_Prop(VCP_Brightness, &value), S_OK);
  EXPECT_EQ(value, 77);

  // Property numbers pass unchecked: a negative one is the handler's "not
  // available", 33 its raw code for proc-amp id 33.
  EXPECT_EQ(control->Has(static_cast<VidCapProperty>(-1), &support), S_OK);
  EXPECT_EQ(support, VCS_no);
  value = kUntouched;
  EXPECT_EQ(control->get_Prop(static_cast<VidCapProperty>(-1), &value), E_INVALIDARG);
  EXPECT_EQ(value, kUntouched);
  camera->ClearLog();
  control->get_Prop(static_cast<VidCapProperty>(33), &value);
  ASSERT_FALSE(camera->log.empty());
  EXPECT_EQ(camera->log.back().id, 33u) << sim::OpName(camera->log.back().op);

  // The lag statistics of property id 0 count the two reads of brightness.
  LONG lagMin = kUntouched, lagMax = kUntouched, lagMean = kUntouched, count = kUntouched;
  EXPECT_EQ(control->GetLagtime(0, &lagMin, &lagMax, &lagMean, &count), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_GE(lagMax, lagMin);
  // Ids outside the 50 records are left alone.
  count = kUntouched;
  EXPECT_EQ(control->GetLagtime(50, &lagMin, &lagMax, &lagMean, &count), S_OK);
  EXPECT_EQ(count, kUntouched);
}

// IDVidCapCtrl2: the same object and IDispatch as IDVidCapCtrl; its members
// forward to the handler, fail before attachment, and write nothing on
// failure.
TEST(CtrlPropertyTest, ModesAndDefaultsThroughTheSecondInterface) {
  ComPtr<IDVidCapCtrl> fresh = NewControl();
  ComPtr<IDVidCapCtrl2> fresh2;
  ASSERT_EQ(fresh.As(&fresh2), S_OK);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(fresh.As(&dispatch), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(dispatch.Get()), static_cast<IUnknown*>(fresh2.Get()));
  LONG value = kUntouched;
  VidCapPropertyMode mode = static_cast<VidCapPropertyMode>(kUntouched);
  EXPECT_EQ(fresh2->ModeSupport(VCP_Exposure, &value), E_NOINTERFACE);
  EXPECT_EQ(fresh2->get_Mode(VCP_Exposure, &mode), E_NOINTERFACE);
  EXPECT_EQ(fresh2->put_Mode(VCP_Exposure, VCM_Auto), E_NOINTERFACE);
  EXPECT_EQ(fresh2->get_DefaultValue(VCP_Exposure, &value), E_NOINTERFACE);
  EXPECT_EQ(value, kUntouched);
  EXPECT_EQ(mode, static_cast<VidCapPropertyMode>(kUntouched));

  // Old and new names resolve through the one IDispatch.
  const wchar_t* names[] = {L"Prop", L"ModeSupport", L"Mode", L"DefaultValue"};
  const DISPID ids[] = {5, 17, 18, 19};
  for (size_t i = 0; i < 4; ++i) {
    LPOLESTR name = const_cast<LPOLESTR>(names[i]);
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, ids[i]);
  }

  auto camera = sim::SimulatedCamera::Create();
  ComPtr<IDVidCapCtrl2> control;
  ASSERT_EQ(AttachedTo(camera).As(&control), S_OK);
  EXPECT_EQ(control->ModeSupport(VCP_Exposure, &value), S_OK);
  EXPECT_EQ(value, VCM_Auto | VCM_Manual);
  EXPECT_EQ(control->put_Mode(VCP_Exposure, VCM_Manual), S_OK);
  EXPECT_EQ(camera->cameraControl[4].flags, VCM_Manual);
  EXPECT_EQ(control->get_Mode(VCP_Exposure, &mode), S_OK);
  EXPECT_EQ(mode, VCM_Manual);
  EXPECT_EQ(control->get_DefaultValue(VCP_Brightness, &value), S_OK);
  EXPECT_EQ(value, 128);

  camera->ClearLog();
  value = kUntouched;
  mode = static_cast<VidCapPropertyMode>(kUntouched);
  EXPECT_EQ(control->put_Mode(VCP_Exposure, static_cast<VidCapPropertyMode>(3)), E_INVALIDARG);
  EXPECT_EQ(control->put_Mode(VCP_WhiteBalanceMode, VCM_Auto), E_NOTIMPL);
  EXPECT_EQ(control->get_Mode(VCP_WhiteBalanceMode, &mode), E_NOTIMPL);
  EXPECT_EQ(control->get_DefaultValue(VCP_WhiteBalanceMode, &value), E_NOTIMPL);
  EXPECT_EQ(value, kUntouched);
  EXPECT_EQ(mode, static_cast<VidCapPropertyMode>(kUntouched));
  EXPECT_TRUE(camera->Requests(sim::Op::CameraSet).empty());
  EXPECT_TRUE(camera->Requests(sim::Op::ProcAmpSet).empty());
  EXPECT_EQ(control->ModeSupport(VCP_Exposure, nullptr), E_POINTER);
  EXPECT_EQ(control->get_Mode(VCP_Exposure, nullptr), E_POINTER);
  EXPECT_EQ(control->get_DefaultValue(VCP_Exposure, nullptr), E_POINTER);
}

// A failing handler call leaves the caller's variables as they were, even
// where the handler filled its own outputs before it failed (a range query
// starts from zeros, a support query from VCS_no).
TEST(CtrlPropertyTest, FailingCallsWriteNoOutParameter) {
  constexpr HRESULT kGenFailure = static_cast<HRESULT>(0x8007001Fu);
  auto camera = sim::SimulatedCamera::Create();
  ComPtr<IDVidCapCtrl> control = AttachedTo(camera);
  camera->failures[sim::Op::ProcAmpGetRange] = kGenFailure;
  LONG v[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
  EXPECT_EQ(control->GetRange(VCP_Brightness, &v[0], &v[1], &v[2], &v[3], &v[4]), kGenFailure);
  for (LONG x : v) EXPECT_EQ(x, kUntouched);
  camera->failures.clear();
  EXPECT_EQ(control->GetRange(VCP_Brightness, &v[0], &v[1], &v[2], &v[3], &v[4]), S_OK);
  EXPECT_EQ(v[1], camera->procAmp[0].max);

  auto noKs = sim::SimulatedCamera::Create();
  noKs->DropEveryPropertyInterface();
  ComPtr<IDVidCapCtrl> plain = AttachedTo(noKs);
  VidCapPropertySupport support = static_cast<VidCapPropertySupport>(kUntouched);
  EXPECT_EQ(plain->Has(VCP_Brightness, &support), E_NOINTERFACE);
  EXPECT_EQ(support, static_cast<VidCapPropertySupport>(kUntouched));
}

TEST(CtrlPropertyTest, ChipsetOfEachFamily) {
  struct Row {
    sim::Family family;
    KnownChipsetCat chipset;
  };
  const Row rows[] = {
      {sim::Family::Saa8112, CSX_SAA8112},
      {sim::Family::Saa8116, CSX_SAA8116},
      {sim::Family::Saa8116Creative, CSX_SAA8116},
      {sim::Family::Saa8116Logitech, CSX_SAA8116},
      {sim::Family::CreaLiveUltra, CSX_CREALIVEULTRA},
      {sim::Family::LogiFusion, CSX_LOGIFUSION},
  };
  for (const Row& row : rows) {
    const sim::FamilyInfo& info = sim::InfoOf(row.family);
    ComPtr<IDVidCapCtrl> control = NewControl();
    std::wstring vidPid(info.deviceVidPid, info.deviceVidPid + strlen(info.deviceVidPid));
    EXPECT_EQ(control->put_CaptureFilter(
                  DescriptorOf(sim::MakeFamilyCamera(row.family), vidPid.c_str()).Get()),
              S_OK)
        << info.name;
    HRESULT hr = E_FAIL;
    EXPECT_EQ(ChipsetOf(control.Get(), &hr), row.chipset) << info.name;
    EXPECT_EQ(hr, S_OK);
  }
}

// --- settings blocks ---------------------------------------------------------------

std::vector<float> BlockProgress(ULONG count) {
  std::vector<float> expected = {0.0f};
  for (ULONG k = 0; k < count && k < 31; ++k) {
    expected.push_back(100.0f * static_cast<float>(k) / static_cast<float>(count));
  }
  expected.push_back(100.0f);
  return expected;
}

TEST(CtrlSettingsTest, FreshObjectReadsZerosWithProgress) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  auto sink = Make<RecordingSink>();
  Advise(control.Get(), sink.Get());
  ShortArray array(5, 0, 9);
  EXPECT_EQ(control->GetSetting(array.Address()), S_OK);
  for (ULONG k = 0; k < 5; ++k) EXPECT_EQ(array.At(k), 0) << k;
  EXPECT_EQ(sink->Percents(), (std::vector<float>{0, 0, 20, 40, 60, 80, 100}));
  for (const Event& e : sink->events) EXPECT_TRUE(e.wellFormed);
}

TEST(CtrlSettingsTest, ProgressSequencesOfEmptyAndLongArrays) {
  for (bool write : {false, true}) {
    ComPtr<IDVidCapCtrl> control = AttachedTo(sim::SimulatedCamera::Create());
    auto sink = Make<RecordingSink>();
    Advise(control.Get(), sink.Get());

    ShortArray empty(0);
    EXPECT_EQ(write ? control->SetSetting(empty.Address()) : control->GetSetting(empty.Address()),
              S_OK);
    EXPECT_EQ(sink->Percents(), (std::vector<float>{0, 100})) << write;

    sink->events.clear();
    ShortArray forty(40, 0, 0x1234);
    EXPECT_EQ(write ? control->SetSetting(forty.Address()) : control->GetSetting(forty.Address()),
              S_OK);
    EXPECT_EQ(sink->Percents().size(), 33u);
    EXPECT_EQ(sink->Percents(), BlockProgress(40)) << write;
    for (ULONG k = 31; k < 40; ++k) EXPECT_EQ(forty.At(k), 0x1234) << k;
  }
}

TEST(CtrlSettingsTest, ReadKeepsTheLowSixteenBitsAndIgnoresTheLowerBound) {
  auto camera = sim::SimulatedCamera::Create();
  camera->procAmp[0].value = 70000;
  camera->procAmp[1].value = -3;
  camera->procAmp.erase(2);  // hue: the read fails, the element becomes 0
  ComPtr<IDVidCapCtrl> control = AttachedTo(camera);
  ShortArray array(3, 7, 99);
  EXPECT_EQ(control->GetSetting(array.Address()), S_OK);
  EXPECT_EQ(array.At(0), 4464);
  EXPECT_EQ(array.At(1), -3);
  EXPECT_EQ(array.At(2), 0);
}

TEST(CtrlSettingsTest, WriteSignExtendsAndSkipsWhatCannotBeSet) {
  auto camera = sim::SimulatedCamera::Create();
  camera->procAmp[0].min = -100;
  camera->procAmp.erase(3);  // saturation: Has answers VCS_no
  ComPtr<IDVidCapCtrl> control = AttachedTo(camera);
  VidCapPropertySupport support = VCS_both;
  ASSERT_EQ(control->Has(VCP_Saturation, &support), S_OK);
  ASSERT_EQ(support, VCS_no);

  camera->ClearLog();
  ShortArray array(5, 0, 0);
  array.Set(0, -1);
  array.Set(1, 42);
  array.Set(3, 55);
  EXPECT_EQ(control->SetSetting(array.Address()), S_OK);
  EXPECT_EQ(camera->procAmp[0].value, -1);
  EXPECT_EQ(camera->procAmp[1].value, 42);
  for (const sim::Request& r : camera->Requests(sim::Op::KsProperty)) {
    bool write = (r.flags & 2) != 0 && (r.flags & 0x200) == 0;
    EXPECT_FALSE(write && r.id == 3) << "saturation was written";
  }
  // The array is not written.
  EXPECT_EQ(array.At(0), -1);
  EXPECT_EQ(array.At(3), 55);
}

TEST(CtrlSettingsTest, WrongShapesAndLockedArraysFireNothing) {
  ComPtr<IDVidCapCtrl> control = AttachedTo(sim::SimulatedCamera::Create());
  auto sink = Make<RecordingSink>();
  Advise(control.Get(), sink.Get());

  SAFEARRAYBOUND square[2] = {{3, 0}, {3, 0}};
  SAFEARRAY* twoD = SafeArrayCreate(VT_I2, 2, square);
  SAFEARRAYBOUND line = {5, 0};
  SAFEARRAY* longs = SafeArrayCreate(VT_I4, 1, &line);
  for (SAFEARRAY* array : {twoD, longs}) {
    EXPECT_EQ(control->GetSetting(&array), E_INVALIDARG);
    EXPECT_EQ(control->SetSetting(&array), E_INVALIDARG);
  }
  SafeArrayDestroy(twoD);
  SafeArrayDestroy(longs);

  // An array locked to its limit cannot be locked again: the lock's own
  // failure comes back.
  ShortArray locked(3);
  SAFEARRAY* raw = *locked.Address();
  raw->cLocks = 0xFFFF;
  HRESULT hr = control->GetSetting(&raw);
  raw->cLocks = 0;
  EXPECT_TRUE(FAILED(hr));
  EXPECT_NE(hr, E_INVALIDARG);
  EXPECT_TRUE(sink->events.empty());
}

// A descriptor that promises 31 elements without storage for them is
// refused before any element is read or written.
TEST(CtrlSettingsTest, ArraysWithoutDataAreRefused) {
  ComPtr<IDVidCapCtrl> control = AttachedTo(sim::SimulatedCamera::Create());
  auto sink = Make<RecordingSink>();
  Advise(control.Get(), sink.Get());
  SAFEARRAY* empty = nullptr;
  ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_I2, 1, &empty), S_OK);
  empty->cbElements = sizeof(SHORT);
  empty->rgsabound[0].cElements = 31;
  empty->rgsabound[0].lLbound = 0;
  ASSERT_EQ(empty->pvData, nullptr);
  EXPECT_EQ(control->GetSetting(&empty), E_INVALIDARG);
  EXPECT_EQ(control->SetSetting(&empty), E_INVALIDARG);
  EXPECT_EQ(empty->cLocks, 0u);
  EXPECT_TRUE(sink->events.empty());
  empty->rgsabound[0].cElements = 0;
  EXPECT_EQ(control->GetSetting(&empty), S_OK) << "no elements need no storage";
  SafeArrayDestroyDescriptor(empty);
}

}  // namespace
}  // namespace ctrltest
