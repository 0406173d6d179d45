// "非重力効果の判定とは": how the significance test of the non-gravitational
// terms reads its five criteria, laid out from a list of items with three
// figures and two boxed tables.
#include <algorithm>
#include <array>
#include <cmath>

#include <wx/dc.h>

#include "app/help_pages.h"
#include "data/ui/window_routines.h"

namespace {

enum NgKind : int {
  kSection = 0,
  kHeading = 1,
  kParagraph = 2,
  kBullet = 3,
  kEmphasis = 4,
  kNote = 5,
  kQuestion = 6,
  kFigure = 7,
  kTable = 8,
  kGap = 9,
};

struct NgItem {
  int kind;
  const char* text;
  int n;  // figure, table or gap
};

struct NgStyle {
  unsigned colour;
  int indent, spaceBefore;
};

// By kind 0 … 6 (the section title's space is 0 for the first item).
constexpr NgStyle kStyles[] = {
    {0x6E3214, 0, 26}, {0x965528, 4, 16}, {0x191919, 8, 5},  {0x191919, 18, 4},
    {0x1E1E96, 0, 8},  {0x696969, 10, 8}, {0x965528, 4, 16},
};

constexpr NgItem kItems[] = {
    {kSection, "1. この画面は何を見ているのか", 0},
    {kParagraph,
     "彗星は太陽に近づくと氷が昇華してガスを噴き出し、その反動でわずかに押されます。これが非重力効果です。"
     "軌道改良ではこの力をA1(太陽方向)・A2(軌道に沿った方向)・A3(軌道面に垂直な方向)の3つの係数と、"
     "距離による強さの変化g(r)で表して、重力と一緒に解きます。",
     0},
    {kHeading, "ここでいう「氷」について", 0},
    {kParagraph,
     "彗星の核には水の氷のほかに、二酸化炭素(CO2)や一酸化炭素・窒素(CO・N2)の氷も含まれています。", 0},
    {kParagraph,
     "氷はそれぞれ決まった距離から昇華を始めます。水の氷はおよそ3AUより内側で強く、CO2はもっと遠くから、"
     "CO・N2はさらに遠くから活動します。",
     0},
    {kParagraph,
     "氷の種類を選ぶことは、g(r)の形、つまり距離とともに力がどう変わるかを選ぶことです。"
     "観測された活動の範囲に合う氷を選んでください。",
     0},
    {kHeading, "なぜ判定が必要なのか", 0},
    {kParagraph,
     "未知数を2個増やして解けば、残差は必ず下がります。当てはめる自由が増えれば、観測の誤差にまで合わせられるからです。",
     0},
    {kEmphasis, "「残差が下がった」は、非重力効果が実在する証拠にならない", 0},
    {kParagraph,
     "そこでこの画面は、下がり方が増やした未知数に見合うか、係数が誤差から区別できるかなどを、"
     "5つの材料で確かめます。",
     0},
    {kFigure, nullptr, 0},
    {kNote,
     "※判定では、同じ観測を重力だけでもう一度解き直します。数秒かかることがあります。終わると元の軌道要素に戻します。", 0},

    {kSection, "2. 5つの判定材料", 0},
    {kParagraph, "判定は次の5つの材料を組み合わせて行います。", 0},
    {kTable, nullptr, 0},
    {kHeading, "[1] 係数はゼロと区別できるか（信号対雑音比）", 0},
    {kParagraph, "求めたA1が、その形式誤差に比べてどれだけ大きいかを見ます。", 0},
    {kEmphasis, "信号対雑音比 ＝ |A1| ÷ A1の誤差", 0},
    {kParagraph,
     "3.0より小さいときは、係数が誤差に埋もれていて、ゼロと区別できません。", 0},
    {kNote, "※形式誤差は観測誤差を理想的に見積もった値なので、実際より楽観的になりがちです。", 0},
    {kHeading, "[2] 増やした2個に見合う改善か", 0},
    {kParagraph, "重力のみの解と非重力ありの解で、残差の平均を比べます。", 0},
    {kParagraph,
     "さらに残差の二乗和がどれだけ減ったかを、増やした未知数の数と観測の数から期待される減り方と比べます。", 0},
    {kNote, "※この比較は統計のF検定で判定しています。検定の統計量そのものは表示しません。", 0},
    {kHeading, "[3] そもそも判別できるアークか", 0},
    {kParagraph, "観測された日心距離の範囲で、g(r)がどれだけ変わるかを見ます。", 0},
    {kFigure, nullptr, 2},
    {kParagraph,
     "観測された範囲でg(r)が3倍以上変わらないと、非重力効果の形をほかのずれと見分けられません。", 0},
    {kHeading, "[4] 重力のみの解に「異質な軌道の曲がり」があるか", 0},
    {kParagraph,
     "非重力効果が本当にあるなら、重力だけで解いた軌道には、その力で曲がった分が消し残しとして残ります。", 0},
    {kParagraph,
     "そこで重力のみの解の残差を、日心距離で6つの区間に分けて平均します。平均が距離とともに動いていれば、"
     "本物の非重力効果のしるしです。",
     0},
    {kFigure, nullptr, 1},
    {kNote, "※見るのは区間ごとの平均だけで、ばらつきの大きさは問いません。", 0},
    {kHeading, "[5] 係数が物理的にありうる値か", 0},
    {kBullet, "・A1は正であること(ガスは太陽と反対の向きに彗星を押す)", 0},
    {kBullet, "・|A2|が|A1|より小さいこと", 0},
    {kBullet, "・A1が彗星として桁違いに大きすぎないこと", 0},

    {kSection, "3. 総合判定の読み方", 0},
    {kTable, nullptr, 1},
    {kNote, "※[5]の物理的妥当性は警告として示すだけで、判定そのものは覆しません。", 0},
    {kHeading, "メイン画面のA1〜A3欄の色 (簡易判定)", 0},
    {kParagraph,
     "軌道改良の画面のA1〜A3の欄は、係数と誤差の比から簡易に判定した結果で色が付きます。"
     "緑は有意、橙は判断を保留、赤は検出されずの目安です。正式にはこの画面で確かめてください。",
     0},

    {kSection, "4. よくある質問", 0},
    {kQuestion, "Q. 残差が下がったのに「検出されていません」と出ます。", 0},
    {kParagraph,
     "未知数を増やせば残差は必ず下がります。下がり方が増やした2個に見合わないか、係数が誤差に埋もれているときは、"
     "検出されていないと判定します。重力のみの解を使ってください。",
     0},
    {kQuestion, "Q. 氷の種類(水氷／CO・N2／CO2)を変えたら判定が変わりました。どちらが正しいのですか。", 0},
    {kParagraph,
     "氷が変わるとg(r)の形が変わり、当てはまり方も変わります。判定がよく、観測された活動の範囲とも矛盾しない氷が"
     "よりもっともらしい答えです。どちらとも言えないときは、観測が増えるのを待ってください。",
     0},
    {kQuestion, "Q. A1 は誤差に埋もれているのに A2 だけ有意です。", 0},
    {kParagraph,
     "A2は近日点通過時刻のわずかなずれを吸収しやすく、観測の偏りだけで有意に見えることがあります。"
     "A1がゼロと区別できないときは、非重力効果が検出されたとは考えません。",
     0},
    {kQuestion, "Q. 判定に時間がかかります。", 0},
    {kParagraph,
     "判定では重力のみの解を本当に計算し直します。軌道改良を5回ずつ、最大12回まで繰り返して、"
     "いちばん良い解を使います。3秒を超えると中止ボタンが出ます。",
     0},
    {kQuestion, "Q. 判定を良くするにはどうすればよいですか。", 0},
    {kParagraph,
     "観測された日心距離の範囲を広げることがいちばん効きます。近日点の前後や、遠くにいる時期の観測を加えてください。"
     "外れた観測のリジェクトも見直してください。",
     0},

    {kSection, "5. 太陽光圧 ― 昇華ではない非重力効果", 0},
    {kParagraph,
     "活動していない小惑星や人工物でも、太陽の光に押される力(太陽光圧)で軌道がわずかにずれます。", 0},
    {kParagraph,
     "太陽光圧の強さは光の強さと同じく距離の2乗に反比例するので、g(r) = (1AU/r)^2 として解きます。", 0},
    {kHeading, "A2・A3を解かない理由", 0},
    {kParagraph,
     "光の圧力はほぼ太陽と反対の向きにはたらくので、太陽方向のA1だけを解き、A2とA3はゼロとします。", 0},
    {kHeading, "A1から面積質量比(A/M)へ", 0},
    {kParagraph, "太陽光圧として解いたA1は、天体の断面積と質量の比(A/M)に換算できます。", 0},
    {kEmphasis, "A1 = 2.265e-7 × (A/M)      A1はAU/day^2、A/Mはm^2/kg", 0},
    {kParagraph,
     "A欄の値(10^-8 AU/day^2単位)を22.65で割るとA/Mになります。光の圧力と太陽の重力の比βも、A/Mに比例します。", 0},
    {kHeading, "A/Mは「天然の岩か人工物か」の目安になる", 0},
    {kParagraph,
     "岩石の球では、大きさ数mでもA/Mは0.001 m^2/kg程度にしかなりません。中が空のロケットの上段は、"
     "その何十倍もの値になります。",
     0},
    {kParagraph,
     "小惑星として見つかった天体のA/Mが大きすぎたことから、ロケットの上段と確かめられた例もあります。", 0},
    {kNote, "※換算は、当たった光をすべて吸収すると仮定しています。", 0},
    {kNote, "※1AU付近では、水の氷のg(r)も距離の2乗に近いので、太陽光圧の代わりに使えることがあります。", 0},

    {kSection, "6. 参考文献", 0},
    {kBullet, "・彗星の非重力効果を軌道決定に取り入れる標準的な定式化の論文 (1973年)", 0},
    {kBullet, "・近日点の前後で非対称な活動を扱う論文 (1989年)", 0},
    {kBullet, "・CO・N2の昇華によるg(r)を与えた論文 (1996年)", 0},
    {kGap, nullptr, 8},
};
static_assert(std::size(kItems) == 72);

struct NgTable {
  std::array<int, 3> percents;
  std::array<const char*, 3> header;
  std::vector<std::array<const char*, 3>> rows;
};

const NgTable kTables[2] = {
    {{26, 42, 32},
     {"材料", "何を見ているか", "合格の目安"},
     {{"[1] 信号対雑音比", "係数がその形式誤差から離れているか", "|A1|/誤差 ≧ 3.0"},
      {"[2] 残差の改善", "増やした2個のパラメータに見合う残差の改善か", "増やした割に下がっている"},
      {"[3] g(r)の変化幅", "観測が及んだ範囲でg(r)の形が判別できるか", "最大÷最小 ≧ 3倍"},
      {"[4] 残差の層別", "重力のみの解に、距離に沿った系統的なずれが残るか", "平均が距離とともに動く"},
      {"[5] 物理的妥当性", "係数の符号と大きさが物理として通るか", "A1＞0、|A2|＜|A1|"}}},
    {{24, 40, 36},
     {"判定", "条件", "どうするか"},
     {{"◎ 有意", "[2]がOK かつ 信号対雑音比 ≧ 3.0 かつ A1 ＞ 0", "非重力ありの解を採用してよい"},
      {"△ 判断を保留", "[2]は OK(ぎりぎり) どまり", "観測を増やすか、氷を変えて比べる"},
      {"× 検出されず", "[2]が「稼げていない」 または 信号対雑音比 ＜ 3.0", "重力のみの解を採用する"}}},
};

constexpr unsigned kVerdictColours[3] = {0x287800, 0x0078BE, 0x2828C8};
constexpr unsigned kFrameColour = 0xE8E2DE;
constexpr unsigned kGridColour = 0xC3AFA0;

void Panel(wxDC& dc, int left, int top, int width)
{
  dc.SetPen(wxPen(ColorRefColour(kFrameColour), 1));
  dc.SetBrush(*wxWHITE_BRUSH);
  dc.DrawRectangle(left, top, width, 132);
}

} // namespace

int CNgHelpCanvas::DrawTable(wxDC& dc, int x, int y, int width, int table, bool bMeasureOnly)
{
  const NgTable& t = kTables[table];
  const std::array<int, 4> edge = HelpTableEdges(x, width, t.percents);
  const int Y0 = y + 10;
  const wxFont previous = dc.GetFont();
  auto cellsHeight = [&](const std::array<const char*, 3>& cells, int top, bool draw, bool header, int row) {
    int tallest = 0;
    for (size_t c = 0; c < 3; ++c) {
      unsigned colour = header ? 0x6E3214 : 0x191919;
      if (!header && table == 1 && c == 0)
        colour = kVerdictColours[row];
      dc.SetTextForeground(ColorRefColour(colour));
      tallest = std::max(tallest, CTessaruneLib::DrawWrappedText(&dc, cells[c], edge[c] + 6, top,
                                                                 edge[c + 1] - edge[c] - 12, false, !draw));
    }
    return tallest;
  };
  dc.SetFont(m_fontHeading);
  const int headerHeight = cellsHeight(t.header, y + 16, false, true, 0) + 12;
  if (!bMeasureOnly) {
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(ColorRefColour(0xF8EFE8)));
    dc.DrawRectangle(x, Y0, width, headerHeight);
    cellsHeight(t.header, y + 16, true, true, 0);
  }
  dc.SetFont(m_fontSmall);
  int R = Y0 + headerHeight;
  for (size_t r = 0; r < t.rows.size(); ++r) {
    const int rowHeight = cellsHeight(t.rows[r], R + 6, !bMeasureOnly, false, static_cast<int>(r)) + 12;
    if (!bMeasureOnly) {
      dc.SetPen(wxPen(ColorRefColour(kGridColour), 1));
      dc.DrawLine(x, R, x + width, R);
    }
    R += rowHeight;
  }
  if (!bMeasureOnly) {
    dc.SetPen(wxPen(ColorRefColour(kGridColour), 1));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(x, Y0, width, R - Y0);
    for (size_t c = 1; c < 3; ++c)
      dc.DrawLine(edge[c], Y0, edge[c], R);
    dc.SetPen(wxNullPen);
    dc.SetBrush(wxNullBrush);
  }
  dc.SetFont(previous);
  return R + 4 - y;
}

int CNgHelpCanvas::DrawFigure(wxDC& dc, int x, int Y, int W, int figure, bool bMeasureOnly)
{
  const int height = figure == 2 ? 226 : 214;
  if (bMeasureOnly)
    return height;
  const wxFont previous = dc.GetFont();
  dc.SetFont(m_fontSmall);
  const int e = (W - 16) / 2;
  const int panels[2] = {x, x + e + 16};
  if (figure == 0) {
    static constexpr double f[9] = {0.05, 0.16, 0.28, 0.39, 0.50, 0.62, 0.73, 0.85, 0.96};
    static constexpr double v[9] = {0.72, 0.42, 0.62, 0.30, 0.50, 0.22, 0.44, 0.16, 0.34};
    for (int side = 0; side < 2; ++side) {
      const int X = panels[side];
      Panel(dc, X, Y, e);
      wxPoint points[9];
      for (int i = 0; i < 9; ++i)
        points[i] = wxPoint(X + 8 + static_cast<int>(f[i] * (e - 16)), Y - static_cast<int>(v[i] * 108) + 124);
      if (side == 0) {
        dc.SetPen(wxPen(ColorRefColour(0x323CC8), 1, wxPENSTYLE_DOT));
        for (int i = 0; i < 9; ++i) {
          const int lineY = Y - static_cast<int>((0.30 + 0.32 * f[i]) * 108) + 124;
          dc.DrawLine(points[i].x, lineY, points[i].x, points[i].y);
        }
        dc.SetPen(wxPen(ColorRefColour(0xBE5A28), 2));
        dc.DrawLine(X + 8, Y + 92, X + e - 8, Y + 58);
      } else {
        dc.SetPen(wxPen(ColorRefColour(0xBE5A28), 2));
        dc.DrawLines(9, points);
      }
      dc.SetPen(*wxTRANSPARENT_PEN);
      dc.SetBrush(wxBrush(ColorRefColour(0x1E1E1E)));
      for (const wxPoint& p : points)
        dc.DrawEllipse(p.x - 3, p.y - 3, 7, 7);
      DrawColoredText(dc, X + 6, Y + 4, side == 0 ? "重力のみ (未知数6個)" : "非重力あり (未知数8個)", 0x965528);
    }
    DrawColoredText(dc, x + e + 22, Y + 112, "残差はほぼゼロ", 0x287800);
    DrawColoredText(dc, x + 6, Y + 112, "赤い縦線が残差", 0x323CC8);
    dc.SetTextForeground(ColorRefColour(0x696969));
    CTessaruneLib::DrawWrappedText(&dc,
                                   "図1 線を曲げる自由を与えれば、当てはまりは必ず良くなる。"
                                   "良くなったこと自体は、その自由度が実在する証拠にはならない。",
                                   x, Y + 140, W, false, false);
  } else if (figure == 1) {
    static constexpr double values[2][6] = {{0.72, 0.38, 0.05, -0.22, -0.42, -0.55},
                                            {0.08, -0.11, 0.05, 0.13, -0.07, 0.02}};
    const int v = (e - 20) / 6;
    for (int side = 0; side < 2; ++side) {
      const int X = panels[side];
      Panel(dc, X, Y, e);
      dc.SetPen(wxPen(ColorRefColour(0x464646), 1));
      dc.DrawLine(X + 6, Y + 72, X + 6 + e - 12, Y + 72);
      DrawColoredText(dc, X + e - 22, Y + 74, "0", 0x696969);
      dc.SetPen(*wxTRANSPARENT_PEN);
      dc.SetBrush(wxBrush(ColorRefColour(side == 0 ? 0x323CC8 : 0xE8E2DE)));
      for (int k = 0; k < 6; ++k) {
        const int h = static_cast<int>(values[side][k] * 50);
        const int left = X + 10 + k * v;
        if (h > 0)
          dc.DrawRectangle(left, Y + 72 - h, v - 5, h);
        else if (h < 0)
          dc.DrawRectangle(left, Y + 72, v - 5, -h);
      }
      if (side == 0)
        DrawColoredText(dc, X + 6, Y + 4, "本物 : 距離に沿って動く", 0x287800);
      else
        DrawColoredText(dc, X + 6, Y + 4, "見かけ : どこでもゼロ付近", 0x696969);
      DrawColoredText(dc, X + 6, Y + 114, "太陽に近い ←", 0x696969);
      DrawColoredText(dc, X + e - 62, Y + 114, "→ 遠い", 0x696969);
    }
    dc.SetTextForeground(ColorRefColour(0x696969));
    CTessaruneLib::DrawWrappedText(&dc,
                                   "図2 重力のみで解いたときの、日心距離で層別した平均残差。"
                                   "非重力効果が本物なら、消し残しがg(r)の形をした模様として現れる。",
                                   x, Y + 140, W, false, false);
  } else {
    const int w = W - 46;
    const int left = x + 30;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(*wxWHITE_BRUSH);
    dc.DrawRectangle(left, Y + 4, w, 128);
    const int band1 = left + static_cast<int>(0.04 * w), band1End = left + static_cast<int>(0.42 * w);
    const int band2 = left + static_cast<int>(0.72 * w), band2End = left + static_cast<int>(0.94 * w);
    dc.SetBrush(wxBrush(ColorRefColour(0xD2E8CE)));
    dc.DrawRectangle(band1, Y + 4, band1End - band1, 128);
    dc.SetBrush(wxBrush(ColorRefColour(0xE6E6E6)));
    dc.DrawRectangle(band2, Y + 4, band2End - band2, 128);
    dc.SetPen(wxPen(ColorRefColour(kFrameColour), 1));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(left, Y + 4, w, 128);
    wxPoint curve[61];
    for (int i = 0; i <= 60; ++i) {
      const double t = i / 60.0;
      curve[i] = wxPoint(left + static_cast<int>(w * t),
                         Y + 12 - static_cast<int>(108 * (-0.15 - 4.2 * t * t) / 4.4));
    }
    dc.SetPen(wxPen(ColorRefColour(0xBE5A28), 2));
    dc.DrawLines(61, curve);
    DrawColoredText(dc, x + 4, Y + 8, "大", 0x696969);
    DrawColoredText(dc, x + 4, Y + 114, "小", 0x696969);
    DrawColoredText(dc, x + 32, Y + 134, "太陽に近い", 0x696969);
    DrawColoredText(dc, x + W - 50, Y + 134, "遠い", 0x696969);
    DrawColoredText(dc, band1 + 4, Y + 8, "この範囲を観測 → g(r)が大きく変わる", 0x287800);
    DrawColoredText(dc, band1 + 4, Y + 24, "形が判別できる", 0x287800);
    DrawColoredText(dc, band2 - 90, Y + 48, "この範囲だけ → ほぼ一定", 0x2828C8);
    DrawColoredText(dc, band2 - 90, Y + 64, "定数倍と区別がつかない", 0x2828C8);
    DrawColoredText(dc, x + 32, Y + 24, "g(r)", 0xBE5A28);
    dc.SetTextForeground(ColorRefColour(0x696969));
    CTessaruneLib::DrawWrappedText(&dc,
                                   "図3 g(r)は太陽に近いほど大きい。観測が狭い範囲にしかないとg(r)はほぼ一定値になり、"
                                   "その定数倍はA1が丸ごと吸収してしまう。",
                                   x, Y + 154, W, false, false);
  }
  dc.SetPen(wxNullPen);
  dc.SetBrush(wxNullBrush);
  dc.SetFont(previous);
  return height;
}

int CNgHelpCanvas::Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly)
{
  const int top = y;
  const wxFont previous = dc.GetFont();
  bool first = true;
  for (const NgItem& item : kItems) {
    if (item.kind == kGap) {
      y += item.n;
    } else if (item.kind == kFigure) {
      y += 10;
      y += DrawFigure(dc, x, y, width, item.n, bMeasureOnly);
    } else if (item.kind == kTable) {
      y += DrawTable(dc, x, y, width, item.n, bMeasureOnly);
    } else {
      const NgStyle& style = kStyles[item.kind];
      y += item.kind == kSection && first ? 0 : style.spaceBefore;
      const wxFont& font = item.kind == kSection       ? m_fontTitle
                           : item.kind == kParagraph || item.kind == kBullet ? m_fontText
                           : item.kind == kNote                              ? m_fontSmall
                                                                             : m_fontHeading;
      dc.SetFont(font);
      dc.SetTextForeground(ColorRefColour(style.colour));
      const int h = CTessaruneLib::DrawWrappedText(&dc, item.text, x + style.indent, y, width - style.indent,
                                                   item.kind == kEmphasis, bMeasureOnly);
      if (item.kind == kSection) {
        if (!bMeasureOnly) {
          dc.SetPen(wxPen(ColorRefColour(0xD7C0AF), 1));
          dc.DrawLine(x, y + h + 5, x + width, y + h + 5);
          dc.SetPen(wxNullPen);
        }
        y += h + 11;
      } else {
        y += h;
      }
    }
    first = false;
  }
  dc.SetFont(previous);
  return y - top;
}
