#include "platform/named_lock.h"

#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "platform/files.h"

NamedLock::~NamedLock()
{
  Release();
}

bool NamedLock::Acquire(const std::string& name, int timeoutMs)
{
  Release();
  const std::string path = TempFolder() + name + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      m_fd = fd;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void NamedLock::Release()
{
  if (m_fd >= 0) {
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
  }
}
