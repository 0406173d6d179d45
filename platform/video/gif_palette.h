#pragma once
// The GIF writer's colour quantiser: one palette of up to 256 colours made by
// median cut from one frame, and Floyd–Steinberg error diffusion of any frame
// onto it.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/video/movie_writer.h"

struct GifPalette {
  std::vector<uint8_t> rgb;  // 3 bytes a colour, at most 256 colours
  int Count() const { return int(rgb.size() / 3); }
};

// The palette of the frame's colours: exact when it has at most 256.
GifPalette BuildGifPalette(const MovieFrame& frame);

// Maps frames onto a palette; keeps its nearest-colour cache from frame to frame.
class GifDitherer {
public:
  explicit GifDitherer(const GifPalette& palette);
  // One palette index a pixel, rows from the top.
  void Map(const MovieFrame& frame, std::vector<uint8_t>& indices);

private:
  int Nearest(int r, int g, int b);
  int Search(int r, int g, int b) const;

  GifPalette m_palette;
  std::unordered_map<uint32_t, int> m_exact;  // the palette's own colours
  std::vector<int16_t> m_cache;  // by 6 bits a channel; -1 = not yet known
  std::vector<int> m_err;        // two rows of r, g, b errors (sixteenths)
};
