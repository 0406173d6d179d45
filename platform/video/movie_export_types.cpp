#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/video/movie_output_file.h"

IMovieFrameSource::~IMovieFrameSource() = default;

const MovieExportType g_aMovieExportTypes[4] = {
    {0, 1280, "MP4動画 (幅1280px)", "mp4"},
    {0, 1920, "MP4動画 (幅1920px・FHD)", "mp4"},
    {0, 2560, "MP4動画 (幅2560px・WQHD)", "mp4"},
    {1, 640, "アニメーションGIF (幅640px)", "gif"},
};

int MovieExportTypeRow(int stored)
{
  return stored >= 1 && stored <= 4 ? stored : 1;
}

std::string MovieExportFilter()
{
  std::string filter;
  for (const MovieExportType& t : g_aMovieExportTypes)
    filter += std::string(t.label) + " (*." + t.ext + ")|*." + t.ext + "|";
  return filter + "|";
}

std::string WithExportExtension(const std::string& path, const char* ext)
{
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  std::string current = hasExt ? path.substr(dot + 1) : std::string();
  for (char& c : current)
    if (c >= 'A' && c <= 'Z')
      c = char(c - 'A' + 'a');
  if (hasExt && current == ext)
    return path;
  return (hasExt ? path.substr(0, dot) : path) + "." + ext;
}

int MovieOutputHeight(int drawingHeight, int sourceWidth, int sourceHeight, int outputWidth)
{
  if (drawingHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0 || outputWidth <= 0)
    return 0;
  const float scale = float(outputWidth) / float(sourceWidth);
  int h = int(float(drawingHeight) * scale + 0.5f);
  if (h < 16)
    h = int(int64_t(outputWidth) * sourceHeight / sourceWidth);
  return h & ~1;
}

int Mp4FrameRate(int intervalMs)
{
  return intervalMs >= 1 ? std::max(1, 1000 / intervalMs) : 1;
}

int64_t Mp4BitRate(int width, int height, int frameRate)
{
  const int64_t rate = int64_t(0.12 * width * height * frameRate);
  return std::min<int64_t>(60000000, std::max<int64_t>(2000000, rate));
}

std::string MovieSettingsProblem(const MovieFrameSettings& s, bool bMp4)
{
  char text[256];
  if (s.nFrameCount < 1 || s.nFrameInterval < 1) {
    std::snprintf(text, sizeof text, "動画のコマ数(%d)とコマの間隔(%d ms)はどちらも1以上でなければなりません。",
                  s.nFrameCount, s.nFrameInterval);
    return text;
  }
  const bool bad = s.nOutputWidth < 2 || s.nOutputHeight < 2 || s.nSourceWidth < 1 || s.nSourceHeight < 1 ||
                   !(s.fScale > 0) || s.nOutputWidth > 16384 || s.nOutputHeight > 16384 ||
                   (bMp4 && ((s.nOutputWidth | s.nOutputHeight) & 1));
  if (bad) {
    std::snprintf(text, sizeof text, "動画の大きさ %d×%d (元の画面 %d×%d) では保存できません。", s.nOutputWidth,
                  s.nOutputHeight, s.nSourceWidth, s.nSourceHeight);
    return text;
  }
  return {};
}

bool RefuseMovieSettings(const MovieFrameSettings& s, bool bMp4, std::string* error, bool* cancelled)
{
  if (cancelled)
    *cancelled = false;
  const std::string problem = MovieSettingsProblem(s, bMp4);
  if (!problem.empty() && error)
    *error = problem;
  return !problem.empty();
}

MovieFrameBuffer::MovieFrameBuffer(const MovieFrameSettings& s)
{
  try {
    m_bytes.resize(size_t(s.nOutputWidth) * 4 * s.nOutputHeight);
  } catch (const std::bad_alloc&) {
    m_bytes.clear();
  }
  m_frame.pBgra = m_bytes.data();
  m_frame.nWidth = s.nOutputWidth;
  m_frame.nHeight = s.nOutputHeight;
  m_frame.nStride = s.nOutputWidth * 4;
  m_frame.fScale = s.fScale;
}

MovieFrame& MovieFrameBuffer::Render(IMovieFrameSource& source, const MovieFrameSettings& s, int index, int count)
{
  std::fill(m_bytes.begin(), m_bytes.end(), 0);
  source.PrepareFrame(index, count);
  source.DrawFrame(m_frame, s.nSourceWidth, s.nSourceHeight);
  return m_frame;
}

TempBesideTarget::TempBesideTarget(const std::string& target) : m_target(target)
{
  // Temporaries of exports killed before their rename go at the next export
  // to the same file, as WriteFileAtomic's do; megabytes each.
  RemoveStaleTemporaries(target);
  m_fd = CreateHeldTemporary(target, m_tmp);
  if (m_fd < 0) {
    m_errno = errno;
    return;
  }
  // The writers close or hand over the descriptor they write through; this
  // one keeps the file locked, and so a live export's, until it ends.
  m_lockFd = fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
  // The video gets the old file's mode, else what a new file would get.
  struct stat old;
  mode_t mode;
  if (stat(target.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  (void)fchmod(m_fd, mode);
}

TempBesideTarget::~TempBesideTarget()
{
  if (m_fd >= 0)
    close(m_fd);
  if (!m_bCommitted && !m_tmp.empty())
    unlink(m_tmp.c_str());
  if (m_lockFd >= 0)
    close(m_lockFd);
}

int TempBesideTarget::ReleaseFd()
{
  const int fd = m_fd;
  m_fd = -1;
  return fd;
}

bool TempBesideTarget::Commit()
{
  // The writer closed its descriptor; open again to sync what it wrote.
  const int fd = open(m_tmp.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) {
    m_errno = errno;
    if (fd >= 0)
      close(fd);
    return false;
  }
  close(fd);
  if (std::rename(m_tmp.c_str(), m_target.c_str()) != 0) {
    m_errno = errno;
    return false;
  }
  m_bCommitted = true;
  return true;
}
