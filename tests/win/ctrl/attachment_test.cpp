// The three entries of DVidCapCtrl: their failure rules, attachment through
// them, the DebugLog texts of each detection outcome as events, and what a
// sink sees when it calls back during attachment.
#include <functional>
#include <string>
#include <vector>

#include "sim/families.h"
#include "tests/win/ctrl/ctrl_fixture.h"

namespace ctrltest {
namespace {

enum class Entry { Capture, Base, Info };

const char* EntryName(Entry e) {
  switch (e) {
    case Entry::Capture: return "CaptureFilter";
    case Entry::Base: return "BaseFilter";
    case Entry::Info: return "FilterInfo";
  }
  return "?";
}

HRESULT Put(IDVidCapCtrl* control, Entry entry, IUnknown* argument) {
  ComPtr<IDispatch> dispatch;
  if (argument) argument->QueryInterface(IID_IDispatch, &dispatch);
  switch (entry) {
    case Entry::Capture: return control->put_CaptureFilter(argument ? dispatch.Get() : nullptr);
    case Entry::Base: return control->put_BaseFilter(argument);
    case Entry::Info: return control->put_FilterInfo(argument ? dispatch.Get() : nullptr);
  }
  return E_UNEXPECTED;
}

ULONG RefsOf(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

std::shared_ptr<sim::SimulatedCamera> PlainCamera(bool ksPropertySet = true) {
  auto camera = sim::SimulatedCamera::Create();
  camera->hasKsPropertySet = ksPropertySet;
  return camera;
}

ComPtr<IUnknown> AsUnknown(IUnknown* p) { return ComPtr<IUnknown>(p); }

// A good argument for each entry (a plain camera with IKsPropertySet).
ComPtr<IUnknown> GoodArgument(Entry entry) {
  switch (entry) {
    case Entry::Capture: return AsUnknown(DescriptorOf(PlainCamera(), nullptr).Get());
    case Entry::Base: return AsUnknown(SimFilter(PlainCamera()).Get());
    case Entry::Info: {
      auto info = Make<FakeFilterInfo>();
      SimFilter(PlainCamera()).As(&info->filter);
      return AsUnknown(info.Get());
    }
  }
  return nullptr;
}

struct FailureRow {
  const char* name;
  Entry entry;
  std::function<ComPtr<IUnknown>()> argument;  // null result: a null argument
  HRESULT expected;
  bool attached;
};

std::vector<FailureRow> FailureRows() {
  auto descriptorWith = [](std::function<void(FakeDescriptor&)> change) {
    return [change]() {
      auto d = Make<FakeDescriptor>();
      change(*d.Get());
      return AsUnknown(d.Get());
    };
  };
  auto infoWith = [](std::function<void(FakeFilterInfo&)> change) {
    return [change]() {
      auto i = Make<FakeFilterInfo>();
      change(*i.Get());
      return AsUnknown(i.Get());
    };
  };
  auto monikerTo = [](ComPtr<IUnknown> target, HRESULT bind) {
    auto m = Make<FakeMoniker>();
    m->target = target;
    m->bindResult = bind;
    return AsUnknown(m.Get());
  };
  auto noKs = [] { return AsUnknown(SimFilter(PlainCamera(false)).Get()); };
  return {
      {"null", Entry::Capture, [] { return ComPtr<IUnknown>(); }, E_POINTER, false},
      {"null", Entry::Base, [] { return ComPtr<IUnknown>(); }, E_POINTER, false},
      {"null", Entry::Info, [] { return ComPtr<IUnknown>(); }, E_POINTER, false},
      {"not a VCapFilter", Entry::Capture, infoWith([](FakeFilterInfo&) {}), E_INVALIDARG, false},
      {"not a filter", Entry::Base, [] { return AsUnknown(Make<PlainObject>().Get()); },
       E_INVALIDARG, false},
      {"not a FilterInfo", Entry::Info, descriptorWith([](FakeDescriptor&) {}), E_INVALIDARG,
       false},
      {"no moniker", Entry::Capture, descriptorWith([](FakeDescriptor&) {}), E_NOINTERFACE, false},
      {"moniker read fails", Entry::Capture,
       descriptorWith([](FakeDescriptor& d) { d.monikerResult = E_ACCESSDENIED; }), E_NOINTERFACE,
       false},
      {"moniker not an IMoniker", Entry::Capture,
       descriptorWith([](FakeDescriptor& d) { d.moniker = Make<PlainObject>(); }), E_FAIL, false},
      {"binding fails", Entry::Capture,
       descriptorWith([=](FakeDescriptor& d) { d.moniker = monikerTo(nullptr, E_ACCESSDENIED); }),
       E_FAIL, false},
      {"bound object not a filter", Entry::Capture, descriptorWith([=](FakeDescriptor& d) {
         d.moniker = monikerTo(AsUnknown(Make<PlainObject>().Get()), S_OK);
       }),
       E_INVALIDARG, false},
      {"no filter", Entry::Info, infoWith([](FakeFilterInfo&) {}), E_FAIL, false},
      {"filter read fails", Entry::Info,
       infoWith([](FakeFilterInfo& i) { i.filterResult = E_ACCESSDENIED; }), E_FAIL, false},
      {"no IKsPropertySet", Entry::Base, noKs, E_NOINTERFACE, true},
      {"no IKsPropertySet", Entry::Capture,
       descriptorWith([=](FakeDescriptor& d) { d.moniker = monikerTo(noKs(), S_OK); }),
       E_NOINTERFACE, true},
      {"no IKsPropertySet", Entry::Info, infoWith([=](FakeFilterInfo& i) { i.filter = noKs(); }),
       E_NOINTERFACE, true},
      {"good", Entry::Base, [] { return GoodArgument(Entry::Base); }, S_OK, true},
      {"good", Entry::Capture, [] { return GoodArgument(Entry::Capture); }, S_OK, true},
      {"good", Entry::Info, [] { return GoodArgument(Entry::Info); }, S_OK, true},
  };
}

TEST(CtrlEntryTest, FailureTable) {
  for (const FailureRow& row : FailureRows()) {
    SCOPED_TRACE(std::string(EntryName(row.entry)) + ": " + row.name);
    ComPtr<IDVidCapCtrl> control = NewControl();
    ASSERT_TRUE(control);
    ComPtr<IUnknown> argument = row.argument();
    EXPECT_EQ(Put(control.Get(), row.entry, argument.Get()), row.expected);

    HRESULT hr = S_OK;
    KnownChipsetCat chipset = ChipsetOf(control.Get(), &hr);
    VidCapPropertySupport support = VCS_no;
    if (!row.attached) {
      EXPECT_EQ(hr, E_NOINTERFACE);
      EXPECT_EQ(control->Has(VCP_Brightness, &support), E_NOINTERFACE);
    } else {
      // Attached, also when the entry answered a failure: plain mode.
      EXPECT_EQ(hr, S_OK);
      EXPECT_EQ(chipset, CSX_Unknown);
      EXPECT_EQ(control->Has(VCP_Brightness, &support), S_OK);
      EXPECT_EQ(support, VCS_both);
    }
    // The descriptor and the FilterInfo object stay referenced only after a
    // successful attachment through them.
    if (argument && row.entry != Entry::Base) {
      bool kept = row.expected == S_OK;
      EXPECT_EQ(RefsOf(argument.Get()), kept ? 2u : 1u);
    }
    // Every entry answers E_ABORT once attached, and takes nothing; before
    // that the object still takes a filter.
    for (Entry next : {Entry::Capture, Entry::Base, Entry::Info}) {
      ComPtr<IUnknown> good = GoodArgument(next);
      ULONG before = RefsOf(good.Get());
      if (row.attached) {
        EXPECT_EQ(Put(control.Get(), next, good.Get()), E_ABORT) << EntryName(next);
        EXPECT_EQ(RefsOf(good.Get()), before) << EntryName(next);
        EXPECT_EQ(Put(control.Get(), next, nullptr), E_ABORT) << EntryName(next);
      }
    }
    if (!row.attached) {
      EXPECT_EQ(control->put_BaseFilter(GoodArgument(Entry::Base).Get()), S_OK);
      EXPECT_EQ(ChipsetOf(control.Get(), &hr), CSX_Unknown);
      EXPECT_EQ(hr, S_OK);
    }
    if (argument) {
      control.Reset();
      EXPECT_EQ(RefsOf(argument.Get()), 1u) << "released with the object";
    }
  }
}

TEST(CtrlEntryTest, CaptureFilterBindsAsSpecifiedAndCallsTheInterface) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  auto camera = sim::MakeFamilyCamera(sim::Family::Saa8116);
  auto descriptor = DescriptorOf(camera, L"VID_0471&PID_0311");
  auto* moniker = static_cast<FakeMoniker*>(descriptor->moniker.Get());
  EXPECT_EQ(control->put_CaptureFilter(descriptor.Get()), S_OK);
  EXPECT_EQ(moniker->binds, 1);
  EXPECT_TRUE(moniker->boundAsSpecified);
  HRESULT hr = S_OK;
  EXPECT_EQ(ChipsetOf(control.Get(), &hr), CSX_SAA8116);
  // The handler speaks to the bound filter.
  camera->ClearLog();
  LONG value = 0;
  EXPECT_EQ(control->get_Prop(VCP_Brightness, &value), S_OK);
  EXPECT_FALSE(camera->log.empty());
}

TEST(CtrlEntryTest, FailedCaptureFilterKeepsItsDeviceStringForALaterBaseFilter) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  auto sink = Make<RecordingSink>();
  Advise(control.Get(), sink.Get());

  auto descriptor = Make<FakeDescriptor>();
  auto moniker = Make<FakeMoniker>();
  moniker->bindResult = E_ACCESSDENIED;
  descriptor->moniker = moniker;
  descriptor->vidPid = L"VID_0471&PID_0308";
  EXPECT_EQ(control->put_CaptureFilter(descriptor.Get()), E_FAIL);
  EXPECT_EQ(RefsOf(descriptor.Get()), 1u);

  // The SAA8112 device string leads a bare filter to the SAA8112 family: no
  // "VID-PID Search failed".
  auto camera = sim::MakeFamilyCamera(sim::Family::Saa8112);
  EXPECT_EQ(control->put_BaseFilter(SimFilter(camera).Get()), S_OK);
  HRESULT hr = S_OK;
  EXPECT_EQ(ChipsetOf(control.Get(), &hr), CSX_SAA8112);
  EXPECT_EQ(sink->Texts(),
            std::vector<std::wstring>{GuidMessage(L"35dbc300-f98f-11d2-afd0-00104b13eaf2")});
}

TEST(CtrlEntryTest, DescriptorWithoutMonikerLeavesTheObjectOpen) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  auto descriptor = Make<FakeDescriptor>();
  descriptor->vidPid = L"VID_0471&PID_0308";
  EXPECT_EQ(control->put_CaptureFilter(descriptor.Get()), E_NOINTERFACE);
  // The descriptor was not read so far: no device string was kept.
  auto sink = Make<RecordingSink>();
  Advise(control.Get(), sink.Get());
  EXPECT_EQ(control->put_BaseFilter(SimFilter(PlainCamera(false)).Get()), E_NOINTERFACE);
  EXPECT_EQ(sink->Texts().size(), 4u);
}

// --- DebugLog texts of each detection outcome --------------------------------------

const wchar_t kKsFailed[] = L"KS Property Interface Query failed";
const wchar_t kVidPidFailed[] = L"VID-PID Search failed";
const wchar_t kPageSearchFailed[] = L"Property Page Search failed - using plain mode";
const wchar_t kNoPrivate[] = L"No Private Property interface - using plain mode";

const wchar_t kBranch[] = L"SYSTEM\\CurrentControlSet\\Control\\MediaInterfaces";
const wchar_t kTestInterface[] = L"LumoraCtrlTest_Saa8112";

// A MediaInterfaces entry naming the SAA8112 set, for the life of the object.
class MediaInterfaceEntry {
 public:
  MediaInterfaceEntry() {
    std::wstring path = std::wstring(kBranch) + L"\\" + kTestInterface;
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const GUID set = {0x35DBC300, 0xF98F, 0x11D2, {0xAF, 0xD0, 0x00, 0x10, 0x4B, 0x13, 0xEA, 0xF2}};
    EXPECT_EQ(
        RegSetValueExW(key, L"IID", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&set), sizeof set),
        ERROR_SUCCESS);
    RegCloseKey(key);
  }
  ~MediaInterfaceEntry() {
    HKEY branch = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBranch, 0, KEY_ALL_ACCESS, &branch) == ERROR_SUCCESS) {
      RegDeleteKeyW(branch, kTestInterface);
      RegCloseKey(branch);
    }
  }
  MediaInterfaceEntry(const MediaInterfaceEntry&) = delete;
  MediaInterfaceEntry& operator=(const MediaInterfaceEntry&) = delete;
};

// What a sink saw while attachment ran, per DebugLog event.
struct Callback {
  HRESULT nestedEntry;  // BaseFilter from inside the event
  HRESULT has;          // Has(VCP_Brightness)
  HRESULT chipset;      // Chipset
};

TEST(CtrlEntryTest, DebugLogTextsOfEachDetectionOutcome) {
  struct Row {
    const char* name;
    const wchar_t* vidPid;  // null: attach through BaseFilter
    bool saa8112Camera;     // otherwise a camera without private sets
    bool ksPropertySet;
    bool registryEntry;
    HRESULT result;
    std::vector<std::wstring> texts;
    KnownChipsetCat chipset;
  };
  const std::wstring saa8112 = GuidMessage(L"35dbc300-f98f-11d2-afd0-00104b13eaf2");
  // clang-format off
  const Row rows[] = {
      {"VID/PID hit", L"VID_0471&PID_0308", true, true, false, S_OK, {saa8112}, CSX_SAA8112},
      {"VID/PID hit without IKsPropertySet", L"VID_0471&PID_0308", true, false, false,
       E_NOINTERFACE, {kKsFailed, saa8112}, CSX_SAA8112},
      {"registry search finds the set", nullptr, true, true, true, S_OK,
       {kVidPidFailed, saa8112}, CSX_SAA8112},
      {"registry search finds nothing", L"VID_0471&PID_030c", false, true, true, S_OK,
       {kVidPidFailed, kPageSearchFailed, kNullGuidMessage}, CSX_Unknown},
      {"no hit, no IKsPropertySet", nullptr, false, false, false, E_NOINTERFACE,
       {kKsFailed, kVidPidFailed, kNoPrivate, kNullGuidMessage}, CSX_Unknown},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<MediaInterfaceEntry> entry;
    if (row.registryEntry) entry = std::make_unique<MediaInterfaceEntry>();
    auto camera = row.saa8112Camera ? sim::MakeFamilyCamera(sim::Family::Saa8112)
                                    : sim::SimulatedCamera::Create();
    camera->hasKsPropertySet = row.ksPropertySet;

    ComPtr<IDVidCapCtrl> control = NewControl();
    auto sink = Make<RecordingSink>();
    Advise(control.Get(), sink.Get());
    std::vector<Callback> seen;
    sink->onEvent = [&](const Event&) {
      Callback c;
      c.nestedEntry = control->put_BaseFilter(SimFilter(PlainCamera()).Get());
      VidCapPropertySupport support = VCS_no;
      c.has = control->Has(VCP_Brightness, &support);
      KnownChipsetCat chipset = CSX_Unknown;
      c.chipset = control->get_Chipset(&chipset);
      seen.push_back(c);
    };

    HRESULT hr = row.vidPid ? control->put_CaptureFilter(DescriptorOf(camera, row.vidPid).Get())
                            : control->put_BaseFilter(SimFilter(camera).Get());
    EXPECT_EQ(hr, row.result);
    EXPECT_EQ(sink->Texts(), row.texts);
    for (const Event& e : sink->events) EXPECT_TRUE(e.wellFormed);
    HRESULT chipsetResult = S_OK;
    EXPECT_EQ(ChipsetOf(control.Get(), &chipsetResult), row.chipset);

    // Every text arrives while the filter is attached; the handler is there
    // only for the final GUID message.
    ASSERT_EQ(seen.size(), row.texts.size());
    for (size_t i = 0; i < seen.size(); ++i) {
      bool last = i + 1 == seen.size();
      EXPECT_EQ(seen[i].nestedEntry, E_ABORT) << i;
      EXPECT_EQ(seen[i].chipset, S_OK) << i;
      EXPECT_EQ(seen[i].has, last ? S_OK : E_NOINTERFACE) << i;
    }
  }
}

}  // namespace
}  // namespace ctrltest
