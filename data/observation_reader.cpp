#include "data/observation_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/jpl_eph.h"
#include "astro/observatory.h"
#include "astro/time_scales.h"
#include "data/ades_conversion.h"
#include "data/station_table.h"
#include "data/text_columns.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/text_util.h"
#include "platform/fixed_field.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

int g_nObsReadQuiet = 0;

namespace {

// TT of the observation whose Sun position the last read could not have (0: none).
double g_dSunFailureJdTt = 0;

constexpr const char* kMsgCaption = "Tessarune";
constexpr const char* kMsgUnreadable = "観測ファイルを読み込めませんでした。";
constexpr const char* kMsgNoObservations = "観測ファイルから観測データを読み取れませんでした。";
constexpr const char* kMsgTempFile = "観測ファイルの変換用一時ファイルを作成できませんでした。";
constexpr const char* kMsgSkipped =
    "観測 %d 件を読み込みます。\r\n(位置情報を持たないADES観測など、対応していない %d 件は読み飛ばしました)";

// Lines of the conversion file are read in pieces of at most 298 characters.
constexpr int kLineBufferChars = 299;

constexpr double kKmPerAu = kAstronomicalUnitKm;

void ShowMessage(const std::string& text)
{
  Ui().ShowMessage(kMsgCaption, text, MsgIcon::Warning, MsgButtons::Ok);
}

void ShowUnlessQuiet(const char* text)
{
  if (g_nObsReadQuiet == 0)
    ShowMessage(text);
}

char Col(std::string_view line, int col)
{
  return static_cast<size_t>(col) <= line.size() ? line[static_cast<size_t>(col - 1)] : '\0';
}

// An observation first line as the temporary file is read: at least 80
// characters (a line feed counted), column 20 blank, column 26 '.', column 45 a sign.
bool IsObservationLine(std::string_view line)
{
  return line.size() >= 80 && Col(line, 20) == ' ' && Col(line, 26) == '.' &&
         (Col(line, 45) == '+' || Col(line, 45) == '-');
}

// A line worth keeping from the input: a first line, or a roving or satellite
// second line, of at least 80 characters.
bool IsKeptLine(std::string_view line)
{
  if (line.size() < 80 || Col(line, 20) != ' ' || Col(line, 26) != '.')
    return false;
  const char type = Col(line, 15);
  return type == 's' || type == 'v' || Col(line, 45) == '+' || Col(line, 45) == '-';
}

// A line holding '|' is PSV, except a single '|' in column 14 (a note of an
// 80-column line).
bool IsPsvLine(std::string_view line)
{
  const size_t bar = line.find('|');
  if (bar == std::string_view::npos)
    return false;
  return !(bar == 13 && line.find('|', bar + 1) == std::string_view::npos);
}

size_t CountOccurrences(std::string_view text, std::string_view what)
{
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size()))
    ++n;
  return n;
}

// The file's text as columns. False when an 8-bit file yields no characters.
bool DecodeObservationText(std::string_view bytes, std::string& text)
{
  TextEncoding encoding = TextEncoding::Utf8;
  const std::string utf8 = DecodeColumnFile(bytes, &encoding);
  if (utf8.empty() && encoding != TextEncoding::Utf16Le)
    return false;
  text = ToColumnText(utf8);
  return true;
}

// The conversion file: a file of this process's own in the temporary folder,
// removed when the call ends, so that no other process can change it between
// its writing and its two readings.
class ConversionFile {
public:
  ~ConversionFile()
  {
    if (!m_path.empty())
      unlink(m_path.c_str());
  }

  // Creates the file and writes every line followed by a line feed; false
  // when it cannot be created or any byte of it cannot be written.
  bool Write(const std::vector<std::string>& lines)
  {
    std::string pattern = TempFolder() + "Tessarune_ades_XXXXXX.obs";
    const int fd = mkstemps(pattern.data(), 4);
    if (fd < 0)
      return false;
    m_path = pattern;
    std::string text;
    for (const std::string& line : lines) {
      text += line;
      text += '\n';
    }
    bool ok = true;
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = write(fd, text.data() + done, text.size() - done);
      if (n <= 0) {
        ok = false;
        break;
      }
      done += static_cast<size_t>(n);
    }
    if (close(fd) != 0)
      ok = false;
    return ok;
  }

  const std::string& Path() const { return m_path; }

private:
  std::string m_path;
};

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// The normalised lines of the decoded text (steps of the reading before the
// conversion file is written).
struct NormalisedLines {
  std::vector<std::string> lines;
  int total = 0;
  int skipped = 0;
};

NormalisedLines NormaliseText(std::string_view text)
{
  NormalisedLines out;
  AdesCounts xml;
  out.skipped = static_cast<int>(CountOccurrences(text, "<radar>") + CountOccurrences(text, "<occultation>"));
  ConvertAdesXml(text, out.lines, xml);

  AdesCounts psv;
  AdesPsvHeader header;
  int mpcCount = 0;
  ForEachLine(text, [&](std::string_view line) {
    if (line.empty() || line.front() == '!' || line.front() == '#')
      return;
    if (IsPsvLine(line)) {
      ConvertAdesPsvLine(line, header, out.lines, psv);
    } else if (IsKeptLine(line)) {
      out.lines.emplace_back(line);
      if (Col(line, 15) != 's' && Col(line, 15) != 'v')
        ++mpcCount;
    }
  });
  out.total = mpcCount + psv.converted + xml.converted;
  out.skipped += psv.skipped + xml.skipped;
  return out;
}

void CopyColumns(char* dest, std::string_view line, int firstCol, int lastCol)
{
  const std::string_view field = FixedColumns(line, firstCol, lastCol);
  std::memcpy(dest, field.data(), field.size());
}

// Fills the time, position, magnitude and quality of a first line.
void ReadFirstLine(std::string_view line, ObservationRecord& rec)
{
  rec.m_chQuality = kObsQualityFull;
  CopyColumns(rec.m_szDesig, line, 1, 12);
  rec.m_chObsType = Col(line, 15);
  rec.m_chBand = Col(line, 71);
  CopyColumns(rec.m_szStation, line, 78, 80);

  rec.m_dJdUtc = CalendarToJd(FixedDouble(line, 16, 19), FixedDouble(line, 21, 22), FixedDouble(line, 24, 32));
  rec.m_dJdTt = DeltaT(kDeltaTUtToTt, rec.m_dJdUtc);
  if (Col(line, 30) == ' ' || Col(line, 31) == ' ')
    rec.m_chQuality = kObsQualityReduced;

  // Right ascension in hours, minutes and seconds, or in hours and decimal
  // minutes ("21 33.8"), which is of reduced precision.
  double raHours;
  if (Col(line, 38) == '.') {
    raHours = FixedDouble(line, 33, 34) + FixedDouble(line, 36, 44) / 60.0;
    rec.m_chQuality = kObsQualityReduced;
  } else {
    raHours = FixedDouble(line, 33, 34) + FixedDouble(line, 36, 37) / 60.0 + FixedDouble(line, 39, 44) / 3600.0;
    if (Col(line, 43) == ' ')
      rec.m_chQuality = kObsQualityReduced;
  }
  rec.m_dRa = raHours * 15.0 * kPi / 180.0;

  // Declination in degrees, minutes and seconds; in degrees and decimal
  // minutes ("+12 34.57") of reduced precision; or without seconds.
  double decDeg;
  if (Col(line, 51) == '.') {
    decDeg = FixedDouble(line, 46, 47) + FixedDouble(line, 49, 56) / 60.0;
    rec.m_chQuality = kObsQualityReduced;
  } else if (Col(line, 52) == ' ') {
    decDeg = FixedDouble(line, 46, 47) + FixedDouble(line, 49, 50) / 60.0;
    rec.m_chQuality = kObsQualityNoSeconds;
  } else {
    decDeg = FixedDouble(line, 46, 47) + FixedDouble(line, 49, 50) / 60.0 + FixedDouble(line, 52, 56) / 3600.0;
  }
  rec.m_dDec = decDeg * kPi / 180.0;
  if (Col(line, 45) == '-')
    rec.m_dDec = -rec.m_dDec;

  // Columns 66-70: a magnitude given to hundredths keeps them.
  rec.m_dMag = FixedDouble(line, 66, 70);
}

// Parallax constants of a roving observer's geodetic position, in the stored
// form of the station table.
void RovingConstants(double latDeg, double altMetres, double& rhoCos, double& rhoSin)
{
  const double phi = latDeg * kPi / 180.0;
  const double h = altMetres * 1.57e-7;
  rhoCos = std::cos(phi) * (1.00168 - 0.00168 * std::cos(2 * phi) + h) * kStationRadiusAu * kStationScale;
  rhoSin = std::sin(phi) * (0.99497 - 0.00167 * std::cos(2 * phi) + h) * kStationRadiusAu * kStationScale;
}

// A geocentric coordinate of a satellite second line: sign column, then digits.
double SatelliteCoordinate(std::string_view line, int signCol)
{
  const double v = FixedDouble(line, signCol + 1, signCol + 10);
  return Col(line, signCol) == '-' ? -v : v;
}

void FinishRecord(ObservationRecord& rec)
{
  rec.m_dResRa = 0;
  rec.m_dResDec = 0;
  rec.m_bPicked = 0;
  rec.m_bRejected = rec.m_bByHand = (rec.m_chQuality == kObsQualityNoSeconds || rec.m_chQuality == kObsQualityReduced);
  rec.m_bDuplicate = 0;
  rec.m_dWeight = 1.0;
}

// Builds the records from the conversion file (steps after it was written).
int BuildRecords(const std::string& path, ObservationRecord** ppObs)
{
  const int mode = IsUtf16File(path) == 1 ? 1 : 0;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return CTessaruneLib::kObsReadFailed;

  StationRecord* rawTable = nullptr;
  const int stations = LoadStationTable(&rawTable);
  std::unique_ptr<StationRecord, FreeDeleter> table(rawTable);
  if (stations < 1)
    return CTessaruneLib::kObsNoStationTable;

  std::string line;
  size_t count = 0;
  while (ReadTextLine(mode, line, kLineBufferChars, file.get()))
    if (IsObservationLine(line))
      ++count;
  std::unique_ptr<ObservationRecord, FreeDeleter> obs(
      static_cast<ObservationRecord*>(std::calloc(count + 1, sizeof(ObservationRecord))));
  if (!obs)
    return CTessaruneLib::kObsReadFailed;

  std::rewind(file.get());
  size_t taken = 0;
  std::string second;
  while (taken < count && ReadTextLine(mode, line, kLineBufferChars, file.get())) {
    if (!IsObservationLine(line))
      continue;
    ObservationRecord& rec = obs.get()[taken];
    std::memset(&rec, 0, sizeof rec);
    ReadFirstLine(line, rec);

    double station[3];
    if (FindStation(rec.m_szStation, table.get(), &station[0], &station[1], &station[2]) != 0) {
      rec.m_nUnknownStation = 1;
      rec.m_dLongitude = rec.m_dRhoCos = rec.m_dRhoSin = -1.0;
      rec.m_dSun[0] = rec.m_dSun[1] = rec.m_dSun[2] = -1.0;
      FinishRecord(rec);
      ++taken;
      continue;
    }
    rec.m_nUnknownStation = 0;
    double sun[3];
    if (JplPosition(rec.m_dJdTt, kJplSun, kJplEarth, sun) != 0) {
      g_dSunFailureJdTt = rec.m_dJdTt;
      return CTessaruneLib::kObsNoSunPosition;
    }

    if (rec.m_chObsType == 'V' || rec.m_chObsType == 'S') {
      if (!ReadTextLine(mode, second, kLineBufferChars, file.get()))
        return CTessaruneLib::kObsMissingSecondLine;
      const char expected = rec.m_chObsType == 'V' ? 'v' : 's';
      if (Col(second, 15) != expected) {
        std::memset(&rec, 0, sizeof rec);
        continue;
      }
      if (rec.m_chObsType == 'S') {
        const double scale = Col(second, 33) == '1' ? 1.0 / kKmPerAu : 1.0;
        rec.m_dSun[0] = sun[0] - SatelliteCoordinate(second, 35) * scale;
        rec.m_dSun[1] = sun[1] - SatelliteCoordinate(second, 47) * scale;
        rec.m_dSun[2] = sun[2] - SatelliteCoordinate(second, 59) * scale;
        FinishRecord(rec);
        ++taken;
        continue;
      }
      station[0] = FixedDouble(second, 35, 44);
      RovingConstants(FixedDouble(second, 46, 55), FixedDouble(second, 57, 61), station[1], station[2]);
    }
    rec.m_dLongitude = station[0];
    rec.m_dRhoCos = station[1];
    rec.m_dRhoSin = station[2];
    std::memcpy(rec.m_dSun, sun, sizeof sun);
    ObservatoryPosition(rec.m_dJdUtc, station, rec.m_dSun);
    FinishRecord(rec);
    ++taken;
  }
  obs.get()[taken].m_dJdUtc = -1.0;
  *ppObs = obs.release();
  return static_cast<int>(taken);
}

} // namespace

int IsUtf16File(const std::string& path)
{
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return -1;
  unsigned char mark[2];
  return std::fread(mark, 1, 2, file.get()) == 2 && mark[0] == 0xFF && mark[1] == 0xFE ? 1 : 0;
}

int ReadTextLine(int mode, std::string& buf, int n, std::FILE* file)
{
  buf.clear();
  if (n < 2)
    return 0;
  const size_t limit = static_cast<size_t>(n - 1);
  if (mode == 1) {
    std::u16string units;
    while (units.size() < limit) {
      const int lo = std::getc(file);
      const int hi = lo == EOF ? EOF : std::getc(file);
      if (hi == EOF)
        break;
      const char16_t u = static_cast<char16_t>(lo | (hi << 8));
      if (u == 0xFEFF && units.empty() && std::ftell(file) == 2)
        continue;
      units += u;
      if (u == u'\n')
        break;
    }
    if (units.empty())
      return 0;
    buf = Utf16LeToUtf8Lenient(std::string_view(reinterpret_cast<const char*>(units.data()), units.size() * 2));
  } else {
    // Read into the caller's string, whose room stays from line to line, and
    // converted only when it holds more than ASCII.
    buf.resize(limit + 1);
    if (!std::fgets(buf.data(), static_cast<int>(buf.size()), file)) {
      buf.clear();
      return 0;
    }
    buf.resize(std::strlen(buf.c_str()));
    if (!std::all_of(buf.begin(), buf.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
      buf = Cp932ToUtf8Lenient(buf);
  }
  if (buf.size() >= 2 && buf[buf.size() - 2] == '\r' && buf.back() == '\n')
    buf.erase(buf.size() - 2, 1);
  return 1;
}

namespace CTessaruneLib {

int GetMpcObs(const std::string& szObsFile, ObservationRecord** ppObs)
{
  // No lock between the programs: the conversion file is this call's own and
  // the observation file is read whole at once, so there is nothing to guard,
  // and a lock held across a message would freeze every other reader.
  std::string bytes;
  if (!ReadWholeFile(szObsFile, bytes) || bytes.empty()) {
    ShowUnlessQuiet(kMsgUnreadable);
    return kObsReadFailed;
  }
  std::string text;
  if (!DecodeObservationText(bytes, text)) {
    ShowUnlessQuiet(kMsgUnreadable);
    return kObsReadFailed;
  }

  const NormalisedLines normalised = NormaliseText(text);
  if (normalised.total == 0) {
    ShowUnlessQuiet(kMsgNoObservations);
    return kObsReadFailed;
  }

  ConversionFile conversion;
  if (!conversion.Write(normalised.lines)) {
    ShowMessage(kMsgTempFile);
    return kObsReadFailed;
  }
  if (normalised.skipped > 0)
    ShowMessage(FormatC(kMsgSkipped, normalised.total, normalised.skipped));

  g_dSunFailureJdTt = 0;
  return BuildRecords(conversion.Path(), ppObs);
}

std::string SunPositionRefusal()
{
  if (!(g_dJplEnd > g_dJplStart) || g_dSunFailureJdTt == 0)
    return "DE406惑星データファイルがありません。\r[オプション]→[環境設定]でファイルの場所を確認してください。";
  auto date = [](double jd, const char* dayFormat) {
    double y, m, d;
    JdToCalendar(jd, y, m, d);
    return FormatC("%d/%d/", static_cast<int>(y), static_cast<int>(m)) + FormatC(dayFormat, d);
  };
  const double jd = g_dSunFailureJdTt;
  return "惑星暦ファイルの範囲(" + date(g_dJplStart, "%.0f") + "～" + date(g_dJplEnd, "%.0f") + ")の" +
         (jd < g_dJplStart ? "前" : "後") + "の観測があるため、読み込めません。\r範囲外の最初の観測: " +
         date(jd, "%.5f") + " (TT)\r観測の期間を含む惑星暦ファイルを[オプション]→[環境設定]で指定してください。";
}

} // namespace CTessaruneLib
