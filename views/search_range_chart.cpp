// The search range's chart: the line of points on the tangent plane at the
// reference position (east left, north up), the field circle, the scale bar,
// the zoom buttons, and the picture of chart and table that is copied.
#include <algorithm>
#include <cmath>

#include "astro/angle_units.h"
#include "data/text_bytes.h"
#include "platform/numbers.h"
#include "views/search_range.h"

namespace {

constexpr uint32_t kBackground = 0xFF0A0E1E;
constexpr uint32_t kBorder = 0xFF505A6E;
constexpr uint32_t kLight = 0xFFC8CDD7;
constexpr uint32_t kGrey = 0xFF8C91A0;
constexpr uint32_t kLineColour = 0xFF5AC8FF;
constexpr uint32_t kReference = 0xFFFFA028;
constexpr uint32_t kFieldCircle = 0xFF6E788C;
constexpr uint32_t kButtonHot = 0xE6465478;
constexpr uint32_t kButton = 0xBE283046;
constexpr uint32_t kButtonEdge = 0xFF78849B;
constexpr uint32_t kGlyph = 0xFFE1E6F0;
// 0.1 degree: the extent taken for a line that is a single point.
constexpr double kMinExtent = 0.0017453292519943296;
constexpr int kLineSpacing = 17;

void FillRect(ISceneCanvas& g, const SceneRect& r, uint32_t argb) {
  g.FillPolygon({{r.x, r.y}, {r.x + r.w, r.y}, {r.x + r.w, r.y + r.h}, {r.x, r.y + r.h}}, argb);
}

void StrokeRect(ISceneCanvas& g, float x, float y, float w, float h, uint32_t argb) {
  g.Polyline({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}}, ScenePen{argb, 1});
}

struct TangentOffset {
  double xi = 0, eta = 0;  // rad: east, north
};

TangentOffset OffsetOf(const RangePoint& p, const RangePoint& ref) {
  double dRa = p.dRa - ref.dRa;
  if (dRa > kPi) dRa -= kTwoPi;
  if (dRa < -kPi) dRa += kTwoPi;
  return {dRa * std::cos(ref.dDec), p.dDec - ref.dDec};
}

}  // namespace

double ScaleBarArcmin(double v) {
  if (v >= 60) return 60 * std::floor(v / 60);
  if (v >= 10) return 10 * std::floor(v / 10);
  if (v >= 1) return std::floor(v);
  const double arcsec = 60 * v;
  if (arcsec >= 10) return 10 * std::floor(arcsec / 10) / 60;
  if (arcsec >= 1) return std::floor(arcsec) / 60;
  return 0;
}

double CSearchRangeDlg::ChartScale(int W, int H) const {
  if (m_nPoints < 1 || m_nNominal < 0 || m_nNominal >= m_nPoints) return 0;
  const double f = m_dFovArcmin / 60 * kRadPerDeg * 0.5;
  double k = 0;
  if (f > 0) {
    k = (H / 3.0) / (2 * f);
  } else {
    double g = 0;
    for (int j = 0; j < m_nPoints; ++j) {
      const TangentOffset o = OffsetOf(m_aPoints[j], m_aPoints[m_nNominal]);
      g = std::max(g, std::hypot(o.xi, o.eta));
    }
    if (g <= 0) g = kMinExtent;
    k = std::min(W, H) * 0.42 / g;
  }
  return k * m_dZoom;
}

SceneRect CSearchRangeDlg::ZoomButtonRect(int button, int W, int H) {
  return {static_cast<float>(W - (button == 1 ? 56 : 30)), static_cast<float>(H - 30), 22, 22};
}

int CSearchRangeDlg::ZoomButtonAt(float x, float y, int W, int H) {
  if (ZoomButtonRect(1, W, H).Contains(x, y)) return 1;
  if (ZoomButtonRect(2, W, H).Contains(x, y)) return 2;
  return 0;
}

void CSearchRangeDlg::SetZoom(double zoom) {
  m_dZoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  InvalidateChart();
}

bool CSearchRangeDlg::ClickZoom(float x, float y, int W, int H) {
  const int button = ZoomButtonAt(x, y, W, H);
  if (button == 1) SetZoom(m_dZoom * 1.25);
  if (button == 2) SetZoom(m_dZoom * 0.8);
  return button != 0;
}

void CSearchRangeDlg::WheelZoom(int notch) { SetZoom(m_dZoom * (notch > 0 ? 1.15 : 0.8695652173913044)); }

bool CSearchRangeDlg::SetHotButton(int hot) {
  if (hot == m_nHotButton) return false;
  m_nHotButton = hot;
  InvalidateChart();
  return true;
}

void CSearchRangeDlg::DrawRangeChart(ISceneCanvas& g, int W, int H, bool bButtons) const {
  const float w = static_cast<float>(W), h = static_cast<float>(H);
  FillRect(g, {0, 0, w, h}, kBackground);
  StrokeRect(g, 0, 0, w - 1, h - 1, kBorder);
  if (m_nPoints < 1 || m_nNominal < 0 || m_nNominal >= m_nPoints) {
    g.Text(kRangeEmptyChart, {10, 10}, SceneFont::Small, kGrey);
    return;
  }
  const float cx = static_cast<float>(W / 2), cy = static_cast<float>(H / 2);
  const double k = ChartScale(W, H);
  const double f = m_dFovArcmin / 60 * kRadPerDeg * 0.5;
  if (f > 0) {
    ScenePen dashed{kFieldCircle, 1};
    dashed.dashed = true;
    g.StrokeCircle({cx, cy}, static_cast<float>(2 * f * k), dashed);
    const float at = static_cast<float>(0.72 * f * k);
    g.Text(FormatC("視野 %.0f′", m_dFovArcmin), {cx + at, cy + at}, SceneFont::Label, kGrey);
  }

  const RangePoint& ref = m_aPoints[m_nNominal];
  const int labelEvery = m_nPoints > 21 ? (m_nPoints + 20) / 21 : 1;
  ScenePoint prev;
  for (int j = 0; j < m_nPoints; ++j) {
    const TangentOffset o = OffsetOf(m_aPoints[j], ref);
    const ScenePoint p{static_cast<float>(cx - o.xi * k), static_cast<float>(cy - o.eta * k)};
    if (j > 0) g.Line(prev, p, ScenePen{kLineColour, 2});
    prev = p;
    if (j == m_nNominal) {
      g.FillCircle(p, 8, kReference);
      continue;
    }
    g.FillCircle(p, 5, kLineColour);
    if (j % labelEvery == 0)
      g.Text(FormatC(m_nMode == 1 ? "%g" : "%+g", m_aPoints[j].dLabel), {p.x + 4, p.y + 2}, SceneFont::Label,
             kGrey);
  }

  if (!m_strName.empty()) g.Text(m_strName, {8, 4}, SceneFont::Small, kLight);
  g.Text(m_nMode == 1 ? "点の数値 = 仮定した地心距離(AU)   橙 = 最良の候補"
                      : "点の数値 = 近日点通過時刻Tのずれ(日)   橙 = 名目位置",
         {8, 22}, SceneFont::Label, kGrey);
  g.Text("N", {cx - 4, 4}, SceneFont::Small, kLight);
  g.Text("E", {4, cy - 7}, SceneFont::Small, kLight);

  const double v = k > 0 ? (H / 4.0) / k * kDegPerRad * 60 : 0;
  const double L = std::isfinite(v) ? ScaleBarArcmin(v) : 0;
  if (L > 0) {
    const float b = static_cast<float>(L / 60 * kRadPerDeg * k);
    g.Line({10, h - 14}, {b + 10, h - 14}, ScenePen{kLight, 2});
    g.Text(L >= 1 ? FormatC("%.0f′", L) : FormatC("%.0f″", 60 * L), {b + 12, h - 20}, SceneFont::Label, kGrey);
  }

  if (!bButtons) return;
  for (int button = 1; button <= 2; ++button) {
    const SceneRect r = ZoomButtonRect(button, W, H);
    FillRect(g, r, m_nHotButton == button ? kButtonHot : kButton);
    StrokeRect(g, r.x, r.y, r.w - 1, r.h - 1, kButtonEdge);
    const float bx = r.x + static_cast<float>(static_cast<int>(r.w) / 2);
    const float by = r.y + static_cast<float>(static_cast<int>(r.h) / 2);
    const float e = static_cast<float>(static_cast<int>(r.w) / 2 - 6);
    g.Line({bx - e, by}, {bx + e, by}, ScenePen{kGlyph, 2});
    if (button == 1) g.Line({bx, by - e}, {bx, by + e}, ScenePen{kGlyph, 2});
  }
  if (m_dZoom < 0.999 || m_dZoom > 1.001) {
    const SceneRect plus = ZoomButtonRect(1, W, H);
    g.Text(FormatC("×%.1f", m_dZoom), {plus.x - 34, plus.y + 4}, SceneFont::Label, kGrey);
  }
}

RangeCopyLayout CSearchRangeDlg::CopyImageLayout(int chartW, int chartH) const {
  RangeCopyLayout layout;
  if (chartH <= 0) return layout;
  layout.chartHeight = chartH;
  size_t widest = 0;
  size_t pos = 0;
  while (pos <= m_strTable.size()) {
    size_t end = m_strTable.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = m_strTable.size();
    if (end > pos) {
      layout.lines.push_back(m_strTable.substr(pos, end - pos));
      widest = std::max(widest, Utf8ToCp932Lossy(layout.lines.back()).size());
    }
    pos = end + 1;
  }
  const int n = static_cast<int>(layout.lines.size());
  const int tw = static_cast<int>(widest) * 8;
  layout.height = n < 1 ? chartH : chartH + kLineSpacing * n + 16;
  layout.width = std::min(chartW, std::max(4 * chartH / 3, tw + 20));
  return layout;
}

void CSearchRangeDlg::DrawCopyImage(ISceneCanvas& g, const RangeCopyLayout& layout) const {
  if (layout.width <= 0 || layout.height <= 0) return;
  FillRect(g, {0, 0, static_cast<float>(layout.width), static_cast<float>(layout.height)}, kBackground);
  DrawRangeChart(g, layout.width, layout.chartHeight, false);
  for (size_t i = 0; i < layout.lines.size(); ++i)
    g.Text(layout.lines[i], {10, static_cast<float>(layout.chartHeight + 8 + kLineSpacing * static_cast<int>(i))},
           SceneFont::Table, kLight);
}
