// The MP4 writer: libx264 (High profile) through libavcodec, BGRA frames
// converted to yuv420p by libswscale, muxed by libavformat into a temporary
// file that replaces the target only when the whole file is written.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/video/movie_output_file.h"

namespace {

// The steps the error text names, with the call that failed.
constexpr const char* kStepCreate = "出力ファイルの作成(avio_open)";
constexpr const char* kStepMediaType = "メディアタイプの作成(avformat_new_stream)";
constexpr const char* kStepEncoder = "H.264エンコーダの用意(avcodec_open2)";
constexpr const char* kStepInput = "入力形式の設定(sws_getContext)";
constexpr const char* kStepBegin = "書き込みの開始(avformat_write_header)";
constexpr const char* kStepFrameArea = "コマの描画領域の確保";
constexpr const char* kStepFrameBuffer = "コマの転送領域の確保(av_frame_get_buffer)";
constexpr const char* kStepSend = "コマの受け渡し(avcodec_send_frame)";
constexpr const char* kStepWrite = "コマの書き込み(av_interleaved_write_frame)";
constexpr const char* kStepFinish = "書き出しの仕上げ(av_write_trailer)";
constexpr const char* kStepReplace = "出力ファイルの置き換え(rename)";

struct Failure {
  const char* step = nullptr;
  int code = 0;
  int frame = 0;  // 1-based frame number for the frame steps, else 0
};

std::string FailureText(const MovieFrameSettings& s, const Failure& f)
{
  char text[1024];
  int n = std::snprintf(text, sizeof text,
                        "MP4の保存に失敗しました。\r\n\r\n出力の大きさ: %d×%d\r\n失敗した処理: %s\r\nエラーコード: 0x%08X",
                        s.nOutputWidth, s.nOutputHeight, f.step, unsigned(f.code));
  if (f.frame > 0)
    n += std::snprintf(text + n, sizeof text - n, "\r\nコマ番号: %d / %d", f.frame, s.nFrameCount);
  std::string out(text, size_t(n));
  if (s.nOutputWidth > 1920)
    out += "\r\n\r\nこの環境のエンコーダがこの大きさに対応していない可能性があります。1つ小さい種類でお試しください。";
  return out;
}

class Mp4Encoder {
public:
  explicit Mp4Encoder(const MovieFrameSettings& s) : m_s(s) {}
  ~Mp4Encoder()
  {
    sws_freeContext(m_sws);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    if (m_fmt) {
      if (m_fmt->pb)
        avio_closep(&m_fmt->pb);
      avformat_free_context(m_fmt);
    }
  }

  bool Open(const std::string& tmpPath, Failure& f)
  {
    const int fps = Mp4FrameRate(m_s.nFrameInterval);
    int rc = avformat_alloc_output_context2(&m_fmt, av_guess_format("mp4", nullptr, nullptr), nullptr, nullptr);
    if (rc < 0 || !m_fmt)
      return Fail(f, kStepCreate, rc < 0 ? rc : AVERROR(ENOMEM));
    rc = avio_open(&m_fmt->pb, tmpPath.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0)
      return Fail(f, kStepCreate, rc);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
      return Fail(f, kStepEncoder, AVERROR_ENCODER_NOT_FOUND);
    m_stream = avformat_new_stream(m_fmt, nullptr);
    m_codec = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    if (!m_stream || !m_codec || !m_packet)
      return Fail(f, kStepMediaType, AVERROR(ENOMEM));
    // One tick of the time base is one frame interval: a pts per written frame.
    av_reduce(&m_codec->time_base.num, &m_codec->time_base.den, m_s.nFrameInterval, 1000, 1 << 30);
    m_codec->framerate = AVRational{fps, 1};
    m_codec->width = m_s.nOutputWidth;
    m_codec->height = m_s.nOutputHeight;
    m_codec->pix_fmt = AV_PIX_FMT_YUV420P;
    m_codec->sample_aspect_ratio = AVRational{1, 1};
    m_codec->bit_rate = Mp4BitRate(m_s.nOutputWidth, m_s.nOutputHeight, fps);
    m_codec->profile = FF_PROFILE_H264_HIGH;
    m_codec->field_order = AV_FIELD_PROGRESSIVE;
    if (m_fmt->oformat->flags & AVFMT_GLOBALHEADER)
      m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(m_codec->priv_data, "profile", "high", 0);
    av_opt_set(m_codec->priv_data, "preset", "fast", 0);
    rc = avcodec_open2(m_codec, codec, nullptr);
    if (rc < 0)
      return Fail(f, kStepEncoder, rc);
    rc = avcodec_parameters_from_context(m_stream->codecpar, m_codec);
    if (rc < 0)
      return Fail(f, kStepMediaType, rc);
    m_stream->time_base = m_codec->time_base;
    m_stream->avg_frame_rate = AVRational{m_codec->time_base.den, m_codec->time_base.num};
    m_sws = sws_getContext(m_s.nOutputWidth, m_s.nOutputHeight, AV_PIX_FMT_BGRA, m_s.nOutputWidth,
                           m_s.nOutputHeight, AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr,
                           nullptr);
    if (!m_sws)
      return Fail(f, kStepInput, AVERROR(EINVAL));
    rc = avformat_write_header(m_fmt, nullptr);
    if (rc < 0)
      return Fail(f, kStepBegin, rc);
    return true;
  }

  // Converts the frame and encodes it copies times.
  bool Write(const MovieFrame& bgra, int copies, int frameNumber, Failure& f)
  {
    m_frame = m_frame ? m_frame : av_frame_alloc();
    if (!m_frame)
      return Fail(f, kStepFrameBuffer, AVERROR(ENOMEM), frameNumber);
    // A fresh buffer each frame: the encoder may still hold the last one.
    av_frame_unref(m_frame);
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = m_s.nOutputWidth;
    m_frame->height = m_s.nOutputHeight;
    int rc = av_frame_get_buffer(m_frame, 0);
    if (rc < 0)
      return Fail(f, kStepFrameBuffer, rc, frameNumber);
    const uint8_t* src[1] = {bgra.pBgra};
    const int srcStride[1] = {bgra.nStride};
    sws_scale(m_sws, src, srcStride, 0, bgra.nHeight, m_frame->data, m_frame->linesize);
    for (int i = 0; i < copies; ++i) {
      m_frame->pts = m_nextPts++;
      rc = avcodec_send_frame(m_codec, m_frame);
      if (rc < 0)
        return Fail(f, kStepSend, rc, frameNumber);
      if (!Drain(f, frameNumber))
        return false;
    }
    return true;
  }

  bool Finish(Failure& f)
  {
    int rc = avcodec_send_frame(m_codec, nullptr);
    if (rc < 0)
      return Fail(f, kStepFinish, rc);
    if (!Drain(f, 0))
      return false;
    rc = av_write_trailer(m_fmt);
    if (rc < 0)
      return Fail(f, kStepFinish, rc);
    rc = avio_closep(&m_fmt->pb);
    if (rc < 0)
      return Fail(f, kStepFinish, rc);
    return true;
  }

private:
  bool Fail(Failure& f, const char* step, int code, int frame = 0)
  {
    f.step = step;
    f.code = code;
    f.frame = frame;
    return false;
  }

  // Writes every packet the encoder has ready; frame 0: the final flush.
  bool Drain(Failure& f, int frameNumber)
  {
    for (;;) {
      int rc = avcodec_receive_packet(m_codec, m_packet);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
        return true;
      if (rc < 0)
        return Fail(f, frameNumber ? kStepSend : kStepFinish, rc, frameNumber);
      // Every packet lasts one interval, so the file's length counts the last frame too.
      if (m_packet->duration <= 0)
        m_packet->duration = 1;
      av_packet_rescale_ts(m_packet, m_codec->time_base, m_stream->time_base);
      m_packet->stream_index = m_stream->index;
      rc = av_interleaved_write_frame(m_fmt, m_packet);
      if (rc < 0)
        return Fail(f, frameNumber ? kStepWrite : kStepFinish, rc, frameNumber);
    }
  }

  const MovieFrameSettings& m_s;
  AVFormatContext* m_fmt = nullptr;
  AVStream* m_stream = nullptr;
  AVCodecContext* m_codec = nullptr;
  AVPacket* m_packet = nullptr;
  AVFrame* m_frame = nullptr;
  SwsContext* m_sws = nullptr;
  int64_t m_nextPts = 0;
};

} // namespace

bool WriteMp4Movie(const std::string& path, IMovieFrameSource& source, const MovieFrameSettings& s,
                   std::string* error, bool* cancelled)
{
  if (RefuseMovieSettings(s, true, error, cancelled))
    return false;
  av_log_set_level(AV_LOG_ERROR);
  const int holdFrames = s.nHoldTime >= 1 ? s.nHoldTime / s.nFrameInterval : 0;
  Failure f;
  TempBesideTarget tmp(path);
  bool ok = true;
  if (tmp.Fd() < 0) {
    f = {kStepCreate, AVERROR(tmp.Errno()), 0};
    ok = false;
  } else {
    close(tmp.ReleaseFd());
  }
  {
    Mp4Encoder enc(s);
    ok = ok && enc.Open(tmp.Path(), f);
    MovieFrameBuffer buffer(s);
    if (ok && !buffer.Ok()) {
      f = {kStepFrameArea, AVERROR(ENOMEM), 1};
      ok = false;
    }
    for (int i = 0; ok && i < s.nFrameCount; ++i) {
      MovieFrame& frame = buffer.Render(source, s, i, s.nFrameCount);
      ok = enc.Write(frame, i == s.nFrameCount - 1 ? holdFrames + 1 : 1, i + 1, f);
      if (ok && !source.ContinueExport(i + 1, s.nFrameCount)) {
        if (cancelled)
          *cancelled = true;
        return false;
      }
    }
    ok = ok && enc.Finish(f);
  }
  if (ok && !tmp.Commit()) {
    f = {kStepReplace, AVERROR(tmp.Errno()), 0};
    ok = false;
  }
  if (!ok && error)
    *error = FailureText(s, f);
  return ok;
}
