#include "engine/force_model.h"

#include <cmath>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "astro/mpeph_store.h"
#include "engine/close_approach.h"
#include "engine/nongrav.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "platform/nongrav_settings.h"

const double kBodyMasses[10] = {
    1.6601208268476147e-7,  // Mercury
    2.4478382857373332e-6,  // Venus
    3.0034896161241036e-6,  // Earth
    3.227156037857755e-7,   // Mars
    9.547918983127075e-4,   // Jupiter
    2.8588567008942334e-4,  // Saturn
    4.3662440433515637e-5,  // Uranus
    5.151383713179197e-5,   // Neptune
    7.35048038697045e-9,    // Pluto
    3.6943033572546987e-8,  // Moon
};

namespace {

constexpr double kGaussK2 = kGaussK * kGaussK;
constexpr double kRelativityFactor = 9.870628716888345e-09;  // k^2 / c^2, c in AU/day
constexpr double kRelativity4K2 = 0.0011836488331423646;     // 4 k^2
constexpr double kEarthJ2Factor = 0.001623938085;            // 1.5 J2
constexpr double kMissingPosition = 9999.9;

// The Earth's pole of date in J2000 axes, by the precession angles zeta and theta.
void EarthPoleOfDate(double t, double pole[3])
{
  const double J = (t - kJdJ2000) / 36525.0;
  const double zeta = (2306.2181 * J + 0.30188 * J * J + 0.017998 * J * J * J) * kRadPerArcsec;
  const double theta = (2004.3109 * J - 0.42665 * J * J - 0.041833 * J * J * J) * kRadPerArcsec;
  pole[0] = std::cos(zeta) * std::sin(theta);
  pole[1] = -std::sin(zeta) * std::sin(theta);
  pole[2] = std::cos(theta);
}

// The activity-shift ratio g(r(t - DT)) / g(r(t)) of the nominal orbit.
double ActivityRatio(const OrbitEngine* engine, const IntegrationState* state, double t)
{
  if (engine->m_bNonGrav != 1 || g_dNonGravDt == 0.0)
    return 1.0;
  const ElementBlock& el = state->m_el;
  const double r1 = HeliocentricDistanceAt(t - el.m_dT, el.m_dQ, el.m_dE);
  const double r2 = HeliocentricDistanceAt(t - g_dNonGravDt - el.m_dT, el.m_dQ, el.m_dE);
  if (r1 > 0.0 && r2 > 0.0) {
    const double g1 = NonGravG(engine, r1);
    if (g1 > 0.0)
      return NonGravG(engine, r2) / g1;
  }
  return 1.0;
}

// Adds g A along the radial (0), transverse (1) or normal (2) direction.
void AddNonGravTerm(int dir, double gA, const double r[3], const double v[3], double rr, double acc[3])
{
  if (dir == 0) {
    for (int c = 0; c < 3; ++c)
      acc[c] += gA * r[c] / rr;
    return;
  }
  const double h[3] = {r[1] * v[2] - r[2] * v[1], r[2] * v[0] - r[0] * v[2], r[0] * v[1] - r[1] * v[0]};
  const double hn = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
  if (hn == 0.0)
    return;
  if (dir == 1) {
    const double rdot = (r[0] * v[0] + r[1] * v[1] + r[2] * v[2]) / rr;
    for (int c = 0; c < 3; ++c)
      acc[c] += gA * (rr * v[c] - rdot * r[c]) / hn;
  } else {
    for (int c = 0; c < 3; ++c)
      acc[c] += gA * h[c] / hn;
  }
}

// Whether the Earth and Moon hold the object: a negative two-body energy
// about their common mass between two close evaluations.
void EarthBookkeeping(IntegrationState* state, const double* minusGM, double t, const double d[3], double dist)
{
  if (dist < state->m_dMinEarthDistance) {
    state->m_dMinEarthDistance = dist;
    state->m_dMinEarthTime = t;
  }
  if (state->m_bStartup) {
    state->m_dPrevEarthTime = 0.0;
    return;
  }
  if (state->m_dPrevEarthTime != 0.0 && state->m_dPrevEarthTime != t && dist < 0.01) {
    const double dt = t - state->m_dPrevEarthTime;
    double v2 = 0.0;
    for (int c = 0; c < 3; ++c) {
      const double dv = (d[c] - state->m_dPrevGeo[c]) / dt;
      v2 += dv * dv;
    }
    const double prev = std::sqrt(state->m_dPrevGeo[0] * state->m_dPrevGeo[0] +
                                  state->m_dPrevGeo[1] * state->m_dPrevGeo[1] +
                                  state->m_dPrevGeo[2] * state->m_dPrevGeo[2]);
    if ((minusGM[2] + minusGM[9]) / ((prev + dist) / 2.0) + v2 / 2.0 < 0.0)
      state->m_bEarthBound = 1;
  }
  state->m_dPrevEarthTime = t;
  for (int c = 0; c < 3; ++c)
    state->m_dPrevGeo[c] = d[c];
}

// Every tracker learns the direction of the run from the step's sign.
void FeedImpactDirection(IntegrationState* state, double h)
{
  if (!state->m_pImpacts || h == 0.0)
    return;
  for (ImpactTracker& tr : state->m_pImpacts->m_trackers)
    tr.m_nDirection = h > 0.0 ? 1 : -1;
}

// What one evaluation of the nominal orbit gives the attachments: the
// close-approach record and the geocentric track at the newest point, the
// impact trackers at every point of the start-up and at the newest point.
void FeedAttachments(IntegrationState* state, int i, int k, double t, const double d[3], double di,
                     const double rho[3])
{
  if (state->m_pApproach && k == 10 && (i < 10 || state->m_dMass[i] > 0.0) &&
      !(rho[0] == kMissingPosition && rho[1] == kMissingPosition && rho[2] == kMissingPosition))
    state->m_pApproach->Update(i, t, di);
  if (state->m_pImpacts && i < kBodyCount) {
    ImpactTracker& tr = state->m_pImpacts->m_trackers[i];
    if (!state->m_bStartup) {
      if (k == 10)
        tr.Step(t, di, d);
    } else {
      const double tk = t + (k - 5) * state->m_dStep;
      if (k == 10)
        tr.Step(tk, di, d);
      else if (!tr.m_bHit && di <= tr.TrackWindowAu() && di > tr.CaptureDistanceAu())
        tr.AddTrackPoint(tk, d);
    }
  }
  if (state->m_pGeoTrack && k == 10 && i == 2 && !state->m_bStartup)
    state->m_pGeoTrack->Append(t, d);
}

// The Earth's terms of every body in order: its bookkeeping, then the J2
// term of a body within 0.05 AU, before the point-mass term is added.
void EarthTerms(const OrbitEngine* engine, IntegrationState* state, const double* minusGM, double t, int first,
                int end, const double d[3][kMaxBodies], const double di[kMaxBodies], double a[3][kMaxBodies])
{
  bool poleReady = false;
  double pole[3];
  for (int j = first; j < end; ++j) {
    const double dj[3] = {d[0][j], d[1][j], d[2][j]};
    EarthBookkeeping(state, minusGM, t, dj, di[j]);
    if (engine->m_bEarthJ2 != 1 || !(di[j] < 0.05))
      continue;
    if (!poleReady) {
      EarthPoleOfDate(t, pole);
      poleReady = true;
    }
    const double u = (pole[0] * dj[0] + pole[1] * dj[1] + pole[2] * dj[2]) / di[j];
    const double d2 = di[j] * di[j];
    const double C = minusGM[2] * kEarthJ2Factor * kEarthEquatorialRadiusAu * kEarthEquatorialRadiusAu / (d2 * d2);
    for (int c = 0; c < 3; ++c)
      a[c][j] += C * (2.0 * u * pole[c] + (1.0 - 5.0 * u * u) * dj[c] / di[j]);
  }
}

// Body j's Sun term, relativity and non-gravitational terms, added in this
// order to its perturber sum a.
void SunAndModelTerms(const OrbitEngine* engine, const IntegrationState* state, int k, int j, double rr,
                      const double r[3], double ratio, double a[3])
{
  const double v[3] = {state->m_dVel[k][0][j], state->m_dVel[k][1][j], state->m_dVel[k][2][j]};
  const double r3 = rr * rr * rr;
  for (int c = 0; c < 3; ++c)
    a[c] -= kGaussK2 * r[c] / r3;
  if (engine->m_bRelativity == 1) {
    const double v2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    const double rv = r[0] * v[0] + r[1] * v[1] + r[2] * v[2];
    const double f = kRelativityFactor / r3;
    for (int c = 0; c < 3; ++c)
      a[c] += f * ((kRelativity4K2 / rr - v2) * r[c] + 4.0 * rv * v[c]);
  }
  if (engine->m_bNonGrav == 1) {
    const ElementBlock& el = state->m_el;
    const double g = NonGravG(engine, rr) * ratio;
    AddNonGravTerm(0, g * el.m_dA1, r, v, rr, a);
    if (engine->m_nNonGravModel != kNonGravRadiation) {
      AddNonGravTerm(1, g * el.m_dA2, r, v, rr, a);
      if (engine->m_bNonGravA3 == 1)
        AddNonGravTerm(2, g * el.m_dA3, r, v, rr, a);
    }
  }
  if (j >= 7 && (state->m_nSolveMask & (1 << j)))
    AddNonGravTerm(j - 7, NonGravG(engine, rr) * ratio * state->m_dVariation[j - 1], r, v, rr, a);
}

} // namespace

double NonGravG(const OrbitEngine* engine, double r)
{
  return NonGravLaw(engine->m_nNonGravModel, r);
}

void SetAsteroidMasses(OrbitEngine* engine, IntegrationState* state)
{
  for (int s = 10; s < kPerturbers; ++s)
    state->m_dMass[s] = 0.0;
  const MpephStore& store = GetPerturberTable();
  int members[kPerturberSetMaxMembers];
  const int n = GetPerturberSetMembers(engine->m_nAsteroidSet, members);
  for (int m = 0; m < n; ++m) {
    const int index = members[m];
    if (store.m_bLoaded && index >= 0 && index < store.m_header.nAsteroids && index < kMpephMaxAsteroids)
      state->m_dMass[10 + m] = store.m_header.masses[index];
  }
  for (int i = 0; i < kPerturbers; ++i)
    state->m_dMinusGM[i] = -(state->m_dMass[i] * kGaussK2);
}

void ResetApproachBookkeeping(IntegrationState* state)
{
  for (int i = 0; i < kPerturbers; ++i) {
    state->m_dDistance[i] = kNoDistance;
    state->m_dPrevDistance[i] = kNoDistance;
    state->m_dCollPrevDistance[i] = kNoDistance;
    state->m_dCollMinDistance[i] = kNoDistance;
    state->m_dCollMinTime[i] = 0.0;
    state->m_bCollided[i] = 0;
  }
  state->m_dMinEarthDistance = kNoDistance;
  state->m_dMinEarthTime = 0.0;
  state->m_bEarthBound = 0;
  state->m_dPrevEarthTime = 0.0;
  state->m_dSunPrevDistance = kNoDistance;
  state->m_bSunReached = 0;
}

void ResetRunBookkeeping(IntegrationState* state)
{
  ResetApproachBookkeeping(state);
  state->m_nStepLevel = 0;
  state->m_nMaxStepLevel = 0;
  state->m_dSunDistance10 = kNoDistance;
  state->m_dPrevSunDistance = kNoDistance;
  state->m_nStepsAtLevel = 0;
  for (int& b : state->m_nBackoff)
    b = 0;
  state->m_nReturnedLevel = -1;
  for (int i = 0; i < 10; ++i) {
    state->m_bSoiEntered[i] = 0;
    state->m_dSoiPrevDistance[i] = kNoDistance;
  }
  state->m_dLastGridEpoch = 0.0;
  state->m_dPrevStepTime = 0.0;
}

void SetupIntegrationState(OrbitEngine* engine, IntegrationState* state)
{
  for (int i = 0; i < 10; ++i)
    state->m_dMass[i] = kBodyMasses[i];
  SetAsteroidMasses(engine, state);
  state->m_pszPerturberMask = "111111111111111";
  for (int i = 0; i < 9; ++i)
    state->m_dVariation[i] = engine->m_dVariation[i];
  state->m_bStepControl = 0;
  state->m_bStepControlWanted = 1;
  state->m_dBaseStep = 0.0;
  ResetRunBookkeeping(state);
  state->m_pProgress = nullptr;
  state->m_pStatus = nullptr;
  state->m_dProgressStart = 0.0;
  state->m_dwProgressTick = 0;

  engine->m_dDamping = 1.0;
  engine->m_bHaveSaved = 0;
  engine->m_bCorrectionStopped = 0;
  engine->m_bDampingActive = 0;
  engine->m_bNonlinearReduced = 0;
}

void ComputeAccelerations(OrbitEngine* engine, IntegrationState* state, const char* /*mask*/, int bodies, int k,
                          const double* minusGM, double (*acc)[3][kMaxBodies], double t,
                          double (*pos)[3][kMaxBodies], double (*pert)[3][kPerturbers])
{
  const double ratio = ActivityRatio(engine, state, t);
  const int nPert = engine->m_nAsteroidSet != 0 ? kPerturbers : 10;
  double cube[kPerturbers];
  for (int i = 0; i < nPert; ++i) {
    const double x = pert[k][0][i], y = pert[k][1][i], z = pert[k][2][i];
    const double rho = std::sqrt(x * x + y * y + z * z);
    cube[i] = 1.0 / (rho * rho * rho);
  }
  const double h = state->m_dStep;
  FeedImpactDirection(state, h);

  int first, end;
  IntegratedBodies(*state, first, end);
  if (state->m_nSingleBody < 1)
    end = bodies;
  if (end <= first)
    return;
  // The perturber loop runs outside the body loop, on local arrays that
  // nothing else can alias, so that the bodies go through the square roots
  // and divisions side by side; each body still sums its terms in the
  // perturbers' order, so every sum is the one of a body-by-body loop.
  double a[3][kMaxBodies] = {};
  double d[3][kMaxBodies];
  double di[kMaxBodies];
  for (int i = 0; i < nPert; ++i) {
    const double rho[3] = {pert[k][0][i], pert[k][1][i], pert[k][2][i]};
    for (int j = first; j < end; ++j) {
      for (int c = 0; c < 3; ++c)
        d[c][j] = pos[k][c][j] - rho[c];
      di[j] = std::sqrt(d[0][j] * d[0][j] + d[1][j] * d[1][j] + d[2][j] * d[2][j]);
    }
    if (first == 0) {
      const double d0[3] = {d[0][0], d[1][0], d[2][0]};
      FeedAttachments(state, i, k, t, d0, di[0], rho);
    }
    if (i == 2)
      EarthTerms(engine, state, minusGM, t, first, end, d, di, a);
    const double gm = minusGM[i], ci = cube[i];
    for (int j = first; j < end; ++j) {
      const double di3 = di[j] * di[j] * di[j];
      for (int c = 0; c < 3; ++c)
        a[c][j] += gm * (ci * rho[c] + d[c][j] / di3);
    }
    // What the step-size and approach rules read: the last body's vectors.
    for (int c = 0; c < 3; ++c)
      state->m_dRel[i][c] = d[c][end - 1];
    state->m_dDistance[i] = di[end - 1];
  }
  for (int j = first; j < end; ++j) {
    const double r[3] = {pos[k][0][j], pos[k][1][j], pos[k][2][j]};
    double aj[3] = {a[0][j], a[1][j], a[2][j]};
    const double rr = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    if (j == 0 && k == 10)
      state->m_dSunDistance10 = rr;
    SunAndModelTerms(engine, state, k, j, rr, r, ratio, aj);
    for (int c = 0; c < 3; ++c)
      acc[k][c][j] = aj[c];
  }
}
