// The connection point of DVidCapCtrl: container, Advise/Unadvise rules,
// enumerators, delivery order, slot reuse, and sinks that change the list
// while an event is delivered.
#include <olectl.h>

#include <string>
#include <vector>

#include "sim/families.h"
#include "tests/win/ctrl/ctrl_fixture.h"

namespace ctrltest {
namespace {

ULONG RefsOf(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// Fires two Progress events (0 and 100): a read of an empty block.
void FireTwice(IDVidCapCtrl* control) {
  ShortArray empty(0);
  EXPECT_EQ(control->GetSetting(empty.Address()), S_OK);
}

TEST(CtrlEventsTest, ContainerHoldsExactlyOnePoint) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(control.As(&container), S_OK);

  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point, nullptr);
  EXPECT_EQ(container->FindConnectionPoint(DIID__IDVidCapCtrlEvents, nullptr), E_POINTER);
  ASSERT_EQ(container->FindConnectionPoint(DIID__IDVidCapCtrlEvents, &point), S_OK);

  IID iid = IID_NULL;
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, DIID__IDVidCapCtrlEvents);
  ComPtr<IConnectionPointContainer> back;
  EXPECT_EQ(point->GetConnectionPointContainer(&back), S_OK);
  ComPtr<IUnknown> a, b;
  back.As(&a);
  control.As(&b);
  EXPECT_EQ(a, b);
  ComPtr<IConnectionPoint> again;
  EXPECT_EQ(point.As(&again), S_OK);

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
  IConnectionPoint* got[2] = {nullptr, nullptr};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(2, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(got[0], point.Get());
  got[0]->Release();
  EXPECT_EQ(points->Next(1, got, nullptr), S_FALSE);
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Skip(2), S_FALSE);
  EXPECT_EQ(points->Reset(), S_OK);
  ComPtr<IEnumConnectionPoints> clone;
  ASSERT_EQ(points->Clone(&clone), S_OK);
  EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
  EXPECT_EQ(got[0], point.Get());
  got[0]->Release();

  // The point and the enumerators keep the object alive.
  ULONG before = RefsOf(control.Get());
  points.Reset();
  clone.Reset();
  EXPECT_LT(RefsOf(control.Get()), before);
}

TEST(CtrlEventsTest, AdviseAndUnadviseRules) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  ComPtr<IConnectionPoint> point = EventsPoint(control.Get());
  ASSERT_TRUE(point);

  auto deaf = Make<RecordingSink>(false);  // IDispatch, but not the events
  DWORD cookie = 77;
  EXPECT_EQ(point->Advise(deaf.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(RefsOf(deaf.Get()), 1u);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
  auto sink = Make<RecordingSink>();
  EXPECT_EQ(point->Advise(sink.Get(), nullptr), E_POINTER);

  ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(RefsOf(sink.Get()), 2u);
  for (DWORD unknown : {DWORD{0}, cookie + 1, DWORD{0xFFFFFFFF}}) {
    EXPECT_EQ(point->Unadvise(unknown), CONNECT_E_NOCONNECTION) << unknown;
  }
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(RefsOf(sink.Get()), 1u);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  FireTwice(control.Get());
  EXPECT_TRUE(sink->events.empty());
}

TEST(CtrlEventsTest, SinksHearEventsInAdviseOrderAndFreedSlotsAreReused) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  ComPtr<IConnectionPoint> point = EventsPoint(control.Get());
  std::vector<std::string> order;
  auto first = Make<RecordingSink>();
  auto second = Make<RecordingSink>();
  auto third = Make<RecordingSink>();
  first->name = "first";
  second->name = "second";
  third->name = "third";
  for (auto* s : {first.Get(), second.Get(), third.Get()}) s->order = &order;

  DWORD c1 = 0, c2 = 0, c3 = 0;
  ASSERT_EQ(point->Advise(first.Get(), &c1), S_OK);
  ASSERT_EQ(point->Advise(second.Get(), &c2), S_OK);
  FireTwice(control.Get());
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "first", "second"}));

  ASSERT_EQ(point->Unadvise(c1), S_OK);
  ASSERT_EQ(point->Advise(third.Get(), &c3), S_OK);
  EXPECT_EQ(c3, c1);  // the freed first place
  order.clear();
  FireTwice(control.Get());
  EXPECT_EQ(order, (std::vector<std::string>{"third", "second", "third", "second"}));

  // EnumConnections lists the connections in slot order with their cookies.
  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(&connections), S_OK);
  CONNECTDATA data[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(data[0].dwCookie, c3);
  EXPECT_EQ(data[1].dwCookie, c2);
  ComPtr<IUnknown> thirdUnknown, secondUnknown;
  third.As(&thirdUnknown);
  second.As(&secondUnknown);
  EXPECT_EQ(data[0].pUnk, thirdUnknown.Get());
  EXPECT_EQ(data[1].pUnk, secondUnknown.Get());
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
  EXPECT_EQ(connections->Next(3, data, nullptr), E_INVALIDARG);
  thirdUnknown.Reset();
  secondUnknown.Reset();

  // Destroying the object releases every sink.
  connections.Reset();
  point.Reset();
  control.Reset();
  EXPECT_EQ(RefsOf(second.Get()), 1u);
  EXPECT_EQ(RefsOf(third.Get()), 1u);
}

// A sink that treats its argument as its own: overwrites a string argument's
// characters, then frees it.
class ScribblingSink : public NoDispatch<IDispatch> {
 public:
  int calls = 0;
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__IDVidCapCtrlEvents) {
      return Hand(ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  IFACEMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
    ++calls;
    if (params && params->cArgs == 1 && params->rgvarg[0].vt == VT_BSTR) {
      BSTR text = params->rgvarg[0].bstrVal;
      for (UINT i = 0; text && i < SysStringLen(text); ++i) text[i] = L'#';
      VariantClear(&params->rgvarg[0]);
    }
    return S_OK;
  }
};

// Each sink receives its own copy of the event's argument: what one sink
// does to it reaches neither the next sink nor the library.
TEST(CtrlEventsTest, EachSinkGetsItsOwnCopyOfTheArgument) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  auto scribbler = Make<ScribblingSink>();
  auto recorder = Make<RecordingSink>();
  auto again = Make<ScribblingSink>();
  ASSERT_NE(Advise(control.Get(), scribbler.Get()), 0u);
  ASSERT_NE(Advise(control.Get(), recorder.Get()), 0u);
  ASSERT_NE(Advise(control.Get(), again.Get()), 0u);
  EXPECT_EQ(control->put_BaseFilter(SimFilter(sim::MakeFamilyCamera(sim::Family::Saa8112)).Get()),
            S_OK);
  const std::vector<std::wstring> texts = recorder->Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(scribbler->calls, static_cast<int>(recorder->events.size()));
  EXPECT_EQ(again->calls, scribbler->calls);
  for (const std::wstring& text : texts) {
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find(L'#'), std::wstring::npos) << "a sink saw another sink's changes";
  }
}

TEST(CtrlEventsTest, SinksMayChangeTheListDuringDelivery) {
  ComPtr<IDVidCapCtrl> control = NewControl();
  ComPtr<IConnectionPoint> point = EventsPoint(control.Get());
  std::vector<std::string> order;
  auto a = Make<RecordingSink>();
  auto b = Make<RecordingSink>();
  auto c = Make<RecordingSink>();
  auto late = Make<RecordingSink>();
  a->name = "a";
  b->name = "b";
  c->name = "c";
  late->name = "late";
  for (auto* s : {a.Get(), b.Get(), c.Get(), late.Get()}) s->order = &order;
  DWORD ca = 0, cb = 0, cc = 0, clate = 0;
  ASSERT_EQ(point->Advise(a.Get(), &ca), S_OK);
  ASSERT_EQ(point->Advise(b.Get(), &cb), S_OK);
  ASSERT_EQ(point->Advise(c.Get(), &cc), S_OK);

  // On the first event: a unadvises itself and c, and advises a newcomer,
  // which takes a's freed slot 0 (already passed) - so this firing reaches b
  // only after a, and neither c nor the newcomer.
  bool changed = false;
  a->onEvent = [&](const Event&) {
    if (changed) return;
    changed = true;
    EXPECT_EQ(point->Unadvise(ca), S_OK);
    EXPECT_EQ(point->Unadvise(cc), S_OK);
    EXPECT_EQ(point->Advise(late.Get(), &clate), S_OK);
  };
  // b calls back into the object while it is being delivered to.
  int nested = 0;
  b->onEvent = [&](const Event&) {
    VidCapPropertySupport support = VCS_no;
    EXPECT_EQ(control->Has(VCP_Brightness, &support), E_NOINTERFACE);
    if (nested++ == 0) FireTwice(control.Get());
  };
  ShortArray one(1);
  ASSERT_EQ(control->GetSetting(one.Address()), S_OK);
  // Progress 0: a, b (+ nested 0 and 100 to late and b), then 0 and 100 to
  // late and b.
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "late", "b", "late", "b", "late", "b",
                                             "late", "b"}));
  EXPECT_EQ(a->events.size(), 1u);
  EXPECT_TRUE(c->events.empty());
  EXPECT_EQ(clate, ca);
  EXPECT_EQ(RefsOf(a.Get()), 1u);
  EXPECT_EQ(RefsOf(c.Get()), 1u);
}

}  // namespace
}  // namespace ctrltest
