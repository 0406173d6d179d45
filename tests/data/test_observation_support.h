#pragma once
// Shared set-up of the station and observation tests: files written into a
// test folder, the station file cut out of the MPC's list of observatory
// codes, and the application paths the readers take.
#include <fstream>
#include <string>
#include <string_view>

#include "platform/app_services.h"
#include "tests/common/test_data.h"

inline std::string WriteTestFile(const std::string& dir, const std::string& name, std::string_view bytes)
{
  const std::string path = dir + name;
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

inline std::string ReadTestFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The code lines of the page's preformatted block (its header line included),
// as the station file holds them; "" when the page is not available.
inline std::string StationLinesFromObsCodesPage()
{
  const std::string page = TestDataPath("obscodes/ObsCodes.html");
  if (page.empty() || !TestDataFileExists(page))
    return "";
  const std::string html = ReadTestFile(page);
  const size_t pre = html.find("<pre>");
  const size_t end = html.find("</pre>");
  if (pre == std::string::npos || end == std::string::npos)
    return "";
  const size_t first = html.find('\n', pre) + 1;
  return html.substr(first, end - first);
}

// Points the application's station file at path for the life of the object.
class ScopedStationsFile {
public:
  explicit ScopedStationsFile(const std::string& path) : m_old(TheApp().m_szStationsFile)
  {
    TheApp().m_szStationsFile = path;
  }
  ~ScopedStationsFile() { TheApp().m_szStationsFile = m_old; }
  ScopedStationsFile(const ScopedStationsFile&) = delete;
  ScopedStationsFile& operator=(const ScopedStationsFile&) = delete;

private:
  std::string m_old;
};
