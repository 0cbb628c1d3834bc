// The shell's folder browser, for the browse button of the directory dialog.
#pragma once

#include "core/string.h"
#include "platform/win32/windows.h"

namespace kova::ui {

// Shows the browser over the drives (the computer folder) with path
// preselected; true with path replaced by the folder chosen, false when the
// browser could not be shown, was cancelled or gave no file-system path.
bool BrowseForFolder(HWND owner, core::String& path);

}  // namespace kova::ui
