#pragma once
// The orbit-determination view as the engine sees it: its observation set
// (DetClass), the members and controls the engine reads and writes, and the
// view operations the engine calls. CDetermination itself is the headless
// host: its controls are ControlsById's map; the window implementation
// overrides the virtual calls with its widgets. Tests, batch runs, worker processes and the
// application's never-shown fallback object use it as it is.
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "app/registry/window_registry.h"
#include "engine/controls_by_id.h"
#include "data/observation_record.h"
#include "engine/observation_set.h"
#include "engine/orbit_engine.h"

struct StationRecord;
class CNeocpScanDlg;

// Control ids the engine uses.
enum DetControlId : int {
  kIdResultEdit = 1000,
  kIdObsList = 1057,
  kIdFixEEdit = 1063,
  kIdApproachEdit = 1079,
  kIdEpochYear = 1076,
  kIdEpochMonth = 1077,
  kIdEpochDay = 1078,
  kIdStepCombo = 1436,
  kIdStepUsedLabel = 1227,
  kIdApproachBodyCombo = 1439,
  kIdNonGravA1Value = 1102,
  kIdNonGravA2Value = 1103,
  kIdNonGravA3Value = 1104,
  kIdAreaToMassValue = 1507,
  kIdAreaToMassClass = 1509,
  kIdTabs = 1244,
  kIdCalcLogEdit = 1245,
  kIdAutoImprove = 1080,
  kIdManualImprove = 1062,
  kIdAiImprove = 1243,
  kIdNonGravCheck = 1099,
  kIdNonGravA3Check = 1442,
  kIdAutoStopCheck = 1109,
  kIdPerturbationsCheck = 1067,
  kIdAsteroidCheck = 1060,
  kIdFixECheck = 1061,
  kIdParabolicCheck = 1040,
  kIdNonGravModelCombo = 1321,
  kIdAreaToMassText = 1507,     // "A/M m^2/kg" value
  kIdAreaToMassVerdict = 1509,  // "判定" value
  kIdRejectYear = 1459,
  kIdRejectOld = 1460,
  kIdRejectNew = 1461,
};

// The step combo box: "自動" and 18 fixed steps, each half the one before.
struct StepChoice {
  const char* text;
  double days;
};
inline constexpr const char* kStepAutomatic = "自動";
inline constexpr int kStepChoiceCount = 18;
inline constexpr StepChoice kStepChoices[kStepChoiceCount] = {
    {"8日", 8.0},
    {"4日", 4.0},
    {"2日", 2.0},
    {"1日", 1.0},
    {"0.5日", 0.5},
    {"0.25日", 0.25},
    {"3時間", 0.125},
    {"1.5時間", 0.0625},
    {"45分", 0.03125},
    {"22分30秒", 0.015625},
    {"11分15秒", 0.0078125},
    {"5分37.5秒", 0.00390625},
    {"2分48.75秒", 0.001953125},
    {"1分24.375秒", 0.0009765625},
    {"42.2秒", 0.00048828125},
    {"21.1秒", 0.000244140625},
    {"10.5秒", 0.0001220703125},
    {"5.3秒", 6.103515625e-05},
};

// The step of a step-combo text into the state: one of the 18 steps, a
// number (its absolute value), else the automatic step. Returns 0.
int ApplyStepText(const std::string& text, IntegrationState* state);

// Calculation log: entries are stamped, and the log keeps its last
// kCalcLogKeepChars characters once it passes kCalcLogMaxChars.
inline constexpr size_t kCalcLogMaxChars = 262144;
inline constexpr size_t kCalcLogKeepChars = 200000;
// "――― %H:%M:%S ―――\r\n" of the given local time.
std::string FormatCalcLogStamp(const std::tm& local);
// What the log edit shows while the calculation log is empty.
inline constexpr const char* kCalcLogPlaceholder =
    "AI自動改良の経過、要素変化量の自動調整、積分間隔のログなどの計算過程がここに表示されます。";
// Number of characters (code points) of UTF-8 text.
size_t CountCharacters(const std::string& utf8);

// The text on one line: every CR LF, CR or LF becomes a blank.
std::string ReplaceLineBreaksWithBlanks(const std::string& text);

// ---- the view ----
class CDetermination : public ControlsById {
public:
  // Creates the engine and the observation set, links them, resets the
  // engine; registers itself as the application's current view when
  // bRegister (the fallback object does not).
  explicit CDetermination(bool bRegister = true);
  virtual ~CDetermination();
  CDetermination(const CDetermination&) = delete;
  CDetermination& operator=(const CDetermination&) = delete;

  OrbitEngine* m_pEngine = nullptr;
  DetClass* m_pDetClass = nullptr;
  int m_nPicked = 0;
  int m_bForecastTookControls = 0;  // the forecast dialog disabled the view's controls
  int m_nBatchMode = 0;       // 0 interactive; 1 messages collected; 2 also no calculation log
  std::string m_strBatchMessages;  // collected messages, joined by " / "
  int m_bQuietRun = 0;
  int m_nAiResult = 0;
  CNeocpScanDlg* m_pNeocpScanDlg = nullptr;  // the open NEOCP scan dialog, or null
  std::string m_strDesignation;
  std::string m_strObjectName;
  std::string m_strCalcLog;         // calculation log (memory only)
  std::string m_strCalcLogProgressStamp;    // stamp of the running procedure
  const std::string* m_pCalcLogProgress = nullptr;  // progress text shown after the log while it runs
  int m_bOpLog = 0;
  std::string m_strOpLogPath;       // operation-log file while the log is on
  int m_bOpLogLossNoted = 0;        // a lost block was noted in the calculation log since switching on
  int m_bResidualsShown = 0;
  int m_nRejectYear = 1820;         // boundary year of the reject thresholds
  double m_dRejectOld = 6.0;        // arcsec, observations up to the boundary year
  double m_dRejectNew = 2.0;        // arcsec, later observations

  // ---- the controls the engine's procedures address, by their role ----
  // The result edit and the close-approach edit as windows for the writers.
  EngineWindow* ResultWindow();
  EngineWindow* ApproachWindow();
  void SetResultText(const std::string& text);
  // The fixed-eccentricity field as typed.
  std::string FixedEccentricityText();
  // The three Epoch fields (year, month, day) as typed, and written back.
  void GetEpochFields(std::string& year, std::string& month, std::string& day);
  void SetEpochFields(const std::string& year, const std::string& month, const std::string& day);
  // True while the step combo box is on "自動".
  bool AutomaticStepSelected();
  // Brings the result page (0) or the calculation-log page (1) to the front.
  void ShowResultPage(int page);
  // A warning box (batch: the text collected).
  void ReportWarning(const std::string& text);
  // The "非重力効果", A3 and "自動停止" check boxes.
  int NonGravChecked();
  int NonGravA3Checked();
  int AutoStopChecked();
  void SetNonGravChecks(int nonGrav, int nonGravA3);
  // The label of the step the automatic step used.
  void SetStepUsedText(const std::string& text);
  // Selects the model in the model combo box unless it is selected already.
  void SetNonGravModelSelection(int model);
  // The area-to-mass value and its verdict (model 3).
  void SetAreaToMassTexts(const std::string& value, const std::string& verdict);

  // ---- operations the engine calls ----
  // Enables the controls for a calculation state (the window's layout).
  virtual void UpdateControlsForState(int state) { (void)state; }
  // Element report of the state's ElementBlock into the edit; hands the
  // orbit to the tool windows unless mode is 2.
  virtual void ShowElementText(EngineWindow* edit, IntegrationState* state, int mode) {
    (void)edit, (void)state, (void)mode;
  }
  // The view's two element-block texts (the report's blocks and the file's),
  // emptied by the improvement before each integration.
  std::string m_strElementBlock;
  std::string m_strElementBlockFile;
  virtual void ClearElementBlockTexts() {
    m_strElementBlock.clear();
    m_strElementBlockFile.clear();
  }
  // Formats one element block into the view's element-block texts.
  virtual void FormatElementBlock(int kind, double epoch, double T, double q, double e, double peri, double node,
                                  double incl, double a, double M, const double P[3], const double Q[3]) {
    (void)kind, (void)epoch, (void)T, (void)q, (void)e, (void)peri, (void)node, (void)incl, (void)a, (void)M,
        (void)P, (void)Q;
  }
  // Writes the result into the result edit and appends the engine's step
  // notes (and with bWithStepLog its step log) to the calculation log.
  virtual void ShowImprovementResult(EngineWindow* result, OrbitEngine* engine, int bWithStepLog);
  // Residual display of the observation list on (1) or off (0).
  virtual void RefreshResidualList(ObservationRecord* obs, int shown);
  virtual void ComputeStationStats() {}
  virtual void ScrollObsListTo(int index) { (void)index; }
  // Repaints one row of the observation list (its pick mark changed).
  virtual void RedrawObsListItem(int index) { (void)index; }
  // Number of rows of the (virtual) observation list, kept without
  // scrolling; the list is repainted.
  virtual void SetObsListItemCount(int count) { m_nObsListItemCount = count; }
  int m_nObsListItemCount = 0;
  // Caption of the view's frame.
  virtual void SetViewCaption(const std::string& text) { m_strViewCaption = text; }
  std::string m_strViewCaption;
  // Buttons 1080, 1062 and 1243 together.
  virtual void EnableImproveButtons(int enable);
  // Appends a stamped entry (nothing for an empty text or batch mode 2+);
  // trims; shows the log scrolled to its end.
  virtual void AppendCalcLog(const std::string& text);
  // The same with a stamp line made earlier (a procedure stamps its entry
  // with its start time).
  void AppendCalcLogEntry(const std::string& stamp, const std::string& text);
  // While a procedure registered m_pCalcLogProgress: shows the log, the
  // stamp, the pending text and text (may be null); stores nothing.
  virtual void ShowCalcLogProgress(const char* text);
  // Empties the calculation log; the log edit shows kCalcLogPlaceholder.
  virtual void ClearCalcLog();
  // One stamped operation-log line (text may be null) while the log is on.
  void WriteOpLogLine(const char* text);
  // Appends the text to the operation-log file (UTF-8, BOM when new) while
  // the log is on. The first block lost since switching on is noted in the
  // calculation log; the log stays on.
  virtual void WriteOpLog(const std::string& text);
  // One block into the log file whatever the switch says; false with the
  // reason when it could not be written (nothing of it is left in the file).
  bool AppendOpLogBlock(const std::string& text, std::string* error);
  virtual void WriteOpLogCalcStart(const char* title) { (void)title; }
  virtual void WriteOpLogCalcEnd(const char* title, int result) { (void)title, (void)result; }
  // "T=... 元期JD=... " with the mean residual and used count or "----", and
  // the non-gravitational values.
  virtual std::string FormatElementSummaryLine(int bWithResidual);
  // "T=%g Peri=%g ..." of the engine's nine variation amounts.
  virtual std::string FormatVariationLine();
  // After the variation-amount dialog's OK: the amounts into the engine's
  // state, the correction's history flags cleared, an operation-log block.
  virtual void OnVariationAmountsConfirmed();
  // Step from the step combo box into the state (automatic-step flag, step
  // class, signed step and its square); a text that is not a positive number
  // gives the automatic step. Returns 0.
  virtual int ApplyStepSetting(IntegrationState* state);
  // Stores the model (0 for one outside 0-3) in the engine, selects it in the
  // combo box, names the parameters (Y1-Y3 for model 1) and shows those that
  // belong to it; radiation pressure (3) clears A2, A3 and the A3 switch.
  virtual void SetNonGravModel(int model);
  // Shows the A2/A3 labels, values and check box unless the model is 3 (solar
  // radiation pressure), and the area-to-mass controls 1506-1509 only for it.
  void ShowNonGravModelControls(int model);
  virtual void ShowNonGravParams() {}
  // Verdict colour of the non-gravitational labels: 0 none, 1 significant,
  // 2 significant and cometary. Stored by RestoreSolutionDisplay, which
  // repaints the labels when it changes.
  int m_nNonGravVerdictColour = 0;
  virtual void RepaintNonGravLabels() {}
  // A1 = 1e-10, A2 = A3 = 1e-11 (0 for model 3) in the engine.
  virtual void ResetNonGravParameters();
  // The observatory-code update (RunStationCodeUpdate) for this view: 0 when
  // the station file was rewritten (the caller may read its observations
  // again), -1 on failure or refusal; every outcome is shown.
  int UpdateStationCodes();
  // Reads and checks the three reject fields, keeps valid values, writes all back.
  virtual void GetRejectThresholds(int& year, double& before, double& after);
  // Interactive: a message box, and its answer. Batch: the text (line breaks
  // as blanks) is collected and batchResult returned.
  virtual int ReportMessage(const std::string& text, const std::string& caption, int boxType, int batchResult);

  // Local time for the stamps of both logs and the log's file name (tests fix it).
  virtual std::tm LocalTimeNow();

protected:
  // The log edit shows exactly m_strCalcLog followed by m_strCalcLogTail (a
  // running procedure's progress, else empty), so an entry can be appended
  // to it.
  bool m_bCalcLogShown = false;
  std::string m_strCalcLogTail;
  // The edit's end m_strCalcLogTail replaced by newTail in place; false
  // when the edit cannot (m_strCalcLogTail is left to the caller).
  bool ReplaceCalcLogEnd(EngineWindow& edit, const std::string& newTail);
};

// Message-box types of ReportMessage (answers: 1 OK, 2 Cancel, 6 Yes, 7 No).
enum ReportBoxType : int {
  kBoxOk = 0,
  kBoxOkCancel = 1,
  kBoxYesNoCancel = 3,
  kBoxYesNo = 4,
  kBoxIconError = 0x10,
  kBoxIconQuestion = 0x20,
  kBoxIconWarning = 0x30,
  kBoxIconInformation = 0x40,
};

// True for a numbered periodic comet ("0029P") or a packed provisional comet
// designation of the 19th-21st century ("CK19Q040"), judged on the text
// before any "=", trimmed.
bool IsPackedCometDesignation(const std::string& designation);

// The application's never-shown orbit-determination object: the computation
// context when no view is open. Created on first use, kept to the end.
CDetermination& FallbackDetermination();
// The program gives the fallback the behaviour of its views (the element
// report above all); without a maker it is a bare CDetermination.
using FallbackMaker = CDetermination& (*)();
void SetFallbackDeterminationMaker(FallbackMaker make);
// The current view (OpenWindows().m_pDetermination); when none is open the
// fallback object, which is then stored as the current one.
CDetermination* CurrentDetermination();
// True while a calculation of the current orbit-determination object runs
// (EngineBusy of its engine; false when none is current). A window does not
// close then: the calculation pumps events and would lose what it works on.
bool CurrentCalculationRunning();
