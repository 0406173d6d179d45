#include "astro/perturber_positions.h"

#include <algorithm>
#include <cstring>

#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"

long g_nAsteroidEphMisses = 0;

namespace {

// The series of each body; the Earth and the Moon come from the Earth-Moon
// barycentre and the geocentric Moon.
constexpr int kSeriesOfBody[kBodyCount] = {
    kJplSeriesMercury, kJplSeriesVenus,  kJplSeriesEarthMoonBary, kJplSeriesMars,  kJplSeriesJupiter,
    kJplSeriesSaturn,  kJplSeriesUranus, kJplSeriesNeptune,       kJplSeriesPluto, kJplSeriesMoon};

void FillAsteroidSlots(double t, int perturberSet, double* row) {
  std::fill(row + 3 * kBodyCount, row + kPerturberRowCoordinates, kMissingAsteroidCoordinate);
  const MpephStore& store = GetPerturberTable();
  if (!store.m_bLoaded) {
    ++g_nAsteroidEphMisses;
    return;
  }
  int members[kPerturberSetMaxMembers];
  const int n = GetPerturberSetMembers(perturberSet, members);
  for (int i = 0; i < n; ++i) {
    double pos[3];
    if (PerturberPositionFromTable(store, t, members[i], pos))
      std::copy(pos, pos + 3, row + 3 * (kBodyCount + i));
    else
      ++g_nAsteroidEphMisses;
  }
}

}  // namespace

int JplBodiesForIntegrator(double t0, double step, int count, const char* mask, double* rows, int perturberSet) {
  if (!g_pJplEph || !g_pJplEph->IsOpen()) return -5;
  if (mask == nullptr || std::strlen(mask) < kBodyCount) return -2;
  if (count < 1) return 0;

  bool want[kBodyCount];
  for (int b = 0; b < kBodyCount; ++b) want[b] = mask[b] == '1';
  const bool earthMoon = want[kBodyEarth] || want[kBodyMoon];
  int wanted[kJplSeriesCount] = {};
  for (int b = 0; b < kBodyCount; ++b)
    if (want[b] && b != kBodyEarth && b != kBodyMoon) wanted[kSeriesOfBody[b]] = kJplWantPosition;
  if (earthMoon) wanted[kJplSeriesEarthMoonBary] = wanted[kJplSeriesMoon] = kJplWantPosition;

  const double emrat = JplCurrentHeader().emrat;
  const bool asteroids = perturberSet >= 1 && perturberSet < kPerturberSetCount;
  double t = t0;
  for (int i = 0; i < count; ++i, t += step) {
    // The span is [start, end), as for JplPosition.
    if (!(t >= g_dJplStart && t < g_dJplEnd)) return -1;
    double state[kJplSeriesCount][6];
    if (JplState(t, wanted, state, false) != 0) return -1;  // the rows hold positions only
    const double* sun = state[kJplSeriesSun];
    double* row = rows + static_cast<long>(i) * kPerturberRowCoordinates;
    for (int b = 0; b < kBodyCount; ++b) {
      double* out = row + 3 * b;
      if (!want[b]) {
        std::fill(out, out + 3, 0.0);
        continue;
      }
      for (int c = 0; c < 3; ++c) {
        const double moon = state[kJplSeriesMoon][c];
        const double emb = state[kJplSeriesEarthMoonBary][c];
        if (b == kBodyEarth)
          out[c] = emb - moon / (1.0 + emrat) - sun[c];
        else if (b == kBodyMoon)
          out[c] = emb + moon * emrat / (1.0 + emrat) - sun[c];
        else
          out[c] = state[kSeriesOfBody[b]][c] - sun[c];
      }
    }
    if (asteroids) FillAsteroidSlots(t, perturberSet, row);
  }
  return 0;
}
