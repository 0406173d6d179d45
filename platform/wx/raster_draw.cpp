#include "platform/wx/raster_draw.h"

#include <cairo.h>
#include <wx/graphics.h>
#include <wx/image.h>

namespace {

// A whole-frame picture converted pixel by pixel into an image and a bitmap
// costs more than computing it; cairo reads the words as they are.
bool DrawThroughCairo(wxGraphicsContext* gc, const uint32_t* pixels, int w, int h, double x, double y, double dw,
                      double dh)
{
  if (gc->GetRenderer() != wxGraphicsRenderer::GetCairoRenderer())
    return false;
  auto* cr = static_cast<cairo_t*>(gc->GetNativeContext());
  if (!cr || cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, w) != w * 4)
    return false;
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(pixels)), CAIRO_FORMAT_RGB24, w, h, w * 4);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, dw / w, dh / h);
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(surface);
  return true;
}

} // namespace

void DrawRgbRaster(wxGraphicsContext* gc, const uint32_t* pixels, int w, int h, double x, double y, double dw,
                   double dh)
{
  if (!gc || w <= 0 || h <= 0)
    return;
  if (DrawThroughCairo(gc, pixels, w, h, x, y, dw, dh))
    return;
  wxImage image(w, h, false);
  unsigned char* rgb = image.GetData();
  const size_t n = size_t(w) * h;
  for (size_t i = 0; i < n; ++i) {
    rgb[3 * i] = (pixels[i] >> 16) & 0xFF;
    rgb[3 * i + 1] = (pixels[i] >> 8) & 0xFF;
    rgb[3 * i + 2] = pixels[i] & 0xFF;
  }
  gc->PushState();
  gc->SetInterpolationQuality(wxINTERPOLATION_GOOD);
  gc->DrawBitmap(gc->CreateBitmapFromImage(image), x, y, dw, dh);
  gc->PopState();
}
