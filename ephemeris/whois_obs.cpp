#include "ephemeris/whois_obs.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/observatory.h"
#include "astro/time_scales.h"
#include "data/element_file.h"
#include "data/http_download.h"
#include "data/observation_reader.h"
#include "data/station_table.h"
#include "engine/determination_host.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"
#include "ephemeris/ident_catalogue.h"
#include "ephemeris/ident_refine.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/fixed_field.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/threads.h"
#include "platform/ui_services.h"
#include "resources/info_topics.h"

const char* const kWhoisColumnTitles[kWhoisColumns] = {
    "順位", "天体", "符号", "直交(度)", "経路(度)", "等級差", "運動差", "残差(\")", "ΔRA(\")", "ΔDec(\")", "Δ(AU)",
    "予報等級", "元期"};

namespace {

constexpr int kThreadChoices[] = {1, 2, 4, 8, 16, 32};
constexpr int kDefaultRefineCount = 20;
constexpr double kDefaultToleranceArcsec = 60.0;

// Dispatches every pending window event (bounded, so that a stream of
// events can't hold the loop).
void PumpPending() {
  for (int i = 0; i < 10000 && Ui().PumpOneEvent(); ++i) {
  }
}

double NumberOf(const std::string& text) { return ReadDecimal(TrimSpace(text)); }

std::string UpperAscii(std::string_view text) {
  std::string s(text);
  for (char& ch : s)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return s;
}

void Message(const std::string& text, MsgIcon icon = MsgIcon::Warning, const std::string& caption = "Tessarune") {
  Ui().ShowMessage(caption, text, icon, MsgButtons::Ok);
}

std::string DefaultMpcorbPath() { return TheApp().m_szDataDir + "MPCORB.DAT"; }

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::vector<std::string> WhoisThreadChoices(int processors) {
  std::vector<std::string> items{FormatC("自動(%d)", processors)};
  for (int n : kThreadChoices) items.push_back(FormatC("%d", n));
  return items;
}

std::string WhoisHelpText() {
  return kTopicWhois.text;
}

bool CompareByScore(const IdentCandidate& a, const IdentCandidate& b) { return a.m_dScore < b.m_dScore; }

bool CompareByResidual(const IdentCandidate& a, const IdentCandidate& b) {
  const bool ra = a.m_nRefined == 1, rb = b.m_nRefined == 1;
  if (ra != rb) return ra;
  if (ra) return a.m_dResidualRms < b.m_dResidualRms;
  return a.m_dScore < b.m_dScore;
}

std::vector<std::string> WhoisRowCells(int position, const IdentCandidate& c) {
  std::string residual = "(未精査)", dRa, dDec;
  if (c.m_nRefined == 1) {
    residual = FormatC("%.2f", c.m_dResidualRms);
    dRa = FormatC("%+.2f", c.m_dMeanResRa);
    dDec = FormatC("%+.2f", c.m_dMeanResDec);
  } else if (c.m_nRefined < 0) {
    residual = "(失敗)";
  }
  double y, m, d;
  JdToCalendar(c.m_dEpoch, y, m, d);
  return {FormatC("%d", position),
          c.m_szName,
          c.m_szDesig,
          FormatC("%+.3f", c.m_dCross),
          FormatC("%+.3f", c.m_dAlong),
          FormatC("%+.1f", c.m_dMagDiff),
          FormatC("%.2f", c.m_dMotionRatio),
          residual,
          dRa,
          dDec,
          FormatC("%.4f", c.m_dDelta),
          FormatC("%.1f", c.m_dPredictedMag),
          FormatC("%d/%02d/%02d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d))};
}

WhoisModel::WhoisModel() : m_pRefineState(std::make_unique<IntegrationState>()) {}

WhoisModel::~WhoisModel() { ResetObservations(); }

void WhoisModel::InitialUpdate(WhoisForm& form) {
  std::string path = TheApp().GetProfileString(kSettingsSection, kWhoisMpcorbKey);
  form.SetText(kWhPath, path.empty() ? DefaultMpcorbPath() : path);
  form.SetText(kWhTolerance, "60");
  form.SetText(kWhMagTolerance, "3.0");
  form.SetText(kWhPathWindow, "15.0");
  form.SetText(kWhCrossWindow, "1.0");
  form.SetText(kWhRefineCount, "50");
  form.SetText(kWhObsStatus, kWhoisObsPrompt);
  form.SetText(kWhCatalogueStatus, kWhoisInspectPrompt);
  UpdateControls(form);
}

void WhoisModel::UpdateControls(WhoisForm& form) {
  const bool idle = m_bRunning == 0;
  form.Enable(kWhMatch, m_nObs > 0 && m_nMpcorbObjects > 0 && idle);
  form.Enable(kWhStop, !idle);
  for (int id : {kWhRead, kWhInspect, kWhBrowse, kWhClear, kWhDownload}) form.Enable(id, idle);
}

void WhoisModel::ResetObservations() {
  std::free(m_pObs);
  m_pObs = nullptr;
  std::free(m_pStations);
  m_pStations = nullptr;
  m_nObs = 0;
  m_dFirstJd = m_dLastJd = 0;
}

bool WhoisModel::ComputeObserverVectors() {
  for (int i = 0; i < m_nObs; ++i) {
    ObservationRecord& o = m_pObs[i];
    if (o.m_chObsType == 'S' || o.m_chObsType == 'V') continue;
    double lon = 0, rhoCos = 0, rhoSin = 0;
    if (FindStation(o.m_szStation, m_pStations, &lon, &rhoCos, &rhoSin) != 0) lon = rhoCos = rhoSin = 0;
    double v[3];
    if (JplPosition(o.m_dJdTt, 11, 3, v) != 0) return false;
    ObservatoryPosition(o.m_dJdUtc, lon, rhoCos, rhoSin, v);
    std::memcpy(o.m_dSun, v, sizeof v);
  }
  return true;
}

void WhoisModel::OnReadObservations(WhoisForm& form) {
  if (m_bRunning) return;
  ReadObservations(form);
  // Match follows the observations, whether the read succeeded or not.
  UpdateControls(form);
}

void WhoisModel::ReadObservations(WhoisForm& form) {
  ResetObservations();
  std::string text = form.Text(kWhPaste);
  if (TrimSpace(text).empty()) {
    Message("観測データが入力されていません。");
    return;
  }
  if (text.back() != '\n') text += "\n";
  const std::string file = TheApp().m_szDataDir + kWhoisPasteFile;
  if (!WriteFileAtomic(file, text)) {
    Message("作業用ファイルを作成できませんでした。");
    return;
  }
  ScopedWaitCursor wait;
  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(file, &obs);
  if (count < 0) {
    form.SetText(kWhObsStatus, "観測データを読み取れませんでした(形式を確認してください)。");
    Message("観測データを読み取れませんでした。\r\n80カラム形式またはADES形式で貼り付けてください。");
    return;
  }
  m_pObs = obs;
  m_nObs = count;
  if (LoadStationTable(&m_pStations) <= 0) {
    ResetObservations();
    Message("観測所コード表(Stations.txt)にアクセスできませんでした。");
    return;
  }
  if (!ComputeObserverVectors()) {
    ResetObservations();
    Message("惑星暦(DE406/DE441)にアクセスできませんでした。\r\n観測の日付が惑星暦の対応範囲に入っているか確認してください。");
    return;
  }
  if (m_nObs == 0) {
    form.SetText(kWhObsStatus, "観測データが1件もありませんでした。");
    ResetObservations();
    return;
  }
  m_dFirstJd = m_dLastJd = m_pObs[0].m_dJdTt;
  std::string stations;
  for (int i = 0; i < m_nObs; ++i) {
    m_dFirstJd = std::min(m_dFirstJd, m_pObs[i].m_dJdTt);
    m_dLastJd = std::max(m_dLastJd, m_pObs[i].m_dJdTt);
    const std::string code = m_pObs[i].m_szStation;
    if ((" " + stations + " ").find(" " + code + " ") == std::string::npos)
      stations += (stations.empty() ? "" : " ") + code;
  }
  std::string desig(TrimSpace(m_pObs[0].m_szDesig));
  double y0, m0, d0, y1, m1, d1;
  JdToCalendar(m_dFirstJd, y0, m0, d0);
  JdToCalendar(m_dLastJd, y1, m1, d1);
  form.SetText(kWhObsStatus,
               FormatC("%d件  符号:%s  %d/%02d/%05.2f〜%d/%02d/%05.2f (%.1f日)  観測所:%s", m_nObs,
                       desig.empty() ? "(なし)" : desig.c_str(), static_cast<int>(y0), static_cast<int>(m0), d0,
                       static_cast<int>(y1), static_cast<int>(m1), d1, m_dLastJd - m_dFirstJd, stations.c_str()));
}

void WhoisModel::OnClear(WhoisForm& form) {
  if (m_bRunning) return;
  form.SetText(kWhPaste, "");
  ResetObservations();
  m_rows.clear();
  form.ShowRows(m_rows);
  form.SetText(kWhObsStatus, kWhoisObsPrompt);
  UpdateControls(form);
}

void WhoisModel::OnBrowseChosen(WhoisForm& form, const std::string& path) {
  if (m_bRunning) return;
  form.SetText(kWhPath, path);
  TheApp().WriteProfileString(kSettingsSection, kWhoisMpcorbKey, path.c_str());
  m_nMpcorbObjects = 0;
  form.SetText(kWhCatalogueStatus, kWhoisInspectPrompt);
  UpdateControls(form);
}

void WhoisModel::OnDownloadMpcorb(WhoisForm& form) {
  if (m_bRunning) return;
  std::string path(TrimSpace(form.Text(kWhPath)));
  if (path.empty()) {
    path = DefaultMpcorbPath();
    form.SetText(kWhPath, path);
  }
  const std::string url = TheApp().GetProfileString(kSettingsSection, kWhoisMpcorbUrlKey, kDefaultMpcorbUrl);
  const std::string question = FormatC(
      "小惑星センターから MPCORB.DAT をダウンロードします。\r\n\r\n  取得元: %s\r\n  保存先: %s\r\n\r\n"
      "300MBを超えるファイルです。回線によっては数分から数十分かかります。\r\n%s\r\n実行しますか?",
      url.c_str(), path.c_str(), FileExists(path) ? "※既存のファイルは、受信が最後まで終わってから置き換えます。" : "");
  if (Ui().ShowMessage("ダウンロード", question, MsgIcon::Information, MsgButtons::OkCancel) != MsgAnswer::Ok) return;
  m_bCancel.store(0);
  m_nDownloadCancel = 0;
  m_bRunning = 1;
  UpdateControls(form);
  form.Enable(kWhDownload, false);
  DownloadProgress progress;
  progress.setPosition = [&form](int percent) { form.SetProgress(percent); };
  progress.setText = [&form](const std::string& text) { form.SetText(kWhRunStatus, text); };
  std::string error;
  const int ok = CTessaruneLib::DownloadToFile(url, path, "MPCORB.DAT", &progress, &m_nDownloadCancel, &error);
  if (!ok) {
    if (m_nDownloadCancel)
      form.SetText(kWhRunStatus, "ダウンロードを中止しました。");
    else
      Message(error);
  }
  m_bRunning = 0;
  UpdateControls(form);
  form.Enable(kWhDownload, true);
  if (!ok) return;
  TheApp().WriteProfileString(kSettingsSection, kWhoisMpcorbKey, path.c_str());
  form.SetText(kWhRunStatus, "ダウンロードが終わりました。");
  OnInspectMpcorb(form);
}

void WhoisModel::OnInspectMpcorb(WhoisForm& form) {
  if (m_bRunning) return;
  const std::string path(TrimSpace(form.Text(kWhPath)));
  if (path.empty()) {
    Message("MPCORB.DAT の場所を指定してください。");
    return;
  }
  CatalogueLineReader reader;
  if (!reader.Open(path)) {
    Message("ファイルを開けませんでした。\r\n" + path);
    return;
  }
  TheApp().WriteProfileString(kSettingsSection, kWhoisMpcorbKey, path.c_str());
  form.SetProgress(0);
  const auto start = std::chrono::steady_clock::now();
  long long lines = 0, objects = 0, description = 0;
  {
    ScopedWaitCursor wait;
    std::string_view line;
    while (reader.Next(line)) {
      ++lines;
      if (IsMpcorbLine(line))
        ++objects;
      else if (objects == 0)
        ++description;
      if (lines % 50000 == 0) {
        form.SetText(kWhRunStatus, FormatC("読み取り中… %lld 行 / %lld 天体", lines, objects));
        form.Repaint();
      }
    }
  }
  form.SetProgress(100);
  form.SetText(kWhRunStatus, "");
  m_nMpcorbObjects = static_cast<int>(std::min<long long>(objects, INT_MAX));
  if (objects > 0) {
    form.SetText(kWhCatalogueStatus, FormatC("%lld 天体  (全 %lld 行、説明文 %lld 行、読み取り %.1f 秒)", objects,
                                             lines, description, SecondsSince(start)));
  } else {
    form.SetText(kWhCatalogueStatus, "MPCORB形式の軌道要素が見つかりませんでした。ファイルを確認してください。");
    Message("MPCORB形式の軌道要素が1件も見つかりませんでした。\r\n小惑星センターの MPCORB.DAT を指定してください。");
  }
  UpdateControls(form);
}

int WhoisModel::ScanMpcorbStage1(WhoisForm& form) {
  const std::string path(TrimSpace(form.Text(kWhPath)));
  CatalogueLineReader reader;
  if (!reader.Open(path)) {
    Message("MPCORB.DAT を開けませんでした。");
    return -1;
  }
  double along = NumberOf(form.Text(kWhPathWindow)), cross = NumberOf(form.Text(kWhCrossWindow));
  if (!(along > 0)) along = 15.0;
  if (!(cross > 0)) cross = 1.0;
  ScanSlice summary;
  SetupSingleTrackletSlice(&summary, m_pObs, m_nObs, along * kRadPerDeg, cross * kRadPerDeg,
                           NumberOf(form.Text(kWhMagTolerance)), &m_bCancel);
  const int sel = form.Selection(kWhThreads);
  int threads = sel <= 0 || sel > static_cast<int>(std::size(kThreadChoices)) ? AvailableProcessors() - 1
                                                                              : kThreadChoices[sel - 1];
  threads = std::clamp(threads, 1, kScanMaxThreads);
  form.SetProgress(0);
  const int r = ScanMpcorbSingle(reader, summary, threads, m_candidates, kWhoisMaxCandidates, PumpPending,
                                 [&](long long processed) {
                                   if (m_nMpcorbObjects > 0)
                                     form.SetProgress(static_cast<int>(std::min<long long>(processed * 100 / m_nMpcorbObjects, 100)));
                                   form.SetText(kWhRunStatus, FormatC("1段目 %lld / %d 天体   候補 %d 件   スレッド %d", processed,
                                                                      m_nMpcorbObjects, static_cast<int>(m_candidates.size()), threads));
                                   PumpPending();
                                   return m_bCancel.load() == 0;
                                 });
  if (r == kScanFileFailed) Message("メモリーが足りません。");
  return r < 0 ? -1 : static_cast<int>(m_candidates.size());
}

int WhoisModel::RefineForView(WhoisForm& form, IdentCandidate& c) {
  EngineWindow* window = form.EngineText();
  if (!m_pRefineState || !window || m_nObs < 1) return 0;
  IntegrationState* state = m_pRefineState.get();
  if (!MoveCandidateToTime(c, (m_dFirstJd + m_dLastJd) / 2, state, window, true)) return 0;
  const ElementBlock& el = state->m_el;
  double P[3], Q[3];
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, P, Q);
  double sumSq = 0, sumRa = 0, sumDec = 0;
  for (int i = 0; i < m_nObs; ++i) {
    const ObservationRecord& o = m_pObs[i];
    double ra, dec, delta, r;
    if (!TwoBodyPositionLightTime(el.m_dT, el.m_dQ, el.m_dE, P, Q, o.m_dJdTt, o.m_dSun, 3, ra, dec, delta, r)) return 0;
    double dRa = o.m_dRa - ra;
    while (dRa > kPi) dRa -= 2 * kPi;
    while (dRa < -kPi) dRa += 2 * kPi;
    dRa *= std::cos(o.m_dDec);
    const double dDec = o.m_dDec - dec;
    sumSq += dRa * dRa + dDec * dDec;
    sumRa += dRa;
    sumDec += dDec;
    if (i == m_nObs / 2) {
      c.m_dDelta = delta;
      c.m_dPredictedMag = PredictedMagnitudeHG(c.m_dH, c.m_dG, r, delta,
                                               std::sqrt(o.m_dSun[0] * o.m_dSun[0] + o.m_dSun[1] * o.m_dSun[1] +
                                                         o.m_dSun[2] * o.m_dSun[2]));
    }
  }
  c.m_dResidualRms = std::sqrt(sumSq / m_nObs) * kArcsecPerRad;
  c.m_dMeanResRa = sumRa / m_nObs * kArcsecPerRad;
  c.m_dMeanResDec = sumDec / m_nObs * kArcsecPerRad;
  return 1;
}

void WhoisModel::OnMatch(WhoisForm& form) {
  if (m_bRunning || m_nObs <= 0 || m_nMpcorbObjects <= 0) return;
  // Stage 2 borrows the engine of the current orbit-determination object.
  OrbitEngine* engine = CurrentDetermination() ? CurrentDetermination()->m_pEngine : nullptr;
  if (engine && EngineBusy(engine)) {
    Message(kMsgOtherCalculationRunning);
    return;
  }
  m_candidates.clear();
  m_candidates.shrink_to_fit();
  m_rows.clear();
  form.ShowRows(m_rows);
  m_bRunning = 1;
  m_bCancel.store(0);
  UpdateControls(form);
  const auto start = std::chrono::steady_clock::now();

  const int r = ScanMpcorbStage1(form);
  int refined = 0;
  if (r >= 1 && !m_bCancel.load()) {
    const double typed = NumberOf(form.Text(kWhRefineCount));
    int n = typed >= 1 ? static_cast<int>(typed) : kDefaultRefineCount;
    n = std::min(n, static_cast<int>(m_candidates.size()));
    std::stable_sort(m_candidates.begin(), m_candidates.end(), CompareByScore);
    const bool guarded = engine && BeginBusy(engine) == 0;
    form.SetProgress(0);
    for (int k = 0; k < n && (guarded || !engine); ++k) {
      IdentCandidate& c = m_candidates[k];
      form.SetText(kWhRunStatus, FormatC("2段目 %d / %d 件   %s", k + 1, n, c.m_szName));
      form.SetProgress((100 * k + 100) / n);
      PumpPending();
      if (m_bCancel.load()) break;
      c.m_nRefined = RefineForView(form, c) ? 1 : -1;
      if (c.m_nRefined == 1) ++refined;
    }
    if (guarded) EndBusy(engine);
  }
  m_bRunning = 0;
  UpdateControls(form);
  form.Repaint();
  FillList(form, m_bCancel.load() != 0, refined, SecondsSince(start));
}

void WhoisModel::FillList(WhoisForm& form, bool cancelled, int refined, double seconds) {
  if (!m_candidates.empty()) {
    if (refined == 0 && !cancelled) {
      Message("候補は見つかりましたが、摂動込みの元期移動が1件も成功しませんでした。\r\n"
              "観測の日付が惑星暦(DE406/DE441)の対応範囲に入っているか確認してください。");
    } else {
      double tolerance = NumberOf(form.Text(kWhTolerance));
      if (!(tolerance > 0)) tolerance = kDefaultToleranceArcsec;
      std::stable_sort(m_candidates.begin(), m_candidates.end(), CompareByResidual);
      const int rows = std::min(static_cast<int>(m_candidates.size()), kWhoisListRows);
      int within = 0;
      for (int i = 0; i < rows; ++i) {
        m_rows.push_back(WhoisRowCells(i + 1, m_candidates[i]));
        if (m_candidates[i].m_nRefined == 1 && m_candidates[i].m_dResidualRms <= tolerance) ++within;
      }
      form.ShowRows(m_rows);
      if (within == 0)
        Message("許容残差に収まる天体はありませんでした。\r\n\r\n一覧には1段目を通った候補を、窓の中心に近い順で出しています。\r\n"
                "目当ての天体が下の方に見えている場合は[精査する候補]を増やし、\r\n一覧に無い場合は[窓 経路]を広げてください。",
                MsgIcon::Information);
    }
  }
  form.SetText(kWhRunStatus, FormatC("%s  候補 %d 件 / 精査 %d 件  (%.1f 秒)", cancelled ? "中止しました。" : "照合が終わりました。",
                                     static_cast<int>(m_candidates.size()), refined, seconds));
}

int WhoisModel::FindInRows(const std::string& text, int startRow, const std::vector<std::vector<std::string>>& rows) {
  const std::string key = UpperAscii(text);
  const int n = static_cast<int>(rows.size());
  for (int k = 0; k < n; ++k) {
    const int row = (startRow + k) % n;
    if (UpperAscii(rows[row][1]).find(key) != std::string::npos || UpperAscii(rows[row][2]).find(key) != std::string::npos)
      return row;
  }
  return -1;
}

void WhoisModel::ReportNotInRows(const std::string& text) {
  const std::string key = UpperAscii(text);
  for (size_t i = 0; i < m_candidates.size(); ++i) {
    const IdentCandidate& c = m_candidates[i];
    if (UpperAscii(c.m_szName).find(key) == std::string::npos && UpperAscii(c.m_szDesig).find(key) == std::string::npos)
      continue;
    Message(FormatC("「%s」は一覧には出ていませんが、候補の %d 番目にあります。\r\n(一覧に出せるのは上位 %d 行までです)\r\n\r\n"
                    "  天体   : %s\r\n  符号   : %s\r\n  経路   : %+.3f 度\r\n  直交   : %+.3f 度\r\n  予報等級: %.1f\r\n\r\n"
                    "[精査する候補]の件数を増やすと、この天体まで残差が求まります。",
                    text.c_str(), static_cast<int>(i + 1), kWhoisListRows, c.m_szName, c.m_szDesig, c.m_dAlong,
                    c.m_dCross, c.m_dPredictedMag),
            MsgIcon::Information, "検索");
    return;
  }
  Message(FormatC("「%s」は候補の中に見つかりませんでした。\r\n\r\n窓(経路・直交)や等級差の上限を広げて照合をやり直してください。",
                  text.c_str()),
          MsgIcon::Information, "検索");
}

std::string WhoisModel::CopyText(const std::vector<std::vector<std::string>>& rows) {
  std::string out;
  for (int i = 0; i < kWhoisColumns; ++i) out += std::string(i ? "\t" : "") + kWhoisColumnTitles[i];
  out += "\r\n";
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) out += (i ? "\t" : "") + row[i];
    out += "\r\n";
  }
  return out;
}
