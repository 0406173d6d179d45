#include "astro/ephemeris_rows.h"

#include <algorithm>
#include <cmath>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/two_body.h"

namespace {

constexpr double kArcminPerRad = kDegPerRad * 60.0;
constexpr double kMinTimePerDeg = 4.0;   // minutes of time per degree of right ascension
constexpr double kMagnitudeFloor = -10.0;
constexpr double kPhaseCoefficientK2 = 5.0;  // the nuclear slope that takes the phase term
constexpr double kPhaseMagPerDeg = 0.03;
constexpr double kVariationMaxE = 0.98;

// Angle in degrees [0, 180] from its cosine. Rounding can carry the cosine of
// a nearly flat triangle past +-1; a degenerate triangle (a zero side, 0/0)
// gives 0.
double AngleFromCosineDeg(double c) {
  c = std::max(-1.0, std::min(1.0, c));  // NaN becomes 1
  return std::atan2(std::sqrt(1.0 - c * c), c) * kDegPerRad;
}

double Magnitude(double H, double K, double deltaAu, double rAu) {
  return H + 5.0 * std::log10(deltaAu) + K * std::log10(rAu);
}

double WithFloor(double mag) { return mag < kMagnitudeFloor ? kMagnitudeFloor : mag; }

// Right-ascension difference brought into [-pi, pi] by one turn.
double RaDifference(double ra2, double ra1) {
  double d = ra2 - ra1;
  if (d >= kPi)
    d -= 2.0 * kPi;
  else if (d <= -kPi)
    d += 2.0 * kPi;
  return d;
}

void MarkMotionMissing(EphemerisRow& row) {
  row.m_dRaChangeMin = kEphemerisMissing;
  row.m_dDecChangeArcmin = kEphemerisMissing;
  row.m_dRateArcminPerDay = kEphemerisMissing;
  row.m_dMotionPaDeg = kEphemerisMissing;
}

void MarkObjectMissing(EphemerisRow& row) {
  row.m_dRaHours = row.m_dDecDeg = row.m_dRaRad = row.m_dDecRad = kEphemerisMissing;
  row.m_dDeltaAu = row.m_dRAu = row.m_dTrueAnomalyRad = kEphemerisMissing;
  row.m_dElongationDeg = row.m_dPhaseDeg = kEphemerisMissing;
  row.m_dM1 = row.m_dM2 = kEphemerisUnknownMagnitude;
  row.m_dMoonSeparationDeg = kEphemerisMissing;
  MarkMotionMissing(row);
}

// Sun, Moon and time fields of a row.
void FillSunAndMoon(double jdTT, EphemerisRow& row) {
  double sunOfDate[3];
  double betaRad = 0.0;
  GeocentricSun(jdTT, row.m_dSunAu, sunOfDate, row.m_dSunLongitudeRad, betaRad, row.m_dSunDistanceAu);
  row.m_dJdTT = jdTT;
  // The Sun's place of date; atan2 keeps a zero vector (no planetary file) finite.
  const double sunRa = std::atan2(sunOfDate[1], sunOfDate[0]);
  const double sunDec = std::atan2(sunOfDate[2], std::hypot(sunOfDate[0], sunOfDate[1]));
  GeocentricMoon(jdTT, row.m_dMoonRaRad, row.m_dMoonDecRad);
  double pa = 0.0, psi = 0.0;
  PositionAngleAndSeparation(sunRa, sunDec, row.m_dMoonRaRad, row.m_dMoonDecRad, pa, psi);
  row.m_dMoonIllumination = (1.0 - std::cos(psi)) / 2.0;
}

}  // namespace

int ComputeEphemerisRows(int noMotion, char /*unused*/, int variation, double startJdTT, double stepDays,
                         int count, double jdT, double qAu, double e, double periRad, double nodeRad,
                         double inclRad, double H1, double H2, double K1, double K2, double /*G*/,
                         double rShiftDays, EphemerisRow* rows) {
  if (count < 1 || !rows) return 0;
  FillEphemerisSunAndMoon(startJdTT, stepDays, count, rows);
  return FillEphemerisObjectRows(noMotion, variation, count, jdT, qAu, e, periRad, nodeRad, inclRad, H1, H2, K1, K2,
                                 rShiftDays, rows);
}

void FillEphemerisSunAndMoon(double startJdTT, double stepDays, int count, EphemerisRow* rows) {
  for (int k = 0; k < count; ++k) FillSunAndMoon(startJdTT + k * stepDays, rows[k]);
}

int FillEphemerisObjectRows(int noMotion, int variation, int count, double jdT, double qAu, double e,
                            double periRad, double nodeRad, double inclRad, double H1, double H2, double K1,
                            double K2, double rShiftDays, EphemerisRow* rows) {
  if (count < 1 || !rows) return 0;
  double P[3], Q[3];
  OrbitOrientationVectors(periRad, nodeRad, inclRad, P, Q);

  const bool variationOfT = variation == 1 && e <= kVariationMaxE;
  for (int k = 0; k < count; ++k) {
    EphemerisRow& row = rows[k];
    const double t = row.m_dJdTT;
    double ra, dec, delta, r, nu;
    if (TwoBodyGeocentricPosition(jdT, qAu, e, P, Q, t, row.m_dSunAu, ra, dec, delta, r, nu) != 0) {
      for (int j = k; j < count; ++j) MarkObjectMissing(rows[j]);
      return k;
    }
    row.m_dRaRad = ra;
    row.m_dDecRad = dec;
    row.m_dDeltaAu = delta;
    row.m_dRAu = r;
    row.m_dTrueAnomalyRad = nu;
    row.m_dRaHours = ra * kDegPerRad / 15.0;
    row.m_dDecDeg = dec * kDegPerRad;

    const double R = row.m_dSunDistanceAu;
    row.m_dPhaseDeg = AngleFromCosineDeg((r * r + delta * delta - R * R) / (2.0 * r * delta));
    row.m_dElongationDeg = AngleFromCosineDeg((delta * delta + R * R - r * r) / (2.0 * delta * R));

    if (H1 == 0.0) {
      row.m_dM1 = kEphemerisUnknownMagnitude;
    } else {
      double rShifted = r;
      if (rShiftDays != 0.0) {
        double pos[3];
        if (TwoBodyStateLightTime(t + rShiftDays, jdT, qAu, e, P, Q, delta, pos, nullptr) == 0)
          rShifted = std::sqrt(pos[0] * pos[0] + pos[1] * pos[1] + pos[2] * pos[2]);
        else
          rShifted = -1.0;
      }
      row.m_dM1 = rShifted > 0.0 ? WithFloor(Magnitude(H1, K1, delta, rShifted)) : kEphemerisUnknownMagnitude;
    }
    if (H2 == 0.0) {
      row.m_dM2 = kEphemerisUnknownMagnitude;
    } else {
      double m2 = Magnitude(H2, K2, delta, r);
      if (K2 == kPhaseCoefficientK2) m2 += kPhaseMagPerDeg * row.m_dPhaseDeg;
      row.m_dM2 = WithFloor(m2);
    }

    MarkMotionMissing(row);
    if (!noMotion) {
      double sunNext[3], sunNextOfDate[3], lambda, beta, dist;
      GeocentricSun(t + 1.0, sunNext, sunNextOfDate, lambda, beta, dist);
      double ra1, dec1, delta1, r1, nu1;
      if (TwoBodyGeocentricPosition(jdT, qAu, e, P, Q, t + 1.0, sunNext, ra1, dec1, delta1, r1, nu1) == 0) {
        double pa = 0.0, sep = 0.0;
        PositionAngleAndSeparation(ra, dec, ra1, dec1, pa, sep);
        row.m_dRateArcminPerDay = sep * kArcminPerRad;
        row.m_dMotionPaDeg = pa * kDegPerRad;
        row.m_dRaChangeMin = RaDifference(ra1, ra) * kDegPerRad * kMinTimePerDeg;
        row.m_dDecChangeArcmin = (dec1 - dec) * kArcminPerRad;
      }
      if (variationOfT) {
        double raT, decT, deltaT, rT, nuT;
        if (TwoBodyGeocentricPosition(jdT + 1.0, qAu, e, P, Q, t, row.m_dSunAu, raT, decT, deltaT, rT, nuT) == 0) {
          row.m_dRaChangeMin = RaDifference(raT, ra) * kDegPerRad * kMinTimePerDeg;
          row.m_dDecChangeArcmin = (decT - dec) * kArcminPerRad;
        } else {
          row.m_dRaChangeMin = row.m_dDecChangeArcmin = kEphemerisMissing;
        }
      }
    }

    double paMoon = 0.0, sepMoon = 0.0;
    PositionAngleAndSeparation(ra, dec, row.m_dMoonRaRad, row.m_dMoonDecRad, paMoon, sepMoon);
    row.m_dMoonSeparationDeg = sepMoon * kDegPerRad;
  }
  return count;
}

double TriangleAngle(double a, double b, double c) {
  return AngleFromCosineDeg((a * a + b * b - c * c) / (2.0 * a * b));
}

int LinearFit(const double x[], const double y[], int n, double& intercept, double& slope, double& rms) {
  if (n < 2) return 0;
  double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
  for (int i = 0; i < n; ++i) {
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    sxy += x[i] * y[i];
  }
  const double d = n * sxx - sx * sx;
  if (std::fabs(d) < 1e-12) return 0;
  intercept = (sxx * sy - sxy * sx) / d;
  slope = (n * sxy - sy * sx) / d;
  double ss = 0.0;
  for (int i = 0; i < n; ++i) {
    const double res = slope * x[i] + intercept - y[i];
    ss += res * res;
  }
  rms = std::sqrt(ss / n);
  return 1;
}
