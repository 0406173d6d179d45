// Child processes through posix_spawn: exit codes, signals as 128 + signal,
// no inherited descriptors, the raised nice value, the SIGTERM-then-SIGKILL
// end that always reaps, and the wait that returns when one ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/child_process.h"

namespace {

int Spawn(const std::string& script)
{
  int pid = -1, error = 0;
  EXPECT_TRUE(SpawnBackgroundProcess("/bin/sh", {"sh", "-c", script}, 10, pid, error)) << error;
  return pid;
}

unsigned long WaitEnd(int pid)
{
  unsigned long code = 999;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!ChildProcessEnded(pid, code) && std::chrono::steady_clock::now() < until)
    usleep(5000);
  return code;
}

bool IsZombieOrGone(int pid)
{
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG) != 0;  // ECHILD: reaped
}

} // namespace

TEST(ChildProcess, ExitCodesSignalsDescriptorsAndNice)
{
  EXPECT_EQ(WaitEnd(Spawn("exit 7")), 7u);
  EXPECT_EQ(WaitEnd(Spawn("kill -KILL $$")), 128u + 9u);

  // A descriptor of the parent without close-on-exec stays behind.
  const int leaked = open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 3);
  EXPECT_EQ(WaitEnd(Spawn("[ -e /proc/$$/fd/" + std::to_string(leaked) + " ] && exit 5; exit 6")), 6u);
  close(leaked);

  // The nice value, read after the parent has lowered the priority.
  const int own = getpriority(PRIO_PROCESS, 0);
  const unsigned long nice = WaitEnd(Spawn("sleep 0.3; exit $(cut -d' ' -f19 /proc/$$/stat)"));
  EXPECT_EQ(static_cast<int>(nice), std::min(own + 10, 19));

  int pid = -1, error = 0;
  EXPECT_FALSE(SpawnBackgroundProcess("/no/such/program", {"x"}, 10, pid, error));
  EXPECT_NE(error, 0);
}

TEST(ChildProcess, EndingAndWaiting)
{
  // SIGTERM is enough for a plain sleeper.
  const int sleeper = Spawn("exec sleep 30");
  EXPECT_EQ(EndChildProcess(sleeper, 5000), 128u + 15u);
  EXPECT_TRUE(IsZombieOrGone(sleeper));

  // One that ignores SIGTERM gets SIGKILL after the grace time.
  const int stubborn = Spawn("trap '' TERM; sleep 30 & wait; sleep 30");
  usleep(200000);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(EndChildProcess(stubborn, 300), 128u + 9u);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
  EXPECT_TRUE(IsZombieOrGone(stubborn));

  // The wait returns when one of two ends, long before its limit, and
  // leaves the ended one to be reaped.
  const int quick = Spawn("sleep 0.2");
  const int slow = Spawn("exec sleep 30");
  int idles = 0;
  const auto t1 = std::chrono::steady_clock::now();
  WaitForAnyChildProcess({slow, quick}, 5000, [&idles] { ++idles; });
  EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::seconds(3));
  EXPECT_GT(idles, 0);
  unsigned long code = 99;
  EXPECT_TRUE(ChildProcessEnded(quick, code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(ChildProcessEnded(slow, code));
  EndChildProcess(slow, 1000);
  // Nothing ends: the wait gives up after its time.
  const auto t2 = std::chrono::steady_clock::now();
  WaitForAnyChildProcess({}, 100, nullptr);
  EXPECT_GE(std::chrono::steady_clock::now() - t2, std::chrono::milliseconds(100));
}
