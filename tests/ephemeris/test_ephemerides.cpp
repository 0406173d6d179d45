// The ephemeris form without its window: the mode switches and the e rule,
// the derived elements, records of element files and the first-return
// filter, and the calculation's rewritten fields and refusals.
#include <gtest/gtest.h>

#include <cmath>

#include "astro/time_scales.h"
#include "data/element_file.h"
#include "ephemeris/ephemeris_fields.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/ephemeris/ephemeris_test_support.h"

namespace {

ElementRecord Comet(const std::string& name, double T, double q, double e) {
  ElementRecord r;
  r.m_szName = name;
  r.m_dT = T;
  r.m_dQ = q;
  r.m_dE = e;
  r.m_dPeri = r.m_dNode = r.m_dIncl = 10.0;
  r.m_nLayout = 3;
  return r;
}

class FileChoices : public ElementFileUi {
public:
  bool AskElementFilePath(std::string& path) override {
    path = m_path;
    return !m_path.empty();
  }
  int SelectObject(const std::vector<ElementRecord>&, int) override { return m_pick; }
  std::string m_path;
  int m_pick = 0;
};

}  // namespace

TEST(EphemerisForm, StartsInTheCometFormWithDaySteps) {
  EphForm f;
  EXPECT_EQ(f.m_chMagLaw, 'C');
  EXPECT_EQ(f.m_chStepUnit, 'D');
  EXPECT_EQ(f.m_nElementForm, 0);
  EXPECT_EQ(f.m_nMotionItem, 0);
  EXPECT_TRUE(f.IsReadOnly(kEphHour));
  EXPECT_FALSE(f.IsItemEnabled(kEphH2));
  EXPECT_TRUE(f.IsReadOnly(kEphM));
  // Without an e the variation cannot be chosen.
  EXPECT_FALSE(f.IsItemEnabled(kEphVariation));
}

TEST(EphemerisForm, EccentricityRuleForTheVariation) {
  EphForm f;
  f.SetItemText(kEphE, "0.5");
  f.OnEccentricityChange();
  EXPECT_TRUE(f.IsItemEnabled(kEphVariation));
  f.OnVariation();
  f.SetItemText(kEphE, "0.99");
  f.OnEccentricityChange();
  EXPECT_FALSE(f.IsItemEnabled(kEphVariation));
  EXPECT_EQ(f.m_nMotionItem, 0);
  EXPECT_EQ(f.IsChecked(kEphDailyMotion), 1);
  EXPECT_EQ(f.IsChecked(kEphVariation), 0);
  f.SetItemText(kEphE, "0.98");
  f.OnEccentricityChange();
  EXPECT_TRUE(f.IsItemEnabled(kEphVariation));
}

TEST(EphemerisForm, SampleFillsTheWorkedExample) {
  EphForm f;
  f.SetItemText(kEphHour, "0");
  f.SetItemText(kEphEpochYear, "2000");
  f.OnAsteroidMagnitude();
  f.OnSample();
  EXPECT_EQ(f.GetItemText(kEphObject), "2024 RW1");
  EXPECT_EQ(f.GetItemText(kEphEpochYear), "");
  EXPECT_EQ(f.GetItemText(kEphTDay), "17.43771");
  EXPECT_EQ(f.GetItemText(kEphStep), "0.1");
  EXPECT_EQ(f.GetItemText(kEphHour), "0");
  EXPECT_EQ(f.m_chMagLaw, 'C');
  EXPECT_EQ(f.m_chStepUnit, 'H');
  EXPECT_FALSE(f.IsReadOnly(kEphHour));
}

TEST(EphemerisForm, DerivedAsteroidElements) {
  struct Case {
    const char *q, *e, *a;
    bool ellipse;
  } const cases[] = {
      {"1.0", "0.9", "10.0000000", true},
      {"1.0", "0.999", "1000.0000000", true},
      {"1.0", "0.9995", "", false},
      {"0", "0.5", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.q) + " " + c.e);
    EphForm f;
    f.SetItemText(kEphQ, c.q);
    f.SetItemText(kEphE, c.e);
    f.SetItemText(kEphM, "12.0");
    f.OnAsteroidElements();
    f.DeriveAsteroidElements();
    EXPECT_EQ(f.GetItemText(kEphA), c.a);
    EXPECT_EQ(f.IsItemEnabled(kEphFormAsteroid), c.ellipse);
    EXPECT_EQ(f.m_nElementForm, c.ellipse ? 1 : 0);
    if (!c.ellipse) {
      EXPECT_EQ(f.GetItemText(kEphM), "");
    }
  }
  // M at the epoch: a = 1 AU moves by Gauss's k per day.
  EphForm f;
  f.SetItemText(kEphQ, "0.5");
  f.SetItemText(kEphE, "0.5");
  f.SetItemText(kEphTYear, "2024");
  f.SetItemText(kEphTMonth, "1");
  f.SetItemText(kEphTDay, "1");
  f.SetEpochFields(CalendarToJd(2024, 1, 11));
  EXPECT_EQ(f.GetItemText(kEphEpochDay), "11.0");
  f.DeriveAsteroidElements();
  EXPECT_EQ(f.GetItemText(kEphM), FormatC("%3.5f", 10 * 0.01720209895 * 180 / M_PI));
  // Epoch month 13 counts as no epoch: M keeps its text.
  f.SetItemText(kEphM, "7.0");
  f.SetItemText(kEphEpochMonth, "13");
  f.DeriveAsteroidElements();
  EXPECT_EQ(f.GetItemText(kEphM), "7.0");
}

TEST(EphemerisFirstReturn, DiscoveryDatesFromTheDesignation) {
  struct Case {
    const char* name;
    int y, m, d;
  } const cases[] = {
      {"P/2019 LM4 (Palomar)", 2019, 6, 1}, {"P/2019 I1", 2019, 5, 1}, {"P/2019 J1", 2019, 5, 1},
      {"P/2019 Z1", 2019, 1, 1},            {"P/2019 B2", 2019, 1, 16}, {"P/2019", 2019, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FirstReturnDiscoveryJd(c.name), CalendarToJd(c.y, c.m, c.d));
  }
  EXPECT_EQ(FirstReturnDiscoveryJd("P/999 A1"), 0);
}

TEST(EphemerisFirstReturn, FilterOfPeriodicCometsDueToReturn) {
  const double start = CalendarToJd(2025, 1, 1);
  // q 1, e 0.5: a 2 AU, P 1032.0 days; T 2024 Jan 1: last aphelion 2022 Aug 5.
  const double T = CalendarToJd(2024, 1, 1);
  struct Case {
    ElementRecord r;
    bool passes;
  } const cases[] = {
      {Comet("P/2019 LM4 (Palomar)", T, 1.0, 0.5), true},
      {Comet("P/2023 A1", T, 1.0, 0.5), false},  // discovered after that aphelion
      {Comet("12P/Pons-Brooks", T, 1.0, 0.5), false},
      {Comet("C/2023 A3", T, 1.0, 0.5), false},
      {Comet("P/2019 LM4", T, 1.0, 1.0), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.r.m_szName);
    EXPECT_EQ(PassesFirstReturn(c.r, start), c.passes);
  }

  EphForm f;
  std::vector<ElementRecord> records;
  for (const Case& c : cases) records.push_back(c.r);
  f.SetElements(records, 1);
  f.SetCheck(kEphFirstReturn, 1);
  // An empty start year passes every record.
  EXPECT_EQ(f.FindFirstReturnRecord(1, 1), 1);
  f.SetItemText(kEphStartYear, "2025");
  f.SetItemText(kEphStartMonth, "1");
  f.SetItemText(kEphStartDay, "1");
  EXPECT_EQ(f.FindFirstReturnRecord(1, 1), -1);
  EXPECT_EQ(f.FindFirstReturnRecord(1, -1), 0);
  f.SetCheck(kEphFirstReturn, 0);
  EXPECT_EQ(f.FindFirstReturnRecord(3, 1), 3);
  EXPECT_EQ(f.FindFirstReturnRecord(5, 1), -1);
}

// The box checked with no passing record: the message, the box cleared, the record kept.
TEST(EphemerisFirstReturn, CheckBoxWithoutAPassingRecord) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  EphForm f;
  f.SetElements({Comet("C/2023 A3", CalendarToJd(2024, 1, 1), 1.0, 0.5)}, 0);
  f.ShowRecord(0);
  f.SetItemText(kEphStartYear, "2025");
  f.SetCheck(kEphFirstReturn, 1);
  f.OnFirstReturnOnly();
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].text, kEphNoFirstReturn);
  EXPECT_EQ(f.IsChecked(kEphFirstReturn), 0);
  EXPECT_EQ(f.m_nCurElement, 0);
}

// The catalogue excerpts load in their forms: a minor-planet line selects the
// asteroid law and form, a comet line the comet law and form.
TEST(EphemerisRecords, CatalogueExcerptsLoadInTheirForms) {
  TSR_REQUIRE_DATA(mpcorb, "catalogues/skyfield_MPCORB.excerpt.DAT");
  TSR_REQUIRE_DATA(comets, "catalogues/skyfield_CometEls.txt");
  FileChoices choices;
  SetElementFileUi(&choices);
  EphForm f;
  f.SetItemText(kEphStep, "");
  choices.m_path = mpcorb;
  choices.m_pick = 3;  // (4) Vesta
  f.OnOpenElementFile();
  EXPECT_EQ(f.m_nElements, 4);
  EXPECT_EQ(f.GetItemText(kEphObject), "(4) Vesta");
  EXPECT_EQ(f.m_chMagLaw, 'M');
  EXPECT_EQ(f.m_nElementForm, 1);
  EXPECT_EQ(f.GetItemText(kEphH2), "3.00");
  EXPECT_EQ(f.GetItemText(kEphG), "0.15");
  EXPECT_EQ(f.GetItemText(kEphA), "2.3620141");
  EXPECT_EQ(f.GetItemText(kEphEpochYear), "2020");
  EXPECT_EQ(f.GetItemText(kEphH1), "");
  EXPECT_EQ(f.GetItemText(kEphStep), "10");
  EXPECT_FALSE(f.GetItemText(kEphStartYear).empty());

  choices.m_path = comets;
  choices.m_pick = 2;  // 1P/Halley
  f.OnOpenElementFile();
  EXPECT_EQ(f.m_nElements, 3);
  EXPECT_EQ(f.GetItemText(kEphObject), "1P/Halley");
  EXPECT_EQ(f.m_chMagLaw, 'C');
  EXPECT_EQ(f.m_nElementForm, 0);
  EXPECT_EQ(f.GetItemText(kEphTYear), "1986");
  EXPECT_EQ(f.GetItemText(kEphTMonth), "1");
  EXPECT_EQ(f.GetItemText(kEphTDay), "20.43210");
  EXPECT_EQ(f.GetItemText(kEphQ), "0.60438700");
  EXPECT_EQ(f.GetItemText(kEphH1), "4.0");
  EXPECT_EQ(f.GetItemText(kEphK1), "15.0");  // 2.5 times the line's slope
  EXPECT_EQ(f.GetItemText(kEphEpochYear), "2020");

  // A cancelled read changes nothing.
  choices.m_path.clear();
  f.OnOpenElementFile();
  EXPECT_EQ(f.m_nElements, 3);
  SetElementFileUi(nullptr);
}

TEST_F(EphCalcTest, RewritesItsFieldsAndPrintsUnknownMagnitudes) {
  EphForm& f = m_form;
  f.OnSample();
  f.OnStepDays();
  f.SetItemText(kEphStep, "1");
  f.SetItemText(kEphH1, "0");
  f.SetItemText(kEphK1, "10");
  f.SetItemText(kEphRF, "-5");
  f.OnCalc();
  EXPECT_EQ(f.GetItemText(kEphH1), "");
  EXPECT_EQ(f.GetItemText(kEphK1), "");
  EXPECT_EQ(f.GetItemText(kEphRF), "-5");
  EXPECT_EQ(f.GetItemText(kEphP), FormatC("%.2f", std::pow(0.7340340 / (1 - 0.7115577), 1.5)));
  const std::string text = f.GetItemText(kEphOutput);
  EXPECT_EQ(text.rfind("Date/ 00h  TT", 0), 0u);
  EXPECT_NE(text.find("--.-  --.-"), std::string::npos);
  EXPECT_NE(text.find(" 2024 Sep. 05 "), std::string::npos);
  EXPECT_EQ(text.find(" 2024 Sep. 06 "), std::string::npos);

  f.OnAsteroidMagnitude();
  f.SetItemText(kEphG, "");
  f.SetItemText(kEphH2, "18.0");
  f.OnHandbookLayout();
  f.OnCalc();
  EXPECT_EQ(f.GetItemText(kEphG), "0.15");
  EXPECT_NE(f.GetItemText(kEphOutput).find("log(r(t-5))"), std::string::npos);
}

// A day step of 0.5, an end before the start, a missing planetary file or a
// period outside it: nothing computed, the reason in the box, no hand-over.
TEST(EphemerisCalc, RefusesWhatGivesNoSensibleTable) {
  TSR_REQUIRE_DATA(de, "de/lnxp2000p2040.405");
  HeadlessToolSinks sinks;
  ScopedToolSinks scoped(sinks);
  sinks.OpenOrbitDiagram();
  EphForm f;
  f.OnSample();
  f.OnStepDays();
  f.SetItemText(kEphStep, "0.5");
  {
    JplReaderScope jpl(de);
    f.OnCalc();
    EXPECT_NE(f.GetItemText(kEphOutput).find("間隔"), std::string::npos);
    f.SetItemText(kEphStep, "1");
    f.SetItemText(kEphEndYear, "2023");
    f.OnCalc();
    EXPECT_NE(f.GetItemText(kEphOutput).find("期間の終わり"), std::string::npos);
    f.SetItemText(kEphStartYear, "2050");
    f.SetItemText(kEphEndYear, "2050");
    f.OnCalc();
    EXPECT_NE(f.GetItemText(kEphOutput).find("範囲(1999/12/24～2040/1/7)"), std::string::npos)
        << f.GetItemText(kEphOutput);
  }
  JplReaderScope none("");
  f.SetItemText(kEphStartYear, "2024");
  f.SetItemText(kEphEndYear, "2024");
  f.OnCalc();
  EXPECT_NE(f.GetItemText(kEphOutput).find("惑星暦ファイル"), std::string::npos);
  EXPECT_EQ(sinks.m_diagram.m_nShown, 0);
  EXPECT_FALSE(sinks.m_bGlobeOpen);
}

TEST_F(EphCalcTest, OrbitGoesToTheOpenDiagramOnlyWhenValid) {
  EphForm& f = m_form;
  HeadlessToolSinks& sinks = m_sinks;
  f.OnSample();
  f.OnStepDays();
  f.SetItemText(kEphStep, "1");
  f.OnCalc();
  EXPECT_EQ(sinks.m_diagram.m_nShown, 0);  // no diagram open
  f.OnOrbitView();
  ASSERT_EQ(sinks.m_diagram.m_nShown, 1);
  EXPECT_EQ(sinks.m_diagram.m_orbit.m_strName, "2024 RW1");
  EXPECT_DOUBLE_EQ(sinks.m_diagram.m_orbit.m_dEpoch, f.m_orbit.m_dT);  // no epoch: T
  EXPECT_NEAR(sinks.m_diagram.m_orbit.m_dQ, 0.734034, 1e-12);
  f.SetItemText(kEphQ, "0");
  f.OnCalc();
  EXPECT_FALSE(f.m_orbit.m_bValid);
  EXPECT_EQ(sinks.m_diagram.m_nShown, 1);
}
