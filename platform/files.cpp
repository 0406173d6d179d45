#include "platform/files.h"

#include <cstdio>
#include <cstdlib>
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

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error)
{
  const std::string tmp = path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    if (error)
      *error = "一時ファイルを作成できませんでした: " + tmp;
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (fsync(fileno(f)) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::remove(tmp.c_str());
    if (error)
      *error = "ファイルを書き込めませんでした: " + path;
    return false;
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    if (error)
      *error = "ファイルを置き換えられませんでした: " + path;
    return false;
  }
  return true;
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
