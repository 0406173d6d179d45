// libFuzzer target for mpeph.dat, the perturbing asteroids' table, and the
// positions it serves at and beyond its edges.
#include "astro/mpeph_store.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string path = FuzzWriteFile("mpeph.dat", FuzzBytes(data, size));
  MpephStore store;
  if (LoadMpephFile(store, path) != 1)
    return 0;
  const MpephHeader& h = store.m_header;
  double pos[3];
  for (int asteroid = -1; asteroid <= 7; ++asteroid)
    for (const double k : {-1.0, -0.5, 0.0, 0.49, 1.0, 2.5, 1e6})
      PerturberPositionFromTable(store, h.firstEpoch + k * h.step, asteroid, pos);
  return 0;
}
