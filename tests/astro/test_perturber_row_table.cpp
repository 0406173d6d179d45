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

// count rows from the reader itself and through the table; the codes must
// agree and so must every bit of the ten triples.
void ExpectSameRows(PerturberRowTable& table, double epoch, double t0, double step, int count) {
  std::vector<double> direct(static_cast<size_t>(count) * kPerturberRowCoordinates, 0.0), kept(direct);
  const int r = JplBodiesForIntegrator(t0, step, count, kMajor, direct.data(), 0);
  ASSERT_EQ(table.Rows(epoch, t0, step, count, kept.data()), r) << t0;
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
  } cases[] = {
      {epoch - 5 * h, h, 11},    // a start-up window
      {epoch - 5 * h, h, 11},    // the same again, from the table
      {epoch + 5 * h, -h, 11},   // the backward window over the same times
      {epoch + 6 * h, h, 1},     // single steps ahead
      {epoch - 6 * h, -h, 1},    // and behind
      {epoch + 0.3, h, 3},       // times off the grid take a slot's place
      {epoch + 6 * h, h, 1},     // and give it back
      {epoch + 60000.0 * h, h, 1},  // beyond the table's size
      {2436000.5, h, 1},         // before the file: the reader's code
  };
  for (const Case& c : cases) ExpectSameRows(table, epoch, c.t0, c.step, c.count);
  // A grid of another step or epoch is kept beside the first.
  ExpectSameRows(table, epoch, epoch + 6 * h / 4, h / 4, 5);
  ExpectSameRows(table, epoch + 1.0, epoch + 1.0 + 6 * h, h, 4);
  ExpectSameRows(table, epoch, epoch + 6 * h, h, 2);
}

TEST(PerturberRowTable, AnotherFileReplacesTheKeptRows) {
  TSR_REQUIRE_DATA(de405, "de/lnxp1960p2060.405");
  TSR_REQUIRE_DATA(de430, "de/lnxp1990p2030.430");
  JplReaderScope reader(de405);
  PerturberRowTable table;
  const double epoch = 2455000.5, h = 1.0;
  ExpectSameRows(table, epoch, epoch + 6 * h, h, 3);
  reader.Reopen(de430);
  ExpectSameRows(table, epoch, epoch + 6 * h, h, 3);
  reader.Reopen("");
  double row[kPerturberRowCoordinates];
  EXPECT_EQ(table.Rows(epoch, epoch + 6 * h, h, 1, row), -5);
}

}  // namespace
