// The data subsystem's dialogs under a display (run under xvfb-run): the
// NEOCP pick dialog against a list served on 127.0.0.1, the planetary
// download dialog's start and cancel by its own button, and the wrapped text
// and placement routines. Message boxes are recorded instead of shown.
#include <gtest/gtest.h>


#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <type_traits>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/eventfilter.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/frame.h>
#include <wx/choice.h>

#include "data/element_file.h"
#include "data/ui/element_file_dialogs.h"
#include "data/ui/file_dialogs.h"
#include "data/ui/get_jpl_eph_dlg.h"
#include "data/ui/neocp_dlg.h"
#include "data/ui/window_routines.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "platform/wx/first_show.h"
#include "platform/wx/wx_ui_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_planetary_download_servers.h"

#include <gtk/gtk.h>

// Xlib last: its macros (None, Status, ...) clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// The windows' own services (the real event pump among them), except that
// message boxes are recorded and answered with their default.
class RecordingWxUi : public WxUiServices {
public:
  MsgAnswer ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                        MsgButtons buttons) override
  {
    return m_recorder.ShowMessage(caption, text, icon, buttons);
  }
  const std::vector<HeadlessUiServices::Message>& Messages() const { return m_recorder.m_messages; }
  void ClearMessages() { m_recorder.m_messages.clear(); }

private:
  HeadlessUiServices m_recorder;
};

// Saves what the screen shows of a window (null: the whole screen, for a
// native dialog that tells wx nothing of its place) as <name>.png in the
// folder named by TESSARUNE_SCREENSHOTS, else "screenshots/" in the working
// folder, for a person to look at. The X server's own pixels are read, so the
// picture is what a user would see.
void SaveScreenshot(wxWindow* window, const std::string& name)
{
  const char* env = std::getenv("TESSARUNE_SCREENSHOTS");
  const std::string dir = env && *env ? WithSlash(env) : std::string("screenshots/");
  CreateFolder(dir);
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
    wxImage::AddHandler(new wxPNGHandler);
  wxRect r(wxPoint(0, 0), wxGetDisplaySize());
  if (window)
    r.Intersect(window->GetScreenRect());
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  XImage* pixels = r.IsEmpty() ? nullptr
                               : XGetImage(display, DefaultRootWindow(display), r.x, r.y, static_cast<unsigned>(r.width),
                                           static_cast<unsigned>(r.height), AllPlanes, ZPixmap);
  wxImage image;
  if (pixels) {
    image.Create(r.width, r.height);
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x) {
        const unsigned long p = XGetPixel(pixels, x, y);
        image.SetRGB(x, y, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
      }
    XDestroyImage(pixels);
  }
  XCloseDisplay(display);
  const std::string path = dir + name + ".png";
  EXPECT_TRUE(image.IsOk() && image.SaveFile(ToWx(path), wxBITMAP_TYPE_PNG)) << path;
  std::printf("screenshot: %s\n", path.c_str());
}

// Drives a modal window with the real input: a timer polls every 50 ms and
// runs the next step once its condition holds; after 20 s it gives up.
class Script {
public:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  explicit Script(std::vector<Step> steps) : m_steps(std::move(steps))
  {
    m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
    m_timer.Start(50);
  }
  bool Finished() const { return m_next == m_steps.size(); }
  size_t StepsDone() const { return m_next; }
  bool m_timedOut = false;
  std::function<void()> onTimeOut;

private:
  void Tick()
  {
    if (m_busy || Finished())
      return;
    if (++m_ticks > 400) {
      m_timedOut = true;
      m_timer.Stop();
      if (onTimeOut)
        onTimeOut();
      return;
    }
    Step& step = m_steps[m_next];
    if (!step.ready())
      return;
    ++m_next;
    m_busy = true;  // an action may pump events (and this timer) inside it
    step.act();
    m_busy = false;
  }
  std::vector<Step> m_steps;
  size_t m_next = 0;
  int m_ticks = 0;
  bool m_busy = false;
  wxTimer m_timer;
};

// The native file dialog of GTK is no member of the top-level window list:
// its show events tell which one is open.
class FileDialogWatch : public wxEventFilter {
public:
  FileDialogWatch() { wxEvtHandler::AddFilter(this); }
  ~FileDialogWatch() override { wxEvtHandler::RemoveFilter(this); }
  int FilterEvent(wxEvent& event) override
  {
    if (event.GetEventType() == wxEVT_SHOW) {
      const bool shown = static_cast<wxShowEvent&>(event).IsShown();
      if (auto* d = dynamic_cast<wxFileDialog*>(event.GetEventObject()))
        s_shown = shown ? d : nullptr;
      if (auto* d = dynamic_cast<wxDirDialog*>(event.GetEventObject()))
        s_shownFolder = shown ? d : nullptr;
    }
    return Event_Skip;
  }
  static inline wxFileDialog* s_shown = nullptr;
  static inline wxDirDialog* s_shownFolder = nullptr;
};

// The main window that owns the dialogs, as in the application.
class OwnerFrame {
public:
  OwnerFrame() : m_frame(new wxFrame(nullptr, wxID_ANY, "Tessarune", wxPoint(0, 0), wxSize(1200, 800)))
  {
    m_frame->Show();
    wxTheApp->SetTopWindow(m_frame);
    // A dialog opened before its owner is on screen may end up beneath it.
    WaitUntilOnScreen(m_frame, 5000);
  }
  ~OwnerFrame()
  {
    wxTheApp->SetTopWindow(nullptr);
    m_frame->Destroy();
  }
  wxFrame* Get() const { return m_frame; }

private:
  wxFrame* m_frame;
};

// A real mouse click in the middle of a window.
void ClickOn(wxWindow* window)
{
  wxUIActionSimulator sim;
  const wxRect r = window->GetScreenRect();
  sim.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
  sim.MouseClick();
}

// A condition that holds from the n-th time it is asked.
std::function<bool()> AfterTicks(int n)
{
  return [left = n]() mutable { return --left <= 0; };
}

// The file dialog once it is on the screen, with the pointer (and so the
// keyboard, as no window manager runs) over it.
bool FileDialogReady()
{
  static int shownFor = 0;
  if (!FileDialogWatch::s_shown && !FileDialogWatch::s_shownFolder) {
    shownFor = 0;
    return false;
  }
  if (++shownFor < 20)
    return false;
  shownFor = 0;
  wxUIActionSimulator sim;
  sim.MouseMove(200, 200);
  return true;
}

// Real keys typed into whatever window has the focus.
void Type(const std::string& text)
{
  wxUIActionSimulator sim;
  sim.Text(text.c_str());
}

void PressKey(int key)
{
  wxUIActionSimulator sim;
  sim.Char(key);
}

// The shown dialog of a class, or null.
template <class T>
T* ShownDialog()
{
  if constexpr (std::is_same_v<T, wxFileDialog>) {
    return FileDialogWatch::s_shown;
  } else {
    for (wxWindow* w : wxTopLevelWindows)
      if (auto* d = dynamic_cast<T*>(w); d && d->IsShown())
        return d;
    return nullptr;
  }
}

class DataDialogs : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
      return;
    // The file chooser keeps its settings in memory, not in dconf.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    s_app = new wxApp;
    wxApp::SetInstance(s_app);
    static int argc = 1;
    static char arg0[] = "tsr_app_tests";
    static char* argv[] = {arg0, nullptr};
    if (!wxEntryStart(argc, argv))
      return;
    InstallQuietAssertHandler();
    s_loop = new wxEventLoop;
    wxEventLoopBase::SetActive(s_loop);
    s_started = true;
  }

  static void TearDownTestSuite()
  {
    if (!s_app)
      return;
    wxEventLoopBase::SetActive(nullptr);
    delete s_loop;
    s_loop = nullptr;
    wxEntryCleanup();
    s_app = nullptr;
    s_started = false;
  }

  void SetUp() override
  {
    if (!s_started)
      GTEST_SKIP() << "no display: run under xvfb-run";
    m_saved441 = TheApp().m_szDe441File;
    m_saved406 = TheApp().m_szDe406File;
    m_savedData = TheApp().m_szDataDir;
    m_savedProfile = TheApp().m_profile.Path();
    SetUi(&m_ui);
  }

  void TearDown() override
  {
    if (!s_started)
      return;
    SetUi(nullptr);
    TheApp().m_szDe441File = m_saved441;
    TheApp().m_szDe406File = m_saved406;
    TheApp().m_szDataDir = m_savedData;
    TheApp().m_profile.SetPath(m_savedProfile);
  }

  static void Pump()
  {
    for (int i = 0; i < 20; ++i) {
      while (s_loop->Pending())
        s_loop->Dispatch();
      wxTheApp->ProcessPendingEvents();
    }
  }

  static void Click(wxWindow* dialog, int id)
  {
    wxCommandEvent e(wxEVT_BUTTON, id);
    e.SetEventObject(dialog->FindWindow(id));
    dialog->GetEventHandler()->ProcessEvent(e);
  }

  static std::string Label(wxWindow* dialog, int id) { return FromWx(dialog->FindWindow(id)->GetLabel()); }

  RecordingWxUi m_ui;
  std::string m_saved441, m_saved406, m_savedData, m_savedProfile;

  static inline wxApp* s_app = nullptr;
  static inline wxEventLoop* s_loop = nullptr;
  static inline bool s_started = false;
};

const char* const kList = R"([
 {"Temp_Desig": "P21abcd", "Score": 87, "Discovery_year": 2025, "Discovery_month": 3, "Discovery_day": 5.25,
  "R.A.": 5.5, "Decl.": -20.15, "V": 20.34, "Updated": "Updated Sept. 12.5 UT", "NObs": 6, "Arc": 0.125},
 {"Temp_Desig": "A11xyz", "NObs": 3},
 {"Temp_Desig": "C44Q", "Score": 100, "NObs": 2}
])";

TEST_F(DataDialogs, NeocpListArrivesAfterShowingAndSorts)
{
  const std::string root = MakeTempDir("neocpdlg");
  ASSERT_TRUE(WriteFileAtomic(root + "neocp.json", kList));
  ScriptServer server("python3", "range_http_server.py", root);
  ASSERT_TRUE(server.Running());

  CNeocpDlg dlg(nullptr);
  dlg.m_strListUrl = server.Url("neocp.json");
  std::vector<std::string> seen;
  std::string statusBeforeShown = Label(&dlg, CNeocpDlg::IDC_NEOCP_STATUS);
  int rowsBeforeShown = dlg.m_list->GetItemCount();
  // Runs inside the modal loop, after the first refresh.
  dlg.CallAfter([&] {
    seen.push_back(Label(&dlg, CNeocpDlg::IDC_NEOCP_STATUS));
    auto column = [&](int c) {
      wxListEvent e(wxEVT_LIST_COL_CLICK, CNeocpDlg::IDC_NEOCP_LIST);
      e.SetColumn(c);
      dlg.OnListColumnClick(e);
      std::string order;
      for (int r = 0; r < dlg.m_list->GetItemCount(); ++r)
        order += FromWx(dlg.m_list->GetItemText(r)) + " ";
      seen.push_back(order);
    };
    auto* desig = static_cast<wxTextCtrl*>(dlg.FindWindow(CNeocpDlg::IDC_NEOCP_DESIG));
    desig->ChangeValue("p21abcd");  // not in the list in this case
    column(1);
    column(1);
    seen.push_back(std::to_string(dlg.m_list->GetSelectedItemCount()));
    desig->ChangeValue("   ");
    Click(&dlg, wxID_OK);  // blanks only: stays open
    seen.push_back(dlg.IsModal() ? "open" : "closed");
    desig->ChangeValue("  P21abcd ");
    Click(&dlg, wxID_OK);
  });
  EXPECT_EQ(dlg.ShowModal(), wxID_OK);
  EXPECT_EQ(statusBeforeShown, "NEOCPの一覧を受信しています...");
  EXPECT_EQ(rowsBeforeShown, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "確認待ちの天体 3個   スコアはNEOらしさ(0〜100)   列の見出しをクリックすると並べ替えます",
                      "C44Q P21abcd A11xyz ", "P21abcd C44Q A11xyz ", "0", "open"}));
  EXPECT_EQ(dlg.m_strDesig, "P21abcd");
  EXPECT_EQ(dlg.m_nSortColumn, 1);
  EXPECT_EQ(dlg.m_bSortDescending, 0);
}

TEST_F(DataDialogs, NeocpFailureIsShownInTheStatusLine)
{
  CNeocpDlg dlg(nullptr);
  dlg.m_strListUrl = "http://127.0.0.1:1/neocp.json";
  std::string status;
  dlg.CallAfter([&] {
    status = Label(&dlg, CNeocpDlg::IDC_NEOCP_STATUS);
    dlg.EndModal(wxID_CANCEL);
  });
  EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
  EXPECT_EQ(status, "MPCに接続できませんでした。ネットワークの状態を確認してください。");
  EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(DataDialogs, PlanetaryDownloadStartsAndCancelsByItsButton)
{
  const std::string source = TestDataPath("de/lnxp2000p2040.405");
  if (source.empty() || !TestDataFileExists(source))
    GTEST_SKIP() << "reference data not found: de/lnxp2000p2040.405";
  std::string whole;
  ASSERT_TRUE(ReadWholeFile(source, whole));
  const std::string root = MakeTempDir("jpldlg_srv");
  ASSERT_TRUE(WriteFileAtomic(root + "de441.bin", whole));
  ScriptServer server("python3", "range_http_server.py", root);
  ASSERT_TRUE(server.Running());
  const std::string eph = MakeTempDir("jpldlg_eph");
  TheApp().m_szDe441File = eph + "de441.bin";
  TheApp().m_szDe406File = eph + "de406.win";
  TheApp().m_szDataDir = eph;
  TheApp().m_profile.SetPath(eph + "Tessarune.INI");
  // Slowly served, so that the second press comes while the file transfers.
  TheApp().m_profile.WriteString("SYSTEM", "DE441URL", server.Url("de441.bin?slow=50").c_str());

  CGetJplEph dlg;
  auto* de441 = static_cast<wxButton*>(dlg.FindWindow(CGetJplEph::IDC_RECEIVE_DE441));
  auto* de406 = static_cast<wxButton*>(dlg.FindWindow(CGetJplEph::IDC_RECEIVE_DE406));
  auto* close = static_cast<wxButton*>(dlg.FindWindow(wxID_OK));
  bool idleEnabled = false, sawRunning = false;
  std::vector<std::string> afterCancel;
  Script script({
      {[&] { return dlg.IsShownOnScreen() && de441->GetScreenRect().width > 0; },
       [&] {
         idleEnabled = de441->IsEnabled() && de406->IsEnabled();
         SaveScreenshot(&dlg, "planetary_download");
         ClickOn(de441);
       }},
      // Inside the download's own pumping: the button now cancels.
      {[&] { return FromWx(de441->GetLabel()) == "中止"; },
       [&] { sawRunning = dlg.m_bRunning == 1 && de441->IsEnabled() && !close->IsEnabled() && !de406->IsEnabled(); }},
      {AfterTicks(6),
       [&] {
         SaveScreenshot(&dlg, "planetary_download_running");
         ClickOn(de441);
       }},
      {[&] { return dlg.m_bRunning == 0 && !m_ui.Messages().empty(); },
       [&] {
         for (const auto& m : m_ui.Messages())
           afterCancel.push_back(m.text);
         afterCancel.push_back(Label(&dlg, CGetJplEph::IDC_STATUS));
         afterCancel.push_back(FromWx(de441->GetLabel()));
         afterCancel.push_back(de441->IsEnabled() && de406->IsEnabled() && close->IsEnabled() ? "enabled" : "disabled");
         m_ui.ClearMessages();
         TheApp().m_profile.WriteString("SYSTEM", "DE441URL", server.Url("de441.bin").c_str());
         ClickOn(de441);
       }},
      {[&] { return dlg.m_bRunning == 0 && !m_ui.Messages().empty(); }, [&] { ClickOn(close); }},
  });
  script.onTimeOut = [&] { dlg.EndModal(wxID_CANCEL); };
  EXPECT_EQ(dlg.ShowModal(), wxID_OK);
  ASSERT_TRUE(script.Finished()) << "stopped before step " << script.StepsDone() + 1;
  EXPECT_TRUE(idleEnabled);
  EXPECT_TRUE(sawRunning);
  EXPECT_EQ(afterCancel, (std::vector<std::string>{"中止操作により終了しました。次回は続きから再開します。",
                                                   "中止操作により終了しました(次回は続きから再開します)。",
                                                   "DE441受信(&4)", "enabled"}));
  ASSERT_EQ(m_ui.Messages().size(), 1u);
  EXPECT_EQ(m_ui.Messages()[0].text, "正常に受信しました。次回起動時からDE441が使用されます。");
  EXPECT_FALSE(de441->IsEnabled());
  EXPECT_EQ(Label(&dlg, CGetJplEph::IDC_PERCENT), "100.0%");
  std::string got;
  EXPECT_TRUE(ReadWholeFile(eph + "de441.bin", got) && got == whole);
  EXPECT_FALSE(FileExists(eph + "de441.bin.part"));

  // Both files there: both buttons disabled from the start.
  WriteFileAtomic(eph + "de406.win", "x");
  CGetJplEph both;
  EXPECT_FALSE(both.FindWindow(CGetJplEph::IDC_RECEIVE_DE441)->IsEnabled());
  EXPECT_FALSE(both.FindWindow(CGetJplEph::IDC_RECEIVE_DE406)->IsEnabled());
}

// The element reader's two questions as the application installs them: the
// open dialog names the file, then the object-selection dialog picks the
// second record by its list.
TEST_F(DataDialogs, ElementFileIsChosenAndAnObjectPicked)
{
  const std::string dir = MakeTempDir("seldlg");
  const std::string line =
      "00001    3.4   0.15 K205V 162.68631   73.73161   80.28698   10.58862  0.0775571  0.21406009   "
      "2.7676569  0 MPO492748  6751 115 1801-2019 0.60 M-v 30h Williams   0000      (1) Ceres              ";
  std::string second = line;
  second.replace(166, 9, "(2) Pallas");
  ASSERT_TRUE(WriteFileAtomic(dir + "two.elm", line + "\n" + second + "\n"));
  InstallElementFileDialogs();
  FileDialogWatch watch;
  OwnerFrame owner;

  Script script({
      {FileDialogReady, [] { SaveScreenshot(nullptr, "element_file_open"); }},
      {AfterTicks(4), [&] { Type(dir + "two.elm"); }},
      {AfterTicks(10), [] { PressKey(WXK_RETURN); }},
      {[] { return ShownDialog<CSelObjDlg>() != nullptr; }, [] {}},
      {AfterTicks(6),
       [] {
         CSelObjDlg* dlg = ShownDialog<CSelObjDlg>();
         SaveScreenshot(dlg, "object_selection");
         dlg->FindWindow(CSelObjDlg::IDC_OBJECT_LIST)->SetFocus();
         PressKey(WXK_DOWN);
       }},
      {[] { return static_cast<wxChoice*>(ShownDialog<CSelObjDlg>()->FindWindow(CSelObjDlg::IDC_OBJECT_LIST))
                       ->GetSelection() == 1; },
       [] { ClickOn(ShownDialog<CSelObjDlg>()->FindWindow(wxID_OK)); }},
  });
  script.onTimeOut = [] {
    if (auto* f = ShownDialog<wxFileDialog>())
      f->EndModal(wxID_CANCEL);
    else if (auto* d = ShownDialog<wxDialog>())
      d->EndModal(wxID_CANCEL);
  };
  std::vector<ElementRecord> records;
  int count = 0, selected = -1;
  EXPECT_EQ(ReadElementFile("", &records, &count, &selected), 1);
  EXPECT_TRUE(script.Finished()) << "stopped before step " << script.StepsDone() + 1;
  EXPECT_EQ(count, 2);
  EXPECT_EQ(selected, 1);
  SetElementFileUi(nullptr);
}

// The observation file's open dialog and the save dialog with its format
// panel, each answered by typing a name.
TEST_F(DataDialogs, FileDialogsOpenAndSave)
{
  const std::string dir = MakeTempDir("filedlg");
  ASSERT_TRUE(WriteFileAtomic(dir + "obs.txt", "x"));
  const std::string savedObs = TheApp().m_szObsFolder;
  TheApp().m_szObsFolder = dir;
  FileDialogWatch watch;
  OwnerFrame owner;
  std::string path;
  Script open({
      {FileDialogReady, [] { SaveScreenshot(nullptr, "observation_file_open"); }},
      {AfterTicks(4), [&] { Type(dir + "obs.txt"); }},
      {AfterTicks(10), [] { PressKey(WXK_RETURN); }},
  });
  open.onTimeOut = [] {
    if (auto* f = ShownDialog<wxFileDialog>())
      f->EndModal(wxID_CANCEL);
  };
  EXPECT_EQ(ShowFileDialog("観測ファイルを開く", kFileDialogOpenObservations, path, owner.Get(), nullptr, nullptr), 1);
  EXPECT_TRUE(open.Finished());
  EXPECT_EQ(path, dir + "obs.txt");

  path = dir + "result.imp";
  int format = -1;
  std::string station = "xyz";
  Script save({
      {FileDialogReady, [] { SaveScreenshot(nullptr, "save_with_format"); }},
      {AfterTicks(6), [] { PressKey(WXK_RETURN); }},
  });
  save.onTimeOut = [] {
    if (auto* f = ShownDialog<wxFileDialog>())
      f->EndModal(wxID_CANCEL);
  };
  EXPECT_EQ(ShowFileDialog("結果を保存", kFileDialogSaveWithFormat, path, owner.Get(), &format, &station), 1);
  EXPECT_TRUE(save.Finished());
  EXPECT_EQ(path, dir + "result.imp");
  EXPECT_EQ(format, kSaveMpc8Line);
  EXPECT_EQ(station, "");
  TheApp().m_szObsFolder = savedObs;
}

// The option pages' folder browser opens on the folder of the field: Enter
// takes that folder, given back without its final "/". Escape keeps the field.
TEST_F(DataDialogs, FolderBrowserOpensOnTheGivenFolder)
{
  const std::string dir = MakeTempDir("browse");
  ASSERT_TRUE(CreateFolder(dir + "ephem"));
  FileDialogWatch watch;
  OwnerFrame owner;
  std::string title;
  auto cancel = [] {
    if (auto* d = FileDialogWatch::s_shownFolder)
      d->EndModal(wxID_CANCEL);
  };
  std::string folder = dir + "ephem/";
  Script pick({
      {FileDialogReady,
       [&] {
         title = gtk_window_get_title(GTK_WINDOW(FileDialogWatch::s_shownFolder->GetHandle()));
         SaveScreenshot(nullptr, "folder_browser");
       }},
      {AfterTicks(6), [] { PressKey(WXK_RETURN); }},
  });
  pick.onTimeOut = cancel;
  EXPECT_EQ(BrowseFolderCallback(owner.Get(), folder), 1);
  EXPECT_TRUE(pick.Finished());
  EXPECT_EQ(title, "フォルダを選んでください");
  EXPECT_EQ(folder, dir + "ephem");

  Script escape({
      {FileDialogReady, [] {}},
      {AfterTicks(6), [] { PressKey(WXK_ESCAPE); }},
  });
  escape.onTimeOut = cancel;
  EXPECT_EQ(BrowseFolderCallback(owner.Get(), folder), 0);
  EXPECT_TRUE(escape.Finished());
  EXPECT_EQ(folder, dir + "ephem");
}

TEST_F(DataDialogs, WrappedTextAndPlacement)
{
  wxBitmap bitmap(400, 300);
  wxMemoryDC dc(bitmap);
  dc.SetFont(*wxNORMAL_FONT);
  const std::string text = "軌道決定の結果は、観測データの質に大きく左右されます。\n\nThe orbit improvement uses least squares.";
  const int measured = CTessaruneLib::DrawWrappedText(&dc, text, 10, 10, 150, false, true);
  EXPECT_EQ(CTessaruneLib::DrawWrappedText(&dc, text, 10, 10, 150, true, false), measured);
  EXPECT_GT(measured, 4 * dc.GetCharHeight());
  EXPECT_EQ(CTessaruneLib::DrawWrappedText(nullptr, text, 0, 0, 150, false, true), 0);

  int x = 0, y = 0;
  PlaceNearClientArea(100, 50, 300, 200, wxRect(0, 0, 1280, 1024), x, y);
  EXPECT_EQ(wxPoint(x, y), wxPoint(132, 82));
  PlaceNearClientArea(1100, 900, 300, 200, wxRect(0, 0, 1280, 1024), x, y);
  EXPECT_EQ(wxPoint(x, y), wxPoint(980, 824));
  // Wider than the work area: its left edge.
  PlaceNearClientArea(100, 50, 1500, 200, wxRect(20, 30, 1260, 994), x, y);
  EXPECT_EQ(wxPoint(x, y), wxPoint(20, 82));
}

} // namespace
