#include "app/main/program_windows.h"

#include "app/main_frame.h"
#include "app/registry/window_registry.h"
#include "determination/determination_display.h"
#include "determination/ui/register_determination_view.h"
#include "ephemeris/ui/eph_list_view.h"
#include "ephemeris/ui/ephemerides_view.h"
#include "ephemeris/ui/checking_view.h"
#include "ephemeris/ui/find_orb_dlg.h"
#include "ephemeris/ui/forecast_dlg.h"
#include "ephemeris/ui/move_epoch_view.h"
#include "ephemeris/ui/vaisala_view.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "ephemeris/ui/whois_view.h"
#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "views/ui/globe_wnd.h"
#include "views/ui/mag_curve_wnd.h"
#include "views/ui/orbit_view_wnd.h"
#include "views/ui/program_tool_sinks.h"
#include "views/ui/search_range_wnd.h"
#include "views/ui/visibility_chart_wnd.h"

namespace {

// The current orbit-determination view hands its solution to the window just opened.
void PublishCurrentSolution()
{
  if (auto* view = dynamic_cast<CDeterminationDisplay*>(OpenWindows().m_pDetermination))
    view->PublishElementsToViews(nullptr, -1);
}

} // namespace

void RegisterProgramWindows()
{
  // With no view open, runs on the fallback object still report their elements.
  SetFallbackDeterminationMaker([]() -> CDetermination& {
    static CDeterminationDisplay fallback(false);
    return fallback;
  });
  RegisterDeterminationView();
  RegisterForecastDialog();
  RegisterNeocpScanDialog();
  RegisterFindOrbDialog();
  RegisterEphemerisView();
  RegisterCheckingView();
  // Of the tool windows the Väisälä view replaces, the orbit diagram and the
  // magnitude curve are windows in this build.
  RegisterVaisalaView([] {
    if (auto* diagram = dynamic_cast<COrbitViewWnd*>(OpenWindows().m_pOrbitViewDlg))
      diagram->Destroy();
    if (auto* curve = dynamic_cast<CMagCurveWnd*>(OpenWindows().m_pMagCurveDlg))
      curve->Destroy();
  });
  RegisterWhoisView();
  RegisterEphListView();
  RegisterMoveEpochView();
  static ProgramToolSinks sinks;
  SetToolSinks(&sinks);
  RegisterToolWindowCommand(ID_ORBIT_VIEW, [](wxWindow* mainFrame) {
    OpenOrbitView(mainFrame);
    PublishCurrentSolution();
  });
  RegisterToolWindowCommand(ID_VISIBILITY_CHART, [](wxWindow* mainFrame) {
    OpenVisibilityChart(mainFrame);
    PublishCurrentSolution();
  });
  RegisterToolWindowCommand(ID_GLOBE, [](wxWindow* mainFrame) { GlobeWindow(mainFrame)->ShowGlobe(); });
  RegisterToolWindowCommand(ID_MAG_CURVE, [](wxWindow* mainFrame) {
    OpenMagCurve(mainFrame);
    PublishCurrentSolution();
  });
  // The search range opens empty: only the ephemeris view, the comet list
  // and the Väisälä view feed it.
  RegisterToolWindowCommand(ID_SEARCH_RANGE, [](wxWindow* mainFrame) { OpenSearchRange(mainFrame); });
}
