#include "neocp/known_match.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include <sys/stat.h>

#include "data/mpc_obs_client.h"
#include "data/observation_reader.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "ephemeris/ident_catalogue.h"
#include "neocp/known_catalogues.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/scan_names.h"
#include "neocp/scan_run_end.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

int KeepKnownStationObservations(ObservationRecord* obs, int count)
{
  int kept = 0;
  for (int i = 0; i < count; ++i)
    if (!obs[i].m_nUnknownStation)
      obs[kept++] = obs[i];
  if (kept < count)
    obs[kept] = obs[count];  // the end record
  return kept;
}

double ObservationArc(const ObservationRecord* obs, int count)
{
  if (count < 1)
    return 0;
  double first = obs[0].m_dJdUtc, last = first;
  for (int i = 1; i < count; ++i) {
    first = std::min(first, obs[i].m_dJdUtc);
    last = std::max(last, obs[i].m_dJdUtc);
  }
  return last - first;
}

bool SetKnownObjectColumns(NeocpScanRow& row, int nobs, double arc, const RefinedCandidate* best)
{
  row.known_checked = 1;
  row.known_nobs = nobs;
  row.known_arc = arc;
  row.known_is_comet = 0;
  row.known_name.clear();
  row.known_desig.clear();
  row.known_along = row.known_cross = row.known_dmag = 0;
  row.known_shift = row.known_rms0 = row.known_rms = 0;
  if (!best || !(best->result.m_dRmsShifted <= kKnownAcceptRms))
    return false;
  const IdentCandidate& c = *best->candidate;
  row.known_is_comet = c.m_bComet ? 1 : 0;
  row.known_desig = std::string(TrimSpace(c.m_szDesig));
  row.known_name = std::string(TrimSpace(c.m_szName));
  if (row.known_name.empty())
    row.known_name = row.known_desig;
  row.known_along = c.m_dAlong;
  row.known_cross = c.m_dCross;
  // The candidate holds predicted minus observed; the column is observed minus predicted.
  row.known_dmag = -c.m_dMagDiff;
  row.known_shift = best->result.m_dShiftT;
  row.known_rms0 = best->result.m_dRmsMoved;
  row.known_rms = best->result.m_dRmsShifted;
  return true;
}

std::string FormatKnownMatchLine(const NeocpScanRow& row, int passed)
{
  const bool plausible = IsKnownCandidatePlausible(row);
  const char* note = plausible ? ""
                     : row.known_arc < 0.05
                         ? "  ← 弧が短いので、これだけでは決まりません(別の天体でも軌道に沿って滑らせれば合うため)。"
                           "右クリックの[連結軌道を計算]で、両方の観測を一度に解いて確かめてください"
                         : "  ← 合わせ直しても残差が観測の誤差より大きいので、これだけでは決まりません。"
                           "右クリックの[連結軌道を計算]で、両方の観測を一度に解いて確かめてください";
  return FormatC("%-8s %s既知の%sの候補 %s (%s)  予報からのずれ: 経路方向 %+.1f' 直交方向 %+.1f'  等級差 %+.1f  "
                 "要素のままの残差 %.1f\" → 軌道上の位置を %+.4f日 合わせ直すと %.2f\" (観測%d個・弧%.3f日。"
                 "1段目を通った既知天体 %d個)%s\r\n",
                 row.desig.c_str(), plausible ? "" : "[?] ", row.known_is_comet ? "彗星" : "天体",
                 row.known_name.c_str(), row.known_desig.c_str(), row.known_along * 60, row.known_cross * 60,
                 row.known_dmag, row.known_rms0, row.known_shift, row.known_rms, row.known_nobs, row.known_arc,
                 passed, note);
}

std::string FormatMatchStartLine(std::time_t now, const std::string& mpcorbPath, std::time_t mtime,
                                 const std::string& cometPath)
{
  std::string line = "―― 既知の天体との照合を開始 " + FormatLocalTime(now, "%Y/%m/%d %H:%M:%S") +
                     "  MPCORB.DAT: " + mpcorbPath;
  if (mtime > 0) {
    line += " (" + FormatLocalTime(mtime, "%Y/%m/%d") + " のもの";
    const double age = std::difftime(now, mtime);
    if (age >= kKnownAgeNoteSeconds)
      line += FormatC("。%d日前なので、それ以後に符号が付いた天体は見つかりません", static_cast<int>(age / 86400));
    line += ")";
  }
  if (!cometPath.empty())
    line += "  AllCometEls.txt: " + cometPath;
  return line + " ――\r\n";
}

std::string FormatMatchEndLine(bool stopped, const KnownMatchTotals& t)
{
  return FormatC("―― 照合を%s  %d天体を照合(観測が無くて照合できなかった天体 %d個)  比べた既知の天体 "
                 "小惑星%d個(MPCORB.DAT)・彗星%d個(AllCometEls.txt。楕円軌道のものだけ)  候補の見つかった天体 "
                 "%d個(うち確からしいもの %d個)  所要 %.0f秒 ――\r\n",
                 stopped ? "中止" : "終了", t.queries, t.withoutObs, t.asteroids, t.comets, t.matched, t.plausible,
                 t.seconds);
}

std::string FormatMatchDoneStatus(const KnownMatchTotals& t)
{
  return FormatC("照合が終わりました。既知天体の候補が見つかった天体は %d個(この判定だけで確からしいもの %d個)です。"
                 "「?」付きは弧が短いか残差が大きく、この判定だけでは決まらないもので、違うという意味ではありません。"
                 "行を右クリックして[連結軌道を計算]で確かめられます",
                 t.matched, t.plausible);
}

// ---- the match of the dialog ----

namespace {

// The scans report to the dialog through this.
class DialogMatchProgress : public MatchProgress {
public:
  explicit DialogMatchProgress(CNeocpScanDlg& dlg) : m_dlg(dlg) {}
  void ReportMatchProgress(int percent) override { m_dlg.ReportMatchProgress(percent); }

private:
  CNeocpScanDlg& m_dlg;
};

struct FreeObservations {
  void operator()(ObservationRecord* obs) const { std::free(obs); }
};
using ObservationArray = std::unique_ptr<ObservationRecord, FreeObservations>;

} // namespace

void CNeocpScanDlg::ReportMatchProgress(int percent)
{
  SetProgressPos(percent);
  SetStatusText(FormatC("既知の天体と照合しています: %s を読んでいます... %d%%", m_strReadingFile.c_str(), percent));
  StartObjectClock();
  PumpMessages();
}

// The observation file of a row for the match: its own or its source file,
// else fetched from the NEOCP service; "" when it has none.
std::string CNeocpScanDlg::MatchObservationFile(const NeocpScanRow& row)
{
  const std::string own = !row.obs_path.empty() ? row.obs_path : row.source_path;
  if (!own.empty() && FileExists(own))
    return own;
  if (row.list_state != kListOnNeocp)
    return {};
  SetStatusText(FormatC("既知の天体と照合しています: %s の観測を受信しています...", row.desig.c_str()));
  std::string path, error;
  if (FetchNeocpObservations(row.desig, path, error))
    return path;
  StartObjectClock();
  PumpMessages();
  return {};
}

void CNeocpScanDlg::MatchKnownObjects()
{
  if (m_bRunning || !m_pView || m_nRows < 1)
    return;
  OrbitEngine* engine = m_pView->m_pEngine;
  if (engine && (engine->m_bBusy || engine->m_bAutoRunning)) {
    Ui().ShowMessage("", kMatchBusyMessage, MsgIcon::None, MsgButtons::Ok);
    return;
  }
  const std::string mpcorb = FindMpcorbFile();
  if (mpcorb.empty()) {
    Ui().ShowMessage(kMatchCaption, kMatchNoMpcorbMessage, MsgIcon::Information, MsgButtons::Ok);
    return;
  }
  std::vector<TrackletQuery> queries;
  std::vector<ObservationArray> arrays;
  std::vector<int> queryRow;
  try {
    queries.reserve(m_nRows);
    arrays.reserve(m_nRows);
    queryRow.reserve(m_nRows);
  } catch (const std::bad_alloc&) {
    return;
  }

  BeginScanRun();
  ScanRunEnd runEnd(*this, engine);
  SetProgressRange(100);
  SetProgressPos(0);
  const uint32_t start = NowMs();

  std::string cometNote;
  const std::string comets = FindCometElementsFile(cometNote);
  struct stat st {};
  const std::time_t mtime = stat(mpcorb.c_str(), &st) == 0 ? st.st_mtime : 0;
  AppendLog(FormatMatchStartLine(std::time(nullptr), mpcorb, mtime, comets));
  if (!cometNote.empty())
    AppendLog("  " + cometNote + "\r\n");

  KnownMatchTotals totals;
  {
    QuietObservationReading quiet;
    for (int r = 0; r < m_nRows && !m_bAbort; ++r) {
      const std::string file = MatchObservationFile(m_pRows[r]);
      ObservationRecord* obs = nullptr;
      const int read = file.empty() ? -1 : CTessaruneLib::GetMpcObs(file, &obs);
      ObservationArray owned(read >= 0 ? obs : nullptr);
      const int count = read > 0 ? KeepKnownStationObservations(obs, read) : 0;
      if (count < 1) {
        ++totals.withoutObs;
        continue;
      }
      TrackletQuery query{};
      query.m_pObs = obs;
      query.m_nObs = count;
      queries.push_back(query);
      arrays.push_back(std::move(owned));
      queryRow.push_back(r);
      if (queries.size() % 8 == 0) {
        StartObjectClock();
        PumpMessages();
      }
    }
    totals.queries = static_cast<int>(queries.size());

    DialogMatchProgress progress(*this);
    if (!m_bAbort && !queries.empty()) {
      m_strReadingFile = kMpcorbFileName;
      const int n = ScanMpcorbMulti(mpcorb, queries.data(), totals.queries, ScanProcessorCount(), &m_bAbort,
                                    &progress);
      totals.asteroids = std::max(n, 0);
      if (n == kScanFileFailed)
        AppendLog("  MPCORB.DAT を読めませんでした。\r\n");
      if (!m_bAbort && !comets.empty()) {
        m_strReadingFile = kCometElementsFileName;
        const int c = ScanCometElementsSingle(comets, queries.data(), totals.queries, &m_bAbort, &progress);
        totals.comets = std::max(c, 0);
        if (c == kScanFileFailed)
          AppendLog("  AllCometEls.txt を読めませんでした。\r\n");
      }
    }

    if (!m_bAbort && totals.asteroids > 0)
      RefineMatchQueries(queries, queryRow, totals);

    queries.clear();
    arrays.clear();
    const bool stopped = m_bAbort != 0;
    runEnd.End();
    if (!stopped && totals.asteroids > 0) {
      SaveState();
      SaveCsv(0);
      if (AnyRowWithListState({kListLocalFile}))
        SaveCsv(1);
    }
    totals.seconds = (NowMs() - start) / 1000.0;
    AppendLog(FormatMatchEndLine(stopped, totals));
    SetStatusText(stopped ? "中止しました。" : FormatMatchDoneStatus(totals));
    UpdateControls();
  }
}

void CNeocpScanDlg::RefineMatchQueries(std::vector<TrackletQuery>& queries, const std::vector<int>& queryRow,
                                       KnownMatchTotals& totals)
{
  const int n = static_cast<int>(queries.size());
  for (int q = 0; q < n && !m_bAbort; ++q) {
    NeocpScanRow& row = m_pRows[queryRow[q]];
    const TrackletQuery& query = queries[q];
    SetStatusText(FormatC("既知の天体と照合しています: 候補を精査しています... %d/%d  %s", q + 1, n, row.desig.c_str()));
    SetProgressPos((q + 1) * 100 / n);
    RefinedCandidate best{nullptr, {}};
    for (int c = 0; c < query.m_nList; ++c) {
      RefineResult result{};
      if (!RefineCandidatePerturbed(query.m_list[c], query.m_pObs, query.m_nObs, EngineTextWindow(), &result))
        continue;
      if (!best.candidate || result.m_dRmsShifted < best.result.m_dRmsShifted)
        best = {&query.m_list[c], result};
    }
    if (SetKnownObjectColumns(row, query.m_nObs, ObservationArc(query.m_pObs, query.m_nObs),
                              best.candidate ? &best : nullptr)) {
      ++totals.matched;
      if (IsKnownCandidatePlausible(row))
        ++totals.plausible;
      AppendLog(FormatKnownMatchLine(row, query.m_nPassed));
    }
    UpdateRow(queryRow[q]);
    StartObjectClock();
    PumpMessages();
  }
}
