#include "engine/triplet_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "engine/correction_step.h"
#include "engine/fit_run.h"
#include "engine/improvement_epoch.h"
#include "engine/observation_picking.h"
#include "engine/orbit_engine.h"
#include "engine/view_fit_run.h"
#include "engine/preliminary_orbit.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr double kSpacings[] = {32.0, 21.0, 14.0, 7.0, 3.0};
constexpr double kFractions[] = {0.5, 0.25, 0.75};
constexpr int kSpacingDeterminationsMax = 12;
constexpr int kCursorStepsMax = 40;
constexpr int kRepresentativesMax = 24;
constexpr int kExhaustiveTriesMax = 250;
constexpr double kNoScore = 9e9;
constexpr double kPickMissMaxArcsec = 3600.0;

// One call's search: the usable observations (indices, time order), the
// candidates and the counters.
class TripletSearch {
public:
  TripletSearch(FitRun& run, int limit) : run_(run), det_(*run.det), limit_(limit) {
    for (int i = 0; i < det_.m_nObsCount; ++i)
      if (KnownAndNotByHand(det_.m_pOrbObs[i])) usable_.push_back(i);
  }

  int UsableCount() const { return static_cast<int>(usable_.size()); }
  // 1 found, 0 none, -9 cancelled.
  int BySpacing();
  int ByFraction();
  int Exhaustive(std::string& log);
  int ReuseCandidate(std::string& log);
  // The picks of the orbit found.
  int m_picks[3] = {-1, -1, -1};
  // Some triplet was marked as the list's picks.
  bool m_marked = false;

private:
  double Tt(int index) const { return det_.m_pOrbObs[index].m_dJdTt; }
  // Determines and scores a triplet: 1 search done, 0 go on, -9 cancelled.
  int Try(int a, int b, int c, bool score = true);
  // The usable observation nearest target within tolerance, other than the
  // excluded ones (the later one on equal distance); -1 when none.
  int Nearest(double target, double tolerance, int exclude1, int exclude2) const;
  std::vector<int> Representatives() const;

  FitRun& run_;
  DetClass& det_;
  int limit_;
  std::vector<int> usable_;
  TripletCandidate candidates_[kTripletCandidatesMax]{};
  int candidateCount_ = 0, acceptedCount_ = 0;
};

// An orbit that does not pass through its own three observations: the
// general method can converge on a root with the object behind the observer
// (a negative geocentric distance), which puts the picks half a sky away.
bool MissesItsPicks(const DetClass& det) {
  for (int k = 0; k < 3; ++k) {
    if (!det.m_bParabolicMethod && !(det.m_dRho[k] > 0.0)) return true;
    const double miss = std::fmax(std::fabs(det.m_dPickResRa[k]), std::fabs(det.m_dPickResDec[k])) * kArcsecPerRad;
    if (!(miss < kPickMissMaxArcsec)) return true;
  }
  return false;
}

void MarkPicks(DetClass& det, int a, int b, int c) {
  for (int i = 0; i < det.m_nObsCount; ++i)
    det.m_pOrbObs[i].m_bPicked = (i == a || i == b || i == c) ? 1 : 0;
}

int TripletSearch::Try(int a, int b, int c, bool score) {
  int p[3] = {a, b, c};
  std::sort(p, p + 3);
  // The same observation twice cannot make three picks.
  if (p[0] == p[1] || p[1] == p[2]) return 0;
  MarkPicks(det_, p[0], p[1], p[2]);
  m_marked = true;
  const int r = DetermineInitialOrbit(&det_, run_.engine);
  if (r == kEngineCancelled) return kEngineCancelled;
  if (r != 0 || MissesItsPicks(det_)) return 0;
  std::copy(p, p + 3, m_picks);
  if (!score) return 1;
  return ScoreTriplet(run_, p[0], p[1], p[2], limit_, candidates_, candidateCount_, acceptedCount_);
}

int TripletSearch::Nearest(double target, double tolerance, int exclude1, int exclude2) const {
  int best = -1;
  double bestDistance = 0.0;
  for (int i : usable_) {
    if (i == exclude1 || i == exclude2) continue;
    const double d = std::fabs(Tt(i) - target);
    if (d > tolerance) continue;
    if (best < 0 || d <= bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

int TripletSearch::BySpacing() {
  const double arc = Tt(usable_.back()) - Tt(usable_.front());
  int determinations = 0;
  for (size_t k = 0; k < std::size(kSpacings); ++k) {
    const double s = kSpacings[k], tolerance = s / 3.0;
    double cursor = 9e99;
    for (int step = 0; step < kCursorStepsMax; ++step) {
      if (s < 7.0 && arc > 60.0 && candidateCount_ == 0 && k > 0)
        run_.observer->ShowProgress("広い間隔の3点が作れないため、狭い間隔で探索中…");
      int third = -1;
      for (int i : usable_)
        if (Tt(i) < cursor) third = i;
      if (third < 0) break;
      const int second = Nearest(Tt(third) - s, tolerance, third, -1);
      const int first = second < 0 ? -1 : Nearest(Tt(second) - s, tolerance, second, third);
      if (first >= 0) {
        if (determinations >= kSpacingDeterminationsMax) return 0;
        ++determinations;
        const int r = Try(first, second, third);
        if (r != 0) return r;
      }
      cursor = Tt(third) - std::max(s / 2.0, 2.0);
    }
  }
  return 0;
}

int TripletSearch::ByFraction() {
  const int n = UsableCount();
  for (double f : kFractions) {
    int k = std::max(1, static_cast<int>((n - 1) * f));
    if (k >= n - 1) k = n - 2;
    const int r = Try(usable_.front(), usable_[k], usable_.back());
    if (r != 0) return r;
  }
  return 0;
}

// Middle member of every nightly cluster, and its first and last member
// when it spans more than 0.2 day; at most 24, in time order.
std::vector<int> TripletSearch::Representatives() const {
  std::vector<int> reps;
  const int n = UsableCount();
  for (int start = 0; start < n;) {
    int end = start;
    while (end + 1 < n && Tt(usable_[end + 1]) - Tt(usable_[end]) <= 1.0) ++end;
    reps.push_back(usable_[(start + end) / 2]);
    if (end > start && Tt(usable_[end]) - Tt(usable_[start]) > 0.2) {
      reps.push_back(usable_[start]);
      reps.push_back(usable_[end]);
    }
    start = end + 1;
  }
  const int m = static_cast<int>(reps.size());
  if (m > kRepresentativesMax) {
    std::vector<int> kept;
    for (int k = 0; k < kRepresentativesMax; ++k)
      kept.push_back(reps[static_cast<int>(k * (m - 1) / 23.0 + 0.5)]);
    reps = kept;
  }
  std::stable_sort(reps.begin(), reps.end(), [this](int a, int b) { return Tt(a) < Tt(b); });
  return reps;
}

int TripletSearch::Exhaustive(std::string& log) {
  const std::vector<int> reps = Representatives();
  struct Triplet {
    int a, b, c;
    double key;
  };
  std::vector<Triplet> triplets;
  const int m = static_cast<int>(reps.size());
  for (int a = 0; a < m; ++a)
    for (int b = a + 1; b < m; ++b)
      for (int c = b + 1; c < m; ++c) {
        const double g1 = Tt(reps[b]) - Tt(reps[a]), g2 = Tt(reps[c]) - Tt(reps[b]);
        double key = std::min(g1, g2);
        if (g1 > 100.0 || g2 > 100.0) key -= 1000000.0;
        triplets.push_back({reps[a], reps[b], reps[c], key});
      }
  std::stable_sort(triplets.begin(), triplets.end(), [](const Triplet& x, const Triplet& y) { return x.key > y.key; });
  const int total = std::min(static_cast<int>(triplets.size()), kExhaustiveTriesMax);
  for (int i = 0; i < total; ++i) {
    if (i % 8 == 0) {
      run_.observer->ShowProgress(FormatC("3観測の組み合わせを総当たりで探索中… %d/%d", i + 1, total).c_str());
      Ui().PumpOneEvent();
    }
    const int r = Try(triplets[i].a, triplets[i].b, triplets[i].c);
    if (r == 1) log += FormatC("3点は総当たり探索で決定(かたまり%d個から%d通り目)\r\n", m, i + 1);
    if (r != 0) return r;
  }
  return 0;
}

int TripletSearch::ReuseCandidate(std::string& log) {
  if (candidateCount_ == 0) return 0;
  const int k = std::min(limit_, candidateCount_ - 1);
  const TripletCandidate& c = candidates_[k];
  const int r = Try(c.first, c.second, c.third, false);
  if (r == 1)
    log += FormatC("新しい3点の組が尽きたため、候補%d組のうち%d番目を再度使用(近傍の平均残差 %.1f\")\r\n",
                   candidateCount_, k + 1, c.score);
  return r;
}

void FinishFound(FitRun& run, const int picks[3], std::string& log) {
  OrbitEngine* engine = run.engine;
  DetClass* det = run.det;
  ElementBlock& el = engine->m_state.m_el;
  if (el.m_dE == 1.0) ComputeParabolicResiduals(run);
  // The improvement integrates the angles: the vectors follow them.
  SyncOrientationVectors(el);
  ProposeEpoch(run, det->m_pOrbObs[picks[1]].m_dJdTt);
  ResetPreliminaryNonGravValues(el);
  engine->m_nCalcState = kCalcPreliminary;
  log += "暫定軌道決定: " + WholeDayText(det->m_pOrbObs[picks[0]].m_dJdTt) + "・" +
         WholeDayText(det->m_pOrbObs[picks[1]].m_dJdTt) + "・" + WholeDayText(det->m_pOrbObs[picks[2]].m_dJdTt) +
         FormatC(" の3観測(全%d観測)から%sで決定\r\n", det->m_nObsCount,
                 det->m_bParabolicMethod ? "放物線軌道(バナキェヴィッチ法)" : "一般軌道(ガウス・マートン法)");
  run.observer->ShowProgress(nullptr);
  run.observer->PicksChanged(3);
}

void FinishNotFound(FitRun& run) {
  DetClass* det = run.det;
  for (int i = 0; i < det->m_nObsCount; ++i) det->m_pOrbObs[i].m_bPicked = 0;
  run.observer->PicksChanged(0);
  run.engine->m_nCalcState = kCalcPreliminaryFailed;
}

}  // namespace

int ScoreTriplet(FitRun& run, int first, int second, int third, int limit, TripletCandidate* candidates,
                 int& candidateCount, int& acceptedCount) {
  const OrbitEngine* engine = run.engine;
  const ElementBlock& el = engine->m_state.m_el;
  const double q = el.m_dQ, e = el.m_dE, T = el.m_dT;
  if (!(q > 0.00465 && q < 1000.0 && e >= 0.0 && e < 100.0 && T > 0.0)) return 0;
  if (e < 1.0) {
    const double a = q / (1.0 - e);
    if (!(a > 0.0 && a < 2000.0)) return 0;
  }
  if (engine->m_state.m_bAsteroid == 1 && !(e < 1.0)) return 0;
  DetClass* det = run.det;
  if (e == 1.0) ComputeParabolicResiduals(run);

  const double t1 = det->m_pOrbObs[first].m_dJdTt, t3 = det->m_pOrbObs[third].m_dJdTt;
  const double m = std::max(1.0, (t3 - t1) / 2.0);
  double sum = 0.0;
  int n = 0;
  for (int i = 0; i < det->m_nObsCount; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!KnownAndNotByHand(o) || o.m_bPicked || o.m_dJdTt < t1 - m || o.m_dJdTt > t3 + m) continue;
    sum += LargerResidualArcsec(o);
    ++n;
  }
  const double score = n > 0 ? sum / n : kNoScore;
  if (candidateCount < kTripletCandidatesMax) candidates[candidateCount++] = {first, second, third, score};
  ++acceptedCount;
  return acceptedCount > limit ? 1 : 0;
}

int SelectTripletAndDetermine(FitRun& run, std::string& log, int limit) {
  run.observer->ShowProgress("3観測を選定して暫定軌道を決定中…");
  if (!run.det->m_pOrbObs) return -1;
  TripletSearch search(run, limit);
  if (search.UsableCount() < 3) return -1;
  int r = search.BySpacing();
  if (r == 0) r = search.ByFraction();
  if (r == 0) r = search.Exhaustive(log);
  if (r == 0) r = search.ReuseCandidate(log);
  if (r == kEngineCancelled) {
    // The list's picks are those of the determination that was cancelled.
    if (search.m_marked) run.observer->PicksChanged(3);
    return kEngineCancelled;
  }
  if (r == 1) {
    FinishFound(run, search.m_picks, log);
    return 0;
  }
  FinishNotFound(run);
  return -1;
}

int ScoreTriplet(CDetermination& view, int first, int second, int third, int limit, TripletCandidate* candidates,
                 int& candidateCount, int& acceptedCount) {
  return ScoreTriplet(ViewFitRun(view).Run(), first, second, third, limit, candidates, candidateCount,
                      acceptedCount);
}

int SelectTripletAndDetermine(CDetermination& view, std::string& log, int limit) {
  return SelectTripletAndDetermine(ViewFitRun(view).Run(), log, limit);
}
