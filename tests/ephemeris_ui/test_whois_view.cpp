// The identification view in the running program: command 187 opens it,
// the 1862 Apollo night pasted with Ctrl+V and read, the catalogue typed,
// inspected and matched, Ctrl+F finds Apollo, the context menu copies the list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <wx/clipbrd.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "data/ui/info_help.h"
#include "engine/orbit_engine.h"
#include "ephemeris/ui/whois_view.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"
#include "tests/determination_ui/view_session.h"
#include "tests/ephemeris/ident_test_support.h"

namespace {

CWhoisObs* View() {
  CMainFrame* main = wxGetApp().MainFrame();
  if (!main) return nullptr;
  for (CChildFrame* f : main->ChildFrames())
    if (auto* v = dynamic_cast<CWhoisObs*>(f->GetFormView())) return v;
  return nullptr;
}

void Click(wxWindow* w, wxPoint at) {
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(at));
  sim.MouseClick();
}

void ClickControl(int id) {
  if (wxWindow* w = View() ? View()->Widget(id) : nullptr) Click(w, wxPoint(w->GetSize().x / 2, w->GetSize().y / 2));
}

// The text through the clipboard into a field, as the user pastes it.
void PasteInto(int id, const std::string& text) {
  if (wxTheClipboard->Open()) {
    wxTheClipboard->SetData(new wxTextDataObject(ToWx(text)));
    wxTheClipboard->Close();
  }
  ClickControl(id);
  wxUIActionSimulator sim;
  sim.Char('a', wxMOD_CONTROL);
  sim.Char('v', wxMOD_CONTROL);
}

std::string Text(int id) { return View() ? View()->Text(id) : std::string(); }

long SelectedRow() { return View() ? View()->List()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) : -1; }

CWhoisFindDlg* FindDialog() {
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* d = dynamic_cast<CWhoisFindDlg*>(w); d && d->IsShown()) return d;
  return nullptr;
}

std::string ApolloNight() {
  std::istringstream in(ReadTestFile(TestDataPath("obs/mpc80/orbfit_1862.obs")));
  std::string line, out;
  while (std::getline(in, line))
    if (line.size() >= 80 && line.compare(15, 10, "2008 02 13") == 0) out += line + "\n";
  return out;
}

}  // namespace

TEST(WhoisView, PasteReadInspectMatchFindAndCopy) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obs, "obs/mpc80/orbfit_1862.obs");
  ViewSession session("whois_view");
  const std::string catalogue = BuildAcceptanceCatalogue(session.m_dir);
  if (catalogue.empty()) GTEST_SKIP() << MissingDataMessage("catalogues/ and orbits/orbfit_testout/");
  const std::string night = ApolloNight();
  std::string title, firstRow, found, obsStatus, catStatus, runStatus, helpTitle;
  size_t messagesBeforeClose = 0;
  bool stillOpen = false;
  std::filesystem::create_directories(session.m_dir + "dl");
  LocalHttpServer server(session.m_dir + "dl");
  ASSERT_TRUE(server.Running());
  session.m_ui.m_bRealEvents = true;
  bool matchEnabledBefore = true;
  std::vector<ViewStep> steps = {
      // Only with no function view visible does a function command open another one.
      ViewSession::CloseStartUpViewStep(),
      {"天体同定(&W)", [] { ViewSession::PostCommand(ID_WHOIS_OBS); }, [] { return View() && View()->IsShownOnScreen(); }},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"paste", [&] {
         title = FromWx(static_cast<wxWindow*>(View()->GetParent())->GetLabel());
         matchEnabledBefore = View()->Widget(kWhMatch)->IsEnabled();
         PasteInto(kWhPaste, night);
       },
       [&] { return Text(kWhPaste).size() >= night.size() - 20; }},
      {"観測を読み込む(&R)", [] { ClickControl(kWhRead); }, [] { return Text(kWhObsStatus).rfind("13件", 0) == 0; }},
      {"type the catalogue", [&] { PasteInto(kWhPath, catalogue); }, [&] { return Text(kWhPath) == catalogue; }},
      {"調べる(&E)", [] { ClickControl(kWhInspect); },
       [] { return Text(kWhCatalogueStatus).rfind("3007 天体", 0) == 0 && View()->Widget(kWhMatch)->IsEnabled(); }},
      {"照合(&S)", [] { ClickControl(kWhMatch); },
       [] { return Text(kWhRunStatus).rfind("照合が終わりました。", 0) == 0 && View()->List()->GetItemCount() > 0; }, 60},
      {"read", [&] {
         obsStatus = Text(kWhObsStatus);
         catStatus = Text(kWhCatalogueStatus);
         runStatus = Text(kWhRunStatus);
         firstRow = FromWx(View()->List()->GetItemText(0, 1)) + " " + FromWx(View()->List()->GetItemText(0, 7));
       },
       nullptr},
      {"click the last row", [] {
         wxListCtrl* list = View()->List();
         wxRect r;
         list->GetItemRect(list->GetItemCount() - 1, r);
         Click(list, wxPoint(r.x + 60, r.y + r.height / 2));
       },
       [] { return SelectedRow() == View()->List()->GetItemCount() - 1; }},
      {"Ctrl+F", [] { wxUIActionSimulator().Char('f', wxMOD_CONTROL); }, [] { return FindDialog() != nullptr; }},
      {"settle", nullptr, nullptr, 30, 0.3},
      {"find dialog", [] { ViewSession::SaveScreenshot(FindDialog(), "whois_find"); }, nullptr},
      {"type apollo", [] {
         wxUIActionSimulator sim;
         sim.Char('a', wxMOD_CONTROL);
         sim.Text("apollo");
         sim.Char(WXK_RETURN);
       },
       [] { return !FindDialog() && SelectedRow() == 0; }},
      {"found", [&] { found = FromWx(View()->List()->GetItemText(SelectedRow(), 2)); }, nullptr},
      {"context menu", [] {
         wxListCtrl* list = View()->List();
         wxRect r;
         list->GetItemRect(0, r);
         wxUIActionSimulator sim;
         sim.MouseMove(list->ClientToScreen(wxPoint(r.x + 60, r.y + r.height / 2)));
         sim.MouseClick(wxMOUSE_BTN_RIGHT);
       },
       nullptr, 30, 0.6},
      {"menu", [] { ViewSession::SaveScreen("whois_context_menu"); }, nullptr},
      {"一覧を全部コピー(&A)", [] {
         wxUIActionSimulator sim;
         for (int i = 0; i < 4; ++i) sim.Char(WXK_DOWN);
         sim.Char(WXK_RETURN);
       },
       [&] { return !session.m_ui.m_clipboard.empty(); }},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"screenshot", [] { ViewSession::SaveScreenshot(wxGetApp().MainFrame(), "whois_view"); }, nullptr},
      {"help mark", [] { ClickControl(kWhExplain); }, [] { return g_pInfoHelp && g_pInfoHelp->IsShown(); }},
      {"help", [&] {
         helpTitle = FromWx(g_pInfoHelp->GetTitle());
         ViewSession::SaveScreenshot(g_pInfoHelp, "whois_help");
         g_pInfoHelp->Close();
       },
       [] { return !g_pInfoHelp || !g_pInfoHelp->IsShown(); }},
      // A slow download: the view's frame refuses to close while it runs, Stop ends it.
      {"download path", [&] { PasteInto(kWhPath, session.m_dir + "dl/MPCORB.DAT"); },
       [&] { return Text(kWhPath) == session.m_dir + "dl/MPCORB.DAT"; }},
      {"ダウンロード(&W)", [&] {
         TheApp().m_profile.WriteString(kSettingsSection, kWhoisMpcorbUrlKey,
                                        server.Url("/trickle?size=3000000&chunk=16384&ms=50").c_str());
         session.m_ui.m_scriptedAnswers = {MsgAnswer::Ok};
         ClickControl(kWhDownload);
       },
       [] { return View()->Widget(kWhStop)->IsEnabled() && !Text(kWhRunStatus).empty(); }},
      {"close while downloading", [&] {
         messagesBeforeClose = session.m_ui.m_messages.size();
         static_cast<wxWindow*>(View()->GetParent())->Close();
       },
       [&] { return session.m_ui.m_messages.size() > messagesBeforeClose; }},
      {"中止(&T)", [&] {
         stillOpen = View() != nullptr;
         ClickControl(kWhStop);
       },
       [] { return Text(kWhRunStatus) == "ダウンロードを中止しました。" && View()->Widget(kWhDownload)->IsEnabled(); }},
  };
  for (size_t i = 3; i < steps.size(); ++i) {
    if (steps[i].run) steps[i].run = [run = steps[i].run] {
      if (View()) run();
    };
    if (steps[i].until) steps[i].until = [until = steps[i].until] { return View() && until(); };
  }
  ASSERT_TRUE(session.Run({}, steps));
  EXPECT_TRUE(session.m_failures.empty()) << session.FailedSteps();
  std::printf("%s\n%s\n%s\nfirst: %s\n", obsStatus.c_str(), catStatus.c_str(), runStatus.c_str(), firstRow.c_str());
  EXPECT_EQ(title, "天体同定");
  EXPECT_EQ(helpTitle, "2段階照合の仕組み");
  EXPECT_TRUE(stillOpen);
  ASSERT_GT(session.m_ui.m_messages.size(), messagesBeforeClose);
  EXPECT_EQ(session.m_ui.m_messages[messagesBeforeClose].text, kMsgOtherCalculationRunning);
  EXPECT_FALSE(std::filesystem::exists(session.m_dir + "dl/MPCORB.DAT"));
  EXPECT_FALSE(std::filesystem::exists(session.m_dir + "dl/MPCORB.DAT.part"));
  EXPECT_FALSE(matchEnabledBefore);
  EXPECT_EQ(obsStatus.rfind("13件  符号:01862  2008/02/13.15〜2008/02/13.", 0), 0u) << obsStatus;
  EXPECT_EQ(firstRow.rfind("(1862) Apollo 1.2", 0), 0u) << firstRow;
  EXPECT_EQ(found, "01862");
  const std::string& clip = session.m_ui.m_clipboard;
  EXPECT_EQ(clip.rfind("順位\t天体\t符号\t", 0), 0u) << clip.substr(0, 80);
  EXPECT_NE(clip.find("\r\n1\t(1862) Apollo\t01862\t"), std::string::npos) << clip.substr(0, 300);
}
