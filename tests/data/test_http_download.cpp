#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/http_download.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"

namespace fs = std::filesystem;

namespace {

// Quick time-outs so that the silent-server cases end within a second.
HttpTimeouts QuickTimeouts()
{
  return HttpTimeouts{2000, 500, 500};
}

std::string Pattern(size_t n)
{
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>(i % 256);
  return s;
}

class HttpTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_dir = MakeTempDir("http");
    m_server = std::make_unique<LocalHttpServer>(m_dir);
    ASSERT_TRUE(m_server->Running()) << "python3 test server did not start";
    m_target = m_dir + "catalogue.dat";
    ASSERT_TRUE(WriteBytesFile(m_target, "old catalogue"));
  }
  void TearDown() override
  {
    m_server.reset();
    fs::remove_all(m_dir);
  }
  std::string Target() const
  {
    std::string bytes;
    ReadWholeFile(m_target, bytes);
    return bytes;
  }

  std::string m_dir;
  std::string m_target;
  std::unique_ptr<LocalHttpServer> m_server;
};

constexpr size_t kMiB = 1048576;

TEST_F(HttpTest, DownloadReplacesTargetOnlyWhenComplete)
{
  const std::string incomplete =
      "test.dat の受信が完了しませんでした。\r\n回線の状態とディスクの空き容量を確認してください。\r\n"
      "元のファイルはそのまま残してあります。";
  struct Case {
    const char* name;
    std::string path;
    int result;
    std::string error;  // "" when the download succeeds
    size_t bodySize;    // bytes expected in the target on success
  };
  const std::vector<Case> cases = {
      {"with length", "/bytes?size=2200000", 1, "", 2200000},
      {"without length", "/bytes?size=1100000&cl=0", 1, "", 1100000},
      {"exactly 1 MiB", "/bytes?size=1048576", 1, "", kMiB},
      {"complete but below 1 MiB", "/bytes?size=1048575", 0, incomplete, 0},
      {"body cut short", "/short?size=2000000&declared=3000000", 0, incomplete, 0},
      {"server falls silent", "/stall?size=1500000&declared=3000000&ms=3000", 0, incomplete, 0},
      {"error status", "/status/404", 0, "取得できませんでした(応答コード 404)。\r\n" + m_server->Url("/status/404"), 0},
      {"redirect followed", "/redirect?to=/bytes%3Fsize%3D1100000", 1, "", 1100000},
  };
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  const HttpTimeouts quick = QuickTimeouts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteBytesFile(m_target, "old catalogue"));
    std::string error = "stale";
    const int r = CTessaruneLib::DownloadToFile(m_server->Url(c.path), m_target, "test.dat", nullptr, nullptr,
                                                &error, &quick);
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(FileExists(m_target + ".part"));
    if (c.result == 1)
      EXPECT_EQ(Target(), Pattern(c.bodySize));
    else
      EXPECT_EQ(Target(), "old catalogue");
  }
}

TEST_F(HttpTest, DownloadShowsProgressAndPumpsEvents)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  struct Case {
    const char* name;
    std::string path;
    int lastPercent;
    const char* textStart;
  };
  const Case cases[] = {
      {"with length", "/bytes?size=2097152", 100, "p.dat を受信中… 2.0 / 2.0 MB   "},
      {"without length", "/bytes?size=2097152&cl=0", 0, "p.dat を受信中… 2.0 MB   "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> positions;
    std::string text;
    DownloadProgress progress{[&](int p) { positions.push_back(p); }, [&](const std::string& t) { text = t; }};
    ui.m_pumps = 0;
    ASSERT_EQ(CTessaruneLib::DownloadToFile(m_server->Url(c.path), m_target, "p.dat", &progress), 1);
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.front(), 0);
    EXPECT_EQ(positions.back(), c.lastPercent);
    EXPECT_EQ(text.rfind(c.textStart, 0), 0u) << text;
    EXPECT_NE(text.find("MB/秒"), std::string::npos);
    EXPECT_GT(ui.m_pumps, 0);
  }
}

TEST_F(HttpTest, CancelStopsAndKeepsTarget)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  int cancel = 0;
  DownloadProgress progress{[&](int p) {
                              if (p > 0)
                                cancel = 1;
                            },
                            nullptr};
  std::string error;
  EXPECT_EQ(CTessaruneLib::DownloadToFile(m_server->Url("/bytes?size=3000000"), m_target, "c.dat", &progress,
                                          &cancel, &error),
            0);
  EXPECT_EQ(error, "中止しました。");
  EXPECT_EQ(Target(), "old catalogue");
  EXPECT_FALSE(FileExists(m_target + ".part"));
}

TEST_F(HttpTest, FailedRenameKeepsBothFiles)
{
  // A target that cannot be replaced (a folder that is not empty) stays as it
  // was, and the received bytes stay in the work file.
  const std::string target = m_dir + "busy";
  ASSERT_TRUE(CreateFolder(target));
  ASSERT_TRUE(WriteBytesFile(target + "/keep", "x"));
  std::string error;
  EXPECT_EQ(CTessaruneLib::DownloadToFile(m_server->Url("/bytes?size=1100000"), target, "r.dat", nullptr, nullptr,
                                          &error),
            0);
  EXPECT_EQ(error, "受信は終わりましたが、ファイル名を変更できませんでした。\r\n受信内容は次の名前で残っています。\r\n" +
                       target + ".part");
  EXPECT_TRUE(FileExists(target + "/keep"));
  std::string part;
  ASSERT_TRUE(ReadWholeFile(target + ".part", part));
  EXPECT_EQ(part, Pattern(1100000));
}

TEST_F(HttpTest, LeftOverWorkFileIsOverwrittenAndUnreachableHostFails)
{
  ASSERT_TRUE(WriteBytesFile(m_target + ".part", std::string(3000000, 'z')));
  ASSERT_EQ(CTessaruneLib::DownloadToFile(m_server->Url("/bytes?size=1048576"), m_target, "w.dat"), 1);
  EXPECT_EQ(Target(), Pattern(kMiB));

  // A port nobody listens on: the server's own port once it is gone.
  const std::string url = m_server->Url("/bytes?size=10");
  m_server.reset();
  std::string error;
  EXPECT_EQ(CTessaruneLib::DownloadToFile(url, m_target, "w.dat", nullptr, nullptr, &error), 0);
  EXPECT_EQ(error, "接続できませんでした。\r\n" + url);
  EXPECT_EQ(Target(), Pattern(kMiB));
}

TEST_F(HttpTest, TextFetch)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "neocp.json", "[{\"Temp_Desig\": \"A\"}]\r\n"));
  struct Case {
    const char* name;
    std::string path;
    int result;
    std::string body;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"with length", "/files/neocp.json", 1, "[{\"Temp_Desig\": \"A\"}]\r\n", ""},
      {"without length", "/bytes?size=300&cl=0", 1, Pattern(300), ""},
      {"empty body", "/bytes?size=0", 0, "", "NEOCPの一覧が空でした。"},
      {"not found", "/files/none.json", 0, "", "NEOCPの一覧を取得できませんでした(応答コード 404)。"},
      {"server error page", "/status/503", 0, "", "NEOCPの一覧を取得できませんでした(応答コード 503)。"},
      {"body cut short", "/short?size=5000&declared=9000", 0, "", "NEOCPの一覧が空でした。"},
      {"silent body", "/stall?size=100&declared=9000&ms=3000", 0, "", "NEOCPの一覧が空でした。"},
      {"no answer in time", "/slow?ms=3000", 0, "", "MPCに接続できませんでした。ネットワークの状態を確認してください。"},
  };
  const HttpTimeouts quick = QuickTimeouts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = "stale", error = "stale";
    EXPECT_EQ(HttpGetText(m_server->Url(c.path), out, &error, &quick), c.result);
    EXPECT_EQ(out, c.body);
    EXPECT_EQ(error, c.error);
  }
}

} // namespace
