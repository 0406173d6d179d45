#include "determination/station_stats.h"

#include "astro/angle_units.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "data/observation_record.h"
#include "determination/det_form.h"
#include "determination/determination_display.h"
#include "determination/diagnostic_run.h"
#include "engine/improvement_procedures.h"
#include "engine/orbit_engine.h"
#include "engine/view_fit_run.h"
#include "platform/numbers.h"

namespace {

constexpr int kMaxTestedStations = 10;
constexpr int kMinRemainingObs = 10;
constexpr int kTrialIterations = 4;

bool SameCode(const char* a, const char* b) { return std::strncmp(a, b, 3) == 0; }

int ObservationCount(const ObservationRecord* obs, int count) {
  int n = 0;
  while (obs && n < count && obs[n].m_dJdUtc != -1.0) ++n;
  return n;
}

void Finish(StationResidualStats& s, double caution, double large) {
  if (s.used <= 0) return;
  s.meanRa = s.sumRa / s.used;
  s.meanDec = s.sumDec / s.used;
  s.bias = std::sqrt(s.meanRa * s.meanRa + s.meanDec * s.meanDec);
  s.angle = std::atan2(s.meanRa, s.meanDec) * kDegPerRad;
  if (s.angle < 0) s.angle += 360.0;
  s.scatter = std::sqrt((s.sumSqRa + s.sumSqDec) / (2.0 * s.used));
  if (s.used < kStationMinUsed) return;
  s.flag = s.bias >= large ? kStationFlagLarge : s.bias >= caution ? kStationFlagCaution : 0;
  // Beyond these offsets a station is suspect whatever the solution's mean residual.
  if (s.bias >= 4.0)
    s.flag = kStationFlagLarge;
  else if (s.bias >= 2.0 && s.flag < kStationFlagCaution)
    s.flag = kStationFlagCaution;
}

// Selection sort by descending bias taking the first of equal biases, so
// that the order is the one the report and the tug-of-war check describe.
// place[k] receives where the station that stood at k ends.
void SortByBias(StationResidualStats* stats, int n, int* place) {
  std::vector<int> from(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) from[i] = i;
  for (int i = 0; i < n; ++i) {
    int best = i;
    for (int j = i + 1; j < n; ++j)
      if (stats[j].bias > stats[best].bias) best = j;
    if (best != i) {
      std::swap(stats[i], stats[best]);
      std::swap(from[i], from[best]);
    }
  }
  for (int i = 0; i < n; ++i) place[from[i]] = i;
}

// Sort key of a column; the bool says the station has no value there.
double ColumnValue(const StationResidualStats& s, int column, bool& missing) {
  missing = s.used <= 0 && (column == 4 || column == 5 || column == 6 || column == 8);
  switch (column) {
  case 2: return s.used;
  case 3: return s.excluded;
  case 4: return s.meanRa;
  case 5: return s.meanDec;
  case 6: return s.bias;
  case 8: return s.scatter;
  default: return 0;
  }
}

// True when a sorts strictly before b.
bool SortsBefore(const StationResidualStats& a, const StationResidualStats& b, const StationSort& sort) {
  if (sort.column == 0) {
    const int c = std::strncmp(a.code, b.code, 4);
    return sort.ascending ? c < 0 : c > 0;
  }
  bool missingA = false, missingB = false;
  const double va = ColumnValue(a, sort.column, missingA), vb = ColumnValue(b, sort.column, missingB);
  if (missingA || missingB) return !missingA && missingB;
  return sort.ascending ? va < vb : va > vb;
}

}  // namespace

namespace {

// The three bytes of a code as one key, with the bytes after a NUL ignored
// as the three-character comparison ignores them.
uint32_t CodeKey(const char* code) {
  uint32_t key = 0;
  for (int c = 0; c < 3 && code[c] != '\0'; ++c)
    key |= static_cast<uint32_t>(static_cast<unsigned char>(code[c])) << (8 * c);
  return key;
}

// Index of each station code in order of first appearance: an open-addressed
// table sized for the observations, so that finding a station costs the same
// with one station as with hundreds.
class StationIndex {
public:
  explicit StationIndex(int observations) {
    size_t size = 16;
    while (size < 2 * static_cast<size_t>(observations)) size *= 2;
    keys_.assign(size, 0);
    slots_.assign(size, -1);
  }
  // The station's index; next (and next is advanced) for a new code.
  int Find(const char* code, int& next) {
    const uint32_t key = CodeKey(code);
    const size_t mask = slots_.size() - 1;
    size_t i = (key * 2654435761u) & mask;
    while (slots_[i] >= 0 && keys_[i] != key) i = (i + 1) & mask;
    if (slots_[i] < 0) {
      keys_[i] = key;
      slots_[i] = next++;
    }
    return slots_[i];
  }

private:
  std::vector<uint32_t> keys_;
  std::vector<int> slots_;
};

}  // namespace

int ComputeStationResidualStats(const ObservationRecord* obs, int count, double meanResidual,
                                StationResidualStats* stats, unsigned char* flags) {
  const int n = ObservationCount(obs, count);
  int stations = 0;
  std::vector<int> stationOf(static_cast<size_t>(n), 0);
  StationIndex index(n);
  for (int i = 0; i < n; ++i) {
    const ObservationRecord& o = obs[i];
    const int before = stations;
    const int k = index.Find(o.m_szStation, stations);
    if (k == before) {
      stats[k] = StationResidualStats{};
      std::memcpy(stats[k].code, o.m_szStation, 3);
      stats[k].code[3] = '\0';
    }
    stationOf[i] = k;
    StationResidualStats& s = stats[k];
    if (o.m_bRejected || o.m_nUnknownStation) {
      ++s.excluded;
      continue;
    }
    const double ra = o.m_dResRa * kArcsecPerRad, dec = o.m_dResDec * kArcsecPerRad;
    ++s.used;
    s.sumRa += ra;
    s.sumDec += dec;
    s.sumSqRa += ra * ra;
    s.sumSqDec += dec * dec;
  }
  const double b = std::max(meanResidual, 0.3);
  const double caution = std::max(1.0, 2.0 * b), large = std::max(2.0, 3.0 * b);
  for (int k = 0; k < stations; ++k) Finish(stats[k], caution, large);
  // The flags follow the stations, which the sort moves.
  std::vector<int> place(static_cast<size_t>(stations));
  SortByBias(stats, stations, place.data());
  for (int i = 0; i < n; ++i) flags[i] = static_cast<unsigned char>(stats[place[stationOf[i]]].flag);
  return stations;
}

// ---- the table ----

const StationColumn kStationColumnInfo[kStationColumns] = {
    {"コード", 0, 46},   {"観測所", 0, 190},      {"使用数", 1, 50},
    {"除外数", 1, 50},   {"偏りRA\"", 1, 56},     {"偏りDec\"", 1, 56},
    {"偏りの大きさ\"", 1, 74}, {"向き", 1, 46}, {"ばらつき\"", 1, 60},
};

unsigned StationRowColour(int flag) {
  return flag == kStationFlagLarge ? 0xFFC8C8u : flag == kStationFlagCaution ? 0xFFF0BEu : 0u;
}

void ClickStationColumn(StationSort& sort, int column) {
  if (column == 1 || column == 7 || column < 0 || column >= kStationColumns) return;
  if (column == sort.column) {
    sort.ascending = sort.ascending ? 0 : 1;
    return;
  }
  sort.column = column;
  sort.ascending = column == 0 ? 1 : 0;
}

std::string StationColumnTitle(int column, const StationSort& sort) {
  std::string title = kStationColumnInfo[column].title;
  if (column == sort.column) title += sort.ascending ? " ▲" : " ▼";
  return title;
}

std::vector<int> StationRowOrder(const StationResidualStats* stats, int count, const StationSort& sort) {
  std::vector<int> order;
  for (int k = 0; k < count; ++k) order.push_back(k);
  if (sort.column < 0) return order;
  for (int i = 1; i < count; ++i) {
    const int v = order[i];
    int j = i;
    for (; j > 0 && SortsBefore(stats[v], stats[order[j - 1]], sort); --j) order[j] = order[j - 1];
    order[j] = v;
  }
  return order;
}

std::string StationCellText(const StationResidualStats& s, int column, const std::string& name) {
  if (column >= 4 && s.used <= 0) return "-";
  switch (column) {
  case 0: return s.code;
  case 1: return name;
  case 2: return FormatC("%d", s.used);
  case 3: return FormatC("%d", s.excluded);
  case 4: return FormatC("%+.2f", s.meanRa);
  case 5: return FormatC("%+.2f", s.meanDec);
  case 6: return FormatC("%.2f", s.bias);
  case 7: return FormatC("%.0f°", s.angle);
  case 8: return FormatC("%.2f", s.scatter);
  default: return "";
  }
}

std::string StationSummaryText(const StationResidualStats* stats, int count) {
  if (count <= 0) return "集計できる観測がありません。";
  int observations = 0, large = 0, caution = 0;
  for (int k = 0; k < count; ++k) {
    observations += stats[k].used + stats[k].excluded;
    large += stats[k].flag == kStationFlagLarge;
    caution += stats[k].flag == kStationFlagCaution;
  }
  std::string text =
      large + caution > 0
          ? FormatC("%d観測所 / %d観測。偏りが特に大きい観測所が%d、注意が%d あります(偏りの大きい順)。", count,
                    observations, large, caution)
          : FormatC("%d観測所 / %d観測。偏りの目立つ観測所はありません。", count, observations);
  auto strong = [](const StationResidualStats& s) { return s.used >= kStationMinUsed && s.bias >= 1.5; };
  for (int k = 0; k < count; ++k) {
    if (!strong(stats[k])) continue;
    for (int l = k + 1; l < count; ++l) {
      if (!strong(stats[l])) continue;
      double apart = std::fabs(stats[k].angle - stats[l].angle);
      if (apart > 180.0) apart = 360.0 - apart;
      const double ratio = std::max(stats[k].bias, stats[l].bias) / std::min(stats[k].bias, stats[l].bias);
      if (apart >= 150.0 && ratio <= 2.5)
        return text + FormatC("　★%.3sと%.3sの偏りがほぼ逆向きで同程度 — 引っ張り合いの疑い([除外試験]で確認できます)",
                              stats[k].code, stats[l].code);
    }
  }
  return text;
}

// ---- the station commands ----

const char* const kStationWeightRangeFormat =
    "軌道改良画面の[ウエイト設定]の欄に、掛けたい値を入れてから押してください(%g 〜 %g)。";
const char* const kStationTestQuestion =
    "観測所を1つずつ除外して解き直し、平均残差がどう変わるかを調べます。\r\n"
    "観測所の数だけ改良を繰り返すため時間がかかります(途中で[中止]できます)。\r\n"
    "軌道要素は試験後に元へ戻ります。実行しますか?";

std::string ExcludeStationQuestion(const char* code) {
  return FormatC("観測所 %s の観測をすべて強制リジェクトします。\r\n"
                 "([リジェクト]ボタンでは復活しません。戻すには[この観測所を有効化]を使います)",
                 code);
}

std::string StationWeightQuestion(const char* code, double weight) {
  return FormatC("観測所 %s の観測すべてに、ウエイト %g を設定します。\r\n"
                 "(1より小さくすれば軽く、大きくすれば重く扱われます。元に戻すには右の[解除]を押します)",
                 code, weight);
}

std::string ResetStationWeightQuestion(const char* code) {
  return FormatC("観測所 %s のウエイトを既定(1.0)へ戻します。", code);
}

void ExcludeStation(ObservationRecord* obs, int count, const char* code) {
  const int n = ObservationCount(obs, count);
  for (int i = 0; i < n; ++i) {
    ObservationRecord& o = obs[i];
    if (!SameCode(o.m_szStation, code)) continue;
    if (!o.m_bByHand) o.m_bStationRejected = 1;
    o.m_bRejected = 1;
    o.m_bByHand = 1;
  }
}

void ReenableStation(ObservationRecord* obs, int count, const char* code) {
  const int n = ObservationCount(obs, count);
  for (int i = 0; i < n; ++i) {
    ObservationRecord& o = obs[i];
    if (!SameCode(o.m_szStation, code) || o.m_nUnknownStation || !o.m_bStationRejected) continue;
    o.m_bRejected = 0;
    o.m_bByHand = 0;
    o.m_bStationRejected = 0;
  }
}

void SetStationWeight(ObservationRecord* obs, int count, const char* code, double weight) {
  const int n = ObservationCount(obs, count);
  for (int i = 0; i < n; ++i)
    if (SameCode(obs[i].m_szStation, code)) obs[i].m_dWeight = weight;
}

bool ReadStationWeight(CDeterminationDisplay& view, double& weight) {
  if (ParseDouble(view.GetItemText(kIdWeightEdit), weight) && weight >= kStationWeightMin &&
      weight <= kStationWeightMax)
    return true;
  view.ReportMessage(FormatC(kStationWeightRangeFormat, kStationWeightMin, kStationWeightMax), kStationStatsCaption,
                     kBoxOk | kBoxIconInformation, 1);
  return false;
}

// ---- the leave-one-station-out test ----

namespace {

struct TrialEntry {
  char code[4];
  int solved;
  double residual;
};

// Up to ten stations of at least five used observations, by influence
// sqrt(used) × bias (the first in the view's order on ties).
std::vector<int> ChooseStations(const StationResidualStats* stats, int count) {
  std::vector<int> chosen;
  std::vector<bool> taken(static_cast<size_t>(count), false);
  while (static_cast<int>(chosen.size()) < kMaxTestedStations) {
    int best = -1;
    double bestInfluence = 0;
    for (int k = 0; k < count; ++k) {
      if (taken[k] || stats[k].used < kStationMinUsed) continue;
      const double influence = std::sqrt(static_cast<double>(stats[k].used)) * stats[k].bias;
      if (best < 0 || influence > bestInfluence) {
        best = k;
        bestInfluence = influence;
      }
    }
    if (best < 0) break;
    taken[best] = true;
    chosen.push_back(best);
  }
  return chosen;
}

// Rejects the station's observations; the usable ones of other stations left.
int RejectStationForTrial(DetClass* det, const char* code) {
  int remaining = 0;
  for (int i = 0; i < det->m_nObsCount && det->m_pOrbObs[i].m_dJdUtc != -1.0; ++i) {
    ObservationRecord& o = det->m_pOrbObs[i];
    if (SameCode(o.m_szStation, code))
      o.m_bRejected = 1;
    else if (!o.m_bRejected && !o.m_nUnknownStation)
      ++remaining;
  }
  return remaining;
}

// Solved entries first, then by ascending residual (selection sort).
void SortEntries(std::vector<TrialEntry>& entries) {
  auto before = [](const TrialEntry& a, const TrialEntry& b) {
    if (a.solved != b.solved) return a.solved > b.solved;
    return a.solved && a.residual < b.residual;
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    size_t best = i;
    for (size_t j = i + 1; j < entries.size(); ++j)
      if (before(entries[j], entries[best])) best = j;
    if (best != i) std::swap(entries[i], entries[best]);
  }
}

std::string TestReport(const std::vector<TrialEntry>& entries, double r0, int untested) {
  std::string text = FormatC("全観測での平均残差: %.3f\"\r\n観測所を1つだけ除外して解き直したときの平均残差:\r\n\r\n", r0);
  for (size_t i = 0; i < entries.size(); ++i) {
    const TrialEntry& e = entries[i];
    if (!e.solved) {
      text += FormatC("    %.3s を除外 → 解けませんでした\r\n", e.code);
      continue;
    }
    const char* prefix = i == 0 && e.residual < r0 / 2 ? "★ " : "    ";
    text += FormatC("%s%.3s を除外 → %.3f\"  (%+.0f%%)\r\n", prefix, e.code, e.residual, (e.residual / r0 - 1) * 100);
  }
  if (untested > 0) text += FormatC("\r\n影響力(偏り×√観測数)の小さい%d観測所は試していません", untested);
  text += "\r\n\r\n1つだけ劇的に下がる観測所があれば、それが解を引っ張っていた疑いが濃厚です。\r\n"
          "[この観測所を除外]で外してから改良し直してください。\r\n(この試験では軌道要素は変更していません)";
  return text;
}

}  // namespace

int RunStationExclusionTest(CDeterminationDisplay& view, std::string& text) {
  text.clear();
  OrbitEngine* engine = view.m_pEngine;
  DetClass* det = view.m_pDetClass;
  view.EnsureStationStats();
  if (!det->m_pOrbObs || !view.m_pStationStats || view.m_nStationStats < 2) {
    text = "観測所が2つ以上ないと比べられません。";
    return -1;
  }
  if (engine->m_nCalcState != kCalcImprovedPerturbed || !(engine->m_dMeanResidual > 0)) {
    text = "先に摂動計算の軌道改良を収束させてください。";
    return -1;
  }
  const double epoch = EpochFieldsJd(view);
  const double r0 = engine->m_dMeanResidual;
  if (BeginBusyCommand(engine) != 0) {
    text = kMsgOtherCalculationRunning;
    return -8;
  }
  // The trials recompute the statistics; the choice is made on the solution's own.
  const std::vector<StationResidualStats> stats(view.m_pStationStats.get(),
                                                view.m_pStationStats.get() + view.m_nStationStats);
  DiagnosticSave save;
  BeginDiagnosticRun(view, save);
  int eligible = 0;
  for (const StationResidualStats& s : stats) eligible += s.used >= kStationMinUsed;
  const std::vector<int> chosen = ChooseStations(stats.data(), static_cast<int>(stats.size()));
  std::vector<TrialEntry> entries;
  bool cancelled = false;
  for (int k : chosen) {
    RestoreDiagnosticSolution(view, save.solution);
    if (RejectStationForTrial(det, stats[k].code) < kMinRemainingObs) continue;
    TrialEntry entry{};
    std::memcpy(entry.code, stats[k].code, sizeof entry.code);
    std::string log;
    const int r = IterateImprovement(ViewFitRun(view).Run(), epoch, kTrialIterations, log, 1);
    if (r == kEngineCancelled) {
      cancelled = true;
      break;
    }
    if (r == 0) {
      entry.solved = 1;
      entry.residual = engine->m_dMeanResidual;
    }
    entries.push_back(entry);
  }
  EndDiagnosticRun(view, save, epoch);
  EndBusy(engine);

  if (cancelled) {
    text = "[中止]が押されたので試験をやめました。\r\n軌道要素は試験前の状態に戻してあります。";
    return -9;
  }
  if (entries.empty()) {
    text = "試せる観測所がありませんでした(観測数の多い観測所が必要です)。";
    return -1;
  }
  SortEntries(entries);
  text = TestReport(entries, r0, eligible - static_cast<int>(chosen.size()));
  // Not one trial solved: nothing was compared, which is no success.
  return entries.front().solved ? 0 : -1;
}

// ---- the view's statistics ----

void CDeterminationDisplay::FreeStationStats() {
  m_bStationStatsStale = false;
  m_pStationStats.reset();
  m_pObsBiasFlag.reset();
  m_nStationStats = 0;
  m_nObsBiasFlags = 0;
}

void CDeterminationDisplay::ComputeStationStats() {
  FreeStationStats();
  const DetClass* det = m_pDetClass;
  if (!det || !det->m_pOrbObs || det->m_nObsCount <= 0) return;
  const int n = ObservationCount(det->m_pOrbObs, det->m_nObsCount);
  if (n <= 0) return;
  // Without memory for either array both stay empty.
  m_pStationStats.reset(new (std::nothrow) StationResidualStats[n]);
  m_pObsBiasFlag.reset(new (std::nothrow) unsigned char[n]);
  if (!m_pStationStats || !m_pObsBiasFlag) {
    FreeStationStats();
    return;
  }
  m_nStationStats = ComputeStationResidualStats(det->m_pOrbObs, n, m_pEngine->m_dMeanResidual, m_pStationStats.get(),
                                                m_pObsBiasFlag.get());
  m_nObsBiasFlags = n;
}

void CDeterminationDisplay::EnsureStationStats() {
  if (m_bStationStatsStale) ComputeStationStats();
}
