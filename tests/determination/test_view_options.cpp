// The "オプション(&O)" menu of the view without its window.
#include <gtest/gtest.h>

#include "determination/determination_display.h"
#include "determination/view_options.h"
#include "engine/orbit_engine.h"
#include "platform/ui_services.h"
#include "resources/determination_ids.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"

namespace {

// As the menu resource has it: relativity last.
const std::vector<int> kBase = {ID_OPTIONS_TOOLBAR,      ID_VARIATION_AMOUNTS,  ID_OPLOG_TOGGLE, ID_OPLOG_MANAGER,
                                ID_APOPHIS_MODE, ID_PARALLEL_VARIATION, ID_RELATIVITY};

class StampedView : public CDeterminationDisplay {
protected:
  std::tm LocalTimeNow() override {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    return t;
  }
};

} // namespace

// Outside developer mode "元期をEpoch欄で指定する" follows "操作ログを記録";
// in developer mode the last three items are relativity, J2 and it; leaving
// developer mode removes the first two and leaves the third where it is.
TEST(OptionMenu, ItemsComeAndGoWithDeveloperMode) {
  std::vector<int> plain = kBase;
  ArrangeOptionItems(plain, false);
  EXPECT_EQ(plain, (std::vector<int>{ID_OPTIONS_TOOLBAR, ID_VARIATION_AMOUNTS, ID_OPLOG_TOGGLE, ID_EPOCH_FROM_FIELD,
                                     ID_OPLOG_MANAGER, ID_APOPHIS_MODE, ID_PARALLEL_VARIATION}));
  std::vector<int> dev = kBase;
  ArrangeOptionItems(dev, true);
  EXPECT_EQ(dev, (std::vector<int>{ID_OPTIONS_TOOLBAR, ID_VARIATION_AMOUNTS, ID_OPLOG_TOGGLE, ID_OPLOG_MANAGER,
                                   ID_APOPHIS_MODE, ID_PARALLEL_VARIATION, ID_RELATIVITY, ID_J2, ID_EPOCH_FROM_FIELD}));
  std::vector<int> again = dev;
  ArrangeOptionItems(again, true);
  EXPECT_EQ(again, dev);
  ArrangeOptionItems(dev, false);
  EXPECT_EQ(dev, (std::vector<int>{ID_OPTIONS_TOOLBAR, ID_VARIATION_AMOUNTS, ID_OPLOG_TOGGLE, ID_OPLOG_MANAGER,
                                   ID_APOPHIS_MODE, ID_PARALLEL_VARIATION, ID_EPOCH_FROM_FIELD}));
}

TEST(OptionMenu, SwitchesWithTheirBoxesAndLogTexts) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDeterminationDisplay view;
  OrbitEngine& e = *view.m_pEngine;
  ASSERT_EQ(e.m_bRelativity, 1);
  ASSERT_TRUE(ToggleViewOption(view, ID_RELATIVITY));
  EXPECT_EQ(e.m_bRelativity, 0);
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_NE(ui.m_messages[0].text.find("一般相対論補正をOFFにしました"), std::string::npos);
  ToggleViewOption(view, ID_RELATIVITY);  // on again: no box
  EXPECT_EQ(e.m_bRelativity, 1);
  EXPECT_EQ(ui.m_messages.size(), 1u);
  ToggleViewOption(view, ID_J2);
  EXPECT_EQ(e.m_bEarthJ2, 0);
  EXPECT_EQ(ui.m_messages.size(), 2u);
  ToggleViewOption(view, ID_APOPHIS_MODE);
  EXPECT_EQ(e.m_bApophis, 1);
  EXPECT_NE(view.m_strCalcLog.find("【Apophisモード ON】"), std::string::npos);
  ToggleViewOption(view, ID_EPOCH_FROM_FIELD);
  EXPECT_EQ(e.m_bEpochFromField, 1);
  EXPECT_NE(view.m_strCalcLog.find("【元期をEpoch欄で指定する ON】"), std::string::npos);
  const int parallel = e.m_bParallel;
  ToggleViewOption(view, ID_PARALLEL_VARIATION);
  EXPECT_EQ(e.m_bParallel, 1 - parallel);
  EXPECT_TRUE(OptionChecked(view, ID_APOPHIS_MODE));
  EXPECT_FALSE(OptionChecked(view, ID_J2));
  EXPECT_FALSE(ToggleViewOption(view, ID_OPTIONS));
}

// While the operation log is on, the parallel switch leaves a stamped line
// and the Apophis mode its text unchanged; while it is off, nothing.
TEST(OptionMenu, OperationLogLines) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  StampedView view;
  view.m_strOpLogPath = MakeTempDir("oplog") + "Tessarune_OpLog_20260304_090507.txt";
  ToggleViewOption(view, ID_PARALLEL_VARIATION);  // log off: no file
  EXPECT_FALSE(TestDataFileExists(view.m_strOpLogPath));
  view.m_bOpLog = 1;
  ToggleViewOption(view, ID_PARALLEL_VARIATION);
  ToggleViewOption(view, ID_APOPHIS_MODE);
  view.WriteOpLogLine(nullptr);
  EXPECT_EQ(ReadTestFile(view.m_strOpLogPath),
            "\xEF\xBB\xBF[2026/03/04 09:05:07] [要素変化法を並列計算] ON\r\n"
            "【Apophisモード ON】\r\n積分と残差計算を「リジェクトされていない観測の範囲」に限定します。\r\n"
            "・範囲の外(前後のリジェクト部分)は積分しないため、計算時間を大幅に短縮できます。\r\n"
            "・その代わり、範囲外の観測の残差(O-C)は更新されず、画面には古い値が残ります。\r\n"
            "・元期は範囲の末尾に合わせて自動的に移動します。\r\n"
            "・残差が小さくなったらリジェクトを少しずつ解除して範囲を広げてください。\r\n"
            "[2026/03/04 09:05:07] \r\n");
}
