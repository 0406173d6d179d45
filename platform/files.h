#pragma once
// Files and folders. Paths use "/"; a folder path ends in "/".
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// An open C file that closes itself.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Whole-file read; false when the file cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Writes bytes to a temporary file of its own beside path (fsync'd) and renames
// it over path, so that a failed write leaves the old file whole and two
// writers of one path each leave a whole file. The file keeps its mode; a
// symbolic link is kept and its target replaced. False (and the old file
// untouched, no temporary left) on any failure; *error then holds a one-line
// reason in Japanese when given.
bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error = nullptr);
// Removes the temporary files that writers of path killed before their rename
// left beside it (WriteFileAtomic does so at each write); a temporary that a
// live writer holds is kept.
void RemoveStaleTemporaries(const std::string& path);
// Creates a temporary of WriteFileAtomic's kind beside target for a writer
// that fills and renames it itself: the descriptor (read-write, mode 0600)
// holds the lock that keeps RemoveStaleTemporaries away until it is closed.
// -1 (errno set, name empty) when none can be made.
int CreateHeldTemporary(const std::string& target, std::string& name);

// Appends one block to a file in a single open-write-close: head first when
// this call creates the file. A block that cannot be written whole is taken
// back (the file keeps its old length; a file this call created is removed),
// so a file never ends in part of a block. A writer killed mid-block leaves
// its start length in path + ".append", and the next append cuts the part
// block off first, so the file always reads block by block. Appenders of one
// file take turns (flock). False on failure; *error then holds a one-line
// reason in Japanese when given.
bool AppendFileBlock(const std::string& path, std::string_view head, std::string_view bytes,
                     std::string* error = nullptr);
// Cuts off the part block a killed AppendFileBlock left in path, as its next
// append would, for a file that may never be appended to again (a session's
// operation log); true when path had a note of an unfinished block.
bool RepairUnfinishedBlock(const std::string& path);
// RepairUnfinishedBlock for every file of folder that has such a note.
void RepairUnfinishedAppends(const std::string& folder);

bool FileExists(const std::string& path);    // a regular file (or a link to one)
bool FolderExists(const std::string& path);  // a directory
// Creates one folder level; true when it exists afterwards.
bool CreateFolder(const std::string& path);
// Copies a file through WriteFileAtomic; false when it fails, and the old
// target is then untouched.
bool CopyWholeFile(const std::string& from, const std::string& to);

// Appends "/" when missing (an empty path stays empty).
std::string WithSlash(std::string path);
// Windows-style separators to "/".
std::string ToSlashes(std::string path);

// Known folders, each ending in "/": Documents ($XDG_DOCUMENTS_DIR, else
// ~/Documents), local application data ($XDG_DATA_HOME, else ~/.local/share),
// temporary ($TMPDIR, else /tmp). "" when no home is known.
std::string DocumentsFolder();
std::string LocalAppDataFolder();
std::string TempFolder();
// Full path of the running executable ("" when /proc cannot tell).
std::string ExecutablePath();
