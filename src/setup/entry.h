// The entry routine: decides the program's role (installer, uninstaller or
// guard) from the command line and its own file, then runs the whole
// installation as one sequence. It never returns: every path ends in
// ExitInstaller.
#pragma once

namespace kova::setup {

// instance: the module handle (HINSTANCE) or null; commandLineText: the
// arguments without the program name.
[[noreturn]] void RunStub(void* instance, const char* commandLineText);

}  // namespace kova::setup
