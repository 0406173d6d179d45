#pragma once
// Child processes of this program (the scan's workers): started detached
// from every descriptor of the parent, below normal priority, polled without
// blocking and always reaped.
#include <functional>
#include <string>
#include <vector>

// Starts exe with argv (argv[0] included): standard input, output and error
// on /dev/null, no other descriptor inherited, the nice value raised by
// niceIncrement. True with the process id; false with errno's value.
bool SpawnBackgroundProcess(const std::string& exe, const std::vector<std::string>& argv, int niceIncrement,
                            int& pid, int& error);
// True once the process has ended (it is reaped then), with its exit code;
// a signal gives 128 + the signal's number.
bool ChildProcessEnded(int pid, unsigned long& exitCode);
// Ends a running process: SIGTERM, up to graceMs for it to go, then
// SIGKILL. Always reaped; the exit code.
unsigned long EndChildProcess(int pid, int graceMs);
// Waits up to ms until one of the processes has ended (it is not reaped),
// calling idle about every 10 ms.
void WaitForAnyChildProcess(const std::vector<int>& pids, int ms, const std::function<void()>& idle);
