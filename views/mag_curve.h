#pragma once
// The magnitude curve "光度曲線" without its window: the object and its
// observed magnitudes handed over by the orbit-determination view, the
// ephemeris view or the comet list; the comet law m = H + 5 log Δ + K log r
// and the asteroid H,G law fitted to them by least squares; the nucleus-size
// text; and the plot band drawn on an ISceneCanvas. The window derives from
// it and implements the control calls on its widgets; headless, the controls
// are a map from id to state.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/controls_by_id.h"
#include "engine/integration_state.h"
#include "engine/tool_sinks.h"
#include "views/mag_curve_gesture.h"
#include "views/mag_apparitions.h"
#include "views/scene_canvas.h"

// ---- control ids of the window ----
enum MagCurveControl : int {
  kMagLawComet = 1231,      // radio "彗星(&C)"
  kMagLawAsteroid = 1232,   // radio "小惑星(&M)"
  kMagFit = 1233,           // "フィット(&F)"
  kMagToEphemeris = 1234,   // "位置推算へ(&A)"
  kMagCopy = 1235,          // "コピー(&P)"
  kMagHEdit = 1236,
  kMagSlopeEdit = 1237,
  kMagRmsEdit = 1238,
  kMagParamGroup = 1239,    // group box "光度パラメータ": its top bounds the plot band
  kMagFixSlope = 1240,
  kMagFormula = 1241,       // hidden static: its rectangle receives the law formula
  kMagNucleusValue = 1242,
  kMagFixH = 1342,
  kMagZoomNow = 1343,
  kMagCompare = 1372,       // "回帰ごとに比較(&R)"
  kMagMessageEdit = 1373,
  kMagUseRejected = 1374,
  kMagUseNuclear = 1375,
  kMagInfoLaw = 1396,
  kMagInfoKind = 1397,
  kMagInfoCompare = 1398,
  kMagInfoUsed = 1399,
  kMagKindGroup = 1450,     // group box "天体の種類"
  kMagSlopeLabel = 1452,
  kMagRecommend = 1453,
  kMagSpinH = 1454,
  kMagSpinSlope = 1455,
  kMagShowObservations = 1484,
  kMagNucleusNote = 1485,
  kMagInfoNucleus = 1486,
};

inline constexpr const char* kMagCurveTitle = "光度曲線";

// One observed magnitude.
struct MagCurvePoint {
  double dJd;                    // observation time, JD TT
  double dMag;                   // observed magnitude
  double dR;                     // heliocentric distance, AU
  double dDelta;                 // distance from the observer, AU
  double dPhase;                 // phase angle, degrees
  int bTotal;                    // 1: band 'T' (total magnitude)
  int bExcluded;                 // 1: rejected, automatically or by hand
  double adSunFromObserver[3];   // the Sun from the observer, AU, J2000 equatorial
  double dRa, dDec;              // observed position, rad
  double dPosResidual;           // against the apparition's element set, arcsec; -1 not evaluated
  int nApparition;               // row of the apparition table, -1 none
  int nElementSet;               // nearest apparition element set, -1 none
};

// The saved state of one law across law switches.
struct LawSlot {
  int bValid, bFitted, bManual, bSlopeFixed, bHFixed;
  double dH, dSlope, dRms;
};

// One apparition of a periodic comet (filled by the apparition comparison).
struct ApparitionEntry {
  double dT;                     // perihelion time, JD TT
  double dQ, dE;                 // of the element set nearest to dT
  double dPeriod;                // days
  int nPoints, nTotal, nResid;
  double dMaxResid, dRmsResid;   // arcsec
};

// The band's geometry for a client size, and the ranges drawn.
struct MagPlotLayout {
  double dLeft, dRight, dTop, dBottom;  // plot rectangle, client pixels
  double dBand;                         // height of the plot band
  SceneRect rcGroup;                    // group box 1239
  int bHasGroup;
  double dTimeMin, dTimeMax;            // JD
  double dMagMin, dMagMax;              // dMagMin (brightest) at the top
  int bRangesValid;
};

// A diameter (km) by D = 1329 / sqrt(p) x 10^(-H/5), evaluated in that order.
double NucleusDiameterKm(double H, double albedo);
// Calendar date of a plot label: the day rounded, unless that passes the month's end.
void PlotDate(double jd, int& year, int& month, int& day);
// "%d/%d/%d" of PlotDate.
std::string PlotDateText(double jd);
// IAU phase functions of the H,G law, phase angle in degrees.
double PhaseFunction1(double phaseDeg);
double PhaseFunction2(double phaseDeg);

// What a magnitude-curve view holds: the object and its points, the law in
// force and the saved laws, the nucleus text, the gestures and zooms of the
// plot, the options, the apparition comparison and its table, and the
// oppositions. One value, so that the window and the tests can copy or
// compare it whole.
struct MagCurveState {
  double m_dT = 0, m_dQ = 0, m_dE = 0, m_dPeri = 0, m_dNode = 0, m_dIncl = 0;
  double m_dEpoch = 0;
  std::string m_strName;
  int m_bHasOrbit = 0;
  std::vector<MagCurvePoint> m_pPoints;
  int m_nPoints = 0;
  int m_bAsteroidLaw = 0;
  int m_bFitted = 0;
  double m_dH = 0, m_dSlope = 0, m_dRms = 0;
  int m_bManual = 0;
  int m_bSlopeSubstituted = 0;  // the last fit replaced a comet slope outside [2, 40] by 10
  std::string m_strNucleusText;
  int m_bDragCurve = 0, m_nDragHandle = 0;
  double m_dDragStartY = 0, m_dDragStartMag = 0, m_dDragLever = 1.0;
  int m_bRightBound = 0;
  double m_dRightJd = 0;
  int m_bLeftBound = 0;
  double m_dLeftJd = 0;
  int m_bPeriDrag = 0, m_nPeriDragX = 0;
  double m_dPeriDragLeft = 0, m_dPeriDragRight = 0;
  int m_bPan = 0, m_nPanX = 0;
  double m_dPanLeft = 0, m_dPanRight = 0;
  int m_bMagAxisDrag = 0;
  double m_dMagAxisDragY = 0, m_dMagAxisDragMin = 0;
  int m_bMagMinSet = 0;
  double m_dMagMin = 0;
  int m_bVPan = 0;
  double m_dVPanStartY = 0, m_dVPanStartOffset = 0, m_dMagPerPixel = 0, m_dVPanLimit = 0;
  double m_dMagOffset = 0;
  int m_bUseRejected = 0, m_bUseNuclear = 0, m_bShowObservations = 1;
  std::string m_strAltTitle;
  int m_bShowAltTitle = 0;
  SceneRect m_rcTitle;
  int m_bUseNonTotal = 0;
  int m_bCompare = 0, m_bCmpGeomValid = 0;
  double m_dCmpLeft = 0, m_dCmpRight = 0, m_dCmpTop = 0, m_dCmpBottom = 0, m_dCmpDayMin = 0, m_dCmpDayMax = 0,
         m_dCmpMagMin = 0, m_dCmpMagMax = 0;
  int m_bCmpZoomDays = 0;
  double m_dCmpZoomLeft = 0, m_dCmpZoomRight = 0;
  int m_bCmpZoomMag = 0;
  double m_dCmpZoomMag = 0;
  ApparitionEntry m_apparitions[40] = {};
  int m_nApparitions = 0, m_bApparitionsValid = 0, m_bApparitionsTried = 0, m_bCompareWanted = 0,
      m_bApparitionsCancelled = 0;
  std::string m_strApparitionSummary, m_strApparitionSummaryShort;
  int m_nElementSets = 0;
  double m_dElementStep = 0;
  std::vector<ApparitionElementSet> m_pElementSets;
  int m_nApparitionGeneration = 0;  // counts ClearApparitionComparison: a computation outlived by it is dropped
  double m_adOppositions[256] = {};
  int m_nOppositions = 0, m_bOppositionsValid = 0;
  LawSlot m_lawSlots[2] = {};
};

class CMagCurveDlg : public MagCurveSink, public ControlsById, public MagCurveState {
public:
  CMagCurveDlg();
  ~CMagCurveDlg() override;
  CMagCurveDlg(const CMagCurveDlg&) = delete;
  CMagCurveDlg& operator=(const CMagCurveDlg&) = delete;

  // ---- what the feeders call ----
  void SetObject(double T, double q, double e, double peri, double node, double incl, const std::string& name,
                 double H, double slope, int bAsteroidLaw) override;
  void SetSolution(const DisplayOrbit& orbit, const ObservationRecord* obs, int count,
                   const std::string& altTitle) override;
  void Clear() override;

  // ---- window state ----
  void UpdateLawLabels();
  void ShowFitResults();
  void ResetFixControls();
  void ChooseUsedMagnitudes();
  void ClearApparitionComparison();
  int IsSlopeFixed();
  int IsHFixed();
  // Which points count: shown (not excluded, or rejected ones used) and,
  // for the law, total magnitudes unless every magnitude takes part.
  bool IsShown(const MagCurvePoint& p) const { return !p.bExcluded || m_bUseRejected; }
  bool TakesPart(const MagCurvePoint& p) const { return IsShown(p) && (p.bTotal || m_bUseNonTotal); }

  // ---- control handlers ----
  void OnInitDialog();
  void OnCometLaw() { SwitchLaw(0); }
  void OnAsteroidLaw() { SwitchLaw(1); }
  // An arrow of 1454 (H) or 1455 (slope): delta <= 0 raises the value.
  void OnDeltaPosH(int delta, bool bShift);
  void OnDeltaPosSlope(int delta, bool bShift);
  void OnFixSlope();
  void OnFixH();
  void OnSendToEphemeris();
  void OnZoomToNow();
  void OnUseRejected();
  void OnUseNuclear();
  void OnShowObservations();

  // ---- law fits ----
  // 1 and the law's magnitude at t (floored at -10), or 0.
  int ModelMagnitude(double t, double& mag);
  // The law's magnitude for a point's stored geometry (no floor).
  double LawMagnitude(double r, double delta, double phaseDeg) const;
  // 1 when a law was fitted; messages only when not quiet. A comet slope
  // outside [2, 40] is replaced by 10: m_bSlopeSubstituted says so.
  int Fit(int bQuiet);
  void ComputeRms();
  // "フィット(&F)" and Enter in the H or slope edit: free or fixed fit.
  void OnFit();
  void RefitQuietly();
  void SolveThroughTwoPoints(double t1, double m1, double t2, double m2);
  void ShiftHThroughPoint(double t, double m);

  // ---- nucleus size ----
  // 1 with H2 (K2 = 5) from the shown non-total magnitudes when more than 2;
  // the free slope K2 when its fit succeeds. count is always set.
  int FitNucleusMagnitudes(double& H2, double& K2, int& bK2Valid, int& count) const;
  std::string NucleusText() const;
  void UpdateNucleusText();

  // ---- apparitions ----
  // 1 with the period (days) when the comet law is in force and the orbit is
  // an ellipse with a in (0, 2000] AU and a period over 30 days.
  int GetCometPeriod(double& period) const;
  // The distinct return numbers of the points (at most 64 collected).
  int CountFoldNumbers() const;
  int FindNearestElementSet(double t) const;
  // Element sets over the shown points' span, integrated with the planets by
  // the current orbit-determination view's engine; 1 on success.
  int ComputeApparitionElements();
  // Moves the apparition state to t; 1 on success. Virtual for tests that
  // stand in for the engine.
  virtual int IntegrateElementsTo(double t);
  void BuildApparitionTable();
  void AssignApparitions();
  // Check box 1372 and the window's timer 1.
  void OnCompareApparitions();
  void OnTimer(int id);
  // The hidden edit 1373 as the integration's message window.
  EngineWindow* MessageWindow();

  // ---- apparition comparison plot ----
  void DrawApparitionComparison(ISceneCanvas& g, int clientHeight, double left, double right, double top,
                                double bottom);
  // r at T0 + d0 + i x span/200, i = 0..200 (0 where the geometry fails).
  void SampleSunDistances(double T0, double d0, double span, double r[201]);
  // H + K log10 r against days over [c0, c1] inside the magnitude range.
  void DrawLawCurve(ISceneCanvas& g, const double r[201], double H, double K, double c0, double c1, double d0,
                    double span, double m0, double m1, const SceneRect& plot, uint32_t argb, float width);

  // ---- plot ----
  void GetPlotLayout(int width, int height, MagPlotLayout& layout);
  int GetPlotRanges(int width, int height, MagPlotLayout& layout, int bCurve);
  int GetOrbitOnlyRange(double& t0, double& t1, double& m0, double& m1);
  void ApplyTimeZoom(double& t0, double& t1) const;
  void ExtendRangeToCurve(double t0, double t1, double& mmin);
  void ComputeOppositions();
  void DrawPlot(ISceneCanvas& g, int width, int height, int bCopy);
  void DrawLawFormula(ISceneCanvas& g, float left, float top, float width, float height, uint32_t argb);
  void DrawDragArrow(ISceneCanvas& g, float x, float y, float h, uint32_t argb);
  // The runs of the formula (text, style 0 regular, 1 italic, 2 subscript, 3 italic subscript).
  struct FormulaRun {
    std::string text;
    int style;
  };
  std::vector<FormulaRun> FormulaRuns() const;

  // ---- mouse gestures on the plot band (client pixels) ----
  // The Down handlers return true when a gesture started and the mouse is
  // to be captured until the button comes up.
  bool OnLButtonDown(int x, int y);
  void OnMouseMove(int x, int y);
  void OnLButtonUp();
  bool OnRButtonDown(int x, int y);
  void OnRButtonUp();
  void OnCaptureChanged();
  // false when the turn is not the band's (the default handling runs).
  bool OnMouseWheel(double delta, bool bShift, int x, int y);
  MagCursor CursorAt(int x, int y);
  bool AnyGesture() const { return m_bDragCurve || m_bPeriDrag || m_bPan || m_bMagAxisDrag || m_bVPan; }
  // What (x, y) lies on in the time plot, with the ranges used.
  MagHit HitTimePlot(int x, int y, MagPlotLayout& L);
  // The scale of an end handle's drag: the spread of the law's variable
  // over the shown points, [t0, t1] when they span no time (1 with a fixed
  // slope or failed geometry).
  double HandleLever(double t0, double t1);

  // ---- controls by id (headless: the map; the window: its widgets) ----
  virtual bool HasWindow() const { return m_bHeadlessWindow != 0; }
  virtual bool HasItem(int id) const { return HasWindow() && id != 0; }
  // The rectangle of a control in client pixels; false when it has none.
  virtual bool ItemRect(int id, SceneRect& rect) const;
  // Repaints: the whole window, or the plot band (and the formula).
  virtual void Invalidate() {}
  virtual void InvalidatePlot(int bFormula) { (void)bFormula; }
  virtual void ClientSize(int& w, int& h) const { w = m_nHeadlessWidth, h = m_nHeadlessHeight; }
  // The one-shot 500 ms timer of the apparition comparison, (re)started or killed.
  virtual void RestartApparitionTimer() { m_bHeadlessTimerArmed = 1; }
  virtual void KillApparitionTimer() { m_bHeadlessTimerArmed = 0; }
  // The computer's local date and time as a Julian day (taken as it is).
  virtual double LocalNowJd() const;
  // A message box of the window, caption "光度曲線".
  void Message(const std::string& text, bool bInformation);

  // ---- state ----
  // What the view holds, as one value (see MagCurveState).
  MagCurveState& State() { return *this; }
  const MagCurveState& State() const { return *this; }
  // The integration of the apparitions' element sets while it runs (not part
  // of the state: a computation's working copy, owned here alone).
  std::unique_ptr<IntegrationState> m_pApparitionState;

  // Headless stand-ins for the window: whether its controls exist, its size.
  int m_bHeadlessWindow = 0;
  int m_nHeadlessWidth = 0, m_nHeadlessHeight = 0;
  int m_bHeadlessTimerArmed = 0;

private:
  // Radios 1231/1232 and the labels of the law in force.
  void ShowLawChoice();
  void SwitchLaw(int bAsteroid);
  void StepLaw(bool bSlope, int delta, bool bShift);
  void ClearZoom();
  void FreePoints();
  // The computation of the check box and the timer, once per orbit.
  void TryApparitions();
  // The nearest set when it lies within one step of t, else -1.
  int ElementSetForPoint(double t) const;
  // Geometry at t from the window's orbit: r, Δ and the Earth-Sun distance R (AU).
  bool GeometryAt(double t, double& r, double& delta, double& R);
  // The fixed fits of OnFit; with bQuiet the failures are silent.
  int FitFixed(bool bQuiet);
  void StoreLaw(double H, double slope);
  bool ReadNumberItem(int id, double& value);
  void DrawTimePlot(ISceneCanvas& g, int width, const MagPlotLayout& L, int bCopy);
  void DrawEventLines(ISceneCanvas& g, const MagPlotLayout& L);
  void DrawLawCurve(ISceneCanvas& g, const MagPlotLayout& L);
  void DrawNucleusCurve(ISceneCanvas& g, const MagPlotLayout& L);
  void DrawHandles(ISceneCanvas& g, const MagPlotLayout& L);
  // First and last times of the shown points; [t0, t1] when they span no time.
  void ShownTimeSpan(double t0, double t1, double& first, double& last) const;
  // The curve-handle drag of OnMouseMove.
  void DragCurveTo(int y);
  // Ranges over the shown points (steps 1-6); false when none is shown.
  bool PointRanges(double& t0, double& t1, double& m0, double& m1, bool bCurve);
  std::unique_ptr<EngineWindow> m_pMessageWindow;
};
