// The banded gradient; see gradient_bands.h.
#include "ui/gradient_bands.h"

#include "core/failure.h"

namespace kova::ui {

ColorStepper::ColorStepper(i32 difference, i32 steps) : steps_(steps), away_(difference < 0 ? -1 : 1) {
  if (steps < 1) core::RaiseInternalError("Core", __LINE__);
  quotient_ = difference / steps;
  i32 remainder = difference % steps;
  remainder_ = remainder < 0 ? -remainder : remainder;
}

i32 ColorStepper::Next() {
  accumulated_ += remainder_;
  if (accumulated_ < steps_) return quotient_;
  accumulated_ -= steps_;
  return quotient_ + away_;
}

BandLayout BandLayoutFor(i32 top, i32 bottom) {
  i64 height = i64{bottom} - top + 1;
  i64 band = height / 224;
  if (band < 1) band = 1;
  if (band > 3) band = 3;
  i64 steps = height / band;
  return {static_cast<i32>(band), steps < 1 ? 0 : static_cast<i32>(steps)};
}

void PaintBands(u32 topColor, u32 bottomColor, i32 top, i32 bottom, BandFill fill, void* context) {
  if (bottom <= top) return;
  BandLayout layout = BandLayoutFor(top, bottom);
  i32 running[3];
  i32 difference[3];
  for (int c = 0; c < 3; ++c) {
    running[c] = static_cast<i32>(topColor >> (8 * c) & 0xFF);
    difference[c] = running[c] - static_cast<i32>(bottomColor >> (8 * c) & 0xFF);
  }
  ColorStepper steppers[3] = {ColorStepper(difference[0], layout.steps), ColorStepper(difference[1], layout.steps),
                              ColorStepper(difference[2], layout.steps)};
  for (i64 y = top; y < bottom; y += layout.bandHeight) {
    u32 color = 0;
    for (int c = 0; c < 3; ++c) {
      running[c] -= steppers[c].Next();
      // The loop may run one band past the last step (a height of 3k + 2
      // rows of 3-pixel bands), where a component would leave 0 ... 255 and
      // its low byte would wrap to the other end of the scale.
      i32 v = running[c] < 0 ? 0 : running[c] > 255 ? 255 : running[c];
      color |= static_cast<u32>(v) << (8 * c);
    }
    fill(context, static_cast<i32>(y), layout.bandHeight, color);
  }
}

}  // namespace kova::ui
