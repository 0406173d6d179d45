#pragma once
// The tool windows as the engine reaches them in the program: the open orbit
// diagram, globe and magnitude-curve windows; the search range stays
// headless until its window exists.
#include "engine/tool_sinks.h"

class ProgramToolSinks : public ToolWindowSinks {
public:
  GlobeSink* Globe() override;
  GlobeSink* OpenGlobe() override;
  OrbitDiagramSink* OrbitDiagram() override;
  OrbitDiagramSink* OpenOrbitDiagram() override;
  VisibilityChartSink* VisibilityChart() override;
  MagCurveSink* MagCurve() override;
  MagCurveSink* OpenMagCurve() override;
  SearchRangeSink* SearchRange() override { return m_headless.SearchRange(); }
  SearchRangeSink* OpenSearchRange() override { return m_headless.OpenSearchRange(); }

private:
  HeadlessToolSinks m_headless;
};
