#include "determination/obs_loading.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string_view>
#include <vector>

#include "astro/time_scales.h"
#include "data/comet_list.h"
#include "data/designation.h"
#include "data/mpc_obs_client.h"
#include "data/obscode_update.h"
#include "data/observation_reader.h"
#include "determination/determination_display.h"
#include "engine/close_approach.h"
#include "engine/engine_transfer.h"
#include "engine/observation_picking.h"
#include "engine/variation_amounts.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

constexpr const char* kAppCaption = "Tessarune";
constexpr size_t kObsPathChars = 259;
constexpr int kMaxDesignations = 100;
constexpr double kShortArcDays = 3.0;
constexpr double kShortArcScale = 1000.0;

constexpr const char* kMsgDuplicates =
    "%d個の重複する観測データが見つかりました。\r最後に読み込んだデータを有効とし、他のデータにはリジェクトフラグを付けました。"
    "\r軌道改良時に確認することができます。\rリジェクトされたデータはダブルクリックすることにより有効なデータに変更することができます。"
    "\rなお、並び替え処理に関連し、先に読み込んだデータが下の行に表示されることがあります。";
constexpr const char* kMsgStationsOld =
    "観測所コードデータが古いようです。小惑星センターから最新の観測所コードを受信しますか？";
constexpr const char* kMsgReReadFailed = "観測ファイルの再読み込みに失敗しました。";

std::string Designation12(const ObservationRecord& o) {
  std::string d(o.m_szDesig, strnlen(o.m_szDesig, 12));
  d.resize(12, ' ');
  return d;
}

int CountRecords(const ObservationRecord* obs) {
  int n = 0;
  while (obs[n].m_dJdUtc != -1.0) ++n;
  return n;
}

void FillEpochFields(CDeterminationDisplay& view, double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  view.SetItemText(kIdEpochYear, FormatC("%d", static_cast<int>(y)));
  view.SetItemText(kIdEpochMonth, FormatC("%d", static_cast<int>(m)));
  view.SetItemText(kIdEpochDay, FormatC("%.1f", d));
}

// Short arcs start the improvement from a thousandth of the standard amounts.
void ApplyShortArcRule(OrbitEngine& engine, double arc) {
  if (!(arc >= 0.0 && arc < kShortArcDays)) return;
  for (int i = 0; i < kVariationCount; ++i) engine.m_dVariation[i] = kStandardVariation[i] / kShortArcScale;
  engine.m_strPendingNote = FormatC("※観測弧が%.2f日と短いため、要素変化量を標準の1/%dにして改良を始めます\r\n", arc,
                                    static_cast<int>(kShortArcScale));
}

void ClearApproaches(CDeterminationDisplay& view) {
  if (CloseApproachRecord* record = view.m_pEngine->m_state.m_pApproach) {
    record->Reset();
    view.SetItemText(kIdApproachEdit, "");
  }
}

void SwitchNonGravOff(CDeterminationDisplay& view) {
  view.SetCheck(kIdNonGravCheck, 0);
  view.m_pEngine->m_bNonGrav = 0;
  view.ShowNonGravParams();
}

// What every new start on observations clears: tool windows, step, log,
// covariance, variation amounts.
void ResetSolutionDisplay(CDeterminationDisplay& view) {
  OrbitEngine& engine = *view.m_pEngine;
  view.ResetToolWindows();
  view.SetItemText(kIdStepUsedLabel, "");
  view.ClearCalcLog();
  engine.m_bCovarianceValid = 0;
  engine.m_bErrValid = 0;
  ResetVariationAmounts(&engine);
}

// The readable designations of the file: object name, packed names, first
// and last designation; the first readable designation without comet name.
std::string WalkDesignations(CDeterminationDisplay& view, const ObservationRecord* obs, int count) {
  view.m_strObjectName.clear();
  view.m_szFirstDesignation.clear();
  view.m_strPackNames.clear();
  std::vector<std::string> table;
  std::string firstReadable;
  // A comet name may need the comet list from the network: its wait keeps
  // the window alive and can be stopped (a batch run shows no dialog).
  EngineTransfer transfer(view.m_pEngine);
  const TransferControl* control = view.m_nBatchMode == 0 ? transfer.Control() : nullptr;
  for (int i = 0; i < count; ++i) {
    const std::string cols = Designation12(obs[i]);
    if (std::find(table.begin(), table.end(), cols) != table.end()) continue;
    if (static_cast<int>(table.size()) == kMaxDesignations) break;
    table.push_back(cols);
    const std::string readable = UnpackDesignation(cols);
    std::string named = readable;
    AppendCometName(cols, named, control);
    const std::string packed(TrimSpace(cols));
    if (table.size() == 1) {
      view.m_strObjectName = named;
      view.m_strPackNames = packed;
      view.m_szFirstDesignation = cols;
      firstReadable = readable;
    } else {
      view.m_strObjectName += " = " + std::string(TrimSpace(named));
      view.m_strPackNames += "=" + packed;
    }
    view.m_strDesignation = cols;
  }
  return firstReadable;
}

void GuessCometOrAsteroid(CDeterminationDisplay& view, const std::string& readable) {
  if (readable.empty()) return;
  char letter = 0;
  const bool comet = IsCometDesignationText(readable, &letter);
  view.m_pEngine->m_state.m_bAsteroid = comet ? 0 : 1;
  view.SetCheck(kIdAsteroidCheck, comet ? 0 : 1);
  // "A/" objects are asteroids to the tool windows' magnitude law.
  view.m_displayOrbit.m_bAsteroid = comet && letter != 'A' ? 0 : 1;
}

// Unknown stations: the offer of a station-code update, and the second read
// after it. When that read fails the first read's observations stay.
void OfferStationUpdate(CDeterminationDisplay& view, const std::string& path, ObservationRecord*& obs, int& count) {
  bool unknown = false;
  for (int i = 0; i < count && !unknown; ++i) unknown = obs[i].m_nUnknownStation != 0;
  if (!unknown) return;
  if (view.m_nBatchMode != 0) {
    view.ReportMessage(kMsgStationsOld, "", kBoxOk, 1);
    return;
  }
  if (view.ReportMessage(kMsgStationsOld, "観測所コードの更新", kBoxYesNo | kBoxIconQuestion, 7) != 6) return;
  if (view.UpdateStationCodes() != 0) return;
  ObservationRecord* again = nullptr;
  const int n = CTessaruneLib::GetMpcObs(path, &again);
  if (n < 0) {
    view.ReportMessage(kMsgReReadFailed, kAppCaption, kBoxOk, 1);
    return;
  }
  std::free(obs);
  obs = again;
  count = n;
}

}  // namespace

std::string ObsReadFailureMessage(int code) {
  switch (code) {
  case CTessaruneLib::kObsReadFailed: return "観測ファイルを開くことができませんでした。";
  case CTessaruneLib::kObsNoStationTable:
    return "観測所コードファイル(Stations.txt)を開くことができませんでした。\r[オプション]→[環境設定]でファイルの場所を確認してください。";
  case CTessaruneLib::kObsNoSunPosition: return CTessaruneLib::SunPositionRefusal();
  default:
    return "未定義のエラーが発生しました。\rresult = CTessaruneLib::GetMpcObs(szObsFile, &m_pDetClass->m_pOrbObs))";
  }
}

int MarkDuplicateObservations(ObservationRecord* obs, int count) {
  // Equal records grouped by sorting indices; within a group every record but
  // the last in file order is a duplicate, and each pair counts once.
  std::vector<int> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  auto key = [obs](int i) {
    return std::make_tuple(std::string_view(obs[i].m_szDesig, strnlen(obs[i].m_szDesig, 12)),
                           std::string_view(obs[i].m_szStation, strnlen(obs[i].m_szStation, 3)), obs[i].m_dJdUtc);
  };
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    const auto ka = key(a), kb = key(b);
    return ka != kb ? ka < kb : a < b;
  });
  int pairs = 0;
  for (size_t g = 0; g < order.size();) {
    size_t end = g + 1;
    while (end < order.size() && key(order[end]) == key(order[g])) ++end;
    const int k = static_cast<int>(end - g);
    pairs += k * (k - 1) / 2;
    for (size_t i = g; i + 1 < end; ++i) {
      ObservationRecord& o = obs[order[i]];
      o.m_bDuplicate = o.m_bRejected = o.m_bByHand = 1;
    }
    g = end;
  }
  return pairs;
}

bool IsCometDesignationText(const std::string& text, char* letter) {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  auto isCometLetter = [](char c) { return std::string_view("ACDIPX").find(c) != std::string_view::npos; };
  if (isCometLetter(text[i]) && i + 1 < text.size() && text[i + 1] == '/') {
    if (letter) *letter = text[i];
    return true;
  }
  const size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits || i >= text.size() || !isCometLetter(text[i])) return false;
  const char next = i + 1 < text.size() ? text[i + 1] : '\0';
  if (next != '\0' && next != ' ' && next != '(' && next != '/') return false;
  if (letter) *letter = text[i];
  return true;
}

double ProposedEpochJd(double lastTt, double gridDays) {
  return static_cast<double>(static_cast<long long>(lastTt / gridDays + 1.0)) * gridDays + 0.5;
}

void OpenObsFile(CDeterminationDisplay& view, const std::string& path) {
  OrbitEngine& engine = *view.m_pEngine;
  DetClass& det = *view.m_pDetClass;
  if (engine.m_nCalcState == kCalcFatal) return;
  const std::string file(Utf8Prefix(path, kObsPathChars));
  if (file.empty()) {
    view.SetViewCaption(file);
    view.m_szObsFile.clear();
    return;
  }

  // Read first: a file that cannot be read leaves what is loaded alone. In
  // batch mode the reader shows no box: its failure is collected below.
  ObservationRecord* obs = nullptr;
  int count = 0;
  {
    const QuietObservationReading quiet(view.m_nBatchMode != 0);
    count = CTessaruneLib::GetMpcObs(file, &obs);
  }
  if (count < 0) {
    // The caption names a file only once it is accepted: the refused one is not on screen.
    view.ReportMessage(ObsReadFailureMessage(count), kAppCaption, kBoxOk, 1);
    return;
  }
  view.SetViewCaption(file);
  view.m_szObsFile = file;
  ResetSolutionDisplay(view);
  OfferStationUpdate(view, file, obs, count);
  std::free(det.m_pOrbObs);
  det.m_pOrbObs = obs;
  ResetOrbitEngine(&engine, &det);
  det.m_nObsCount = count;

  const int duplicates = MarkDuplicateObservations(obs, count);
  if (duplicates != 0) view.ReportMessage(FormatC(kMsgDuplicates, duplicates), kAppCaption, kBoxOk, 1);
  std::sort(obs, obs + count,
            [](const ObservationRecord& a, const ObservationRecord& b) { return a.m_dJdTt < b.m_dJdTt; });

  GuessCometOrAsteroid(view, WalkDesignations(view, obs, count));

  view.EnableItem(kIdObsList, true);
  SwitchNonGravOff(view);
  view.SetObsListItemCount(0);
  view.m_bResidualsShown = 0;
  ClearApproaches(view);
  view.SetItemText(kIdResultEdit, kMsgPickHint);
  view.FreeStationStats();
  view.SetObsListItemCount(count);

  const double first = count > 0 ? obs[0].m_dJdTt : 0.0;
  const double last = count > 0 ? obs[count - 1].m_dJdTt : 0.0;
  if (count > 0) FillEpochFields(view, ProposedEpochJd(last, 40.0));
  const double arc = last - first;
  ApplyShortArcRule(engine, arc);

  engine.m_nCalcState = kCalcLoaded;
  view.WriteOpLogLine(FormatC("観測ファイルを読み込み: %s  %d観測  弧 %.2f日", view.m_szObsFile.c_str(), count, arc).c_str());
  view.m_nPicked = 0;
  engine.m_dStopResidual = kNoStopResidual;
  view.UpdateControlsForState(kCalcLoaded);
}

void OnRedoCalculation(CDeterminationDisplay& view) {
  OrbitEngine& engine = *view.m_pEngine;
  ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  if (view.m_szObsFile.empty() || engine.m_nCalcState == kCalcFatal || !obs) return;
  const int count = CountRecords(obs);
  for (int i = 0; i < count; ++i) {
    ObservationRecord& o = obs[i];
    o.m_bRejected = o.m_bByHand = o.m_bDuplicate;
    o.m_bPicked = 0;
    o.m_dResRa = o.m_dResDec = 0.0;
    o.m_dWeight = 1.0;
  }
  view.SetItemText(kIdResultEdit, kMsgPickHint);
  view.SetObsListItemCount(0);
  view.m_bResidualsShown = 0;
  view.RefreshResidualList(obs, 0);
  ClearApproaches(view);
  SwitchNonGravOff(view);
  if (count > 0) FillEpochFields(view, ProposedEpochJd(obs[count - 1].m_dJdTt, 20.0));
  view.m_nPicked = 0;
  engine.m_dStopResidual = kNoStopResidual;
  ResetSolutionDisplay(view);
  if (count > 1) ApplyShortArcRule(engine, obs[count - 1].m_dJdTt - obs[0].m_dJdTt);
  engine.m_nCalcState = kCalcLoaded;
  view.UpdateControlsForState(kCalcLoaded);
  view.WriteOpLogLine("[計算をやり直す]");
}

std::string CleanFileNameDesignation(const std::string& designation) {
  std::string out = designation;
  for (char c : std::string_view("/\\:*?\"<>|")) std::replace(out.begin(), out.end(), c, '_');
  return out;
}

std::string FetchedObservationPath(const std::string& designation) {
  const CTessaruneApp& app = TheApp();
  std::string folder = !app.m_szObsFolder.empty() ? app.m_szObsFolder : app.m_szDataDir;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + CleanFileNameDesignation(designation) + ".obs";
}

void FetchObsAndOpen(CDeterminationDisplay& view, const std::string& designation, int neocp,
                     const std::string& caption, const std::string& serviceUrl, const HttpTimeouts* timeouts) {
  const std::string path = FetchedObservationPath(designation);
  std::string error, info;
  TheApp().DoWaitCursor(1);
  const int ok =
      CTessaruneLib::FetchMpcObservations(designation, path, &error, &info, neocp, serviceUrl, timeouts);
  TheApp().DoWaitCursor(-1);
  if (!ok) {
    Ui().ShowMessage(caption, error, MsgIcon::Warning, MsgButtons::Ok);
    return;
  }
  if (!info.empty()) Ui().ShowMessage(caption, info, MsgIcon::Information, MsgButtons::Ok);
  OpenObsFile(view, path);
}
