#pragma once
// A worker process of the scan needs no display: its start is recognised
// from the command line before any window exists, and its one job runs on
// the window-free view and scan dialog.
class CDeterminationDisplay;
class CTessaruneApp;

// True when the arguments ask for worker mode (with developer mode); the
// job then ran and exitCode is the process's exit code.
bool RunScanWorkerIfAsked(int argc, const char* const* argv, int& exitCode);
// The job path of "-neocpworker=<path>" (or "/..."), uncut; "" when absent
// or without developer mode.
const char* FindWorkerJobArgument(int argc, const char* const* argv);
// The window-free view as the window's first update leaves it.
void PrepareScanWorkerView(CDeterminationDisplay& view, const CTessaruneApp& app);
