#pragma once
// The globe's sphere as a raster: every pixel of the disc unprojected to the
// body's surface, coloured from the texture (or plain) and lit from a fixed
// light or from the Sun. Also the texture itself: its pixels, the grey test
// of a height map and the size limit of an image file.
#include <cstdint>
#include <string>
#include <vector>

// Equirectangular texture, left edge at longitude -180, top edge at +90.
struct GlobeTexture {
  std::vector<uint32_t> m_pTexture;  // 0xAARRGGBB (bytes blue, green, red, alpha), rows from the top
  int m_nTexWidth = 0;
  int m_nTexHeight = 0;
  int m_bTexColour = 1;  // 0: a grey height map coloured by elevation
  bool Empty() const { return m_nTexWidth <= 0 || m_nTexHeight <= 0; }
};

// A texture larger than this is averaged down to fit (the Earth's 2048 x 1024 is kept).
inline constexpr int kMaxTextureWidth = 8192;
inline constexpr int kMaxTextureHeight = 4096;
// An image file that announces more pixels than this is not decoded at all
// (its decoded copy alone would take several hundred megabytes).
inline constexpr int64_t kMaxDecodedTexturePixels = int64_t(16384) * 8192;

// Width and height from a JPEG or PNG file's header, without decoding it;
// false for other files and for damaged headers.
bool ReadImageFileSize(const std::string& path, int& width, int& height);
// Whether an image of that size may be decoded.
bool TextureSizeAcceptable(int width, int height);

// The grey test of a height map: mean |R - G| + |G - B| over about 4000
// pixels spread through the image, at least 12 for a colour image.
bool IsColourImage(const unsigned char* rgb, int width, int height);

// RGB triples (rows from the top) as a texture, box-averaged down when wider
// or taller than the limits above.
void BuildTexture(const unsigned char* rgb, int width, int height, GlobeTexture& out);

// The view as the raster needs it, in raster pixels.
struct GlobeRasterView {
  int width = 0, height = 0;  // raster size
  double cx = 0, cy = 0;      // disc centre
  double radius = 1;          // disc radius
  double rollRad = 0;
  double viewLatDeg = 20, viewLonDeg = 100;
  int bSubSolar = 0;
  double subSolarLatDeg = 0, subSolarLonDeg = 0;
  int bEarth = 1;  // plain colour of the Earth, else of any other body
};

// Colour (red, green, blue before lighting) of a surface point from the
// texture, or the plain colour of the body without one.
void GlobeSurfaceRgb(const GlobeTexture* texture, bool bEarth, double latDeg, double lonDeg, double rgb[3]);
// The same as 0xFFRRGGBB, each channel truncated.
uint32_t GlobeSurfaceColour(const GlobeTexture* texture, bool bEarth, double latDeg, double lonDeg);

// Fills rows [rowBegin, rowEnd) of the raster (width x height pixels,
// 0xAARRGGBB, opaque black off the disc).
void RenderGlobeRows(const GlobeRasterView& view, const GlobeTexture* texture, uint32_t* pixels, int rowBegin,
                     int rowEnd);
// The whole raster, its rows shared by up to `threads` threads.
void RenderGlobeRaster(const GlobeRasterView& view, const GlobeTexture* texture, uint32_t* pixels, int threads);
