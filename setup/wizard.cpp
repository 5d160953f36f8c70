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
  if (choice == app::FinishChoice::fcLaunch && !Finish.LaunchEnabled) return;
  if (choice == app::FinishChoice::fcReboot && !Finish.RebootVisible) return;
  Finish.Selected = choice;
  Notify();
}

void TNolvo::SetPage(int page) {
  if (page < kPageWelcome || page > kPageProgress || page == page_) return;
  page_ = page;
  PageChanged();
}

void TNolvo::StepTo(int page) {
  SetPage(page);
  BackEnabled = NextEnabled = true;
  InstallVisible = false;
}

void TNolvo::StayOnLicenceOrGoTo(int page) {
  if (LicenceShown())
    NextEnabled = false;  // Accept or Decline moves on
  else
    SetPage(page);
}

void TNolvo::PageChanged() {
  BackEnabled = page_ != kPageWelcome;
  if (page_ == kPageFolders) RebuildSummary();
  if (page_ == kPageReady) Label2 = DesktopEntry::AfterToken(settings_.LaunchProgram);
  Notify();
}

void TNolvo::RebuildSummary() {
  Memo4 = {"Install to:", "  " + Label1, "", "File / Folder : ", "  " + CreateFolder};
  DK.clear();
  SM.clear();
  for (const std::string& raw : settings_.DesktopList) {
    const DesktopEntry e = SplitDesktopEntry(raw);
    std::string line = DesktopEntry::AfterToken(e.TargetField) + " / " + e.Folder;
    if (e.D == "X") {
      DK.push_back({e.Name, true});
      line += " / Desktop";
    }
    if (e.S == "X") {
      SM.push_back({e.Name, true});
      line += " / Start Meuu";
    }
    Memo4.push_back("  " + line);
  }
}

void TNolvo::ArriveAtReady() {
  InstallVisible = true;
  NextEnabled = false;
}

void TNolvo::ApplyPreset(const app::WizardPreset& preset) {
  Finish = preset.Finish;
  if (preset.PageIndex == kPageLicence) {
    // Next on the welcome page, except that the licence page is always kept: its text
    // is loaded only when the wizard is shown.
    SetPage(kPageLicence);
    BackEnabled = true;
    NextEnabled = false;
    InstallVisible = false;
  }
  Notify();
}

void TNolvo::FormShow(const platform::Machine& machine, const app::StartupState& state) {
  CreateFolder = settings_.MainFolder;
  Label2 = Finish.LaunchEnabled ? settings_.LaunchProgram : std::string();
  Memo3.clear();
  const auto licence = machine.Resolve(state.TempDir + "\\license.txt");
  if (licence.error == 0 && licence.exists && !licence.isDirectory) {
    std::ifstream in(licence.host, std::ios::binary);
    Memo3 = SplitLines({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  }
  MinSelected = settings_.WorkStationPrompt;
  Label1 = state.WinDrive + (settings_.AddToProgramFiles ? "Program Files\\" : "") +
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
  BackEnabled = NextEnabled = true;
  SetPage(page_ + 1);
  Notify();
}

void TNolvo::declineClick() {
  if (RebootSelected()) Finish.Selected = app::FinishChoice::fcNone;
  end_ = WizardEnd::weDeclined;
  Notify();
}

void TNolvo::cancelClick() {
  if (RebootSelected()) Finish.Selected = app::FinishChoice::fcNone;
  end_ = WizardEnd::weCancelled;
  Notify();
}

void TNolvo::closeClick() {
  if (page_ != kPageProgress && RebootSelected()) Finish.Selected = app::FinishChoice::fcNone;
  end_ = WizardEnd::weClosed;
  Notify();
}

void TNolvo::browseClick(DirectoryChooser& chooser) {
  const std::string old = Label1;
  std::string path = Label1;
  if (!chooser.Choose(path) || path == old) return;
  if (dialogs_.Confirm("Create New Directory for Installation [" + path + "] ?")) {
    Label1 = path;
    Notify();
  }
}

void TNolvo::installClick(const std::function<void(TNolvo&)>& engine) {
  ShortcutFolder = CreateFolder;
  ShortcutFolderStartMenu = CheckBox1;
  ShortcutFolderDesktop = CheckBox2;
  SetPage(kPageProgress);
  engine(*this);
  Notify();
}

}  // namespace nolvo::setup
