#pragma once
// The worker process's side of one object's scan: no dialog and no window.
// The engine writes to a hidden text window, SIGTERM stands for the abort
// button and the object's clock for the dialog's timer.
#include <csignal>
#include <cstdint>
#include <string>

#include "engine/controls_by_id.h"
#include "neocp/scan_object.h"

class CDeterminationDisplay;
class EngineClock;

class WorkerScanHost : public ScanObjectHost {
public:
  // terminate: the flag the SIGTERM handler raises (null: never raised);
  // clock: the object's clock (null: the system's).
  WorkerScanHost(CDeterminationDisplay* view, const volatile std::sig_atomic_t* terminate,
                 EngineClock* clock = nullptr);
  // The run of one object: the engine marked as scanning, the clock started.
  void BeginRun(int timeLimit);
  void EndRun();
  // Turns a raised SIGTERM into the abort, once.
  void CheckTerminate();

  void SetStatusText(const std::string& text) override { m_strStatus = text; }
  int PumpAndCheckCancel() override;
  CDetermination* ScanView() override;
  EngineWindow* ScanEngineWindow() override { return &m_engineText; }
  bool ScanAborted() override { return m_bAbort; }
  bool ScanTimedOut() override { return m_bTimedOut; }
  double ObjectSeconds() override;

private:
  void Abort();
  void CheckTimeLimit();
  uint32_t NowMs();
  CDeterminationDisplay* m_pView;
  const volatile std::sig_atomic_t* m_pTerminate;
  EngineClock* m_pClock;
  HostControl m_engineText;
  std::string m_strStatus;
  uint32_t m_dwStart = 0;
  int m_nTimeLimit = 0;
  bool m_bRunning = false;
  bool m_bAbort = false;
  bool m_bTimedOut = false;
};
