#pragma once
// The observation set of one orbit-determination view (DetClass): the
// observations, the three picks, the station table and the preliminary
// orbit's work area. The engine's procedures work on it without the view.
#include <string>

#include "data/observation_record.h"

struct StationRecord;
struct OrbitEngine;

class DetClass {
public:
  ObservationRecord m_aPick[3]{};   // the three picked observations (time order)
  StationRecord* m_pStations = nullptr;  // station table (free()), or null
  int m_nObsCount = 0;                   // observations in m_pOrbObs
  int m_bFixEcc = 0;                  // "離心率(e)を固定"
  // preliminary-orbit work area
  double m_dOlbersRatio = 0;
  double m_dTimeRatio = 0;
  double m_dRatioAnchor = 0;
  double m_dRho3Factor = 0;
  double m_dPickResRa[3] = {}, m_dPickResDec[3] = {};  // rad
  double m_dAnchorResRa = 0, m_dAnchorResDec = 0;      // rad
  double m_dSunChord2 = 0;          // AU²
  double m_dLinCoef[3] = {};
  double m_dSunTerm[3] = {};
  double m_dTau = 0;
  int m_bParabolicMethod = 0;             // "暫定放物線軌道"
  std::string m_strError;           // last preliminary-orbit or two-body failure
  ObservationRecord* m_pOrbObs = nullptr;  // observations (calloc/free), ended by m_dJdUtc == -1.0
  double m_dDirCos[3][3] = {};      // rows λ, μ, ν; columns the picks
  double m_dSunChord[3] = {};       // R3 - R1, AU
  double m_dSun[3][3] = {};         // rows X, Y, Z of the observer-to-Sun vectors, AU
  double m_dRho[3] = {};            // geocentric distances, AU
  double m_dRhoIter = 0;
  OrbitEngine* m_pEngine = nullptr; // the view's engine
};
