#pragma once
// A worker process of the scan needs no display: its start is recognised
// from the command line before any window exists, and its one job runs on
// the window-free view and scan dialog. The pool starts the worker program
// beside the program; the program itself hands a worker's command line over
// to it, so that job files written by an older parent still run.
#include <string>

class CDeterminationDisplay;
class CTessaruneApp;

// True when the arguments ask for worker mode (with developer mode); the
// job then ran and exitCode is the process's exit code.
bool RunScanWorkerIfAsked(int argc, const char* const* argv, int& exitCode);
// The job path of "-neocpworker=<path>" (or "/..."), uncut; "" when absent
// or without developer mode.
const char* FindWorkerJobArgument(int argc, const char* const* argv);
// The worker program's file name, and its path beside the program at
// programPath.
inline constexpr const char* kScanWorkerProgram = "tessarune-scanworker";
std::string ScanWorkerPathBeside(const std::string& programPath);
// What a pool started from the program at programPath runs: the worker
// program beside it, or the program itself (which then runs the job) where
// the worker is not there; "" for an unknown program path.
std::string ScanWorkerToStart(const std::string& programPath);
// When the arguments ask for worker mode, replaces this process with the
// worker program beside it, with the same arguments; returns only when there
// is no worker job or the worker program cannot be started.
void HandWorkerJobOver(int argc, const char* const* argv);
// The window-free view as the window's first update leaves it.
void PrepareScanWorkerView(CDeterminationDisplay& view, const CTessaruneApp& app);
