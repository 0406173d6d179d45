#include "data/ades_conversion.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/designation.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }


// The ISO time "YYYY-MM-DDThh:mm:ss.sss", read field by field the way
// scanf reads "%4d-%2d-%2dT%2d:%2d:%lf": the number of fields read (seconds
// default to 0, anything after them is ignored).
struct ObsTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double seconds = 0;
};

class TimeScanner {
public:
  explicit TimeScanner(std::string_view s) : m_s(s) {}

  bool Int(int width, int& value)
  {
    SkipSpace();
    size_t i = m_pos;
    const size_t limit = std::min(m_s.size(), m_pos + static_cast<size_t>(width));
    bool negative = false;
    if (i < limit && (m_s[i] == '+' || m_s[i] == '-'))
      negative = m_s[i++] == '-';
    long v = 0;
    const size_t digitsStart = i;
    for (; i < limit && IsDigit(m_s[i]); ++i)
      v = v * 10 + (m_s[i] - '0');
    if (i == digitsStart)
      return false;
    m_pos = i;
    value = static_cast<int>(negative ? -v : v);
    return true;
  }

  bool Literal(char c)
  {
    if (m_pos < m_s.size() && m_s[m_pos] == c) {
      ++m_pos;
      return true;
    }
    return false;
  }

  bool Double(double& value)
  {
    SkipSpace();
    size_t i = m_pos;
    if (i < m_s.size() && (m_s[i] == '+' || m_s[i] == '-'))
      ++i;
    bool any = false;
    for (; i < m_s.size() && IsDigit(m_s[i]); ++i)
      any = true;
    if (i < m_s.size() && m_s[i] == '.')
      for (++i; i < m_s.size() && IsDigit(m_s[i]); ++i)
        any = true;
    if (!any)
      return false;
    if (i < m_s.size() && (m_s[i] == 'e' || m_s[i] == 'E')) {
      size_t j = i + 1;
      if (j < m_s.size() && (m_s[j] == '+' || m_s[j] == '-'))
        ++j;
      if (j < m_s.size() && IsDigit(m_s[j])) {
        while (j < m_s.size() && IsDigit(m_s[j]))
          ++j;
        i = j;
      }
    }
    if (!ParseDouble(m_s.substr(m_pos, i - m_pos), value))
      return false;
    m_pos = i;
    return true;
  }

private:
  void SkipSpace()
  {
    while (m_pos < m_s.size() && IsSpace(m_s[m_pos]))
      ++m_pos;
  }

  std::string_view m_s;
  size_t m_pos = 0;
};

int ScanObsTime(std::string_view text, ObsTime& t)
{
  TimeScanner s(text);
  if (!s.Int(4, t.year))
    return 0;
  if (!s.Literal('-') || !s.Int(2, t.month))
    return 1;
  if (!s.Literal('-') || !s.Int(2, t.day))
    return 2;
  if (!s.Literal('T') || !s.Int(2, t.hour))
    return 3;
  if (!s.Literal(':') || !s.Int(2, t.minute))
    return 4;
  if (!s.Literal(':') || !s.Double(t.seconds))
    return 5;
  return 6;
}

// Puts text into the line from column firstCol (1-based); false when it would
// run past its field of width columns.
bool Put(std::string& line, int firstCol, int width, std::string_view text)
{
  if (text.size() > static_cast<size_t>(width))
    return false;
  line.replace(static_cast<size_t>(firstCol - 1), text.size(), text);
  return true;
}

char ModeLetter(std::string_view mode)
{
  struct Row {
    std::string_view mode;
    char letter;
  };
  // "VID" is written 'n' (positions from video frames): 'V' in column 15
  // would announce a roving observer's second line.
  static constexpr Row kModes[] = {
      {"CCD", 'C'}, {"CMO", 'B'}, {"VID", 'n'}, {"PHO", 'P'},
      {"ENC", 'e'}, {"MIC", 'M'}, {"MER", 'T'}, {"OCC", 'E'},
  };
  for (const Row& r : kModes)
    if (r.mode == mode)
      return r.letter;
  return 'C';
}

// Sexagesimal parts of a non-negative value: whole units, minutes, seconds.
void Sexagesimal(double value, int& units, int& minutes, double& seconds)
{
  units = static_cast<int>(value);
  const double m = (value - units) * 60.0;
  minutes = static_cast<int>(m);
  seconds = (m - minutes) * 60.0;
}

enum class Observer { Ordinary, Satellite, Roving };

} // namespace

std::string LookupAdesField(const AdesFields& fields, std::string_view name)
{
  auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

int FitNumberToWidth(double x, std::string& buf)
{
  if (!std::isfinite(x))
    return 0;
  int n = 1;
  for (double p = 10.0; p <= x && n < 10; p *= 10.0)
    ++n;
  int d = 9 - n;
  if (d < 0)
    d = 0;
  buf = FormatC("%10.*f", d, x);
  if (buf.size() > 10 && d > 0)
    buf = FormatC("%10.*f", d - 1, x);
  return buf.size() <= 10 ? 1 : 0;
}

namespace {

// What every converted record needs: its time, place, station and kind of observer.
struct AdesBasics {
  ObsTime time;
  double raDeg = 0, decDeg = 0;
  std::string stn, sys, desig, date;
  Observer observer = Observer::Ordinary;
};

// The fields every record needs, checked; false refuses the record.
bool ReadAdesBasics(const AdesFields& fields, AdesBasics& b)
{
  const std::string obsTime = LookupAdesField(fields, "obsTime");
  const std::string raText = LookupAdesField(fields, "ra");
  const std::string decText = LookupAdesField(fields, "dec");
  b.stn = LookupAdesField(fields, "stn");
  if (obsTime.empty() || raText.empty() || decText.empty() || b.stn.empty())
    return false;
  ObsTime& t = b.time;
  if (ScanObsTime(obsTime, t) < 5)
    return false;
  if (t.year < 1000 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31)
    return false;
  b.raDeg = StringToDouble(raText);
  b.decDeg = StringToDouble(decText);
  if (!(b.raDeg >= 0.0 && b.raDeg < 360.0) || !(b.decDeg >= -90.0 && b.decDeg <= 90.0))
    return false;

  b.sys = LookupAdesField(fields, "sys");
  if (b.sys == "ICRF_KM" || b.sys == "ICRF_AU")
    b.observer = Observer::Satellite;
  else if (b.sys == "WGS84")
    b.observer = Observer::Roving;
  if (b.observer != Observer::Ordinary &&
      (LookupAdesField(fields, "pos1").empty() || LookupAdesField(fields, "pos2").empty()))
    return false;
  b.desig = PackAdesDesignation(LookupAdesField(fields, "permID"), LookupAdesField(fields, "provID"),
                                LookupAdesField(fields, "trkSub"));
  // An hour, minute or seconds field far out of range would widen the day
  // past its columns: such a record is refused rather than written shifted.
  const double day = t.day + (t.hour * 3600 + t.minute * 60 + t.seconds) / 86400.0;
  b.date = FormatC("%04d %02d %09.6f", t.year, t.month, day);
  return b.date.size() <= 17;
}

// Right ascension and declination in their columns, seconds that round up
// carried into the minutes.
void PutPlace(std::string& line, double raDeg, double decDeg)
{
  int h, m;
  double s;
  Sexagesimal(raDeg / 15.0, h, m, s);
  if (s >= 59.9995) {
    s = 0.0;
    if (++m == 60) {
      m = 0;
      if (++h == 24)
        h = 0;
    }
  }
  Put(line, 33, 12, FormatC("%02d %02d %06.3f", h, m, s));

  int d;
  Sexagesimal(std::fabs(decDeg), d, m, s);
  if (s >= 59.995) {
    s = 0.0;
    if (++m == 60) {
      m = 0;
      ++d;
    }
  }
  Put(line, 45, 12, FormatC("%c%02d %02d %05.2f", decDeg < 0 ? '-' : '+', d, m, s));
}

// The first (or only) 80-column line.
std::string FirstLine(const AdesFields& fields, const AdesBasics& b)
{
  std::string first(80, ' ');
  first.replace(0, 12, b.desig);
  first[14] = b.observer == Observer::Satellite ? 'S'
              : b.observer == Observer::Roving  ? 'V'
                                                : ModeLetter(LookupAdesField(fields, "mode"));
  Put(first, 16, 17, b.date);
  PutPlace(first, b.raDeg, b.decDeg);

  const std::string magText = LookupAdesField(fields, "mag");
  if (!magText.empty()) {
    const double mag = StringToDouble(magText);
    // A magnitude that rounds to 100.0 does not fit its four columns; it is left blank.
    if (mag > 0.0 && mag < 100.0)
      Put(first, 66, 4, FormatC("%4.1f", mag));
  }
  const std::string nucMag = LookupAdesField(fields, "nucMag");
  const std::string band = LookupAdesField(fields, "band");
  if (!nucMag.empty())
    first[70] = nucMag == "1" ? 'N' : 'T';
  else if (!band.empty())
    first[70] = band[0];
  Put(first, 78, 3, std::string_view(b.stn).substr(0, 3));
  return first;
}

// The satellite's second line: its geocentric position in km or AU.
bool PutSatellitePosition(const AdesFields& fields, const AdesBasics& b, std::string& second)
{
  second[14] = 's';
  second[32] = b.sys == "ICRF_KM" ? '1' : '2';
  std::string num;
  for (int k = 0; k < 3; ++k) {
    const char* name = k == 0 ? "pos1" : k == 1 ? "pos2" : "pos3";
    const double v = StringToDouble(LookupAdesField(fields, name));
    second[static_cast<size_t>(34 + 12 * k)] = v < 0 ? '-' : '+';
    if (!FitNumberToWidth(std::fabs(v), num))
      return false;
    second.replace(static_cast<size_t>(35 + 12 * k), 10, num);
  }
  return true;
}

// The roving observer's second line: east longitude, latitude, altitude.
bool PutRovingPosition(const AdesFields& fields, std::string& second)
{
  second[14] = 'v';
  double lon = StringToDouble(LookupAdesField(fields, "pos1"));
  if (lon < 0)
    lon += 360.0;
  std::string num;
  if (!FitNumberToWidth(lon, num))
    return false;
  second.replace(34, 10, num);
  const std::string lat = FormatC("%+10.6f", StringToDouble(LookupAdesField(fields, "pos2")));
  if (!Put(second, 46, 10, lat))
    return false;
  double alt = StringToDouble(LookupAdesField(fields, "pos3"));
  if (alt < 0 || alt > 99999)
    alt = 0;
  Put(second, 57, 5, FormatC("%5.0f", alt));
  return true;
}

// Where the closing tags of one name stand in a block, in order. The
// searches for them only move forwards, so a cursor replaces each search.
struct ClosingTags {
  std::vector<size_t> at;
  size_t next = 0;

  size_t FirstFrom(size_t from)
  {
    while (next < at.size() && at[next] < from)
      ++next;
    return next < at.size() ? at[next] : std::string_view::npos;
  }
};

} // namespace

int ConvertAdesToMpcLines(const AdesFields& fields, std::vector<std::string>& lines)
{
  AdesBasics b;
  if (!ReadAdesBasics(fields, b))
    return 0;
  std::string first = FirstLine(fields, b);
  if (b.observer == Observer::Ordinary) {
    lines.push_back(std::move(first));
    return 1;
  }
  std::string second(80, ' ');
  second.replace(0, 12, b.desig);
  second.replace(15, 17, b.date);
  second.replace(77, 3, std::string_view(b.stn).substr(0, 3));
  const bool placed =
      b.observer == Observer::Satellite ? PutSatellitePosition(fields, b, second) : PutRovingPosition(fields, second);
  if (!placed)
    return 0;
  lines.push_back(std::move(first));
  lines.push_back(std::move(second));
  return 1;
}

void ConvertAdesXml(std::string_view text, std::vector<std::string>& lines, AdesCounts& counts)
{
  static constexpr std::string_view kOpen = "<optical>";
  static constexpr std::string_view kClose = "</optical>";
  size_t pos = 0;
  for (;;) {
    const size_t open = text.find(kOpen, pos);
    if (open == std::string_view::npos)
      return;
    const size_t close = text.find(kClose, open + kOpen.size());
    if (close == std::string_view::npos)
      return;
    const std::string_view content = text.substr(open + kOpen.size(), close - open - kOpen.size());

    // Each element's value runs to the first "</tag>" after its opening tag.
    // The closing tags are indexed once, so that opening tags never closed
    // cost no search through the rest of the block each.
    std::unordered_map<std::string_view, ClosingTags> closings;
    size_t nameEnd = 0;  // the first ">" after the latest "</" (one search for a run of "</" without one)
    for (size_t lt = content.find("</"); lt != std::string_view::npos; lt = content.find("</", lt + 2)) {
      if (nameEnd < lt + 2)
        nameEnd = content.find('>', lt + 2);
      if (nameEnd == std::string_view::npos)
        break;
      closings[content.substr(lt + 2, nameEnd - lt - 2)].at.push_back(lt);
    }

    AdesFields fields;
    size_t at = 0;
    for (;;) {
      const size_t lt = content.find('<', at);
      if (lt == std::string_view::npos)
        break;
      const size_t gt = content.find('>', lt);
      if (gt == std::string_view::npos)
        break;
      const std::string_view tag = TrimSpace(content.substr(lt + 1, gt - lt - 1));
      at = gt + 1;
      // Closing and empty-element tags, attributes, comments and declarations.
      if (tag.empty() || tag.find('/') != std::string_view::npos || tag.find_first_of(" \t\r\n") != std::string_view::npos ||
          tag.front() == '!')
        continue;
      const auto found = closings.find(tag);
      if (found == closings.end())
        continue;
      const size_t end = found->second.FirstFrom(at);
      if (end == std::string_view::npos)
        continue;
      fields[std::string(tag)] = std::string(TrimSpace(content.substr(at, end - at)));
      at = end + tag.size() + 3;
    }
    if (ConvertAdesToMpcLines(fields, lines))
      ++counts.converted;
    else
      ++counts.skipped;
    pos = close + kClose.size();
  }
}

void ConvertAdesPsvLine(std::string_view line, AdesPsvHeader& header, std::vector<std::string>& lines,
                        AdesCounts& counts)
{
  std::vector<std::string_view> pieces;
  for (size_t start = 0;;) {
    const size_t bar = line.find('|', start);
    pieces.push_back(TrimSpace(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start)));
    if (bar == std::string_view::npos)
      break;
    start = bar + 1;
  }
  if (line.find("obsTime") != std::string_view::npos) {
    header.names.assign(pieces.begin(), pieces.end());
    header.fields.clear();
    for (const std::string& name : header.names)
      header.fields.emplace(name, std::string());
    return;
  }
  if (header.names.empty())
    return;
  // A column this line lacks reads as empty, as an absent field does; of two
  // columns of one name the later wins.
  for (auto& field : header.fields)
    field.second.clear();
  const size_t n = std::min(header.names.size(), pieces.size());
  for (size_t k = 0; k < n; ++k)
    header.fields.find(header.names[k])->second.assign(pieces[k]);
  if (ConvertAdesToMpcLines(header.fields, lines))
    ++counts.converted;
  else
    ++counts.skipped;
}
