#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/mpc_obs_client.h"
#include "platform/files.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"

namespace fs = std::filesystem;

namespace {

// An 80-column line of 2024 January: note in column 15, the day with six
// decimals in columns 24-32, the reference in 72-77 (blank: unpublished).
std::string Obs(char note, const char* day, const char* ref = "      ", const char* code = "G96")
{
  std::string line = "     K24A01A  ";
  line += note;
  line += std::string("2024 01 ") + day;
  line.resize(32, ' ');
  line += "10 00 00.00 +10 00 00.0          18.5 V";
  line.resize(71, ' ');
  line += ref;
  line += code;
  return line;
}

std::string Lines(const std::vector<std::string>& lines, const char* end = "\r\n")
{
  std::string s;
  for (const std::string& l : lines)
    s += l + end;
  return s;
}

// The service's answer carrying the lines as its "OBS80" string.
std::string Reply(const std::vector<std::string>& lines)
{
  std::string s = "[{\"OBS80\": \"";
  for (const std::string& l : lines)
    s += l + "\\n";
  return s + "\", \"designation\": \"2024 AA1\"}]";
}

std::string Info(int kept, int fetched, int dropped)
{
  std::string s;
  if (kept > 0)
    s = "既存ファイルにあったオリジナルの観測 " + std::to_string(kept) +
        "個\r\n(MPCの参照符号が無い行=未発表の観測)を残して、\r\nMPCから受信した観測 " + std::to_string(fetched) +
        "個と日付順に併合しました。";
  else if (dropped > 0)
    s = "MPCから受信した観測 " + std::to_string(fetched) + "個で更新しました。";
  if (dropped > 0)
    s += "\r\n\r\nオリジナルの観測のうち " + std::to_string(dropped) +
         "個は、同じ観測(同じ観測所・同じ時刻)が\r\nMPCに収載済みだったため、参照符号つきのMPC版を採用し\r\n"
         "手元の控えは削除しました。";
  return s;
}

class ObsServiceTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_dir = MakeTempDir("obs");
    m_server = std::make_unique<LocalHttpServer>(m_dir);
    ASSERT_TRUE(m_server->Running());
    m_out = m_dir + "2024_AA1.obs";
  }
  void TearDown() override
  {
    m_server.reset();
    fs::remove_all(m_dir);
  }
  int Fetch(const std::string& desig, int neocp = 0)
  {
    return CTessaruneLib::FetchMpcObservations(desig, m_out, &m_error, &m_info, neocp, m_server->Url(""));
  }
  std::string Read(const std::string& path) const
  {
    std::string s;
    ReadWholeFile(path, s);
    return s;
  }

  std::string m_dir, m_out, m_error, m_info;
  std::unique_ptr<LocalHttpServer> m_server;
};

TEST_F(ObsServiceTest, MergeWithTheLocalFile)
{
  const std::string A = Obs(' ', "10.500000", "MPC001");
  const std::string C = Obs(' ', "20.500000", "MPC001");
  const std::string B = Obs(' ', "15.123450");
  const std::string Bpub = Obs(' ', "15.123450", "MPC002");
  const std::string S = Obs('S', "12.000000");
  const std::string s = Obs('s', "12.000000");
  const std::string Spub = Obs('S', "12.000000", "MPC003");
  const std::string sShort = Obs('s', "12.000000").substr(0, 70);
  const std::string undated = "  COMMENT LINE WITHOUT A DATE";
  std::vector<std::string> manyShort;
  for (int i = 0; i < 200; ++i)
    manyShort.push_back("NOTE " + std::to_string(100 + i));

  struct Case {
    const char* name;
    std::vector<std::string> reply;
    std::string existing;  // "" : no file
    std::string expected;
    std::string info;
  };
  const std::vector<Case> cases = {
      {"no local file: the reply as sent", {C, A}, "", Lines({C, A}), ""},
      {"only published local lines: the reply unsorted", {C, A}, Lines({Bpub, A}), Lines({C, A}), ""},
      {"unpublished line merged by date", {C, A}, Lines({Bpub, B}), Lines({A, B, C}), Info(1, 2, 0)},
      {"LF-only local file", {A, C}, Lines({B}, "\n"), Lines({A, B, C}), Info(1, 2, 0)},
      {"S line travels with its s line", {C, A}, Lines({S, s}), Lines({A, S, s, C}), Info(1, 2, 0)},
      {"published S skipped with its s line", {A, C}, Lines({Spub, sShort, B}), Lines({A, B, C}), Info(1, 2, 0)},
      {"duplicate 1 s apart dropped", {C, Obs(' ', "15.123462", "MPC009")}, Lines({B}),
       Lines({C, Obs(' ', "15.123462", "MPC009")}), Info(0, 2, 1)},
      {"2 s apart kept", {Obs(' ', "15.123474", "MPC009")}, Lines({B}), Lines({B, Obs(' ', "15.123474", "MPC009")}),
       Info(1, 1, 0)},
      {"same time at another station kept", {Obs(' ', "15.123450", "MPC009", "F51")}, Lines({B}),
       Lines({Obs(' ', "15.123450", "MPC009", "F51"), B}), Info(1, 1, 0)},
      {"line shorter than 80 never a duplicate", {Obs(' ', "15.123450", "MPC009")}, Lines({B.substr(0, 79)}),
       Lines({Obs(' ', "15.123450", "MPC009"), B.substr(0, 79)}), Info(1, 1, 0)},
      {"undated line stays behind the line before it", {C, A}, Lines({B, undated}), Lines({A, B, undated, C}),
       Info(2, 2, 0)},
      {"many short lines all kept", {A}, Lines(manyShort), Lines(manyShort) + Lines({A}), Info(200, 1, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(m_out);
    if (!c.existing.empty()) {
      ASSERT_TRUE(WriteBytesFile(m_out, c.existing));
    }
    ASSERT_TRUE(WriteBytesFile(m_dir + "reply_get-obs.json", Reply(c.reply)));
    EXPECT_EQ(Fetch("2024 AA1"), 1) << m_error;
    EXPECT_EQ(Read(m_out), c.expected);
    EXPECT_EQ(m_info, c.info);
    EXPECT_EQ(m_error, "");
  }
}

TEST_F(ObsServiceTest, RequestForm)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "reply_get-obs.json", Reply({Obs(' ', "10.5", "MPC001")})));
  ASSERT_TRUE(WriteBytesFile(m_dir + "reply_get-obs-neocp.json", Reply({Obs(' ', "10.5")})));
  ASSERT_EQ(Fetch("C/2025 \"A1\\"), 1);
  std::string request = Read(m_dir + "request_get-obs.txt");
  EXPECT_EQ(request.rfind("GET\n", 0), 0u) << request;
  EXPECT_NE(request.find("Content-Type: application/json"), std::string::npos);
  EXPECT_NE(request.find("User-Agent: Tessarune"), std::string::npos);
  EXPECT_EQ(Read(m_dir + "request_get-obs.body"), "{\"desigs\": [\"C/2025 A1\"], \"output_format\": [\"OBS80\"]}");

  ASSERT_EQ(Fetch("P21xYz", 1), 1);
  EXPECT_EQ(Read(m_dir + "request_get-obs-neocp.body"), "{\"trksubs\": [\"P21xYz\"], \"output_format\": [\"OBS80\"]}");
}

TEST_F(ObsServiceTest, RefusalsAndFailuresLeaveTheFile)
{
  const std::string hint = "天体名の書き方(例: C/2025 A1、2P、2024 YR4)を確認してください。";
  const std::string neocpHint = "仮符号(大文字・小文字も一致させてください)を確認してください。\r\n"
                                "NEOCPの天体は、符号が確定するか一覧から外されると取得できなくなります。";
  struct Case {
    const char* name;
    std::string reply;
    int neocp;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"message", "{\"message\": \"No such object\"}", 0,
       "MPCから観測を取得できませんでした。\r\n" + hint + "\r\n\r\nMPCの応答: No such object"},
      {"message cut to 300 bytes", "{\"message\": \"" + std::string(400, 'x') + "\"}", 1,
       "NEOCPから観測を取得できませんでした。\r\n" + neocpHint + "\r\n\r\nMPCの応答: " + std::string(300, 'x')},
      {"no message", "<html>Bad gateway</html>", 0,
       "MPCの応答を解釈できませんでした(この天体の観測が無いか、APIの形式が変わった可能性があります)。"},
      {"OBS80 not a string", "{\"OBS80\": null, \"message\": \"x\"}", 0,
       "MPCから観測を取得できませんでした。\r\n" + hint + "\r\n\r\nMPCの応答: x"},
      {"empty OBS80", "{\"OBS80\":\t\"\"}", 0, "この天体の観測はMPCにありませんでした。"},
      {"empty OBS80 of a NEOCP object", "{\"OBS80\": \"\"}", 1, "この仮符号の観測はNEOCPにありませんでした。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteBytesFile(m_out, "local lines\r\n"));
    ASSERT_TRUE(WriteBytesFile(m_dir + (c.neocp ? "reply_get-obs-neocp.json" : "reply_get-obs.json"), c.reply));
    EXPECT_EQ(Fetch("2024 AA1", c.neocp), 0);
    EXPECT_EQ(m_error, c.error);
    EXPECT_EQ(Read(m_out), "local lines\r\n");
  }

  // Escapes of the reply: \n a line end, \r nothing, \t a blank, \" and \/ plain.
  ASSERT_TRUE(WriteBytesFile(m_dir + "reply_get-obs.json", "{\"OBS80\": \"a\\tb\\r\\n\\\"c\\/d\"}"));
  fs::remove(m_out);
  ASSERT_EQ(Fetch("x"), 1);
  EXPECT_EQ(Read(m_out), "a b\r\n\"c/d\r\n");

  // No file can be written in a missing folder.
  const std::string badPath = m_dir + "missing/x.obs";
  EXPECT_EQ(CTessaruneLib::FetchMpcObservations("x", badPath, &m_error, &m_info, 0, m_server->Url("")), 0);
  EXPECT_EQ(m_error, "観測ファイルを書き込めませんでした。\r\n" + badPath);

  const std::string url = m_server->Url("");
  m_server.reset();
  ASSERT_TRUE(WriteBytesFile(m_out, "local lines\r\n"));
  EXPECT_EQ(CTessaruneLib::FetchMpcObservations("x", m_out, &m_error, &m_info, 0, url), 0);
  EXPECT_EQ(m_error, "MPCに接続できませんでした。ネットワークの状態を確認してください。");
  EXPECT_EQ(Read(m_out), "local lines\r\n");
}

TEST(ObsFileMerge, MergesTwoFiles)
{
  const std::string dir = MakeTempDir("merge");
  const std::string A = Obs(' ', "10.500000", "MPC001");
  const std::string C = Obs(' ', "20.500000", "MPC001");
  const std::string Bpub = Obs(' ', "15.123450", "MPC002");
  const std::string S = Obs('S', "12.000000", "MPC003");
  const std::string s = Obs('s', "12.000000", "MPC003");
  ASSERT_TRUE(WriteBytesFile(dir + "a.obs", Lines({C, A})));
  // The second file's published lines count too; its repeat of A is dropped.
  ASSERT_TRUE(WriteBytesFile(dir + "b.obs", Lines({Obs(' ', "10.500010", "MPC001"), S, s, Bpub}, "\n")));
  int n1 = -1, n2 = -1, n3 = -1;
  ASSERT_EQ(CTessaruneLib::MergeObservationFiles(dir + "a.obs", dir + "b.obs", dir + "out.obs", &n1, &n2, &n3), 1);
  EXPECT_EQ(n1, 2);
  EXPECT_EQ(n2, 2);
  EXPECT_EQ(n3, 1);
  std::string out;
  ASSERT_TRUE(ReadWholeFile(dir + "out.obs", out));
  EXPECT_EQ(out, Lines({A, S, s, Bpub, C}));

  ASSERT_TRUE(WriteBytesFile(dir + "empty.obs", ""));
  for (const char* second : {"empty.obs", "none.obs"}) {
    n1 = n2 = n3 = -1;
    EXPECT_EQ(CTessaruneLib::MergeObservationFiles(dir + "a.obs", dir + second, dir + "out2.obs", &n1, &n2, &n3), 0);
    EXPECT_EQ(n1 + n2 + n3, 0);
    EXPECT_FALSE(FileExists(dir + "out2.obs"));
  }
  fs::remove_all(dir);
}

// Repeats are found within 0.00002 day of each other and at the same station
// only, on either side of any boundary of the grid the search uses.
TEST(ObsFileMerge, DuplicatesWithinTheToleranceOnly)
{
  const std::string dir = MakeTempDir("merge_tolerance");
  const struct {
    const char* first;
    const char* second;
    const char* secondCode;
    bool repeat;
  } cases[] = {
      {"10.500000", "10.500000", "G96", true},
      {"10.499990", "10.500005", "G96", true},   // 0.000015 across a grid boundary
      {"10.500005", "10.499990", "G96", true},
      {"10.500035", "10.500050", "G96", true},
      {"10.500019", "10.500000", "G96", true},
      {"10.499990", "10.500015", "G96", false},  // 0.000025
      {"10.500000", "10.500030", "G96", false},
      {"10.500000", "10.500000", "G97", false},  // another station
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " " + c.second + " " + c.secondCode);
    ASSERT_TRUE(WriteBytesFile(dir + "a.obs", Lines({Obs(' ', c.first), Obs(' ', "20.000000")})));
    ASSERT_TRUE(WriteBytesFile(dir + "b.obs", Lines({Obs(' ', c.second, "      ", c.secondCode), Obs(' ', "25.000000")})));
    int n1 = -1, n2 = -1, n3 = -1;
    ASSERT_EQ(CTessaruneLib::MergeObservationFiles(dir + "a.obs", dir + "b.obs", dir + "out.obs", &n1, &n2, &n3), 1);
    EXPECT_EQ(n1, 2);
    EXPECT_EQ(n2, c.repeat ? 1 : 2);
    EXPECT_EQ(n3, c.repeat ? 1 : 0);
  }
  fs::remove_all(dir);
}

TEST(ObsFileMerge, DuplicatesOnRealObservations)
{
  TSR_REQUIRE_DATA(path, "obs/mpc80/neosjl_99942.dat");
  const std::string dir = MakeTempDir("merge_real");
  // A file merged with itself: every line of at least 80 characters is a
  // duplicate; the merged file holds each observation once, in date order.
  int n1 = 0, n2 = 0, n3 = 0;
  ASSERT_EQ(CTessaruneLib::MergeObservationFiles(path, path, dir + "out.obs", &n1, &n2, &n3), 1);
  EXPECT_GT(n1, 7000);
  EXPECT_EQ(n2 + n3, n1);
  EXPECT_GT(n3, n1 * 9 / 10);
  std::string out;
  ASSERT_TRUE(ReadWholeFile(dir + "out.obs", out));
  std::vector<ObsLineEntry> entries(n1 + n2 + 8);
  const int count = CTessaruneLib::ParseObsLines(out.data(), out.size(), 0, entries.data(),
                                                 static_cast<int>(entries.size()), 0);
  EXPECT_EQ(count, n1 + n2);
  for (int i = 1; i < count; ++i)
    ASSERT_LE(entries[i - 1].m_dTimeKey, entries[i].m_dTimeKey) << i;
  fs::remove_all(dir);
}

} // namespace
