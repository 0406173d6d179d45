#include "engine/correction_step.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "data/numerics.h"
#include "data/observation_record.h"
#include "engine/deep_encounter_fit.h"
#include "engine/integration_drivers.h"
#include "engine/integration_state.h"
#include "engine/observation_set.h"
#include "engine/orbit_engine.h"
#include "engine/variation_amounts.h"
#include "platform/numbers.h"

namespace {

constexpr int kParamQ = 4;
constexpr int kParamE = 5;
constexpr int kMaxLimitTests = 12;

// A worsening beyond 1.2 × previous + 0.1" undoes the step.
constexpr double kWorsenFactor = 1.2;
constexpr double kWorsenSlackArcsec = 0.1;
constexpr int kMaxWorsenRetries = 4;
constexpr double kSmallestDamping = 0.0625;
constexpr int kMaxCalibrationRounds = 6;

bool Solved(const IntegrationState* state, int k) { return (state->m_nSolveMask & (1 << (k + 1))) != 0; }

void ElementsToArray(const ElementBlock& el, double out[kVariationCount]) {
  const double v[kVariationCount] = {el.m_dT, el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dQ,
                                     el.m_dE, el.m_dA1,   el.m_dA2,   el.m_dA3};
  std::copy(v, v + kVariationCount, out);
}

void SetAmount(OrbitEngine* engine, IntegrationState* state, int j, double value) {
  state->m_dVariation[j] = value;
  SetVariationAmount(engine, j, value);
}

// Cuts the first m amounts to a tenth, not below 1e-4 × standard. The number changed.
int CutAmountsToTenth(OrbitEngine* engine, IntegrationState* state, int m) {
  int changed = 0;
  for (int j = 0; j < m; ++j) {
    const double v = state->m_dVariation[j];
    const double cut = std::max(0.1 * v, 1e-4 * kStandardVariation[j]);
    if (cut != v) {
      SetAmount(engine, state, j, cut);
      ++changed;
    }
  }
  return changed;
}

void ForgetSavedCopy(OrbitEngine* engine) { engine->m_bHaveSaved = 0; }

// The divisors of the partial derivatives: the amounts, or in a deep
// encounter the changes the varied orbits really started from. There the
// calibrated amount of the perihelion time falls to 1e-7 day, and a Julian
// date's last bit (40 µs) makes the varied orbit move by some 0.1 % more or
// less than the amount says; over such an arc T and the angles correct
// nearly cancelling each other, that error in one partial swamps the
// difference, and the fit crawls at tens of arcseconds (2024 BX1 stopped at
// 82"). Elsewhere the same error never mattered, and the fits keep their bits.
void VariationDivisors(const OrbitEngine* engine, const IntegrationState* state, int m, double divisor[]) {
  const bool deep = DeepEncounterFit(engine, state);
  double elements[kVariationCount];
  ElementsToArray(state->m_el, elements);
  for (int j = 0; j < m; ++j) {
    const double amount = state->m_dVariation[j];
    // A1-A3 are varied inside the force model, not added to an element.
    divisor[j] = deep && j <= kParamE ? (elements[j] + amount) - elements[j] : amount;
  }
}

// A displacement in arcseconds as the calibration notes write it.
std::string DisplacementText(double arcsec) {
  if (arcsec >= 3600.0) return FormatC("%.1f度", arcsec / 3600.0);
  if (arcsec >= 60.0) return FormatC("%.1f分", arcsec / 60.0);
  return FormatC("%.2f\"", arcsec);
}


// The q and e change a single correction may make.
bool StepWithinLimits(double q, double e, double dq, double de) {
  const double q1 = q + dq, e1 = e + de;
  return q1 > 0.0 && e1 >= 0.0 && (e1 <= 1.5 || e1 <= 2.0 * e + 0.5) && std::fabs(e1 - e) <= 0.25 &&
         std::fabs(q1 - q) <= 0.3 * q;
}

}  // namespace

double ReduceAngle(double x) {
  const double turns = x / kTwoPi;
  double r = (turns - std::trunc(turns)) * kTwoPi;
  if (r <= 0.0) r += kTwoPi;
  return r;
}

void DeriveMeanElements(IntegrationState* state) {
  ElementBlock& el = state->m_el;
  if (el.m_dE <= 0.97) {
    el.m_dA = el.m_dQ / (1.0 - el.m_dE);
    el.m_dN = kGaussK / std::pow(el.m_dA, 1.5);
    el.m_dM = ReduceAngle((state->m_dEpoch - el.m_dT) * el.m_dN);
  } else {
    el.m_dA = el.m_dN = el.m_dM = -1.0;
  }
  SyncOrientationVectors(el);
}

void SyncOrientationVectors(ElementBlock& el) {
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dP, el.m_dQvec);
}

void ApplyCorrectionByMask(OrbitEngine* engine, IntegrationState* state, double fraction) {
  ElementBlock& el = state->m_el;
  const double* d = engine->m_dLastCorrection;
  if (!ApplyCorrectionAsStateChange(engine, state, fraction)) {
    if (Solved(state, 0)) el.m_dT += fraction * d[0];
    if (Solved(state, 1)) el.m_dPeri = ReduceAngle(el.m_dPeri + fraction * d[1]);
    if (Solved(state, 2)) el.m_dNode = ReduceAngle(el.m_dNode + fraction * d[2]);
    if (Solved(state, 3)) {
      el.m_dIncl = ReduceAngle(el.m_dIncl + fraction * d[3]);
      if (el.m_dIncl > std::numbers::pi) {
        el.m_dIncl = kTwoPi - el.m_dIncl;
        el.m_dNode = ReduceAngle(el.m_dNode + std::numbers::pi);
        el.m_dPeri = ReduceAngle(el.m_dPeri + std::numbers::pi);
      }
    }
    if (Solved(state, kParamE)) el.m_dE += fraction * d[kParamE];
    if (Solved(state, kParamQ)) el.m_dQ += fraction * d[kParamQ];
  }
  if (el.m_dQ < kSunRadiusAu) {
    el.m_dQ = kSunRadiusAu;
    engine->m_strStepNotes += "※近日点距離が太陽表面より小さくなったため 0.00465 AU に制限して改良を続けています\r\n";
  }
  if (el.m_dE < 0.0) el.m_dE = 0.0;
  if (Solved(state, 6)) el.m_dA1 += fraction * d[6];
  if (Solved(state, 7)) el.m_dA2 += fraction * d[7];
  if (Solved(state, 8)) el.m_dA3 += fraction * d[8];
  DeriveMeanElements(state);
}

void RestoreSavedElements(OrbitEngine* engine, IntegrationState* state) {
  ElementBlock& el = state->m_el;
  const double* s = engine->m_savedElements;
  el.m_dT = s[0];
  el.m_dPeri = s[1];
  el.m_dNode = s[2];
  el.m_dIncl = s[3];
  el.m_dQ = s[4];
  el.m_dE = s[5];
  el.m_dA1 = s[6];
  el.m_dA2 = s[7];
  el.m_dA3 = s[8];
  DeriveMeanElements(state);
}

void RevertLastCorrection(OrbitEngine* engine, IntegrationState* state) {
  if (!engine->m_bHaveSaved) return;
  RestoreSavedElements(engine, state);
  engine->m_bHaveSaved = 0;
  engine->m_bDampingActive = 0;
  engine->m_dDamping = 1.0;
  engine->m_strMessage += "(軌道要素は直前の補正前の値へ戻しました)";
}

int ApplyCorrection(OrbitEngine* engine, const double* residuals, IntegrationState* state) {
  const int m = std::clamp(state->m_nBodies - 1, 0, CTessaruneLib::kMaxNormalUnknowns);
  double (*N)[CTessaruneLib::kNormalRowDoubles] = state->m_dNormal;

  // 1. Start.
  engine->m_nUsedObs = 0;
  engine->m_dSumWeights = 0.0;
  engine->m_dWeightedSumSq = 0.0;
  state->m_dResidualSum[0] = state->m_dResidualSum[1] = 0.0;
  engine->m_strStepNotes = engine->m_strPendingNote;
  engine->m_strPendingNote.clear();
  double largest[kVariationCount], smallest[kVariationCount];
  int largestObs[kVariationCount], smallestObs[kVariationCount];
  for (int j = 0; j < kVariationCount; ++j) {
    largest[j] = 0.0;
    smallest[j] = -1.0;
    largestObs[j] = smallestObs[j] = 0;
  }
  for (int j = 0; j < m; ++j)
    for (int k = 0; k <= m; ++k) N[j][k] = 0.0;
  double divisor[kVariationCount];
  VariationDivisors(engine, state, m, divisor);

  // 2. Normal equations over the usable observations.
  double checksum = 0.0;
  const DetClass* det = engine->m_pDet;
  const int count = det && det->m_pOrbObs ? det->m_nObsCount : 0;
  for (int i = 0; i < count; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!UsableInFit(o)) continue;
    double w = o.m_dWeight;
    if (!(w >= 0.1 && w <= 100.0)) w = 1.0;
    engine->m_nUsedObs += 1;
    engine->m_dSumWeights += w;
    checksum += (w + 1.0) * (i + 1);
    const double ra = o.m_dResRa, dec = o.m_dResDec;
    const double raSec = ra * kArcsecPerRad, decSec = dec * kArcsecPerRad;
    state->m_dResidualSum[0] += raSec + decSec;
    state->m_dResidualSum[1] += raSec * raSec + decSec * decSec;
    engine->m_dWeightedSumSq += w * (raSec * raSec + decSec * decSec);

    double pRa[CTessaruneLib::kMaxNormalUnknowns + 1], pDec[CTessaruneLib::kMaxNormalUnknowns + 1];
    const double* row = residuals + static_cast<size_t>(i) * kVariedResidualStride;
    for (int j = 0; j < m; ++j) {
      const double dRa = ra - row[j], dDec = dec - row[10 + j];
      const double v = divisor[j];
      pRa[j] = dRa / v;
      pDec[j] = dDec / v;
      const double displacement = std::max(std::fabs(dRa), std::fabs(dDec));
      if (displacement > largest[j]) {
        largest[j] = displacement;
        largestObs[j] = i + 1;
      }
      if (smallest[j] < 0.0 || displacement < smallest[j]) {
        smallest[j] = displacement;
        smallestObs[j] = i + 1;
      }
    }
    pRa[m] = ra;
    pDec[m] = dec;
    for (int j = 0; j < m; ++j)
      for (int k = 0; k <= m; ++k) N[j][k] += w * (pRa[j] * pRa[k] + pDec[j] * pDec[k]);
  }

  // 3. Weights or rejections changed since the saved copy: its residual no longer compares.
  if (engine->m_bHaveSaved &&
      (engine->m_nUsedObs != engine->m_nPrevUsedObs || checksum != engine->m_dPrevObsChecksum)) {
    ForgetSavedCopy(engine);
    engine->m_bDampingActive = 0;
    engine->m_bNonlinearReduced = 0;
    engine->m_dDamping = 1.0;
    engine->m_nWorsenRetries = 0;
  }

  // 4. Worsening test.
  const double rms =
      engine->m_nUsedObs > 0 ? std::sqrt(state->m_dResidualSum[1] / (2.0 * engine->m_nUsedObs)) : 0.0;
  if (engine->m_nUsedObs > 0 && engine->m_bHaveSaved) {
    const double previous = engine->m_dPrevMeanResidual;
    if (rms > kWorsenFactor * previous + kWorsenSlackArcsec) {
      if (engine->m_nWorsenRetries >= kMaxWorsenRetries) {
        engine->m_nWorsenRetries = 0;
        engine->m_strStepNotes += FormatC(
            "※残差の悪化(%.2f\"→%.2f\")が巻き戻しでも解消しないため、一時的な悪化を許容して改良を続行します\r\n",
            previous, rms);
      } else if (engine->m_bDampingActive && engine->m_dDamping > kSmallestDamping) {
        RestoreSavedElements(engine, state);
        engine->m_dDamping *= 0.5;
        ApplyCorrectionByMask(engine, state, engine->m_dDamping);
        engine->m_strPendingNote =
            FormatC("※前回の補正で平均残差が悪化した(%.2f\"→%.2f\")ため、同じ補正を1/%dに縮めてやり直します\r\n",
                    previous, rms, static_cast<int>(std::lround(1.0 / engine->m_dDamping)));
        return 1;
      } else {
        engine->m_nWorsenRetries += 1;
        engine->m_bNonlinearReduced = 1;
        RestoreSavedElements(engine, state);
        engine->m_dDamping = 1.0;
        engine->m_bDampingActive = 0;
        const int changed = CutAmountsToTenth(engine, state, m);
        engine->m_strPendingNote =
            changed > 0
                ? FormatC("※歩幅を縮めても平均残差の悪化(%.2f\"→%.2f\")が解消しないため、偏微分が非線形とみなして要素を補正前に"
                          "戻し、要素変化量を1/10にして改良をやり直しました\r\n",
                          previous, rms)
                : FormatC("※歩幅を縮めても平均残差の悪化(%.2f\"→%.2f\")が解消しないため、要素を補正前に戻して改良をやり直しま"
                          "した(要素変化量は下限のため縮小していません)\r\n",
                          previous, rms);
        ForgetSavedCopy(engine);
        return 1;
      }
    }
  }

  // 5. A stopped improvement applies nothing until its inputs change.
  if (engine->m_bCorrectionStopped) {
    if (engine->m_strStepNotes.empty())
      engine->m_strStepNotes =
          "※補正量が不正になるため、改良は打ち切り済みです(補正は適用していません)。要素変化量の設定を変更すると改良を再開しま"
          "す\r\n";
    return 0;
  }

  // 6. Calibration: amounts re-scaled so that each varied orbit moves the observations by about 3".
  if (engine->m_bAutoCalibrate) {
    int changed = 0;
    double maxShown = -1.0, minShown = -1.0;
    int maxObs = 0, minObs = 0;
    bool belowBound = false;
    for (int j = 0; j < m; ++j) {
      const double v = state->m_dVariation[j];
      if (!(v > 0.0)) continue;
      double factor;
      if (largest[j] == 0.0)
        factor = 10.0;
      else if (largest[j] > kTwentyArcsecRad || (largest[j] < kHalfArcsecRad && engine->m_bNonlinearReduced == 0))
        factor = kThreeArcsecRad / largest[j];
      else
        continue;
      const double std = kStandardVariation[j];
      const double scaled = std::max(1e-4 * std, std::min(factor * v, 1000.0 * std));
      if (scaled == v) continue;
      SetAmount(engine, state, j, scaled);
      ++changed;
      if (largest[j] > maxShown) {
        maxShown = largest[j];
        maxObs = largestObs[j];
      }
      if (smallest[j] >= 0.0 && (minShown < 0.0 || smallest[j] < minShown)) {
        minShown = smallest[j];
        minObs = smallestObs[j];
      }
      if (largest[j] > 0.0 && smallest[j] >= 0.0 && (kThreeArcsecRad / largest[j]) * smallest[j] < kHalfArcsecRad)
        belowBound = true;
    }
    if (changed > 0) {
      const std::string range =
          minShown >= 0.0 ? FormatC("(最大 %s: 観測%d / 最小 %s: 観測%d)", DisplacementText(maxShown * kArcsecPerRad).c_str(),
                                    maxObs, DisplacementText(minShown * kArcsecPerRad).c_str(), minObs)
                          : FormatC("(最大 %s)", DisplacementText(maxShown * kArcsecPerRad).c_str());
      engine->m_nCalibrationRounds += 1;
      if (engine->m_nCalibrationRounds > kMaxCalibrationRounds) {
        engine->m_strPendingNote =
            FormatC("※要素変化量の自動調整が%d回続いても変位が適正範囲(%.1f\"〜%.1f\")に収まりません%s。軌道が観測とかけ離れていて"
                    "変位が変化量に比例していないため、調整を打ち切ってこのまま改良を続けます\r\n",
                    kMaxCalibrationRounds, 0.5, 20.0, range.c_str());
        engine->m_bAutoCalibrate = 0;
      } else {
        engine->m_strPendingNote =
            FormatC("※変分軌道が観測位置に与える変位が適正範囲(%.1f\"〜%.1f\")を外れていた%sため、変位が約%.0f\"になるよう要素"
                    "変化量を自動調整しました(%d要素)。改良をやり直します\r\n",
                    0.5, 20.0, range.c_str(), 3.0, changed);
        if (belowBound)
          engine->m_strPendingNote += FormatC(
              "※観測ごとの変位の開きが大きく、調整後も変位が下限(%.1f\")を割る観測が残ります。その観測の偏微分は精度が落ちます\r\n",
              0.5);
        return 1;
      }
    } else {
      engine->m_nCalibrationRounds = 0;
    }
  }

  // 7. The state before the correction, for an undo.
  if (engine->m_nUsedObs > 0) {
    if (engine->m_bHaveSaved && rms <= kWorsenFactor * engine->m_dPrevMeanResidual) engine->m_nWorsenRetries = 0;
    if (engine->m_bHaveSaved && rms <= engine->m_dPrevMeanResidual)
      for (int j = 0; j < m; ++j) {
        const double v = state->m_dVariation[j], std = kStandardVariation[j];
        if (v < std) SetAmount(engine, state, j, std::min(2.0 * v, std));
      }
    engine->m_dPrevMeanResidual = rms;
    ElementsToArray(state->m_el, engine->m_savedElements);
    engine->m_nPrevUsedObs = engine->m_nUsedObs;
    engine->m_dPrevObsChecksum = checksum;
    engine->m_bHaveSaved = 1;
  }

  // 8. Solve; a solution that is not finite (the varied orbits diverged) never reaches the elements.
  double x[CTessaruneLib::kMaxNormalUnknowns] = {};
  CTessaruneLib::SolveLinearSystem(m, N, x);
  if (m == 0 || !CTessaruneLib::SolutionIsFinite(m, x)) {
    const int changed = CutAmountsToTenth(engine, state, m);
    ForgetSavedCopy(engine);
    engine->m_bDampingActive = 0;
    if (changed > 0) {
      engine->m_strPendingNote =
          "※補正量が数値として不正(変分軌道の発散)になったため、要素変化量を1/10にして改良をやり直しました\r\n";
    } else {
      engine->m_bCorrectionStopped = 1;
      engine->m_strPendingNote = "※要素変化量が下限(標準の1/10000)でも補正量が不正なため、改良を打ち切りました\r\n";
    }
    return 1;
  }

  // 9. Corrections of the solved parameters.
  double correction[kVariationCount] = {};
  for (int k = 0; k < m; ++k) correction[k] = Solved(state, k) ? x[k] : 0.0;

  // 10. One step may not make q or e jump.
  const ElementBlock& el = state->m_el;
  double s = 1.0;
  bool accepted = false;
  for (int test = 0; test < kMaxLimitTests; ++test) {
    if (StepWithinLimits(el.m_dQ, el.m_dE, s * correction[kParamQ], s * correction[kParamE])) {
      accepted = true;
      break;
    }
    s *= 0.5;
  }
  if (!accepted) s = 1.0 / 4096.0;
  if (s != 1.0) {
    for (double& c : correction) c *= s;
    engine->m_strStepNotes +=
        "※補正量を制限しました(1回の補正でのq・eの変化を抑えています。観測誤差に対して軌道が敏感です)\r\n";
  }

  // 11. Apply.
  std::copy(correction, correction + kVariationCount, engine->m_dLastCorrection);
  engine->m_dDamping = 1.0;
  engine->m_bDampingActive = 1;
  ApplyCorrectionByMask(engine, state, 1.0);
  return 0;
}
