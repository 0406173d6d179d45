// The main of every test program: its tests run with a temporary folder of
// their own (TMPDIR), removed when they end, whatever they left there and
// however they failed, so that test runs leave the temporary folder as they
// found it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class OwnTemporaryFolder {
public:
  OwnTemporaryFolder()
  {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tsr_tests_XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("test temporary folder");
      return;
    }
    m_path = pattern;
    setenv("TMPDIR", m_path.c_str(), 1);
  }
  ~OwnTemporaryFolder()
  {
    std::error_code ec;
    if (!m_path.empty())
      std::filesystem::remove_all(m_path, ec);
  }
  OwnTemporaryFolder(const OwnTemporaryFolder&) = delete;
  OwnTemporaryFolder& operator=(const OwnTemporaryFolder&) = delete;

private:
  std::string m_path;
};

} // namespace

int main(int argc, char** argv)
{
  testing::InitGoogleMock(&argc, argv);
  const OwnTemporaryFolder folder;
  return RUN_ALL_TESTS();
}
