#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/comet_list.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"

namespace fs = std::filesystem;

namespace {

// One list line: the packed designation, the orbit columns 13-102 of 1P's
// real line, the name.
std::string CometLine(const std::string& packed, const std::string& name)
{
  std::string line = packed;
  line.resize(12, ' ');
  line += "  1986 01 20.4321  0.604387  0.966180  111.2268   58.2875  162.3035  20200707   4.0  6.0  ";
  return line + name + "\r\n";
}

// Lines in the list's layout, with fragments and a provisional comet without
// a parenthesised name; well over 1000 bytes.
std::string SampleList()
{
  return CometLine("0001P", "1P/Halley") + CometLine("0073P", "73P/Schwassmann-Wachmann") +
         CometLine("0073P      b", "73P-B/Schwassmann-Wachmann") + CometLine("    CJ95O010", "C/1995 O1 (Hale-Bopp)") +
         CometLine("    PK99X02c", "P/1999 X2-C (Frag)") + CometLine("    PK99X02b", "P/1999 X2-B (Frag)") +
         CometLine("    CK25A010", "C/2025 A1") + CometLine("    CK20F030", "C/2020 F3 (NEOWISE)") +
         CometLine("    CK30A010", "   ") + "short line\r\n";
}

// The sample as the server sends it: comet lines only.
std::string ServedList()
{
  std::string list = SampleList();
  list.erase(list.find("short line\r\n"));
  return list;
}

class CometListTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_dir = MakeTempDir("comet");
    m_server = std::make_unique<LocalHttpServer>(m_dir + "srv/");
    ASSERT_TRUE(CreateFolder(m_dir + "srv/"));
    ASSERT_TRUE(m_server->Running());
    m_savedDataDir = TheApp().m_szDataDir;
    m_savedIni = TheApp().m_profile.Path();
    TheApp().m_szDataDir = m_dir;
    TheApp().m_profile.SetPath(m_dir + "Tessarune.INI");
    g_mapCometNames.clear();
    g_bCometNamesLoaded = 0;
    g_bCometElsDownloadTried = 0;
  }
  void TearDown() override
  {
    TheApp().m_szDataDir = m_savedDataDir;
    TheApp().m_profile.SetPath(m_savedIni);
    g_mapCometNames.clear();
    g_bCometNamesLoaded = 0;
    g_bCometElsDownloadTried = 0;
    m_server.reset();
    fs::remove_all(m_dir);
  }
  void SetUrl(const std::string& path)
  {
    ASSERT_TRUE(TheApp().m_profile.WriteString("SYSTEM", "COMETELSURL", m_server->Url(path).c_str()));
  }
  std::string ListFile() const
  {
    std::string bytes;
    ReadWholeFile(m_dir + "AllCometEls.txt", bytes);
    return bytes;
  }

  std::string m_dir, m_savedDataDir, m_savedIni;
  std::unique_ptr<LocalHttpServer> m_server;
};

TEST_F(CometListTest, NamesFromTheRealList)
{
  TSR_REQUIRE_DATA(path, "catalogues/skyfield_CometEls.txt");
  ASSERT_TRUE(CopyWholeFile(path, m_dir + "AllCometEls.txt"));
  ASSERT_EQ(LoadCometNames(), 1);
  EXPECT_EQ(g_bCometNamesLoaded, 1);
  EXPECT_EQ(g_mapCometNames.size(), 3u);
  std::string name;
  ASSERT_EQ(FindCometName("    CK20F030", name), 1);
  EXPECT_EQ(name, "C/2020 F3 (NEOWISE)");
  std::string text = "1P";
  AppendCometName("0001P       ", text);
  EXPECT_EQ(text, "1P/Halley");
  text = "C/1995 O1";
  AppendCometName("    CJ95O010", text);
  EXPECT_EQ(text, "C/1995 O1 (Hale-Bopp)");
}

TEST_F(CometListTest, LookupWithFallBacks)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "AllCometEls.txt", SampleList()));
  ASSERT_EQ(LoadCometNames(), 1);
  EXPECT_EQ(g_mapCometNames.count("    CK30A010"), 0u);  // an empty name stores nothing
  const std::pair<const char*, const char*> found[] = {
      {"    CJ95O010", "C/1995 O1 (Hale-Bopp)"},
      {"0001PJ82U010", "1P/Halley"},                      // numbered, provisional part ignored
      {"0073P      b", "73P-B/Schwassmann-Wachmann"},     // fragment held by itself
      {"0073P      d", "73P/Schwassmann-Wachmann"},       // numbered comet first
      {"    CK20F03b", "C/2020 F3 (NEOWISE)"},            // parent of a fragment
      {"    PK99X020", "P/1999 X2-B (Frag)"},             // parent held only as fragments
  };
  for (const auto& [packed, expected] : found) {
    std::string name;
    EXPECT_EQ(FindCometName(packed, name), 1) << packed;
    EXPECT_EQ(name, expected) << packed;
  }
  std::string name = "unchanged";
  EXPECT_EQ(FindCometName("    CK21A010", name), 0);
  EXPECT_EQ(name, "unchanged");
}

// A line whose designation columns hold characters beyond ASCII is stored and
// looked up under the same 12 characters (it was stored under 12 characters
// and looked up under 12 bytes, so never found).
TEST_F(CometListTest, DesignationBeyondAsciiIsFoundAsStored)
{
  const std::string packed = "    CK\xC3\xA9" "0F030";  // "é": 12 characters in 13 bytes
  const std::string line = packed + std::string(90, ' ') + "C/20e0 F3 (Test)\r\n";
  ASSERT_TRUE(WriteBytesFile(m_dir + "AllCometEls.txt", SampleList() + line));
  ASSERT_EQ(LoadCometNames(), 1);
  std::string name;
  ASSERT_EQ(FindCometName(packed, name), 1);
  EXPECT_EQ(name, "C/20e0 F3 (Test)");
  name.clear();
  ASSERT_EQ(FindCometName("    CJ95O010", name), 1);  // ASCII keys as before
  EXPECT_EQ(name, "C/1995 O1 (Hale-Bopp)");
}

TEST_F(CometListTest, AppendingNames)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "AllCometEls.txt", SampleList()));
  SetUrl("/files/none.txt");  // a download attempt finds nothing
  struct Case {
    const char* packed;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"0001P       ", "1P", "1P/Halley"},
      {"0001P       ", "1P/Halley", "1P/Halley"},               // already named
      {"0073P      b", "73P-B", "73P-B/Schwassmann-Wachmann"},
      {"    CJ95O010", "C/1995 O1", "C/1995 O1 (Hale-Bopp)"},
      {"    CK25A010", "C/2025 A1", "C/2025 A1"},               // no parenthesised name
      {"    AK20F030", "A/2020 F3", "A/2020 F3"},               // form fits, no such comet
      {"0001A       ", "1A", "1A"},                             // not a comet's numbered form
      {"    CA20F030", "C/2020 F3", "C/2020 F3"},               // century letter out of range
      {"K20F03A     ", "2020 FA", "2020 FA"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    AppendCometName(c.packed, text);
    EXPECT_EQ(text, c.expected) << c.packed;
  }
}

TEST_F(CometListTest, DownloadKeepsOldListUnlessAnswerIsAList)
{
  const std::string good = ServedList();
  ASSERT_GE(good.size(), 1000u);
  std::string page = "<html>" + std::string(2000, ' ') + "</html>\r\n";
  ASSERT_TRUE(WriteBytesFile(m_dir + "srv/good.txt", good));
  ASSERT_TRUE(WriteBytesFile(m_dir + "srv/small.txt", good.substr(0, 999)));
  ASSERT_TRUE(WriteBytesFile(m_dir + "srv/page.html", page));
  // One good line in a page of another kind: the old check took it.
  ASSERT_TRUE(WriteBytesFile(m_dir + "srv/one.txt", CometLine("0001P", "1P/Halley") + std::string(20, '\n') + page));
  const std::string cutInLine = std::to_string(good.size() - 30);
  struct Case {
    const char* name;
    std::string path;
    int result;
  };
  const std::vector<Case> cases = {
      {"a list", "/files/good.txt", 1},
      {"a list without length", "/deliver?file=good.txt&cl=0", 1},
      {"999 bytes", "/files/small.txt", 0},
      {"error page with status 404", "/status/404", 0},
      {"page that is not a list", "/files/page.html", 0},
      {"error page with status 200", "/deliver?html=200000", 0},
      {"noise", "/deliver?random=200000", 0},
      {"noise said to be gzip", "/deliver?random=200000&enc=gzip", 0},
      {"one comet line among others", "/files/one.txt", 0},
      {"body cut short", "/short?size=1500&declared=3000", 0},
      {"cut inside a line, no length", "/deliver?file=good.txt&cl=0&cut=" + cutInLine, 0},
      {"server falls silent", "/deliver?file=good.txt&cut=" + cutInLine + "&then=stall&ms=3000", 0},
  };
  const HttpTimeouts quick{2000, 500, 500};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteBytesFile(m_dir + "AllCometEls.txt", "old list"));
    SetUrl(c.path);
    EXPECT_EQ(DownloadCometElements(&quick), c.result);
    EXPECT_EQ(ListFile(), c.result ? good : "old list");
  }
  EXPECT_EQ(TheApp().m_nWaitCursorCount, 0);
}

// The list that an observation file's loading fetches by itself shows its
// progress and stops when asked, while the server drips a byte every 200 ms.
TEST_F(CometListTest, DownloadShowsProgressAndStops)
{
  const std::string good = ServedList();
  ASSERT_TRUE(WriteBytesFile(m_dir + "srv/good.txt", good));
  ASSERT_TRUE(WriteBytesFile(m_dir + "AllCometEls.txt", "old list"));
  SetUrl("/deliver?file=good.txt&then=drip&ms=200&cut=" + std::to_string(good.size() - 15));
  std::string text;
  DownloadProgress progress{nullptr, [&](const std::string& t) { text = t; }};
  TransferControl control;
  control.progress = &progress;
  int ended = 0;
  control.ended = [&] { ++ended; };
  const auto start = std::chrono::steady_clock::now();
  control.stop = [&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500); };
  std::string name = "1P";
  AppendCometName("0001P       ", name, &control);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_EQ(name, "1P");
  EXPECT_EQ(ListFile(), "old list");
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(text.rfind("AllCometEls.txt を受信中… 0.0 / 0.0 MB   ", 0), 0u) << text;
  EXPECT_EQ(TheApp().m_nWaitCursorCount, 0);
}

TEST_F(CometListTest, OneDownloadPerRun)
{
  // No list and nothing to fetch: the first call tries once, later ones only load.
  SetUrl("/status/404");
  std::string text = "1P";
  AppendCometName("0001P       ", text);
  EXPECT_EQ(text, "1P");
  EXPECT_EQ(g_bCometElsDownloadTried, 1);
  ASSERT_TRUE(WriteBytesFile(m_dir + "srv/good.txt", ServedList()));
  SetUrl("/files/good.txt");
  AppendCometName("0001P       ", text);
  EXPECT_EQ(text, "1P");
  EXPECT_FALSE(FileExists(m_dir + "AllCometEls.txt"));

  // A present list that lacks the comet: one download brings it.
  g_bCometElsDownloadTried = 0;
  ASSERT_TRUE(WriteBytesFile(m_dir + "AllCometEls.txt", CometLine("0002P", "2P/Encke")));
  AppendCometName("0001P       ", text);
  EXPECT_EQ(text, "1P/Halley");
}

TEST_F(CometListTest, UrlSetting)
{
  EXPECT_EQ(CometElementsUrl(), kDefaultCometElsUrl);
  const std::pair<const char*, std::string> cases[] = {
      {"HTTPS://WWW.MinorPlanetCenter.net/IAU/MPCORB/CometEls.txt", kDefaultCometElsUrl},
      {"http://www.minorplanetcenter.net/iau/MPCORB/CometEls.txt", kDefaultCometElsUrl},
      {"  https://mirror.example/AllCometEls.txt ", "https://mirror.example/AllCometEls.txt"},
  };
  for (const auto& [stored, url] : cases) {
    ASSERT_TRUE(TheApp().m_profile.WriteString("SYSTEM", "COMETELSURL", stored));
    EXPECT_EQ(CometElementsUrl(), url) << stored;
  }
}

} // namespace
