// The banded gradient: band height and step count by screen height, the
// colour stepper's spreading of a difference, and the bands painted.
#include <gtest/gtest.h>

#include <vector>

#include "ui/gradient_bands.h"

namespace kova::ui {
namespace {

struct LayoutCase {
  i32 top, bottom;
  i32 bandHeight, steps;
};

TEST(GradientBands, BandHeightAndStepsFollowTheHeight) {
  const LayoutCase cases[] = {
      {0, 0, 1, 1},        // one row
      {0, 446, 1, 447},    // below 448 rows: 1-pixel bands
      {0, 447, 2, 224},    // 448 rows
      {0, 599, 2, 300},    // 600 rows: 2-pixel bands, 300 steps
      {0, 671, 3, 224},    // 672 rows: 3-pixel bands from here on
      {0, 1999, 3, 666},   // never taller than 3 pixels
      {100, 699, 2, 300},  // only the height counts
  };
  for (const LayoutCase& c : cases) {
    BandLayout layout = BandLayoutFor(c.top, c.bottom);
    EXPECT_EQ(layout.bandHeight, c.bandHeight) << c.top << ".." << c.bottom;
    EXPECT_EQ(layout.steps, c.steps) << c.top << ".." << c.bottom;
  }
}

TEST(GradientBands, StepperSpreadsTheDifferenceOverTheSteps) {
  const i32 cases[][2] = {{255, 300}, {-255, 300}, {200, 7}, {-200, 7}, {0, 5}, {1, 1}, {-1, 224}, {255, 255}};
  for (const auto& c : cases) {
    ColorStepper stepper(c[0], c[1]);
    i32 quotient = c[0] / c[1];
    i32 sum = 0;
    std::vector<i32> steps;
    for (i32 i = 0; i < c[1]; ++i) steps.push_back(stepper.Next());
    for (i32 step : steps) {
      sum += step;
      // Each step is the quotient or one further from zero.
      EXPECT_TRUE(step == quotient || step == quotient + (c[0] < 0 ? -1 : 1)) << c[0] << "/" << c[1];
    }
    EXPECT_EQ(sum, c[0]) << c[0] << "/" << c[1];
  }
  // The remainder 200 % 7 = 4 is added first: 4, 8 -> 1 (one further), 5, 9 -> 2, ...
  ColorStepper stepper(200, 7);
  std::vector<i32> first;
  for (int i = 0; i < 4; ++i) first.push_back(stepper.Next());
  EXPECT_EQ(first, (std::vector<i32>{28, 29, 28, 29}));
  ColorStepper down(-200, 7);
  EXPECT_EQ(down.Next(), -28);
  EXPECT_EQ(down.Next(), -29);
}

TEST(GradientBandsDeathTest, StepperWithoutStepsIsInternalError) {
  EXPECT_DEATH(ColorStepper(10, 0), "Core");
}

struct Band {
  i32 y, height;
  u32 color;
  bool operator==(const Band&) const = default;
};

std::vector<Band> Paint(u32 top, u32 bottom, i32 y0, i32 y1) {
  std::vector<Band> bands;
  PaintBands(top, bottom, y0, y1,
             [](void* context, i32 y, i32 height, u32 color) {
               static_cast<std::vector<Band>*>(context)->push_back({y, height, color});
             },
             &bands);
  return bands;
}

TEST(GradientBands, BandsRunFromTheTopColourToTheBottomColour) {
  // 600 rows of a client rectangle 0 .. 600: 2-pixel bands, 300 steps.
  std::vector<Band> bands = Paint(0x00FF8000, 0x000080FF, 0, 600);
  ASSERT_EQ(bands.size(), 300u);
  for (size_t i = 0; i < bands.size(); ++i) {
    EXPECT_EQ(bands[i].y, static_cast<i32>(2 * i));
    EXPECT_EQ(bands[i].height, 2);
  }
  // Red 0x00 -> 0xFF, green 0x80 -> 0x80, blue 0xFF -> 0x00, 300 steps: each
  // step is 0 or 1 (the remainder 255 reaches 300 on the second step), and
  // the last band is the bottom colour.
  EXPECT_EQ(bands.front().color, 0x00FF8000u);
  EXPECT_EQ(bands[1].color, 0x00FE8001u);
  EXPECT_EQ(bands.back().color, 0x000080FFu);
  // Components move one way only.
  for (size_t i = 1; i < bands.size(); ++i) {
    EXPECT_GE(bands[i].color & 0xFF, bands[i - 1].color & 0xFF);
    EXPECT_LE(bands[i].color >> 16, bands[i - 1].color >> 16);
  }
}

TEST(GradientBands, ABandPastTheLastStepStaysOnTheScale) {
  // Rows 0 .. 673 (674 rows): 3-pixel bands and 224 steps, but bands start
  // at 0, 3, ... 672: one more than the steps. White to black moves more
  // than one unit a step, so that band is one step beyond black: it stays
  // black instead of wrapping round to white.
  std::vector<Band> bands = Paint(0x00FFFFFF, 0x00000000, 0, 673);
  ASSERT_EQ(bands.size(), 225u);
  EXPECT_EQ(bands[223].color, 0u);
  EXPECT_EQ(bands[224].color, 0u);
  EXPECT_EQ(bands[224].y, 672);
}

TEST(GradientBands, NothingForAnEmptyRectangle) {
  EXPECT_TRUE(Paint(0xFFFFFF, 0, 10, 10).empty());
  EXPECT_TRUE(Paint(0xFFFFFF, 0, 10, 5).empty());
}

}  // namespace
}  // namespace kova::ui
