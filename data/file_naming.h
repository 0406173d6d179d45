#pragma once
// File names of the file dialogs, without a window: the observation-file
// filters, the "_EX" suffix that marks the program's own solution files, and
// the default extension of the save dialog.
#include <string>
#include <string_view>
#include <vector>

// One entry of a file dialog's filter list.
struct FileFilter {
  const char* display;  // shown in the dialog
  const char* pattern;  // patterns separated by ';'
};

// The filters of the observation-file dialog, the first selected.
const std::vector<FileFilter>& ObservationFileFilters();
// Filters in the form "display|pattern|display|pattern" of wxWidgets' dialogs.
std::string FileFilterWildcard(const std::vector<FileFilter>& filters);

// The "_EX" rule of the save dialog, applied to a file name (no folder):
// trimmed and split at its last '.' (a '.' at the first position or none:
// all of it is the base), the base gets "_EX" (compared without regard to
// case) when solutionFile is on, and loses it otherwise when it has at least
// four characters. *changed (when given) says whether the base changed; an
// unchanged or empty name is returned as given.
std::string AdjustSolutionFileName(std::string_view name, bool solutionFile, bool* changed = nullptr);
// The same rule on the file-name part of a path; the folders are left alone.
std::string AdjustSolutionFilePath(std::string_view path, bool solutionFile, bool* changed = nullptr);

// path with "." + extension appended when its file name has no extension.
std::string WithDefaultExtension(std::string_view path, std::string_view extension);
