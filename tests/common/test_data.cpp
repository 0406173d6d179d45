#include "tests/common/test_data.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

std::string TestDataDir()
{
  std::string dir;
  if (const char* env = std::getenv("TESSARUNE_TESTDATA"); env && *env)
    dir = env;
  else if (const char* src = std::getenv("TSR_SOURCE_DIR"); src && *src)
    dir = std::string(src) + "/../shared/data";
  else  // started by hand, from any working folder
    dir = std::string(TSR_SOURCE_DIR_BUILT) + "/../shared/data";
  std::error_code ec;
  if (!fs::is_directory(dir, ec))
    return "";
  if (dir.back() != '/')
    dir += '/';
  return dir;
}

std::string TestDataPath(const std::string& relative)
{
  const std::string dir = TestDataDir();
  return dir.empty() ? std::string() : dir + relative;
}

std::string MissingDataMessage(const std::string& what)
{
  return "reference data not found: " + what + " (set TESSARUNE_TESTDATA to the shared data folder)";
}

bool TestDataFileExists(const std::string& path)
{
  std::error_code ec;
  return fs::exists(path, ec);
}

namespace {

// The folders MakeTempDir made, removed when the program ends (by the process
// that made them, not by a forked child).
class MadeFolders {
public:
  void Add(const fs::path& p) { m_paths.push_back(p); }
  ~MadeFolders()
  {
    if (getpid() != m_owner)
      return;
    std::error_code ec;
    for (const fs::path& p : m_paths)
      fs::remove_all(p, ec);
  }

private:
  pid_t m_owner = getpid();
  std::vector<fs::path> m_paths;
};

} // namespace

std::string MakeTempDir(const std::string& tag)
{
  static std::mt19937_64 rng(std::random_device{}());
  static MadeFolders made;
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path p = base / ("tsr_" + tag + "_" + std::to_string(rng() % 100000000));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      made.Add(p);
      return p.string() + "/";
    }
  }
}
