// The comet list on the MPC comet list of 2022 (952 comets) at 2023-03-11
// 0h UT, on DE405: 67P against JPL Horizons, the coming peak of 12P, the
// hyperbolic C/2022 E3, the JA(+9) instant, the order of the designations and
// the brightness limit.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

#include "astro/time_scales.h"
#include "data/element_file.h"
#include "engine/tool_sinks.h"
#include "ephemeris/eph_list.h"
#include "ephemeris/ephemeris_fields.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/ephemeris/comet_els_fixture.h"

namespace {

constexpr double kArcsecPerDeg = 3600.0;

class CometListReal : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    const std::string json = TestDataPath("catalogues/kstars_CometEls.json.gz");
    if (de.empty() || !TestDataFileExists(de) || !TestDataFileExists(json))
      GTEST_SKIP() << MissingDataMessage("de/lnxp1960p2060.405, catalogues/kstars_CometEls.json.gz");
    m_jpl = std::make_unique<JplReaderScope>(de);
    int count = 0;
    const std::string lines = comet_els_fixture::CometElsLines(json, count);
    ASSERT_EQ(count, 952);
    const std::string path = MakeTempDir("comet_list") + "CometEls.txt";
    std::ofstream(path) << lines;
    std::vector<ElementRecord> records;
    int read = 0;
    ASSERT_EQ(ReadElementFile(path, &records, &read, nullptr), 1);
    ASSERT_EQ(read, 952);
    records.resize(static_cast<size_t>(read));
    m_list.SetElements(std::move(records));
    m_list.m_form.year = "2023";
    m_list.m_form.month = "3";
    m_list.m_form.day = "11";
  }

  const CometListRow* Find(const std::string& name) const {
    for (const CometListRow& r : m_list.m_pRows)
      if (TrimText(r.m_szName) == name) return &r;
    return nullptr;
  }
  int IndexOf(const std::string& name) const {
    for (int i = 0; i < m_list.m_nRows; ++i)
      if (TrimText(m_list.m_pRows[static_cast<size_t>(i)].m_szName) == name) return i;
    return -1;
  }

  std::unique_ptr<JplReaderScope> m_jpl;
  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
  CEphList m_list;
};

}  // namespace

TEST_F(CometListReal, PlacesAndPeaksAtOneInstant) {
  ASSERT_EQ(m_list.OnCalc(), kListCalcDone);
  ASSERT_EQ(m_list.m_nRows, 952);
  // q of 10 AU or more fills the column before q's point: such comets are listed too.
  bool farComet = false;
  for (const CometListRow& r : m_list.m_pRows) farComet = farComet || TrimText(r.m_szName).rfind("C/2014 UN271", 0) == 0;
  EXPECT_TRUE(farComet);
  const double instant = CalendarToJd(2023, 3, 11);
  EXPECT_EQ(m_list.m_dListJd, instant);
  for (int i = 1; i < m_list.m_nRows; ++i)
    ASSERT_LE(m_list.m_pRows[static_cast<size_t>(i - 1)].m_dPeriDays, m_list.m_pRows[static_cast<size_t>(i)].m_dPeriDays);

  // 67P: Horizons gives 14h01m30.60s -11°12'27.0" and delta 3.46003 AU at 0h UT.
  // The list's 2022-08-24 elements drift about 3" from JPL's perturbed orbit
  // over the 200 days; 5" and 2e-4 AU leave room for that only.
  const CometListRow* c67 = Find("67P/Churyumov-Gerasimenko");
  ASSERT_NE(c67, nullptr);
  const double raRef = (14 + 1 / 60.0 + 30.60 / 3600.0) * 15.0, decRef = -(11 + 12 / 60.0 + 27.0 / 3600.0);
  const double dRa = (c67->m_dRa * 15.0 - raRef) * std::cos(decRef * M_PI / 180.0) * kArcsecPerDeg;
  const double dDec = (c67->m_dDec - decRef) * kArcsecPerDeg;
  EXPECT_LT(std::hypot(dRa, dDec), 5.0) << dRa << " " << dDec;
  EXPECT_NEAR(c67->m_dDelta, 3.46003, 2e-4);
  EXPECT_EQ(CometListCell(*c67, 3).substr(0, 7), "14 01.5");
  EXPECT_EQ(CometListCell(*c67, 12), "");  // fading from the instant on
  EXPECT_EQ(CometListCell(*c67, 13), "");

  // 12P/Pons-Brooks brightens to its perihelion of 2024 April 21.
  const CometListRow* c12 = Find("12P/Pons-Brooks");
  ASSERT_NE(c12, nullptr);
  ASSERT_NE(c12->m_dPeakJd, kNoPeakJd);
  EXPECT_NEAR(c12->m_dPeakJd, CalendarToJd(2024, 4, 21), 1.0);
  EXPECT_GE(c12->m_dPeakM1, 8.9);
  EXPECT_LE(c12->m_dPeakM1, 9.0);

  // C/2022 E3 (ZTF), e > 1: no period, the plain days since T.
  const CometListRow* ztf = Find("C/2022 E3 (ZTF)");
  ASSERT_NE(ztf, nullptr);
  EXPECT_EQ(ztf->m_dPeriod, 0.0);
  EXPECT_EQ(CometListCell(*ztf, 1), FormatC("%+.0f", instant - CalendarToJd(2023, 1, 12.7863)));
  EXPECT_EQ(CometListCell(*ztf, 1), "+57");
}

TEST_F(CometListReal, ZoneFiltersAndOrder) {
  // JA(+9): the same date is 9 hours earlier in UT.
  m_list.OnZoneJst();
  ASSERT_EQ(m_list.OnCalc(), kListCalcDone);
  EXPECT_DOUBLE_EQ(m_list.m_dListJd, CalendarToJd(2023, 3, 11) - 9.0 / 24.0);
  m_list.OnZoneUt();

  // "Object": every provisional designation before every numbered comet.
  ASSERT_EQ(m_list.OnCalc(), kListCalcDone);
  m_list.OnColumnClick(0);
  bool numberedSeen = false;
  for (int i = 0; i < m_list.m_nRows; ++i) {
    const std::string name = TrimText(m_list.GetCellText(i, 0));
    const bool numbered = !name.empty() && std::isdigit(static_cast<unsigned char>(name[0]));
    ASSERT_FALSE(numberedSeen && !numbered) << name << " after a numbered comet";
    numberedSeen = numberedSeen || numbered;
  }
  EXPECT_LT(IndexOf("12P/Pons-Brooks"), IndexOf("67P/Churyumov-Gerasimenko"));
  EXPECT_LT(IndexOf("2P/Encke"), IndexOf("12P/Pons-Brooks"));

  // m1 at or below 12 exactly: the rows the unfiltered list has there, in the same order.
  int bright = 0;
  for (const CometListRow& r : m_list.m_pRows) bright += r.m_dM1 <= 12.0 ? 1 : 0;
  m_list.m_form.limit = "12";
  ASSERT_EQ(m_list.OnCalc(), kListCalcDone);
  EXPECT_EQ(m_list.m_nRows, bright);
  EXPECT_GT(bright, 5);
  for (const CometListRow& r : m_list.m_pRows) EXPECT_LE(r.m_dM1, 12.0);

  // First returns only: unnumbered "P/" comets; never C/2022 E3.
  m_list.m_form.limit.clear();
  m_list.m_form.bFirstReturn = 1;
  ASSERT_EQ(m_list.OnCalc(), kListCalcDone);
  EXPECT_GT(m_list.m_nRows, 0);
  for (const CometListRow& r : m_list.m_pRows) EXPECT_EQ(TrimText(r.m_szName).rfind("P/", 0), 0u) << r.m_szName;
  EXPECT_EQ(Find("C/2022 E3 (ZTF)"), nullptr);
}
