#include "engine/orbit_engine.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <new>
#include <thread>

#include "astro/time_scales.h"
#include "data/step_texts.h"
#include "engine/tool_sinks.h"
#include "engine/variation_amounts.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr uint32_t kPumpIntervalMs = 100;
constexpr uint32_t kCancelDialogDelayMs = 3000;
constexpr uint32_t kProgressIntervalMs = 200;
constexpr uint32_t kDialogWaitSliceMs = 10;
constexpr int kDialogWaitSlices = 200;

class SteadyEngineClock : public EngineClock {
public:
  uint32_t TickMs() override {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

EngineClock& ClockOf(const OrbitEngine* engine) {
  return engine->m_pClock ? *engine->m_pClock : SystemEngineClock();
}

CancelDialogService* g_pCancelDialogs = nullptr;

HeadlessCancelDialogs& DefaultCancelDialogs() {
  static HeadlessCancelDialogs dialogs;
  return dialogs;
}

}  // namespace

EngineClock& SystemEngineClock() {
  static SteadyEngineClock clock;
  return clock;
}

OrbitEngine::OrbitEngine() {
  m_state.m_pGeoTrack = &GeoTrackBuffer::Instance();
  ResetVariationAmounts(this);
}

OrbitEngine::~OrbitEngine() { std::free(m_pPerturberCache); }

OrbitEngine* InitOrbitEngine(OrbitEngine* engine) {
  EngineClock* clock = engine->m_pClock;
  engine->~OrbitEngine();
  new (engine) OrbitEngine();
  engine->m_pClock = clock;
  return engine;
}

int ResetOrbitEngine(OrbitEngine* engine, DetClass* det) {
  engine->m_bNonGrav = 0;
  engine->m_bNonGravA3 = 0;
  engine->m_nNonGravModel = 0;
  engine->m_bCovarianceValid = 0;
  engine->m_pCancelDlg = nullptr;
  engine->m_hCancelDlg = nullptr;
  engine->m_pDet = det;
  if (!engine->m_pPerturberCache) {
    engine->m_pPerturberCache =
        static_cast<double*>(std::calloc(kPerturberCacheRows * kPerturberRowDoubles, sizeof(double)));
    if (!engine->m_pPerturberCache) return -1;
  }
  return 0;
}

// ---- busy guard ----

bool EngineBusy(const OrbitEngine* engine) {
  return engine->m_bBusy == 1 || engine->m_bAutoRunning == 1 ||
         (engine->m_bScanRunning == 1 && engine->m_bScanOwnCall == 0);
}

int BeginBusyCommand(OrbitEngine* engine) {
  if (EngineBusy(engine)) return -1;
  engine->m_bScanOwnCall = 0;
  return BeginBusy(engine);
}

int BeginBusy(OrbitEngine* engine) {
  if (engine->m_bBusy == 1) return -1;
  const uint32_t now = ClockOf(engine).TickMs();
  engine->m_bBusy = 1;
  engine->m_bCancelDlgStarted = 0;
  engine->m_dwBusyStart = now;
  engine->m_dwLastPump = now;
  engine->m_nCancel = 0;
  return 0;
}

int PumpAndCheckCancel(OrbitEngine* engine) {
  if (!engine->m_bBusy) return 0;
  EngineClock& clock = ClockOf(engine);
  uint32_t now = clock.TickMs();
  // Tick differences stay right across the 32-bit wrap.
  if (now - engine->m_dwLastPump >= kPumpIntervalMs) {
    engine->m_dwLastPump = now;
    Ui().PumpOneEvent();
  }
  if (!engine->m_bCancelDlgStarted && now - engine->m_dwBusyStart >= kCancelDialogDelayMs) {
    engine->m_bCancelDlgStarted = 1;
    engine->m_bCancelDlgWatchBusy = 1;
    engine->m_nCancel = -1;
    CancelDialogThread(engine);
  }
  return engine->m_nCancel == 1 ? 1 : 0;
}

void EndBusy(OrbitEngine* engine) {
  if (!engine->m_bBusy) return;
  EngineClock& clock = ClockOf(engine);
  engine->m_dwBusyElapsed = clock.TickMs() - engine->m_dwBusyStart;
  engine->m_bBusy = 0;
  if (engine->m_bCancelDlgStarted) {
    for (int i = 0; i < kDialogWaitSlices && engine->m_nCancel == -1; ++i) clock.SleepMs(kDialogWaitSliceMs);
    CancelDialogService& dialogs = CancelDialogs();
    if (engine->m_nCancel != 1 && engine->m_hCancelDlg && dialogs.IsLiveWindow(engine->m_hCancelDlg))
      dialogs.PostClose(*engine, engine->m_hCancelDlg);
    for (int i = 0; i < kDialogWaitSlices && engine->m_hCancelDlg != nullptr; ++i)
      clock.SleepMs(kDialogWaitSliceMs);
    engine->m_bCancelDlgStarted = 0;
  }
  engine->m_nCancel = 0;
}

int CancelDialogThread(OrbitEngine* engine) {
  int* pnBusy = nullptr;
  if (engine->m_bCancelDlgWatchBusy == 1) {
    pnBusy = &engine->m_bBusy;
    engine->m_bCancelDlgWatchBusy = 0;
  }
  CancelDialogs().Open(*engine, pnBusy);
  return 0;
}

void CloseCancelDialog(OrbitEngine* engine) {
  CancelDialogService& dialogs = CancelDialogs();
  if (engine->m_hCancelDlg && dialogs.IsLiveWindow(engine->m_hCancelDlg))
    dialogs.PostClose(*engine, engine->m_hCancelDlg);
}

int EndWithCancel(OrbitEngine* engine, EngineWindow* wnd) {
  engine->m_strMessage = kMsgCancelledByButton;
  if (wnd) wnd->SetText(engine->m_strMessage);
  return kEngineCancelled;
}

// ---- writers to windows ----

void AppendEngineLog(OrbitEngine* engine, EngineWindow* wnd, const std::string& text) {
  if (engine->m_pLogWnd) {
    if (engine->m_pLogWnd->IsLive()) engine->m_pLogWnd->AppendText(text);
    return;
  }
  if (wnd && wnd->IsLive()) wnd->SetText(wnd->GetText() + text);
}

void ShowIntegrationProgress(OrbitEngine* engine, IntegrationState* state) {
  if (!state->m_pProgress && !state->m_pStatus) return;
  uint32_t now = ClockOf(engine).TickMs();
  if (state->m_dwProgressTick != 0 && now - state->m_dwProgressTick < kProgressIntervalMs) return;
  state->m_dwProgressTick = now != 0 ? now : 1;  // 0 means "never updated"
  const double t = state->m_dTime;
  if (state->m_pProgress && state->m_dEnd != state->m_dProgressStart) {
    const double share = std::fabs(t - state->m_dProgressStart) / std::fabs(state->m_dEnd - state->m_dProgressStart);
    double pct = std::trunc(share * 100.0);
    if (!(pct >= 0.0)) pct = 0.0;
    if (pct > 100.0) pct = 100.0;
    state->m_pProgress->SetProgress(static_cast<int>(pct));
  }
  if (state->m_pStatus) {
    double year = 0, month = 0, day = 0;
    JdToCalendar(t, year, month, day);
    state->m_pStatus->SetText(FormatC("計算中: %6d/%02d/%05.2f   積分間隔: %s", static_cast<int>(year),
                                      static_cast<int>(month), day,
                                      CTessaruneLib::FormatStepLength(state->m_dStep).c_str()));
  }
}

// ---- cancel dialog seam ----

CancelDialogService& CancelDialogs() { return g_pCancelDialogs ? *g_pCancelDialogs : DefaultCancelDialogs(); }

void SetCancelDialogs(CancelDialogService* service) { g_pCancelDialogs = service; }

void HeadlessCancelDialogs::Open(OrbitEngine& engine, int* pnBusy) {
  ++m_nOpened;
  m_bOpen = true;
  m_pnBusy = pnBusy;
  engine.m_pCancelDlg = nullptr;
  engine.m_hCancelDlg = &m_nToken;
  engine.m_nCancel = 0;
}

void HeadlessCancelDialogs::PostClose(OrbitEngine& engine, void* hDlg) {
  ++m_nCloseRequests;
  if (!m_bOpen || hDlg != &m_nToken) return;
  m_bOpen = false;
  m_pnBusy = nullptr;
  engine.m_pCancelDlg = nullptr;
  engine.m_hCancelDlg = nullptr;
}

bool HeadlessCancelDialogs::IsLiveWindow(void* hDlg) const { return m_bOpen && hDlg == &m_nToken; }

void HeadlessCancelDialogs::PressStop(OrbitEngine& engine) {
  if (!m_bOpen) return;
  engine.m_nCancel = 1;
  m_bOpen = false;
  m_pnBusy = nullptr;
  engine.m_pCancelDlg = nullptr;
  engine.m_hCancelDlg = nullptr;
}
