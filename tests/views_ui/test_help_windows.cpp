// The help windows in the running program (under xvfb-run): the view's
// information marks open the three-observation page and the topics, the
// non-gravitational test dialog opens its page; the pages are scrolled by
// keys and the wheel, measured and drawn alike at several widths, and saved
// as screenshots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/uiaction.h>

#include "app/help_pages.h"
#include "app/registry/window_registry.h"
#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "determination/det_form.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/fit_diagnostics_dlgs.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/determination_ids.h"
#include "resources/info_topics.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/views_ui/x_wheel.h"

namespace {

bool NoDisplay()
{
  const char* display = std::getenv("DISPLAY");
  return !display || !*display;
}

// Windows of the kind still open (a closed one is hidden at once and deleted
// when the loop is next idle).
template <class T>
int OpenWindows()
{
  int n = 0;
  for (wxWindow* w : wxTopLevelWindows)
    if (dynamic_cast<T*>(w) && w->IsShown() && !w->IsBeingDeleted())
      ++n;
  return n;
}

// Windows of the kind that exist at all, shown or not.
template <class T>
int AllWindows()
{
  int n = 0;
  for (wxWindow* w : wxTopLevelWindows)
    n += dynamic_cast<T*>(w) != nullptr;
  return n;
}

template <class T>
T* Shown()
{
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* d = dynamic_cast<T*>(w); d && d->IsShownOnScreen() && !d->IsBeingDeleted())
      return d;
  return nullptr;
}

void Add(std::vector<ViewStep>& steps, std::vector<ViewStep> more)
{
  for (ViewStep& s : more)
    steps.push_back(std::move(s));
}

CInfoMark* Mark(int id)
{
  return dynamic_cast<CInfoMark*>(ViewSession::View()->Widget(id));
}

void MoveTo(const wxPoint& screen)
{
  wxUIActionSimulator sim;
  sim.MouseMove(screen);
}

// Clicks into the page's canvas (which takes the focus) and presses a key.
void PressOn(CHelpCanvas* canvas, int key)
{
  wxUIActionSimulator sim;
  sim.MouseMove(canvas->ClientToScreen(wxPoint(canvas->GetClientSize().x - 30, 30)));
  sim.MouseClick();
  sim.Char(key);
}

int LastPosition(CHelpCanvas* canvas)
{
  return canvas->m_nContentHeight - canvas->ClientHeight();
}

std::string TitleOf(const CHelpDlg* page)
{
  return page ? page->m_strTitle : std::string();
}

// Measuring and drawing give the same height at each width; the heights of
// the four pages and a topic.
struct Measured {
  std::string name;
  int width, measured, drawn;
};

template <class Canvas>
void MeasureAndDraw(std::vector<Measured>& out, const std::string& name, Canvas& canvas)
{
  wxBitmap bitmap(1300, 200);
  wxMemoryDC dc(bitmap);
  for (const int width : {240, 560, 700, 1200}) {
    dc.SetFont(canvas.m_fontText);
    const int measured = canvas.Draw(dc, 20, 0, width, true);
    const int drawn = canvas.Draw(dc, 20, 20, width, false);
    out.push_back({name, width, measured, drawn});
  }
}

} // namespace

TEST(HelpWindowsDisplay, ViewMarksOpenThePageAndTheTopicsAndPagesScroll)
{
  if (NoDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("help_windows");
  std::vector<Measured> measured;
  std::vector<int> figureHeights;
  int hoverBefore = -1, hoverOn = -1, hoverAfter = -1;
  int prepareWindows = 0, infoWindows = 0, endPosition = -1, spare = -1, shortHeight = 0, prepareHeight = 0;
  CPrepareHelp* firstPrepare = nullptr;
  CPrepareHelp* secondPrepare = nullptr;
  CInfoHelp* firstTopic = nullptr;
  CInfoHelp* sameTopic = nullptr;
  std::vector<std::string> titles;

  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [] { return ViewSession::View() && ViewSession::View()->m_pEngine->m_nCalcState == 1; }},
      {"measure and draw", [&] {
         CImpactHelpCanvas impact;
         COrgFutHelpCanvas orgFut;
         CPrepareHelpCanvas prepare;
         CNgHelpCanvas ng;
         CInfoHelpCanvas topic(kTopicNonGrav.text);
         MeasureAndDraw(measured, "impact", impact);
         MeasureAndDraw(measured, "orgfut", orgFut);
         MeasureAndDraw(measured, "prepare", prepare);
         MeasureAndDraw(measured, "ng", ng);
         MeasureAndDraw(measured, "topic", topic);
         wxBitmap bitmap(1300, 300);
         wxMemoryDC dc(bitmap);
         for (const int width : {240, 700, 1200})
           for (int figure = 0; figure < 3; ++figure) {
             figureHeights.push_back(ng.DrawFigure(dc, 20, 0, width, figure, true));
             figureHeights.push_back(ng.DrawFigure(dc, 20, 0, width, figure, false));
           }
       },
       nullptr},
      // The mark is grey until the pointer is over it, blue while it is.
      {"mark at rest", [&] {
         hoverBefore = Mark(kIdMarkOrbit)->m_bHover;
         ViewSession::SaveScreenshot(Mark(kIdMarkOrbit), "info_mark_rest");
       },
       nullptr},
      {"hover", [] { MoveTo(Mark(kIdMarkOrbit)->ClientToScreen(wxPoint(8, 8))); },
       [] { return Mark(kIdMarkOrbit)->m_bHover == 1; }, 30, 0.5},
      {"mark hovered", [&] {
         hoverOn = Mark(kIdMarkOrbit)->m_bHover;
         ViewSession::SaveScreenshot(Mark(kIdMarkOrbit), "info_mark_hover");
       },
       nullptr},
      {"leave", [] { MoveTo(Mark(kIdMarkOrbit)->ClientToScreen(wxPoint(60, 60))); },
       [] { return Mark(kIdMarkOrbit)->m_bHover == 0; }, 30, 0.3},
      {"left", [&] { hoverAfter = Mark(kIdMarkOrbit)->m_bHover; }, nullptr},
  };
  // The three-observation page: opened, scrolled, opened again.
  Add(steps, ViewSession::ClickControlSteps(kIdMarkPick, [] { return g_pPrepareHelp && g_pPrepareHelp->IsShownOnScreen(); }));
  steps.push_back({"page top", [&] {
                     firstPrepare = g_pPrepareHelp;
                     prepareHeight = g_pPrepareHelp->GetSize().y;
                     ViewSession::SaveScreenshot(g_pPrepareHelp, "help_prepare_top");
                   },
                   nullptr, 30, 0.5});
  // The page fits: End leaves it where it is.
  steps.push_back({"End", [] { PressOn(g_pPrepareHelp->GetCanvas(), WXK_END); }, nullptr, 30, 0.5});
  steps.push_back({"page end", [&] {
                     endPosition = g_pPrepareHelp->GetCanvas()->m_nScrollPos;
                     spare = g_pPrepareHelp->GetCanvas()->ClientHeight() - g_pPrepareHelp->GetCanvas()->m_nContentHeight;
                   },
                   nullptr});
  Add(steps, ViewSession::ClickControlSteps(kIdMarkPick, [] { return g_pPrepareHelp && g_pPrepareHelp->IsActive(); }));
  steps.push_back({"again", [&] {
                     secondPrepare = g_pPrepareHelp;
                     prepareWindows = OpenWindows<CPrepareHelp>();
                   },
                   nullptr, 30, 0.3});
  // Topics: the same mark twice keeps its window, another mark replaces it.
  Add(steps, ViewSession::ClickControlSteps(kIdMarkOrbit, [] { return g_pInfoHelp && g_pInfoHelp->IsShownOnScreen(); }));
  steps.push_back({"topic 1", [&] {
                     firstTopic = g_pInfoHelp;
                     titles.push_back(TitleOf(g_pInfoHelp));
                     ViewSession::SaveScreenshot(g_pInfoHelp, "help_topic_orbit");
                   },
                   nullptr, 30, 0.5});
  Add(steps, ViewSession::ClickControlSteps(kIdMarkOrbit, [] { return g_pInfoHelp && g_pInfoHelp->IsActive(); }));
  steps.push_back({"topic 1 again", [&] { sameTopic = g_pInfoHelp; }, nullptr, 30, 0.3});
  Add(steps, ViewSession::ClickControlSteps(
                 kIdMarkFixE, [] { return TitleOf(g_pInfoHelp) == kTopicFixEcc.title && g_pInfoHelp->IsShownOnScreen(); }));
  steps.push_back({"topic 2", [&] {
                     titles.push_back(TitleOf(g_pInfoHelp));
                     infoWindows = OpenWindows<CInfoHelp>();
                     shortHeight = g_pInfoHelp->GetSize().y;
                     ViewSession::SaveScreenshot(g_pInfoHelp, "help_topic_fix_e");
                   },
                   nullptr, 30, 0.5});
  Add(steps, ViewSession::ClickControlSteps(kIdMarkNonGrav, [] {
    return TitleOf(g_pInfoHelp) == kTopicNonGrav.title && g_pInfoHelp->IsShownOnScreen();
  }));
  steps.push_back({"topic 3", [&] {
                     titles.push_back(TitleOf(g_pInfoHelp));
                     ViewSession::SaveScreenshot(g_pInfoHelp, "help_topic_nongrav");
                   },
                   nullptr, 30, 0.5});
  steps.push_back({"Esc closes the topic", [] { PressOn(g_pInfoHelp->GetCanvas(), WXK_ESCAPE); },
                   [] { return g_pInfoHelp == nullptr && OpenWindows<CInfoHelp>() == 0; }});
  steps.push_back({"閉じる closes the page", [] { ViewSession::ClickButtonOf(g_pPrepareHelp, wxID_OK); },
                   [] { return g_pPrepareHelp == nullptr && OpenWindows<CPrepareHelp>() == 0; }});

  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  for (const Measured& m : measured) {
    SCOPED_TRACE(m.name + " at " + std::to_string(m.width));
    EXPECT_EQ(m.measured, m.drawn);
    EXPECT_GT(m.measured, 100);
  }
  EXPECT_EQ(figureHeights, (std::vector<int>{214, 214, 214, 214, 226, 226, 214, 214, 214, 214, 226, 226, 214, 214,
                                             214, 214, 226, 226}));
  EXPECT_EQ(hoverBefore, 0);
  EXPECT_EQ(hoverOn, 1);
  EXPECT_EQ(hoverAfter, 0);
  // A page shorter than the largest height gets a window fitted to it.
  EXPECT_EQ(endPosition, 0);
  EXPECT_GE(spare, 0);
  EXPECT_LT(spare, 60);
  EXPECT_GT(prepareHeight, 420);
  EXPECT_LT(prepareHeight, 860);
  EXPECT_EQ(firstPrepare, secondPrepare);
  EXPECT_EQ(prepareWindows, 1);
  EXPECT_EQ(firstTopic, sameTopic);
  EXPECT_EQ(titles, (std::vector<std::string>{kTopicOrbitImprovement.title, kTopicFixEcc.title, kTopicNonGrav.title}));
  EXPECT_EQ(infoWindows, 1);
  // A short topic opens at 420.
  EXPECT_EQ(shortHeight, 420);
}

TEST(HelpWindowsDisplay, NonGravTestDialogOpensItsPageAndTakesItAlong)
{
  if (NoDisplay())
    GTEST_SKIP() << "no display: run under xvfb-run";
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/orbfit_2015AB.obs");
  ViewSession session("ng_help");
  auto view = [] { return ViewSession::View(); };
  auto idleIn = [view](int s) {
    return [view, s] { return view()->m_pEngine->m_nCalcState == s && !EngineBusy(view()->m_pEngine); };
  };
  auto page = [] { return Shown<CNonGravCheck>() ? Shown<CNonGravCheck>()->m_pNgHelp : nullptr; };
  int pagesWhileOpen = -1, pagesAfterClose = -1, pagesAfterDialog = -1, pagesAfterEsc = -1, ngHeight = 0;
  int endPosition = -1, lastPosition = -2, homePosition = -1, wheelPosition = -1;

  std::vector<ViewStep> steps = {{"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == 1; }}};
  int picks = 0;
  for (const int row : {14, 24, 36})
    Add(steps, ViewSession::ClickObsRowSteps(row, [view, row, n = ++picks] {
          return row == 36 ? view()->m_pEngine->m_nCalcState == 3 : view()->m_nPicked == n;
        }));
  Add(steps, ViewSession::ClickControlSteps(kIdManualImprove, idleIn(5)));
  Add(steps, ViewSession::ClickControlSteps(kIdNonGravCheck, [view] { return view()->IsChecked(kIdNonGravCheck) == 1; }));
  Add(steps, ViewSession::ClickControlSteps(kIdManualImprove, idleIn(5)));
  steps.push_back({"open the test", [] { ViewSession::PostCommand(ID_NONGRAV_CHECK); },
                   [] { return Shown<CNonGravCheck>() && Shown<CNonGravCheck>()->VerdictState() != -1; }, 60});
  steps.push_back({"settle", nullptr, nullptr, 30, 0.8});
  steps.push_back({"mark 1334", [] { ViewSession::ClickButtonOf(Shown<CNonGravCheck>(), CNonGravCheck::IDC_HELP); },
                   [page] { return page() && page()->IsShownOnScreen(); }});
  steps.push_back({"page top", [&, page] {
                     ngHeight = page()->GetSize().y;
                     ViewSession::SaveScreenshot(page(), "help_ng_top");
                   },
                   nullptr, 30, 0.5});
  steps.push_back({"PageDown", [page] { PressOn(page()->GetCanvas(), WXK_PAGEDOWN); },
                   [page] { return page()->GetCanvas()->m_nScrollPos > 0; }, 30, 0.5});
  steps.push_back({"page 2", [page] { ViewSession::SaveScreenshot(page(), "help_ng_page2"); }, nullptr});
  for (int i = 3; i <= 6; ++i) {
    steps.push_back({"PageDown " + std::to_string(i), [page] { PressOn(page()->GetCanvas(), WXK_PAGEDOWN); },
                     nullptr, 30, 0.4});
    steps.push_back({"page " + std::to_string(i),
                     [page, i] { ViewSession::SaveScreenshot(page(), "help_ng_page" + std::to_string(i)); }, nullptr});
  }
  steps.push_back({"End", [page] { PressOn(page()->GetCanvas(), WXK_END); },
                   [page] { return page()->GetCanvas()->m_nScrollPos == LastPosition(page()->GetCanvas()); }, 30,
                   0.5});
  steps.push_back({"page end", [&, page] {
                     endPosition = page()->GetCanvas()->m_nScrollPos;
                     lastPosition = LastPosition(page()->GetCanvas());
                     pagesWhileOpen = OpenWindows<CNgHelp>();
                     ViewSession::SaveScreenshot(page(), "help_ng_end");
                   },
                   nullptr});
  steps.push_back({"Home", [page] { PressOn(page()->GetCanvas(), WXK_HOME); },
                   [page] { return page()->GetCanvas()->m_nScrollPos == 0; }, 30, 0.3});
  steps.push_back({"wheel", [&, page] {
                     homePosition = page()->GetCanvas()->m_nScrollPos;
                     TurnWheel(false);
                   },
                   [page] { return page()->GetCanvas()->m_nScrollPos > 0; }, 30, 0.3});
  steps.push_back({"wheel turned", [&, page] { wheelPosition = page()->GetCanvas()->m_nScrollPos; }, nullptr});
  steps.push_back({"close the page", [page] { ViewSession::ClickButtonOf(page(), wxID_OK); },
                   [page] { return page() == nullptr && OpenWindows<CNgHelp>() == 0; }});
  steps.push_back({"reopen", [] { ViewSession::ClickButtonOf(Shown<CNonGravCheck>(), CNonGravCheck::IDC_HELP); },
                   [page] { return page() && page()->IsShownOnScreen() && page()->IsActive(); }});
  // Aside, so that the dialog's own button can be clicked.
  steps.push_back({"reopened", [&, page] {
                     pagesAfterClose = OpenWindows<CNgHelp>();
                     page()->Move(0, 0);
                   },
                   nullptr, 30, 0.5});
  steps.push_back({"screen", [] { ViewSession::SaveScreen("help_ng_beside_test"); }, nullptr});
  // With the page open the dialog still takes its clicks and keys, and its
  // page goes with it: 閉じる, then Esc on a second opening.
  steps.push_back({"close the test", [] { ViewSession::ClickButtonOf(Shown<CNonGravCheck>(), wxID_OK); },
                   [] { return AllWindows<CNonGravCheck>() == 0; }});
  steps.push_back({"after", [&] { pagesAfterDialog = AllWindows<CNgHelp>(); }, nullptr, 30, 0.3});
  steps.push_back({"open the test again", [] { ViewSession::PostCommand(ID_NONGRAV_CHECK); },
                   [] { return Shown<CNonGravCheck>() && Shown<CNonGravCheck>()->VerdictState() != -1; }, 60});
  steps.push_back({"mark 1334 again", [] { ViewSession::ClickButtonOf(Shown<CNonGravCheck>(), CNonGravCheck::IDC_HELP); },
                   [page] { return page() && page()->IsShownOnScreen() && page()->IsActive(); }, 30, 0.5});
  steps.push_back({"aside again", [page] { page()->Move(0, 0); }, nullptr, 30, 0.5});
  steps.push_back({"back to the test", [] { ViewSession::ClickButtonOf(Shown<CNonGravCheck>(), CNonGravCheck::IDC_REPORT); },
                   [] { return Shown<CNonGravCheck>()->IsActive(); }, 10, 0.5});
  steps.push_back({"Esc on the test", [] { wxUIActionSimulator().Char(WXK_ESCAPE); },
                   [] { return AllWindows<CNonGravCheck>() == 0; }});
  steps.push_back({"after Esc", [&] { pagesAfterEsc = AllWindows<CNgHelp>(); }, nullptr, 30, 0.3});
  // The steps end with the dialog and its page up: the session's forced close
  // of the main frame ends the dialog first, and the frame closes after it.
  steps.push_back({"open the test for the close", [] { ViewSession::PostCommand(ID_NONGRAV_CHECK); },
                   [] { return Shown<CNonGravCheck>() && Shown<CNonGravCheck>()->VerdictState() != -1; }, 60});
  steps.push_back({"its page", [] { ViewSession::ClickButtonOf(Shown<CNonGravCheck>(), CNonGravCheck::IDC_HELP); },
                   [page] { return page() && page()->IsShownOnScreen(); }, 30, 0.5});

  ASSERT_TRUE(session.Run({obsFile}, steps));
  EXPECT_EQ(session.FailedSteps(), "");
  // On a 1000-pixel work area a long page opens at the largest height, 860.
  EXPECT_EQ(ngHeight, 860);
  EXPECT_EQ(endPosition, lastPosition);
  EXPECT_GT(endPosition, 1000);
  EXPECT_EQ(homePosition, 0);
  EXPECT_EQ(wheelPosition, 72);  // one notch
  EXPECT_EQ(pagesWhileOpen, 1);
  EXPECT_EQ(pagesAfterClose, 1);
  EXPECT_EQ(pagesAfterDialog, 0);
  EXPECT_EQ(pagesAfterEsc, 0);
}
