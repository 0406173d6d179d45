#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/gzip_line_reader.h"
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

constexpr size_t kMiB = 1048576;

// A catalogue of exactly size bytes (at least a few kilobytes): the header
// block of the real file, its separator, then catalogue lines (1 Ceres);
// the first header line is padded to reach the size.
std::string Catalogue(size_t size)
{
  const std::string line =
      "00001    3.4   0.15 K205V 162.68631   73.73161   80.28698   10.58862  0.0775571  0.21406009   2.7676569  0 "
      "MPO492748  6751 115 1801-2019 0.60 M-v 30h Williams   0000      (1) Ceres              20190915\r\n";
  std::string rest = "\r\nDes'n     H     G   Epoch     M        Peri.      Node       Incl.       e\r\n" +
                     std::string(160, '-') + "\r\n";
  const std::string title = "MINOR PLANET CENTER ORBIT DATABASE (MPCORB)";
  while (title.size() + rest.size() + line.size() + 2 <= size)
    rest += line;
  return title + std::string(size - title.size() - rest.size() - 2, ' ') + "\r\n" + rest;
}

// Lines of 80 seeded random letters and digits: text that gzip cannot shrink
// much, so that a compressed file passes the 1 MiB floor.
std::string NoisyLines(size_t size)
{
  std::mt19937 random(7);
  const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string text;
  while (text.size() < size) {
    for (int i = 0; i < 80; ++i)
      text += alphabet[random() % 36];
    text += "\n";
  }
  return text;
}

// from gzipped into to by Python's gzip (the server's python3), time stamp 0.
bool GzipFile(const std::string& from, const std::string& to)
{
  const std::string command = "python3 -c \"import gzip,sys; open(sys.argv[2],'wb').write(gzip.compress("
                              "open(sys.argv[1],'rb').read(), mtime=0))\" '" +
                              from + "' '" + to + "'";
  return std::system(command.c_str()) == 0;
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
    for (size_t size : {size_t(2200000), size_t(1100000), kMiB, kMiB - 1})
      ASSERT_TRUE(WriteBytesFile(m_dir + "cat" + std::to_string(size), Catalogue(size)));
  }
  void TearDown() override
  {
    m_server.reset();
    fs::remove_all(m_dir);
  }
  std::string Target() const
  {
    return Read(m_target);
  }
  static std::string Read(const std::string& path)
  {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
  }

  std::string m_dir;
  std::string m_target;
  std::unique_ptr<LocalHttpServer> m_server;
};

// The old target stays byte for byte and the work file goes unless what came
// proves to be the whole file asked for; the message names the cause.
TEST_F(HttpTest, DownloadReplacesTargetOnlyWhenComplete)
{
  const std::string kept = "\r\n元のファイルはそのまま残してあります。";
  const std::string incomplete =
      "test.dat の受信が完了しませんでした。\r\n回線の状態とディスクの空き容量を確認してください。" + kept;
  const std::string html = "test.dat の代わりにウェブページ(HTML)が届きました。\r\n取得元URLが正しいか確認してください。" + kept;
  const std::string notCatalogue =
      "届いた内容は test.dat の形式ではありません(軌道要素の行が見つかりません)。\r\n取得元URLが正しいか確認してください。" + kept;
  const std::string notWhole =
      "test.dat が最後まで届いたか確かめられませんでした(大きさの通知がなく、最後の行が欠けています)。\r\n"
      "回線の状態を確認して、もう一度受信してください。" + kept;
  const std::string brokenGzip =
      "届いた test.dat はgzipとして最後まで展開できませんでした。\r\ngzip形式のファイルではありません。" + kept;
  const std::string stalled =
      "test.dat の受信が途中で止まりました(1秒間、応答がありません)。\r\n回線の状態を確認してください。" + kept;
  struct Case {
    const char* name;
    std::string path;
    std::string error;  // "" when the download succeeds
    std::string body;   // the target's bytes on success
  };
  const std::vector<Case> cases = {
      {"with length", "/files/cat2200000", "", Catalogue(2200000)},
      {"without length", "/deliver?file=cat1100000&cl=0", "", Catalogue(1100000)},
      {"exactly 1 MiB", "/files/cat1048576", "", Catalogue(kMiB)},
      {"complete but below 1 MiB", "/files/cat1048575", incomplete, ""},
      {"body cut short", "/deliver?file=cat2200000&cut=1500000", incomplete, ""},
      {"server falls silent", "/deliver?file=cat2200000&cut=1500000&then=stall&ms=3000", stalled, ""},
      {"error status", "/status/404", "取得できませんでした(応答コード 404)。\r\n" + m_server->Url("/status/404"), ""},
      {"redirect followed", "/redirect?to=/files/cat1100000", "", Catalogue(1100000)},
      {"error page with status 200", "/deliver?html=1500000", html, ""},
      {"noise", "/deliver?random=2000000", notCatalogue, ""},
      {"noise said to be gzip", "/deliver?random=2000000&enc=gzip", brokenGzip, ""},
      {"cut inside a line, no length", "/deliver?file=cat2200000&cl=0&cut=1500000", notWhole, ""},
      {"stall inside a line, no length", "/deliver?file=cat2200000&cl=0&cut=1500000&then=stall&ms=3000", stalled,
       ""},
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
    EXPECT_EQ(r, c.error.empty() ? 1 : 0);
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(FileExists(m_target + ".part"));
    EXPECT_EQ(Target(), c.error.empty() ? c.body : "old catalogue");
  }
}

// A ".gz" target (the ITF file) is taken only when the stream inflates to its
// end with a good CRC-32 and length; what it holds is no catalogue.
TEST_F(HttpTest, CompressedDownloadMustInflateToItsEnd)
{
  ASSERT_TRUE(WriteBytesFile(m_dir + "itf.txt", NoisyLines(2500000)));
  ASSERT_TRUE(GzipFile(m_dir + "itf.txt", m_dir + "itf.txt.gz"));
  ASSERT_TRUE(WriteBytesFile(m_dir + "page.html", "<html><body>" + NoisyLines(2500000) + "</body></html>\n"));
  ASSERT_TRUE(GzipFile(m_dir + "page.html", m_dir + "page.html.gz"));
  const std::string gz = Read(m_dir + "itf.txt.gz");
  ASSERT_GT(gz.size(), kMiB);
  const size_t cut = gz.size() - 1000;
  const std::string kept = "\r\n元のファイルはそのまま残してあります。";
  const std::string broken = "届いた itf.txt.gz はgzipとして最後まで展開できませんでした。\r\n";
  struct Case {
    const char* name;
    std::string path;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"whole, with length", "/files/itf.txt.gz", ""},
      {"whole, without length", "/deliver?file=itf.txt.gz&cl=0", ""},
      {"cut short, without length", "/deliver?file=itf.txt.gz&cl=0&cut=" + std::to_string(cut),
       broken + "gzipの中身が壊れています(展開できませんでした)。" + kept},
      {"noise", "/deliver?random=2000000&cl=0", broken + "gzip形式のファイルではありません。" + kept},
      {"a web page, compressed", "/files/page.html.gz",
       "itf.txt.gz の代わりにウェブページ(HTML)が圧縮されて届きました。\r\n取得元URLが正しいか確認してください。" + kept},
  };
  const std::string target = m_dir + "data.txt.gz";
  const HttpTimeouts quick = QuickTimeouts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteBytesFile(target, "old itf"));
    std::string error;
    EXPECT_EQ(CTessaruneLib::DownloadToFile(m_server->Url(c.path), target, "itf.txt.gz", nullptr, nullptr, &error,
                                            &quick),
              c.error.empty() ? 1 : 0);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(Read(target), c.error.empty() ? gz : "old itf");
    EXPECT_FALSE(FileExists(target + ".part"));
  }
}

TEST_F(HttpTest, DownloadShowsProgressAndPumpsEvents)
{
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  ASSERT_TRUE(WriteBytesFile(m_dir + "cat2097152", Catalogue(2097152)));
  struct Case {
    const char* name;
    std::string path;
    int lastPercent;
    const char* textStart;
  };
  const Case cases[] = {
      {"with length", "/files/cat2097152", 100, "p.dat を受信中… 2.0 / 2.0 MB   "},
      {"without length", "/deliver?file=cat2097152&cl=0", 0, "p.dat を受信中… 2.0 MB   "},
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

// The 中止 button arrives as a window event: a UI whose pump sets the abort
// flag once the transfer has waited a moment.
class PressAbortUi : public HeadlessUiServices {
public:
  bool PumpOneEvent() override
  {
    if (m_started == std::chrono::steady_clock::time_point{})
      m_started = std::chrono::steady_clock::now();
    if (std::chrono::steady_clock::now() - m_started > std::chrono::milliseconds(300) && !m_pressedAt) {
      m_pressedAt = 1;
      m_pressed = std::chrono::steady_clock::now();
      if (m_flag)
        *m_flag = 1;
      if (m_atomicFlag)
        m_atomicFlag->store(1);
    }
    return HeadlessUiServices::PumpOneEvent();
  }
  int* m_flag = nullptr;
  std::atomic<int>* m_atomicFlag = nullptr;
  int m_pressedAt = 0;
  std::chrono::steady_clock::time_point m_started{}, m_pressed{};
};

// 中止 ends the download within a second whatever the server does: with or
// without a length, a drip of one byte per 200 ms, a silent server (its
// time-out far off), before or after the answer's header; and with the
// plain or the atomic flag (the ITF search hands over its atomic one).
TEST_F(HttpTest, AbortEndsEveryTransferWithinASecond)
{
  // Bounded, so that a download deaf to 中止 fails the test in seconds: the
  // drips send their last 15 bytes in three seconds.
  const std::string dripFrom = "&cut=" + std::to_string(2200000 - 15) + "&then=drip&ms=200";
  const std::string paths[] = {
      "/deliver?file=cat2200000" + dripFrom,
      "/deliver?file=cat2200000&cl=0" + dripFrom,
      "/deliver?file=cat2200000&cl=0&cut=100000&then=stall&ms=5000",
      "/slow?ms=5000",
  };
  const HttpTimeouts patient{2000, 30000, 30000};
  for (const std::string& path : paths) {
    for (bool atomic : {false, true}) {
      SCOPED_TRACE(path + (atomic ? " atomic" : " int"));
      PressAbortUi ui;
      ScopedUi scoped(ui);
      int flag = 0;
      std::atomic<int> atomicFlag{0};
      ui.m_flag = &flag;
      ui.m_atomicFlag = &atomicFlag;
      std::string error;
      const std::string url = m_server->Url(path);
      const int r = atomic ? CTessaruneLib::DownloadToFile(url, m_target, "c.dat", nullptr, atomicFlag, &error, &patient)
                           : CTessaruneLib::DownloadToFile(url, m_target, "c.dat", nullptr, &flag, &error, &patient);
      const auto after = std::chrono::steady_clock::now() - ui.m_pressed;
      EXPECT_EQ(r, 0);
      ASSERT_EQ(ui.m_pressedAt, 1);
      EXPECT_LT(after, std::chrono::seconds(1));
      EXPECT_EQ(error, "中止しました。");
      EXPECT_EQ(Target(), "old catalogue");
      EXPECT_FALSE(FileExists(m_target + ".part"));
    }
  }
}

TEST_F(HttpTest, FailedRenameKeepsBothFiles)
{
  // A target that cannot be replaced (a folder that is not empty) stays as it
  // was, and the received bytes stay in the work file.
  const std::string target = m_dir + "busy";
  ASSERT_TRUE(CreateFolder(target));
  ASSERT_TRUE(WriteBytesFile(target + "/keep", "x"));
  std::string error;
  EXPECT_EQ(CTessaruneLib::DownloadToFile(m_server->Url("/files/cat1100000"), target, "r.dat", nullptr, nullptr,
                                          &error),
            0);
  EXPECT_EQ(error, "受信は終わりましたが、ファイル名を変更できませんでした。\r\n受信内容は次の名前で残っています。\r\n" +
                       target + ".part");
  EXPECT_TRUE(FileExists(target + "/keep"));
  EXPECT_EQ(Read(target + ".part"), Catalogue(1100000));
}

TEST_F(HttpTest, LeftOverWorkFileIsOverwrittenAndUnreachableHostFails)
{
  ASSERT_TRUE(WriteBytesFile(m_target + ".part", std::string(3000000, 'z')));
  ASSERT_EQ(CTessaruneLib::DownloadToFile(m_server->Url("/files/cat1048576"), m_target, "w.dat"), 1);
  EXPECT_EQ(Target(), Catalogue(kMiB));

  // A port nobody listens on: the server's own port once it is gone.
  const std::string url = m_server->Url("/bytes?size=10");
  m_server.reset();
  std::string error;
  EXPECT_EQ(CTessaruneLib::DownloadToFile(url, m_target, "w.dat", nullptr, nullptr, &error), 0);
  EXPECT_EQ(error, "接続できませんでした。\r\n" + url);
  EXPECT_EQ(Target(), Catalogue(kMiB));
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
      {"body cut short", "/short?size=5000&declared=9000", 0, "", "NEOCPの一覧の受信が途中で切れました。"},
      {"silent body", "/stall?size=100&declared=9000&ms=3000", 0, "",
       "NEOCPの一覧の受信が途中で止まりました(1秒間、応答がありません)。"},
      {"no answer in time", "/slow?ms=3000", 0, "", "MPCに接続できませんでした。ネットワークの状態を確認してください。"},
      {"announced beyond the limit", "/bytes?size=1048577", 0, "",
       "NEOCPの一覧が大きすぎます(1 MBを超えました)。受信を打ち切りました。"},
      {"sent beyond the limit", "/bytes?size=3000000&cl=0", 0, "",
       "NEOCPの一覧が大きすぎます(1 MBを超えました)。受信を打ち切りました。"},
      {"exactly the limit", "/bytes?size=1048576&cl=0", 1, Pattern(kMiB), ""},
  };
  const HttpTimeouts quick = QuickTimeouts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = "stale", error = "stale";
    EXPECT_EQ(HttpGetText(m_server->Url(c.path), out, &error, &quick, nullptr, kMiB), c.result);
    EXPECT_EQ(out, c.body);
    EXPECT_EQ(error, c.error);
  }
}

// A text fetch shows its progress and stops at once when asked, even while
// the server is silent, with its stall time-out far off.
TEST_F(HttpTest, TextFetchShowsProgressAndStops)
{
  std::string text;
  DownloadProgress progress{nullptr, [&](const std::string& t) { text = t; }};
  const auto start = std::chrono::steady_clock::now();
  TransferControl control;
  control.progress = &progress;
  control.stop = [&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500); };
  const HttpTimeouts patient{2000, 30000, 30000};
  ASSERT_TRUE(WriteBytesFile(m_dir + "list.txt", std::string(2000, 'x')));
  std::string out, error;
  EXPECT_EQ(HttpGetText(m_server->Url("/deliver?file=list.txt&cl=0&cut=1000&then=stall&ms=5000"), out, &error,
                        &patient, &control),
            0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_EQ(error, "中止しました。");
  EXPECT_EQ(out, "");
  EXPECT_EQ(text.rfind("NEOCPの一覧 を受信中… 0.0 MB   ", 0), 0u) << text;
}

} // namespace
