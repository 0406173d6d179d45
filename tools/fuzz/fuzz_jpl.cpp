// libFuzzer target for DE files: the header as the download checks it, and
// the file as the planetary reader opens it, with positions over its span.
#include "astro/jpl_eph.h"
#include "data/planetary_download.h"
#include "platform/app_services.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzSetUpApp();
  JplHeader h;
  long long fileBytes = 0;
  if (JplParseHeaderBytes(data, size, h, fileBytes))
    FuzzCheck(fileBytes > 0, "a header describes a file");

  const std::string path = FuzzWriteFile("de.bin", FuzzBytes(data, size));
  DeFileBytesFromHeader(path);
  TheApp().m_szDe441File = path;
  delete g_pJplEph;
  g_pJplEph = new CJplEph(TheApp().Paths());
  if (g_pJplEph->IsOpen()) {
    FuzzCheck(g_dJplStart < g_dJplEnd, "an open file has a span");
    double pos[3];
    for (const double f : {0.0, 0.37, 0.5, 0.999, 1.0})
      for (int target = 1; target <= 13; ++target)
        JplPosition(g_dJplStart + f * (g_dJplEnd - g_dJplStart), target, target == 3 ? 11 : 3, pos);
  }
  delete g_pJplEph;
  g_pJplEph = nullptr;
  return 0;
}
