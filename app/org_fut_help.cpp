// "原初軌道・未来軌道とは": original and future orbits, with the Sun moving
// around the barycentre under Jupiter's pull.
#include <wx/dc.h>

#include "app/help_pages.h"

namespace {

const std::vector<HelpTextItem> kItems = {
    {kHelpHeading, "軌道要素は「ある瞬間」の値"},
    {kHelpParagraph,
     "軌道要素は、その瞬間の位置と速度から決まる楕円(接触軌道)を表します。惑星に引かれて軌道は少しずつ変わるので、"
     "要素も時々刻々と変わっていきます。"},
    {kHelpHeading, "だから「元期」という日付が必要"},
    {kHelpParagraph,
     "軌道要素には、いつの瞬間の値かを示す日付(元期)が欠かせません。別の日付の要素が欲しいときは、"
     "摂動を入れた数値積分で軌道を進めたり戻したりして、元期を移します。"},
    {kHelpHeading, "原初軌道と未来軌道"},
    {kHelpParagraph,
     "彗星の軌道を、惑星の摂動がほとんど届かない250AUの彼方までさかのぼって求めたものが原初軌道です。"
     "その1/a(長半径の逆数)から、太陽系の外縁から初めてやってきた新彗星かどうかがわかります。"
     "反対に、惑星の領域を抜けた先まで進めて求めたものが未来軌道です。未来軌道が双曲線なら、"
     "その彗星は二度と戻ってきません。"},
    {kHelpHeading, "基準を太陽から太陽系重心へ移す"},
    {kHelpParagraph,
     "太陽も、おもに木星に引かれて、太陽系の重心のまわりを秒速12〜16mで回っています。遠くの彗星から見ると、"
     "揺れているのは太陽のほうで、重心は揺れません。そこで原初軌道と未来軌道は太陽系重心を基準に求めます。"
     "ふだんの軌道要素は太陽を基準にしたままです。"},
    {kHelpNote,
     "※境界を250AUとするのは、そこまで離れると惑星の摂動が無視できるほど小さくなり、"
     "重心を基準にした軌道がほとんど変わらなくなるためです。"},
};

} // namespace

int COrgFutHelpCanvas::Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly)
{
  const int W = width;
  const int titleBottom = y + DrawHelpTitle(*this, dc, x, y, W, bMeasureOnly,
                                            "「原初軌道」「未来軌道」とは？  ― 元期と太陽系重心 ―");
  const int itemsTop = titleBottom + 14;
  // The figure starts 9 pixels below the last item's text.
  const int L = itemsTop + DrawHelpItems(*this, dc, x, itemsTop, W, bMeasureOnly, kItems) - 3 + 9;
  if (!bMeasureOnly) {
    const int cx = x + W / 2, B = L - 9;
    const wxPen greyDotted(ColorRefColour(0xA0A0A0), 1, wxPENSTYLE_DOT);
    const wxPen tanDotted(ColorRefColour(0x6EAAD2), 1, wxPENSTYLE_DOT);
    const wxPen red(ColorRefColour(0x2828B4), 2);
    const wxBrush orange(ColorRefColour(0x1EA0E6));
    const wxBrush brown(ColorRefColour(0x466E96));
    const wxFont previous = dc.GetFont();
    dc.SetFont(m_fontSmall);
    DrawColoredText(dc, x, L, "×印 = 太陽系の重心(揺れない点)", 0x2828B4);
    DrawColoredText(dc, x, B + 23, "点線の小さい円 = 太陽の軌跡。太陽も重心のまわりを回る(秒速12〜16m)", 0x6EAAD2);

    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(greyDotted);
    dc.DrawEllipse(cx - 78, B + 47, 116, 116);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(brown);
    dc.DrawEllipse(cx + 32, B + 99, 12, 12);
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(tanDotted);
    dc.DrawEllipse(cx - 34, B + 91, 28, 28);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(orange);
    dc.DrawEllipse(cx - 43, B + 96, 18, 18);
    dc.SetPen(greyDotted);
    dc.DrawLine(cx - 34, B + 105, cx + 38, B + 105);
    dc.SetPen(red);
    dc.DrawLine(cx - 25, B + 100, cx - 15, B + 110);
    dc.DrawLine(cx - 25, B + 110, cx - 15, B + 100);
    dc.SetPen(wxNullPen);
    dc.SetBrush(wxNullBrush);

    DrawColoredText(dc, cx - 46, B + 75, "太陽", 0x1EA0E6);
    DrawColoredText(dc, cx + 47, B + 100, "木星", 0x466E96);
    DrawColoredText(dc, x, B + 175, "※距離は誇張してあります。実際の太陽の揺れは太陽の半径ほどです", 0x646464);
    dc.SetFont(previous);
  }
  return L - y + 192;
}
