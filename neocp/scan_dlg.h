#pragma once
// The NEOCP scan dialog without its window: the table and its display order,
// the sort state, the scan parameters, the running / abort / time-limit flags
// with the object clock, the message pump, the enabling of the controls and
// the state and CSV files. Its controls are addressed by id, as the
// orbit-determination view's are: headless they are a map (tests, worker
// processes); the window (neocp/ui) overrides the virtual calls with its
// widgets. The batch code reaches the dialog only through this class.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "engine/controls_by_id.h"
#include "neocp/scan_object.h"
#include "neocp/scan_row.h"
#include "neocp/scan_table.h"
#include "platform/named_lock.h"

class CDetermination;
class CDeterminationDisplay;
class EngineClock;
struct IntegrationState;
struct ItfSearchContext;
struct OrbitEngine;
struct KnownMatchTotals;
struct NeocpReceivedLists;
struct TrackletQuery;
class WorkerLauncher;

// Controls of dialog 210.
enum NeocpScanControlId : int {
  kIdScanList = 1515,
  kIdScanLog = 1516,
  kIdScanStatus = 1517,
  kIdScanRefetch = 1518,
  kIdScanAll = 1519,
  kIdScanSelected = 1520,
  kIdScanAbort = 1521,
  kIdScanProgress = 1522,
  kIdScanClones = 1523,
  kIdScanDaysBefore = 1524,
  kIdScanDaysAfter = 1525,
  kIdScanMinObs = 1526,
  kIdScanMinArc = 1527,
  kIdScanTimeLimit = 1528,
  kIdScanSysError = 1529,
  kIdScanShowNominal = 1530,
  kIdScanShowClosest = 1531,
  kIdScanOpenFolder = 1532,
  kIdScanFiles = 1533,
  kIdScanPurge = 1534,
  kIdScanShowClones = 1535,
  kIdScanParallel = 1536,
  kIdScanCpuLabel = 1537,
  kIdScanMatchKnown = 1538,
  kIdScanSearchByOrbit = 1539,
  kIdScanClose = 2,
};

inline constexpr const char* kScanDialogTitle = "NEOCPの全天体を走査(開発者用)";
inline constexpr const char* kScanFolderName = "NEOCP_scan";
inline constexpr const char* kScanFileFolderName = "files";
inline constexpr const char* kScanStateName = "neocp_scan_state.tsv";
inline constexpr const char* kScanPurgedName = "neocp_scan_purged.csv";
// Held by the one instance whose scan dialog writes into the folder.
inline constexpr const char* kScanLockName = "neocp_scan.lock";
inline constexpr size_t kScanLogLimitChars = 4194304;
inline constexpr int kScanTimerMillis = 500;
inline constexpr int kScanPumpMaxEvents = 100;
inline constexpr const char* kScanIntroduction =
    "名目軌道 = 観測にいちばん合う軌道。最小 = 観測の誤差の範囲でありうる軌道(クローン)のうち、地球にいちばん近づいたもの。"
    "距離は地球の中心から測り、LDは月までの距離(38.44万km)を1とした値です。\r\n"
    "表の行をダブルクリックすると、その天体の観測と名目軌道を軌道計算の画面に読み込みます。\r\n";
inline constexpr const char* kScanStatusReceiving = "NEOCPの一覧を受信しています...";
inline constexpr const char* kScanStatusAborting = "中止しています(いまの計算の区切りまでお待ちください)...";

// ---- the list ----
inline constexpr int kScanListColumns = 19;
struct ScanListColumn {
  const char* header;
  int width;
  bool right;
};
extern const ScanListColumn kScanListColumnDefs[kScanListColumns];
// Text of a list cell.
std::string GetScanListCell(const NeocpScanRow& row, int column);
// Numeric sort key of columns 2 to 17; kScanNoDistance (9e9) for no value.
double GetScanSortKey(const NeocpScanRow& row, int column);
// Colours of a row, COLORREF 0x00BBGGRR; has* false where the list's own
// colour stays. selectedBackground is for a selected just-scanned row.
struct ScanRowColours {
  bool hasBackground = false;
  uint32_t background = 0;
  bool hasText = false;
  uint32_t text = 0;
  bool keepSelectedReadable = false;
  uint32_t selectedBackground = 0;
};
ScanRowColours GetScanRowColours(const NeocpScanRow& row);

// Processors this process may run on (sched_getaffinity), at least 1.
int ScanProcessorCount();
// The parallel count the dialog starts with: the command line's when at
// least 1, else processors - 2; clamped to 1..60.
int DefaultScanParallel(int processors, int commandLine);
// The scan folder: the observation folder, else the data folder, trailing
// separators removed, + "/NEOCP_scan" (no final "/").
std::string ScanFolderFor(const std::string& obsFolder, const std::string& dataDir);

// The dialog hosts the scan of one object in this process: its status line,
// its pump with the abort and time-limit flags, its view.
class CNeocpScanDlg : public ScanObjectHost, public ControlsById {
public:
  explicit CNeocpScanDlg(CDetermination* view);
  virtual ~CNeocpScanDlg();
  CNeocpScanDlg(const CNeocpScanDlg&) = delete;
  CNeocpScanDlg& operator=(const CNeocpScanDlg&) = delete;

  CDetermination* m_pView = nullptr;
  // The table; the dialog's names for its parts stay, as the batch code,
  // the window and the worker pool read them.
  NeocpScanTable m_table;
  NeocpScanRow*& m_pRows = m_table.m_pRows;
  int& m_nRows = m_table.m_nRows;
  int*& m_pOrder = m_table.m_pOrder;  // list position -> row index
  int& m_nSortColumn = m_table.m_nSortColumn;
  int& m_bSortAscending = m_table.m_bSortAscending;
  int m_bRunning = 0;
  std::atomic<int> m_bAbort{0};  // also read by the catalogue scans' threads
  int m_bTimedOut = 0;
  uint32_t m_dwObjectStart = 0;
  int m_nActiveTimeLimit = 300;
  std::string m_strScanDir;  // no final "/"
  std::string m_strFileDir;
  int m_bStateLoaded = 0;
  int m_bStateSaveFailNoted = 0;  // a failed state-table write was told (once)
  NeocpScanSettings m_settings;
  std::string m_strReadingFile;
  std::string m_strSearchSummary;
  // The object clock (null: the system clock); tests give their own.
  EngineClock* m_pClock = nullptr;

  // ---- what the batch code uses ----
  // The status line (control 1517), shown at once.
  void SetStatusText(const std::string& text) override;
  // Appends to the log (control 1516), which keeps at most 4194304 characters.
  void AppendLog(const std::string& text);
  // The hidden text window the engine writes its messages to.
  virtual EngineWindow* EngineTextWindow() { return &m_engineText; }
  // 0 go on, 1 abort (asked for, or the application is ending), 2 the
  // object's time limit passed. Dispatches at most 100 pending events.
  int PumpMessages();
  int PumpAndCheckCancel() override { return PumpMessages(); }
  CDetermination* ScanView() override { return m_pView; }
  EngineWindow* ScanEngineWindow() override { return EngineTextWindow(); }
  int ComputeScanOrbit(const NeocpScanSettings& settings, const std::string& obsPath, NeocpScanRow& row) override;
  bool ScanAborted() override { return m_bAbort != 0; }
  bool ScanTimedOut() override { return m_bTimedOut != 0; }
  // Seconds of the object clock.
  double ObjectSeconds() override;
  // The start of one object: its clock starts, the time-limit flag clears.
  void StartObjectClock();
  // A scan starts and ends: running flag (and the engine's busy test), the
  // application lock (not in a worker), timer 1, the controls.
  void BeginScanRun();
  void EndScanRun();
  // Timer 1: passes the time limit or an abort to the engine's cancel flag.
  void OnTimer();

  // ---- commands ----
  void OnAbort();
  // Close button, Esc, the caption's close box: abort while running, else close.
  void OnCancel();
  void OnColumnClick(int column);
  void OnItemChanged();
  void OnOpenFolder();
  // Button 1534: appends the finished rows (list state 2, 4, 5) to
  // "neocp_scan_purged.csv" and takes them out of the table, only once the
  // archive is written whole.
  void OnPurge();
  // Button 1535: the selected row's clone-track file on the globe, with the
  // orbit, the sub-solar point and the apex at the approach.
  void OnShowClonesOnGlobe();
  // The first refetch (and every one while the table is not loaded): loads
  // the state table. The list refresh arrives with the scan run.
  void OnRefetch();
  void UpdateControls();

  // ---- the MPC's lists ----
  // Brings the table in line with neocp.json and pccp.txt, resolves the
  // fates of the objects that left, saves the state file and the CSV. A
  // failed or empty neocp.json leaves table and files as they were.
  void RefreshList();
  // The refresh's phases after the fetch: the received lists merged into the
  // table with the log's lines on the PCCP (false, and the table as it was,
  // when memory ran out), and the summary in the log and the status line.
  bool TakeReceivedLists(const NeocpReceivedLists& lists);
  void ReportRefresh();
  // Looks up on the MPC's pages what became of the rows at list state 1, 3, 5.
  void ResolveFates();
  // The MPC's web host the lists are fetched from (no final "/"): this
  // member when set, else the setting "MPCWEBHOST", else the real host.
  std::string m_strMpcHost;
  std::string MpcWebHost() const;
  // A fetch is under way: the dialog's commands wait.
  int m_bFetching = 0;
  // 中止 was pressed during this refresh's fetches: the rest are skipped.
  int m_bFetchAbort = 0;

  // Set-up of the dialog's state (the window lays itself out around it).
  void InitScanDialog(int processors);
  void ReadScanSettings();

  // ---- the table ----
  // Replaces the table and takes the array (null or count < 1: empty table).
  void SetRows(NeocpScanRow* rows, int count);
  void RefillList();
  void UpdateRow(int row);
  int FindListItem(int row) const;
  // The row index of the one selected item, else -1.
  int GetSelectedRow();
  // Reads the table; false (and the table kept only for reading) when the
  // folder is another instance's or the file cannot be read.
  bool LoadState();
  bool SaveState();
  // The scan folder for this instance alone: true when its lock is held or
  // taken now, else false with a line in the log.
  bool HoldScanFolder();
  // Rows that an earlier run left computing: the results their workers
  // finished since are taken; the number taken.
  int TakeLeftWorkerResults();
  // 1 written, 0 not: local 0 the NEOCP rows, else the local-file rows.
  int SaveCsv(int local);
  std::string StatePath() const;
  FileLock m_folderLock;

  // Headless: the selected list positions and what the log holds.
  std::vector<int> m_selection;
  std::string m_strLog;

  // ---- following up scanned objects (known_match.cpp) ----
  // Button 1538: every row against the catalogues of known objects.
  void MatchKnownObjects();
  // The catalogue scans' progress: bar, status, object clock, pump.
  void ReportMatchProgress(int percent);
  std::string m_strServiceUrl;  // observation service ("" the default)
  int m_nProgressRange = 0;     // headless records of the progress bar
  int m_nProgressPos = 0;

  // ---- the scan run (scan_run.cpp) ----
  void OnScanAll();
  void OnScanSelected();
  void OnScanFiles();
  // One new row per file (list_state 6), selected and scanned.
  void ScanFileList(const std::vector<std::string>& files);
  void StartScan(int selectedOnly, int maxCount);
  void ScanOneObject(int row);
  // Marks the row as computing, applies the skip tests and provides the
  // observation file; false when skipped or not fetched. Such a row keeps
  // the results of its last scan (m_bKeptPrevious) and the log says so.
  bool PrepareObservations(int row, std::string& obsPath);
  void LogRowResult(const NeocpScanRow& row);
  // F and B of a row: its folder and its file base name, unique in the table.
  std::string RowFolder(int row) const;
  std::string RowBaseName(int row) const;
  // The object's orbit by the view's batch driver (tests put their own).
  virtual int ComputeBatchOrbit(const std::string& obsPath, NeocpScanRow& row);
  // The observations of a NEOCP object into path; 1 written, 0 with error.
  virtual int FetchObservations(const std::string& desig, const std::string& path, std::string& error);
  // Progress bar 1522.
  virtual void SetProgressRange(int range) { m_nProgressRange = range; }
  virtual void SetProgressPos(int pos) { m_nProgressPos = pos; }
  // Milliseconds of the dialog's clock.
  uint32_t NowMs();
  // Dispatches pending events between the worker pool's passes.
  void DispatchIdleEvents();

  int m_bKeptPrevious = 0;       // the last PrepareObservations kept the row's earlier results
  int m_bCommandLineRun = 0;     // a scan asked for on the command line: no box waits for an answer
  std::string m_strWorkerBase;   // a worker's B, given by its job
  WorkerLauncher* m_pLauncher = nullptr;  // null: worker processes of this program
  // Headless records of the window's side.
  int m_bMainClosePosted = 0;
  int m_nCenteredPosition = -1;
  std::vector<std::string> m_astrMessages;
  // ---- row actions (scan_row_actions.cpp) ----
  // Double-click on the list item at position item: the row's observations
  // (fetched from the NEOCP when it has no file) and nominal orbit into the view.
  void OnRowDoubleClick(int item);
  // The context menu of a row: selects and focuses its item and gives the
  // one command's text and whether it is enabled; false when there is no menu.
  bool PrepareRowMenu(int row, std::string& label, bool& enabled);
  // The menu's command: the row's observations joined with those of the
  // known object the match found, loaded into the view.
  void ComputeLinkedOrbit(int row);
  int m_nMainRaised = 0;        // headless: the main window was brought forward
  // Buttons 1530 (closest 0: the nominal orbit) and 1531 (1: the closest
  // clone): the selected row's orbit integrated again over the screened
  // interval into the shared geocentric track, the diagram's geocentric scene.
  void ShowGeocentricOrbit(int closest);

  // ---- searches along the view's orbit (view_orbit_search.cpp, itf_search.cpp) ----
  // Button 1539: the catalogues' orbits near the view's orbit, then SearchItf.
  void OnSearchByViewOrbit();
  // Earlier observations of the view's object in the isolated tracklet file
  // (closeCount: the close known orbits found before). Leaves the final
  // status in m_strSearchSummary when it has one.
  void SearchItf(OrbitEngine* engine, const std::string& name, int closeCount);
  // The wall clock of the searches (the ITF's age, "today"); tests set their own.
  std::function<std::time_t()> m_fnWallClock;
  std::time_t WallClockNow() const;

protected:
  // ---- the window's side (headless: nothing, or the maps) ----
  virtual std::vector<int> SelectedListPositions() { return m_selection; }
  virtual void ShowListItems() {}
  virtual void ShowListRow(int position) { (void)position; }
  virtual void InsertLogText(const std::string& text) { m_strLog += text; }
  // Dispatches at most max pending events; true when the application's
  // loop was asked to end.
  virtual bool DispatchPendingEvents(int max);
  virtual void LockApplication() {}
  virtual void UnlockApplication() {}
  virtual void StartScanTimer() {}
  virtual void StopScanTimer() {}
  virtual void OpenFolder(const std::string& path) { m_strOpenedFolder = path; }
  virtual void CloseWindow() { m_bClosed = 1; }
  // The scan run's window side.
  virtual void SelectListPositions(const std::vector<int>& positions) { m_selection = positions; }
  virtual void EnsureListItemVisible(int position) { (void)position; }
  // Selects and focuses the item (others stay selected) and makes it
  // visible; with center it is scrolled to the middle of the list.
  virtual void SelectListItem(int position, bool center);
  virtual void ShowScanMessage(const std::string& text) { m_astrMessages.push_back(text); }
  virtual bool ChooseObservationFiles(std::vector<std::string>& files) { (void)files; return false; }
  virtual void PostCloseMainWindow() { m_bMainClosePosted = 1; }
  virtual void RaiseMainWindow() { ++m_nMainRaised; }

public:
  std::string m_strOpenedFolder;
  int m_bClosed = 0;

private:
  void CheckTimeLimit();
  bool RunFromCommandLine();
  bool RefuseScan(const std::string& text);
  bool KeepPreviousResult(int row, const NeocpScanRow& before);
  void FinishScan(const std::vector<int>& jobs, int done, int selectedOnly, int rememberRow, uint32_t startMs);
  bool AnyRowWithListState(std::initializer_list<int> states) const;
  // HttpGetText of host + path, window events dispatched while the server
  // is awaited, the commands disabled and 中止 enabled; subject names the
  // text in the progress shown on the status line.
  int FetchMpcText(const char* path, const char* subject, std::string& body, std::string* error);
  std::string MatchObservationFile(const NeocpScanRow& row);
  // Fetches a NEOCP object's observations into safe(desig).obs of the scan
  // folder under the wait cursor; 1 with path, 0 with error.
  int FetchNeocpObservations(const std::string& desig, std::string& path, std::string& error);
  // The row's observation file for a row action ("" with the status set).
  std::string RowActionObservationFile(const NeocpScanRow& row, const char* offListStatus);
  // The ITF search's trials, choice, report and load; the link of the
  // chosen group (true when the joined set was loaded).
  void RunItfTrials(OrbitEngine* engine, const std::string& name, ItfSearchContext& ctx);
  bool LinkItfGroup(CDeterminationDisplay& view, const std::string& name, const std::string& ownObs,
                    const std::string& hitsPath, const IntegrationState& fit, int hitCount);
  void RefineMatchQueries(std::vector<TrackletQuery>& queries, const std::vector<int>& queryRow,
                          KnownMatchTotals& totals);
  size_t m_nLogChars = 0;
  HostControl m_engineText;
};
