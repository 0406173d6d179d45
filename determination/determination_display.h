#pragma once
// The orbit-determination view's own behaviour without windows: what it
// shows of the engine's solution (element report, residual list, the
// non-gravitational fields and verdict, the element blocks), the hand-over
// of the orbit to the tool windows, and the members loading fills. The
// window class derives from it and implements the controls; tests and batch
// runs use it as it is.
#include <memory>
#include <string>

#include "determination/station_stats.h"
#include "engine/determination_host.h"
#include "engine/tool_sinks.h"

// Non-gravitational verdict of the last improvement.
enum NonGravVerdict : int {
  kVerdictNone = -1,
  kVerdictNotSignificant = 0,
  kVerdictDoubtful = 1,
  kVerdictPlausible = 2,
};

// Background colours (0xRRGGBB) of the three parameter fields by verdict.
inline constexpr unsigned kVerdictColours[3] = {0xFAE0E0, 0xFCF0D2, 0xDBF2DF};

class CDeterminationDisplay : public CDetermination {
public:
  using CDetermination::CDetermination;

  std::string m_szObsFile;          // the loaded observation file ("" none)
  std::string m_strPackNames;       // packed designations of the file, joined by "="
  std::string m_szFirstDesignation; // columns 1-12 of the first designation
  DisplayOrbit m_displayOrbit;      // the orbit last handed to the tool windows
  int m_nNonGravVerdict = kVerdictNone;
  int m_nReportMode = 0;            // last element-report mode
  int m_bSignature = 0;             // "計算者署名"
  int m_bExtendedDisplay = 0;       // "拡張表示"

  // ---- the engine's calls ----
  void ShowElementText(EngineWindow* edit, IntegrationState* state, int mode) override;
  void FormatElementBlock(int kind, double epoch, double T, double q, double e, double peri, double node,
                          double incl, double a, double M, const double P[3], const double Q[3]) override;
  void ShowImprovementResult(EngineWindow* result, OrbitEngine* engine, int bWithStepLog) override;
  void RefreshResidualList(ObservationRecord* obs, int shown) override;
  void ShowNonGravParams() override;
  // The operation log's blocks around a calculation (operation_log.cpp).
  void WriteOpLogCalcStart(const char* title) override;
  void WriteOpLogCalcEnd(const char* title, int result) override;
  // Command 32802: on, a new file in the data folder from the clock with its
  // start line; off, the stop line.
  void OnOpLogToggle();

  // ---- hand-over and the non-gravitational display ----
  // With a state: its elements become m_displayOrbit; then, when valid, the
  // open orbit diagram gets it. Null: m_displayOrbit sent again.
  void PublishElementsToViews(const IntegrationState* state, int mode);
  // A new observation file: the tool windows are emptied, m_displayOrbit invalid.
  void ResetToolWindows();
  // "(433) Eros", "29P/Schwassmann-Wachmann", ... of the file's first object.
  std::string FormatObjectDisplayName();
  // Model combo box and the controls of the model; A/M and its class for model 3.
  void ShowNonGravModelControls();
  // The verdict; the three value fields repainted when it changed.
  void UpdateNonGravVerdict();
  // 1/a and its 1-sigma; 1 when the sigma was formed.
  int ComputeInverseASigma(double q, double e, double& invA, double& sigma);

  // The close-approach body list (1439) for the engine's perturber set, its
  // selection kept while still valid.
  virtual void FillApproachBodies();

  // Residual statistics per station (by descending bias) and each
  // observation's station flag, which colours the list; empty while the
  // residuals are not shown. A residual refresh leaves them to be computed
  // when first asked for (EnsureStationStats: the list's paint, the
  // statistics window), not at every refresh of a run.
  std::unique_ptr<StationResidualStats[]> m_pStationStats;
  int m_nStationStats = 0;
  std::unique_ptr<unsigned char[]> m_pObsBiasFlag;
  int m_nObsBiasFlags = 0;
  void ComputeStationStats() override;
  virtual void FreeStationStats();
  // Computes the statistics when a refresh left them to be computed.
  void EnsureStationStats();
  bool m_bStationStatsStale = false;
  // Repaints one control (colours that depend on the view's state).
  virtual void RepaintItem(int id) { (void)id; }
  // The Epoch fields writable in developer mode or while the Epoch-field
  // option is on (the window's arrangement).
  virtual void ApplyDeveloperLayout() {}
};
