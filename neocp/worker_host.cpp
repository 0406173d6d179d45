#include "neocp/worker_host.h"

#include "determination/determination_display.h"
#include "engine/orbit_engine.h"

WorkerScanHost::WorkerScanHost(CDeterminationDisplay* view, const volatile std::sig_atomic_t* terminate,
                               EngineClock* clock)
    : m_pView(view), m_pTerminate(terminate), m_pClock(clock)
{
}

uint32_t WorkerScanHost::NowMs()
{
  return (m_pClock ? *m_pClock : SystemEngineClock()).TickMs();
}

CDetermination* WorkerScanHost::ScanView()
{
  return m_pView;
}

void WorkerScanHost::BeginRun(int timeLimit)
{
  m_bRunning = true;
  m_bAbort = false;
  m_bTimedOut = false;
  m_nTimeLimit = timeLimit;
  m_dwStart = NowMs();
  if (m_pView && m_pView->m_pEngine)
    m_pView->m_pEngine->m_bScanRunning = 1;
}

void WorkerScanHost::EndRun()
{
  if (m_pView && m_pView->m_pEngine)
    m_pView->m_pEngine->m_bScanRunning = 0;
  m_bRunning = false;
}

double WorkerScanHost::ObjectSeconds()
{
  return (NowMs() - m_dwStart) / 1000.0;
}

void WorkerScanHost::Abort()
{
  if (!m_bRunning)
    return;
  m_bAbort = true;
  if (m_pView && m_pView->m_pEngine)
    m_pView->m_pEngine->m_nCancel = 1;
}

void WorkerScanHost::CheckTerminate()
{
  if (m_pTerminate && *m_pTerminate && !m_bAbort)
    Abort();
}

void WorkerScanHost::CheckTimeLimit()
{
  if (!m_bRunning || m_bTimedOut)
    return;
  // Whole seconds of a wrapping millisecond tick, as the dialog's timer counts.
  if (m_nTimeLimit > 0 && (NowMs() - m_dwStart) / 1000u >= static_cast<uint32_t>(m_nTimeLimit))
    m_bTimedOut = true;
}

int WorkerScanHost::PumpAndCheckCancel()
{
  CheckTerminate();
  if (m_bRunning) {
    CheckTimeLimit();
    if ((m_bTimedOut || m_bAbort) && m_pView && m_pView->m_pEngine)
      m_pView->m_pEngine->m_nCancel = 1;
  }
  if (m_pTerminate && *m_pTerminate)
    m_bAbort = true;
  CheckTimeLimit();
  return m_bAbort ? 1 : m_bTimedOut ? 2 : 0;
}
