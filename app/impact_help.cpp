// "クローン数とは": the clone count of the impact probability, with a drawn
// Monte-Carlo picture of 60 clones around a planet.
#include <wx/dc.h>

#include "app/help_pages.h"
#include "platform/numbers.h"

namespace {

const std::vector<HelpTextItem> kItems = {
    {kHelpHeading, "なぜ「確率」でしか答えられないのか"},
    {kHelpParagraph,
     "観測には必ず誤差があるので、観測から求めた軌道も一本の線ではなく、まわりに幅を持っています。"
     "この幅は年月とともに広がり、数十年先には惑星の大きさよりずっと広くなります。"
     "そのため「ぶつかる・ぶつからない」を言い切ることはできず、確率でしか答えられません。"},
    {kHelpHeading, "クローンとは"},
    {kHelpParagraph,
     "観測にもっともよく合う軌道(公称軌道)と、軌道改良で得られる共分散行列(要素の誤差とその相関)から、"
     "公称軌道のまわりに統計的にばらつかせた軌道をたくさん作ります。これがクローンです。"
     "すべてのクローンを公称軌道と一緒に数値積分し、惑星に命中したクローンを数えます。"},
    {kHelpFormula, "衝突確率 ＝ 命中したクローンの数 ÷ クローンの総数"},
    {kHelpParagraph,
     "このように乱数で多数の場合を試して確率を求める方法を、モンテカルロ法といいます。"},
    {kHelpHeading, "いくつにすればよいか"},
    {kHelpParagraph,
     "計算時間はクローンの数に比例して延びます。見分けられる確率の細かさはクローンの数で決まり、"
     "300個ならおよそ1/300、3000個ならおよそ1/3000までです。まずは300個で試し、"
     "命中があれば数を増やして確かめてください。"},
    {kHelpHeading, "0本だったときの読みかた"},
    {kHelpParagraph,
     "命中が0本でも、確率が0というわけではありません。クローンの数で分けられる細かさより小さい、"
     "という意味です。300個で0本なら、衝突確率はおよそ0.3%より小さいと読んでください。"},
    {kHelpNote,
     "※クローンを作るには、軌道改良で得られた共分散行列が必要です。軌道改良の前に衝突確率のボタンを押すと、"
     "その旨のメッセージが出ます。"},
};

} // namespace

int CImpactHelpCanvas::Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly)
{
  const int W = width;
  const int T = y + DrawHelpTitle(*this, dc, x, y, W, bMeasureOnly,
                                  "「クローン数」とは？  ― 惑星衝突確率のしくみ ―");
  if (!bMeasureOnly) {
    const wxPen grey(ColorRefColour(0x969696), 1);
    const wxPen blue(ColorRefColour(0xBE5A28), 2);
    const wxPen dotted(ColorRefColour(0x5AA0BE), 1, wxPENSTYLE_DOT);
    const wxBrush blueBrush(ColorRefColour(0xD2783C));
    const wxBrush redBrush(ColorRefColour(0x2828DC));
    const wxBrush greyBrush(ColorRefColour(0x828282));
    const wxPoint C(x + W - 130, T + 114);
    const wxPoint comet(x + 42, T + 114);
    const auto clones = HelpImpactClones();
    int hits = 0;
    for (const HelpClone& c : clones)
      hits += c.hit ? 1 : 0;

    dc.SetPen(dotted);
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawEllipse(x + W - 218, T + 54, 176, 120);
    dc.SetPen(grey);
    for (size_t i = 0; i < clones.size(); i += 4)
      dc.DrawLine(comet, wxPoint(C.x + clones[i].a, C.y + clones[i].b));
    dc.SetPen(blue);
    dc.DrawLine(comet, C);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(blueBrush);
    dc.DrawEllipse(x + W - 147, T + 97, 34, 34);
    for (const HelpClone& c : clones) {
      const int d = c.hit ? 8 : 6;
      dc.SetBrush(c.hit ? redBrush : greyBrush);
      dc.DrawEllipse(C.x + c.a - d / 2, C.y + c.b - d / 2, d, d);
    }
    dc.SetBrush(greyBrush);
    dc.DrawEllipse(x + 29, T + 109, 10, 10);
    dc.SetPen(grey);
    for (int k = 0; k < 3; ++k)
      dc.DrawLine(x + 30, T + 110 + 4 * k, x + 14, T + 104 + 8 * k);
    dc.SetPen(wxNullPen);
    dc.SetBrush(wxNullBrush);

    const wxFont previous = dc.GetFont();
    dc.SetFont(m_fontSmall);
    DrawColoredText(dc, x, T + 128, "彗星", 0x1E1E1E);
    DrawColoredText(dc, x + 64, T + 94, "観測から求めた軌道", 0xBE5A28);
    DrawColoredText(dc, x + 68, T + 150, "クローン(少しずつ違う軌道)", 0x969696);
    DrawColoredText(dc, x + W - 218, T + 38, "誤差の広がり", 0x5AA0BE);
    DrawColoredText(dc, x + W - 144, T + 178, "惑星", 0xD2783C);
    DrawColoredText(dc, x + 4, T + 170, FormatC("● 命中 %d 個", hits), 0x2828DC);
    DrawColoredText(dc, x + 4, T + 188, FormatC("● 外れ %d 個", kHelpCloneCount - hits), 0x828282);
    dc.SetFont(m_fontText);
    DrawColoredText(dc, x, T + 216,
                    FormatC("この図の例: %d ÷ %d = 衝突確率 %.1f%%", hits, kHelpCloneCount,
                            hits * 100.0 / kHelpCloneCount),
                    0x1E1EA0);
    dc.SetFont(previous);
  }
  const int items = DrawHelpItems(*this, dc, x, T + 238, W, bMeasureOnly, kItems);
  return T + 238 + items - y;
}
