#include "tools/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"

namespace {

// Answers as the headless interface does, without keeping millions of messages.
class ForgetfulUi : public HeadlessUiServices {
public:
  MsgAnswer ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                        MsgButtons buttons) override
  {
    const MsgAnswer answer = HeadlessUiServices::ShowMessage(caption, text, icon, buttons);
    m_messages.clear();
    return answer;
  }
};

void RemoveDir()
{
  std::error_code ignored;
  std::filesystem::remove_all(FuzzDir(), ignored);
}

} // namespace

const std::string& FuzzDir()
{
  // Never destroyed: the exit handler that removes the folder still reads it.
  static const std::string& dir = *new std::string([] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    std::string pattern = std::string(base) + "/tsr_fuzz_XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::atexit(RemoveDir);
    return pattern + "/";
  }());
  return dir;
}

std::string FuzzWriteFile(const std::string& name, std::string_view bytes)
{
  const std::string path = FuzzDir() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

const std::string& FuzzDataDir()
{
  static const std::string dir = [] {
    const char* env = std::getenv("TESSARUNE_TESTDATA");
    std::string d = env && *env ? env : std::string(TSR_SOURCE_DIR) + "/../shared/data";
    if (d.back() != '/')
      d += '/';
    return std::filesystem::is_directory(d) ? d : std::string();
  }();
  return dir;
}

void FuzzSetUpApp()
{
  static bool done = false;
  if (done)
    return;
  done = true;
  static ForgetfulUi ui;
  SetUi(&ui);
  const std::string app = FuzzDir() + "app/";
  std::filesystem::create_directories(app);
  CTessaruneApp& a = TheApp();
  a.m_szDataDir = app;
  a.m_szEphDir = app;
  a.m_szObsFolder = app;
  a.m_szStationsFile = app + "stations.txt";
  a.m_szDe441File.clear();
  a.m_szDe406File.clear();
  a.m_profile.SetPath(app + "Tessarune.INI");
}

void FuzzCheck(bool condition, const char* what)
{
  if (!condition) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}
