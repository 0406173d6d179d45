// When the view's own commands are enabled, and what the forecast dialog
// takes over.
#include <gtest/gtest.h>

#include <initializer_list>

#include "determination/det_form.h"
#include "determination/view_commands.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "resources/determination_ids.h"

namespace {

const char* Name(Tri t) { return t == Tri::On ? "on" : t == Tri::Off ? "off" : "unchanged"; }

} // namespace

TEST(ViewCommands, EnablingByStatePerturbationsAndCovariance) {
  struct Case {
    const char* what;
    int id;
    DetCommandState s;
    Tri expected;
  } cases[] = {
      {"forecast: state 5 with perturbations", ID_FORECAST, {.calcState = 5, .perturbations = true}, Tri::On},
      {"forecast: state 4, covariance valid", ID_FORECAST, {.calcState = 4, .covarianceValid = true}, Tri::On},
      {"forecast: state 5 without perturbations or covariance", ID_FORECAST, {.calcState = 5}, Tri::Off},
      {"forecast: state 3 with perturbations", ID_FORECAST, {.calcState = 3, .perturbations = true}, Tri::Off},
      {"element input: nothing loaded", ID_ELEMENT_INPUT, {.calcState = 0}, Tri::Off},
      {"element input: loaded", ID_ELEMENT_INPUT, {.calcState = 1, .observations = true}, Tri::On},
      {"element input: state 7", ID_ELEMENT_INPUT, {.calcState = 7}, Tri::On},
      {"station residuals: residuals shown", ID_STATION_STATS,
       {.calcState = 4, .observations = true, .residualsShown = true}, Tri::On},
      {"era residuals: no residuals shown", ID_ERA_STATS, {.calcState = 4, .observations = true}, Tri::Off},
      {"non-grav test: state 5 with terms", ID_NONGRAV_CHECK,
       {.calcState = 5, .observations = true, .nonGrav = true}, Tri::On},
      {"non-grav test: state 4 with terms", ID_NONGRAV_CHECK,
       {.calcState = 4, .observations = true, .nonGrav = true}, Tri::Off},
      {"non-grav test: terms off", ID_NONGRAV_CHECK, {.calcState = 5, .observations = true}, Tri::Off},
      {"load solution: observations", ID_LOAD_SOLUTION, {.calcState = 1, .observations = true}, Tri::On},
      {"load solution: none", ID_LOAD_SOLUTION, {.calcState = 0}, Tri::Off},
      {"save: state 4", ID_SAVE_RESULT, {.calcState = 4}, Tri::On},
      {"save: state 3", ID_SAVE_RESULT, {.calcState = 3}, Tri::Off},
      {"save hidden: no forecast dialog", ID_SAVE_RESULT, {.calcState = 3, .viewVisible = false}, Tri::On},
      {"save hidden: forecast shown", ID_SAVE_RESULT,
       {.calcState = 5, .viewVisible = false, .forecast = kForecastVisible}, Tri::Off},
      {"save hidden: forecast hidden", ID_SAVE_RESULT,
       {.calcState = 5, .viewVisible = false, .forecast = kForecastHidden}, Tri::Unchanged},
      {"approach graph", ID_MP_DIS_GRAPH, {}, Tri::On},
      {"globe", ID_GLOBE, {}, Tri::On},
      {"MPC download", ID_FETCH_MPC_OBS, {}, Tri::On},
      {"magnitude curve: the main frame's", ID_MAG_CURVE, {}, Tri::Unchanged},
      {"open file: the loading commands'", ID_OPEN_OBS_FILE, {}, Tri::Unchanged},
  };
  for (const Case& c : cases) {
    const Tri got = DetCommandEnabling(c.id, c.s);
    EXPECT_EQ(got, c.expected) << c.what << ": " << Name(got);
  }
}

TEST(ViewCommands, LoadingRefusedWhileTheForecastShows) {
  EXPECT_EQ(LoadCommandEnabling(kForecastNone), Tri::On);
  EXPECT_EQ(LoadCommandEnabling(kForecastHidden), Tri::On);
  EXPECT_EQ(LoadCommandEnabling(kForecastVisible), Tri::Off);
}

TEST(ViewCommands, ForecastTakesTwentyControls) {
  CDetermination view;
  DisableControlsForForecast(view);
  for (int id : std::initializer_list<int>{kIdAsteroidCheck, kIdPerturbationsCheck, kIdStepCombo, kIdPerturberSet, kIdFixECheck, kIdFixEEdit,
                 kIdAutoImprove, kIdManualImprove, kIdAutoStopCheck, kIdRejectYear, kIdRejectOld, kIdRejectNew,
                 kIdRejectOldSpin, kIdRejectNewSpin, kIdRejectButton, kIdSignatureCheck, kIdWeightReset,
                 kIdWeightSet, kIdWeightEdit, kIdObsList})
    EXPECT_FALSE(view.IsItemEnabled(id)) << id;
  // What the dialog does not touch stays.
  for (int id : std::initializer_list<int>{kIdParabolicCheck, kIdNonGravCheck, kIdEphemerisButton, kIdAiImprove})
    EXPECT_TRUE(view.IsItemEnabled(id)) << id;
}

// Given back once, with the state's own rules applied again after them.
TEST(ViewCommands, ControlsComeBackAfterTheForecast) {
  class StateView : public CDetermination {
  public:
    void UpdateControlsForState(int state) override {
      ++m_nUpdates;
      EnableItem(kIdManualImprove, state >= 3);
    }
    int m_nUpdates = 0;
  } view;
  view.m_pEngine->m_nCalcState = 1;
  RestoreControlsAfterForecast(view);
  EXPECT_EQ(view.m_nUpdates, 0) << "nothing was taken";
  DisableControlsForForecast(view);
  RestoreControlsAfterForecast(view);
  RestoreControlsAfterForecast(view);
  EXPECT_EQ(view.m_nUpdates, 1);
  for (int id : kForecastDisabledControls)
    EXPECT_EQ(view.IsItemEnabled(id), id != kIdManualImprove) << id;
}
