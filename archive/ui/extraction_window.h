#pragma once
// Unzip: the "Preparing Nolvo Setup" window. It shows what the extraction stage reports
// (status line, current-file and file-count bars) and puts the setup picture on the main
// screen; a click on its free area is the stage's abort question.

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <functional>

#include "archive/stage/unzip_view.h"
#include "platform/machine.h"

namespace nolvo::ui {

class MainScreenWindow;

class ExtractionWindow : public QDialog, public stage::UnzipView {
 public:
  ExtractionWindow(platform::Machine& machine, MainScreenWindow* mainScreen,
                   QWidget* parent = nullptr);

  void SetStatus(const std::string& text) override;
  void SetFileProgress(int percent) override;
  void SetCountRange(int max) override;
  void SetCountPosition(int position) override;
  void ShowPicture(const stage::SetupPicture& picture) override;
  void Close() override;

  // A click on the window (FormClick).
  std::function<void()> OnClick;

  QLabel* Label2() { return label2_; }
  QProgressBar* ProgressBar1() { return progress1_; }
  QProgressBar* ProgressBar2() { return progress2_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void reject() override;  // Escape and closing from outside do nothing: no close box
  void closeEvent(QCloseEvent* event) override;

 private:
  platform::Machine& machine_;
  MainScreenWindow* mainScreen_;
  QLabel* label2_;
  QProgressBar* progress1_;
  QProgressBar* progress2_;
  bool closing_ = false;
};

}  // namespace nolvo::ui
