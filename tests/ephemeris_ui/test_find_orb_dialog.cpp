// The similar-orbit search in the running program: the orbit-determination
// view's developer-mode item (command 149) with Vesta's elements in its
// engine, "検索(&F)" over an MPCORBcr.txt beside the executable, then
// the same search without the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "ephemeris/ui/find_orb_dlg.h"
#include "platform/numbers.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"

namespace {


constexpr double kRadPerDeg = 0.017453292519943295;

} // namespace

TEST(FindOrbDialog, DeveloperItemSearchAndMissingFile)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
  ViewSession session("find_orb_dialog");
  const std::string file = session.m_dir + "bin/MPCORBcr.txt";
  {
    std::ifstream in(excerpt);
    std::ofstream out(file);
    std::string vesta;
    for (std::string line; std::getline(in, line);) {
      out << line << "\n";
      vesta = line;
    }
    // Vesta with e larger by exactly 0.05: still listed.
    vesta.replace(70, 9, "0.1385158");
    vesta.replace(166, 9, "(4) Twin ");
    out << vesta << "\n";
  }
  DialogWatch<CFindOrbDlg> watch;
  watch.Register();
  std::string header;
  std::vector<std::string> found;
  int afterMissing = -1;
  auto open = [&] { return watch.m_pOpen != nullptr && watch.m_pOpen->IsShownOnScreen(); };
  std::vector<ViewStep> steps = {
      {"start-up view shown", nullptr, [] { return ViewSession::View() && ViewSession::View()->IsShownOnScreen(); }},
      {"Vesta's orbit in developer mode",
       [] {
         TheApp().m_bDeveloper = 1;
         ElementBlock& el = ViewSession::View()->m_pEngine->m_state.m_el;
         el.m_dT = 2459573.25;
         el.m_dQ = 2.3620141 * (1 - 0.0885158);
         el.m_dE = 0.0885158;
         el.m_dPeri = 150.87484 * kRadPerDeg;
         el.m_dNode = 103.80908 * kRadPerDeg;
         el.m_dIncl = 7.14190 * kRadPerDeg;
       },
       nullptr},
      ViewSession::OpenMenuStep(0, ID_FIND_ORB),
      {"類似軌道検索(&O)...", [] { ViewSession::ClickMenuItem(ID_FIND_ORB); }, open},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"検索(&F)", [&] { ViewSession::ClickButtonOf(watch.m_pOpen, CFindOrbDlg::kSearchButtonId); },
       [&] { return open() && watch.m_pOpen->List()->GetCount() == 2; }},
      {"settle", nullptr, nullptr, 30, 0.4},
      {"read", [&] {
         header = FromWx(watch.m_pOpen->Header()->GetValue());
         for (unsigned i = 0; i < watch.m_pOpen->List()->GetCount(); ++i)
           found.push_back(FromWx(watch.m_pOpen->List()->GetString(i)));
         ViewSession::SaveScreenshot(watch.m_pOpen, "find_orb_found");
         std::remove(file.c_str());
       },
       nullptr},
      {"検索(&F) without the file", [&] { ViewSession::ClickButtonOf(watch.m_pOpen, CFindOrbDlg::kSearchButtonId); },
       [&] { return !session.m_ui.m_messages.empty(); }},
      {"OK", [&] {
         afterMissing = static_cast<int>(watch.m_pOpen->List()->GetCount());
         ViewSession::ClickButtonOf(watch.m_pOpen, wxID_OK);
       },
       [&] { return watch.m_pOpen == nullptr; }},
  };
  for (size_t i = 4; i < steps.size(); ++i)
    if (steps[i].run)
      steps[i].run = [&watch, run = steps[i].run] {
        if (watch.m_pOpen)
          run();
      };
  ASSERT_TRUE(session.Run({}, steps));
  watch.Unregister();
  EXPECT_TRUE(session.m_failures.empty()) << session.FailedSteps();
  EXPECT_EQ(header, "tpass: 2459573.250000\r\n");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_NE(found[0].find("(4) Vesta"), std::string::npos);
  EXPECT_NE(found[1].find("(4) Twin"), std::string::npos);
  EXPECT_EQ(afterMissing, 0);
  ASSERT_EQ(session.m_ui.m_messages.size(), 1u);
  EXPECT_EQ(session.m_ui.m_messages[0].text, "MPCORBcr.txt ファイルがありません。");
}
