#include "data/developer_checks.h"

#include <cmath>
#include <vector>

#include "astro/angle_units.h"
#include "astro/ephemeris_rows.h"
#include "astro/jpl_eph.h"
#include "astro/time_scales.h"
#include "platform/numbers.h"

namespace {

constexpr int kTestRows = 41;
constexpr double kTestQ = 0.49467, kTestE = 1.0;
constexpr double kTestPeri = 1.373591574612057, kTestNode = 5.776411505570512, kTestIncl = 1.0236181530021542;
constexpr double kDumpJd = 2415000.5;
constexpr double kMaxRate = 9999.9;

std::string Last(const std::string& text, size_t n)
{
  return text.size() > n ? text.substr(text.size() - n) : text;
}

const char* Sign(double v)
{
  return v < 0 ? "-" : "+";
}

std::string Row(const EphemerisRow& row)
{
  double y = 0, m = 0, d = 0;
  JdToCalendar(row.m_dJdTT, y, m, d);
  const int month = static_cast<int>(m);
  const double raMinutes = row.m_dRaHours * 60.0;
  const int raHours = static_cast<int>(raMinutes / 60.0);
  const double decArcmin = std::fabs(row.m_dDecDeg) * 60.0;
  const int decDeg = static_cast<int>(decArcmin / 60.0);
  const double rate = row.m_dRateArcminPerDay;
  return FormatC("%s%s %s %.2d  %s %s  %s %s  %s  %s  %s  %s    %s  %s/%s  %s  %s  %s  %s\r\n",
                 Last(FormatC("    %d", static_cast<int>(y)), 5).c_str(),
                 (std::string(" ") + g_aszMonthAbbrev[(month + 11) % 12]).c_str(),
                 FormatC("%.2d", static_cast<int>(d)).c_str(), raHours,
                 Last(FormatC("0%2.2f", raMinutes - raHours * 60.0), 5).c_str(),
                 (Sign(row.m_dDecDeg) + Last(FormatC("0%d", decDeg), 2)).c_str(),
                 Last(FormatC("0%2.1f", decArcmin - decDeg * 60.0), 4).c_str(),
                 FormatC("  %3.4f", row.m_dDeltaAu).c_str(), FormatC("  %3.4f", row.m_dRAu).c_str(),
                 FormatC("  %s%3.2f", Sign(row.m_dRaChangeMin), std::fabs(row.m_dRaChangeMin)).c_str(),
                 FormatC("  %s%2.1f", Sign(row.m_dDecChangeArcmin), std::fabs(row.m_dDecChangeArcmin)).c_str(),
                 FormatC("  %3.1f", 0.0).c_str(), "",
                 rate > kMaxRate ? "9999.9" : FormatC("   %4.1f", rate).c_str(),
                 FormatC("  %3.0f", row.m_dMotionPaDeg).c_str(), FormatC("  %3.0f", row.m_dElongationDeg).c_str(),
                 FormatC("  %3.0f", row.m_dPhaseDeg).c_str(), FormatC(" %1.2f", row.m_dMoonIllumination).c_str(),
                 FormatC("  %2.1f", row.m_dMoonSeparationDeg).c_str());
}

} // namespace

std::string TestEphemerisText()
{
  const double T = YmdToJd(2002, 9, 9.418), start = YmdToJd(2002, 8, 4.792);
  std::vector<EphemerisRow> rows(kTestRows);
  const int count = ComputeEphemerisRows(0, ' ', 0, start, 1.0, kTestRows, T, kTestQ, kTestE, kTestPeri, kTestNode,
                                         kTestIncl, 0, 0, 0, 0, 0, 0, rows.data());
  std::string text = "Date/  0h  TT  R.A.(2000.0) Decl     Delta      r        Daily motion     V      Mot./PA   "
                     "Elong  Phase  Moon Age\r\n";
  text += FormatC("%s                 h  m       o  '      AU        AU         m       '               '    o     o"
                  "      o     o      \r\n",
                  "    ");
  for (int i = 0; i < count; ++i)
    text += Row(rows[i]);
  return text;
}

std::string PlanetaryDumpLine(int body)
{
  double pos[3] = {0, 0, 0};
  if (JplPosition(kDumpJd, body, kJplSun, pos) != 0)
    pos[0] = pos[1] = pos[2] = 0;
  return FormatC("%02d %+18.15f %+18.15f %+18.15f\r\n", body, pos[0], pos[1], pos[2]);
}
