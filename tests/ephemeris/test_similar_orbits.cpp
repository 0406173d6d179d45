// The similar-orbit search over an "MPCORBcr.txt" of real catalogue lines
// (catalogues/skyfield_MPCORB.excerpt.DAT) and edited copies of them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "astro/angle_units.h"
#include "ephemeris/similar_orbits.h"
#include "platform/app_services.h"
#include "platform/fixed_field.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"
#include "tests/common/test_data.h"

namespace {

// Vesta's line of the excerpt: node 103.80908, i 7.14190, e 0.0885158.
FindOrbElements OrbitOf(double nodeDeg, double inclDeg, double e) {
  FindOrbElements o;
  o.T = 2459573.25;
  o.node = nodeDeg / kDegPerRad;
  o.incl = inclDeg / kDegPerRad;
  o.e = e;
  return o;
}

// The line with node, inclination and e replaced (columns 49-57, 60-68, 71-79).
std::string Edited(std::string line, double nodeDeg, double inclDeg, double e, const char* name) {
  line.replace(48, 9, FormatC("%9.5f", nodeDeg));
  line.replace(59, 9, FormatC("%9.5f", inclDeg));
  line.replace(70, 9, FormatC("%9.7f", e));
  line.replace(166, 28, FormatC("%-28s", name));
  return line;
}

class SimilarOrbits : public ::testing::Test {
protected:
  void SetUp() override {
    TSR_REQUIRE_DATA(excerpt, "catalogues/skyfield_MPCORB.excerpt.DAT");
    std::ifstream in(excerpt);
    for (std::string line; std::getline(in, line);) m_lines.push_back(line);
    ASSERT_EQ(m_lines.size(), 4u);
    m_saved = TheApp().m_szExeDir;
    TheApp().m_szExeDir = MakeTempDir("find_orb");
  }
  void TearDown() override { TheApp().m_szExeDir = m_saved; }
  void WriteFile(const std::vector<std::string>& lines) {
    std::ofstream out(TheApp().m_szExeDir + kFindOrbFileName, std::ios::binary);
    out << "MPCORB header line that is not an element line\r\n";
    for (const std::string& l : lines) out << l << "\r\n";
  }
  std::vector<std::string> Names(const CFindOrb& dlg) const {
    std::vector<std::string> names;
    for (const std::string& l : dlg.m_lines) names.emplace_back(TrimSpace(FixedColumns(l, 167, 194)));
    return names;
  }

  std::vector<std::string> m_lines;
  std::string m_saved;
  HeadlessUiServices m_ui;
  ScopedUi m_scopedUi{m_ui};
};

} // namespace

TEST_F(SimilarOrbits, VestaFindsVestaAndTheBoundsHold) {
  const std::string& vesta = m_lines[3];
  WriteFile({m_lines[0], m_lines[1], m_lines[2], vesta,
             Edited(vesta, 103.80908, 7.14190, 0.1385158, "e 0.05 more"),
             Edited(vesta, 103.80908, 7.14190, 0.1385159, "e beyond"),
             Edited(vesta, 103.90908, 7.19190, 0.0885158, "node 0.1 incl 0.05"),
             Edited(vesta, 103.70907, 7.14190, 0.0885158, "node beyond"),
             Edited(vesta, 103.80908, 7.09189, 0.0885158, "incl beyond")});
  CFindOrb dlg(OrbitOf(103.80908, 7.14190, 0.0885158));
  EXPECT_EQ(FindOrbHeaderText(dlg.m_orbit), "tpass: 2459573.250000\r\n");
  dlg.OnSearch();
  EXPECT_EQ(Names(dlg), (std::vector<std::string>{"(4) Vesta", "e 0.05 more", "node 0.1 incl 0.05"}));
  EXPECT_EQ(dlg.m_lines[0], vesta);  // whole, as read, without its line end
  EXPECT_TRUE(m_ui.m_messages.empty());
}

TEST_F(SimilarOrbits, NodeAcrossZero) {
  const std::string& vesta = m_lines[3];
  WriteFile({Edited(vesta, 0.02, 7.14190, 0.0885158, "node 0.02"), Edited(vesta, 359.98, 7.14190, 0.0885158, "node 359.98"),
             Edited(vesta, 180.0, 7.14190, 0.0885158, "node 180")});
  CFindOrb near360(OrbitOf(359.95, 7.14190, 0.0885158));
  near360.OnSearch();
  EXPECT_EQ(Names(near360), (std::vector<std::string>{"node 0.02", "node 359.98"}));
  CFindOrb near0(OrbitOf(0.05, 7.14190, 0.0885158));
  near0.OnSearch();
  EXPECT_EQ(Names(near0), (std::vector<std::string>{"node 0.02", "node 359.98"}));
}

TEST_F(SimilarOrbits, MissingFile) {
  CFindOrb dlg(OrbitOf(103.80908, 7.14190, 0.0885158));
  dlg.m_lines.push_back("left over");
  dlg.OnSearch();
  EXPECT_TRUE(dlg.m_lines.empty());
  ASSERT_EQ(m_ui.m_messages.size(), 1u);
  EXPECT_EQ(m_ui.m_messages[0].text, "MPCORBcr.txt ファイルがありません。");
}
