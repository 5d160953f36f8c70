#include "app/fountain_fill.h"

#include <cmath>

namespace nolvo::app {

namespace {

// The classic Windows scheme's system colours, by index (0x00BBGGRR).
constexpr Colour kSystemColours[] = {
    0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xD77800, 0xC8D0D4};

}  // namespace

Rgb ResolveColour(Colour colour) {
  if (colour & 0x80000000u) {
    const std::uint32_t index = colour & 0xFF;
    colour = index < std::size(kSystemColours) ? kSystemColours[index] : 0;
  }
  return {static_cast<std::uint8_t>(colour & 0xFF), static_cast<std::uint8_t>((colour >> 8) & 0xFF),
          static_cast<std::uint8_t>((colour >> 16) & 0xFF)};
}

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t d) {
  if (d == 0) return -1;
  const std::int64_t p = static_cast<std::int64_t>(a) * b;
  std::int64_t q = p / d;
  const std::int64_t r = p % d;
  // Round to nearest: a remainder of at least half the divisor moves away from zero.
  if (2 * std::llabs(r) >= std::llabs(static_cast<std::int64_t>(d)))
    q += ((p < 0) != (d < 0)) ? -1 : 1;
  return static_cast<std::int32_t>(q);
}

void TFountainFill::Changed(bool releasePalette) {
  if (releasePalette) {
    palette_.reset();
    paletteBuilt_ = false;
  }
  ++repaints_;
}

void TFountainFill::SetFromColor(Colour c) {
  if (c == fromColor_) return;
  fromColor_ = c;
  Changed(true);
}

void TFountainFill::SetSteps(int steps) {
  if (steps < 1) steps = 1;
  if (steps > 255) steps = 255;
  if (steps == steps_) return;
  steps_ = steps;
  Changed(true);
}

void TFountainFill::SetStyle(TFountainStyle s) {
  if (s == style_) return;
  style_ = s;
  Changed(false);
}

void TFountainFill::SetToColor(Colour c) {
  if (c == toColor_) return;
  toColor_ = c;
  Changed(true);
}

void TFountainFill::SetUsePalette(bool v) {
  if (v == usePalette_) return;
  usePalette_ = v;
  Changed(true);
}

Rgb TFountainFill::StepColour(int i) const {
  const Rgb a = ResolveColour(fromColor_), b = ResolveColour(toColor_);
  const int n1 = steps_ - 1;
  auto channel = [&](std::uint8_t ca, std::uint8_t cb) {
    return static_cast<std::uint8_t>((ca + MulDiv(i, cb - ca, n1)) & 0xFF);
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

const std::optional<std::vector<Rgb>>& TFountainFill::Palette() {
  if (usePalette_ && !paletteBuilt_) {
    paletteBuilt_ = true;
    if (steps_ >= 2 && ResolveColour(fromColor_) != ResolveColour(toColor_)) {
      std::vector<Rgb> entries;
      for (int i = 0; i < steps_; ++i) entries.push_back(StepColour(i));
      palette_ = std::move(entries);
    }
  }
  return palette_;
}

std::vector<FillShape> TFountainFill::Fill(int width, int height) {
  std::vector<FillShape> shapes;
  const int n = steps_;
  if (n < 2 || ResolveColour(fromColor_) == ResolveColour(toColor_)) {
    // One solid fill with the start colour itself.
    shapes.push_back({false, 0, 0, width, height, fromColor_, false});
    return shapes;
  }
  const bool palette = usePalette_ && Palette().has_value();
  // The circle diameter: the diagonal plus 0.5, rounded to the nearest with halves to even.
  const int diagonal = static_cast<int>(std::nearbyint(
      std::sqrt(static_cast<double>(width) * width + static_cast<double>(height) * height) + 0.5));
  for (int i = 0; i < n; ++i) {
    const Rgb c = StepColour(i);
    FillShape s;
    s.colour = static_cast<Colour>(c.r) | (static_cast<Colour>(c.g) << 8) |
               (static_cast<Colour>(c.b) << 16);
    s.paletteRelative = palette;
    switch (style_) {
      case TFountainStyle::fsHorizontal:
        s.left = 0, s.right = width, s.top = MulDiv(i, height, n),
        s.bottom = MulDiv(i + 1, height, n);
        break;
      case TFountainStyle::fsVertical:
        s.top = 0, s.bottom = height, s.left = MulDiv(i, width, n),
        s.right = MulDiv(i + 1, width, n);
        break;
      case TFountainStyle::fsCircular: {
        const int d = MulDiv(n - i, diagonal, n);
        s.ellipse = true;
        s.left = width / 2 - d / 2;
        s.top = height / 2 - d / 2;
        s.right = s.left + d;
        s.bottom = s.top + d;
        break;
      }
    }
    if (s.right > s.left && s.bottom > s.top) shapes.push_back(s);
  }
  return shapes;
}

}  // namespace nolvo::app
