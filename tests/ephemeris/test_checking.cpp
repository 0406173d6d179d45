// The observation check: the shift of T found again where the observations
// were made with a shifted orbit (near 0h and 6h included), keys that appear
// twice, and 1862 Apollo's reference orbit against its February 2008
// observations read through the view's own path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/two_body.h"
#include "ephemeris/checking.h"
#include "platform/app_services.h"
#include "tests/engine/test_improvement_support.h"

namespace {

constexpr const char* kKey = "     K20X01A";

ElementRecord Record(double T) {
  ElementRecord el;
  el.m_szKey = kKey;
  el.m_dT = T, el.m_dQ = 1.3, el.m_dE = 0.4, el.m_dPeri = 60, el.m_dNode = 110, el.m_dIncl = 15;
  el.m_nLayout = 3;
  return el;
}

// The place of the orbit seen from the observer, the light time iterated to
// the end (the truth of these tests, apart from the check's own loops).
void TruePlace(const ElementRecord& el, double T, double t, const double sun[3], double& ra, double& dec) {
  double P[3], Q[3], helio[3], dist = 1.0, geo[3] = {};
  OrbitOrientationVectors(el.m_dPeri * kRadPerDeg, el.m_dNode * kRadPerDeg, el.m_dIncl * kRadPerDeg, P, Q);
  for (int pass = 0; pass < 50; ++pass) {
    TwoBodyStateLightTime(t, T, el.m_dQ, el.m_dE, P, Q, dist, helio, nullptr);
    for (int i = 0; i < 3; ++i) geo[i] = helio[i] + sun[i];
    dist = std::sqrt(geo[0] * geo[0] + geo[1] * geo[1] + geo[2] * geo[2]);
  }
  ra = std::atan2(geo[1], geo[0]);
  if (ra < 0) ra += 2 * kPi;
  dec = std::atan2(geo[2], std::hypot(geo[0], geo[1]));
}

// An observation of the record's orbit with T moved by shift, from an observer
// placed so that the object is seen towards raTarget (radians) 0.3 AU away.
ObservationRecord ObservationOf(const ElementRecord& el, double shift, double raTarget) {
  double P[3], Q[3];
  OrbitOrientationVectors(el.m_dPeri * kRadPerDeg, el.m_dNode * kRadPerDeg, el.m_dIncl * kRadPerDeg, P, Q);
  const double t = el.m_dT + 40.0;
  double helio[3];
  TwoBodyStateLightTime(t, el.m_dT, el.m_dQ, el.m_dE, P, Q, 0.3, helio, nullptr);
  const double dec = 0.2;
  const double u[3] = {std::cos(dec) * std::cos(raTarget), std::cos(dec) * std::sin(raTarget), std::sin(dec)};
  ObservationRecord o{};
  std::memcpy(o.m_szDesig, kKey, 12);
  std::snprintf(o.m_szStation, sizeof o.m_szStation, "500");
  o.m_chObsType = 'C';
  o.m_dJdTt = t;
  o.m_dJdUtc = t;
  for (int i = 0; i < 3; ++i) o.m_dSun[i] = -(helio[i] - 0.3 * u[i]);
  TruePlace(el, el.m_dT + shift, t, o.m_dSun, o.m_dRa, o.m_dDec);
  return o;
}

}  // namespace

TEST(Checking, ShiftOfTIsFoundAgainAtEveryRightAscension) {
  const ElementRecord el = Record(2459000.5);
  struct Case {
    const char* what;
    double ra, shift;
  };
  // Near 0h the place crosses from 23h 59m to 0h; at 6h and 18h the old
  // declination formula divided by zero.
  const Case cases[] = {{"0h", 1e-5, 0.02},       {"0h from below", 2 * kPi - 1e-5, -0.02},
                        {"6h", kPi / 2, 0.05},      {"18h", 3 * kPi / 2, -0.05},
                        {"generic", 2.0, 0.3},     {"no shift", 4.0, 0.0}};
  for (const Case& c : cases) {
    const ObservationRecord o = ObservationOf(el, c.shift, c.ra);
    std::vector<CheckResult> results;
    ASSERT_TRUE(CheckObservations(&o, 1, {el}, results)) << c.what;
    ASSERT_EQ(results.size(), 1u) << c.what;
    const CheckResult& r = results[0];
    // The independent residual: the observed place against the record's own.
    double ra, dec;
    TruePlace(el, el.m_dT, o.m_dJdTt, o.m_dSun, ra, dec);
    const double dRa = std::remainder(o.m_dRa - ra, 2 * kPi);
    EXPECT_NEAR(r.m_dResRa, std::cos(dec) * dRa * kArcsecPerRad, 0.05) << c.what;
    EXPECT_NEAR(r.m_dResDec, (o.m_dDec - dec) * kArcsecPerRad, 0.05) << c.what;
    // One linear step stops the search (its bound is a degree): the shift
    // comes within about a tenth, the residual in RA left after it is small.
    std::printf("%-14s F %8.1f\"  shift %.5f (true %.2f)  after %6.2f\"\n", c.what, r.m_dResRa, r.m_dShiftT, c.shift,
                r.m_dResRaAfter);
    EXPECT_NEAR(r.m_dShiftT, c.shift, 0.12 * std::fabs(c.shift) + 1e-9) << c.what;
    EXPECT_LT(std::fabs(r.m_dResRaAfter), 0.12 * std::fabs(r.m_dResRa) + 1e-6) << c.what;
    EXPECT_EQ(r.m_szStation, "500");
  }
}

TEST(Checking, KeysSelectTheObjectAndAKeyHeldTwiceListsItsObservationsTwice) {
  const ElementRecord el = Record(2459000.5);
  ObservationRecord obs[3] = {ObservationOf(el, 0, 1.0), ObservationOf(el, 0, 1.1), ObservationOf(el, 0, 1.2)};
  std::memcpy(obs[1].m_szDesig, "     K20X01B", 12);
  std::vector<CheckResult> results;
  ASSERT_TRUE(CheckObservations(obs, 3, {el}, results));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[1].m_dDay, results[0].m_dDay);
  results.clear();
  ASSERT_TRUE(CheckObservations(obs, 3, {el, el}, results));
  EXPECT_EQ(results.size(), 4u);  // more than the observations: the list grows
  const std::string listing = FormatCheckListing(results);
  EXPECT_EQ(listing.substr(0, 2 + 12), "\r\n     K20X01A");
}

class CheckingReal : public RealObservationTest {
protected:
  void SetUp() override {
    RealObservationTest::SetUp();
    if (IsSkipped()) return;
    m_stations = std::make_unique<ScopedStationsFile>(s_stationsFile);
    m_savedExeDir = TheApp().m_szExeDir;
    m_exeDir = MakeTempDir("check_exe");
    TheApp().m_szExeDir = m_exeDir;
  }
  void TearDown() override {
    if (m_stations) TheApp().m_szExeDir = m_savedExeDir;
  }
  std::unique_ptr<ScopedStationsFile> m_stations;
  std::string m_savedExeDir, m_exeDir;
  CChecking m_view;
};

// 1862 Apollo's equinoctial reference elements (epoch MJD 54668.051354402 TT)
// as a one-line comet-format record keyed by its observations' columns 1-12.
std::string ApolloElementLine() {
  const double a = 1.4701327303133416, h = -0.347997673402040, k = 0.438628665083009;
  const double p = 0.032422437795482, q = 0.045038613504679, lambda = 174.9957100982316 * kRadPerDeg;
  const double epoch = 54668.051354402 + 2400000.5;
  const double e = std::hypot(h, k);
  const double varpi = std::atan2(h, k), node = std::atan2(p, q), incl = 2 * std::atan(std::hypot(p, q));
  const double M = std::remainder(lambda - varpi, 2 * kPi);
  const double T = epoch - M / (kGaussK / std::pow(a, 1.5));
  double y, m, d;
  JdToCalendar(T, y, m, d);
  char line[200];
  std::snprintf(line, sizeof line,
                "01862         %4d %02d %7.4f  %8.6f  %8.6f  %8.4f  %8.4f  %8.4f  20080728  16.0  4.0  (1862) Apollo\n",
                static_cast<int>(y), static_cast<int>(m), d, a * (1 - e), e,
                std::fmod(std::remainder(varpi - node, 2 * kPi) * kDegPerRad + 360, 360),
                std::fmod(node * kDegPerRad + 360, 360), incl * kDegPerRad);
  return line;
}

TEST_F(CheckingReal, ApolloFebruary2008AgainstItsReferenceOrbit) {
  const std::string apollo = TestDataPath("obs/mpc80/orbfit_1862.obs");
  const std::string tf202 = TestDataPath("obs/mpc80/orbfit_2015TF202.obs");
  if (!TestDataFileExists(apollo) || !TestDataFileExists(tf202)) GTEST_SKIP() << MissingDataMessage("1862, 2015 TF202");
  WriteTestFile(m_exeDir, "TESSARUNE.ELM", ApolloElementLine());
  std::istringstream in(ReadTestFile(apollo));
  std::string line, file, first;
  int february = 0;
  while (std::getline(in, line))
    if (line.compare(15, 7, "2008 02") == 0) {
      file += line + "\n";
      if (first.empty()) first = line;
      ++february;
    }
  ASSERT_GT(february, 10);
  // The first line again from the geocentre and from a code the table lacks,
  // then another object's line.
  file += first.substr(0, 77) + "500\n" + first.substr(0, 77) + "ZZ9\n";
  file += ReadTestFile(tf202).substr(0, 81);
  m_view.SetPath(WriteTestFile(s_dir, "apollo_feb2008.obs", file));
  m_view.OnCheck();
  EXPECT_TRUE(m_ui.m_messages.empty());

  std::istringstream out(m_view.m_strOutput);
  ASSERT_TRUE(std::getline(out, line));
  EXPECT_EQ(line, "\r");  // the listing starts with an empty line
  int listed = 0;
  double worst = 0, worstShift = 0;
  std::vector<std::string> geocentric;
  while (std::getline(out, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++listed;
    EXPECT_EQ(line.compare(0, 12, "01862       "), 0) << line;
    int year, month;
    double day, ra, dec, shift, raAfter, decAfter;
    char station[4] = {};
    ASSERT_EQ(std::sscanf(line.c_str() + 12, "%d %d %lf %lf %lf %lf %lf %lf %3s", &year, &month, &day, &ra, &dec,
                          &shift, &raAfter, &decAfter, station),
              9)
        << line;
    if (std::string(station) == "500" || std::string(station) == "ZZ9") {
      geocentric.push_back(line.substr(12, line.size() - 12 - 3));
      continue;
    }
    worst = std::max({worst, std::fabs(ra), std::fabs(dec)});
    worstShift = std::max(worstShift, std::fabs(shift));
  }
  std::printf("February 2008: largest residual %.1f\", largest shift of T %.4f day\n", worst, worstShift);
  EXPECT_EQ(listed, february + 2);  // the other object's line is not listed
  EXPECT_LT(worst, 10.0);
  EXPECT_LT(worstShift, 0.01);
  // An unknown code is the geocentre: the same figures as code 500.
  ASSERT_EQ(geocentric.size(), 2u);
  EXPECT_EQ(geocentric[0], geocentric[1]);
}

TEST_F(CheckingReal, MessagesAndAMissingElementFile) {
  m_view.OnCheck();
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, kCheckChooseFile);
  const std::string tf202 = TestDataPath("obs/mpc80/orbfit_2015TF202_1.obs");
  if (!TestDataFileExists(tf202)) GTEST_SKIP() << MissingDataMessage("obs/mpc80/orbfit_2015TF202_1.obs");
  m_view.SetPath(tf202);
  m_view.OnCheck();  // no TESSARUNE.ELM beside the executable
  EXPECT_EQ(m_view.m_strOutput, kCheckNoElements);
  m_view.SetPath(s_dir + "no such file.obs");
  m_view.OnCheck();
  EXPECT_EQ(m_ui.m_messages.back().text, kCheckError);
}
