#pragma once
// MainScreen: the gradient control. It paints the shapes of its TFountainFill into an
// off-screen image and copies that image in one go (or, with DrawOnScreen, fills the
// widget directly).

#include <QImage>
#include <QWidget>

#include "app/fountain_fill.h"

namespace nolvo::ui {

// Paints the shapes of `fill` for a width x height surface into a new image.
QImage PaintFountain(app::TFountainFill& fill, int width, int height);

class FountainWidget : public QWidget {
 public:
  explicit FountainWidget(QWidget* parent = nullptr);

  app::TFountainFill& Fill() { return fill_; }
  // Applies a change made through Fill() (the setters ask for a repaint).
  void Changed();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  app::TFountainFill fill_;
};

}  // namespace nolvo::ui
