// The size estimate under the law's controls: for a comet an upper limit of
// the nucleus from its non-total magnitudes (slope K2 = 5, albedo 0.04), for
// an asteroid a diameter range from H for the albedos 0.25 and 0.05; and
// whether the apparition comparison may be switched on.
#include <cmath>
#include <vector>

#include "astro/ephemeris_rows.h"
#include "platform/numbers.h"
#include "views/mag_curve.h"

namespace {

// "%.0f" from 100, "%.1f" from 10, else "%.2f".
std::string DiameterValue(double v)
{
  return FormatC(v >= 100 ? "%.0f" : v >= 10 ? "%.1f" : "%.2f", v);
}

std::string TrimRight(std::string s)
{
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.pop_back();
  return s;
}

} // namespace

double NucleusDiameterKm(double H, double albedo)
{
  return 1329 / std::sqrt(albedo) * std::pow(10.0, -H / 5);
}

int CMagCurveDlg::FitNucleusMagnitudes(double& H2, double& K2, int& bK2Valid, int& count) const
{
  std::vector<double> x, y;
  double sum = 0;
  for (const MagCurvePoint& p : m_pPoints) {
    if (!IsShown(p) || p.bTotal)
      continue;
    x.push_back(std::log10(p.dR));
    y.push_back(p.dMag - 5 * std::log10(p.dDelta));
    sum += y.back() - 5 * x.back();
  }
  count = static_cast<int>(x.size());
  bK2Valid = 0;
  if (count <= 2)
    return 0;
  H2 = sum / count;
  double a = 0, b = 0, rms = 0;
  if (LinearFit(x.data(), y.data(), count, a, b, rms) && std::isfinite(b) && std::fabs(b) < 1000) {
    K2 = b;
    bK2Valid = 1;
  }
  return 1;
}

std::string CMagCurveDlg::NucleusText() const
{
  if (m_bAsteroidLaw) {
    double d1 = NucleusDiameterKm(m_dH, 0.25), d2 = NucleusDiameterKm(m_dH, 0.05);
    const char* unit = "km";
    if (d2 < 1) {
      d1 *= 1000, d2 *= 1000;
      unit = "m";
    }
    return FormatC("直径 %s - %s %s (p=0.25-0.05と仮定)", DiameterValue(d1).c_str(), DiameterValue(d2).c_str(), unit);
  }
  double H2 = 0, K2 = 0;
  int bK2 = 0, count = 0;
  if (m_nPoints == 0 || !FitNucleusMagnitudes(H2, K2, bK2, count) || count < 3)
    return "核直径 --- (核光度の観測が3点未満)";
  double d = NucleusDiameterKm(H2, 0.04);
  const char* unit = "km";
  if (d < 1) {
    d *= 1000;
    unit = "m";
  }
  if (bK2)
    return FormatC("核直径 < %s %s (上限, p=0.04, %d点, K2=%.1f)", DiameterValue(d).c_str(), unit, count, K2);
  return FormatC("核直径 < %s %s (上限, p=0.04, %d点)", DiameterValue(d).c_str(), unit, count);
}

void CMagCurveDlg::UpdateNucleusText()
{
  const std::string text = NucleusText();
  if (text != m_strNucleusText) {
    m_strNucleusText = text;
    const size_t open = text.find('(');
    if (open != std::string::npos && open > 0) {
      SetItemText(kMagNucleusValue, TrimRight(text.substr(0, open)));
      SetItemText(kMagNucleusNote, text.substr(open));
    } else {
      SetItemText(kMagNucleusValue, text);
      SetItemText(kMagNucleusNote, "");
    }
  }

  if (!HasItem(kMagCompare))
    return;
  // A comparison needs an elliptic comet orbit and observations of at least two returns.
  const bool bAllow = m_nPoints > 0 && CountFoldNumbers() >= 2;
  EnableItem(kMagCompare, bAllow);
  if (!bAllow && m_bCompare) {
    m_bCompare = 0;
    SetCheck(kMagCompare, 0);
  }
}
