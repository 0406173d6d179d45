#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/obscode_update.h"
#include "data/station_table.h"
#include "platform/app_services.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"

namespace fs = std::filesystem;

namespace {

const char* const kCaption = "観測所コードの更新";

std::string Done(int added, int overwritten, int localOnly)
{
  return "観測所コードファイルを更新しました。\r\n\r\n追加: " + std::to_string(added) + "件   上書き: " +
         std::to_string(overwritten) + "件\r\nローカル独自のコード " + std::to_string(localOnly) +
         "件はそのまま維持しています。\r\n(更新前のファイルは .bak として保存済み)";
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "line without CR LF at " << pos;
    if (end == std::string::npos)
      break;
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

// A page of n code lines "A00".."Z99" order, with an escaped name.
std::string SmallPage(int n)
{
  std::string page = "<html><body><PRE>\nCode  Long.   cos      sin    Name\n";
  for (int i = 0; i < n; ++i) {
    char code[4] = {static_cast<char>('A' + i / 100), static_cast<char>('0' + i / 10 % 10),
                    static_cast<char>('0' + i % 10), 0};
    page += std::string(code) + "  10.0000 0.50000 +0.80000 Site " + code + " &amp; &lt;Co&gt;\r\n";
  }
  return page + "</PRE></body></html>";
}

class ObsCodeUpdateTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_dir = MakeTempDir("obscode");
    m_server = std::make_unique<LocalHttpServer>(m_dir);
    ASSERT_TRUE(m_server->Running());
    m_savedStations = TheApp().m_szStationsFile;
    m_savedIni = TheApp().m_profile.Path();
    m_stations = m_dir + "stations.txt";
    TheApp().m_szStationsFile = m_stations;
    TheApp().m_profile.SetPath(m_dir + "Tessarune.INI");
    m_scoped = std::make_unique<ScopedUi>(m_ui);
  }
  void TearDown() override
  {
    m_scoped.reset();
    TheApp().m_szStationsFile = m_savedStations;
    TheApp().m_profile.SetPath(m_savedIni);
    m_server.reset();
    fs::remove_all(m_dir);
  }
  void ServePage(const std::string& path)
  {
    ASSERT_TRUE(TheApp().m_profile.WriteString("SYSTEM", "OBSCODESURL", m_server->Url(path).c_str()));
  }
  std::string Read(const std::string& path) const
  {
    std::string s;
    ReadWholeFile(path, s);
    return s;
  }

  std::string m_dir, m_stations, m_savedStations, m_savedIni;
  std::unique_ptr<LocalHttpServer> m_server;
  HeadlessUiServices m_ui;
  std::unique_ptr<ScopedUi> m_scoped;
};

TEST_F(ObsCodeUpdateTest, MergesTheRealPage)
{
  TSR_REQUIRE_DATA(page, "obscodes/ObsCodes.html");
  ASSERT_TRUE(CopyWholeFile(page, m_dir + "ObsCodes.html"));
  ServePage("/files/ObsCodes.html");
  const std::string changed = "000   0.0000 0.62411 +0.77873 Greenwich (old name)";
  const std::string refused = "002   0.62   0.622   +0.781   Rayleigh (mine)";
  const std::string trailing = "001   0.1542 0.62992 +0.77411 Crowborough   \t";
  const std::string localOnly = "AAA  10.0000 0.50000 +0.80000 My roof";
  const std::string old = "Code  Long.   cos      sin    Name\r\n" + changed + "\r\n" + trailing + "\r\n" + refused +
                          "\r\n568 204.5278 0.94171 +0.33725 Maunakea\r\n" + localOnly + "\r\n# my notes\r\n";
  ASSERT_TRUE(WriteBytesFile(m_stations, old));
  m_ui.m_scriptedAnswers = {MsgAnswer::Yes, MsgAnswer::No};

  ASSERT_EQ(RunStationCodeUpdate(), 0);

  // One question per differing code, in page order; trailing blanks are no difference.
  ASSERT_EQ(m_ui.m_messages.size(), 3u);
  EXPECT_EQ(m_ui.m_messages[0].caption, kCaption);
  EXPECT_EQ(m_ui.m_messages[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(m_ui.m_messages[0].text,
            "観測所コード 000 のデータが小惑星センターと異なります。\r\n\r\n現在: " + changed +
                "\r\n新規: 000   0.0000 0.62411 +0.77873 Greenwich\r\n\r\n上書きしますか？");
  EXPECT_NE(m_ui.m_messages[1].text.find("観測所コード 002 "), std::string::npos);
  EXPECT_EQ(m_ui.m_messages[2].caption, kCaption);
  EXPECT_EQ(m_ui.m_messages[2].text, Done(2712 - 4, 1, 1));
  EXPECT_EQ(Read(m_stations + ".bak"), old);

  const std::vector<std::string> lines = SplitCrLf(Read(m_stations));
  ASSERT_EQ(lines.size(), 7u + 2712 - 4);
  EXPECT_EQ(lines[0], "Code  Long.   cos      sin    Name");
  EXPECT_EQ(lines[1], "000   0.0000 0.62411 +0.77873 Greenwich");
  EXPECT_EQ(lines[2], trailing);
  EXPECT_EQ(lines[3], refused);
  // New codes stand in code order before the first greater local code; those
  // after every local code follow the file's last line.
  const auto aaa = std::find(lines.begin(), lines.end(), localOnly);
  ASSERT_NE(aaa, lines.end());
  EXPECT_EQ(*(aaa - 1), "A99  10.8589 0.69978 +0.71223 Osservatorio del Monte Baldo");
  EXPECT_EQ(*(aaa + 1), "# my notes");
  EXPECT_EQ(lines.back(), "Z99 359.978740.595468+0.800687Clixby Observatory, Cleethorpes");
  EXPECT_TRUE(std::is_sorted(lines.begin() + 1, aaa, [](const std::string& a, const std::string& b) {
    return a.substr(0, 3) < b.substr(0, 3);
  }));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "568 204.5278 0.94171 +0.33725 Maunakea"), 1);
}

TEST_F(ObsCodeUpdateTest, RefusedPagesChangeNothing)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "plain.html", "<html><body>" + std::string(5000, 'x') + "</body></html>"));
  ASSERT_TRUE(WriteBytesFile(m_dir + "reversed.html", "</pre>" + SmallPage(150).substr(12)));
  ASSERT_TRUE(WriteBytesFile(m_dir + "few.html", SmallPage(99)));
  ASSERT_TRUE(WriteBytesFile(m_dir + "page.html", SmallPage(150)));
  ASSERT_TRUE(WriteBytesFile(m_dir + "big.txt", std::string(9000000, 'x')));
  const std::string format = "受信したデータの形式が想定と異なります(観測所コード一覧が見つかりません)。";
  const std::string same = "\r\n観測所コードファイルはそのままです。";
  struct Case {
    const char* name;
    std::string path;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"page without a block", "/files/plain.html", format},
      {"server's error page", "/status/500", "観測所コード一覧を取得できませんでした(応答コード 500)。" + same},
      {"end before start", "/files/reversed.html", format},
      {"99 code lines", "/files/few.html", "受信した観測所コードの件数が少なすぎます。更新を中止しました。"},
      {"page cut short", "/short?size=3000&declared=9000", "観測所コード一覧の受信が途中で切れました。" + same},
      // Cut inside its last lines: without the block's end it is no list.
      {"page cut short, no length",
       "/deliver?file=page.html&cl=0&cut=" + std::to_string(SmallPage(150).size() - 100), format},
      {"noise said to be gzip", "/deliver?random=20000&enc=gzip", format},
      {"error page with status 200", "/deliver?html=20000", format},
      {"server falls silent", "/deliver?file=page.html&cut=3000&then=stall&ms=3000",
       "観測所コード一覧の受信が途中で止まりました(1秒間、応答がありません)。" + same},
      {"beyond 8 MB", "/deliver?file=big.txt&cl=0",
       "観測所コード一覧が大きすぎます(8 MBを超えました)。受信を打ち切りました。" + same},
  };
  const std::string old = "000   0.0000 0.62411 +0.77873 Greenwich\r\n";
  ASSERT_TRUE(WriteBytesFile(m_stations, old));
  const HttpTimeouts quick{2000, 1000, 1000};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_ui.m_messages.clear();
    ServePage(c.path);
    EXPECT_EQ(RunStationCodeUpdate(&quick), -1);
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0].text, c.message);
    EXPECT_EQ(m_ui.m_messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(Read(m_stations), old);
    EXPECT_FALSE(FileExists(m_stations + ".bak"));
  }
  EXPECT_EQ(TheApp().m_nWaitCursorCount, 0);

  const std::string url = m_server->Url("/files/few.html");
  m_server.reset();
  m_ui.m_messages.clear();
  EXPECT_EQ(RunStationCodeUpdate(), -1);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, "小惑星センターに接続できませんでした。");
}

TEST_F(ObsCodeUpdateTest, HundredLinesUsedAndEntitiesReplaced)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "page.html", SmallPage(100)));
  ServePage("/files/page.html");
  ASSERT_TRUE(WriteBytesFile(m_stations, ""));
  ASSERT_EQ(RunStationCodeUpdate(), 0);
  const std::vector<std::string> lines = SplitCrLf(Read(m_stations));
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines[0], "A00  10.0000 0.50000 +0.80000 Site A00 & <Co>");
  EXPECT_EQ(m_ui.m_messages.back().text, Done(100, 0, 0));

  // Nothing new and nothing changed: still rewritten, backed up and reported.
  const std::string before = Read(m_stations);
  m_ui.m_messages.clear();
  ASSERT_EQ(RunStationCodeUpdate(), 0);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, Done(0, 0, 0));
  EXPECT_EQ(Read(m_stations), before);
  EXPECT_EQ(Read(m_stations + ".bak"), before);
}

// New codes go before the first station line with a greater code, as if
// inserted one by one in the page's order: checked against that one-by-one
// insertion on sorted and unsorted files, lines that are no station, codes
// the page repeats and codes the file already holds.
TEST_F(ObsCodeUpdateTest, NewCodesGoWhereInsertingOneByOnePutsThem)
{
  const auto oneByOne = [](std::vector<std::string> local, const std::vector<std::string>& remote) {
    std::vector<std::string> had;
    for (const std::string& l : local)
      if (IsStationCodeLine(l))
        had.push_back(l.substr(0, 3));
    for (const std::string& r : remote) {
      if (std::find(had.begin(), had.end(), r.substr(0, 3)) != had.end())
        continue;
      auto at = std::find_if(local.begin(), local.end(),
                             [&](const std::string& l) { return IsStationCodeLine(l) && l.substr(0, 3) > r.substr(0, 3); });
      local.insert(at, r);
    }
    return local;
  };
  const auto line = [](const std::string& code, const char* tag = "") {
    return code + "  10.0000 0.50000 +0.80000 " + tag;
  };
  struct Case {
    const char* name;
    std::vector<std::string> local, remote;
  };
  std::vector<Case> cases = {
      {"sorted file", {"Code  Long.", line("B00"), line("D00")}, {line("A00"), line("C00"), line("E00"), line("B00")}},
      {"unsorted file", {line("M00"), "", line("C00"), line("Z00"), line("A00")},
       {line("B00"), line("N00"), line("D00"), line("ZZ9"), line("000")}},
      {"repeated new codes", {line("B00"), line("D00")},
       {line("C00", "1"), line("C00", "2"), line("A00", "1"), line("C00", "3"), line("A00", "2"), line("C01")}},
      {"empty file", {}, {line("Q00"), line("P00"), line("Q00", "again")}},
  };
  // A larger mixed case from a fixed sequence of codes.
  Case mixed{"mixed", {}, {}};
  unsigned seed = 12345;
  const auto nextCode = [&] {
    seed = seed * 1103515245u + 12345u;
    const unsigned v = (seed >> 8) % 60;
    return std::string{static_cast<char>('A' + v / 10), static_cast<char>('0' + v % 10), '0'};
  };
  for (int i = 0; i < 40; ++i)
    mixed.local.push_back(i % 9 == 0 ? std::string("# note") : line(nextCode()));
  for (int i = 0; i < 80; ++i)
    mixed.remote.push_back(line(nextCode(), "new"));
  cases.push_back(mixed);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> merged = c.local;
    const StationMergeCounts counts = MergeStationCodeLines(merged, c.remote);
    const std::vector<std::string> expected = oneByOne(c.local, c.remote);
    EXPECT_EQ(merged, expected);
    EXPECT_EQ(static_cast<size_t>(counts.added), expected.size() - c.local.size());
  }

  // Entities are replaced in the order &amp;, &lt;, &gt;, each left to right.
  std::vector<std::string> lines;
  ASSERT_TRUE(ExtractStationCodeLines("<pre>\nA01 x &amp;lt; &amp;amp; &lt;&gt;&amp\n</pre>", lines));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "A01 x < &amp; <>&amp");
}

// The file is written back in the encoding it had, and the station reader then
// finds the kept local code (with its name) and the new ones.
TEST_F(ObsCodeUpdateTest, EveryEncodingIsKeptAndReadBackByTheStationReader)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "page.html", SmallPage(120)));
  ServePage("/files/page.html");
  const std::string local = "A05 139.5000 0.50000 +0.80000 ";
  struct Case {
    TextEncoding encoding;
    bool bom;
    std::string site;
    std::string head;  // the first bytes of the file after the update
  };
  const Case cases[] = {
      {TextEncoding::Utf16Le, true, "東京の屋上", "\xFF\xFE"},
      {TextEncoding::Utf8, true, "Ondřejov Šternberk", std::string(kUtf8Bom)},
      {TextEncoding::Utf8, false, "Šternberk", "A00"},
      {TextEncoding::Cp932, false, "東京の屋上", "A00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site + (c.bom ? " with its mark" : ""));
    const std::string text = local + c.site + "\r\n";
    std::string bytes = c.bom && c.encoding == TextEncoding::Utf8 ? std::string(kUtf8Bom) + text : text;
    if (c.encoding == TextEncoding::Utf16Le) {
      ASSERT_TRUE(Utf8ToUtf16Le(text, bytes, true));
    }
    if (c.encoding == TextEncoding::Cp932) {
      ASSERT_TRUE(Utf8ToCp932(text, bytes));
    }
    ASSERT_TRUE(WriteBytesFile(m_stations, bytes));
    ASSERT_EQ(RunStationCodeUpdate(), 0);  // the headless box answers No
    EXPECT_EQ(m_ui.m_messages.back().text, Done(119, 0, 0));

    const std::string written = Read(m_stations);
    EXPECT_EQ(written.substr(0, c.head.size()), c.head);
    std::string decoded;
    TextEncoding found = TextEncoding::Utf8;
    ASSERT_TRUE(DecodeTextBytes(written, decoded, &found));
    EXPECT_EQ(found, c.encoding);
    EXPECT_NE(decoded.find("\r\n" + local + c.site + "\r\n"), std::string::npos);

    StationRecord* table = nullptr;
    EXPECT_EQ(LoadStationTable(&table), 120);
    ASSERT_NE(table, nullptr);
    double lon = 0, rhoCos = 0, rhoSin = 0;
    EXPECT_EQ(FindStation("A05", table, &lon, &rhoCos, &rhoSin), 0);
    EXPECT_EQ(lon, 139.5);
    EXPECT_EQ(table[5].m_szName, c.site);
    for (const char* code : {"A00", "A99", "B19"}) {
      EXPECT_EQ(FindStation(code, table, &lon, &rhoCos, &rhoSin), 0) << code;
      EXPECT_EQ(lon, 10.0) << code;
    }
    std::free(table);
  }
}

// The update's page shows its progress in the status bar and stops when
// asked while the server drips a byte every 200 ms.
TEST_F(ObsCodeUpdateTest, DownloadShowsProgressAndStops)
{
  const std::string page = SmallPage(150);
  ASSERT_TRUE(WriteBytesFile(m_dir + "page.html", page));
  ServePage("/deliver?file=page.html&then=drip&ms=200&cut=" + std::to_string(page.size() - 15));
  const std::string old = "000   0.0000 0.62411 +0.77873 Greenwich\r\n";
  ASSERT_TRUE(WriteBytesFile(m_stations, old));
  std::string text;
  DownloadProgress progress{nullptr, [&](const std::string& t) { text = t; }};
  TransferControl control;
  control.progress = &progress;
  const auto start = std::chrono::steady_clock::now();
  control.stop = [&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500); };
  EXPECT_EQ(RunStationCodeUpdate(nullptr, &control), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, "中止しました。\r\n観測所コードファイルはそのままです。");
  EXPECT_EQ(text.rfind("観測所コード一覧 を受信中… 0.0 / 0.0 MB   ", 0), 0u) << text;
  EXPECT_EQ(Read(m_stations), old);
  EXPECT_FALSE(FileExists(m_stations + ".bak"));
}

TEST_F(ObsCodeUpdateTest, StopsWhenTheBackupFails)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "page.html", SmallPage(100)));
  ServePage("/files/page.html");
  const std::string old = "Z00  1.0 0.5 +0.8 Mine\r\n";
  ASSERT_TRUE(WriteBytesFile(m_stations, old));
  ASSERT_TRUE(CreateFolder(m_stations + ".bak"));  // a folder where the backup should go
  EXPECT_EQ(RunStationCodeUpdate(), -1);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, "観測所コードファイルの控え(.bak)を保存できませんでした。更新を中止しました。");
  EXPECT_EQ(Read(m_stations), old);

  // A station file that cannot be read is never written.
  TheApp().m_szStationsFile = m_dir + "none.txt";
  m_ui.m_messages.clear();
  EXPECT_EQ(RunStationCodeUpdate(), -1);
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, "観測所コードファイルを開けませんでした。");
  EXPECT_FALSE(FileExists(m_dir + "none.txt"));
}

} // namespace
