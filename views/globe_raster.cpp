#include "views/globe_raster.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <thread>

#include "astro/angle_units.h"

namespace {


int Clamp(int v, int lo, int hi)
{
  return v < lo ? lo : (v > hi ? hi : v);
}

unsigned ReadBe16(const unsigned char* p)
{
  return (unsigned(p[0]) << 8) | p[1];
}

uint32_t ReadBe32(const unsigned char* p)
{
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

bool ReadJpegSize(std::ifstream& in, int& width, int& height)
{
  // Markers up to the first start-of-frame; every other segment is skipped by its length.
  for (int segments = 0; segments < 1000; ++segments) {
    int c = in.get();
    while (c == 0xFF)
      c = in.get();
    if (c == EOF)
      return false;
    const int marker = c;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
      continue;
    if (marker == 0xD9 || marker == 0xDA)
      return false;  // end of image, or scan data before any frame header
    unsigned char len[2];
    if (!in.read(reinterpret_cast<char*>(len), 2))
      return false;
    const unsigned length = ReadBe16(len);
    if (length < 2)
      return false;
    const bool bFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (bFrame) {
      unsigned char sof[5];
      if (length < 7 || !in.read(reinterpret_cast<char*>(sof), 5))
        return false;
      height = int(ReadBe16(sof + 1));
      width = int(ReadBe16(sof + 3));
      return width > 0 && height > 0;
    }
    in.seekg(length - 2, std::ios::cur);
    if (!in)
      return false;
  }
  return false;
}

// Sea, else the elevation ramp, for a grey level of the height map.
void HeightColour(int n, double rgb[3])
{
  if (n < 2) {
    rgb[0] = 8, rgb[1] = 40, rgb[2] = 110 + n;
    return;
  }
  static const double stops[6] = {0, 0.15, 0.4, 0.65, 0.85, 1};
  static const double colours[6][3] = {{56, 130, 64},  {120, 165, 70},  {190, 180, 95},
                                       {150, 110, 70}, {150, 150, 150}, {245, 245, 245}};
  const double e = (n - 1) / 254.0;
  int k = 0;
  while (k < 4 && e > stops[k + 1])
    ++k;
  const double f = std::clamp((e - stops[k]) / (stops[k + 1] - stops[k]), 0.0, 1.0);
  for (int c = 0; c < 3; ++c)
    rgb[c] = colours[k][c] + (colours[k + 1][c] - colours[k][c]) * f;
}

} // namespace

bool ReadImageFileSize(const std::string& path, int& width, int& height)
{
  std::ifstream in(path, std::ios::binary);
  unsigned char head[24];
  if (!in.read(reinterpret_cast<char*>(head), 2))
    return false;
  if (head[0] == 0xFF && head[1] == 0xD8)
    return ReadJpegSize(in, width, height);
  static const unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!in.read(reinterpret_cast<char*>(head + 2), 22) || !std::equal(png, png + 8, head) ||
      !std::equal(head + 12, head + 16, reinterpret_cast<const unsigned char*>("IHDR")))
    return false;
  const uint32_t w = ReadBe32(head + 16), h = ReadBe32(head + 20);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF)
    return false;
  width = int(w);
  height = int(h);
  return true;
}

bool TextureSizeAcceptable(int width, int height)
{
  return width > 0 && height > 0 && int64_t(width) * height <= kMaxDecodedTexturePixels;
}

bool IsColourImage(const unsigned char* rgb, int width, int height)
{
  const int64_t n = int64_t(width) * height;
  if (n <= 0)
    return false;
  const int64_t step = std::max<int64_t>(1, n / 4000);
  int64_t sum = 0, visited = 0;
  for (int64_t p = 0; p < n; p += step, ++visited) {
    const unsigned char* q = rgb + 3 * p;
    sum += std::abs(int(q[0]) - int(q[1])) + std::abs(int(q[1]) - int(q[2]));
  }
  return double(sum) / double(visited) >= 12.0;
}

void BuildTexture(const unsigned char* rgb, int width, int height, GlobeTexture& out)
{
  out.m_pTexture.clear();
  out.m_nTexWidth = out.m_nTexHeight = 0;
  if (width <= 0 || height <= 0)
    return;
  const int f = std::max({1, (width + kMaxTextureWidth - 1) / kMaxTextureWidth,
                          (height + kMaxTextureHeight - 1) / kMaxTextureHeight});
  const int w = (width + f - 1) / f, h = (height + f - 1) / f;
  out.m_pTexture.resize(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned sum[3] = {0, 0, 0}, count = 0;
      for (int sy = y * f; sy < std::min(height, (y + 1) * f); ++sy)
        for (int sx = x * f; sx < std::min(width, (x + 1) * f); ++sx) {
          const unsigned char* q = rgb + 3 * (size_t(sy) * width + sx);
          sum[0] += q[0], sum[1] += q[1], sum[2] += q[2];
          ++count;
        }
      const uint32_t r = (sum[0] + count / 2) / count, g = (sum[1] + count / 2) / count,
                     b = (sum[2] + count / 2) / count;
      out.m_pTexture[size_t(y) * w + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  out.m_nTexWidth = w;
  out.m_nTexHeight = h;
}

void GlobeSurfaceRgb(const GlobeTexture* texture, bool bEarth, double latDeg, double lonDeg, double rgb[3])
{
  if (!texture || texture->Empty()) {
    rgb[0] = bEarth ? 20 : 110, rgb[1] = bEarth ? 60 : 105, rgb[2] = bEarth ? 110 : 100;
    return;
  }
  const int w = texture->m_nTexWidth, h = texture->m_nTexHeight;
  // The remainder and the wrap of the column the same as fmod and %, without
  // a division for the usual longitudes (a pixel of the picture takes many).
  double lon = lonDeg + 180.0;
  if (!(lon >= 0 && lon < 360.0)) {
    lon = std::fmod(lon, 360.0);
    if (lon < 0)
      lon += 360.0;
  }
  const double x = lon / 360.0 * w - 0.5, y = (90.0 - latDeg) / 180.0 * h - 0.5;
  const double fx0 = std::floor(x), fy0 = std::floor(y);
  const double fx = x - fx0, fy = y - fy0;
  const int x0 = int(fx0), y0 = int(fy0);
  const auto wrap = [w](int c) { return c >= 0 && c < w ? c : c == -1 ? w - 1 : c == w ? 0 : ((c % w) + w) % w; };
  const int c0 = wrap(x0), c1 = wrap(x0 + 1);
  const int r0 = Clamp(y0, 0, h - 1), r1 = Clamp(y0 + 1, 0, h - 1);
  const uint32_t* px = texture->m_pTexture.data();
  const uint32_t p00 = px[size_t(r0) * w + c0], p01 = px[size_t(r0) * w + c1], p10 = px[size_t(r1) * w + c0],
                 p11 = px[size_t(r1) * w + c1];
  for (int c = 0; c < 3; ++c) {
    const int shift = 16 - 8 * c;
    const double a = (p00 >> shift) & 0xFF, b = (p01 >> shift) & 0xFF, d = (p10 >> shift) & 0xFF,
                 e = (p11 >> shift) & 0xFF;
    rgb[c] = (a * (1 - fx) + b * fx) * (1 - fy) + (d * (1 - fx) + e * fx) * fy;
  }
  if (!texture->m_bTexColour)
    HeightColour(int(std::floor((rgb[0] + rgb[1] + rgb[2]) / 3.0 + 0.5)), rgb);
  else
    for (int c = 0; c < 3; ++c)
      rgb[c] = std::floor(rgb[c] + 0.5);
}

uint32_t GlobeSurfaceColour(const GlobeTexture* texture, bool bEarth, double latDeg, double lonDeg)
{
  double rgb[3];
  GlobeSurfaceRgb(texture, bEarth, latDeg, lonDeg, rgb);
  return 0xFF000000u | (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | uint32_t(rgb[2]);
}

void RenderGlobeRows(const GlobeRasterView& v, const GlobeTexture* texture, uint32_t* pixels, int rowBegin,
                     int rowEnd)
{
  const double cr = std::cos(v.rollRad), sr = std::sin(v.rollRad);
  const double phi0 = v.viewLatDeg * kRadPerDeg, sinPhi0 = std::sin(phi0), cosPhi0 = std::cos(phi0);
  const double lightLen = std::sqrt(0.55 * 0.55 + 0.55 * 0.55 + 0.62 * 0.62);
  double sx = 0, sy = 0, sz = 0;
  if (v.bSubSolar) {
    const double phis = v.subSolarLatDeg * kRadPerDeg, dl = (v.subSolarLonDeg - v.viewLonDeg) * kRadPerDeg;
    sx = std::cos(phis) * std::sin(dl);
    sy = cosPhi0 * std::sin(phis) - sinPhi0 * std::cos(phis) * std::cos(dl);
    sz = cosPhi0 * std::cos(phis) * std::cos(dl) + sinPhi0 * std::sin(phis);
  }
  const bool bTexture = texture && !texture->Empty();
  for (int i = rowBegin; i < rowEnd; ++i) {
    uint32_t* row = pixels + size_t(i) * v.width;
    const double vv = (v.cy - i) / v.radius;
    for (int j = 0; j < v.width; ++j) {
      const double u = (j - v.cx) / v.radius;
      const double X = u * cr + vv * sr, Y = vv * cr - u * sr;
      const double rho2 = X * X + Y * Y;
      if (rho2 > 1) {
        row[j] = 0xFF000000u;
        continue;
      }
      const double Z = std::sqrt(1 - rho2);
      double lat = v.viewLatDeg, lon = v.viewLonDeg;
      if (rho2 >= 1e-18) {
        // sin c = rho and cos c = Z on the unit sphere.
        lat = std::asin(std::clamp(Z * sinPhi0 + Y * cosPhi0, -1.0, 1.0)) / kRadPerDeg;
        lon = v.viewLonDeg + std::atan2(X, Z * cosPhi0 - Y * sinPhi0) / kRadPerDeg;
      }
      double b;
      if (v.bSubSolar) {
        const double c = Y * sy + X * sx + Z * sz;
        const double t = std::clamp((c + 0.15) / 0.3, 0.0, 1.0);
        b = (0.45 + 0.55 * t) * (0.85 + 0.15 * Z);
      } else {
        b = std::clamp((-0.55 * u + 0.55 * vv + 0.62 * Z) / lightLen, 0.15, 1.0);
      }
      double rgb[3];
      GlobeSurfaceRgb(bTexture ? texture : nullptr, v.bEarth != 0, lat, lon, rgb);
      const uint32_t r = uint32_t(rgb[0] * b), g = uint32_t(rgb[1] * b), bl = uint32_t(rgb[2] * b);
      row[j] = 0xFF000000u | (r << 16) | (g << 8) | bl;
    }
  }
}

void RenderGlobeRaster(const GlobeRasterView& view, const GlobeTexture* texture, uint32_t* pixels, int threads)
{
  threads = std::clamp(threads, 1, std::max(1, view.height / 16));
  if (threads == 1) {
    RenderGlobeRows(view, texture, pixels, 0, view.height);
    return;
  }
  std::vector<std::thread> workers;
  workers.reserve(threads - 1);
  const int band = (view.height + threads - 1) / threads;
  for (int t = 1; t < threads; ++t) {
    const int begin = t * band, end = std::min(view.height, begin + band);
    if (begin < end)
      workers.emplace_back(RenderGlobeRows, std::cref(view), texture, pixels, begin, end);
  }
  RenderGlobeRows(view, texture, pixels, 0, std::min(view.height, band));
  for (std::thread& w : workers)
    w.join();
}
