// The row table hands out exactly the rows the planetary reader computes:
// for runs in both directions, for repeated and for off-grid times, and
// never a row of a file that is no longer the open one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "astro/jpl_eph.h"
#include "astro/perturber_positions.h"
#include "astro/perturber_row_table.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

namespace {

constexpr const char* kMajor = "111111111100000";

// count rows from the reader itself and through the table on the grid
// (epoch, gridStep); the codes must agree and so must every bit of the ten
// triples. A step of 0 asks for one row, as a single integration step does.
void ExpectSameRows(PerturberRowTable& table, double epoch, double gridStep, double t0, double step, int count) {
  std::vector<double> direct(static_cast<size_t>(count) * kPerturberRowCoordinates, 0.0), kept(direct);
  const int r = JplBodiesForIntegrator(t0, step, count, kMajor, direct.data(), 0);
  ASSERT_EQ(table.Rows(epoch, gridStep, t0, step, count, kept.data()), r) << t0;
  for (int i = 0; i < count; ++i)
    EXPECT_EQ(std::memcmp(&direct[i * kPerturberRowCoordinates], &kept[i * kPerturberRowCoordinates],
                          30 * sizeof(double)),
              0)
        << "row " << i << " from " << t0;
}

TEST(PerturberRowTable, RowsAreTheReadersBitForBit) {
  TSR_REQUIRE_DATA(de405, "de/lnxp1960p2060.405");
  JplReaderScope reader(de405);
  PerturberRowTable table;
  const double epoch = 2453000.5, h = 0.5;
  struct Case {
    double t0, step;
    int count;
    long long served;  // rows the case takes from the table
  } cases[] = {
      {epoch - 5 * h, h, 11, 0},       // a start-up window
      {epoch - 5 * h, h, 11, 11},      // the same again, from the table
      {epoch + 5 * h, -h, 11, 11},     // the backward window over the same times
      {epoch + 6 * h, 0.0, 1, 0},      // single steps ahead
      {epoch + 6 * h, 0.0, 1, 1},      // and again
      {epoch - 6 * h, 0.0, 1, 0},      // and behind
      {epoch + 5 * h, 0.0, 1, 1},      // a step onto a time of the window
      {epoch + 0.3, h, 3, 0},          // times off the grid take a slot's place
      {epoch + h, 0.0, 1, 0},          // and give it back
      {epoch + h, 0.0, 1, 1},
      {epoch + 60000.0 * h, 0.0, 1, 0},  // beyond the table's size
      {epoch + 60000.0 * h, 0.0, 1, 0},
      {2436000.5, 0.0, 1, 0},          // before the file: the reader's code
  };
  for (const Case& c : cases) {
    const long long before = table.Served();
    ExpectSameRows(table, epoch, h, c.t0, c.step, c.count);
    EXPECT_EQ(table.Served() - before, c.served) << c.t0 << " step " << c.step;
  }
  // A grid of another step or epoch is kept beside the first.
  ExpectSameRows(table, epoch, h / 4, epoch + 6 * h / 4, h / 4, 5);
  ExpectSameRows(table, epoch + 1.0, h, epoch + 1.0 + 6 * h, h, 4);
  const long long before = table.Served();
  ExpectSameRows(table, epoch, h, epoch + 5 * h, h, 2);
  EXPECT_EQ(table.Served() - before, 2);
}

TEST(PerturberRowTable, AnotherFileReplacesTheKeptRows) {
  TSR_REQUIRE_DATA(de405, "de/lnxp1960p2060.405");
  TSR_REQUIRE_DATA(de430, "de/lnxp1990p2030.430");
  JplReaderScope reader(de405);
  PerturberRowTable table;
  const double epoch = 2455000.5, h = 1.0;
  ExpectSameRows(table, epoch, h, epoch + 6 * h, h, 3);
  reader.Reopen(de430);
  ExpectSameRows(table, epoch, h, epoch + 6 * h, h, 3);
  reader.Reopen("");
  double row[kPerturberRowCoordinates];
  EXPECT_EQ(table.Rows(epoch, h, epoch + 6 * h, h, 1, row), -5);
}

}  // namespace
