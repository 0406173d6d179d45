#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/files.h"

FileLock::~FileLock()
{
  Unlock();
}

int FileLock::TryLock(const std::string& path, bool shared, bool create)
{
  Unlock();
  const int fd = open(path.c_str(), (create ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0666);
  if (fd < 0)
    return -1;
  int rc;
  do {
    rc = flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int busy = errno == EWOULDBLOCK;
    close(fd);
    return busy ? 0 : -1;
  }
  m_fd = fd;
  return 1;
}

void FileLock::Unlock()
{
  if (m_fd >= 0) {
    close(m_fd);  // closing the only descriptor releases the lock
    m_fd = -1;
  }
}

bool IsFileLockedByOther(const std::string& path)
{
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return locked;
}

bool NamedLock::Acquire(const std::string& name, int timeoutMs)
{
  const std::string path = TempFolder() + name + ".lock";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int taken = m_lock.TryLock(path, false, true);
    if (taken != 0)
      return taken > 0;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}
