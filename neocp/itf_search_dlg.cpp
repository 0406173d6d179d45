// CNeocpScanDlg::SearchItf: the ITF file (received after consent), the
// element log of the view's orbit, the scan of the compressed lines, the
// motion check, the trials and the choice, written out and linked.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include <sys/stat.h>

#include "astro/time_scales.h"
#include "data/gzip_line_reader.h"
#include "data/http_download.h"
#include "data/mpc_obs_client.h"
#include "determination/determination_display.h"
#include "determination/solution_file.h"
#include "engine/orbit_engine.h"
#include "neocp/batch_orbit.h"
#include "neocp/earth_screening.h"
#include "neocp/itf_search.h"
#include "engine/determination_host.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/scan_names.h"
#include "neocp/scan_row.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

// One group of the sorted hits: [first, end).
struct HitGroup {
  int first, end;
};

std::vector<HitGroup> GroupHits(const ItfHit* hits, int count)
{
  std::vector<HitGroup> groups;
  for (int first = 0; first < count;) {
    int end = first + 1;
    while (end < count && std::strcmp(hits[end].desig, hits[first].desig) == 0)
      ++end;
    groups.push_back({first, end});
    first = end;
  }
  return groups;
}

// The group's lines, each followed by CR LF, written whole or not at all: a
// group file cut short would be linked as a shorter group.
bool WriteGroupLines(const std::string& path, const ItfHit* hits, const HitGroup& g)
{
  std::string text;
  for (int i = g.first; i < g.end; ++i)
    text += std::string(hits[i].line) + "\r\n";
  return WriteFileAtomic(path, text);
}

std::string GroupLine(const ItfHit* hits, const HitGroup& g, bool chosen)
{
  const ItfHit& h = hits[g.first];
  double y = 0, m = 0, d = 0;
  JdToCalendar(h.jd_utc, y, m, d);
  const std::string residual = h.residual > 0   ? FormatC("  解くと %.2f\"", h.residual)
                               : h.residual < 0 ? std::string("  解けなかった")
                                                : std::string("  (試していない)");
  return FormatC("    %s  %d/%02d/%05.2f  観測所 %s  %d観測  予報からのずれ 経路 %+.2f度・直交 %+.3f度%s%s\r\n", h.desig,
                 static_cast<int>(y), static_cast<int>(m), d, h.station, g.end - g.first, h.along, h.across,
                 residual.c_str(), chosen ? "  ← これを連結します" : "");
}

// The dialog's step between DEFLATE blocks.
struct ItfScanStep {
  ItfSearchContext* ctx;
  GzipLineReader* reader;
};

int ItfLine(void* context, const char* line, int length)
{
  return ItfTestLine(static_cast<ItfScanStep*>(context)->ctx, line, length);
}

// Between blocks of the ITF: the abort, the progress and the pump.
int ItfStep(void* context)
{
  auto* step = static_cast<ItfScanStep*>(context);
  CNeocpScanDlg& dlg = *step->ctx->dlg;
  if (dlg.m_bAbort)
    return 0;
  const int64_t size = step->reader->FileSize();
  const int percent = size > 0 ? static_cast<int>(step->reader->CompressedBytesRead() * 100 / size) : 0;
  dlg.SetProgressPos(percent);
  dlg.SetStatusText(FormatC("ITF(誰もリンクしていない観測)を探しています... %d%%  調べた観測 %lld件  見つかった観測 %d件",
                            percent, static_cast<long long>(step->ctx->tested), step->ctx->hitCount));
  dlg.StartObjectClock();
  dlg.PumpMessages();
  return 1;
}

} // namespace

void CNeocpScanDlg::SearchItf(OrbitEngine* engine, const std::string& name, int closeCount)
{
  m_strSearchSummary.clear();
  auto* view = dynamic_cast<CDeterminationDisplay*>(m_pView);
  if (!engine || !view)
    return;

  // A. The file, received after consent.
  const std::string path = TheApp().m_szDataDir + kItfFileName;
  if (!FileExists(path)) {
    const std::string url = MpcWebHost() + kItfUrlPath;
    const std::string question = FormatC(
        "誰もリンクしていない観測(ITF)を探すには、小惑星センターの孤立トラックレット一覧が要ります。\r\n\r\n  %s\r\n  → %s"
        "\r\n\r\n133MBほどあります。いま受信しますか?\r\n(毎日更新されるので、次からは古くなったときだけ受信し直してください)",
        url.c_str(), path.c_str());
    if (Ui().ShowMessage(kItfCaption, question, MsgIcon::Question, MsgButtons::OkCancel) != MsgAnswer::Ok) {
      AppendLog("  ITFの検索は行いませんでした(一覧を受信していません)。\r\n");
      return;
    }
    SetStatusText("ITF(孤立トラックレット一覧)を受信しています...");
    DownloadProgress progress;
    progress.setPosition = [this](int percent) { SetProgressPos(percent); };
    progress.setText = [this](const std::string& text) { SetStatusText(text); };
    std::string error;
    // The download polls the abort flag itself: an answer without a length
    // never moves the progress bar, so a copy taken there never saw 中止.
    if (!CTessaruneLib::DownloadToFile(url, path, kItfFileName, &progress, m_bAbort, &error)) {
      AppendLog("  ITFの一覧を受信できませんでした: " + ReplaceLineBreaksWithBlanks(error) + "\r\n");
      return;
    }
  }
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    std::string line = "  ITF: " + path + " (" + FormatLocalTime(st.st_mtime, "%Y/%m/%d") + " のもの";
    const double age = std::difftime(WallClockNow(), st.st_mtime);
    if (age >= 604800)
      line += FormatC("。%d日前なので、それ以後に足された観測は入っていません", static_cast<int>(age / 86400));
    AppendLog(line + ")\r\n");
  }

  // B. The element log of the orbit, 1990 to 30 days after today.
  std::unique_ptr<ItfHit[]> hits(new (std::nothrow) ItfHit[kItfMaxHits]);
  std::unique_ptr<double[]> entries(new (std::nothrow) double[7 * kItfLogCapacity]);
  if (!hits || !entries)
    return;
  ElementLog log{entries.get(), 0, kItfLogCapacity};
  const double spanStart = YmdToJd(1990, 1, 1.0);
  std::tm today{};
  const std::time_t now = WallClockNow();
  localtime_r(&now, &today);
  const double spanEnd = YmdToJd(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday + 30);
  SetStatusText("ITFを探す準備: 軌道を摂動積分して、40日ごとの軌道要素を控えています...");
  {
    ScopedWaitCursor wait;
    CloneRecord nominal;
    NominalCloneFromEngine(engine, nominal);
    if (nominal.q > 0 && nominal.e >= 0 && nominal.epoch > 0) {
      auto state = std::make_unique<IntegrationState>();
      for (const double end : {spanStart, spanEnd}) {
        if (end == spanStart ? !(nominal.epoch > spanStart) : !(nominal.epoch < spanEnd))
          continue;
        if (!SetupCloneRun(engine, view->m_pDetClass, state.get(), nominal, end))
          continue;
        state->m_pElementLog = &log;
        CloneApproach approach;
        RunCloneApproach(engine, state.get(), EngineTextWindow(), approach);
        state->m_pElementLog = nullptr;
      }
    }
  }
  std::qsort(log.m_pEntries, size_t(log.m_nCount), 7 * sizeof(double), CompareElementLogTimes);
  if (log.m_nCount < 2) {
    AppendLog("  軌道を積分できなかったので、ITFは探しませんでした。\r\n");
    return;
  }
  AppendLog(FormatC("  予報のもとにする軌道要素を %d 点控えました(%s 〜 %s。40日ごと)\r\n", log.m_nCount,
                    FormatJdCell(log.m_pEntries[0]).c_str(),
                    FormatJdCell(log.m_pEntries[7 * (log.m_nCount - 1)]).c_str()));
  const uint32_t scanStart = NowMs();
  SetProgressRange(100);
  SetProgressPos(0);

  // C, D. The scan of every line.
  ItfSearchContext ctx;
  ctx.dlg = this;
  ctx.log = log.m_pEntries;
  ctx.logCount = log.m_nCount;
  ctx.hits = hits.get();
  {
    GzipLineReader reader;
    if (!reader.Open(path)) {
      AppendLog("  ITFの一覧を開けませんでした: " + ReplaceLineBreaksWithBlanks(reader.m_strError) + "\r\n");
      return;
    }
    ItfScanStep step{&ctx, &reader};
    reader.m_pfnLine = ItfLine;
    reader.m_pfnStep = ItfStep;
    reader.m_pContext = &step;
    if (!reader.ReadLines()) {
      AppendLog("  ITFの一覧を読めませんでした: " + ReplaceLineBreaksWithBlanks(reader.m_strError) + "\r\n");
      return;
    }
  }

  // E. The motion check.
  const int found = ctx.hitCount;
  int groups = 0, rejected = 0, unmeasured = 0;
  const int kept = CheckItfMotion(ctx, groups, rejected, unmeasured);
  AppendLog(FormatC("  ITFを調べました: 観測 %lld件(読めなかった行 %d)  窓(経路±%.0f度・直交±%.2f度)に入った観測 %d件 / "
                    "%d組  うち見かけの運動が合わないもの %d組を除外(運動を測れなかったもの %d組はそのまま)  所要 "
                    "%.0f秒\r\n",
                    static_cast<long long>(ctx.tested), ctx.skipped, kItfAlongDeg, kItfAcrossDeg, found, groups,
                    rejected, unmeasured, (NowMs() - scanStart) / 1000.0));
  if (kept >= kItfMaxHits)
    AppendLog("  ※上限に達したので、これ以上は拾っていません(窓が広すぎるか、軌道が定まっていません)。\r\n");
  if (kept == 0) {
    AppendLog("  予報位置に乗っている観測はありませんでした。\r\n");
    if (closeCount == 0)
      m_strSearchSummary = FormatC("%s: 軌道の近い既知天体もITFの観測も見つかりませんでした", name.c_str());
    return;
  }
  RunItfTrials(engine, name, ctx);
}

namespace {

// The group of the best-aligned hit (smallest |across| / 0.05 + |along|, the first of equals).
int BestAlignedGroup(const ItfHit* hits, const std::vector<HitGroup>& groups)
{
  int best = 0;
  double bestScore = 0;
  for (int g = 0; g < static_cast<int>(groups.size()); ++g)
    for (int i = groups[g].first; i < groups[g].end; ++i) {
      const double score = std::fabs(hits[i].across) / kItfAcrossDeg + std::fabs(hits[i].along);
      if ((g == 0 && i == 0) || score < bestScore) {
        best = g;
        bestScore = score;
      }
    }
  return best;
}

} // namespace

void CNeocpScanDlg::RunItfTrials(OrbitEngine* engine, const std::string& name, ItfSearchContext& ctx)
{
  auto* view = dynamic_cast<CDeterminationDisplay*>(m_pView);
  ItfHit* hits = ctx.hits;
  const std::vector<HitGroup> groups = GroupHits(hits, ctx.hitCount);
  const int trials = std::min(kItfMaxTrials, static_cast<int>(groups.size()));

  // F. Each group tried with the view's observations, from the view's orbit.
  const std::string work = m_strScanDir + "/_work";
  CreateFolder(m_strScanDir);
  CreateFolder(work);
  const std::string ownObs = view->m_szObsFile;
  const std::string start = work + "/itf_start_EX.IMP";
  const std::string tryPath = work + "/itf_try.obs", mixPath = work + "/itf_try_mix.obs";
  std::string originalStart;
  const bool startReady = !ownObs.empty() &&
                          WriteSolutionFileForBatch(*view, start, engine->m_state, "ITFの候補を試すための出発点", 1) &&
                          ReadWholeFile(start, originalStart);
  if (!startReady)
    AppendLog("  出発点の軌道を用意できなかったので、候補は解きませんでした。\r\n");
  int tried = 0, best = -1;
  bool trialLoaded = false;
  std::unique_ptr<IntegrationState> bestState;
  for (int g = 0; startReady && g < trials && !m_bAbort; ++g) {
    ItfHit& head = hits[groups[g].first];
    if (!WriteGroupLines(tryPath, hits, groups[g]))
      break;
    ++tried;
    head.residual = -1;
    int n = 0, added = 0, dropped = 0;
    if (!CTessaruneLib::MergeObservationFiles(ownObs, tryPath, mixPath, &n, &added, &dropped) || added < 1)
      continue;
    SetStatusText(FormatC("  候補を解いています %d/%d: %s ...", g + 1, trials, head.desig));
    StartObjectClock();
    PumpMessages();
    engine->m_nCancel = 0;
    double residual = 0;
    int used = 0;
    trialLoaded = true;
    if (ReimproveNominalForBatch(*view, mixPath, start, residual, used) != 0 || !(residual > 0))
      continue;
    head.residual = residual;
    if (best < 0 || residual < hits[groups[best].first].residual) {
      best = g;
      bestState = std::make_unique<IntegrationState>(engine->m_state);
    }
  }

  // G. The choice: the best trial, else the best-aligned hit's group.
  const int chosen = best >= 0 ? best : BestAlignedGroup(hits, groups);
  const double bestResidual = best >= 0 ? hits[groups[best].first].residual : 0;
  const bool fitted = best >= 0 && bestResidual <= kItfFitLimit;
  if (tried > 0 && best >= 0 && !fitted)
    AppendLog(FormatC("  ※どの候補も合いませんでした(いちばん良いものでも %.2f", bestResidual) +
              "\")。この期間の観測は見つかっていません\r\n");
  else if (tried > 0 && best < 0)
    AppendLog("  ※どの候補も解けませんでした。この期間の観測は見つかっていません\r\n");
  for (int g = 0; g < static_cast<int>(groups.size()); ++g)
    AppendLog(GroupLine(hits, groups[g], g == chosen && fitted));

  const std::string hitsPath = work + "/itf_hits.obs";
  bool linked = false;
  if (!WriteGroupLines(hitsPath, hits, groups[chosen])) {
    AppendLog("  見つかった観測を書き出せませんでした: " + hitsPath + "\r\n");
  } else if (ownObs.empty()) {
    AppendLog("  見つかった観測は " + hitsPath + " に書き出しました(手元の観測と合わせてお使いください)。\r\n");
    m_strSearchSummary = FormatC("ITFで %d件の観測が見つかりました(記録の欄を参照)", ctx.hitCount);
  } else if (!fitted) {
    // A group that fits no orbit is not linked: the view keeps its own set.
    AppendLog("  軌道に合う組が無いので、連結も読み込みもしていません。見つかった観測は " + hitsPath +
              " に書き出しました。\r\n");
    m_strSearchSummary =
        FormatC("ITFで %d件の観測が見つかりましたが、軌道に合う組はありませんでした(記録の欄を参照)", ctx.hitCount);
  } else {
    linked = LinkItfGroup(*view, name, ownObs, hitsPath, *bestState, ctx.hitCount);
  }

  if (!linked && trialLoaded) {
    // The trials left a mixed set in the view: its own observations and orbit come back.
    const int aborted = m_bAbort;
    m_bAbort = 0;
    m_bTimedOut = 0;
    engine->m_nCancel = 0;
    std::string message;
    if (!WriteFileAtomic(start, originalStart) || LoadScanObject(*view, ownObs, start, message) < 0)
      AppendLog("  軌道計算の画面を元の観測と軌道に戻せませんでした: " + ownObs + "\r\n");
    m_bAbort = aborted;
  }
}

bool CNeocpScanDlg::LinkItfGroup(CDeterminationDisplay& view, const std::string& name, const std::string& ownObs,
                                 const std::string& hitsPath, const IntegrationState& fit, int hitCount)
{
  std::string bare;
  for (const char ch : name)
    if (ch != ' ')
      bare += ch;
  const std::string joined = m_strScanDir + "/" + MakeSafeFileName(bare + "+ITF") + ".obs";
  int n = 0, m = 0, d = 0;
  if (!CTessaruneLib::MergeObservationFiles(ownObs, hitsPath, joined, &n, &m, &d)) {
    AppendLog("  見つかった観測は " + hitsPath + " に書き出しました(手元の観測と合わせてお使いください)。\r\n");
    m_strSearchSummary = FormatC("ITFで %d件の観測が見つかりました(記録の欄を参照)", hitCount);
    return false;
  }
  std::string line = FormatC("  いまの観測%d個 ＋ ITFの観測%d個", n, m);
  if (d > 0)
    line += FormatC("(ほかの%d個は同じ観測が手元にもあるので足していません)", d);
  AppendLog(line + FormatC(" = %d個  →  %s\r\n", n + m, joined.c_str()));
  // The best trial's orbit, fitted to this very set, starts the view.
  const std::string start = hitsPath.substr(0, hitsPath.rfind('/') + 1) + "itf_start_EX.IMP";
  const bool startWritten = WriteSolutionFileForBatch(view, start, fit, "ITFの候補をつないで解くための出発点", 1);
  m_pView->m_pEngine->m_nCancel = 0;
  std::string message;
  if (LoadScanObject(view, joined, startWritten ? start : "", message) < 0) {
    m_strSearchSummary = "まとめた観測を軌道計算の画面に読み込めませんでした。";
    return false;
  }
  m_strSearchSummary = FormatC("ITFで %d件の観測が見つかりました。まとめた観測 %d個を軌道計算の画面に読み込みました。"
                               "[AI]か[自動]で解いて、全部の観測に合う1つの軌道になるか確かめてください",
                               hitCount, n + m);
  RaiseMainWindow();
  return true;
}
