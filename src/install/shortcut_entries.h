// The shortcut entries the file loop collects for the shortcut step: one per
// installed file that asks for a shortcut (type 0 with flag 0x1 or 0x2, and
// every type 5 file). Process-wide; the file loop fills the list and the
// shortcut step reads it.
#pragma once

#include "core/array.h"
#include "core/string.h"

namespace kova::install {

struct ShortcutEntry {
  bool desktop = false;       // flag 0x01
  bool programsMenu = false;  // flag 0x02
  bool startup = false;       // type 5
  bool permanent = false;     // flag 0x20: the shortcut is not recorded for uninstalling
  core::String target;        // the installed file
  core::String name;          // text 1, or message 38 with the target's file name
  core::String iconPath;      // the uninstall folder joined with text 2, or empty
  core::String arguments;     // text 3, as stored (expanded when the shortcut is made)
};

core::Array<ShortcutEntry>& ShortcutEntries();

}  // namespace kova::install
