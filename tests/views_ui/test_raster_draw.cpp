// Computed pictures and plotted dots drawn straight through the toolkit's
// renderer: the pixels read back from a bitmap.
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/init.h>

#include "platform/wx/raster_draw.h"

namespace {

constexpr int kSize = 40;

// The toolkit started without the program: drawing needs no window.
class RasterDraw : public testing::Test {
protected:
  void SetUp() override
  {
    wxApp::SetInstance(new wxApp);
    int argc = 1;
    char name[] = "tsr_views_ui_tests";
    char* argv[] = {name, nullptr};
    ASSERT_TRUE(wxEntryStart(argc, argv));
  }
  void TearDown() override { wxEntryCleanup(); }
};

// Draws on a black bitmap and hands back its image.
template <class Draw>
wxImage Drawn(Draw draw)
{
  wxBitmap bmp(kSize, kSize, 24);
  {
    wxMemoryDC dc(bmp);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    draw(gc.get());
  }
  return bmp.ConvertToImage();
}

// Red of the pixel as a fraction of full.
double Red(const wxImage& img, int x, int y) { return img.GetRed(x, y) / 255.0; }

double SumRed(const wxImage& img)
{
  double s = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      s += Red(img, x, y);
  return s;
}

} // namespace

TEST_F(RasterDraw, PixelsLandUnchangedAtTheirPlace)
{
  const std::vector<uint32_t> px = {0xFF102030, 0x00405060, 0xFFFFFFFF, 0xFF000001, 0xFF7F8081, 0xFFA0B0C0};
  const wxImage img = Drawn([&](wxGraphicsContext* gc) { DrawRgbRaster(gc, px.data(), 3, 2, 5, 7, 3, 2); });
  for (int i = 0; i < 6; ++i) {
    const int x = 5 + i % 3, y = 7 + i / 3;
    EXPECT_EQ(img.GetRed(x, y), (px[i] >> 16) & 0xFF) << i;  // the top byte is ignored
    EXPECT_EQ(img.GetGreen(x, y), (px[i] >> 8) & 0xFF) << i;
    EXPECT_EQ(img.GetBlue(x, y), px[i] & 0xFF) << i;
  }
  EXPECT_EQ(img.GetRed(4, 7), 0);
  EXPECT_EQ(img.GetRed(8, 8), 0);
}

// Dots computed by the layer against cairo's own circles (the same calls
// under a translation the layer follows and a scale of 1 + 1e-12 it leaves
// to cairo): full inside, empty outside, the same ink within 8 % (4 % measured).
TEST_F(RasterDraw, ManyCirclesMatchTheRenderersOwn)
{
  const std::vector<RasterCircle> cs = {{10.3f, 10.6f}, {25.5f, 12.5f}, {12.0f, 28.2f}, {13.1f, 28.9f}};
  for (float width : {0.0f, 1.0f}) {
    const float d = width > 0 ? 5 : 4;
    const wxImage layer = Drawn([&](wxGraphicsContext* gc) {
      gc->Translate(1, 0);
      DrawManyCircles(gc, cs.data(), cs.size(), d, 0xFFFF0000, width);
    });
    const wxImage own = Drawn([&](wxGraphicsContext* gc) {
      gc->Translate(1, 0);
      gc->Scale(1 + 1e-12, 1);
      DrawManyCircles(gc, cs.data(), cs.size(), d, 0xFFFF0000, width);
    });
    const double inkLayer = SumRed(layer), inkOwn = SumRed(own);
    EXPECT_NEAR(inkLayer, inkOwn, 0.08 * inkOwn) << width;
    for (const RasterCircle& c : cs) {
      const int x = int(c.x + 1), y = int(c.y);
      if (width == 0) {
        EXPECT_EQ(layer.GetRed(x, y), 255) << c.x;
      } else {
        EXPECT_LT(layer.GetRed(x, y), 40) << c.x;  // the hollow middle
        EXPECT_LT(own.GetRed(x, y), 40) << c.x;
      }
      EXPECT_EQ(layer.GetRed(x + 5, y), 0) << c.x;
      EXPECT_EQ(layer.GetGreen(x, y), 0) << c.x;
    }
  }
}
