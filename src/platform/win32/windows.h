// The one place where <windows.h> enters the engine. The ANSI API is used
// throughout, so UNICODE must stay undefined.
#pragma once

#undef UNICODE
#undef _UNICODE
#include <windows.h>

// <windows.h> maps these names to their ANSI functions with macros; the engine
// has functions of its own by these names, so the macros must not leak. Call
// the ...A functions by their full names instead.
#undef GetMessage
#undef CreateWindow
#undef DeleteFile
#undef CopyFile
#undef MoveFile
#undef CreateDirectory
#undef RemoveDirectory
#undef FindWindow
