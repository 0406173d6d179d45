// Which fits count as one deep encounter: arcs of at most a day, an epoch
// within a day of them, a nominal orbit that came within ten Earth radii.
#include <gtest/gtest.h>

#include <cstdlib>

#include "astro/constants.h"
#include "engine/deep_encounter_fit.h"
#include "engine/determination_host.h"
#include "engine/integration_state.h"
#include "engine/orbit_engine.h"

namespace {

constexpr double kEarthRadiusAu = kEarthEquatorialRadiusKm / kAstronomicalUnitKm;

// 2008 TC3 (19 hours, five radii, epoch at 0h of its last day) counts; 2018
// LA's epoch moved back a month across its impact does not, nor a run that
// never came near (21 radii), nor a two-day arc, nor a state that never ran.
TEST(DeepEncounterFit, ShortArcNearItsEpochWithinTenEarthRadii) {
  struct Case {
    double arcDays, epochFromFirst, closestRadii;
    bool deep;
  };
  const Case cases[] = {
      {0.8, 0.9, 5.0, true},   {0.8, -0.9, 9.9, true}, {0.8, 0.9, 10.1, false}, {0.8, 0.9, 21.0, false},
      {0.8, -31.0, 0.5, false}, {0.8, 1.9, 5.0, false}, {1.1, 0.5, 5.0, false},  {0.8, 0.5, 0.0, false},
  };
  for (const Case& c : cases) {
    CDetermination view;
    DetClass* det = view.m_pDetClass;
    det->m_pOrbObs = static_cast<ObservationRecord*>(std::calloc(3, sizeof(ObservationRecord)));
    det->m_nObsCount = 2;
    det->m_pOrbObs[0].m_dJdTt = 2454745.5;
    det->m_pOrbObs[1].m_dJdTt = 2454745.5 + c.arcDays;
    det->m_pOrbObs[2].m_dJdUtc = -1.0;
    OrbitEngine& engine = *view.m_pEngine;
    engine.m_nFirstObs = 0;
    engine.m_nLastObs = 1;
    engine.m_state.m_dEpoch = 2454745.5 + c.epochFromFirst;
    engine.m_state.m_dMinEarthDistance = c.closestRadii * kEarthRadiusAu;
    EXPECT_EQ(DeepEncounterFit(&engine, &engine.m_state), c.deep)
        << c.arcDays << " d, epoch " << c.epochFromFirst << ", " << c.closestRadii << " radii";
  }
}

}  // namespace
