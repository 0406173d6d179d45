// A multi-line edit set again with a text that shares its start with the old
// one replaces only the end: the edit must hold exactly what setting the
// whole text gives, with Japanese (several bytes per character) before the
// change and CR LF line ends (under xvfb-run).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/textctrl.h>

#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"

namespace {

std::string LogLines(int count)
{
  std::string log;
  for (int i = 0; i < count; ++i)
    log += "[2026/12/11 13:00:00] 反復 " + std::to_string(i) + " 平均残差 0.512\"\r\n";
  return log;
}

} // namespace

TEST(WxEditTail, GivesTheSameTextAsSettingItWhole)
{
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    GTEST_SKIP() << "no display: run under xvfb-run";
  wxApp::SetInstance(new wxApp);
  int argc = 1;
  char arg0[] = "tsr_app_tests";
  char* argv[] = {arg0, nullptr};
  ASSERT_TRUE(wxEntryStart(argc, argv));
  InstallQuietAssertHandler();
  {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "edit tail");
    auto* tail = new wxTextCtrl(frame, wxID_ANY, "", wxDefaultPosition, wxSize(400, 300), wxTE_MULTILINE);
    auto* whole = new wxTextCtrl(frame, wxID_ANY, "", wxDefaultPosition, wxSize(400, 300), wxTE_MULTILINE);
    const std::string log = LogLines(200);
    std::string middle = log;
    middle.insert(middle.find("\r\n", middle.size() * 2 / 3) + 2, "観測所 703 を除外\r\n");
    struct Case {
      const char* name;
      std::string before, after;
      bool kept;  // the start was kept and only the end replaced
    };
    const Case cases[] = {
        {"a progress line after the log", log + "開始します…", log + "  反復 1 を計算中…", true},
        {"one line more", log + "  反復 1 を計算中…", log + "リジェクト完了\r\n  反復 2 を計算中…", true},
        {"the progress gone", log + "  反復 2 を計算中…", log, true},
        {"a change in the middle", log, middle, true},
        {"the same text", log, log, true},
        {"little in common", "短い", "短い文章の次", false},
        {"a different start", log, "x" + log, false},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      SetWxControlText(tail, c.before);
      ASSERT_EQ(SetWxEditTail(tail, c.after), c.kept);
      if (!c.kept)
        SetWxControlText(tail, c.after);
      SetWxControlText(whole, c.after);
      EXPECT_TRUE(tail->GetValue() == whole->GetValue());
      EXPECT_EQ(WxControlText(tail), c.after);
    }
    frame->Destroy();
  }
  wxEntryCleanup();
}
