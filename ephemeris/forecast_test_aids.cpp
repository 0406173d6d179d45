// The forecast dialog's developer aids: the test impactor (Ctrl+計算) and the
// test observations of such an object (Ctrl+Shift+計算).
#include <cmath>
#include <numbers>

#include "astro/frames.h"
#include "astro/time_scales.h"
#include "engine/collision.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "ephemeris/forecast.h"
#include "ephemeris/test_observations.h"
#include "platform/app_services.h"
#include "platform/numbers.h"

namespace {

constexpr const char* kGeneratorCaption = "テスト観測データの生成";
constexpr double kRadPerArcsec = 1 / 206264.806247;

std::string DateText(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/%.1f", static_cast<int>(y), static_cast<int>(m), d);
}

int YearOf(double jd) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return static_cast<int>(y);
}

}  // namespace

int ForecastModel::TestBody(ForecastForm& form, const char* message) {
  const int sel = form.Selection(kFcBody);
  if (sel >= 1 && sel <= 10) return sel - 1;
  m_pView->ReportMessage(message, "Tessarune", kBoxOk | kBoxIconWarning, 1);
  return -1;
}

bool ForecastModel::ApplyTestImpactor(ForecastForm& form, IntegrationState& state) {
  const int body = TestBody(form, "衝突テストでは、摂動体のコンボボックスで水星〜冥王星・月のいずれかを選択してください。");
  if (body < 0) return false;
  const double t = state.m_dEnd;
  TestOrbitElements in;
  std::string message;
  if (MakeTestImpactorElements(body, t, in, message) != 0) {
    if (!message.empty()) m_pView->ReportMessage(message, "Tessarune", kBoxOk | kBoxIconWarning, 1);
    return false;
  }
  PutTestElements(state.m_el, in, t - 10);
  state.m_dEpoch = t - 10;
  state.m_dEnd = t + 10;
  state.m_dDirection = 1;
  state.m_nOrbitKind = kForecastEpoch;
  if (state.m_el.m_dN > 0) state.m_el.m_dM = NormalizeAngle((t - 10 - in.dT) * state.m_el.m_dN);
  return true;
}

int ForecastModel::GenerateTestObservations(ForecastForm& form) {
  CDetermination& view = *m_pView;
  const int body = TestBody(
      form, "テスト観測データの生成では、摂動体のコンボボックスで水星〜冥王星・月のいずれかを選択してください。");
  if (body < 0) return -1;
  IntegrationState probe = *m_pState;
  probe.m_pApproach = nullptr;
  probe.m_pImpacts = nullptr;
  CheckEpochRange(form, probe);
  auto fail = [&](const std::string& text) {
    view.ReportMessage(text, "Tessarune", kBoxOk | kBoxIconWarning, 1);
    return -1;
  };
  if (probe.m_dEnd == 0.0) return fail("元期の欄に衝突させたい日付を入れてください。");
  const double t = probe.m_dEnd;
  const TestImpactScenario& sc = g_aTestImpactScenarios[body];
  TestObservationPlan plan;
  if (!PlanTestObservations(body, t, plan))
    return fail("元期を置ける40日格子点が見つかりませんでした。衝突予定日を変えてください。");
  const double E = plan.dEpoch;
  const char* name = kCollisionBodyNames[body];
  const std::string question = FormatC(
      "%s に衝突する天体の観測データを作ります。\r\n\r\n  衝突予定日  %s (TT)\r\n  観測期間    衝突の %.0f 日前 〜 %.0f "
      "日前\r\n  観測数      %d 個 (%d 夜 × %d)\r\n  観測誤差    %.1f "
      "秒角\r\n\r\nいま読み込んでいる観測ファイルは、生成したファイルに置き換わります。\r\n続けますか?",
      name, DateText(t).c_str(), t - plan.dFirst, t - (E - 1), sc.nNights * sc.nPerNight, sc.nNights, sc.nPerNight,
      sc.dError);
  if (view.ReportMessage(question, kGeneratorCaption, kBoxOkCancel | kBoxIconQuestion, 1) != 1) return -1;

  TestOrbitElements el;
  std::string message;
  if (MakeTestImpactorElements(body, t, el, message) != 0) return message.empty() ? -1 : fail(message);
  const int year = YearOf(plan.dFirst);
  const std::string readable = TestReadableDesignation(year, body), packed = TestPackedDesignation(year, body);
  double ty = 0, tm = 0, td = 0;
  JdToCalendar(t, ty, tm, td);
  const std::string path = TheApp().m_szDataDir + FormatC("IMPTEST_%s_%04d%02d%02d.obs", name, static_cast<int>(ty),
                                                          static_cast<int>(tm), static_cast<int>(td));
  ScopedWaitCursor wait;
  const int n = plan.nCount;
  if (!WriteObs80File(path, packed, plan.adTimes, plan.anStations, n, nullptr, nullptr))
    return fail("観測ファイルを書けませんでした:\r\n" + path);
  if (!m_openObsFile || m_openObsFile(path) <= 0) return fail("仮の観測ファイルを読み込めませんでした。");
  OrbitEngine* engine = view.m_pEngine;
  if (SetTestOrbitAndResiduals(view, el, E) != 0) return fail("テスト軌道での積分に失敗しました。\r\n" + engine->m_strMessage);

  // The file held zeros: observed minus computed gives the computed places.
  double ra[kMaxTestObservations], dec[kMaxTestObservations];
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  for (int i = 0; i < n; ++i) {
    dec[i] = obs[i].m_dDec - obs[i].m_dResDec;
    ra[i] = obs[i].m_dRa;
    const double c = std::cos(dec[i]);
    if (std::fabs(c) > 1e-12) ra[i] = obs[i].m_dRa - obs[i].m_dResRa / c;
    ra[i] = std::fmod(ra[i], 2 * std::numbers::pi);
    if (ra[i] < 0) ra[i] += 2 * std::numbers::pi;
  }
  uint32_t seed = static_cast<uint32_t>(static_cast<long long>(t * 100) + 7919LL * body);
  const double sigma = sc.dError * kRadPerArcsec;
  for (int i = 0; i < n; ++i) {
    const double c = std::cos(dec[i]);
    dec[i] += GaussianRandom(seed) * sigma;
    if (std::fabs(c) > 1e-6) ra[i] += GaussianRandom(seed) * sigma / c;
  }
  if (!WriteObs80File(path, packed, plan.adTimes, plan.anStations, n, ra, dec))
    return fail("観測ファイルの書き直しに失敗しました。");
  if (m_openObsFile(path) <= 0) return fail("仮の観測ファイルを読み込めませんでした。");
  if (SetTestOrbitAndResiduals(view, el, E) != 0) return fail("生成した観測データでの積分に失敗しました。");

  const std::string report = FormatC(
      "【テスト観測データを作成しました】\r\n  ファイル    %s\r\n  天体        %s (%s に衝突するテスト軌道)\r\n  "
      "衝突予定日  %s (TT)\r\n  観測        %d 個 / 最終観測から衝突まで %.1f 日\r\n  元期        %s (衝突の %.1f "
      "日前。40日格子の上)\r\n  与えた誤差  %.1f 秒角 → 積分後の平均残差 %.3f 秒角\r\n\r\n"
      "この観測データは、Tessarune自身の暦・摂動・光路時間で計算した値から\r\n作っているので、軌道決定と改良を行え"
      "ば元の軌道に戻り、元期を衝突日より\r\n先へ移動させると%sへの衝突が検出されます。\r\n"
      "なお太陽離角は考慮していないため、実際には見えない位置関係のことがあります。\r\n",
      path.c_str(), readable.c_str(), name, DateText(t).c_str(), n, t - (E - 1), DateText(E).c_str(), t - E,
      sc.dError, engine->m_dMeanResidual, name);
  view.AppendCalcLog(report);
  view.ReportMessage(report, kGeneratorCaption, kBoxOk | kBoxIconInformation, 1);
  return 0;
}
