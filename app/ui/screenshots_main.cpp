// nolvo-screenshots MEDIA_DIR PREFIX_DIR OUT_DIR: runs the whole setup of MEDIA_DIR into
// the prefix with every window on Qt's current platform (offscreen in scripts), clicks
// through the wizard with the default answers and writes a PNG of each window.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/ui/find_widget.h"
#include "app/ui/qt_dialogs.h"
#include "app/ui/setup_program.h"

namespace {

using namespace nolvo;

// Answers every box with its first button (OK, Yes, No) and every input box with OK.
class DefaultAnswers : public platform::Dialogs {
 public:
  platform::DialogResult ShowMessageBox(const platform::MessageRequest& request) override {
    std::printf("box: %s\n", request.text.c_str());
    switch (request.buttons) {
      case platform::DialogButtons::dbYesNo:
        return platform::DialogResult::idYes;
      case platform::DialogButtons::dbNoAbort:
        return platform::DialogResult::idNo;
      default:
        return platform::DialogResult::idOk;
    }
  }
  platform::InputResult ShowInputBox(const platform::InputRequest& request) override {
    return {true, request.default_text};
  }
};

class Shooter {
 public:
  explicit Shooter(QString out) : out_(std::move(out)) {}
  void Save(const QString& name, const QImage& image) {
    const QString path = out_ + "/" + name + ".png";
    image.save(path);
    std::printf("%s\n", path.toLocal8Bit().constData());
  }
  void Save(const QString& name, QWidget& widget) { Save(name, widget.grab().toImage()); }

 private:
  QString out_;
};

// The pump also takes the pictures of the extraction stage while it runs.
class ShootingPump : public ui::QtMessagePump {
 public:
  std::function<void()> Hook;
  void ProcessMessages() override {
    ui::QtMessagePump::ProcessMessages();
    if (Hook) Hook();
  }
};

void Click(QAbstractButton* b) { b->click(); }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(ui::kApplicationTitle);
  if (argc != 4) {
    std::fprintf(stderr, "usage: nolvo-screenshots MEDIA_DIR PREFIX_DIR OUT_DIR\n");
    return 2;
  }
  QDir().mkpath(argv[3]);
  Shooter shots(argv[3]);
  platform::Machine machine{std::filesystem::path(argv[2])};
  if (!machine.SetCurrentDirectory(machine.ToWindows(std::filesystem::canonical(argv[1]))).ok()) {
    std::fprintf(stderr, "nolvo-screenshots: cannot enter %s\n", argv[1]);
    return 2;
  }
  DefaultAnswers dialogs;
  ShootingPump pump;
  ui::SetupProgram program(machine, dialogs, pump, std::nullopt);
  program.TimerInterval = 50;
  program.FrontEnd().TimerInterval = 50;
  program.MainSetup().resize(1024, 768);

  bool extractionShot = false, pictureShot = false, progressShot = false;
  pump.Hook = [&] {
    ui::ExtractionWindow* x = program.FrontEnd().Extraction();
    if (x && !extractionShot && x->ProgressBar2()->value() >= 2 && !x->Label2()->text().isEmpty()) {
      extractionShot = true;
      shots.Save("02-extraction-window", *x);
    }
    if (x && !pictureShot && program.MainSetup().BitmapScreen()->isVisible()) {
      pictureShot = true;
      // The main screen with the extraction window centred on it, as a person sees it.
      QImage screen = program.MainSetup().grab().toImage();
      QPainter p(&screen);
      const QImage window = x->grab().toImage();
      p.drawImage((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2,
                  window);
      p.end();
      shots.Save("01-main-screen-extracting", screen);
    }
    ui::WizardWindow* w = program.FrontEnd().Wizard();
    if (w && !progressShot && w->isVisible() &&
        Find<QStackedWidget>(*w, "Notebook1")->currentIndex() == setup::kPageProgress &&
        Find<QProgressBar>(*w, "ProgressBar1")->value() > 2) {
      progressShot = true;
      shots.Save("10-wizard-progress", *w);
    }
  };

  program.FrontEnd().OnModalShown = [&](QDialog& dialog) {
    auto* w = dynamic_cast<ui::WizardWindow*>(&dialog);
    if (!w) return;
    shots.Save("03-wizard-welcome", *w);
    Click(Find<QPushButton>(*w, "Next"));
    if (Find<QStackedWidget>(*w, "Notebook1")->currentIndex() == setup::kPageLicence) {
      shots.Save("04-wizard-licence", *w);
      Click(Find<QPushButton>(*w, "Accept"));
    }
    shots.Save("05-wizard-destination", *w);
    QTimer::singleShot(0, [&] {
      auto& chooser = program.Form3();
      shots.Save("06-directory-chooser", chooser);
      Click(chooser.BitBtn2());
    });
    Click(Find<QPushButton>(*w, "Browse"));
    Click(Find<QPushButton>(*w, "Next"));
    if (Find<QStackedWidget>(*w, "Notebook1")->currentIndex() == setup::kPageFolders) {
      shots.Save("07-wizard-folders", *w);
      Click(Find<QPushButton>(*w, "Next"));
    }
    if (Find<QStackedWidget>(*w, "Notebook1")->currentIndex() == setup::kPageInstallType) {
      shots.Save("08-wizard-install-type", *w);
      Click(Find<QPushButton>(*w, "Next"));
    }
    shots.Save("09-wizard-ready", *w);
    Click(Find<QRadioButton>(*w, "RadioButton2"));  // return to Windows: nothing is launched
    Click(Find<QPushButton>(*w, "Install"));
  };
  program.OnFinished = [&] { QTimer::singleShot(0, &app, &QApplication::quit); };
  program.Start(false);
  app.exec();
  if (!program.Engine() || !program.Engine()->FullSuccess()) {
    std::fprintf(stderr, "nolvo-screenshots: the installation did not complete\n");
    return 1;
  }
  return 0;
}
