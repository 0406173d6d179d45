#include "engine/differential_correction.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "data/numerics.h"
#include "data/observation_record.h"
#include "data/step_texts.h"
#include "engine/close_approach.h"
#include "engine/correction_step.h"
#include "engine/determination_host.h"
#include "engine/epoch_placement.h"
#include "engine/force_model.h"
#include "engine/improvement_covariance.h"
#include "engine/improvement_epoch.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/step_trial_memo.h"
#include "engine/tool_sinks.h"
#include "platform/numbers.h"

namespace {

constexpr double kFirstCallMoveDays = 180.0;
constexpr double kLaterCallToleranceDays = 60.0;
constexpr double kSameEpochDays = 0.01;
constexpr double kTrialStepsBeyond = 5.5;
constexpr int kSolveMaskFree = 0x7F, kSolveMaskFixedE = 0x3F;


// The elements and epoch a failed first call puts back.
struct CallStart {
  ElementBlock el;
  double epoch, direction, obsFirst, obsLast;
  char mode;
  int calcState;
  std::string fields[3];
};

CallStart TakeCallStart(CDetermination* view, const OrbitEngine& engine) {
  const IntegrationState& s = engine.m_state;
  CallStart c{s.m_el, s.m_dEpoch, s.m_dDirection, s.m_dObsFirst, s.m_dObsLast, s.m_chMode, engine.m_nCalcState, {}};
  view->GetEpochFields(c.fields[0], c.fields[1], c.fields[2]);
  return c;
}

void PutBack(CDetermination* view, OrbitEngine& engine, const CallStart& c) {
  IntegrationState& s = engine.m_state;
  s.m_el = c.el;
  s.m_dEpoch = c.epoch;
  s.m_dDirection = c.direction;
  s.m_dObsFirst = c.obsFirst;
  s.m_dObsLast = c.obsLast;
  s.m_chMode = c.mode;
  engine.m_nCalcState = c.calcState;
  view->SetEpochFields(c.fields[0], c.fields[1], c.fields[2]);
}

void ClearCorrectionHistory(OrbitEngine& engine) {
  engine.m_bHaveSaved = 0;
  engine.m_bCorrectionStopped = 0;
  engine.m_nWorsenRetries = 0;
  engine.m_bDampingActive = 0;
}

// Bodies and solve mask of a correcting call.
void SetBodiesAndMask(const OrbitEngine& engine, IntegrationState& state) {
  const bool fixE = engine.m_pDet && engine.m_pDet->m_bFixEcc;
  int bodies = fixE ? 6 : 7, mask = fixE ? kSolveMaskFixedE : kSolveMaskFree;
  if (engine.m_bNonGrav) {
    if (engine.m_nNonGravModel == 3) {
      bodies += 1;
      mask += 0x80;
    } else if (!engine.m_bNonGravA3) {
      bodies += 2;
      mask += 0x180;
    } else {
      bodies += 3;
      mask += 0x380;
    }
  }
  state.m_nBodies = bodies;
  state.m_nSolveMask = mask;
}

// The element checks before integrating: "" when the elements can be integrated.
const char* ElementProblem(const ElementBlock& el) {
  for (double v : {el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode, el.m_dIncl})
    if (!std::isfinite(v)) return kMsgElementsNotFinite;
  if (el.m_dQ < 0.0 || el.m_dE < 0.0 || el.m_dIncl > kPi) return kMsgImpossibleElements;
  return "";
}

// The engine's row table serves the runs of one improvement call while the
// object lives.
class RowTableScope {
public:
  explicit RowTableScope(OrbitEngine& engine) : engine_(engine) {
    if (!engine_.m_bReuseWork) return;
    if (!engine_.m_pRowTable) engine_.m_pRowTable.reset(new (std::nothrow) PerturberRowTable);
    engine_.m_bRowTableActive = engine_.m_pRowTable ? 1 : 0;
  }
  ~RowTableScope() { engine_.m_bRowTableActive = 0; }
  RowTableScope(const RowTableScope&) = delete;
  RowTableScope& operator=(const RowTableScope&) = delete;

private:
  OrbitEngine& engine_;
};

class Improvement {
public:
  Improvement(OrbitEngine* engine, double x, int correct)
      : engine_(*engine), state_(engine->m_state), x_(x), correct_(correct) {}

  int Run();

private:
  int Prepare();
  int PlaceEpoch();
  void MeasureStep();
  void AttachApproachRecord();
  int IntegratePasses();
  int Residuals();
  int Fail(int code, const char* message, bool revert);

  OrbitEngine& engine_;
  IntegrationState& state_;
  CDetermination* view_ = nullptr;
  DetClass* det_ = nullptr;
  EngineWindow* result_ = nullptr;
  double x_;
  int correct_;
  double O_ = 0.0, F_ = 0.0;
  double ttFirst_ = 0.0, ttLast_ = 0.0;
  std::vector<double> table_;
  int split_ = -1;  // first observation of the forward pass when split, else -1
  double h_ = 0.0;  // |step| of the passes
  CloseApproachRecord* spareApproach_ = nullptr;  // the last call's record, between MeasureStep and the new one
  std::string subdivisionNote_, splitNote_;
  bool firstCall_ = false;
  bool restoreOnFailure_ = false;
  CallStart start_{};
};

int Improvement::Fail(int code, const char* message, bool revert) {
  if (message) engine_.m_strMessage = message;
  if (revert) RevertLastCorrection(&engine_, &state_);
  if (restoreOnFailure_) PutBack(view_, engine_, start_);
  return code;
}

int Improvement::Prepare() {
  O_ = engine_.m_dOsculatingEpoch;
  F_ = engine_.m_dFieldEpoch;
  engine_.m_dOsculatingEpoch = 0.0;
  engine_.m_dFieldEpoch = 0.0;
  if (view_->m_nBatchMode != 0) F_ = 0.0;
  // A trial orbit is measured from its own epoch, whatever the placement rules
  // would choose: near the Earth a far epoch needs steps the trial never gets.
  if (engine_.m_dPendingEpoch != 0.0) F_ = engine_.m_dPendingEpoch;
  engine_.m_dPendingEpoch = 0.0;
  engine_.m_nRingEntries = 0;
  engine_.m_dEphSeconds = engine_.m_dProducerCpu = engine_.m_dWorkerCpu = engine_.m_dCallerCpu = 0.0;
  engine_.m_strMessage.clear();
  // The track this run records into starts afresh unless it is kept; a run
  // with no track (the ranging's trial orbits) leaves the shared one alone.
  if (!g_bKeepGeoTrack && state_.m_pGeoTrack) state_.m_pGeoTrack->Reset();
  if (state_.m_pGeoTrack) state_.m_pGeoTrack->m_nSegment += 1;

  const int count = det_ && det_->m_pOrbObs ? det_->m_nObsCount : 0;
  if (count <= 0) {
    engine_.m_strMessage = kMsgAllRejected;
    return kEngineFailed;
  }
  try {
    table_.assign(static_cast<size_t>(count) * kVariedResidualStride, 0.0);
  } catch (const std::bad_alloc&) {
    return kEnginePerturbersFailed;
  }

  const ObservationRecord* obs = det_->m_pOrbObs;
  engine_.m_nFirstObs = 0;
  engine_.m_nLastObs = count - 1;
  if (engine_.m_bApophis) {
    int first = -1, last = -1;
    for (int i = 0; i < count; ++i)
      if (UsableInFit(obs[i]) && !obs[i].m_bByHand) {
        if (first < 0) first = i;
        last = i;
      }
    if (first < 0) {
      engine_.m_strMessage = kMsgApophisNoObservation;
      return kEngineFailed;
    }
    engine_.m_nFirstObs = first;
    engine_.m_nLastObs = last;
  }
  ttFirst_ = obs[engine_.m_nFirstObs].m_dJdTt;
  ttLast_ = obs[engine_.m_nLastObs].m_dJdTt;
  return kEngineDone;
}

int Improvement::PlaceEpoch() {
  const EpochPlacement p{view_, &engine_, &state_, result_, ttFirst_, ttLast_};
  // E0 (with its Earth check and log line) only where the epoch is placed.
  auto targetEpoch = [&] { return F_ != 0.0 ? F_ : DefaultImprovementEpoch(p); };
  bool placed = false;
  double epoch = 0.0;

  if (firstCall_) {
    const double target = epoch = targetEpoch();
    SetupIntegrationState(&engine_, &state_);
    engine_.m_nCalcState = kCalcImprovedPerturbed;
    const double from = (F_ != 0.0 && O_ == 0.0) ? F_ : x_;
    const bool move = target - from > kFirstCallMoveDays || (O_ != 0.0 && std::fabs(target - from) > kSameEpochDays);
    if (move) {
      const int r = MoveElementsToEpoch(p, target, from, F_ != 0.0, O_ == 0.0 && F_ == 0.0, epoch);
      if (r != 0) return r;
    }
    WriteEpochFields(view_, epoch);
    CheckEpochFieldRange(view_, &state_);
    placed = true;
  } else if (engine_.m_bApophis || engine_.m_bApophisPlaced || O_ != 0.0 || F_ != 0.0) {
    ResetApproachBookkeeping(&state_);
    const double target = epoch = targetEpoch();
    const double from = O_ != 0.0 ? O_ : F_ != 0.0 ? state_.m_el.m_dEpoch : x_;
    const double tolerance = (O_ == 0.0 && F_ == 0.0) ? kLaterCallToleranceDays : kSameEpochDays;
    if (std::fabs(target - from) <= tolerance) {
      if (F_ != 0.0) WriteEpochFields(view_, F_);
    } else {
      const int r = MoveElementsToEpoch(p, target, from, F_ != 0.0, false, epoch);
      if (r != 0) return r;
      WriteEpochFields(view_, epoch);
      if (F_ != 0.0) {
        ClearCorrectionHistory(engine_);
        view_->AppendCalcLog("計算者の指定により、元期を " + EpochDateText(from) + " から " + EpochDateText(epoch) +
                             " へ移動しました(摂動積分)。\r\n");
      }
    }
    CheckEpochFieldRange(view_, &state_);
    placed = true;
  }

  if (placed) {
    if (F_ != 0.0) {
      state_.m_dEpoch = epoch;
      state_.m_el.m_dEpoch = epoch;
      state_.m_dDirection = epoch <= ttLast_ ? 1.0 : -1.0;
    }
    engine_.m_bApophisPlaced = engine_.m_bApophis;
  }
  return kEngineDone;
}

// With the automatic step: nominal-orbit trials towards each end measure the
// step the approaches to perturbers need, and the passes use it fixed.
void Improvement::MeasureStep() {
  // The last call's record is prepared again for the passes; until then no
  // run writes into it and the graph no longer shows it.
  spareApproach_ = state_.m_pApproach;
  state_.m_pApproach = nullptr;
  if (spareApproach_) {
    if (engine_.m_bReuseWork) {
      spareApproach_->LeaveGraph();
    } else {
      delete spareApproach_;
      spareApproach_ = nullptr;
    }
  }
  engine_.m_strStepLog.clear();
  h_ = std::fabs(state_.m_dStep);
  if (!view_->AutomaticStepSelected()) return;

  struct Trial {
    double direction, end;
  };
  std::vector<Trial> trials;
  if (split_ >= 0) {
    trials.push_back({-1.0, ttFirst_});
    trials.push_back({1.0, ttLast_});
  } else {
    trials.push_back({state_.m_dDirection, state_.m_dDirection > 0 ? ttLast_ : ttFirst_});
  }
  int deepest = 0;
  std::string reports;
  std::vector<KeptStepTrial> kept;
  for (const Trial& t : trials) {
    if (split_ >= 0 && h_ * kTrialStepsBeyond >= std::fabs(t.end - state_.m_dEpoch)) continue;
    int level = 0;
    std::string report;
    if (KeptStepTrialRun(&engine_, state_, t.direction, t.end, h_, level, report, kept) == 0)
      deepest = std::max(deepest, level);
    reports += report;
  }
  engine_.m_keptTrials = std::move(kept);
  if (deepest > 0) {
    const double old = h_;
    h_ = h_ / std::ldexp(1.0, deepest);
    state_.m_dStep = h_ * (state_.m_dDirection < 0 ? -1.0 : 1.0);
    state_.m_dStep2 = state_.m_dStep * state_.m_dStep;
    state_.m_nStepClass = h_ >= 1.0 ? 0 : h_ >= 0.5 ? 1 : h_ >= 0.25 ? 2 : 3;
    subdivisionNote_ = "摂動天体への接近を検出: 改良の積分間隔を " + CTessaruneLib::FormatStepLengthWithDays(old) + " から " +
                       CTessaruneLib::FormatStepLengthWithDays(h_) + " に細分化しました\r\n";
  }
  engine_.m_strStepLog = reports + "改良本番の積分間隔: " + CTessaruneLib::FormatStepLengthWithDays(h_) + " (固定)\r\n";
}

// The approach record covers every time the passes integrate through.
void Improvement::AttachApproachRecord() {
  CloseApproachRecord* record = spareApproach_ ? spareApproach_ : new (std::nothrow) CloseApproachRecord;
  spareApproach_ = nullptr;
  if (!record) return;
  if (split_ >= 0) {
    record->Init(std::min(ttFirst_, ttLast_), std::max(ttFirst_, ttLast_), -h_);
  } else {
    const double farEnd = state_.m_dDirection > 0 ? ttLast_ : ttFirst_;
    record->Init(farEnd, state_.m_dEpoch, state_.m_dStep);
  }
  state_.m_pApproach = record;
  view_->ClearElementBlockTexts();
}

int Improvement::IntegratePasses() {
  double* output = table_.data();
  int result = 0;
  if (split_ >= 0) {
    engine_.m_nPassFirst = engine_.m_nFirstObs;
    engine_.m_nPassLast = split_ - 1;
    state_.m_dDirection = -1.0;
    state_.m_dStep = -h_;
    state_.m_dStep2 = h_ * h_;
    result = StartAndIntegrate(&engine_, result_, output, &state_);
    if (result == 0) {
      state_.m_dLastGridEpoch = 0.0;
      state_.m_dPrevStepTime = 0.0;
      if (state_.m_pGeoTrack) state_.m_pGeoTrack->m_nSegment += 1;
      if (CloseApproachRecord* record = state_.m_pApproach) {
        record->m_dStep = h_;
        for (int i = 0; i < kApproachSlots; ++i) {
          record->latest[i] = ApproachSample{0.0, kNoApproachDistance, 0.0};
          record->previous[i] = ApproachSample{0.0, kNoApproachDistance, 0.0};
        }
      }
      engine_.m_nPassFirst = split_;
      engine_.m_nPassLast = engine_.m_nLastObs;
      state_.m_dDirection = 1.0;
      state_.m_dStep = h_;
      state_.m_dStep2 = h_ * h_;
      result = StartAndIntegrate(&engine_, result_, output, &state_);
    }
  } else {
    state_.m_dStep = h_ * state_.m_dDirection;
    state_.m_dStep2 = h_ * h_;
    result = StartAndIntegrate(&engine_, result_, output, &state_);
  }
  engine_.m_nPassFirst = 0;
  engine_.m_nPassLast = -1;

  if (result == kEngineCancelled) return Fail(kEngineCancelled, nullptr, false);
  if (result == kEngineFailed || result == kEngineInitialStatesFailed) return Fail(kEngineFailed, kMsgPassesFailed, true);
  if (result == kEnginePerturbersFailed) return Fail(kEnginePerturbersFailed, kMsgPlanetaryData, false);
  if (split_ >= 0)
    splitNote_ = "元期(" + EpochDateText(state_.m_dEpoch) +
                 FormatC(")が観測期間の中にあるため、残差の積分を2回に分けました(元期より前の観測 %d個を逆行、元期以後の観測 %d個を順行)\r\n",
                         split_ - engine_.m_nFirstObs, engine_.m_nLastObs - split_ + 1);
  return kEngineDone;
}

int Improvement::Residuals() {
  const ObservationRecord* obs = det_->m_pOrbObs;
  int usable = 0;
  for (int i = 0; i < det_->m_nObsCount; ++i)
    if (UsableInFit(obs[i])) ++usable;
  // Nothing to fit or to average: fail rather than report a mean residual that is not a number.
  if (usable == 0) return Fail(kEngineFailed, kMsgAllRejected, false);

  if (state_.m_nBodies == 1) {
    engine_.m_nUsedObs = 0;
    state_.m_dResidualSum[0] = state_.m_dResidualSum[1] = 0.0;
    engine_.m_strStepNotes.clear();
    for (int i = 0; i < det_->m_nObsCount; ++i) {
      if (!UsableInFit(obs[i])) continue;
      const double ra = obs[i].m_dResRa * kArcsecPerRad, dec = obs[i].m_dResDec * kArcsecPerRad;
      engine_.m_nUsedObs += 1;
      state_.m_dResidualSum[0] += ra + dec;
      state_.m_dResidualSum[1] += ra * ra + dec * dec;
    }
  } else if (ApplyCorrection(&engine_, table_.data(), &state_) == 1) {
    return kEngineRedoStep;
  }
  const double used = 2.0 * engine_.m_nUsedObs;
  const double mean = std::sqrt(state_.m_dResidualSum[1] / used);
  if (!std::isfinite(mean)) return Fail(kEngineFailed, kMsgPassesFailed, true);
  engine_.m_dMeanSignedResidual = state_.m_dResidualSum[0] / used;
  engine_.m_dMeanResidual = mean;
  return kEngineDone;
}

int Improvement::Run() {
  view_ = CurrentDetermination();
  det_ = engine_.m_pDet;
  result_ = view_->ResultWindow();
  firstCall_ = engine_.m_nCalcState != kCalcImprovedPerturbed;
  start_ = TakeCallStart(view_, engine_);

  // 1. Preparation.
  int r = Prepare();
  if (r != kEngineDone) return r;

  // 2.-5. The epoch; a first call that fails puts everything back.
  restoreOnFailure_ = firstCall_;
  r = PlaceEpoch();
  if (r != kEngineDone) return Fail(r, nullptr, false);

  // 6. Bodies, mask and the settings snapshot.
  if (correct_ == 0) {
    state_.m_nBodies = 1;
    ClearCorrectionHistory(engine_);
  } else {
    SetBodiesAndMask(engine_, state_);
    const int fixE = det_->m_bFixEcc;
    if (engine_.m_bNonGrav != engine_.m_nSnapNonGrav || engine_.m_nNonGravModel != engine_.m_nSnapModel ||
        engine_.m_bNonGravA3 != engine_.m_nSnapA3 || fixE != engine_.m_nSnapFixE) {
      ClearCorrectionHistory(engine_);
      engine_.m_nSnapNonGrav = engine_.m_bNonGrav;
      engine_.m_nSnapModel = engine_.m_nNonGravModel;
      engine_.m_nSnapA3 = engine_.m_bNonGravA3;
      engine_.m_nSnapFixE = fixE;
    }
  }
  state_.m_nObsIndex = state_.m_nPrevObsIndex = 0;
  state_.m_chElementForm = state_.m_bAsteroid ? 'M' : 'C';
  state_.m_chMode = kModeImprovement;

  // 7. Split at the epoch.
  const ObservationRecord* obs = det_->m_pOrbObs;
  int k = engine_.m_nFirstObs;
  while (k <= engine_.m_nLastObs && obs[k].m_dJdTt < state_.m_dEpoch) ++k;
  split_ = (engine_.m_nFirstObs < k && k <= engine_.m_nLastObs) ? k : -1;
  if (split_ < 0) state_.m_dDirection = k > engine_.m_nLastObs ? -1.0 : 1.0;
  view_->ApplyStepSetting(&state_);

  // 8.-9. Step, approach record. From here on the runs share their planetary rows.
  const RowTableScope rows(engine_);
  MeasureStep();
  AttachApproachRecord();

  // 10. Elements that cannot be integrated.
  if (const char* problem = ElementProblem(state_.m_el); *problem) return Fail(kEngineFailed, problem, true);

  // 11. The passes.
  r = IntegratePasses();
  if (r != kEngineDone) return r;

  // 12. Residuals and correction.
  r = Residuals();
  if (r != kEngineDone) return r;
  restoreOnFailure_ = false;

  // 13. Covariance and uncertainties.
  if (state_.m_nBodies > 1) {
    ComputeImprovementCovariance(&engine_, &state_);
  } else {
    engine_.m_dErrT = engine_.m_dErrPeri = engine_.m_dErrNode = engine_.m_dErrIncl = engine_.m_dErrQ = 0.0;
    engine_.m_dErrE = engine_.m_dErrA = engine_.m_dErrP = engine_.m_dErrN = 0.0;
    engine_.m_dErrA1 = engine_.m_dErrA2 = engine_.m_dErrA3 = 0.0;
    engine_.m_bErrValid = 0;
  }

  // 14. Notes and display.
  engine_.m_strStepNotes += subdivisionNote_ + splitNote_;
  if (!EngineRunsQuiet(engine_)) view_->ShowImprovementResult(result_, &engine_, 1);
  return kEngineDone;
}

}  // namespace

int ImproveOrbitIteration(OrbitEngine* engine, double epochJdTT, int correct) {
  Improvement step(engine, epochJdTT, correct);
  return step.Run();
}

uint32_t ComputeObservationSignature(const OrbitEngine* engine) {
  constexpr uint32_t kPrime = 16777619u;
  uint32_t h = 2166136261u;
  const DetClass* det = engine->m_pDet;
  if (det && det->m_pOrbObs) {
    for (int i = 0; i < det->m_nObsCount; ++i) {
      const ObservationRecord& o = det->m_pOrbObs[i];
      const double scaled = o.m_dWeight * 1000.0 + 0.5;
      // trunc into 32 bits; a weight that is no number counts as 0.
      const uint32_t w = std::isfinite(scaled) && std::fabs(scaled) < 2147483647.0
                             ? static_cast<uint32_t>(static_cast<int32_t>(scaled))
                             : 0u;
      uint32_t v = w;
      v = v * 2u + static_cast<uint32_t>(o.m_nUnknownStation);
      v = v * 2u + o.m_bStationRejected;
      v = v * 2u + o.m_bByHand;
      v = v * 2u + o.m_bRejected;
      h = (h ^ v) * kPrime;
    }
  }
  h = (h ^ static_cast<uint32_t>(engine->m_bNonGrav)) * kPrime;
  h = (h ^ static_cast<uint32_t>(engine->m_bNonGravA3)) * kPrime;
  h = (h ^ static_cast<uint32_t>(engine->m_nNonGravModel)) * kPrime;
  if (det) h = (h ^ static_cast<uint32_t>(det->m_bFixEcc)) * kPrime;
  return h;
}
