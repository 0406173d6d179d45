#pragma once
// The tool windows as the engine reaches them in the program: the open orbit
// diagram, globe, magnitude-curve, observing-season chart and search-range
// windows.
#include "engine/tool_sinks.h"

class ProgramToolSinks : public ToolWindowSinks {
public:
  GlobeSink* Globe() override;
  GlobeSink* OpenGlobe() override;
  OrbitDiagramSink* OrbitDiagram() override;
  OrbitDiagramSink* OpenOrbitDiagram() override;
  VisibilityChartSink* VisibilityChart() override;
  VisibilityChartSink* OpenVisibilityChart() override;
  MagCurveSink* MagCurve() override;
  MagCurveSink* OpenMagCurve() override;
  SearchRangeSink* SearchRange() override;
  SearchRangeSink* OpenSearchRange() override;
};
