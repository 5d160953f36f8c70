// The extraction window with a real extraction stage behind it: the designed window, the
// bars, the abort question by a click, and the setup picture on the main screen.

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "app/ui/main_screen_window.h"
#include "app/ui/tests/gui_app.h"
#include "archive/stage/unzip.h"
#include "archive/ui/extraction_window.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/test_machine.h"

namespace nolvo::ui {
namespace {

namespace fs = std::filesystem;

TEST(ExtractionWindow, DesignedWindowAndBars) {
  test::GuiApp();
  test::TestMachine tm;
  ExtractionWindow window(tm.Machine(), nullptr);
  EXPECT_EQ(window.windowTitle(), "Preparing Nolvo Setup");
  EXPECT_EQ(window.size(), QSize(383, 113));
  // The labels sit at their designed places and take the size of their text.
  const struct {
    const char* name;
    QPoint at;
  } labels[] = {{"Label1", {6, 28}}, {"Label2", {6, 4}}, {"Label3", {6, 72}}};
  for (const auto& l : labels) {
    const auto* label = window.findChild<QLabel*>(l.name);
    ASSERT_NE(label, nullptr) << l.name;
    EXPECT_EQ(label->pos(), l.at) << l.name;
    EXPECT_EQ(label->size(), label->sizeHint()) << l.name;
  }
  for (const char* status : {"Copying Install Files...", "a rather longer file name.txt", "x"}) {
    window.SetStatus(status);
    EXPECT_EQ(window.Label2()->text(), status);
    EXPECT_EQ(window.Label2()->size(), window.Label2()->sizeHint()) << status;
  }
  window.SetStatus("Copying Install Files...");
  window.SetCountRange(2);
  window.SetCountPosition(1);
  EXPECT_EQ(window.ProgressBar2()->value(), 1);
  window.SetCountPosition(7);  // more files than counted: the bar holds at its end
  EXPECT_EQ(window.ProgressBar2()->value(), 2);
  window.SetFileProgress(40);
  EXPECT_EQ(window.ProgressBar1()->value(), 40);
  // Escape does not close it: it has no close box.
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());
  window.Close();
  EXPECT_FALSE(window.isVisible());
}

TEST(ExtractionWindow, ClickAsksWhetherToAbort) {
  test::GuiApp();
  test::TestMachine tm;
  testing::ScriptedDialogs dialogs;
  platform::NullMessagePump pump;
  ExtractionWindow window(tm.Machine(), nullptr);
  app::StartupState state{"C:\\MEDIA\\", "C:\\WINDOWS\\Temp\\q", "C:\\", ""};
  app::SetupSettings settings;
  int cleared = 0, terminated = 0;
  stage::TUnzip::Hooks hooks;
  hooks.ClearTempDir = [&] { ++cleared; };
  hooks.Terminate = [&] { ++terminated; };
  stage::TUnzip unzip(tm.Machine(), dialogs, pump, window, state, settings, hooks);
  window.OnClick = [&] { unzip.FormClick(); };
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  dialogs.OnMessage(platform::DialogResult::idNo, "Abort Setup Process ?");
  QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(200, 30));  // on Label1
  EXPECT_FALSE(unzip.Abandoned);
  EXPECT_EQ(cleared, 0);

  dialogs.OnMessage(platform::DialogResult::idAbort, "Abort Setup Process ?");
  QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(200, 65));
  EXPECT_TRUE(unzip.Abandoned);
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(terminated, 1);
  dialogs.Verify();
  ASSERT_EQ(dialogs.Asked().size(), 2u);
  const auto& asked = std::get<platform::MessageRequest>(dialogs.Asked()[1]);
  EXPECT_EQ(asked.buttons, platform::DialogButtons::dbNoAbort);
}

TEST(ExtractionWindow, StillPictureIsFramedUnscaledAndPlaced) {
  test::GuiApp();
  test::TestMachine tm;
  const fs::path tempq = tm.DriveC() / "WINDOWS" / "Temp" / "q";
  fs::create_directories(tempq);
  QImage picture(200, 150, QImage::Format_RGB32);
  picture.fill(QColor(10, 200, 30));
  ASSERT_TRUE(picture.save(QString::fromStdString((tempq / "LOGO.BMP").string()), "BMP"));

  platform::CodePage cp;
  MainScreenWindow screen(cp);
  screen.resize(1000, 700);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  ExtractionWindow window(tm.Machine(), &screen);
  stage::SetupPicture shown{"C:\\WINDOWS\\Temp\\q\\LOGO.BMP", false, false, true};
  window.ShowPicture(shown);
  QFrame* frame = screen.BitmapScreen();
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->size(), QSize(115, 115));
  EXPECT_EQ(frame->pos(), QPoint(20, screen.SetupHeader2()->y() + 30));
  EXPECT_EQ(screen.Image4()->pos(), QPoint(5, 5));
  EXPECT_FALSE(screen.Image3()->isVisible());
  // Unscaled: the picture's own pixels, cut at 105 x 105.
  const QImage inFrame = screen.Image4()->grab().toImage();
  EXPECT_EQ(inFrame.size(), QSize(105, 105));
  EXPECT_EQ(inFrame.pixel(104, 104) & 0xFFFFFF, 0x0AC81Eu);

  // Neither centred nor left: 20 pixels from the right edge; centred wins over left.
  window.ShowPicture({"C:\\WINDOWS\\Temp\\q\\LOGO.BMP", false, false, false});
  EXPECT_EQ(frame->x(), 1000 - (115 + 20));
  window.ShowPicture({"C:\\WINDOWS\\Temp\\q\\LOGO.BMP", false, true, true});
  EXPECT_EQ(frame->x(), 500 - 57);

  // A picture that is not there, or is not a picture, cannot be loaded.
  EXPECT_ANY_THROW(window.ShowPicture({"C:\\WINDOWS\\Temp\\q\\NONE.BMP", false, false, true}));
  test::WriteBytes(tempq / "BAD.GIF", std::string("not a gif"));
  EXPECT_ANY_THROW(window.ShowPicture({"C:\\WINDOWS\\Temp\\q\\BAD.GIF", true, false, true}));
}

TEST(ExtractionWindow, AnimatedPictureIsPlayedInItsOwnSize) {
  test::GuiApp();
  const fs::path gif = test::SourceDir() / "examples" / "demo" / "setup.gif";
  if (!fs::exists(gif)) GTEST_SKIP() << "no demo picture";
  test::TestMachine tm;
  const fs::path tempq = tm.DriveC() / "WINDOWS" / "Temp" / "q";
  fs::create_directories(tempq);
  fs::copy_file(gif, tempq / "mygifpic.bmp");  // "GIF" in the name decides, not the kind
  platform::CodePage cp;
  MainScreenWindow screen(cp);
  screen.resize(800, 600);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  ExtractionWindow window(tm.Machine(), &screen);
  window.ShowPicture({"C:\\WINDOWS\\Temp\\q\\mygifpic.bmp", true, false, true});
  ASSERT_NE(screen.Movie(), nullptr);
  const QSize size = screen.Movie()->frameRect().size();
  EXPECT_GT(size.width(), 0);
  EXPECT_EQ(screen.Image3()->size(), size);
  EXPECT_EQ(screen.Image3()->pos(), QPoint(5, 5));
  EXPECT_TRUE(screen.Image3()->isVisible());
  EXPECT_FALSE(screen.Image4()->isVisible());
  EXPECT_EQ(screen.BitmapScreen()->size(), size + QSize(10, 10));
  EXPECT_EQ(screen.Movie()->state(), QMovie::Running);
}

}  // namespace
}  // namespace nolvo::ui
