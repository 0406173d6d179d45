// Perturber rows for the integrator, on a real DE405 file and a small
// perturbing-asteroid table made here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "astro/perturber_positions.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kUntouched = 123.0;
constexpr int kRow = kPerturberRowCoordinates;

// Opens a planetary file as g_pJplEph for one test and puts everything back.
class PerturberRowsTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved_ = g_pJplEph;
    savedDe441_ = TheApp().m_szDe441File;
    savedDe406_ = TheApp().m_szDe406File;
    g_pJplEph = nullptr;
  }
  void TearDown() override {
    delete opened_;
    g_pJplEph = saved_;
    TheApp().m_szDe441File = savedDe441_;
    TheApp().m_szDe406File = savedDe406_;
    GetPerturberTable().Clear();
  }
  bool Open(const std::string& path) {
    TheApp().m_szDe441File = path;
    TheApp().m_szDe406File.clear();
    g_pJplEph = opened_ = new CJplEph(TheApp().Paths());
    return g_pJplEph->IsOpen();
  }
  // A loaded store: asteroids 0-2 with epochs every 10 days from first.
  static void LoadStore(double first, int epochs) {
    MpephStore& store = GetPerturberTable();
    store.Clear();
    std::memcpy(store.m_header.magic, kMpephMagic, sizeof kMpephMagic);
    store.m_header.nAsteroids = 7;
    store.m_header.nEpochs = epochs;
    store.m_header.firstEpoch = first;
    store.m_header.step = 10.0;
    for (int i = 0; i < 7; ++i)
      for (int k = 0; k < epochs; ++k)
        store.m_records.push_back({first + 10.0 * k, 2451400.5 + i, 2.2 + 0.1 * i, 0.1, 1.0, 0.5 + 0.1 * i, 0.1});
    store.m_bLoaded = 1;
  }

  CJplEph* saved_ = nullptr;
  CJplEph* opened_ = nullptr;
  std::string savedDe441_, savedDe406_;
};

TEST_F(PerturberRowsTest, NoPlanetaryFile) {
  std::vector<double> rows(kRow, kUntouched);
  EXPECT_EQ(JplBodiesForIntegrator(2451545.0, 1.0, 1, "111111111100000", rows.data(), 1), -5);
  EXPECT_EQ(rows[0], kUntouched);
}

TEST_F(PerturberRowsTest, BodiesAreHeliocentricAndFollowTheMask) {
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  ASSERT_TRUE(Open(path));
  const double t0 = 2451545.0, step = 1.5;
  std::vector<double> rows(3 * kRow, kUntouched);
  ASSERT_EQ(JplBodiesForIntegrator(t0, step, 3, "111111111100000", rows.data(), 0), 0);
  for (int i = 0; i < 3; ++i) {
    for (int b = 0; b < 10; ++b) {
      double ref[3];
      ASSERT_EQ(JplPosition(t0 + i * step, b + 1, kJplSun, ref), 0);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(rows[i * kRow + 3 * b + c], ref[c], 1e-14) << i << " " << b;
    }
    for (int k = 30; k < kRow; ++k) EXPECT_EQ(rows[i * kRow + k], kUntouched);  // set 0 leaves the slots
  }

  // Only the Earth in the mask: the other nine triples are zero.
  std::vector<double> one(kRow, kUntouched);
  ASSERT_EQ(JplBodiesForIntegrator(t0, step, 1, "001000000000000", one.data(), 0), 0);
  for (int k = 0; k < 30; ++k) {
    if (k >= 6 && k < 9)
      EXPECT_NEAR(one[k], rows[k], 1e-15);
    else
      EXPECT_EQ(one[k], 0.0) << k;
  }

  // A mask shorter than the ten bodies is refused before anything is read.
  for (const char* mask : {"111111111", "", static_cast<const char*>(nullptr)}) {
    std::vector<double> untouched(kRow, kUntouched);
    EXPECT_EQ(JplBodiesForIntegrator(t0, step, 1, mask, untouched.data(), 0), -2);
    EXPECT_EQ(untouched[0], kUntouched);
  }
  EXPECT_EQ(JplBodiesForIntegrator(t0, step, 0, "111111111100000", one.data(), 1), 0);
  EXPECT_EQ(JplBodiesForIntegrator(t0, step, -3, "111111111100000", one.data(), 1), 0);
}

TEST_F(PerturberRowsTest, SpanEdges) {
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  ASSERT_TRUE(Open(path));
  std::vector<double> rows(3 * kRow, kUntouched);
  EXPECT_EQ(JplBodiesForIntegrator(g_dJplEnd, 1.0, 1, "111111111100000", rows.data(), 0), -1);
  EXPECT_EQ(JplBodiesForIntegrator(g_dJplStart - 0.25, 1.0, 1, "111111111100000", rows.data(), 0), -1);
  EXPECT_EQ(rows[0], kUntouched);
  // The third time passes the end: the rows before it stay filled.
  EXPECT_EQ(JplBodiesForIntegrator(g_dJplEnd - 1.5, 1.0, 3, "111111111100000", rows.data(), 0), -1);
  EXPECT_NE(rows[kRow], kUntouched);
  EXPECT_EQ(JplBodiesForIntegrator(g_dJplStart, 1.0, 1, "111111111100000", rows.data(), 0), 0);
}

TEST_F(PerturberRowsTest, AsteroidSlotsAndMisses) {
  TSR_REQUIRE_DATA(path, "de/lnxp1960p2060.405");
  ASSERT_TRUE(Open(path));
  const double t0 = 2451545.0;
  std::vector<double> rows(2 * kRow, kUntouched);

  // No store: all five slots marked missing, one miss per row.
  GetPerturberTable().Clear();
  g_nAsteroidEphMisses = 0;
  ASSERT_EQ(JplBodiesForIntegrator(t0, 1.0, 2, "111111111111111", rows.data(), 1), 0);
  for (int i = 0; i < 2; ++i)
    for (int k = 30; k < kRow; ++k) EXPECT_EQ(rows[i * kRow + k], 9999.9);
  EXPECT_EQ(g_nAsteroidEphMisses, 2);

  // Set 5 (Ceres, Pallas, Vesta, Hygiea): four slots from the table, the fifth missing.
  LoadStore(t0 - 100.0, 21);  // serves t0 - 105 up to t0 + 105
  g_nAsteroidEphMisses = 0;
  ASSERT_EQ(JplBodiesForIntegrator(t0, 1.0, 2, "111111111111111", rows.data(), 5), 0);
  const int members[4] = {0, 1, 2, 5};
  for (int i = 0; i < 2; ++i) {
    for (int m = 0; m < 4; ++m) {
      double ref[3];
      ASSERT_EQ(PerturberPositionFromTable(GetPerturberTable(), t0 + i, members[m], ref), 1);
      for (int c = 0; c < 3; ++c) EXPECT_EQ(rows[i * kRow + 30 + 3 * m + c], ref[c]);
    }
    for (int k = 42; k < kRow; ++k) EXPECT_EQ(rows[i * kRow + k], 9999.9);
  }
  EXPECT_EQ(g_nAsteroidEphMisses, 0);

  // Outside the table every member is a miss and keeps its mark.
  ASSERT_EQ(JplBodiesForIntegrator(t0 + 200.0, 1.0, 1, "111111111111111", rows.data(), 6), 0);
  for (int k = 30; k < kRow; ++k) EXPECT_EQ(rows[k], 9999.9);
  EXPECT_EQ(g_nAsteroidEphMisses, 5);
  g_nAsteroidEphMisses = 0;
}

}  // namespace
