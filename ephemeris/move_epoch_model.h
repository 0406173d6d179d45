#pragma once
// The move-epoch view "入力して元期を移動" without its window: typed elements
// integrated with full perturbations to a new epoch on the engine of the
// current orbit-determination object. The view reaches its controls through
// MoveEpochForm by control id; tests give a form of plain fields.
#include <memory>
#include <string>
#include <vector>

#include "engine/integration_state.h"

class CDetermination;
class CloseApproachRecord;
class EngineWindow;
class ImpactTrackerSet;

enum MoveEpochControlId : int {
  kMeResult = 1000,
  kMeM = 1010,
  kMeA = 1012,
  kMeE = 1013,
  kMePeri = 1014,
  kMeNode = 1015,
  kMeIncl = 1016,
  kMeEpochMonth = 1020,
  kMeEpochDay = 1021,
  kMeEpochYear = 1024,
  kMeTYear = 1025,
  kMeQ = 1037,
  kMeA1 = 1102,
  kMeA2 = 1103,
  kMeA3 = 1104,
  kMeApproach = 1127,
  kMeNonGravGroup = 1141,
  kMeSnap = 1171,
  kMeCalc = 1172,
  kMeFormComet = 1173,
  kMeFormAsteroid = 1174,
  kMeMarsden = 1175,
  kMeYabushita = 1176,
  kMeNewYear = 1177,
  kMeNewMonth = 1178,
  kMeNewDay = 1179,
  kMeSample = 1181,
  kMeProgress = 1203,
  kMeStatus = 1204,
  kMeRoundTrip = 1208,
  kMeSpan = 1210,
  kMeTMonth = 1414,
  kMeTDay = 1416,
  kMeBody = 1437,
  kMeStep = 1438,
  kMeSet = 1503,
};

inline constexpr const char* kMoveEpochTitle = "入力して元期を移動";
inline constexpr const char* kMsgNewEpochTooNear =
    "新しいEpochは軌道要素のEpochからもう少し離れた日付を指定してください。";

// The view's controls as the computation sees them.
class MoveEpochForm {
public:
  virtual ~MoveEpochForm() = default;
  virtual std::string Text(int id) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual int Selection(int id) = 0;
  virtual int Checked(int id) = 0;
  virtual void SetReadOnly(int id, bool readOnly) = 0;
  // A combo box's entries, then its selection.
  virtual void SetItems(int id, const std::vector<std::string>& items, int selection) = 0;
  // The pane, bar or text as the engine's window (kMeResult, kMeApproach, kMeProgress, kMeStatus).
  virtual EngineWindow* Window(int id) = 0;
};

// "最接近", the ten bodies, then five slots for the set's members ("(なし)" beyond its size).
std::vector<std::string> MoveEpochBodyNames(int asteroidSet);
// The body selection kept when the list is refilled for a set of that many members.
int KeptBodySelection(int previous, int members);

// Perihelion distance and time of minor-planet elements (a AU, M rad at the
// epoch): q = a(1 - e) and the nearer perihelion passage. false for a <= 0
// or e outside [0, 1).
bool PerihelionFromMeanAnomaly(double a, double e, double M, double epoch, double& q, double& T);

class MoveEpochModel {
public:
  MoveEpochModel();
  ~MoveEpochModel();
  MoveEpochModel(const MoveEpochModel&) = delete;
  MoveEpochModel& operator=(const MoveEpochModel&) = delete;

  IntegrationState& State() { return *m_pState; }
  CloseApproachRecord* Approach() const { return m_pApproach.get(); }

  // The form as the view opens: comet form, Marsden, no asteroids, the step
  // list at "自動", the span of the planetary file, the bodies.
  void InitForm(MoveEpochForm& form);
  void OnFormComet(MoveEpochForm& form);
  void OnFormAsteroid(MoveEpochForm& form);
  void OnNonGravType(int type) { m_nNonGravType = type; }
  void OnAsteroidSetChange(MoveEpochForm& form);
  void FillBodyCombo(MoveEpochForm& form);
  void OnBodyChange(MoveEpochForm& form);
  void OnSample(MoveEpochForm& form);
  void OnSnapNewEpoch(MoveEpochForm& form);
  // "計算(&C)" on the current orbit-determination object (or the fallback).
  // The code of MoveEpochAndReport, or -1 when nothing ran.
  int Calculate(MoveEpochForm& form);

  int m_nElementForm = 0;   // 0 comet, 1 minor planet
  int m_nNonGravType = 0;   // 0 "Marsden Type II", 1 "Yabushita"
  int m_nAsteroidSet = 0;   // PerturberSet
  int m_bNonGrav = 0;       // A1, A2 or A3 non-zero at the last calculation

private:
  bool ReadNewEpoch(MoveEpochForm& form, double& end);
  void ReadElements(MoveEpochForm& form);
  int MemberCount() const;

  std::unique_ptr<IntegrationState> m_pState;
  std::unique_ptr<CloseApproachRecord> m_pApproach;
  std::unique_ptr<ImpactTrackerSet> m_pImpacts;
};
