#pragma once
// A canvas that keeps what was drawn, with text measured as 7 x 14 pixels a
// character (UTF-8 lead bytes counted).
#include <string>
#include <vector>

#include "views/scene_canvas.h"

struct RecordingCanvas : ISceneCanvas {
  struct Shape {
    char kind;  // 'l' line, 'p' polyline, 'f' filled circle, 's' stroked circle, 'g' gradient, 'y' polygon
    std::vector<ScenePoint> pts;
    float size;
    uint32_t argb;
    bool dashed;
  };
  struct TextItem {
    std::string text;
    ScenePoint at;
    SceneFont font;
    uint32_t argb;
  };
  std::vector<Shape> shapes;
  std::vector<TextItem> texts;
  bool bHasTexture = false;
  int textureCalls = 0;

  void Line(ScenePoint a, ScenePoint b, const ScenePen& pen) override {
    shapes.push_back({'l', {a, b}, pen.width, pen.argb, pen.dashed});
  }
  void Polyline(const std::vector<ScenePoint>& pts, const ScenePen& pen) override {
    shapes.push_back({'p', pts, pen.width, pen.argb, pen.dashed});
  }
  void FillCircle(ScenePoint c, float d, uint32_t argb) override { shapes.push_back({'f', {c}, d, argb, false}); }
  void StrokeCircle(ScenePoint c, float d, const ScenePen& pen) override {
    shapes.push_back({'s', {c}, d, pen.argb, pen.dashed});
  }
  void RadialGradientCircle(ScenePoint c, float r, uint32_t centre, uint32_t) override {
    shapes.push_back({'g', {c}, r, centre, false});
  }
  void FillPolygon(const std::vector<ScenePoint>& pts, uint32_t argb) override {
    shapes.push_back({'y', pts, 0, argb, false});
  }
  void Text(const std::string& text, ScenePoint p, SceneFont font, uint32_t argb) override {
    texts.push_back({text, p, font, argb});
  }
  ScenePoint MeasureText(const std::string& text, SceneFont) override {
    int chars = 0;
    for (unsigned char c : text)
      if ((c & 0xC0) != 0x80) ++chars;
    return {7.0f * chars, 14};
  }
  bool SunTexture(ScenePoint, float, float) override {
    ++textureCalls;
    return bHasTexture;
  }
  void PushState() override {}
  void PopState() override {}
  void ClipRect(const SceneRect&) override {}
  void Translate(float, float) override {}

  const TextItem* FindText(const std::string& part) const {
    for (const auto& t : texts)
      if (t.text.find(part) != std::string::npos) return &t;
    return nullptr;
  }
  int Count(char kind, uint32_t argb) const {
    int n = 0;
    for (const auto& s : shapes)
      if (s.kind == kind && s.argb == argb) ++n;
    return n;
  }
};
