#include "data/help_layout.h"

#include <algorithm>
#include <cstdint>

int HelpLayoutWidth(int clientWidth)
{
  return std::max(clientWidth - 2 * kHelpMargin, 240);
}

int HelpMaxHeight(int workAreaHeight)
{
  return std::clamp(workAreaHeight - 80, kHelpMinHeight, kHelpMaxHeight);
}

int HelpFittedHeight(int contentHeight, int dialogFrame, int buttonHeight, int canvasFrame, int maxHeight)
{
  const int fitted = contentHeight + dialogFrame + buttonHeight + canvasFrame + 12;
  return std::max(std::min(fitted, maxHeight), kHelpMinHeight);
}

int ClampHelpScroll(int position, int contentHeight, int clientHeight)
{
  return std::clamp(position, 0, std::max(0, contentHeight - clientHeight));
}

int WheelAccumulator::Add(int wheelDelta)
{
  if ((wheelDelta > 0 && m_nRest < 0) || (wheelDelta < 0 && m_nRest > 0))
    m_nRest = 0;
  m_nRest += wheelDelta * 72;
  const int pixels = m_nRest / 120;
  m_nRest -= pixels * 120;
  return pixels;
}

int LayoutInfoTopic(std::string_view text, int y, const TopicLineDrawer& drawLine)
{
  const int top = y;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    const bool last = end == std::string_view::npos;
    if (last)
      end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    while (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (line.empty()) {
      y += 8;
    } else {
      const bool heading = line.starts_with("■");
      y += drawLine(std::string(line), heading, y) + 2;
    }
    if (last)
      break;
    pos = end + 1;
  }
  return y - top;
}

std::array<HelpClone, kHelpCloneCount> HelpImpactClones()
{
  std::uint32_t s = 20260811u;
  auto draw = [&s] {
    s = 1103515245u * s + 12345u;
    return static_cast<double>((s >> 16) & 0x7FFF) / 32767.0;
  };
  std::array<HelpClone, kHelpCloneCount> clones{};
  for (HelpClone& c : clones) {
    const double u1 = draw(), u2 = draw(), u3 = draw(), u4 = draw(), u5 = draw(), u6 = draw();
    c.a = static_cast<int>(44.0 * (u1 + u2 + u3 - 1.5));
    c.b = static_cast<int>(30.0 * (u4 + u5 + u6 - 1.5));
    c.hit = c.a * c.a + c.b * c.b <= 289;
  }
  return clones;
}

HelpPoint HelpBezierPoint(const HelpPoint p[4], double t)
{
  const double s = 1.0 - t;
  const double w[4] = {s * s * s, 3.0 * s * s * t, 3.0 * s * t * t, t * t * t};
  double x = 0, y = 0;
  for (int i = 0; i < 4; ++i) {
    x += w[i] * p[i].x;
    y += w[i] * p[i].y;
  }
  return {static_cast<int>(x + 0.5), static_cast<int>(y + 0.5)};
}

std::array<int, 4> HelpTableEdges(int x, int w, const std::array<int, 3>& percents)
{
  std::array<int, 4> edges{};
  int c = 0;
  edges[0] = x;
  for (int i = 0; i < 2; ++i) {
    c += percents[static_cast<size_t>(i)];
    edges[static_cast<size_t>(i) + 1] = x + c * w / 100;
  }
  edges[3] = x + w;
  return edges;
}
