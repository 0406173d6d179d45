// "操作ログの管理" opened by command 32808 in the running program (under
// xvfb-run), on a data folder of twelve logs and one other file: order and
// status line, the buttons by selection, deleting twelve of which one fails,
// Enter that does nothing, an open that fails, and closing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>

#include "app/tessarune_wx_app.h"
#include "determination/oplog_manager.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/oplog_man_dlg.h"
#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "tests/determination_ui/view_session.h"

namespace {

COpLogMan* ShownManager()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dlg = dynamic_cast<COpLogMan*>(w); dlg && dlg->IsShownOnScreen())
      return dlg;
  return nullptr;
}

// The folder's real files; one deletion refused, and no desktop program to open with.
class TestFiles : public OpLogFileOps {
public:
  bool Remove(const std::string& path) override { return path != m_refused && OpLogFileOps::Remove(path); }
  bool Open(const std::string& path) override {
    m_opened.push_back(path);
    return false;
  }
  std::string m_refused;
  std::vector<std::string> m_opened;
};

std::string LogName(int day) { return "Tessarune_OpLog_202401" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "_101500.txt"; }

void ClickRow(int row, bool shift)
{
  wxListCtrl* list = ShownManager()->List();
  list->EnsureVisible(row);
  wxRect rect;
  list->GetItemRect(row, rect);
  wxUIActionSimulator sim;
  sim.MouseMove(list->ClientToScreen(wxPoint(rect.x + 40, rect.y + rect.height / 2)));
  if (shift)
    sim.KeyDown(WXK_SHIFT);
  sim.MouseClick();
  if (shift)
    sim.KeyUp(WXK_SHIFT);
}

bool Enabled(int id) { return ShownManager()->FindWindow(id)->IsEnabled(); }

} // namespace

TEST(OpLogManager, CommandOpensTheListAndDeletesWithOneFailure)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  ViewSession session("oplog_man");
  const std::string folder = session.m_dir + "bin/";
  // Written out of date order; every file a different size.
  for (int day : {5, 1, 12, 3, 9, 2, 11, 7, 4, 10, 8, 6})
    std::ofstream(folder + LogName(day), std::ios::binary) << std::string(static_cast<size_t>(day) * 100, 'x');
  std::ofstream(folder + "notes.txt") << "not a log";
  TestFiles files;
  files.m_refused = folder + LogName(7);
  SetOpLogFileOps(&files);

  std::vector<std::string> names;
  std::string status, dataDir, afterDelete;
  bool disabledAtFirst = false, oneRowOpens = false, twelveRowsDelete = false, openAfterTwelve = true, openAfterEnter = false;
  std::vector<ViewStep> steps = {
      {"view", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"command 32808", [] { ViewSession::PostCommand(ID_OPLOG_MANAGER); }, [] { return ShownManager() != nullptr; },
       30, 0.5},
      {"read", [&] {
         COpLogMan* dlg = ShownManager();
         for (long row = 0; row < dlg->List()->GetItemCount(); ++row)
           names.push_back(FromWx(dlg->List()->GetItemText(row)));
         status = dlg->StatusText();
         dataDir = TheApp().m_szDataDir;
         disabledAtFirst = !Enabled(COpLogMan::IDC_OPLOG_OPEN) && !Enabled(COpLogMan::IDC_OPLOG_DELETE);
       },
       nullptr},
      {"click the first row", [] { ClickRow(0, false); }, [] { return ShownManager()->List()->GetSelectedItemCount() == 1; }},
      {"one row", [&] { oneRowOpens = Enabled(COpLogMan::IDC_OPLOG_OPEN) && Enabled(COpLogMan::IDC_OPLOG_DELETE); },
       nullptr, 30, 0.6},
      {"shift-click the last row", [] { ClickRow(11, true); },
       [] { return ShownManager()->List()->GetSelectedItemCount() == 12; }},
      {"twelve rows", [&] {
         twelveRowsDelete = Enabled(COpLogMan::IDC_OPLOG_DELETE);
         openAfterTwelve = Enabled(COpLogMan::IDC_OPLOG_OPEN);
       },
       nullptr, 30, 0.3},
      {"screenshot", [] { ViewSession::SaveScreenshot(ShownManager(), "oplog_manager"); }, nullptr},
      {"delete", [&] {
         session.m_ui.m_scriptedAnswers = {MsgAnswer::Ok};
         ViewSession::ClickButtonOf(ShownManager(), COpLogMan::IDC_OPLOG_DELETE);
       },
       [] { return ShownManager()->List()->GetItemCount() == 1; }},
      {"read after deleting", [&] { afterDelete = FromWx(ShownManager()->List()->GetItemText(0)); }, nullptr},
      {"Enter on the close button", [] {
         ShownManager()->FindWindow(wxID_OK)->SetFocus();
         wxUIActionSimulator sim;
         sim.Char(WXK_RETURN);
       },
       nullptr, 30, 0.8},
      {"still open", [&] { openAfterEnter = ShownManager() != nullptr; }, nullptr},
      {"select the row left", [] { ClickRow(0, false); }, [] { return ShownManager()->List()->GetSelectedItemCount() == 1; }},
      {"open", [] { ViewSession::ClickButtonOf(ShownManager(), COpLogMan::IDC_OPLOG_OPEN); },
       [&] { return !files.m_opened.empty(); }},
      {"close", [] { ViewSession::ClickButtonOf(ShownManager(), wxID_OK); }, [] { return ShownManager() == nullptr; }},
  };
  const bool ran = session.Run({}, std::move(steps));
  SetOpLogFileOps(nullptr);
  ASSERT_TRUE(ran);
  EXPECT_EQ(session.FailedSteps(), "");

  ASSERT_EQ(names.size(), 12u);
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(names[static_cast<size_t>(i)], LogName(12 - i));
  // 7800 bytes in all.
  EXPECT_EQ(status, "12 個  合計 0.0 MB   置き場所: " + dataDir);
  EXPECT_EQ(dataDir, folder);
  EXPECT_TRUE(disabledAtFirst);
  EXPECT_TRUE(oneRowOpens);
  EXPECT_TRUE(twelveRowsDelete);
  EXPECT_FALSE(openAfterTwelve);
  EXPECT_EQ(afterDelete, LogName(7));
  EXPECT_TRUE(openAfterEnter);
  EXPECT_EQ(files.m_opened, std::vector<std::string>{folder + LogName(7)});

  std::vector<std::string> texts;
  for (const auto& m : session.m_ui.m_messages) {
    EXPECT_EQ(m.caption, "操作ログの管理");
    texts.push_back(m.text);
  }
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].find("次の 12 個の操作ログを削除します。元に戻せません。\r\n\r\n  " + LogName(12) + "\r\n"), 0u);
  EXPECT_NE(texts[0].find("  " + LogName(3) + "\r\n  ...\r\n\r\n実行しますか?"), std::string::npos) << texts[0];
  EXPECT_EQ(texts[0].find(LogName(2)), std::string::npos);
  EXPECT_EQ(texts[1].find("11 個を削除しました。1 個は削除できませんでした。"), 0u);
  EXPECT_EQ(texts[2].find("開けませんでした。\r\n" + folder + LogName(7)), 0u);
}
