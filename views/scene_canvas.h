#pragma once
// What the tool windows draw on: anti-aliased shapes and text in client
// pixels, colours as 0xAARRGGBB. The windows implement it on a graphics
// context (screen, clipboard bitmap, video frame); tests record the calls.
#include <cstdint>
#include <string>
#include <vector>

struct ScenePoint {
  float x = 0;
  float y = 0;
};

struct SceneRect {
  float x = 0, y = 0, w = 0, h = 0;
  bool Contains(float px, float py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  // Whether the two overlap once this one is grown by margin on every side.
  bool Overlaps(const SceneRect& o, float margin) const {
    return x - margin < o.x + o.w && o.x < x + w + margin && y - margin < o.y + o.h && o.y < y + h + margin;
  }
};

struct ScenePen {
  uint32_t argb = 0xFFFFFFFF;
  float width = 1;
  bool dashed = false;
  bool dotted = false;
  bool roundCaps = false;
};

// Small 9 pt, Bold 10 pt bold, Label 8 pt, Message 10 pt; Table 10 pt in a
// fixed-pitch face (text tables).
enum class SceneFont { Small, Bold, Label, Message, Table };

// A run of a formula in a serif face (the law formulas).
struct SerifStyle {
  float sizePt = 12;
  bool italic = false;
};

class ISceneCanvas {
public:
  virtual ~ISceneCanvas() = default;
  virtual void Line(ScenePoint a, ScenePoint b, const ScenePen& pen) = 0;
  // Joined segments through the points (at least two).
  virtual void Polyline(const std::vector<ScenePoint>& pts, const ScenePen& pen) = 0;
  // Circle of diameter d centred on c.
  virtual void FillCircle(ScenePoint c, float d, uint32_t argb) = 0;
  virtual void StrokeCircle(ScenePoint c, float d, const ScenePen& pen) = 0;
  // Many circles of one look at once (thousands of plotted points).
  virtual void FillCircles(const std::vector<ScenePoint>& cs, float d, uint32_t argb) {
    for (const ScenePoint& c : cs) FillCircle(c, d, argb);
  }
  virtual void StrokeCircles(const std::vector<ScenePoint>& cs, float d, const ScenePen& pen) {
    for (const ScenePoint& c : cs) StrokeCircle(c, d, pen);
  }
  // Disc of radius r shaded from the centre colour to the edge colour.
  virtual void RadialGradientCircle(ScenePoint c, float r, uint32_t centre, uint32_t edge) = 0;
  virtual void FillPolygon(const std::vector<ScenePoint>& pts, uint32_t argb) = 0;
  // Text with its top-left corner at p; "\r\n" breaks lines.
  virtual void Text(const std::string& text, ScenePoint p, SceneFont font, uint32_t argb) = 0;
  // Width and height the text takes.
  virtual ScenePoint MeasureText(const std::string& text, SceneFont font) = 0;
  // Text in the serif face with its baseline box's top-left at p, and its
  // width; a canvas without the face uses its small font.
  virtual void SerifText(const std::string& text, ScenePoint p, const SerifStyle& style, uint32_t argb) {
    (void)style;
    Text(text, p, SceneFont::Small, argb);
  }
  virtual float MeasureSerifText(const std::string& text, const SerifStyle& style) {
    (void)style;
    return MeasureText(text, SceneFont::Small).x;
  }
  // The Sun's picture in the square of half side halfSide centred on c,
  // clipped to a circle of radius clipR; false when there is no picture.
  virtual bool SunTexture(ScenePoint c, float clipR, float halfSide) = 0;
  virtual void PushState() = 0;
  virtual void PopState() = 0;
  virtual void ClipRect(const SceneRect& r) = 0;
  virtual void Translate(float dx, float dy) = 0;

  // ---- what the globe draws besides; canvases without them draw less ----
  // Text of a size in points, bold or regular; "\n" breaks lines.
  virtual void SizedText(const std::string& text, ScenePoint p, float /*points*/, bool bold, uint32_t argb) {
    Text(text, p, bold ? SceneFont::Bold : SceneFont::Small, argb);
  }
  // The same with a black outline about 2.8 pixels wide under the letters.
  virtual void OutlinedText(const std::string& text, ScenePoint p, float points, bool bold, uint32_t argb) {
    SizedText(text, p, points, bold, argb);
  }
  // A picture of w x h pixels (each 0xAARRGGBB, rows from the top) stretched
  // over dst with bilinear filtering.
  virtual void Raster(const uint32_t* /*pixels*/, int /*w*/, int /*h*/, const SceneRect& /*dst*/) {}
  // Horizontal scale of the drawing transform: 1 on the screen, more for a
  // video frame drawn larger than the window.
  virtual double WorldScale() const { return 1; }
  virtual void FillEllipse(ScenePoint /*c*/, float /*w*/, float /*h*/, uint32_t /*argb*/) {}
  // Closed paths of cubic Bézier pieces: the start point, then three points a piece.
  virtual void FillPathGradient(const std::vector<ScenePoint>& /*bezier*/, ScenePoint /*from*/, ScenePoint /*to*/,
                                uint32_t /*fromArgb*/, uint32_t /*toArgb*/) {}
  // Clips to the path until the next PopState.
  virtual void ClipPath(const std::vector<ScenePoint>& /*bezier*/) {}
  virtual void StrokePath(const std::vector<ScenePoint>& /*bezier*/, const ScenePen& /*pen*/) {}
};
