#include "engine/close_approach.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "app/registry/window_registry.h"
#include "astro/constants.h"
#include "astro/mpeph_store.h"
#include "engine/approach_graph.h"
#include "platform/app_services.h"
#include "astro/time_scales.h"
#include "platform/numbers.h"

namespace {

constexpr double kKmPerAu = kAstronomicalUnitKm;
constexpr ApproachSample kEmpty = {0.0, kNoApproachDistance, 0.0};

void Clear(ApproachSample& s)
{
  s.time = kEmpty.time;
  s.distance = kEmpty.distance;
}

const char* const kBodyNames[10] = {"水星  ", "金星  ", "地球  ", "火星  ", "木星  ",
                                    "土星  ", "天王星", "海王星", "冥王星", "月    "};

// One entry of the list: date and distance, and whole km below 400000 km.
std::string FormatEntry(const ApproachSample& s, int decimals)
{
  static const char* const kDayFormats[4] = {"%2.0f", "%3.1f", "%4.2f", "%5.3f"};
  double y, m, d;
  JdToCalendar(s.time, y, m, d);
  std::string text = FormatC("  %4d/%2d/", static_cast<int>(y), static_cast<int>(m));
  text += FormatC(kDayFormats[std::clamp(decimals, 0, 3)], d);
  text += FormatC("\r\n  %.5f AU\r\n", s.distance);
  const double km = s.distance * kKmPerAu;
  if (km < 400000.0)
    text += FormatC("    %ldKm\r\n", static_cast<long>(km));
  return text + "\r\n";
}

} // namespace

CloseApproachRecord::~CloseApproachRecord()
{
  LeaveGraph();
  delete[] minima;
  delete[] track;
}

void CloseApproachRecord::LeaveGraph()
{
  CMpDisGraphDlg* graph = OpenWindows().m_pMpDisGraphDlg;
  if (graph && track && graph->m_pTrack == track)
    graph->SetTrack(nullptr, 0);
}

CloseApproachRecord* CloseApproachRecord::Init(double t0, double t1, double h)
{
  double step = std::fabs(h);
  m_dWindowStart = std::min(t0, t1) - 5.0 * step;
  m_dWindowEnd = std::max(t0, t1) + 5.0 * step;
  m_dStep = h;
  if (step <= 0.0)
    step = 1.0;
  if ((m_dWindowEnd - m_dWindowStart) / step > 20000.0)
    step = (m_dWindowEnd - m_dWindowStart) / 20000.0;
  m_dTrackStep = step;

  LeaveGraph();
  m_dRowTime = 0.0;
  m_nRow = -1;
  // An improvement prepares its record at every call: the buffers stay, so
  // that each call does not map and fault in megabytes afresh.
  m_nTrackRows = static_cast<int>((m_dWindowEnd - m_dWindowStart) / step) + 12;
  if (!track || m_nTrackRows > m_nTrackCapacity) {
    delete[] track;
    track = new (std::nothrow) ApproachTrackRow[m_nTrackRows];
    m_nTrackCapacity = track ? m_nTrackRows : 0;
  }
  if (track)
    std::memset(static_cast<void*>(track), 0, sizeof(ApproachTrackRow) * static_cast<size_t>(m_nTrackRows));
  else
    m_nTrackRows = 0;
  if (!minima)
    minima = new (std::nothrow) ApproachSample[kApproachSlots * kApproachMinima]();
  else
    std::fill(minima, minima + kApproachSlots * kApproachMinima, ApproachSample{});
  for (int i = 0; i < kApproachSlots; ++i)
    closest[i].aux = latest[i].aux = previous[i].aux = 0.0;
  Reset();
  return this;
}

void CloseApproachRecord::Reset()
{
  for (int i = 0; i < kApproachSlots; ++i) {
    Clear(closest[i]);
    Clear(latest[i]);
    Clear(previous[i]);
  }
  if (minima)
    for (int i = 0; i < kApproachSlots * kApproachMinima; ++i)
      Clear(minima[i]);
}

void CloseApproachRecord::ResetSlot(int slot)
{
  Clear(closest[slot]);
  Clear(latest[slot]);
  Clear(previous[slot]);
  if (minima)
    for (int i = 0; i < kApproachMinima; ++i)
      Clear(minima[slot * kApproachMinima + i]);
}

void CloseApproachRecord::InsertMinimum(int slot, const ApproachSample& s)
{
  if (!minima)
    return;
  ApproachSample* m = minima + slot * kApproachMinima;
  if (s.distance >= m[kApproachMinima - 1].distance)
    return;
  int at = 0;
  while (at < kApproachMinima && m[at].distance <= s.distance)
    ++at;
  for (int i = kApproachMinima - 1; i > at; --i)
    m[i] = m[i - 1];
  m[at] = s;
}

void CloseApproachRecord::Update(int slot, double t, double d)
{
  if (slot < 0 || slot >= kApproachSlots)
    return;
  const double s = m_dStep >= 0.0 ? 1.0 : -1.0;
  if (latest[slot].time != 0.0 && (t - latest[slot].time) * s <= 0.0) {
    const double back = (latest[slot].time - t) * s;
    if (back < 6.0 * std::fabs(m_dStep))
      return;
    ResetSlot(slot);
  }
  if (d < closest[slot].distance) {
    closest[slot].time = t;
    closest[slot].distance = d;
  }
  if (previous[slot].time != 0.0 && previous[slot].distance > latest[slot].distance &&
      latest[slot].distance < d)
    InsertMinimum(slot, latest[slot]);
  previous[slot] = latest[slot];
  latest[slot].time = t;
  latest[slot].distance = d;
  if (track && m_dTrackStep > 0.0) {
    // The bodies of one evaluation share its time: the row is worked out once.
    if (t != m_dRowTime || m_dRowTime == 0.0) {
      const double row = std::trunc((t - m_dWindowStart) / m_dTrackStep) + 5.0;
      m_dRowTime = t;
      m_nRow = row >= 0.0 && row < m_nTrackRows ? static_cast<int>(row) : -1;
    }
    if (m_nRow >= 0) {
      ApproachSample& cell = track[m_nRow][slot];
      cell.time = t;
      cell.distance = d;
    }
  }
}

std::string ApproachSlotName(int slot, int asteroidSet)
{
  if (slot >= 0 && slot < 10)
    return kBodyNames[slot];
  return std::string(GetPerturberName(asteroidSet, slot - 10));
}

bool FormatCloseApproaches(const CloseApproachRecord& record, int body, int count, int decimals, int asteroidSet,
                           std::string& text)
{
  if (body == -1 || (body == 99 && record.closest[0].time == 0.0)) {
    text.clear();
    return true;
  }
  if (count < 10 || count > kApproachSlots)
    return false;
  std::string out;
  if (body == 99) {
    for (int k = 0; k < count; ++k)
      out += ApproachSlotName(k, asteroidSet) + "\r\n" + FormatEntry(record.closest[k], decimals);
  } else if (body >= 0 && body < count) {
    const ApproachSample* m = record.Minima(body);
    if (m && (m[0].time != 0.0 || record.closest[body].time == 0.0)) {
      double lastTime = 0.0;
      for (int i = 0; i < kApproachMinima && m[i].time != 0.0; ++i) {
        if (i > 0 && m[i].time == lastTime)
          continue;
        out += FormatEntry(m[i], decimals);
        lastTime = m[i].time;
      }
    } else {
      out += FormatEntry(record.closest[body], decimals);
    }
  } else {
    return false;
  }
  text = out;
  return true;
}
