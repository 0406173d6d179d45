#pragma once
// Test helper: replaces the process's planetary reader by one that opens the
// given files, and restores the settings' paths (with no reader) afterwards.
#include <string>

#include "astro/jpl_eph.h"
#include "platform/app_services.h"

class JplReaderScope {
public:
  explicit JplReaderScope(const std::string& de441, const std::string& de406 = {})
      : saved441_(TheApp().m_szDe441File), saved406_(TheApp().m_szDe406File) {
    Reopen(de441, de406);
  }
  ~JplReaderScope() {
    delete g_pJplEph;
    g_pJplEph = nullptr;
    TheApp().m_szDe441File = saved441_;
    TheApp().m_szDe406File = saved406_;
  }
  JplReaderScope(const JplReaderScope&) = delete;
  JplReaderScope& operator=(const JplReaderScope&) = delete;

  // Deletes the reader and creates a new one for these files, as the
  // application does when the settings change.
  void Reopen(const std::string& de441, const std::string& de406 = {}) {
    delete g_pJplEph;
    g_pJplEph = nullptr;
    TheApp().m_szDe441File = de441;
    TheApp().m_szDe406File = de406;
    g_pJplEph = new CJplEph(TheApp().Paths());
  }

private:
  std::string saved441_, saved406_;
};
