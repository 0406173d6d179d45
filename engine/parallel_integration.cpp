#include "engine/parallel_integration.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "astro/perturber_positions.h"
#include "data/observation_record.h"
#include "engine/integration_drivers.h"
#include "engine/observation_set.h"
#include "engine/orbit_engine.h"
#include "engine/stormer_cowell.h"
#include "platform/threads.h"

namespace {

constexpr int kGenerationEntries = 512;    // entries between two raises of the generation word
constexpr int kProgressSteps = 64;         // steps between two publications of a body's progress
constexpr int kSeenAhead = 256;            // a body goes on at once when the producer is this far ahead
constexpr int kJustAheadRounds = 4;        // ... or after this many waits when it is ahead at all
constexpr int kBodyWaitMs = 5;
constexpr int kCallerWaitMs = 100;
constexpr int kSpinsPerYield = 200;
constexpr int kYieldsPerSleep = 10;        // a producer held back this long sleeps instead of spinning
constexpr int kEntryMargin = 3;            // entries beyond the last observation's step, for rounding

int Load(int& word)
{
  return std::atomic_ref<int>(word).load(std::memory_order_acquire);
}

void Store(int& word, int value)
{
  std::atomic_ref<int>(word).store(value, std::memory_order_release);
}

void RaiseGeneration(PerturberRing* ring)
{
  std::atomic_ref<int>(ring->m_nGeneration).fetch_add(1, std::memory_order_acq_rel);
  WakeAllOnWord(&ring->m_nGeneration);
}

int SlowestBody(PerturberRing* ring)
{
  int m = kRingBodyDone;
  for (RingProgressSlot& slot : ring->m_progress)
    m = std::min(m, Load(slot.m_nNext));
  return m;
}

// The producer held back by the slowest body: pause, yield every 200th
// spin, and sleep once it has yielded often (on a loaded machine a spinning
// producer takes the processor from the bodies it waits for).
void HoldBack(int& spin)
{
  ++spin;
  if (spin % (kSpinsPerYield * kYieldsPerSleep) == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  else if (spin % kSpinsPerYield == 0)
    std::this_thread::yield();
  else
    SpinPause();
}

// Entry i into its slot, then published.
void PublishEntry(PerturberRing* ring, int i, double t, const double row[kPerturberRowCoordinates], int n)
{
  double* entry = ring->m_pEntries[i % kRingEntries];
  ring->m_pLatest[0] = t;
  for (int p = 0; p < n; ++p)
    for (int c = 0; c < 3; ++c) {
      entry[c * kPerturbers + p] = row[p * 3 + c];
      ring->m_pLatest[1 + c * kPerturbers + p] = row[p * 3 + c];
    }
  ring->m_pTimes[i % kRingEntries] = t;
  Store(ring->m_nProduced, i + 1);
  if ((i + 1) % kGenerationEntries == 0)
    RaiseGeneration(ring);
}

// Entries the bodies can need: the steps up to the pass's farthest
// observation (the loop stops once it is interpolated), and a margin.
int EntryLimit(const OrbitEngine* engine, const IntegrationState* state)
{
  int lo, hi;
  ObservationPassRange(engine, lo, hi);
  const ObservationRecord* obs = engine->m_pDet ? engine->m_pDet->m_pOrbObs : nullptr;
  const double h = state->m_dStep;
  double far = 0.0;
  for (int i = lo; obs && i <= hi; ++i)
    far = std::max(far, (obs[i].m_dJdTt - state->m_dEpoch) / h);
  const double steps = std::ceil(far) + kEntryMargin;
  return steps < 2.0e9 ? static_cast<int>(steps) : 2000000000;
}

// Threads that integrate, the calling thread included.
int IntegratingThreads(const OrbitEngine* engine, int bodies)
{
  const int wanted = engine->m_options.m_nParallelThreads;
  const int limit = wanted > 0 ? wanted : ProcessorCount();
  return std::min(bodies, std::max(2, limit));
}

// Starts fn on a thread; false when the system refuses (or the seam says so).
template <class Fn>
bool StartThread(const OrbitEngine* engine, std::vector<std::thread>& threads, int index, Fn fn)
{
  if (index == engine->m_options.m_nFailThreadStart)
    return false;
  try {
    threads.emplace_back(fn);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

struct RingDeleter {
  void operator()(PerturberRing* ring) const
  {
    if (!ring)
      return;
    delete[] ring->m_pEntries;
    delete[] ring->m_pTimes;
    delete[] ring->m_pLatest;
    delete ring;
  }
};

class ParallelRun {
public:
  ParallelRun(OrbitEngine* engine, EngineWindow* window, double* output, IntegrationState* state)
      : engine_(engine), window_(window), output_(output), state_(state)
  {
  }
  ~ParallelRun() { JoinAll(); }

  int Run();

private:
  bool MakeRing();
  bool MakeCopies();
  bool StartThreads();
  void RunCallerBodies();
  void WaitForThreads();
  void JoinAll();
  int Finish();
  void CopyBack();
  int Serial();

  OrbitEngine* engine_;
  EngineWindow* window_;
  double* output_;
  IntegrationState* state_;
  std::unique_ptr<PerturberRing, RingDeleter> ring_;
  std::vector<std::unique_ptr<IntegrationState>> copies_;
  std::vector<BodyWorkerArgs> args_;
  std::vector<std::thread> threads_;  // the producer first, then the body threads
  bool producerStarted_ = false;
  bool allStarted_ = false;
  double callerCpu_ = 0.0;
};

bool ParallelRun::MakeRing()
{
  PerturberRing* ring = new (std::nothrow) PerturberRing{};
  ring_.reset(ring);
  if (!ring)
    return false;
  ring->m_pEntries = new (std::nothrow) double[kRingEntries][kRingCoordinates]();
  ring->m_pTimes = new (std::nothrow) double[kRingEntries]();
  ring->m_pLatest = new (std::nothrow) double[1 + kRingCoordinates]();
  const double h = state_->m_dStep;
  ring->m_dStep = h;
  ring->m_nBodies = state_->m_nBodies;
  ring->m_nAsteroidSet = engine_->m_nAsteroidSet;
  ring->m_pRowTable = ActiveRowTable(engine_);
  ring->m_dEpoch = state_->m_dEpoch;
  ring->m_dStart = NewestPointTime(state_->m_dEpoch, 0, h);
  ring->m_nEntryLimit = EntryLimit(engine_, state_);
  for (RingProgressSlot& slot : ring->m_progress)
    slot.m_nNext = kRingBodyDone;
  state_->m_nRingIndex = 0;
  state_->m_nRingSeen = 0;
  return ring->m_pEntries && ring->m_pTimes && ring->m_pLatest;
}

// The calling thread keeps body 0 (and the smallest share); the other
// bodies go in consecutive groups to the body threads, as evenly as the
// thread count allows.
bool ParallelRun::MakeCopies()
{
  const int n = state_->m_nBodies;
  const int threads = IntegratingThreads(engine_, n);
  const int callerBodies = n / threads;
  const int workers = threads - 1;
  const int rest = n - callerBodies;
  PerturberRing* ring = ring_.get();
  ring->m_progress[0].m_nNext = 0;
  int first = callerBodies;
  for (int w = 0; w < workers; ++w) {
    const int group = rest / workers + (w < rest % workers ? 1 : 0);
    auto copy = std::unique_ptr<IntegrationState>(new (std::nothrow) IntegrationState(*state_));
    if (!copy)
      return false;
    copy->m_pApproach = nullptr;
    copy->m_pImpacts = nullptr;
    copy->m_pGeoTrack = nullptr;
    copy->m_pElementLog = nullptr;
    copy->m_pProgress = nullptr;
    copy->m_pStatus = nullptr;
    copy->m_nSingleBody = first + 1;
    copy->m_nBodyGroup = group;
    copy->m_bWorker = 1;
    copy->m_pRing = ring;
    ring->m_progress[first].m_nNext = 0;
    args_.push_back(BodyWorkerArgs{engine_, copy.get(), output_, 0});
    copies_.push_back(std::move(copy));
    first += group;
  }
  state_->m_nSingleBody = 1;
  state_->m_nBodyGroup = callerBodies;
  state_->m_pRing = ring;
  return true;
}

bool ParallelRun::StartThreads()
{
  PerturberRing* ring = ring_.get();
  auto finished = [ring] {
    std::atomic_ref<int>(ring->m_nRunning).fetch_sub(1, std::memory_order_acq_rel);
    WakeAllOnWord(&ring->m_nRunning);
  };
  ring->m_nRunning = 1;
  producerStarted_ = StartThread(engine_, threads_, 0, [ring, finished] {
    EphemerisProducerThread(ring);
    finished();
  });
  if (!producerStarted_) {
    ring->m_nRunning = 0;
    return false;
  }
  for (size_t b = 0; b < args_.size(); ++b) {
    BodyWorkerArgs* args = &args_[b];
    std::atomic_ref<int>(ring->m_nRunning).fetch_add(1, std::memory_order_acq_rel);
    if (!StartThread(engine_, threads_, static_cast<int>(b) + 1, [args, finished] {
          BodyWorkerThread(args);
          finished();
        })) {
      std::atomic_ref<int>(ring->m_nRunning).fetch_sub(1, std::memory_order_acq_rel);
      return false;
    }
  }
  return true;
}

void ParallelRun::RunCallerBodies()
{
  const double cpu0 = ThreadCpuSeconds();
  const int r = IntegrateSerial(engine_, window_, output_, state_);
  const double cpu1 = ThreadCpuSeconds();
  callerCpu_ = cpu0 >= 0.0 && cpu1 >= 0.0 ? cpu1 - cpu0 : 0.0;
  if (r != 0)
    AbortPerturberRing(ring_.get(), r);
}

// All started threads together, 100 ms at a time, the windows kept alive.
void ParallelRun::WaitForThreads()
{
  PerturberRing* ring = ring_.get();
  for (;;) {
    const int running = Load(ring->m_nRunning);
    if (running == 0)
      break;
    WaitOnWord(&ring->m_nRunning, running, kCallerWaitMs);
    if (Load(ring->m_nRunning) != 0 && PumpAndCheckCancel(engine_) == 1)
      AbortPerturberRing(ring, kEngineCancelled);
  }
}

void ParallelRun::JoinAll()
{
  if (ring_ && !threads_.empty())
    AbortPerturberRing(ring_.get(), kEngineCancelled);  // only when leaving early; a set status stays
  for (std::thread& t : threads_)
    if (t.joinable())
      t.join();
  threads_.clear();
}

void ParallelRun::CopyBack()
{
  for (const auto& copy : copies_) {
    int first, end;
    IntegratedBodies(*copy, first, end);
    for (int b = first; b < end; ++b)
      for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < kWindowPoints; ++k) {
          state_->m_dPos[k][c][b] = copy->m_dPos[k][c][b];
          state_->m_dAcc[k][c][b] = copy->m_dAcc[k][c][b];
          state_->m_dDiff[k][c][b] = copy->m_dDiff[k][c][b];
          state_->m_dVel[k][c][b] = copy->m_dVel[k][c][b];
        }
        state_->m_dDeltaX[c][b] = copy->m_dDeltaX[c][b];
      }
  }
}

int ParallelRun::Finish()
{
  PerturberRing* ring = ring_.get();
  engine_->m_nRingEntries += ring->m_nFinalCount;
  engine_->m_dEphSeconds += ring->m_dEphSeconds;
  engine_->m_dProducerCpu += ring->m_dProducerCpu;
  engine_->m_dCallerCpu += callerCpu_;
  engine_->m_dWorkerCpu += Load(ring->m_nWorkerCpuMs) / 1000.0;
  const int result = Load(ring->m_nStatus);
  if (result == kEngineCancelled) {
    EndWithCancel(engine_, window_);
  } else if (result == kEngineFailed && window_) {
    // The serial loop's text for the pass's direction.
    window_->SetText(state_->m_dStep > 0.0 ? kMsgInterpolationForward : kMsgInterpolationBackward);
  }
  if (result == 0)
    CopyBack();
  return result;
}

// Everything made is freed and the state is the serial loop's again.
int ParallelRun::Serial()
{
  JoinAll();
  copies_.clear();
  args_.clear();
  ring_.reset();
  state_->m_pRing = nullptr;
  state_->m_nSingleBody = 0;
  state_->m_nBodyGroup = 0;
  return IntegrateSerial(engine_, window_, output_, state_);
}

int ParallelRun::Run()
{
  if (!MakeRing() || !MakeCopies())
    return Serial();
  allStarted_ = StartThreads();
  if (allStarted_)
    RunCallerBodies();
  else
    AbortPerturberRing(ring_.get(), kEngineCancelled);
  Store(ring_->m_progress[0].m_nNext, kRingBodyDone);
  if (!allStarted_)
    return Serial();
  WaitForThreads();
  for (std::thread& t : threads_)
    t.join();
  threads_.clear();
  state_->m_nSingleBody = 0;
  state_->m_nBodyGroup = 0;
  state_->m_pRing = nullptr;
  return Finish();
}

} // namespace

int IntegrateParallel(OrbitEngine* engine, EngineWindow* window, double* output, IntegrationState* state)
{
  ParallelRun run(engine, window, output, state);
  return run.Run();
}

void AbortPerturberRing(PerturberRing* ring, int status)
{
  int expected = 0;
  std::atomic_ref<int>(ring->m_nStatus).compare_exchange_strong(expected, status, std::memory_order_acq_rel);
  Store(ring->m_nAbort, 1);
  WakeAllOnWord(&ring->m_nGeneration);
}

bool PerturberRingAborted(const IntegrationState* state)
{
  return state->m_pRing && Load(state->m_pRing->m_nAbort) != 0;
}

int EphemerisProducerThread(PerturberRing* ring)
{
  RaiseThreadPriority();
  const int n = ring->m_nAsteroidSet != 0 ? kPerturbers : 10;
  const char* mask = ring->m_nAsteroidSet != 0 ? "111111111111111" : "111111111100000";
  std::chrono::steady_clock::duration computing{};
  int i = 0, m = 0, spin = 0;
  while (Load(ring->m_nAbort) == 0 && i < ring->m_nEntryLimit) {
    if (m < i - kRingLead) {
      m = SlowestBody(ring);
      if (m == kRingBodyDone)
        break;
      if (m < i - kRingLead) {
        HoldBack(spin);
        continue;
      }
    }
    spin = 0;
    const double t = NewestPointTime(ring->m_dEpoch, i + 1, ring->m_dStep);
    double row[kPerturberRowCoordinates] = {};
    const auto before = std::chrono::steady_clock::now();
    const int r = ring->m_pRowTable ? ring->m_pRowTable->Rows(ring->m_dEpoch, ring->m_dStep, t, 0.0, 1, row)
                                    : JplBodiesForIntegrator(t, 0.0, 1, mask, row, ring->m_nAsteroidSet);
    computing += std::chrono::steady_clock::now() - before;
    if (r != 0) {
      AbortPerturberRing(ring, kEnginePerturbersFailed);
      break;
    }
    PublishEntry(ring, i, t, row, n);
    ++i;
  }
  ring->m_nFinalCount = i;
  ring->m_dEphSeconds = std::chrono::duration<double>(computing).count();
  const double cpu = ThreadCpuSeconds();
  ring->m_dProducerCpu = cpu >= 0.0 ? cpu : 0.0;
  Store(ring->m_bProducerEnded, 1);
  RaiseGeneration(ring);
  return 0;
}

int BodyWorkerThread(BodyWorkerArgs* args)
{
  IntegrationState* state = args->state;
  PerturberRing* ring = state->m_pRing;
  args->result = IntegrateSerial(args->engine, nullptr, args->output, state);
  if (args->result != 0)
    AbortPerturberRing(ring, args->result);
  Store(ring->m_progress[state->m_nSingleBody - 1].m_nNext, kRingBodyDone);
  const double cpu = ThreadCpuSeconds();
  const int ms = cpu > 0.0 ? static_cast<int>(cpu * 1000.0) : 0;
  std::atomic_ref<int>(ring->m_nWorkerCpuMs).fetch_add(ms, std::memory_order_acq_rel);
  return 0;
}

int ReadPerturberRing(IntegrationState* state)
{
  PerturberRing* ring = state->m_pRing;
  const int i = state->m_nRingIndex;
  if (i % kProgressSteps == 0)
    Store(ring->m_progress[state->m_nSingleBody - 1].m_nNext, i);
  if (i >= state->m_nRingSeen) {
    for (int round = 0;; ++round) {
      const int g = Load(ring->m_nGeneration);
      const int p = Load(ring->m_nProduced);
      // Once the producer has ended no generation follows: waiting for one
      // would stall every body at the end of each pass.
      if (p - i >= kSeenAhead || (p > i && (round >= kJustAheadRounds || Load(ring->m_bProducerEnded) != 0))) {
        state->m_nRingSeen = p;
        break;
      }
      if (Load(ring->m_nAbort) != 0)
        return -1;
      if (Load(ring->m_bProducerEnded) != 0 && Load(ring->m_nProduced) <= i) {
        AbortPerturberRing(ring, kEnginePerturbersFailed);
        return -1;
      }
      WaitOnWord(&ring->m_nGeneration, g, kBodyWaitMs);
    }
  }
  const int slot = i % kRingEntries;
  if (ring->m_pTimes[slot] != state->m_dTime) {
    AbortPerturberRing(ring, kEngineFailed);
    return -1;
  }
  const int n = ring->m_nAsteroidSet != 0 ? kPerturbers : 10;
  const double* entry = ring->m_pEntries[slot];
  for (int c = 0; c < 3; ++c)
    for (int p = 0; p < n; ++p)
      state->m_dPert[10][c][p] = entry[c * kPerturbers + p];
  state->m_nRingIndex = i + 1;
  return 0;
}
