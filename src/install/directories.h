// Folders by path: whether one exists, creating one with its parents,
// removing one or a whole tree (never a drive root or anything in the Windows
// directory), and the current directory.
#pragma once

#include "core/string.h"

namespace kova::install {

// Tries to make path the current directory and puts the old one back: the
// process's current directory changes for the moment of the test. Empty
// gives false.
bool DirectoryExists(const char* path);

// Creates path and every missing parent, top down; parents of 3 characters
// or fewer ("C:\") are taken to exist. True when path exists at the end.
bool CreateDirectoryPath(const char* path);

// Removes an empty folder (one trailing backslash ignored); false for paths
// of 3 characters or fewer.
bool RemoveDirectory(const char* path);

// Deletes the folder with everything in it. Refuses (false, nothing deleted)
// paths of 3 characters or fewer and paths inside the Windows directory.
// Goes on past failures; true only when nothing failed and the folder is gone.
bool DeleteTree(const char* path);

// GetCurrentDirectoryA, growing the buffer when 99 characters are too few.
core::String CurrentDirectory();

}  // namespace kova::install
