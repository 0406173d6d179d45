#include "data/file_naming.h"

namespace {

bool IsSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char Upper(char c)
{
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EndsWithExNoCase(std::string_view base)
{
  const std::string_view tail = base.size() < 4 ? base : base.substr(base.size() - 3);
  return tail.size() == 3 && tail[0] == '_' && Upper(tail[1]) == 'E' && Upper(tail[2]) == 'X';
}

// Where the file name of a path begins.
size_t FileNameStart(std::string_view path)
{
  const size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

} // namespace

const std::vector<FileFilter>& ObservationFileFilters()
{
  static const std::vector<FileFilter> kFilters = {
      {"観測ファイル(*.obs;*.txt;*.psv;*.xml)", "*.obs;*.txt;*.psv;*.xml"},
      {"ADES形式(*.psv;*.xml)", "*.psv;*.xml"},
      {"(*.obs)", "*.obs"},
      {"(*.txt)", "*.txt"},
      {"(*.*)", "*.*"},
  };
  return kFilters;
}

std::string FileFilterWildcard(const std::vector<FileFilter>& filters)
{
  std::string out;
  for (const FileFilter& f : filters) {
    if (!out.empty())
      out += '|';
    out += f.display;
    out += '|';
    out += f.pattern;
  }
  return out;
}

std::string AdjustSolutionFileName(std::string_view name, bool solutionFile, bool* changed)
{
  if (changed)
    *changed = false;
  size_t b = 0, e = name.size();
  while (b < e && IsSpace(name[b]))
    ++b;
  while (e > b && IsSpace(name[e - 1]))
    --e;
  const std::string_view trimmed = name.substr(b, e - b);
  if (trimmed.empty())
    return std::string(name);

  const size_t dot = trimmed.rfind('.');
  const bool hasExt = dot != std::string_view::npos && dot > 0;
  std::string base(hasExt ? trimmed.substr(0, dot) : trimmed);
  const std::string_view ext = hasExt ? trimmed.substr(dot) : std::string_view();

  const bool hasEx = EndsWithExNoCase(base);
  if (solutionFile && !hasEx)
    base += "_EX";
  else if (!solutionFile && hasEx && base.size() >= 4)
    base.resize(base.size() - 3);
  else
    return std::string(name);
  if (changed)
    *changed = true;
  return base + std::string(ext);
}

std::string AdjustSolutionFilePath(std::string_view path, bool solutionFile, bool* changed)
{
  const size_t start = FileNameStart(path);
  bool nameChanged = false;
  const std::string name = AdjustSolutionFileName(path.substr(start), solutionFile, &nameChanged);
  if (changed)
    *changed = nameChanged;
  return nameChanged ? std::string(path.substr(0, start)) + name : std::string(path);
}

std::string WithDefaultExtension(std::string_view path, std::string_view extension)
{
  const std::string_view name = path.substr(FileNameStart(path));
  const size_t dot = name.rfind('.');
  if (name.empty() || (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()))
    return std::string(path);
  std::string out(path);
  if (out.back() != '.')
    out += '.';
  out += extension;
  return out;
}
