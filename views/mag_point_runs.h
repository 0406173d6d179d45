#pragma once
// The magnitude curve's observations go out in runs of one look, in the
// points' order: filled discs 4 px wide (they enter the law) or rings 5 px
// wide, thousands at a time.
#include <vector>

#include "views/scene_canvas.h"

class MagPointRuns {
public:
  explicit MagPointRuns(ISceneCanvas& g) : m_g(g) {}
  ~MagPointRuns() { Flush(); }
  MagPointRuns(const MagPointRuns&) = delete;
  MagPointRuns& operator=(const MagPointRuns&) = delete;

  void Add(ScenePoint p, uint32_t argb, bool filled)
  {
    if (!m_run.empty() && (argb != m_argb || filled != m_filled))
      Flush();
    m_argb = argb;
    m_filled = filled;
    m_run.push_back(p);
  }
  void Flush()
  {
    if (m_run.empty())
      return;
    if (m_filled)
      m_g.FillCircles(m_run, 4, m_argb);
    else
      m_g.StrokeCircles(m_run, 5, ScenePen{m_argb, 1});
    m_run.clear();
  }

private:
  ISceneCanvas& m_g;
  std::vector<ScenePoint> m_run;
  uint32_t m_argb = 0;
  bool m_filled = false;
};
