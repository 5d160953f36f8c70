// Window captions on a real X display: each window's title, as the window system holds
// it, is exactly the system's text (nothing such as the application's name appended).
// The program starts its own Xvfb server, so it needs no display of the machine.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "app/ui/main_screen_window.h"
#include "app/ui/qt_dialogs.h"
#include "app/ui/report_dialog.h"
#include "app/ui/setup_program.h"
#include "archive/ui/extraction_window.h"
#include "setup/ui/directory_chooser_dialog.h"
#include "setup/ui/wizard_window.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/test_machine.h"

extern char** environ;

namespace nolvo::ui {
namespace {

// The title the X server holds for `window` (_NET_WM_NAME, else WM_NAME).
std::string XTitle(QWidget& window) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return "<not on X11>";
  xcb_connection_t* c = x11->connection();
  auto atom = [c](const char* name) {
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
  };
  const auto id = static_cast<xcb_window_t>(window.winId());
  const std::pair<xcb_atom_t, xcb_atom_t> names[] = {{atom("_NET_WM_NAME"), atom("UTF8_STRING")},
                                                     {XCB_ATOM_WM_NAME, XCB_ATOM_STRING}};
  for (const auto& [property, type] : names) {
    auto* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, id, property, type, 0, 1024), nullptr);
    std::string value;
    if (reply && xcb_get_property_value_length(reply) > 0)
      value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                   static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    if (!value.empty()) return value;
  }
  return {};
}

std::string Shown(QWidget& window) {
  window.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();
  return XTitle(window);
}

TEST(Captions, EveryWindowCarriesExactlyTheSystemsText) {
  test::TestMachine tm;
  testing::ScriptedDialogs dialogs;
  platform::NullMessagePump pump;
  MainScreenWindow mainSetup(tm.Machine().Codepage());
  EXPECT_EQ(Shown(mainSetup), "Nolvo 32Bit Installer");
  DirectoryChooserDialog form3(tm.Machine());
  EXPECT_EQ(Shown(form3), "Select Directory");
  app::SetupSettings settings;
  setup::TNolvo wizard(settings, dialogs, pump);
  WizardWindow nolvo(wizard, tm.Machine().Codepage(), form3);
  EXPECT_EQ(Shown(nolvo), "Nolvo32 - Setup");
  ExtractionWindow unzip(tm.Machine(), &mainSetup);
  EXPECT_EQ(Shown(unzip), "Preparing Nolvo Setup");
  setup::RunReport report;
  report.Add(setup::ProblemKind::pkFile, "File not copied: C:\\x");
  ReportDialog box(report, tm.Machine().Codepage(), kApplicationTitle);
  EXPECT_EQ(Shown(box), "Nolvo - Setup");
}

TEST(Captions, MessageBoxesCarryTheApplicationsTitle) {
  test::TestMachine tm;
  QtDialogs dialogs(tm.Machine().Codepage(), kApplicationTitle);
  std::string title;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
        title = XTitle(*box);
        box->done(0);
      }
    }
  });
  dialogs.Inform("Please Insert Disk #2 into Floppy Drive.");
  EXPECT_EQ(title, "Nolvo - Setup");
}

}  // namespace
}  // namespace nolvo::ui

// Starts Xvfb on a free display, runs the tests on it with the xcb platform, stops it.
int main(int argc, char** argv) {
  int fds[2];
  if (::pipe(fds) != 0) return 2;
  const std::string fd = std::to_string(fds[1]);
  const char* xvfbArgs[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen", "0",
                            "1024x768x24", "-nolisten",  "tcp",      nullptr};
  pid_t xvfb = 0;
  if (::posix_spawnp(&xvfb, "Xvfb", nullptr, nullptr, const_cast<char**>(xvfbArgs), environ) != 0) {
    std::fprintf(stderr, "caption tests: Xvfb cannot be started (scripts/bootstrap installs it)\n");
    return 1;
  }
  ::close(fds[1]);
  char display[16] = {};
  const ssize_t n = ::read(fds[0], display, sizeof display - 1);
  ::close(fds[0]);
  if (n <= 0) {
    ::kill(xvfb, SIGTERM);
    std::fprintf(stderr, "caption tests: Xvfb did not start\n");
    return 1;
  }
  const std::string name =
      ":" + std::string(display, static_cast<std::size_t>(n - (display[n - 1] == '\n')));
  ::setenv("DISPLAY", name.c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  int result = 1;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName("nolvo-setup");
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  ::kill(xvfb, SIGTERM);
  ::waitpid(xvfb, nullptr, 0);
  return result;
}
