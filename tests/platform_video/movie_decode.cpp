#include "tests/platform_video/movie_decode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}
#include <gif_lib.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

RgbPicture ToRgb(const AVFrame* f)
{
  RgbPicture p;
  p.width = f->width;
  p.height = f->height;
  p.rgb.resize(size_t(p.width) * p.height * 3);
  SwsContext* sws = sws_getContext(f->width, f->height, AVPixelFormat(f->format), f->width, f->height,
                                   AV_PIX_FMT_RGB24, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  uint8_t* dst[1] = {p.rgb.data()};
  const int stride[1] = {p.width * 3};
  sws_scale(sws, f->data, f->linesize, 0, f->height, dst, stride);
  sws_freeContext(sws);
  return p;
}

} // namespace

DecodedMp4 DecodeMp4(const std::string& path)
{
  DecodedMp4 out;
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
    return out;
  if (avformat_find_stream_info(fmt, nullptr) < 0 || fmt->nb_streams != 1) {
    avformat_close_input(&fmt);
    return out;
  }
  AVStream* st = fmt->streams[0];
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(ctx, st->codecpar);
  avcodec_open2(ctx, codec, nullptr);
  out.codec = codec ? codec->name : "";
  out.profile = st->codecpar->profile;
  out.pixFmt = av_get_pix_fmt_name(AVPixelFormat(st->codecpar->format)) ? av_get_pix_fmt_name(AVPixelFormat(st->codecpar->format)) : "";
  out.width = st->codecpar->width;
  out.height = st->codecpar->height;
  out.fps = av_q2d(st->avg_frame_rate);
  out.seconds = st->duration * av_q2d(st->time_base);
  out.bitRate = st->codecpar->bit_rate;
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto receive = [&] {
    while (avcodec_receive_frame(ctx, frame) == 0) {
      if (out.frames == 0)
        out.first = ToRgb(frame);
      ++out.frames;
      out.last = ToRgb(frame);
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    avcodec_send_packet(ctx, pkt);
    av_packet_unref(pkt);
    receive();
  }
  avcodec_send_packet(ctx, nullptr);
  receive();
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  avformat_close_input(&fmt);
  out.ok = out.frames > 0;
  return out;
}

DecodedGif DecodeGif(const std::string& path)
{
  DecodedGif out;
  int err = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
  if (!gif)
    return out;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &err);
    return out;
  }
  out.width = gif->SWidth;
  out.height = gif->SHeight;
  if (gif->SColorMap)
    out.colours = gif->SColorMap->ColorCount;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& im = gif->SavedImages[i];
    GraphicsControlBlock gcb{};
    out.delays.push_back(DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK ? gcb.DelayTime : -1);
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    if (im.ImageDesc.ColorMap && im.ImageDesc.ColorMap->ColorCount > out.colours)
      out.colours = im.ImageDesc.ColorMap->ColorCount;
    if (i == 0 || i == gif->ImageCount - 1) {
      RgbPicture p;
      p.width = im.ImageDesc.Width;
      p.height = im.ImageDesc.Height;
      for (int k = 0; k < p.width * p.height; ++k) {
        const GifColorType& c = map->Colors[im.RasterBits[k]];
        p.rgb.insert(p.rgb.end(), {c.Red, c.Green, c.Blue});
      }
      (i == 0 ? out.first : out.last) = p;
      if (gif->ImageCount == 1)
        out.last = p;
    }
    // The loop block sits before the first image.
    for (int e = 0; e + 1 < im.ExtensionBlockCount; ++e) {
      const ExtensionBlock& b = im.ExtensionBlocks[e];
      if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
          std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0) {
        const ExtensionBlock& sub = im.ExtensionBlocks[e + 1];
        if (sub.ByteCount == 3 && sub.Bytes[0] == 1)
          out.loop = sub.Bytes[1] | sub.Bytes[2] << 8;
      }
    }
  }
  DGifCloseFile(gif, &err);
  out.ok = true;
  return out;
}

double Psnr(const RgbPicture& a, const RgbPicture& b)
{
  if (a.width != b.width || a.height != b.height || a.rgb.empty())
    return 0;
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) {
    const double d = double(a.rgb[i]) - double(b.rgb[i]);
    sum += d * d;
  }
  if (sum == 0)
    return 99;
  return 10 * std::log10(255.0 * 255.0 / (sum / double(a.rgb.size())));
}

RgbPicture FromBgra(const uint8_t* bgra, int width, int height, int stride)
{
  RgbPicture p;
  p.width = width;
  p.height = height;
  p.rgb.reserve(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* q = bgra + size_t(y) * stride + size_t(x) * 4;
      p.rgb.insert(p.rgb.end(), {q[2], q[1], q[0]});
    }
  return p;
}
