// The start of a new user without a planetary file, under the window manager
// and with the real message boxes: the download dialog and then the warning
// open in front of the main window, take the keyboard, and once they are
// closed by a real key the main window takes keys again.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/statbmp.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "app/tessarune_wx_app.h"
#include "platform/files.h"
#include "platform/wx/display_check.h"
#include "platform/wx/first_show.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_menus.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"

namespace {

// The X windows the window manager stacks, bottom first.
std::vector<unsigned long> ClientStacking()
{
  std::vector<unsigned long> ids;
  FILE* pipe = popen("xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null", "r");
  if (!pipe)
    return ids;
  std::string out;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, pipe))
    out.append(buf, n);
  pclose(pipe);
  for (size_t at = out.find("0x"); at != std::string::npos; at = out.find("0x", at + 2))
    ids.push_back(std::strtoul(out.c_str() + at, nullptr, 16));
  return ids;
}

bool WindowManagerRuns()
{
  return std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0;
}

std::string SaveScreenshot(const wxRect& r, const std::string& name)
{
  std::filesystem::create_directories("screenshots");
  const std::string path = "screenshots/" + name + ".png";
  CaptureScreenArea(r.Intersect(wxRect(wxPoint(0, 0), wxGetDisplaySize()))).SaveFile(path, wxBITMAP_TYPE_PNG);
  return path;
}

// What was seen of one modal dialog while it was open.
struct SeenDialog {
  std::string title;
  bool onTop = false;        // the top of the window manager's stacking
  bool parentIsFrame = false;
  bool focused = false;      // the keyboard focus inside it
  std::vector<std::string> buttons;
  bool hasIcon = false;
  bool closedByKey = false;  // Esc closed it
};

// Watches for modal dialogs from a timer of the real event loop; once one has
// been on screen a moment, records it, takes a screenshot and presses Esc.
class DialogWatcher : public wxEvtHandler {
public:
  std::vector<SeenDialog> seen;

  DialogWatcher() : m_timer(this)
  {
    Bind(wxEVT_TIMER, &DialogWatcher::OnTick, this);
    m_timer.Start(100);
  }
  ~DialogWatcher() override { m_timer.Stop(); }

private:
  void OnTick(wxTimerEvent&)
  {
    wxDialog* dlg = OpenModal();
    if (dlg != m_current) {
      m_current = dlg;
      m_ticks = 0;
    }
    if (!dlg || ++m_ticks < 5)
      return;
    if (m_ticks == 5)
      Record(dlg);
    else if (m_ticks == 6)
      wxUIActionSimulator().Char(WXK_ESCAPE);
    else if (m_ticks > 30)
      dlg->EndModal(wxID_CANCEL);  // Esc went elsewhere: end it so the test goes on
  }

  static wxDialog* OpenModal()
  {
    for (wxWindow* w : wxTopLevelWindows)
      if (auto* d = dynamic_cast<wxDialog*>(w); d && d->IsModal() && d->IsShownOnScreen())
        return d;
    return nullptr;
  }

  void Record(wxDialog* dlg)
  {
    SeenDialog s;
    s.title = FromWx(dlg->GetTitle());
    const std::vector<unsigned long> stack = ClientStacking();
    s.onTop = !stack.empty() && stack.back() == X11WindowId(dlg);
    s.parentIsFrame = dlg->GetParent() == wxGetApp().MainFrame();
    const wxWindow* focus = wxWindow::FindFocus();
    s.focused = focus && (focus == dlg || dlg->IsDescendant(const_cast<wxWindow*>(focus)));
    for (int id : {wxID_YES, wxID_NO, wxID_OK, wxID_CANCEL})
      if (auto* b = dynamic_cast<wxButton*>(dlg->FindWindow(id)))
        s.buttons.push_back(FromWx(b->GetLabel()));
    for (wxWindow* child : dlg->GetChildren())
      if (auto* icon = dynamic_cast<wxStaticBitmap*>(child); icon && icon->GetBitmap().IsOk())
        s.hasIcon = true;
    wxRect area = wxGetApp().MainFrame()->GetScreenRect().Union(dlg->GetScreenRect());
    SaveScreenshot(area, "start_up_dialog_" + std::to_string(seen.size()));
    seen.push_back(s);
    m_index = seen.size() - 1;
    dlg->Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
      if (e.GetKeyCode() == WXK_ESCAPE && m_index < seen.size())
        seen[m_index].closedByKey = true;
      e.Skip();
    });
  }

  wxTimer m_timer;
  wxDialog* m_current = nullptr;
  size_t m_index = 0;
  int m_ticks = 0;
};

} // namespace

TEST(StartUp, DialogsOpenInFrontOfTheFrameAndTheFrameAnswersAfterThem)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  ASSERT_TRUE(WindowManagerRuns()) << "the display tests run under a window manager (openbox)";

  const std::string dir = MakeTempDir("startup");
  CreateFolder(dir + "bin");
  // A large stored window: the dialog must not end up behind it.
  WriteFileAtomic(dir + "bin/Tessarune.INI", "[SYSTEM]\r\nDE441FILE=" + dir + "none.441\r\nDE406FILE=" + dir +
                                                 "none.406\r\nMAINWND_X=10\r\nMAINWND_Y=10\r\nMAINWND_W=1500\r\n"
                                                 "MAINWND_H=900\r\n");
  auto* app = new CTessaruneWxApp;
  app->UseEnvironment({dir + "bin/tessarune", dir + "local/", dir + "docs/"});
  wxApp::SetInstance(app);
  int argc = 1;
  char arg0[] = "tsr_app_tests";
  char* argv[] = {arg0, nullptr};
  ASSERT_TRUE(wxEntryStart(argc, argv));
  InstallQuietAssertHandler();
  {
    wxEventLoop loop;
    wxEventLoopActivator active(&loop);
    auto pump = [&loop] {
      for (int i = 0; i < 20; ++i) {
        while (loop.Pending())
          loop.Dispatch();
        wxTheApp->ProcessPendingEvents();
        wxMilliSleep(10);
      }
    };

    DialogWatcher watcher;
    ASSERT_TRUE(app->CallOnInit());
    pump();

    // The download dialog (no planetary file), then the warning that none is read.
    ASSERT_EQ(watcher.seen.size(), 2u);
    EXPECT_EQ(watcher.seen[0].title, "惑星データ受信(DE406/DE441)");
    EXPECT_EQ(watcher.seen[1].title, "Tessarune");
    EXPECT_EQ(watcher.seen[1].buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(watcher.seen[1].hasIcon);
    for (const SeenDialog& s : watcher.seen) {
      EXPECT_TRUE(s.onTop) << s.title;
      EXPECT_TRUE(s.parentIsFrame) << s.title;
      EXPECT_TRUE(s.focused) << s.title;
      EXPECT_TRUE(s.closedByKey) << s.title;
    }

    // The frame takes the keyboard again: Alt+H, A opens the About box from its menu.
    CMainFrame* frame = app->MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->IsEnabled());
    SaveScreenshot(frame->GetScreenRect(), "start_up_after_dialogs");
    {
      wxUIActionSimulator sim;
      sim.Char('h', wxMOD_ALT);
      pump();
      sim.Char('a');
    }
    pump();
    ASSERT_EQ(watcher.seen.size(), 3u);
    EXPECT_EQ(watcher.seen[2].title, "Tessaruneのﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_TRUE(watcher.seen[2].onTop);

    // A question of the frame's own: the same boxes, with Japanese buttons.
    wxCommandEvent reset(wxEVT_MENU, ID_RESET_POSITIONS);
    reset.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(reset);
    pump();
    ASSERT_EQ(watcher.seen.size(), 4u);
    EXPECT_EQ(watcher.seen[3].buttons, (std::vector<std::string>{"はい", "いいえ"}));
    EXPECT_TRUE(watcher.seen[3].hasIcon);
    EXPECT_TRUE(watcher.seen[3].onTop);

    frame->Close(true);
    pump();
    app->OnExit();
  }
  wxEntryCleanup();
}
