#include "engine/determination_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "data/obscode_update.h"
#include "data/step_texts.h"
#include "engine/auto_step.h"
#include "engine/close_approach.h"
#include "engine/engine_transfer.h"
#include "engine/improvement_staging.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {


bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte offset at which the last `keep` characters of the UTF-8 text begin.
size_t OffsetOfLastCharacters(const std::string& text, size_t keep) {
  size_t seen = 0;
  for (size_t i = text.size(); i > 0; --i) {
    if (!IsContinuationByte(static_cast<unsigned char>(text[i - 1]))) {
      if (++seen == keep) return i - 1;
    }
  }
  return 0;
}

}  // namespace

std::string ReplaceLineBreaksWithBlanks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += ' ';
      ++i;
    } else if (text[i] == '\r' || text[i] == '\n') {
      out += ' ';
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FormatCalcLogStamp(const std::tm& local) {
  char buffer[128];
  if (std::strftime(buffer, sizeof buffer, "――― %H:%M:%S ―――\r\n", &local) == 0) return {};
  return buffer;
}

size_t CountCharacters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if (!IsContinuationByte(c)) ++n;
  return n;
}

bool IsPackedCometDesignation(const std::string& designation) {
  std::string d = designation.substr(0, designation.find('='));
  const size_t b = d.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return false;
  d = d.substr(b, d.find_last_not_of(" \t\r\n") - b + 1);
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (d.size() >= 5 && isDigit(d[0]) && isDigit(d[1]) && isDigit(d[2]) && isDigit(d[3]) &&
      (d[4] == 'D' || d[4] == 'I' || d[4] == 'P'))
    return true;
  return d.size() >= 2 && std::string_view("CDIPX").find(d[0]) != std::string_view::npos &&
         std::string_view("IJK").find(d[1]) != std::string_view::npos;
}

// ---- construction ----

CDetermination::CDetermination(bool bRegister) {
  WindowRegistry& windows = OpenWindows();  // made first, so it outlives this object
  m_pDetClass = new DetClass;
  m_pEngine = new OrbitEngine;
  m_pDetClass->m_pEngine = m_pEngine;
  ResetOrbitEngine(m_pEngine, m_pDetClass);
  m_pEngine->m_nCalcState = 0;
  m_pEngine->m_bPerturbations = 0;
  m_pEngine->m_state.m_bAsteroid = 0;
  m_pEngine->m_dStopResidual = kNoStopResidual;
  if (bRegister) windows.m_pDetermination = this;
}

CDetermination::~CDetermination() {
  std::free(m_pDetClass->m_pOrbObs);
  std::free(m_pDetClass->m_pStations);
  delete m_pEngine->m_state.m_pApproach;
  m_pEngine->m_state.m_pApproach = nullptr;
  delete m_pDetClass;
  delete m_pEngine;
  WindowRegistry& windows = OpenWindows();
  if (windows.m_pDetermination == this) windows.m_pDetermination = nullptr;
}

namespace {
FallbackMaker g_makeFallback = nullptr;
}  // namespace

void SetFallbackDeterminationMaker(FallbackMaker make) { g_makeFallback = make; }

CDetermination& FallbackDetermination() {
  if (g_makeFallback) return g_makeFallback();
  static CDetermination fallback(false);
  return fallback;
}

CDetermination* CurrentDetermination() {
  WindowRegistry& windows = OpenWindows();
  if (!windows.m_pDetermination) windows.m_pDetermination = &FallbackDetermination();
  return windows.m_pDetermination;
}

bool CurrentCalculationRunning() {
  const CDetermination* current = OpenWindows().m_pDetermination;
  return current && current->m_pEngine && EngineBusy(current->m_pEngine);
}

std::tm CDetermination::LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// ---- operations ----

void CDetermination::ShowImprovementResult(EngineWindow* result, OrbitEngine* engine, int bWithStepLog) {
  (void)result;
  RefreshResidualList(m_pDetClass->m_pOrbObs, 1);
  const bool automatic = GetItemText(kIdStepCombo) == kStepAutomatic;
  SetItemText(kIdStepUsedLabel,
              automatic ? CTessaruneLib::FormatStepLength(std::fabs(engine->m_state.m_dStep)) : std::string());
  std::string log = engine->m_strStepNotes;
  if (bWithStepLog && !engine->m_strStepLog.empty()) log += "【積分間隔のログ】\r\n" + engine->m_strStepLog;
  AppendCalcLog(log);
}

void CDetermination::RefreshResidualList(ObservationRecord* obs, int shown) {
  (void)obs;
  m_bResidualsShown = shown;
  if (shown == 1) ComputeStationStats();
}

void CDetermination::EnableImproveButtons(int enable) {
  for (int id : {kIdAutoImprove, kIdManualImprove, kIdAiImprove}) EnableItem(id, enable != 0);
}

void CDetermination::AppendCalcLog(const std::string& text) {
  if (text.empty() || m_nBatchMode >= 2) return;
  AppendCalcLogEntry(FormatCalcLogStamp(LocalTimeNow()), text);
}

void CDetermination::AppendCalcLogEntry(const std::string& stamp, const std::string& text) {
  if (text.empty() || m_nBatchMode >= 2) return;
  const size_t start = m_strCalcLog.size();
  m_strCalcLog += stamp;
  m_strCalcLog += text;
  if (text.back() != '\n') m_strCalcLog += "\r\n";
  bool trimmed = false;
  if (CountCharacters(m_strCalcLog) > kCalcLogMaxChars) {
    m_strCalcLog.erase(0, OffsetOfLastCharacters(m_strCalcLog, kCalcLogKeepChars));
    trimmed = true;
  }
  EngineWindow* edit = Window(kIdCalcLogEdit);
  if (!edit) return;
  // Setting the whole log again costs time in proportion to its length;
  // the pane takes the new entry alone (in place of a running procedure's
  // progress, which the entry mostly repeats) unless the log was cut.
  if (m_bCalcLogShown && !trimmed && m_strCalcLogTail.empty())
    edit->AppendText(m_strCalcLog.substr(start));
  else if (!m_bCalcLogShown || trimmed || !ReplaceCalcLogEnd(*edit, m_strCalcLog.substr(start)))
    edit->SetText(m_strCalcLog);
  m_strCalcLogTail.clear();
  edit->ScrollToEnd();
  m_bCalcLogShown = true;
}

void CDetermination::ShowCalcLogProgress(const char* text) {
  if (!m_pCalcLogProgress) return;
  EngineWindow* edit = Window(kIdCalcLogEdit);
  if (!edit) return;
  std::string tail = m_strCalcLogProgressStamp + *m_pCalcLogProgress;
  if (text) tail += text;
  // A progress call mostly adds a line to what the last one showed.
  if (!m_bCalcLogShown || !ReplaceCalcLogEnd(*edit, tail)) edit->SetText(m_strCalcLog + tail);
  m_strCalcLogTail = std::move(tail);
  edit->ScrollToEnd();
  m_bCalcLogShown = true;
}

namespace {

// Bytes at the start of a and b that are the same, ending between two
// characters and not inside a "\r\n": each rest then converts to the
// edit's text as it would within the whole.
size_t SharedStart(const std::string& a, const std::string& b) {
  size_t n = static_cast<size_t>(std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first -
                                 a.begin());
  const auto inCharacter = [](const std::string& s, size_t i) {
    return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
  };
  while (n > 0 && (inCharacter(a, n) || inCharacter(b, n))) --n;
  if (n > 0 && a[n - 1] == '\r') --n;
  return n;
}

}  // namespace

bool CDetermination::ReplaceCalcLogEnd(EngineWindow& edit, const std::string& newTail) {
  const size_t keep = SharedStart(m_strCalcLogTail, newTail);
  return edit.ReplaceEnd(m_strCalcLogTail.substr(keep), newTail.substr(keep));
}

void CDetermination::ClearCalcLog() {
  m_strCalcLog.clear();
  m_strCalcLogTail.clear();
  if (EngineWindow* edit = Window(kIdCalcLogEdit)) edit->SetText(kCalcLogPlaceholder);
  m_bCalcLogShown = false;
}

void CDetermination::WriteOpLogLine(const char* text) {
  if (!m_bOpLog) return;
  const std::tm local = LocalTimeNow();
  char stamp[64];
  if (std::strftime(stamp, sizeof stamp, "[%Y/%m/%d %H:%M:%S] ", &local) == 0) stamp[0] = '\0';
  WriteOpLog(std::string(stamp) + (text ? text : "") + "\r\n");
}

void CDetermination::WriteOpLog(const std::string& text) {
  if (!m_bOpLog || m_strOpLogPath.empty() || text.empty()) return;
  std::string error;
  if (AppendOpLogBlock(text, &error) || m_bOpLogLossNoted) return;
  m_bOpLogLossNoted = 1;
  AppendCalcLog("※操作ログに書き込めなかったため、記録の一部が失われました(記録は続けます)。\r\n  " + error + "\r\n");
}

bool CDetermination::AppendOpLogBlock(const std::string& text, std::string* error) {
  return AppendFileBlock(m_strOpLogPath, "\xEF\xBB\xBF", text, error);
}

std::string CDetermination::FormatElementSummaryLine(int bWithResidual) {
  const OrbitEngine& engine = *m_pEngine;
  const ElementBlock& el = engine.m_state.m_el;
  double year = 0, month = 0, day = 0;
  JdToCalendar(el.m_dT, year, month, day);
  std::string line = FormatC("T=%d/%d/%.5f q=%.7f e=%.7f Peri=%.5f Node=%.5f Incl=%.5f 元期JD=%.1f ",
                             static_cast<int>(year), static_cast<int>(month), day, el.m_dQ, el.m_dE,
                             el.m_dPeri * kDegPerRad, el.m_dNode * kDegPerRad, el.m_dIncl * kDegPerRad,
                             engine.m_state.m_dEpoch);
  if (bWithResidual)
    line += FormatC("平均残差=%.3f\" 有効=%d", engine.m_dMeanResidual, engine.m_nUsedObs);
  else
    line += "平均残差=----\" 有効=----";
  if (engine.m_bNonGrav) {
    if (engine.m_nNonGravModel == 3) {
      line += FormatC(" A1=%+.6f A/M=%.3e", el.m_dA1 * 1e8, el.m_dA1 * 20.040009685249487 / 4.53980733564685e-6);
    } else {
      const bool co = engine.m_nNonGravModel == 1;
      line += FormatC(" %s=%+.4f %s=%+.6f", co ? "Y1" : "A1", el.m_dA1 * 1e8, co ? "Y2" : "A2", el.m_dA2 * 1e8);
      if (engine.m_bNonGravA3) line += FormatC(" %s=%+.6f", co ? "Y3" : "A3", el.m_dA3 * 1e8);
    }
  }
  return line;
}

std::string CDetermination::FormatVariationLine() {
  const double* v = m_pEngine->m_dVariation;
  return FormatC("T=%g Peri=%g Node=%g Inc=%g q=%g e=%g A1=%g A2=%g A3=%g", v[0], v[1], v[2], v[3], v[4], v[5],
                 v[6], v[7], v[8]);
}

void CDetermination::OnVariationAmountsConfirmed() {
  OrbitEngine& engine = *m_pEngine;
  for (int i = 0; i < 9; ++i) engine.m_state.m_dVariation[i] = engine.m_dVariation[i];
  engine.m_bCorrectionStopped = 0;
  engine.m_bHaveSaved = 0;
  engine.m_nWorsenRetries = 0;
  if (!m_bOpLog) return;
  const std::tm local = LocalTimeNow();
  char stamp[128];
  if (std::strftime(stamp, sizeof stamp, "[%Y/%m/%d %H:%M:%S] === 要素変化量の変更(手動) ===\r\n", &local) == 0)
    stamp[0] = '\0';
  WriteOpLog(std::string(stamp) + "要素変化量: " + FormatVariationLine() + "\r\n");
}

EngineWindow* CDetermination::ResultWindow() { return Window(kIdResultEdit); }
EngineWindow* CDetermination::ApproachWindow() { return Window(kIdApproachEdit); }
void CDetermination::SetResultText(const std::string& text) { SetItemText(kIdResultEdit, text); }
std::string CDetermination::FixedEccentricityText() { return GetItemText(kIdFixEEdit); }

void CDetermination::GetEpochFields(std::string& year, std::string& month, std::string& day) {
  year = GetItemText(kIdEpochYear);
  month = GetItemText(kIdEpochMonth);
  day = GetItemText(kIdEpochDay);
}

void CDetermination::SetEpochFields(const std::string& year, const std::string& month, const std::string& day) {
  SetItemText(kIdEpochYear, year);
  SetItemText(kIdEpochMonth, month);
  SetItemText(kIdEpochDay, day);
}

bool CDetermination::AutomaticStepSelected() { return GetItemText(kIdStepCombo) == kStepAutomatic; }

void CDetermination::ShowResultPage(int page) {
  SetSelection(kIdTabs, page);
  ShowItem(kIdResultEdit, page == 0);
  ShowItem(kIdCalcLogEdit, page != 0);
}

int CDetermination::NonGravChecked() { return IsChecked(kIdNonGravCheck) ? 1 : 0; }
int CDetermination::NonGravA3Checked() { return IsChecked(kIdNonGravA3Check) ? 1 : 0; }
int CDetermination::AutoStopChecked() { return IsChecked(kIdAutoStopCheck) ? 1 : 0; }

void CDetermination::SetNonGravChecks(int nonGrav, int nonGravA3) {
  SetCheck(kIdNonGravCheck, nonGrav);
  SetCheck(kIdNonGravA3Check, nonGravA3);
}

void CDetermination::SetStepUsedText(const std::string& text) { SetItemText(kIdStepUsedLabel, text); }

void CDetermination::SetNonGravModelSelection(int model) {
  if (GetSelection(kIdNonGravModelCombo) != model) SetSelection(kIdNonGravModelCombo, model);
}

void CDetermination::SetAreaToMassTexts(const std::string& value, const std::string& verdict) {
  SetItemText(kIdAreaToMassText, value);
  SetItemText(kIdAreaToMassVerdict, verdict);
}

void CDetermination::ReportWarning(const std::string& text) { ReportMessage(text, "", kBoxOk | kBoxIconWarning, 1); }

int CDetermination::ApplyStepSetting(IntegrationState* state) { return ApplyStepText(GetItemText(kIdStepCombo), state); }

int ApplyStepText(const std::string& text, IntegrationState* state) {
  double x = 0.0;
  bool listed = false;
  for (const StepChoice& c : kStepChoices)
    if (text == c.text) {
      x = c.days;
      listed = true;
      break;
    }
  if (!listed && text != kStepAutomatic) x = std::fabs(StringToDouble(text));
  // An empty or unreadable text would give a step of 0 and a run that never
  // ends: it means the automatic step.
  const bool automatic = !listed && !(std::isfinite(x) && x > 0.0);
  if (automatic) x = CTessaruneLib::AutoIntegrationStep(state);
  state->m_bStepControlWanted = automatic ? 1 : 0;
  state->m_nStepClass = x >= 1.0 ? 0 : x >= 0.5 ? 1 : x >= 0.25 ? 2 : 3;
  state->m_dStep = x * state->m_dDirection;
  state->m_dStep2 = state->m_dStep * state->m_dStep;
  return 0;
}

void CDetermination::SetNonGravModel(int model) {
  SelectNonGravModel(m_pEngine, model);
  model = m_pEngine->m_nNonGravModel;
  SetSelection(kIdNonGravModelCombo, model);
  if (model == 3) SetCheck(kIdNonGravA3Check, 0);
  static constexpr const char* kLabels[2][3] = {{"A1", "A2", "A3"}, {"Y1", "Y2", "Y3"}};
  for (int i = 0; i < 3; ++i) SetItemText(1145 + i, kLabels[model == 1 ? 1 : 0][i]);
  ShowNonGravModelControls(model);
}

void CDetermination::ShowNonGravModelControls(int model) {
  const bool pressure = model == 3;
  for (int id : {1146, 1103, 1147, 1104, static_cast<int>(kIdNonGravA3Check)}) ShowItem(id, !pressure);
  for (int id : {1506, 1507, 1508, 1509}) ShowItem(id, pressure);
}

void CDetermination::ResetNonGravParameters() { ResetNonGravValues(m_pEngine); }

int CDetermination::UpdateStationCodes() {
  EngineTransfer transfer(m_pEngine);
  return RunStationCodeUpdate(nullptr, m_nBatchMode == 0 ? transfer.Control() : nullptr);
}

void CDetermination::GetRejectThresholds(int& year, double& before, double& after) {
  long y = 0;
  if (ParseInt(GetItemText(kIdRejectYear), y) && y >= 1000 && y <= 3000) m_nRejectYear = static_cast<int>(y);
  double v = 0.0;
  if (ParseDouble(GetItemText(kIdRejectOld), v) && v > 0.0) m_dRejectOld = v;
  if (ParseDouble(GetItemText(kIdRejectNew), v) && v > 0.0) m_dRejectNew = v;
  SetItemText(kIdRejectYear, FormatC("%d", m_nRejectYear));
  SetItemText(kIdRejectOld, FormatC("%.1f", m_dRejectOld));
  SetItemText(kIdRejectNew, FormatC("%.1f", m_dRejectNew));
  year = m_nRejectYear;
  before = m_dRejectOld;
  after = m_dRejectNew;
}

int CDetermination::ReportMessage(const std::string& text, const std::string& caption, int boxType,
                                  int batchResult) {
  if (m_nBatchMode != 0) {
    if (!m_strBatchMessages.empty()) m_strBatchMessages += " / ";
    m_strBatchMessages += ReplaceLineBreaksWithBlanks(text);
    return batchResult;
  }
  MsgIcon icon = MsgIcon::None;
  switch (boxType & 0xF0) {
  case kBoxIconError: icon = MsgIcon::Error; break;
  case kBoxIconQuestion: icon = MsgIcon::Question; break;
  case kBoxIconWarning: icon = MsgIcon::Warning; break;
  case kBoxIconInformation: icon = MsgIcon::Information; break;
  default: break;
  }
  MsgButtons buttons = MsgButtons::Ok;
  switch (boxType & 0x0F) {
  case kBoxOkCancel: buttons = MsgButtons::OkCancel; break;
  case kBoxYesNoCancel: buttons = MsgButtons::YesNoCancel; break;
  case kBoxYesNo: buttons = MsgButtons::YesNo; break;
  default: break;
  }
  switch (Ui().ShowMessage(caption, text, icon, buttons)) {
  case MsgAnswer::Ok: return 1;
  case MsgAnswer::Cancel: return 2;
  case MsgAnswer::Yes: return 6;
  case MsgAnswer::No: return 7;
  }
  return 2;
}
