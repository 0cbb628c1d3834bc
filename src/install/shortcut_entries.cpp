// The process-wide shortcut entries; see shortcut_entries.h.
#include "install/shortcut_entries.h"

namespace kova::install {

core::Array<ShortcutEntry>& ShortcutEntries() {
  static core::Array<ShortcutEntry> entries;
  return entries;
}

}  // namespace kova::install
