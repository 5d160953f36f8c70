#include "app/fountain_fill.h"

#include <gtest/gtest.h>

namespace nolvo::app {
namespace {

TFountainFill Designed() {
  TFountainFill f;
  f.SetFromColor(0xFF0000);
  f.SetToColor(0);
  f.SetSteps(255);
  return f;
}

TEST(MulDiv, RoundsToNearestAwayFromZero) {
  EXPECT_EQ(MulDiv(1, 768, 255), 3);    // 3.01
  EXPECT_EQ(MulDiv(2, 768, 255), 6);    // 6.02
  EXPECT_EQ(MulDiv(1, 3, 2), 2);        // 1.5
  EXPECT_EQ(MulDiv(-1, 3, 2), -2);      // -1.5
  EXPECT_EQ(MulDiv(3, -255, 254), -3);  // -3.01
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
}

TEST(FountainFill, DesignedGradientBandsOnAScreen) {
  auto f = Designed();
  const auto shapes = f.Fill(1024, 768);
  ASSERT_EQ(shapes.size(), 255u);  // 768 lines: every band has at least one line
  EXPECT_EQ(shapes.front().top, 0);
  EXPECT_EQ(shapes.front().colour, 0xFF0000u);
  EXPECT_EQ(shapes.back().bottom, 768);
  EXPECT_EQ(shapes.back().colour, 0u);
  EXPECT_TRUE(shapes.front().paletteRelative);
  for (std::size_t i = 1; i < shapes.size(); ++i) EXPECT_EQ(shapes[i].top, shapes[i - 1].bottom);
  // Blue falls by one step per band: band 1 is 255 - 1.
  EXPECT_EQ(f.StepColour(1).b, 254);
  EXPECT_EQ(f.StepColour(127).b, 127);  // 255 - round(127.5)
}

TEST(FountainFill, LowAreasLeaveEmptyBandsOut) {
  auto f = Designed();
  const auto shapes = f.Fill(100, 100);
  EXPECT_EQ(shapes.size(), 100u);
  f.SetStyle(TFountainStyle::fsVertical);
  const auto cols = f.Fill(10, 5);
  ASSERT_EQ(cols.size(), 10u);
  EXPECT_EQ(cols.back().right, 10);
}

TEST(FountainFill, CircularStartsWithTheDiagonal) {
  auto f = Designed();
  f.SetStyle(TFountainStyle::fsCircular);
  const auto shapes = f.Fill(300, 400);
  ASSERT_FALSE(shapes.empty());
  EXPECT_TRUE(shapes[0].ellipse);
  EXPECT_EQ(shapes[0].right - shapes[0].left, 500);
  EXPECT_EQ(shapes[0].left, 150 - 250);
  EXPECT_EQ(shapes[0].top, 200 - 250);
  EXPECT_EQ(shapes.back().colour, 0u);
}

TEST(FountainFill, SettersNormaliseAndKeepOrReleaseThePalette) {
  TFountainFill f;
  f.SetSteps(0);
  EXPECT_EQ(f.Steps(), 1);
  f.SetSteps(1000);
  EXPECT_EQ(f.Steps(), 255);
  ASSERT_TRUE(f.Palette().has_value());
  f.SetStyle(TFountainStyle::fsVertical);
  EXPECT_TRUE(f.HasPalette());
  const int repaints = f.RepaintRequests();
  f.SetToColor(0);  // unchanged: no repaint
  EXPECT_EQ(f.RepaintRequests(), repaints);
  f.SetToColor(0x00FF00);
  EXPECT_FALSE(f.HasPalette());
}

TEST(FountainFill, OneStepOrEqualColoursIsOneSolidFill) {
  TFountainFill f;
  f.SetSteps(1);
  auto shapes = f.Fill(50, 50);
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0].colour, 0xFFFF00u);
  f.SetSteps(20);
  f.SetFromColor(0x80000005);  // the window colour, white in the classic scheme
  f.SetToColor(0xFFFFFF);
  shapes = f.Fill(50, 50);
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0].colour, 0x80000005u);  // a system colour stays one
  EXPECT_FALSE(f.Palette().has_value());
}

}  // namespace
}  // namespace nolvo::app
