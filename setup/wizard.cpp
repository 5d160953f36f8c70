#include "setup/wizard.h"

#include <fstream>
#include <iterator>

#include "platform/machine.h"
#include "setup/desktop_entry.h"

namespace nolvo::setup {

namespace {

// Splits a text file into lines as a memo box loads it (CRLF, LF or CR end a line; a
// final line ending adds no empty line).
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
  return lines;
}

}  // namespace

TNolvo::TNolvo(const app::SetupSettings& settings, platform::Dialogs& dialogs,
               platform::MessagePump& pump)
    : settings_(settings), dialogs_(dialogs), pump_(pump) {}

void TNolvo::Notify() {
  if (OnChanged) OnChanged();
}

void TNolvo::SelectFinish(app::FinishChoice choice) {
  if (choice == app::FinishChoice::fcLaunch && !controls_.Finish.LaunchEnabled) return;
  if (choice == app::FinishChoice::fcReboot && !controls_.Finish.RebootVisible) return;
  controls_.Finish.Selected = choice;
  Notify();
}

void TNolvo::SetPage(int page) {
  if (page < kPageWelcome || page > kPageProgress || page == page_) return;
  page_ = page;
  PageChanged();
}

void TNolvo::StepTo(int page) {
  SetPage(page);
  controls_.BackEnabled = controls_.NextEnabled = true;
  controls_.InstallVisible = false;
}

void TNolvo::StayOnLicenceOrGoTo(int page) {
  if (LicenceShown())
    controls_.NextEnabled = false;  // Accept or Decline moves on
  else
    SetPage(page);
}

void TNolvo::PageChanged() {
  controls_.BackEnabled = page_ != kPageWelcome;
  if (page_ == kPageFolders) RebuildSummary();
  if (page_ == kPageReady) controls_.Label2 = DesktopEntry::AfterToken(settings_.LaunchProgram);
  Notify();
}

void TNolvo::RebuildSummary() {
  controls_.Memo4 = {"Install to:", "  " + controls_.Label1, "",
                     "File / Folder : ", "  " + controls_.CreateFolder};
  controls_.DK.clear();
  controls_.SM.clear();
  for (const std::string& raw : settings_.DesktopList) {
    const DesktopEntry e = SplitDesktopEntry(raw);
    std::string line = DesktopEntry::AfterToken(e.TargetField) + " / " + e.Folder;
    if (e.D == "X") {
      controls_.DK.push_back({e.Name, true});
      line += " / Desktop";
    }
    if (e.S == "X") {
      controls_.SM.push_back({e.Name, true});
      line += " / Start Meuu";
    }
    controls_.Memo4.push_back("  " + line);
  }
}

void TNolvo::ArriveAtReady() {
  controls_.InstallVisible = true;
  controls_.NextEnabled = false;
}

void TNolvo::ApplyPreset(const app::WizardPreset& preset) {
  controls_.Finish = preset.Finish;
  if (preset.PageIndex == kPageLicence) {
    // Next on the welcome page, except that the licence page is always kept: its text
    // is loaded only when the wizard is shown.
    SetPage(kPageLicence);
    controls_.BackEnabled = true;
    controls_.NextEnabled = false;
    controls_.InstallVisible = false;
  }
  Notify();
}

void TNolvo::FormShow(const platform::Machine& machine, const app::StartupState& state) {
  controls_.CreateFolder = settings_.MainFolder;
  controls_.Label2 = controls_.Finish.LaunchEnabled ? settings_.LaunchProgram : std::string();
  controls_.Memo3.clear();
  const auto licence = machine.Resolve(state.TempDir + "\\license.txt");
  if (licence.error.ok() && licence.exists && !licence.isDirectory) {
    std::ifstream in(licence.host, std::ios::binary);
    controls_.Memo3 =
        SplitLines({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  }
  controls_.MinSelected = settings_.WorkStationPrompt;
  controls_.Label1 = state.WinDrive + (settings_.AddToProgramFiles ? "Program Files\\" : "") +
                     settings_.InstallDir;
  Notify();
  pump_.ProcessMessages();
}

void TNolvo::nextClick() {
  if (page_ >= kPageProgress) return;
  StepTo(page_ + 1);
  switch (page_) {
    case kPageLicence:
      StayOnLicenceOrGoTo(kPageDestination);
      break;
    case kPageFolders:
      if (settings_.MainFolder.empty()) {
        if (settings_.WorkStationPrompt) {
          SetPage(kPageInstallType);
        } else {
          SetPage(kPageReady);
          ArriveAtReady();
        }
      }
      break;
    case kPageInstallType:
      if (!settings_.WorkStationPrompt) {
        SetPage(kPageReady);
        ArriveAtReady();
      }
      break;
    case kPageReady:
      ArriveAtReady();
      break;
    default:
      break;
  }
  Notify();
}

void TNolvo::backClick() {
  if (page_ == kPageWelcome) return;
  StepTo(page_ - 1);
  switch (page_) {
    case kPageLicence:
      StayOnLicenceOrGoTo(kPageWelcome);
      break;
    case kPageFolders:
      if (settings_.MainFolder.empty()) SetPage(kPageDestination);
      break;
    case kPageInstallType:
      if (!settings_.WorkStationPrompt)
        SetPage(settings_.MainFolder.empty() ? kPageDestination : kPageFolders);
      break;
    default:
      break;
  }
  Notify();
}

void TNolvo::acceptClick() {
  controls_.BackEnabled = controls_.NextEnabled = true;
  SetPage(page_ + 1);
  Notify();
}

void TNolvo::declineClick() {
  if (RebootSelected()) controls_.Finish.Selected = app::FinishChoice::fcNone;
  end_ = WizardEnd::weDeclined;
  Notify();
}

void TNolvo::cancelClick() {
  if (RebootSelected()) controls_.Finish.Selected = app::FinishChoice::fcNone;
  end_ = WizardEnd::weCancelled;
  Notify();
}

void TNolvo::closeClick() {
  if (page_ != kPageProgress && RebootSelected())
    controls_.Finish.Selected = app::FinishChoice::fcNone;
  end_ = WizardEnd::weClosed;
  Notify();
}

void TNolvo::browseClick(DirectoryChooser& chooser) {
  const std::string old = controls_.Label1;
  std::string path = controls_.Label1;
  if (!chooser.Choose(path) || path == old) return;
  if (dialogs_.Confirm("Create New Directory for Installation [" + path + "] ?")) {
    controls_.Label1 = path;
    Notify();
  }
}

void TNolvo::installClick(const std::function<void(TNolvo&)>& engine) {
  controls_.ShortcutFolder = controls_.CreateFolder;
  controls_.ShortcutFolderStartMenu = controls_.CheckBox1;
  controls_.ShortcutFolderDesktop = controls_.CheckBox2;
  SetPage(kPageProgress);
  engine(*this);
  Notify();
}

}  // namespace nolvo::setup

namespace nolvo::setup {

void TNolvo::SetShortcutChecked(bool desktop, std::size_t row, bool checked) {
  std::vector<CheckItem>& items = desktop ? controls_.DK : controls_.SM;
  if (row < items.size()) items[row].Checked = checked;
}

}  // namespace nolvo::setup
