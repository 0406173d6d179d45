#pragma once
// CPU time of the calling thread in seconds: rates taken from it are not
// tilted by other work on the machine.
#include <ctime>

inline double ThreadSeconds()
{
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
