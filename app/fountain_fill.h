#pragma once
// TFountainFill: the gradient of the main screen as a toolkit-free model. It owns the
// published properties with their setters' normalisation and the palette rule, and
// computes the filled shapes a paint draws; a view only draws those shapes.

#include <cstdint>
#include <optional>
#include <vector>

#include "app/main_screen_model.h"

namespace nolvo::app {

enum class TFountainStyle { fsHorizontal, fsVertical, fsCircular };

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Resolves a colour to red, green and blue; a system colour (high bit set) is looked up
// by its index in the classic Windows scheme.
Rgb ResolveColour(Colour colour);
// The platform's MulDiv: a * b / d in 64 bits, rounded to the nearest (halves away from
// zero); -1 when d is 0.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t d);

// One filled shape of a paint: a rectangle or an ellipse bounded by [left, right) x
// [top, bottom).
struct FillShape {
  bool ellipse = false;
  int left = 0, top = 0, right = 0, bottom = 0;
  Colour colour = 0;             // the colour value to fill with (a system colour stays one)
  bool paletteRelative = false;  // drawn through the palette (bit 0x02000000)
};

class TFountainFill {
 public:
  bool DrawOnScreen() const { return drawOnScreen_; }
  Colour FromColor() const { return fromColor_; }
  int Steps() const { return steps_; }
  TFountainStyle Style() const { return style_; }
  Colour ToColor() const { return toColor_; }
  bool UsePalette() const { return usePalette_; }

  // Setters normalise and, when the value changes, release the palette and ask for a
  // repaint (Style keeps the palette).
  void SetDrawOnScreen(bool v) { drawOnScreen_ = v; }
  void SetFromColor(Colour c);
  void SetSteps(int steps);  // below 1 becomes 1, above 255 becomes 255
  void SetStyle(TFountainStyle s);
  void SetToColor(Colour c);
  void SetUsePalette(bool v);

  // The colour of step i of N = Steps(): each channel A + MulDiv(i, B - A, N - 1), kept in
  // one byte.
  Rgb StepColour(int i) const;
  // The palette of N entries (entry i the colour of step i), built lazily and kept until a
  // colour, the step count or UsePalette changes; none for fewer than 2 steps or equal
  // colours, or when UsePalette is off.
  const std::optional<std::vector<Rgb>>& Palette();
  bool HasPalette() const { return palette_.has_value() && palette_->size() > 0; }

  // The shapes a paint of a width x height surface fills, in drawing order. Empty bands
  // are left out.
  std::vector<FillShape> Fill(int width, int height);

  // Counts the repaints the setters asked for (the view repaints on a change).
  int RepaintRequests() const { return repaints_; }

 private:
  void Changed(bool releasePalette);

  bool drawOnScreen_ = false;
  Colour fromColor_ = 0xFFFF00;
  int steps_ = 20;
  TFountainStyle style_ = TFountainStyle::fsHorizontal;
  Colour toColor_ = 0;
  bool usePalette_ = true;
  bool paletteBuilt_ = false;
  std::optional<std::vector<Rgb>> palette_;
  int repaints_ = 0;
};

}  // namespace nolvo::app
