#include "views/search_range.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/sexagesimal.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

const char* const kShiftHelpTitle = "変差線とは";
const char* const kShiftHelpText =
    "■変差線とは\n"
    "周期彗星の回帰を予報するとき、予報位置の誤差はおもに近日点通過時刻Tのずれとして現れます。"
    "Tを前後にずらした軌道で対象日時の位置を計算し、それを結んだ線が変差線です。"
    "天体は予報位置のまわりではなく、この線に沿って見つかることが多くなります。\n\n"
    "■T±と刻み\n"
    "T±には、Tの不確かさの見積もりの3倍から5倍ほどを入れてください。刻みはTをずらす間隔(日)です。"
    "点が401を超えるときは、刻みを倍にして範囲全体が収まるようにします。\n\n"
    "■視野\n"
    "視野(分)の円を図に破線で描きます。変差線のどこまでが一度の撮影で覆えるかの目安にしてください。\n\n"
    "■表の見かた\n"
    "ΔTはTのずれ(日)、離角と位置角(PA)は予報位置(ΔT=0)から測ったものです。"
    "m1は光度パラメータがあるときの全光度です。\n\n"
    "■バイサラ軌道から開いたとき\n"
    "バイサラ軌道計算の画面から開くと、同じ画面で距離変差線(地心距離を仮定した軌道の族)を表示します。"
    "その見かたは、その画面から開いたときの説明をご覧ください。\n";

const char* const kFamilyHelpTitle = "距離変差線の見かた";
const char* const kFamilyHelpText =
    "■距離変差線とは\n"
    "発見直後の天体は地心距離がわからないため、距離を0.1AUずつ仮定したバイサラ軌道の族を求め、"
    "対象日時のそれぞれの位置を結んで線にしています。天体はこの線の近くで見つかります。\n\n"
    "■点と色\n"
    "青い点がそれぞれの候補で、添えた数値は仮定した地心距離(AU)です。橙の点は最良の候補です。\n\n"
    "■使う入力\n"
    "この表示では対象日時と視野だけが使われ、T±と刻みは使われません。"
    "対象日時は、はじめは最後の観測の翌日になっています。表にm1の列はありません。\n\n"
    "■図の操作\n"
    "視野の円は図の高さの3分の1の大きさで描きます。マウスのホイールか右下の[+][−]ボタンで拡大・縮小できます。\n\n"
    "■表の見かた\n"
    "離角と位置角(PA)は最良の候補の位置から測ったものです。\n";

// The sky position at t of an orbit with perihelion time T; false when it
// cannot be computed (q <= 0, no solution, no distance).
bool PositionAt(double T, double q, double e, const double P[3], const double Q[3], double t, const double sun[3],
                double& ra, double& dec, double& delta, double& r) {
  if (!(q > 0)) return false;
  double nu = 0;
  if (TwoBodyGeocentricPosition(T, q, e, P, Q, t, sun, ra, dec, delta, r, nu) != 0) return false;
  return delta > 0 && r > 0 && std::isfinite(ra) && std::isfinite(dec);
}

// An edit as a number: empty text, text and values that are not finite give 0.
double ReadNumberText(const std::string& text) {
  const double v = StringToDouble(text);
  return std::isfinite(v) ? v : 0.0;
}

// The T shifts from -s to +s: the grid of the step, with the shift 0 always
// among them (a grid point within a millionth of a step of it becomes it).
std::vector<double> ShiftGrid(double s, double step) {
  std::vector<double> shifts;
  bool bZero = false;
  for (int i = 0;; ++i) {
    double dT = -s + i * step;
    if (dT > s + step / 2) break;
    if (std::fabs(dT) < step * 1e-6) {
      dT = 0;
      bZero = true;
    }
    shifts.push_back(dT);
  }
  if (!bZero) shifts.insert(std::upper_bound(shifts.begin(), shifts.end(), 0.0), 0.0);
  return shifts;
}

}  // namespace

std::string SearchRangePositionText(double raRad, double decRad) {
  double hours = std::fmod(raRad * kDegPerRad / 15.0, 24.0);
  if (hours < 0) hours += 24.0;
  int rh = 0, rm = 0, dd = 0, dm = 0;
  double rs = 0, ds = 0;
  SplitSexagesimal(hours, 1, rh, rm, rs);
  SplitSexagesimal(std::fabs(decRad) * kDegPerRad, 0, dd, dm, ds);
  return FormatC("%02d %02d %04.1f  %c%02d %02d %02.0f", rh % 24, rm, rs, decRad < 0 ? '-' : '+', dd, dm, ds);
}

// ---- feeders ----

void CSearchRangeDlg::SetObject(const std::string& name, double T, double q, double e, double peri, double node,
                                double incl, double H, double K) {
  m_strName = std::string(TrimSpace(name));
  SetElements(T, q, e, peri, node, incl);
  m_dH = H;
  m_dSlope = K;
  m_bValid = q > 0 ? 1 : 0;
  m_nMode = 0;
  m_nFamily = 0;
  m_aFamily.clear();
  m_dZoom = 1.0;
  if (HasWindow()) Compute();
}

void CSearchRangeDlg::SetVaisalaFamily(const SearchRangeFamily& family) {
  m_strName = std::string(TrimSpace(family.m_strName));
  const size_t n = std::min(family.m_family.size(), static_cast<size_t>(SearchRangeFamily::kMaxFamily));
  m_aFamily.assign(family.m_family.begin(), family.m_family.begin() + static_cast<long>(n));
  m_nFamily = static_cast<int>(n);
  // The best index refers to the copied candidates only.
  m_nBest = family.m_nBest >= 0 && family.m_nBest < m_nFamily ? family.m_nBest : 0;
  m_nMode = 1;
  m_bValid = m_nFamily > 0 ? 1 : 0;
  m_dH = 0;
  m_dZoom = 1.0;
  m_dSlope = 10.0;
  if (!HasWindow()) return;
  if (family.m_nMonth > 0) {
    SetItemText(kRangeYear, FormatC("%d", family.m_nYear));
    SetItemText(kRangeMonth, FormatC("%d", family.m_nMonth));
    SetItemText(kRangeDay, FormatC("%d", family.m_nDay));
  }
  Compute();
}

void CSearchRangeDlg::SetVaisalaFamily(const std::string& name, const VaisalaCandidate* family, int count, int best,
                                       double lastObsTT) {
  SetVaisalaFamily(MakeSearchRangeFamily(name, family, count, best, lastObsTT));
}

// ---- controls ----

void CSearchRangeDlg::OnInitDialog() {
  int year = 0, month = 0, day = 0;
  Today(year, month, day);
  SetItemText(kRangeYear, FormatC("%d", year));
  SetItemText(kRangeMonth, FormatC("%d", month));
  SetItemText(kRangeDay, FormatC("%d", day));
  SetItemText(kRangeHalfSpan, "5");
  SetItemText(kRangeStep, "1");
  SetItemText(kRangeFov, "60");
}

void CSearchRangeDlg::Today(int& year, int& month, int& day) const {
  year = month = day = 0;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &local)) return;
  year = local.tm_year + 1900;
  month = local.tm_mon + 1;
  day = local.tm_mday;
}

std::string CSearchRangeDlg::HelpTitle() const { return m_nMode == 1 ? kFamilyHelpTitle : kShiftHelpTitle; }

const char* CSearchRangeDlg::HelpText() const { return m_nMode == 1 ? kFamilyHelpText : kShiftHelpText; }

// ---- the computation ----

void CSearchRangeDlg::ShowMessage(const char* text) { SetItemText(kRangeTable, text); }

void CSearchRangeDlg::Compute() {
  m_aPoints.clear();
  m_nPoints = 0;
  m_nNominal = -1;
  const double year = ReadNumberText(GetItemText(kRangeYear));
  const double month = ReadNumberText(GetItemText(kRangeMonth));
  const double day = ReadNumberText(GetItemText(kRangeDay));
  const double s = std::fabs(ReadNumberText(GetItemText(kRangeHalfSpan)));
  const double step = std::fabs(ReadNumberText(GetItemText(kRangeStep)));
  m_dFovArcmin = std::fabs(ReadNumberText(GetItemText(kRangeFov)));
  if (!m_bValid)
    ShowMessage(kRangeNoOrbit);
  else if (year == 0 || month == 0 || day == 0)
    ShowMessage(kRangeNoDate);
  else if (m_nMode == 1)
    ComputeFamily(CalendarToJd(year, month, day));
  else
    ComputeShifts(CalendarToJd(year, month, day), s, step);
  InvalidateAll();
}

void CSearchRangeDlg::ComputeShifts(double t, double s, double step) {
  if (s <= 0) s = 5;
  if (step <= 0) step = 1;
  while (1 + std::trunc(2 * s / step) > kMaxPoints) step *= 2;

  double P[3], Q[3], sun[3], sunOfDate[3], lambda = 0, beta = 0, dist = 0;
  OrbitOrientationVectors(m_dPeri, m_dNode, m_dIncl, P, Q);
  GeocentricSun(t, sun, sunOfDate, lambda, beta, dist);
  double ra0 = 0, dec0 = 0, delta = 0, r = 0;
  if (!PositionAt(m_dT, m_dQ, m_dE, P, Q, t, sun, ra0, dec0, delta, r)) {
    ShowMessage(kRangeNoPosition);
    return;
  }

  double ty = 0, tm = 0, td = 0;
  JdToCalendar(m_dT, ty, tm, td);
  std::string table = FormatC("捜索範囲(変差線)  %s\r\n", m_strName.c_str());
  table += FormatC("対象日時: %s/%s", GetItemText(kRangeYear).c_str(), GetItemText(kRangeMonth).c_str());
  table += FormatC("/%s TT   T=%s  q=%.5f  e=%.5f\r\n", GetItemText(kRangeDay).c_str(),
                   FormatC("%d/%d/%.5f", static_cast<int>(ty), static_cast<int>(tm), td).c_str(), m_dQ, m_dE);
  table += "  ΔT日    R.A. (2000.0) Decl.       離角′   PA°    m1\r\n";

  for (const double dT : ShiftGrid(s, step)) {
    if (m_nPoints >= kMaxPoints) break;
    double ra = 0, dec = 0;
    if (!PositionAt(m_dT + dT, m_dQ, m_dE, P, Q, t, sun, ra, dec, delta, r)) continue;
    double m1 = 99.9;
    if (m_dH != 0) m1 = std::max(-10.0, m_dH + 5 * std::log10(delta) + m_dSlope * std::log10(r));
    const bool bNominal = dT == 0;
    if (bNominal) m_nNominal = m_nPoints;
    m_aPoints.push_back({dT, ra, dec, m1});
    ++m_nPoints;
    const std::string pos = SearchRangePositionText(ra, dec);
    if (bNominal) {
      table += FormatC("%+7.2f  %s      0.0    ---", dT, pos.c_str());
    } else {
      double pa = 0, sep = 0;
      PositionAngleAndSeparation(ra0, dec0, ra, dec, pa, sep);
      table += FormatC("%+7.2f  %s  %7.1f  %5.1f", dT, pos.c_str(), sep * kDegPerRad * 60, pa * kDegPerRad);
    }
    table += m1 < 99 ? FormatC("  %5.1f", m1) : std::string("   --.-");
    if (bNominal) table += "  ←予報位置";
    table += "\r\n";
  }
  m_strTable = table;
  SetItemText(kRangeTable, table);
}

void CSearchRangeDlg::ComputeFamily(double t) {
  double sun[3], sunOfDate[3], lambda = 0, beta = 0, dist = 0;
  GeocentricSun(t, sun, sunOfDate, lambda, beta, dist);
  auto position = [&](const VaisalaCandidate& c, double& ra, double& dec) {
    double P[3], Q[3], delta = 0, r = 0;
    OrbitOrientationVectors(c.peri, c.node, c.incl, P, Q);
    return PositionAt(c.T, c.q, c.e, P, Q, t, sun, ra, dec, delta, r);
  };
  double ra0 = 0, dec0 = 0;
  if (m_nFamily <= 0 || m_nBest < 0 || m_nBest >= m_nFamily || !position(m_aFamily[m_nBest], ra0, dec0)) {
    ShowMessage(kRangeNoFamily);
    return;
  }

  std::string table = FormatC("捜索範囲(距離変差線)  %s\r\n", m_strName.c_str());
  table += FormatC("対象日時: %s/%s", GetItemText(kRangeYear).c_str(), GetItemText(kRangeMonth).c_str());
  table += FormatC("/%s TT   バイサラ軌道の候補 %d個(地心距離を仮定した軌道の族)\r\n",
                   GetItemText(kRangeDay).c_str(), m_nFamily);
  table += "  Δ(AU)   R.A. (2000.0) Decl.       離角′   PA°\r\n";

  for (int i = 0; i < m_nFamily && m_nPoints < kMaxPoints; ++i) {
    const VaisalaCandidate& c = m_aFamily[i];
    double ra = 0, dec = 0;
    if (!position(c, ra, dec)) continue;
    if (i == m_nBest) m_nNominal = m_nPoints;
    m_aPoints.push_back({c.dDelta, ra, dec, 99.9});
    ++m_nPoints;
    const std::string pos = SearchRangePositionText(ra, dec);
    if (i == m_nBest) {
      table += FormatC("%7.2f  %s      0.0    ---  ←最良の候補\r\n", c.dDelta, pos.c_str());
    } else {
      double pa = 0, sep = 0;
      PositionAngleAndSeparation(ra0, dec0, ra, dec, pa, sep);
      table += FormatC("%7.2f  %s  %7.1f  %5.1f\r\n", c.dDelta, pos.c_str(), sep * kDegPerRad * 60,
                       pa * kDegPerRad);
    }
  }
  m_strTable = table;
  SetItemText(kRangeTable, table);
}
