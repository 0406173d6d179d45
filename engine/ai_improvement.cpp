#include "engine/ai_improvement.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <string>
#include <vector>

#include "astro/time_scales.h"
#include "engine/ai_rules.h"
#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/fit_run.h"
#include "engine/improvement_procedures.h"
#include "engine/improvement_staging.h"
#include "engine/observation_picking.h"
#include "engine/orbit_engine.h"
#include "engine/triplet_search.h"
#include "engine/view_fit_run.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr int kTriesMax = 7;
constexpr double kGoodResidual = 60.0;  // arcsec: a solution worth refining
constexpr int kStageRoundsMax = 12;
constexpr int kRejectRoundsMax = 24;
constexpr int kNonGravMinObs = 100;
constexpr double kNonGravMinArc = 200.0;     // days
constexpr double kPatternResidual = 2.0;     // arcsec
constexpr double kLargeA1 = 6.0;             // × 1e-8 AU/day²
constexpr int kNonGravModels = 3;
constexpr const char* kModelNames[kNonGravModels] = {"マースデンTypeII(水氷)", "薮下理論(CO・N2)", "CO2"};
constexpr const char* kModelLetters[kNonGravModels] = {"A", "Y", "A"};

bool Usable(const ObservationRecord& o) { return !o.m_bRejected && !o.m_nUnknownStation; }

// trunc(v × 10 + 0.999) / 10: a threshold raised to a tenth of an arcsecond.
double TenthUp(double v) { return std::trunc(v * 10.0 + 0.999) / 10.0; }

// One run: the fit, the progress log and the epoch.
class AiRun {
public:
  explicit AiRun(FitRun& fit) : fit_(fit), engine_(*fit.engine), det_(*fit.det) {}

  // The four phases; the final code.
  int Phases();

  std::string m_log = kAiLogHeading;

private:
  bool Cancelled() const { return engine_.m_nCancel == 1; }
  void Show() { fit_.observer->ShowProgress(nullptr); }
  // Phase 1: 0 and the set-aside count, or the code that ends the run.
  int Preliminary(int& setAside);
  int StagedExtension();
  bool WantsNonGravComparison() const;
  int NonGravComparison();
  int Rejection();
  double Mean() const { return engine_.m_dMeanResidual; }

  FitRun& fit_;
  OrbitEngine& engine_;
  DetClass& det_;
  double x_ = 0;  // improvement epoch, JD TT
};

int AiRun::Preliminary(int& setAside) {
  const int state = engine_.m_nCalcState;
  int found = 0, r = 0;
  for (int j = 0; j < kTriesMax; ++j) {
    if (j == 0 && (state == kCalcPreliminary || state == kCalcImprovedTwoBody || state == kCalcImprovedPerturbed)) {
      m_log += "暫定軌道決定: 済み(現在の軌道要素から開始)\r\n";
      setAside = state == kCalcPreliminary ? StageByResidualJump(fit_, m_log) : 0;
    } else {
      if (j >= 1) {
        m_log += FormatC("→ この3点では改良がうまくいかなかったため、別の3点で試します(%d/%d回目)\r\n", j + 1,
                         kTriesMax);
        Show();
        EnableAllObservations(fit_, m_log);
      }
      // The search needs no station table or planetary file beyond what
      // loading checked (state 7 is refused at the start): -1 or -9 only.
      const int u = SelectTripletAndDetermine(fit_, m_log, found);
      if (u == kEngineCancelled) return kEngineCancelled;
      if (u != 0) {
        m_log += kMsgAiNoPreliminary;
        return u;
      }
      ++found;
      // The search has just written its own proposal into the Epoch fields:
      // no one chose that date, so with "元期をEpoch欄で指定する" on (developer
      // mode) the run would still be held to it, past an impactor's
      // approach, where the fit diverges. The run places its epoch by the
      // automatic rules instead, as it does with the option off.
      engine_.m_bEpochFromField = 0;
      setAside = StageByResidualJump(fit_, m_log);
    }
    if (Cancelled()) return 0;
    x_ = fit_.options.epochJdTT;
    engine_.m_bPerturbations = 1;
    m_log += "本改良(摂動あり):\r\n";
    r = IterateImprovement(fit_, x_, 60, m_log, 0);
    if ((r == 0 && Mean() <= kGoodResidual) || r == kEngineCancelled) break;
  }
  return r;
}

int AiRun::StagedExtension() {
  int rounds = 0, idle = 0, r = 0;
  while (rounds < kStageRoundsMax) {
    if (r != 0) return r;
    if (Cancelled()) return 0;
    const double w = StageReadmitThreshold(Mean(), idle);
    int admitted = 0, left = 0, last = -1;
    for (int i = 0; i < det_.m_nObsCount; ++i) {
      ObservationRecord& o = det_.m_pOrbObs[i];
      if (!o.m_bRejected || !KnownAndNotByHand(o)) continue;
      if (LargerResidualArcsec(o) < w) {
        o.m_bRejected = 0;
        ++admitted;
        last = i;
      } else {
        ++left;
      }
    }
    if (admitted > 0) {
      fit_.observer->ScrollTo(last);
      ++rounds;
      m_log += FormatC("段階拡張第%d回: 残差%.1f\"未満の%d観測を有効化 → 再改良\r\n", rounds, w, admitted);
      Show();
      idle = 0;
    } else {
      if (left == 0) return 0;
      if (++idle == 4) {
        m_log += FormatC("段階拡張: 残差が下がらない%d観測は除外のまま進みます\r\n", left);
        return 0;
      }
      ++rounds;
      m_log += FormatC("段階拡張第%d回: 残差%.1f\"未満の観測が無いため、もう一巡改良して待ちます(残り%d観測)\r\n",
                       rounds, w, left);
    }
    r = IterateImprovement(fit_, x_, 30, m_log, 0);
  }
  return r;
}

bool AiRun::WantsNonGravComparison() const {
  if (Cancelled() || fit_.options.nonGrav || !(Mean() <= kGoodResidual)) return false;
  const std::string& d = fit_.options.designation;
  const bool blank = d.find_first_not_of(" \t\r\n") == std::string::npos;
  return blank ? engine_.m_state.m_bAsteroid == 0 : IsPackedCometDesignation(d);
}

int AiRun::NonGravComparison() {
  int k = 0;
  double first = 0, last = 0;
  for (int i = 0; i < det_.m_nObsCount; ++i) {
    const ObservationRecord& o = det_.m_pOrbObs[i];
    if (o.m_nUnknownStation) continue;
    if (k == 0) first = o.m_dJdTt;
    last = o.m_dJdTt;
    ++k;
  }
  const double arc = last - first;
  if (k < kNonGravMinObs || arc < kNonGravMinArc) {
    m_log += FormatC("非重力効果: 観測%d個・アーク%.0f日では係数を支えられないため試しません\r\n", k, arc);
    return 0;
  }
  m_log += "非重力効果の検討: 同じ観測で重力のみと、氷の種類を変えた場合を解いて比べます\r\n";
  if (Mean() > 1.5) {
    int n = 0, large = 0, run = 0, longest = 0;
    for (int i = 0; i < det_.m_nObsCount; ++i) {
      const ObservationRecord& o = det_.m_pOrbObs[i];
      if (!Usable(o)) continue;
      ++n;
      if (LargerResidualArcsec(o) > kPatternResidual) {
        ++large;
        longest = std::max(longest, ++run);
      } else {
        run = 0;
      }
    }
    const int p = std::clamp(n / 50, 10, 50);
    if (longest >= p && 100 * large >= 10 * n)
      m_log += FormatC("残差の所見: %.0f\"超の観測が%d個(%.0f%%)、最大%d個連続。非重力効果らしい偏りがあります\r\n",
                       kPatternResidual, large, 100.0 * large / n, longest);
  }
  EnableAllObservations(fit_, m_log);
  int r = IterateImprovement(fit_, x_, 20, m_log, 0);
  if (r != 0) return r;
  SolutionSnapshot gravity, models[kNonGravModels];
  SaveSolution(fit_, gravity);
  m_log += FormatC("重力のみ: 平均残差%.3f\" 有効%d個\r\n", gravity.meanResidual, gravity.usableCount);
  if (!Cancelled()) {
    r = TryNonGravModel(fit_, 0, gravity, x_, m_log);
    if (r != 0) return r;
  }
  // After a cancel this is the gravity-only solution again, and the verdict
  // below says so.
  SaveSolution(fit_, models[0]);
  m_log += FormatC("%s: 平均残差%.3f\" 有効%d個 A1=%+.4f A2=%+.6f\r\n", kModelNames[0], models[0].meanResidual,
                   models[0].usableCount, models[0].elements[6] * 1e8, models[0].elements[7] * 1e8);
  const double a1 = models[0].elements[6] * 1e8;
  if (models[0].valid && !Cancelled() && std::fabs(a1) > kLargeA1) {
    m_log += FormatC("A1が%.4f(×1e-8)と大きいため、水より揮発しやすい氷でも解いて比べます\r\n", a1);
    for (int model = 1; model < kNonGravModels && !Cancelled(); ++model) {
      r = TryNonGravModel(fit_, model, gravity, x_, m_log);
      if (r != 0) return r;
      SolutionSnapshot& s = models[model];
      SaveSolution(fit_, s);
      m_log += FormatC("%s: 平均残差%.3f\" 有効%d個 %s1=%+.4f %s2=%+.6f\r\n", kModelNames[model], s.meanResidual,
                       s.usableCount, kModelLetters[model], s.elements[6] * 1e8, kModelLetters[model],
                       s.elements[7] * 1e8);
    }
  }
  int best = -1;
  for (int model = 0; model < kNonGravModels; ++model)
    if (models[model].valid && (best < 0 || models[model].meanResidual < models[best].meanResidual)) best = model;
  const SolutionSnapshot* chosen = &gravity;
  if (best >= 0 && ModelBeatsGravity(models[best].meanResidual, gravity.meanResidual)) {
    m_log += FormatC("→ %s を採用(%.3f\")。", kModelNames[best], models[best].meanResidual);
    for (int model = 0; model < kNonGravModels; ++model)
      if (model != best && models[model].valid)
        m_log += FormatC(" %s %.3f\"", kModelNames[model], models[model].meanResidual);
    m_log += FormatC(" 重力のみ %.3f\"\r\n", gravity.meanResidual);
    chosen = &models[best];
  } else if (best >= 0) {
    m_log += FormatC("→ 非重力効果を入れても残差が%.3f\"→%.3f\"としか下がらないため、重力のみの解を採用します\r\n",
                     gravity.meanResidual, models[best].meanResidual);
  }
  RestoreSolution(fit_, *chosen);
  // The rejection passes improve again and report any failure of their own.
  ImproveOrbitIteration(&engine_, x_, 0);
  RestoreSolutionDisplay(fit_, *chosen);
  Show();
  return 0;
}

int AiRun::Rejection() {
  if (Cancelled()) return 0;
  const int year = fit_.options.rejectYear;
  // the user's thresholds up to and after the year
  const double userEarly = fit_.options.rejectOld, userLate = fit_.options.rejectNew;
  if (Mean() > kGoodResidual) {
    m_log += FormatC("リジェクト: 平均残差(%.1f\")が大きいためリジェクトせずに終了します(未収束の解でのリジェクトは危険)\r\n",
                     Mean());
    return 0;
  }
  const double start = TenthUp(std::max({userLate, userEarly, 6.0, 2.5 * Mean()}));
  double early = start, late = start;
  int passes = 0;
  std::vector<unsigned char> copy(static_cast<size_t>(det_.m_nObsCount));
  for (int round = 0; round < kRejectRoundsMax; ++round) {
    if (Cancelled()) return 0;
    int usableBefore = 0;
    for (int i = 0; i < det_.m_nObsCount; ++i) {
      copy[i] = det_.m_pOrbObs[i].m_bRejected;
      usableBefore += Usable(det_.m_pOrbObs[i]) ? 1 : 0;
    }
    int changed = 0, rejected = 0, usable = 0;
    for (int i = 0; i < det_.m_nObsCount; ++i) {
      ObservationRecord& o = det_.m_pOrbObs[i];
      double y = 0, m = 0, d = 0;
      JdToCalendar(o.m_dJdTt, y, m, d);
      const double limit = static_cast<int>(y) > year ? late : early;
      const bool out = LargerResidualArcsec(o) >= limit || o.m_nUnknownStation || o.m_bByHand;
      o.m_bRejected = out ? 1 : 0;
      changed += o.m_bRejected != copy[i] ? 1 : 0;
      rejected += out ? 1 : 0;
      usable += Usable(o) ? 1 : 0;
    }
    if (RejectionLeavesTooFew(usable, usableBefore)) {
      for (int i = 0; i < det_.m_nObsCount; ++i) det_.m_pOrbObs[i].m_bRejected = copy[i];
      m_log += FormatC("リジェクト: 閾値%.1f\"/%.1f\"では残る観測が%d個(除外前%d個)になるため中止し、除外を元に戻しました\r\n",
                       early, late, usable, usableBefore);
      return 0;
    }
    const bool final = early <= userEarly + 1e-9 && late <= userLate + 1e-9;
    if (final && passes > 0 && changed == 0) {
      m_log += FormatC("リジェクト完了: %d年以前%.1f\"/以後%.1f\" 除外%d個 有効%d個 平均残差%.3f\"(除外の変更なし)\r\n",
                       year, early, late, rejected, usable, Mean());
      Show();
      return 0;
    }
    const int iterations = final && passes == 0 ? 3 : 2;
    m_log += FormatC("リジェクト 閾値%.1f\"/%.1f\": 除外を%d個変更(計%d個, 有効%d個) → %d回改良\r\n", early, late, changed,
                     rejected, usable, iterations);
    Show();
    fit_.observer->ResidualsChanged(false);
    const int r = IterateImprovement(fit_, x_, iterations, m_log, 1);
    if (r != 0) return r;
    if (final) {
      if (++passes == 2) {
        m_log += FormatC("リジェクト完了: %d年以前%.1f\"/以後%.1f\" 除外%d個 有効%d個 平均残差%.3f\"\r\n", year, early,
                         late, rejected, usable, Mean());
        Show();
        return 0;
      }
    } else {
      early = NextRejectThreshold(early, userEarly);
      late = NextRejectThreshold(late, userLate);
    }
  }
  return 0;
}

int AiRun::Phases() {
  int setAside = 0;
  int r = Preliminary(setAside);
  if (r != 0) return r;
  if (setAside > 0 && !Cancelled()) {
    r = StagedExtension();
    if (r != 0) return r;
  }
  if (WantsNonGravComparison()) {
    r = NonGravComparison();
    if (r != 0) return r;
  }
  return Rejection();
}

// A run that ends on an orbit still as far from the observations as the
// staging calls a jump off the orbit found none: it ends as a failed
// determination does, and the log says why and what to try.
int FailWithoutOrbit(OrbitEngine& engine, int code, std::string& log) {
  const int state = engine.m_nCalcState;
  const bool orbit = state == kCalcPreliminary || state == kCalcImprovedTwoBody || state == kCalcImprovedPerturbed;
  if ((code != 0 && code != kEngineImpact) || !orbit || !EndsWithoutOrbit(engine.m_dMeanResidual)) return code;
  log += FormatC(kMsgAiNoOrbit, engine.m_dMeanResidual, kNoOrbitResidual);
  engine.m_nCalcState = kCalcPreliminaryFailed;
  engine.m_bCovarianceValid = 0;
  engine.m_bErrValid = 0;
  return kEngineFailed;
}

void ShowOutcome(CDetermination& view, int code, std::string& log) {
  OrbitEngine& engine = *view.m_pEngine;
  if (code == 0 || code == kEngineImpact) {
    EngineWindow* edit = view.ResultWindow();
    if (engine.m_nCalcState == kCalcImprovedPerturbed)
      view.ShowImprovementResult(edit, &engine, 1);
    else if (engine.m_nCalcState == kCalcImprovedTwoBody)
      view.ShowImprovementResult(edit, &engine, 0);
    else if (engine.m_nCalcState == kCalcPreliminary)
      view.ShowElementText(edit, &engine.m_state, 0);
    if (engine.m_dMeanResidual > kGoodResidual)
      log += FormatC("※平均残差(%.1f\")が大きく、誤った解に収束した可能性があります。3観測を手動で選択して(間隔約1ヶ月・密に観測されている時期)再実行をお試しください\r\n",
                     engine.m_dMeanResidual);
    log += "完了\r\n";
  } else if (code == kEngineCancelled) {
    log += std::string(kMsgCancelledByButton) + "\r\n";
  } else if (code != kEngineFailed) {
    log += engine.m_strMessage + "\r\n";
  }
}

void WriteEndBlock(CDetermination& view, const std::string& log) {
  if (!view.m_bOpLog) return;
  const std::tm local = view.LocalTimeNow();
  char stamp[128];
  if (std::strftime(stamp, sizeof stamp, "[%Y/%m/%d %H:%M:%S] === [AI]自動改良 終了 ===\r\n", &local) == 0)
    stamp[0] = '\0';
  view.WriteOpLog(std::string(stamp) + log + "軌道要素(結果): " + view.FormatElementSummaryLine(1) + "\r\n");
}

}  // namespace

void OnAiImprove(CDetermination& view) {
  OrbitEngine* engine = view.m_pEngine;
  const DetClass* det = view.m_pDetClass;
  if (!det || !det->m_pOrbObs || engine->m_nCalcState == kCalcNothing || engine->m_nCalcState == kCalcFatal) return;
  // The run pumps events for minutes: without the guard a click could start
  // another calculation on the observations under it.
  if (BeginBusyCommand(engine) != 0) return;
  view.WriteOpLogCalcStart("[AI]自動改良 開始");
  view.EnableImproveButtons(0);
  TheApp().DoWaitCursor(1);
  if (view.m_nBatchMode != 0) {
    // No dialog, now or after the guard's delay: the caller cancels.
    engine->m_bCancelDlgStarted = 1;
    engine->m_nCancel = 0;
  } else {
    OpenCancelDialogNow(engine);
  }
  const int autoStop = engine->m_bAutoStop, epochFromField = engine->m_bEpochFromField;
  engine->m_bAutoRunning = engine->m_bAutoStop = 1;
  int year = 0;
  double early = 0, late = 0;
  view.GetRejectThresholds(year, early, late);  // checks and rewrites the fields; the options take the values
  ViewFitRun fit(view);
  engine->m_bNonGrav = fit.Run().options.nonGrav;
  engine->m_bNonGravA3 = fit.Run().options.nonGravA3;

  AiRun run(fit.Run());
  const std::string stamp = FormatCalcLogStamp(view.LocalTimeNow());
  view.m_strCalcLogProgressStamp = stamp;
  view.m_pCalcLogProgress = &run.m_log;
  ShowCalcLogTab(view);
  view.ShowCalcLogProgress("開始します…");

  const int code = FailWithoutOrbit(*engine, run.Phases(), run.m_log);

  view.m_nAiResult = code;
  engine->m_bAutoRunning = 0;
  engine->m_bAutoStop = autoStop;
  engine->m_bEpochFromField = epochFromField;
  EndBusy(engine);
  ShowOutcome(view, code, run.m_log);
  view.m_pCalcLogProgress = nullptr;
  view.m_strCalcLogProgressStamp.clear();
  view.AppendCalcLogEntry(stamp, run.m_log);
  if (code == 0 || code == kEngineImpact) {
    view.ShowResultPage(0);
  } else if (code != kEngineCancelled) {
    view.SetResultText(std::string(kMsgAiNotCompleted) + (code != kEngineFailed ? engine->m_strMessage : std::string()));
  }
  WriteEndBlock(view, run.m_log);
  view.EnableImproveButtons(1);
  TheApp().DoWaitCursor(-1);
  view.UpdateControlsForState(engine->m_nCalcState);
}

double NextRejectThreshold(double threshold, double userThreshold) {
  return TenthUp(std::max(userThreshold, threshold > 6.0 ? std::max(6.0, threshold / 2.0) : threshold - 1.0));
}
