#pragma once
// The tool windows as the engine reaches them in the program: the open orbit
// diagram window; the globe stays headless until its window exists.
#include "engine/tool_sinks.h"

class ProgramToolSinks : public ToolWindowSinks {
public:
  GlobeSink* Globe() override { return m_headless.Globe(); }
  GlobeSink* OpenGlobe() override { return m_headless.OpenGlobe(); }
  OrbitDiagramSink* OrbitDiagram() override;
  OrbitDiagramSink* OpenOrbitDiagram() override;

private:
  HeadlessToolSinks m_headless;
};
