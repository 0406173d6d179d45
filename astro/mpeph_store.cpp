#include "astro/mpeph_store.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/two_body.h"
#include "platform/files.h"

void MpephStore::Clear() {
  std::vector<MpephRecord>().swap(m_records);
  m_header = MpephHeader{};
  m_bLoaded = 0;
}

MpephStore& GetPerturberTable() {
  static MpephStore store;
  return store;
}

namespace {

bool HeaderAcceptable(const MpephHeader& h) {
  return std::memcmp(h.magic, kMpephMagic, sizeof kMpephMagic) == 0 && h.nAsteroids >= 1 &&
         h.nAsteroids <= kMpephMaxAsteroids && h.nEpochs >= 2 && h.nEpochs <= kMpephMaxEpochs && h.step > 0.0;
}

}  // namespace

int LoadMpephFile(MpephStore& store, const std::string& path) {
  store.Clear();
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return 0;

  MpephHeader header;
  if (std::fread(&header, 1, sizeof header, file.get()) != sizeof header) return 0;
  if (!HeaderAcceptable(header)) return 0;

  const size_t count = static_cast<size_t>(header.nAsteroids) * static_cast<size_t>(header.nEpochs);
  // A short file is refused before up to 392 MB are allocated for it.
  const long here = std::ftell(file.get());
  if (here < 0 || std::fseek(file.get(), 0, SEEK_END) != 0) return 0;
  const long end = std::ftell(file.get());
  if (end < 0 || static_cast<size_t>(end - here) < count * sizeof(MpephRecord) ||
      std::fseek(file.get(), here, SEEK_SET) != 0)
    return 0;

  std::vector<MpephRecord> records;
  try {
    records.resize(count);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (std::fread(records.data(), sizeof(MpephRecord), count, file.get()) != count) return 0;

  store.m_header = header;
  store.m_records = std::move(records);
  store.m_bLoaded = 1;
  return 1;
}

int LoadMpephFromFolders(MpephStore& store, const std::vector<std::string>& folders) {
  store.Clear();
  for (size_t i = 0; i < folders.size(); ++i) {
    if (folders[i].empty()) continue;
    if (LoadMpephFile(store, folders[i] + "mpeph.dat")) return static_cast<int>(i);
  }
  return -1;
}

int LoadMpephFromFolders(const AppPaths& paths) {
  return LoadMpephFromFolders(GetPerturberTable(), {paths.exeDir, paths.ephDir, paths.dataDir});
}

int PerturberPositionFromTable(const MpephStore& store, double jdTT, int asteroid, double posAu[3]) {
  const MpephHeader& h = store.m_header;
  if (!store.m_bLoaded || asteroid < 0 || asteroid >= h.nAsteroids) return 0;
  const double k = std::floor((jdTT - h.firstEpoch) / h.step + 0.5);
  if (!(k >= 0.0 && k < h.nEpochs)) return 0;
  const MpephRecord& rec =
      store.m_records[static_cast<size_t>(asteroid) * h.nEpochs + static_cast<size_t>(k)];
  if (!(rec.q > 0.0)) return 0;

  double P[3], Q[3];
  OrbitOrientationVectors(rec.peri, rec.node, rec.incl, P, Q);
  if (rec.e <= 0.97) {
    const double a = rec.q / (1.0 - rec.e);
    const double M = NormalizeAngle((jdTT - rec.T) * kGaussK / std::pow(a, 1.5));
    double x = 0.0;
    if (SolveKeplerFixedPoint(M, rec.e, 1e-14, 200, x)) {
      const double E = M + x;
      const double b = a * std::sqrt(1.0 - rec.e * rec.e);
      for (int c = 0; c < 3; ++c) posAu[c] = a * (std::cos(E) - rec.e) * P[c] + b * std::sin(E) * Q[c];
      return 1;
    }
  }
  double vel[3];
  return ElementsToState(jdTT, rec.T, rec.q, rec.e, P, Q, posAu, vel) == 0 ? 1 : 0;
}
