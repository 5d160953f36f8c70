#pragma once
// MainSetup: the borderless full-screen background of a run. The gradient, the two
// shadowed headers, the setup icon at the top right (double-click closes), the credit
// line along the bottom and the hidden frame that shows the setup picture.

#include <QFrame>
#include <QLabel>
#include <QMovie>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/main_screen_model.h"
#include "app/ui/fountain_widget.h"
#include "app/ui/shadow_label.h"
#include "platform/code_page.h"

namespace nolvo::ui {

// The 32 x 32 setup icon (drawn, no image file needed).
QPixmap SetupIcon();

class MainScreenWindow : public QWidget {
 public:
  explicit MainScreenWindow(const platform::CodePage& codePage, QWidget* parent = nullptr);
  ~MainScreenWindow() override;

  // The settings' colours, header texts and fonts.
  void ApplyModel(const app::MainScreenModel& model);
  // The layout rules run on every resize.
  void FormResize();
  // Loads the setup picture (host path) into the GIF player or the still image, frames it
  // and shows the frame; the frame's left edge comes from `left(panelWidth)`. Throws
  // std::runtime_error when the picture cannot be loaded.
  void ShowPicture(const QString& hostPath, bool animated,
                   const std::function<int(int gradientWidth, int panelWidth)>& left);

  FountainWidget* MainScreen() { return mainScreen_; }
  ShadowLabel* SetupHeader() { return header_; }
  ShadowLabel* SetupHeader2() { return header2_; }
  QLabel* Image1() { return image1_; }
  QLabel* CreditLine() { return credit_; }
  QFrame* BitmapScreen() { return bitmapScreen_; }
  QLabel* Image3() { return image3_; }
  QLabel* Image4() { return image4_; }
  QMovie* Movie() { return movie_.get(); }

  // Runs when the window closes (FormClose of the run).
  std::function<void()> OnClose;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const platform::CodePage& codePage_;
  FountainWidget* mainScreen_;
  ShadowLabel* header_;
  ShadowLabel* header2_;
  QLabel* image1_;
  QLabel* credit_;
  QFrame* bitmapScreen_;
  QLabel* image3_;
  QLabel* image4_;
  std::unique_ptr<QMovie> movie_;
};

}  // namespace nolvo::ui
