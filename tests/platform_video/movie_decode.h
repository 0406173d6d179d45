#pragma once
// Reads back what the video writers wrote, with libavformat/libavcodec and
// giflib's DGifSlurp, independently of the writers' own code.
#include <cstdint>
#include <string>
#include <vector>

// An RGB picture, rows from the top.
struct RgbPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

struct DecodedMp4 {
  bool ok = false;
  std::string codec;
  int profile = -1;      // FF_PROFILE_H264_HIGH = 100
  std::string pixFmt;    // "yuv420p"
  int width = 0, height = 0;
  double fps = 0;        // the stream's average frame rate
  double seconds = 0;    // the stream's duration
  int64_t bitRate = 0;   // the stream's declared bit rate
  int frames = 0;        // decoded frames
  RgbPicture first, last;
};
DecodedMp4 DecodeMp4(const std::string& path);

struct DecodedGif {
  bool ok = false;
  int width = 0, height = 0;
  int colours = 0;               // size of the largest colour table
  int loop = -1;                 // NETSCAPE2.0 loop count; -1 without the block
  std::vector<int> delays;       // hundredths, one a frame
  RgbPicture first, last;
};
DecodedGif DecodeGif(const std::string& path);

// Peak signal-to-noise ratio of b against a over every channel, dB (99 when equal).
double Psnr(const RgbPicture& a, const RgbPicture& b);
// An RGB picture from BGRA bytes.
RgbPicture FromBgra(const uint8_t* bgra, int width, int height, int stride);
