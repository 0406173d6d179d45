#include "platform/files.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/file.h>
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

// A temporary file of WriteFileAtomic: the target's name, ".tmp" and the six
// characters mkstemp would put there.
static bool IsTemporaryName(std::string_view name, std::string_view base)
{
  if (name.size() != base.size() + 10 || name.compare(0, base.size(), base) != 0 ||
      name.compare(base.size(), 4, ".tmp") != 0)
    return false;
  for (char c : name.substr(base.size() + 4))
    if (!std::isalnum(static_cast<unsigned char>(c)))
      return false;
  return true;
}

// A writer holds its temporary file locked from its first byte until the
// rename, so a temporary nobody holds is one whose writer died. Where unnamed
// files are not to be had, a temporary is created with no permissions and
// given them once it is locked: one with none may be a live writer's between
// the two, and goes only when it has been so for seconds.
static void RemoveIfAbandoned(const std::string& path)
{
  struct stat named, held;
  if (lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode))
    return;
  if ((named.st_mode & 07777) == 0) {
    if (std::time(nullptr) - named.st_mtime > 5)
      unlink(path.c_str());
    return;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && held.st_ino == named.st_ino &&
      held.st_dev == named.st_dev)
    unlink(path.c_str());
  close(fd);
}

void RemoveStaleTemporaries(const std::string& path)
{
  const std::string target = FollowLinks(path);
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string("./") : target.substr(0, slash + 1);
  const std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
  DIR* d = opendir(dir.c_str());
  if (!d)
    return;
  std::vector<std::string> stale;
  while (const dirent* e = readdir(d))
    if (IsTemporaryName(e->d_name, base))
      stale.push_back(dir + e->d_name);
  closedir(d);
  for (const std::string& p : stale)
    RemoveIfAbandoned(p);
}

namespace {

// The temporary file of one write, locked while it is written.
struct TempFile {
  int fd = -1;
  std::string name;  // empty while the file has no name
};

std::string RandomTempName(const std::string& target)
{
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(getpid()));
  std::string name = target + ".tmp";
  for (int i = 0; i < 6; ++i)
    name += kAlphabet[rng() % (sizeof kAlphabet - 1)];
  return name;
}

// An unnamed file in the target's folder, locked, where the file system has
// them.
bool OpenUnnamedLocked(const std::string& target, int access, TempFile& tmp)
{
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
  tmp.fd = open(dir.c_str(), O_TMPFILE | access | O_CLOEXEC, 0600);
  if (tmp.fd < 0)
    return false;
  flock(tmp.fd, LOCK_EX);
  return true;
}

// An unnamed file in the target's folder where the file system has them: a
// writer killed before it names its file leaves nothing behind. Else a named
// one, created with no permissions until it is locked.
bool OpenTemp(const std::string& target, bool unnamed, TempFile& tmp)
{
  if (unnamed && OpenUnnamedLocked(target, O_WRONLY, tmp))
    return true;
  tmp.fd = CreateHeldTemporary(target, tmp.name);
  return tmp.fd >= 0;
}

// Gives the unnamed file its temporary name; false when /proc is not there
// to link it through.
bool NameTemp(const std::string& target, TempFile& tmp)
{
  const std::string self = "/proc/self/fd/" + std::to_string(tmp.fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = RandomTempName(target);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      tmp.name = std::move(name);
      return true;
    }
    if (errno != EEXIST)
      return false;
  }
  return false;
}

enum class WriteStep { Done, Failed, Retry };

WriteStep WriteThroughTemp(const std::string& path, const std::string& target, std::string_view bytes, bool unnamed,
                           std::string* error)
{
  TempFile tmp;
  if (!OpenTemp(target, unnamed, tmp)) {
    if (error)
      *error = "一時ファイルを作成できませんでした: " + target;
    return WriteStep::Failed;
  }
  const auto fail = [&](const char* what) {
    if (!tmp.name.empty())
      unlink(tmp.name.c_str());
    close(tmp.fd);
    if (error)
      *error = what + path;
    return WriteStep::Failed;
  };
  struct stat old;
  const mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
  bool ok = fchmod(tmp.fd, mode) == 0;
  ok = WriteAll(tmp.fd, bytes) && ok;
  ok = (fsync(tmp.fd) == 0) && ok;
  if (!ok)
    return fail("ファイルを書き込めませんでした: ");
  if (tmp.name.empty() && !NameTemp(target, tmp)) {
    close(tmp.fd);
    return WriteStep::Retry;
  }
  // The lock is held through the rename: until then the name is a live
  // writer's, never a stale temporary to another writer's clean-up.
  if (std::rename(tmp.name.c_str(), target.c_str()) != 0)
    return fail("ファイルを置き換えられませんでした: ");
  if (close(tmp.fd) != 0) {
    if (error)
      *error = "ファイルを書き込めませんでした: " + path;
    return WriteStep::Failed;
  }
  return WriteStep::Done;
}

} // namespace

int CreateHeldTemporary(const std::string& target, std::string& name)
{
  // Named only once locked, where the file system allows: a writer killed
  // between the create and the lock would leave a file no lock speaks for,
  // which the clean-up can take only when it is old.
  TempFile tmp;
  if (OpenUnnamedLocked(target, O_RDWR, tmp)) {
    if (NameTemp(target, tmp)) {
      name = tmp.name;
      return tmp.fd;
    }
    close(tmp.fd);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = RandomTempName(target);
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0);
    if (fd >= 0) {
      flock(fd, LOCK_EX);
      fchmod(fd, 0600);  // locked: from now on its lock tells whether its writer lives
      return fd;
    }
    if (errno != EEXIST)
      break;
  }
  const int failure = errno;
  name.clear();
  errno = failure;
  return -1;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error)
{
  const std::string target = FollowLinks(path);
  // Temporaries of writers killed before their rename go at the next write.
  RemoveStaleTemporaries(target);
  WriteStep step = WriteThroughTemp(path, target, bytes, true, error);
  if (step == WriteStep::Retry)
    step = WriteThroughTemp(path, target, bytes, false, error);
  if (step != WriteStep::Done)
    return false;
  SyncFolderOf(target);
  return true;
}

namespace {

// Beside a file while a block is appended to it: the file's length before
// the block and after it.
std::string PendingNotePath(const std::string& path)
{
  return path + ".append";
}

// A note without numbers: the file is empty and its next block brings the
// head.
void NoteHeadOwed(const std::string& path)
{
  const int fd = open(PendingNotePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd >= 0)
    close(fd);
}

bool NotePendingBlock(const std::string& path, off_t from, off_t to, bool withHead)
{
  const int fd = open(PendingNotePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  const std::string note = std::to_string(from) + " " + std::to_string(to) + (withHead ? " 1\n" : " 0\n");
  const bool ok = WriteAll(fd, note);
  return (close(fd) == 0) && ok;
}

// A block whose writer was killed before it finished is cut off, so the next
// block starts where the last whole one ended; true when the cut block was
// the file's first, its head with it (the next block then writes the head).
// A note that never got its numbers means the block had not begun; its writer
// was killed while it rewrote the note, which the first block of a new file
// does after creating the file, so an empty file then still wants its head.
bool CutUnfinishedBlock(const std::string& path, int fd)
{
  std::string note;
  if (!ReadWholeFile(PendingNotePath(path), note))
    return false;
  long long from = -1, to = -1;
  int withHead = 0;
  struct stat st;
  bool cut = false;
  const bool numbered = std::sscanf(note.c_str(), "%lld %lld %d", &from, &to, &withHead) == 3;
  if (numbered && from >= 0 && fstat(fd, &st) == 0 && st.st_size != to && st.st_size >= from)
    cut = ftruncate(fd, static_cast<off_t>(from)) == 0;
  unlink(PendingNotePath(path).c_str());
  return (cut && withHead) || !numbered;
}

} // namespace

bool AppendFileBlock(const std::string& path, std::string_view head, std::string_view bytes, std::string* error)
{
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  const bool creating = fd < 0 && errno == ENOENT;
  bool created = false;
  if (creating) {
    // Noted before the file exists: a writer killed between creating the file
    // and writing its head leaves the head to the next block.
    NotePendingBlock(path, 0, static_cast<off_t>(head.size() + bytes.size()), true);
    fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST)
      fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) {
    const int failure = errno;
    if (creating)
      unlink(PendingNotePath(path).c_str());
    if (error)
      *error = std::string(creating ? "ファイルを作成できませんでした" : "ファイルを開けませんでした") + " (" +
               std::strerror(failure) + "): " + path;
    return false;
  }
  flock(fd, LOCK_EX);
  const bool headCut = CutUnfinishedBlock(path, fd);
  struct stat before;
  const off_t length = fstat(fd, &before) == 0 ? before.st_size : -1;
  const bool withHead = (created || headCut) && length == 0;
  const off_t end = length + static_cast<off_t>((withHead ? head.size() : 0) + bytes.size());
  const bool noted = length >= 0 && NotePendingBlock(path, length, end, withHead);
  bool ok = (!withHead || WriteAll(fd, head)) && WriteAll(fd, bytes);
  int failure = ok ? 0 : errno;
  if (!ok && length >= 0)
    (void)!ftruncate(fd, length);
  if (!ok && created && length == 0)
    unlink(path.c_str());
  if (noted)
    unlink(PendingNotePath(path).c_str());
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (!ok && error)
    *error = std::string("ファイルに書き込めませんでした (") + (failure ? std::strerror(failure) : "short write") +
             "): " + path;
  return ok;
}

// A note of AppendFileBlock's making ("from to head" or nothing), not a file
// of the user's that happens to end in ".append".
static bool IsPendingNote(const std::string& path)
{
  std::string note;
  if (!ReadWholeFile(path, note) || note.size() > 64)
    return false;
  long long from = 0, to = 0;
  int head = 0, used = 0;
  return note.empty() ||
         (std::sscanf(note.c_str(), "%lld %lld %d\n%n", &from, &to, &head, &used) == 3 &&
          static_cast<size_t>(used) == note.size());
}

bool RepairUnfinishedBlock(const std::string& path)
{
  if (!FileExists(PendingNotePath(path)))
    return false;
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0)
    return false;  // no file yet: its creator's first block is still to come
  // Under the appenders' lock, so that a live append is never taken for a
  // dead one: its note is gone by the time the lock is ours.
  flock(fd, LOCK_EX);
  const bool noteLeft = FileExists(PendingNotePath(path));
  const bool headOwed = noteLeft && CutUnfinishedBlock(path, fd);
  struct stat st;
  // A first block cut with its head leaves an empty file that still wants
  // its head; an unnumbered note says so to the next append.
  if (headOwed && fstat(fd, &st) == 0 && st.st_size == 0)
    NoteHeadOwed(path);
  close(fd);
  return noteLeft;
}

void RepairUnfinishedAppends(const std::string& folder)
{
  static constexpr std::string_view kNote = ".append";
  const std::string dir = folder.empty() ? std::string("./") : WithSlash(folder);
  std::vector<std::string> logs;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string_view name = e->d_name;
      if (name.size() > kNote.size() && name.substr(name.size() - kNote.size()) == kNote &&
          IsPendingNote(dir + std::string(name)))
        logs.push_back(dir + std::string(name.substr(0, name.size() - kNote.size())));
    }
    closedir(d);
  }
  for (const std::string& log : logs)
    RepairUnfinishedBlock(log);
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
  // Through a temporary file: a full disk must not cost the old copy (the
  // station file's backup is the one copy a bad update can be undone from).
  std::string bytes;
  return ReadWholeFile(from, bytes) && WriteFileAtomic(to, bytes);
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
