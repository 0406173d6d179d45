#pragma once
// Computed pictures (the globe's sphere, the season chart's sky) drawn into a
// graphics context. Rows of w native-endian 32-bit words 0x..RRGGBB, the top
// byte ignored, land in the rectangle (x, y, dw, dh), smoothed when scaled.
// On the toolkit's own renderer the pixels go straight to it; otherwise
// through an image.
#include <cstddef>
#include <cstdint>

class wxGraphicsContext;

void DrawRgbRaster(wxGraphicsContext* gc, const uint32_t* pixels, int w, int h, double x, double y, double dw,
                   double dh);

// Many small circles of one colour, filled or stroked with a line width,
// each a path of its own (one path for all fills overlaps slowly). On the
// toolkit's own renderer without the per-circle objects of the generic path.
struct RasterCircle {
  float x, y;
};
void DrawManyCircles(wxGraphicsContext* gc, const RasterCircle* cs, size_t n, float d, uint32_t argb, float lineWidth);
