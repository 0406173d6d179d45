#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/ades_conversion.h"

namespace {

// An 80-column line from its fields: (first column, text) pairs over blanks.
std::string Line(std::initializer_list<std::pair<int, const char*>> fields)
{
  std::string line(80, ' ');
  for (const auto& [col, text] : fields)
    line.replace(static_cast<size_t>(col - 1), std::string(text).size(), text);
  return line;
}

AdesFields Record(std::initializer_list<std::pair<const char*, const char*>> fields)
{
  AdesFields map;
  for (const auto& [name, value] : fields)
    map[name] = value;
  return map;
}

std::vector<std::string> Convert(const AdesFields& fields, int expected = 1)
{
  std::vector<std::string> lines;
  EXPECT_EQ(ConvertAdesToMpcLines(fields, lines), expected);
  return lines;
}

TEST(AdesConversion, FitsNumbersToTenColumns)
{
  struct Case {
    double x;
    const char* text;
  };
  static const Case kCases[] = {
      {6378.137, "6378.13700"}, {0.5, "0.50000000"}, {9.999999999, "10.0000000"},
      {1833.31, "1833.31000"}, {123456789.4, " 123456789"}, {9999999999.0, "9999999999"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    std::string buf;
    EXPECT_EQ(FitNumberToWidth(c.x, buf), 1);
    EXPECT_EQ(buf, c.text);
  }
  std::string buf;
  EXPECT_EQ(FitNumberToWidth(1e10, buf), 0);
}

TEST(AdesConversion, WritesAnOrdinaryObservation)
{
  const auto lines = Convert(Record({{"trkSub", "K16S99K"},
                                     {"stn", "G96"},
                                     {"obsTime", "2022-12-25T09:14:20.983Z"},
                                     {"ra", "128.151179"},
                                     {"dec", "17.176650"},
                                     {"mag", "21.98"},
                                     {"band", "G"}}));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], Line({{6, "K16S99K"},
                            {15, "C2022 12 25.38496508 32 36.283+17 10 35.94"},
                            {66, "22.0 G"},
                            {78, "G96"}}));
}

TEST(AdesConversion, RoundsAndCarriesWithoutCalendarCarry)
{
  struct Case {
    const char* name;
    const char* obsTime;
    const char* ra;
    const char* dec;
    const char* columns16to56;
  };
  static const Case kCases[] = {
      {"day fraction rounds to day 32", "2020-01-31T23:59:59.9999", "10", "-10", "2020 01 32.00000000 40 00.000-10 00 00.00"},
      {"right ascension wraps", "2020-01-01T00:00", "359.99999999", "0", "2020 01 01.00000000 00 00.000+00 00 00.00"},
      {"declination carries into degrees", "2020-01-01T12:00:00", "15", "-12.9999999", "2020 01 01.50000001 00 00.000-13 00 00.00"},
      {"seconds default to 0", "2020-01-01T06:30Z", "0.0001", "89.99", "2020 01 01.27083300 00 00.024+89 59 24.00"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto lines = Convert(Record({{"stn", "500"}, {"obsTime", c.obsTime}, {"ra", c.ra}, {"dec", c.dec}}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(15, 41), c.columns16to56);
  }
}

TEST(AdesConversion, RefusesIncompleteRecords)
{
  struct Case {
    const char* name;
    AdesFields fields;
  };
  const AdesFields good = Record({{"stn", "500"}, {"obsTime", "2020-05-06T01:02:03"}, {"ra", "10"}, {"dec", "20"}});
  const auto without = [&](const char* name) {
    AdesFields f = good;
    f.erase(name);
    return f;
  };
  const auto with = [&](const char* name, const char* value) {
    AdesFields f = good;
    f[name] = value;
    return f;
  };
  const Case kCases[] = {
      {"no station", without("stn")},
      {"no time", without("obsTime")},
      {"no right ascension", without("ra")},
      {"empty declination", with("dec", "")},
      {"time without minutes", with("obsTime", "2020-05-06T01")},
      {"year before 1000", with("obsTime", "0999-05-06T01:02")},
      {"month 13", with("obsTime", "2020-13-06T01:02")},
      {"day 0", with("obsTime", "2020-05-00T01:02")},
      {"seconds that would widen the day", with("obsTime", "2020-05-06T01:02:99999999")},
      {"right ascension 360", with("ra", "360")},
      {"declination past the pole", with("dec", "-90.0001")},
      {"satellite without pos2", Record({{"stn", "C51"}, {"obsTime", "2020-05-06T01:02"}, {"ra", "1"}, {"dec", "2"},
                                          {"sys", "ICRF_KM"}, {"pos1", "100"}})},
      {"satellite position too far", Record({{"stn", "C51"}, {"obsTime", "2020-05-06T01:02"}, {"ra", "1"},
                                              {"dec", "2"}, {"sys", "ICRF_KM"}, {"pos1", "1e10"}, {"pos2", "1"}})},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Convert(c.fields, 0);
  }
  Convert(good, 1);
}

TEST(AdesConversion, ModesDesignationsAndBands)
{
  struct Case {
    const char* mode;
    char column15;
  };
  // Video ("VID") must not become 'V', which announces a roving observer's second line.
  static const Case kModes[] = {{"CCD", 'C'}, {"CMO", 'B'}, {"VID", 'n'}, {"PHO", 'P'}, {"ENC", 'e'},
                                {"MIC", 'M'}, {"MER", 'T'}, {"OCC", 'E'}, {"XYZ", 'C'}, {"", 'C'}};
  for (const Case& c : kModes) {
    SCOPED_TRACE(c.mode);
    const auto lines = Convert(Record({{"stn", "500"}, {"obsTime", "2020-05-06T01:02"}, {"ra", "1"}, {"dec", "2"},
                                       {"mode", c.mode}}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][14], c.column15);
  }

  const auto base = [](std::initializer_list<std::pair<const char*, const char*>> extra) {
    AdesFields f = Record({{"stn", "T12XY"}, {"obsTime", "2020-05-06T01:02"}, {"ra", "1"}, {"dec", "2"}});
    for (const auto& [k, v] : extra)
      f[k] = v;
    return Convert(f).at(0);
  };
  EXPECT_EQ(base({{"permID", "433"}, {"provID", "1898 DQ"}}).substr(0, 12), "00433       ");
  EXPECT_EQ(base({{"provID", "2022 KW"}}).substr(0, 12), "     K22K00W");
  EXPECT_EQ(base({}).substr(77, 3), "T12");
  EXPECT_EQ(base({{"nucMag", "0"}, {"band", "G"}, {"mag", "18.25"}}).substr(65, 6), "18.2 T");
  EXPECT_EQ(base({{"nucMag", "1"}, {"mag", "18.26"}}).substr(65, 6), "18.3 N");
  EXPECT_EQ(base({{"band", "Vr"}, {"mag", "99.97"}}).substr(65, 6), "     V");  // rounds past four columns
  EXPECT_EQ(base({{"mag", "0"}}).substr(65, 6), "      ");
}

TEST(AdesConversion, SatelliteAndRovingSecondLines)
{
  const auto sat = [](const char* sys) {
    return Convert(Record({{"permID", "319"}, {"stn", "C57"}, {"obsTime", "2010-10-22T12:22:12.59Z"}, {"ra", "36.5"},
                           {"dec", "-5.25"}, {"sys", sys}, {"pos1", "1833.310"}, {"pos2", "-1882.459"},
                           {"pos3", "-3409.399"}}));
  };
  const auto km = sat("ICRF_KM");
  ASSERT_EQ(km.size(), 2u);
  EXPECT_EQ(km[0].substr(0, 32), "00319         S2010 10 22.515423");
  EXPECT_EQ(km[1], Line({{1, "00319"},
                         {15, "s2010 10 22.515423"},
                         {33, "1 +1833.31000 -1882.45900 -3409.39900"},
                         {78, "C57"}}));
  const auto au = sat("ICRF_AU");
  ASSERT_EQ(au.size(), 2u);
  EXPECT_EQ(au[1][32], '2');

  const auto roving = Convert(Record({{"provID", "2023 AB"}, {"stn", "247"}, {"obsTime", "2023-08-26T04:36:22"},
                                      {"ra", "313.92"}, {"dec", "-8.3"}, {"sys", "WGS84"}, {"pos1", "-10.5"},
                                      {"pos2", "38.11385"}, {"pos3", "1234.4"}}));
  ASSERT_EQ(roving.size(), 2u);
  EXPECT_EQ(roving[0][14], 'V');
  EXPECT_EQ(roving[1], Line({{6, "K23A00B"},
                             {15, "v2023 08 26.191921"},
                             {35, "349.500000 +38.113850  1234"},
                             {78, "247"}}));
  // A negative or too great altitude is written as 0; a missing pos3 counts as 0.
  const auto low = Convert(Record({{"stn", "247"}, {"obsTime", "2023-08-26T04:36"}, {"ra", "1"}, {"dec", "1"},
                                   {"sys", "WGS84"}, {"pos1", "10"}, {"pos2", "-45"}, {"pos3", "-20"}}));
  EXPECT_EQ(low.at(1).substr(34, 27), "10.0000000 -45.000000     0");
}

TEST(AdesConversion, GathersXmlFields)
{
  const std::string xml = R"(<ades version="2022"><obsBlock><obsData>
    <optical>
      <provID>2022 KW</provID>
      <!-- a comment -->
      <trkSub/>
      <stn>T12</stn>
      <obsTime>2023-06-15T13:44:30.18Z</obsTime>
      <ra unit="deg">1.0</ra>
      <ra>325.589699</ra>
      <dec> +0.560433 </dec>
      <mode><b>PHO</b></mode>
    </optical>
    <optical><stn>T12</stn><ra>1</ra><dec>1</dec></optical>
    <optical type="x"><stn>T12</stn><obsTime>2023-06-15T13:44</obsTime><ra>1</ra><dec>1</dec></optical>
    <radar><stn>253</stn></radar>
  </obsData></obsBlock></ades>)";
  std::vector<std::string> lines;
  AdesCounts counts;
  ConvertAdesXml(xml, lines, counts);
  EXPECT_EQ(counts.converted, 1);
  // The second record has no time; the third, a start tag with attributes, is
  // not a record.
  EXPECT_EQ(counts.skipped, 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], Line({{6, "K22K00W"},
                            {15, "C2023 06 15.57257221 42 21.528+00 33 37.56"},
                            {78, "T12"}}));
}

// Opening tags that are never closed (the fuzzed file: 20,000 "<a>" in one
// record) or repeated "<optical>" openings hide none of the fields after them.
TEST(AdesConversion, UnclosedTagsLeaveTheFieldsAfterThem)
{
  const std::string fields = "<provID>2022 KW</provID><stn>T12</stn><obsTime>2023-06-15T13:44:30.18Z</obsTime>"
                             "<ra>325.589699</ra><dec>+0.560433</dec><mode>CCD</mode>";
  const size_t split = fields.find("<obsTime>");
  std::string unclosed;
  for (int i = 0; i < 20000; ++i)
    unclosed += "<a>";
  std::string openings;
  for (int i = 0; i < 20000; ++i)
    openings += "<optical>";
  const struct {
    const char* name;
    std::string xml;
    int converted, skipped;
  } cases[] = {
      {"unclosed tags alone", "<?xml version=\"1.0\"?>\n<ades version=\"2017\"><obsBlock><obsData>\n<optical>" +
                                 unclosed + "</optical>\n</obsData></obsBlock></ades>\n", 0, 1},
      {"unclosed tags before the fields", "<optical>" + unclosed + fields + "</optical>", 1, 0},
      {"unclosed tags between the fields", "<optical>" + fields.substr(0, split) + unclosed + fields.substr(split) + "</optical>", 1, 0},
      {"unclosed runs of closing marks", "<optical>" + fields + std::string(5000, '<') + "</</</</" + "</optical>", 1, 0},
      {"many openings, one closing", openings + fields + "</optical>", 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines;
    AdesCounts counts;
    ConvertAdesXml(c.xml, lines, counts);
    EXPECT_EQ(counts.converted, c.converted);
    EXPECT_EQ(counts.skipped, c.skipped);
    if (c.converted == 1) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0], Line({{6, "K22K00W"},
                                {15, "C2023 06 15.57257221 42 21.528+00 33 37.56"},
                                {78, "T12"}}));
    }
  }
}

TEST(AdesConversion, PsvHeadersAndDataLines)
{
  AdesPsvHeader header;
  std::vector<std::string> lines;
  AdesCounts counts;
  ConvertAdesPsvLine("  T12|2023-06-15T13:44:30Z|1|2", header, lines, counts);  // before any header
  EXPECT_EQ(counts.converted + counts.skipped, 0);
  ConvertAdesPsvLine("permID |stn |obsTime                 |ra        |dec", header, lines, counts);
  EXPECT_EQ(header.names, (std::vector<std::string>{"permID", "stn", "obsTime", "ra", "dec"}));
  ConvertAdesPsvLine("  433  |T12 |2023-06-15T13:44:30.18Z|325.589699|+0.560433|surplus", header, lines, counts);
  ConvertAdesPsvLine("  433  |T12 |2023-06-15T13:44:30.18Z|325.589699", header, lines, counts);  // no dec
  EXPECT_EQ(counts.converted, 1);
  EXPECT_EQ(counts.skipped, 1);
  ConvertAdesPsvLine("stn|obsTime|ra|dec|trkSub", header, lines, counts);
  ConvertAdesPsvLine("W84|2023-06-15T13:44:30.18Z|325.589699|+0.560433|A10TlFw", header, lines, counts);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 12), "00433       ");
  EXPECT_EQ(lines[1].substr(0, 12), "     A10TlFw");
  EXPECT_EQ(lines[1].substr(77, 3), "W84");
}

} // namespace
