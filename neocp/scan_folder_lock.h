#pragma once
// flock() on one file, never waiting: the scan folder's lock, which one
// instance of the program holds while its scan dialog writes there, and a
// worker's shared hold on its job file, which tells a later parent that the
// worker still runs. The descriptor is close-on-exec, so neither lock
// outlives its process or passes to a worker.
#include <string>

class ScanFileLock {
public:
  ScanFileLock() = default;
  ~ScanFileLock();
  ScanFileLock(const ScanFileLock&) = delete;
  ScanFileLock& operator=(const ScanFileLock&) = delete;

  // 1 taken (exclusive, or shared with other shared holders), 0 another
  // holder stands in the way, -1 the file cannot be opened. create: make the
  // file when it is missing.
  int TryLock(const std::string& path, bool shared, bool create);
  void Unlock();
  bool IsHeld() const { return m_fd >= 0; }

private:
  int m_fd = -1;
};

// True when some process holds a lock on the file (it cannot be taken
// exclusively now); false for a missing file.
bool IsFileLockedByOther(const std::string& path);
