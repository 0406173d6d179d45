// The parallel integration of the varied orbits against the serial loop on
// real observations of (99942) Apophis: the residual tables and the window
// states must agree bit for bit, however the bodies are spread over threads
// and when a thread cannot be started.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "astro/jpl_eph.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/parallel_integration.h"
#include "tests/engine/test_improvement_support.h"

namespace {

// What a pair of passes leaves behind.
struct PassResult {
  int code = 0;
  int ringEntries = 0;
  std::vector<double> table;      // the varied orbits' residuals
  std::vector<double> residuals;  // the nominal orbit's, three per observation
  std::unique_ptr<IntegrationState> state = std::make_unique<IntegrationState>();
};

class RecordingWindow : public EngineWindow {
public:
  std::string GetText() const override { return m_strText; }
  void SetText(const std::string& text) override { m_strText = text; }
  std::string m_strText;
};

class ParallelIntegrationTest : public RealObservationTest {
protected:
  void SetUp() override
  {
    RealObservationTest::SetUp();
    if (IsSkipped())
      return;
    const std::string path = TestDataPath("obs/mpc80/neosjl_99942.dat");
    if (path.empty() || !TestDataFileExists(path))
      GTEST_SKIP() << "reference data not found: obs/mpc80/neosjl_99942.dat";
    const std::string file =
        WriteTestFile(s_dir, "apophis.txt", ObservationLinesBetween(ReadTestFile(path), 2004, 2007));
    ASSERT_GT(LoadSessionObservations(m_view, file, s_stationsFile), 1000);
    ASSERT_TRUE(PickAndDetermine(m_view, CalendarToJd(2005, 1, 1), CalendarToJd(2005, 3, 31)));
    ASSERT_EQ(ImproveTwoBody(m_view, 20), 0);
    // These short passes are below the length from which a parallel run
    // pays; here every pass goes parallel, to compare it with the serial one.
    m_view.m_pEngine->m_options.m_dParallelFromSteps = 1.0;
  }

  void TearDown() override
  {
    m_view.m_pEngine->m_options = EngineRunOptions{};
  }

  // A backward pass over the observations before mid-2005 and a forward
  // pass over the rest, as an improvement with its epoch inside the arc
  // makes them, with the given bodies and step.
  PassResult RunPasses(int bodies, double step, bool parallel, EngineWindow* window = nullptr)
  {
    OrbitEngine& engine = *m_view.m_pEngine;
    DetClass* det = m_view.m_pDetClass;
    PassResult out;
    IntegrationState& s = *out.state;
    s = engine.m_state;
    SetupIntegrationState(&engine, &s);
    s.m_pApproach = nullptr;
    s.m_pGeoTrack = nullptr;
    s.m_chMode = kModeImprovement;
    s.m_nBodies = bodies;
    s.m_nSolveMask = (1 << bodies) - 1;
    s.m_dEpoch = m_dPassEpoch;
    engine.m_bParallel = parallel ? 1 : 0;
    engine.m_nRingEntries = 0;
    for (int i = 0; i < det->m_nObsCount; ++i)
      det->m_pOrbObs[i].m_dResRa = det->m_pOrbObs[i].m_dResDec = det->m_pOrbObs[i].m_dHelioDist = 0.0;
    int split = 0;
    while (det->m_pOrbObs[split].m_dJdTt < s.m_dEpoch)
      ++split;
    out.table.assign(static_cast<size_t>(det->m_nObsCount) * kVariedResidualStride, 0.0);
    const struct {
      int first, last;
      double direction;
    } passes[2] = {{0, split - 1, -1.0}, {split, det->m_nObsCount - 1, 1.0}};
    for (const auto& p : passes) {
      engine.m_nPassFirst = p.first;
      engine.m_nPassLast = p.last;
      s.m_dDirection = p.direction;
      s.m_dStep = step * p.direction;
      s.m_dStep2 = step * step;
      out.code = StartAndIntegrate(&engine, window, out.table.data(), &s);
      if (out.code != 0)
        break;
    }
    engine.m_nPassFirst = 0;
    engine.m_nPassLast = -1;
    out.ringEntries = engine.m_nRingEntries;
    for (int i = 0; i < det->m_nObsCount; ++i) {
      const ObservationRecord& o = det->m_pOrbObs[i];
      out.residuals.insert(out.residuals.end(), {o.m_dResRa, o.m_dResDec, o.m_dHelioDist});
    }
    return out;
  }

  // Moves the arc, the orbit and the passes' epoch by days.
  void ShiftArc(double days)
  {
    DetClass* det = m_view.m_pDetClass;
    for (int i = 0; i < det->m_nObsCount; ++i)
      det->m_pOrbObs[i].m_dJdTt += days;
    m_view.m_pEngine->m_state.m_el.m_dT += days;
    m_dPassEpoch += days;
  }

  CDetermination m_view;
  double m_dPassEpoch = CalendarToJd(2005, 7, 1);
};

template <class T>
bool SameBytes(const T& a, const T& b)
{
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Everything a serial run leaves for its caller, compared bit for bit.
void ExpectSameRun(const PassResult& serial, const PassResult& parallel)
{
  EXPECT_EQ(parallel.code, serial.code);
  EXPECT_TRUE(parallel.table == serial.table) << "residual table of the varied orbits";
  EXPECT_TRUE(parallel.residuals == serial.residuals) << "residuals of the nominal orbit";
  const IntegrationState& a = *serial.state;
  const IntegrationState& b = *parallel.state;
  EXPECT_TRUE(SameBytes(a.m_dPos, b.m_dPos)) << "positions";
  EXPECT_TRUE(SameBytes(a.m_dAcc, b.m_dAcc)) << "accelerations";
  EXPECT_TRUE(SameBytes(a.m_dDiff, b.m_dDiff)) << "differences";
  EXPECT_TRUE(SameBytes(a.m_dVel, b.m_dVel)) << "velocities";
  EXPECT_TRUE(SameBytes(a.m_dDeltaX, b.m_dDeltaX)) << "last position change";
  EXPECT_TRUE(SameBytes(a.m_dPert, b.m_dPert)) << "perturbers";
  EXPECT_EQ(b.m_dTime, a.m_dTime);
  EXPECT_EQ(b.m_dTimeMid, a.m_dTimeMid);
  EXPECT_EQ(b.m_nObsIndex, a.m_nObsIndex);
  EXPECT_EQ(b.m_nPrevObsIndex, a.m_nPrevObsIndex);
  EXPECT_EQ(b.m_pRing, nullptr);
  EXPECT_EQ(b.m_nSingleBody, 0);
  EXPECT_EQ(b.m_nBodyGroup, 0);
}

// Steps short enough that the rule chooses the parallel run and that the
// ring (4096 entries) wraps several times.
TEST_F(ParallelIntegrationTest, EqualsTheSerialRunBitForBit)
{
  if (ProcessorCount() < 2)
    GTEST_SKIP() << "one processor: every run is serial";
  const struct {
    const char* name;
    int bodies, threads;
    double step;
  } cases[] = {
      {"nine varied orbits, a thread each", 10, 10, 1.0 / 16},
      {"ten bodies on two threads", 10, 2, 1.0 / 16},
      {"seven bodies on three threads, uneven groups", 7, 3, 1.0 / 16},
      {"one varied orbit", 2, 0, 1.0 / 64},
      {"threads by the processor count", 10, 0, 1.0 / 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PassResult serial = RunPasses(c.bodies, c.step, false);
    ASSERT_EQ(serial.code, 0) << m_view.m_pEngine->m_strMessage;
    EXPECT_EQ(serial.ringEntries, 0);
    m_view.m_pEngine->m_options.m_nParallelThreads = c.threads;
    const PassResult parallel = RunPasses(c.bodies, c.step, true);
    EXPECT_GT(parallel.ringEntries, 2 * kRingEntries) << "the parallel run did not run";
    ExpectSameRun(serial, parallel);
  }
}

// A thread the system refuses: the threads that did start are stopped and
// the serial loop runs all bodies on a state that no longer points at the
// freed ring nor at one body.
TEST_F(ParallelIntegrationTest, ThreadThatCannotStartFallsBackToTheSerialRun)
{
  if (ProcessorCount() < 2)
    GTEST_SKIP() << "one processor: every run is serial";
  const PassResult serial = RunPasses(10, 1.0 / 16, false);
  ASSERT_EQ(serial.code, 0);
  m_view.m_pEngine->m_options.m_nParallelThreads = 10;
  for (int failing : {0, 1, 5}) {
    SCOPED_TRACE(failing == 0 ? "producer" : "body thread");
    m_view.m_pEngine->m_options.m_nFailThreadStart = failing;
    const PassResult fallback = RunPasses(10, 1.0 / 16, true);
    EXPECT_EQ(fallback.ringEntries, 0) << "statistics of a run that did not happen";
    ExpectSameRun(serial, fallback);
  }
}

// The threads are capped by the processors: with ten bodies and fewer
// processors, no more than processors - 1 body threads are started, so a
// refusal of the start after them never happens and the run stays parallel.
TEST_F(ParallelIntegrationTest, BodyThreadsAreCappedByTheProcessors)
{
  const int processors = ProcessorCount();
  if (processors < 2 || processors >= 10)
    GTEST_SKIP() << processors << " processors: nothing to cap for ten bodies";
  const PassResult serial = RunPasses(10, 1.0 / 16, false);
  ASSERT_EQ(serial.code, 0);
  m_view.m_pEngine->m_options.m_nFailThreadStart = processors;  // the producer is start 0, the body threads 1, 2, ...
  const PassResult capped = RunPasses(10, 1.0 / 16, true);
  EXPECT_GT(capped.ringEntries, 0) << "more body threads than processors were started";
  ExpectSameRun(serial, capped);
}

TEST_F(ParallelIntegrationTest, CancelEndsTheRunWithItsMessage)
{
  if (ProcessorCount() < 2)
    GTEST_SKIP() << "one processor: every run is serial";
  OrbitEngine& engine = *m_view.m_pEngine;
  RecordingWindow window;
  ASSERT_EQ(BeginBusy(&engine), 0);
  engine.m_nCancel = 1;
  const PassResult r = RunPasses(10, 1.0 / 16, true, &window);
  EndBusy(&engine);
  EXPECT_EQ(r.code, kEngineCancelled);
  EXPECT_EQ(engine.m_strMessage, kMsgCancelledByButton);
  EXPECT_EQ(window.m_strText, kMsgCancelledByButton);
  EXPECT_EQ(r.state->m_pRing, nullptr);
}

// The producer runs ahead of the bodies, but not past the pass's last
// observation: a pass that ends shortly before the planetary file does
// succeeds as the serial one does, and one that needs times beyond it fails
// with -2 in both, without a message of its own. The arc is moved to the end
// of a file of 2000-2040; two threads for ten bodies keep the producer far
// ahead.
TEST_F(ParallelIntegrationTest, ProducerStopsAtTheArcsEndAndFailsBeyondTheFile)
{
  if (ProcessorCount() < 2)
    GTEST_SKIP() << "one processor: every run is serial";
  const std::string de = TestDataPath("de/lnxp2000p2040.405");
  if (de.empty() || !TestDataFileExists(de))
    GTEST_SKIP() << "reference data not found: de/lnxp2000p2040.405";
  m_jpl->Reopen(s_dir + "no-de441.bin", de);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  const double fileEnd = g_dJplEnd;
  DetClass* det = m_view.m_pDetClass;
  OrbitEngine& engine = *m_view.m_pEngine;
  m_view.m_pEngine->m_options.m_nParallelThreads = 2;
  for (const double daysBeforeEnd : {20.0, -20.0}) {
    SCOPED_TRACE(daysBeforeEnd > 0 ? "arc ends before the file" : "arc ends after the file");
    ShiftArc(fileEnd - daysBeforeEnd - det->m_pOrbObs[det->m_nObsCount - 1].m_dJdTt);
    const PassResult serial = RunPasses(10, 1.0 / 16, false);
    engine.m_strMessage.clear();
    RecordingWindow window;
    const PassResult parallel = RunPasses(10, 1.0 / 16, true, &window);
    EXPECT_GT(parallel.ringEntries, 0) << "the parallel run did not run";
    if (daysBeforeEnd > 0) {
      ASSERT_EQ(serial.code, 0);
      ExpectSameRun(serial, parallel);
    } else {
      EXPECT_EQ(serial.code, kEnginePerturbersFailed);
      EXPECT_EQ(parallel.code, kEnginePerturbersFailed);
      EXPECT_EQ(engine.m_strMessage, "");
      EXPECT_EQ(window.m_strText, "");
    }
  }
}

} // namespace
