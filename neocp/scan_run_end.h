#pragma once
// The end of a search that holds the scan dialog in its running state: the
// engine's cancel flag (0 during the search) gets its saved value back and
// the running state ends, however the search is left.
#include "engine/orbit_engine.h"
#include "neocp/scan_dlg.h"

class ScanRunEnd {
public:
  ScanRunEnd(CNeocpScanDlg& dlg, OrbitEngine* engine) : m_dlg(dlg), m_engine(engine)
  {
    if (m_engine) {
      m_nSavedCancel = m_engine->m_nCancel;
      m_engine->m_nCancel = 0;
    }
  }
  ~ScanRunEnd() { End(); }
  ScanRunEnd(const ScanRunEnd&) = delete;
  ScanRunEnd& operator=(const ScanRunEnd&) = delete;
  void End()
  {
    if (m_bEnded)
      return;
    m_bEnded = true;
    if (m_engine)
      m_engine->m_nCancel = m_nSavedCancel;
    m_dlg.EndScanRun();
  }

private:
  CNeocpScanDlg& m_dlg;
  OrbitEngine* m_engine;
  int m_nSavedCancel = 0;
  bool m_bEnded = false;
};
