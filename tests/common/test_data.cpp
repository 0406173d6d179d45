#include "tests/common/test_data.h"

#include <cstdlib>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

std::string TestDataDir()
{
  std::string dir;
  if (const char* env = std::getenv("TESSARUNE_TESTDATA"); env && *env)
    dir = env;
  else if (const char* src = std::getenv("TSR_SOURCE_DIR"); src && *src)
    dir = std::string(src) + "/../shared/data";
  else
    dir = "../shared/data";
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

bool TestDataFileExists(const std::string& path)
{
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string MakeTempDir(const std::string& tag)
{
  static std::mt19937_64 rng(std::random_device{}());
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path p = base / ("tsr_" + tag + "_" + std::to_string(rng() % 100000000));
    std::error_code ec;
    if (fs::create_directory(p, ec))
      return p.string() + "/";
  }
}
