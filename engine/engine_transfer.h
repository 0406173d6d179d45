#pragma once
// A network transfer on the user-interface thread that the engine's cancel
// dialog can stop. Once the transfer waits for the server the engine counts
// as busy (commands wait, the window keeps drawing through
// PumpAndCheckCancel, the cancel dialog offers 中止 after its delay) and the
// status bar shows the progress. A slow server then never freezes the program.
#include "data/http_download.h"

struct OrbitEngine;

class EngineTransfer {
public:
  explicit EngineTransfer(OrbitEngine* engine);
  // Ends the busy state a transfer began (none when the engine was busy
  // already); each transfer's end does the same, so that what follows it
  // (questions, a merge) runs outside it.
  ~EngineTransfer();
  EngineTransfer(const EngineTransfer&) = delete;
  EngineTransfer& operator=(const EngineTransfer&) = delete;

  const TransferControl* Control() const { return &m_control; }

private:
  bool Stop();
  void End();

  OrbitEngine* m_pEngine;
  bool m_bBegan = false;
  DownloadProgress m_progress;
  TransferControl m_control;
};
