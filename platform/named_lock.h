#pragma once
// Locks shared by every process of the program, all flock() on a file.
#include <string>

// The lock of one file, never waiting: the NEOCP scan folder's, which one
// instance of the program holds while its scan dialog writes there; a
// worker's shared hold on its job file, which tells a later parent that the
// worker still runs; and the named lock below. The descriptor is
// close-on-exec, so no lock outlives its process or passes to a child.
class FileLock {
public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

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

// The lock named like the Windows named mutex it stands for: the FileLock of
// "<temporary folder>/<name>.lock".
class NamedLock {
public:
  // Waits up to timeoutMs for the lock; true when held.
  bool Acquire(const std::string& name, int timeoutMs);
  void Release() { m_lock.Unlock(); }
  bool IsHeld() const { return m_lock.IsHeld(); }

private:
  FileLock m_lock;
};
