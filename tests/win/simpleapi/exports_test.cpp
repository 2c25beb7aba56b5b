// The plain exported functions, acting on the library-wide instance.
#include <climits>

#include "tests/win/simpleapi/simpleapi_fixture.h"

namespace lumora::test {
namespace {

// The library-wide instance's tables as the program found them, before any
// test called EnumCams.
struct Initial {
  unsigned long count = 999;
  char** names = nullptr;
  char** devices = nullptr;
  char** serials = nullptr;
} g_initial;

class InitialTables : public ::testing::Environment {
 public:
  void SetUp() override {
    unsigned long n = 0;
    GetCamStrings(&g_initial.names, &g_initial.count);
    GetDevStrings(&g_initial.devices, &n);
    GetCamSerials(&g_initial.serials, &n);
  }
};
[[maybe_unused]] ::testing::Environment* const g_tables =
    ::testing::AddGlobalTestEnvironment(new InitialTables);

class PlainExports : public SimpleApiTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(SetCam(-1), 0);
    SimpleApiTest::TearDown();
  }
};

TEST_F(PlainExports, TablesBeforeTheFirstEnumeration) {
  EXPECT_EQ(g_initial.count, 0u);
  for (char** table : {g_initial.names, g_initial.devices, g_initial.serials}) {
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Entries(table, LUMORA_MAX_CAMS), std::vector<std::string>(10, "<null>"));
  }
}

TEST_F(PlainExports, NoCurrentCameraFailsAndLeavesOutputsAlone) {
  ASSERT_EQ(SetCam(-1), 0);
  long value = 4711, lo = 1, hi = 2, step = 3, support = 55, chipset = 66;
  EXPECT_EQ(CamProperty_Get(::VCP_Brightness, &value), -1);
  EXPECT_EQ(CamProperty_Range(::VCP_Brightness, &lo, &hi, &step), -1);
  EXPECT_EQ(CamProperty_Support(::VCP_Brightness, &support), -1);
  EXPECT_EQ(CamProperty_Set(::VCP_Brightness, 1), -1);
  EXPECT_EQ(CamChipset(&chipset), -1);
  EXPECT_EQ(value, 4711);
  EXPECT_EQ(lo + hi + step, 6);
  EXPECT_EQ(support, 55);
  EXPECT_EQ(chipset, 66);
}

TEST_F(PlainExports, ListSelectAndRead) {
  ASSERT_EQ(EnumCams(), 0);
  const std::vector<std::wstring> expected = CollectionNames(LUMORA_MAX_CAMS);
  char** names = nullptr;
  unsigned long count = 0;
  GetCamStrings(&names, &count);
  ASSERT_EQ(count, expected.size());
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(Entries(names, count)[i], Ansi(expected[i]));

  const long listed = static_cast<long>(count);
  EXPECT_EQ(SetCam(listed), -1);
  EXPECT_EQ(SetCam(LUMORA_MAX_CAMS), -1);
  ASSERT_EQ(SetCam(0), 0);

  ComPtr<IDVidCapCtrl> direct = DirectControl(0);
  ASSERT_NE(direct, nullptr);
  long value = 0;
  LONG directValue = 0;
  ASSERT_EQ(CamProperty_Get(::VCP_Brightness, &value), 0);
  ASSERT_HRESULT_SUCCEEDED(direct->get_Prop(::VCP_Brightness, &directValue));
  EXPECT_EQ(value, directValue);

  long lo = 0, hi = 0, step = 0;
  LONG dlo = 0, dhi = 0, dstep = 0, ddef = 0, dcaps = 0;
  ASSERT_EQ(CamProperty_Range(::VCP_Brightness, &lo, &hi, &step), 0);
  ASSERT_HRESULT_SUCCEEDED(direct->GetRange(::VCP_Brightness, &dlo, &dhi, &dstep, &ddef, &dcaps));
  EXPECT_EQ(lo, dlo);
  EXPECT_EQ(hi, dhi);
  EXPECT_EQ(step, dstep);

  const long wanted = value == lo ? hi : lo;
  EXPECT_EQ(CamProperty_Set(::VCP_Brightness, wanted), 0);
  EXPECT_EQ(CamProperty_Get(::VCP_Brightness, &value), 0);
  EXPECT_EQ(value, wanted);

  long support = -5;
  EXPECT_EQ(CamProperty_Support(::VCP_Brightness, &support), 0);
  EXPECT_GE(support, ::VCS_no);
  EXPECT_LE(support, ::VCS_both);

  long chipset = -5;
  ::KnownChipsetCat directChipset = ::CSX_Unknown;
  EXPECT_EQ(CamChipset(&chipset), 0);
  if (FAILED(direct->get_Chipset(&directChipset))) directChipset = ::CSX_Unknown;
  EXPECT_EQ(chipset, static_cast<long>(directChipset));
}

TEST_F(PlainExports, PropertyNumbersBeyondTheValueRange) {
  UsePreset("twelve");  // plain cameras: the control answers VCP_Pan itself
  ASSERT_EQ(EnumCams(), 0);
  ASSERT_EQ(SetCam(0), 0);
  ComPtr<IDVidCapCtrl> direct = DirectControl(0);
  ASSERT_NE(direct, nullptr);
  LONG pan = 0;
  ASSERT_HRESULT_SUCCEEDED(direct->get_Prop(::VCP_Pan, &pan));
  long support = -5;
  EXPECT_EQ(CamProperty_Support(::VCP_Pan, &support), 0) << "support reaches the control";
  EXPECT_EQ(CamProperty_Support(::VCP_Focus, &support), 0);
  const long refused[] = {::VCP_Pan, ::VCP_Focus, 32, -1, LONG_MIN};
  for (long p : refused) {
    SCOPED_TRACE(p);
    long value = 4711, lo = 1, hi = 2, step = 3;
    EXPECT_EQ(CamProperty_Get(p, &value), -1);
    EXPECT_EQ(CamProperty_Range(p, &lo, &hi, &step), -1);
    EXPECT_EQ(CamProperty_Set(p, 0), -1);
    EXPECT_EQ(value, 4711);
    EXPECT_EQ(lo + hi + step, 6);
  }
  support = 55;
  EXPECT_EQ(CamProperty_Support(32, &support), -1);
  EXPECT_EQ(CamProperty_Support(-1, &support), -1);
  EXPECT_EQ(support, 55);
}

TEST_F(PlainExports, NullPointersAreRefused) {
  ASSERT_EQ(EnumCams(), 0);
  ASSERT_EQ(SetCam(0), 0);
  long a = 0, b = 0;
  EXPECT_EQ(CamProperty_Get(::VCP_Brightness, nullptr), -1);
  EXPECT_EQ(CamProperty_Support(::VCP_Brightness, nullptr), -1);
  EXPECT_EQ(CamProperty_Range(::VCP_Brightness, &a, &b, nullptr), -1);
  EXPECT_EQ(CamChipset(nullptr), -1);
  // The table functions write what they are given room for.
  unsigned long count = 0;
  GetCamStrings(nullptr, &count);
  EXPECT_GT(count, 0u);
  char** table = nullptr;
  GetDevStrings(&table, nullptr);
  EXPECT_NE(table, nullptr);
}

}  // namespace
}  // namespace lumora::test
