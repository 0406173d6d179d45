// The first stage of the identification on synthetic tracklets and
// catalogues: the two-body positions against the two-body module's own
// light-time solution, the test's windows, magnitude and motion, the top
// list, the catalogue reader, the comet line, and the scans on 1 to 32 threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "data/element_file.h"
#include "data/element_record.h"
#include "ephemeris/ident_catalogue.h"
#include "ephemeris/ident_scan.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/ephemeris/ident_test_support.h"

namespace {

constexpr double kEpoch2020 = 2459000.5;  // 2020-05-31 0h TT
constexpr double kMas = kRadPerDeg / 3600e3;

const TestOrbit kMainBelt{kEpoch2020, 120.0, 80.0, 150.0, 8.0, 0.12, 2.6, 15.0, 0.15};

ElementRecord RecordOf(const TestOrbit& o) {
  ElementRecord r;
  ParseMpcorbLine(&r, MpcorbLine("T0001", "Test one", o));
  return r;
}

ScanSlice SliceOf(const std::vector<ObservationRecord>& obs, double pathDeg = 15, double crossDeg = 1,
                  double magTol = 3.0) {
  ScanSlice s;
  SetupSingleTrackletSlice(&s, obs.data(), static_cast<int>(obs.size()), pathDeg * kRadPerDeg,
                           crossDeg * kRadPerDeg, magTol, nullptr);
  return s;
}

int RunTest(const TestOrbit& o, const ScanSlice& s, IdentCandidate& c) {
  const ElementRecord r = RecordOf(o);
  double T, P[3], Q[3];
  if (!PrepareScanRecord(r, T, P, Q)) return -1;
  return TestCandidate(r, T, P, Q, s, &c);
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  static const std::string dir = MakeTempDir("ident_scan");
  std::ofstream(dir + name, std::ios::binary) << bytes;
  return dir + name;
}

// Catalogue lines near the main-belt orbit (many pass the windows), the
// orbit itself at line 700, and random lines; fixed seed.
std::string NearbyCatalogue(int lines = 1500) {
  std::mt19937 rng(34);
  std::normal_distribution<double> n(0.0, 1.0);
  std::string text = "MINOR PLANET CATALOGUE (test)\n\n";
  for (int i = 0; i < lines; ++i) {
    TestOrbit o = kMainBelt;
    if (i == 700) {
      text += MpcorbLine("T00700", "(700) Target", o) + "\n";
      continue;
    }
    if (i % 3 == 0) {
      o = RandomOrbit(rng, i % 2, kEpoch2020);
    } else {
      o.M += 1.5 * n(rng);
      o.node += 0.8 * n(rng);
      o.incl = std::fabs(o.incl + 0.4 * n(rng));
      o.a += 0.01 * n(rng);
      o.H += n(rng);
    }
    char key[16];
    std::snprintf(key, sizeof key, "T%05d", i);
    text += MpcorbLine(key, std::string("(") + key + ") Near", o) + "\n";
  }
  return text;
}

std::vector<double> Times(double t0, std::initializer_list<double> offsets) {
  std::vector<double> t;
  for (double d : offsets) t.push_back(t0 + d);
  return t;
}

}  // namespace

// Three light-time passes agree with the two-body module's iteration to a
// fraction of a milliarcsecond; hyperbolic and degenerate orbits fail.
TEST(IdentTwoBody, PositionWithLightTime) {
  double P[3], Q[3], sun[3];
  OrbitOrientationVectors(0.7, 2.1, 0.3, P, Q);
  struct Case {
    const char* name;
    double q, e, t;
  } cases[] = {{"main belt", 2.2, 0.15, 2459100.5}, {"near-Earth", 0.9, 0.55, 2459230.25},
               {"eccentric", 0.3, 0.95, 2459060.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestSunVector(c.t, sun);
    double ra, dec, delta, r, ra2, dec2, delta2, r2, nu;
    ASSERT_EQ(TwoBodyPositionLightTime(2459000.5, c.q, c.e, P, Q, c.t, sun, 3, ra, dec, delta, r), 1);
    ASSERT_EQ(TwoBodyGeocentricPosition(2459000.5, c.q, c.e, P, Q, c.t, sun, ra2, dec2, delta2, r2, nu), 0);
    EXPECT_NEAR(ra, ra2, 0.1 * kMas);
    EXPECT_NEAR(dec, dec2, 0.1 * kMas);
    EXPECT_NEAR(delta, delta2, 1e-10);
    EXPECT_NEAR(r, r2, 1e-10);
  }
  double ra, dec, delta, r;
  for (double e : {1.0, 1.3}) EXPECT_EQ(TwoBodyPositionLightTime(2459000.5, 1.0, e, P, Q, 2459100.5, sun, 1, ra, dec, delta, r), 0);
  EXPECT_EQ(TwoBodyPositionLightTime(2459000.5, 0.0, 0.2, P, Q, 2459100.5, sun, 1, ra, dec, delta, r), 0);
}

// The record filter: only elliptic records with an epoch pass.
TEST(IdentScan, RecordFilter) {
  struct Case {
    const char* name;
    double a, e, q, epoch;
    bool pass;
  } cases[] = {{"elliptic", 2.5, 0.1, 2.25, kEpoch2020, true}, {"circular", 2.5, 0.0, 2.5, kEpoch2020, true},
               {"e = 1", 2.5, 1.0, 1.0, kEpoch2020, false},     {"negative e", 2.5, -0.1, 2.5, kEpoch2020, false},
               {"a = 0", 0.0, 0.1, 1.0, kEpoch2020, false},     {"q = 0", 2.5, 0.1, 0.0, kEpoch2020, false},
               {"no epoch", 2.5, 0.1, 2.25, 0.0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ElementRecord r = RecordOf(kMainBelt);
    r.m_dA = c.a;
    r.m_dE = c.e;
    r.m_dQ = c.q;
    r.m_dEpoch = c.epoch;
    double T, P[3], Q[3];
    EXPECT_EQ(PrepareScanRecord(r, T, P, Q), c.pass);
  }
  ElementRecord r = RecordOf(kMainBelt);
  double T, P[3], Q[3];
  ASSERT_TRUE(PrepareScanRecord(r, T, P, Q));
  // M = 120° at the epoch: a third of the period after perihelion.
  EXPECT_NEAR(T, kEpoch2020 - 120.0 / 360.0 * 365.25 * std::pow(2.6, 1.5), 0.05);
}

// The test on tracklets of the orbit itself and of shifted ones: the exact
// orbit passes near the centre, a cross-path shift shows in the cross offset
// and is refused by a narrower window, the magnitude and motion tests
// switch off as the summary says.
TEST(IdentScan, TestCandidateWindowsMagnitudeAndMotion) {
  const double t0 = 2459100.5;
  IdentCandidate c;
  const auto night = ObserveOrbit(kMainBelt, Times(t0, {0.0, 0.02, 0.04, 0.06, 1.0}));
  ASSERT_EQ(RunTest(kMainBelt, SliceOf(night), c), 1);
  EXPECT_LT(std::fabs(c.m_dAlong), 2e-6);  // degrees: the catalogue line's rounding
  EXPECT_LT(std::fabs(c.m_dCross), 2e-6);
  EXPECT_LT(c.m_dMotionRatio, 1e-3);
  EXPECT_LT(c.m_dScore, 1e-3);
  EXPECT_EQ(c.m_dMagDiff, 0.0);  // no magnitudes: no test, no term
  EXPECT_STREQ(c.m_szName, "Test one");
  EXPECT_STREQ(c.m_szDesig, "T0001");
  EXPECT_EQ(c.m_bComet, 0);
  EXPECT_EQ(c.m_nRefined, 0);
  const double V = c.m_dPredictedMag;

  struct Case {
    const char* name;
    double shiftDecDeg, mag, crossWindowDeg, magTol;
    int pass;
  } cases[] = {{"half a degree across", 0.5, 0, 1.0, 3.0, 1},  {"outside a narrower window", 0.5, 0, 0.3, 3.0, 0},
               {"2.9 mag fainter", 0, V + 2.9, 1.0, 3.0, 1},     {"3.1 mag fainter", 0, V + 3.1, 1.0, 3.0, 0},
               {"magnitude test off", 0, V + 6, 1.0, 0.0, 1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    auto obs = ObserveOrbit(kMainBelt, Times(t0, {0.0, 0.02, 0.04, 0.06, 1.0}), k.mag);
    for (auto& o : obs) o.m_dDec += k.shiftDecDeg * kRadPerDeg;
    ASSERT_EQ(RunTest(kMainBelt, SliceOf(obs, 15, k.crossWindowDeg, k.magTol), c), k.pass);
    if (!k.pass) continue;
    if (k.shiftDecDeg) {
      EXPECT_NEAR(std::fabs(c.m_dCross), 0.5, 0.1);
    }
    if (k.mag && k.magTol > 0) {
      EXPECT_NEAR(c.m_dMagDiff, -2.9, 1e-9);
    }
    if (k.magTol <= 0) {
      EXPECT_EQ(c.m_dMagDiff, 0.0);
    }
  }

  // A motion in the wrong direction: the positions of a day later, reversed in time.
  auto reversed = ObserveOrbit(kMainBelt, Times(t0, {0.0, 0.5, 1.0}));
  std::swap(reversed[0].m_dRa, reversed[2].m_dRa);
  std::swap(reversed[0].m_dDec, reversed[2].m_dDec);
  EXPECT_EQ(RunTest(kMainBelt, SliceOf(reversed), c), 0);

  // One observation: no motion, Delta of the reference.
  const auto one = ObserveOrbit(kMainBelt, {t0});
  ASSERT_EQ(RunTest(kMainBelt, SliceOf(one), c), 1);
  EXPECT_EQ(c.m_dMotionRatio, 0.0);
  double P[3], Q[3], ra, dec, delta, r, nu;
  OrbitOrientationVectors(kMainBelt.peri * kRadPerDeg, kMainBelt.node * kRadPerDeg, kMainBelt.incl * kRadPerDeg, P, Q);
  const double n = kGaussK / std::pow(2.6, 1.5);
  TwoBodyGeocentricPosition(kEpoch2020 - 120 * kRadPerDeg / n, 2.6 * 0.88, 0.12, P, Q, t0, one[0].m_dSun, ra, dec,
                            delta, r, nu);
  EXPECT_NEAR(c.m_dDelta, delta, 1e-6);
  // A span below 0.003 day: the motion test is off even against reversed motion.
  auto close = ObserveOrbit(kMainBelt, Times(t0, {0.0, 0.001, 0.002}));
  std::swap(close[0].m_dRa, close[2].m_dRa);
  ASSERT_EQ(RunTest(kMainBelt, SliceOf(close), c), 1);
  EXPECT_EQ(c.m_dMotionRatio, 0.0);
}

// A tracklet off the orbit in every respect (2° along the sky, a drift in
// declination, a magnitude fainter): the score weighs the four offsets as
// sqrt(m² + x² + (2L)² + 0.04 y²), with the windows and tolerance as units.
TEST(IdentScan, ScoreWeighsItsTerms) {
  const double t0 = 2459100.5;
  const double offsets[] = {0.0, 0.02, 0.04, 0.06, 1.0};
  IdentCandidate c;
  ASSERT_EQ(RunTest(kMainBelt, SliceOf(ObserveOrbit(kMainBelt, Times(t0, {0.0, 0.02, 0.04, 0.06, 1.0}))), c), 1);
  auto obs = ObserveOrbit(kMainBelt, Times(t0, {0.0, 0.02, 0.04, 0.06, 1.0}), c.m_dPredictedMag + 1.0);
  for (size_t i = 0; i < obs.size(); ++i) {
    obs[i].m_dRa += 2.0 * kRadPerDeg;
    obs[i].m_dDec += 0.05 * kRadPerDeg * offsets[i];
  }
  const double pathDeg = 15, crossDeg = 1, magTol = 3;
  ASSERT_EQ(RunTest(kMainBelt, SliceOf(obs, pathDeg, crossDeg, magTol), c), 1);
  const double m = c.m_dMagDiff / magTol, x = c.m_dCross / crossDeg, y = c.m_dAlong / pathDeg, L = c.m_dMotionRatio;
  ASSERT_GT(std::fabs(y), 0.05);  // every term counts
  ASSERT_GT(L, 0.05);
  ASSERT_GT(std::fabs(m), 0.3);
  EXPECT_NEAR(c.m_dScore, std::sqrt(m * m + x * x + 4 * L * L + 0.04 * y * y), 1e-12);
}

// Observations on both sides of RA 0h: small offsets, not a full turn.
TEST(IdentScan, TrackletAcrossZeroHours) {
  double before = -1, t = 2459000.5;
  for (; t < 2461000.5; t += 0.5) {
    const double ra = ObserveOrbit(kMainBelt, {t})[0].m_dRa;
    if (before > 6.0 && ra < 0.3) break;
    before = ra;
  }
  ASSERT_LT(t, 2461000.5);
  const auto obs = ObserveOrbit(kMainBelt, Times(t, {-0.5, -0.25, 0.0, 0.25}));
  ASSERT_GT(obs[0].m_dRa, 6.0);
  ASSERT_LT(obs[3].m_dRa, 0.3);
  IdentCandidate c;
  ASSERT_EQ(RunTest(kMainBelt, SliceOf(obs), c), 1);
  EXPECT_LT(std::fabs(c.m_dAlong), 2e-6);
  EXPECT_LT(c.m_dMotionRatio, 1e-3);
}

// The summary of a many-tracklet query: motion over the observations within
// three days of the reference, mean of the magnitudes given.
TEST(IdentScan, TrackletQuerySummary) {
  auto obs = ObserveOrbit(kMainBelt, Times(2459100.5, {-10.0, 0.0, 0.1, 0.2, 2.0}), 0);
  obs[1].m_dMag = 17.0;
  obs[3].m_dMag = 18.0;
  TrackletQuery q{};
  q.m_pObs = obs.data();
  q.m_nObs = static_cast<int>(obs.size());
  SetupTrackletQuery(&q, 0.2, 0.01, 3.0, nullptr);
  EXPECT_EQ(q.m_slice.m_nRef, 2);
  EXPECT_EQ(q.m_slice.m_nFirst, 1);
  EXPECT_EQ(q.m_slice.m_nLast, 4);
  EXPECT_DOUBLE_EQ(q.m_slice.m_dMeanMag, 17.5);
  EXPECT_GT(q.m_slice.m_dMotionTotal, 0.0);
  ScanSlice single;
  SetupSingleTrackletSlice(&single, obs.data(), q.m_nObs, 0.2, 0.01, 3.0, nullptr);
  EXPECT_EQ(single.m_nFirst, 0);
  EXPECT_EQ(single.m_nLast, 4);
  TrackletQuery empty{};
  SetupTrackletQuery(&empty, 0.2, 0.01, 3.0, nullptr);
  EXPECT_EQ(empty.m_slice.m_dMeanMag, 0.0);
}

// The top list: ascending score, equal scores in arrival order, a full list
// keeps its last entry against an equal score.
TEST(IdentScan, TopList) {
  struct Case {
    const char* name;
    std::vector<double> offered;
    std::vector<int> expectedTags;
  } cases[] = {
      {"ascending", {3, 1, 2}, {1, 2, 0}},
      {"equal scores keep arrival order", {1, 1, 0.5, 1}, {2, 0, 1, 3}},
      {"full list drops an equal last", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"full list takes a better one", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0.5}, {10, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IdentCandidate list[kTopCandidates];
    int count = 0;
    for (size_t i = 0; i < c.offered.size(); ++i) {
      IdentCandidate cand{};
      cand.m_dScore = c.offered[i];
      cand.m_bComet = static_cast<int>(i);  // the tag
      InsertTopCandidate(list, &count, cand);
    }
    ASSERT_EQ(count, static_cast<int>(c.expectedTags.size()));
    for (int i = 0; i < count; ++i) EXPECT_EQ(list[i].m_bComet, c.expectedTags[i]) << i;
  }
}

TEST(IdentScan, Slices) {
  struct Case {
    int count, threads;
    std::vector<std::pair<int, int>> slices;
  } cases[] = {{20000, 7, {{0, 2858}, {2858, 2858}, {5716, 2858}, {8574, 2858}, {11432, 2858}, {14290, 2858}, {17148, 2852}}},
               {3, 8, {{0, 1}, {1, 1}, {2, 1}}},
               {1, 4, {{0, 1}}},
               {5, 99, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}},
               {0, 4, {}}};
  for (const Case& c : cases) EXPECT_EQ(CutSlices(c.count, c.threads), c.slices) << c.count << " " << c.threads;
}

// Lines end at LF with CR dropped, are cut at 1023 characters, may span the
// 1 MiB reads, and a last line counts without its LF but not when empty.
TEST(IdentCatalogue, LineReader) {
  const std::string mp = MpcorbLine("T0001", "Test one", kMainBelt);
  std::string text(1048576 - 100, 'x');
  text += "\n" + mp + std::string(1200, 'z') + "\r\n";  // across the first read, and too long
  text += "a\rb\r\n";
  text += "last";
  const std::string path = WriteFile("lines.txt", text);
  CatalogueLineReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.Next(line)) lines.emplace_back(line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].size(), kCatalogueLineChars);
  EXPECT_EQ(lines[1].substr(0, mp.size()), mp);
  EXPECT_EQ(IsMpcorbLine(lines[1]), 1);
  EXPECT_EQ(lines[2], "ab");
  EXPECT_EQ(lines[3], "last");
  EXPECT_EQ(reader.Percent(), 100);

  CatalogueLineReader second;
  ASSERT_TRUE(second.Open(WriteFile("empty_last.txt", "one\ntwo\n")));
  int n = 0;
  while (second.Next(line)) ++n;
  EXPECT_EQ(n, 2);
  CatalogueLineReader missing;
  EXPECT_FALSE(missing.Open(WriteFile("x", "") + ".absent"));
}

// One-line comet lines: elliptic ones parse, parabolic and hyperbolic ones
// and short lines do not.
TEST(IdentCatalogue, CometLine) {
  const std::string base =
      "    CJ95O010  1997 03 29.6884  0.911359  0.994936  130.5984  283.3688   88.9864  20200707  -2.0  4.0  "
      "C/1995 O1 (Hale-Bopp)                                    MPC106342";
  struct Case {
    const char* name;
    std::string line;
    int ok;
  } cases[] = {{"elliptic", base, 1},
               {"e = 1", base.substr(0, 41) + "1.000000" + base.substr(49), 0},
               {"hyperbolic", base.substr(0, 41) + "1.000412" + base.substr(49), 0},
               {"short", base.substr(0, 79), 0},
               {"no name", base.substr(0, 100), 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ElementRecord r;
    ASSERT_EQ(ParseCometElementLine(c.line, &r), c.ok);
    if (!c.ok) continue;
    EXPECT_NEAR(r.m_dT, YmdToJd(1997, 3, 29.6884), 1e-9);
    EXPECT_EQ(r.m_dEpoch, r.m_dT);
    EXPECT_EQ(r.m_dM, 0.0);
    EXPECT_DOUBLE_EQ(r.m_dQ, 0.911359);
    EXPECT_DOUBLE_EQ(r.m_dE, 0.994936);
    EXPECT_DOUBLE_EQ(r.m_dA, 0.911359 / (1 - 0.994936));
    EXPECT_DOUBLE_EQ(r.m_dPeri, 130.5984);
    EXPECT_DOUBLE_EQ(r.m_dNode, 283.3688);
    EXPECT_DOUBLE_EQ(r.m_dIncl, 88.9864);
    EXPECT_EQ(r.m_dH, 0.0);
    EXPECT_EQ(r.m_szName, c.line.size() > 102 ? "C/1995 O1 (Hale-Bopp)" : "CJ95O010");
  }
}

// The many-tracklet scan gives the same lists and passed counts on 1, 2, 7
// and 32 threads; the target heads its tracklet's list; a tracklet of one
// observation and a cancelled or missing file behave as documented.
TEST(IdentCatalogue, ScanMpcorbMultiSameOnEveryThreadCount) {
  const std::string path = WriteFile("near.dat", NearbyCatalogue());
  const auto night = ObserveOrbit(kMainBelt, Times(2459100.5, {0.0, 0.02, 0.04}), 0);
  const auto single = ObserveOrbit(kMainBelt, {2459101.5});
  std::vector<std::vector<TrackletQuery>> runs;
  for (int threads : {1, 2, 7, 32}) {
    SCOPED_TRACE(threads);
    std::vector<TrackletQuery> q(3, TrackletQuery{});
    q[0].m_pObs = night.data();
    q[0].m_nObs = 3;
    q[1].m_pObs = single.data();
    q[1].m_nObs = 1;
    ASSERT_EQ(ScanMpcorbMulti(path, q.data(), 3, threads, nullptr, nullptr), 1500);
    runs.push_back(q);
  }
  const auto& first = runs[0];
  ASSERT_EQ(first[0].m_nList, kTopCandidates);
  EXPECT_STREQ(first[0].m_list[0].m_szDesig, "T00700");
  EXPECT_GT(first[0].m_nPassed, 20);
  EXPECT_GE(first[1].m_nPassed, first[0].m_nPassed);  // one observation: no motion test
  EXPECT_EQ(first[2].m_nList, 0);
  for (int k = 0; k < 2; ++k)
    for (int i = 1; i < first[k].m_nList; ++i) EXPECT_LE(first[k].m_list[i - 1].m_dScore, first[k].m_list[i].m_dScore);
  for (size_t r = 1; r < runs.size(); ++r)
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(runs[r][k].m_nList, first[k].m_nList);
      EXPECT_EQ(runs[r][k].m_nPassed, first[k].m_nPassed);
      for (int i = 0; i < first[k].m_nList; ++i) {
        EXPECT_STREQ(runs[r][k].m_list[i].m_szDesig, first[k].m_list[i].m_szDesig);
        EXPECT_EQ(runs[r][k].m_list[i].m_dScore, first[k].m_list[i].m_dScore);
      }
    }

  std::atomic<int> cancel{1};
  std::vector<TrackletQuery> q(1, TrackletQuery{});
  q[0].m_pObs = night.data();
  q[0].m_nObs = 3;
  EXPECT_EQ(ScanMpcorbMulti(path, q.data(), 1, 4, &cancel, nullptr), kScanCancelled);
  EXPECT_EQ(ScanMpcorbMulti(path + ".absent", q.data(), 1, 4, nullptr, nullptr), kScanFileFailed);
  EXPECT_EQ(ScanMpcorbMulti(path, q.data(), 0, 4, nullptr, nullptr), 0);
}

namespace {

struct RecordingProgress : MatchProgress {
  void ReportMatchProgress(int percent) override { reports.push_back(percent); }
  std::vector<int> reports;
};

std::string CometLine(const std::string& key, const std::string& name, const TestOrbit& o) {
  const double n = kGaussK / std::pow(o.a, 1.5);
  double y, m, d;
  JdToCalendar(o.epoch - o.M * kRadPerDeg / n, y, m, d);
  char b[256];
  std::snprintf(b, sizeof b, "%12s  %4d %02d %7.4f %9.6f  %8.6f  %8.4f  %8.4f  %8.4f  20200101  10.0  4.0  %-56s", key.c_str(),
                static_cast<int>(y), static_cast<int>(m), d, o.a * (1 - o.e), o.e, o.peri, o.node, o.incl, name.c_str());
  return b;
}

}  // namespace

// Comets after the minor planets: the elliptic comet of the tracklet's own
// orbit enters the list with its flag, the hyperbolic line is not counted.
TEST(IdentCatalogue, CometScanAddsToTheLists) {
  TestOrbit comet = kMainBelt;
  comet.e = 0.62;
  comet.a = 4.0;
  comet.M = 12.0;
  const auto night = ObserveOrbit(comet, Times(2459100.5, {0.0, 0.02, 0.04}), 14.0);
  TestOrbit hyper = comet;
  std::string hyperLine = CometLine("    CK20H010", "C/2020 H1 (Test)", hyper);
  hyperLine.replace(41, 8, "1.002000");
  std::mt19937 rng(1);
  const std::string far = CometLine("    CK19A010", "C/2019 A1 (Far)", RandomOrbit(rng, 0, kEpoch2020));
  const std::string path =
      WriteFile("comets.txt", CometLine("    0999P", "999P/Test", comet) + "\n" + hyperLine + "\n" + far + "\n");
  std::vector<TrackletQuery> q(1, TrackletQuery{});
  q[0].m_pObs = night.data();
  q[0].m_nObs = 3;
  ASSERT_EQ(ScanMpcorbMulti(WriteFile("none.dat", "header only\n"), q.data(), 1, 2, nullptr, nullptr), 0);
  RecordingProgress progress;
  ASSERT_EQ(ScanCometElementsSingle(path, q.data(), 1, nullptr, &progress), 2);
  ASSERT_EQ(q[0].m_nList, 1);
  EXPECT_EQ(q[0].m_nPassed, 1);
  EXPECT_EQ(q[0].m_list[0].m_bComet, 1);
  EXPECT_STREQ(q[0].m_list[0].m_szName, "999P/Test");
  EXPECT_EQ(q[0].m_list[0].m_dMagDiff, 0.0);  // comets without the magnitude test
  EXPECT_LT(q[0].m_list[0].m_dScore, 0.01);
  EXPECT_EQ(ScanCometElementsSingle(path + ".absent", q.data(), 1, nullptr, nullptr), kScanFileFailed);
}

// The single-tracklet scan over three batches keeps every pass in record
// order, the same on 1, 2, 7 and 32 threads; it stops at the candidate limit
// and when a batch's report says so.
TEST(IdentCatalogue, ScanMpcorbSingleSameOnEveryThreadCount) {
  const std::string path = WriteFile("near_single.dat", NearbyCatalogue(45000));
  const auto night = ObserveOrbit(kMainBelt, Times(2459100.5, {0.0, 0.02, 0.04}), 0);
  ScanSlice summary;
  SetupSingleTrackletSlice(&summary, night.data(), 3, 15 * kRadPerDeg, kRadPerDeg, 3.0, nullptr);
  std::vector<std::vector<IdentCandidate>> runs;
  for (int threads : {1, 2, 7, 32}) {
    SCOPED_TRACE(threads);
    CatalogueLineReader reader;
    ASSERT_TRUE(reader.Open(path));
    std::vector<IdentCandidate> out;
    std::vector<long long> batches;
    ASSERT_EQ(ScanMpcorbSingle(reader, summary, threads, out, 200000, [] {},
                               [&](long long n) {
                                 batches.push_back(n);
                                 return true;
                               }),
              45000);
    EXPECT_EQ(batches, (std::vector<long long>{20000, 40000, 45000}));
    runs.push_back(out);
  }
  ASSERT_GT(runs[0].size(), 20u);
  for (size_t r = 1; r < runs.size(); ++r) {
    ASSERT_EQ(runs[r].size(), runs[0].size());
    for (size_t i = 0; i < runs[0].size(); ++i) {
      EXPECT_STREQ(runs[r][i].m_szDesig, runs[0][i].m_szDesig);
      EXPECT_EQ(runs[r][i].m_dScore, runs[0][i].m_dScore);
    }
  }
  for (size_t i = 1; i < runs[0].size(); ++i)  // record order
    EXPECT_LT(std::string(runs[0][i - 1].m_szDesig), std::string(runs[0][i].m_szDesig));

  CatalogueLineReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::vector<IdentCandidate> capped;
  EXPECT_EQ(ScanMpcorbSingle(reader, summary, 4, capped, 10, nullptr, [](long long) { return false; }), kScanCancelled);
  EXPECT_EQ(capped.size(), 10u);
}
