#include "engine/approach_graph.h"

#include <cmath>

#include "app/registry/window_registry.h"
#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "engine/determination_host.h"
#include "engine/improvement_epoch.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr uint32_t kSlotColours[kApproachSlots] = {
    0xFF8080, 0xFF00FF, 0xFF0000, 0xFF8000, 0x00FF00, 0x008000, 0x00FFFF, 0x0000FF,
    0x8080C0, 0x804040, 0x804000, 0x808000, 0x808040, 0x408080, 0xC0C0C0,
};

const char* const kTabBodies[10] = {"水星", "金星", "地球", "火星", "木星", "土星", "天王星", "海王星", "冥王星", "月"};

int CurrentAsteroidSet()
{
  CDetermination* det = OpenWindows().m_pDetermination;
  return det && det->m_pEngine ? det->m_pEngine->m_nAsteroidSet : 0;
}

} // namespace

int GetApproachBodyCount()
{
  int members[kPerturberSetMaxMembers];
  return 10 + GetPerturberSetMembers(CurrentAsteroidSet(), members);
}

std::vector<std::string> ApproachGraphTabLabels(int bodyCount, int asteroidSet)
{
  std::vector<std::string> labels{"全摂動体"};
  for (int i = 0; i < bodyCount && i < 10; ++i)
    labels.emplace_back(kTabBodies[i]);
  for (int row = 0; row + 10 < bodyCount; ++row)
    labels.emplace_back(GetPerturberName(asteroidSet, row));
  return labels;
}

uint32_t ApproachSlotColour(int slot)
{
  return slot >= 0 && slot < kApproachSlots ? kSlotColours[slot] : kApproachGraphLabel;
}

ApproachGraphLayout LayoutApproachGraph(ApproachTrackRow* track, int rows, int tab, int bodyCount, int width,
                                        int height)
{
  ApproachGraphLayout out;
  if (!track || rows <= 0)
    return out;
  int divisor = 0;
  for (int r = 0; r < rows; ++r)
    if (track[r][2].time != 0.0)
      ++divisor;
  const int key = tab == 0 ? 2 : tab - 1;
  double scale = 0.0, start = 0.0, end = 0.0;
  bool any = false;
  for (int r = 0; r < rows; ++r) {
    if (track[r][key].time == 0.0)
      continue;
    if (!any)
      start = track[r][key].time;
    end = track[r][key].time;
    any = true;
    if (tab == 0) {
      for (int s = 0; s < bodyCount && s < kApproachSlots; ++s)
        if (track[r][s].distance < 1000.0 && track[r][s].distance > scale)
          scale = track[r][s].distance;
    } else if (track[r][key].distance > scale) {
      scale = track[r][key].distance;
    }
  }
  if (scale == 0.0)
    return out;
  if (scale > 50.0)
    scale = 50.0;
  out.hasScale = true;
  out.scale = scale;
  out.dateStart = WholeDayText(start);
  out.dateMiddle = WholeDayText(start + (end - start) / 2.0);
  out.dateEnd = WholeDayText(end);
  out.topLabel = FormatC("%.1fAU", scale);

  const int firstSlot = tab == 0 ? 0 : tab - 1;
  const int lastSlot = tab == 0 ? std::min(bodyCount, kApproachSlots) - 1 : tab - 1;
  for (int s = firstSlot; s <= lastSlot; ++s) {
    ApproachGraphLayout::Curve curve{s, {}};
    bool broken = true;
    int m = 0;
    for (int r = 0; r < rows; ++r) {
      ApproachSample& sample = track[r][s];
      if (sample.time == 0.0) {
        sample.aux = -1.0;
        continue;
      }
      const int y = height - static_cast<int>(std::trunc((height - 4) / scale * sample.distance)) - 5;
      if (y < 0) {
        broken = true;
        continue;
      }
      const int x = divisor > 1 ? (width - 4) * m / (divisor - 1) : 0;
      ++m;
      sample.aux = x;
      if (broken)
        curve.lines.emplace_back();
      curve.lines.back().push_back({x, y});
      broken = false;
    }
    out.curves.push_back(std::move(curve));
  }
  return out;
}

int ApproachGraphCursor(const ApproachTrackRow* track, int rows, int tab, int a, std::string& text)
{
  if (!track || tab < 1 || a < 0)
    return -1;
  const int slot = tab - 1;
  for (int r = 0; r < rows; ++r) {
    const ApproachSample& s = track[r][slot];
    if (s.time != 0.0 && s.aux >= a) {
      double y, m, d;
      JdToCalendar(s.time, y, m, d);
      text = FormatC("%d年%d月%.1f日 %.5fAU", static_cast<int>(y), static_cast<int>(m), d, s.distance);
      return r;
    }
  }
  return -1;
}

CMpDisGraphDlg::~CMpDisGraphDlg()
{
  if (OpenWindows().m_pMpDisGraphDlg == this)
    OpenWindows().m_pMpDisGraphDlg = nullptr;
}

void CMpDisGraphDlg::SetTrack(ApproachTrackRow* track, int rows)
{
  m_pTrack = track;
  m_nTrackRows = track ? rows : 0;
  DrawGraph();
}

void ShowCloseApproaches(CloseApproachRecord* record, EngineWindow* edit, int body, int count, int decimals)
{
  CMpDisGraphDlg* graph = OpenWindows().m_pMpDisGraphDlg;
  std::string text;
  if (!record || !FormatCloseApproaches(*record, body, count, decimals, CurrentAsteroidSet(), text))
    return;
  if (edit && edit->IsLive())
    edit->SetText(text);
  if (!graph)
    return;
  if (body == -1 || (body == 99 && record->closest[0].time == 0.0)) {
    graph->SetTrack(nullptr, 0);
    return;
  }
  graph->RefreshTabs();
  graph->SetTrack(record->track, record->m_nTrackRows);
}
