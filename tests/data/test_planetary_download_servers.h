#pragma once
// Test helper: a loopback server started from one of the scripts under
// tests/data/servers/ for the life of the object. The script takes the root
// folder as its argument and prints "PORT <n>" once it listens.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

class ScriptServer {
public:
  // python: the interpreter ("python3", or "/usr/bin/python3" where Debian's
  // own modules are needed); script: a file name under tests/data/servers/.
  ScriptServer(const char* python, const char* script, const std::string& root)
  {
    int fds[2];
    if (pipe(fds) != 0)
      return;
    const std::string path = ServersFolder() + script;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const char* argv[] = {python, path.c_str(), root.c_str(), nullptr};
    // The loopback server is reached directly, whatever proxy the environment names.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    if (posix_spawnp(&m_pid, python, &actions, nullptr, const_cast<char**>(argv), environ) != 0)
      m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    FILE* in = fdopen(fds[0], "r");
    char line[64] = {};
    if (m_pid > 0 && in && std::fgets(line, sizeof line, in) && std::strncmp(line, "PORT ", 5) == 0)
      m_port = std::atoi(line + 5);
    if (in)
      std::fclose(in);
    else
      close(fds[0]);
  }
  ~ScriptServer()
  {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
  }
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

  int Port() const { return m_port; }
  bool Running() const { return m_port > 0; }
  // "http://127.0.0.1:<port>/" followed by name.
  std::string Url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(m_port) + "/" + name; }

private:
  static std::string ServersFolder()
  {
    const std::string here = __FILE__;
    return here.substr(0, here.rfind('/') + 1) + "servers/";
  }

  pid_t m_pid = -1;
  int m_port = 0;
};
