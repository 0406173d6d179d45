#pragma once
// Opens the real planetary file for one test and restores the application's
// file settings afterwards. Open() is false when the file is not at hand.
#include <string>

#include "astro/jpl_eph.h"
#include "platform/app_services.h"
#include "tests/common/test_data.h"

class ScopedPlanetaryFile {
public:
  static constexpr const char* kFile = "de/lnxp1960p2060.405";
  ScopedPlanetaryFile() = default;
  ScopedPlanetaryFile(const ScopedPlanetaryFile&) = delete;
  ScopedPlanetaryFile& operator=(const ScopedPlanetaryFile&) = delete;
  ~ScopedPlanetaryFile() {
    if (!m_opened) return;
    delete g_pJplEph;
    g_pJplEph = nullptr;
    TheApp().m_szDe441File = m_saved441;
    TheApp().m_szDe406File = m_saved406;
  }
  bool Available() const {
    const std::string de = TestDataPath(kFile);
    return !de.empty() && TestDataFileExists(de);
  }
  // Opens the file; true when it is open.
  bool Open() {
    if (!Available()) return false;
    m_saved441 = TheApp().m_szDe441File;
    m_saved406 = TheApp().m_szDe406File;
    TheApp().m_szDe441File = TestDataPath(kFile);
    TheApp().m_szDe406File = "";
    delete g_pJplEph;
    g_pJplEph = new CJplEph;
    m_opened = true;
    return g_pJplEph->IsOpen();
  }

private:
  std::string m_saved441, m_saved406;
  bool m_opened = false;
};
