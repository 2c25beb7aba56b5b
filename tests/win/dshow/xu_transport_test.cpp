// The extension-unit transport of the platform adapter over the COM
// simulated filter of a rig camera: the driver's log shows what the adapter
// sent (KSP_NODE with the TOPOLOGY flag, node ids that are not unit ids),
// and discovery through it finds every unit and control the camera has.
#include <windows.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstring>

#include "dshow/xu_transport.h"
#include "sim/com/sim_filter.h"
#include "sim/rig_devices.h"
#include "xu/discovery.h"

namespace lumora {
namespace {

using Microsoft::WRL::ComPtr;

constexpr Guid kLed = Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D221F");
constexpr Guid kFov = Guid::Parse("49E40215-F434-47FE-B158-0E885023E51B");
constexpr Guid kMotor = Guid::Parse("63610682-5070-49AB-B8CC-B3855E8D2256");

// The KSP_NODE fields of a logged request, read at the platform's offsets.
struct Sent {
  Guid set;
  uint32_t id, flags, node, reserved;
};
Sent Decode(const sim::Request& r) {
  Sent s{};
  std::memcpy(&s.set, r.property.data(), sizeof s.set);
  s.id = static_cast<uint32_t>(r.PropertyLong(16));
  s.flags = static_cast<uint32_t>(r.PropertyLong(20));
  s.node = static_cast<uint32_t>(r.PropertyLong(24));
  s.reserved = static_cast<uint32_t>(r.PropertyLong(28));
  return s;
}

class XuTransportTest : public ::testing::Test {
 protected:
  void Open(const char* model) {
    std::vector<sim::RigDevice> devices;
    ASSERT_TRUE(sim::MakeRigDevices("xu", &devices));
    for (const sim::RigDevice& d : devices) {
      if (d.xuModel == model) cam = d.camera;
    }
    ASSERT_TRUE(cam);
    ASSERT_EQ(sim::CreateSimFilter(cam, filter.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(OpenXuTransport(filter.Get(), &transport), S_OK);
    ASSERT_TRUE(transport);
  }
  void TearDown() override {
    transport.reset();
    filter.Reset();
    EXPECT_EQ(sim::SimFilterObjectCount(), 0);
  }

  std::shared_ptr<sim::SimulatedCamera> cam;
  ComPtr<IBaseFilter> filter;
  std::unique_ptr<xu::XuTransport> transport;
};

TEST_F(XuTransportTest, ListsTheDevSpecificNodesOnly) {
  Open("logitech");
  std::vector<uint32_t> nodes;
  ASSERT_EQ(transport->ExtensionNodes(&nodes), S_OK);
  // Nodes 0 and 1 are the camera terminal and the processing unit.
  EXPECT_EQ(nodes, (std::vector<uint32_t>{2, 3, 4}));
}

TEST_F(XuTransportTest, SendsNodeRequestsWithTheTopologyFlag) {
  Open("logitech");
  cam->ClearLog();
  uint8_t value[3] = {};
  xu::TransportReply reply = transport->NodeProperty(xu::kTypeGet, 2, kLed, 1, value, sizeof value);
  EXPECT_EQ(reply.result, S_OK);
  EXPECT_EQ(reply.bytesReturned, 3u);
  EXPECT_EQ(value[0], 3) << "LED mode auto";
  ASSERT_EQ(cam->Requests(sim::Op::KsProperty).size(), 1u);
  const sim::Request r = cam->Requests(sim::Op::KsProperty)[0];
  EXPECT_EQ(r.propertyLength, 32u) << "a KSP_NODE";
  Sent s = Decode(r);
  EXPECT_EQ(s.set, kLed);
  EXPECT_EQ(s.id, 1u);
  EXPECT_EQ(s.flags, 0x10000001u) << "GET | TOPOLOGY";
  EXPECT_EQ(s.node, 2u);
  EXPECT_EQ(s.reserved, 0u);
}

TEST_F(XuTransportTest, DiscoveryFindsTheUnitsOnNodesThatAreNotTheirIds) {
  Open("logitech");
  xu::DiscoveryOptions options;
  options.candidates = {kLed, kFov, kMotor};
  std::vector<xu::UnitFacts> units;
  ASSERT_TRUE(xu::DiscoverUnits(*transport, options, &units).ok());
  ASSERT_EQ(units.size(), 3u);
  // The rig's units 4, 6 and 9 sit on nodes 2, 3 and 4.
  const std::pair<Guid, uint32_t> expected[] = {{kLed, 2}, {kFov, 3}, {kMotor, 4}};
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(units[i].guid);
    EXPECT_EQ(*units[i].guid, expected[i].first);
    EXPECT_EQ(units[i].nodeId, expected[i].second);
  }
  ASSERT_EQ(units[1].controls.size(), 1u);
  EXPECT_EQ(units[1].controls[0].selector, 5u) << "field of view";
  EXPECT_EQ(units[1].controls[0].maximum, xu::Bytes{2});
  // Every request went to a node, none to a node id equal to a unit id of
  // another unit's node.
  for (const sim::Request& r : cam->Requests(sim::Op::KsProperty)) {
    Sent s = Decode(r);
    EXPECT_TRUE(s.flags & 0x10000000u);
    if (s.set == kLed && s.id != 0) {
      EXPECT_EQ(s.node, 2u);
    }
    if (s.set == kFov && s.id != 0) {
      EXPECT_EQ(s.node, 3u);
    }
  }
}

TEST_F(XuTransportTest, TheUnknownUnitIsNamedByItsSetListAndKeepsItsGap) {
  Open("unknown");
  std::vector<xu::UnitFacts> units;
  ASSERT_TRUE(xu::DiscoverUnits(*transport, xu::DiscoveryOptions{}, &units).ok());
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].guidSource, xu::GuidSource::kSetSupport);
  std::vector<uint32_t> selectors;
  for (const xu::ControlFacts& c : units[0].controls) selectors.push_back(c.selector);
  EXPECT_EQ(selectors, (std::vector<uint32_t>{1, 2, 4}));
  ASSERT_TRUE(units[0].controls[1].length);
  EXPECT_EQ(*units[0].controls[1].length, 46u);
  EXPECT_FALSE(units[0].controls[1].defaultValue) << "no default for the long control";
  EXPECT_FALSE(units[0].controls[2].CanSet()) << "selector 4 is read-only";
}

TEST_F(XuTransportTest, AFilterWithoutTopologyHasNoTransport) {
  std::vector<sim::RigDevice> devices;
  ASSERT_TRUE(sim::MakeRigDevices("xu", &devices));
  cam = devices[0].camera;
  cam->hasTopologyInfo = false;
  ASSERT_EQ(sim::CreateSimFilter(cam, filter.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(OpenXuTransport(filter.Get(), &transport), E_NOINTERFACE);
  EXPECT_FALSE(transport);
}

}  // namespace
}  // namespace lumora
