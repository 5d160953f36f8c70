#pragma once
// TNolvo: the setup wizard as plain state and handlers. Seven pages (welcome, licence,
// destination, folders and shortcuts, installation type, ready, progress), their
// controls, the button bar and every handler with the page flow. A view renders this
// object and forwards clicks to it; it decides nothing itself.

#include <functional>
#include <string>
#include <vector>

#include "app/setup_settings.h"
#include "app/startup_state.h"
#include "app/wizard_preset.h"
#include "platform/dialogs.h"
#include "platform/machine.h"

namespace nolvo::setup {

enum WizardPage : int {
  kPageWelcome = 0,
  kPageLicence = 1,
  kPageDestination = 2,
  kPageFolders = 3,
  kPageInstallType = 4,
  kPageReady = 5,
  kPageProgress = 6,
};

// One item of a check list (DK, SM).
struct CheckItem {
  std::string Name;
  bool Checked = true;
};

// The directory chooser as the wizard uses it: shown modally with a path in its path box;
// answers whether it closed with OK, and the path box's text then.
class DirectoryChooser {
 public:
  virtual ~DirectoryChooser() = default;
  virtual bool Choose(std::string& path) = 0;
};

// The state of the wizard's controls, page by page, and of its button bar.
struct WizardControls {
  std::string Label1;              // destination path (page 2)
  std::string CreateFolder;        // main folder name (page 3)
  std::string Label2;              // program to launch (page 5)
  std::vector<std::string> Memo3;  // licence lines (page 1)
  std::vector<std::string> Memo4;  // summary lines (page 5)
  std::vector<CheckItem> DK;       // shortcuts offered on the desktop (page 3)
  std::vector<CheckItem> SM;       // shortcuts offered in the Start Menu (page 3)
  bool CheckBox1 = false;          // "Add Folder to Start Menu"
  bool CheckBox2 = false;          // "Add Folder to Desktop"
  bool MinSelected = false;        // `min` selected; otherwise `full`
  app::FinishChoiceState Finish;   // RadioButton1 / RadioButton2 / reboot
  bool BackEnabled = false;
  bool NextEnabled = true;
  bool InstallVisible = false;
  // The progress page, written by the engine.
  std::string SourceText = "Copy Source";
  std::string DestText = "Copy to";
  int ProgressMax = 100;
  int ProgressPosition = 0;
  bool ShrunkToStatus = false;  // the engine's status window: button bar hidden

  // Folder settings the Install button copies into the shortcut component.
  std::string ShortcutFolder;
  bool ShortcutFolderStartMenu = false;
  bool ShortcutFolderDesktop = false;
};

// How the wizard ended.
enum class WizardEnd { weOpen, weInstalled, weDeclined, weCancelled, weClosed };

class TNolvo {
 public:
  TNolvo(const app::SetupSettings& settings, platform::Dialogs& dialogs,
         platform::MessagePump& pump);

  // --- Controls, as the pages hold them ---
  int PageIndex() const { return page_; }
  // What the pages show; views render this.
  const WizardControls& Controls() const { return controls_; }
  // The same for the installation engine, which reports its progress here, and for front
  // ends and tests that set the choices directly.
  WizardControls& Edit() { return controls_; }

  // A view's changes of the choices on the folders and install-type pages.
  void SetFolderStartMenu(bool on) { controls_.CheckBox1 = on; }
  void SetFolderDesktop(bool on) { controls_.CheckBox2 = on; }
  // Row `row` of the desktop (DK) or the Start Menu (SM) list; other rows are ignored.
  void SetShortcutChecked(bool desktop, std::size_t row, bool checked);
  void SetMinimum(bool minimum) { controls_.MinSelected = minimum; }

  // Selecting a finish choice as a click on its radio button (disabled or hidden
  // buttons cannot be clicked).
  void SelectFinish(app::FinishChoice choice);
  bool RebootSelected() const { return controls_.Finish.Selected == app::FinishChoice::fcReboot; }
  bool LaunchSelected() const { return controls_.Finish.Selected == app::FinishChoice::fcLaunch; }

  // --- Handlers ---
  // The loader's preparation: the finish choice, and when the warning screen is off the
  // one advance past the welcome page (which never skips the licence page).
  void ApplyPreset(const app::WizardPreset& preset);
  // Show: fills the controls from the settings, the licence file in TempDir and WinDrive.
  void FormShow(const platform::Machine& machine, const app::StartupState& state);
  void nextClick();
  void backClick();
  void acceptClick();
  void declineClick();
  void cancelClick();
  // The window's close box: ends the setup. Before the installation it is Cancel (the
  // reboot choice is cleared); once the installation ran it keeps the choice.
  void closeClick();
  void browseClick(DirectoryChooser& chooser);
  // Install: goes to the progress page and runs `engine`, which closes the wizard.
  void installClick(const std::function<void(TNolvo&)>& engine);
  // The engine's end of the run.
  void CloseAfterInstall() { end_ = WizardEnd::weInstalled; }

  WizardEnd End() const { return end_; }
  bool Closed() const { return end_ != WizardEnd::weOpen; }
  // Called after every change of state, so that a view can refresh.
  std::function<void()> OnChanged;

 private:
  // Sets the page; a real change runs PageChanged. Out-of-range or equal indexes are
  // ignored.
  void SetPage(int page);
  // One page on or back: Back and Next enabled, Install hidden.
  void StepTo(int page);
  // On the licence page with a licence to read: Next waits for Accept; without one, on to
  // `page`.
  void StayOnLicenceOrGoTo(int page);
  void PageChanged();
  void RebuildSummary();
  bool LicenceShown() const { return controls_.Memo3.size() >= 2; }
  void ArriveAtReady();
  void Notify();

  const app::SetupSettings& settings_;
  platform::Dialogs& dialogs_;
  platform::MessagePump& pump_;
  WizardControls controls_;
  int page_ = kPageWelcome;
  WizardEnd end_ = WizardEnd::weOpen;
};

}  // namespace nolvo::setup
