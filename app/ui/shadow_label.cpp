#include "app/ui/shadow_label.h"

#include <QFontMetrics>
#include <QPainter>

namespace nolvo::ui {

ShadowLabel::ShadowLabel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
}

void ShadowLabel::SetText(const QString& text) {
  text_ = text;
  AutoSize();
}

void ShadowLabel::SetTextFont(const QFont& f) {
  setFont(f);
  AutoSize();
}

void ShadowLabel::SetColors(const QColor& text, const QColor& shadow) {
  color_ = text;
  shadowColor_ = shadow;
  update();
}

void ShadowLabel::SetShadowSize(int pixels) {
  shadow_ = std::max(0, pixels);
  AutoSize();
}

QSize ShadowLabel::sizeHint() const {
  const QFontMetrics m(font());
  return {m.horizontalAdvance(text_) + shadow_ + 1, m.height() + shadow_};
}

void ShadowLabel::AutoSize() {
  if (centred_)
    resize(width(), sizeHint().height());
  else
    resize(sizeHint());
  update();
}

void ShadowLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  const int flags = (centred_ ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
  const QRect area(0, 0, width() - shadow_, height() - shadow_);
  if (shadow_ > 0) {
    p.setPen(shadowColor_);
    p.drawText(area.translated(shadow_, shadow_), flags, text_);
  }
  p.setPen(color_);
  p.drawText(area, flags, text_);
}

}  // namespace nolvo::ui
