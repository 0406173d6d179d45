// The impact probability on a main-belt orbit with a covariance made to
// measure: refusals, the busy guard held while events are dispatched, the
// upper bound without impacts, the choice between cloud and line of
// variations, the systematic error, Esc, and the warning on invalid clones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/determination_host.h"
#include "engine/differential_correction.h"
#include "engine/impact_probability.h"
#include "engine/tool_sinks.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_integration_support.h"

namespace {

// Records whether the engine was busy whenever an event was dispatched, and
// presses Esc at the given key poll (0: never).
class WatchingUi : public HeadlessUiServices {
public:
  bool PumpOneEvent() override {
    ++m_pumps;
    if (m_engine && !m_engine->m_bBusy) ++m_idlePumps;
    return false;
  }
  bool IsKeyDown(UiKey key) override { return key == UiKey::Escape && ++m_escPolls == m_escAt; }
  const OrbitEngine* m_engine = nullptr;
  int m_idlePumps = 0;
  int m_escPolls = 0;
  int m_escAt = 0;
};

class ImpactProbability : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de)) GTEST_SKIP() << "reference data not found: de/lnxp1960p2060.405";
    m_jpl = std::make_unique<JplReaderScope>(de);
    m_run.Prepare(kBeltT0, kBeltR, kBeltV, kBeltT0 + 60.0, 0.0, true);
    m_run.engine.m_bAutoRunning = m_run.engine.m_bAutoStop = 0;
    m_ui.m_engine = &m_run.engine;
  }

  // Covariance of T (d), peri, node, incl (rad), q (AU), e with these sigmas
  // and one correlation between the first two.
  void SetCovariance(const double sigma[6], double rho01, double sigma0, int size = 6) {
    OrbitEngine& e = m_run.engine;
    std::memset(e.m_covariance, 0, sizeof e.m_covariance);
    for (int i = 0; i < 6; ++i) e.m_covariance[i][i] = sigma[i] * sigma[i];
    e.m_covariance[0][1] = e.m_covariance[1][0] = rho01 * sigma[0] * sigma[1];
    e.m_nCovarianceSize = size;
    e.m_bCovarianceValid = 1;
    e.m_dCovarianceEpoch = m_run.state->m_dEpoch;
    e.m_nCovarianceSignature = ComputeObservationSignature(&e);
    e.m_dSigma0 = sigma0;
  }
  int Compute(int N, uint32_t seed = 1) {
    return ComputeImpactProbability(&m_run.engine, &m_result, m_run.state.get(), N, &m_progress, &m_status, seed);
  }
  bool Has(const std::string& line) const { return m_result.m_strText.find(line) != std::string::npos; }

  WatchingUi m_ui;
  ScopedUi m_scopedUi{m_ui};
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
  std::unique_ptr<JplReaderScope> m_jpl;
  TestRun m_run;
  HostControl m_result, m_progress, m_status;
};

constexpr double kSmall[6] = {1e-3, 1e-6, 1e-6, 1e-6, 1e-7, 1e-7};

}  // namespace

TEST_F(ImpactProbability, RefusalsAndTheEpochTolerance) {
  struct Case {
    const char* name;
    double epochShift;
    int invalid, busy, staleWeight;
    const char* message;  // null: accepted
  } cases[] = {
      {"no covariance", 0, 1, 0, 0, kMsgNoCovariance},
      {"epoch 2e-6 day off", 2e-6, 0, 0, 0, kMsgCovarianceEpoch},
      {"epoch 5e-7 day off", 5e-7, 0, 0, 0, nullptr},
      {"non-gravitational setting changed", 0, 0, 0, 1, kMsgCovarianceStale},
      {"engine busy", 0, 0, 1, 0, kMsgOtherCalculationRunning},
      {"automatic procedure running", 0, 0, 2, 0, kMsgOtherCalculationRunning},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetCovariance(kSmall, 0.0, 0.4);
    m_run.engine.m_dCovarianceEpoch += c.epochShift;
    if (c.invalid) m_run.engine.m_bCovarianceValid = 0;
    if (c.staleWeight) m_run.engine.m_bNonGrav = 1;
    m_run.engine.m_bBusy = c.busy == 1;
    m_run.engine.m_bAutoRunning = c.busy == 2;
    m_ui.m_messages.clear();
    m_result.m_strText = "前の結果";
    const int r = Compute(0);
    m_run.engine.m_bNonGrav = 0;
    m_run.engine.m_bBusy = m_run.engine.m_bAutoRunning = 0;
    EXPECT_EQ(r, -1);  // N = 0: accepted, but no clone is valid
    if (!c.message) {
      EXPECT_TRUE(m_ui.m_messages.empty());
      continue;
    }
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0].text, c.message);
    EXPECT_EQ(m_result.m_strText, "前の結果");
  }
}

// No impact among 300 clones: the upper bound 300 / 300 = 1.00 %, the
// systematic error line of σ0 = 0.4″, the busy guard held at every
// dispatched event, the nominal state untouched.
TEST_F(ImpactProbability, MainBeltGivesTheUpperBoundInsideTheBusyGuard) {
  SetCovariance(kSmall, 0.0, 0.4);
  m_run.engine.m_bAddSystematicError = 1;
  const ElementBlock before = m_run.state->m_el;
  LatchEscapeKey();  // an Esc pressed before the command does not stop it
  ASSERT_EQ(Compute(300), 0);
  EXPECT_TRUE(Has("【惑星衝突確率(モンテカルロ法)】\r\nクローン数  : 300 (有効 300, 不成立 0)\r\n")) << m_result.m_strText;
  EXPECT_TRUE(Has("観測の誤差  : σ0 0.400\" に系統誤差 0.5\" を見込んで 0.640\" として計算\r\n")) << m_result.m_strText;
  EXPECT_TRUE(Has("衝突確率    : 0.00 %  (0 / 300)\r\n(衝突は検出されませんでした。95%上限の目安: 1.00 %)\r\n"
                  "名目軌道    : 衝突しない\r\n"))
      << m_result.m_strText;
  EXPECT_TRUE(Has("散らばらせ方: 点群(共分散にもとづく正規分布)  偏り 1.0倍 (100倍でLOVへ切替)\r\n"));
  EXPECT_FALSE(Has("信用できません"));
  EXPECT_TRUE(Has("\r\n【積分間隔のログ(名目軌道)】\r\n積分開始: "));
  EXPECT_GE(m_ui.m_pumps, 301);
  EXPECT_EQ(m_ui.m_idlePumps, 0);
  EXPECT_EQ(m_run.engine.m_bBusy, 0);
  EXPECT_EQ(m_run.engine.m_bAutoRunning, 0);
  EXPECT_EQ(m_run.engine.m_bAutoStop, 0);
  EXPECT_EQ(std::memcmp(&before, &m_run.state->m_el, sizeof before), 0);
  EXPECT_EQ(m_status.m_strText, "計算完了");
  EXPECT_EQ(m_progress.m_nProgress, 100);
  EXPECT_FALSE(m_sinks.m_bGlobeOpen);
}

TEST_F(ImpactProbability, LineOfVariationsFromARatioOf100) {
  // Solving T and peri only, their correlation ρ gives the eigenvalue ratio (1 + ρ) / (1 - ρ).
  struct Case {
    double ratio;
    const char* line;
  } cases[] = {
      {99.5, "散らばらせ方: 点群(共分散にもとづく正規分布)  偏り 99.5倍 (100倍でLOVへ切替)\r\n"},
      {100.5, "散らばらせ方: LOV(いちばん決まっていない方向の線に沿って±3σを等間隔)\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ratio);
    SetCovariance(kSmall, (c.ratio - 1.0) / (c.ratio + 1.0), 0.4, 2);
    ASSERT_EQ(Compute(2), 0);
    EXPECT_TRUE(Has(c.line)) << m_result.m_strText;
    EXPECT_EQ(m_result.m_strText.find("【惑星衝突確率", 1), std::string::npos) << "an earlier report kept";
    EXPECT_TRUE(Has("観測の誤差  : 残差から求めたσ0 0.400\" のみ(系統誤差は見込んでいない)\r\n"));
  }
}

TEST_F(ImpactProbability, EscReportsTheClonesDoneSoFar) {
  SetCovariance(kSmall, 0.0, 0.4);
  m_ui.m_escAt = 52;  // polled before each orbit: the nominal one and 50 clones ran
  ASSERT_EQ(Compute(300), 0);
  EXPECT_TRUE(Has("※[ESC]で中止されたため途中までの結果です\r\nクローン数  : 300 (有効 50, 不成立 0)\r\n"))
      << m_result.m_strText;
  EXPECT_TRUE(Has("95%上限の目安: 6.00 %"));
  EXPECT_EQ(m_status.m_strText, "中止しました");
  EXPECT_EQ(m_progress.m_nProgress, 0);
  EXPECT_EQ(m_run.engine.m_bBusy, 0);

  m_ui.m_escPolls = 0;
  m_ui.m_escAt = 2;  // right after the nominal orbit
  m_result.m_strText = "前の結果";
  EXPECT_EQ(Compute(300), -2);
  EXPECT_EQ(m_result.m_strText, "前の結果");
}

// A spread in e of twice e itself leaves about 30% of the clones with e < 0.
TEST_F(ImpactProbability, ManyInvalidClonesMarkTheResultUnreliable) {
  double sigma[6];
  std::memcpy(sigma, kSmall, sizeof sigma);
  sigma[5] = 2.0 * m_run.state->m_el.m_dE;
  SetCovariance(sigma, 0.0, 0.4);
  ASSERT_EQ(Compute(100), 0);
  const std::string& text = m_result.m_strText;
  const size_t at = text.find("不成立 ");
  ASSERT_NE(at, std::string::npos);
  const int invalid = std::atoi(text.c_str() + at + std::strlen("不成立 "));
  EXPECT_GT(invalid, 20);
  EXPECT_TRUE(Has(FormatC("※この確率は信用できません: 100個中%d個(%d%%)が軌道として成立せず捨てられました。\r\n",
                          invalid, invalid)))
      << text;
}

TEST_F(ImpactProbability, LargeSigma0MarksTheResultUnreliable) {
  SetCovariance(kSmall, 0.0, 12.0);
  ASSERT_EQ(Compute(5), 0);
  EXPECT_TRUE(Has("クローン数  : 5 (有効 5, 不成立 0)\r\n※この確率は信用できません: 観測誤差σ0が12.0\"もあり、"))
      << m_result.m_strText;
}

// Apophis through 2029 with its perihelion time uncertain by σ_T and peri
// tied to it (ρ = 0.9999, ratio 19999): the clones lie on the line at
// c = (i - 0.5) 6 / N - 3 with weights exp(-c²/2), and those whose timing
// brings the encounter inside the Earth's capture radius form one
// contiguous run of c; the weighted share of such a run is the probability.
TEST_F(ImpactProbability, LineOfVariationsWeighsTheClonesByTheirPlaceOnTheLine) {
  m_run.Prepare(kApophisT0, kApophisR, kApophisV, kApophisT0 + 200.0, 0.0, true);
  m_run.engine.m_bAutoRunning = m_run.engine.m_bAutoStop = 0;
  const double sigma[6] = {0.01, 1e-6, 0, 0, 0, 0};  // 14 min in T
  SetCovariance(sigma, 0.9999, 0.4, 2);
  constexpr int N = 100;
  ASSERT_EQ(Compute(N), 0);
  const std::string& text = m_result.m_strText;
  ASSERT_TRUE(Has("散らばらせ方: LOV(いちばん決まっていない方向の線に沿って±3σを等間隔)\r\n")) << text;
  const size_t at = text.find("衝突確率    : ");
  ASSERT_NE(at, std::string::npos) << text;
  const char* line = text.c_str() + at + std::strlen("衝突確率    : ");
  char* rest = nullptr;
  const double percent = std::strtod(line, &rest);
  const int k = std::atoi(std::strstr(rest, "(") + 1);
  ASSERT_GT(k, 2) << text;
  ASSERT_LT(k, N - 2) << text;
  double w[N + 1], total = 0.0;
  for (int i = 1; i <= N; ++i) {
    const double c = (i - 0.5) * 6.0 / N - 3.0;
    w[i] = std::exp(-c * c / 2.0);
    total += w[i];
  }
  int matches = 0;
  for (int first = 1; first + k - 1 <= N; ++first) {
    double hit = 0.0;
    for (int i = first; i < first + k; ++i) hit += w[i];
    if (std::fabs(100.0 * hit / total - percent) <= 0.005 + 1e-9) ++matches;
  }
  EXPECT_GE(matches, 1) << text;
  EXPECT_GT(std::fabs(percent - 100.0 * k / N), 1.0) << "the weights were not applied";
  EXPECT_EQ(m_sinks.m_globe.m_cloneImpacts.size(), static_cast<size_t>(k));
  EXPECT_EQ(m_sinks.m_globe.m_strSubCaption, FormatC("地球衝突確率 %.2f%%  (%d/%d)", 100.0 * k / N, k, N));
}
