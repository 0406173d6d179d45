#pragma once
// Opens the DE405 reference file as the process's planetary reader, once for
// all benchmarks of a program; false when the file is absent.
#include <string>

#include "astro/jpl_eph.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

inline bool OpenDe405Reader()
{
  if (g_pJplEph != nullptr && g_pJplEph->IsOpen())
    return true;
  const std::string path = TestDataPath("de/lnxp1960p2060.405");
  if (path.empty() || !TestDataFileExists(path))
    return false;
  TheApp().m_szDe441File = path;
  TheApp().m_szDe406File.clear();
  delete g_pJplEph;
  g_pJplEph = new CJplEph(TheApp().Paths());
  return g_pJplEph->IsOpen();
}
