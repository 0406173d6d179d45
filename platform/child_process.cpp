#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace {

constexpr int kPollMs = 10;

unsigned long ExitCodeOf(int status)
{
  if (WIFEXITED(status))
    return static_cast<unsigned long>(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return 128ul + static_cast<unsigned long>(WTERMSIG(status));
  return 1;
}

void SleepMs(int ms)
{
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

bool SpawnBackgroundProcess(const std::string& exe, const std::vector<std::string>& argv, int niceIncrement,
                            int& pid, int& error)
{
  pid = -1;
  error = 0;
  posix_spawn_file_actions_t actions;
  if ((error = posix_spawn_file_actions_init(&actions)) != 0)
    return false;
  for (int fd = 0; fd < 3 && error == 0; ++fd)
    error = posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  if (error == 0)
    error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t child = -1;
  if (error == 0)
    error = posix_spawn(&child, exe.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0)
    return false;
  pid = child;
  // The child may run a moment at the parent's priority; it is lowered
  // before it has done any real work.
  const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(child));
  setpriority(PRIO_PROCESS, static_cast<id_t>(child), (current < 0 ? 0 : current) + niceIncrement);
  return true;
}

bool ChildProcessEnded(int pid, unsigned long& exitCode)
{
  int status = 0;
  const pid_t r = waitpid(pid, &status, WNOHANG);
  if (r == 0)
    return false;
  exitCode = r == pid ? ExitCodeOf(status) : 1;  // -1: not our child any more
  return true;
}

unsigned long EndChildProcess(int pid, int graceMs)
{
  unsigned long code = 1;
  if (ChildProcessEnded(pid, code))
    return code;
  kill(pid, SIGTERM);
  for (int waited = 0; waited < graceMs; waited += kPollMs) {
    if (ChildProcessEnded(pid, code))
      return code;
    SleepMs(kPollMs);
  }
  kill(pid, SIGKILL);
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  return r == pid ? ExitCodeOf(status) : 1;
}

void WaitForAnyChildProcess(const std::vector<int>& pids, int ms, const std::function<void()>& idle)
{
  for (int waited = 0;; waited += kPollMs) {
    for (int pid : pids) {
      siginfo_t info{};
      if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0)
        return;
    }
    if (waited >= ms)
      return;
    if (idle)
      idle();
    SleepMs(kPollMs);
  }
}
