#pragma once
// The six elements of the object a tool window draws, as the window's
// SetObject gives them: perihelion time (JD), perihelion distance (AU),
// eccentricity, and the argument of perihelion, node and inclination in the
// units the caller passes.
struct ObjectElements {
  double m_dT = 0, m_dQ = 0, m_dE = 0, m_dPeri = 0, m_dNode = 0, m_dIncl = 0;

  void SetElements(double T, double q, double e, double peri, double node, double incl)
  {
    m_dT = T;
    m_dQ = q;
    m_dE = e;
    m_dPeri = peri;
    m_dNode = node;
    m_dIncl = incl;
  }
};
