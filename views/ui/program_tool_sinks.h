#pragma once
// The tool windows as the engine reaches them in the program: the open orbit
// diagram window; the globe and the search range stay headless until their
// windows exist.
#include "engine/tool_sinks.h"

class ProgramToolSinks : public ToolWindowSinks {
public:
  GlobeSink* Globe() override { return m_headless.Globe(); }
  GlobeSink* OpenGlobe() override { return m_headless.OpenGlobe(); }
  OrbitDiagramSink* OrbitDiagram() override;
  OrbitDiagramSink* OpenOrbitDiagram() override;
  VisibilityChartSink* VisibilityChart() override;
  SearchRangeSink* SearchRange() override { return m_headless.SearchRange(); }
  SearchRangeSink* OpenSearchRange() override { return m_headless.OpenSearchRange(); }

private:
  HeadlessToolSinks m_headless;
};
