// What the sandbox remembers of folders during a run, so that resolving a
// path costs a few system calls however deep it is and however many names
// its folder holds:
//
// - resolved folders: the host folder of a Windows folder path, spelled
//   exactly as asked, checked by one stat of the host folder (gone, or
//   another folder in its place, and the entry is forgotten);
// - folder listings: the names of a host folder by their lower-case ASCII
//   form, read for a name not found by its exact spelling; while a listing
//   is current, a name it lacks is taken as missing without a lookup (one
//   system call fewer for each new file written to the folder). A listing
//   holds while the folder's times and identity are those it was
//   read with. The run's own changes keep it up to date (a name made is
//   added, a name removed drops the listing), and the change of times they
//   cause is taken as theirs at the next check; a change by another process
//   makes the folder be listed again. (One that lands in the same tick of
//   the file system's clock as one of the run's own, before the next check,
//   is not seen: the price of not listing a folder for each new name.)
// - a folder asked for itself (the current directory, the folder checked
//   before each file written to it) is answered from the resolved folders
//   with one stat.
//
// Everything is forgotten when the sandbox root changes, when a folder is
// removed or renamed, and when a child process is started.
#pragma once

#include <sys/stat.h>

#include "core/string.h"

namespace kova::platform::posix {

// The host folder remembered for windowsFolder ("C:\a\b" as spelled), when it
// is still the same folder: info gets its stat.
bool CachedFolder(const core::String& windowsFolder, core::String* host, struct stat* info);
void RememberFolder(const core::String& windowsFolder, const core::String& host, const struct stat& info);

// The stored name in hostFolder that differs from name only in ASCII case
// (the first in listing order), or else whose 8.3 alias name is. folderInfo:
// the folder's stat now. False when there is none.
bool FindInFolder(const core::String& hostFolder, const struct stat& folderInfo, const core::String& name,
                  core::String* stored);

// Whether a current listing of hostFolder (folderInfo: its stat now) holds
// nothing name stands for: then the name need not be looked up at all, which
// saves a lookup before each new file. False when there is no current listing.
bool KnownMissing(const core::String& hostFolder, const struct stat& folderInfo, const core::String& name);

// The run made name in hostFolder.
void NoteNameAdded(const core::String& hostFolder, const char* name);
// The run removed a name from hostFolder, or renamed one there.
void NoteNameRemoved(const core::String& hostFolder);
// A folder was removed or renamed, a child process started, or the root
// changed: nothing remembered holds any more.
void ForgetFolders();

}  // namespace kova::platform::posix
