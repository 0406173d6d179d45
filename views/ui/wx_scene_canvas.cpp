#include "views/ui/wx_scene_canvas.h"

#include <cmath>
#include <map>
#include <utility>

#include <cairo.h>

#include <wx/brush.h>
#include <wx/clipbrd.h>
#include <wx/dcmemory.h>
#include <wx/fontenum.h>
#include <wx/region.h>

#include "astro/angle_units.h"
#include "platform/wx/raster_draw.h"
#include "platform/wx/wx_ui_services.h"
#include "views/polyline_thinning.h"

wxColour ArgbColour(uint32_t argb)
{
  return wxColour((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}

wxFont SceneWxFont(float points, bool bold)
{
  // The face the fonts-noto-cjk package installs; the toolkit's sans-serif
  // family stands in when it is missing.
  static const bool bHasNoto = wxFontEnumerator::IsValidFacename("Noto Sans CJK JP");
  wxFontInfo info(points);
  info.Family(wxFONTFAMILY_SWISS);
  if (bHasNoto)
    info.FaceName("Noto Sans CJK JP");
  if (bold)
    info.Bold();
  return wxFont(info);
}

wxFont FixedPitchWxFont(const wxFontInfo& size)
{
  // The CJK monospace face of the same package; the toolkit's monospace
  // family stands in when it is missing.
  static const bool bHasNotoMono = wxFontEnumerator::IsValidFacename("Noto Sans Mono CJK JP");
  wxFontInfo info(size);
  info.Family(wxFONTFAMILY_TELETYPE);
  if (bHasNotoMono)
    info.FaceName("Noto Sans Mono CJK JP");
  return wxFont(info);
}

wxFont SceneWxFont(SceneFont font)
{
  if (font == SceneFont::Table)
    return FixedPitchWxFont(wxFontInfo(10));
  return SceneWxFont(font == SceneFont::Label ? 8 : font == SceneFont::Small ? 9 : 10, font == SceneFont::Bold);
}

WxSceneCanvas::WxSceneCanvas(wxGraphicsContext* gc, const wxImage* sunImage)
    : m_gc(gc), m_pSunImage(sunImage), m_small(SceneWxFont(SceneFont::Small)), m_bold(SceneWxFont(SceneFont::Bold)),
      m_label(SceneWxFont(SceneFont::Label)), m_message(SceneWxFont(SceneFont::Message)),
      m_table(SceneWxFont(SceneFont::Table))
{
  m_gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
}

namespace {

wxPenStyle PenStyle(const ScenePen& pen)
{
  return pen.dotted ? wxPENSTYLE_DOT : pen.dashed ? wxPENSTYLE_SHORT_DASH : wxPENSTYLE_SOLID;
}

// The serif face of the formulas ("Times New Roman", which fontconfig maps
// to Liberation Serif), cached by size and slant.
const wxFont& SerifFont(const SerifStyle& style)
{
  static std::map<std::pair<int, bool>, wxFont> fonts;
  const std::pair<int, bool> key(static_cast<int>(std::lround(style.sizePt * 4)), style.italic);
  auto it = fonts.find(key);
  if (it == fonts.end()) {
    wxFontInfo info(style.sizePt);
    info.Family(wxFONTFAMILY_ROMAN).FaceName("Times New Roman");
    if (style.italic)
      info.Italic();
    it = fonts.emplace(key, wxFont(info)).first;
  }
  return it->second;
}

} // namespace

wxGraphicsPen WxSceneCanvas::MakePen(const ScenePen& pen) const
{
  wxGraphicsPenInfo info(ArgbColour(pen.argb), pen.width, PenStyle(pen));
  return m_gc->CreatePen(info);
}

const wxFont& WxSceneCanvas::FontOf(SceneFont font) const
{
  switch (font) {
  case SceneFont::Bold: return m_bold;
  case SceneFont::Label: return m_label;
  case SceneFont::Message: return m_message;
  case SceneFont::Table: return m_table;
  default: return m_small;
  }
}

void WxSceneCanvas::Line(ScenePoint a, ScenePoint b, const ScenePen& pen)
{
  m_gc->SetPen(MakePen(pen));
  m_gc->StrokeLine(a.x, a.y, b.x, b.y);
}

void WxSceneCanvas::Polyline(const std::vector<ScenePoint>& pts, const ScenePen& pen)
{
  if (pts.size() < 2)
    return;
  // Round joins cost the stroker an arc at every point; at these widths a
  // bevel looks the same.
  wxGraphicsPenInfo info(ArgbColour(pen.argb), pen.width, PenStyle(pen));
  info.Join(wxJOIN_BEVEL);
  m_gc->SetPen(m_gc->CreatePen(info));
  // A long track crowds many points into each pixel: the points that change
  // the picture by less than a quarter pixel are left out. The stroker also
  // slows down more than in proportion on long paths: they go out in pieces
  // of kPiece points sharing their end points.
  constexpr size_t kPiece = 64;
  constexpr float kTolerance = 0.25f;
  const std::vector<ScenePoint> kept = ThinPolyline(pts, kTolerance);
  wxGraphicsPath path = m_gc->CreatePath();
  path.MoveToPoint(kept[0].x, kept[0].y);
  size_t inPath = 1;
  for (size_t i = 1; i < kept.size(); ++i) {
    path.AddLineToPoint(kept[i].x, kept[i].y);
    if (++inPath == kPiece && i + 1 < kept.size()) {
      m_gc->StrokePath(path);
      path = m_gc->CreatePath();
      path.MoveToPoint(kept[i].x, kept[i].y);
      inPath = 1;
    }
  }
  if (inPath > 1)
    m_gc->StrokePath(path);
}

void WxSceneCanvas::FillCircle(ScenePoint c, float d, uint32_t argb)
{
  m_gc->SetPen(wxNullGraphicsPen);
  m_gc->SetBrush(m_gc->CreateBrush(wxBrush(ArgbColour(argb))));
  m_gc->DrawEllipse(c.x - d / 2, c.y - d / 2, d, d);
}

void WxSceneCanvas::StrokeCircle(ScenePoint c, float d, const ScenePen& pen)
{
  m_gc->SetPen(MakePen(pen));
  m_gc->SetBrush(wxNullGraphicsBrush);
  m_gc->DrawEllipse(c.x - d / 2, c.y - d / 2, d, d);
}

namespace {

std::vector<RasterCircle> ToRasterCircles(const std::vector<ScenePoint>& cs)
{
  std::vector<RasterCircle> out(cs.size());
  for (size_t i = 0; i < cs.size(); ++i)
    out[i] = {cs[i].x, cs[i].y};
  return out;
}

} // namespace

void WxSceneCanvas::FillCircles(const std::vector<ScenePoint>& cs, float d, uint32_t argb)
{
  const std::vector<RasterCircle> circles = ToRasterCircles(cs);
  DrawManyCircles(m_gc, circles.data(), circles.size(), d, argb, 0);
}

void WxSceneCanvas::StrokeCircles(const std::vector<ScenePoint>& cs, float d, const ScenePen& pen)
{
  const std::vector<RasterCircle> circles = ToRasterCircles(cs);
  DrawManyCircles(m_gc, circles.data(), circles.size(), d, pen.argb, pen.width);
}

void WxSceneCanvas::RadialGradientCircle(ScenePoint c, float r, uint32_t centre, uint32_t edge)
{
  m_gc->SetPen(wxNullGraphicsPen);
  m_gc->SetBrush(m_gc->CreateRadialGradientBrush(c.x, c.y, c.x, c.y, r, ArgbColour(centre), ArgbColour(edge)));
  m_gc->DrawEllipse(c.x - r, c.y - r, 2 * r, 2 * r);
}

void WxSceneCanvas::FillPolygon(const std::vector<ScenePoint>& pts, uint32_t argb)
{
  if (pts.size() < 3)
    return;
  std::vector<wxPoint2DDouble> p;
  p.reserve(pts.size());
  for (const ScenePoint& s : pts)
    p.emplace_back(s.x, s.y);
  m_gc->SetPen(wxNullGraphicsPen);
  m_gc->SetBrush(m_gc->CreateBrush(wxBrush(ArgbColour(argb))));
  m_gc->DrawLines(p.size(), p.data());
}

void WxSceneCanvas::DrawTextLines(const wxString& text, double x, double y)
{
  wxString s = text;
  s.Replace("\r\n", "\n");
  for (const wxString& line : wxSplit(s, '\n', '\0')) {
    double w, h;
    m_gc->GetTextExtent(line.empty() ? wxString("A") : line, &w, &h);
    m_gc->DrawText(line, x, y);
    y += h;
  }
}

void WxSceneCanvas::Text(const std::string& text, ScenePoint p, SceneFont font, uint32_t argb)
{
  m_gc->SetFont(FontOf(font), ArgbColour(argb));
  DrawTextLines(ToWx(text), p.x, p.y);
}

void WxSceneCanvas::SizedText(const std::string& text, ScenePoint p, float points, bool bold, uint32_t argb)
{
  m_gc->SetFont(SceneWxFont(points, bold), ArgbColour(argb));
  DrawTextLines(ToWx(text), p.x, p.y);
}

void WxSceneCanvas::OutlinedText(const std::string& text, ScenePoint p, float points, bool bold, uint32_t argb)
{
  if (text.empty())
    return;
  // The context cannot stroke the letters' outlines: the black rim is the
  // text drawn around the place 1.4 pixels away in eight directions.
  const wxFont font = SceneWxFont(points, bold);
  const wxString s = ToWx(text);
  m_gc->SetFont(font, *wxBLACK);
  constexpr double d = 1.4, e = 1.0;
  const double offsets[8][2] = {{-d, 0}, {d, 0}, {0, -d}, {0, d}, {-e, -e}, {e, -e}, {-e, e}, {e, e}};
  for (const auto& o : offsets)
    DrawTextLines(s, p.x + o[0], p.y + o[1]);
  m_gc->SetFont(font, ArgbColour(argb));
  DrawTextLines(s, p.x, p.y);
}

void WxSceneCanvas::Raster(const uint32_t* pixels, int w, int h, const SceneRect& dst)
{
  DrawRgbRaster(m_gc, pixels, w, h, dst.x, dst.y, dst.w, dst.h);
}

void WxSceneCanvas::FillEllipse(ScenePoint c, float w, float h, uint32_t argb)
{
  m_gc->SetPen(wxNullGraphicsPen);
  m_gc->SetBrush(m_gc->CreateBrush(wxBrush(ArgbColour(argb))));
  m_gc->DrawEllipse(c.x - w / 2, c.y - h / 2, w, h);
}

wxGraphicsPath WxSceneCanvas::MakePath(const std::vector<ScenePoint>& bezier) const
{
  wxGraphicsPath path = m_gc->CreatePath();
  if (bezier.empty())
    return path;
  path.MoveToPoint(bezier[0].x, bezier[0].y);
  for (size_t i = 1; i + 2 < bezier.size(); i += 3)
    path.AddCurveToPoint(bezier[i].x, bezier[i].y, bezier[i + 1].x, bezier[i + 1].y, bezier[i + 2].x,
                         bezier[i + 2].y);
  path.CloseSubpath();
  return path;
}

void WxSceneCanvas::FillPathGradient(const std::vector<ScenePoint>& bezier, ScenePoint from, ScenePoint to,
                                     uint32_t fromArgb, uint32_t toArgb)
{
  m_gc->SetPen(wxNullGraphicsPen);
  m_gc->SetBrush(
      m_gc->CreateLinearGradientBrush(from.x, from.y, to.x, to.y, ArgbColour(fromArgb), ArgbColour(toArgb)));
  m_gc->FillPath(MakePath(bezier));
}

void WxSceneCanvas::ClipPath(const std::vector<ScenePoint>& bezier)
{
  // The context clips to regions: the pieces flattened into a polygon.
  std::vector<wxPoint> corners;
  if (bezier.size() < 4)
    return;
  for (size_t i = 0; i + 3 < bezier.size(); i += 3)
    for (int k = 0; k < 8; ++k) {
      const double t = k / 8.0, u = 1 - t;
      const ScenePoint *p = &bezier[i];
      const double x = u * u * u * p[0].x + 3 * u * u * t * p[1].x + 3 * u * t * t * p[2].x + t * t * t * p[3].x;
      const double y = u * u * u * p[0].y + 3 * u * u * t * p[1].y + 3 * u * t * t * p[2].y + t * t * t * p[3].y;
      corners.emplace_back(int(std::lround(x)), int(std::lround(y)));
    }
  m_gc->Clip(wxRegion(corners.size(), corners.data()));
}

void WxSceneCanvas::StrokePath(const std::vector<ScenePoint>& bezier, const ScenePen& pen)
{
  m_gc->SetPen(MakePen(pen));
  m_gc->SetBrush(wxNullGraphicsBrush);
  m_gc->StrokePath(MakePath(bezier));
}

ScenePoint WxSceneCanvas::MeasureText(const std::string& text, SceneFont font)
{
  m_gc->SetFont(FontOf(font), *wxWHITE);
  double w = 0, h = 0;
  m_gc->GetTextExtent(ToWx(text), &w, &h);
  return {static_cast<float>(w), static_cast<float>(h)};
}

void WxSceneCanvas::SerifText(const std::string& text, ScenePoint p, const SerifStyle& style, uint32_t argb)
{
  m_gc->SetFont(SerifFont(style), ArgbColour(argb));
  m_gc->DrawText(ToWx(text), p.x, p.y);
}

float WxSceneCanvas::MeasureSerifText(const std::string& text, const SerifStyle& style)
{
  m_gc->SetFont(SerifFont(style), *wxWHITE);
  double w = 0, h = 0;
  m_gc->GetTextExtent(ToWx(text), &w, &h);
  return static_cast<float>(w);
}

bool WxSceneCanvas::SunTexture(ScenePoint c, float clipR, float halfSide)
{
  if (!m_pSunImage || !m_pSunImage->IsOk())
    return false;
  m_gc->PushState();
  // The context clips to regions: the disc as a polygon of 96 corners.
  wxPoint corners[96];
  for (int i = 0; i < 96; ++i) {
    const double a = 2 * kPi * i / 96;
    corners[i] = wxPoint(static_cast<int>(std::lround(c.x + clipR * std::cos(a))),
                         static_cast<int>(std::lround(c.y + clipR * std::sin(a))));
  }
  m_gc->Clip(wxRegion(96, corners));
  const wxGraphicsBitmap bmp = m_gc->CreateBitmapFromImage(*m_pSunImage);
  m_gc->DrawBitmap(bmp, c.x - halfSide, c.y - halfSide, 2 * halfSide, 2 * halfSide);
  m_gc->PopState();
  return true;
}

void WxSceneCanvas::PushState()
{
  m_gc->PushState();
}

void WxSceneCanvas::PopState()
{
  m_gc->PopState();
}

void WxSceneCanvas::ClipRect(const SceneRect& r)
{
  m_gc->Clip(r.x, r.y, r.w, r.h);
}

void WxSceneCanvas::Translate(float dx, float dy)
{
  m_gc->Translate(dx, dy);
}

wxBitmap DrawSceneBitmap(int w, int h, const wxImage* sunImage, const std::function<void(ISceneCanvas&)>& draw,
                         double k)
{
  if (w <= 0 || h <= 0)
    return wxNullBitmap;
  wxBitmap bmp(w, h, 24);
  wxMemoryDC dc(bmp);
  dc.SetBackground(*wxBLACK_BRUSH);
  dc.Clear();
  if (wxGraphicsContext* gc = wxGraphicsContext::Create(dc)) {
    gc->Scale(k, k);
    WxSceneCanvas canvas(gc, sunImage);
    canvas.SetWorldScale(k);
    draw(canvas);
    delete gc;
  }
  dc.SelectObject(wxNullBitmap);
  return bmp;
}

void DrawSceneIntoFrame(MovieFrame& frame, const wxImage* sunImage, const std::function<void(ISceneCanvas&)>& draw)
{
  // CAIRO_FORMAT_RGB24 is the writer's layout: 32 bits a pixel, blue in the
  // lowest byte, the top byte unused.
  cairo_surface_t* surface = cairo_image_surface_create_for_data(frame.pBgra, CAIRO_FORMAT_RGB24, frame.nWidth,
                                                                  frame.nHeight, frame.nStride);
  cairo_t* cr = cairo_create(surface);
  if (wxGraphicsContext* gc = wxGraphicsRenderer::GetCairoRenderer()->CreateContextFromNativeContext(cr)) {
    gc->Scale(frame.fScale, frame.fScale);
    WxSceneCanvas canvas(gc, sunImage);
    canvas.SetWorldScale(frame.fScale);
    draw(canvas);
    delete gc;
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
}

void PutBitmapOnClipboard(const wxBitmap& bmp)
{
  if (!bmp.IsOk() || !wxTheClipboard->Open())
    return;
  wxTheClipboard->SetData(new wxBitmapDataObject(bmp));
  wxTheClipboard->Close();
}
