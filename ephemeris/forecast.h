#pragma once
// The forecast dialog without its window: the orbit of the current
// orbit-determination view carried to a typed epoch, to its original or
// future orbit (or both, with the change of 1/a), the growth of the
// integration error, and the impact probability of its clones. The dialog
// reaches its controls through ForecastForm by control id; tests give a
// form of plain fields.
#include <functional>
#include <memory>
#include <string>

#include "engine/integration_state.h"

class CDetermination;
class CloseApproachRecord;
class EngineWindow;
class ImpactTrackerSet;

// Controls of the dialog the computation reads or writes.
enum ForecastControlId : int {
  kFcResult = 1000,
  kFcEpochYear = 1076,
  kFcEpochMonth = 1077,
  kFcEpochDay = 1078,
  kFcApproach = 1127,
  kFcModeEpoch = 1194,
  kFcModeOriginal = 1445,
  kFcModeFuture = 1421,
  kFcModeBoth = 1319,
  kFcSnap = 1153,
  kFcSpan = 1209,
  kFcBody = 1437,
  kFcStep = 1318,
  kFcRoundTrip = 1207,
  kFcCalc = 1126,
  kFcTabs = 1253,
  kFcLog = 1254,
  kFcProgress = 1205,
  kFcStatus = 1206,
  kFcErrorGrowth = 1255,
  kFcDevNote = 1473,
  kFcImpact = 1213,
  kFcClonesLabel = 1223,
  kFcClones = 1214,
  kFcSystematic = 1470,
  kFcOrgFutHelp = 1336,  // information marks
  kFcStepHelp = 1407,
  kFcImpactHelp = 1408,
};

// Forecast modes (the state's m_nOrbitKind).
enum ForecastMode : int { kForecastEpoch = 0, kForecastOriginal = 1, kForecastFuture = 2, kForecastBoth = 3 };

inline constexpr double kForecastBoundaryAu = 250.0;
inline constexpr double kForecastFileMargin = 40.0;  // days kept from each end of the planetary file

inline constexpr const char* kMsgEpochTooNear = "軌道改良に用いたEpochからもう少し離れた日付を指定してください。";
inline constexpr const char* kMsgNoSolution = "解が求まらなかったので計算を中止しました[20]";

// The dialog's controls as the computation sees them.
class ForecastForm {
public:
  virtual ~ForecastForm() = default;
  virtual std::string Text(int id) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual int Selection(int id) = 0;
  virtual int Checked(int id) = 0;
  // The pane, bar or text as the engine's window (kFcResult, kFcLog, kFcApproach, kFcProgress, kFcStatus).
  virtual EngineWindow* Window(int id) = 0;
  // 0 the result pane in front, 1 the log pane (emptied first with ShowLog).
  virtual void ShowTab(int tab) = 0;
};

// The step combo's texts: "自動" and the 18 fixed steps.
std::string ForecastStepText(int index);
inline constexpr int kForecastStepCount = 19;

// The day field as the dialog writes it: "%.5f" with trailing zeros dropped
// while two decimals remain (21.5 -> "21.5", 21 -> "21.0").
std::string FormatEpochDay(double day);

// "基準日に修正(&C)": the typed date moved to the nearer Julian day 20n + 0.5
// (the later one on a tie). false (fields unchanged) when a field is empty,
// the month is outside 1..12 or the day outside [1, 32).
bool SnapToStandardDate(std::string& year, std::string& month, std::string& day, int dayDecimals);

// The 1/a block of the original-and-future report. A leg that stopped short
// of 250 AU (the planetary file's end, an impact) gives an osculating 1/a that
// classifies nothing: it is marked so, and no change of energy is concluded.
std::string FormatInverseAReport(double original, double future, bool originalReached = true,
                                 bool futureReached = true);

class ForecastModel {
public:
  explicit ForecastModel(CDetermination* view);
  ~ForecastModel();
  ForecastModel(const ForecastModel&) = delete;
  ForecastModel& operator=(const ForecastModel&) = delete;

  IntegrationState& State() { return *m_pState; }
  const CloseApproachRecord* Approach() const { return m_pApproach.get(); }
  CDetermination* View() const { return m_pView; }

  // Sets the state's end time from the mode and the epoch fields (0: nothing to run).
  void CheckEpochRange(ForecastForm& form, IntegrationState& state);
  // Prepares the dialog's state from the view's solution; false when nothing
  // may run. bTestImpactor: in developer mode with Ctrl down the solution is
  // replaced by an orbit that hits the chosen body at the end time.
  bool ComputeElementsAtEpoch(ForecastForm& form, bool bTestImpactor = false);
  // "計算(&C)" in the state's mode (in developer mode with Ctrl and Shift down
  // the test observations instead). The code of the last run, -1 when none ran.
  int Calculate(ForecastForm& form);
  // Observations of an object that hits the chosen body at the typed epoch,
  // written into the data folder and loaded into the view. 0 made, -1 not.
  int GenerateTestObservations(ForecastForm& form);
  // Loads an observation file into the view as its open command does and
  // gives the number of observations (set by the window; tests load directly).
  std::function<int(const std::string& path)> m_openObsFile;
  // One leg of mode 3: its result and log texts and its 1/a.
  int RunForecastLeg(ForecastForm& form, int mode, std::string& result, std::string& log, double& inverseA,
                     bool& reached,
                     std::string& heading);
  // "誤差の伸びを測る(&G)"; confirm asks the question and says whether to go on.
  int MeasureErrorGrowth(ForecastForm& form, bool (*confirm)(CDetermination* view));
  // "衝突確率(&P)". The code of ComputeImpactProbability, or -1 when it was not called.
  int ImpactProbability(ForecastForm& form);
  // The close approaches of the chosen body from the last run.
  void ShowBodyApproaches(ForecastForm& form);
  // Clone count of the combo text ("0" or unreadable: 300).
  static int CloneCount(const std::string& text);
  int BodyIndex(ForecastForm& form);

private:
  bool CopySolution(ForecastForm& form, IntegrationState& state, bool bTestImpactor = false);
  bool ApplyTestImpactor(ForecastForm& form, IntegrationState& state);
  // The selected body 0..9 for the developer aids, else a message and -1.
  int TestBody(ForecastForm& form, const char* message);
  int RunCurrentMode(ForecastForm& form);

  CDetermination* m_pView;
  std::unique_ptr<IntegrationState> m_pState;
  std::unique_ptr<CloseApproachRecord> m_pApproach;
  std::unique_ptr<ImpactTrackerSet> m_pImpacts;
};
