// ProgressView: what a front end shows of the progress: a dialog with a
// phase or status line, a bar from 0 to 100 and a cancel button on Windows,
// a status line and a bar on a terminal. The progress operations
// (progress.h) decide what to show and when; a view only shows it.
#pragma once

#include "core/types.h"
#include "platform/window.h"

namespace kova::ui {

class ProgressView {
 public:
  virtual ~ProgressView() = default;
  // title: the dialog caption; prompt: the line above the bar; cancel: the
  // button's text, disabled when cancelEnabled is false. Returns the window
  // that then owns message boxes (null on a terminal).
  virtual platform::WindowHandle Open(const char* title, const char* prompt, const char* cancel,
                                      bool cancelEnabled) = 0;
  virtual void Close() = 0;
  virtual void SetStatus(const char* text) = 0;
  virtual void SetPosition(i32 percent) = 0;
};

// The view of this platform's front end.
ProgressView& DefaultProgressView();

}  // namespace kova::ui
