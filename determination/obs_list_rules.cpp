#include "determination/obs_list_rules.h"

#include "astro/angle_units.h"

#include <cmath>

#include "astro/time_scales.h"
#include "data/observation_record.h"
#include "determination/det_settings.h"

namespace {


}  // namespace

bool ToggleRejectionByHand(ObservationRecord& obs, int calcState) {
  if (obs.m_bPicked && calcState >= 1 && calcState <= 3) return false;
  if (obs.m_bRejected || obs.m_bByHand)
    Readmit(obs);
  else
    ForceReject(obs);
  return true;
}

void ForceReject(ObservationRecord& obs) { obs.m_bRejected = obs.m_bByHand = 1; }

void Readmit(ObservationRecord& obs) { obs.m_bRejected = obs.m_bByHand = 0; }

bool ConditionalReject(ObservationRecord& obs, const RejectThresholds& thresholds) {
  double year = 0, month = 0, day = 0;
  JdToCalendar(obs.m_dJdTt, year, month, day);
  const double limit = static_cast<int>(year) > thresholds.year ? thresholds.after : thresholds.before;
  const bool reject = obs.m_nUnknownStation || limit <= std::fabs(obs.m_dResRa * kArcsecPerRad) ||
                      limit <= std::fabs(obs.m_dResDec * kArcsecPerRad);
  if (reject) obs.m_bRejected = 1;
  return reject;
}

bool ObsContextMenuAllowed(int calcState) { return (calcState >= 3 && calcState <= 5) || calcState == 7; }
