#pragma once
// Impact probability by Monte Carlo: the nominal orbit and N clones drawn
// from the covariance of the last improvement are integrated to the end time
// with impact trackers; the share of clones that hit a planet or the Moon is
// the probability. With a strongly elongated covariance (eigenvalue ratio of
// the correlation matrix ≥ 100) the clones lie evenly along the line of
// variations within ±3σ with Gaussian weights. Writes a report into the
// result edit and hands the impact points and the approach path to the globe.
#include <cstdint>

#include "engine/integration_state.h"

struct OrbitEngine;
class EngineWindow;

// Eigenvalue ratio from which the clones follow the line of variations.
inline constexpr double kLovRatio = 100.0;

// Refusal texts (message boxes).
inline constexpr const char* kMsgNoCovariance = "軌道要素の共分散がありません。先に軌道改良を実行してください。";
inline constexpr const char* kMsgCovarianceEpoch =
    "共分散と軌道要素の元期が一致しません。軌道改良を実行し直してから使用してください。";
inline constexpr const char* kMsgCovarianceStale =
    "軌道改良のあとで観測の採否・ウエイト・非重力効果の設定が変わっています。\r\n"
    "いまの共分散は変更前の条件で求めたものなので、そのまま使うと確率と点群の広がりが現在の観測と対応しません。\r\n"
    "軌道改良を実行し直してから[衝突確率]を押してください。";

// The nominal state comes prepared by SetupIntegrationState (epoch = the
// covariance's epoch, end = the chosen date) and is not modified. Refused
// like a command while the engine is busy; the run holds the busy guard while
// it dispatches events; Esc (the latch of the event filter, cleared at the
// start) or the cancel dialog stops it with the clones done so far.
// 0 a report was written (also after an interruption); -1 refused (message
// shown, or busy), out of memory, or no valid clone; -2 interrupted before
// any clone was valid. The clones are drawn from an mt19937 seeded with the
// engine clock's millisecond tick; the second form takes the seed.
int ComputeImpactProbability(OrbitEngine* engine, EngineWindow* result, const IntegrationState* nominal, int N,
                             EngineWindow* progress, EngineWindow* status);
int ComputeImpactProbability(OrbitEngine* engine, EngineWindow* result, const IntegrationState* nominal, int N,
                             EngineWindow* progress, EngineWindow* status, uint32_t seed);
