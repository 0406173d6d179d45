#pragma once
// The globe without a window but with a client area, an image decoder that
// hands back what the test sets, and a canvas that records the globe's texts.
#include <string>
#include <vector>

#include "tests/views/recording_canvas.h"
#include "views/globe.h"

// A globe with a client area of its own (600 x 500 unless a test says otherwise).
struct SizedGlobe : CGlobeDlg {
  int w = 600, h = 500;
  int buttonsTop = 1 << 30;
  int decodes = 0;
  std::vector<unsigned char> image;  // what DecodeImage hands back (imageW x imageH RGB)
  int imageW = 0, imageH = 0;
  bool HasWindow() const override { return true; }
  void ClientSize(int& cw, int& ch) const override { cw = w, ch = h; }
  int ButtonsTop() const override { return buttonsTop; }
  bool DecodeImage(const std::string&, std::vector<unsigned char>& rgb, int& iw, int& ih) override {
    ++decodes;
    if (image.empty())
      return false;
    rgb = image, iw = imageW, ih = imageH;
    return true;
  }
};

// The recording canvas with the globe's sized and outlined texts.
struct GlobeCanvas : RecordingCanvas {
  struct Sized {
    std::string text;
    ScenePoint at;
    float points;
    bool outlined;
    uint32_t argb;
  };
  std::vector<Sized> sized;
  int rasters = 0;
  void SizedText(const std::string& text, ScenePoint p, float points, bool, uint32_t argb) override {
    sized.push_back({text, p, points, false, argb});
  }
  void OutlinedText(const std::string& text, ScenePoint p, float points, bool, uint32_t argb) override {
    sized.push_back({text, p, points, true, argb});
  }
  void Raster(const uint32_t*, int, int, const SceneRect&) override { ++rasters; }
  const Sized* Find(const std::string& part) const {
    for (const auto& t : sized)
      if (t.text.find(part) != std::string::npos)
        return &t;
    return nullptr;
  }
};
