#include "archive/ui/extraction_window.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <stdexcept>

#include "app/ui/main_screen_window.h"
#include "app/ui/ui_text.h"
#include "util/shown_text.h"

namespace nolvo::ui {

ExtractionWindow::ExtractionWindow(platform::Machine& machine, MainScreenWindow* mainScreen,
                                   QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      machine_(machine),
      mainScreen_(mainScreen) {
  setObjectName("Unzip");
  setWindowTitle("Preparing Nolvo Setup");
  setFont(DefaultFont());
  setFixedSize(383, 113);
  setModal(true);

  // Labels take the size of their text.
  label2_ = new QLabel(this);
  label2_->setObjectName("Label2");
  label2_->move(6, 4);
  label2_->adjustSize();
  auto* image6 = new QLabel(this);
  image6->setObjectName("Image6");
  image6->setPixmap(SetupIcon());
  image6->setGeometry(342, 4, 32, 32);
  auto* label1 = new QLabel("Current File Progress....", this);
  label1->setObjectName("Label1");
  label1->move(6, 28);
  label1->adjustSize();
  progress1_ = new QProgressBar(this);
  progress1_->setObjectName("ProgressBar1");
  progress1_->setGeometry(6, 42, 369, 15);
  progress1_->setRange(0, 100);
  progress1_->setValue(0);
  progress1_->setTextVisible(false);
  auto* label3 = new QLabel("Decompression Progress....", this);
  label3->setObjectName("Label3");
  label3->move(6, 72);
  label3->adjustSize();
  progress2_ = new QProgressBar(this);
  progress2_->setObjectName("ProgressBar2");
  progress2_->setGeometry(6, 86, 367, 15);
  progress2_->setRange(0, 100);
  progress2_->setValue(0);
  progress2_->setTextVisible(false);
  for (QWidget* w : std::initializer_list<QWidget*>{label2_, image6, label1, label3})
    w->setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks reach the window
}

void ExtractionWindow::SetStatus(const std::string& text) {
  // A file name from the medium: its control characters shown as \xNN.
  label2_->setText(QString::fromStdString(util::ShownName(text, machine_.Codepage())));
  label2_->adjustSize();
}

void ExtractionWindow::SetFileProgress(int percent) {
  progress1_->setValue(std::clamp(percent, 0, 100));
}

void ExtractionWindow::SetCountRange(int max) { progress2_->setRange(0, std::max(max, 0)); }

void ExtractionWindow::SetCountPosition(int position) {
  // The bar holds at its maximum when more files arrive than it counts.
  progress2_->setValue(std::clamp(position, 0, progress2_->maximum()));
}

void ExtractionWindow::ShowPicture(const stage::SetupPicture& picture) {
  const platform::ResolvedPath r = machine_.Resolve(picture.windowsPath);
  if (!r.error.ok() || !r.exists) throw std::runtime_error("Cannot load the setup picture");
  if (!mainScreen_) return;
  mainScreen_->ShowPicture(QString::fromStdString(r.host.string()), picture.animated,
                           [&](int gradientWidth, int panelWidth) {
                             return stage::PictureFrameLeft(gradientWidth, panelWidth,
                                                            picture.alignCenter, picture.alignLeft);
                           });
}

void ExtractionWindow::Close() {
  closing_ = true;
  done(QDialog::Accepted);
  closing_ = false;
}

void ExtractionWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnClick) OnClick();
  event->accept();
}

void ExtractionWindow::reject() {
  if (closing_) QDialog::reject();
}

void ExtractionWindow::closeEvent(QCloseEvent* event) {
  if (closing_)
    event->accept();
  else
    event->ignore();
}

}  // namespace nolvo::ui
