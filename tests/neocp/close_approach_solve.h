#pragma once
// Short arcs of real objects that hit or nearly hit the Earth, solved as the
// screening's tests and benchmark need them.
#include <string>

#include "tests/engine/test_improvement_support.h"

// The MPC80 lines of text observed on the days from..to ("YYYY MM DD", both included).
inline std::string ObservationLinesOnDays(const std::string& text, const std::string& from, const std::string& to) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.size() < 25) continue;
    const std::string day = line.substr(15, 10);
    if (day >= from && day <= to) out += line + "\n";
  }
  return out;
}

// The view's observations solved with perturbations: an orbit from three
// observations at the start, middle and the given fraction of the arc before
// its end, the two-body improvement, then the fit of an impactor; true with a
// valid covariance.
inline bool SolveCloseApproachArc(CDetermination& view, double cutFromEnd) {
  const int count = view.m_pDetClass->m_nObsCount;
  if (count < 3) return false;
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  const double first = obs[0].m_dJdTt, last = obs[count - 1].m_dJdTt;
  if (!PickAndDetermine(view, first, last - cutFromEnd * (last - first))) return false;
  if (ImproveTwoBody(view, 20) != 0) return false;
  if (FitImpactor(view, first, last) != 0) return false;
  return view.m_pEngine->m_bCovarianceValid == 1;
}
