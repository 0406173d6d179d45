#include "determination/operation_log.h"

#include "astro/angle_units.h"

#include <cmath>

#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "data/observation_record.h"
#include "data/step_texts.h"
#include "determination/determination_display.h"
#include "determination/oplog_cleanup.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/nongrav_settings.h"
#include "platform/numbers.h"

namespace {

constexpr const char* kRule =
    "--------------------------------------------------------------------------------\r\n";

const char* OnOff(int flag) { return flag == 1 ? "ON" : "OFF"; }
const char* YesNo(int flag) { return flag ? "あり" : "なし"; }

std::string Heading(const std::tm& local, const char* title) {
  return FormatOpLogTime(local, "[%Y/%m/%d %H:%M:%S] === ") + (title ? title : "");
}

} // namespace

std::string OperationLogFileName(const std::tm& local) {
  return FormatC("Tessarune_OpLog_%04d%02d%02d_%02d%02d%02d.txt", local.tm_year + 1900, local.tm_mon + 1,
                 local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string FormatOpLogTime(const std::tm& local, const char* format) {
  char buffer[256];
  if (std::strftime(buffer, sizeof buffer, format, &local) == 0) return {};
  return buffer;
}

std::string FormatNonGravSetting(int computed, int model, int a3, double co2R0, double dt) {
  if (!computed) return "なし";
  std::string text;
  if (model == 3) {
    text = "太陽光圧(A1のみ)";
  } else {
    static constexpr const char* kNames[] = {"マースデンTypeII(水氷)", "薮下理論(CO・N2)", "CO2"};
    const char* letter = model == 1 ? "Y" : "A";
    const std::string third = a3 ? std::string(letter) + "3" : std::string();
    text = FormatC("%s(%s1%s2%s)", kNames[model >= 0 && model <= 2 ? model : 0], letter, letter, third.c_str());
  }
  if (model == 2) text += FormatC(" r0=%g", co2R0);
  if (dt != 0.0) text += FormatC(" DT=%+g日", dt);
  return text;
}

std::string FormatResidualRows(const ObservationRecord* obs, int count, OpLogObsCounts& counts) {
  std::string rows;
  for (int i = 0; obs && i < count && obs[i].m_dJdUtc != -1.0; ++i) {
    const ObservationRecord& o = obs[i];
    double year = 0, month = 0, day = 0;
    JdToCalendar(o.m_dJdTt, year, month, day);
    rows += FormatC("%5d %4d %2d %8.4f %.3s %8.1f %8.1f", i + 1, static_cast<int>(year), static_cast<int>(month),
                    day, o.m_szStation, o.m_dResRa * kArcsecPerRad, o.m_dResDec * kArcsecPerRad);
    if (o.m_bRejected) rows += " R";
    if (o.m_bByHand) rows += " F";
    if (o.m_nUnknownStation) rows += " X";
    if (std::fabs(o.m_dWeight - 1.0) > 1e-9) rows += FormatC(" W%g", o.m_dWeight);
    rows += "\r\n";
    if (o.m_bRejected) ++counts.rejected;
    if (o.m_nUnknownStation) ++counts.unknown;
    if (UsableInFit(o)) ++counts.used;
  }
  return rows;
}

// ---- the view's writers ----

void CDeterminationDisplay::WriteOpLogCalcStart(const char* title) {
  if (!m_bOpLog) return;
  const OrbitEngine& e = *m_pEngine;
  int rejectYear = 0;
  double rejectOld = 0, rejectNew = 0;
  GetRejectThresholds(rejectYear, rejectOld, rejectNew);
  const std::string nonGrav = FormatNonGravSetting(IsChecked(kIdNonGravCheck), e.m_nNonGravModel,
                                                   IsChecked(kIdNonGravA3Check), g_dCo2R0, g_dNonGravDt);
  const std::string reject = FormatC("%d年以前 %.1f\"/以後 %.1f\"", rejectYear, rejectOld, rejectNew);

  std::string block = kRule;
  block += Heading(LocalTimeNow(), title) + " ===\r\n";
  block += "天体: " + m_strPackNames + "  観測ファイル: " + m_szObsFile + "\r\n";
  block += FormatC("設定: 摂動計算=%s 小惑星=%s 非重力=%s 相対論=%s J2=%s 元期=%s 離心率固定=%s Apophisモード=%s "
                   "並列=%s 積分間隔=%s Reject欄=%s Epoch欄=%s/%s/%s\r\n",
                   YesNo(e.m_bPerturbations), GetPerturberSetLabel(e.m_nAsteroidSet), nonGrav.c_str(),
                   OnOff(e.m_bRelativity), OnOff(e.m_bEarthJ2), e.m_bEpochFromField ? "Epoch欄" : "自動",
                   YesNo(m_pDetClass->m_bFixEcc == 1), OnOff(e.m_bApophis), OnOff(e.m_bParallel),
                   GetItemText(kIdStepCombo).c_str(), reject.c_str(), GetItemText(kIdEpochYear).c_str(),
                   GetItemText(kIdEpochMonth).c_str(), GetItemText(kIdEpochDay).c_str());
  block += "軌道要素(計算前): " + FormatElementSummaryLine(1) + "\r\n";
  block += "要素変化量(計算前): " + FormatVariationLine() + FormatC(" 自動変更=%s\r\n", YesNo(e.m_bAutoCalibrate));
  block += std::string(kOpLogCalcMarker) +
           " 番号 年 月 日 コード RA\" Dec\" 印(R=除外 F=手動除外 X=コード不明 Wn=ウエイト)\r\n";
  OpLogObsCounts counts;
  block += FormatResidualRows(m_pDetClass->m_pOrbObs, m_pDetClass->m_nObsCount, counts);
  block += FormatC("観測数: 有効=%d 除外=%d コード不明=%d\r\n", counts.used, counts.rejected, counts.unknown);
  WriteOpLog(block);
}

void CDeterminationDisplay::WriteOpLogCalcEnd(const char* title, int result) {
  if (!m_bOpLog) return;
  const OrbitEngine& e = *m_pEngine;
  std::string block = Heading(LocalTimeNow(), title) + FormatC(" (result=%d) ===\r\n", result);
  block += FormatC("所要時間: %.3f秒", e.m_dwBusyElapsed / 1000.0);
  if (e.m_nRingEntries > 0)
    block += FormatC("  (並列: %ldステップ 暦読み %.3f秒 / CPU 暦読み %.3f秒 変分軌道計 %.3f秒 基準軌道 %.3f秒)",
                     static_cast<long>(e.m_nRingEntries), e.m_dEphSeconds, e.m_dProducerCpu, e.m_dWorkerCpu,
                     e.m_dCallerCpu);
  block += "\r\n";
  if (GetItemText(kIdStepCombo) == kStepAutomatic)
    block += "積分間隔(実際): " + CTessaruneLib::FormatStepLengthWithDays(std::fabs(e.m_state.m_dStep)) + "\r\n";
  block += "軌道要素(結果): " + FormatElementSummaryLine(1) + "\r\n";
  block += "要素変化量(結果): " + FormatVariationLine() + "\r\n";
  if (!e.m_strStepNotes.empty()) block += "注記: " + e.m_strStepNotes;
  WriteOpLog(block);
}

void CDeterminationDisplay::OnOpLogToggle() {
  const std::tm now = LocalTimeNow();
  if (m_bOpLog) {
    WriteOpLog(FormatOpLogTime(now, kOpLogStopLine));
    m_bOpLog = 0;
    m_strOpLogPath.clear();
    return;
  }
  m_strOpLogPath = TheApp().m_szDataDir + OperationLogFileName(now);
  std::string error;
  // Said only once the start line is in the file: a log that cannot be
  // created stays off, so nothing is lost without a word.
  if (!AppendOpLogBlock(FormatOpLogTime(now, kOpLogStartLine), &error)) {
    const std::string path = m_strOpLogPath;
    m_strOpLogPath.clear();
    ReportMessage("操作ログを作成できなかったため、記録を開始しませんでした。\n出力先: " + path + "\n" + error,
                  "Tessarune", kBoxOk | kBoxIconWarning, 1);
    return;
  }
  m_bOpLog = 1;
  m_bOpLogLossNoted = 0;
  ReportMessage("操作ログの記録を開始しました。\n出力先: " + m_strOpLogPath, "Tessarune", kBoxOk, 1);
}
