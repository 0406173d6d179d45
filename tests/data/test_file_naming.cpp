// The "_EX" suffix of solution files, the default extension and the
// observation-file filters.
#include <gtest/gtest.h>

#include "data/file_naming.h"

namespace {

TEST(FileNaming, SolutionSuffixRule)
{
  struct Case {
    const char* name;
    bool solution;
    const char* expected;
    bool changed;
  };
  const Case cases[] = {
      {"K24A01A_E20240101.IMP", true, "K24A01A_E20240101_EX.IMP", true},
      {"K24A01A_E20240101_EX.IMP", false, "K24A01A_E20240101.IMP", true},
      {"K24A01A_E20240101_EX.IMP", true, "K24A01A_E20240101_EX.IMP", false},
      {"K24A01A.IMP", false, "K24A01A.IMP", false},
      {"noext", true, "noext_EX", true},
      {"orbit_ex.imp", true, "orbit_ex.imp", false},
      {"orbit_ex.imp", false, "orbit.imp", true},
      {"a.b.imp", true, "a.b_EX.imp", true},
      {".imp", true, ".imp_EX", true},             // a leading dot is no extension
      {"  name.txt  ", true, "name_EX.txt", true},  // trimmed when rewritten
      {"  name.txt  ", false, "  name.txt  ", false},
      {"_EX.imp", false, "_EX.imp", false},  // too short to lose the suffix
      {"_ex", true, "_ex", false},
      {"ab", true, "ab_EX", true},
      {"", true, "", false},
      {"   ", true, "   ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + std::string(c.solution ? " (solution)" : " (other)"));
    bool changed = !c.changed;
    EXPECT_EQ(AdjustSolutionFileName(c.name, c.solution, &changed), c.expected);
    EXPECT_EQ(changed, c.changed);
  }
}

TEST(FileNaming, PathRuleLeavesFoldersAlone)
{
  EXPECT_EQ(AdjustSolutionFilePath("/home/u/obs.v2/K24A01A", true), "/home/u/obs.v2/K24A01A_EX");
  EXPECT_EQ(AdjustSolutionFilePath("/home/u/x_EX/K24A01A.IMP", false), "/home/u/x_EX/K24A01A.IMP");
  EXPECT_EQ(AdjustSolutionFilePath("/home/u/K24A01A_EX.IMP", false), "/home/u/K24A01A.IMP");
}

TEST(FileNaming, DefaultExtensionOnlyWhenNoneIsGiven)
{
  EXPECT_EQ(WithDefaultExtension("/d/orbit", "imp"), "/d/orbit.imp");
  EXPECT_EQ(WithDefaultExtension("/d/orbit_EX", "imp"), "/d/orbit_EX.imp");
  EXPECT_EQ(WithDefaultExtension("/d/orbit.txt", "imp"), "/d/orbit.txt");
  EXPECT_EQ(WithDefaultExtension("/d.x/orbit", "imp"), "/d.x/orbit.imp");
  EXPECT_EQ(WithDefaultExtension("/d/orbit.", "imp"), "/d/orbit.imp");
}

TEST(FileNaming, ObservationFilters)
{
  const auto& filters = ObservationFileFilters();
  ASSERT_EQ(filters.size(), 5u);
  EXPECT_STREQ(filters[0].pattern, "*.obs;*.txt;*.psv;*.xml");
  EXPECT_EQ(FileFilterWildcard({filters[1], filters[4]}), "ADES形式(*.psv;*.xml)|*.psv;*.xml|(*.*)|*.*");
}

} // namespace
