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

namespace {

// The magnitude law of the magnitude curve (IAU H, G), independent of the
// table's: H + 5 log(r delta) - 2.5 log((1 - G) phi1 + G phi2).
double HgMagnitude(double H, double G, double r, double delta, double phaseDeg) {
  const double t = std::tan(phaseDeg * M_PI / 360.0);
  const double phi1 = std::exp(-3.33 * std::pow(t, 0.63)), phi2 = std::exp(-1.87 * std::pow(t, 1.22));
  return H + 5 * std::log10(r * delta) - 2.5 * std::log10((1 - G) * phi1 + G * phi2);
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = line.find_first_not_of(' ', at)) != std::string::npos) {
    const size_t end = line.find(' ', at);
    words.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end;
  }
  return words;
}

void SetPeriod(EphForm& f, const char* y0, const char* m0, const char* d0, const char* y1, const char* m1,
               const char* d1) {
  const std::pair<int, const char*> fields[] = {{kEphStartYear, y0}, {kEphStartMonth, m0}, {kEphStartDay, d0},
                                                {kEphEndYear, y1},   {kEphEndMonth, m1},   {kEphEndDay, d1}};
  for (const auto& [id, text] : fields) f.SetItemText(id, text);
}

}  // namespace

// A comet, then Ceres typed in the asteroid form under the asteroid law: the
// greyed fields show the orbit computed, not the last object's, the stale
// H1/K1 give no m1, the observing-season chart follows each calculation
// (also when it was opened before), and m2 is the asteroid's magnitude.
TEST_F(EphCalcTest, GreyedFieldsAndTheChartFollowEachCalculation) {
  EphForm& f = m_form;
  f.OnSample();
  f.OnStepDays();
  f.SetItemText(kEphStep, "1");
  f.SetItemText(kEphA, "1.1941073");  // another object's a
  f.SetItemText(kEphM, "12.34567");   // and M
  f.SetItemText(kEphH1, "15.0");
  f.SetItemText(kEphK1, "10.0");
  f.OnCalc();
  EXPECT_EQ(f.GetItemText(kEphA), FormatC("%.7f", 0.7340340 / (1 - 0.7115577)));
  EXPECT_EQ(f.GetItemText(kEphM), "");  // no epoch, no M
  f.OnVisibilityChart();
  ASSERT_TRUE(m_sinks.m_bChartOpen);
  EXPECT_EQ(m_sinks.m_chart.m_got.m_strName, "2024 RW1");
  EXPECT_DOUBLE_EQ(m_sinks.m_chart.m_got.m_dStartJd, CalendarToJd(2024, 9, 3));
  EXPECT_EQ(m_sinks.m_chart.m_got.m_bAsteroid, 0);

  // Ceres at the epoch 2024 Oct. 17.0 TT, as typed; T and q are derived.
  const double epoch = CalendarToJd(2024, 10, 17), M = 188.70269, a = 2.7656014, e = 0.0791840;
  f.OnAsteroidMagnitude();
  f.OnAsteroidElements();
  const std::pair<int, const char*> ceres[] = {
      {kEphObject, "Ceres"},  {kEphEpochYear, "2024"}, {kEphEpochMonth, "10"},   {kEphEpochDay, "17.0"},
      {kEphM, "188.70269"},   {kEphA, "2.7656014"},    {kEphE, "0.0791840"},     {kEphPeri, "73.27343"},
      {kEphNode, "80.25221"}, {kEphIncl, "10.58780"},  {kEphH2, "3.53"},         {kEphG, "0.12"},
      {kEphK2, ""}};
  for (const auto& [id, text] : ceres) f.SetItemText(id, text);
  SetPeriod(f, "2024", "10", "17", "2024", "10", "27");
  f.SetItemText(kEphStep, "5");
  f.OnCalc();
  EXPECT_EQ(f.GetItemText(kEphQ), FormatC("%.7f", a * (1 - e)));
  double jdT = 0;
  ASSERT_TRUE(ReadDateFields(f.GetItemText(kEphTYear), f.GetItemText(kEphTMonth), f.GetItemText(kEphTDay), jdT));
  const double meanMotion = 0.01720209895 / std::pow(a, 1.5) * 180 / M_PI;  // degrees a day
  EXPECT_NEAR(jdT, epoch - (M - 360) / meanMotion, 2e-5);  // the perihelion nearest the epoch
  EXPECT_EQ(f.GetItemText(kEphEpochDay), "17.0");

  const HeadlessHandOver& chart = m_sinks.m_chart.m_got;
  EXPECT_EQ(chart.m_strName, "Ceres");
  EXPECT_EQ(chart.m_bAsteroid, 1);
  EXPECT_DOUBLE_EQ(chart.m_dH, 3.53);
  EXPECT_DOUBLE_EQ(chart.m_dGK, 0.12);
  EXPECT_DOUBLE_EQ(chart.m_dStartJd, epoch);

  const std::vector<std::string> lines = TextLines(f.GetItemText(kEphOutput), 2);
  int rows = 0;
  for (const std::string& line : lines) {
    const std::vector<std::string> w = Words(line);
    if (w.size() < 17 || w[0] != "2024") continue;
    ++rows;
    const double delta = std::stod(w[7]), r = std::stod(w[8]);
    const double phase = std::stod(w[w.size() - 5]), m2 = std::stod(w[w.size() - 3]);
    EXPECT_EQ(w[w.size() - 4], "--.-") << line;  // H1 and K1 belong to the comet before
    // The curve's H, G law within what the linear phase term differs from it.
    EXPECT_NEAR(m2, HgMagnitude(3.53, 0.12, r, delta, phase), 0.5) << line;
  }
  EXPECT_EQ(rows, 3);
}

// An element file of random bytes: the view says that it holds no element record.
TEST(EphemerisRecords, AFileOfNoLayoutIsNamedInAMessage) {
  const std::string path = MakeTempDir("eph_random") + "random.elm";
  std::string bytes;
  unsigned seed = 12345;
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);

  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  FileChoices choices;
  SetElementFileUi(&choices);
  EphForm f;
  f.SetItemText(kEphObject, "Ceres");
  choices.m_path = path;
  f.OnOpenElementFile();
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_NE(ui.m_messages[0].text.find(path + " には軌道要素の行がありません。"), std::string::npos);
  EXPECT_EQ(f.GetItemText(kEphObject), "Ceres");
  // A cancelled choice says nothing.
  choices.m_path.clear();
  f.OnOpenElementFile();
  EXPECT_EQ(ui.m_messages.size(), 1u);
  SetElementFileUi(nullptr);
}
