#pragma once
// Picking the three observations of a preliminary orbit in the
// orbit-determination view's observation list, and the residuals of every
// observation for a parabola. The procedures run on a FitRun; the click
// handler is the view's thin wrapper around them.
#include "data/observation_record.h"
#include "engine/orbit_engine.h"

class CDetermination;
struct FitRun;

// Texts of the result edit.
inline constexpr const char* kMsgPickHint = "観測データをクリックして3つの観測を選択すると軌道決定できます。";
inline constexpr const char* kMsgPickCancelled = "軌道決定を中止しました。3点を選び直してください。";
inline constexpr const char* kMsgPickFailed = "解が求まらなかったので計算を中止しました[1]。";

// The larger of an observation's two residuals, in arcseconds.
double LargerResidualArcsec(const ObservationRecord& o);

// What a click on a row did to the picks.
enum PickOutcome : int {
  kPickIgnored = 0,              // no row, nothing loaded, or a fatal state: nothing happens
  kPickLocked = 1,               // the picks stay (no picking state, or three picked already)
  kPickSet = 2,                  // the row is picked, fewer than three in all
  kPickCleared = 3,              // the row's pick is cleared
  kPickClearedAfterFailure = 4,  // the same after a failed determination (the hint is due again)
  kPickThird = 5,                // the third pick: DeterminePickedOrbit is due
};
// Toggles the pick of row nItem and sets the picking state; picked becomes
// the number of picks (left as it was for kPickIgnored and for a state that
// takes no picks). Returns a PickOutcome.
int TogglePick(FitRun& run, int nItem, int& picked);
// The determination of the three picks: DetermineInitialOrbit and, on
// success, the element text (observer), the Epoch proposal, the residuals,
// the oriented vectors and the reset non-gravitational parameters; the
// preliminary state. On failure its result (-9 cancelled) and the failed
// state.
int DeterminePickedOrbit(FitRun& run);

// Single click on row nItem of the observation list (-1 outside any row).
// Toggles the row's pick; the third pick runs DetermineInitialOrbit and, on
// success, shows the elements, proposes the Epoch (the 40-day grid point
// after the middle pick), fills the residuals, resets the non-gravitational
// parameters and writes the operation-log block. *pResult = 0.
void OnObsListClick(CDetermination& view, int nItem, long* pResult);

// The 40-day grid point after the middle pick (JD TT).
double EpochProposal(double middlePickJdTT);
// The same for a run: proposed to the observer, and the run's epoch option
// becomes the proposal as the Epoch fields give it back.
void ProposeEpoch(FitRun& run, double middlePickJdTT);
// A1 = 1e-10, A2 = A3 = 1e-11 and the three values after them (a, M, n) 0,
// as a new preliminary orbit leaves them.
void ResetPreliminaryNonGravValues(ElementBlock& el);
// Residual pair of every record of obs for the parabola of the engine's
// ElementBlock (T, q, P, Q), light time iterated; then the residual display
// is refreshed. A record whose place cannot be computed leaves [6] or [7] in
// DetClass::m_strError and keeps a zero pair; the loop goes on. For the
// run's observations; the observer shows the residuals.
void ComputeParabolicResiduals(FitRun& run);

// Command 1026: moves Olbers' ratio of the parabolic method by a secant step
// on the middle pick's residual (the first step after a determination only
// keeps the anchor and adds 0.01), then recomputes the parabola and the
// residuals. Leaves the state and the element text as they were.
void RefineParabolicRatio(FitRun& run);
