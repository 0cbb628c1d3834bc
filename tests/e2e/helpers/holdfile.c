/* Holds files open for reading and writing without sharing, as a program
 * using them would, until a release file appears (or two minutes pass): the
 * "file in use" of the installer tests under Wine, where only a Windows
 * process can hold a file against another.
 *
 *   holdfile.exe RELEASE-FILE FILE...
 *
 * Prints "held" once every file is open; exits 1 when one cannot be opened. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: holdfile RELEASE-FILE FILE...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    HANDLE h = CreateFileA(argv[i], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) {
      printf("cannot open %s: error %lu\n", argv[i], GetLastError());
      fflush(stdout);
      return 1;
    }
  }
  printf("held\n");
  fflush(stdout);
  for (int i = 0; i < 1200 && GetFileAttributesA(argv[1]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  return 0;
}
