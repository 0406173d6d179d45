#pragma once
// The automatic triplet search: chooses three observations by itself,
// computes a preliminary orbit from them and judges it by the residuals of
// the observations around the picks. For the AI improvement (one call per
// attempt) and the NEOCP scan.
//
// Usable observation: station known and not rejected by hand (automatically
// rejected ones are usable here). Four phases, the search stopping as soon
// as more than `limit` triplets were accepted (attempt L takes the (L+1)-th
// acceptable triplet): 1. triplets spaced 32, 21, 14, 7 and 3 days counted
// back from the end of the arc (at most 12 determinations); 2. the first,
// one at 1/2, 1/4, 3/4 of the sequence, and the last; 3. an exhaustive
// search over at most 24 representatives of the nightly clusters (at most
// 250 triplets, widest gaps first); 4. the reuse of candidate min(L, n - 1)
// accepted earlier in this call.
#include <string>

class CDetermination;
struct FitRun;

// An accepted triplet: observation indices (time order) and the mean
// residual (arcsec) of the observations around it.
struct TripletCandidate {
  int first, second, third;
  double score;
};
inline constexpr int kTripletCandidatesMax = 64;

// Judges the orbit that DetermineInitialOrbit has just left in the engine
// for picks first < second < third. An orbit outside 0.00465 < q < 1000 AU,
// 0 ≤ e < 100, T > 0, 0 < a < 2000 AU (ellipses), or not an ellipse in
// minor-planet form, is neither kept nor counted. Otherwise the score is the
// mean of max(|Δα cos δ|, |Δδ|) over the usable, unpicked observations
// within max(1 day, half the picks' span) of the picks (9e9 with none); the
// first 64 are stored. 1 when the accepted count now exceeds limit.
int ScoreTriplet(FitRun& run, int first, int second, int third, int limit, TripletCandidate* candidates,
                 int& candidateCount, int& acceptedCount);

// The search (limit = the caller's attempt number, from 0). A determination
// whose orbit misses one of its own picks by 1° or more, or (general method)
// puts a pick at a geocentric distance not above 0, counts as failed. Lines go to log;
// progress texts to the observer. Returns
//   0  orbit determined: picks marked, Epoch proposed, calculation state 3;
//  -1  none found (picks cleared, state 6), or fewer than 3 usable
//      observations (nothing changed);
//  -9  a determination was cancelled (the engine's cancel flag).
// Does not take the busy guard; the caller holds it. The proposed Epoch
// becomes the run's epoch option as well.
int SelectTripletAndDetermine(FitRun& run, std::string& log, int limit);

// The same on the orbit-determination view (its options read now).
int ScoreTriplet(CDetermination& view, int first, int second, int third, int limit, TripletCandidate* candidates,
                 int& candidateCount, int& acceptedCount);
int SelectTripletAndDetermine(CDetermination& view, std::string& log, int limit);
