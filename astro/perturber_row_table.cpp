#include "astro/perturber_row_table.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "astro/jpl_eph.h"
#include "astro/perturber_positions.h"

namespace {

constexpr int kMajorCoordinates = 30;                // ten triples
constexpr int kSlotDoubles = 1 + kMajorCoordinates;  // time, then the triples
constexpr long long kMaxSlots = 1 << 16;             // per direction of a grid (about 16 MB)
constexpr long long kBlockSlots = 1 << 10;           // slots allocated together (about 250 kB)
constexpr size_t kMaxGrids = 4;                      // the passes' grid, a trial run's, a restart's
constexpr const char* kMajorMask = "111111111100000";

}  // namespace

void PerturberRowTable::Clear() {
  grids_.clear();
}

PerturberRowTable::Grid& PerturberRowTable::GridOf(double epoch, double step) {
  for (size_t i = 0; i < grids_.size(); ++i)
    if (grids_[i].epoch == epoch && grids_[i].step == step) {
      std::rotate(grids_.begin(), grids_.begin() + static_cast<long>(i), grids_.begin() + static_cast<long>(i) + 1);
      return grids_.front();
    }
  if (grids_.size() >= kMaxGrids) grids_.pop_back();
  grids_.insert(grids_.begin(), Grid{epoch, step, {}, {}});
  return grids_.front();
}

double* PerturberRowTable::Slot(Grid& grid, long long n) {
  auto& side = n >= 0 ? grid.ahead : grid.behind;
  const long long i = n >= 0 ? n : -n - 1;
  if (i >= kMaxSlots) return nullptr;
  const size_t block = static_cast<size_t>(i / kBlockSlots);
  if (side.size() <= block) side.resize(block + 1);
  if (!side[block]) {
    constexpr size_t kBlockDoubles = static_cast<size_t>(kBlockSlots) * kSlotDoubles;
    side[block].reset(new (std::nothrow) double[kBlockDoubles]);
    if (!side[block]) return nullptr;  // the row is computed, just not kept
    // Slots not yet computed hold a time that equals no time.
    std::fill(side[block].get(), side[block].get() + kBlockDoubles, std::numeric_limits<double>::quiet_NaN());
  }
  return side[block].get() + static_cast<size_t>(i % kBlockSlots) * kSlotDoubles;
}

int PerturberRowTable::Rows(double epoch, double gridStep, double t0, double step, int count, double* rows) {
  if (!g_pJplEph || !g_pJplEph->IsOpen()) return -5;
  if (generation_ != JplReaderGeneration()) {
    grids_.clear();
    generation_ = JplReaderGeneration();
  }
  const double h = std::fabs(gridStep);
  if (!(h > 0.0) || !std::isfinite(epoch)) return JplBodiesForIntegrator(t0, step, count, kMajorMask, rows, 0);
  Grid& grid = GridOf(epoch, h);
  double t = t0;
  for (int i = 0; i < count; ++i, t += step) {
    double* row = rows + static_cast<long>(i) * kPerturberRowCoordinates;
    const double n = std::nearbyint((t - epoch) / h);
    double* slot = std::fabs(n) < static_cast<double>(kMaxSlots) ? Slot(grid, static_cast<long long>(n)) : nullptr;
    if (slot && slot[0] == t) {
      std::copy(slot + 1, slot + kSlotDoubles, row);
      ++served_;
      continue;
    }
    const int r = JplBodiesForIntegrator(t, 0.0, 1, kMajorMask, row, 0);
    if (r != 0) return r;
    if (slot) {
      slot[0] = t;
      std::copy(row, row + kMajorCoordinates, slot + 1);
    }
  }
  return 0;
}
