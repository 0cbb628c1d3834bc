// The progress operations of the installation: phases, positions, status
// lines, minimum display times and the cancel question. Each operation also
// pumps the window messages, which is what keeps the windows alive and the
// cancel button working on the installer's single thread.
#pragma once

#include "core/types.h"

namespace kova::ui {

class ProgressView;

void OpenProgress();
void CloseProgress();
// Shows a status line (printf-style); true when a closing message was seen.
bool SetStatus(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool SetPosition(i32 percent);
void StartStep();
void SetPhase(i32 message);
void SetPhaseAndPosition(i32 message, i32 percent);
// Holds until milliseconds have passed since the step start; nothing in
// automatic mode.
void WaitStep(u32 milliseconds);
// The cancel question: Yes ends the program, No returns.
void ConfirmCancel();

// The view used by the operations (tests and the host choose their own).
void SetProgressView(ProgressView* view);

}  // namespace kova::ui
