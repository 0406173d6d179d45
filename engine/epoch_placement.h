#pragma once
// Placement of the improvement epoch: the default epoch after the
// observations (before them when the object approaches the Earth at the end
// of the arc), the move of the elements to it by integration (with the
// re-placement after an Earth crossing and the automatic-step trial), and
// the trial runs that measure the step near perturbers.
#include <string>

#include "astro/constants.h"

struct OrbitEngine;
struct IntegrationState;
class CDetermination;
class EngineWindow;

// What one improvement call places with.
struct EpochPlacement {
  CDetermination* view;
  OrbitEngine* engine;
  IntegrationState* state;
  EngineWindow* resultEdit;
  double ttFirst, ttLast;  // JD TT of the span's ends
};

// An arc of at most a day that ends within ten Earth radii is one deep
// encounter: within it the Earth bends the path by degrees (some 10° at 2008
// TC3's five radii), which no heliocentric two-body orbit follows, so its
// epoch stays among its observations. Farther out (2018 LA's 21 radii, 2014
// AA's 60) the epoch before the span fits as it is.
inline constexpr double kShortArcDays = 1.0;
inline constexpr double kDeepEncounterAu = 10.0 * kEarthEquatorialRadiusKm / kAstronomicalUnitKm;

// E0: the 40-day grid point after the last observation, or the one at or
// before the first when the two-body orbit approaches the Earth (< 0.1 AU)
// at the end of the span so fast that the approach would lie before E0 (a
// calculation-log line says so). An arc of at most a day that ends within
// ten Earth radii gets 0h TT of its last observation's day
// instead: the two-body orbit first read as osculating at a grid point weeks
// before the encounter lacks the Earth's bending, and the fit diverges.
double DefaultImprovementEpoch(const EpochPlacement& p);

// Moves the state's elements from `from` to `target` by a calculation run.
// evenSteps: at least 40 equal steps over the interval, with the automatic
// step measured by a trial first (so is the move after a re-placement inside
// the span). mayReplace: a run that crossed the Earth within 0.01 AU places
// the epoch again (inside the span for a captured object, else before it)
// and moves there. placed receives the epoch the
// elements are at. 0, -1 (m_strMessage set), -2, -9.
int MoveElementsToEpoch(const EpochPlacement& p, double target, double from, bool evenSteps, bool mayReplace,
                        double& placed);

// A nominal-orbit calculation run on a heap copy of base (no attachments,
// probe flag, quiet) from its epoch to end with step |absStep| × direction
// and step control. level: the deepest halving level it reached; report:
// its run report. The run's code; -2 when the copy cannot be had.
int StepTrialRun(OrbitEngine* engine, const IntegrationState& base, double direction, double end, double absStep,
                 int& level, std::string& report);
