// The search range's window in the running program: opened empty by the
// toolbar's command, "計算" without an orbit, 67P/Churyumov-Gerasimenko fed as
// the ephemeris view feeds it and computed for 2016 October 30, the zoom by
// its [+] button and the wheel, the hover lit and left, Enter swallowed, both
// copies read back, and a Väisälä-like family in the distance mode with its
// help topic.
#include <string>

#include <gtest/gtest.h>

#include <wx/clipbrd.h>
#include <wx/panel.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "data/ui/info_help.h"
#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/determination_ui/view_session.h"
#include "tests/views_ui/clipboard_bitmap.h"
#include "tests/views_ui/x_wheel.h"
#include "views/ui/search_range_wnd.h"

namespace {

CSearchRangeWnd* Window() { return dynamic_cast<CSearchRangeWnd*>(OpenWindows().m_pSearchRangeDlg); }

wxTextCtrl* EditOf(int id) { return dynamic_cast<wxTextCtrl*>(Window()->FindWindow(id)); }

// 67P, JPL K212/38 osculating elements of 2016 October 30, with M1 12.8 and k1 8.
void Feed67P()
{
  ToolSinks().SearchRange()->SetObject("67P/Churyumov-Gerasimenko", 2457247.9181367746, 1.240472505873183,
                                       0.6419142432787543, 12.83931267126669 * kRadPerDeg,
                                       50.04561279541581 * kRadPerDeg, 7.052951527506115 * kRadPerDeg, 12.8, 8);
}

// A family like the Väisälä view's: the 67P orbit with the perihelion time
// and distance drawn along with the assumed distance.
void FeedFamily()
{
  std::vector<VaisalaCandidate> family;
  for (int i = 0; i < 30; ++i)
    family.push_back({0.1 * (i + 1), 2457247.9 + 3.0 * (i - 12), 1.2405 + 0.004 * (i - 12), 0.6419,
                      12.839 * kRadPerDeg, 50.046 * kRadPerDeg, 7.053 * kRadPerDeg});
  ToolSinks().SearchRange()->SetVaisalaFamily(
      MakeSearchRangeFamily("2016 UR", family.data(), 30, 12, CalendarToJd(2016, 10, 29.7)));
}

wxPoint ChartPoint(int x, int y) { return Window()->Chart()->ClientToScreen(wxPoint(x, y)); }

wxPoint PlusButton()
{
  const wxSize s = Window()->Chart()->GetClientSize();
  return ChartPoint(s.x - 45, s.y - 19);
}

bool ClipboardText(std::string& text)
{
  if (!wxTheClipboard->Open())
    return false;
  wxTextDataObject data;
  const bool bHas = wxTheClipboard->IsSupported(wxDF_UNICODETEXT) && wxTheClipboard->GetData(data);
  if (bHas)
    text = FromWx(data.GetText());
  wxTheClipboard->Close();
  return bHas;
}

std::string WithoutCr(std::string text)
{
  std::erase(text, '\r');
  return text;
}

} // namespace

TEST(SearchRangeWindow, OpenedByItsCommandComputedZoomedHoveredAndCopied)
{
  ViewSession session("search_range");
  std::string copiedText, noOrbit, table;
  wxSize copiedSize, expectedSize;
  long selFrom = -1, selTo = -1;
  int pointsAfterEnter = 0, tableLine = 0;
  std::vector<ViewStep> steps = {
      {"view open", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"toolbar 捜索範囲", [] { ViewSession::ClickTool(ID_SEARCH_RANGE); },
       [] { return Window() && Window()->IsShownOnScreen() && Window()->m_nChartPaints > 0; }},
      {"screenshot empty", [] { ViewSession::SaveScreenshot(Window(), "search_range_empty"); }, nullptr, 30, 0.3},
      {"計算 without an orbit", [] { ViewSession::ClickButtonOf(Window(), kRangeCompute); },
       [&] {
         noOrbit = Window()->GetItemText(kRangeTable);
         return noOrbit == kRangeNoOrbit;
       }},
      {"67P handed over", [] {
         EditOf(kRangeYear)->ChangeValue("2016");
         EditOf(kRangeMonth)->ChangeValue("10");
         EditOf(kRangeDay)->ChangeValue("30");
         Feed67P();
       },
       [] { return Window()->m_nPoints == 11 && Window()->m_nNominal == 5; }},
      {"settle", nullptr, nullptr, 30, 0.3},
      {"screenshot shifts", [&] {
         ViewSession::SaveScreenshot(Window(), "search_range_shifts");
         tableLine = Window()->Table()->GetCharHeight();
       },
       nullptr},
      {"pointer on [+]", [] {
         wxUIActionSimulator sim;
         sim.MouseMove(PlusButton() - wxPoint(3, 0));
         sim.MouseMove(PlusButton());
       },
       [] { return Window()->m_nHotButton == 1; }},
      {"click [+]", [] {
         wxUIActionSimulator sim;
         sim.MouseClick();
       },
       [] { return Window()->m_dZoom == 1.25; }},
      {"wheel forward", [] { ASSERT_TRUE(TurnWheel(true)); },
       [] { return std::abs(Window()->m_dZoom - 1.25 * 1.15) < 1e-12; }},
      {"screenshot zoomed and lit", [] { ViewSession::SaveScreenshot(Window(), "search_range_zoomed"); }, nullptr,
       30, 0.3},
      {"pointer leaves the chart", [] {
         wxUIActionSimulator sim;
         sim.MouseMove(Window()->Table()->ClientToScreen(wxPoint(40, 40)));
       },
       [] { return Window()->m_nHotButton == 0; }},
      {"表コピー", [&] {
         ClearClipboard();
         Window()->Table()->SetSelection(3, 9);
         table = Window()->m_strTable;
         ViewSession::ClickButtonOf(Window(), kRangeCopyTable);
       },
       [&] { return ClipboardText(copiedText); }},
      {"画像コピー", [&] {
         Window()->Table()->GetSelection(&selFrom, &selTo);
         ClearClipboard();
         const wxSize chart = Window()->Chart()->GetClientSize();
         const RangeCopyLayout layout = Window()->CopyImageLayout(chart.x, chart.y);
         expectedSize = wxSize(layout.width, layout.height);
         ViewSession::ClickButtonOf(Window(), kRangeCopyImage);
       },
       [&] { return ClipboardBitmapSize(copiedSize); }},
      {"Enter in T±", [&] {
         EditOf(kRangeHalfSpan)->SetFocus();
         EditOf(kRangeHalfSpan)->ChangeValue("2");
         wxUIActionSimulator sim;
         sim.Char(WXK_RETURN);
       },
       nullptr, 30, 0.5},
      {"the family", [&] {
         pointsAfterEnter = Window()->m_nPoints;
         FeedFamily();
       }, [] { return Window()->m_nMode == 1 && Window()->m_nPoints == 30; }},
      {"settle", nullptr, nullptr, 30, 0.3},
      {"screenshot family", [] { ViewSession::SaveScreenshot(Window(), "search_range_family"); }, nullptr},
      {"information mark", [] { ViewSession::ClickButtonOf(Window(), kRangeInfo); },
       [] { return g_pInfoHelp && g_pInfoHelp->IsShownOnScreen(); }},
      {"help title", [] { EXPECT_EQ(FromWx(g_pInfoHelp->GetTitle()), "距離変差線の見かた"); }, nullptr},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  // The table edit holds the table; its copy is the whole table and the selection comes back.
  EXPECT_EQ(WithoutCr(copiedText), WithoutCr(table));
  EXPECT_NE(table.find("67P/Churyumov-Gerasimenko"), std::string::npos);
  EXPECT_EQ(selFrom, 3);
  EXPECT_EQ(selTo, 9);
  // The picture has the computed size: the chart area's width at most, the table's lines below.
  EXPECT_EQ(copiedSize, expectedSize);
  EXPECT_GT(expectedSize.y, 300);
  // The table's face is 14 pixels to the em, so its lines are taller than that.
  EXPECT_GT(tableLine, 14);
  // Enter pressed no button: nothing was computed with T± 2.
  EXPECT_EQ(pointsAfterEnter, 11);
}
