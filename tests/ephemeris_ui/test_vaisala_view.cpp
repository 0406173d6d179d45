// The Väisälä view and the observation check in the running program: the
// Väisälä view from the function menu, a file opened through its dialog, the
// parabolic mode, a line chosen, the family to the search range and the
// chosen orbit to the ephemeris view by "位置推算(&E)"; the check opened by
// command 141 (which no menu sends), a file browsed and checked against a
// TESSARUNE.ELM beside the executable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <wx/filedlg.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "data/ui/info_help.h"
#include "determination/ui/determination_view.h"
#include "engine/tool_sinks.h"
#include "ephemeris/ephemeris_form.h"
#include "ephemeris/ui/checking_view.h"
#include "ephemeris/ui/ephemerides_view.h"
#include "ephemeris/ui/vaisala_view.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"
#include "views/search_range.h"

namespace {

CVaisalaView* Vaisala()
{
  return dynamic_cast<CVaisalaView*>(OpenWindows().m_pVaisala);
}

void ClickAt(wxWindow* w, wxPoint at)
{
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(at));
  sim.MouseClick();
}

void ClickControl(int id)
{
  if (wxWindow* w = Vaisala() ? Vaisala()->FindWindow(id) : nullptr)
    ClickAt(w, wxPoint(w->GetSize().x / 2, w->GetSize().y / 2));
}

std::string LinesOfDate(const std::string& path, const std::string& prefix)
{
  std::ifstream in(path);
  std::string line, out;
  while (std::getline(in, line))
    if (line.size() > 25 && line.compare(15, prefix.size(), prefix) == 0)
      out += line + "\n";
  return out;
}

// Answers the open file dialog with path until done holds.
std::function<bool()> ChooseFile(DialogWatch<wxFileDialog>& watch, const std::string& path, bool& chosen,
                                 std::function<bool()> done)
{
  return [&watch, path, &chosen, done] {
    AnswerFileChooser(watch.m_pOpen, ToWx(path), chosen);
    return done();
  };
}

} // namespace

TEST(VaisalaView, MenuFileModesSelectionSearchRangeAndEphemerides)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(tf202, "obs/mpc80/orbfit_2015TF202.obs");
  ViewSession session("vaisala_view");
  const std::string night = WriteTestFile(session.m_dir, "tf202_night1.obs", LinesOfDate(tf202, "2015 10 10"));
  DialogWatch<wxFileDialog> watch;
  watch.Register();
  bool chosen = false;
  std::string title, titleAfterOpen, ellipticBest, parabolicBest, pane, epochField, ephObject, ephQ, ephE;
  int ellipticLines = 0, parabolicLines = 0, selected = -1, family = -1;
  int rangeMode = -1, rangePoints = 0, rangeBest = -1;
  std::string rangeTable;
  double chosenQ = 0;
  bool vaisalaHidden = false;
  std::vector<std::string> helpTitles;
  std::vector<ViewStep> steps = {
      ViewSession::CloseStartUpViewStep(),
      ViewSession::OpenMenuStep(2, ID_VAISALA),
      {"menu shown", [] { ViewSession::SaveScreen("vaisala_function_menu"); }, nullptr},
      {"バイサラ軌道計算(&V)", [] { ViewSession::ClickMenuItem(ID_VAISALA); },
       [] { return Vaisala() && Vaisala()->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"title", [&] { title = FromWx(static_cast<wxWindow*>(Vaisala()->GetParent())->GetLabel()); }, nullptr},
      // The two information marks open their topics in the one help window.
      {"mark 1404", [] { ClickControl(CVaisalaView::IDC_HELP_VAISALA); },
       [] { return g_pInfoHelp && g_pInfoHelp->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"help 1404", [&] {
         helpTitles.push_back(FromWx(g_pInfoHelp->GetTitle()));
         ViewSession::SaveScreenshot(g_pInfoHelp, "vaisala_help");
       },
       nullptr},
      {"mark 1405", [] { ClickControl(CVaisalaView::IDC_HELP_RANGE); },
       [] { return g_pInfoHelp && FromWx(g_pInfoHelp->GetTitle()) == kVaisalaRangeHelpTitle; }},
      {"help 1405", [&] {
         helpTitles.push_back(FromWx(g_pInfoHelp->GetTitle()));
         g_pInfoHelp->Close(true);
       },
       [] { return !g_pInfoHelp; }},
      ViewSession::OpenMenuStep(0, ID_OPEN_OBS_FILE),
      {"観測ファイルを開く(&O)", [] { ViewSession::ClickMenuItem(ID_OPEN_OBS_FILE); },
       [&] { return watch.m_pOpen != nullptr; }},
      {"file chosen", nullptr,
       ChooseFile(watch, night, chosen, [] { return Vaisala() && !Vaisala()->m_candidateLines.empty(); })},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"elliptic", [&] {
         CVaisalaView* v = Vaisala();
         titleAfterOpen = FromWx(static_cast<wxWindow*>(v->GetParent())->GetLabel());
         ellipticLines = v->Candidates()->GetCount();
         ellipticBest = FromWx(v->Candidates()->GetStringSelection());
         if (auto* epoch = dynamic_cast<wxTextCtrl*>(v->FindWindow(CVaisalaView::IDC_EPOCH)))
           epochField = FromWx(epoch->GetValue());
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "vaisala_elliptic");
       },
       nullptr},
      {"放物線軌道", [] { ClickAt(Vaisala()->Radio(true), wxPoint(8, Vaisala()->Radio(true)->GetSize().y / 2)); },
       [] { return Vaisala()->m_bParabolic == 1 && Vaisala()->Candidates()->GetCount() > 14; }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"parabolic", [&] {
         CVaisalaView* v = Vaisala();
         parabolicLines = v->Candidates()->GetCount();
         parabolicBest = FromWx(v->Candidates()->GetStringSelection());
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "vaisala_parabolic");
       },
       nullptr},
      // The top line of the list, clicked.
      {"choose a line", [] { ClickAt(Vaisala()->Candidates(), wxPoint(40, 8)); },
       [] {
         CVaisalaView* v = Vaisala();
         return v->Candidates()->GetSelection() == v->m_nCandidateTop && v->m_nCandidateSel == v->m_nCandidateTop;
       }},
      {"chosen", [&] {
         selected = Vaisala()->m_nCandidateSel;
         chosenQ = Vaisala()->m_chosen[1];
         pane = FromWx(Vaisala()->TextPane()->GetValue());
       },
       nullptr},
      ViewSession::OpenMenuStep(1, ID_SEARCH_RANGE),
      {"捜索範囲(距離変差線)(&R)", [] { ViewSession::ClickMenuItem(ID_SEARCH_RANGE); },
       [] {
         auto* w = dynamic_cast<wxWindow*>(ToolSinks().SearchRange());
         return w && w->IsShownOnScreen();
       }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"family", [&] {
         if (auto* range = dynamic_cast<CSearchRangeDlg*>(ToolSinks().SearchRange())) {
           family = range->m_nFamily;
           rangeMode = range->m_nMode;
           rangePoints = range->m_nPoints;
           rangeBest = range->m_nNominal;
           rangeTable = range->m_strTable;
           ViewSession::SaveScreenshot(dynamic_cast<wxWindow*>(range), "vaisala_search_range");
         }
       },
       nullptr},
      ViewSession::OpenMenuStep(2, ID_EPHEMERIDES),
      {"位置推算(&E)", [] { ViewSession::ClickMenuItem(ID_EPHEMERIDES); },
       [] {
         auto* eph = dynamic_cast<CEphemeridesView*>(OpenWindows().m_pEphemerides);
         return eph && eph->IsShownOnScreen() && !eph->GetItemText(kEphQ).empty();
       }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"ephemeris view", [&] {
         auto* eph = dynamic_cast<CEphemeridesView*>(OpenWindows().m_pEphemerides);
         ephObject = eph->GetItemText(kEphObject);
         ephQ = eph->GetItemText(kEphQ);
         ephE = eph->GetItemText(kEphE);
         vaisalaHidden = Vaisala() && !static_cast<wxWindow*>(Vaisala()->GetParent())->IsShown();
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "vaisala_to_ephemerides");
       },
       nullptr},
      // Closing the ephemeris view brings the Väisälä view back.
      {"close the ephemeris view",
       [] {
         auto* eph = dynamic_cast<CEphemeridesView*>(OpenWindows().m_pEphemerides);
         dynamic_cast<CChildFrame*>(eph->GetParent())->Close(true);
       },
       [] { return !OpenWindows().m_pEphemerides && Vaisala() && Vaisala()->IsShownOnScreen(); }},
  };
  ASSERT_TRUE(session.Run({}, steps));
  watch.Unregister();
  EXPECT_TRUE(session.m_failures.empty()) << session.FailedSteps();
  EXPECT_EQ(title, kVaisalaTitle);
  EXPECT_EQ(helpTitles, (std::vector<std::string>{kVaisalaHelpTitle, kVaisalaRangeHelpTitle}));
  EXPECT_EQ(titleAfterOpen, night);
  EXPECT_GE(ellipticLines, 2);
  EXPECT_LE(ellipticLines, 14);
  EXPECT_NE(ellipticBest.find("  (*)"), std::string::npos) << ellipticBest;
  EXPECT_EQ(ellipticBest.rfind("delta:", 0), 0u) << ellipticBest;
  EXPECT_NE(epochField.find("TT = JDT"), std::string::npos) << epochField;
  EXPECT_GT(parabolicLines, 14);
  EXPECT_LE(parabolicLines, 197);
  EXPECT_EQ(parabolicBest.rfind("Delta = ", 0), 0u) << parabolicBest;
  EXPECT_NE(parabolicBest.find("  (*)"), std::string::npos) << parabolicBest;
  EXPECT_GE(selected, 0);
  EXPECT_EQ(pane.rfind("Orbital elements:\n2015 TF202\nT ", 0), 0u) << pane;
  EXPECT_GT(family, 0);
  // The search range shows the family's distance line, the best candidate marked once.
  EXPECT_EQ(rangeMode, 1);
  EXPECT_GT(rangePoints, 1);
  EXPECT_GE(rangeBest, 0);
  EXPECT_NE(rangeTable.find("捜索範囲(距離変差線)"), std::string::npos);
  EXPECT_NE(rangeTable.find("←最良の候補"), std::string::npos);
  EXPECT_EQ(rangeTable.find("←最良の候補"), rangeTable.rfind("←最良の候補"));
  EXPECT_EQ(ephObject, "2015 TF202");
  EXPECT_EQ(ephQ, FormatC("%.7f", chosenQ));
  EXPECT_EQ(ephE, "1.0000000");
  EXPECT_TRUE(vaisalaHidden);
}

TEST(CheckingView, Command141BrowseAndCheck)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(tf202Data, "obs/mpc80/orbfit_2015TF202_1.obs");
  const std::string tf202 = std::filesystem::canonical(tf202Data).string();
  ViewSession session("checking_view");
  // An element record for the object (a one-line comet-format line of its
  // preliminary orbit) beside the pretended executable.
  WriteTestFile(session.m_dir + "bin/", "TESSARUNE.ELM",
                "     K15TK2F  2015 09 20.0000  0.980000  0.100000  300.0000   17.0000    2.0000  20151010  20.0  4.0  "
                "2015 TF202\n");
  DialogWatch<wxFileDialog> watch;
  watch.Register();
  bool chosen = false;
  std::string path, output;
  auto view = [] {
    CMainFrame* main = wxGetApp().MainFrame();
    return main ? dynamic_cast<CCheckingView*>(main->FindFunctionView(FunctionView::Checking)) : nullptr;
  };
  auto click = [view](int id) {
    wxWindow* w = view()->FindWindow(id);
    ClickAt(w, wxPoint(w->GetSize().x / 2, w->GetSize().y / 2));
  };
  std::vector<ViewStep> steps = {
      ViewSession::CloseStartUpViewStep(),
      {"command 141", [] { ViewSession::PostCommand(ID_CHECKING); }, [&] { return view() && view()->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"開く(&O)", [&] { click(CCheckingView::IDC_BROWSE); }, [&] { return watch.m_pOpen != nullptr; }},
      {"file chosen", nullptr, ChooseFile(watch, tf202, chosen, [&] { return !view()->GetPath().empty(); })},
      {"計算開始(&C)", [&] { click(CCheckingView::IDC_CHECK); }, [&] { return !view()->m_strOutput.empty(); }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"listing", [&] {
         path = view()->GetPath();
         output = FromWx(view()->Output()->GetValue());
         ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "checking_listing");
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, steps));
  watch.Unregister();
  EXPECT_TRUE(session.m_failures.empty()) << session.FailedSteps();
  EXPECT_EQ(path, tf202);
  // An empty first line, then one line for each of the file's 17 observations.
  std::istringstream in(output);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "");
  int rows = 0;
  while (std::getline(in, line)) {
    EXPECT_EQ(line.rfind("     K15TK2F 2015 10 ", 0), 0u) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 17);
}
