#include "determination/obs_list_cells.h"

#include "astro/angle_units.h"

#include <cmath>
#include <cstring>

#include "astro/time_scales.h"
#include "data/observation_record.h"
#include "data/station_table.h"
#include "platform/numbers.h"

const ObsColumnDef kObsColumns[kObsColumnCount] = {
    {"観測日時(UT)", 130, false},  // 0
    {"赤経", 72, false},           // 1
    {"赤緯", 72, false},           // 2
    {"Obs", 40, false},            // 3
    {"残差RA\"", 75, true},        // 4
    {"残差Dec\"", 75, true},       // 5
    {"印", 30, false},             // 6
    {"ウエイト", 54, true},        // 7
};

namespace {


constexpr uint32_t kBiasStrong = 0xC8C8FF;  // light red
constexpr uint32_t kBiasWeak = 0xBEF0FF;    // light orange
constexpr uint32_t kHeavyBack = 0x800000;   // dark blue
constexpr uint32_t kHeavyText = 0x00FFFF;   // yellow

// Whole part, minutes and seconds of a non-negative value, each truncated.
void Sexagesimal(double value, int& whole, int& minutes, double& seconds) {
  whole = static_cast<int>(value);
  const double m = (value - whole) * 60.0;
  minutes = static_cast<int>(m);
  seconds = (m - minutes) * 60.0;
}

std::string FormatResidual(const ObservationRecord& obs, double residualRad, const ObsCellContext& c) {
  if (!c.residualsShown) return "----.- ";
  if (obs.m_nUnknownStation) return "(     )";
  const double arcsec = residualRad * kArcsecPerRad;
  const char sign = arcsec < 0 ? '-' : '+';
  return FormatC(obs.m_bRejected ? "(%.1f%c)" : "%.1f%c ", std::fabs(arcsec), sign);
}

std::string FormatFlags(const ObservationRecord& obs, const ObsCellContext& c) {
  std::string flags;
  const int s = c.calcState;
  if (obs.m_bPicked && (s == 1 || s == 2 || s == 3 || s == 6)) flags += '*';
  if (obs.m_bRejected) flags += 'R';
  if (obs.m_bByHand) flags += 'F';
  if (obs.m_nUnknownStation) flags += 'X';
  return flags;
}

bool IsHeavy(const ObservationRecord& obs) { return obs.m_dWeight > 1.0 && std::fabs(obs.m_dWeight - 1.0) > 1e-9; }

}  // namespace

std::string FormatObsCell(const ObservationRecord& obs, int column, const ObsCellContext& context) {
  switch (column) {
  case 0: {
    double year = 0, month = 0, day = 0;
    JdToCalendar(obs.m_dJdUtc, year, month, day);
    return FormatC("%.4d %02d %09.6f", static_cast<int>(year), static_cast<int>(month), day);
  }
  case 1: {
    int h = 0, m = 0;
    double s = 0;
    Sexagesimal(obs.m_dRa * 180.0 / kPi / 15.0, h, m, s);
    return FormatC("%02d %02d %06.3f", h, m, s);
  }
  case 2: {
    int d = 0, m = 0;
    double s = 0;
    Sexagesimal(std::fabs(obs.m_dDec) * 180.0 / kPi, d, m, s);
    return FormatC("%c%02d %02d %05.2f", obs.m_dDec < 0 ? '-' : '+', d, m, s);
  }
  case 3: return FormatC("%.3s%c", obs.m_szStation, obs.m_chQuality ? obs.m_chQuality : ' ');
  case 4: return FormatResidual(obs, obs.m_dResRa, context);
  case 5: return FormatResidual(obs, obs.m_dResDec, context);
  case 6: return FormatFlags(obs, context);
  case 7: return std::fabs(obs.m_dWeight - 1.0) > 1e-9 ? FormatC("%g", obs.m_dWeight) : std::string();
  default: return {};
  }
}

ObsRowColours ObsRowColour(const ObservationRecord& obs, int biasFlag) {
  ObsRowColours c;
  if (IsHeavy(obs)) {
    c.hasBackground = c.hasText = true;
    c.background = kHeavyBack;
    c.text = kHeavyText;
  } else if (biasFlag == 2 || biasFlag == 1) {
    c.hasBackground = true;
    c.background = biasFlag == 2 ? kBiasStrong : kBiasWeak;
  }
  return c;
}

std::string ObsHoverText(int row, const ObservationRecord& obs, const StationRecord* stations) {
  std::string text = FormatC("観測番号 %d", row + 1);
  if (obs.m_dMag > 0)
    text += FormatC("   光度 %.1f%c", obs.m_dMag, obs.m_chBand ? obs.m_chBand : ' ');
  else
    text += "   光度 (報告なし)";
  if (!stations) return text + FormatC("   観測所 %.3s", obs.m_szStation);
  for (const StationRecord* s = stations; !IsStationTableEnd(*s); ++s) {
    if (std::strncmp(s->m_szCode, obs.m_szStation, 3) == 0)
      return text + FormatC("   観測所 %.3s %s", obs.m_szStation, s->m_szName);
  }
  return text + FormatC("   観測所 %.3s (不明なコード)", obs.m_szStation);
}
