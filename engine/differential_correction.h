#pragma once
// Least-squares improvement with perturbations: one call places the
// improvement epoch, integrates the nominal and the element-varied orbits
// through the observations with the full force model, forms and solves the
// normal equations, applies a damped and limited correction, and leaves the
// mean residual, the covariance, the uncertainties and the step notes
// ("※...") in the engine. A residuals-only call integrates the nominal orbit
// alone.
//
// Parameters in this fixed order: T (days), argument of perihelion, node,
// inclination (rad), q (AU), e, A1, A2, A3 (AU/day²); parameter k is varied
// in body slot k + 1, bit k + 1 of the state's mask.
//
// VariedResiduals, the per-call table: kVariedResidualStride doubles per
// observation, ΔRA·cos δ of varied orbits 1..10 then their ΔDec (radians);
// the nominal residuals stay in the observation records.
#include <cstdint>

struct OrbitEngine;

// Callers repeat a call that returns kEngineRedoStep at most this often in a row.
inline constexpr int kImproveMaxRedo = 12;

// One step with the Epoch fields' epoch epochJdTT (TT); correct 1 corrects,
// 0 only recomputes the residuals and the mean residual.
//  0  done (result shown unless the engine runs quiet);
//  5  run the step again: the elements or the variation amounts changed and
//     nothing was corrected (reason in m_strPendingNote);
// -1  failure, text in m_strMessage (also: no usable observation);
// -2  planetary data unavailable, or the table could not be allocated;
// -9  cancelled.
// A first call with perturbations that fails or is cancelled leaves the
// elements, their epoch and the calculation state as they were before it.
int ImproveOrbitIteration(OrbitEngine* engine, double epochJdTT, int correct);

// FNV-1a style hash of what the fit depends on: every observation's weight
// (to 1/1000) and exclusion flags, the non-gravitational settings and, with
// an observation set, fix-e. Stored with the covariance.
uint32_t ComputeObservationSignature(const OrbitEngine* engine);

// Failure texts of the improvement.
inline constexpr const char* kMsgApophisNoObservation = "Apophisモード: リジェクトされていない観測がありません。";
inline constexpr const char* kMsgMoveFailed = "解が求まらなかったので計算を中止しました[10]";
inline constexpr const char* kMsgPlanetaryData = "惑星データにアクセスできませんでした。";
inline constexpr const char* kMsgElementsNotFinite =
    "軌道要素が数値として不正(発散)なため計算を中止しました。軌道要素を入力し直すか、観測データを読み込み直してください[20]";
inline constexpr const char* kMsgImpossibleElements =
    "解が求まらなかった(近日点距離(q)がマイナス値になった又は離心率(e)がマイナス値になった又は軌道傾斜角(i)が180度を超えた)"
    "ので計算を中止しました[8]";
inline constexpr const char* kMsgPassesFailed = "解が求まらなかったので計算を中止しました[19]";
inline constexpr const char* kMsgAllRejected = "全ての観測がリジェクトされました。";
