#pragma once
// TUnzip: the extraction stage. It configures the segmented reader for the medium,
// expands every archive flat into TempDir, prompts for disks, copies the setup's own
// files, places the setup picture, reports progress and handles the abort question. It
// talks to a person only through Dialogs and to the screen only through UnzipView.

#include <functional>
#include <stdexcept>
#include <string>

#include "app/setup_settings.h"
#include "app/startup_state.h"
#include "archive/segment/seg_comp_ez.h"
#include "archive/stage/media_report.h"
#include "archive/stage/medium_checks.h"
#include "archive/stage/unzip_view.h"
#include "platform/dialogs.h"
#include "platform/machine.h"

namespace nolvo::stage {

// A stored name whose file-name part cannot be written safely into TempDir.
class EUnsafeFileName : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kExpandErrorText = "Error Expanding Files!!";
inline constexpr const char* kAbortQuestion = "Abort Setup Process ?";

class TUnzip {
 public:
  // What the stage reaches back into: the main screen's ClearTempDir, the request to end
  // the program, the wizard's reboot choice (cleared when expansion fails), and where a
  // warning goes (a setup picture that cannot be shown is skipped with one).
  struct Hooks {
    std::function<void()> ClearTempDir;
    std::function<void()> Terminate;
    std::function<void()> ClearRebootChoice;
    std::function<void(const std::string&)> Warning;
  };

  TUnzip(platform::Machine& machine, platform::Dialogs& dialogs, platform::MessagePump& pump,
         UnzipView& view, const app::StartupState& state, const app::SetupSettings& settings,
         Hooks hooks);

  bool Abandoned = false;
  bool PictureShown = false;
  std::string ExpectedSegment;
  segment::TSegCompEZ SegCompEZ1;

  // Window handlers.
  void FormShow();
  void Timer1Timer();
  // A click on the window: asks "Abort Setup Process ?" (No, Abort).
  void FormClick();

  // Configures SegCompEZ1, runs the expansion and closes the window. Any error ends in the
  // box "Error Expanding Files!!", a cleared reboot choice and Abandoned; the error's own
  // text is kept in LastError() (for logs), never shown in the box.
  void ExpandSetupArchive();
  const std::string& LastError() const { return lastError_; }

  // Checks to run over the medium while it is expanded (null: none); must outlive the
  // expansion. What they find, and the failure that ended an expansion, go to Report().
  void SetChecks(MediumChecks* checks);
  const MediaReport& Report() const { return report_; }
  // Files written into TempDir, in order.
  int FilesExpanded() const { return filesExpanded_; }

  // The reader's handlers.
  void SegCompEZ1SegBefore(segment::TSegMode SegMode, const std::string& SegName,
                           std::uint16_t SegNumber);
  void SegCompEZ1CheckFile(std::string& filepath, container::TCProcessMode mode);
  void SegCompEZ1ShowProgress(std::int32_t& PercentageDone);

 private:
  void PlacePicture();
  void CopySetupFiles();
  bool ExpectedSegmentExists() const;
  // Puts the failure that ended the expansion (lastError_) in the report.
  void RecordFailure();

  platform::Machine& machine_;
  platform::Dialogs& dialogs_;
  platform::MessagePump& pump_;
  UnzipView& view_;
  const app::StartupState& state_;
  const app::SetupSettings& settings_;
  Hooks hooks_;
  int countPosition_ = 0;
  int countMax_ = 100;
  int filesExpanded_ = 0;
  std::string lastError_;
  MediumChecks* checks_ = nullptr;
  MediaReport report_;
};

// The file-name part of a stored name: the text after its last "\", "/" or ":" (empty for
// a directory entry such as DATA\). Throws EUnsafeFileName when that part is "." or "..".
std::string SafeFileNamePart(const std::string& stored);

}  // namespace nolvo::stage
