#pragma once
// Two observations of a known orbit that is at perihelion at the last one,
// seen from an observer placed so that the object stands at a chosen distance
// then: the truth the Väisälä solvers must find again.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/two_body.h"
#include "data/observation_record.h"
#include "ephemeris/vaisala.h"

struct KnownOrbit {
  double q, e, peri, node, incl;  // angles in degrees
};

struct SyntheticPair {
  VaisalaObservations in;
  double T = 0;  // perihelion time of the truth
};

// The object at perihelion at t2 minus the light time of delta; the observer
// delta from it along (ra2, dec2), moving like the Earth; the first
// observation dtDays earlier with the light time iterated by the library.
inline SyntheticPair MakePair(const KnownOrbit& k, double delta, double dtDays, double ra2 = 0.6, double dec2 = 0.3) {
  SyntheticPair s;
  double P[3], Q[3];
  OrbitOrientationVectors(k.peri * kRadPerDeg, k.node * kRadPerDeg, k.incl * kRadPerDeg, P, Q);
  const double t2 = 2457300.8;
  s.T = t2 - delta * kLightTimeDaysPerAu;
  double r2[3];
  TwoBodyStateLightTime(t2, s.T, k.q, k.e, P, Q, delta, r2, nullptr);
  const double u[3] = {std::cos(dec2) * std::cos(ra2), std::cos(dec2) * std::sin(ra2), std::sin(dec2)};
  double observer2[3], observer1[3];
  for (int i = 0; i < 3; ++i) observer2[i] = r2[i] - delta * u[i];
  // The observer's velocity: 0.0172 AU/day across its own radius, in the equator's plane.
  const double len = std::hypot(observer2[0], observer2[1]);
  const double v[3] = {-observer2[1] / len * 0.0172, observer2[0] / len * 0.0172, 0};
  for (int i = 0; i < 3; ++i) observer1[i] = observer2[i] - v[i] * dtDays;
  s.in.t2 = t2;
  s.in.t1 = t2 - dtDays;
  s.in.ra2 = ra2;
  s.in.dec2 = dec2;
  for (int i = 0; i < 3; ++i) {
    s.in.sun2[i] = -observer2[i];
    s.in.sun1[i] = -observer1[i];
  }
  double d, r, nu;
  TwoBodyGeocentricPosition(s.T, k.q, k.e, P, Q, s.in.t1, s.in.sun1, s.in.ra1, s.in.dec1, d, r, nu);
  return s;
}

// The pair as an observation array of the view (two records and the end).
inline ObservationRecord* PairObservations(const VaisalaObservations& in) {
  auto* obs = static_cast<ObservationRecord*>(std::calloc(3, sizeof(ObservationRecord)));
  const double t[2] = {in.t1, in.t2}, ra[2] = {in.ra1, in.ra2}, dec[2] = {in.dec1, in.dec2};
  const double* sun[2] = {in.sun1, in.sun2};
  for (int i = 0; i < 2; ++i) {
    ObservationRecord& o = obs[i];
    std::snprintf(o.m_szDesig, sizeof o.m_szDesig, "     K15X01A");
    std::snprintf(o.m_szStation, sizeof o.m_szStation, "G45");
    o.m_chObsType = 'C';
    o.m_chQuality = ' ';
    o.m_dJdTt = t[i];
    o.m_dJdUtc = t[i] - 68.0 / 86400.0;
    o.m_dRa = ra[i];
    o.m_dDec = dec[i];
    for (int k = 0; k < 3; ++k) o.m_dSun[k] = sun[i][k];
  }
  obs[2].m_dJdUtc = -1.0;
  return obs;
}

// A headless view holding the pair.
inline void LoadPair(CVaisala& view, const VaisalaObservations& in, const char* name = "2015 XA") {
  std::free(view.m_pOrbObs);
  view.m_pOrbObs = PairObservations(in);
  view.m_nObs = 2;
  view.m_nFirst = 0;
  view.m_nLast = 1;
  view.m_strName = name;
}

// Lines of the candidate list marked as the best.
inline int Marked(const std::vector<std::string>& lines) {
  int n = 0;
  for (const std::string& l : lines)
    if (l.size() >= 5 && l.compare(l.size() - 5, 5, "  (*)") == 0) ++n;
  return n;
}
