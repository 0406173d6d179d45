#pragma once
// Supporting operations of the improvement procedures, operations of the
// orbit-determination view on its engine and observation set: a staged start
// that leaves out the old observations beyond a jump of the residuals,
// snapshots of a solution that can be restored, re-enabling every
// observation, and a trial of one non-gravitational model. The AI
// improvement strings them together; the view's station-exclusion and
// non-gravitational tests use the snapshots.
#include <string>
#include <vector>

struct FitRun;
struct OrbitEngine;

// One saved solution, owned by the caller. It stays valid until its owner
// saves over it; restoring it does not invalidate it.
struct SolutionSnapshot {
  int valid = 0;             // 1 once saved
  double elements[9] = {};   // T, peri, node, incl (rad), q, e, A1, A2, A3
  double meanResidual = 0;   // arcsec
  int usableCount = 0;       // not rejected, station known, a real time
  int nonGrav = 0, nonGravModel = 0, nonGravA3 = 0;
  double errors[12] = {};    // m_dErrT, Peri, Node, Incl, Q, E, A1, A2, A3, A, P, N
  int errValid = 0;
  int usedObs = 0;           // m_nUsedObs
  std::vector<unsigned char> rejected;  // every observation's rejected flag (count + 1 bytes)
  int flagCount = 0;         // observations when saved
};

// Scans back from the newest observation for two in a row whose larger
// residual component is at least 1000"; with more than four usable
// observations after that jump, rejects the older ones that were usable, logs
// "段階改良: ..." and returns how many it rejected. With four or fewer it
// takes back every older observation (known station, not rejected by hand)
// and returns 0; no jump: 0.
int StageByResidualJump(FitRun& run, std::string& log);

void SaveSolution(FitRun& run, SolutionSnapshot& snapshot);
// Elements (a, n, M derived at the state's epoch), non-gravitational
// settings with their check boxes and model, the rejected flags of the first
// min(saved, loaded) observations, mean residual and used count come back;
// the correction's history flags are cleared; then RestoreSolutionDisplay.
// Nothing without a valid snapshot.
void RestoreSolution(FitRun& run, const SolutionSnapshot& snapshot);
// The uncertainties; the observer gets the area-to-mass texts of model 3 and
// the verdict colour of the non-gravitational labels.
void RestoreSolutionDisplay(FitRun& run, const SolutionSnapshot& snapshot);
// Every observation rejected exactly when rejected by hand or its station
// is unknown; logs "  全観測を有効化: 有効%d個".
void EnableAllObservations(FitRun& run, std::string& log);
// Restores the snapshot, switches on non-gravitational model 0..3 (A3 off,
// parameters reset) and runs IterateImprovement(x, 40, log, 0); its result.
int TryNonGravModel(FitRun& run, int model, const SolutionSnapshot& snapshot, double epochJdTT,
                    std::string& log);

// The model (0 for one outside 0-3) into the engine; radiation pressure (3)
// acts along the radius only: A2, A3 and the A3 switch are cleared.
void SelectNonGravModel(OrbitEngine* engine, int model);
// A1 = 1e-10, A2 = A3 = 1e-11 (0 for model 3) in the engine.
void ResetNonGravValues(OrbitEngine* engine);

// Area-to-mass ratio (m²/kg) of a radiation-pressure A1 (AU/day²).
double AreaToMassRatio(double a1);
