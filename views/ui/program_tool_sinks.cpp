#include "views/ui/program_tool_sinks.h"

#include "platform/app_services.h"
#include "views/orbit_view.h"

OrbitDiagramSink* ProgramToolSinks::OrbitDiagram()
{
  return TheApp().m_pOrbitViewDlg;
}
