#pragma once
// What the parallel integration needs of the operating system's threads:
// the processors this process may run on, the CPU time of the calling
// thread, a priority raise, a spin-wait hint, and waits on a 32-bit word
// with a time limit (futex), woken all at once.

// Processors this process may run on (its affinity mask; at least 1).
int AvailableProcessors();

// CPU seconds (user + system) the calling thread has used; -1 when unknown.
double ThreadCpuSeconds();

// Raises the calling thread's priority above normal where the system allows;
// false when it refused (the thread keeps its priority).
bool RaiseThreadPriority();

// The processor's pause hint inside a spin loop.
void SpinPause();

// Sleeps while *word still holds expected, at most timeoutMs; it may return
// early (a wake, a signal, or the word already changed). word must be read
// and written only atomically (std::atomic_ref) by every thread.
void WaitOnWord(const int* word, int expected, int timeoutMs);
// Wakes every thread sleeping in WaitOnWord on this word.
void WakeAllOnWord(const int* word);
