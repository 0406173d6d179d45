// The developer dialog's test ephemeris: 41 daily rows of the parabolic test
// comet, whose Sun distance follows from Barker's equation.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "data/developer_checks.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

TEST(DeveloperChecks, TestEphemerisFollowsTheParabola)
{
  TSR_REQUIRE_DATA(de, "de/lnxp1960p2060.405");
  JplReaderScope reader(de);
  std::vector<std::string> lines;
  std::istringstream in(TestEphemerisText());
  for (std::string line; std::getline(in, line);) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r');
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 43u);
  EXPECT_EQ(lines[2].substr(0, 14), " 2002 Aug. 04 ");
  EXPECT_EQ(lines[42].substr(0, 14), " 2002 Sep. 13 ");
  // r at each row, at the time the light left the comet: tan(ν/2) = s with
  // s + s³/3 = k (t - T) / √(2q³).
  const double q = 0.49467, T = 2452526.918, k = 0.01720209895, lightDaysPerAu = 0.0057755183;
  for (int i = 0; i < 41; ++i) {
    std::istringstream fields(lines[2 + i]);
    std::string skip;
    double delta = 0, r = 0;
    for (int f = 0; f < 7; ++f)
      fields >> skip;
    fields >> delta >> r;
    const double w = k * (2452491.292 + i - delta * lightDaysPerAu - T) / std::sqrt(2 * q * q * q);
    double s = 0;
    for (int it = 0; it < 60; ++it)
      s -= (s + s * s * s / 3 - w) / (1 + s * s);
    EXPECT_NEAR(r, q * (1 + s * s), 6e-5) << lines[2 + i];
  }
}
