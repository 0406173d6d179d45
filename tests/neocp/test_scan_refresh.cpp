// The list refresh and the fates of objects that left the NEOCP, against the
// MPC's three files served on 127.0.0.1: one table followed over successive
// refreshes, and failed or empty lists that leave table and files alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <memory>

#include "data/neocp_list.h"
#include "neocp/scan_csv.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"
#include "tests/neocp/scan_fixtures.h"

namespace {

struct ListObject {
  std::string desig;
  double score, nobs, arc, h;
};

std::vector<ListObject> RealList()
{
  const std::string json = ReadFileText(TestDataPath("catalogues/neocp_json_derived_from_neosjl_neocp_txt.json"));
  NeocpEntry* entries = nullptr;
  const int n = ParseNeocpJson(json, &entries);
  std::vector<ListObject> out;
  for (int i = 0; i < n; ++i)
    out.push_back({entries[i].m_szDesig, entries[i].m_dScore, entries[i].m_dNObs, entries[i].m_dArc, entries[i].m_dH});
  std::free(entries);
  return out;
}

std::string NeocpJson(const std::vector<ListObject>& objects)
{
  std::string json = "[\n";
  for (size_t i = 0; i < objects.size(); ++i) {
    const ListObject& o = objects[i];
    json += FormatC(" {\"Temp_Desig\": \"%s\", \"Score\": %g, \"NObs\": %g, \"Arc\": %g, \"H\": %g}%s\n",
                    o.desig.c_str(), o.score, o.nobs, o.arc, o.h, i + 1 < objects.size() ? "," : "");
  }
  return json + "]\n";
}

std::vector<ListObject> Without(std::vector<ListObject> list, const std::vector<std::string>& gone)
{
  std::erase_if(list, [&](const ListObject& o) { return std::find(gone.begin(), gone.end(), o.desig) != gone.end(); });
  return list;
}

// A dialog whose MPC host is a loopback server serving the files of dir.
struct RefreshFixture : ScanDialogFixture {
  explicit RefreshFixture(const std::string& tag) : ScanDialogFixture(tag)
  {
    server = std::make_unique<LocalHttpServer>(dir);
    dlg.m_strMpcHost = server->Url("/files");
    dlg.m_bStateLoaded = 1;
  }
  void Serve(const std::string& name, const std::string& bytes) { WriteFileText(dir + name, bytes); }
  void Withdraw(const std::string& name) { std::remove((dir + name).c_str()); }
  const NeocpScanRow& Row(const std::string& desig, int nth = 0) const
  {
    for (int i = 0; i < dlg.m_nRows; ++i)
      if (dlg.m_pRows[i].desig == desig && nth-- == 0)
        return dlg.m_pRows[i];
    throw std::runtime_error("no row " + desig);
  }
  int CountDesig(const std::string& desig) const
  {
    int n = 0;
    for (int i = 0; i < dlg.m_nRows; ++i)
      n += dlg.m_pRows[i].desig == desig;
    return n;
  }
  // The state file, the CSV and the log as they stand now.
  struct Files {
    std::string state, csv, log;
  };
  Files Now()
  {
    return {ReadFileText(dlg.StatePath()), ReadFileText(dlg.m_strScanDir + "/" + kScanCsvName), dlg.m_strLog};
  }
  // A refresh that ended without a new list kept them, and the dialog is idle.
  void ExpectKept(const Files& before)
  {
    const Files now = Now();
    EXPECT_EQ(now.state, before.state);
    EXPECT_EQ(now.csv, before.csv);
    EXPECT_EQ(now.log, before.log);
    EXPECT_EQ(dlg.m_bFetching, 0);
    EXPECT_TRUE(dlg.IsItemEnabled(kIdScanRefetch));
  }
  std::string RefreshLog()
  {
    const size_t before = dlg.m_strLog.size();
    dlg.RefreshList();
    return dlg.m_strLog.substr(before);
  }
  std::unique_ptr<LocalHttpServer> server;
};

std::string PccpLine(const std::string& desig, const std::string& tail)
{
  return desig + " 88 2025 12 16.4 7.1 +30.2 20.5 " + tail + "\r\n";
}

struct Fate {
  const char* desig;
  int listState;
  const char* provName;
  const char* provDes;
  const char* fateShort;
  const char* fate;
};

void ExpectFates(const RefreshFixture& f, const std::vector<Fate>& fates)
{
  for (const Fate& want : fates) {
    SCOPED_TRACE(want.desig);
    const NeocpScanRow& row = f.Row(want.desig);
    EXPECT_EQ(row.list_state, want.listState);
    EXPECT_EQ(row.prov_name, want.provName);
    EXPECT_EQ(row.prov_des, want.provDes);
    EXPECT_EQ(row.fate_short, want.fateShort);
    EXPECT_EQ(row.fate, want.fate);
  }
}

} // namespace

TEST(ScanRefresh, OneTableFollowsTheListsOverSuccessiveRefreshes)
{
  TSR_REQUIRE_DATA(listFile, "catalogues/neocp_json_derived_from_neosjl_neocp_txt.json");
  RefreshFixture f("scan_refresh_follow");
  ASSERT_TRUE(f.server->Running());
  const std::vector<ListObject> real = RealList();
  ASSERT_EQ(real.size(), 63u);
  const auto desig = [&](int i) { return real[static_cast<size_t>(i)].desig; };

  // Earlier table: a finished row and a local file's row that shares a listed designation.
  NeocpScanRow old = ListRow("OLDROW");
  old.list_state = kListProvisional;
  old.prov_des = "K25A01A";
  old.fate = "2025 AA1 (1月2日)";
  NeocpScanRow local = CompleteRow(desig(22), 0.1, 0.05);
  local.list_state = kListLocalFile;
  f.SetTable({old, local});

  // ---- first refresh: the real list, a PCCP list with lines of 11, 12 and 33 tokens ----
  f.Serve("neocp.json", ReadFileText(listFile));
  std::string long33 = "PCC2 70 2025 12 15 3.5 -5.5 21.0";
  for (int t = 8; t < 28; ++t)
    long33 += " w";
  long33 += " 17 3.5 19.25 1.5 extra";
  f.Serve("pccp.txt", PccpLine("PCC1", "x 6 0.8 18.5 0.2") + desig(0) + " 1 2 3 4 5 6 7 8 9 10\r\n" + long33 + "\r\n");
  std::string log = f.RefreshLog();

  ASSERT_EQ(f.dlg.m_nRows, 63 + 2 + 2);
  for (int i = 0; i < 63; ++i) {
    const NeocpScanRow& r = f.dlg.m_pRows[i];
    ASSERT_EQ(r.desig, desig(i));
    EXPECT_EQ(r.list_state, kListOnNeocp);
    EXPECT_EQ(r.status, kScanNever);
    EXPECT_EQ(r.list_nobs, real[static_cast<size_t>(i)].nobs);
    EXPECT_EQ(r.h, real[static_cast<size_t>(i)].h);
    EXPECT_EQ(r.on_pccp, i == 0 ? 1 : 0) << r.desig;  // the 11-token line only marks
  }
  EXPECT_EQ(f.dlg.m_pRows[63].desig, "PCC1");
  EXPECT_EQ(f.dlg.m_pRows[64].desig, "PCC2");
  EXPECT_EQ(f.dlg.m_pRows[65].desig, "OLDROW");
  EXPECT_EQ(f.dlg.m_pRows[66].list_state, kListLocalFile);  // never merged with the listed object
  EXPECT_EQ(f.dlg.m_pRows[66].status, kScanComplete);
  EXPECT_EQ(f.Row(desig(22)).status, kScanNever);
  const NeocpScanRow& pcc2 = f.Row("PCC2");
  EXPECT_EQ(pcc2.on_pccp, 1);
  EXPECT_EQ(pcc2.list_nobs, 17);  // tokens 28..31 of the 33
  EXPECT_EQ(pcc2.list_arc, 3.5);
  EXPECT_EQ(pcc2.h, 19.25);
  EXPECT_EQ(pcc2.score, 70);
  EXPECT_EQ(f.Row("OLDROW").fate, "2025 AA1 (1月2日)");
  EXPECT_NE(log.find("  PCCP(彗星の疑いのある天体)に 2個が載っています(うち 2個はNEOCPの一覧に無かったので表に足しました)\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("  NEOCPに載っている天体 65個(新規 65・更新 0)  外れた天体 1個(仮符号が付いた 1・そのほか 0)"
                     "  [パージ]で、話の終わった天体を表から外せます\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus),
            "NEOCPの天体 65個(新規 65・更新 0)、外れた天体 1個(-> 1)。[すべて走査]は、NEOCPに載っている天体だけを調べます");
  EXPECT_EQ(log.find("行き先"), std::string::npos);  // nobody left: no fate lookup
  {
    CNeocpScanDlg reread(nullptr);
    reread.m_strScanDir = f.dlg.m_strScanDir;
    ASSERT_TRUE(reread.LoadState());
    EXPECT_EQ(reread.m_nRows, 66);  // the local row stays in memory only
  }
  EXPECT_NE(ReadFileText(f.dlg.m_strScanDir + "/" + kScanCsvName).find("\r\nPCC2,"), std::string::npos);

  // Scan results to keep across the refreshes.
  NeocpScanRow& first = f.dlg.m_pRows[0];
  first.status = kScanComplete;
  first.nobs_at_scan = 1;  // the list now says 2: updated
  NeocpScanRow& goner = f.dlg.m_pRows[1];
  goner.status = kScanComplete;
  goner.nobs_at_scan = goner.list_nobs;
  goner.rms = 0.375;

  // ---- second refresh: nine objects leave, one is listed twice; the page says where they went ----
  const std::vector<std::string> gone = {desig(1), desig(2), desig(3), desig(4), desig(5),
                                         desig(6), desig(7), desig(9), desig(10)};
  std::vector<ListObject> second = Without(real, gone);
  second.push_back({desig(0), 99, 7, 1.5, 20});
  f.Serve("neocp.json", NeocpJson(second));
  f.Serve("pccp.txt", PccpLine("PCC1", "x 6 0.8 18.5 0.2") + desig(9) + " 50\r\n");
  std::string page = "<ul>\n<li>2025 XA12 = " + desig(1) + " (Dec. 17.23 UT) [see MPEC 2025-X123]\n" +
                     "<li>Comet C/2025 X1 (Lemmon) = " + desig(2) + " (Dec. 17.3 UT)\n" +
                     "<li>" + desig(3) + " was not confirmed (Dec. 17.4 UT)\n" +
                     "<li>" + desig(4) + " was seen twice (Dec. 17.5 UT)\n" +
                     "<li>M1 = " + desig(5) + " (Dec. 17.60 UT)\n";
  for (int m = 2; m <= 6; ++m)
    page += FormatC("<li>M%d = M%d (Dec. 17.6%d UT)\n", m, m - 1, m - 1);
  page += "<li>2025 XB1 = M6 (Dec. 17.66 UT)\n"
          "<li>" + desig(6) + " was a star (Dec. 17.7 UT)\n" +
          "<li>2025 XC1 = " + desig(6) + " (Dec. 17.71 UT)\n" +
          "<li>" + desig(8) + " = " + desig(7) + " (Dec. 17.8 UT)\n</ul>\n";
  f.Serve("ToConfirm_PrevDes.html", page);
  log = f.RefreshLog();

  ASSERT_EQ(f.dlg.m_nRows, 54 + 1 + 1 + 9 + 1 + 1 + 1);
  EXPECT_EQ(f.CountDesig(desig(0)), 2);
  EXPECT_EQ(f.Row(desig(0)).status, kScanComplete);
  EXPECT_EQ(f.Row(desig(0), 1).status, kScanNever);  // the second listing gets a fresh row
  EXPECT_EQ(f.Row(desig(0), 1).list_nobs, 7);
  ExpectFates(f, {
      {desig(1).c_str(), kListProvisional, "2025 XA12", "K25X12A", "", "2025 XA12 (12月17.23日、MPEC 2025-X123)"},
      {desig(2).c_str(), kListProvisional, "C/2025 X1 (Lemmon)", "CK25X010", "", "C/2025 X1 (Lemmon) (12月17.3日)"},
      {desig(3).c_str(), kListRemoved, "", "", "確認されず", "追跡観測で確認されなかった (was not confirmed、12月17.4日)"},
      {desig(4).c_str(), kListRemoved, "", "", "削除", "was seen twice (was seen twice、12月17.5日)"},
      {desig(5).c_str(), kListMerged, "", "", "", "M6 と同じ天体だった(M5としてまとめられたのち、12月17.65日)"},
      {desig(6).c_str(), kListRemoved, "", "", "恒星", "恒星だった (was a star、12月17.7日)"},
      {desig(7).c_str(), kListMerged, "", "", "",
       (desig(8) + " と同じ天体だった(12月17.8日)。" + desig(8) + " はこの表にあります").c_str()},
      {desig(9).c_str(), kListPccp, "", "", "", "彗星の疑いでPCCPへ移った"},
      {desig(10).c_str(), kListLeft, "", "", "", "NEOCPから外れた(行き先はまだ公表されていない)"},
      {"PCC2", kListLeft, "", "", "", "NEOCPから外れた(行き先はまだ公表されていない)"},
      {"OLDROW", kListProvisional, "", "K25A01A", "", "2025 AA1 (1月2日)"},
  });
  EXPECT_EQ(f.Row(desig(1)).rms, 0.375);
  EXPECT_NE(log.find(FormatC("  %-8s -> K25X12A  2025 XA12 (12月17.23日、MPEC 2025-X123)\r\n", desig(1).c_str())),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("  " + desig(10)), std::string::npos);  // left with no news: same texts, no line
  EXPECT_NE(log.find("  NEOCPに載っている天体 56個(新規 55・更新 1)  外れた天体 11個(仮符号が付いた 3・そのほか 8)"),
            std::string::npos)
      << log;

  // ---- third refresh: one returns, one leaves the PCCP; unchanged fates log nothing ----
  second.push_back(real[1]);
  f.Serve("neocp.json", NeocpJson(second));
  f.Serve("pccp.txt", PccpLine("PCC1", "x 6 0.8 18.5 0.2"));
  log = f.RefreshLog();
  const NeocpScanRow& back = f.Row(desig(1));
  EXPECT_EQ(back.list_state, kListOnNeocp);
  EXPECT_EQ(back.prov_des, "");
  EXPECT_EQ(back.prov_name, "");
  EXPECT_EQ(back.fate, "");
  EXPECT_EQ(back.status, kScanComplete);
  EXPECT_EQ(back.rms, 0.375);
  ExpectFates(f, {{desig(9).c_str(), kListLeft, "", "", "", "PCCPからも外れた(行き先はまだ公表されていない)"}});
  EXPECT_NE(log.find("  " + desig(9)), std::string::npos) << log;
  for (int i : {3, 5, 7, 10})
    EXPECT_EQ(log.find("  " + desig(i)), std::string::npos) << desig(i) << "\n" << log;
}

TEST(ScanRefresh, AFailedOrEmptyListLeavesTableAndFilesAsTheyWere)
{
  RefreshFixture f("scan_refresh_fail");
  ASSERT_TRUE(f.server->Running());
  f.Serve("neocp.json", NeocpJson({{"A1", 90, 3, 0.1, 22}, {"A2", 80, 4, 0.2, 23}}));
  f.Serve("pccp.txt", PccpLine("P1", "x 5 1 19 0.5"));
  f.dlg.RefreshList();
  ASSERT_EQ(f.dlg.m_nRows, 3);
  const RefreshFixture::Files before = f.Now();
  ASSERT_FALSE(before.state.empty());

  struct Case {
    const char* name;
    const char* body;  // null: no server
    const char* status;
  } const cases[] = {
      {"server down", nullptr,
       "NEOCPの一覧を受信できませんでした(MPCに接続できませんでした。ネットワークの状態を確認してください。)。"
       "前回までの表を出しています"},
      {"empty body", "", "NEOCPの一覧を受信できませんでした(NEOCPの一覧が空でした。)。前回までの表を出しています"},
      {"no object", "[]\n", "NEOCPの一覧が空でした(MPCの一時的な不調かもしれません)。前回までの表をそのまま出しています"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.body) {
      f.dlg.m_strMpcHost = f.server->Url("/files");
      f.Serve("neocp.json", c.body);
    } else {
      f.dlg.m_strMpcHost = "http://127.0.0.1:1";
    }
    f.Serve("pccp.txt", PccpLine("P9", "x 5 1 19 0.5"));
    f.dlg.RefreshList();
    EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus), c.status);
    EXPECT_EQ(f.dlg.m_nRows, 3);
    EXPECT_EQ(f.dlg.m_pRows[2].desig, "P1");
    f.ExpectKept(before);
  }
}

TEST(ScanRefresh, MissingFateSourcesAreLoggedAndLeaveTheRowsForNextTime)
{
  RefreshFixture f("scan_refresh_nofates");
  ASSERT_TRUE(f.server->Running());
  NeocpScanRow pccp = ListRow("Q3");
  pccp.list_state = kListPccp;
  pccp.fate = "彗星の疑いでPCCPへ移った";
  NeocpScanRow merged = ListRow("Q5");
  merged.list_state = kListMerged;
  merged.fate = "Q6 と同じ天体だった(1月1日)";
  f.SetTable({ListRow("Q1"), pccp, merged});
  f.Serve("neocp.json", NeocpJson({{"Q0", 90, 3, 0.1, 22}}));
  // pccp.txt absent (404), page without a usable item.
  f.Serve("ToConfirm_PrevDes.html", "<html><ul><li>nothing here</ul></html>");
  const std::string log = f.RefreshLog();
  EXPECT_NE(log.find("  ※PCCP(彗星の疑いのある天体)の一覧を受信できませんでした。「PCCP」の印は前回のままです\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("  ※MPCの「Previous NEO Confirmation Page Objects」を受信できなかった(または形式が変わった)ため、"
                     "外れた天体に仮符号が付いたかどうかは、次に開いたときに調べます\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("  ※PCCPの一覧を受信できなかったため、PCCPへ移ったかどうかは、次に開いたときに調べます\r\n"),
            std::string::npos);
  ExpectFates(f, {{"Q1", kListLeft, "", "", "", "NEOCPから外れた(行き先はまだ公表されていない)"},
                  {"Q3", kListPccp, "", "", "", "彗星の疑いでPCCPへ移った"},
                  {"Q5", kListMerged, "", "", "", "Q6 と同じ天体だった(1月1日)"}});
}

namespace {

// The 中止 button arrives as a window event while the server is awaited: a
// UI whose pump presses it once the fetch has waited a moment, noting what
// the dialog showed then.
class PressScanAbortUi : public HeadlessUiServices {
public:
  explicit PressScanAbortUi(CNeocpScanDlg& dlg) : m_dlg(dlg) {}
  bool PumpOneEvent() override
  {
    const auto now = std::chrono::steady_clock::now();
    if (m_started == std::chrono::steady_clock::time_point{})
      m_started = now;
    if (!m_pressedAt && now - m_started > std::chrono::milliseconds(300)) {
      m_pressedAt = 1;
      m_pressed = now;
      m_abortEnabled = m_dlg.IsItemEnabled(kIdScanAbort);
      m_status = m_dlg.GetItemText(kIdScanStatus);
      m_dlg.OnAbort();
    }
    return HeadlessUiServices::PumpOneEvent();
  }
  CNeocpScanDlg& m_dlg;
  int m_pressedAt = 0;
  bool m_abortEnabled = false;
  std::string m_status;
  std::chrono::steady_clock::time_point m_started{}, m_pressed{};
};

} // namespace

// 中止 ends the list fetch within a second whether the server drips the list
// or has not answered yet (its time-outs far off), and the table, the state
// file, the CSV and the log stay as they were; the next refresh works again.
TEST(ScanRefresh, AbortEndsAHangingFetchAndKeepsTheTable)
{
  RefreshFixture f("scan_refresh_abort");
  ASSERT_TRUE(f.server->Running());
  const std::string json = NeocpJson({{"A1", 90, 3, 0.1, 22}, {"A2", 80, 4, 0.2, 23}});
  f.Serve("neocp.json", json);
  f.dlg.RefreshList();
  ASSERT_EQ(f.dlg.m_nRows, 2);
  const RefreshFixture::Files before = f.Now();
  ASSERT_FALSE(before.state.empty());
  const std::string later = NeocpJson({{"B1", 90, 3, 0.1, 22}});
  f.Serve("neocp.json", later);

  // Bounded, so that a fetch deaf to 中止 fails in seconds: the drip sends
  // its last 15 bytes in three seconds. Seen at the press: the drip's
  // progress under the list's name, or the receiving status while no answer
  // has come.
  struct Case {
    std::string host;
    const char* statusLead;
  } const cases[] = {
      {f.server->Url(FormatC("/deliver?cl=0&cut=%zu&then=drip&ms=200&file=", later.size() - 15)),
       "NEOCPの一覧 を受信中… 0.0 MB"},
      {f.server->Url("/slow?ms=4000&path="), kScanStatusReceiving},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    f.dlg.m_strMpcHost = c.host;
    PressScanAbortUi ui(f.dlg);
    ScopedUi scoped(ui);
    f.dlg.RefreshList();
    ASSERT_EQ(ui.m_pressedAt, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - ui.m_pressed, std::chrono::seconds(1));
    EXPECT_TRUE(ui.m_abortEnabled);
    EXPECT_EQ(ui.m_status.rfind(c.statusLead, 0), 0u) << ui.m_status;
    EXPECT_EQ(f.dlg.GetItemText(kIdScanStatus), "NEOCPの一覧の受信を中止しました。前回までの表を出しています");
    EXPECT_EQ(f.dlg.m_nRows, 2);
    EXPECT_EQ(f.dlg.m_pRows[0].desig, "A1");
    f.ExpectKept(before);
    EXPECT_FALSE(f.dlg.IsItemEnabled(kIdScanAbort));
  }
  f.dlg.m_strMpcHost = f.server->Url("/files");
  f.dlg.RefreshList();
  EXPECT_EQ(f.Row("B1").list_state, kListOnNeocp);
}
