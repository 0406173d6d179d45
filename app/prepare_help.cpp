// "前準備(3点選択)とは": why three observations are picked first, with the two
// Sun–comet triangles along the comet's path.
#include <wx/dc.h>

#include "app/help_pages.h"
#include "data/ui/window_routines.h"

namespace {

constexpr int kPathSegments = 64;

const std::vector<HelpTextItem> kClosingItems = {
    {kHelpHeading, "どの3点を選ぶべきか"},
    {kHelpParagraph,
     "観測期間の最初・中ほど・最後のように、なるべく間隔の離れた3点を選んでください。"
     "近すぎると三角形が細くつぶれて誤差に弱くなり、離れすぎると、惑星の摂動を考えない2体の軌道という前提が"
     "成り立ちにくくなります。"},
    {kHelpHeading, "暫定軌道は「仮の答え」"},
    {kHelpParagraph,
     "3点から求めた暫定軌道は、3つの観測しか使っていない仮の答えです。これを出発点にして、"
     "すべての観測を使う軌道改良で本当の軌道に近づけていきます。"},
};

constexpr const char* kWhyThree =
    "軌道は6個の要素で決まるので、それを決めるには6個の条件が要ります。1つの観測からは赤経と赤緯の2個の条件が"
    "得られるので、3つの観測でちょうど6個になります。そこでまず3つの観測を選び、それだけに合う軌道(暫定軌道)を求めます。";
constexpr const char* kTwoTriangles =
    "太陽と、彗星の2つの位置を結ぶと三角形ができます。1点目と2点目、2点目と3点目で2つの三角形を作ると、"
    "その面積の比は彗星の運動の法則で決まり、ここから軌道要素が定まります。はじめは三角形の辺を直線として解き、"
    "そのあと実際の軌道の弧との差を補正して仕上げます。";

// Draws text with the item kind's font and colour at (x, y) within width; its height.
int DrawKind(const CHelpCanvas& canvas, wxDC& dc, int kind, const char* text, int x, int y, int width,
             bool bMeasureOnly)
{
  const wxFont previous = dc.GetFont();
  dc.SetFont(kind == kHelpHeading ? canvas.m_fontHeading : canvas.m_fontText);
  dc.SetTextForeground(ColorRefColour(kind == kHelpHeading ? 0x965528 : 0x1E1E1E));
  const int h = CTessaruneLib::DrawWrappedText(&dc, text, x, y, width, false, bMeasureOnly);
  dc.SetFont(previous);
  return h;
}

} // namespace

int CPrepareHelpCanvas::DrawItems(wxDC& dc, int x, int y, int width, bool bMeasureOnly,
                                  const std::vector<HelpTextItem>& items)
{
  return DrawHelpItems(*this, dc, x, y, width, bMeasureOnly, items);
}

int CPrepareHelpCanvas::Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly)
{
  const int W = width;
  const int T = y + DrawHelpTitle(*this, dc, x, y, W, bMeasureOnly, "3点選択とは？  ― 2つの三角形で軌道をつなぐ ―");
  const int h1 = DrawKind(*this, dc, kHelpHeading, "なぜ最初に3つの観測を選ぶのか", x, T + 24, W, bMeasureOnly);
  const int p1 = DrawKind(*this, dc, kHelpParagraph, kWhyThree, x + 10, T + h1 + 27, W - 10, bMeasureOnly);
  const int T2 = T + h1 + p1;
  const int h2 = DrawKind(*this, dc, kHelpHeading, "2つの三角形で軌道をつなぐ", x, T2 + 40, W, bMeasureOnly);
  const int p2 = DrawKind(*this, dc, kHelpParagraph, kTwoTriangles, x + 10, T2 + h2 + 43, W - 10, bMeasureOnly);
  const int H = T2 + h2 + p2;
  if (!bMeasureOnly) {
    const wxFont previous = dc.GetFont();
    dc.SetFont(m_fontSmall);
    DrawColoredText(dc, x, H + 52, "青い三角形 = 1点目と2点目が太陽との間に作る三角形", 0xAF6E46);
    DrawColoredText(dc, x, H + 66, "橙の三角形 = 2点目と3点目が太陽との間に作る三角形", 0x2878BE);
    const HelpPoint path[4] = {{x + 8, H + 230}, {x + 60, H + 179}, {x + 140, H + 90}, {x + W - 8, H + 86}};
    wxPoint obs[3];
    const double at[3] = {0.30, 0.52, 0.74};
    for (int i = 0; i < 3; ++i) {
      const HelpPoint p = HelpBezierPoint(path, at[i]);
      obs[i] = wxPoint(p.x, p.y);
    }
    const wxPoint sun(x + 230, H + 208);
    const wxPoint first[3] = {sun, obs[0], obs[1]};
    const wxPoint second[3] = {sun, obs[1], obs[2]};
    dc.SetPen(wxPen(ColorRefColour(0xAF6E46), 1));
    dc.SetBrush(wxBrush(ColorRefColour(0xF7E8DE)));
    dc.DrawPolygon(3, first);
    dc.SetPen(wxPen(ColorRefColour(0x2878BE), 1));
    dc.SetBrush(wxBrush(ColorRefColour(0xD2E4FA)));
    dc.DrawPolygon(3, second);
    dc.SetPen(wxPen(ColorRefColour(0x3C46BE), 2));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    // The cubic curve by hand: the DC's own spline is another curve.
    wxPoint curve[kPathSegments + 1];
    for (int i = 0; i <= kPathSegments; ++i) {
      const HelpPoint p = HelpBezierPoint(path, static_cast<double>(i) / kPathSegments);
      curve[i] = wxPoint(p.x, p.y);
    }
    dc.DrawLines(kPathSegments + 1, curve);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(ColorRefColour(0x1EA0E6)));
    dc.DrawEllipse(x + 223, H + 201, 14, 14);
    dc.SetBrush(wxBrush(ColorRefColour(0x3C3C3C)));
    for (const wxPoint& p : obs)
      dc.DrawEllipse(p.x - 3, p.y - 3, 6, 6);
    dc.SetPen(wxNullPen);
    dc.SetBrush(wxNullBrush);
    DrawColoredText(dc, x + 202, H + 218, "太陽", 0x1EA0E6);
    const char* names[3] = {"観測1", "観測2", "観測3"};
    for (int i = 0; i < 3; ++i)
      DrawColoredText(dc, obs[i].x - 16, obs[i].y - 20, names[i], 0x3C3C3C);
    DrawColoredText(dc, x, H + 240,
                    "※3点が一直線に近づくほど三角形が細くつぶれ、わずかな観測誤差が面積比を大きく揺さぶります",
                    0x646464);
    dc.SetFont(previous);
  }
  return H + 266 + DrawItems(dc, x, H + 266, W, bMeasureOnly, kClosingItems) - y;
}
