// The data subsystem's dialogs under a display (run under xvfb-run): the
// NEOCP pick dialog against a list served on 127.0.0.1, the planetary
// download dialog's start and cancel by its own button, and the wrapped text
// and placement routines. Message boxes are recorded instead of shown.
#include <gtest/gtest.h>


#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/ui/get_jpl_eph_dlg.h"
#include "data/ui/neocp_dlg.h"
#include "data/ui/window_routines.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_planetary_download_servers.h"

namespace {

// Records message boxes like the headless services, but lets the windows'
// events through when the download pumps.
class RecordingWxUi : public HeadlessUiServices {
public:
  std::function<void()> onPump;  // what the user does meanwhile

  bool PumpOneEvent() override
  {
    if (onPump)
      onPump();
    if (!wxTheApp)
      return false;
    wxTheApp->ProcessPendingEvents();
    if (wxTheApp->Pending())
      wxTheApp->Dispatch();
    return true;
  }
};

class DataDialogs : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
      return;
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
  EXPECT_TRUE(m_ui.m_messages.empty());
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
  TheApp().m_profile.WriteString("SYSTEM", "DE441URL", server.Url("de441.bin").c_str());

  CGetJplEph dlg;
  dlg.Show();
  Pump();
  auto* de441 = static_cast<wxButton*>(dlg.FindWindow(CGetJplEph::IDC_RECEIVE_DE441));
  auto* de406 = static_cast<wxButton*>(dlg.FindWindow(CGetJplEph::IDC_RECEIVE_DE406));
  auto* close = static_cast<wxButton*>(dlg.FindWindow(wxID_OK));
  EXPECT_TRUE(de441->IsEnabled());
  EXPECT_TRUE(de406->IsEnabled());

  // The second press arrives while the first download transfers.
  bool sawRunning = false, pressed = false;
  m_ui.onPump = [&] {
    if (pressed || FromWx(de441->GetLabel()) != "中止")
      return;
    pressed = true;
    sawRunning = dlg.m_bRunning == 1 && de441->IsEnabled() && !close->IsEnabled() && !de406->IsEnabled();
    Click(&dlg, CGetJplEph::IDC_RECEIVE_DE441);
  };
  Click(&dlg, CGetJplEph::IDC_RECEIVE_DE441);
  m_ui.onPump = nullptr;
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(sawRunning);
  EXPECT_EQ(dlg.m_bRunning, 0);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, "中止操作により終了しました。次回は続きから再開します。");
  EXPECT_EQ(Label(&dlg, CGetJplEph::IDC_STATUS), "中止操作により終了しました(次回は続きから再開します)。");
  EXPECT_EQ(FromWx(de441->GetLabel()), "DE441受信(&4)");
  EXPECT_TRUE(de441->IsEnabled() && de406->IsEnabled() && close->IsEnabled());
  EXPECT_TRUE(FileExists(eph + "de441.bin.part"));

  m_ui.m_messages.clear();
  Click(&dlg, CGetJplEph::IDC_RECEIVE_DE441);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, "正常に受信しました。次回起動時からDE441が使用されます。");
  EXPECT_FALSE(de441->IsEnabled());
  EXPECT_EQ(Label(&dlg, CGetJplEph::IDC_PERCENT), "100.0%");
  std::string got;
  EXPECT_TRUE(ReadWholeFile(eph + "de441.bin", got) && got == whole);
  dlg.Hide();

  // Both files there: both buttons disabled from the start.
  WriteFileAtomic(eph + "de406.win", "x");
  CGetJplEph both;
  EXPECT_FALSE(both.FindWindow(CGetJplEph::IDC_RECEIVE_DE441)->IsEnabled());
  EXPECT_FALSE(both.FindWindow(CGetJplEph::IDC_RECEIVE_DE406)->IsEnabled());
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
