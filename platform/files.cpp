#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    return false;
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    out.append(buf, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (ok)
    bytes = std::move(out);
  return ok;
}

// A link (or a chain of them) stands for its final target: the write replaces
// the target and keeps the link. A dangling link names the file to create.
static std::string FollowLinks(const std::string& path)
{
  std::string p = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
      return p;
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
    ssize_t n = readlink(p.c_str(), buf.data(), buf.size() - 1);
    if (n <= 0)
      return p;
    std::string to(buf.data(), static_cast<size_t>(n));
    if (to.front() != '/') {
      size_t slash = p.rfind('/');
      to = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + to;
    }
    p = to;
  }
  return p;
}

// The mode a new file gets from open(0666): the process's umask, read without
// changing it (umask() would race with other threads).
static mode_t NewFileMode()
{
  mode_t mask = 022;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::strncmp(line, "Umask:", 6) == 0) {
        mask = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
        break;
      }
    std::fclose(f);
  }
  return 0666 & ~mask;
}

static bool WriteAll(int fd, std::string_view bytes)
{
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

static void SyncFolderOf(const std::string& path)
{
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error)
{
  const std::string target = FollowLinks(path);
  // Each writer has its own temporary file beside the target, so two writers of
  // one path never share one and the rename stays within one file system.
  std::string tmp = target + ".tmpXXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    if (error)
      *error = "一時ファイルを作成できませんでした: " + target;
    return false;
  }
  struct stat old;
  const mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
  bool ok = fchmod(fd, mode) == 0;
  ok = WriteAll(fd, bytes) && ok;
  ok = (fsync(fd) == 0) && ok;
  ok = (close(fd) == 0) && ok;
  if (!ok) {
    unlink(tmp.c_str());
    if (error)
      *error = "ファイルを書き込めませんでした: " + path;
    return false;
  }
  if (std::rename(tmp.c_str(), target.c_str()) != 0) {
    unlink(tmp.c_str());
    if (error)
      *error = "ファイルを置き換えられませんでした: " + path;
    return false;
  }
  SyncFolderOf(target);
  return true;
}

bool AppendFileBlock(const std::string& path, std::string_view head, std::string_view bytes, std::string* error)
{
  bool created = true;
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) {
    const int failure = errno;
    if (error)
      *error = std::string(created ? "ファイルを作成できませんでした" : "ファイルを開けませんでした") + " (" +
               std::strerror(failure) + "): " + path;
    return false;
  }
  struct stat before;
  const off_t length = fstat(fd, &before) == 0 ? before.st_size : -1;
  bool ok = (!created || WriteAll(fd, head)) && WriteAll(fd, bytes);
  int failure = ok ? 0 : errno;
  if (!ok && !created && length >= 0)
    (void)!ftruncate(fd, length);
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (!ok) {
    if (created)
      unlink(path.c_str());
    if (error)
      *error = std::string("ファイルに書き込めませんでした (") + (failure ? std::strerror(failure) : "short write") +
               "): " + path;
  }
  return ok;
}

bool FileExists(const std::string& path)
{
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path)
{
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& path)
{
  if (path.empty())
    return false;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  if (mkdir(p.c_str(), 0777) == 0)
    return true;
  return FolderExists(p);
}

bool CopyWholeFile(const std::string& from, const std::string& to)
{
  std::string bytes;
  if (!ReadWholeFile(from, bytes))
    return false;
  std::FILE* f = std::fopen(to.c_str(), "wb");
  if (!f)
    return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok)
    std::remove(to.c_str());
  return ok;
}

std::string WithSlash(std::string path)
{
  if (!path.empty() && path.back() != '/')
    path += '/';
  return path;
}

std::string ToSlashes(std::string path)
{
  for (char& c : path)
    if (c == '\\')
      c = '/';
  return path;
}

static std::string HomeFolder()
{
  const char* home = std::getenv("HOME");
  return home && *home ? WithSlash(home) : std::string();
}

static std::string EnvFolder(const char* name)
{
  const char* v = std::getenv(name);
  return v && *v == '/' ? WithSlash(v) : std::string();
}

std::string DocumentsFolder()
{
  std::string d = EnvFolder("XDG_DOCUMENTS_DIR");
  if (!d.empty())
    return d;
  std::string home = HomeFolder();
  return home.empty() ? home : home + "Documents/";
}

std::string LocalAppDataFolder()
{
  std::string d = EnvFolder("XDG_DATA_HOME");
  if (!d.empty())
    return d;
  std::string home = HomeFolder();
  return home.empty() ? home : home + ".local/share/";
}

std::string TempFolder()
{
  std::string d = EnvFolder("TMPDIR");
  return d.empty() ? std::string("/tmp/") : d;
}

std::string ExecutablePath()
{
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0)
    return {};
  return std::string(buf.data(), static_cast<size_t>(n));
}
