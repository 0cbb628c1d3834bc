// Tying the product into the shell after its files are in place: the
// shortcuts of the file loop's entries, the product's own registry keys and
// the file associations. Each step appends what failed to the error text and
// records what the uninstaller is to undo (the uninstall list, the
// associations text); none of them stops the installation.
#pragma once

#include "core/array.h"
#include "core/string.h"
#include "format/install_script.h"

namespace kova::install {

// Saves a shell link at linkPath to target, with ".LNK" appended unless the
// path holds it anywhere (letter case ignored; linkPath comes back with it)
// and the link's folder made first. False when it could not be saved.
bool CreateShortcut(core::String& linkPath, const char* target, const char* arguments, const char* workingDirectory,
                    const char* iconFile);

// The shortcuts of ShortcutEntries(): on the desktop, in the product's
// Start-menu folder, in the Startup folder. True when one was made in the
// Start-menu folder (the uninstall shortcut goes beside it).
bool CreateShortcuts();

// Creates the product's registry key (ProductRegistry) empty below the
// Software key of HKEY_LOCAL_MACHINE and of HKEY_CURRENT_USER.
void CreateProductKeys(const char* productRegistry);

// Registers the script's associations below HKEY_CLASSES_ROOT, keeping each
// default value it replaces in the "<product> Backup" value beside it. Each
// registered record adds "extension~!~file type~!~verb" and CR LF to
// associationsText.
void RegisterAssociations(const core::Array<format::AssociationRecord>& records, core::String& associationsText);

}  // namespace kova::install
