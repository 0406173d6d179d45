#pragma once
// The systematic ranging of the batch engine: for an object whose
// observations are too few or too short for the automatic improvement, the
// nominal orbit from an attributable, a grid of geocentric distances and
// range rates and a six-parameter fit; the clones from the fit's covariance
// or from the samples of the plausible region; then the Earth screening.
class CDeterminationDisplay;
class ScanProgress;
class EngineWindow;
struct NeocpScanRow;
struct NeocpScanSettings;

inline constexpr const char* kMsgRangingNoAttributable =
    "可観測量(方向と角速度)を求められません。同じ観測所の観測が2個以上要ります";
inline constexpr const char* kMsgRangingNoOrbit = "距離走査で観測に合う軌道が見つかりませんでした";
inline constexpr const char* kMsgRangingNominalFailed = "いちばん合う軌道を計算し直せませんでした";

// The fit's covariance gives the clones when the fit converged (code 0) to
// at most 3", its distance is known to better than 2 % and clones are wanted.
bool UseCovarianceClones(int fitCode, double fitRms, double relError, int clones);
// Those clones stay unless failures and clones beyond 5σ make more than 20 %
// of them; a loop that the pump ended keeps what it made.
bool KeepCovarianceClones(int failures, int beyond, int clones, int pumpCode);

// The screening's result (0, -1 or -9); -1 on its own failures (status 4, 5
// or 6), -9 when the scan was aborted (status 7). The engine's quiet pair,
// cancel flag and geocentric track buffer are restored on every path; the
// view ends with the ranging's nominal orbit, gravity only, every usable
// observation in use.
int RunSystematicRanging(CDeterminationDisplay& view, const NeocpScanSettings& settings, NeocpScanRow& row,
                         EngineWindow* window, ScanProgress* progress);
