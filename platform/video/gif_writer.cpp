// The animated-GIF writer: one palette from the last frame, every frame
// dithered onto it, a graphics control block with its delay before each and
// the NETSCAPE2.0 block that loops for ever. Every giflib call is checked:
// a failure anywhere, the close included, is reported and leaves the old
// file whole.
#include <gif_lib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/video/gif_palette.h"
#include "platform/video/movie_output_file.h"

namespace {

constexpr const char* kStepCreate = "出力ファイルの作成";
constexpr const char* kStepPalette = "パレットの作成";
constexpr const char* kStepHeader = "ファイルの先頭の書き込み(EGifPutScreenDesc)";
constexpr const char* kStepFrame = "コマの書き込み(EGifPutLine)";
constexpr const char* kStepClose = "書き出しの仕上げ(EGifCloseFile)";
constexpr const char* kStepReplace = "出力ファイルの置き換え(rename)";

struct GifFailure {
  const char* step = nullptr;
  int code = 0;
  int frame = 0;
};

std::string GifFailureText(const MovieFrameSettings& s, const GifFailure& f)
{
  char text[512];
  int n = std::snprintf(text, sizeof text, "GIFの保存に失敗しました。\r\n\r\n失敗した処理: %s\r\nエラーコード: %d",
                        f.step, f.code);
  if (f.frame > 0)
    n += std::snprintf(text + n, sizeof text - n, "\r\nコマ番号: %d / %d", f.frame, s.nFrameCount);
  return std::string(text, size_t(n));
}

// Where giflib's bytes go: the temporary file, with the first write error kept.
struct GifSink {
  int fd = -1;
  int error = 0;
};

int WriteGifBytes(GifFileType* gif, const GifByteType* bytes, int length)
{
  auto* sink = static_cast<GifSink*>(gif->UserData);
  int done = 0;
  while (done < length) {
    const ssize_t n = write(sink->fd, bytes + done, size_t(length - done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      sink->error = n < 0 ? errno : EIO;
      return done;
    }
    done += int(n);
  }
  return done;
}

class GifEncoder {
public:
  explicit GifEncoder(const MovieFrameSettings& s) : m_s(s) {}
  ~GifEncoder()
  {
    if (m_gif)
      EGifCloseFile(m_gif, nullptr);
  }

  // Opens the stream on fd and writes the screen, the palette and the loop block.
  bool Begin(int fd, const GifPalette& palette, GifFailure& f)
  {
    m_sink.fd = fd;
    int err = 0;
    m_gif = EGifOpen(&m_sink, WriteGifBytes, &err);
    if (!m_gif)
      return Fail(f, kStepCreate, err);
    EGifSetGifVersion(m_gif, true);
    GifColorType colours[256] = {};
    for (int i = 0; i < palette.Count() && i < 256; ++i)
      colours[i] = {palette.rgb[size_t(i) * 3], palette.rgb[size_t(i) * 3 + 1], palette.rgb[size_t(i) * 3 + 2]};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    if (!map)
      return Fail(f, kStepPalette, E_GIF_ERR_NOT_ENOUGH_MEM);
    const int rc = EGifPutScreenDesc(m_gif, m_s.nOutputWidth, m_s.nOutputHeight, 8, 0, map);
    GifFreeMapObject(map);
    if (rc != GIF_OK)
      return Fail(f, kStepHeader, m_gif->Error);
    static const GifByteType kLoop[3] = {1, 0, 0};  // sub-block 1, loop count 0 = for ever
    if (EGifPutExtensionLeader(m_gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(m_gif, 11, "NETSCAPE2.0") != GIF_OK ||
        EGifPutExtensionBlock(m_gif, 3, kLoop) != GIF_OK || EGifPutExtensionTrailer(m_gif) != GIF_OK)
      return Fail(f, kStepHeader, m_gif->Error);
    return true;
  }

  bool Frame(const std::vector<uint8_t>& indices, int delayCs, int frameNumber, GifFailure& f)
  {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.UserInputFlag = false;
    gcb.DelayTime = delayCs;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    if (EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) != GIF_OK ||
        EGifPutImageDesc(m_gif, 0, 0, m_s.nOutputWidth, m_s.nOutputHeight, false, nullptr) != GIF_OK)
      return Fail(f, kStepFrame, m_gif->Error, frameNumber);
    for (int y = 0; y < m_s.nOutputHeight; ++y) {
      auto* row = const_cast<GifByteType*>(&indices[size_t(y) * m_s.nOutputWidth]);
      if (EGifPutLine(m_gif, row, m_s.nOutputWidth) != GIF_OK)
        return Fail(f, kStepFrame, m_gif->Error, frameNumber);
    }
    return true;
  }

  // Writes the trailer and closes the stream (the descriptor stays open).
  bool End(GifFailure& f)
  {
    int err = 0;
    const int rc = EGifCloseFile(m_gif, &err);
    m_gif = nullptr;
    if (rc != GIF_OK || m_sink.error)
      return Fail(f, kStepClose, rc != GIF_OK ? err : E_GIF_ERR_WRITE_FAILED);
    return true;
  }

  int WriteErrno() const { return m_sink.error; }

private:
  bool Fail(GifFailure& f, const char* step, int code, int frame = 0)
  {
    f = {step, code, frame};
    return false;
  }

  const MovieFrameSettings& m_s;
  GifFileType* m_gif = nullptr;
  GifSink m_sink;
};

} // namespace

bool WriteGifAnimation(const std::string& path, IMovieFrameSource& source, const MovieFrameSettings& s,
                       std::string* error, bool* cancelled)
{
  if (RefuseMovieSettings(s, false, error, cancelled))
    return false;
  const int n = s.nFrameCount;
  const int total = n + 1;  // the palette's frame first
  GifFailure f;
  bool ok = true;
  TempBesideTarget tmp(path);
  if (tmp.Fd() < 0) {
    f = {kStepCreate, tmp.Errno(), 0};
    ok = false;
  }
  MovieFrameBuffer buffer(s);
  if (ok && !buffer.Ok()) {
    f = {kStepPalette, E_GIF_ERR_NOT_ENOUGH_MEM, 0};
    ok = false;
  }
  if (ok) {
    GifEncoder enc(s);
    const GifPalette palette = BuildGifPalette(buffer.Render(source, s, n - 1, n));
    if (!source.ContinueExport(1, total)) {
      if (cancelled)
        *cancelled = true;
      return false;
    }
    GifDitherer ditherer(palette);
    std::vector<uint8_t> indices;
    ok = enc.Begin(tmp.Fd(), palette, f);
    for (int i = 0; ok && i < n; ++i) {
      ditherer.Map(buffer.Render(source, s, i, n), indices);
      const int delay = i == n - 1 && s.nHoldTime > 0 ? s.nHoldTime / 10 : s.nFrameInterval / 10;
      ok = enc.Frame(indices, delay, i + 1, f);
      if (ok && !source.ContinueExport(i + 2, total)) {
        if (cancelled)
          *cancelled = true;
        return false;
      }
    }
    ok = ok && enc.End(f);
    if (!ok && enc.WriteErrno())
      f.code = enc.WriteErrno();
  }
  if (ok) {
    const int rc = close(tmp.ReleaseFd());
    if (rc != 0 || !tmp.Commit()) {
      f = {kStepReplace, rc != 0 ? errno : tmp.Errno(), 0};
      ok = false;
    }
  }
  if (!ok && error)
    *error = GifFailureText(s, f);
  return ok;
}
