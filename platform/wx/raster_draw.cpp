#include "platform/wx/raster_draw.h"

#include <cairo.h>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>
#include <wx/brush.h>
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

namespace {

// Premultiplied 0xAARRGGBB of the colour at coverage c.
uint32_t Premultiplied(uint32_t argb, double c)
{
  const double a = ((argb >> 24) & 0xFF) / 255.0 * c;
  const auto ch = [&](int shift) { return uint32_t(((argb >> shift) & 0xFF) * a + 0.5); };
  return uint32_t(a * 255 + 0.5) << 24 | ch(16) << 16 | ch(8) << 8 | ch(0);
}

// Source over destination, both premultiplied.
uint32_t Over(uint32_t src, uint32_t dst)
{
  const uint32_t inv = 255 - (src >> 24);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t v = ((src >> shift) & 0xFF) + (((dst >> shift) & 0xFF) * inv + 127) / 255;
    out |= std::min<uint32_t>(v, 255) << shift;
  }
  return out;
}

// Thousands of dots of a few pixels: their pixels are computed here, with a
// coverage from the distance to the edge, into one layer over their bounding
// box that cairo paints once. Only without scaling or turning, where a
// device pixel is a user unit.
bool DrawCirclesAsLayer(cairo_t* cr, const RasterCircle* cs, size_t n, float d, uint32_t argb, float lineWidth)
{
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xx != 1 || m.yy != 1 || m.xy != 0 || m.yx != 0)
    return false;
  const double r = d / 2.0, half = lineWidth / 2.0, reach = r + half + 1;
  double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
  for (size_t i = 0; i < n; ++i) {
    minX = std::min(minX, double(cs[i].x));
    maxX = std::max(maxX, double(cs[i].x));
    minY = std::min(minY, double(cs[i].y));
    maxY = std::max(maxY, double(cs[i].y));
  }
  const double x0 = std::floor(minX + m.x0 - reach), y0 = std::floor(minY + m.y0 - reach);
  const double wD = std::ceil(maxX + m.x0 + reach) - x0, hD = std::ceil(maxY + m.y0 + reach) - y0;
  if (!(wD > 0 && hD > 0 && wD * hD <= 16.0e6))
    return false;
  const int w = int(wD), h = int(hD);
  std::vector<uint32_t> layer(size_t(w) * h, 0);
  const int span = int(std::ceil(reach));
  for (size_t i = 0; i < n; ++i) {
    const double cx = cs[i].x + m.x0 - x0, cy = cs[i].y + m.y0 - y0;
    const int px0 = std::max(0, int(cx) - span), px1 = std::min(w - 1, int(cx) + span);
    const int py0 = std::max(0, int(cy) - span), py1 = std::min(h - 1, int(cy) + span);
    for (int py = py0; py <= py1; ++py)
      for (int px = px0; px <= px1; ++px) {
        const double dist = std::hypot(px + 0.5 - cx, py + 0.5 - cy);
        const double c = lineWidth > 0 ? std::clamp(half + 0.5 - std::fabs(dist - r), 0.0, 1.0)
                                       : std::clamp(r + 0.5 - dist, 0.0, 1.0);
        if (c > 0) {
          uint32_t& dst = layer[size_t(py) * w + px];
          dst = Over(Premultiplied(argb, c), dst);
        }
      }
  }
  cairo_surface_t* surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(layer.data()),
                                                                 CAIRO_FORMAT_ARGB32, w, h, w * 4);
  const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS && cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w) == w * 4;
  if (ok) {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, surface, x0, y0);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  cairo_surface_destroy(surface);
  return ok;
}

} // namespace

void DrawManyCircles(wxGraphicsContext* gc, const RasterCircle* cs, size_t n, float d, uint32_t argb, float lineWidth)
{
  if (!gc || n == 0)
    return;
  const double r = d / 2.0;
  const wxColour colour((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
  auto* cr = gc->GetRenderer() == wxGraphicsRenderer::GetCairoRenderer() ? static_cast<cairo_t*>(gc->GetNativeContext())
                                                                          : nullptr;
  if (!cr) {
    if (lineWidth > 0) {
      gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(colour, lineWidth)));
      gc->SetBrush(wxNullGraphicsBrush);
    } else {
      gc->SetPen(wxNullGraphicsPen);
      gc->SetBrush(gc->CreateBrush(wxBrush(colour)));
    }
    for (size_t i = 0; i < n; ++i)
      gc->DrawEllipse(cs[i].x - r, cs[i].y - r, d, d);
    return;
  }
  if (DrawCirclesAsLayer(cr, cs, n, d, argb, lineWidth))
    return;
  cairo_save(cr);
  cairo_set_source_rgba(cr, colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0,
                        colour.Alpha() / 255.0);
  if (lineWidth > 0)
    cairo_set_line_width(cr, lineWidth);
  for (size_t i = 0; i < n; ++i) {
    cairo_new_path(cr);
    cairo_arc(cr, cs[i].x, cs[i].y, r, 0, 2 * std::numbers::pi);
    if (lineWidth > 0)
      cairo_stroke(cr);
    else
      cairo_fill(cr);
  }
  cairo_restore(cr);
}
