// The engine's run and its first steps: the status window, the progress range, the
// installation directory and the binding of the directory tokens.

#include "setup/install_engine.h"

#include "platform/file_attributes.h"
#include "platform/win_path.h"
#include "util/ensure_directory_path.h"
#include "util/windows_directory.h"

namespace nolvo::setup {

std::vector<std::string> EngineResult::Problems() const {
  std::vector<std::string> lines;
  if (end != EngineEnd::eeCompleted) lines.push_back(error);
  for (const auto& f : failedCopies)
    lines.push_back("File not copied: " + f.destination + " (" + f.message + ")");
  for (const auto& f : failedShortcuts)
    lines.push_back("Shortcut not created: " + f.link + " (" + f.message + ")");
  for (const auto& r : refused) lines.push_back("Refused: " + r);
  return lines;
}

InstallEngine::InstallEngine(EngineContext context, EngineOptions options)
    : c_(context),
      options_(std::move(options)),
      log_(options_.onAction),
      guard_(c_.machine, options_.allowHostPaths) {}

EngineResult InstallEngine::Run() {
  try {
    Prepare();
    if (!FindInstallDirectory()) {
      result_.end = EngineEnd::eeRefused;
      result_.error =
          "The setup configuration binds no <INSTALLDIR> directory in [Directories]; "
          "nothing was installed.";
    } else if (!guard_.Allowed(result_.installDirectory)) {
      result_.end = EngineEnd::eeRefused;
      result_.error = "The installation directory " + result_.installDirectory +
                      " lies outside the prefix's drives and was not chosen explicitly; "
                      "nothing was installed.";
    } else {
      BindDirectories();
      CopySetupFiles();
      CopyProductFiles();
      MakeShortcuts();
      WriteIniFile();
      WriteRegistry();
      Launch();
      c_.pump.ProcessMessages();
      c_.wizard.CloseAfterInstall();
    }
  } catch (const std::exception& e) {
    // The failures the run does not survive: the message is the report.
    result_.end = EngineEnd::eeFailed;
    result_.error = e.what();
  }
  result_.actions = log_.Actions();
  return result_;
}

void InstallEngine::Status(const std::string& text) {
  c_.wizard.SourceText = text;
  if (c_.wizard.OnChanged) c_.wizard.OnChanged();
  c_.pump.ProcessMessages();
}

void InstallEngine::Advance() { ++c_.wizard.ProgressPosition; }

bool InstallEngine::Refuse(const std::string& path, const std::string& what) {
  if (guard_.Allowed(path)) return false;
  EngineAction a;
  a.kind = ActionKind::akRefused;
  a.target = path;
  a.outcome = ActionOutcome::aoRefused;
  a.detail = what + " outside the prefix's drives";
  Log(std::move(a));
  result_.refused.push_back(what + " " + path + " (outside the prefix's drives)");
  return true;
}

bool InstallEngine::WouldExist(const std::string& path) const {
  if (platform::FileExists(c_.machine, path)) return true;
  return options_.dryRun && planned_.count(platform::UpperAscii(path)) > 0;
}

void InstallEngine::Prepare() {
  c_.wizard.ShrunkToStatus = true;
  const auto& s = c_.settings;
  c_.wizard.ProgressMax = static_cast<int>(s.FileList.size() + s.DesktopList.size() +
                                           s.IniSetupList.size() + s.WorkStationList.size());
  c_.wizard.ProgressPosition = 0;
  c_.shortcuts.FolderDesktop = c_.wizard.ShortcutFolderDesktop;
  c_.shortcuts.FolderStartMenu = c_.wizard.ShortcutFolderStartMenu;
  tokens_.windows = util::WindowsDirectory(c_.machine);
  tokens_.driveRoot = c_.state.WinDrive;
  tokens_.destination = c_.wizard.Label1;
  // Links go to the machine's own shell folders, wherever they lie.
  for (const auto& folder : c_.shortcuts.Locations.All()) guard_.AllowTree(folder);
  Status(kStatusPreparing);
}

bool InstallEngine::FindInstallDirectory() {
  bool found = false;
  for (const auto& entry : c_.settings.DirectoryList) {
    if (platform::UpperAscii(SplitDirectoryEntry(entry).token) == "<INSTALLDIR>") {
      tokens_.installDir = tokens_.destination;
      found = true;
    }
  }
  result_.installDirectory = tokens_.installDir;
  if (found && options_.installDirChosen) guard_.AllowTree(tokens_.installDir);
  return found;
}

void InstallEngine::MakeDirectory(const std::string& directory) {
  if (directory.empty() || platform::DirectoryExists(c_.machine, directory)) return;
  if (options_.dryRun && planned_.count(platform::UpperAscii(directory))) return;
  if (Refuse(directory, "directory")) return;
  EngineAction a;
  a.kind = ActionKind::akMakeDirectory;
  a.target = directory;
  if (options_.dryRun) {
    planned_.insert(platform::UpperAscii(directory));
  } else {
    try {
      util::EnsureDirectoryPath(c_.machine, directory);
    } catch (const std::exception&) {
      // Ignored like any directory failure; the copies into it fail later.
    }
    const bool made = platform::DirectoryExists(c_.machine, directory);
    a.outcome = made ? ActionOutcome::aoDone : ActionOutcome::aoFailed;
  }
  Log(std::move(a));
}

void InstallEngine::BindDirectories() {
  for (const auto& entry : c_.settings.DirectoryList) {
    const DirectoryEntry e = SplitDirectoryEntry(entry);
    const std::string token = platform::UpperAscii(e.token);
    const std::string target = ExpandDirectoryToken(e.token, e.path, tokens_);
    if (token == "<INSTALLDIR>") {
      tokens_.installDir = target;
      result_.installDirectory = target;
      MakeDirectory(target);
      record_ = std::make_unique<UninstallRecord>(c_.machine, target, options_.dryRun, log_);
      record_->Open(c_.title);
      record_->AddUnins(target + "\\*.*");
      record_->AddUnins(target + "\\Setup\\*.*");
    }
    targets_.push_back({token, target});
    MakeDirectory(target);
    RewriteLaunchProgram(c_.settings.LaunchProgram, token, target);
  }
}

}  // namespace nolvo::setup
