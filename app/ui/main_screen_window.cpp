#include "app/ui/main_screen_window.h"

#include <QCloseEvent>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <stdexcept>

#include "app/ui/ui_text.h"

namespace nolvo::ui {

QPixmap SetupIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // A box with a disk on it: the setup program's mark.
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(0xE0, 0xB0, 0x40));
  p.drawRect(3, 12, 26, 18);
  p.setBrush(QColor(0xF0, 0xD0, 0x70));
  p.drawPolygon(QPolygon({QPoint(3, 12), QPoint(9, 5), QPoint(29, 5), QPoint(29, 12)}));
  p.setBrush(QColor(0x30, 0x30, 0xA0));
  p.drawRect(11, 15, 12, 12);
  p.setBrush(Qt::white);
  p.drawRect(14, 15, 6, 4);
  return pixmap;
}

MainScreenWindow::MainScreenWindow(const platform::CodePage& codePage, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), codePage_(codePage) {
  setObjectName("MainSetup");
  setWindowTitle("Nolvo 32Bit Installer");
  setWindowIcon(QIcon(SetupIcon()));
  setFont(DefaultFont());
  resize(536, 348);
  setAutoFillBackground(true);

  // Stacking order from the back: gradient, headers, icon, credit line, picture frame.
  mainScreen_ = new FountainWidget(this);
  mainScreen_->setObjectName("MainScreen");
  mainScreen_->Fill().SetFromColor(app::kBlue);
  mainScreen_->Fill().SetToColor(app::kBlack);
  mainScreen_->Fill().SetSteps(255);

  header_ = new ShadowLabel(this);
  header_->setObjectName("Setup_Header");
  header_->move(8, 1);
  header2_ = new ShadowLabel(this);
  header2_->setObjectName("Setup_Header2");
  header2_->move(18, 32);

  image1_ = new QLabel(this);
  image1_->setObjectName("Image1");
  image1_->setPixmap(SetupIcon());
  image1_->setGeometry(480, 8, 32, 32);
  image1_->installEventFilter(this);

  credit_ = new QLabel("Setup built with Nolvo", this);
  credit_->setObjectName("CreditLine");
  credit_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  credit_->setStyleSheet("color: white; background: transparent;");
  credit_->setCursor(Qt::PointingHandCursor);
  credit_->move(120, 328);
  credit_->adjustSize();

  bitmapScreen_ = new QFrame(this);
  bitmapScreen_->setObjectName("bitmapscreen");
  bitmapScreen_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  bitmapScreen_->setLineWidth(2);
  bitmapScreen_->setAutoFillBackground(true);
  bitmapScreen_->setGeometry(16, 56, 153, 89);
  bitmapScreen_->hide();
  image3_ = new QLabel(bitmapScreen_);
  image3_->setObjectName("Image3");
  image3_->setGeometry(16, 8, 115, 96);
  image3_->hide();
  image4_ = new QLabel(bitmapScreen_);
  image4_->setObjectName("Image4");
  image4_->setGeometry(136, 8, 105, 105);
  image4_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image4_->setScaledContents(false);
  image4_->hide();

  ApplyModel(app::MainScreenModel{});
}

MainScreenWindow::~MainScreenWindow() = default;

void MainScreenWindow::ApplyModel(const app::MainScreenModel& model) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(model.WindowColor));
  setPalette(pal);
  mainScreen_->Fill().SetFromColor(model.FromColor);
  mainScreen_->Fill().SetToColor(model.ToColor);
  mainScreen_->Changed();

  auto apply = [&](ShadowLabel* label, const app::HeaderStyle& style) {
    label->SetTextFont(DesignedFont(FromAnsi(codePage_, style.FontName), style.FontSize));
    label->SetColors(ToQColor(style.FontColor), ToQColor(style.ShadowColor));
    label->SetShadowSize(style.ShadowSize);
    label->SetText(FromAnsi(codePage_, style.Text));
  };
  apply(header_, model.Header);
  apply(header2_, model.Header2);
  FormResize();
}

void MainScreenWindow::FormResize() {
  const int w = width();
  mainScreen_->setGeometry(0, 0, w, height());
  const int iconWidth = image1_->width();
  image1_->move(w - iconWidth - iconWidth / 2, 8);
  credit_->setGeometry(0, mainScreen_->height() - credit_->sizeHint().height() - 10,
                       mainScreen_->width(), credit_->sizeHint().height());
  header_->move(8, 1);
  header2_->move(18, header_->y() + header_->height() + 2);
}

void MainScreenWindow::ShowPicture(const QString& hostPath, bool animated,
                                   const std::function<int(int, int)>& left) {
  image3_->hide();
  image4_->hide();
  QWidget* shown = nullptr;
  if (animated) {
    auto movie = std::make_unique<QMovie>(hostPath);
    if (!movie->isValid()) throw std::runtime_error("Cannot load the setup picture");
    movie->jumpToFrame(0);
    image3_->setMovie(movie.get());
    image3_->resize(movie->frameRect().size());
    movie_ = std::move(movie);
    // Played in a loop, also when the file asks for a single run.
    QObject::connect(movie_.get(), &QMovie::finished, movie_.get(), &QMovie::start);
    movie_->start();
    image3_->move(5, 5);
    image3_->show();
    shown = image3_;
  } else {
    QImageReader reader(hostPath);
    const QImage image = reader.read();
    if (image.isNull()) throw std::runtime_error("Cannot load the setup picture");
    // Unscaled from its top-left corner, clipped to the designed 105 x 105.
    image4_->setPixmap(QPixmap::fromImage(image));
    image4_->setGeometry(5, 5, 105, 105);
    image4_->show();
    shown = image4_;
  }
  bitmapScreen_->resize(shown->width() + 10, shown->height() + 10);
  bitmapScreen_->show();
  update();
  bitmapScreen_->move(left(mainScreen_->width(), bitmapScreen_->width()), header2_->y() + 30);
  update();
}

void MainScreenWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void MainScreenWindow::closeEvent(QCloseEvent* event) {
  if (OnClose) {
    auto handler = std::move(OnClose);
    OnClose = nullptr;
    handler();
  }
  event->accept();
}

bool MainScreenWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == image1_ && event->type() == QEvent::MouseButtonDblClick) {
    close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace nolvo::ui
