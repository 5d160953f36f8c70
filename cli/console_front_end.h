#pragma once
// The setup run's two modal stages on a console: the extraction runs at once with a
// progress line, and the wizard is either driven by the install choices (unattended) or
// asked page by page on the terminal.

#include <functional>
#include <string>

#include "cli/console_progress.h"
#include "cli/console_unzip_view.h"
#include "cli/install_choices.h"
#include "setup/setup_run.h"

namespace nolvo::cli {

class ConsoleFrontEnd : public setup::RunFrontEnd {
 public:
  ConsoleFrontEnd(ConsoleProgress& progress, InstallChoices& choices, bool interactive)
      : view_(progress), choices_(choices), interactive_(interactive) {}

  stage::UnzipView& ExtractionView() override { return view_; }
  void ShowExtraction(stage::TUnzip& unzip) override;
  void ShowWizard(setup::TNolvo& wizard,
                  const std::function<void(setup::TNolvo&)>& install) override;

  ConsoleUnzipView& View() { return view_; }
  std::function<void(const std::string&)> Log;
  // The segment file the running extraction waits for (empty outside the extraction).
  std::string ExpectedSegment() const { return unzip_ ? unzip_->ExpectedSegment : std::string(); }

 private:
  void DriveUnattended(setup::TNolvo& w, const std::function<void(setup::TNolvo&)>& install);
  void DriveInteractive(setup::TNolvo& w, const std::function<void(setup::TNolvo&)>& install);
  // Applies the shortcut and folder choices to the check lists (after page 3 was built).
  void ApplyShortcutChoices(setup::TNolvo& w);

  ConsoleUnzipView view_;
  stage::TUnzip* unzip_ = nullptr;
  InstallChoices& choices_;
  bool interactive_;
};

// A directory chooser that answers with a fixed path (OK), or cancels when it has none.
class FixedChooser : public setup::DirectoryChooser {
 public:
  explicit FixedChooser(std::string path) : path_(std::move(path)) {}
  bool Choose(std::string& path) override {
    if (path_.empty()) return false;
    path = path_;
    return true;
  }

 private:
  std::string path_;
};

}  // namespace nolvo::cli
