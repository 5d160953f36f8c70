#pragma once
// What the main screen shows, as plain data: the gradient's colours and the two headers.
// The designed values below are the defaults the settings load falls back to; a Qt view
// renders this model and decides nothing itself.

#include <cstdint>
#include <string>

namespace nolvo::app {

// Colours are 0x00BBGGRR; a value with the high bit set is a system colour.
using Colour = std::uint32_t;

inline constexpr Colour kBlue = 0xFF0000;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

struct HeaderStyle {
  std::string Text;
  std::string FontName;
  std::int32_t FontSize = 0;  // points
  Colour FontColor = kBlack;
  Colour ShadowColor = kWhite;
  int ShadowSize = 0;  // pixels towards the right and bottom
};

struct MainScreenModel {
  Colour FromColor = kBlue;  // gradient start colour (the designed blue)
  Colour ToColor = kBlack;   // gradient end colour
  Colour WindowColor = kBlue;
  HeaderStyle Header{"Nolvo - Pakmora 32Bit", "Impact", 26, kBlack, kWhite, 2};
  HeaderStyle Header2{"Setup program made with Nolvo", "Times New Roman", 10, kBlack, kWhite, 1};
};

}  // namespace nolvo::app
