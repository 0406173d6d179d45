#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "astro/jpl_eph.h"
#include "data/observation_reader.h"
#include "platform/app_services.h"
#include "platform/encoding.h"
#include "platform/named_lock.h"
#include "platform/ui_services.h"
#include "tests/data/test_observation_support.h"

namespace fs = std::filesystem;

namespace {

constexpr double kDegToRad = M_PI / 180.0;
constexpr double kArcsecToRad = kDegToRad / 3600.0;
constexpr double kAuKm = 149597870.7;
constexpr double kEarthRadiusAu = 4.2635212454e-5;

const char* const kMsgUnreadable = "観測ファイルを読み込めませんでした。";
const char* const kMsgNoObservations = "観測ファイルから観測データを読み取れませんでした。";
const char* const kMsgTempFile = "観測ファイルの変換用一時ファイルを作成できませんでした。";

// The observation array of one call, released with free().
struct Observations {
  ~Observations() { std::free(obs); }
  ObservationRecord* obs = nullptr;
  int count = 0;
  const ObservationRecord& operator[](int i) const { return obs[i]; }
};

double Norm(const double v[3])
{
  return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Lines of a file of real observations whose years fall inside the planetary
// file's span (1960-2059), pairs of roving and satellite lines kept together.
std::string LinesFrom1960(const std::string& text)
{
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    const int year = std::atoi(line.substr(15, 4).c_str());
    if (line.size() >= 19 && year >= 1960 && year < 2060)
      out += line + "\n";
  }
  return out;
}

// Records, with every message, whether another program could take the lock
// that readers of observation files once shared: a message shown while it is
// held would freeze every other reader until the user answers.
class LockProbingUi : public HeadlessUiServices {
public:
  MsgAnswer ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                        MsgButtons buttons) override
  {
    NamedLock probe;
    m_lockFree.push_back(probe.Acquire("Tessarune_AdesTempFile", 0));
    return HeadlessUiServices::ShowMessage(caption, text, icon, buttons);
  }
  std::vector<bool> m_lockFree;
};

class ObservationReaderTest : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    s_suiteDir = MakeTempDir("obs_suite");
    const std::string stations = StationLinesFromObsCodesPage();
    s_stationsFile = stations.empty() ? "" : WriteTestFile(s_suiteDir, "stations.txt", stations);
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    s_haveEphemeris = !de.empty() && TestDataFileExists(de);
    s_oldDe406 = TheApp().m_szDe406File;
    s_oldDe441 = TheApp().m_szDe441File;
    TheApp().m_szDe406File = de;
    TheApp().m_szDe441File = s_suiteDir + "no-de441.bin";
    delete g_pJplEph;
    g_pJplEph = new CJplEph(TheApp().Paths());
  }

  static void TearDownTestSuite()
  {
    delete g_pJplEph;
    g_pJplEph = nullptr;
    TheApp().m_szDe406File = s_oldDe406;
    TheApp().m_szDe441File = s_oldDe441;
    fs::remove_all(s_suiteDir);
  }

  void SetUp() override
  {
    if (s_stationsFile.empty() || !s_haveEphemeris || !g_pJplEph->IsOpen())
      GTEST_SKIP() << "reference data not found: obscodes/ObsCodes.html and de/lnxp1960p2060.405";
    m_dir = MakeTempDir("obs");
    m_tmp = m_dir + "tmp/";
    fs::create_directory(m_tmp);
    const char* old = std::getenv("TMPDIR");
    m_oldTmp = old ? old : "";
    m_hadTmp = old != nullptr;
    setenv("TMPDIR", m_tmp.c_str(), 1);
    m_stations = std::make_unique<ScopedStationsFile>(s_stationsFile);
  }

  void TearDown() override
  {
    if (m_dir.empty())
      return;
    if (m_hadTmp)
      setenv("TMPDIR", m_oldTmp.c_str(), 1);
    else
      unsetenv("TMPDIR");
    m_stations.reset();
    fs::remove_all(m_dir);
  }

  int Read(const std::string& path, Observations& out)
  {
    out.count = CTessaruneLib::GetMpcObs(path, &out.obs);
    return out.count;
  }

  int ReadText(std::string_view bytes, Observations& out, const std::string& name = "obs.txt")
  {
    return Read(WriteTestFile(m_dir, name, bytes), out);
  }

  std::string RealFile(const std::string& relative)
  {
    const std::string path = TestDataPath(relative);
    return path.empty() ? std::string() : ReadTestFile(path);
  }

  std::vector<std::string> MessageTexts() const
  {
    std::vector<std::string> texts;
    for (const auto& m : m_ui.m_messages)
      texts.push_back(m.text);
    return texts;
  }

  static std::string s_suiteDir;
  static std::string s_stationsFile;
  static bool s_haveEphemeris;
  static std::string s_oldDe406, s_oldDe441;

  LockProbingUi m_ui;
  ScopedUi m_scopedUi{m_ui};
  std::unique_ptr<ScopedStationsFile> m_stations;
  std::string m_dir, m_tmp, m_oldTmp;
  bool m_hadTmp = false;
};

std::string ObservationReaderTest::s_suiteDir;
std::string ObservationReaderTest::s_stationsFile;
bool ObservationReaderTest::s_haveEphemeris = false;
std::string ObservationReaderTest::s_oldDe406;
std::string ObservationReaderTest::s_oldDe441;

// Real lines of every note type and precision. Their stations are left out of
// the station file of this test, so that lines from before the planetary
// file's span read without a position of the Sun.
TEST_F(ObservationReaderTest, ReadsEachLineTypeAndPrecision)
{
  struct Case {
    const char* name;
    const char* line;
    double jdUtc;
    int raH;
    double raM, raS;
    char decSign;
    int decD;
    double decM, decS;
    char quality;
    double mag;
    char band;
  };
  static const Case kCases[] = {
      {"A, day to 4 decimals",
       "00433         A1893 10 29.4132  06 08 59.32 +53 39 04.2                 HA053802", 2412765.9132, 6, 8,
       59.32, '+', 53, 39, 4.2, 'Y', 0, ' '},
      {"B, full precision with magnitude",
       "00433        KB2023 07 18.97210321 59 17.392-09 36 24.35         12.2 GX~6wvMB72", 2460144.472103, 21, 59,
       17.392, '-', 9, 36, 24.35, ' ', 12.2, 'G'},
      {"M, right ascension in decimal minutes",
       "00433         M1898 09 12.78761 20 48.4     -05 58 33.1                pAN150058", 2414545.28761, 20, 48.4, 0,
       '-', 5, 58, 33.1, 'Y', 0, ' '},
      {"N", "00433         N1900 10 22.70108 02 38 57.55 +52 15 05.9                qAN160135", 2415315.20108, 2,
       38, 57.55, '+', 52, 15, 5.9, ' ', 0, ' '},
      {"T, magnitude to 2 decimals",
       "00433         T1988 08 07.22134501 11 37.361+21 20 55.19         12.77V CMC05950", 2447380.721345, 1, 11,
       37.361, '+', 21, 20, 55.19, ' ', 12.77, 'V'},
      {"X, whole seconds of declination",
       "00433I98P00A* X1898 08 14.9672  21 31 50.8  -05 57 43            11.0   AN147548", 2414516.4672, 21, 31, 50.8,
       '-', 5, 57, 43, 'Y', 11.0, ' '},
      {"n, declination between 0 and -1",
       "00433         n1931 01 28.03019 10 27 32.73 -00 48 17.2                qJO014016", 2426369.53019, 10, 27,
       32.73, '-', 0, 48, 17.2, ' ', 0, ' '},
      {"blank note type",
       "00433          1898 09 20.88897 20 42 53.05 -05 59 42.4                m24429000", 2414553.38897, 20, 42,
       53.05, '-', 5, 59, 42.4, ' ', 0, ' '},
      {"declination without seconds",
       "00433         A1898 08 13.89338 21 33.8     -05 58               10.0   AN147020", 2414515.39338, 21, 33.8, 0,
       '-', 5, 58, 0, 'X', 10.0, ' '},
      {"declination in decimal minutes",
       "01566         A1952 06 23.11944 01 29 38    -16 05.3                    M0937079", 2434186.61944, 1, 29, 38,
       '-', 16, 5.3, 0, 'Y', 0, ' '},
      {"declination in decimal minutes to 2 decimals",
       "01566         A1952 06 23.11944 01 29 38    +12 34.57                   M0937079", 2434186.61944, 1, 29, 38,
       '+', 12, 34.57, 0, 'Y', 0, ' '},
  };
  std::string text;
  for (const Case& c : kCases)
    text += std::string(c.line) + "\r\n";
  ScopedStationsFile stations(WriteTestFile(m_dir, "stations.txt", "G96 249.211280.845107+0.533611Mt. Lemmon\n"));
  Observations o;
  ASSERT_EQ(ReadText(text, o), static_cast<int>(std::size(kCases)));
  EXPECT_TRUE(m_ui.m_messages.empty());
  for (int i = 0; i < o.count; ++i) {
    const Case& c = kCases[i];
    const ObservationRecord& r = o[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::string(r.m_szDesig), std::string(c.line, 12));
    EXPECT_EQ(r.m_chObsType, c.line[14]);
    EXPECT_NEAR(r.m_dJdUtc, c.jdUtc, 1e-8);  // 1 ms
    EXPECT_NEAR((r.m_dJdTt - r.m_dJdUtc) * 86400, 0.0, 80.0);  // seconds: TT - UT of these years
    const double ra = (c.raH + c.raM / 60 + c.raS / 3600) * 15 * kDegToRad;
    const double dec = (c.decSign == '-' ? -1 : 1) * (c.decD + c.decM / 60 + c.decS / 3600) * kDegToRad;
    EXPECT_NEAR(r.m_dRa / kArcsecToRad, ra / kArcsecToRad, 1e-6);  // arcseconds
    EXPECT_NEAR(r.m_dDec / kArcsecToRad, dec / kArcsecToRad, 1e-6);
    EXPECT_EQ(r.m_chQuality, c.quality);
    const bool reduced = c.quality != ' ';
    EXPECT_EQ(r.m_bRejected, reduced);
    EXPECT_EQ(r.m_bByHand, reduced);
    EXPECT_EQ(r.m_dMag, c.mag);
    EXPECT_EQ(r.m_chBand, c.band);
    EXPECT_EQ(std::string(r.m_szStation), std::string(c.line + 77, 3));
    EXPECT_EQ(r.m_nUnknownStation, 1);
    EXPECT_EQ(r.m_dLongitude, -1.0);
    EXPECT_EQ(r.m_dRhoCos, -1.0);
    EXPECT_EQ(r.m_dSun[2], -1.0);
    EXPECT_EQ(r.m_dWeight, 1.0);
    EXPECT_EQ(r.m_bPicked + r.m_bDuplicate + r.m_bStationRejected, 0);
  }
  EXPECT_EQ(o[o.count].m_dJdUtc, -1.0);
  EXPECT_EQ(o[o.count].m_dRa, 0.0);
}

// The observer-to-Sun vectors of a fixed station, a satellite and a roving observer.
TEST_F(ObservationReaderTest, PlacesTheObserver)
{
  const std::string text =
      "     K16S99K 1C2022 12 25.38496508 32 36.283+17 10 35.94         21.98GV     G96\n"
      "00433         S2011 10 23.34124006 53 03.495+46 43 06.69               X~7lwF275\n"
      "00433         s2011 10 23.3412401 + 4353.0030 -  481.6100 + 1382.3400   ~7lwF275\n"
      "00433         V2023 08 26.19193220 55 41.10 -08 18 29.6          15.1 VV~7811270\n"
      "00433         v2023 08 26.1919321 237.76096  +38.11385      0           ~7811270\n"
      "00433         C2023 08 26.19193220 55 41.10 -08 18 29.6          15.1 VV~78112ZZ\n";
  Observations o;
  ASSERT_EQ(ReadText(text, o), 4);

  double sun[3];
  // G96: a pure rotation of the station's offset, which points north.
  ASSERT_EQ(JplPosition(o[0].m_dJdTt, kJplSun, kJplEarth, sun), 0);
  double offset[3] = {o[0].m_dSun[0] - sun[0], o[0].m_dSun[1] - sun[1], o[0].m_dSun[2] - sun[2]};
  EXPECT_NEAR(Norm(offset) * kAuKm, std::hypot(0.845107, 0.533611) * kEarthRadiusAu * kAuKm, 1e-6);  // km
  EXPECT_NEAR(offset[2] * kAuKm, -0.533611 * kEarthRadiusAu * kAuKm, 50.0);  // km: precession since J2000
  EXPECT_EQ(o[0].m_dLongitude, 249.21128);
  EXPECT_EQ(o[0].m_nUnknownStation, 0);

  // Satellite: the geocentric position of its second line, in km.
  ASSERT_EQ(JplPosition(o[1].m_dJdTt, kJplSun, kJplEarth, sun), 0);
  const double satKm[3] = {4353.0030, -481.6100, 1382.3400};
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR((sun[k] - o[1].m_dSun[k]) * kAuKm, satKm[k], 1e-6);
  EXPECT_EQ(o[1].m_dLongitude, 0.0);
  EXPECT_EQ(o[1].m_chObsType, 'S');

  // Roving observer at sea level: the constants of its geodetic latitude
  // (WGS84 flattening) to within 100 m, and an offset of that length.
  const double phi = 38.11385 * kDegToRad, f = 1 / 298.257223563;
  const double cc = 1 / std::sqrt(std::cos(phi) * std::cos(phi) + (1 - f) * (1 - f) * std::sin(phi) * std::sin(phi));
  const double rhoCos = cc * std::cos(phi), rhoSin = (1 - f) * (1 - f) * cc * std::sin(phi);
  const double storedPerRadius = -kEarthRadiusAu * 1e7;
  EXPECT_EQ(o[2].m_dLongitude, 237.76096);
  EXPECT_NEAR(o[2].m_dRhoCos / storedPerRadius * 6378.137, rhoCos * 6378.137, 0.1);  // km
  EXPECT_NEAR(o[2].m_dRhoSin / storedPerRadius * 6378.137, rhoSin * 6378.137, 0.1);
  ASSERT_EQ(JplPosition(o[2].m_dJdTt, kJplSun, kJplEarth, sun), 0);
  double rov[3] = {o[2].m_dSun[0] - sun[0], o[2].m_dSun[1] - sun[1], o[2].m_dSun[2] - sun[2]};
  EXPECT_NEAR(Norm(rov) * kAuKm, std::hypot(rhoCos, rhoSin) * 6378.137, 0.1);

  // An unknown code still gives a record.
  EXPECT_EQ(o[3].m_nUnknownStation, 1);
  EXPECT_EQ(o[3].m_dSun[0], -1.0);
  EXPECT_EQ(o[3].m_dRhoSin, -1.0);
}

TEST_F(ObservationReaderTest, ReadsTheErosHistory)
{
  const std::string eros = RealFile("obs/mpc80/neosjl_433.txt");
  if (eros.empty())
    GTEST_SKIP() << "reference data not found: obs/mpc80/neosjl_433.txt";
  Observations o;
  // 14,493 lines from 1960 on: 12,255 first lines with 1,790 satellite and 448 roving pairs.
  ASSERT_EQ(ReadText(LinesFrom1960(eros), o), 12255);
  int satellites = 0, roving = 0, reduced = 0;
  for (int i = 0; i < o.count; ++i) {
    const ObservationRecord& r = o[i];
    ASSERT_EQ(r.m_nUnknownStation, 0) << i;
    const double dist = Norm(r.m_dSun);
    ASSERT_TRUE(dist > 0.98 && dist < 1.02) << i;  // the Earth's distance from the Sun
    satellites += r.m_chObsType == 'S';
    roving += r.m_chObsType == 'V';
    reduced += r.m_bRejected;
  }
  EXPECT_EQ(satellites, 1790);
  EXPECT_EQ(roving, 448);
  EXPECT_GT(reduced, 0);
  EXPECT_EQ(o[o.count].m_dJdUtc, -1.0);

  // The whole history reaches back before the planetary file.
  Observations all;
  EXPECT_EQ(ReadText(eros, all, "eros.txt"), CTessaruneLib::kObsNoSunPosition);
  EXPECT_EQ(all.obs, nullptr);
}

TEST_F(ObservationReaderTest, ReadsHubbleSatelliteLines)
{
  const std::string text = RealFile("obs/mpc80/orbitfinder_1I.txt");
  if (text.empty())
    GTEST_SKIP() << "reference data not found: obs/mpc80/orbitfinder_1I.txt";
  Observations o;
  ASSERT_EQ(ReadText(text, o), 215);
  int hubble = 0;
  double sun[3];
  for (int i = 0; i < o.count; ++i) {
    if (o[i].m_chObsType != 'S')
      continue;
    ++hubble;
    ASSERT_EQ(JplPosition(o[i].m_dJdTt, kJplSun, kJplEarth, sun), 0);
    const double d[3] = {sun[0] - o[i].m_dSun[0], sun[1] - o[i].m_dSun[1], sun[2] - o[i].m_dSun[2]};
    const double km = Norm(d) * kAuKm;
    EXPECT_TRUE(km > 6700 && km < 7100) << km;  // the telescope's orbit
  }
  EXPECT_EQ(hubble, 30);
}

// The same observations as 80-column lines, ADES PSV and ADES XML.
TEST_F(ObservationReaderTest, AdesSamplesMatchTheir80ColumnTwins)
{
  const std::string base = "obs/neocp_like/digest2_sample";
  const std::string obs = RealFile(base + ".obs"), psv = RealFile(base + ".psv"), xml = RealFile(base + ".xml");
  if (obs.empty() || psv.empty() || xml.empty())
    GTEST_SKIP() << "reference data not found: " << base;
  Observations a, b, c;
  ASSERT_EQ(ReadText(obs, a, "a.obs"), 3);
  ASSERT_EQ(ReadText(psv, b, "b.psv"), 3);
  ASSERT_EQ(ReadText(xml, c, "c.xml"), 3);
  for (const Observations* other : {&b, &c}) {
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      const ObservationRecord &x = a[i], &y = (*other)[i];
      EXPECT_EQ(std::string(x.m_szDesig), std::string(y.m_szDesig));
      EXPECT_EQ(std::string(x.m_szStation), std::string(y.m_szStation));
      EXPECT_NEAR((x.m_dJdUtc - y.m_dJdUtc) * 86400, 0.0, 0.2);  // seconds: the XML times differ by 8 ms
      EXPECT_NEAR((x.m_dRa - y.m_dRa) / kArcsecToRad, 0.0, 0.02);
      EXPECT_NEAR((x.m_dDec - y.m_dDec) / kArcsecToRad, 0.0, 0.01);
      EXPECT_EQ(x.m_chBand, y.m_chBand);
      EXPECT_NEAR(x.m_dMag, y.m_dMag, 0.05 + 1e-9);  // the ADES magnitude rounded to the line's width
      EXPECT_EQ(y.m_chQuality, ' ');
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR((x.m_dSun[k] - y.m_dSun[k]) * kAuKm, 0.0, 5.0);  // km in 0.2 s
    }
  }
  EXPECT_TRUE(m_ui.m_messages.empty());
}

TEST_F(ObservationReaderTest, ApolloHistoryInPsvMatchesTheLines)
{
  const std::string obs = RealFile("obs/mpc80/orbfit_1862.obs"), psv = RealFile("obs/ades/orbfit_1862.psv");
  if (obs.empty() || psv.empty())
    GTEST_SKIP() << "reference data not found: 1862 Apollo";
  const std::regex kTime("\\|\\s*(\\d{4})-\\d\\d-\\d\\dT");
  std::string psv1960;
  std::istringstream in(psv);
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (line.find("obsTime") != std::string::npos ||
        (std::regex_search(line, m, kTime) && std::atoi(m[1].str().c_str()) >= 1960))
      psv1960 += line + "\n";
  }
  Observations a, b;
  ASSERT_GT(ReadText(LinesFrom1960(obs), a, "a.obs"), 0);
  ASSERT_GT(ReadText(psv1960, b, "b.psv"), 0);
  // Match each PSV observation to the line of the same station and time.
  int matched = 0;
  for (int j = 0; j < b.count; ++j) {
    for (int i = 0; i < a.count; ++i) {
      if (std::string(a[i].m_szStation) != b[j].m_szStation || std::fabs(a[i].m_dJdUtc - b[j].m_dJdUtc) > 2e-6)
        continue;
      ++matched;
      EXPECT_NEAR((a[i].m_dRa - b[j].m_dRa) / kArcsecToRad, 0.0, 0.08) << j;
      EXPECT_NEAR((a[i].m_dDec - b[j].m_dDec) / kArcsecToRad, 0.0, 0.06) << j;
      break;
    }
  }
  EXPECT_GE(matched, b.count * 95 / 100);
}

TEST_F(ObservationReaderTest, DecodesEveryEncoding)
{
  const std::string plain =
      "     K16S99K 1C2022 12 25.38496508 32 36.283+17 10 35.94         21.98GV     G96\n"
      "     K16S99K 1C2022 12 25.39527308 32 35.635+17 10 37.27         21.72GV     G96\n";
  const std::string japanese = "観測者: 山田太郎 (ｶﾅ)\n" + plain;
  std::string cp932, utf16, utf16be;
  ASSERT_TRUE(Utf8ToCp932(japanese, cp932));
  ASSERT_TRUE(Utf8ToUtf16Le(japanese, utf16, true));
  for (size_t i = 2; i + 1 < utf16.size(); i += 2)
    utf16be += std::string{utf16[i + 1], utf16[i]};
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case kCases[] = {
      {"ASCII", plain},
      {"UTF-8 with its mark", std::string(kUtf8Bom) + japanese},
      {"UTF-8", japanese},
      {"code page 932", cp932},
      {"UTF-16LE with its mark", utf16},
      {"code page 932 with a byte it does not know", cp932 + "\x80\xff\n"},
  };
  Observations ref;
  ASSERT_EQ(ReadText(plain, ref, "ref.txt"), 2);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Observations o;
    ASSERT_EQ(ReadText(c.bytes, o), 2);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(o[i].m_dJdUtc, ref[i].m_dJdUtc);
      EXPECT_EQ(o[i].m_dRa, ref[i].m_dRa);
      EXPECT_EQ(o[i].m_dDec, ref[i].m_dDec);
      EXPECT_EQ(o[i].m_dSun[0], ref[i].m_dSun[0]);
    }
  }
  // UTF-16 is recognised only little-endian with its mark.
  Observations be;
  EXPECT_EQ(ReadText("\xFE\xFF" + utf16be, be), CTessaruneLib::kObsReadFailed);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{kMsgNoObservations});
}

TEST_F(ObservationReaderTest, ResultCodesAndMessages)
{
  ObservationRecord* const sentinel = reinterpret_cast<ObservationRecord*>(0x10);
  const auto read = [&](const std::string& path) {
    ObservationRecord* p = sentinel;
    const int r = CTessaruneLib::GetMpcObs(path, &p);
    EXPECT_EQ(p, sentinel);  // left alone on failure
    return r;
  };
  const std::string line = "     K16S99K  C2022 12 25.38496508 32 36.283+17 10 35.94         22.0 G      G96";

  struct Case {
    const char* name;
    std::string path;
    int result;
    const char* message;  // nullptr: none
  };
  const Case kCases[] = {
      {"missing file", m_dir + "none.obs", -1, kMsgUnreadable},
      {"empty file", WriteTestFile(m_dir, "empty.obs", ""), -1, kMsgUnreadable},
      {"nothing after the UTF-8 mark", WriteTestFile(m_dir, "bom.obs", kUtf8Bom), -1, kMsgUnreadable},
      {"no observation", WriteTestFile(m_dir, "text.obs", "COD G96\n" + line.substr(0, 79) + "\n"), -1,
       kMsgNoObservations},
      {"roving line last", WriteTestFile(m_dir, "v.obs", line + "\n" + line.substr(0, 14) + "V" + line.substr(15) + "\n"),
       -4, nullptr},
      {"satellite line last", WriteTestFile(m_dir, "s.obs", line.substr(0, 14) + "S" + line.substr(15)), -4, nullptr},
      {"before the planetary file",
       WriteTestFile(m_dir, "old.obs", "00433         A1893 10 29.4132  06 08 59.32 +53 39 04.2                 HA053802\n"),
       -3, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    m_ui.m_messages.clear();
    m_ui.m_lockFree.clear();
    EXPECT_EQ(read(c.path), c.result);
    EXPECT_EQ(MessageTexts(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(m_ui.m_lockFree, std::vector<bool>(m_ui.m_messages.size(), true));
  }

  // The unreadable-file messages are held back while the NEOCP scan reads quietly.
  m_ui.m_messages.clear();
  ++g_nObsReadQuiet;
  EXPECT_EQ(read(kCases[0].path), -1);
  EXPECT_EQ(read(kCases[3].path), -1);
  --g_nObsReadQuiet;
  EXPECT_TRUE(m_ui.m_messages.empty());

  const std::string good = WriteTestFile(m_dir, "good.obs", line + "\n");
  {
    ScopedStationsFile none(m_dir + "no-stations.txt");
    EXPECT_EQ(read(good), -2);
  }
  {
    ScopedStationsFile empty(WriteTestFile(m_dir, "empty-stations.txt", ""));
    EXPECT_EQ(read(good), -2);
  }
  // No planetary file: the process's one reader is replaced, then restored.
  const std::string de406 = TheApp().m_szDe406File;
  delete g_pJplEph;
  TheApp().m_szDe406File = m_dir + "no-de406";
  g_pJplEph = new CJplEph(TheApp().Paths());
  EXPECT_EQ(read(good), -3);
  delete g_pJplEph;
  TheApp().m_szDe406File = de406;
  g_pJplEph = new CJplEph(TheApp().Paths());
  ASSERT_TRUE(g_pJplEph->IsOpen());
}

// The conversion file: one of this call's own, removed afterwards; one that
// cannot be written whole is a failure, even in a quiet run.
TEST_F(ObservationReaderTest, ConversionFileFailuresAreReported)
{
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "     K16S99K  C2022 12 25.38496508 32 36.283+17 10 35.94         22.0 G      G96\n";
  const std::string path = WriteTestFile(m_dir, "many.obs", text);
  Observations ok;
  ASSERT_EQ(Read(path, ok), 200);
  for (const auto& entry : fs::directory_iterator(m_tmp))
    EXPECT_EQ(entry.path().extension(), ".lock") << entry.path();

  ++g_nObsReadQuiet;
  // A temporary folder that does not exist.
  setenv("TMPDIR", (m_dir + "gone/").c_str(), 1);
  Observations noFolder;
  EXPECT_EQ(Read(path, noFolder), -1);
  setenv("TMPDIR", m_tmp.c_str(), 1);

  // A file size limit that cuts the write short.
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  Observations shortWrite;
  const int result = Read(path, shortWrite);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  --g_nObsReadQuiet;

  EXPECT_EQ(result, -1);
  EXPECT_EQ(shortWrite.obs, nullptr);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{kMsgTempFile, kMsgTempFile}));
}

TEST_F(ObservationReaderTest, LineSelectionAndOrder)
{
  const std::string a = "     K16S99K  C2022 12 25.38496508 32 36.283+17 10 35.94         22.0 G      G96";
  const std::string b = "     K16S99K  C2022 12 25.39527308 32 35.635+17 10 37.27         21.7 G      G96";
  std::string withBar = a;
  withBar[13] = '|';
  std::string twoBars = withBar;
  twoBars[60] = '|';
  const std::string text =
      "# " + a + "\n" +                          // a comment
      "!" + a + "\n" +                           // a PSV comment
      a.substr(0, 79) + "\r\n" +                 // 79 characters
      withBar + "\r\r\n" +                       // one '|' in column 14: an 80-column line
      twoBars + "\n" +                           // PSV, before any header: ignored
      "trkSub|stn|obsTime|ra|dec\n"
      "P10abcd|G96|2022-12-25T09:00:00Z|128.2|17.1\n" +
      a.substr(0, 14) + "V" + a.substr(15) + "\n" +  // a roving line without its second line
      b + "\n" +                                     // ... dropped with it
      "<ades><optical><trkSub>XMLFIRST</trkSub><stn>G96</stn><obsTime>2022-12-25T08:00Z</obsTime>"
      "<ra>128</ra><dec>17</dec><mode>VID</mode></optical>\n"
      "<optical><stn>G96</stn><obsTime>2022-12-25T08:01Z</obsTime><ra>128</ra><dec>17</dec><mode>VID</mode>"
      "<trkSub>VIDEO2</trkSub></optical><radar><stn>253</stn></radar></ades>\n" +
      b + "\n";
  Observations o;
  ASSERT_EQ(ReadText(text, o), 5);
  EXPECT_STREQ(o[0].m_szDesig, "    XMLFIRST");
  EXPECT_EQ(o[0].m_chObsType, 'n');
  EXPECT_STREQ(o[1].m_szDesig, "     VIDEO2 ");
  EXPECT_STREQ(o[2].m_szDesig, "     K16S99K");  // the line with '|' in column 14
  EXPECT_STREQ(o[3].m_szDesig, "     P10abcd");
  EXPECT_NEAR(o[4].m_dJdUtc - o[2].m_dJdUtc, 0.395273 - 0.384965, 1e-9);
  EXPECT_EQ(o[5].m_dJdUtc, -1.0);
  // Seven observations counted (the dropped pair among them), one radar record skipped.
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"観測 7 件を読み込みます。\r\n"
                                                     "(位置情報を持たないADES観測など、対応していない 1 件は読み飛ばしました)"});
}

} // namespace

namespace {

TEST(ObservationTextLines, ReadsPiecesOfEitherEncoding)
{
  const std::string dir = MakeTempDir("lines");
  const std::string text = "abc\r\n" + std::string(10, 'x') + "\n観測\n";
  std::string utf16, cp932;
  ASSERT_TRUE(Utf8ToUtf16Le(text, utf16, true));
  ASSERT_TRUE(Utf8ToCp932(text, cp932));
  const std::string pathUtf16 = WriteTestFile(dir, "u16.txt", utf16);
  const std::string pathCp932 = WriteTestFile(dir, "cp.txt", cp932);
  EXPECT_EQ(IsUtf16File(pathUtf16), 1);
  EXPECT_EQ(IsUtf16File(pathCp932), 0);
  EXPECT_EQ(IsUtf16File(dir + "none.txt"), -1);

  // Lines keep their line feed; a line longer than n - 1 characters comes in pieces.
  const std::vector<std::string> expected = {"abc\n", "xxxxxx", "xxxx\n", "観測\n"};
  for (const auto& [mode, path] : {std::pair{1, pathUtf16}, std::pair{0, pathCp932}}) {
    SCOPED_TRACE(mode);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::string> lines;
    std::string line;
    while (ReadTextLine(mode, line, 7, f))
      lines.push_back(line);
    std::fclose(f);
    EXPECT_EQ(lines, expected);  // the UTF-16 byte-order mark is not part of the first line
  }
  std::filesystem::remove_all(dir);
}

} // namespace
