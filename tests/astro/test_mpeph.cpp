// The perturbing-asteroid store: loading "mpeph.dat" by its acceptance rules
// (small files generated here), positions from the table, perturber sets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "astro/frames.h"
#include "astro/mpeph_store.h"
#include "astro/two_body.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

namespace {

constexpr double kFirstEpoch = 2460000.5;
constexpr double kStep = 40.0;

// A valid table: N asteroids x E epochs; record (i, k) has its own node so
// that the record used can be told from the position.
struct TableFile {
  MpephHeader header{};
  std::vector<MpephRecord> records;
  size_t keepBytes = static_cast<size_t>(-1);  // cut the file after this many bytes

  TableFile(int n, int epochs) {
    std::memcpy(header.magic, kMpephMagic, sizeof kMpephMagic);
    header.nAsteroids = n;
    header.nEpochs = epochs;
    header.firstEpoch = kFirstEpoch;
    header.step = kStep;
    for (int i = 0; i < kMpephMaxAsteroids; ++i) {
      header.numbers[i] = kMpephAsteroidNumbers[i];
      header.masses[i] = kMpephAsteroidMasses[i];
    }
    header.ceresOsculationEpoch = 2460600.5;
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < epochs; ++k)
        records.push_back({kFirstEpoch + k * kStep, 2459900.5 + 10.0 * i, 2.0 + 0.1 * i, 0.1 + 0.02 * i, 1.2,
                           0.3 + 0.01 * k, 0.2});
  }

  MpephRecord& At(int asteroid, int epoch) { return records[asteroid * header.nEpochs + epoch]; }

  void Write(const std::string& path) const {
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.append(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(MpephRecord));
    if (bytes.size() > keepBytes) bytes.resize(keepBytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
  }
};

class MpephTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = MakeTempDir("mpeph"); }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Folder(const std::string& name) {
    std::filesystem::create_directories(dir_ + name);
    return dir_ + name + "/";
  }
  std::string dir_;
};

TEST_F(MpephTest, RefusesFilesThatBreakTheRules) {
  struct Case {
    const char* name;
    std::function<void(TableFile&)> spoil;
  } cases[] = {
      {"no asteroids", [](TableFile& f) { f.header.nAsteroids = 0; }},
      {"eight asteroids", [](TableFile& f) { f.header.nAsteroids = 8; }},
      {"one epoch", [](TableFile& f) { f.header.nEpochs = 1; }},
      {"1000001 epochs", [](TableFile& f) { f.header.nEpochs = 1000001; }},
      {"zero step", [](TableFile& f) { f.header.step = 0.0; }},
      {"negative step", [](TableFile& f) { f.header.step = -40.0; }},
      {"NaN step", [](TableFile& f) { f.header.step = std::nan(""); }},
      {"wrong magic", [](TableFile& f) { f.header.magic[7] = '2'; }},
      {"one record short", [](TableFile& f) { f.keepBytes = 160 + (f.records.size() - 1) * 56; }},
      {"half a record short", [](TableFile& f) { f.keepBytes = 160 + f.records.size() * 56 - 28; }},
      {"short header", [](TableFile& f) { f.keepBytes = 100; }},
      {"records counted for more epochs", [](TableFile& f) { f.header.nEpochs = 4; }},
  };
  MpephStore store;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableFile file(7, 3);
    c.spoil(file);
    file.Write(dir_ + "mpeph.dat");
    store.m_bLoaded = 1;  // a previous load must not survive a refusal
    EXPECT_EQ(LoadMpephFile(store, dir_ + "mpeph.dat"), 0);
    EXPECT_EQ(store.m_bLoaded, 0);
    EXPECT_TRUE(store.m_records.empty());
  }
  EXPECT_EQ(LoadMpephFile(store, dir_ + "missing.dat"), 0);

  // The limits themselves are accepted.
  for (int n : {1, 7}) {
    TableFile file(n, 2);
    file.Write(dir_ + "mpeph.dat");
    EXPECT_EQ(LoadMpephFile(store, dir_ + "mpeph.dat"), 1) << n;
    EXPECT_EQ(store.m_records.size(), static_cast<size_t>(2 * n));
  }
}

TEST_F(MpephTest, FoldersAreTriedInOrderAndTheFirstAcceptedWins) {
  TableFile refused(7, 3);
  refused.header.nAsteroids = 8;
  refused.Write(Folder("exe") + "mpeph.dat");
  TableFile good(2, 5);
  good.header.ceresOsculationEpoch = 2460700.5;
  good.Write(Folder("data") + "mpeph.dat");
  TableFile later(7, 3);
  later.Write(Folder("more") + "mpeph.dat");

  MpephStore store;
  EXPECT_EQ(LoadMpephFromFolders(store, {dir_ + "exe/", dir_ + "eph/", dir_ + "data/", dir_ + "more/"}), 2);
  EXPECT_EQ(store.m_bLoaded, 1);
  EXPECT_EQ(store.m_header.nAsteroids, 2);
  EXPECT_EQ(store.m_header.nEpochs, 5);
  EXPECT_EQ(store.m_header.ceresOsculationEpoch, 2460700.5);
  EXPECT_EQ(store.m_header.numbers[4], 324);
  EXPECT_EQ(store.m_header.masses[0], 4.719142e-10);
  EXPECT_EQ(store.m_records[1 * 5 + 4].node, good.At(1, 4).node);

  // The start-up load reads the application's folders: executable, ephemeris, data.
  CTessaruneApp& app = TheApp();
  const std::string saved[3] = {app.m_szExeDir, app.m_szEphDir, app.m_szDataDir};
  app.m_szExeDir = dir_ + "exe/";
  app.m_szEphDir = dir_ + "eph/";
  app.m_szDataDir = dir_ + "data/";
  EXPECT_EQ(LoadMpephFromFolders(TheApp().Paths()), 2);
  EXPECT_EQ(GetPerturberTable().m_bLoaded, 1);
  std::filesystem::remove(dir_ + "data/mpeph.dat");
  EXPECT_EQ(LoadMpephFromFolders(TheApp().Paths()), -1);
  EXPECT_EQ(GetPerturberTable().m_bLoaded, 0);
  app.m_szExeDir = saved[0];
  app.m_szEphDir = saved[1];
  app.m_szDataDir = saved[2];
}

TEST_F(MpephTest, PositionsComeFromTheNearestEpoch) {
  TableFile file(7, 4);
  file.At(3, 2).q = 0.0;   // no elements
  file.At(6, 1).e = 0.99;  // near-parabolic: through the two-body state
  file.At(6, 1).q = 1.5;
  file.Write(dir_ + "mpeph.dat");
  MpephStore store;
  ASSERT_EQ(LoadMpephFile(store, dir_ + "mpeph.dat"), 1);

  // Record (i, k) propagated to t: the reference state without light time.
  auto expected = [&](int i, int k, double t, double pos[3]) {
    const MpephRecord& r = file.At(i, k);
    double P[3], Q[3];
    OrbitOrientationVectors(r.peri, r.node, r.incl, P, Q);
    ASSERT_EQ(TwoBodyStateLightTime(t, r.T, r.q, r.e, P, Q, 0.0, pos, nullptr), 0);
  };
  struct Case {
    const char* name;
    int asteroid;
    double t;
    int record;  // epoch index expected; -1 refused
  } cases[] = {
      {"first epoch - half a step", 0, kFirstEpoch - 0.5 * kStep, 0},
      {"just before that", 0, kFirstEpoch - 0.5 * kStep - 1e-6, -1},
      {"first epoch + 1.49 steps", 1, kFirstEpoch + 1.49 * kStep, 1},
      {"first epoch + 1.5 steps", 1, kFirstEpoch + 1.5 * kStep, 2},
      {"last epoch", 2, kFirstEpoch + 3 * kStep, 3},
      {"first epoch + (E - 1/2) steps", 2, kFirstEpoch + 3.5 * kStep, -1},
      {"index 7 of 7", 7, kFirstEpoch, -1},
      {"index -1", -1, kFirstEpoch, -1},
      {"record with q = 0", 3, kFirstEpoch + 2 * kStep, -1},
      {"its neighbour", 3, kFirstEpoch + 1 * kStep, 1},
      {"near-parabolic record", 6, kFirstEpoch + 1 * kStep, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    double pos[3] = {9999.9, 9999.9, 9999.9};
    const int ok = PerturberPositionFromTable(store, c.t, c.asteroid, pos);
    if (c.record < 0) {
      EXPECT_EQ(ok, 0);
      continue;
    }
    ASSERT_EQ(ok, 1);
    double ref[3];
    expected(c.asteroid, c.record, c.t, ref);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(pos[i], ref[i], 1e-12);  // AU
  }

  MpephStore empty;
  double pos[3];
  EXPECT_EQ(PerturberPositionFromTable(empty, kFirstEpoch, 0, pos), 0);
}

TEST(PerturberSets, MembersLabelsNamesAndCodes) {
  struct Case {
    PerturberSet set;
    std::vector<int> members;
    const char* label;
    const char* codeDe441;
  } cases[] = {
      {0, {}, "M-P 小惑星なし", "06l"},
      {1, {0, 1, 2}, "M-Pv (1)(2)(4)", "3El"},
      {2, {0}, "M-Pc (1)", "0El"},
      {3, {0, 1}, "M-Pp (1)(2)", "1El"},
      {4, {0, 1, 2, 6}, "M-Pe +(15)", "7El"},
      {5, {0, 1, 2, 5}, "M-Ph +(10)", "3Fl"},
      {6, {0, 1, 2, 3, 4}, "従来 +(7)(324)", "3El+"},
      {7, {}, "M-P 小惑星なし", "06l"},
      {-1, {}, "M-P 小惑星なし", "06l"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    int members[kPerturberSetMaxMembers] = {-9, -9, -9, -9, -9};
    const int n = GetPerturberSetMembers(c.set, members);
    EXPECT_EQ(std::vector<int>(members, members + n), c.members);
    EXPECT_STREQ(GetPerturberSetLabel(c.set), c.label);
    EXPECT_EQ(MakePerturberSetCode(c.set, 441), c.codeDe441);
    EXPECT_STREQ(GetPerturberName(c.set, n), "(なし)");
  }
  EXPECT_STREQ(GetPerturberName(4, 3), "エウノミア");
  EXPECT_STREQ(GetPerturberName(5, 3), "ヒギエア");
  EXPECT_STREQ(GetPerturberName(6, 3), "アイリス");
  EXPECT_STREQ(GetPerturberName(6, 4), "バンバーガ");
  EXPECT_STREQ(GetPerturberName(1, 0), "ケレス");
  EXPECT_STREQ(GetPerturberName(1, 3), "(なし)");
  EXPECT_STREQ(GetPerturberName(1, -1), "(なし)");

  EXPECT_EQ(MakePerturberSetCode(0, 406), "06j");
  EXPECT_EQ(MakePerturberSetCode(0, 405), "06j");
  EXPECT_EQ(MakePerturberSetCode(2, 431), "0Ek");
  EXPECT_EQ(MakePerturberSetCode(1, 200), "3Ed");
  EXPECT_EQ(MakePerturberSetCode(1, 245), "3Ef");
  EXPECT_EQ(MakePerturberSetCode(1, 403), "3Eh");
  EXPECT_EQ(MakePerturberSetCode(1, 430), "3E?");
  EXPECT_EQ(MakePerturberSetCode(1, 0), "3E?");
}

}  // namespace
