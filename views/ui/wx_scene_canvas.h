#pragma once
// The scene canvas on a wxGraphicsContext: the same drawing for the screen,
// the clipboard bitmap and video frames.
#include <memory>

#include <wx/font.h>
#include <wx/graphics.h>
#include <wx/image.h>

#include "views/scene_canvas.h"

class WxSceneCanvas : public ISceneCanvas {
public:
  // gc is kept by the caller; sunImage (may be null) is the Sun's picture.
  WxSceneCanvas(wxGraphicsContext* gc, const wxImage* sunImage);

  void Line(ScenePoint a, ScenePoint b, const ScenePen& pen) override;
  void Polyline(const std::vector<ScenePoint>& pts, const ScenePen& pen) override;
  void FillCircle(ScenePoint c, float d, uint32_t argb) override;
  void StrokeCircle(ScenePoint c, float d, const ScenePen& pen) override;
  void RadialGradientCircle(ScenePoint c, float r, uint32_t centre, uint32_t edge) override;
  void FillPolygon(const std::vector<ScenePoint>& pts, uint32_t argb) override;
  void Text(const std::string& text, ScenePoint p, SceneFont font, uint32_t argb) override;
  ScenePoint MeasureText(const std::string& text, SceneFont font) override;
  bool SunTexture(ScenePoint c, float clipR, float halfSide) override;
  void PushState() override;
  void PopState() override;
  void ClipRect(const SceneRect& r) override;
  void Translate(float dx, float dy) override;

private:
  wxGraphicsPen MakePen(const ScenePen& pen) const;
  const wxFont& FontOf(SceneFont font) const;

  wxGraphicsContext* m_gc;
  const wxImage* m_pSunImage;
  wxFont m_small, m_bold;
};

// A colour given as 0xAARRGGBB.
wxColour ArgbColour(uint32_t argb);
// The scene's fonts: a Japanese sans-serif face, 9 and 10 points.
wxFont SceneWxFont(SceneFont font);
