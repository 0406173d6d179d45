// The closeness of catalogue orbits to the view's orbit and the list of the
// 12 closest, without catalogue files: the limit, the order of equals, the
// weighting of the node near the ecliptic, angle wrapping, non-elliptic
// records, the perihelion time of a record and the list line of a comet.
#include <gtest/gtest.h>

#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "neocp/view_orbit_search.h"
#include "platform/numbers.h"

namespace {

// The reference: q 0.5 AU, e 0.3, ω 100°, Ω 50°, i = incl degrees.
CloseOrbitList Reference(double inclDeg = 10)
{
  CloseOrbitList list;
  list.q = 0.5;
  list.e = 0.3;
  list.peri = 100 * kRadPerDeg;
  list.node = 50 * kRadPerDeg;
  list.incl = inclDeg * kRadPerDeg;
  return list;
}

ElementRecord Record(const char* key, double q, double e, double peri, double node, double incl)
{
  ElementRecord r;
  r.m_szKey = key;
  r.m_szName = "";
  r.m_dQ = q;
  r.m_dE = e;
  r.m_dA = q / (1 - e);
  r.m_dPeri = peri;
  r.m_dNode = node;
  r.m_dIncl = incl;
  r.m_dEpoch = 2460000.5;
  r.m_dM = 10;
  return r;
}

} // namespace

TEST(ViewOrbitSearch, ClosenessEdges)
{
  struct Case {
    const char* what;
    double refIncl;
    ElementRecord record;
    bool kept;
    double closeness;  // expected when kept
  };
  const Case cases[] = {
      {"exactly 3.0 (q 0.06 AU off)", 10, Record("a", 0.44, 0.3, 100, 50, 10), true, 3.0},
      {"3.0000001", 10, Record("b", 0.44 - 2e-9, 0.3, 100, 50, 10), false, 0},
      // Near the ecliptic the node weighs 0.05, not sin(0.5°) = 0.0087: 40° of Ω give 2.0.
      {"node near the ecliptic", 0.5, Record("e", 0.5, 0.3, 100, 90, 0.5), true, 2.0},
      {"parabola", 10, Record("f", 0.5, 1.0, 100, 50, 10), false, 0},
      {"hyperbola", 10, Record("g", 0.5, 1.2, 100, 50, 10), false, 0},
      {"q 0", 10, Record("h", 0.0, 0.3, 100, 50, 10), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CloseOrbitList list = Reference(c.refIncl);
    EXPECT_EQ(OrbitCloseness(list, c.record, 0), 1);
    ASSERT_EQ(list.count, c.kept ? 1 : 0);
    if (c.kept) {
      EXPECT_NEAR(list.entries[0].closeness, c.closeness, 1e-9);
    }
  }
  // ω and Ω 359° apart across 0°/360° count as 1°.
  CloseOrbitList list = Reference();
  list.peri = list.node = 0.5 * kRadPerDeg;
  OrbitCloseness(list, Record("w", 0.5, 0.3, 359.5, 0.5, 10), 0);
  OrbitCloseness(list, Record("n", 0.5, 0.3, 0.5, 359.5, 10), 0);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.entries[0].designation, "n");
  EXPECT_NEAR(list.entries[0].closeness, std::sin(10 * kRadPerDeg), 1e-9);
  EXPECT_NEAR(list.entries[1].closeness, 1.0, 1e-9);
}

TEST(ViewOrbitSearch, ListKeepsTheTwelveClosestInOrder)
{
  CloseOrbitList list = Reference();
  // 15 records at closeness 0.1 .. 1.5 in a shuffled order, and two equals at 0.3.
  const int order[] = {7, 2, 15, 11, 1, 9, 4, 13, 3, 12, 6, 14, 10, 5, 8};
  for (int k : order)
    OrbitCloseness(list, Record(("r" + std::to_string(k)).c_str(), 0.5, 0.3, 100, 50, 10 - 0.1 * k), 0);
  OrbitCloseness(list, Record("second 3", 0.5, 0.3, 100, 50, 10 - 0.1 * 3), 0);
  ASSERT_EQ(list.count, 12);
  const char* expected[] = {"r1", "r2", "r3", "second 3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11"};
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(list.entries[i].designation, expected[i]) << i;
    EXPECT_EQ(list.entries[i].name, expected[i]) << "an empty name takes the designation";
  }
  // A record worse than all twelve of a full list is dropped.
  OrbitCloseness(list, Record("r1.2", 0.5, 0.3, 100, 50, 10 - 1.2), 0);
  EXPECT_EQ(list.entries[11].designation, "r11");
}

TEST(ViewOrbitSearch, PerihelionTimeAndListLine)
{
  CloseOrbitList list = Reference();
  ElementRecord asteroid = Record(" 00001 ", 0.5, 0.3, 100, 50, 10);
  asteroid.m_szName = " (1) Test ";
  asteroid.m_dM = 90;  // a = 0.5 / 0.7 AU
  ElementRecord atEpoch = Record("K20A00A", 0.5, 0.3, 100, 50, 10.5);
  atEpoch.m_dM = 0;
  ElementRecord comet = Record("0002P", 0.5, 0.3, 100, 50, 11);
  comet.m_szName = "2P/Encke";
  comet.m_dEpoch = 2460100.25;  // a comet's epoch field holds T
  OrbitCloseness(list, asteroid, 0);
  OrbitCloseness(list, atEpoch, 0);
  OrbitCloseness(list, comet, 1);
  ASSERT_EQ(list.count, 3);
  const double n = kGaussK / std::pow(0.5 / 0.7, 1.5);
  EXPECT_NEAR(list.entries[0].T, 2460000.5 - (kPi / 2) / n, 1e-9);
  EXPECT_EQ(list.entries[1].T, 2460000.5);
  EXPECT_EQ(list.entries[2].T, 2460100.25);
  EXPECT_EQ(list.entries[0].name, "(1) Test");
  EXPECT_EQ(list.entries[0].designation, "00001");

  // Period 0.5 / 0.7 AU -> P = 0.6037 yr; the comet's T is 99.75 days later.
  const double P = std::pow(0.5 / 0.7, 1.5);
  const std::string line = FormatCloseOrbitLine(3, list.entries[2], list, 2460000.5, P);
  EXPECT_EQ(line.rfind("    3. 彗星 2P/Encke", 0), 0u) << line;
  EXPECT_NE(line.find("(0002P)  近さ 1.00   Δq=+0.0000 Δe=+0.0000 Δω=+0.00° ΔΩ=+0.00° Δi=+1.00°"), std::string::npos)
      << line;
  EXPECT_NE(line.find(FormatC("近日点通過は %+.2f 回ぶん違い\r\n", 99.75 / (P * 365.25))), std::string::npos) << line;
  EXPECT_NE(FormatCloseOrbitLine(1, list.entries[0], list, 2460000.5, 0).find("近日点通過は +0.00 回ぶん違い"),
            std::string::npos);
}
