// The apparition comparison in the running program: (433) Eros's solution
// with its observations since 1960 handed to the magnitude curve opened by
// its menu command, the comet law chosen and fitted, "回帰ごとに比較(&R)" clicked;
// the element sets come from the open orbit-determination view's engine, and
// the overlaid returns take the wheel and a drag.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <wx/panel.h>
#include <wx/uiaction.h>

#include "app/registry/window_registry.h"
#include "data/observation_reader.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/views/eros_1960_solution.h"
#include "tests/views_ui/x_wheel.h"
#include "views/ui/mag_curve_wnd.h"

namespace {

CMagCurveWnd* Curve()
{
  return dynamic_cast<CMagCurveWnd*>(OpenWindows().m_pMagCurveDlg);
}

void ClickControl(int id, double xFraction)
{
  wxWindow* w = Curve()->Canvas()->FindWindow(id);
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(wxPoint(static_cast<int>(w->GetSize().x * xFraction), w->GetSize().y / 2)));
  sim.MouseClick();
}

// Eros's elements from the view's automatic improvement of its observations
// of 1960-2025 (tests/views), with those observations, as the
// orbit-determination view hands a solution over.
bool PublishErosSince1960(const std::string& path, const std::string& dir)
{
  const std::string file = WriteTestFile(dir, "eros.obs", ObservationLinesBetween(ReadTestFile(path), 1960, 2026));
  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(file, &obs);
  if (count <= 0)
    return false;
  DisplayOrbit orbit = Eros1960Solution();
  orbit.m_bAsteroid = 1;
  orbit.m_bValid = 1;
  ToolSinks().MagCurve()->SetSolution(orbit, obs, count, "433 Eros");
  std::free(obs);
  return true;
}

wxPoint PlotPoint(double xFraction, double yFraction)
{
  const CMagCurveWnd* c = Curve();
  return c->Canvas()->ClientToScreen(
      wxPoint(static_cast<int>(c->m_dCmpLeft + xFraction * (c->m_dCmpRight - c->m_dCmpLeft)),
              static_cast<int>(c->m_dCmpTop + yFraction * (c->m_dCmpBottom - c->m_dCmpTop))));
}

} // namespace

TEST(MagCurveWindow, ComparesErosReturns)
{
  TSR_REQUIRE_DATA(eros, "obs/mpc80/neosjl_433.txt");
  ViewSession session("mag_apparitions");
  bool bPublished = false;
  double days0 = 0, days1 = 0, left1 = 0, left2 = 0;
  std::string summary;
  int rows = 0;
  std::vector<ViewStep> steps = {
      {"view open", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"open 光度曲線", [] { ViewSession::PostCommand(ID_MAG_CURVE); },
       [] { return Curve() && Curve()->IsShownOnScreen(); }},
      {"publish Eros", [&] { bPublished = PublishErosSince1960(eros, session.m_dir); },
       [] { return Curve()->m_nPoints > 8000 && Curve()->m_bFitted; }, 30, 0.5},
      {"click 彗星", [] { ClickControl(kMagLawComet, 0.3); }, [] { return Curve()->m_bAsteroidLaw == 0; }},
      {"click フィット", [] { ClickControl(kMagFit, 0.5); },
       [] { return Curve()->m_bFitted && Curve()->IsItemEnabled(kMagCompare); }},
      {"click 回帰ごとに比較", [] { ClickControl(kMagCompare, 0.1); },
       [] {
         return Curve()->m_bCompare && Curve()->m_bApparitionsValid && !EngineBusy(ViewSession::View()->m_pEngine) &&
                Curve()->m_bCmpGeomValid;
       },
       60, 0.5},
      {"screenshot", [&] {
         ViewSession::SaveScreenshot(Curve(), "mag_apparitions_eros");
         summary = Curve()->m_strApparitionSummary;
         rows = Curve()->m_nApparitions;
         days0 = Curve()->m_dCmpDayMax - Curve()->m_dCmpDayMin;
         wxUIActionSimulator().MouseMove(PlotPoint(0.5, 0.6));
         ASSERT_TRUE(TurnWheel(true));
       },
       [] { return Curve()->m_bCmpZoomDays == 1; }},
      {"drag the days", [&] {
         days1 = Curve()->m_dCmpDayMax - Curve()->m_dCmpDayMin;
         left1 = Curve()->m_dCmpDayMin;
         wxUIActionSimulator sim;
         sim.MouseMove(PlotPoint(0.5, 0.6));
         sim.MouseDown();
         sim.MouseMove(PlotPoint(0.3, 0.6));
         sim.MouseUp();
       },
       [&] { return Curve()->m_dCmpDayMin != left1 && !Curve()->Canvas()->HasCapture(); }},
      {"screenshot zoomed", [&] {
         ViewSession::SaveScreenshot(Curve(), "mag_apparitions_eros_zoomed");
         left2 = Curve()->m_dCmpDayMin;
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  ASSERT_TRUE(bPublished);
  EXPECT_GE(rows, 20);
  const size_t at = summary.find("位置のずれ RMS ");
  ASSERT_NE(at, std::string::npos) << summary;
  EXPECT_LT(std::atof(summary.c_str() + at + std::string("位置のずれ RMS ").size()), 10) << "a few arcseconds";
  EXPECT_EQ(summary.rfind("摂動計算: ", 0), 0u) << summary;
  EXPECT_NEAR(days1 / days0, 0.8, 1e-6) << "one notch forward";
  EXPECT_GT(left2, left1) << "dragged left: later days come in";
  std::printf("Eros compared: %d rows; %s\n", rows, summary.c_str());
}
