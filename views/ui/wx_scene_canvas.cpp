#include "views/ui/wx_scene_canvas.h"

#include <cmath>

#include <wx/brush.h>
#include <wx/fontenum.h>
#include <wx/region.h>

#include "platform/wx/wx_ui_services.h"
#include "views/polyline_thinning.h"

wxColour ArgbColour(uint32_t argb)
{
  return wxColour((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}

wxFont SceneWxFont(SceneFont font)
{
  // The face the fonts-noto-cjk package installs; the toolkit's sans-serif
  // family stands in when it is missing.
  static const bool bHasNoto = wxFontEnumerator::IsValidFacename("Noto Sans CJK JP");
  wxFontInfo info(font == SceneFont::Bold ? 10 : 9);
  info.Family(wxFONTFAMILY_SWISS);
  if (bHasNoto)
    info.FaceName("Noto Sans CJK JP");
  if (font == SceneFont::Bold)
    info.Bold();
  return wxFont(info);
}

WxSceneCanvas::WxSceneCanvas(wxGraphicsContext* gc, const wxImage* sunImage)
    : m_gc(gc), m_pSunImage(sunImage), m_small(SceneWxFont(SceneFont::Small)), m_bold(SceneWxFont(SceneFont::Bold))
{
  m_gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
}

wxGraphicsPen WxSceneCanvas::MakePen(const ScenePen& pen) const
{
  wxGraphicsPenInfo info(ArgbColour(pen.argb), pen.width, pen.dashed ? wxPENSTYLE_SHORT_DASH : wxPENSTYLE_SOLID);
  return m_gc->CreatePen(info);
}

const wxFont& WxSceneCanvas::FontOf(SceneFont font) const
{
  return font == SceneFont::Bold ? m_bold : m_small;
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
  wxGraphicsPenInfo info(ArgbColour(pen.argb), pen.width, pen.dashed ? wxPENSTYLE_SHORT_DASH : wxPENSTYLE_SOLID);
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

void WxSceneCanvas::Text(const std::string& text, ScenePoint p, SceneFont font, uint32_t argb)
{
  m_gc->SetFont(FontOf(font), ArgbColour(argb));
  wxString s = ToWx(text);
  s.Replace("\r\n", "\n");
  double y = p.y;
  for (const wxString& line : wxSplit(s, '\n', '\0')) {
    double w, h;
    m_gc->GetTextExtent(line.empty() ? wxString("A") : line, &w, &h);
    m_gc->DrawText(line, p.x, y);
    y += h;
  }
}

ScenePoint WxSceneCanvas::MeasureText(const std::string& text, SceneFont font)
{
  m_gc->SetFont(FontOf(font), *wxWHITE);
  double w = 0, h = 0;
  m_gc->GetTextExtent(ToWx(text), &w, &h);
  return {static_cast<float>(w), static_cast<float>(h)};
}

bool WxSceneCanvas::SunTexture(ScenePoint c, float clipR, float halfSide)
{
  if (!m_pSunImage || !m_pSunImage->IsOk())
    return false;
  m_gc->PushState();
  // The context clips to regions: the disc as a polygon of 96 corners.
  wxPoint corners[96];
  for (int i = 0; i < 96; ++i) {
    const double a = 2 * M_PI * i / 96;
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
