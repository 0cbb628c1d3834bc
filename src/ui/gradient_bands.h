// The setup window's gradient where GradientFill is missing (msimg32 absent
// or without it): horizontal bands of solid colour from the top colour to the
// bottom colour. The arithmetic is kept apart from GDI so that it can be
// checked on any platform; the Win32 front end only fills the rectangles.
//
// Bands are height / 224 pixels tall, limited to 1 ... 3, so that a screen of
// any height takes about 224 to 672 fills; the number of colour steps is
// height / band height. Each colour component runs through a ColorStepper
// that spreads the component's difference over the steps.
#pragma once

#include "core/types.h"

namespace kova::ui {

// Spreads difference over steps: each call returns the quotient of the
// (truncating) division, or the quotient moved one further from zero when
// the remainders added up so far reach steps again, so that steps calls
// return difference in total. A step count below 1 is an internal error.
class ColorStepper {
 public:
  ColorStepper(i32 difference, i32 steps);
  i32 Next();

 private:
  i32 quotient_;
  i32 remainder_;  // the absolute remainder
  i32 steps_;
  i32 accumulated_ = 0;
  i32 away_;       // +1 for a difference of 0 or more, -1 below
};

struct BandLayout {
  i32 bandHeight;
  i32 steps;
};

// Band height and step count for the rows top ... bottom (height
// bottom - top + 1; at least 1).
BandLayout BandLayoutFor(i32 top, i32 bottom);

// Calls fill(context, y, bandHeight, colour) for y = top, top + band height,
// ... while y < bottom, colours as COLORREF (0x00BBGGRR). The running
// components are stepped before each band, so the first band is already one
// step away from the top colour. Nothing for bottom <= top.
using BandFill = void (*)(void* context, i32 y, i32 bandHeight, u32 color);
void PaintBands(u32 topColor, u32 bottomColor, i32 top, i32 bottom, BandFill fill, void* context);

}  // namespace kova::ui
