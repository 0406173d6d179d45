// The developer dialog in the running program (under xvfb-run), opened by the
// options page's button in developer mode and by command 32772: a generator
// run over 1970-2050 from the real catalogue excerpt with its four missing
// asteroids made of (3), the file chosen in the save dialog, the log and the
// file it leaves; then the test ephemeris.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include <wx/bookctrl.h>
#include <wx/textctrl.h>

#include "app/option_sheet.h"
#include "astro/mpeph_store.h"
#include "engine/ui/dbg_dlg.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"

namespace {

CDbg* ShownDbg()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dlg = dynamic_cast<CDbg*>(w); dlg && dlg->IsShownOnScreen())
      return dlg;
  return nullptr;
}

COption* Sheet()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* sheet = dynamic_cast<COption*>(w); sheet && sheet->IsShown())
      return sheet;
  return nullptr;
}

std::string Text(int id)
{
  return FromWx(static_cast<wxTextCtrl*>(ShownDbg()->FindWindow(id))->GetValue());
}

void SetField(int id, const char* value)
{
  static_cast<wxTextCtrl*>(ShownDbg()->FindWindow(id))->SetValue(value);
}

bool Said(const ViewSession& session, const std::string& text)
{
  for (const auto& m : session.m_ui.m_messages)
    if (m.text == text)
      return true;
  return false;
}

} // namespace

TEST(DbgDialog, DeveloperButtonOpensItAndTheGeneratorWritesTheFile)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
  ViewSession session("dbg_dialog");
  session.m_ui.m_bRealEvents = true;
  std::string catalogue;
  ASSERT_TRUE(ReadWholeFile(excerpt, catalogue));
  const size_t at = catalogue.find("\n00003 ");
  const std::string juno = catalogue.substr(at + 6, catalogue.find('\n', at + 1) - at - 5);
  for (const char* number : {"00007", "00324", "00010", "00015"})
    catalogue += number + juno;
  const std::string target = session.m_dir + "mpeph.dat";

  DialogWatch<wxFileDialog> files;
  files.Register();
  std::string fields, log, status, ephemeris, planets;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"catalogue", [&] { ASSERT_TRUE(WriteFileAtomic(TheApp().m_szDataDir + "MPCORB.DAT", catalogue)); }, nullptr},
      // Developer mode shows the options page's rebuild button, the way in.
      {"command 148", [] {
         TheApp().m_bDeveloper = 1;
         ViewSession::PostCommand(ID_OPTIONS);
       },
       [] { return Sheet() != nullptr; }, 30, 0.8},
      {"tab 惑星暦", [] { ViewSession::ClickBookTab(Sheet()->GetBookCtrl(), 1); },
       [] { return Sheet()->GetBookCtrl()->GetSelection() == 1; }, 30, 0.6},
      {"button 1501", [] { ViewSession::ClickButtonOf(Sheet(), 1501); }, [] { return ShownDbg() != nullptr; }, 30,
       0.5},
      {"fields", [&] {
         fields = Text(CDbg::IDC_START_YEAR) + " " + Text(CDbg::IDC_END_YEAR) + " " + Text(CDbg::IDC_INTERVAL);
         SetField(CDbg::IDC_START_YEAR, "1970");
         SetField(CDbg::IDC_END_YEAR, "2050");
       },
       nullptr},
      {"生成", [] { ViewSession::ClickButtonOf(ShownDbg(), CDbg::IDC_GENERATE); },
       [&] { return files.m_pOpen != nullptr; }},
      // GTK's save chooser takes the folder and the name apart.
      {"save as", [&] {
         files.m_pOpen->SetDirectory(ToWx(session.m_dir));
         files.m_pOpen->SetFilename("mpeph.dat");
       },
       [&] { return FromWx(files.m_pOpen->GetPath()) == target; }, 30, 0.5},
      {"save", [&] { files.m_pOpen->EndModal(wxID_OK); }, [&] { return Said(session, "正常に作成しました。"); }, 60},
      {"settle", nullptr, nullptr, 30, 0.5},
      {"read", [&] {
         log = Text(CDbg::IDC_LOG);
         status = Text(CDbg::IDC_STATUS);
         ViewSession::SaveScreenshot(ShownDbg(), "dbg_dialog_generated");
       },
       nullptr},
      {"Button2", [] { ViewSession::ClickButtonOf(ShownDbg(), CDbg::IDC_TEST_EPHEMERIS); },
       [] { return Text(CDbg::IDC_LOG).rfind("Date/", 0) == 0; }, 30, 0.5},
      {"test ephemeris", [&] {
         ephemeris = Text(CDbg::IDC_LOG);
         ViewSession::SaveScreenshot(ShownDbg(), "dbg_dialog_test_ephemeris");
       },
       nullptr},
      {"DE406", [] { ViewSession::ClickButtonOf(ShownDbg(), CDbg::IDC_PLANET_DUMP); },
       [] { return Text(CDbg::IDC_LOG).rfind("01 ", 0) == 0; }},
      {"planets", [&] { planets = Text(CDbg::IDC_LOG); }, nullptr},
      {"OK", [] { ViewSession::ClickButtonOf(ShownDbg(), wxID_OK); }, [] { return ShownDbg() == nullptr; }},
      {"close the sheet", [] { ViewSession::ClickButtonOf(Sheet(), wxID_CANCEL); }, [] { return Sheet() == nullptr; }},
      // Command 32772 reaches the same dialog.
      {"command 32772", [] { ViewSession::PostCommand(ID_DEBUG_DLG); }, [] { return ShownDbg() != nullptr; }, 30,
       0.5},
      {"OK again", [] { ViewSession::ClickButtonOf(ShownDbg(), wxID_OK); }, [] { return ShownDbg() == nullptr; }},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(fields, "1600 2300 100");
  EXPECT_EQ(log.rfind("摂動用小惑星暦の生成  1970年〜2050年  元期の間隔 100日  293組×7天体\nMPCORB.DAT: ", 0), 0u)
      << log;
  EXPECT_NE(log.find("(324) Bamberga を計算中..."), std::string::npos);
  EXPECT_NE(log.find("完成: " + target + "  (115016 バイト)"), std::string::npos) << log;
  EXPECT_EQ(status.rfind("  (15) Eunomia  JD ", 0), 0u) << status;
  MpephStore store;
  EXPECT_EQ(LoadMpephFile(store, target), 1);
  EXPECT_EQ(store.m_header.nEpochs, 293);
  EXPECT_EQ(std::count(ephemeris.begin(), ephemeris.end(), '\n'), 43);
  // Ten bodies, one line each (1900 lies outside the 1960-2060 file: zeros).
  EXPECT_EQ(std::count(planets.begin(), planets.end(), '\n'), 10);
  EXPECT_NE(planets.find("\n10 +0.000000000000000 +0.000000000000000 +0.000000000000000\n"), std::string::npos)
      << planets;
}
