#pragma once
// The windows of the fit diagnostics: the station statistics ("観測所別の
// 残差", modeless), the era statistics ("時代別の残差", modeless) and the
// non-gravitational significance test ("非重力効果の判定", modal). They show
// what determination/station_stats.h, era_stats.h and nongrav_check.h
// compute and pass their commands to them.
#include <wx/dialog.h>

#include "app/help_pages.h"
#include "determination/era_stats.h"
#include "determination/station_stats.h"

class CDeterminationView;
class wxButton;
class wxCheckBox;
class wxListCtrl;
class wxListEvent;
class wxStaticText;
class wxTextCtrl;
struct StationRecord;

class CObsStat : public wxDialog {
public:
  enum : int { IDC_LIST = 1313, IDC_SUMMARY = 1314, IDC_EXPLAIN = 1315, IDC_EXCLUDE = 1316, IDC_ENABLE = 1317,
               IDC_TEST = 1344, IDC_WEIGHT = 1456, IDC_WEIGHT_RESET = 1457 };
  explicit CObsStat(CDeterminationView* view);
  ~CObsStat() override;
  // Table and summary from the view's statistics.
  void FillTable();
  wxListCtrl* List() const { return m_list; }
  std::string SummaryText() const;

private:
  std::string SelectedCode() const;
  void UpdateButtons();
  void OnColumnClick(wxListEvent& event);
  void OnStationCommand(int id);
  void OnTest();
  // Observation list, statistics and table after a station command.
  void AfterStationChange(bool weights);

  CDeterminationView* m_pView;
  StationRecord* m_pStations = nullptr;
  StationSort m_sort;  // m_nSortColumn, m_bSortAscending
  std::vector<std::string> m_rowCodes;
  wxListCtrl* m_list = nullptr;
  wxStaticText* m_summary = nullptr;
};

class CEraStat : public wxDialog {
public:
  enum : int { IDC_LIST = 1465, IDC_SUMMARY = 1466, IDC_EXPLAIN = 1467, IDC_YEARLY = 1468, IDC_APPLY = 1469 };
  explicit CEraStat(CDeterminationView* view);
  ~CEraStat() override;
  void FillTable();
  wxListCtrl* List() const { return m_list; }
  std::string SummaryText() const;
  const EraTable& Table() const { return m_table; }

private:
  CDeterminationView* m_pView;
  int m_bYearly = 0;
  EraTable m_table;
  wxListCtrl* m_list = nullptr;
  wxStaticText* m_summary = nullptr;
  wxCheckBox* m_yearly = nullptr;
  wxButton* m_apply = nullptr;
};

class CNonGravCheck : public wxDialog, public CNgHelpOwner {
public:
  enum : int { IDC_VERDICT = 1331, IDC_REPORT = 1332, IDC_AGAIN = 1333, IDC_HELP = 1334 };
  explicit CNonGravCheck(CDeterminationView* view);
  // Its help page goes with it.
  ~CNonGravCheck() override;
  // Runs the test and shows its outcome.
  void RunCheck();
  std::string VerdictText() const;
  std::string ReportText() const;
  int VerdictState() const { return m_nVerdictState; }

private:
  CDeterminationView* m_pView;
  int m_nVerdictState = -1;
  wxStaticText* m_verdict = nullptr;
  wxTextCtrl* m_report = nullptr;
};
