// The planetary ephemeris reader against JPL's own test points and across the
// header layouts, byte orders and faults it must survive.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "astro/jpl_eph.h"
#include "platform/app_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

// JPL's test points are printed to 13 decimals; a correct reader agrees to that.
constexpr double kTestPointTolAu = 1e-13;

struct TestPoint {
  double jd;
  int target, centre, coordinate;
  double value;
};

std::vector<TestPoint> ReadTestPoints(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line) && line.rfind("EOT", 0) != 0) {
  }
  std::vector<TestPoint> points;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    int de;
    std::string date;
    TestPoint p;
    if (fields >> de >> date >> p.jd >> p.target >> p.centre >> p.coordinate >> p.value) points.push_back(p);
  }
  return points;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

double Distance(const double a[3]) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

// Every DE405 file, whatever its byte order or header variant, reproduces
// JPL's test points that fall inside its span.
TEST(JplEph, De405FilesReproduceJplTestPoints) {
  TSR_REQUIRE_DATA(testpo, "de/testpo.405");
  const std::vector<TestPoint> points = ReadTestPoints(testpo);
  ASSERT_GT(points.size(), 1000u);

  const struct {
    const char* file;
    size_t minPoints;
  } kFiles[] = {
      {"de/lnxp1960p2060.405", 1000}, {"de/lnxp2000p2040.405", 400}, {"de/unxp2000p2040.405", 400},
      {"de/excerpts/unxp0000.405", 4}, {"de/excerpts/unxp0001.405", 4}, {"de/excerpts/unxp0002.405", 2},
      {"de/excerpts/unxp0003.405", 13},
  };
  for (const auto& f : kFiles) {
    SCOPED_TRACE(f.file);
    TSR_REQUIRE_DATA(path, f.file);
    JplReaderScope reader(path);
    ASSERT_TRUE(g_pJplEph->IsOpen());
    EXPECT_EQ(g_nJplDeNumber, 405);
    size_t checked = 0;
    for (const TestPoint& p : points) {
      if (p.jd < g_dJplStart || p.jd >= g_dJplEnd) continue;
      double state[6];
      int valid = 0;
      JplPleph(p.jd, p.target, p.centre, state, valid);
      ASSERT_EQ(valid, 1) << "JD " << p.jd << " target " << p.target << " centre " << p.centre;
      EXPECT_NEAR(state[p.coordinate - 1], p.value, kTestPointTolAu)
          << "JD " << p.jd << " target " << p.target << " centre " << p.centre << " coordinate " << p.coordinate;
      ++checked;
    }
    EXPECT_GE(checked, f.minPoints);
  }
}

// The other layouts (NCON above 400, DE406 without nutations, a file named
// for one DE that holds another) read from their headers alone. Positions are
// checked against the DE405 file heliocentrically, velocities against the
// positions' own differences.
TEST(JplEph, EveryHeaderLayoutReads) {
  const struct {
    const char* file;
    int de;
    double start, end, daysPerRecord;
    int ncoeff, ncon;
    bool nutations;
  } kFiles[] = {
      {"de/lnxp1990p2030.430", 430, 2447888.5, 2462480.5, 32, 1018, 229, true},
      {"de/excerpts/lnxp0000.431", 431, 2451504.5, 2451696.5, 32, 1018, 572, true},
      {"de/excerpts/linux_p1550p2650.440", 440, 2451504.5, 2451696.5, 32, 1018, 645, true},
      {"de/excerpts/lnxp2023.430", 440, 2459952.5, 2460048.5, 32, 1018, 645, true},
      {"de/excerpts/unxp0000.406", 406, 2803792.5, 2804048.5, 64, 728, 156, false},
  };
  TSR_REQUIRE_DATA(de405, "de/lnxp1960p2060.405");
  for (const auto& f : kFiles) {
    SCOPED_TRACE(f.file);
    TSR_REQUIRE_DATA(path, f.file);
    JplReaderScope reader(path);
    ASSERT_TRUE(g_pJplEph->IsOpen());
    EXPECT_EQ(g_nJplDeNumber, f.de);
    EXPECT_EQ(g_dJplStart, f.start);
    EXPECT_EQ(g_dJplEnd, f.end);
    const JplHeader& h = JplCurrentHeader();
    EXPECT_EQ(h.daysPerRecord, f.daysPerRecord);
    EXPECT_EQ(h.ncoeff, f.ncoeff);
    EXPECT_EQ(h.ncon, f.ncon);

    const double t = f.start + 0.37 * (f.end - f.start);
    double state[6];
    int valid = 0;
    JplPleph(t, 14, 0, state, valid);
    EXPECT_EQ(valid, f.nutations ? 1 : 0);

    // Velocity against a centred difference of positions 15 minutes apart
    // (difference error and time rounding both below 2e-9 AU/day).
    for (const int target : {1, 3, 5, 10}) {
      const int centre = target == 10 ? 3 : 11;
      JplPleph(t, target, centre, state, valid);
      ASSERT_EQ(valid, 1);
      double before[3], after[3];
      const double dt = 1.0 / 96;
      ASSERT_EQ(JplPosition(t - dt, target, centre, before), 0);
      ASSERT_EQ(JplPosition(t + dt, target, centre, after), 0);
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(state[3 + i], (after[i] - before[i]) / (2 * dt), 1e-8) << target;
    }

    double earthSun[3];
    ASSERT_EQ(JplPosition(t, 11, 3, earthSun), 0);
    EXPECT_NEAR(Distance(earthSun), 1.0, 0.0175);
    if (f.de == 406) continue;  // far outside the DE405 file

    double reference[3];
    JplReaderScope ref(de405);
    ASSERT_EQ(JplPosition(t, 11, 3, reference), 0);
    // The DE versions differ by kilometres for the Earth-Sun vector.
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(earthSun[i], reference[i], 1e-7);
  }
}

TEST(JplEph, BigEndianFileGivesTheSameNumbersAsLittleEndian) {
  TSR_REQUIRE_DATA(le, "de/lnxp2000p2040.405");
  TSR_REQUIRE_DATA(be, "de/unxp2000p2040.405");
  JplReaderScope reader(le);
  EXPECT_FALSE(JplCurrentHeader().bigEndian);
  double a[6], b[6];
  int valid = 0;
  JplPleph(2455000.3, 5, 12, a, valid);
  ASSERT_EQ(valid, 1);
  const double au = JplCurrentHeader().au;
  const double emrat = JplCurrentHeader().emrat;
  const std::string title = JplCurrentHeader().titles[0];
  reader.Reopen(be);
  EXPECT_TRUE(JplCurrentHeader().bigEndian);
  EXPECT_EQ(JplCurrentHeader().au, au);
  EXPECT_EQ(JplCurrentHeader().emrat, emrat);
  EXPECT_EQ(JplCurrentHeader().titles[0], title);
  EXPECT_EQ(std::string(JplCurrentHeader().constantNames[0]), "DENUM ");
  EXPECT_EQ(JplCurrentHeader().constants[0], 405.0);
  JplPleph(2455000.3, 5, 12, b, valid);
  ASSERT_EQ(valid, 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], b[i]);
}

TEST(JplEph, SpanEdgesAndSymmetries) {
  TSR_REQUIRE_DATA(path, "de/excerpts/unxp0003.405");
  JplReaderScope reader(path);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  const double start = g_dJplStart, end = g_dJplEnd;
  double pos[3] = {7, 7, 7};
  EXPECT_EQ(JplPosition(start, 4, 11, pos), 0);
  EXPECT_EQ(JplPosition(end, 4, 11, pos), -1);
  double untouched[3] = {7, 7, 7};
  EXPECT_EQ(JplPosition(start - 1e-6, 4, 11, untouched), -1);
  EXPECT_EQ(untouched[0], 7);
  EXPECT_EQ(JplPosition(std::nan(""), 4, 11, untouched), -1);

  double state[6];
  int valid = 0;
  JplPleph(end, 4, 11, state, valid);  // tau = 1 in the last record's last subinterval
  EXPECT_EQ(valid, 1);
  double justBefore[6];
  JplPleph(end - 1e-7, 4, 11, justBefore, valid);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(state[i], justBefore[i], 1e-8);  // Mars moves ~1e-9 AU
  double outside[6] = {7, 7, 7, 7, 7, 7};
  JplPleph(end + 1e-6, 4, 11, outside, valid);
  EXPECT_EQ(valid, 0);
  JplPleph(start - 1e-6, 14, 0, outside, valid);
  EXPECT_EQ(valid, 0);
  for (double v : outside) EXPECT_EQ(v, 7);

  // A record boundary evaluated from both sides.
  const double boundary = start + 5 * JplCurrentHeader().daysPerRecord;
  double left[3], right[3];
  ASSERT_EQ(JplPosition(boundary - 1e-9, 10, 3, left), 0);
  ASSERT_EQ(JplPosition(boundary, 10, 3, right), 0);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(left[i], right[i], 2e-12);  // the Moon moves ~6e-13 AU in 1e-9 d

  const double t = start + 100.25;
  double moonFromEarth[6], earthFromMoon[6];
  JplPleph(t, 10, 3, moonFromEarth, valid);
  JplPleph(t, 3, 10, earthFromMoon, valid);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(earthFromMoon[i], -moonFromEarth[i]);

  double same[6] = {1, 1, 1, 1, 1, 1};
  JplPleph(t, 5, 5, same, valid);
  EXPECT_EQ(valid, 1);
  for (double v : same) EXPECT_EQ(v, 0.0);

  // The Earth-Moon pairs answered from the geocentric Moon agree with the
  // barycentric route through the Sun.
  const struct {
    int target, centre;
  } kPairs[] = {{13, 3}, {13, 10}, {3, 13}, {10, 13}};
  for (const auto& p : kPairs) {
    double direct[6], viaSun[6], centreSun[6];
    JplPleph(t, p.target, p.centre, direct, valid);
    JplPleph(t, p.target, 11, viaSun, valid);
    JplPleph(t, p.centre, 11, centreSun, valid);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(direct[i], viaSun[i] - centreSun[i], 1e-14) << p.target << "," << p.centre;
  }

  EXPECT_EQ(JplPosition(t, 0, 11, pos), -1);
  EXPECT_EQ(JplPosition(t, 16, 11, pos), -1);
}

// The integrator's rows ask for positions without the Sun's velocity: every
// position keeps its bits, the velocity is 0 rather than one left from an
// earlier time, and a later caller still gets the velocity.
TEST(JplEph, StateWithoutSunVelocityKeepsEveryPosition) {
  TSR_REQUIRE_DATA(path, "de/excerpts/unxp0003.405");
  JplReaderScope reader(path);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  int wanted[kJplSeriesCount] = {};
  for (int s = 0; s < kJplSeriesCount; ++s)
    if (s != kJplSeriesNutations && s != kJplSeriesLibrations) wanted[s] = kJplWantPosition;
  for (const double t : {g_dJplStart + 3.3, g_dJplStart + 47.71, g_dJplStart + 3.3}) {
    double with[kJplSeriesCount][6] = {}, without[kJplSeriesCount][6] = {}, again[kJplSeriesCount][6] = {};
    ASSERT_EQ(JplState(t, wanted, with), 0);
    ASSERT_EQ(JplState(t, wanted, without, false), 0);
    ASSERT_EQ(JplState(t, wanted, again), 0);
    for (int s = 0; s < kJplSeriesCount; ++s)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(without[s][c], with[s][c]) << s << " " << t;
    for (int c = 3; c < 6; ++c) {
      EXPECT_EQ(without[kJplSeriesSun][c], 0.0);
      EXPECT_NE(with[kJplSeriesSun][c], 0.0);
      EXPECT_EQ(again[kJplSeriesSun][c], with[kJplSeriesSun][c]);
    }
  }
}

// A failed open leaves no span of the previous file behind, and a foreign or
// malformed file is refused as no file; the DE406 path is the fallback.
TEST(JplEph, RefusesForeignAndMalformedFiles) {
  TSR_REQUIRE_DATA(good, "de/excerpts/lnxp0000.431");
  const std::string dir = MakeTempDir("jpl_refuse");
  const std::vector<unsigned char> bytes = ReadBytes(good);
  ASSERT_EQ(bytes.size(), 65152u);

  const std::string html = dir + "de441.bin";
  std::string page = "<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head><body>";
  page += std::string(6000, ' ') + "</body></html>\n";
  WriteBytes(html, std::vector<unsigned char>(page.begin(), page.end()));

  JplReaderScope reader(good);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  ASSERT_GT(g_dJplEnd, 0);

  reader.Reopen(html);
  EXPECT_FALSE(g_pJplEph->IsOpen());
  EXPECT_EQ(g_dJplStart, 0);
  EXPECT_EQ(g_dJplEnd, 0);
  EXPECT_EQ(g_nJplDeNumber, 0);
  double pos[3];
  EXPECT_EQ(JplPosition(2451600.5, 3, 11, pos), -2);

  reader.Reopen(html, good);  // the DE406 setting is the fallback
  EXPECT_TRUE(g_pJplEph->IsOpen());
  EXPECT_EQ(g_nJplDeNumber, 431);

  reader.Reopen(dir + "missing.bin", dir + "missing.win");
  EXPECT_FALSE(g_pJplEph->IsOpen());
  EXPECT_EQ(g_dJplEnd, 0);

  const struct {
    const char* name;
    void (*edit)(std::vector<unsigned char>&);
  } kBroken[] = {
      {"end before start", [](std::vector<unsigned char>& b) { double v = 2451000.5; std::memcpy(&b[2660], &v, 8); }},
      {"zero days per record", [](std::vector<unsigned char>& b) { double v = 0; std::memcpy(&b[2668], &v, 8); }},
      {"NaN span", [](std::vector<unsigned char>& b) { double v = std::nan(""); std::memcpy(&b[2652], &v, 8); }},
      {"no series", [](std::vector<unsigned char>& b) { std::memset(&b[2696], 0, 144 + 4 + 12); }},
      {"negative coefficient count", [](std::vector<unsigned char>& b) { int v = -14; std::memcpy(&b[2700], &v, 4); }},
      {"record beyond any DE", [](std::vector<unsigned char>& b) { int v = 1 << 24; std::memcpy(&b[2696 + 12 * 10 + 8], &v, 4); }},
      {"record too short for the header", [](std::vector<unsigned char>& b) {
         std::memset(&b[2696], 0, 144 + 4 + 12);
         int sun[3] = {3, 10, 1};
         std::memcpy(&b[2696 + 12 * 10], sun, 12);
       }},
      {"records longer than the series account for", [](std::vector<unsigned char>& b) { std::memset(&b[2844], 0, 12); }},
      {"span longer than the file", [](std::vector<unsigned char>& b) { double v = 2451728.5; std::memcpy(&b[2660], &v, 8); }},
  };
  for (const auto& c : kBroken) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> edited = bytes;
    c.edit(edited);
    const std::string path = dir + "broken.bin";
    WriteBytes(path, edited);
    reader.Reopen(path);
    EXPECT_FALSE(g_pJplEph->IsOpen());
    EXPECT_EQ(g_dJplEnd, 0);
  }

  // Cut inside the data records: the header promises more than the file holds.
  std::vector<unsigned char> cut(bytes.begin(), bytes.end() - 1000);
  WriteBytes(dir + "cut.bin", cut);
  reader.Reopen(dir + "cut.bin");
  EXPECT_FALSE(g_pJplEph->IsOpen());
}

// A header whose span over the record length is no integer count (beyond
// 2^63, or infinite) is refused, both as a downloaded header and as a file;
// the quotient must not be converted before it is checked (UBSan reports it).
TEST(JplEph, HeaderWithSpanBeyondAnyRecordCountIsRefused) {
  TSR_REQUIRE_DATA(good, "de/excerpts/lnxp0000.431");
  const std::string dir = MakeTempDir("jpl_span_count");
  const std::vector<unsigned char> bytes = ReadBytes(good);
  ASSERT_GE(bytes.size(), size_t(kJplHeaderBytes));
  JplHeader h;
  long long fileBytes = -1;
  ASSERT_TRUE(JplParseHeaderBytes(bytes.data(), kJplHeaderBytes, h, fileBytes));

  std::vector<std::vector<unsigned char>> headers;
  for (const double end : {1e300, 1e21, HUGE_VAL}) {
    std::vector<unsigned char> edited = bytes;
    std::memcpy(&edited[2660], &end, 8);
    headers.push_back(edited);
  }
  const std::string fuzzed = TestDataPath("fuzz/de_header_span_overflow.bin");
  if (!fuzzed.empty() && TestDataFileExists(fuzzed)) headers.push_back(ReadBytes(fuzzed));

  JplReaderScope reader(good);
  for (size_t i = 0; i < headers.size(); ++i) {
    SCOPED_TRACE(i);
    fileBytes = -1;
    EXPECT_FALSE(JplParseHeaderBytes(headers[i].data(), headers[i].size(), h, fileBytes));
    EXPECT_EQ(fileBytes, 0);
    WriteBytes(dir + "span.bin", headers[i]);
    reader.Reopen(dir + "span.bin");
    EXPECT_FALSE(g_pJplEph->IsOpen());
    EXPECT_EQ(g_dJplEnd, 0);
  }
}

// A file that loses records while open fails those requests, and the next
// request reads the file again rather than a half-filled buffer.
TEST(JplEph, RecordThatCannotBeReadFailsAndIsRetried) {
  TSR_REQUIRE_DATA(good, "de/excerpts/unxp0003.405");
  const std::string dir = MakeTempDir("jpl_truncate");
  const std::string path = dir + "de406.win";
  const std::vector<unsigned char> bytes = ReadBytes(good);
  WriteBytes(path, bytes);
  JplReaderScope reader(path);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  const double step = JplCurrentHeader().daysPerRecord;
  const size_t recordBytes = static_cast<size_t>(JplCurrentHeader().ncoeff) * 8;

  double first[3], late[3];
  ASSERT_EQ(JplPosition(g_dJplStart + 1, 5, 11, first), 0);
  ASSERT_EQ(JplPosition(g_dJplStart + 10 * step + 1, 5, 11, late), 0);

  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(recordBytes * 4 + recordBytes / 2)), 0);
  double pos[3];
  EXPECT_EQ(JplPosition(g_dJplStart + 3 * step + 1, 5, 11, pos), -1);  // record 3, half present
  EXPECT_EQ(JplPosition(g_dJplStart + 3 * step + 2, 5, 11, pos), -1);
  ASSERT_EQ(JplPosition(g_dJplStart + 1, 5, 11, pos), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pos[i], first[i]);

  WriteBytes(path, bytes);
  ASSERT_EQ(JplPosition(g_dJplStart + 10 * step + 1, 5, 11, pos), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pos[i], late[i]);
}

// A record whose own span words disagree with its place is not served.
TEST(JplEph, RecordWithForeignSpanIsRefused) {
  TSR_REQUIRE_DATA(good, "de/excerpts/lnxp0000.431");
  const std::string dir = MakeTempDir("jpl_record_span");
  std::vector<unsigned char> bytes = ReadBytes(good);
  const size_t recordBytes = 1018 * 8;
  const double wrong = 2451000.5;
  std::memcpy(&bytes[(3 + 1) * recordBytes], &wrong, 8);  // data record 3
  WriteBytes(dir + "de441.bin", bytes);
  JplReaderScope reader(dir + "de441.bin");
  ASSERT_TRUE(g_pJplEph->IsOpen());
  double pos[3];
  EXPECT_EQ(JplPosition(g_dJplStart + 2 * 32 + 1, 3, 11, pos), -1);
  EXPECT_EQ(JplPosition(g_dJplStart + 3 * 32 + 1, 3, 11, pos), 0);
}

// DE441 is 2.8 GB: records beyond 2 GB are addressed with 64-bit offsets. A
// sparse file with the header of a short excerpt, stretched to 300000
// records, holds the excerpt's second record again as its record 300000.
TEST(JplEph, RecordsBeyondTwoGigabytes) {
  TSR_REQUIRE_DATA(good, "de/excerpts/lnxp0000.431");
  const std::vector<unsigned char> bytes = ReadBytes(good);
  const size_t recordBytes = 1018 * 8;
  const long long farRecord = 300000;
  const double start = 2451504.5, step = 32;
  const std::string path = MakeTempDir("jpl_sparse") + "de441.bin";

  std::vector<unsigned char> head(bytes.begin(), bytes.begin() + 3 * recordBytes);  // header, constants, record 1
  const double end = start + farRecord * step;
  std::memcpy(&head[2660], &end, 8);
  WriteBytes(path, head);
  std::vector<unsigned char> far(bytes.begin() + 3 * recordBytes, bytes.begin() + 4 * recordBytes);
  const double span[2] = {start + (farRecord - 1) * step, start + farRecord * step};
  std::memcpy(far.data(), span, 16);
  {
    std::FILE* fp = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(fp, nullptr);
    ASSERT_EQ(fseeko(fp, static_cast<off_t>((farRecord + 1) * static_cast<long long>(recordBytes)), SEEK_SET), 0);
    ASSERT_EQ(std::fwrite(far.data(), 1, far.size(), fp), far.size());
    std::fclose(fp);
  }
  ASSERT_GT((farRecord + 1) * static_cast<long long>(recordBytes), 1LL << 31);

  double expected[3];
  {
    JplReaderScope excerpt(good);
    ASSERT_EQ(JplPosition(start + step + 5.25, 5, 11, expected), 0);
  }
  JplReaderScope reader(path);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  EXPECT_EQ(g_dJplEnd, end);
  double pos[3];
  ASSERT_EQ(JplPosition(start + (farRecord - 1) * step + 5.25, 5, 11, pos), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pos[i], expected[i]);
  delete g_pJplEph;
  g_pJplEph = nullptr;
  std::remove(path.c_str());
}

// Two files with the same layout and span but different coefficients: the
// second reader must not serve the first one's cached record.
TEST(JplEph, SecondReaderServesItsOwnFile) {
  TSR_REQUIRE_DATA(de431, "de/excerpts/lnxp0000.431");
  TSR_REQUIRE_DATA(de440, "de/excerpts/linux_p1550p2650.440");
  const double t = 2451600.25;
  double fresh440[3];
  {
    JplReaderScope only(de440);
    ASSERT_EQ(JplPosition(t, 9, 11, fresh440), 0);
  }
  JplReaderScope reader(de431);
  double from431[3], from440[3];
  ASSERT_EQ(JplPosition(t, 9, 11, from431), 0);
  reader.Reopen(de440);
  ASSERT_EQ(JplPosition(t, 9, 11, from440), 0);
  EXPECT_NE(from431[0], from440[0]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(from440[i], fresh440[i]);
  EXPECT_EQ(g_nJplDeNumber, 440);
}

// A reader made while the process's reader lives (a check of a fresh file)
// changes no position, and deleting it leaves the process's reader working.
// Positions come from g_pJplEph alone.
TEST(JplEph, OnlyTheProcessReaderServesPositions) {
  TSR_REQUIRE_DATA(de431, "de/excerpts/lnxp0000.431");
  TSR_REQUIRE_DATA(de440, "de/excerpts/linux_p1550p2650.440");
  const double t = 2451600.25;
  JplReaderScope reader(de440);
  double before[3];
  ASSERT_EQ(JplPosition(t, 9, 11, before), 0);
  TheApp().m_szDe441File = de431;
  {
    CJplEph check(TheApp().Paths());
    EXPECT_TRUE(check.IsOpen());
    double during[3];
    ASSERT_EQ(JplPosition(t, 9, 11, during), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(during[i], before[i]);
    EXPECT_EQ(g_nJplDeNumber, 440);
  }
  ASSERT_TRUE(g_pJplEph->IsOpen());
  double after[3];
  ASSERT_EQ(JplPosition(t, 9, 11, after), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(after[i], before[i]);

  CJplEph* const saved = g_pJplEph;
  g_pJplEph = nullptr;
  EXPECT_EQ(JplPosition(t, 9, 11, after), -2);
  g_pJplEph = saved;
  EXPECT_EQ(JplPosition(t, 9, 11, after), 0);
}

// The coefficient count is also the stride between subintervals, so a count
// beyond the tables is refused rather than shortened; so are empty shapes.
TEST(JplEph, InterpolationRefusesSizesItCannotHold) {
  const std::vector<double> coef(3 * 65 * 2, 1.0);
  struct Case {
    int ncf, ncm, na;
  };
  for (const Case c : {Case{65, 3, 2}, Case{0, 3, 2}, Case{8, 4, 2}, Case{8, 0, 2}, Case{8, 3, 0}}) {
    double out[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(JplInterp(coef.data(), 0.3, 32.0, c.ncf, c.ncm, c.na, kJplWantPositionVelocity, out), -1)
        << c.ncf << " " << c.ncm << " " << c.na;
    for (double v : out) EXPECT_EQ(v, 7.0);
  }
  // 64 terms are held: with every coefficient 1 at tc = 1 each sum is 64.
  double out[6];
  ASSERT_EQ(JplInterp(coef.data(), 1.0, 32.0, 64, 3, 1, kJplWantPosition, out), 0);
  EXPECT_EQ(out[0], 64.0);
}

TEST(JplEph, SplitGivesFloorAndFraction) {
  const struct {
    double t, whole, frac;
  } kCases[] = {{2451545.25, 2451545, 0.25}, {-3.75, -4, 0.25}, {7, 7, 0}};
  for (const auto& c : kCases) {
    double whole, frac;
    JplSplit(c.t, whole, frac);
    EXPECT_EQ(whole, c.whole);
    EXPECT_EQ(frac, c.frac);
  }
}

}  // namespace
