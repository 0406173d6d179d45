#pragma once
// The window-free rules of the help windows: how tall a help dialog opens,
// how the page width follows the window, how wheel deltas turn into
// scrolling, how a topic text is laid out, and the constant figures of the
// illustrated pages (the clone picture, the comet's path, the table columns).
// The windows (data/ui/help_canvas.h, app/help_pages.h) draw from these.
#include <array>
#include <functional>
#include <string>
#include <string_view>

// ---- help dialog and canvas ----

inline constexpr int kHelpMargin = 20;         // left, right and top margin of a page, pixels
inline constexpr int kHelpLine = 24;           // one scroll line, pixels
inline constexpr int kHelpMinHeight = 420;     // a help dialog is never shorter when it opens
inline constexpr int kHelpMaxHeight = 860;
inline constexpr int kHelpMinTrackWidth = 460;  // the smallest size the user can drag it to
inline constexpr int kHelpMinTrackHeight = 320;

// Width a page is laid out in for a canvas client width: client − 40, at
// least 240.
int HelpLayoutWidth(int clientWidth);

// Tallest a help dialog opens: work-area height − 80 within 420 … 860.
int HelpMaxHeight(int workAreaHeight);

// Height that shows a page of contentHeight (margins included) whole: the
// content plus the dialog's and the canvas's frames, the button and 12
// pixels, at most maxHeight and at least 420.
int HelpFittedHeight(int contentHeight, int dialogFrame, int buttonHeight, int canvasFrame, int maxHeight);

// The scroll position kept within 0 … content − client (0 when the page fits).
int ClampHelpScroll(int position, int contentHeight, int clientHeight);

// Turns wheel deltas into pixels at 72 pixels per notch of 120. Deltas below
// a notch (touchpads send many small ones) are added up instead of dropped,
// and a change of direction drops what was left over. Positive pixels scroll
// up (towards the top of the page).
class WheelAccumulator {
public:
  int Add(int wheelDelta);

private:
  int m_nRest = 0;  // delta × 72 not yet scrolled
};

// ---- information topics ----

// A topic text line by line: a line beginning with "■" is a heading, any other
// non-empty line a paragraph, an empty line an 8-pixel gap; each text line
// takes the height drawLine returns (it draws it at y, or only measures) and
// 2 pixels after it. The text after the last line feed is the last line, so
// a text ending in a line feed ends with a gap. Carriage returns at a line's
// end are dropped. The height used.
using TopicLineDrawer = std::function<int(const std::string& line, bool heading, int y)>;
int LayoutInfoTopic(std::string_view text, int y, const TopicLineDrawer& drawLine);

// ---- figures of the illustrated pages ----

struct HelpPoint {
  int x = 0, y = 0;
  bool operator==(const HelpPoint&) const = default;
};

// One clone of the impact figure: its offset from the planet's centre and
// whether it hits (a² + b² ≤ 289).
struct HelpClone {
  int a = 0, b = 0;
  bool hit = false;
};
inline constexpr int kHelpCloneCount = 60;
// The 60 clones drawn from the fixed seed (always the same picture).
std::array<HelpClone, kHelpCloneCount> HelpImpactClones();

// Point of the cubic Bézier curve p0 … p3 at t, each coordinate rounded as
// trunc(value + 0.5).
HelpPoint HelpBezierPoint(const HelpPoint p[4], double t);

// Column edges of a boxed table of width w from x: x + trunc(c × w / 100) for
// the running sums c of the percentages, the last edge at x + w (one more
// edge than columns).
std::array<int, 4> HelpTableEdges(int x, int w, const std::array<int, 3>& percents);
