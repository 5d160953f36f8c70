#pragma once
// One QApplication for the whole test program, on the offscreen platform.

#include <QApplication>
#include <cstdlib>

namespace nolvo::test {

inline QApplication& GuiApp() {
  static int argc = 1;
  static char name[] = "nolvo_gui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace nolvo::test
