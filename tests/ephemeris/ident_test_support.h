#pragma once
// Test helpers of the identification: a synthetic observer on a circular
// Earth orbit, tracklets observed from a known orbit with the light time
// solved by the two-body module's own iteration, and catalogue lines in the
// minor-planet catalogue's columns.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "data/observation_record.h"
#include "engine/orbit_engine.h"
#include "ephemeris/whois_obs.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"

// Mean-anomaly elements of a test orbit (degrees, AU, JD TT).
struct TestOrbit {
  double epoch, M, peri, node, incl, e, a, H, G;
};

// The observer-to-Sun vector of an observer on a circular orbit (obliquity 23.44°).
inline void TestSunVector(double jdTT, double sun[3]) {
  const double L = 2 * kPi * (jdTT - 2451545.0) / 365.25 + 1.75;
  const double eps = 23.44 * kRadPerDeg;
  sun[0] = -std::cos(L);
  sun[1] = -std::sin(L) * std::cos(eps);
  sun[2] = -std::sin(L) * std::sin(eps);
}

// Observations of the orbit at the given times (magnitude mag, 0 for none).
inline std::vector<ObservationRecord> ObserveOrbit(const TestOrbit& o, const std::vector<double>& times,
                                                   double mag = 0) {
  double P[3], Q[3];
  OrbitOrientationVectors(o.peri * kRadPerDeg, o.node * kRadPerDeg, o.incl * kRadPerDeg, P, Q);
  const double n = kGaussK / std::pow(o.a, 1.5);
  const double T = o.epoch - o.M * kRadPerDeg / n;
  std::vector<ObservationRecord> obs(times.size() + 1);
  for (size_t i = 0; i < times.size(); ++i) {
    ObservationRecord& r = obs[i];
    std::memset(&r, 0, sizeof r);
    std::strcpy(r.m_szDesig, "     TEST01");
    std::strcpy(r.m_szStation, "500");
    r.m_chObsType = 'C';
    r.m_dJdTt = times[i];
    r.m_dJdUtc = times[i] - 65.0 / 86400;
    TestSunVector(times[i], r.m_dSun);
    double delta, rr, nu;
    TwoBodyGeocentricPosition(T, o.a * (1 - o.e), o.e, P, Q, times[i], r.m_dSun, r.m_dRa, r.m_dDec, delta, rr, nu);
    r.m_dMag = mag;
    r.m_dWeight = 1.0;
  }
  std::memset(&obs.back(), 0, sizeof(ObservationRecord));
  obs.back().m_dJdUtc = -1.0;
  obs.pop_back();
  return obs;
}

// Five-character packed date of a calendar date (day whole).
inline std::string PackedDate(int year, int month, int day) {
  auto digit = [](int v) { return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10); };
  char s[16];
  std::snprintf(s, sizeof s, "%c%02d%c%c", static_cast<char>('A' + year / 100 - 10), year % 100, digit(month),
                digit(day));
  return s;
}

// A catalogue line of the orbit; the epoch must fall on 0h of a date. H < 0
// leaves H and G blank.
inline std::string MpcorbLine(const std::string& key, const std::string& name, const TestOrbit& o) {
  double y, m, d;
  JdToCalendar(o.epoch, y, m, d);
  std::string line(202, ' ');
  auto put = [&line](int col, const std::string& text) { line.replace(col - 1, text.size(), text); };
  auto fmt = [](const char* f, double v) {
    char b[32];
    std::snprintf(b, sizeof b, f, v);
    return std::string(b);
  };
  put(1, key);
  if (o.H >= 0) {
    put(9, fmt("%5.2f", o.H));
    put(15, fmt("%5.2f", o.G));
  } else {
    put(11, ".");
    put(17, ".");
  }
  put(21, PackedDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)));
  put(27, fmt("%9.5f", o.M));
  put(38, fmt("%9.5f", o.peri));
  put(49, fmt("%9.5f", o.node));
  put(60, fmt("%9.5f", o.incl));
  put(71, fmt("%9.7f", o.e));
  put(81, fmt("%11.8f", kGaussK / std::pow(o.a, 1.5) * kDegPerRad));
  put(93, fmt("%11.7f", o.a));
  put(107, "0 MPO000000   100   5 2000-2020 0.50 M-v 30h Test       0000");
  put(167, name);
  return line;
}

// Random orbits: main-belt (kind 0) or near-Earth (kind 1), epoch on 0h.
inline TestOrbit RandomOrbit(std::mt19937& rng, int kind, double epoch) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  TestOrbit o{};
  o.epoch = epoch;
  o.M = 360 * u(rng);
  o.peri = 360 * u(rng);
  o.node = 360 * u(rng);
  o.incl = kind ? 40 * u(rng) : 25 * u(rng);
  o.e = kind ? 0.1 + 0.6 * u(rng) : 0.25 * u(rng);
  o.a = kind ? 0.8 + 1.8 * u(rng) : 2.1 + 1.2 * u(rng);
  o.H = kind ? 18 + 8 * u(rng) : 12 + 7 * u(rng);
  o.G = 0.15;
  return o;
}

// Keplerian elements at 0h of the date of a reference orbit file's
// equinoctial elements (a, e sin ϖ, e cos ϖ, tan(i/2) sin Ω, tan(i/2) cos Ω, λ
// at an MJD, TT), the mean anomaly carried back by the mean motion.
inline bool ReadReferenceOrbit(const std::string& path, const std::string& name, TestOrbit& o) {
  std::istringstream in(ReadTestFile(path));
  std::string line;
  bool inRecord = false;
  double eq[6] = {}, mjd = 0;
  int have = 0;
  while (std::getline(in, line)) {
    if (line == name) inRecord = true;
    if (!inRecord) continue;
    if (std::sscanf(line.c_str(), " EQU %lf %lf %lf %lf %lf %lf", &eq[0], &eq[1], &eq[2], &eq[3], &eq[4], &eq[5]) == 6)
      ++have;
    if (std::sscanf(line.c_str(), " MJD %lf", &mjd) == 1) {
      ++have;
      break;
    }
  }
  if (have != 2) return false;
  const double jd = mjd + 2400000.5, epoch = std::floor(jd - 0.5) + 0.5;
  const double varpi = std::atan2(eq[1], eq[2]) * kDegPerRad, node = std::atan2(eq[3], eq[4]) * kDegPerRad;
  const double nDeg = kGaussK / std::pow(eq[0], 1.5) * kDegPerRad;
  o.a = eq[0];
  o.e = std::hypot(eq[1], eq[2]);
  o.incl = 2 * std::atan(std::hypot(eq[3], eq[4])) * kDegPerRad;
  o.node = std::fmod(node + 360, 360);
  o.peri = std::fmod(varpi - node + 720, 360);
  o.M = std::fmod(eq[5] - varpi - nDeg * (jd - epoch) + 720, 360);
  o.epoch = epoch;
  o.H = -1;
  o.G = 0.15;
  return true;
}

// The catalogue of the acceptance: a header, the real excerpt, the three
// reference orbits among 3000 synthetic main-belt and near-Earth lines.
inline std::string BuildAcceptanceCatalogue(const std::string& dir) {
  const std::string excerpt = TestDataPath("catalogues/skyfield_MPCORB.excerpt.DAT");
  TestOrbit apollo, ab, tf;
  if (excerpt.empty() || !TestDataFileExists(excerpt) ||
      !ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/1862.fel"), "1862", apollo) ||
      !ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/2015AB.oel"), "2015AB", ab) ||
      !ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/2015TF202.oel"), "2015TF202_1=2015TF202_2", tf))
    return "";
  apollo.H = 16.06;
  std::string text = "Des'n     H     G   Epoch     M        Peri.      Node       Incl.       e            n           a\n" +
                     std::string(160, '-') + "\n";
  text += ReadTestFile(excerpt);
  std::mt19937 rng(34);
  for (int i = 0; i < 3000; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "S%04d", i);
    text += MpcorbLine(key, std::string("(") + key + ") Synthetic", RandomOrbit(rng, i % 4 == 0, 2459000.5)) + "\n";
    if (i == 1000) text += MpcorbLine("01862", "(1862) Apollo", apollo) + "\n";
    if (i == 2000) text += MpcorbLine("K15A00B", "2015 AB", ab) + "\n";
    if (i == 2500) text += MpcorbLine("K15TK2F", "2015 TF202", tf) + "\n";
  }
  return WriteTestFile(dir, "MPCORB.DAT", text);
}

// The form of the identification view as plain fields.
struct TestWhoisForm : WhoisForm {
  std::string Text(int id) override { return texts[id]; }
  void SetText(int id, const std::string& text) override { texts[id] = text; }
  void Enable(int id, bool enable) override { enabled[id] = enable; }
  int Selection(int) override { return selection; }
  void SetProgress(int percent) override { progress = percent; }
  void ShowRows(const std::vector<std::vector<std::string>>& r) override { rows = r; }
  EngineWindow* EngineText() override { return &engineText; }

  struct TextWindow : EngineWindow {
    std::string text;
    std::string GetText() const override { return text; }
    void SetText(const std::string& t) override { text = t; }
  } engineText;
  std::map<int, std::string> texts;
  std::map<int, bool> enabled;
  int selection = 0;
  int progress = -1;
  std::vector<std::vector<std::string>> rows;
};
