#include "app/ui/ui_text.h"

#include <QFontDatabase>
#include <QStringList>

#include "app/fountain_fill.h"

namespace nolvo::ui {

QColor ToQColor(app::Colour colour) {
  const app::Rgb rgb = app::ResolveColour(colour);
  return QColor(rgb.r, rgb.g, rgb.b);
}

namespace {

struct Substitute {
  const char* designed;
  QStringList candidates;  // in order of preference
  int weight;
  int stretch;
};

const Substitute* FindSubstitute(const QString& designed) {
  static const Substitute kTable[] = {
      {"Impact",
       {"Impact", "DejaVu Sans Condensed", "Liberation Sans Narrow", "DejaVu Sans"},
       QFont::Bold,
       QFont::Condensed},
      {"Times New Roman",
       {"Times New Roman", "Liberation Serif", "DejaVu Serif"},
       QFont::Normal,
       QFont::Unstretched},
      {"MS Sans Serif",
       {"MS Sans Serif", "DejaVu Sans", "Liberation Sans"},
       QFont::Normal,
       QFont::Unstretched},
      {"Arial", {"Arial", "Liberation Sans", "DejaVu Sans"}, QFont::Normal, QFont::Unstretched},
      {"Courier New",
       {"Courier New", "Liberation Mono", "DejaVu Sans Mono"},
       QFont::Normal,
       QFont::Unstretched},
  };
  for (const auto& s : kTable)
    if (designed.compare(QLatin1String(s.designed), Qt::CaseInsensitive) == 0) return &s;
  return nullptr;
}

bool Installed(const QString& family) {
  return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

QString SubstituteFamily(const QString& designed) {
  if (Installed(designed)) return designed;
  if (const Substitute* s = FindSubstitute(designed)) {
    for (const QString& c : s->candidates)
      if (Installed(c)) return c;
  }
  return Installed("DejaVu Sans") ? QString("DejaVu Sans") : designed;
}

QFont DesignedFont(const QString& family, int pointSize) {
  const QString face = SubstituteFamily(family);
  QFont font(face);
  font.setPointSize(pointSize > 0 ? pointSize : 8);
  if (face != family) {
    if (const Substitute* s = FindSubstitute(family)) {
      font.setWeight(static_cast<QFont::Weight>(s->weight));
      font.setStretch(s->stretch);
    }
  }
  return font;
}

QFont DefaultFont() { return DesignedFont("MS Sans Serif", 8); }

}  // namespace nolvo::ui
