// The program's main window under a display (run under xvfb-run): started on
// a temporary data folder with message boxes recorded instead of shown.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <wx/docview.h>
#include <wx/generic/statbmpg.h>
#include <wx/stattext.h>
#include <wx/evtloop.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "app/about_dlg.h"
#include "app/child_frame.h"
#include "app/form_template.h"
#include "app/form_view.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "astro/mpeph_store.h"
#include "data/ui/element_file_dialogs.h"
#include "determination/oplog_cleanup.h"
#include "engine/ui/cancel_dlg.h"
#include "platform/files.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_menus.h"
#include "resources/app_strings.h"
#include "tests/common/test_data.h"

namespace {

// A function view with nothing on it that takes "open observation file".
class FakeView : public CFormView {
public:
  FakeView(CChildFrame* frame, FunctionView kind) : CFormView(frame, kind)
  {
    Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, ID_OPEN_OBS_FILE);
  }
  void ApplyDeveloperLayout() override { ++s_layouts; }
  static inline int s_layouts = 0;
};

class MainWindow : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
      return;
    s_dir = MakeTempDir("mainwnd");
    CreateFolder(s_dir + "bin");
    // The portable layout: settings beside the (pretended) executable.
    WriteFileAtomic(s_dir + "bin/Tessarune.INI",
                    "[SYSTEM]\r\nDE441FILE=" + s_dir + "none.441\r\nDE406FILE=" + s_dir +
                        "none.406\r\nMAINWND_X=40\r\nMAINWND_Y=30\r\nMAINWND_W=600\r\nMAINWND_H=400\r\n");
    // A DE441 file that exists keeps the modal download dialog away; it is no
    // planetary file, so the missing-ephemeris warning still comes.
    WriteFileAtomic(s_dir + "none.441", "<html>not a planetary file</html>");
    WriteFileAtomic(s_dir + "bin/Tessarune_OpLog_20260101_000000.txt", std::string(30, 'x'));
    // The smallest perturbing-asteroid file the store accepts: one asteroid, two epochs a day apart.
    std::string mpeph(160 + 2 * 56, '\0');
    mpeph.replace(0, 8, "TSMPEPH1");
    const int32_t count = 1, epochs = 2;
    const double step = 1.0;
    std::memcpy(&mpeph[8], &count, 4);
    std::memcpy(&mpeph[12], &epochs, 4);
    std::memcpy(&mpeph[24], &step, 8);
    WriteFileAtomic(s_dir + "bin/mpeph.dat", mpeph);
    WriteFileAtomic(s_dir + "bin/Tessarune_OpLog_20260101_000001.txt", "x " + std::string(kOpLogCalcMarker));

    s_ui = new HeadlessUiServices;
    s_app = new CTessaruneWxApp;
    s_app->UseEnvironment({s_dir + "bin/tessarune", s_dir + "local/", s_dir + "docs/"});
    s_app->UseUi(s_ui);
    wxApp::SetInstance(s_app);
    static int argc = 1;
    static char arg0[] = "tsr_app_tests";
    static char* argv[] = {arg0, nullptr};
    if (!wxEntryStart(argc, argv))
      return;
    InstallQuietAssertHandler();
    s_loop = new wxEventLoop;
    wxEventLoopBase::SetActive(s_loop);
    s_started = s_app->CallOnInit();
    Pump();
    s_startupMessages = s_ui->m_messages;
  }

  static void TearDownTestSuite()
  {
    if (!s_app)
      return;
    if (s_started) {
      if (s_app->MainFrame())
        s_app->MainFrame()->Destroy();
      Pump();
      s_app->OnExit();
    }
    wxEventLoopBase::SetActive(nullptr);
    delete s_loop;
    wxEntryCleanup();
    s_app = nullptr;
    delete s_ui;
  }

  void SetUp() override
  {
    if (!s_started)
      GTEST_SKIP() << "no display: run under xvfb-run";
    if (!Frame())
      GTEST_SKIP() << "the main window was closed by the closing test; ctest runs each test in a process of its own";
    s_ui->m_messages.clear();
    s_ui->m_scriptedAnswers.clear();
  }

  static void Pump()
  {
    for (int i = 0; i < 20; ++i) {
      while (s_loop->Pending())
        s_loop->Dispatch();
      s_app->ProcessPendingEvents();
      s_app->ProcessIdle();
    }
  }

  static CMainFrame* Frame() { return s_app->MainFrame(); }

  static void Command(int id)
  {
    wxCommandEvent e(wxEVT_MENU, id);
    e.SetEventObject(Frame());
    Frame()->GetEventHandler()->ProcessEvent(e);
    Pump();
  }

  static bool Enabled(int id)
  {
    wxUpdateUIEvent e(id);
    e.SetEventObject(Frame());
    Frame()->GetEventHandler()->ProcessEvent(e);
    return !e.GetSetEnabled() || e.GetEnabled();
  }

  static std::string Setting(const char* key)
  {
    IniFile ini(s_dir + "bin/Tessarune.INI");
    return ini.GetString("SYSTEM", key, "<none>");
  }

  static inline std::string s_dir;
  static inline CTessaruneWxApp* s_app = nullptr;
  static inline HeadlessUiServices* s_ui = nullptr;
  static inline wxEventLoop* s_loop = nullptr;
  static inline bool s_started = false;
  static inline std::vector<HeadlessUiServices::Message> s_startupMessages;
};

} // namespace

TEST_F(MainWindow, StartsOnItsDataFolderAndWarnsWithoutAPlanetaryFile)
{
  EXPECT_EQ(TheApp().m_szDataDir, s_dir + "bin/");
  EXPECT_EQ(GetPerturberTable().m_bLoaded, 1);  // mpeph.dat beside the executable
  ASSERT_TRUE(Frame()->IsShown());
  EXPECT_EQ(FromWx(Frame()->GetTitle()), "Tessarune V2");
  ASSERT_EQ(s_startupMessages.size(), 1u);
  EXPECT_EQ(s_startupMessages[0].caption, "Tessarune");
  EXPECT_EQ(s_startupMessages[0].text, AppText::kNoEphemerisWarning);
  EXPECT_EQ(s_startupMessages[0].icon, MsgIcon::Warning);
  // The stored placement was taken, whatever the window manager did with the corner.
  EXPECT_EQ(Frame()->GetSize(), wxSize(600, 400));
  EXPECT_EQ(Frame()->GetPosition(), wxPoint(40, 30));
  EXPECT_TRUE(Frame()->ChildFrames().empty());  // no orbit-determination view in this build
  // A long run's cancel dialog and the element reader's questions are windows.
  EXPECT_NE(dynamic_cast<WxCancelDialogs*>(&CancelDialogs()), nullptr);
  EXPECT_NE(dynamic_cast<WxElementFileUi*>(&ElementFilePrompts()), nullptr);
}

TEST_F(MainWindow, MenusCarryTheirLabelsAndAccessKeys)
{
  wxMenuBar* bar = Frame()->GetMenuBar();
  ASSERT_NE(bar, nullptr);
  const char* titles[] = {"ﾌｧｲﾙ(&F)", "表示(&V)", "機能(&T)", "オプション(&O)", "ﾍﾙﾌﾟ(&H)"};
  ASSERT_EQ(bar->GetMenuCount(), std::size(titles));
  for (size_t i = 0; i < std::size(titles); ++i)
    EXPECT_EQ(FromWx(bar->GetMenuLabel(i)), titles[i]);
  struct Item {
    int id;
    const char* label;
  };
  const Item items[] = {
      {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}, {ID_ORBIT_VIEW, "軌道図(&O)"}, {ID_LOCATION, "場所(&P)"},
      {ID_VAISALA, "バイサラ軌道計算(&V)"},   {ID_WHOIS_OBS, "天体同定(&W)"},
      {ID_OPLOG_MANAGER, "操作ログを管理(&G)..."}, {ID_RESET_POSITIONS, "表示位置を初期化(&R)"},
      {ID_APP_ABOUT, "Tessarune のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
  };
  for (const Item& it : items) {
    wxMenuItem* mi = bar->FindItem(it.id);
    ASSERT_NE(mi, nullptr) << it.label;
    EXPECT_EQ(FromWx(mi->GetItemLabel()), it.label);
  }
  EXPECT_EQ(FromWx(bar->FindItem(ID_GLOBE)->GetHelp()), "地球への突入・衝突位置を表示します");
}

TEST_F(MainWindow, ToolbarAndStatusBar)
{
  wxToolBar* tb = Frame()->GetToolBar();
  ASSERT_NE(tb, nullptr);
  EXPECT_EQ(tb->GetToolsCount(), std::size(kToolbarButtons));
  EXPECT_EQ(FromWx(tb->GetToolShortHelp(ID_GLOBE)), "地球儀");
  EXPECT_EQ(FromWx(tb->GetToolLongHelp(ID_APP_ABOUT)), "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示");
  EXPECT_EQ(FromWx(tb->GetToolShortHelp(ID_OPTIONS_TOOLBAR)), "環境設定");

  // No view is open: what only a view handles is off, the frame's own commands are on.
  // Tool-window commands whose window no subsystem has registered (none is
  // in this test) stay off rather than doing nothing.
  for (int id : {ID_OPEN_OBS_FILE, ID_SAVE_RESULT, ID_FORECAST, ID_FIND_ORB, ID_GLOBE, ID_SEARCH_RANGE})
    EXPECT_FALSE(Enabled(id)) << id;
  for (int id : {ID_DETERMINATION, ID_EPHEMERIDES, ID_VAISALA, ID_RESET_POSITIONS, ID_OPTIONS_TOOLBAR})
    EXPECT_TRUE(Enabled(id)) << id;

  wxStatusBar* sb = Frame()->GetStatusBar();
  ASSERT_NE(sb, nullptr);
  EXPECT_EQ(sb->GetFieldsCount(), 5);
}

TEST_F(MainWindow, OneFunctionViewAtATime)
{
  // Without its view the command opens nothing and says nothing.
  Command(ID_DETERMINATION);
  EXPECT_TRUE(Frame()->ChildFrames().empty());
  EXPECT_TRUE(s_ui->m_messages.empty());

  auto fake = [](FunctionView kind) {
    return [kind](CChildFrame* f) -> CFormView* { return new FakeView(f, kind); };
  };
  s_app->m_pTemplDetermination->SetViewFactory(fake(FunctionView::Determination));
  s_app->m_pTemplMoveEpoch->SetViewFactory(fake(FunctionView::MoveEpoch));
  // A tool window whose subsystem registered it follows the tool rule; one
  // that nobody registered stays off.
  RegisterToolWindowCommand(ID_ORBIT_VIEW, [](wxWindow*) {});
  Command(ID_DETERMINATION);
  ASSERT_EQ(Frame()->ChildFrames().size(), 1u);
  EXPECT_EQ(Frame()->VisibleFunctionView(), FunctionView::Determination);
  EXPECT_TRUE(Enabled(ID_DETERMINATION));
  EXPECT_FALSE(Enabled(ID_EPHEMERIDES));
  EXPECT_FALSE(Enabled(ID_MOVE_EPOCH));
  EXPECT_TRUE(Enabled(ID_ORBIT_VIEW));
  EXPECT_FALSE(Enabled(ID_GLOBE));
  EXPECT_TRUE(Enabled(ID_OPEN_OBS_FILE));  // the view takes it before the frame

  Command(ID_MOVE_EPOCH);  // another function view is visible
  Command(ID_DETERMINATION);  // its own: activated, not opened twice
  EXPECT_EQ(Frame()->ChildFrames().size(), 1u);

  // A hidden orbit-determination frame does not count as visible.
  Frame()->HideDeterminationFrame(Frame()->ChildFrames().front());
  Pump();
  EXPECT_EQ(Frame()->VisibleFunctionView(), std::nullopt);
  EXPECT_TRUE(Enabled(ID_MOVE_EPOCH));
  EXPECT_NE(Frame()->FindFunctionView(FunctionView::Determination), nullptr);
  Frame()->RestoreHiddenDeterminationFrame();
  Pump();
  EXPECT_EQ(Frame()->VisibleFunctionView(), FunctionView::Determination);
  EXPECT_FALSE(Frame()->m_hHiddenDetFrame);

  // The About box's switch lays the open view out again.
  const int developer = TheApp().m_bDeveloper;
  ToggleDeveloperMode();
  EXPECT_NE(TheApp().m_bDeveloper, developer);
  ToggleDeveloperMode();
  EXPECT_EQ(TheApp().m_bDeveloper, developer);
  EXPECT_EQ(FakeView::s_layouts, 2);

  Frame()->ChildFrames().front()->Close(true);
  Pump();
  EXPECT_TRUE(Frame()->ChildFrames().empty());
  Command(ID_MOVE_EPOCH);
  ASSERT_EQ(Frame()->ChildFrames().size(), 1u);
  EXPECT_EQ(Frame()->VisibleFunctionView(), FunctionView::MoveEpoch);
  Frame()->ChildFrames().front()->Close(true);
  Pump();
  s_app->m_pTemplDetermination->SetViewFactory(nullptr);
  s_app->m_pTemplMoveEpoch->SetViewFactory(nullptr);
}

TEST_F(MainWindow, DefaultViewOpensWithItsMenu)
{
  auto* marvek = static_cast<wxDocTemplate*>(wxDocManager::GetDocumentManager()->GetTemplates().front());
  wxDocument* doc = marvek->CreateDocument(wxString(), wxDOC_NEW);
  ASSERT_NE(doc, nullptr);
  Pump();
  ASSERT_EQ(Frame()->ChildFrames().size(), 1u);
  CChildFrame* child = Frame()->ChildFrames().front();
  ASSERT_NE(child->GetMenuBar(), nullptr);
  EXPECT_EQ(FromWx(child->GetMenuBar()->GetMenuLabel(1)), "編集(&E)");
  EXPECT_EQ(Frame()->VisibleFunctionView(), std::nullopt);  // not a function view
  EXPECT_TRUE(Enabled(ID_VAISALA));
  child->Close(true);
  Pump();
  EXPECT_TRUE(Frame()->ChildFrames().empty());

  // The ephemeris template has no view in this build: no document, no frame.
  auto* epheme = static_cast<wxDocTemplate*>(wxDocManager::GetDocumentManager()->GetTemplates()[1]);
  EXPECT_EQ(FromWx(epheme->GetDescription()), "Epheme");
  EXPECT_EQ(epheme->CreateDocument(wxString(), wxDOC_NEW), nullptr);
  Pump();
  EXPECT_TRUE(Frame()->ChildFrames().empty());
  EXPECT_TRUE(wxDocManager::GetDocumentManager()->GetDocuments().empty());
}

TEST_F(MainWindow, AboutBoxShowsTheVersionAndItsPictureSwitchesDeveloperMode)
{
  auto* dlg = new CAboutDlg(Frame());
  EXPECT_EQ(FromWx(dlg->GetTitle()), "Tessaruneのﾊﾞｰｼﾞｮﾝ情報");
  EXPECT_EQ(FromWx(dlg->m_pVersion->GetLabel()).rfind("Tessarune Version 2.", 0), 0u);
  const int developer = TheApp().m_bDeveloper;
  wxMouseEvent click(wxEVT_LEFT_DCLICK);
  click.SetEventObject(dlg->m_pPicture);
  dlg->m_pPicture->GetEventHandler()->ProcessEvent(click);
  EXPECT_NE(TheApp().m_bDeveloper, developer);
  dlg->m_pPicture->GetEventHandler()->ProcessEvent(click);
  EXPECT_EQ(TheApp().m_bDeveloper, developer);
  dlg->Destroy();
  Pump();
}

TEST_F(MainWindow, ResetPositionsAsksFirst)
{
  s_ui->m_scriptedAnswers = {MsgAnswer::No};
  Command(ID_RESET_POSITIONS);
  ASSERT_EQ(s_ui->m_messages.size(), 1u);
  EXPECT_EQ(s_ui->m_messages[0].text, AppText::kResetPositionsQuestion);
  EXPECT_EQ(Setting("MAINWND_W"), "600");

  s_ui->m_scriptedAnswers = {MsgAnswer::Yes};
  Command(ID_RESET_POSITIONS);
  ASSERT_EQ(s_ui->m_messages.size(), 3u);
  EXPECT_EQ(s_ui->m_messages[2].text, AppText::kResetPositionsDone);
  EXPECT_EQ(s_ui->m_messages[2].icon, MsgIcon::Information);
  EXPECT_EQ(Setting("MAINWND_W"), "<none>");
  EXPECT_EQ(Setting("MAINWND_X"), "<none>");
}

TEST_F(MainWindow, EscKeyEventsAreLatchedForTheLongLoops)
{
  auto keyEvent = [](int code) {
    auto* e = new wxKeyEvent(wxEVT_CHAR_HOOK);
    e->m_keyCode = code;
    e->SetEventObject(Frame());
    Frame()->GetEventHandler()->QueueEvent(e);
    Pump();
  };
  ClearEscapeKey();
  keyEvent('A');
  EXPECT_FALSE(EscapeRequested());
  keyEvent(WXK_ESCAPE);
  EXPECT_TRUE(EscapeRequested());
  ClearEscapeKey();
  EXPECT_FALSE(EscapeRequested());
}

// Closing writes the frame's own placement: moved away from the stored one
// first, so that a close that writes nothing leaves other numbers.
TEST_F(MainWindow, ClosingWritesThePlacementAndRemovesUnusedLogs)
{
  Frame()->SetSize(70, 60, 640, 420);
  Pump();
  const wxRect r = Frame()->GetRect();
  ASSERT_NE(r, wxRect(40, 30, 600, 400));
  Frame()->Close(true);
  Pump();
  EXPECT_EQ(Setting("MAINWND_X"), std::to_string(r.x));
  EXPECT_EQ(Setting("MAINWND_Y"), std::to_string(r.y));
  EXPECT_EQ(Setting("MAINWND_W"), std::to_string(r.width));
  EXPECT_EQ(Setting("MAINWND_H"), std::to_string(r.height));
  EXPECT_EQ(Setting("MAINWND_MAX"), "0");
  EXPECT_FALSE(FileExists(s_dir + "bin/Tessarune_OpLog_20260101_000000.txt"));
  EXPECT_TRUE(FileExists(s_dir + "bin/Tessarune_OpLog_20260101_000001.txt"));
}
