#pragma once
// What the scan of one object needs and nothing of the dialog: the scan's
// parameters as a value, the progress the computations report through (the
// status line, the pump that says whether to stop), and the one function that
// scans an object whose observation file is at hand. The dialog, a worker
// process and the benchmark call the same function.
#include <string>

class CDetermination;
class EngineWindow;
struct NeocpScanRow;

// The scan parameters, handed whole to the batch engine and to the workers.
struct NeocpScanSettings {
  int m_nClones = 200;
  double m_dDaysBefore = 30;
  double m_dDaysAfter = 60;
  int m_nMinObs = 3;
  double m_dMinArc = 0;
  int m_bSysError = 1;
  int m_nTimeLimit = 300;  // seconds per object, 0 no limit
  int m_nParallel = 1;
};

// What the scan's computations tell the outside world while they run.
class ScanProgress {
public:
  virtual ~ScanProgress() = default;
  // The status line, shown at once.
  virtual void SetStatusText(const std::string& text) = 0;
  // Keeps the host alive; 0 go on, 1 abort (asked for, or the host is
  // ending), 2 the object's time limit passed.
  virtual int PumpAndCheckCancel() = 0;
};

// Whoever runs the scan of one object: its progress, the orbit-determination
// view the engine works in, and what it knows once the orbit is computed.
class ScanObjectHost : public ScanProgress {
public:
  // The view (null: no orbit can be computed).
  virtual CDetermination* ScanView() = 0;
  // The hidden text window the engine writes its messages to.
  virtual EngineWindow* ScanEngineWindow() = 0;
  // The object's orbit by the batch driver (the dialog's tests put their own).
  virtual int ComputeScanOrbit(const NeocpScanSettings& settings, const std::string& obsPath, NeocpScanRow& row);
  // Whether an abort was asked for, whether the object's time limit passed
  // (neither pumps), and the seconds since the object's clock started.
  virtual bool ScanAborted() = 0;
  virtual bool ScanTimedOut() = 0;
  virtual double ObjectSeconds() = 0;
};

// The files of one object: its observations and F + "/" + B, the stem of the
// files it writes.
struct ScanObjectPaths {
  std::string obsPath;
  std::string stem;
};

// The start of a row's scan: results cleared, status 1 (computing), then the
// skip tests of the list's count and arc; true when the row is to be computed.
bool BeginRowScan(NeocpScanRow& row, const NeocpScanSettings& settings);
// The scan of an object whose observations are at paths.obsPath: the orbit,
// clones and screening into the row, the log, nominal, closest and clone
// files beside the stem, then the row's end (EndRowScan).
void ScanObject(const NeocpScanSettings& settings, const ScanObjectPaths& paths, NeocpScanRow& row,
                ScanObjectHost& host);
// A row's end, computed or not: the closest and clone files only with a
// complete result, the time taken, the time limit's note.
void EndRowScan(NeocpScanRow& row, double seconds, int timeLimit);
