#pragma once
// Computed pictures (the globe's sphere, the season chart's sky) drawn into a
// graphics context. Rows of w native-endian 32-bit words 0x..RRGGBB, the top
// byte ignored, land in the rectangle (x, y, dw, dh), smoothed when scaled.
// On the toolkit's own renderer the pixels go straight to it; otherwise
// through an image.
#include <cstdint>

class wxGraphicsContext;

void DrawRgbRaster(wxGraphicsContext* gc, const uint32_t* pixels, int w, int h, double x, double y, double dw,
                   double dh);
