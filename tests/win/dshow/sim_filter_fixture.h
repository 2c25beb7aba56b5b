// A test over the DirectShow adapter on the COM simulated filter of a camera
// model: the test shapes `cam`, BuildAdapter() makes the COM filter and the
// adapter over it, and TearDown drops handler, adapter and filter and checks
// that every reference was given back.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>

#include "dshow/dshow_filter.h"
#include "property/property_handler.h"
#include "sim/com/sim_filter.h"

namespace lumora::test {

template <class Handler = PropertyHandler>
class SimFilterTest : public ::testing::Test {
 protected:
  void BuildAdapter() {
    ASSERT_EQ(sim::CreateSimFilter(cam, com.ReleaseAndGetAddressOf()), S_OK);
    adapter = MakeDShowFilter(com.Get());
    ASSERT_NE(adapter, nullptr);
  }
  void TearDown() override {
    handler.reset();
    adapter.reset();
    com.Reset();
    EXPECT_EQ(sim::SimFilterObjectCount(), 0) << "a reference was not given back";
  }

  std::shared_ptr<sim::SimulatedCamera> cam;
  Microsoft::WRL::ComPtr<IBaseFilter> com;
  std::unique_ptr<CaptureFilter> adapter;
  std::unique_ptr<Handler> handler;
};

}  // namespace lumora::test
