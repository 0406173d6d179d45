#pragma once
// The scene canvas on a wxGraphicsContext: the same drawing for the screen,
// the clipboard bitmap and video frames.
#include <functional>
#include <memory>

#include <wx/bitmap.h>
#include <wx/font.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/event.h>

#include "platform/video/movie_writer.h"
#include "views/scene_canvas.h"

class WxSceneCanvas : public ISceneCanvas {
public:
  // gc is kept by the caller; sunImage (may be null) is the Sun's picture.
  WxSceneCanvas(wxGraphicsContext* gc, const wxImage* sunImage);

  void Line(ScenePoint a, ScenePoint b, const ScenePen& pen) override;
  void Polyline(const std::vector<ScenePoint>& pts, const ScenePen& pen) override;
  void FillCircle(ScenePoint c, float d, uint32_t argb) override;
  void StrokeCircle(ScenePoint c, float d, const ScenePen& pen) override;
  void FillCircles(const std::vector<ScenePoint>& cs, float d, uint32_t argb) override;
  void StrokeCircles(const std::vector<ScenePoint>& cs, float d, const ScenePen& pen) override;
  void RadialGradientCircle(ScenePoint c, float r, uint32_t centre, uint32_t edge) override;
  void FillPolygon(const std::vector<ScenePoint>& pts, uint32_t argb) override;
  void Text(const std::string& text, ScenePoint p, SceneFont font, uint32_t argb) override;
  ScenePoint MeasureText(const std::string& text, SceneFont font) override;
  void SerifText(const std::string& text, ScenePoint p, const SerifStyle& style, uint32_t argb) override;
  float MeasureSerifText(const std::string& text, const SerifStyle& style) override;
  bool SunTexture(ScenePoint c, float clipR, float halfSide) override;
  void PushState() override;
  void PopState() override;
  void ClipRect(const SceneRect& r) override;
  void Translate(float dx, float dy) override;
  void SizedText(const std::string& text, ScenePoint p, float points, bool bold, uint32_t argb) override;
  void OutlinedText(const std::string& text, ScenePoint p, float points, bool bold, uint32_t argb) override;
  void Raster(const uint32_t* pixels, int w, int h, const SceneRect& dst) override;
  double WorldScale() const override { return m_dWorldScale; }
  void FillEllipse(ScenePoint c, float w, float h, uint32_t argb) override;
  void FillPathGradient(const std::vector<ScenePoint>& bezier, ScenePoint from, ScenePoint to, uint32_t fromArgb,
                        uint32_t toArgb) override;
  void ClipPath(const std::vector<ScenePoint>& bezier) override;
  void StrokePath(const std::vector<ScenePoint>& bezier, const ScenePen& pen) override;
  // The scale the caller set on the context (a video frame larger than the window).
  void SetWorldScale(double k) { m_dWorldScale = k; }

private:
  wxGraphicsPath MakePath(const std::vector<ScenePoint>& bezier) const;
  void DrawTextLines(const wxString& text, double x, double y);
  wxGraphicsPen MakePen(const ScenePen& pen) const;
  const wxFont& FontOf(SceneFont font) const;

  wxGraphicsContext* m_gc;
  const wxImage* m_pSunImage;
  wxFont m_small, m_bold, m_label, m_message, m_table;
  double m_dWorldScale = 1;
};

// A colour given as 0xAARRGGBB.
wxColour ArgbColour(uint32_t argb);
// The scene's fonts: a Japanese sans-serif face, 8, 9 and 10 points.
wxFont SceneWxFont(SceneFont font);
// The same face at any size.
wxFont SceneWxFont(float points, bool bold);
// A fixed-pitch face with Japanese glyphs (text tables) of the given size.
wxFont FixedPitchWxFont(const wxFontInfo& size);

// A bitmap of w x h on black with the scene drawn into it, scaled by k; a
// null bitmap for an empty size.
wxBitmap DrawSceneBitmap(int w, int h, const wxImage* sunImage, const std::function<void(ISceneCanvas&)>& draw,
                         double k = 1);
// The scene drawn into a video frame: its buffer wrapped as a cairo image
// surface under a graphics context scaled by the frame's scale.
void DrawSceneIntoFrame(MovieFrame& frame, const wxImage* sunImage, const std::function<void(ISceneCanvas&)>& draw);
// Whole wheel notches (+1 forward, -1 back) of a wheel event: GTK reports
// smooth scrolling in fractions of a notch, summed in sum until they make one.
template <typename F>
void ForEachWheelNotch(const wxMouseEvent& e, int& sum, F each)
{
  const int delta = e.GetWheelDelta() > 0 ? e.GetWheelDelta() : 120;
  sum += e.GetWheelRotation();
  while (sum >= delta || sum <= -delta) {
    const int notch = sum > 0 ? 1 : -1;
    sum -= notch * delta;
    each(notch);
  }
}

// The bitmap on the clipboard (nothing when it is not valid or the clipboard is busy).
void PutBitmapOnClipboard(const wxBitmap& bmp);
