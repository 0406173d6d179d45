#include "ephemeris/forecast.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/impact_tracker.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "engine/close_approach.h"
#include "engine/determination_host.h"
#include "engine/force_model.h"
#include "engine/impact_probability.h"
#include "engine/integration_drivers.h"
#include "engine/matrix_fit.h"
#include "engine/move_epoch.h"
#include "engine/approach_graph.h"
#include "ephemeris/test_observations.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "astro/mpeph_store.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

std::string Trimmed(const std::string& text) { return std::string(TrimSpace(text)); }

std::string TextOf(EngineWindow* w) { return w && w->IsLive() ? w->GetText() : std::string(); }
void SetTextOf(EngineWindow* w, const std::string& text) {
  if (w && w->IsLive()) w->SetText(text);
}

// The span of the planetary file less the margins; with no file open the
// bounds cross (40 .. -40) and refuse every epoch.
void AdmissibleSpan(double& first, double& last) {
  first = g_dJplStart + kForecastFileMargin;
  last = g_dJplEnd - kForecastFileMargin;
}

void CalendarOf(double jd, int& y, int& m, double& d) {
  double yy = 0, mm = 0;
  JdToCalendar(jd, yy, mm, d);
  y = static_cast<int>(yy);
  m = static_cast<int>(mm);
}

int CountOccurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// 1/a of the elements from q and e: exact for every conic (the block's a is
// -1 for e > 0.97).
double InverseA(const ElementBlock& el) { return el.m_dQ > 0.0 ? (1.0 - el.m_dE) / el.m_dQ : 0.0; }

std::string Suffix(double inverseA, const char* hyperbolic) {
  if (inverseA > 1e-9) return FormatC("   (a = %.0f AU)", 1.0 / inverseA);
  if (inverseA < -1e-9) return hyperbolic;
  return "";
}

// The leg's class line ("軌道分類: ...") judged the osculating elements where
// the leg stopped, not the orbit at 250 AU: the line says so.
void MarkClassOfStoppedLeg(std::string& result, int mode) {
  const size_t line = result.find("軌道分類: ");
  if (line == std::string::npos) return;
  const size_t end = std::min(result.find("\r\n", line), result.size());
  result.insert(end, mode == kForecastOriginal ? "   (250 AU に届く前の軌道による分類: 原初軌道の分類ではありません)"
                                               : "   (250 AU に届く前の軌道による分類: 未来軌道の分類ではありません)");
}

}  // namespace

std::string ForecastStepText(int index) {
  if (index <= 0) return kStepAutomatic;
  return index <= kStepChoiceCount ? kStepChoices[index - 1].text : "";
}

std::string FormatEpochDay(double day) {
  std::string text = FormatC("%.5f", day);
  const size_t point = text.find('.');
  while (point != std::string::npos && text.size() > point + 2 && text.back() == '0') text.pop_back();
  return text;
}

bool SnapToStandardDate(std::string& year, std::string& month, std::string& day, int dayDecimals) {
  const std::string y = Trimmed(year), m = Trimmed(month), d = Trimmed(day);
  if (y.empty() || m.empty() || d.empty()) return false;
  const double mv = StringToDouble(m), dv = StringToDouble(d);
  if (!(mv >= 1 && mv <= 12 && dv >= 1 && dv < 32)) return false;
  double jd = CalendarToJd(StringToDouble(y), mv, dv);
  const double g = static_cast<double>(static_cast<long long>(jd / 20.0)) * 20.0 + 0.5;
  if (jd != g) {
    const double h = g + 20.0;
    jd = std::fabs(jd - g) < std::fabs(h - jd) ? g : h;
  }
  int yy, mm;
  double dd;
  CalendarOf(jd, yy, mm, dd);
  year = FormatC("%d", yy);
  month = FormatC("%d", mm);
  day = dayDecimals > 0 ? FormatC("%.*f", dayDecimals, dd) : FormatC("%d", static_cast<int>(dd));
  return true;
}

std::string FormatInverseAReport(double original, double future, bool originalReached, bool futureReached) {
  constexpr const char* kShort = "   (250 AU に届く前の値: 軌道の分類には使えません)";
  std::string text = "===== 惑星摂動による変化 =====\r\n";
  text += FormatC("  原初 1/a = %+.8f AU^-1", original) +
          (originalReached ? Suffix(original, "   (双曲線)") : std::string(kShort)) + "\r\n";
  text += FormatC("  未来 1/a = %+.8f AU^-1", future) +
          (futureReached ? Suffix(future, "   (双曲線 = 太陽系から脱出)") : std::string(kShort)) + "\r\n";
  text += FormatC("  Δ(1/a) = %+.8f AU^-1\r\n", future - original);
  if (!originalReached || !futureReached)
    return text + "  → 250 AU に届かなかった軌道があるため、原初軌道・未来軌道の分類と変化の向きは判定できません。\r\n";
  text += original < future ? "  → 惑星にエネルギーを奪われ、軌道が小さくなりました。\r\n"
                            : "  → 惑星からエネルギーを受け取り、軌道が大きくなりました。\r\n";
  return text;
}

ForecastModel::ForecastModel(CDetermination* view) : m_pView(view), m_pState(std::make_unique<IntegrationState>()) {}

ForecastModel::~ForecastModel() {
  // The state points at them: detach before they go.
  m_pState->m_pApproach = nullptr;
  m_pState->m_pImpacts = nullptr;
}

int ForecastModel::CloneCount(const std::string& text) {
  const int n = std::atoi(Trimmed(text).c_str());
  return n < 1 ? 300 : n;
}

int ForecastModel::BodyIndex(ForecastForm& form) {
  const int sel = form.Selection(kFcBody);
  return sel <= 0 ? kApproachAllBodies : sel - 1;
}

void ForecastModel::CheckEpochRange(ForecastForm& form, IntegrationState& state) {
  const int mode = state.m_nOrbitKind;
  double first, last;
  AdmissibleSpan(first, last);
  if (mode == kForecastEpoch) {
    const std::string y = Trimmed(form.Text(kFcEpochYear)), m = Trimmed(form.Text(kFcEpochMonth)),
                      d = Trimmed(form.Text(kFcEpochDay));
    state.m_dEnd = 0.0;
    if (!y.empty() && !m.empty() && !d.empty()) {
      const double jd = CalendarToJd(StringToDouble(y), StringToDouble(m), StringToDouble(d));
      if (!(jd >= first && jd <= last)) {
        int y0, m0, y1, m1;
        double d0, d1;
        CalendarOf(first, y0, m0, d0);
        CalendarOf(last, y1, m1, d1);
        m_pView->ReportMessage(FormatC("入力された元期は計算可能な範囲外です。\n使用中の惑星暦と積分処理の都合により、"
                                       "指定できる元期は\n  %d年%d月%d日 〜 %d年%d月%d日\nです。",
                                       y0, m0, static_cast<int>(d0), y1, m1, static_cast<int>(d1)),
                               "Tessarune", kBoxOk | kBoxIconWarning, 1);
        return;
      }
      state.m_dEnd = jd;
    }
  } else if (mode == kForecastOriginal) {
    state.m_dEnd = first;
  } else if (mode == kForecastFuture) {
    state.m_dEnd = last;
  }
  if (state.m_dEnd == 0.0) return;
  const DetClass* det = m_pView->m_pDetClass;
  if (det && det->m_pOrbObs && det->m_nObsCount > 0) {
    state.m_dObsFirst = det->m_pOrbObs[0].m_dJdTt;
    state.m_dObsLast = det->m_pOrbObs[det->m_nObsCount - 1].m_dJdTt;
  }
  state.m_chMode = kModeCalculation;
  state.m_dDirection = state.m_dEnd > state.m_dEpoch ? 1.0 : -1.0;
  if (mode == kForecastOriginal || mode == kForecastFuture) {
    for (int id : {kFcEpochYear, kFcEpochMonth, kFcEpochDay}) form.SetText(id, "");
  } else if (mode == kForecastEpoch) {
    int y, m;
    double d;
    CalendarOf(state.m_dEnd, y, m, d);
    form.SetText(kFcEpochYear, FormatC("%d", y));
    form.SetText(kFcEpochMonth, FormatC("%d", m));
    form.SetText(kFcEpochDay, FormatEpochDay(d));
  }
}

// Steps shared by the preparation and the impact probability: the view's
// solution with this dialog's mode, end time, non-gravitational terms and step.
bool ForecastModel::CopySolution(ForecastForm& form, IntegrationState& state, bool bTestImpactor) {
  OrbitEngine* engine = m_pView->m_pEngine;
  // A failed determination leaves its last orbit in the engine: no solution
  // to carry forward, even when the dialog was open before it failed.
  if (engine->m_nCalcState == kCalcPreliminaryFailed) {
    SetTextOf(form.Window(kFcResult), kMsgNoSolution);
    return false;
  }
  const int mode = m_pState->m_nOrbitKind;
  state = engine->m_state;
  state.m_nOrbitKind = mode;
  // The copy shares the engine's attachments; the caller attaches its own.
  state.m_pApproach = nullptr;
  state.m_pImpacts = nullptr;
  SetupIntegrationState(engine, &state);
  state.m_dStopDistance = kForecastBoundaryAu;
  CheckEpochRange(form, state);
  if (state.m_dEnd == 0.0) return false;
  if (bTestImpactor && TheApp().m_bDeveloper && Ui().IsKeyDown(UiKey::Control) && !ApplyTestImpactor(form, state))
    return false;
  if (engine->m_bNonGrav == 1) {
    state.m_nSolveMask |= 0x180;
    if (engine->m_bNonGravA3 == 1) state.m_nSolveMask |= 0x200;
  }
  state.m_chMode = kModeCalculation;
  ApplyStepText(form.Text(kFcStep), &state);
  return true;
}

bool ForecastModel::ComputeElementsAtEpoch(ForecastForm& form, bool bTestImpactor) {
  IntegrationState& s = *m_pState;
  if (!CopySolution(form, s, bTestImpactor)) return false;
  const double h = std::fabs(s.m_dStep);
  m_pApproach = std::make_unique<CloseApproachRecord>();
  m_pApproach->Init(std::min(s.m_dEnd, s.m_dEpoch) - 5 * h, std::max(s.m_dEnd, s.m_dEpoch) + 5 * h, h);
  m_pApproach->Reset();
  s.m_pApproach = m_pApproach.get();
  m_pImpacts = std::make_unique<ImpactTrackerSet>();
  s.m_pImpacts = m_pImpacts.get();
  if (5 * h >= std::fabs(s.m_dEnd - s.m_dEpoch)) {
    m_pView->ReportMessage(kMsgEpochTooNear, "Tessarune", kBoxOk | kBoxIconWarning, 1);
    return false;
  }
  s.m_nBodies = 1;
  if (s.m_el.m_dQ < 0 || s.m_el.m_dE < 0 || s.m_el.m_dIncl > kPi) {
    SetTextOf(form.Window(kFcResult), kMsgNoSolution);
    return false;
  }
  m_pView->ClearElementBlockTexts();
  // The view's controls follow the state only once a run is certain.
  m_pView->m_pEngine->m_nCalcState = kCalcImprovedPerturbed;
  m_pView->UpdateControlsForState(kCalcImprovedPerturbed);
  return true;
}

int ForecastModel::RunCurrentMode(ForecastForm& form) {
  OrbitEngine* engine = m_pView->m_pEngine;
  engine->m_pLogWnd = form.Window(kFcLog);
  const int r = MoveEpochAndReport(engine, form.Window(kFcResult), m_pState.get(), form.Window(kFcProgress),
                                   form.Window(kFcStatus), form.Window(kFcApproach), BodyIndex(form),
                                   form.Checked(kFcRoundTrip) ? kMoveRoundTrip : 0);
  engine->m_pLogWnd = nullptr;
  return r;
}

int ForecastModel::RunForecastLeg(ForecastForm& form, int mode, std::string& result, std::string& log,
                                  double& inverseA, bool& reached, std::string& heading) {
  m_pState->m_nOrbitKind = mode;
  if (!ComputeElementsAtEpoch(form)) return -1;
  const int r = RunCurrentMode(form);
  result = TextOf(form.Window(kFcResult));
  log = TextOf(form.Window(kFcLog));
  const IntegrationState& s = *m_pState;
  inverseA = InverseA(s.m_el);
  // The run refers the elements to the barycentre at the boundary; a run that
  // the planetary file (or an impact) ended first says where it stopped.
  reached = s.m_dSunDistance >= s.m_dStopDistance;
  if (reached) {
    heading = "(太陽系重心, 250 AU)";
  } else {
    MarkClassOfStoppedLeg(result, mode);
    int y, m;
    double d;
    CalendarOf(s.m_el.m_dEpoch, y, m, d);
    heading = FormatC("(日心: 250 AU に届く前に %d/%d/%d で%s, 太陽から %.1f AU)", y, m, static_cast<int>(d),
                      r == kEngineImpact ? "衝突により停止" : "惑星暦の範囲の端に達して停止", s.m_dSunDistance);
  }
  return r;
}

int ForecastModel::Calculate(ForecastForm& form) {
  if (TheApp().m_bDeveloper && Ui().IsKeyDown(UiKey::Control) && Ui().IsKeyDown(UiKey::Shift))
    return GenerateTestObservations(form);
  const int mode = m_pState->m_nOrbitKind;
  if (mode != kForecastBoth) {
    if (!ComputeElementsAtEpoch(form, true)) return -1;
    form.ShowTab(1);
    const int r = RunCurrentMode(form);
    if (r == kEngineDone || r == kEngineImpact) form.ShowTab(0);
    return r;
  }
  form.ShowTab(1);
  std::string res1, log1, head1, res2, log2, head2;
  double inv1 = 0, inv2 = 0;
  bool reached1 = false, reached2 = false;
  int r = RunForecastLeg(form, kForecastOriginal, res1, log1, inv1, reached1, head1);
  if (r != kEngineDone && r != kEngineImpact) {
    m_pState->m_nOrbitKind = kForecastBoth;
    return r;
  }
  r = RunForecastLeg(form, kForecastFuture, res2, log2, inv2, reached2, head2);
  m_pState->m_nOrbitKind = kForecastBoth;
  if (r != kEngineDone && r != kEngineImpact) return r;
  SetTextOf(form.Window(kFcResult), "===== 原初軌道 " + head1 + " =====\r\n" + res1 + "\r\n\r\n===== 未来軌道 " + head2 +
                                        " =====\r\n" + res2 + "\r\n\r\n" + FormatInverseAReport(inv1, inv2, reached1, reached2));
  EngineWindow* log = form.Window(kFcLog);
  SetTextOf(log, "===== 原初軌道(時間を遡る) =====\r\n" + log1 + "\r\n===== 未来軌道(時間を進める) =====\r\n" + log2);
  if (log && log->IsLive()) log->ScrollToTop();
  form.ShowTab(0);
  return r;
}

void ForecastModel::ShowBodyApproaches(ForecastForm& form) {
  const IntegrationState& s = *m_pState;
  if (!s.m_pApproach) return;
  int members[kPerturberSetMaxMembers];
  const int n = GetPerturberSetMembers(static_cast<PerturberSet>(m_pView->m_pEngine->m_nAsteroidSet), members);
  ShowCloseApproaches(s.m_pApproach, form.Window(kFcApproach), BodyIndex(form), 10 + n, s.m_nStepClass);
}

int ForecastModel::ImpactProbability(ForecastForm& form) {
  const DetClass* det = m_pView->m_pDetClass;
  if (!det || det->m_nObsCount <= 0) return -1;
  OrbitEngine* engine = m_pView->m_pEngine;
  auto tmp = std::make_unique<IntegrationState>();
  IntegrationState& s = *tmp;
  if (!CopySolution(form, s)) return -1;
  s.m_pApproach = nullptr;
  s.m_pImpacts = nullptr;
  const double h = std::fabs(s.m_dStep);
  if (5 * h >= std::fabs(s.m_dEnd - s.m_dEpoch)) {
    m_pView->ReportMessage(kMsgEpochTooNear, "Tessarune", kBoxOk | kBoxIconWarning, 1);
    return -1;
  }
  s.m_nBodies = 1;
  EngineWindow* result = form.Window(kFcResult);
  if (s.m_el.m_dQ < 0 || s.m_el.m_dE < 0 || s.m_el.m_dIncl > kPi) {
    SetTextOf(result, kMsgNoSolution);
    return -1;
  }
  m_pView->ClearElementBlockTexts();
  engine->m_bAddSystematicError = form.Checked(kFcSystematic) ? 1 : 0;
  engine->m_pLogWnd = form.Window(kFcLog);
  const int r = ComputeImpactProbability(engine, result, &s, CloneCount(form.Text(kFcClones)),
                                         form.Window(kFcProgress), form.Window(kFcStatus));
  engine->m_pLogWnd = nullptr;
  return r;
}

int ForecastModel::MeasureErrorGrowth(ForecastForm& form, bool (*confirm)(CDetermination* view)) {
  OrbitEngine* engine = m_pView->m_pEngine;
  // Before the preparation, which would change the view's state under a running calculation.
  if (EngineBusy(engine)) return -1;
  if (!ComputeElementsAtEpoch(form)) return -1;
  if (confirm && !confirm(m_pView)) return -1;
  form.ShowTab(0);
  SetTextOf(form.Window(kFcLog), "");
  if (BeginBusy(engine) != 0) return -1;

  IntegrationState& s = *m_pState;
  const IntegrationState saved = s;
  const int autoRunning = engine->m_bAutoRunning, autoStop = engine->m_bAutoStop;
  s.m_pApproach = nullptr;
  s.m_pImpacts = nullptr;
  s.m_pGeoTrack = nullptr;
  s.m_nOrbitKind = 0;
  engine->m_bAutoRunning = engine->m_bAutoStop = 1;

  const double start = saved.m_dEpoch, end = saved.m_dEnd, step = saved.m_dStep;
  EngineWindow* result = form.Window(kFcResult);
  int y0, m0, y1, m1;
  double d0, d1;
  CalendarOf(start, y0, m0, d0);
  CalendarOf(end, y1, m1, d1);
  std::string text = FormatC("【積分誤差の伸び】\r\n起点 %d/%02d/%05.2f  →  目標 %d/%02d/%05.2f  (%.1f 年)\r\n", y0, m0,
                             d0, y1, m1, d1, std::fabs(end - start) / 365.25) +
                     "区間を分けて往復積分を行い、帰着した軌道要素と開始時の差を並べます。\r\n\r\n"
                     "  区間(年)      ΔT(日)       Δq(AU)       Δe          Δi(\")     立上げ直し\r\n  " +
                     std::string(75, '-') + "\r\n";
  SetTextOf(result, text);

  double years[5], dT[5], dq[5];
  int rows = 0, r = 0;
  for (double fraction : {1.0 / 16, 1.0 / 8, 1.0 / 4, 1.0 / 2, 1.0}) {
    const double t = start + (end - start) * fraction;
    if (std::fabs(t - start) <= 12 * std::fabs(step)) continue;
    s.m_el = saved.m_el;
    s.m_el.m_dEpoch = s.m_dEpoch = start;
    s.m_nStepCount = 0;
    s.m_dEnd = t;
    s.m_dDirection = saved.m_dDirection;
    s.m_dStep = step;
    s.m_dStep2 = step * step;
    s.m_pProgress = form.Window(kFcProgress);
    s.m_pStatus = form.Window(kFcStatus);
    s.m_dProgressStart = start;
    if ((r = IntegrateOrbit(engine, result, nullptr, &s)) != 0) break;
    int restarts = CountOccurrences(engine->m_strRunReport, "積分間隔を");
    s.m_dEnd = start;
    s.m_dDirection = -saved.m_dDirection;
    s.m_dStep = -step;
    s.m_dEpoch = s.m_el.m_dEpoch;
    s.m_dProgressStart = s.m_dEpoch;
    if ((r = IntegrateOrbit(engine, result, nullptr, &s)) != 0) break;
    restarts += CountOccurrences(engine->m_strRunReport, "積分間隔を");
    double di = s.m_el.m_dIncl - saved.m_el.m_dIncl;
    while (di > kPi) di -= 2 * kPi;
    while (di <= -kPi) di += 2 * kPi;
    years[rows] = std::fabs(t - start) / 365.25;
    dT[rows] = s.m_el.m_dT - saved.m_el.m_dT;
    dq[rows] = s.m_el.m_dQ - saved.m_el.m_dQ;
    text += FormatC("  %8.1f  %+11.4e  %+11.3e  %+11.3e  %+11.3e   %5d\r\n", years[rows], dT[rows], dq[rows],
                    s.m_el.m_dE - saved.m_el.m_dE, di * kDegPerRad * 3600.0, restarts);
    SetTextOf(result, text);
    ++rows;
  }

  // A run that ends early writes its reason over the pane: the table comes
  // back with the reason under it.
  const std::string shown = TextOf(result);
  if (r != 0 && !shown.empty() && shown != text) text += shown + "\r\n";
  std::string tail = "\r\n";
  if (r == kEngineCancelled)
    tail += "※[中止]ボタンにより途中で打ち切りました。\r\n";
  else if (r != 0)
    tail += "※積分が完了しなかった区間があるため、そこで打ち切りました。\r\n";
  const double tauT = FitErrorGrowthTime(years, dT, rows), tauQ = FitErrorGrowthTime(years, dq, rows);
  if (tauT > 0 || tauQ > 0) {
    tail += "誤差がe倍になる区間の目安: ";
    if (tauT > 0) tail += FormatC("ΔTから %.0f 年  ", tauT);
    if (tauQ > 0) tail += FormatC("Δqから %.0f 年", tauQ);
    tail += "\r\n\r\n誤差が区間に対して指数的に伸びている場合、その大部分は軌道自身の\r\n"
            "カオス性による増幅です。上の目安がリアプノフ時間にあたり、これを\r\n"
            "大きく超える期間の予報は原理的に意味を持ちません(積分の精度を上げても\r\n"
            "改善しません)。区間の2乗・3乗のようなべき乗で伸びている場合は、\r\n"
            "積分間隔や積分の精度を疑ってください。\r\n";
  } else if (rows < 3) {
    tail += "測定できた区間が少ないため、伸び方を判定できませんでした。\r\n"
            "目標元期をもっと先(または前)に設定して再実行してください。\r\n";
  } else {
    tail += "誤差に増加傾向が読み取れませんでした(区間を長くしても誤差が\r\n"
            "増えていません)。積分は十分に安定しています。\r\n";
  }
  tail += "\r\n「立上げ直し」は積分間隔の変更回数(往復の合計)です。変更のたびに\r\n"
          "接触軌道要素へ落として積分を立ち上げ直すため、この回数が多いほど\r\n"
          "そこで入る誤差も増えます。\r\n";
  SetTextOf(result, text + tail);

  s = saved;
  s.m_pProgress = s.m_pStatus = nullptr;
  engine->m_bAutoRunning = autoRunning;
  engine->m_bAutoStop = autoStop;
  EndBusy(engine);
  SetTextOf(form.Window(kFcStatus), r == 0 ? "計算完了" : "中止しました");
  return r;
}
