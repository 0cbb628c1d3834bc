// The few window operations that the fatal-error and exit routines need even
// before the user interface exists: message boxes, the message pump and
// tearing down the program's windows. On POSIX there are no windows; message
// boxes become questions on the terminal.
#pragma once

#include "core/types.h"

namespace kova::platform {

// An opaque window handle (HWND on Windows); null means none.
using WindowHandle = void*;

// MessageBoxA style bits and results, with their Win32 values.
inline constexpr u32 kBoxOk = 0x0;
inline constexpr u32 kBoxOkCancel = 0x1;
inline constexpr u32 kBoxAbortRetryIgnore = 0x2;
inline constexpr u32 kBoxYesNoCancel = 0x3;
inline constexpr u32 kBoxYesNo = 0x4;
inline constexpr u32 kBoxRetryCancel = 0x5;
inline constexpr u32 kBoxButtonMask = 0xF;
inline constexpr u32 kBoxIconHand = 0x10;
inline constexpr u32 kBoxIconQuestion = 0x20;
inline constexpr u32 kBoxIconExclamation = 0x30;
inline constexpr u32 kBoxIconAsterisk = 0x40;
inline constexpr u32 kBoxDefaultButton2 = 0x100;
inline constexpr u32 kBoxDefaultButton3 = 0x200;
inline constexpr u32 kBoxTaskModal = 0x2000;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, u32 style);

// Dispatches waiting messages; true when one of them was WM_DESTROY, WM_CLOSE
// or WM_QUIT.
bool PumpMessages();

void MinimizeWindow(WindowHandle window);
void DestroyWindow(WindowHandle window);

}  // namespace kova::platform

namespace kova::platform {

// GetSysColor: COLOR_WINDOWTEXT is 8, COLOR_WINDOW is 5.
inline constexpr int kColorWindow = 5;
inline constexpr int kColorWindowText = 8;
u32 SystemColor(int index);

}  // namespace kova::platform
