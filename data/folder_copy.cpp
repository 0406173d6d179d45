#include "data/folder_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

enum class EntryKind { Other, File, Folder };

std::string Join(const std::string& folder, const std::string& name)
{
  if (!folder.empty() && folder.back() == '/')
    return folder + name;
  return folder + "/" + name;
}

// A folder only when it is one itself, not through a link; a file when it
// is a regular file or a link to one. Sockets, pipes and devices are neither.
EntryKind KindOf(const std::string& path)
{
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0)
    return EntryKind::Other;
  if (S_ISDIR(st.st_mode))
    return EntryKind::Folder;
  if (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) != 0)
    return EntryKind::Other;
  return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

std::vector<std::string> ListNames(const std::string& folder)
{
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir)
    return names;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  closedir(dir);
  return names;
}

// Copies one file to a name that must not exist yet (checked by the creation
// itself, so a file that appears meanwhile is not replaced either). The copy
// keeps the source's modification time; a partial copy is removed.
bool CopyNewFile(const std::string& from, const std::string& to)
{
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0)
    return false;
  struct stat st {};
  if (fstat(in, &st) != 0) {
    close(in);
    return false;
  }
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    close(in);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  while (ok) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < got;) {
      const ssize_t put = write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR)
        continue;
      ok = put > 0;
      done += put > 0 ? put : 0;
    }
  }
  if (ok) {
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
  }
  ok = close(out) == 0 && ok;
  close(in);
  if (!ok)
    unlink(to.c_str());
  return ok;
}

std::string RealPath(const std::string& path)
{
  char* real = realpath(path.c_str(), nullptr);
  std::string out = real ? real : "";
  free(real);
  return out;
}

// targetRoot: the real path of the top target, which is not copied into
// itself when it lies inside the source.
int CopyTree(const std::string& source, const std::string& target, const std::string& targetRoot)
{
  mkdir(target.c_str(), 0777);
  int copied = 0;
  for (const std::string& name : ListNames(source)) {
    const std::string from = Join(source, name);
    const std::string to = Join(target, name);
    switch (KindOf(from)) {
    case EntryKind::Folder:
      if (RealPath(from) != targetRoot)
        copied += CopyTree(from, to, targetRoot);
      break;
    case EntryKind::File: copied += CopyNewFile(from, to) ? 1 : 0; break;
    case EntryKind::Other: break;
    }
  }
  return copied;
}

} // namespace

namespace CTessaruneLib {

int CopyFolderNoOverwrite(const std::string& strSource, const std::string& strTarget)
{
  mkdir(strTarget.c_str(), 0777);
  return CopyTree(strSource, strTarget, RealPath(strTarget));
}

int CountFilesInFolder(const std::string& strFolder)
{
  int count = 0;
  for (const std::string& name : ListNames(strFolder)) {
    const std::string path = Join(strFolder, name);
    switch (KindOf(path)) {
    case EntryKind::Folder: count += CountFilesInFolder(path); break;
    case EntryKind::File: ++count; break;
    case EntryKind::Other: break;
    }
  }
  return count;
}

} // namespace CTessaruneLib
