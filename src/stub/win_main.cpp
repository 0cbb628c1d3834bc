// The Windows entry point of kovastub.exe: hands the instance handle and the
// command-line text to the entry routine, which never returns.
#include "payload/entry.h"
#include "platform/win32/windows.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  kova::payload::RunStub(instance, commandLine);
}
