#include "platform/video/gif_palette.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

// A colour of the frame with its pixel count.
struct Bin {
  uint8_t c[3];
  uint32_t n;
};

struct Box {
  size_t begin, end;  // range in the bins
  int longest = 0;    // channel of the widest spread
  int spread = 0;
  uint64_t pixels = 0;
};

void Measure(const std::vector<Bin>& bins, Box& box)
{
  int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  box.pixels = 0;
  for (size_t i = box.begin; i < box.end; ++i) {
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min<int>(lo[k], bins[i].c[k]);
      hi[k] = std::max<int>(hi[k], bins[i].c[k]);
    }
    box.pixels += bins[i].n;
  }
  box.spread = -1;
  for (int k = 0; k < 3; ++k)
    if (hi[k] - lo[k] > box.spread) {
      box.spread = hi[k] - lo[k];
      box.longest = k;
    }
}

} // namespace

GifPalette BuildGifPalette(const MovieFrame& frame)
{
  // The distinct colours; a frame of many colours is counted at 5 bits a
  // channel first, each bin keeping the mean of its exact colours.
  std::map<uint32_t, uint32_t> exact;
  bool tooMany = false;
  for (int y = 0; y < frame.nHeight && !tooMany; ++y) {
    const uint8_t* p = frame.pBgra + size_t(y) * frame.nStride;
    for (int x = 0; x < frame.nWidth; ++x, p += 4) {
      ++exact[uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]];
      if (exact.size() > 4096) {
        tooMany = true;
        break;
      }
    }
  }
  std::vector<Bin> bins;
  if (!tooMany) {
    for (const auto& [rgb, n] : exact)
      bins.push_back({{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)}, n});
  } else {
    std::vector<std::array<uint64_t, 4>> sums(32768, std::array<uint64_t, 4>{});
    for (int y = 0; y < frame.nHeight; ++y) {
      const uint8_t* p = frame.pBgra + size_t(y) * frame.nStride;
      for (int x = 0; x < frame.nWidth; ++x, p += 4) {
        auto& s = sums[(p[2] >> 3) << 10 | (p[1] >> 3) << 5 | p[0] >> 3];
        s[0] += p[2], s[1] += p[1], s[2] += p[0], ++s[3];
      }
    }
    for (const auto& s : sums)
      if (s[3])
        bins.push_back({{uint8_t(s[0] / s[3]), uint8_t(s[1] / s[3]), uint8_t(s[2] / s[3])}, uint32_t(s[3])});
  }

  // Median cut: split the box of most pixels (that has a spread) at the
  // pixel median of its widest channel until there are 256 boxes.
  std::vector<Box> boxes;
  if (!bins.empty()) {
    boxes.push_back({0, bins.size()});
    Measure(bins, boxes[0]);
  }
  while (boxes.size() < 256) {
    Box* pick = nullptr;
    for (Box& b : boxes)
      if (b.spread > 0 && b.end - b.begin > 1 && (!pick || b.pixels * b.spread > pick->pixels * pick->spread))
        pick = &b;
    if (!pick)
      break;
    const int k = pick->longest;
    std::sort(bins.begin() + long(pick->begin), bins.begin() + long(pick->end),
              [k](const Bin& a, const Bin& b) { return a.c[k] < b.c[k]; });
    uint64_t half = pick->pixels / 2, run = 0;
    size_t cut = pick->begin + 1;
    for (size_t i = pick->begin; i < pick->end - 1; ++i) {
      run += bins[i].n;
      cut = i + 1;
      if (run >= half)
        break;
    }
    Box upper{cut, pick->end};
    pick->end = cut;
    Measure(bins, *pick);
    Measure(bins, upper);
    boxes.push_back(upper);
  }

  GifPalette palette;
  for (const Box& b : boxes) {
    uint64_t s[3] = {0, 0, 0};
    for (size_t i = b.begin; i < b.end; ++i)
      for (int k = 0; k < 3; ++k)
        s[k] += uint64_t(bins[i].c[k]) * bins[i].n;
    for (int k = 0; k < 3; ++k)
      palette.rgb.push_back(uint8_t((s[k] + b.pixels / 2) / std::max<uint64_t>(1, b.pixels)));
  }
  if (palette.rgb.empty())
    palette.rgb = {0, 0, 0};
  return palette;
}

GifDitherer::GifDitherer(const GifPalette& palette) : m_palette(palette), m_cache(1 << 18, int16_t(-1))
{
  for (int i = m_palette.Count() - 1; i >= 0; --i) {
    const uint8_t* c = &m_palette.rgb[size_t(i) * 3];
    m_exact[uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2]] = i;
  }
}

int GifDitherer::Nearest(int r, int g, int b)
{
  // The palette's own colours map to themselves (flat areas keep no error);
  // any other colour takes the entry nearest its 6-bit cell's centre.
  const int key = (r >> 2) << 12 | (g >> 2) << 6 | b >> 2;
  int16_t& slot = m_cache[size_t(key)];
  if (slot < 0)
    slot = int16_t(Search((r & ~3) + 2, (g & ~3) + 2, (b & ~3) + 2));
  const uint8_t* c = &m_palette.rgb[size_t(slot) * 3];
  if (c[0] == r && c[1] == g && c[2] == b)
    return slot;
  if (const auto it = m_exact.find(uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b)); it != m_exact.end())
    return it->second;
  return slot;
}

int GifDitherer::Search(int r, int g, int b) const
{
  int best = 0;
  int bestD = 1 << 30;
  for (int i = 0; i < m_palette.Count(); ++i) {
    const uint8_t* c = &m_palette.rgb[size_t(i) * 3];
    const int dr = c[0] - r, dg = c[1] - g, db = c[2] - b;
    const int d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

void GifDitherer::Map(const MovieFrame& frame, std::vector<uint8_t>& indices)
{
  const int w = frame.nWidth, h = frame.nHeight;
  indices.resize(size_t(w) * h);
  m_err.assign(size_t(w + 2) * 3 * 2, 0);
  int* cur = m_err.data();
  int* next = cur + size_t(w + 2) * 3;
  for (int y = 0; y < h; ++y) {
    std::fill(next, next + size_t(w + 2) * 3, 0);
    const uint8_t* p = frame.pBgra + size_t(y) * frame.nStride;
    uint8_t* out = &indices[size_t(y) * w];
    for (int x = 0; x < w; ++x, p += 4) {
      int v[3] = {p[2], p[1], p[0]};
      int* e = cur + size_t(x + 1) * 3;
      for (int k = 0; k < 3; ++k)
        v[k] = std::clamp(v[k] + e[k] / 16, 0, 255);
      const int idx = Nearest(v[0], v[1], v[2]);
      out[x] = uint8_t(idx);
      const uint8_t* c = &m_palette.rgb[size_t(idx) * 3];
      for (int k = 0; k < 3; ++k) {
        const int d = v[k] - c[k];
        e[3 + k] += d * 7;
        next[size_t(x) * 3 + k] += d * 3;
        next[size_t(x + 1) * 3 + k] += d * 5;
        next[size_t(x + 2) * 3 + k] += d;
      }
    }
    std::swap(cur, next);
  }
}
