#pragma once
// A calculation run that a tool window starts on the view's engine for its
// own purpose: the engine runs quiet (automatic, auto-stop), without
// non-gravitational terms and with e free. The four settings the user chose
// come back however the run ends, cancel and failure included.
#include "engine/observation_set.h"
#include "engine/orbit_engine.h"

class QuietRunSettings {
public:
  QuietRunSettings(OrbitEngine* engine, DetClass* det)
      : m_engine(engine), m_det(det), m_autoRunning(engine->m_bAutoRunning), m_autoStop(engine->m_bAutoStop),
        m_nonGrav(engine->m_bNonGrav), m_fixE(det->m_bFixEcc) {
    engine->m_bAutoRunning = engine->m_bAutoStop = 1;
    engine->m_bNonGrav = 0;
    det->m_bFixEcc = 0;
  }
  ~QuietRunSettings() {
    m_engine->m_bAutoRunning = m_autoRunning;
    m_engine->m_bAutoStop = m_autoStop;
    m_engine->m_bNonGrav = m_nonGrav;
    m_det->m_bFixEcc = m_fixE;
  }
  QuietRunSettings(const QuietRunSettings&) = delete;
  QuietRunSettings& operator=(const QuietRunSettings&) = delete;

private:
  OrbitEngine* m_engine;
  DetClass* m_det;
  int m_autoRunning, m_autoStop, m_nonGrav, m_fixE;
};
