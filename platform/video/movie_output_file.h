#pragma once
// What both writers share: the check of the settings, the frame buffer and
// the temporary file beside the target.
#include <string>
#include <vector>

#include "platform/video/movie_writer.h"

// A message for settings no writer can encode (no frames, no interval, a
// frame of under 2 x 2 pixels, an odd MP4 size); "" when they are usable.
std::string MovieSettingsProblem(const MovieFrameSettings& s, bool bMp4);
// Clears *cancelled; true (with the message in *error) when the settings are refused.
bool RefuseMovieSettings(const MovieFrameSettings& s, bool bMp4, std::string* error, bool* cancelled);

// The frame buffer of one export, cleared to black before each frame.
class MovieFrameBuffer {
public:
  explicit MovieFrameBuffer(const MovieFrameSettings& s);
  bool Ok() const { return !m_bytes.empty(); }
  // Prepares frame index of count and lets the source draw it.
  MovieFrame& Render(IMovieFrameSource& source, const MovieFrameSettings& s, int index, int count);
  MovieFrame& Frame() { return m_frame; }

private:
  std::vector<uint8_t> m_bytes;
  MovieFrame m_frame;
};

// A file made beside the target (same folder, so the rename stays on one file
// system), removed unless Commit renames it over the target.
class TempBesideTarget {
public:
  explicit TempBesideTarget(const std::string& target);
  ~TempBesideTarget();
  TempBesideTarget(const TempBesideTarget&) = delete;
  TempBesideTarget& operator=(const TempBesideTarget&) = delete;

  // The open descriptor (-1 when the file could not be made; Errno() says why).
  int Fd() const { return m_fd; }
  // Hands the descriptor over to a caller that closes it.
  int ReleaseFd();
  const std::string& Path() const { return m_tmp; }
  int Errno() const { return m_errno; }
  // Syncs the written file to disk and renames it over the target; false
  // (Errno() set) when that fails.
  bool Commit();

private:
  std::string m_target, m_tmp;
  int m_fd = -1;
  int m_lockFd = -1;  // holds the temporary's lock while the writer reopens it by name
  int m_errno = 0;
  bool m_bCommitted = false;
};
