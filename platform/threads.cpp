#include "platform/threads.h"

#include <linux/futex.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <thread>

int AvailableProcessors()
{
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n >= 1)
      return n;
  }
  const unsigned n = std::thread::hardware_concurrency();
  return n < 1 ? 1 : static_cast<int>(n);
}

double ThreadCpuSeconds()
{
  timespec ts{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0)
    return -1.0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool RaiseThreadPriority()
{
  // On Linux a thread id addresses that thread alone; a nice value below the
  // current one needs CAP_SYS_NICE, so ordinary users keep theirs.
  const id_t tid = static_cast<id_t>(syscall(SYS_gettid));
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, tid);
  if (errno != 0)
    return false;
  return setpriority(PRIO_PROCESS, tid, current - 1) == 0;
}

void SpinPause()
{
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

void WaitOnWord(const int* word, int expected, int timeoutMs)
{
  timespec limit{};
  limit.tv_sec = timeoutMs / 1000;
  limit.tv_nsec = static_cast<long>(timeoutMs % 1000) * 1000000L;
  syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, &limit, nullptr, 0);
}

void WakeAllOnWord(const int* word)
{
  syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}
