#pragma once
// Exact two-body observations for the preliminary-orbit tests: an observer on
// a circular orbit of 1 AU in the ecliptic watches an object on given
// elements; the places are solved with universal variables and the light
// time iterated to 1e-13 AU, independently of the code under test.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/two_body.h"
#include "data/observation_record.h"
#include "engine/determination_host.h"

struct SkyOrbit {
  double T, q, e;               // JD TT, AU
  double periDeg, nodeDeg, inclDeg;
};

// Observer-to-Sun vector (AU, J2000 equatorial) of the test observer.
inline void TestObserverSun(double jdTT, double sunAu[3]) {
  const double lon = 2.0 * M_PI * (jdTT - kJdJ2000) / 365.25636 + 1.75;
  const double x = std::cos(lon), y = std::sin(lon);
  sunAu[0] = -x;
  sunAu[1] = -y * std::cos(kObliquityJ2000Rad);
  sunAu[2] = -y * std::sin(kObliquityJ2000Rad);
}

// The observation of the orbit at jdTT as the reader would store it.
inline ObservationRecord ObserveOrbit(const SkyOrbit& orbit, double jdTT) {
  constexpr double kDeg = M_PI / 180.0;
  double P[3], Q[3];
  OrbitOrientationVectors(orbit.periDeg * kDeg, orbit.nodeDeg * kDeg, orbit.inclDeg * kDeg, P, Q);
  ObservationRecord o{};
  o.m_dJdUtc = jdTT;
  o.m_dJdTt = jdTT;
  o.m_dWeight = 1.0;
  o.m_chQuality = kObsQualityFull;
  TestObserverSun(jdTT, o.m_dSun);
  double delta = 0.0, rho[3] = {};
  for (int pass = 0; pass < 100; ++pass) {
    double pos[3];
    PropagateUniversal(jdTT - kLightTimeDaysPerAu * delta - orbit.T, orbit.q, orbit.e, P, Q, pos, nullptr);
    for (int i = 0; i < 3; ++i) rho[i] = pos[i] + o.m_dSun[i];
    const double d = std::sqrt(rho[0] * rho[0] + rho[1] * rho[1] + rho[2] * rho[2]);
    const bool settled = std::fabs(d - delta) < 1e-13;
    delta = d;
    if (settled) break;
  }
  o.m_dRa = std::atan2(rho[1], rho[0]);
  if (o.m_dRa < 0) o.m_dRa += 2.0 * M_PI;
  o.m_dDec = std::asin(rho[2] / delta);
  return o;
}

// Replaces the view's observations by those of the orbit at the given
// times (in time order), ended by the end record.
inline void LoadSkyObservations(CDetermination& view, const SkyOrbit& orbit, const std::vector<double>& times) {
  DetClass* det = view.m_pDetClass;
  std::free(det->m_pOrbObs);
  det->m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(times.size() + 1, sizeof(ObservationRecord)));
  for (size_t i = 0; i < times.size(); ++i) det->m_pOrbObs[i] = ObserveOrbit(orbit, times[i]);
  det->m_pOrbObs[times.size()].m_dJdUtc = -1.0;
  det->m_nObsCount = static_cast<int>(times.size());
  view.m_pEngine->m_nCalcState = kCalcLoaded;
}
