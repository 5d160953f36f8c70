#pragma once
// Text and look helpers shared by the windows: ANSI <-> QString through the machine's
// code page, colours of the 0x00BBGGRR layout, and the font substitutes used when the
// designed faces are not installed.

#include <QColor>
#include <QFont>
#include <QString>
#include <string>

#include "app/main_screen_model.h"
#include "platform/code_page.h"

namespace nolvo::ui {

inline QString FromAnsi(const platform::CodePage& cp, const std::string& ansi) {
  return QString::fromStdString(cp.ToUtf8(ansi));
}
inline std::string ToAnsi(const platform::CodePage& cp, const QString& text) {
  return cp.FromUtf8(text.toStdString());
}

// A colour value of the settings (system colours resolved).
QColor ToQColor(app::Colour colour);

// The installed family closest to `designed` ("Impact", "Times New Roman", "MS Sans
// Serif" and others fall back to DejaVu / Liberation faces); the designed name when it
// is installed.
QString SubstituteFamily(const QString& designed);
// A font of the designed face and point size, with the substitute's weight and stretch
// (the condensed bold face stands in for Impact).
QFont DesignedFont(const QString& family, int pointSize);
// The windows' default font: MS Sans Serif 8 point, or its substitute.
QFont DefaultFont();

}  // namespace nolvo::ui
