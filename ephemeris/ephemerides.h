#pragma once
// The ephemeris view "位置推算" without its window: the form's controls by id
// (the ids of ephemeris_form.h), the mode switches, the element file and its
// records, the orbit handed to the tool windows, and the calculation that
// writes the table into the output box. CEphemerides itself is the headless
// form, a map from control id to {text, checked, enabled, read-only}; the
// window overrides the control calls with its widgets.
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "data/element_record.h"
#include "engine/controls_by_id.h"
#include "engine/tool_sinks.h"

class CDetermination;
class CVaisala;

// Messages of the view.
inline constexpr const char* kEphNoFirstReturn = "初回帰の彗星が見つかりませんでした。";
inline constexpr const char* kEphViewTitle = "位置推算";

class CEphemerides : public ControlsById {
public:
  // bRegister: the view becomes the registry's m_pEphemerides until it goes.
  explicit CEphemerides(bool bRegister = false);
  virtual ~CEphemerides();
  CEphemerides(const CEphemerides&) = delete;
  CEphemerides& operator=(const CEphemerides&) = delete;

  // ---- controls by id ----
  // The eccentricity field's text also applies the e rule.
  void SetItemText(int id, const std::string& text) override;
  // The local time now (the period a loaded record or the fill proposes).
  virtual std::time_t Now() const { return std::time(nullptr); }

  // ---- the form's set-up and switches ----
  // The form part of the initial update: comet law, day steps, daily motion,
  // comet form, standard layout, no element file, the e rule.
  void InitForm();
  void OnCometMagnitude();
  void OnAsteroidMagnitude();
  void OnCometElements();
  void OnAsteroidElements();
  void OnStepDays();
  void OnStepHours();
  void OnVariation();
  void OnDailyMotion();
  void OnHandbookLayout();
  // The e rule: "Variation" only for an e of at most 0.98.
  void OnEccentricityChange();
  // "入力例(&S)": the worked example (2024 RW1 over its impact).
  void OnSample();
  // a from q and e, M at the epoch from T; the asteroid form only for an ellipse.
  void DeriveAsteroidElements();
  // The three epoch fields from a Julian day (TT); emptied for 0 or less.
  void SetEpochFields(double jd);

  // ---- element files ----
  // Reads a file the user picks, with the record pick; shows the record (or
  // the first that passes the first-return filter).
  void OnOpenElementFile();
  void ShowRecord(int index);
  // The first record from start on, moving by step (+1 or -1), that passes
  // the first-return filter; -1 when none.
  int FindFirstReturnRecord(int start, int step);
  // The arrow moved by delta: true when another record was shown and computed.
  bool OnRecordSpin(int delta);
  void OnFirstReturnOnly();
  // The records of a file read elsewhere (tests, the comet list).
  void SetElements(std::vector<ElementRecord> records, int current);

  // ---- calculation and tool windows ----
  // "位置推算(&C)": reads the form, hands the orbit over, computes the table,
  // tests the approach to the Earth, writes the output box.
  void OnCalc();
  void PushElementsToWindows();
  void OnOrbitView();
  void OnGlobe();
  // Its command 32800: the magnitude curve opened and given the element set.
  void OnMagCurve();
  // Its command 32806: the observing-season chart opened and given the
  // element set, not the orbit determination's solution.
  void OnVisibilityChart();
  // Its command 32813: the search range opened and given the comet form's
  // fields as typed (the last calculation's orbit in the asteroid form).
  void OnSearchRange();

  // ---- state ----
  char m_chMagLaw = 'C';       // 'C' comet (H1, K1, H2, K2), 'M' asteroid (H0, G)
  char m_chStepUnit = 'D';     // 'D' days, 'H' hours
  int m_nMotionItem = 0;       // 0 daily motion, 1 variation for T + 1 day
  int m_nElementForm = 0;      // 0 comet form (T, q), 1 asteroid form (epoch, M, a)
  int m_bHandbookLayout = 0;   // 1: comet-handbook layout
  int m_nElements = 0;         // records of the loaded element file
  std::vector<ElementRecord> m_pElements;
  int m_nCurElement = 0;       // the record shown
  DisplayOrbit m_orbit;        // the orbit of the last calculation
  double m_dOrbitH = 0;        // its magnitude parameters: H and K (comet law) or H0 and G
  double m_dOrbitK = 0;
  double m_dOrbitStartJd = 0;  // 0h TT of the period's first day

protected:
  // The comet form's greyed a and M shown for the orbit being computed (M
  // emptied without an epoch).
  void ShowDerivedFields(bool hasEpoch);
  // The asteroid form's greyed T and q shown for the orbit being computed;
  // the T fields that stood for an absent epoch move to the epoch fields.
  void ShowCometFormFields(double T, double q, bool hasEpoch);
  void SetOutputText(const std::string& text) { SetItemText(kOutputId, text); }

private:
  static constexpr int kOutputId = 1044;
  bool m_bRegistered = false;
};

// The first-return filter for one record and the period's start (JD): an
// unnumbered periodic comet ("P/") discovered before its last aphelion.
bool PassesFirstReturn(const ElementRecord& record, double startJd);
// The discovery date (JD) read from the designation after the slash: the
// year, and the half-month letter six places after the slash (I and J share
// one; another character gives January 1). 0 for a year outside 1000-3000.
double FirstReturnDiscoveryJd(const std::string& name);

// FillEphemeridesFromCurrentOrbit's fill of an existing view from the
// orbit-determination view in state 3, 4 or 5; false (view untouched) when
// det is null or holds no orbit.
bool FillFromDetermination(CEphemerides& view, CDetermination* det);
// The same from the Väisälä view's chosen orbit: a parabola in the comet
// form, an ellipse in the asteroid form at its epoch; false (view untouched)
// when the view is null or holds no chosen orbit.
bool FillFromVaisala(CEphemerides& view, const CVaisala* vaisala);
