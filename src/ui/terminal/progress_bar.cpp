// The progress view on a terminal: one line with a bar, the percentage and
// the phase or status text, redrawn in place when standard error is a
// terminal and printed as plain lines (status changes only) otherwise, so
// logs of scripted runs stay readable. Those lines go out at least every
// 100 ms when standard error is written in blocks.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/string.h"
#include "ui/progress_view.h"

namespace kova::ui {
namespace {

constexpr int kBarWidth = 30;
constexpr int kStatusWidth = 60;

class TerminalProgress final : public ProgressView {
 public:
  platform::WindowHandle Open(const char* title, const char* prompt, const char*, bool) override {
    interactive_ = isatty(STDERR_FILENO) != 0;
    std::fprintf(stderr, "%s%s%s\n", title, *title && *prompt ? ": " : "", prompt);
    open_ = true;
    percent_ = 0;
    status_.Clear();
    Draw();
    return nullptr;
  }

  void Close() override {
    if (open_ && interactive_) std::fputc('\n', stderr);
    std::fflush(stderr);
    open_ = false;
  }

  void SetStatus(const char* text) override {
    status_ = text;
    if (!interactive_) {
      std::fprintf(stderr, "[%3d%%] %s\n", static_cast<int>(percent_), text);
      FlushNowAndThen();
    }
    Draw();
  }

  void SetPosition(i32 percent) override {
    percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    Draw();
  }

 private:
  void Draw() {
    if (!open_ || !interactive_) return;
    char bar[kBarWidth + 1];
    int filled = static_cast<int>(percent_) * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%% %-*.*s", bar, static_cast<int>(percent_), kStatusWidth, kStatusWidth,
                 status_.CStr());
    std::fflush(stderr);
  }

  void FlushNowAndThen() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    i64 ms = static_cast<i64>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    if (ms - flushedMs_ < kFlushEveryMs) return;
    std::fflush(stderr);
    flushedMs_ = ms;
  }

  static constexpr i64 kFlushEveryMs = 100;
  bool open_ = false;
  i64 flushedMs_ = 0;
  bool interactive_ = false;
  i32 percent_ = 0;
  core::String status_;
};

}  // namespace

ProgressView& DefaultProgressView() {
  static TerminalProgress view;
  return view;
}

}  // namespace kova::ui
