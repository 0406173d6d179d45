#include "platform/ini_file.h"

#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/fixed_field.h"
#include "platform/text_util.h"

namespace {


// The file's lines without their line ends; empty when it cannot be read.
// False when the file exists but cannot be read or decoded: a write must then
// leave it alone rather than replace every setting in it.
bool ReadLines(const std::string& path, std::vector<std::string>& lines)
{
  lines.clear();
  std::string bytes, text;
  if (path.empty() || !FileExists(path))
    return true;
  if (!ReadWholeFile(path, bytes) || !DecodeTextBytes(bytes, text))
    return false;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return true;
}

// "[name]" → name; false for other lines.
bool SectionName(const std::string& line, std::string& name)
{
  const std::string_view t = TrimSpace(line);
  if (t.size() < 2 || t.front() != '[')
    return false;
  const size_t close = t.find(']');
  if (close == std::string::npos)
    return false;
  name = TrimSpace(t.substr(1, close - 1));
  return true;
}

bool KeyValue(const std::string& line, std::string& key, std::string& value)
{
  size_t eq = line.find('=');
  if (eq == std::string::npos)
    return false;
  key = TrimSpace(std::string_view(line).substr(0, eq));
  value = TrimSpace(std::string_view(line).substr(eq + 1));
  return true;
}

// Index range [begin, end) of the section's body lines; begin = -1 when absent.
void FindSection(const std::vector<std::string>& lines, const std::string& section, long& header, size_t& end)
{
  header = -1;
  end = lines.size();
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!SectionName(lines[i], name))
      continue;
    if (header >= 0) {
      end = i;
      return;
    }
    if (EqualsNoCaseAscii(name, section))
      header = static_cast<long>(i);
  }
}

bool Lookup(const std::string& path, const std::string& section, const std::string& key, std::string& value)
{
  std::vector<std::string> lines;
  ReadLines(path, lines);
  long header;
  size_t end;
  FindSection(lines, section, header, end);
  if (header < 0)
    return false;
  std::string k, v;
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    if (KeyValue(lines[i], k, v) && EqualsNoCaseAscii(k, key)) {
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      value = v;
      return true;
    }
  }
  return false;
}

// Holds the settings file itself locked (flock) over one read-modify-write,
// so that two instances writing at once merge their keys instead of each
// rewriting the file it read before the other's write. A write replaces the
// file by a rename, so the lock is taken again when the name has meanwhile
// come to stand for a newer file. A holder that never lets go (a stopped
// process) is waited for a few seconds, then the write goes ahead unlocked.
class SettingsFileLock {
public:
  explicit SettingsFileLock(const std::string& path)
  {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      m_fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
      if (m_fd < 0)
        return;  // the write itself will fail and say so
      while (flock(m_fd, LOCK_EX | LOCK_NB) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      struct stat held, named;
      if (fstat(m_fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
          held.st_dev == named.st_dev)
        return;
      close(m_fd);
      m_fd = -1;
    }
  }
  ~SettingsFileLock()
  {
    if (m_fd >= 0)
      close(m_fd);
  }
  SettingsFileLock(const SettingsFileLock&) = delete;
  SettingsFileLock& operator=(const SettingsFileLock&) = delete;

private:
  int m_fd = -1;
};

} // namespace

std::string IniFile::GetString(const std::string& section, const std::string& key, const std::string& def) const
{
  std::string value;
  if (Lookup(m_path, section, key, value))
    return value;
  std::string d = def;
  while (!d.empty() && d.back() == ' ')
    d.pop_back();
  return d;
}

int IniFile::GetInt(const std::string& section, const std::string& key, int def) const
{
  std::string value;
  if (!Lookup(m_path, section, key, value) || value.empty())
    return def;
  return static_cast<int>(ReadInteger(value));
}

bool IniFile::WriteString(const std::string& section, const char* key, const char* value, std::string* error)
{
  if (m_path.empty())
    return false;
  // Deleting from a file that is not there changes nothing (and must not
  // create it for the lock).
  if ((key == nullptr || value == nullptr) && !FileExists(m_path))
    return true;
  const SettingsFileLock lock(m_path);
  std::vector<std::string> lines;
  if (!ReadLines(m_path, lines)) {
    if (error)
      *error = "設定ファイルを読めませんでした: " + m_path;
    return false;
  }
  long header;
  size_t end;
  FindSection(lines, section, header, end);
  if (key == nullptr) {
    if (header < 0)
      return true;
    lines.erase(lines.begin() + header, lines.begin() + static_cast<long>(end));
  } else {
    const std::string entry = std::string(key) + "=" + (value ? value : "");
    bool done = false;
    if (header >= 0) {
      std::string k, v;
      for (size_t i = static_cast<size_t>(header) + 1; i < end && !done; ++i) {
        if (KeyValue(lines[i], k, v) && EqualsNoCaseAscii(k, key)) {
          if (value)
            lines[i] = entry;
          else
            lines.erase(lines.begin() + static_cast<long>(i));
          done = true;
        }
      }
      if (!done && value) {
        // After the section's last non-blank line.
        size_t at = end;
        while (at > static_cast<size_t>(header) + 1 && TrimSpace(lines[at - 1]).empty())
          --at;
        lines.insert(lines.begin() + static_cast<long>(at), entry);
      }
    } else if (value) {
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    } else {
      return true;
    }
  }
  std::string text;
  for (const std::string& l : lines)
    text += l + "\r\n";
  return WriteFileAtomic(m_path, text, error);
}

bool IniFile::WriteInt(const std::string& section, const std::string& key, int value, std::string* error)
{
  const std::string v = std::to_string(value);
  return WriteString(section, key.c_str(), v.c_str(), error);
}
