// The "オプション(&O)" menu of the view without its window.
#include <gtest/gtest.h>

#include "determination/determination_display.h"
#include "determination/view_options.h"
#include "engine/orbit_engine.h"
#include "platform/ui_services.h"
#include "resources/determination_ids.h"

namespace {

// As the menu resource has it: relativity last.
const std::vector<int> kBase = {ID_OPTIONS,      ID_VARIATION_AMOUNTS,  ID_OPLOG_TOGGLE, ID_OPLOG_MANAGER,
                                ID_APOPHIS_MODE, ID_PARALLEL_VARIATION, ID_RELATIVITY};

} // namespace

// Outside developer mode "元期をEpoch欄で指定する" follows "操作ログを記録";
// in developer mode the last three items are relativity, J2 and it; leaving
// developer mode removes the first two and leaves the third where it is.
TEST(OptionMenu, ItemsComeAndGoWithDeveloperMode) {
  std::vector<int> plain = kBase;
  ArrangeOptionItems(plain, false);
  EXPECT_EQ(plain, (std::vector<int>{ID_OPTIONS, ID_VARIATION_AMOUNTS, ID_OPLOG_TOGGLE, ID_EPOCH_FROM_FIELD,
                                     ID_OPLOG_MANAGER, ID_APOPHIS_MODE, ID_PARALLEL_VARIATION}));
  std::vector<int> dev = kBase;
  ArrangeOptionItems(dev, true);
  EXPECT_EQ(dev, (std::vector<int>{ID_OPTIONS, ID_VARIATION_AMOUNTS, ID_OPLOG_TOGGLE, ID_OPLOG_MANAGER,
                                   ID_APOPHIS_MODE, ID_PARALLEL_VARIATION, ID_RELATIVITY, ID_J2, ID_EPOCH_FROM_FIELD}));
  std::vector<int> again = dev;
  ArrangeOptionItems(again, true);
  EXPECT_EQ(again, dev);
  ArrangeOptionItems(dev, false);
  EXPECT_EQ(dev, (std::vector<int>{ID_OPTIONS, ID_VARIATION_AMOUNTS, ID_OPLOG_TOGGLE, ID_OPLOG_MANAGER,
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
