// The settings the view keeps: reject thresholds, column widths, splitter.
#include <gtest/gtest.h>

#include <filesystem>

#include "determination/det_settings.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

class DetSettings : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_dir = MakeTempDir("detsettings");
    m_app.m_profile.SetPath(m_dir + "Tessarune.INI");
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  void Set(const char* key, const char* value) { m_app.m_profile.WriteString("SYSTEM", key, value); }

  std::string m_dir;
  CTessaruneApp m_app;
};

} // namespace

TEST_F(DetSettings, RejectThresholdsOutOfRangeGiveTheDefaults)
{
  RejectThresholds r = ReadStoredRejectThresholds(m_app);
  EXPECT_EQ(r.year, 1820);
  EXPECT_EQ(r.before, 6.0);
  EXPECT_EQ(r.after, 2.0);
  Set("REJECTYEAR", "1900");
  Set("REJECTOLD", "4.5");
  Set("REJECTNEW", "1.5");
  r = ReadStoredRejectThresholds(m_app);
  EXPECT_EQ(r.year, 1900);
  EXPECT_EQ(r.before, 4.5);
  EXPECT_EQ(r.after, 1.5);
  for (const char* year : {"999", "3001"}) {
    Set("REJECTYEAR", year);
    EXPECT_EQ(ReadStoredRejectThresholds(m_app).year, 1820) << year;
  }
  Set("REJECTOLD", "0");
  Set("REJECTNEW", "abc");
  r = ReadStoredRejectThresholds(m_app);
  EXPECT_EQ(r.before, 6.0);
  EXPECT_EQ(r.after, 2.0);
}

TEST_F(DetSettings, ColumnWidthsAbove2000OrAbsentAreIgnored)
{
  EXPECT_FALSE(StoredObsColumnWidth(m_app, 0));
  StoreObsColumnWidth(m_app, 0, 140);
  StoreObsColumnWidth(m_app, 1, 2001);  // not stored
  Set("OBSCOL2", "-1");
  Set("OBSCOL3", "2500");
  EXPECT_EQ(StoredObsColumnWidth(m_app, 0), 140);
  EXPECT_FALSE(StoredObsColumnWidth(m_app, 1));
  EXPECT_FALSE(StoredObsColumnWidth(m_app, 2));
  EXPECT_FALSE(StoredObsColumnWidth(m_app, 3));
}

TEST_F(DetSettings, SplitOffsetIsStoredOnlyWithASettingsFile)
{
  EXPECT_EQ(StoredSplitOffset(m_app), 0);
  StoreSplitOffset(m_app, -35);
  EXPECT_EQ(StoredSplitOffset(m_app), -35);
  CTessaruneApp noFile;
  StoreSplitOffset(noFile, 12);
  EXPECT_EQ(StoredSplitOffset(noFile), 0);
}
