// The process-wide shortcut entries; see shortcut_entries.h.
#include "install/shortcut_entries.h"

#include "core/lasting.h"

namespace kova::install {

core::Array<ShortcutEntry>& ShortcutEntries() {
  static core::Lasting<core::Array<ShortcutEntry>> entries;
  return entries.Get();
}

}  // namespace kova::install
