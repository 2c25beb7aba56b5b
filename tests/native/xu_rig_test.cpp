// The rig's cameras with extension units answer as the platform documents
// the in-box UVC driver (see sim/extension_units.h): requests are built here
// byte by byte at the documented KSP_NODE offsets (Set 0, Id 16, Flags 20,
// NodeId 24, Reserved 28) and the replies read at the documented
// KSPROPERTY_DESCRIPTION (40 bytes) and KSPROPERTY_MEMBERSHEADER (16 bytes)
// offsets, so neither the library's layouts nor the rig's are trusted.
// Their faults, saved values and power cycles follow the rig's other
// controls.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/rig_devices.h"

namespace lumora::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr Guid kLed = Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D221F");
constexpr Guid kUnknown = Guid::Parse("A7C3E1F0-5B2D-4E8A-9F61-3D0C2B4A5E97");
constexpr uint32_t kGet = 0x1, kSet = 0x2, kSetSupport = 0x100, kBasicSupport = 0x200,
                   kDefaultValues = 0x10000, kTopology = 0x10000000;
constexpr HResult kMoreData = static_cast<HResult>(0x800700EAu);
constexpr HResult kSetMissing = static_cast<HResult>(0x80070492u);

uint32_t U32(const Bytes& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{b[at + i]} << (8 * i);
  return v;
}

struct Reply {
  HResult result;
  uint32_t returned;
  Bytes data;
};

// One KSP_NODE request of `size` bytes of data.
Reply Ask(SimulatedCamera& cam, uint32_t flags, uint32_t node, const Guid& set, uint32_t id,
          uint32_t size, Bytes data = {}) {
  uint8_t request[32] = {};
  std::memcpy(request, &set, 16);  // a GUID's in-memory bytes
  for (int i = 0; i < 4; ++i) {
    request[16 + i] = static_cast<uint8_t>(id >> (8 * i));
    request[20 + i] = static_cast<uint8_t>(flags >> (8 * i));
    request[24 + i] = static_cast<uint8_t>(node >> (8 * i));
  }
  data.resize(size);
  uint32_t returned = 0;
  HResult h =
      cam.KsProperty(request, sizeof request, size ? data.data() : nullptr, size, &returned);
  return {h, returned, data};
}

std::shared_ptr<SimulatedCamera> Camera(const std::vector<RigDevice>& devices, const char* model) {
  for (const RigDevice& d : devices) {
    if (d.xuModel == model) return d.camera;
  }
  return nullptr;
}

TEST(RigExtensionUnits, LengthAndValueAsTheDriverAnswers) {
  auto cam = Camera(ExtensionUnitDevices(), "logitech");
  ASSERT_TRUE(cam);
  Reply length = Ask(*cam, kGet | kTopology, 2, kLed, 1, 0);
  EXPECT_EQ(length.result, kMoreData);
  EXPECT_EQ(length.returned, 3u);
  Reply shortBuffer = Ask(*cam, kGet | kTopology, 2, kLed, 1, 2);
  EXPECT_EQ(shortBuffer.result, kMoreData);
  Reply value = Ask(*cam, kGet | kTopology, 2, kLed, 1, 3);
  EXPECT_EQ(value.result, hr::Ok);
  EXPECT_EQ(value.data, (Bytes{3, 0, 10}));
  // Only on its node, and only as a node request.
  EXPECT_EQ(Ask(*cam, kGet | kTopology, 3, kLed, 1, 3).result, kSetMissing);
  EXPECT_EQ(Ask(*cam, kGet, 2, kLed, 1, 3).result, kSetMissing);
  EXPECT_EQ(Ask(*cam, kSet | kTopology, 2, kLed, 1, 2, {1, 2}).result, hr::InvalidArg);
  EXPECT_EQ(Ask(*cam, kSet | kTopology, 2, kLed, 1, 3, {1, 0, 7}).result, hr::Ok);
  EXPECT_EQ(cam->FindXuControl(4, 1)->current, (Bytes{1, 0, 7}));
}

TEST(RigExtensionUnits, RangesComeInTheDocumentedStages) {
  auto cam = Camera(ExtensionUnitDevices(), "logitech");
  Reply flags = Ask(*cam, kBasicSupport | kTopology, 2, kLed, 1, 4);
  EXPECT_EQ(flags.returned, 4u);
  EXPECT_EQ(U32(flags.data, 0), kGet | kSet);
  Reply head = Ask(*cam, kBasicSupport | kTopology, 2, kLed, 1, 40);
  EXPECT_EQ(head.returned, 40u);
  const uint32_t whole = U32(head.data, 4);  // DescriptionSize
  EXPECT_EQ(whole, 40u + 16u + 3 * 3u);
  Reply full = Ask(*cam, kBasicSupport | kTopology, 2, kLed, 1, whole);
  ASSERT_EQ(full.returned, whole);
  EXPECT_EQ(U32(full.data, 32), 1u) << "one members list";
  EXPECT_EQ(U32(full.data, 40), 1u) << "KSPROPERTY_MEMBER_RANGES";
  EXPECT_EQ(U32(full.data, 44), 9u) << "MembersSize";
  // Resolution, minimum, maximum, each of the control's length.
  EXPECT_EQ(Bytes(full.data.begin() + 56, full.data.end()), (Bytes{1, 1, 1, 0, 0, 1, 3, 0, 255}));
  Reply def = Ask(*cam, kDefaultValues | kTopology, 2, kLed, 1, 40 + 16 + 3);
  ASSERT_EQ(def.result, hr::Ok);
  EXPECT_EQ(U32(def.data, 40), 3u) << "KSPROPERTY_MEMBER_VALUES";
  EXPECT_EQ(U32(def.data, 48), 1u) << "MembersCount";
  EXPECT_EQ(U32(def.data, 52), 1u) << "KSPROPERTY_MEMBER_FLAG_DEFAULT";
  EXPECT_EQ(Bytes(def.data.begin() + 56, def.data.end()), (Bytes{3, 0, 10}));
}

TEST(RigExtensionUnits, UnitInfoAndSetListOfTheUnknownUnit) {
  auto cam = Camera(ExtensionUnitDevices(), "unknown");
  Reply info = Ask(*cam, kGet | kTopology, 2, kUnknown, 0, 64);
  ASSERT_EQ(info.result, hr::Ok);
  ASSERT_EQ(info.returned, 19u);
  // guidExtensionCode as the descriptor holds it: Data1 little-endian.
  EXPECT_EQ(info.data[0], 0xF0);
  EXPECT_EQ(info.data[3], 0xA7);
  EXPECT_EQ(info.data[16], 4) << "bNumControls: the highest selector";
  Reply sets = Ask(*cam, kSetSupport | kTopology, 2, Guid{}, 0, 16);
  ASSERT_EQ(sets.result, hr::Ok);
  EXPECT_EQ(Bytes(sets.data.begin(), sets.data.begin() + 4), (Bytes{0xF0, 0xE1, 0xC3, 0xA7}));
  // The gap, the 46-byte control without a default, the read-only control.
  EXPECT_EQ(Ask(*cam, kGet | kTopology, 2, kUnknown, 3, 0).result,
            static_cast<HResult>(0x80070490u));
  EXPECT_EQ(Ask(*cam, kGet | kTopology, 2, kUnknown, 2, 0).returned, 46u);
  EXPECT_TRUE(hr::Failed(Ask(*cam, kDefaultValues | kTopology, 2, kUnknown, 2, 200).result));
  EXPECT_EQ(Ask(*cam, kGet | kTopology, 2, kUnknown, 4, 4).result, hr::Ok);
  EXPECT_EQ(Ask(*cam, kSet | kTopology, 2, kUnknown, 4, 4).result, hr::InvalidArg);
  auto led = Camera(ExtensionUnitDevices(), "logitech");
  EXPECT_EQ(Ask(*led, kSetSupport | kTopology, 2, Guid{}, 0, 16).result, kSetMissing)
      << "known units do not list their sets";
}

TEST(RigExtensionUnits, FaultsAreAllOrNothing) {
  std::vector<RigDevice> devices;
  ASSERT_TRUE(MakeRigDevices("xu", &devices));
  EXPECT_FALSE(ApplyRigFaults("1:xu/4.1:stall,1:xu/99.1:stall", devices)) << "no unit 99";
  EXPECT_FALSE(ApplyRigFaults("1:xu/4.1:stall,1:xu/4.1:melt", devices)) << "no such fault";
  EXPECT_FALSE(ApplyRigFaults("1:xu/2.1:stall", devices)) << "node 2 is unit 4";
  EXPECT_FALSE(devices[0].camera->FindXuControl(4, 1)->faults.stall);
  ASSERT_TRUE(ApplyRigFaults("1:xu/4.1:timeout,3:xu/5.2:short-reply", devices));
  EXPECT_EQ(Ask(*devices[0].camera, kGet | kTopology, 2, kLed, 1, 3).result,
            static_cast<HResult>(0x80070079u));
  Reply cut = Ask(*devices[2].camera, kGet | kTopology, 2, kUnknown, 2, 46);
  EXPECT_EQ(cut.returned, 45u);
  ASSERT_TRUE(ApplyRigFaults("3:xu/5.1:length-changes", devices));
  auto& cam = *devices[2].camera;
  EXPECT_NE(Ask(cam, kGet | kTopology, 2, kUnknown, 1, 0).returned,
            Ask(cam, kGet | kTopology, 2, kUnknown, 1, 0).returned);
  // A unit whose node keeps its GUID to itself.
  EXPECT_FALSE(ApplyRigFaults("3:xu/5:no-set-list,3:xu/5:melt", devices));
  EXPECT_FALSE(ApplyRigFaults("3:xu/7:no-set-list", devices)) << "no unit 7";
  EXPECT_EQ(Ask(cam, kSetSupport | kTopology, 2, Guid{}, 0, 16).result, hr::Ok);
  ASSERT_TRUE(ApplyRigFaults("3:xu/5:no-set-list", devices));
  EXPECT_EQ(Ask(cam, kSetSupport | kTopology, 2, Guid{}, 0, 16).result, kSetMissing);
  EXPECT_EQ(Ask(cam, kGet | kTopology, 2, kUnknown, 1, 2).result, hr::Ok) << "its GUID still answers";
}

TEST(RigExtensionUnits, ValuesAreSavedAndForgottenWithPower) {
  std::vector<RigDevice> devices;
  ASSERT_TRUE(MakeRigDevices("xu", &devices));
  devices[0].camera->FindXuControl(6, 5)->current = {2};
  const std::string saved = FormatRigState(devices);
  EXPECT_NE(saved.find("xu 6 5 02\n"), std::string::npos);
  std::vector<RigDevice> other;
  ASSERT_TRUE(MakeRigDevices("xu", &other));
  ASSERT_TRUE(ApplyRigState(saved, other));
  EXPECT_EQ(other[0].camera->FindXuControl(6, 5)->current, Bytes{2});
  std::string wrongLength = saved;
  wrongLength.replace(wrongLength.find("xu 6 5 02"), 9, "xu 6 5 0202");
  EXPECT_FALSE(ApplyRigState(wrongLength, other));
  // A resume: the camera keeps its units, with their defaults.
  std::vector<PlugEntry> entries;
  ASSERT_TRUE(ParsePlugState("lumora-sim-plug 1\nresumed 1 6a1b2c3\n", &entries));
  ASSERT_TRUE(ApplyPlugState(entries, &other));
  EXPECT_EQ(other[0].camera->FindXuControl(6, 5)->current, Bytes{0});
  // A replug: a fresh camera of the same model, units and all.
  ASSERT_TRUE(ParsePlugState("lumora-sim-plug 1\nplugged 2 6a1b2c3\n", &entries));
  std::shared_ptr<SimulatedCamera> before = other[0].camera;
  ApplyPlugState(entries, &other);
  EXPECT_NE(other[0].camera, before);
  EXPECT_EQ(other[0].camera->extensionUnits.size(), 3u);
}

}  // namespace
}  // namespace lumora::sim
