// The magnitude curve's window in the running program: opened by its menu
// command, fed by the orbit-determination view's automatic improvement of
// C/1998 P1 (comet law), then by a solution of (433) Eros (H,G law); the
// laws switched with their radio buttons, H stepped with its arrow,
// 位置推算へ pressed without an ephemeris view, and the band copied with Ctrl+C.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <wx/clipbrd.h>
#include <wx/radiobut.h>
#include <wx/spinbutt.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/registry/window_registry.h"
#include "data/observation_reader.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "platform/numbers.h"
#include "platform/app_services.h"
#include "resources/app_resource_ids.h"
#include "tests/common/test_data.h"
#include "tests/determination_ui/view_session.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/views_ui/x_wheel.h"
#include "views/ui/mag_curve_wnd.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

CMagCurveWnd* Window()
{
  return dynamic_cast<CMagCurveWnd*>(OpenWindows().m_pMagCurveDlg);
}

// Moves the pointer onto a control of the window (at fractions of its
// width and height) and clicks.
void ClickItem(int id, double xFraction = 0.5)
{
  wxWindow* w = Window()->Canvas()->FindWindow(id);
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(wxPoint(static_cast<int>(w->GetSize().x * xFraction), w->GetSize().y / 2)));
  sim.MouseClick();
}

// (433) Eros: the elements the view's automatic improvement finds on its
// observations of 2016-2024 (tests/views), with those observations, as the
// orbit-determination view hands a solution over.
bool PublishEros(const std::string& path, const std::string& dir)
{
  const std::string file = WriteTestFile(dir, "eros.obs", ObservationLinesBetween(ReadTestFile(path), 2016, 2025));
  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(file, &obs);
  if (count <= 0)
    return false;
  DisplayOrbit eros;
  eros.m_dT = 2460445.6582;
  eros.m_dQ = 1.133442;
  eros.m_dE = 0.222684;
  eros.m_dPeri = 178.9031 * kDeg;
  eros.m_dNode = 304.2759 * kDeg;
  eros.m_dIncl = 10.8277 * kDeg;
  eros.m_strName = "(433) Eros";
  eros.m_bAsteroid = 1;
  eros.m_bValid = 1;
  ToolSinks().MagCurve()->SetSolution(eros, obs, count, "433 Eros");
  std::free(obs);
  return true;
}

int CountNear(const wxImage& img, unsigned rgb, int tol)
{
  int n = 0;
  for (int y = 0; y < img.GetHeight(); ++y)
    for (int x = 0; x < img.GetWidth(); ++x)
      n += std::abs(img.GetRed(x, y) - int(rgb >> 16)) <= tol &&
           std::abs(img.GetGreen(x, y) - int((rgb >> 8) & 0xFF)) <= tol &&
           std::abs(img.GetBlue(x, y) - int(rgb & 0xFF)) <= tol;
  return n;
}

bool ClipboardBitmap(wxBitmap& bmp)
{
  if (!wxTheClipboard->Open())
    return false;
  wxBitmapDataObject data;
  const bool bHas = wxTheClipboard->IsSupported(wxDF_BITMAP) && wxTheClipboard->GetData(data);
  if (bHas)
    bmp = data.GetBitmap();
  wxTheClipboard->Close();
  return bHas;
}

} // namespace

TEST(MagCurveWindow, OpenedByItsCommandFedSwitchedSteppedAndCopied)
{
  TSR_REQUIRE_DATA(comet, "obs/mpc80/orbitfinder_C_1998_P1.txt");
  TSR_REQUIRE_DATA(eros, "obs/mpc80/neosjl_433.txt");
  ViewSession session("mag_curve");
  session.m_ui.m_bRealEvents = true;
  auto view = [] { return ViewSession::View(); };
  double cometH = 0, cometK = 0, cometRms = 0, backH = -1, backK = -1, backRms = -1;
  int backFitted = 0;
  double erosH = 0, erosG = -1, steppedH = 0, freeH = 0, freeG = -1;
  std::string backText;
  int cometFix = -1, manualCurve = 0, autoCurve = 0;
  bool bCopied = false, bErosShown = false;
  wxBitmap copy;
  wxSize clientSize;
  int band = 0;
  std::string ephMessage;
  std::vector<ViewStep> steps = {
      {"loaded", [view] { view()->m_nAiResult = -100; },
       [view] { return view() && view()->m_pEngine->m_nCalcState == kCalcLoaded; }},
      {"open 光度曲線", [] { ViewSession::PostCommand(ID_MAG_CURVE); },
       [] { return Window() && Window()->IsShownOnScreen(); }},
  };
  for (ViewStep& s : ViewSession::ClickControlSteps(kIdAiImprove, [view] { return view()->m_nAiResult != -100; }))
    steps.push_back(std::move(s));
  steps.push_back({"comet law fitted", nullptr,
                   [view] {
                     return !EngineBusy(view()->m_pEngine) && Window()->m_nPoints > 200 && Window()->m_bFitted;
                   },
                   60, 0.5});
  steps.push_back({"screenshot comet", [&] {
                     ViewSession::SaveScreenshot(Window(), "mag_curve_comet");
                     cometH = Window()->m_dH, cometK = Window()->m_dSlope, cometRms = Window()->m_dRms;
                     cometFix = Window()->IsChecked(kMagFixSlope);
                   },
                   nullptr});
  // The asteroid law was never fitted: no curve until フィット.
  steps.push_back({"click 小惑星", [] { ClickItem(kMagLawAsteroid); },
                   [] { return Window()->m_bAsteroidLaw == 1 && !Window()->m_bFitted; }});
  steps.push_back({"screenshot asteroid law", [] { ViewSession::SaveScreenshot(Window(), "mag_curve_unfitted"); },
                   nullptr});
  steps.push_back({"click 彗星", [] { ClickItem(kMagLawComet); }, [] { return Window()->m_bAsteroidLaw == 0; }});
  steps.push_back({"comet law back", [&] {
                     backH = Window()->m_dH, backK = Window()->m_dSlope, backRms = Window()->m_dRms;
                     backFitted = Window()->m_bFitted;
                     backText = Window()->GetItemText(kMagSlopeEdit);
                   },
                   nullptr});
  // The free fit of the new object, then G fixed at 0.15 and Enter in its
  // edit fitting H alone.
  steps.push_back({"publish Eros", [&] { bErosShown = PublishEros(eros, session.m_dir); },
                   [] { return Window()->m_bAsteroidLaw == 1 && Window()->m_nPoints > 4000 && Window()->m_bFitted; },
                   30, 0.5});
  steps.push_back({"screenshot Eros fitted", [&] {
                     ViewSession::SaveScreenshot(Window(), "mag_curve_eros_fit");
                     freeH = Window()->m_dH, freeG = Window()->m_dSlope;
                   },
                   nullptr});
  steps.push_back({"click Gを固定", [] { ClickItem(kMagFixSlope, 0.1); },
                   [] { return Window()->IsChecked(kMagFixSlope) && !Window()->IsReadOnly(kMagSlopeEdit); }});
  steps.push_back({"click the G edit", [] { ClickItem(kMagSlopeEdit); },
                   [] { return wxWindow::FindFocus() == Window()->Canvas()->FindWindow(kMagSlopeEdit); }, 30, 0.3});
  steps.push_back({"type G and Enter", [] {
                     dynamic_cast<wxTextCtrl*>(Window()->Canvas()->FindWindow(kMagSlopeEdit))->SelectAll();
                     wxUIActionSimulator sim;
                     sim.Text("0.15");
                     sim.Char(WXK_RETURN);
                   },
                   [] { return Window()->m_bFitted == 1 && Window()->m_dSlope == 0.15 && Window()->IsShownOnScreen(); }});
  steps.push_back({"screenshot Eros", [&] {
                     ViewSession::SaveScreenshot(Window(), "mag_curve_eros");
                     autoCurve = CountNear(Window()->RenderCopy().ConvertToImage(), 0x5AC8FF, 12);
                   },
                   nullptr});
  steps.push_back({"H arrow up", [&] {
                     erosH = Window()->m_dH;
                     erosG = Window()->m_dSlope;
                     ClickItem(kMagSpinH, 0.8);
                   },
                   [] { return Window()->m_bManual == 1; }});
  steps.push_back({"screenshot stepped", [&] {
                     ViewSession::SaveScreenshot(Window(), "mag_curve_stepped");
                     manualCurve = CountNear(Window()->RenderCopy().ConvertToImage(), 0xEB6238, 12);
                     steppedH = Window()->m_dH;
                   },
                   nullptr});
  steps.push_back({"位置推算へ", [&] {
                     session.m_ui.m_messages.clear();
                     ClickItem(kMagToEphemeris);
                   },
                   [&] { return !session.m_ui.m_messages.empty(); }});
  steps.push_back({"Ctrl+C", [&] {
                     ephMessage = session.m_ui.m_messages[0].text;
                     if (wxTheClipboard->Open()) {
                       wxTheClipboard->Clear();
                       wxTheClipboard->Close();
                     }
                     wxUIActionSimulator sim;
                     sim.Char('c', wxMOD_CONTROL);
                   },
                   [&] {
                     bCopied = ClipboardBitmap(copy);
                     Window()->ClientSize(clientSize.x, clientSize.y);
                     MagPlotLayout L;
                     Window()->GetPlotLayout(clientSize.x, clientSize.y, L);
                     band = static_cast<int>(L.dBand);
                     return bCopied;
                   }});
  steps.push_back({"save the copy", [&] { copy.SaveFile(ScreenshotDir() + "mag_curve_copy.png", wxBITMAP_TYPE_PNG); },
                   nullptr});
  ASSERT_TRUE(session.Run({"dev", comet}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  // The comet fit came back exactly after the round trip through the asteroid law.
  EXPECT_GT(cometH, 0);
  EXPECT_EQ(backFitted, 1);
  EXPECT_EQ(backH, cometH);
  EXPECT_EQ(backK, cometK);
  EXPECT_EQ(backRms, cometRms);
  EXPECT_EQ(backText, FormatC("%.1f", cometK));
  EXPECT_TRUE(bErosShown);
  EXPECT_NEAR(freeH, 10.4, 0.5) << "published H of Eros";
  EXPECT_GE(freeG, 0);
  EXPECT_LE(freeG, 1);
  EXPECT_EQ(erosG, 0.15);
  EXPECT_NEAR(steppedH, erosH + 0.15, 1e-9) << "the upper arrow raises H";
  EXPECT_GT(autoCurve, 30) << "the fitted law in #5AC8FF";
  EXPECT_GT(manualCurve, 30) << "the hand-set law in #EB6238";
  EXPECT_EQ(ephMessage, "先に[位置推算]画面を開いてください。");
  ASSERT_TRUE(bCopied);
  EXPECT_EQ(copy.GetWidth(), clientSize.x);
  EXPECT_EQ(copy.GetHeight(), band);
  EXPECT_NE(session.Setting("MAGCURVE_X"), "<none>");
  std::printf("C/1998 P1: H1 %.2f K1 %.2f RMS %.3f (slope fixed %d); Eros H %.2f G %.3f, with G 0.15 H %.2f\n",
              cometH, cometK, cometRms, cometFix, freeH, freeG, erosH);
}

namespace {

// A point of the canvas on the screen.
wxPoint OnScreen(double x, double y)
{
  const wxPoint p(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
  return Window()->Canvas()->ClientToScreen(p);
}

// The ranges and the y of the law at t in the window as drawn now.
MagPlotLayout Ranges()
{
  int w = 0, h = 0;
  Window()->ClientSize(w, h);
  MagPlotLayout L;
  Window()->GetPlotRanges(w, h, L, 1);
  return L;
}

double LawAt(double t)
{
  double m = 0;
  Window()->ModelMagnitude(t, m);
  return m;
}

// The comparison's geometry as its last drawing stored it.
struct CmpGeometry {
  double left, right, top, bottom, d0, d1, m0, m1;
};

CmpGeometry Comparison()
{
  const CMagCurveWnd* w = Window();
  return {w->m_dCmpLeft, w->m_dCmpRight, w->m_dCmpTop, w->m_dCmpBottom,
          w->m_dCmpDayMin, w->m_dCmpDayMax, w->m_dCmpMagMin, w->m_dCmpMagMax};
}

// A day axis: the plot's left and right pixels and the days there.
struct DayAxis {
  double left, right, d0, d1;
  double DayAt(double x) const { return d0 + (x - left) / (right - left) * (d1 - d0); }
};

// A pan of pixels to the left from the first axis gave the second, a wheel
// notch at x the third: the days moved by those pixels, the span shrank to
// 0.8 and the day at x stayed.
void ExpectPanAndNotch(const DayAxis& before, const DayAxis& panned, const DayAxis& zoomed, double pixels, double x)
{
  const double perPixel = (before.d1 - before.d0) / (before.right - before.left);
  EXPECT_NEAR(panned.d0, before.d0 + pixels * perPixel, 1e-6);
  EXPECT_NEAR(panned.d1, before.d1 + pixels * perPixel, 1e-6);
  EXPECT_NEAR((zoomed.d1 - zoomed.d0) / (panned.d1 - panned.d0), 0.8, 1e-9);
  EXPECT_NEAR(zoomed.DayAt(x), panned.DayAt(x), 1e-6);
}

// A drag with one move between press and release.
void Drag(wxPoint from, wxPoint to, int button = wxMOUSE_BTN_LEFT)
{
  wxUIActionSimulator sim;
  sim.MouseMove(from);
  sim.MouseDown(button);
  sim.MouseMove(to);
  sim.MouseUp(button);
}

} // namespace

// The band under the real mouse: Eros's perihelion handle dragged down, the
// time axis panned and zoomed with the wheel (and Shift), the magnitudes
// shifted with the right button, the title clicked to the second name, the
// hand over the magnitude axis; then, under the comet law with
// 回帰ごとに比較(&R) ticked, the comparison panned, zoomed and stretched.
TEST(MagCurveWindow, MouseBendsPansAndZooms)
{
  TSR_REQUIRE_DATA(eros, "obs/mpc80/neosjl_433.txt");
  ViewSession session("mag_curve_mouse");
  MagPlotLayout L0, L1, Lpan, Lwheel, Lshift;
  double lawT0 = 0, lawT1 = 0, G0 = -1, G1 = -2, offset = 0;
  wxPoint handle, panFrom;
  bool bPublished = false, bHandInStrip = false, bHandInPlot = true;
  CmpGeometry C0{}, C1{}, C2{}, C3{};
  wxPoint cmpAt;
  std::vector<ViewStep> steps = {
      {"view open", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"open 光度曲線", [] { ViewSession::PostCommand(ID_MAG_CURVE); },
       [] { return Window() && Window()->IsShownOnScreen(); }},
      {"publish Eros", [&] { bPublished = PublishEros(eros, session.m_dir); },
       [] { return Window()->m_nPoints > 4000 && Window()->m_bFitted; }, 30, 0.5},
      {"screenshot before", [&] {
         ViewSession::SaveScreenshot(Window(), "mag_curve_mouse_before");
         L0 = Ranges();
         const double T = Window()->m_dT;
         lawT0 = LawAt(T), G0 = Window()->m_dSlope;
         const double x = (T - L0.dTimeMin) / (L0.dTimeMax - L0.dTimeMin) * (L0.dRight - L0.dLeft) + L0.dLeft;
         const double y = (lawT0 - L0.dMagMin) / (L0.dMagMax - L0.dMagMin) * (L0.dBottom - L0.dTop) + L0.dTop;
         handle = wxPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
       },
       nullptr},
      {"drag the perihelion handle", [&] { Drag(OnScreen(handle.x, handle.y), OnScreen(handle.x, handle.y + 40)); },
       [] { return Window()->m_bManual == 1 && !Window()->Canvas()->HasCapture(); }},
      {"pan", [&] {
         lawT1 = LawAt(Window()->m_dT), G1 = Window()->m_dSlope;
         L1 = Ranges();
         panFrom = wxPoint(static_cast<int>(L1.dLeft + 0.3 * (L1.dRight - L1.dLeft)),
                           static_cast<int>((L1.dTop + L1.dBottom) / 2));
         Drag(OnScreen(panFrom.x, panFrom.y), OnScreen(panFrom.x - 120, panFrom.y + 5));
       },
       [] { return Window()->m_bLeftBound && Window()->m_bRightBound && !Window()->Canvas()->HasCapture(); }},
      {"wheel", [&] {
         Lpan = Ranges();
         wxUIActionSimulator().MouseMove(OnScreen(panFrom.x, panFrom.y));
         ASSERT_TRUE(TurnWheel(true));
       },
       [&] { return Ranges().dTimeMax - Ranges().dTimeMin < 0.9 * (Lpan.dTimeMax - Lpan.dTimeMin); }},
      {"Shift+wheel", [&] {
         Lwheel = Ranges();
         wxUIActionSimulator sim;
         sim.KeyDown(WXK_SHIFT);
         ASSERT_TRUE(TurnWheel(true));
         sim.KeyUp(WXK_SHIFT);
       },
       [&] { return Ranges().dTimeMax - Ranges().dTimeMin < 0.99 * (Lwheel.dTimeMax - Lwheel.dTimeMin); }},
      {"right-button pan", [&] {
         Lshift = Ranges();
         Drag(OnScreen(panFrom.x, panFrom.y), OnScreen(panFrom.x, panFrom.y + 60), wxMOUSE_BTN_RIGHT);
       },
       [] { return Window()->m_dMagOffset != 0 && !Window()->Canvas()->HasCapture(); }},
      {"click the title", [&] {
         offset = Window()->m_dMagOffset;
         const SceneRect& r = Window()->m_rcTitle;
         wxUIActionSimulator sim;
         sim.MouseMove(OnScreen(r.x + r.w / 2, r.y + r.h / 2));
         sim.MouseClick();
       },
       [] { return Window()->m_bShowAltTitle == 1; }},
      {"over the magnitude axis", [] { wxUIActionSimulator().MouseMove(OnScreen(20, 200)); },
       [&] { return bHandInStrip = Window()->Canvas()->GetCursor().IsOk(); }, 5},
      {"over the plot", [&] { wxUIActionSimulator().MouseMove(OnScreen(panFrom.x, panFrom.y)); },
       [&] { return !(bHandInPlot = Window()->Canvas()->GetCursor().IsOk()); }, 5},
      {"screenshot after", [] { ViewSession::SaveScreenshot(Window(), "mag_curve_mouse_after"); }, nullptr},
      {"click 彗星", [] { ClickItem(kMagLawComet); }, [] { return Window()->m_bAsteroidLaw == 0; }},
      {"click フィット", [] { ClickItem(kMagFit); },
       [] { return Window()->m_bFitted == 1 && Window()->IsItemEnabled(kMagCompare); }},
      {"click 回帰ごとに比較", [] { ClickItem(kMagCompare, 0.1); },
       [] { return Window()->m_bCompare == 1 && Window()->m_bCmpGeomValid == 1; }, 60, 0.5},
      {"pan the comparison", [&] {
         C0 = Comparison();
         cmpAt = wxPoint(static_cast<int>(C0.left + 0.6 * (C0.right - C0.left)),
                         static_cast<int>((C0.top + C0.bottom) / 2));
         Drag(OnScreen(cmpAt.x, cmpAt.y), OnScreen(cmpAt.x - 100, cmpAt.y));
       },
       [&] { return Window()->m_dCmpDayMin != C0.d0 && !Window()->Canvas()->HasCapture(); }},
      {"wheel on the comparison", [&] {
         C1 = Comparison();
         wxUIActionSimulator().MouseMove(OnScreen(cmpAt.x, cmpAt.y));
         ASSERT_TRUE(TurnWheel(true));
       },
       [&] { return Window()->m_dCmpDayMax - Window()->m_dCmpDayMin < 0.9 * (C1.d1 - C1.d0); }},
      {"stretch the comparison's axis", [&] {
         C2 = Comparison();
         Drag(OnScreen(20, cmpAt.y), OnScreen(20, cmpAt.y + 80));
       },
       [&] { return Window()->m_dCmpMagMin != C2.m0 && !Window()->Canvas()->HasCapture(); }},
      {"screenshot comparison", [&] {
         C3 = Comparison();
         ViewSession::SaveScreenshot(Window(), "mag_curve_mouse_compare");
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  EXPECT_EQ(session.FailedSteps(), "");
  ASSERT_TRUE(bPublished);
  // 40 px down moves the law at T by 40 px of the magnitude scale; G stays.
  EXPECT_NEAR(lawT1 - lawT0, 40 / (L0.dBottom - L0.dTop) * (L0.dMagMax - L0.dMagMin), 1e-6);
  EXPECT_EQ(G1, G0);
  // The pan moved the days by 120 px worth; the wheel notch kept the day under the pointer.
  auto days = [](const MagPlotLayout& L) { return DayAxis{L.dLeft, L.dRight, L.dTimeMin, L.dTimeMax}; };
  ExpectPanAndNotch(days(L1), days(Lpan), days(Lwheel), 120, panFrom.x);
  EXPECT_NEAR((Lshift.dTimeMax - Lshift.dTimeMin) / (Lwheel.dTimeMax - Lwheel.dTimeMin), 1 / 1.0225651825635729, 1e-9)
      << "with Shift a tenth of the notch";
  // 60 px down with the right button: the magnitudes by 60 px of their scale.
  EXPECT_NEAR(offset, -60 * (Lshift.dMagMax - Lshift.dMagMin) / (Lshift.dBottom - Lshift.dTop), 1e-9);
  EXPECT_TRUE(bHandInStrip);
  EXPECT_FALSE(bHandInPlot);
  // The comparison: 100 px of days, a notch about the pointer's day, the top stretched by 80 px.
  auto cmpDays = [](const CmpGeometry& G) { return DayAxis{G.left, G.right, G.d0, G.d1}; };
  ExpectPanAndNotch(cmpDays(C0), cmpDays(C1), cmpDays(C2), 100, cmpAt.x);
  EXPECT_NEAR(C3.m0, MagAxisTop(C2.m1, C2.m0, C2.bottom - C2.top, 80), 1e-9);
  EXPECT_NEAR(C3.m1, C2.m1, 1e-9);
  std::printf("Eros: law at T %.3f -> %.3f after 40 px; span %.0f -> %.0f days after the pan and a notch\n", lawT0,
              lawT1, L1.dTimeMax - L1.dTimeMin, Lwheel.dTimeMax - Lwheel.dTimeMin);
}
