#include <gtest/gtest.h>

#include "engine/auto_step.h"
#include "engine/integration_state.h"

namespace {

using CTessaruneLib::AutoIntegrationStep;

struct StepCase {
  const char* name;
  char mode;
  double epoch, end, obsFirst, obsLast;
  double T, q;
  double want;
};

const StepCase kStepCases[] = {
    // Propagation: the doubling stops at 8 days although 625000 steps remain.
    {"propagation 5e6 days", 'C', 2451545.0, 2451545.0 + 5e6, 0, 0, 0, 0, 8.0},
    {"propagation backwards 5e6 days", 'C', 2451545.0, 2451545.0 - 5e6, 0, 0, 0, 0, 8.0},
    {"propagation 1e5 days keeps 0.5", 'C', 2451545.0, 2451545.0 + 50000.0, 0, 0, 0, 0, 0.5},
    {"propagation 10 days gets 40 steps", 'C', 2451545.0, 2451555.0, 0, 0, 0, 0, 0.25},
    {"propagation of no length stops at 2^-13", 'C', 2451545.0, 2451545.0 + 1e-9, 0, 0, 0, 0, 0.0001220703125},
    // A calculation run without an end time is treated as a fit.
    {"mode C without end", 'C', 2451545.0, 0.0, 2451400.0, 2451700.0, 0, 0, 0.5},
    {"fit 300 days, epoch inside", 'N', 2451545.0, 0, 2451400.0, 2451700.0, 0, 0, 0.5},
    {"fit 30 days", 'N', 2451545.0, 0, 2451530.0, 2451560.0, 0, 0, 0.125},
    {"fit 10 days", 'N', 2451545.0, 0, 2451540.0, 2451550.0, 0, 0, 0.03125},
    // q = 0.1 AU: 0.02 q^1.5 / k = 0.0368 day, rounded down to 2^-5.
    {"comet at perihelion inside the arc", 'N', 2451545.0, 0, 2451400.0, 2451700.0, 2451600.0, 0.1, 0.03125},
    {"perihelion within the 40-day margin", 'N', 2451545.0, 0, 2451400.0, 2451700.0, 2451739.0, 0.1, 0.03125},
    {"perihelion beyond the margin", 'N', 2451545.0, 0, 2451400.0, 2451700.0, 2451741.0, 0.1, 0.5},
    {"q of 0 is no perihelion", 'N', 2451545.0, 0, 2451400.0, 2451700.0, 2451600.0, 0.0, 0.5},
    // A tiny q would ask for less than 2^-13; the floor holds.
    {"sungrazer", 'N', 2451545.0, 0, 2451400.0, 2451700.0, 2451600.0, 0.0001, 0.0001220703125},
};

TEST(AutoIntegrationStep, TableOfRuns) {
  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(c.name);
    IntegrationState s{};
    s.m_chMode = c.mode;
    s.m_dEpoch = c.epoch;
    s.m_dEnd = c.end;
    s.m_dObsFirst = c.obsFirst;
    s.m_dObsLast = c.obsLast;
    s.m_el.m_dT = c.T;
    s.m_el.m_dQ = c.q;
    EXPECT_EQ(AutoIntegrationStep(&s), c.want);
  }
}

}  // namespace
