#include "determination/nongrav_check.h"

#include "astro/angle_units.h"

#include <algorithm>
#include <cmath>

#include "determination/determination_display.h"
#include "determination/diagnostic_run.h"
#include "engine/differential_correction.h"
#include "engine/force_model.h"
#include "engine/improvement_epoch.h"
#include "engine/improvement_procedures.h"
#include "engine/improvement_staging.h"
#include "engine/orbit_engine.h"
#include "engine/view_fit_run.h"
#include "platform/numbers.h"

namespace {

constexpr double kSunGm = 0.00029591220828559115;  // AU³/day²
constexpr int kGravityPasses = 12;
constexpr int kPassIterations = 5;
constexpr const char* kModelNames[4] = {"マースデンTypeII(水氷)", "薮下理論(CO・N2)", "CO2", "太陽光圧"};
constexpr const char* kRule = "--------------------------------------------------------------\r\n";

bool UsedWithDistance(const ObservationRecord& o) {
  return !o.m_bRejected && !o.m_nUnknownStation && o.m_dHelioDist > 0;
}

double SignalToNoise(double value, double sigma) { return sigma > 0 ? std::fabs(value) / sigma : 0.0; }

// (lo, hi) of the F statistic for one or two added parameters.
void Thresholds(int addedParams, double& lo, double& hi) {
  lo = addedParams == 1 ? 3.84 : 3.0;
  hi = addedParams == 1 ? 6.63 : 4.61;
}

double GRatio(const NonGravCheckResult& r) { return r.gAtRMax > 0 ? r.gAtRMin / r.gAtRMax : 0.0; }

void FillFromSolution(const OrbitEngine& engine, NonGravCheckResult& r) {
  const double m = engine.m_dMeanResidual;
  r.model = engine.m_nNonGravModel;
  r.used = engine.m_nUsedObs;
  r.residualNg = m;
  r.sumSqNg = (m * m + m * m) * r.used;
  r.a1 = engine.m_state.m_el.m_dA1 * 1e8;
  r.a2 = engine.m_state.m_el.m_dA2 * 1e8;
  r.sigmaA1 = engine.m_dErrA1 * 1e8;
  r.sigmaA2 = engine.m_dErrA2 * 1e8;
  r.addedParams = r.model == 3 ? 1 : 2;
}

// The gravity-only residuals by heliocentric distance.
void BinByDistance(const DetClass* det, NonGravCheckResult& r) {
  r.binCount = kNonGravBins;
  double sumSq[kNonGravBins] = {};
  for (int i = 0; i < det->m_nObsCount && det->m_pOrbObs[i].m_dJdUtc != -1.0; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!UsedWithDistance(o)) continue;
    const int k = std::clamp(static_cast<int>(std::floor((o.m_dHelioDist - r.rMin) / (r.rMax - r.rMin) * kNonGravBins)),
                             0, kNonGravBins - 1);
    const double ra = o.m_dResRa * kArcsecPerRad, dec = o.m_dResDec * kArcsecPerRad;
    ++r.binN[k];
    r.binR[k] += o.m_dHelioDist;
    r.binRa[k] += ra;
    r.binDec[k] += dec;
    sumSq[k] += ra * ra + dec * dec;
  }
  for (int k = 0; k < kNonGravBins; ++k) {
    if (r.binN[k] == 0) continue;
    r.binR[k] /= r.binN[k];
    r.binRa[k] /= r.binN[k];
    r.binDec[k] /= r.binN[k];
    r.binScatter[k] = std::sqrt(sumSq[k] / (2.0 * r.binN[k]));
  }
}

// Gravity-only passes from the saved solution; 0 with the best of them
// restored and its residuals computed, else the failing result.
int SolveGravityOnly(CDeterminationDisplay& view, double epoch, double residualNg) {
  OrbitEngine& engine = *view.m_pEngine;
  engine.m_bNonGrav = 0;
  engine.m_bHaveSaved = 0;
  engine.m_bCorrectionStopped = 0;
  engine.m_nWorsenRetries = 0;
  SolutionSnapshot best;
  double bestResidual = 9e18;
  for (int pass = 0; pass < kGravityPasses; ++pass) {
    std::string log;
    const int r = IterateImprovement(ViewFitRun(view).Run(), epoch, kPassIterations, log, 1);
    if (r != 0) return r;
    const double mean = engine.m_dMeanResidual;
    if (!(mean > 0) || !(mean < bestResidual)) break;
    bestResidual = mean;
    SaveSolution(ViewFitRun(view).Run(), best);
  }
  if (!(bestResidual < 9e17) || bestResidual > 100.0 * residualNg) return -2;
  RestoreSolution(ViewFitRun(view).Run(), best);
  RoundFieldEpoch(&view, epoch);
  return ImproveOrbitIteration(&engine, epoch, 0);
}

std::string Warnings(const NonGravCheckResult& r) {
  std::string w;
  const double ratio = GRatio(r);
  if (r.model == 3) {
    const double am = AreaToMassRatio(r.a1 * 1e-8);
    if (r.a1 < 0) w += "・A1が負です。光圧は必ず太陽から遠ざかる向きに押すので、物理的にありえません。\r\n";
    if (am > 10)
      w += FormatC("・面積質量比が%.3g m^2/kgと、太陽帆でも届かない大きさです。光圧ではない何か(観測の系統誤差や、"
                   "入れ忘れた摂動)を吸っている疑いがあります。\r\n",
                   am);
    if (r.gAtRMax > 0 && ratio < 3)
      w += FormatC("・観測が及んだ範囲でg(r)が%.1f倍しか変化しません。光圧は太陽重力と同じ1/r^2で効くため、"
                   "変化幅が小さいとA1は「太陽のGMをわずかに弱める」操作と見分けがつかず、軌道要素の微調整として"
                   "働きます。\r\n",
                   ratio);
    return w;
  }
  if (r.a1 < 0) w += "・A1が負です。昇華の反作用は必ず太陽から遠ざかる向きなので、物理的にありえません。\r\n";
  if (std::fabs(r.a2) > std::fabs(r.a1))
    w += "・|A2|が|A1|より大きくなっています。公転方向の成分は普通、太陽方向の成分よりずっと小さいはずです。\r\n";
  if (std::fabs(r.a1) > 100)
    w += FormatC("・A1が%.0fと桁違いに大きい値です。仮定した氷がこのアークでほとんど昇華しないため、係数を膨らませて"
                 "無理に力を出している疑いがあります。\r\n",
                 std::fabs(r.a1));
  if (ratio < 3)
    w += FormatC("・観測が及んだ範囲でg(r)が%.1f倍しか変化しません。これではg(r)の形が定数倍と区別できず、"
                 "A1・A2は単に軌道要素の微調整として働きます。\r\n",
                 ratio);
  return w;
}

std::string AreaToMassClass(double am, double sn1) {
  std::string c;
  if (sn1 < 1) return "未判定 (誤差が値を上回っており、A/Mはまだ決まっていません)";
  if (!(am > 0))
    c = "不定 (光圧は太陽へ向かう向きには働きません。別の力か、単なる誤差です)";
  else if (am >= 0.01)
    c = FormatC("人工物の範囲 (A/M ≧ %.0e m^2/kg)", 0.01);
  else if (am <= 0.001)
    c = FormatC("天然の岩の範囲 (A/M ≦ %.0e m^2/kg)", 0.001);
  else
    c = FormatC("中間 (%.0e 〜 %.0e の空白地帯で、どちらとも言えません)", 0.001, 0.01);
  if (sn1 < 3) c += "   ※A1が誤差に埋もれているので目安です";
  return c;
}

}  // namespace

void JudgeNonGrav(NonGravCheckResult& r) {
  const double dof = 2.0 * r.used - 6 - r.addedParams;
  r.fStat = dof < 1 || r.sumSqNg <= 0 || r.sumSqGrav <= r.sumSqNg
                ? 0.0
                : ((r.sumSqGrav - r.sumSqNg) / r.addedParams) / (r.sumSqNg / dof);
  r.warnings = Warnings(r);
  double lo = 0, hi = 0;
  Thresholds(r.addedParams, lo, hi);
  const double sn = SignalToNoise(r.a1, r.sigmaA1);
  r.verdict = r.fStat >= hi && sn >= 3 && r.a1 > 0 ? 2 : r.fStat >= lo && sn >= 3 ? 1 : 0;
  r.valid = 1;
}

int RunNonGravSignificanceTest(CDeterminationDisplay& view, NonGravCheckResult& r) {
  r = NonGravCheckResult{};
  OrbitEngine& engine = *view.m_pEngine;
  const DetClass* det = view.m_pDetClass;
  if (!det->m_pOrbObs || det->m_nObsCount <= 0 || engine.m_bNonGrav != 1 ||
      engine.m_nCalcState != kCalcImprovedPerturbed || engine.m_nUsedObs <= 0 || !(engine.m_dMeanResidual > 0))
    return -1;
  FillFromSolution(engine, r);
  r.rMin = 9e9;
  r.rMax = 0;
  for (int i = 0; i < det->m_nObsCount && det->m_pOrbObs[i].m_dJdUtc != -1.0; ++i) {
    const ObservationRecord& o = det->m_pOrbObs[i];
    if (!UsedWithDistance(o)) continue;
    r.rMin = std::min(r.rMin, o.m_dHelioDist);
    r.rMax = std::max(r.rMax, o.m_dHelioDist);
  }
  if (!(r.rMin < r.rMax)) return -1;
  r.gAtRMin = NonGravG(&engine, r.rMin);
  r.gAtRMax = NonGravG(&engine, r.rMax);
  const double epoch = EpochFieldsJd(view);
  if (BeginBusyCommand(&engine) != 0) return -8;

  DiagnosticSave save;
  BeginDiagnosticRun(view, save);
  const int result = SolveGravityOnly(view, epoch, r.residualNg);
  if (result == 0) {
    r.residualGrav = engine.m_dMeanResidual;
    r.sumSqGrav = (r.residualGrav * r.residualGrav * 2) * engine.m_nUsedObs;
    BinByDistance(det, r);
  }
  EndDiagnosticRun(view, save, epoch);
  EndBusy(&engine);
  if (result != 0) return result;
  JudgeNonGrav(r);
  return 0;
}

std::string FormatNonGravVerdict(const NonGravCheckResult& r) {
  if (!r.valid) return "判定できませんでした。";
  const bool pressure = r.model == 3;
  const double sn1 = SignalToNoise(r.a1, r.sigmaA1), sn2 = SignalToNoise(r.a2, r.sigmaA2);
  const double reduction = r.sumSqGrav > 0 ? (1 - r.sumSqNg / r.sumSqGrav) * 100 : 0.0;
  const double ratio = GRatio(r);
  double lo = 0, hi = 0;
  Thresholds(r.addedParams, lo, hi);
  const char* buried = "← 誤差に埋もれている";

  std::string t = FormatC("仮定したモデル: %s     有効観測: %d個\r\n", kModelNames[std::clamp(r.model, 0, 3)], r.used);
  t += kRule;
  t += "[1] 係数はゼロと区別できるか\r\n";
  t += FormatC("      A1 = %+10.4f ± %.4f    信号対雑音比 = %.1f  %s\r\n", r.a1, r.sigmaA1, sn1, sn1 >= 3 ? "OK" : buried);
  if (pressure) {
    const double am = AreaToMassRatio(r.a1 * 1e-8), amSigma = AreaToMassRatio(r.sigmaA1 * 1e-8);
    t += "      (光圧は動径方向だけの力なので、A2・A3は解かず0に固定しています)\r\n\r\n";
    t += FormatC("      面積質量比 A/M = %.3g ± %.3g m^2/kg   (反射率 C_R = 1 と仮定)\r\n", am, amSigma);
    t += FormatC("      光圧と太陽重力の比 β = %.3e\r\n", r.a1 * 1e-8 / kSunGm);
    t += "      → " + AreaToMassClass(am, sn1) + "\r\n\r\n";
  } else {
    t += FormatC("      A2 = %+10.4f ± %.4f    信号対雑音比 = %.1f  %s\r\n\r\n", r.a2, r.sigmaA2, sn2,
                 sn2 >= 3 ? "OK" : buried);
  }
  t += FormatC("[2] 増やした%d個のパラメータに見合う改善か\r\n", r.addedParams);
  t += FormatC("      重力のみ    平均残差 %.3f\"\r\n", r.residualGrav);
  t += FormatC("      非重力あり  平均残差 %.3f\"      残差二乗和 %.1f%% 減  %s\r\n\r\n", r.residualNg, reduction,
               r.fStat >= hi   ? "OK"
               : r.fStat >= lo ? "OK(ぎりぎり)"
                               : "← 増やした割に稼げていない");
  t += "[3] 判別できるアークか\r\n";
  t += FormatC("      観測が及んだ日心距離 %.2f 〜 %.2f AU\r\n", r.rMin, r.rMax);
  t += FormatC("      その範囲で %s は %.3g 〜 %.3g  (%.1f倍の変化)  %s\r\n", pressure ? "g(r)=(1AU/r)^2" : "g(r)",
               r.gAtRMax, r.gAtRMin, ratio,
               r.gAtRMax > 0 && ratio >= 3 ? "OK"
               : pressure                  ? "← 太陽重力と切り分けられない"
                                           : "← 形を判別できない");
  if (pressure)
    t += "      光圧は太陽重力とまったく同じ 1/r^2 で効くので、A1を入れることは\r\n"
         "      太陽のGMを (1-β) 倍に弱めるのと同じです。二体だけならその差は\r\n"
         "      軌道要素の取り替えで吸収されてしまい、A1を決めているのは\r\n"
         "      惑星摂動との食い違いと、観測の幾何だけになります。\r\n";
  t += "\r\n";
  t += "[4] 重力のみの解に「異質な軌道の曲がり」があるか\r\n"
       "      日心距離で層別した平均残差 (非重力を外した状態)\r\n"
       "        r[AU]   観測数   平均RA\"   平均Dec\"  ばらつき\"\r\n";
  for (int k = 0; k < std::min(r.binCount, kNonGravBins); ++k)
    if (r.binN[k] > 0)
      t += FormatC("       %6.2f  %6d   %+8.2f  %+8.2f  %8.2f\r\n", r.binR[k], r.binN[k], r.binRa[k], r.binDec[k],
                   r.binScatter[k]);
  t += "      平均が距離とともに系統的に動いていれば本物の兆候、\r\n"
       "      どの距離でもゼロ付近なら異質な曲がりはありません。\r\n\r\n";
  if (!r.warnings.empty()) t += "[5] 物理的妥当性の警告\r\n" + r.warnings + "\r\n";
  t += kRule;
  if (r.verdict == 2) {
    t += "判定: 非重力効果は有意に検出されています。\r\n係数が誤差から十分離れ、増やしたパラメータに見合う改善も得られています。";
    if (pressure) t += "\r\n上に出した面積質量比(A/M)を、岩か人工物かの判断材料として使えます。";
  } else if (r.verdict == 1) {
    t += "判定: 判断を保留します。\r\n";
    t += pressure ? "改善は見られますが、決め手に欠けます。観測を増やすか、アークを延ばしてみてください。"
                  : "改善は見られますが、決め手に欠けます。観測を増やすか、仮定する氷を変えて比べてみてください。";
  } else {
    t += "判定: 非重力効果は検出されていません。\r\n";
    t += FormatC("残差が下がっているとしても、それは自由パラメータが%d個増えたことによる見かけの改善です。\r\n",
                 r.addedParams);
    t += FormatC("この解を採用すると、決まらない量を%d個抱え込むぶん他の軌道要素の誤差が増えます。", r.addedParams);
    if (pressure) t += "\r\n面積質量比(A/M)の値も、この段階では岩か人工物かを決める根拠にはなりません。";
  }
  return t;
}

NonGravCheckOutcome NonGravOutcome(int testResult, const NonGravCheckResult& r) {
  switch (testResult) {
  case 0: {
    static const char* const kLines[3] = {"× 非重力効果は検出されていません", "△ 判断を保留します (決め手に欠けます)",
                                          "◎ 非重力効果は有意に検出されています"};
    return {kLines[std::clamp(r.verdict, 0, 2)], FormatNonGravVerdict(r), r.verdict};
  }
  case -8: return {"判定できません", kMsgOtherCalculationRunning, -1};
  case -9:
    return {"判定を取りやめました", "[中止]が押されたので判定をやめました。\r\n軌道要素は判定前の状態に戻してあります。",
            -1};
  case -1:
    return {"判定できません",
            "この判定には「非重力効果ありで摂動計算の軌道改良を済ませた解」が必要です。\r\n\r\n"
            "非重力効果の[計算する]にチェックを入れ、氷の種類を選んでから[手動]または[AI]で\r\n"
            "改良を行い、収束させたうえでもう一度お試しください。",
            -1};
  default:
    return {"判定できません",
            "重力のみの解を求める途中で計算が止まりました。\r\n観測やリジェクトの状態を確かめてからもう一度お試しください。",
            -1};
  }
}

unsigned NonGravVerdictLineColour(int verdictState) {
  switch (verdictState) {
  case 2: return 0x007828;
  case 1: return 0xBE7800;
  case 0: return 0xC82828;
  default: return 0;
  }
}
