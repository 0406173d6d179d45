#include "ephemeris/ephemeris_globe.h"

#include <cmath>

#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "engine/move_epoch.h"
#include "platform/numbers.h"

namespace {

std::string DateText(double jd) {
  double y, m, d;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/%d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
}

}  // namespace

void FeedEarthTracker(const EphemerisRow* rows, long count, ImpactTracker& earth) {
  earth.m_nBody = kBodyEarth;
  for (long k = 0; k < count && !earth.m_bHit; ++k) {
    const EphemerisRow& r = rows[k];
    const double cd = std::cos(r.m_dDecRad);
    const double rel[3] = {r.m_dDeltaAu * cd * std::cos(r.m_dRaRad), r.m_dDeltaAu * cd * std::sin(r.m_dRaRad),
                           r.m_dDeltaAu * std::sin(r.m_dDecRad)};
    earth.Step(r.m_dJdTT, r.m_dDeltaAu, rel);
  }
  earth.FinishRun();
}

void ShowEarthApproach(const ImpactTracker& earth, const DisplayOrbit& orbit) {
  GlobeSink* globe = ToolSinks().OpenGlobe();
  if (!globe) return;
  globe->SetBody(kBodyEarth);
  globe->SetOrbitElements(orbit.m_dT, orbit.m_dQ, orbit.m_dE, orbit.m_dPeri, orbit.m_dNode, orbit.m_dIncl);
  globe->SetSubEarth(0, 0.0, 0.0);
  globe->SetMarker(0, 0.0, 0.0, 0, "");
  globe->ClearCloneImpacts();
  globe->ClearCloneTracks();
  globe->SetSubCaption("");
  globe->SetCaption(orbit.m_strName);
  globe->ClearPath();
  ShowTrackerOnGlobe(*globe, earth);
  globe->ShowGlobe();
}

std::string PlanetaryFileRefusal(double fromJd, double toJd, const std::string& what) {
  if (!g_pJplEph || !g_pJplEph->IsOpen() || !(g_dJplEnd > g_dJplStart))
    return "惑星暦ファイルが開かれていないため、太陽と月の位置が求められず、" + what + "を作成できません。"
           "惑星暦ファイルを設定してください。";
  if (fromJd < g_dJplStart || toJd > g_dJplEnd)
    return "期間が惑星暦ファイルの範囲(" + DateText(g_dJplStart) + "～" + DateText(g_dJplEnd) + ")を外れているため、" +
           what + "を作成できません。";
  return {};
}
