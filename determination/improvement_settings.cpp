#include "determination/improvement_settings.h"

#include <algorithm>
#include <cmath>

#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "determination/det_form.h"
#include "determination/det_settings.h"
#include "determination/obs_list_rules.h"
#include "engine/approach_graph.h"
#include "determination/determination_display.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr double kMinWeight = 0.1;
constexpr double kMaxWeight = 100;
constexpr const char* kMsgWeightRange =
    "ウエイトは %g 〜 %g の範囲で指定してください(その観測を何個ぶんとして扱うかの倍率です)。\r\n"
    "観測を計算から外したいときは、ウエイトではなく[リジェクト]をお使いください。";
constexpr const char* kMsgFixEBlocksNonGrav =
    "[eを固定]中は非重力効果を計算できません。\r\neを固定するのは、発見直後の短い弧のようにまだ一般軌道も精度良く"
    "求まらない段階で使う機能で、その段階では非重力効果を判別することもできません。先に[eを固定]のチェックを外して"
    "ください。";

bool HasObservations(const CDeterminationDisplay& view) {
  return view.m_pDetClass && view.m_pDetClass->m_pOrbObs && view.m_pDetClass->m_nObsCount > 0;
}

int YearOf(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return static_cast<int>(y);
}

ObservationRecord* RowRecord(CDeterminationDisplay& view, long row) {
  if (!HasObservations(view) || row < 0 || row >= view.m_pDetClass->m_nObsCount) return nullptr;
  return &view.m_pDetClass->m_pOrbObs[row];
}

} // namespace

bool RunAutomaticRejection(CDeterminationDisplay& view, CTessaruneApp& app, RejectionCounts* out) {
  if (!HasObservations(view)) return false;
  RejectThresholds t;
  view.GetRejectThresholds(t.year, t.before, t.after);
  RejectionCounts c;
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  for (int i = 0; i < view.m_pDetClass->m_nObsCount && obs[i].m_dJdUtc != -1.0; ++i) {
    ObservationRecord& o = obs[i];
    // A hand rejection stays whatever the residuals say.
    const bool rejected = ConditionalReject(o, t) || o.m_bByHand;
    o.m_bRejected = rejected ? 1 : 0;
    const bool early = YearOf(o.m_dJdTt) <= t.year;
    (early ? c.totalBefore : c.totalAfter)++;
    if (rejected) (early ? c.rejectedBefore : c.rejectedAfter)++;
  }
  view.GetRejectThresholds(t.year, t.before, t.after);
  app.WriteProfileInt(kSettingsSection, "REJECTYEAR", t.year);
  app.WriteProfileString(kSettingsSection, "REJECTOLD", FormatC("%.1f", t.before).c_str());
  app.WriteProfileString(kSettingsSection, "REJECTNEW", FormatC("%.1f", t.after).c_str());
  view.AppendCalcLog(FormatC("リジェクト: %d年以前 %.1f\"で %d/%d個、%d年より後 %.1f\"で %d/%d個を除外\r\n", t.year,
                             t.before, c.rejectedBefore, c.totalBefore, t.year, t.after, c.rejectedAfter,
                             c.totalAfter));
  view.SetObsListItemCount(view.m_pDetClass->m_nObsCount);
  if (out) *out = c;
  return true;
}

void StepRejectThreshold(CDeterminationDisplay& view, int fieldId, int step) {
  double value = StringToDouble(view.GetItemText(fieldId));
  if (!std::isfinite(value)) value = 0;
  value += step > 0 ? -0.1 : 0.1;
  value = std::clamp(value, 0.1, 99999.9);
  view.SetItemText(fieldId, FormatC("%.1f", value));
}

bool SetWeightOfRows(CDeterminationDisplay& view, const std::vector<long>& rows) {
  if (!HasObservations(view)) return false;
  double x = 0;
  if (!ParseDouble(view.GetItemText(kIdWeightEdit), x) || !(x >= kMinWeight && x <= kMaxWeight)) {
    view.ReportMessage(FormatC(kMsgWeightRange, kMinWeight, kMaxWeight), "", kBoxOk, 1);
    return false;
  }
  view.SetItemText(kIdWeightEdit, FormatC("%g", x));
  for (long row : rows)
    if (ObservationRecord* o = RowRecord(view, row)) o->m_dWeight = x;
  view.m_pEngine->m_bCovarianceValid = 0;
  view.SetObsListItemCount(view.m_pDetClass->m_nObsCount);
  view.RepaintItem(kIdWeightEdit);
  return true;
}

void ResetWeightOfRows(CDeterminationDisplay& view, const std::vector<long>& rows) {
  if (!HasObservations(view)) return;
  for (long row : rows)
    if (ObservationRecord* o = RowRecord(view, row)) o->m_dWeight = 1.0;
  view.m_pEngine->m_bCovarianceValid = 0;
  view.SetObsListItemCount(view.m_pDetClass->m_nObsCount);
  view.RepaintItem(kIdWeightEdit);
}

bool AnyWeightChanged(const CDeterminationDisplay& view) {
  if (!HasObservations(view)) return false;
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  for (int i = 0; i < view.m_pDetClass->m_nObsCount && obs[i].m_dJdUtc != -1.0; ++i)
    if (std::fabs(obs[i].m_dWeight - 1.0) > 1e-9) return true;
  return false;
}

void OnNonGravComputeBox(CDeterminationDisplay& view) {
  const int checked = view.IsChecked(kIdNonGravCheck);
  if (checked && view.m_pDetClass->m_bFixEcc) {
    view.SetCheck(kIdNonGravCheck, 0);
    view.ReportMessage(kMsgFixEBlocksNonGrav, "", kBoxOk, 1);
    return;
  }
  view.m_pEngine->m_bNonGrav = checked ? 1 : 0;
  view.ShowNonGravParams();
}

void OnNonGravModelChange(CDeterminationDisplay& view) {
  const int model = view.GetSelection(kIdNonGravModelCombo);
  view.SetNonGravModel(model < 0 ? 0 : model);
  view.ResetNonGravParameters();
  view.ShowNonGravParams();
}

std::vector<std::string> ApproachBodyEntries(int perturberSet) {
  std::vector<std::string> entries{"最接近"};
  const std::vector<std::string> tabs = ApproachGraphTabLabels(10, perturberSet);
  for (size_t i = 1; i < tabs.size() && i <= 10; ++i) entries.push_back(tabs[i]);
  for (int row = 0; row < kPerturberSetMaxMembers; ++row) entries.push_back(GetPerturberName(perturberSet, row));
  return entries;
}

int KeptApproachBodySelection(int selection, int perturberSet) {
  int members[kPerturberSetMaxMembers];
  const int count = GetPerturberSetMembers(perturberSet, members);
  return selection >= 0 && selection <= 10 + count ? selection : 0;
}

int ApproachBodyOfEntry(int entry) { return entry <= 0 ? 99 : entry - 1; }
