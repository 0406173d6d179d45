#include "tests/determination_ui/view_session.h"

#include <filesystem>
#include <memory>

#include <gtk/gtk.h>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include "app/form_template.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/obs_list_ctrl.h"
#include "engine/orbit_engine.h"
#include "app/main/program_windows.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/wx/wx_ui_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"

namespace {

// Plays the steps from timer ticks inside the program's own main loop.
class StepPlayer : public wxTimer {
public:
  StepPlayer(ViewSession& session, std::vector<ViewStep> steps) : m_session(session), m_steps(std::move(steps)) {}

  void Notify() override
  {
    if (m_index >= m_steps.size()) {
      Stop();
      if (CMainFrame* frame = wxGetApp().MainFrame())
        frame->Close(true);
      return;
    }
    ViewStep& step = m_steps[m_index];
    if (!m_started) {
      m_started = true;
      m_begin = std::chrono::steady_clock::now();
      m_session.m_log.push_back(step.name);
      if (step.run)
        step.run();
    }
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_begin).count();
    const bool done = waited >= step.minSeconds && (!step.until || step.until());
    if (!done && waited < step.timeoutSeconds)
      return;
    if (!done)
      m_session.m_failures.push_back(step.name);
    ++m_index;
    m_started = false;
  }

private:
  ViewSession& m_session;
  std::vector<ViewStep> m_steps;
  size_t m_index = 0;
  bool m_started = false;
  std::chrono::steady_clock::time_point m_begin;
};

} // namespace

bool ViewSessionUi::PumpOneEvent()
{
  if (!m_bRealEvents)
    return HeadlessUiServices::PumpOneEvent();
  ++m_pumps;
  WxUiServices windows;
  return windows.PumpOneEvent();
}

std::string ScreenshotDir()
{
  const std::string dir = "screenshots/";
  std::filesystem::create_directories(dir);
  return dir;
}

ViewSession::ViewSession(const std::string& tag)
{
  m_dir = MakeTempDir(tag);
  CreateFolder(m_dir + "bin");
  const std::string stations = StationLinesFromObsCodesPage();
  const std::string stationsFile = stations.empty() ? m_dir + "none.txt" : WriteTestFile(m_dir, "stations.txt", stations);
  const std::string de = TestDataPath("de/lnxp1960p2060.405");
  // An existing DE441 file that is no planetary file keeps the download
  // dialog away; the reader then falls back to the DE405 file given as DE406.
  WriteFileAtomic(m_dir + "fake.441", "not a planetary file");
  WriteFileAtomic(m_dir + "bin/Tessarune.INI", "[SYSTEM]\r\nDE441FILE=" + m_dir + "fake.441\r\nDE406FILE=" + de +
                                                   "\r\nSTATIONSFILE=" + stationsFile +
                                                   "\r\nMAINWND_X=0\r\nMAINWND_Y=0\r\nMAINWND_W=1500\r\n"
                                                   "MAINWND_H=950\r\n");
}

bool ViewSession::Run(const std::vector<std::string>& args, std::vector<ViewStep> steps)
{
  RegisterProgramWindows();
  auto* app = new CTessaruneWxApp;
  app->UseEnvironment({m_dir + "bin/tessarune", m_dir + "local/", m_dir + "docs/"});
  app->UseUi(&m_ui);
  wxApp::SetInstance(app);
  std::vector<std::string> all{"tessarune"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(all.size());
  if (!wxEntryStart(argc, argv.data()))
    return false;
  bool started = false;
  if (wxTheApp->CallOnInit()) {
    started = true;
    StepPlayer player(*this, std::move(steps));
    player.Start(50);
    wxTheApp->OnRun();
    player.Stop();
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return started;
}

std::string ViewSession::Setting(const char* key) const
{
  return IniFile(m_dir + "bin/Tessarune.INI").GetString("SYSTEM", key, "<none>");
}

CDeterminationView* ViewSession::View()
{
  CMainFrame* frame = wxGetApp().MainFrame();
  return frame ? dynamic_cast<CDeterminationView*>(frame->FindFunctionView(FunctionView::Determination)) : nullptr;
}

void ViewSession::PostCommand(int id)
{
  CMainFrame* frame = wxGetApp().MainFrame();
  wxWindow* target = frame->GetActiveChild() ? static_cast<wxWindow*>(frame->GetActiveChild()) : frame;
  auto* e = new wxCommandEvent(wxEVT_MENU, id);
  e->SetEventObject(target);
  wxQueueEvent(target->GetEventHandler(), e);
}

std::vector<ViewStep> ViewSession::ClickObsRowSteps(int row, std::function<bool()> until, int clicks)
{
  const std::string name = "row " + std::to_string(row);
  auto visible = [row] {
    CObsListCtrl* list = View()->ObsList();
    wxRect rect;
    return list->GetItemRect(row, rect) && rect.y >= 0 && rect.GetBottom() < list->GetClientSize().y;
  };
  auto click = [row, clicks] {
    CObsListCtrl* list = View()->ObsList();
    wxRect rect;
    list->GetItemRect(row, rect);
    wxUIActionSimulator sim;
    sim.MouseMove(list->ClientToScreen(wxPoint(rect.x + 60, rect.y + rect.height / 2)));
    if (clicks == 2)
      sim.MouseDblClick();
    else
      sim.MouseClick();
  };
  return {
      // Apart by more than the double-click time, so that two clicks on rows
      // that come to the same place stay two clicks.
      {"show " + name, [row] { View()->ObsList()->EnsureVisible(row); }, visible, 30, 0.6},
      {"click " + name, click, std::move(until)},
  };
}

namespace {

void ClickAt(const wxPoint& screen)
{
  wxUIActionSimulator sim;
  sim.MouseMove(screen);
  sim.MouseClick();
}

} // namespace

std::vector<ViewStep> ViewSession::ClickControlSteps(int id, std::function<bool()> until)
{
  const std::string name = "control " + std::to_string(id);
  auto ready = [id] {
    wxWindow* w = View()->Widget(id);
    return w && w->IsEnabled() && w->IsShownOnScreen();
  };
  auto click = [id] {
    wxWindow* w = View()->Widget(id);
    const wxSize size = w->GetSize();
    // Check boxes: on the box at their left; buttons: in the middle.
    const wxPoint at = dynamic_cast<wxCheckBox*>(w) ? wxPoint(8, size.y / 2) : wxPoint(size.x / 2, size.y / 2);
    ClickAt(w->ClientToScreen(at));
  };
  return {
      {"ready " + name, nullptr, ready, 300, 0.6},
      {"click " + name, click, std::move(until), 300},
  };
}

void ViewSession::ClickBookTab(wxBookCtrlBase* book, int page)
{
  // The first point along the tab row that hits the page's tab.
  for (int x = 2; x < book->GetSize().x; x += 4)
    for (int y = 2; y < 40; y += 4) {
      long flags = 0;
      if (book->HitTest(wxPoint(x, y), &flags) == page) {
        ClickAt(book->ClientToScreen(wxPoint(x + 10, y + 4)));
        return;
      }
    }
}

std::vector<ViewStep> ViewSession::ClickTabSteps(int page, std::function<bool()> until)
{
  auto click = [page] { ClickBookTab(dynamic_cast<wxNotebook*>(View()->Widget(kIdTabs)), page); };
  return {{"tab " + std::to_string(page), click, std::move(until), 30, 0.6}};
}

namespace {

// Clicks the middle of a widget that draws on its parent's window.
void ClickGtkWidget(GtkWidget* widget)
{
  GtkAllocation box;
  gtk_widget_get_allocation(widget, &box);
  int x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
  ClickAt(wxPoint(x + box.x + box.width / 2, y + box.y + box.height / 2));
}

} // namespace

wxMenuBar* ViewSession::ShownMenuBar()
{
  // An active child frame with menus of its own shows them in place of the main frame's.
  CMainFrame* frame = wxGetApp().MainFrame();
  wxFrame* child = frame->GetActiveChild();
  return child && child->GetMenuBar() ? child->GetMenuBar() : frame->GetMenuBar();
}

void ViewSession::ClickMenuTitle(int pos)
{
  wxMenuBar* bar = ShownMenuBar();
  auto* widget = bar ? static_cast<GtkWidget*>(bar->GetHandle()) : nullptr;
  if (!widget || !GTK_IS_CONTAINER(widget))
    return;
  // The toolkit's menu bar holds one item per title, in order.
  GList* items = gtk_container_get_children(GTK_CONTAINER(widget));
  if (GtkWidget* title = static_cast<GtkWidget*>(g_list_nth_data(items, pos)))
    ClickGtkWidget(title);
  g_list_free(items);
}

bool ViewSession::MenuItemShown(int id)
{
  wxMenuBar* bar = ShownMenuBar();
  wxMenuItem* item = bar ? bar->FindItem(id) : nullptr;
  return item && item->GetMenuItem() && gtk_widget_get_mapped(item->GetMenuItem());
}

ViewStep ViewSession::CloseStartUpViewStep()
{
  auto closed = std::make_shared<bool>(false);
  return {"start-up view closed", nullptr, [closed] {
            CDeterminationView* view = View();
            if (!*closed && view && view->IsShownOnScreen()) {
              *closed = true;
              view->GetParent()->Close(true);
            }
            return *closed && !View();
          }};
}

ViewStep ViewSession::OpenMenuStep(int pos, int id)
{
  auto open = [pos, id, ticks = 0]() mutable {
    if (MenuItemShown(id))
      return true;
    if (ticks++ % 10 == 0)
      ClickMenuTitle(pos);
    return false;
  };
  return {"menu " + std::to_string(pos), nullptr, open, 10, 0.3};
}

void ViewSession::ClickMenuItem(int id)
{
  wxMenuBar* bar = ShownMenuBar();
  if (wxMenuItem* item = bar ? bar->FindItem(id) : nullptr; item && item->GetMenuItem())
    ClickGtkWidget(item->GetMenuItem());
}

void ViewSession::ClickTool(int id)
{
  wxToolBar* bar = wxGetApp().MainFrame()->GetToolBar();
  const int pos = bar ? bar->GetToolPos(id) : wxNOT_FOUND;
  // The toolkit's toolbar, inside the event box that wraps it.
  auto* widget = bar ? static_cast<GtkWidget*>(bar->GetHandle()) : nullptr;
  if (widget && !GTK_IS_TOOLBAR(widget) && GTK_IS_BIN(widget))
    widget = gtk_bin_get_child(GTK_BIN(widget));
  auto* toolbar = widget && GTK_IS_TOOLBAR(widget) ? GTK_TOOLBAR(widget) : nullptr;
  GtkToolItem* item = pos != wxNOT_FOUND && toolbar ? gtk_toolbar_get_nth_item(toolbar, pos) : nullptr;
  if (item)
    ClickGtkWidget(GTK_WIDGET(item));
}

void ViewSession::ClickButtonOf(wxWindow* window, int id)
{
  wxWindow* button = window ? window->FindWindow(id) : nullptr;
  if (button)
    ClickAt(button->ClientToScreen(wxPoint(button->GetSize().x / 2, button->GetSize().y / 2)));
}

std::string ViewSession::FailedSteps() const
{
  std::string all;
  for (const std::string& f : m_failures)
    all += f + "; ";
  return all;
}

std::string ViewSession::SaveScreenshot(wxWindow* window, const std::string& name)
{
  // Read back from the X server through GDK: a wxScreenDC blit keeps
  // returning its first picture on GTK 3.
  wxWindow* top = wxGetTopLevelParent(window);
  top->Update();
  const wxSize size = window->GetSize();
  GdkWindow* gdk = gtk_widget_get_window(static_cast<GtkWidget*>(top->GetHandle()));
  GdkPixbuf* pixbuf = nullptr;
  if (gdk) {
    int x = 0, y = 0;
    gdk_window_get_origin(gdk, &x, &y);
    const wxPoint at = window->GetScreenPosition() - wxPoint(x, y);
    pixbuf = gdk_pixbuf_get_from_window(gdk, at.x, at.y, size.x, size.y);
  }
  const std::string path = ScreenshotDir() + name + ".png";
  if (pixbuf) {
    wxBitmap(pixbuf).SaveFile(path, wxBITMAP_TYPE_PNG);
  }
  return path;
}

std::string ViewSession::SaveScreen(const std::string& name)
{
  const std::string path = ScreenshotDir() + name + ".png";
  GdkWindow* root = gdk_get_default_root_window();
  if (GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                                     gdk_window_get_height(root))) {
    gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(pixbuf);
  }
  return path;
}

std::vector<ViewStep> ViewSession::LongImprovementSteps()
{
  std::vector<ViewStep> steps = {{"loaded", nullptr, [] { return View() && View()->m_pEngine->m_nCalcState == 1; }}};
  // Each click waits for its pick, so that a slow machine cannot run two
  // clicks together.
  int picks = 0;
  for (const int row : {14, 24, 36})
    for (ViewStep& s : ClickObsRowSteps(row, [row, n = ++picks] {
           return row == 36 ? View()->m_pEngine->m_nCalcState == 3 : View()->m_nPicked == n;
         }))
      steps.push_back(std::move(s));
  // A step of under 3 minutes over the arc: the automatic improvement takes
  // long, also now that the window no longer slows it down.
  steps.push_back({"typed step", [] { View()->SetItemText(kIdStepCombo, "1分24.375秒"); }, nullptr});
  for (ViewStep& s : ClickControlSteps(kIdAutoImprove, [] { return EngineBusy(View()->m_pEngine); }))
    steps.push_back(std::move(s));
  return steps;
}
