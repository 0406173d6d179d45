// The magnitude laws, their least-squares fits to the observed magnitudes
// (unweighted; only the point flags exclude), and the adjustments of a law
// through one or two points.
//   comet:    m = H + 5 log10 Δ + K log10 r
//   asteroid: m = H - 2.5 log10[(1 - G) Φ1(α) + G Φ2(α)] + 5 log10(r Δ)
// with the IAU phase functions Φ1 = exp(-3.33 tan(α/2)^0.63) and
// Φ2 = exp(-1.87 tan(α/2)^1.22).
#include <cmath>
#include <utility>
#include <vector>

#include "astro/angle_units.h"
#include "astro/ephemeris_rows.h"
#include "astro/frames.h"
#include "astro/two_body.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "views/mag_curve.h"

namespace {

// Every model magnitude of the plots stops here.
constexpr double kMagFloor = -10;

constexpr const char* kMsgTooFewMagnitudes = "等級記録のある有効な観測が2点未満のため、フィットできません。";
constexpr const char* kMsgTooFewForLaw = "光度式に使える観測が2点未満のため、フィットできません。";
constexpr const char* kMsgSolveFailed = "フィットに失敗しました(観測点の分布が偏っている可能性があります)。";
constexpr const char* kMsgNonPhysical = "フィット結果が物理的にあり得ない値になりました(観測点を見直してください)。";
constexpr const char* kMsgNoMagnitudes = "等級記録のある観測がありません。";
constexpr const char* kMsgEnterSlope = "[K/G]欄に、固定する傾きの値を入力してください。";
constexpr const char* kMsgGRange = "小惑星のGは0以上1以下の範囲で入力してください。";
constexpr const char* kMsgEnterH = "[H]欄に、固定する等級の値を入力してください。";
constexpr const char* kMsgNoHForSlope = "指定した傾きではHを計算できませんでした。";
constexpr const char* kMsgNoSlopeForH =
    "指定したHでは傾きを計算できませんでした。\r\n(観測の日心距離や位相角の変化が小さすぎます)";

// The reduced flux of an asteroid point: 10^(-0.4 (m - 5 log10(r Δ))).
double ReducedFlux(const MagCurvePoint& p)
{
  return std::pow(10.0, -0.4 * (p.dMag - 5 * std::log10(p.dR * p.dDelta)));
}

} // namespace

double PhaseFunction1(double phaseDeg)
{
  return std::exp(-3.33 * std::pow(std::tan(phaseDeg * kRadPerDeg / 2), 0.63));
}

double PhaseFunction2(double phaseDeg)
{
  return std::exp(-1.87 * std::pow(std::tan(phaseDeg * kRadPerDeg / 2), 1.22));
}

double CMagCurveDlg::LawMagnitude(double r, double delta, double phaseDeg) const
{
  if (!m_bAsteroidLaw)
    return m_dH + 5 * std::log10(delta) + m_dSlope * std::log10(r);
  const double G = m_dSlope;
  return m_dH - 2.5 * std::log10((1 - G) * PhaseFunction1(phaseDeg) + G * PhaseFunction2(phaseDeg)) +
         5 * std::log10(r * delta);
}

bool CMagCurveDlg::GeometryAt(double t, double& r, double& delta, double& R)
{
  if (!m_bHasOrbit || !(m_dQ > 0))
    return false;
  double P[3], Q[3];
  OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
  double sun[3], sunOfDate[3], lambda = 0, beta = 0;
  R = 0;
  GeocentricSun(t, sun, sunOfDate, lambda, beta, R);
  // Without the planetary file there is no Sun to see the object from.
  if (!(R > 0))
    return false;
  double ra = 0, dec = 0, nu = 0;
  if (TwoBodyGeocentricPosition(m_dT, m_dQ, m_dE, P, Q, t, sun, ra, dec, delta, r, nu) != 0)
    return false;
  return r > 0 && delta > 0;
}

int CMagCurveDlg::ModelMagnitude(double t, double& mag)
{
  double r = 0, delta = 0, R = 0;
  if (!GeometryAt(t, r, delta, R))
    return 0;
  const double phase = m_bAsteroidLaw ? TriangleAngle(r, delta, R) : 0;
  mag = LawMagnitude(r, delta, phase);
  if (mag < kMagFloor)
    mag = kMagFloor;
  return 1;
}

void CMagCurveDlg::StoreLaw(double H, double slope)
{
  m_dH = H;
  m_dSlope = slope;
  m_bManual = 0;
  m_bFitted = 1;
  ComputeRms();
  ShowFitResults();
  Invalidate();
}

int CMagCurveDlg::Fit(int bQuiet)
{
  m_bFitted = 0;
  m_bSlopeSubstituted = 0;
  auto fail = [&](const char* text) {
    if (!bQuiet)
      Message(text, false);
    return 0;
  };
  if (m_nPoints < 2)
    return fail(kMsgTooFewMagnitudes);
  std::vector<double> x, y, u, v;
  for (const MagCurvePoint& p : m_pPoints) {
    if (!TakesPart(p))
      continue;
    if (!m_bAsteroidLaw) {
      x.push_back(std::log10(p.dR));
      y.push_back(p.dMag - 5 * std::log10(p.dDelta));
    } else {
      const double f1 = PhaseFunction1(p.dPhase);
      u.push_back(f1);
      v.push_back(PhaseFunction2(p.dPhase) - f1);
      y.push_back(ReducedFlux(p));
    }
  }
  const int n = static_cast<int>(y.size());
  if (n < 2)
    return fail(kMsgTooFewForLaw);

  if (!m_bAsteroidLaw) {
    double H = 0, K = 0, rms = 0;
    if (!LinearFit(x.data(), y.data(), n, H, K, rms))
      return fail(kMsgSolveFailed);
    m_dH = H;
    m_dSlope = K;
    if (K >= 2 && K <= 40) {
      StoreLaw(H, K);
      return 1;
    }
    // The arc does not determine K: the usual 10, shown as a fixed slope.
    double sum = 0;
    for (int i = 0; i < n; ++i)
      sum += y[i] - 10 * x[i];
    m_bSlopeSubstituted = 1;
    StoreLaw(sum / n, 10);
    if (HasItem(kMagFixSlope)) {
      SetCheck(kMagFixSlope, 1);
      SetReadOnly(kMagSlopeEdit, false);
    }
    return 1;
  }

  double Suu = 0, Svv = 0, Suv = 0, Syu = 0, Syv = 0;
  for (int i = 0; i < n; ++i) {
    Suu += u[i] * u[i];
    Svv += v[i] * v[i];
    Suv += u[i] * v[i];
    Syu += y[i] * u[i];
    Syv += y[i] * v[i];
  }
  const double D = Svv * Suu - Suv * Suv;
  if (std::fabs(D) <= 1e-30)
    return fail(kMsgSolveFailed);
  const double A = (Syu * Svv - Syv * Suv) / D;
  const double B = (Syv * Suu - Syu * Suv) / D;
  if (!(A > 0))
    return fail(kMsgNonPhysical);
  m_dH = -2.5 * std::log10(A);
  m_dSlope = B / A;
  if (m_dSlope >= 0 && m_dSlope <= 1) {
    StoreLaw(m_dH, m_dSlope);
    return 1;
  }
  const double G = m_dSlope < 0 ? 0 : 1;
  double S1 = 0, S2 = 0;
  for (int i = 0; i < n; ++i) {
    const double F = u[i] + G * v[i];  // (1 - G) Φ1 + G Φ2
    S1 += y[i] * F;
    S2 += F * F;
  }
  m_dSlope = G;
  if (!(S2 >= 1e-12) || !(S1 / S2 > 0))
    return fail(kMsgNonPhysical);
  StoreLaw(-2.5 * std::log10(S1 / S2), G);
  return 1;
}

void CMagCurveDlg::ComputeRms()
{
  double sum = 0;
  int n = 0;
  for (const MagCurvePoint& p : m_pPoints) {
    if (!TakesPart(p))
      continue;
    const double d = LawMagnitude(p.dR, p.dDelta, p.dPhase) - p.dMag;
    sum += d * d;
    ++n;
  }
  m_dRms = n > 0 ? std::sqrt(sum / n) : 0;
}

bool CMagCurveDlg::ReadNumberItem(int id, double& value)
{
  const std::string text(TrimSpace(GetItemText(id)));
  if (text.empty())
    return false;
  value = StringToDouble(text);
  return true;
}

int CMagCurveDlg::FitFixed(bool bQuiet)
{
  auto fail = [&](const char* text) {
    if (!bQuiet)
      Message(text, false);
    return 0;
  };
  if (m_nPoints == 0)
    return fail(kMsgNoMagnitudes);
  const bool bSlopeFixed = IsSlopeFixed() != 0, bHFixed = IsHFixed() != 0;
  double slope = 0, H = 0;
  if (bSlopeFixed) {
    if (!ReadNumberItem(kMagSlopeEdit, slope))
      return fail(kMsgEnterSlope);
    if (m_bAsteroidLaw && !(slope >= 0 && slope <= 1))
      return fail(kMsgGRange);
  }
  if (bHFixed && !ReadNumberItem(kMagHEdit, H))
    return fail(kMsgEnterH);

  if (bSlopeFixed && !bHFixed) {
    if (!m_bAsteroidLaw) {
      double sum = 0;
      int n = 0;
      for (const MagCurvePoint& p : m_pPoints)
        if (TakesPart(p)) {
          sum += p.dMag - 5 * std::log10(p.dDelta) - slope * std::log10(p.dR);
          ++n;
        }
      if (n == 0)
        return fail(kMsgNoHForSlope);
      H = sum / n;
    } else {
      double S1 = 0, S2 = 0;
      for (const MagCurvePoint& p : m_pPoints)
        if (TakesPart(p)) {
          const double F = (1 - slope) * PhaseFunction1(p.dPhase) + slope * PhaseFunction2(p.dPhase);
          S1 += ReducedFlux(p) * F;
          S2 += F * F;
        }
      if (S2 < 1e-12 || !(S1 / S2 > 0))
        return fail(kMsgNoHForSlope);
      H = -2.5 * std::log10(S1 / S2);
    }
  } else if (bHFixed && !bSlopeFixed) {
    double num = 0, den = 0;
    for (const MagCurvePoint& p : m_pPoints) {
      if (!TakesPart(p))
        continue;
      if (!m_bAsteroidLaw) {
        const double x = std::log10(p.dR);
        num += (p.dMag - 5 * std::log10(p.dDelta) - H) * x;
        den += x * x;
      } else {
        const double f1 = PhaseFunction1(p.dPhase), v = PhaseFunction2(p.dPhase) - f1;
        const double w = std::pow(10.0, -0.4 * (p.dMag - 5 * std::log10(p.dR * p.dDelta) - H));
        num += (w - f1) * v;
        den += v * v;
      }
    }
    if (den < 1e-12)
      return fail(kMsgNoSlopeForH);
    slope = num / den;
    if (m_bAsteroidLaw)
      slope = slope < 0 ? 0 : slope > 1 ? 1 : slope;
  }
  return StoreLaw(H, slope), 1;
}

void CMagCurveDlg::OnFit()
{
  if (!IsSlopeFixed() && !IsHFixed()) {
    Fit(0);
    return;
  }
  FitFixed(false);
}

void CMagCurveDlg::RefitQuietly()
{
  if (m_bManual)
    return;
  if (!IsSlopeFixed() && !IsHFixed()) {
    Fit(1);
    return;
  }
  if (m_nPoints > 0)
    FitFixed(true);
}

void CMagCurveDlg::SolveThroughTwoPoints(double t1, double m1, double t2, double m2)
{
  if (IsHFixed() || !m_bHasOrbit || !(m_dQ > 0))
    return;
  double x[2], y[2];
  int n = 0;
  for (const auto& [t, m] : {std::pair<double, double>(t1, m1), std::pair<double, double>(t2, m2)}) {
    double r = 0, delta = 0, R = 0;
    if (!GeometryAt(t, r, delta, R))
      continue;
    if (!m_bAsteroidLaw) {
      x[n] = std::log10(r);
      y[n++] = m - 5 * std::log10(delta);
      continue;
    }
    double c = (r * r + delta * delta - R * R) / (2 * r * delta);
    c = c < -1 ? -1 : c > 1 ? 1 : c;
    const double alpha = std::acos(c) / kRadPerDeg;
    const double f1 = PhaseFunction1(alpha);
    if (!(f1 > 1e-6))
      continue;
    x[n] = PhaseFunction2(alpha) / f1 - 1;
    y[n++] = std::pow(10.0, -0.4 * (m - 5 * std::log10(r * delta))) / f1;
  }
  double a = 0, b = 0, rms = 0;
  if (n < 2 || !LinearFit(x, y, n, a, b, rms) || !std::isfinite(a) || !std::isfinite(b) || std::fabs(a) > 1e6 ||
      std::fabs(b) > 1e6)
    return;
  if (!m_bAsteroidLaw) {
    m_dH = a;
    m_dSlope = b;
  } else {
    if (!(a > 0))
      return;
    const double H = -2.5 * std::log10(a);
    if (!(H >= -5 && H <= 40))
      return;
    const double G = b / a;
    m_dH = H;
    m_dSlope = G < 0 ? 0 : G > 1 ? 1 : G;
  }
  m_bFitted = 1;
  m_bManual = 1;
  ComputeRms();
  ShowFitResults();
}

void CMagCurveDlg::ShiftHThroughPoint(double t, double m)
{
  double model = 0;
  if (IsHFixed() || !ModelMagnitude(t, model))
    return;
  m_dH += m - model;
  m_bManual = 1;
  ComputeRms();
  ShowFitResults();
}
