#pragma once
// The distance scan, a developer's way to a first orbit for a short arc
// without picking observations: the direction and angular motion of the
// object at the middle of the arc are fitted, then a grid of geocentric
// distances ρ and range rates ρ̇ is tried; each trial state at the middle
// time becomes an orbit whose mean residual over all observations comes from
// the full perturbed model (ImproveOrbitIteration without correction). The
// best trial is left in the engine for a manual improvement; with none the
// user's orbit stays as it was.
//
// Reports through message boxes, the calculation log and the operation log.
// Runs under the busy guard and keeps events flowing; Esc (the latch of the
// windows' Esc event filter) or the engine's cancel flag stops it.
class CDetermination;
struct OrbitEngine;

inline constexpr double kKmPerSecondInAuPerDay = 0.0005775483273639938;
inline constexpr double kScanRejected = 1e9;  // cost of a rejected trial

// Texts of the scan.
inline constexpr const char* kMsgScanNoObservations = "先に観測ファイルを読み込んでください。";
inline constexpr const char* kMsgScanTooFew = "有効な観測が5個未満です。距離走査には足りません。";
inline constexpr const char* kMsgScanFitFailed =
    "可観測量(方向と角速度)のあてはめに失敗しました。\r\n中央時刻の付近に同一観測所の観測が2個以上必要です。";

// Command 1062 with developer mode and Shift or Caps Lock: the whole scan.
void RunDistanceScan(CDetermination& view);

// Least squares of y against x: a straight line for 2 to 4 points, a
// parabola for 5 or more. value and rate at x = 0. 0, or -1 for fewer than
// 2 points or singular normal equations. The abscissa is scaled by its
// largest magnitude first, so that a tracklet of minutes fits as well as one
// of days.
int FitValueAndRate(const double* x, const double* y, int count, double& value, double& rate);

// Mean residual (arcsec) of the orbit through the heliocentric state
// (AU, AU/day, J2000 equatorial) at t0 (JD TT), left in the engine; kScanRejected
// unless 0.2 ≤ q ≤ 2 AU and 0 ≤ e ≤ 0.9 and the residual step succeeds.
double DistanceScanCost(OrbitEngine* engine, double t0, const double position[3], const double velocity[3]);
