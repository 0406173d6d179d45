// The MP4 and GIF writers against a synthetic frame source: what a decoder
// reads back (sizes, profile, rate, durations, delays, loop, first and last
// frames), the order of the calls into the source, and the failures that
// must leave the user's old file whole.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include "platform/files.h"
#include "platform/video/gif_palette.h"
#include "platform/video/movie_writer.h"
#include "tests/common/folder_checks.h"
#include "tests/common/test_data.h"
#include "tests/platform_video/movie_decode.h"

namespace {

// Draws a smooth picture that moves with the frame: a diagonal gradient, a
// bright square sliding right and a band of colour steps, at output size.
class PatternSource : public IMovieFrameSource {
public:
  std::vector<std::pair<char, int>> calls;  // 'P' index or 'D' width
  int index = 0, count = 0;
  int cancelAfter = 0;  // ContinueExport refuses after this many frames (0 = never)

  void PrepareFrame(int i, int n) override
  {
    index = i;
    count = n;
    calls.push_back({'P', i});
  }
  void DrawFrame(MovieFrame& f, int width, int /*height*/) override
  {
    calls.push_back({'D', width});
    Paint(f, index, count);
  }
  bool ContinueExport(int done, int /*total*/) override { return cancelAfter == 0 || done < cancelAfter; }

  static void Paint(MovieFrame& f, int i, int n)
  {
    const int sq = f.nHeight / 4;
    const int sx = n > 1 ? (f.nWidth - sq) * i / (n - 1) : 0;
    for (int y = 0; y < f.nHeight; ++y)
      for (int x = 0; x < f.nWidth; ++x) {
        uint8_t* p = f.pBgra + size_t(y) * f.nStride + size_t(x) * 4;
        uint8_t r = uint8_t(40 + 150 * x / f.nWidth), g = uint8_t(30 + 120 * y / f.nHeight), b = 90;
        if (y > f.nHeight * 3 / 4)
          r = uint8_t((x * 8 / f.nWidth) * 32), g = 200, b = uint8_t(255 - r);
        if (x >= sx && x < sx + sq && y >= sq && y < 2 * sq)
          r = 250, g = 240, b = 40;
        p[0] = b, p[1] = g, p[2] = r, p[3] = 0;
      }
  }
  // The picture of frame i of n as a direct render.
  static RgbPicture Direct(const MovieFrameSettings& s, int i, int n)
  {
    std::vector<uint8_t> bytes(size_t(s.nOutputWidth) * 4 * s.nOutputHeight);
    MovieFrame f{bytes.data(), s.nOutputWidth, s.nOutputHeight, s.nOutputWidth * 4, s.fScale};
    Paint(f, i, n);
    return FromBgra(bytes.data(), f.nWidth, f.nHeight, f.nStride);
  }
};

MovieFrameSettings Settings(int width, int height, int count, int interval, int hold)
{
  MovieFrameSettings s;
  s.nSourceWidth = width / 2;
  s.nSourceHeight = height / 2 + 20;
  s.nOutputWidth = width;
  s.nOutputHeight = height;
  s.fScale = 2;
  s.nFrameCount = count;
  s.nFrameInterval = interval;
  s.nHoldTime = hold;
  return s;
}

using Writer = bool (*)(const std::string&, IMovieFrameSource&, const MovieFrameSettings&, std::string*, bool*);

} // namespace

TEST(MovieWriters, Mp4DecodesAsHighProfileWithTheHoldAndTheFramesDrawn)
{
  const std::string path = MakeTempDir("mp4") + "clip.mp4";
  // 40 ms: 25 frames a second; a 200 ms hold adds 5 copies of the last frame.
  const MovieFrameSettings s = Settings(320, 240, 12, 40, 200);
  PatternSource src;
  std::string error;
  ASSERT_TRUE(WriteMp4Movie(path, src, s, &error)) << error;

  std::vector<std::pair<char, int>> order;
  for (int i = 0; i < 12; ++i)
    order.insert(order.end(), {{'P', i}, {'D', 160}});
  EXPECT_EQ(src.calls, order);

  const DecodedMp4 d = DecodeMp4(path);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.codec, "h264");
  EXPECT_EQ(d.profile, 100);
  EXPECT_EQ(d.pixFmt, "yuv420p");
  EXPECT_EQ(d.width, 320);
  EXPECT_EQ(d.height, 240);
  EXPECT_DOUBLE_EQ(d.fps, 25);
  EXPECT_EQ(d.frames, 12 + 5);
  EXPECT_NEAR(d.seconds, 17 * 0.040, 1e-9);
  EXPECT_GT(Psnr(PatternSource::Direct(s, 0, 12), d.first), 30);
  EXPECT_GT(Psnr(PatternSource::Direct(s, 11, 12), d.last), 30);
  // The middle frame is not the first: the frames really differ.
  EXPECT_LT(Psnr(PatternSource::Direct(s, 11, 12), d.first), 25);
}

TEST(MovieWriters, Mp4RateAndBitRateFollowTheInterval)
{
  struct Case {
    int interval, fps;
  } cases[] = {{40, 25}, {60, 16}, {1000, 1}, {2500, 1}, {1, 1000}};
  for (const Case& c : cases)
    EXPECT_EQ(Mp4FrameRate(c.interval), c.fps) << c.interval;
  EXPECT_EQ(Mp4BitRate(1280, 720, 25), int64_t(0.12 * 1280 * 720 * 25));
  EXPECT_EQ(Mp4BitRate(320, 240, 25), 2000000);
  EXPECT_EQ(Mp4BitRate(2560, 2132, 1000), 60000000);
}

TEST(MovieWriters, GifHasOnePaletteTheDelaysAndTheLoop)
{
  const std::string path = MakeTempDir("gif") + "clip.gif";
  const MovieFrameSettings s = Settings(320, 240, 6, 60, 3000);
  PatternSource src;
  std::string error;
  ASSERT_TRUE(WriteGifAnimation(path, src, s, &error)) << error;

  // The last frame first, for the palette, then every frame in order.
  std::vector<std::pair<char, int>> order = {{'P', 5}, {'D', 160}};
  for (int i = 0; i < 6; ++i)
    order.insert(order.end(), {{'P', i}, {'D', 160}});
  EXPECT_EQ(src.calls, order);

  const DecodedGif d = DecodeGif(path);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 320);
  EXPECT_EQ(d.height, 240);
  EXPECT_LE(d.colours, 256);
  EXPECT_EQ(d.loop, 0);
  EXPECT_EQ(d.delays, (std::vector<int>{6, 6, 6, 6, 6, 300}));
  EXPECT_GT(Psnr(PatternSource::Direct(s, 0, 6), d.first), 30);
  EXPECT_GT(Psnr(PatternSource::Direct(s, 5, 6), d.last), 30);

  // Without a hold every frame keeps the interval.
  ASSERT_TRUE(WriteGifAnimation(path, src, Settings(64, 48, 3, 60, 0), &error)) << error;
  EXPECT_EQ(DecodeGif(path).delays, (std::vector<int>{6, 6, 6}));
}

TEST(MovieWriters, GifPaletteIsExactForFewColoursAndDitheringKeepsTheMean)
{
  // 300 distinct greys, 8 x 300: more than a palette holds.
  std::vector<uint8_t> bytes(size_t(300) * 4 * 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 300; ++x) {
      uint8_t* p = &bytes[(size_t(y) * 300 + x) * 4];
      p[0] = p[1] = p[2] = uint8_t(x * 255 / 299);
      if (y < 2)  // a few exact colours
        p[0] = 0, p[1] = uint8_t(x % 3 * 100), p[2] = 255;
    }
  MovieFrame f{bytes.data(), 300, 8, 1200, 1};
  const GifPalette pal = BuildGifPalette(f);
  EXPECT_LE(pal.Count(), 256);
  GifDitherer dither(pal);
  std::vector<uint8_t> idx;
  dither.Map(f, idx);
  // The exact colours map to themselves; the greys' mean survives the dither.
  for (int x = 0; x < 300; ++x) {
    const uint8_t* c = &pal.rgb[size_t(idx[size_t(x)]) * 3];
    ASSERT_EQ(c[0], 255);
    ASSERT_EQ(c[1], x % 3 * 100);
    ASSERT_EQ(c[2], 0);
  }
  double want = 0, got = 0;
  for (int y = 2; y < 8; ++y)
    for (int x = 0; x < 300; ++x) {
      want += bytes[(size_t(y) * 300 + x) * 4];
      got += pal.rgb[size_t(idx[size_t(y) * 300 + x]) * 3];
    }
  EXPECT_NEAR(got / (6 * 300), want / (6 * 300), 0.5);

  // A frame of three colours gets exactly those three.
  std::vector<uint8_t> three = {10, 20, 30, 0, 200, 100, 0, 0, 10, 20, 30, 0, 1, 2, 3, 0};
  MovieFrame t{three.data(), 4, 1, 16, 1};
  EXPECT_EQ(BuildGifPalette(t).Count(), 3);
}

TEST(MovieWriters, UnusableSettingsAreRefusedWithAMessage)
{
  struct Case {
    const char* name;
    MovieFrameSettings s;
    bool mp4Only;
  } cases[] = {
      {"no frames", Settings(64, 48, 0, 40, 0), false},
      {"no interval", Settings(64, 48, 5, 0, 0), false},
      {"height 1", Settings(64, 1, 5, 40, 0), false},
      {"width 0", Settings(0, 48, 5, 40, 0), false},
      {"odd height", Settings(64, 47, 5, 40, 0), true},
  };
  const std::string dir = MakeTempDir("refused");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Writer w : {Writer(WriteMp4Movie), Writer(WriteGifAnimation)}) {
      if (c.mp4Only && w == Writer(WriteGifAnimation))
        continue;
      PatternSource src;
      std::string error;
      EXPECT_FALSE(w(dir + "x.out", src, c.s, &error, nullptr));
      EXPECT_FALSE(error.empty());
      EXPECT_TRUE(src.calls.empty());
    }
  }
  EXPECT_EQ(EntriesIn(dir), 0);
}

TEST(MovieWriters, AFolderThatCannotBeWrittenNamesTheStepAndTheSizeHint)
{
  const std::string dir = MakeTempDir("nofolder") + "missing/";
  struct Case {
    Writer w;
    int width;
    const char* head;
    bool hint;
  } cases[] = {
      {WriteMp4Movie, 2560, "MP4の保存に失敗しました。", true},
      {WriteMp4Movie, 1920, "MP4の保存に失敗しました。", false},
      {WriteGifAnimation, 640, "GIFの保存に失敗しました。", false},
  };
  for (const Case& c : cases) {
    PatternSource src;
    std::string error;
    EXPECT_FALSE(c.w(dir + "clip.out", src, Settings(c.width, 16, 3, 40, 0), &error, nullptr));
    EXPECT_EQ(error.rfind(c.head, 0), 0u) << error;
    EXPECT_NE(error.find("失敗した処理: 出力ファイルの作成"), std::string::npos) << error;
    EXPECT_EQ(error.find("コマ番号"), std::string::npos) << error;
    EXPECT_EQ(error.find("1つ小さい種類でお試しください。") != std::string::npos, c.hint) << error;
    if (c.w == Writer(WriteMp4Movie)) {
      char size[64];
      std::snprintf(size, sizeof size, "出力の大きさ: %d×16\r\n", c.width);
      EXPECT_NE(error.find(size), std::string::npos) << error;
      EXPECT_NE(error.find("エラーコード: 0xFFFFFFFE"), std::string::npos) << error;  // AVERROR(ENOENT)
    }
  }
}

TEST(MovieWriters, AWriteFailingMidFileLeavesTheOldFileWhole)
{
  for (const Writer w : {Writer(WriteMp4Movie), Writer(WriteGifAnimation)}) {
    const std::string dir = MakeTempDir("midfile");
    const std::string path = dir + "clip.out";
    const std::string old(100000, 'o');  // larger than the limit: only new writes fail
    ASSERT_TRUE(WriteFileAtomic(path, old));
    const std::string report = dir + "report.txt";
    // The file-size limit (binding root too) cuts the temporary file short;
    // the child keeps the limit to itself.
    const pid_t child = fork();
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit lim{6000, 6000};
      setrlimit(RLIMIT_FSIZE, &lim);
      PatternSource src;
      std::string error;
      const bool ok = w(path, src, Settings(320, 240, 40, 40, 0), &error, nullptr);
      lim = {RLIM_INFINITY, RLIM_INFINITY};
      setrlimit(RLIMIT_FSIZE, &lim);  // raising it back fails for non-root; the report is short
      FILE* f = std::fopen(report.c_str(), "wb");
      std::fwrite(error.data(), 1, error.size(), f);
      std::fclose(f);
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string error = Contents(report);
    EXPECT_NE(error.find("の保存に失敗しました。"), std::string::npos) << error;
    EXPECT_NE(error.find("失敗した処理: "), std::string::npos) << error;
    EXPECT_TRUE(Contents(path) == old) << "the old file was changed";
    EXPECT_EQ(EntriesIn(dir), 2) << "a temporary file was left";
  }
}

TEST(MovieWriters, ACancelledExportWritesNothing)
{
  for (const Writer w : {Writer(WriteMp4Movie), Writer(WriteGifAnimation)}) {
    const std::string dir = MakeTempDir("cancel");
    const std::string path = dir + "clip.out";
    ASSERT_TRUE(WriteFileAtomic(path, "old"));
    PatternSource src;
    src.cancelAfter = 3;
    std::string error;
    bool cancelled = false;
    EXPECT_FALSE(w(path, src, Settings(64, 48, 10, 40, 0), &error, &cancelled));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(Contents(path), "old");
    EXPECT_EQ(EntriesIn(dir), 1);
  }
}

namespace {

// One whole export of 30 frames at 160 x 120, as a decoder reads it (the MP4
// encoder's threads make its bytes differ from one run to the next).
bool IsWholeExport(const std::string& path, bool mp4)
{
  if (mp4) {
    const DecodedMp4 d = DecodeMp4(path);
    return d.ok && d.width == 160 && d.frames == 30;
  }
  const DecodedGif d = DecodeGif(path);
  return d.ok && d.width == 160 && d.delays.size() == 30;
}

// A source that runs something while the export draws its sixth frame.
class NestedExportSource : public PatternSource {
public:
  std::function<void()> onFrame5;
  void PrepareFrame(int i, int n) override
  {
    PatternSource::PrepareFrame(i, n);
    if (i == 5 && onFrame5)
      onFrame5();
  }
};

} // namespace

// An export killed at random moments, 20 times a writer: the old file stays
// one whole export and the next export to it leaves no temporary behind; a
// live export's temporary stays while another export of the same file runs,
// though the MP4 writer reopens it by name.
TEST(MovieWriters, KilledExportsLeaveNoTemporaryAfterTheNextExport)
{
  const MovieFrameSettings s = Settings(160, 120, 30, 40, 0);
  std::mt19937 rng(20261211);
  for (const bool mp4 : {true, false}) {
    SCOPED_TRACE(mp4 ? "mp4" : "gif");
    const Writer w = mp4 ? Writer(WriteMp4Movie) : Writer(WriteGifAnimation);
    const std::string dir = MakeTempDir("kill_export");
    const std::string path = dir + "clip.out";
    PatternSource first;
    ASSERT_TRUE(w(path, first, s, nullptr, nullptr));
    ASSERT_TRUE(IsWholeExport(path, mp4));
    int left = 0;
    for (int round = 0; round < 20; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      const pid_t child = fork();
      if (child == 0) {
        for (;;) {
          PatternSource src;
          w(path, src, s, nullptr, nullptr);
        }
      }
      ASSERT_GT(child, 0);
      std::this_thread::sleep_for(std::chrono::microseconds(2000 + rng() % 40000));
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      ASSERT_TRUE(IsWholeExport(path, mp4)) << "a torn video";
      left += EntriesIn(dir) - 1;
      PatternSource src;
      ASSERT_TRUE(w(path, src, s, nullptr, nullptr));
      EXPECT_EQ(EntriesIn(dir), 1);
    }
    // The kills must land inside the exports for the loop to test anything.
    EXPECT_GT(left, 0);

    // A second export of the same file starts and ends while the first
    // draws its sixth frame: it must take the first one's temporary for a
    // live writer's.
    bool okB = false;
    NestedExportSource outer;
    outer.onFrame5 = [&] {
      PatternSource inner;
      okB = w(path, inner, s, nullptr, nullptr);
    };
    const bool okA = w(path, outer, s, nullptr, nullptr);
    EXPECT_TRUE(okA && okB);
    EXPECT_TRUE(IsWholeExport(path, mp4));
    EXPECT_EQ(EntriesIn(dir), 1);
  }
}

TEST(MovieExportTypes, TableFilterExtensionAndOutputHeight)
{
  EXPECT_EQ(MovieExportFilter(),
            "MP4動画 (幅1280px) (*.mp4)|*.mp4|MP4動画 (幅1920px・FHD) (*.mp4)|*.mp4|"
            "MP4動画 (幅2560px・WQHD) (*.mp4)|*.mp4|アニメーションGIF (幅640px) (*.gif)|*.gif||");
  for (const auto& [stored, row] : std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {3, 3}, {4, 4}, {5, 1}, {-2, 1}})
    EXPECT_EQ(MovieExportTypeRow(stored), row) << stored;

  struct Ext {
    const char *path, *ext, *want;
  } exts[] = {
      {"/v/clip.MP4", "mp4", "/v/clip.MP4"}, {"/v/clip.avi", "mp4", "/v/clip.mp4"},
      {"/v/clip", "mp4", "/v/clip.mp4"},     {"/v.d/clip", "gif", "/v.d/clip.gif"},
      {"/v/a.b.gif", "gif", "/v/a.b.gif"},   {"/v/clip.mp4", "gif", "/v/clip.gif"},
  };
  for (const Ext& e : exts)
    EXPECT_EQ(WithExportExtension(e.path, e.ext), e.want) << e.path;

  struct Height {
    int drawing, sw, sh, ow, want;
  } heights[] = {
      {500, 600, 560, 1280, 1066},  // 500 x 2.1333 + 0.5 = 1067.2 -> 1067 -> even 1066
      {7, 600, 560, 1280, 1194},    // below 16: the source's aspect, 1280 x 560 / 600
      {300, 640, 480, 640, 300},
      {301, 640, 480, 640, 300},
      {0, 600, 560, 1280, 0},
      {500, 0, 560, 1280, 0},
  };
  for (const Height& h : heights)
    EXPECT_EQ(MovieOutputHeight(h.drawing, h.sw, h.sh, h.ow), h.want) << h.drawing << " " << h.sw;
}
