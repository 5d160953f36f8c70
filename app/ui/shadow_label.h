#pragma once
// A transparent label with a drop shadow towards the right and bottom, sized to its text.

#include <QColor>
#include <QWidget>

namespace nolvo::ui {

class ShadowLabel : public QWidget {
 public:
  explicit ShadowLabel(QWidget* parent = nullptr);

  void SetText(const QString& text);
  void SetTextFont(const QFont& font);
  void SetColors(const QColor& text, const QColor& shadow);
  void SetShadowSize(int pixels);
  // Centres the text in the label's width (the credit line) instead of sizing to it.
  void SetCentred(bool centred) {
    centred_ = centred;
    update();
  }

  const QString& Text() const { return text_; }
  int ShadowSize() const { return shadow_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void AutoSize();

  QString text_;
  QColor color_ = Qt::black;
  QColor shadowColor_ = Qt::white;
  int shadow_ = 0;
  bool centred_ = false;
};

}  // namespace nolvo::ui
