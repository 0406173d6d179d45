// The planetary-file download: the DE406 join and byte swap on parts cut from
// a real big-endian DE file, DE406 over FTP and DE441 over HTTP with resume,
// both against servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "data/planetary_download.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/data/test_planetary_download_servers.h"

namespace {

// --- Helpers ------------------------------------------------------------------------

std::string Bytes(const std::string& path)
{
  std::string bytes;
  return ReadWholeFile(path, bytes) ? bytes : std::string();
}

bool Exists(const std::string& path)
{
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// A host that records what the dialog would show and can cancel after a
// number of pumps once the transfer runs.
struct RecordingHost {
  PlanetaryDownloadHost host;
  std::vector<std::string> statuses;
  std::vector<std::string> events;
  double lastPercent = -1;
  int cancel = 0;
  int cancelAfterPumps = -1;
  int transferPumps = 0;
  bool transferring = false;

  RecordingHost()
  {
    host.setStatus = [this](const std::string& t) { statuses.push_back(t); };
    host.setProgress = [this](double p) { lastPercent = p; };
    host.pump = [this] {
      if (transferring && cancelAfterPumps >= 0 && ++transferPumps >= cancelAfterPumps)
        cancel = 1;
    };
    host.beginRun = [this] { events.push_back("begin"); };
    host.transferStarted = [this] {
      events.push_back("transfer");
      transferring = true;
    };
    host.joinStarted = [this] { events.push_back("join"); };
    host.endRun = [this](PlanetaryRunResult) { events.push_back("end"); };
    host.cancelFlag = &cancel;
    host.timeouts.connectMs = 5000;
    host.timeouts.receiveMs = 5000;
  }
  std::string LastStatus() const { return statuses.empty() ? "" : statuses.back(); }
};

std::vector<std::string> Texts(const HeadlessUiServices& ui)
{
  std::vector<std::string> out;
  for (const auto& m : ui.m_messages)
    out.push_back(m.text);
  return out;
}

// Writes are refused beyond limit bytes per file while the object lives.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t limit)
  {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = m_saved;
    lim.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit()
  {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    signal(SIGXFSZ, m_oldHandler);
  }

private:
  rlimit m_saved{};
  sighandler_t m_oldHandler;
};

// --- DE406 parts cut from a big-endian DE file -----------------------------------------

constexpr double kJdStart = 2451536.5;  // span of unxp2000p2040.405
constexpr double kJdEnd = 2466160.5;
constexpr double kDaysPerRecord = 32;
constexpr size_t kRecordBytes = 1018 * 8;

void PutBigEndianDouble(std::string& bytes, size_t offset, double value)
{
  unsigned char raw[8];
  std::memcpy(raw, &value, 8);
  for (int k = 0; k < 8; ++k)
    bytes[offset + k] = static_cast<char>(raw[7 - k]);
}

// Cuts the file into the 20 parts in folder, each with its own header
// records and span and, except the last, one record of overlap with the next.
void CutIntoParts(const std::string& whole, const std::string& folder)
{
  const size_t records = (whole.size() / kRecordBytes) - 2;
  const std::string header = whole.substr(0, 2 * kRecordBytes);
  for (int i = 0; i < kDe406PartCount; ++i) {
    const size_t first = records * i / kDe406PartCount;
    const size_t next = records * (i + 1) / kDe406PartCount;
    const size_t last = std::min(records, next + 1);  // overlap as in JPL's parts
    const double start = kJdStart + first * kDaysPerRecord;
    const double end = i + 1 == kDe406PartCount ? kJdEnd : kJdStart + last * kDaysPerRecord;
    std::string part = header;
    part.replace(101, 11, FormatC("%11.1f", start));
    part.replace(185, 11, FormatC("%11.1f", end));
    PutBigEndianDouble(part, 2652, start);
    PutBigEndianDouble(part, 2660, end);
    part += whole.substr((2 + first) * kRecordBytes, (last - first) * kRecordBytes);
    ASSERT_TRUE(WriteFileAtomic(folder + g_aszDe406Parts[i], part));
  }
}

// Positions of a few bodies through the process's reader.
std::vector<double> SamplePositions()
{
  std::vector<double> out;
  for (double jd : {kJdStart + 0.3, 2455000.25, 2460000.5, kJdEnd - 0.7}) {
    for (int body : {kJplMercury, kJplEarth, kJplMoon, kJplPluto}) {
      double pos[3] = {};
      EXPECT_EQ(JplPosition(jd, body, kJplSun, pos), 0);
      out.insert(out.end(), pos, pos + 3);
    }
  }
  return out;
}

TEST(De406Parts, JoinRebuildsTheFileAndTheConversionIsReadLikeTheOriginal)
{
  TSR_REQUIRE_DATA(unx, "de/unxp2000p2040.405");
  TSR_REQUIRE_DATA(lnx, "de/lnxp2000p2040.405");
  const std::string whole = Bytes(unx);
  const std::string dir = MakeTempDir("de406join");
  CutIntoParts(whole, dir);

  HeadlessUiServices ui;
  ScopedUi scope(ui);
  ASSERT_EQ(JoinDe406Parts(dir), 0);
  EXPECT_TRUE(ui.m_messages.empty());
  // Part 0's header with the last part's final epoch, the records without overlap.
  EXPECT_TRUE(Bytes(dir + "de406.unx") == whole);

  ASSERT_EQ(ConvertDe406ToLittleEndian(dir + "de406.unx", dir + "de406.win"), 0);
  EXPECT_FALSE(Exists(dir + "de406.win.tmp"));
  const std::string converted = Bytes(dir + "de406.win");
  ASSERT_EQ(converted.size(), whole.size());
  // The header numbers and every data word agree with JPL's own little-endian file.
  const std::string reference = Bytes(lnx);
  EXPECT_TRUE(converted.compare(0, 2856, reference, 0, 2856) == 0);
  EXPECT_TRUE(converted.compare(2 * kRecordBytes, std::string::npos, reference, 2 * kRecordBytes) == 0);

  JplReaderScope reader(dir + "de406.win");
  ASSERT_TRUE(g_pJplEph->IsOpen());
  EXPECT_EQ(g_dJplStart, kJdStart);
  EXPECT_EQ(g_dJplEnd, kJdEnd);
  EXPECT_FALSE(JplCurrentHeader().bigEndian);
  const std::vector<double> fromConverted = SamplePositions();
  reader.Reopen(unx);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  EXPECT_EQ(SamplePositions(), fromConverted);
}

TEST(De406Parts, JoinRefusesMissingOrShortParts)
{
  TSR_REQUIRE_DATA(unx, "de/unxp2000p2040.405");
  const std::string whole = Bytes(unx);
  HeadlessUiServices ui;
  ScopedUi scope(ui);

  const std::string dir = MakeTempDir("de406missing");
  CutIntoParts(whole, dir);
  std::remove((dir + "unxp0300.406").c_str());
  EXPECT_EQ(JoinDe406Parts(dir), -1);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{dir + "unxp0300.406 がありません。DE406の結合処理を中止します。"});
  EXPECT_FALSE(Exists(dir + "de406.unx"));

  ui.m_messages.clear();
  const std::string shortDir = MakeTempDir("de406short");
  CutIntoParts(whole, shortDir);
  const std::string part = Bytes(shortDir + "unxm0900.406");
  WriteFileAtomic(shortDir + "unxm0900.406", part.substr(0, part.size() - 2 * kRecordBytes));
  EXPECT_EQ(JoinDe406Parts(shortDir), -1);
  EXPECT_EQ(Texts(ui),
            std::vector<std::string>{shortDir + "unxm0900.406 のデータが足りません。DE406の結合処理を中止します。"});
  EXPECT_FALSE(Exists(shortDir + "de406.unx"));
}

TEST(De406Parts, FailedWritesLeaveNoFile)
{
  TSR_REQUIRE_DATA(unx, "de/unxp2000p2040.405");
  const std::string dir = MakeTempDir("de406full");
  CutIntoParts(Bytes(unx), dir);
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  {
    FileSizeLimit limit(1000000);
    EXPECT_EQ(JoinDe406Parts(dir), -1);
  }
  EXPECT_EQ(Texts(ui), std::vector<std::string>{dir + "de406.unx が作成できませんでした。ディスク容量が不足している可能性があります。"});
  EXPECT_FALSE(Exists(dir + "de406.unx"));

  {
    FileSizeLimit limit(1000000);
    EXPECT_NE(ConvertDe406ToLittleEndian(unx, dir + "de406.win"), 0);
  }
  EXPECT_FALSE(Exists(dir + "de406.win"));
  EXPECT_FALSE(Exists(dir + "de406.win.tmp"));

  // A little-endian file is not converted again.
  TSR_REQUIRE_DATA(lnx, "de/lnxp2000p2040.405");
  EXPECT_NE(ConvertDe406ToLittleEndian(lnx, dir + "de406.win"), 0);
  EXPECT_NE(ConvertDe406ToLittleEndian(dir + "absent.unx", dir + "de406.win"), 0);
  EXPECT_FALSE(Exists(dir + "de406.win"));
}

// --- DE406 over FTP -------------------------------------------------------------------

class De406Ftp : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (access("/usr/bin/python3", X_OK) != 0)
      GTEST_SKIP() << "no system python3 for the FTP server";
    const std::string unx = TestDataPath("de/unxp2000p2040.405");
    if (unx.empty() || !TestDataFileExists(unx))
      GTEST_SKIP() << "reference data not found: de/unxp2000p2040.405";
    m_root = MakeTempDir("de406ftp");
    const std::string remote = m_root + "pub/eph/export/unix/";
    ASSERT_TRUE(CreateFolder(m_root + "pub") && CreateFolder(m_root + "pub/eph") &&
                CreateFolder(m_root + "pub/eph/export") && CreateFolder(remote));
    CutIntoParts(Bytes(unx), remote);
    m_data = MakeTempDir("de406data");
    m_target = m_data + "eph/de406.win";
    ASSERT_TRUE(CreateFolder(m_data + "eph"));
    m_server = std::make_unique<ScriptServer>("/usr/bin/python3", "ftp_test_server.py", m_root);
    if (m_server->Port() <= 0)
      GTEST_SKIP() << "the FTP server did not start (python3-pyftpdlib missing?)";
  }

  std::string Server() const { return "127.0.0.1:" + std::to_string(m_server->Port()); }
  PlanetaryRunResult Run(RecordingHost& h, const std::string& folder = "pub/eph/export/unix/")
  {
    return ReceiveDe406(Server(), folder, m_data, m_target, h.host);
  }
  bool AnyPartLeft() const
  {
    for (int i = 0; i < kDe406PartCount; ++i)
      if (Exists(m_data + g_aszDe406Parts[i]))
        return true;
    return false;
  }

  std::string m_root, m_data, m_target;
  std::unique_ptr<ScriptServer> m_server;
};

TEST_F(De406Ftp, FetchesJoinsAndConverts)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  RecordingHost h;
  ASSERT_EQ(Run(h), PlanetaryRunResult::Succeeded);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"正常に受信しました。"});
  EXPECT_EQ(h.LastStatus(), "正常に受信しました。[閉じる]ボタンを押してください。");
  EXPECT_EQ(h.events, (std::vector<std::string>{"begin", "transfer", "join", "end"}));
  EXPECT_FALSE(AnyPartLeft());
  EXPECT_FALSE(Exists(m_data + "de406.unx"));
  // Every part arrived whole, however the network cut the reads.
  JplReaderScope reader(m_target);
  ASSERT_TRUE(g_pJplEph->IsOpen());
  EXPECT_EQ(g_dJplEnd, kJdEnd);
  EXPECT_EQ(DeFileBytesFromHeader(m_target), static_cast<long long>(Bytes(m_target).size()));
  bool sawProgress = false;
  for (const std::string& s : h.statuses)
    sawProgress = sawProgress || s.find("KB / 199,769KB 受信中...    残り") != std::string::npos;
  EXPECT_TRUE(sawProgress);

  // A second press finds the target.
  ui.m_messages.clear();
  RecordingHost again;
  EXPECT_EQ(Run(again), PlanetaryRunResult::Refused);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"すでにDE406惑星データ[de406.win]があります。"});
  EXPECT_TRUE(again.events.empty());
}

TEST_F(De406Ftp, FailuresEndTheRunWithTheirMessage)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);

  RecordingHost badFolder;
  EXPECT_EQ(Run(badFolder, "pub/eph/none/"), PlanetaryRunResult::Failed);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"ディレクトリの移動に失敗しました。"});
  EXPECT_EQ(badFolder.LastStatus(), "受信に失敗しました。");
  EXPECT_EQ(badFolder.events, (std::vector<std::string>{"begin", "end"}));

  ui.m_messages.clear();
  std::remove((m_root + "pub/eph/export/unix/unxp0300.406").c_str());
  RecordingHost missing;
  EXPECT_EQ(Run(missing), PlanetaryRunResult::Failed);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"FTPサーバーに unxp0300.406 が存在しません。"});
  EXPECT_TRUE(Exists(m_data + "unxp0000.406"));  // fetched parts stay until a join
  EXPECT_FALSE(Exists(m_target));

  ui.m_messages.clear();
  RecordingHost refused;
  EXPECT_EQ(ReceiveDe406("127.0.0.1:1", "pub/", m_data, m_target, refused.host), PlanetaryRunResult::Failed);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"FTPサーバーに接続できませんでした。"});
}

TEST_F(De406Ftp, SecondPressCancelsAfterTheCurrentChunk)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  RecordingHost h;
  h.cancelAfterPumps = 3;
  EXPECT_EQ(Run(h), PlanetaryRunResult::Cancelled);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"中止操作により終了しました。"});
  EXPECT_EQ(h.LastStatus(), "中止操作により終了しました。");
  EXPECT_FALSE(Exists(m_target));
}

// --- DE441 over HTTP with resume ----------------------------------------------------

class De441Http : public ::testing::Test {
protected:
  void SetUp() override
  {
    const std::string source = TestDataPath("de/lnxp2000p2040.405");
    if (source.empty() || !TestDataFileExists(source))
      GTEST_SKIP() << "reference data not found: de/lnxp2000p2040.405";
    m_whole = Bytes(source);
    m_root = MakeTempDir("de441root");
    ASSERT_TRUE(WriteFileAtomic(m_root + "de441.bin", m_whole));
    m_eph = MakeTempDir("de441eph");
    m_target = m_eph + "de441.bin";
    m_part = m_target + ".part";
    m_server = std::make_unique<ScriptServer>("python3", "range_http_server.py", m_root);
    ASSERT_GT(m_server->Port(), 0);
  }

  std::string Url(const std::string& query = "") const
  {
    return "http://127.0.0.1:" + std::to_string(m_server->Port()) + "/de441.bin" + query;
  }
  PlanetaryRunResult Run(RecordingHost& h, const std::string& query = "")
  {
    return ReceiveDe441(Url(query), m_target, h.host);
  }
  // The Range headers the server saw since the last call.
  std::vector<std::string> Ranges()
  {
    std::vector<std::string> out;
    std::string log = Bytes(m_root + "ranges.log");
    std::remove((m_root + "ranges.log").c_str());
    size_t start = 0;
    for (size_t lf; (lf = log.find('\n', start)) != std::string::npos; start = lf + 1)
      out.push_back(log.substr(start, lf - start));
    return out;
  }

  std::string m_whole, m_root, m_eph, m_target, m_part;
  std::unique_ptr<ScriptServer> m_server;
};

TEST_F(De441Http, FreshDownloadIsRenamedWhenComplete)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  RecordingHost h;
  ASSERT_EQ(Run(h), PlanetaryRunResult::Succeeded);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"正常に受信しました。次回起動時からDE441が使用されます。"});
  EXPECT_EQ(h.LastStatus(), "正常に受信しました。[閉じる]ボタンを押してください。");
  EXPECT_EQ(h.events, (std::vector<std::string>{"begin", "transfer", "end"}));
  EXPECT_TRUE(Bytes(m_target) == m_whole);
  EXPECT_FALSE(Exists(m_part));
  EXPECT_EQ(Ranges(), std::vector<std::string>{"-"});
  EXPECT_DOUBLE_EQ(h.lastPercent, 100.0);
  EXPECT_NE(std::find(h.statuses.begin(), h.statuses.end(), "3MB / 3MB 受信中...    残り0分0秒"), h.statuses.end());

  ui.m_messages.clear();
  RecordingHost again;
  EXPECT_EQ(Run(again), PlanetaryRunResult::Refused);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"すでにDE441惑星データがあります。"});
}

TEST_F(De441Http, ResumesFromThePartialFile)
{
  struct Case {
    const char* name;
    const char* query;
    std::string partial;
    std::vector<std::string> ranges;
  };
  const size_t half = 1234567;
  const Case cases[] = {
      {"206 appends", "", m_whole.substr(0, half), {"bytes=1234567-"}},
      {"200 starts the file over", "?norange=1", std::string(half, 'x'), {"bytes=1234567-"}},
      {"206 without a length: the header decides", "?nolength=1", m_whole.substr(0, half), {"bytes=1234567-"}},
      {"416 on a complete file finishes it", "", m_whole, {"bytes=" + std::to_string(m_whole.size()) + "-"}},
      {"416 on a longer file starts over once", "", m_whole + "junk",
       {"bytes=" + std::to_string(m_whole.size() + 4) + "-", "-"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(m_target.c_str());
    Ranges();
    ASSERT_TRUE(WriteFileAtomic(m_part, c.partial));
    HeadlessUiServices ui;
    ScopedUi scope(ui);
    RecordingHost h;
    EXPECT_EQ(Run(h, c.query), PlanetaryRunResult::Succeeded);
    EXPECT_EQ(Texts(ui), std::vector<std::string>{"正常に受信しました。次回起動時からDE441が使用されます。"});
    EXPECT_TRUE(Bytes(m_target) == m_whole);
    EXPECT_FALSE(Exists(m_part));
    EXPECT_EQ(Ranges(), c.ranges);
  }
}

TEST_F(De441Http, IncompleteTransfersKeepThePartialFileForTheNextPress)
{
  const size_t cut = 1000000;
  struct Case {
    const char* name;
    const char* query;
    const char* message;
  };
  const Case cases[] = {
      {"connection closed before the announced length", "?cut=1000000",
       "JPLサーバーからの受信が途中で切れました。もう一度[DE441受信]を押すと続きから再開します。"},
      {"no length announced and the header wants more", "?nolength=1&cut=1000000",
       "受信したファイルのサイズが一致しません。もう一度[DE441受信]を押すと続きから再開します。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(m_part.c_str());
    HeadlessUiServices ui;
    ScopedUi scope(ui);
    RecordingHost h;
    EXPECT_EQ(Run(h, c.query), PlanetaryRunResult::Failed);
    EXPECT_EQ(Texts(ui), std::vector<std::string>{c.message});
    EXPECT_EQ(h.LastStatus(), "受信に失敗しました。");
    EXPECT_FALSE(Exists(m_target));
    EXPECT_EQ(Bytes(m_part), m_whole.substr(0, cut));

    ui.m_messages.clear();
    Ranges();
    RecordingHost resumed;
    EXPECT_EQ(Run(resumed), PlanetaryRunResult::Succeeded);
    EXPECT_EQ(Ranges(), std::vector<std::string>{"bytes=1000000-"});
    EXPECT_TRUE(Bytes(m_target) == m_whole);
    std::remove(m_target.c_str());
  }
}

TEST_F(De441Http, ServerErrorsAndRefusals)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  RecordingHost error;
  EXPECT_EQ(Run(error, "?status=503"), PlanetaryRunResult::Failed);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"サーバーがエラーを返しました(HTTP 503)。"});
  EXPECT_EQ(ui.m_messages[0].caption, "Tessarune");
  EXPECT_EQ(error.events, (std::vector<std::string>{"begin", "end"}));

  ui.m_messages.clear();
  RecordingHost unreachable;
  EXPECT_EQ(ReceiveDe441("http://127.0.0.1:1/de441.bin", m_target, unreachable.host), PlanetaryRunResult::Failed);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"JPLサーバーに接続できませんでした。"});

  // The partial file counts as space already had: 2.0 GB free with 1.5 GB
  // there pass, 1.4 GB free do not.
  WriteFileAtomic(m_part, "");
  ASSERT_EQ(truncate(m_part.c_str(), 1500000000), 0);
  ui.m_messages.clear();
  RecordingHost roomy;
  roomy.host.freeSpace = [](const std::string&, std::uint64_t& b) { return (b = 2000000000), true; };
  EXPECT_EQ(Run(roomy, "?status=500"), PlanetaryRunResult::Failed);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"サーバーがエラーを返しました(HTTP 500)。"});

  ui.m_messages.clear();
  RecordingHost cramped;
  cramped.host.freeSpace = [](const std::string&, std::uint64_t& b) { return (b = 1400000000), true; };
  EXPECT_EQ(Run(cramped), PlanetaryRunResult::Refused);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"ディスクの空き容量が不足しています(約3GB必要です)。"});
  EXPECT_TRUE(cramped.events.empty());

  ui.m_messages.clear();
  RecordingHost unknown;
  unknown.host.freeSpace = [](const std::string&, std::uint64_t&) { return false; };
  EXPECT_EQ(Run(unknown, "?status=404"), PlanetaryRunResult::Failed);  // an unknown space does not stop it
  std::remove(m_part.c_str());
}

TEST_F(De441Http, CancelKeepsThePartAndAFailedRenameIsAFailure)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  RecordingHost h;
  h.cancelAfterPumps = 3;
  EXPECT_EQ(Run(h), PlanetaryRunResult::Cancelled);
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"中止操作により終了しました。次回は続きから再開します。"});
  EXPECT_EQ(h.LastStatus(), "中止操作により終了しました(次回は続きから再開します)。");
  const std::string part = Bytes(m_part);
  EXPECT_GT(part.size(), 0u);
  EXPECT_LT(part.size(), m_whole.size());
  EXPECT_TRUE(m_whole.compare(0, part.size(), part) == 0);

  // The target's name is taken by a folder: the complete file stays a part.
  ui.m_messages.clear();
  ASSERT_TRUE(CreateFolder(m_target) && WriteFileAtomic(m_target + "/x", "x"));
  RecordingHost blocked;
  EXPECT_EQ(Run(blocked), PlanetaryRunResult::Failed);
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].text,
            "受信は終わりましたが、ファイル名を変更できませんでした。\r\n受信内容は次の名前で残っています。\r\n" + m_part);
  EXPECT_TRUE(Bytes(m_part) == m_whole);
}

TEST_F(De441Http, WriteErrorStopsTheRun)
{
  HeadlessUiServices ui;
  ScopedUi scope(ui);
  RecordingHost h;
  {
    FileSizeLimit limit(500000);
    EXPECT_EQ(Run(h), PlanetaryRunResult::Failed);
  }
  EXPECT_EQ(Texts(ui), std::vector<std::string>{"受信したDE441惑星データへの書き込みエラーが発生しました。"});
  EXPECT_FALSE(Exists(m_target));
}

} // namespace
