#pragma once
// A lock shared by every process of the program, named like the Windows named
// mutex it stands for: flock() on "<temporary folder>/<name>.lock".
#include <string>

class NamedLock {
public:
  NamedLock() = default;
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  // Waits up to timeoutMs for the lock; true when held.
  bool Acquire(const std::string& name, int timeoutMs);
  void Release();
  bool IsHeld() const { return m_fd >= 0; }

private:
  int m_fd = -1;
};
