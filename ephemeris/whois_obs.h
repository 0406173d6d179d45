#pragma once
// The identification view "天体同定" without its window: pasted observations
// read with their observer vectors, the catalogue chosen, downloaded and
// inspected, the two-stage match (stage 1 on worker threads over the whole
// catalogue, stage 2 the perturbed check of the best candidates), the result
// rows, find by name and copying. The view reaches its controls through
// WhoisForm by control id; tests give a form of plain fields.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "ephemeris/ident_scan.h"

class EngineWindow;
struct IntegrationState;
struct StationRecord;

enum WhoisControlId : int {
  kWhPaste = 1256,
  kWhObsStatus = 1257,
  kWhRead = 1258,
  kWhClear = 1259,
  kWhPath = 1260,
  kWhBrowse = 1261,
  kWhDownload = 1262,
  kWhInspect = 1263,
  kWhCatalogueStatus = 1264,
  kWhTolerance = 1265,
  kWhMagTolerance = 1266,
  kWhMatch = 1267,
  kWhStop = 1268,
  kWhProgress = 1269,
  kWhRunStatus = 1270,
  kWhList = 1271,
  kWhPathWindow = 1272,
  kWhRefineCount = 1273,
  kWhThreads = 1274,
  kWhEngineText = 1275,
  kWhCrossWindow = 1276,
  kWhFindText = 1277,
  kWhExplain = 1411,
};

inline constexpr int kWhoisListRows = 500;
inline constexpr int kWhoisMaxCandidates = 200000;
inline constexpr int kWhoisColumns = 13;
inline constexpr const char* kWhoisPasteFile = "WhoisObs_paste.obs";
inline constexpr const char* kWhoisMpcorbKey = "WHOIS_MPCORB";
inline constexpr const char* kWhoisMpcorbUrlKey = "WHOIS_MPCORBURL";
inline constexpr const char* kWhoisObsPrompt = "観測データを貼り付けて[観測を読み込む]を押してください。";
inline constexpr const char* kWhoisInspectPrompt = "[調べる]でファイルの中身と天体数を確認します。";
inline constexpr const char* kWhoisHelpTitle = "2段階照合の仕組み";

// The controls of the view as the model sees them.
class WhoisForm {
public:
  virtual ~WhoisForm() = default;
  virtual std::string Text(int id) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual void Enable(int id, bool enable) = 0;
  // Selection of the thread list (-1 none).
  virtual int Selection(int id) = 0;
  virtual void SetProgress(int percent) = 0;
  // The result list: replaced by these rows (redrawing off while filling).
  virtual void ShowRows(const std::vector<std::vector<std::string>>& rows) = 0;
  // The message window of the perturbed integration.
  virtual EngineWindow* EngineText() = 0;
  // Repaints the status texts and the bar at once (no events dispatched).
  virtual void Repaint() {}
};

// Titles of the result list's columns.
extern const char* const kWhoisColumnTitles[kWhoisColumns];
// The texts of the thread list: "自動(%d)" with the processor count, then 1 ... 32.
std::vector<std::string> WhoisThreadChoices(int processors);
// The help text of the information mark.
std::string WhoisHelpText();
// Ascending score; refined first by ascending RMS, then the rest by score.
bool CompareByScore(const IdentCandidate& a, const IdentCandidate& b);
bool CompareByResidual(const IdentCandidate& a, const IdentCandidate& b);
// The cells of one row (position from 1).
std::vector<std::string> WhoisRowCells(int position, const IdentCandidate& c);

class WhoisModel {
public:
  WhoisModel();
  ~WhoisModel();
  WhoisModel(const WhoisModel&) = delete;
  WhoisModel& operator=(const WhoisModel&) = delete;

  // The form's first contents: path, conditions, statuses, thread list selection by the caller.
  void InitialUpdate(WhoisForm& form);
  void UpdateControls(WhoisForm& form);

  void OnReadObservations(WhoisForm& form);
  void OnClear(WhoisForm& form);
  // After a file was chosen in the open-file dialog.
  void OnBrowseChosen(WhoisForm& form, const std::string& path);
  void OnDownloadMpcorb(WhoisForm& form);
  void OnInspectMpcorb(WhoisForm& form);
  void OnMatch(WhoisForm& form);
  // Stop: the stage-1 workers, the stage-2 loop and the download end at their next check.
  void OnStop() {
    m_bCancel.store(1);
    m_nDownloadCancel = 1;
  }

  // Stage 1 over the catalogue into the candidates; their count, or -1.
  int ScanMpcorbStage1(WhoisForm& form);
  // Stage 2 of candidate k: 1 refined, 0 failed.
  int RefineForView(WhoisForm& form, IdentCandidate& c);

  // Find by name: the row (0-based) of the first hit among rows, from
  // startRow and wrapping; -1 without. Then the message of a hit among the
  // candidates beyond the rows, or of no hit at all, is shown.
  int FindInRows(const std::string& text, int startRow, const std::vector<std::vector<std::string>>& rows);
  void ReportNotInRows(const std::string& text);
  // The text of the list for the clipboard: titles, then the given rows.
  static std::string CopyText(const std::vector<std::vector<std::string>>& rows);

  bool Running() const { return m_bRunning != 0; }
  int ObservationCount() const { return m_nObs; }
  const ObservationRecord* Observations() const { return m_pObs; }
  int MpcorbObjects() const { return m_nMpcorbObjects; }
  const std::vector<IdentCandidate>& Candidates() const { return m_candidates; }
  const std::vector<std::vector<std::string>>& Rows() const { return m_rows; }
  std::string m_strSearch;
  double m_dFirstJd = 0, m_dLastJd = 0;

private:
  void ResetObservations();
  void ReadObservations(WhoisForm& form);
  bool ComputeObserverVectors();
  void FillList(WhoisForm& form, bool cancelled, int refined, double seconds);

  ObservationRecord* m_pObs = nullptr;
  int m_nObs = 0;
  StationRecord* m_pStations = nullptr;
  int m_nMpcorbObjects = 0;
  std::vector<IdentCandidate> m_candidates;
  std::vector<std::vector<std::string>> m_rows;
  int m_bRunning = 0;
  // Read by the stage-1 workers while the window's thread sets it.
  std::atomic<int> m_bCancel{0};
  // The download's flag: set and read on the window's thread only.
  int m_nDownloadCancel = 0;
  std::unique_ptr<IntegrationState> m_pRefineState;
};
