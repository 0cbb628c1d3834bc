// Message boxes on a terminal. The caption and text go to standard error; the
// answer comes from the terminal when standard input is one, otherwise from
// the next line of standard input. An empty line or an answer that names no
// button of the box takes the box's default button. At the end of input
// nobody is left to answer: a box with a Cancel button is cancelled (a
// question that repeats until it is answered, such as the prompt for a
// missing volume, would otherwise repeat for ever), any other takes its
// default.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/window.h"

namespace kova::platform {
namespace {

struct Button {
  int id;
  const char* label;
  char key;
};

int ButtonsOf(u32 style, Button* buttons) {
  switch (style & kBoxButtonMask) {
    case kBoxOkCancel:
      buttons[0] = {kIdOk, "OK", 'o'};
      buttons[1] = {kIdCancel, "Cancel", 'c'};
      return 2;
    case kBoxAbortRetryIgnore:
      buttons[0] = {kIdAbort, "Abort", 'a'};
      buttons[1] = {kIdRetry, "Retry", 'r'};
      buttons[2] = {kIdIgnore, "Ignore", 'i'};
      return 3;
    case kBoxYesNoCancel:
      buttons[0] = {kIdYes, "Yes", 'y'};
      buttons[1] = {kIdNo, "No", 'n'};
      buttons[2] = {kIdCancel, "Cancel", 'c'};
      return 3;
    case kBoxYesNo:
      buttons[0] = {kIdYes, "Yes", 'y'};
      buttons[1] = {kIdNo, "No", 'n'};
      return 2;
    case kBoxRetryCancel:
      buttons[0] = {kIdRetry, "Retry", 'r'};
      buttons[1] = {kIdCancel, "Cancel", 'c'};
      return 2;
    default:
      buttons[0] = {kIdOk, "OK", 'o'};
      return 1;
  }
}

int DefaultIndex(u32 style, int count) {
  int index = (style & kBoxDefaultButton3) ? 2 : (style & kBoxDefaultButton2) ? 1 : 0;
  return index < count ? index : 0;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace

int ShowMessageBox(WindowHandle, const char* text, const char* caption, u32 style) {
  Button buttons[3];
  int count = ButtonsOf(style, buttons);
  int chosen = DefaultIndex(style, count);

  std::fprintf(stderr, "\n[%s]\n%s\n", caption ? caption : "", text ? text : "");
  if (count == 1) {
    std::fprintf(stderr, "[OK]\n");
    return buttons[0].id;
  }
  for (int i = 0; i < count; ++i)
    std::fprintf(stderr, "%s(%c) %s", i ? "  " : "", buttons[i].key, buttons[i].label);
  std::fprintf(stderr, " [%s]: ", buttons[chosen].label);
  std::fflush(stderr);

  char line[64];
  if (std::fgets(line, sizeof line, stdin)) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    for (int i = 0; i < count; ++i)
      if (LowerAscii(*p) == buttons[i].key) chosen = i;
    // The rest of an overlong line is no further answer.
    while (!std::strchr(line, '\n') && std::fgets(line, sizeof line, stdin)) {
    }
  } else {
    for (int i = 0; i < count; ++i)
      if (buttons[i].id == kIdCancel) chosen = i;
  }
  if (!isatty(STDIN_FILENO)) std::fprintf(stderr, "%s\n", buttons[chosen].label);
  return buttons[chosen].id;
}

bool PumpMessages() { return false; }
void MinimizeWindow(WindowHandle) {}
void DestroyWindow(WindowHandle) {}

}  // namespace kova::platform

namespace kova::platform {

// The classic Windows scheme: black text on a white window.
u32 SystemColor(int index) { return index == kColorWindow ? 0xFFFFFFu : 0x000000u; }

}  // namespace kova::platform
