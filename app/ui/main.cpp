// nolvo-setup [STAGING_DIR]: the setup program with its windows. Started from inside the
// medium's folder (install.cfg and disk.001 beside it); the one optional argument names a
// staging folder that becomes the current folder and whose plain files the end deletes.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/ui/qt_dialogs.h"
#include "app/ui/setup_program.h"
#include "platform/host_drive.h"
#include "platform/prefix_lock.h"
#include "setup/staging_folder.h"

namespace {

bool Set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// Names why the setup cannot start, on standard error and in a box; `code` is the exit
// status.
int Refuse(const nolvo::platform::Machine& machine, nolvo::ui::QtDialogs& dialogs,
           const std::string& text, int code) {
  std::fprintf(stderr, "nolvo-setup: %s\n", text.c_str());
  nolvo::platform::MessageRequest box;
  box.text = machine.Codepage().FromUtf8(text);
  box.kind = nolvo::platform::DialogKind::dkError;
  dialogs.ShowMessageBox(box);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    std::fprintf(stderr,
                 "nolvo-setup: no display to show the setup on (DISPLAY and WAYLAND_DISPLAY "
                 "are unset); install without windows with: nolvo install --unattended "
                 "MEDIA_DIR\n");
    return 1;
  }
  QApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  QApplication app(argc, argv);
  // The application name only; a display name would be appended to every window caption,
  // and the captions are the system's own texts.
  QApplication::setApplicationName("nolvo-setup");

  try {
    nolvo::platform::Machine machine(nolvo::platform::Machine::DefaultPrefix());
    nolvo::platform::PrefixLock lock(machine);
    // The medium is the current folder on the host.
    const nolvo::platform::RunHostDrive hostDrive(machine, std::filesystem::current_path());
    std::optional<std::string> staging;
    const QStringList args = QApplication::arguments();
    nolvo::ui::QtDialogs dialogs(machine.Codepage(), nolvo::ui::kApplicationTitle);
    if (args.size() > 1) {
      const std::string arg = args.at(1).toStdString();
      staging = nolvo::setup::StagingFolderArgument(machine, arg);
      if (staging->empty()) {
        // A folder on no drive of the prefix cannot be entered, as one that is not there.
        return Refuse(machine, dialogs,
                      "The setup cannot enter the staging folder " + arg + ": it lies on no drive.",
                      1);
      }
    }
    if (staging) {
      // The staging folder is emptied of the medium at the end: a folder that cannot be a
      // staging folder is refused before anything runs.
      const auto r = machine.Resolve(*staging);
      if (r.error.ok() && r.exists && r.isDirectory) {
        if (const auto refusal = nolvo::setup::StagingFolderRefusal(machine, r.host)) {
          return Refuse(
              machine, dialogs,
              "The setup cannot use " + *refusal + " as its staging folder; nothing was deleted.",
              2);
        }
      }
    }

    nolvo::ui::QtMessagePump pump;
    nolvo::ui::SetupProgram program(machine, dialogs, pump, staging);
    program.Start();
    app.exec();
    return program.ExitCode();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "nolvo-setup: %s\n", e.what());
    return 1;
  }
}
