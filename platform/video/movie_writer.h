#pragma once
// The video writers of the tool windows: an MP4 (H.264 High, yuv420p) and an
// animated GIF, each asking a frame source for one frame after another. They
// know nothing of orbits; the window puts itself into the state of frame i of
// n and draws that state into the frame they hand it. Both write a temporary
// file beside the target and rename it over the target only when the whole
// file is written, so a failure leaves the user's old file whole.
#include <cstdint>
#include <string>

// Sizes and timing of one export.
struct MovieFrameSettings {
  int nSourceWidth = 0;    // pixels: the client width handed to DrawFrame
  int nSourceHeight = 0;   // pixels: the client height handed to DrawFrame
  int nOutputWidth = 0;    // pixels: the video frame (the export type's width)
  int nOutputHeight = 0;   // pixels: even; what lies below it is cut off
  float fScale = 1;        // output width / source width, both directions
  int nFrameCount = 0;     // distinct frames
  int nFrameInterval = 0;  // milliseconds each frame shows
  int nHoldTime = 0;       // milliseconds the last frame stays; 0 = no hold
};

// One video frame to draw into: BGRA bytes (blue first, the fourth byte
// unused), rows from the top, zero-filled (black) on entry.
struct MovieFrame {
  uint8_t* pBgra = nullptr;
  int nWidth = 0;
  int nHeight = 0;
  int nStride = 0;   // bytes a row: nWidth * 4
  float fScale = 1;  // the drawing is scaled by this in both directions
};

class IMovieFrameSource {
public:
  virtual ~IMovieFrameSource();
  // Puts the window into the state of frame index (0-based) of count.
  virtual void PrepareFrame(int index, int count) = 0;
  // Draws the current state as the window paints a client area of
  // width x height, scaled by the frame's scale.
  virtual void DrawFrame(MovieFrame& frame, int width, int height) = 0;
  // Called after each frame is written (done of total, counting the palette
  // frame of a GIF); false cancels the export. The default never cancels.
  virtual bool ContinueExport(int /*done*/, int /*total*/) { return true; }
};

// One row of the save dialog's types.
struct MovieExportType {
  int bGif;
  int nWidth;
  const char* label;
  const char* ext;
};
// MP4 1280, 1920, 2560 and GIF 640 wide (rows 1..4 as the settings store them).
extern const MovieExportType g_aMovieExportTypes[4];
// A stored 1-based row; outside 1..4 counts as 1.
int MovieExportTypeRow(int stored);
// "label (*.ext)|*.ext|" for each row, then one more "|".
std::string MovieExportFilter();
// path with the type's extension: kept when its extension, lower-cased, is
// ext; else its extension (if any) replaced by "." + ext.
std::string WithExportExtension(const std::string& path, const char* ext);
// Output height of the fill rule: drawing height x scale + 0.5 truncated,
// below 16 the source's aspect instead, lowest bit cleared; 0 when a size is
// not positive.
int MovieOutputHeight(int drawingHeight, int sourceWidth, int sourceHeight, int outputWidth);

// Frames a second of an MP4 (1000 / interval, at least 1) and its bit rate
// (0.12 bits a pixel a frame, within 2 to 60 Mbit/s).
int Mp4FrameRate(int intervalMs);
int64_t Mp4BitRate(int width, int height, int frameRate);

// Each returns false on failure, with the message for the user in *error when
// given; an export the source cancelled returns false with *cancelled set and
// no message.
bool WriteMp4Movie(const std::string& path, IMovieFrameSource& source, const MovieFrameSettings& settings,
                   std::string* error, bool* cancelled = nullptr);
bool WriteGifAnimation(const std::string& path, IMovieFrameSource& source, const MovieFrameSettings& settings,
                       std::string* error, bool* cancelled = nullptr);
