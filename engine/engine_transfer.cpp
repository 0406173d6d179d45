#include "engine/engine_transfer.h"

#include "engine/orbit_engine.h"
#include "platform/ui_services.h"

EngineTransfer::EngineTransfer(OrbitEngine* engine) : m_pEngine(engine)
{
  m_progress.setText = [](const std::string& text) { Ui().SetStatusText(text); };
  m_control.progress = &m_progress;
  m_control.stop = [this] { return Stop(); };
  m_control.ended = [this] { End(); };
}

EngineTransfer::~EngineTransfer()
{
  End();
}

void EngineTransfer::End()
{
  if (m_bBegan)
    EndBusy(m_pEngine);
  m_bBegan = false;
}

bool EngineTransfer::Stop()
{
  // Busy only from the first wait: a file whose names are all at hand never
  // marks the engine.
  if (!m_bBegan && !m_pEngine->m_bBusy)
    m_bBegan = BeginBusy(m_pEngine) == 0;
  return PumpAndCheckCancel(m_pEngine) != 0;
}
