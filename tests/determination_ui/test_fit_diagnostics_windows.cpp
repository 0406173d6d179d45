// The fit diagnostics' windows in the running program (under xvfb-run):
// 2015 AB improved with perturbations, the station statistics opened by
// the menu command, sorted by a header click and a station excluded with
// its confirmation answered; the era statistics; then with water-ice terms
// the non-gravitational test, closed by its button.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <wx/listctrl.h>
#include <wx/uiaction.h>

#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/fit_diagnostics_dlgs.h"
#include "engine/orbit_engine.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/determination_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"

namespace {

void Add(std::vector<ViewStep>& steps, std::vector<ViewStep> more)
{
  for (ViewStep& s : more)
    steps.push_back(std::move(s));
}

CNonGravCheck* ShownNonGravCheck()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dlg = dynamic_cast<CNonGravCheck*>(w); dlg && dlg->IsShownOnScreen())
      return dlg;
  return nullptr;
}

// Clicks the header of a list's column.
void ClickHeader(wxListCtrl* list, int column)
{
  int x = 0;
  for (int c = 0; c < column; ++c)
    x += list->GetColumnWidth(c);
  const wxPoint at = list->GetScreenPosition() + wxPoint(x + list->GetColumnWidth(column) / 2, 10);
  wxUIActionSimulator sim;
  sim.MouseMove(at);
  wxYield();
  sim.MouseClick();
}

std::string ColumnTitle(wxListCtrl* list, int column)
{
  wxListItem item;
  item.SetMask(wxLIST_MASK_TEXT);
  list->GetColumn(column, item);
  return FromWx(item.GetText());
}

// Observations of a station, and those of them rejected by hand.
std::pair<int, int> StationRejections(const DetClass* det, const std::string& station)
{
  std::pair<int, int> counts{0, 0};
  for (int i = 0; i < det->m_nObsCount; ++i)
    if (station == det->m_pOrbObs[i].m_szStation) {
      ++counts.first;
      counts.second += det->m_pOrbObs[i].m_bRejected && det->m_pOrbObs[i].m_bByHand;
    }
  return counts;
}

} // namespace

TEST(FitDiagnosticsWindows, StationEraAndNonGravWindowsByTheirCommands)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("fit_diagnostics");
  auto view = [] { return ViewSession::View(); };
  auto idleIn = [view](int s) {
    return [view, s] { return view()->m_pEngine->m_nCalcState == s && !EngineBusy(view()->m_pEngine); };
  };
  std::string stationTitle, summary, eraSummary, verdict, report, excludedStation;
  int stationRows = 0, eraRows = 0, rejectedOfStation = 0, observationsOfStation = 0;

  std::vector<ViewStep> steps = {{"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == 1; }}};
  int picks = 0;
  for (const int row : {14, 24, 36})
    Add(steps, ViewSession::ClickObsRowSteps(row, [view, row, n = ++picks] {
          return row == 36 ? view()->m_pEngine->m_nCalcState == 3 : view()->m_nPicked == n;
        }));
  for (int i = 0; i < 3; ++i)
    Add(steps, ViewSession::ClickControlSteps(kIdManualImprove, idleIn(5)));

  // A residual refresh leaves the statistics to the list's paint, whose row
  // colours still come from them.
  int statsAfterRefresh = -1, statsAfterPaint = 0, flagsAfterPaint = 0;
  steps.push_back({"station flags at paint", [&, view] {
                     CDeterminationView* v = view();
                     v->RefreshResidualList(v->m_pDetClass->m_pOrbObs, 1);
                     statsAfterRefresh = v->m_nStationStats;
                     for (int row = 0; row < v->m_pDetClass->m_nObsCount; ++row)
                       v->ObsBiasFlag(row);
                     statsAfterPaint = v->m_nStationStats;
                     flagsAfterPaint = v->m_nObsBiasFlags;
                   },
                   nullptr});
  // Station statistics: opened, sorted by "偏りの大きさ", a row selected and excluded.
  steps.push_back({"open 観測所別の残差", [] { ViewSession::PostCommand(ID_STATION_STATS); },
                   [view] { return view()->m_pObsStat && view()->m_pObsStat->IsShownOnScreen(); }});
  // The header shows the sort once the click has sorted the rows.
  steps.push_back({"sort", [view] { ClickHeader(view()->m_pObsStat->List(), 6); },
                   [view] { return ColumnTitle(view()->m_pObsStat->List(), 6) == "偏りの大きさ\" ▼"; }, 30, 0.6});
  steps.push_back({"select", [view] {
                     wxListCtrl* list = view()->m_pObsStat->List();
                     list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
                   },
                   nullptr, 30, 0.4});
  steps.push_back({"exclude", [&, view] {
                     wxListCtrl* list = view()->m_pObsStat->List();
                     excludedStation = FromWx(list->GetItemText(0));
                     session.m_ui.m_scriptedAnswers = {MsgAnswer::Ok};
                     ViewSession::ClickButtonOf(view()->m_pObsStat, CObsStat::IDC_EXCLUDE);
                   },
                   [&, view] {
                     const auto [observations, rejected] = StationRejections(view()->m_pDetClass, excludedStation);
                     return observations > 0 && rejected == observations;
                   },
                   30, 0.8});
  steps.push_back({"read 観測所別の残差", [&, view] {
                     CObsStat* dlg = view()->m_pObsStat;
                     stationTitle = ColumnTitle(dlg->List(), 6);
                     stationRows = dlg->List()->GetItemCount();
                     summary = dlg->SummaryText();
                     std::tie(observationsOfStation, rejectedOfStation) =
                         StationRejections(view()->m_pDetClass, excludedStation);
                     ViewSession::SaveScreenshot(dlg, "obs_stat");
                   },
                   nullptr});
  // Era statistics.
  steps.push_back({"open 時代別の残差", [] { ViewSession::PostCommand(ID_ERA_STATS); },
                   [view] { return view()->m_pEraStat && view()->m_pEraStat->IsShownOnScreen(); }});
  steps.push_back({"read 時代別の残差", [&, view] {
                     eraRows = view()->m_pEraStat->List()->GetItemCount();
                     eraSummary = view()->m_pEraStat->SummaryText();
                     ViewSession::SaveScreenshot(view()->m_pEraStat, "era_stat");
                   },
                   nullptr, 30, 0.5});
  // With water-ice terms, then the test.
  Add(steps, ViewSession::ClickControlSteps(kIdNonGravCheck, [view] { return view()->IsChecked(kIdNonGravCheck) == 1; }));
  for (int i = 0; i < 2; ++i)
    Add(steps, ViewSession::ClickControlSteps(kIdManualImprove, idleIn(5)));
  steps.push_back({"open 非重力効果の判定", [] { ViewSession::PostCommand(ID_NONGRAV_CHECK); },
                   [] { return ShownNonGravCheck() && ShownNonGravCheck()->VerdictState() != -1; }, 60});
  steps.push_back({"settle", nullptr, nullptr, 30, 1.0});
  steps.push_back({"read 非重力効果の判定", [&] {
                     CNonGravCheck* dlg = ShownNonGravCheck();
                     verdict = dlg->VerdictText();
                     report = dlg->ReportText();
                     ViewSession::SaveScreenshot(dlg, "nongrav_check");
                     ViewSession::ClickButtonOf(dlg, wxID_OK);
                   },
                   [] { return ShownNonGravCheck() == nullptr; }});
  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(statsAfterRefresh, 0);
  EXPECT_GT(statsAfterPaint, 3);
  EXPECT_EQ(flagsAfterPaint, 37);
  EXPECT_EQ(stationTitle, "偏りの大きさ\" ▼");
  EXPECT_GT(stationRows, 3);
  EXPECT_FALSE(excludedStation.empty());
  EXPECT_GT(observationsOfStation, 0);
  EXPECT_EQ(rejectedOfStation, observationsOfStation) << excludedStation;
  EXPECT_NE(summary.find("観測所 / 37観測。"), std::string::npos) << summary;
  EXPECT_EQ(eraRows, 2);  // a precovery decade and the discovery's
  EXPECT_EQ(eraSummary.find("2期間に分けて集計しました(10年ごと)。"), 0u) << eraSummary;
  EXPECT_TRUE(verdict == "× 非重力効果は検出されていません" || verdict == "△ 判断を保留します (決め手に欠けます)")
      << verdict << "\n" << report;
  EXPECT_EQ(report.rfind("仮定したモデル: マースデンTypeII(水氷)", 0), 0u) << report;
}
