#include "tests/data/test_http_server.h"

#include <cstdio>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string ScriptPath()
{
  std::string here = __FILE__;
  return here.substr(0, here.rfind('/') + 1) + "servers/http_test_server.py";
}

} // namespace

LocalHttpServer::LocalHttpServer(const std::string& rootDir)
{
  int fds[2];
  if (pipe(fds) != 0)
    return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const std::string script = ScriptPath();
  const char* argv[] = {"python3", script.c_str(), rootDir.c_str(), nullptr};
  // The loopback server must be reached directly, whatever proxy the
  // environment names.
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  if (posix_spawnp(&m_pid, "python3", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
    m_pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (m_pid > 0) {
    FILE* in = fdopen(fds[0], "r");
    char line[64] = {};
    if (in && std::fgets(line, sizeof line, in) && std::strncmp(line, "PORT ", 5) == 0)
      m_port = std::atoi(line + 5);
    if (in)
      std::fclose(in);
    else
      close(fds[0]);
  } else {
    close(fds[0]);
  }
}

LocalHttpServer::~LocalHttpServer()
{
  if (m_pid > 0) {
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
  }
}

std::string LocalHttpServer::Url(const std::string& path) const
{
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

bool WriteBytesFile(const std::string& path, const std::string& bytes)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}
