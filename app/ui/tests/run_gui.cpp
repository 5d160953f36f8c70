// Whole setup runs through the windows: media built on the spot, the main screen, the
// extraction window, the wizard clicked through, the installation and the clean-up.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEventLoop>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>

#include "app/ui/find_widget.h"
#include "app/ui/report_dialog.h"
#include "app/ui/setup_program.h"
#include "app/ui/tests/gui_app.h"
#include "archive/media/digest_files.h"
#include "archive/media/digest_lists.h"
#include "archive/segment/seg_writer.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/run_command.h"
#include "tests/support/test_machine.h"

namespace nolvo::ui {
namespace {

namespace fs = std::filesystem;

const char* kCfg =
    "[Setup - Main]\nInstall Dir=Demo\nAdd to Program Files=1\nFolder=Demo\n"
    "Launch=<INSTALLDIR>demo.exe\nShow Re-Boot=1\nWork Station Prompt=0\n"
    "Bitmap File=logo.bmp\nAlign Center=1\nHeader=Demo Product 2.0\n"
    "[Directories]\nDir1=<INSTALLDIR>~\n"
    "[Files]\nF1=demo.exe~<INSTALLDIR>\nF2=readme.txt~<INSTALLDIR>\n"
    "[Desktop]\nS1=Demo~<INSTALLDIR>demo.exe~X~X~<INSTALLDIR>demo.exe~Demo\n";

// Setup media in <root>/media: install.cfg, install.exe and disk.001 holding the product.
fs::path BuildMedia(const fs::path& root) {
  const fs::path product = root / "product", media = root / "media";
  fs::create_directories(product);
  fs::create_directories(media);
  test::WriteBytes(product / "demo.exe", std::string(5000, 'x') + "demo program");
  test::WriteBytes(product / "readme.txt", std::string("Read me first.\r\n"));
  test::WriteBytes(product / "license.txt", std::string("Licence line one\r\nline two\r\n"));
  QImage logo(60, 40, QImage::Format_RGB32);
  logo.fill(Qt::red);
  logo.save(QString::fromStdString((product / "logo.bmp").string()), "BMP");
  segment::TSegWriteArchive archive;
  // The picture comes first so that a later file event shows it.
  for (const char* name : {"license.txt", "logo.bmp", "demo.exe", "readme.txt"})
    archive.Files.push_back({product / name, name});
  segment::TSegWriterSettings settings;
  settings.Dir = media;
  segment::WriteSegmentedArchive(settings, {archive});
  test::WriteBytes(media / "install.cfg", std::string(kCfg));
  test::WriteBytes(media / "install.exe", std::string("setup program"));
  return media;
}

// Runs `program` until its main screen has closed; an end-of-run report box is closed
// with OK unless the test reads it itself.
void RunToEnd(SetupProgram& program) {
  QEventLoop loop;
  program.OnFinished = [&] { loop.quit(); };
  if (!program.OnReportShown) program.OnReportShown = [](QDialog& box) { box.accept(); };
  program.TimerInterval = 0;
  program.FrontEnd().TimerInterval = 0;
  program.MainSetup().resize(800, 600);
  program.Start(false);
  if (!program.Finished()) loop.exec();
}

TEST(SetupRunGui, InstallsThroughTheWindows) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path media = BuildMedia(tm.Root());
  platform::Machine& m = tm.Machine();
  ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
  testing::ScriptedDialogs dialogs;
  platform::NullMessagePump pump;
  SetupProgram program(m, dialogs, pump, std::nullopt);

  std::vector<int> pages;
  bool extractionSeen = false;
  program.FrontEnd().OnModalShown = [&](QDialog& dialog) {
    if (dynamic_cast<ExtractionWindow*>(&dialog)) {
      extractionSeen = true;
      EXPECT_EQ(dialog.windowTitle(), "Preparing Nolvo Setup");
      return;
    }
    auto& w = dynamic_cast<WizardWindow&>(dialog);
    auto click = [&](QAbstractButton* b) {
      QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
      pages.push_back(Find<QStackedWidget>(w, "Notebook1")->currentIndex());
    };
    click(Find<QPushButton>(w, "Next"));           // the licence
    click(Find<QPushButton>(w, "Accept"));         // the destination
    click(Find<QPushButton>(w, "Next"));           // the folders
    click(Find<QPushButton>(w, "Next"));           // ready
    click(Find<QRadioButton>(w, "RadioButton2"));  // return to Windows
    click(Find<QPushButton>(w, "Install"));
  };
  RunToEnd(program);

  EXPECT_TRUE(extractionSeen);
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 3, 5, 5, 6}));
  EXPECT_EQ(program.MainSetup().SetupHeader()->Text(), "Demo Product 2.0");
  // The picture was framed on the main screen, centred.
  QFrame* frame = program.MainSetup().BitmapScreen();
  EXPECT_TRUE(frame->isVisibleTo(&program.MainSetup()));
  EXPECT_EQ(frame->size(), QSize(115, 115));
  EXPECT_EQ(frame->x(), 800 / 2 - 115 / 2);
  ASSERT_TRUE(program.Engine().has_value());
  EXPECT_TRUE(program.Engine()->FullSuccess()) << program.Engine()->error;
  EXPECT_EQ(test::ReadText(tm.DriveC() / "Program Files" / "Demo" / "demo.exe"),
            std::string(5000, 'x') + "demo program");
  EXPECT_TRUE(fs::exists(tm.DriveC() / "Program Files" / "Demo" / "readme.txt"));
  // The temporary folder is gone after the close.
  EXPECT_FALSE(fs::exists(tm.DriveC() / "WINDOWS" / "Temp" / "q"));
  EXPECT_FALSE(program.Run().Outcome().RebootRequested);
  EXPECT_EQ(program.ExitCode(), 0);
  dialogs.Verify();
}

TEST(SetupRunGui, CancelOnTheWizardEndsWithoutInstalling) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path media = BuildMedia(tm.Root());
  platform::Machine& m = tm.Machine();
  ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
  testing::ScriptedDialogs dialogs;
  platform::NullMessagePump pump;
  SetupProgram program(m, dialogs, pump, std::nullopt);
  program.FrontEnd().OnModalShown = [&](QDialog& dialog) {
    if (auto* w = dynamic_cast<WizardWindow*>(&dialog)) QTest::keyClick(w, Qt::Key_Escape);
  };
  RunToEnd(program);
  EXPECT_FALSE(program.Engine().has_value());
  EXPECT_EQ(program.Run().Outcome().End, setup::WizardEnd::weCancelled);
  EXPECT_FALSE(program.Run().Outcome().RebootRequested);  // Cancel clears the reboot choice
  EXPECT_FALSE(fs::exists(tm.DriveC() / "Program Files" / "Demo"));
  EXPECT_FALSE(fs::exists(tm.DriveC() / "WINDOWS" / "Temp" / "q"));
}

// Answers the abort question with Abort and any other box with its first button.
class AbortingDialogs : public platform::Dialogs {
 public:
  std::vector<std::string> Asked;
  platform::DialogResult ShowMessageBox(const platform::MessageRequest& r) override {
    Asked.push_back(r.text);
    return r.buttons == platform::DialogButtons::dbNoAbort ? platform::DialogResult::idAbort
                                                           : platform::DialogResult::idOk;
  }
  platform::InputResult ShowInputBox(const platform::InputRequest&) override { return {}; }
};

// Clicks the extraction window once it has started expanding.
class ClickingPump : public platform::MessagePump {
 public:
  explicit ClickingPump(SetupProgram*& program) : program_(program) {}
  void ProcessMessages() override {
    ExtractionWindow* x = program_ ? program_->FrontEnd().Extraction() : nullptr;
    if (x && !clicked_ && x->isVisible() && !x->Label2()->text().isEmpty()) {
      clicked_ = true;
      QTest::mouseClick(x, Qt::LeftButton, {}, QPoint(200, 30));
    }
  }

 private:
  SetupProgram*& program_;
  bool clicked_ = false;
};

TEST(SetupRunGui, AbortDuringExtractionSkipsTheWizard) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path media = BuildMedia(tm.Root());
  platform::Machine& m = tm.Machine();
  ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
  AbortingDialogs dialogs;
  SetupProgram* current = nullptr;
  ClickingPump pump(current);
  SetupProgram program(m, dialogs, pump, std::nullopt);
  current = &program;
  bool wizardShown = false;
  program.FrontEnd().OnModalShown = [&](QDialog& dialog) {
    if (dynamic_cast<WizardWindow*>(&dialog)) wizardShown = true;
  };
  RunToEnd(program);
  ASSERT_FALSE(dialogs.Asked.empty());
  EXPECT_EQ(dialogs.Asked.front(), "Abort Setup Process ?");
  EXPECT_TRUE(program.Run().Outcome().Abandoned);
  EXPECT_FALSE(wizardShown);
  EXPECT_FALSE(program.Engine().has_value());
  EXPECT_FALSE(fs::exists(tm.DriveC() / "Program Files" / "Demo"));
  EXPECT_TRUE(program.Run().Outcome().Report.Empty());  // the user's own abort
  EXPECT_EQ(program.ExitCode(), 3);
}

TEST(SetupRunGui, AbortBeforeTheExpansionBeginsEndsTheStage) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path media = BuildMedia(tm.Root());
  platform::Machine& m = tm.Machine();
  ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
  AbortingDialogs dialogs;
  platform::NullMessagePump pump;
  SetupProgram program(m, dialogs, pump, std::nullopt);
  bool wizardShown = false;
  program.FrontEnd().OnModalShown = [&](QDialog& dialog) {
    // The extraction window is up and its timer has not fired yet.
    if (dynamic_cast<ExtractionWindow*>(&dialog))
      QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(200, 30));
    if (dynamic_cast<WizardWindow*>(&dialog)) {
      wizardShown = true;
      QTest::keyClick(&dialog, Qt::Key_Escape);
    }
  };
  RunToEnd(program);
  EXPECT_EQ(dialogs.Asked, std::vector<std::string>{"Abort Setup Process ?"});
  EXPECT_TRUE(program.Run().Outcome().Abandoned);
  EXPECT_FALSE(wizardShown);
  EXPECT_TRUE(program.Run().ExpandedFiles().empty());
  EXPECT_EQ(program.ExitCode(), 3);
}

// Clicks through the wizard to the ready page, lets `ready` set the finish choice, then
// presses Install.
void InstallWith(SetupProgram& program, std::function<void(WizardWindow&)> ready) {
  program.FrontEnd().OnModalShown = [ready](QDialog& dialog) {
    auto* w = dynamic_cast<WizardWindow*>(&dialog);
    if (!w) return;
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(Find<QPushButton>(*w, "Next")),
                               static_cast<QAbstractButton*>(Find<QPushButton>(*w, "Accept")),
                               static_cast<QAbstractButton*>(Find<QPushButton>(*w, "Next")),
                               static_cast<QAbstractButton*>(Find<QPushButton>(*w, "Next"))})
      QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    ready(*w);
    if (w->isVisible() && Find<QPushButton>(*w, "Install")->isVisible())
      QTest::mouseClick(Find<QPushButton>(*w, "Install"), Qt::LeftButton);
  };
}

TEST(SetupRunGui, ProblemsEndInOneBoxWithAScrollableListAndStatusOne) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path media = BuildMedia(tm.Root());
  // Entries the product cannot use: a file the media do not hold, a line without "~".
  std::string cfg = kCfg;
  const std::string last = "F2=readme.txt~<INSTALLDIR>\n";
  cfg.insert(cfg.find(last) + last.size(), "F3=absent.dll~<INSTALLDIR>\nF4=no tilde\n");
  test::WriteBytes(media / "install.cfg", cfg);
  platform::Machine& m = tm.Machine();
  ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
  testing::ScriptedDialogs dialogs;
  platform::NullMessagePump pump;
  SetupProgram program(m, dialogs, pump, std::nullopt);
  InstallWith(program, [](WizardWindow& w) {
    QTest::mouseClick(Find<QRadioButton>(w, "RadioButton2"), Qt::LeftButton, {}, QPoint(6, 6));
  });
  QStringList lines;
  bool scrollable = false;
  program.OnReportShown = [&](QDialog& box) {
    auto& report = dynamic_cast<ReportDialog&>(box);
    EXPECT_EQ(report.windowTitle(), "Nolvo - Setup");
    for (int i = 0; i < report.List()->count(); ++i) lines << report.List()->item(i)->text();
    scrollable = report.List()->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    QTest::mouseClick(report.OkButton(), Qt::LeftButton);
  };
  RunToEnd(program);
  ASSERT_EQ(lines.size(), 2) << lines.join("\n").toStdString();
  EXPECT_TRUE(lines[0].contains("no tilde")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].contains("absent.dll is not in the media")) << lines[1].toStdString();
  EXPECT_TRUE(scrollable);
  EXPECT_TRUE(fs::exists(tm.DriveC() / "Program Files" / "Demo" / "demo.exe"));
  EXPECT_EQ(program.ExitCode(), 1);
}

TEST(SetupRunGui, ALeftoverRegistryFileThatCannotBeMergedIsAFailureNotACancel) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path media = BuildMedia(tm.Root());
  platform::Machine& m = tm.Machine();
  test::WriteBytes(m.Prefix() / "system.reg",
                   std::string("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"));
  test::WriteBytes(m.RegistryFile(), std::string("not a registry file\n"));
  ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
  AbortingDialogs dialogs;  // any box answered with OK
  platform::NullMessagePump pump;
  SetupProgram program(m, dialogs, pump, std::nullopt);
  InstallWith(program, [](WizardWindow&) {});
  QStringList lines;
  program.OnReportShown = [&](QDialog& box) {
    auto& report = dynamic_cast<ReportDialog&>(box);
    for (int i = 0; i < report.List()->count(); ++i) lines << report.List()->item(i)->text();
    QTest::mouseClick(report.OkButton(), Qt::LeftButton);
  };
  RunToEnd(program);
  EXPECT_FALSE(program.Engine().has_value());
  EXPECT_TRUE(lines.join("\n").contains("registry.reg")) << lines.join("\n").toStdString();
  EXPECT_EQ(program.ExitCode(), 1);
  EXPECT_FALSE(fs::exists(tm.DriveC() / "Program Files" / "Demo"));
}

TEST(SetupRunGui, RestartIsRequestedOnlyWhenTheRebootChoiceStandsAtTheEnd) {
  test::GuiApp();
  for (const bool closeBox : {false, true}) {
    test::TestMachine tm;
    const fs::path media = BuildMedia(tm.Root());
    platform::Machine& m = tm.Machine();
    ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
    testing::ScriptedDialogs dialogs;
    platform::NullMessagePump pump;
    SetupProgram program(m, dialogs, pump, std::nullopt);
    InstallWith(program, [closeBox](WizardWindow& w) {
      QTest::mouseClick(Find<QRadioButton>(w, "reboot"), Qt::LeftButton, {}, QPoint(6, 6));
      ASSERT_TRUE(w.Wizard().RebootSelected());
      if (closeBox) w.close();  // the title bar's close box, before Install
    });
    RunToEnd(program);
    EXPECT_EQ(program.Run().Outcome().RebootRequested, !closeBox);
    EXPECT_EQ(program.Engine().has_value(), !closeBox);
    EXPECT_EQ(program.ExitCode(), closeBox ? 3 : 0);
  }
}

TEST(SetupRunGui, BytesThatDifferFromTheEntryListStopBeforeTheWizard) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path media = BuildMedia(tm.Root());
  // An entry list whose digest for demo.exe is not that of its bytes.
  std::vector<media::EntryDigest> list;
  for (const char* name : {"license.txt", "logo.bmp", "demo.exe", "readme.txt"}) {
    const std::string bytes = test::ReadText(tm.Root() / "product" / name);
    list.push_back({0, static_cast<std::uint32_t>(list.size()),
                    static_cast<std::int64_t>(bytes.size()),
                    media::Sha256Of(std::string(name) == "demo.exe" ? bytes + "!" : bytes), name});
  }
  test::WriteBytes(media / std::string(media::kEntryDigestsName), media::FormatEntryDigests(list));
  std::vector<std::string> all;
  for (const auto& e : fs::directory_iterator(media)) all.push_back(e.path().filename());
  test::WriteBytes(media / std::string(media::kMediaDigestsName),
                   media::FormatMediaDigests(media::DigestFolderFiles(media, all)));
  platform::Machine& m = tm.Machine();
  ASSERT_TRUE(m.SetCurrentDirectory(m.ToWindows(media)).ok());
  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(platform::DialogResult::idOk, "Error Expanding Files!!");
  platform::NullMessagePump pump;
  SetupProgram program(m, dialogs, pump, std::nullopt);
  bool wizardShown = false;
  program.FrontEnd().OnModalShown = [&](QDialog& dialog) {
    wizardShown = wizardShown || dynamic_cast<WizardWindow*>(&dialog) != nullptr;
  };
  QStringList lines;
  program.OnReportShown = [&](QDialog& box) {
    auto& report = dynamic_cast<ReportDialog&>(box);
    for (int i = 0; i < report.List()->count(); ++i) lines << report.List()->item(i)->text();
    QTest::mouseClick(report.OkButton(), Qt::LeftButton);
  };
  RunToEnd(program);
  dialogs.Verify();
  EXPECT_FALSE(wizardShown);
  EXPECT_FALSE(program.Engine().has_value());
  EXPECT_EQ(program.ExitCode(), 1);
  // The box at the end names the segment, the archive and the entry.
  EXPECT_TRUE(lines.join("\n").contains("disk.001: archive 0 \"C:\\*.*\": entry 2 \"demo.exe\""))
      << lines.join("\n").toStdString();
  EXPECT_FALSE(fs::exists(tm.DriveC() / "Program Files" / "Demo"));
}

TEST(SetupRunGui, AMissingStagingFolderStopsTheStart) {
  test::GuiApp();
  test::TestMachine tm;
  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(platform::DialogResult::idOk);
  platform::NullMessagePump pump;
  SetupProgram program(tm.Machine(), dialogs, pump, std::string("C:\\NOT\\THERE"));
  RunToEnd(program);
  EXPECT_EQ(program.ExitCode(), 1);
  EXPECT_TRUE(program.Finished());
  dialogs.Verify();
  ASSERT_EQ(dialogs.Asked().size(), 1u);
  EXPECT_EQ(std::get<platform::MessageRequest>(dialogs.Asked()[0]).kind,
            platform::DialogKind::dkError);
}

}  // namespace
}  // namespace nolvo::ui

namespace nolvo::ui {
namespace {

TEST(SetupProgramEntry, WithoutADisplayItSaysSoInOneLine) {
  const test::CommandResult r =
      test::RunCommand({(test::BinaryDir() / "app" / "ui" / "nolvo-setup").string()},
                       {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nolvo install --unattended"), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

}  // namespace
}  // namespace nolvo::ui
