#include "app/ui/fountain_widget.h"

#include <QPainter>

#include "app/ui/ui_text.h"

namespace nolvo::ui {

namespace {

void DrawShapes(QPainter& painter, const std::vector<app::FillShape>& shapes) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::NoPen);
  for (const app::FillShape& s : shapes) {
    painter.setBrush(ToQColor(s.colour));
    // Shapes exclude their right and bottom edges, as QRect(x, y, w, h) does.
    const QRect r(s.left, s.top, s.right - s.left, s.bottom - s.top);
    if (s.ellipse)
      painter.drawEllipse(r);
    else
      painter.fillRect(r, ToQColor(s.colour));
  }
}

}  // namespace

QImage PaintFountain(app::TFountainFill& fill, int width, int height) {
  QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  DrawShapes(painter, fill.Fill(width, height));
  return image;
}

FountainWidget::FountainWidget(QWidget* parent) : QWidget(parent) {
  // Opaque: the parent paints nothing under the gradient.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(50, 50);
}

void FountainWidget::Changed() { update(); }

void FountainWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (fill_.DrawOnScreen()) {
    DrawShapes(painter, fill_.Fill(width(), height()));
    return;
  }
  const QImage image = PaintFountain(fill_, width(), height());
  if (image.isNull()) {  // out of memory for the image: fill on screen instead
    DrawShapes(painter, fill_.Fill(width(), height()));
    return;
  }
  painter.drawImage(0, 0, image);
}

}  // namespace nolvo::ui
