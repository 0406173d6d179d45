#include "views/ui/program_tool_sinks.h"

#include "app/registry/window_registry.h"
#include "platform/app_services.h"
#include "views/orbit_view.h"
#include "views/ui/globe_wnd.h"
#include "views/mag_curve.h"
#include "views/ui/mag_curve_wnd.h"
#include "views/ui/orbit_view_wnd.h"
#include "views/ui/search_range_wnd.h"
#include "views/ui/visibility_chart_wnd.h"

#include <wx/app.h>

GlobeSink* ProgramToolSinks::Globe()
{
  return OpenWindows().m_pGlobeDlg;
}

GlobeSink* ProgramToolSinks::OpenGlobe()
{
  // Made hidden: the writers fill it, then show it.
  return GlobeWindow(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
}

OrbitDiagramSink* ProgramToolSinks::OrbitDiagram()
{
  return OpenWindows().m_pOrbitViewDlg;
}

OrbitDiagramSink* ProgramToolSinks::OpenOrbitDiagram()
{
  OpenOrbitView(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
  return OrbitDiagram();
}

VisibilityChartSink* ProgramToolSinks::VisibilityChart()
{
  return VisibilityChartWindow();
}

VisibilityChartSink* ProgramToolSinks::OpenVisibilityChart()
{
  return ::OpenVisibilityChart(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
}

MagCurveSink* ProgramToolSinks::MagCurve()
{
  return OpenWindows().m_pMagCurveDlg;
}

MagCurveSink* ProgramToolSinks::OpenMagCurve()
{
  ::OpenMagCurve(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
  return MagCurve();
}

SearchRangeSink* ProgramToolSinks::SearchRange()
{
  return OpenWindows().m_pSearchRangeDlg;
}

SearchRangeSink* ProgramToolSinks::OpenSearchRange()
{
  return ::OpenSearchRange(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
}
