#pragma once
// Copying and counting folder trees (the data migration of the options).
// Links to folders are never followed, so a link cannot make the walk leave
// the tree or go round in a circle; a link to a file counts as that file.
#include <string>

namespace CTessaruneLib {

// Copies the tree strSource into strTarget (created when missing), never
// replacing a file that exists there. The number of files copied.
int CopyFolderNoOverwrite(const std::string& strSource, const std::string& strTarget);

// The number of files in the tree (folders themselves not counted).
int CountFilesInFolder(const std::string& strFolder);

} // namespace CTessaruneLib
