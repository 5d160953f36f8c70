// The engine's run and its first steps: the status window, the progress range, the
// installation directory and the binding of the directory tokens.

#include "setup/install_engine.h"

#include <algorithm>

#include "app/settings_diagnostics.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "setup/desktop_entry.h"
#include "setup/file_install.h"
#include "setup/profile_writer.h"
#include "util/split_at_char.h"
#include "util/windows_directory.h"

namespace nolvo::setup {

namespace {

// Raised inside the run when it is to stop; the run ends eeInterrupted.
class EEngineInterrupted : public std::runtime_error {
 public:
  EEngineInterrupted() : std::runtime_error("interrupted") {}
};

}  // namespace

RunReport EngineResult::ProblemList() const {
  RunReport report;
  for (const auto& u : unusable) report.Add(ProblemKind::pkConfiguration, u);
  for (const auto& d : directories)
    report.Add(ProblemKind::pkDirectory, "Directory not made: " + d);
  for (const auto& f : failedCopies)
    report.Add(ProblemKind::pkFile, "File not copied: " + f.destination + " (" + f.message + ")");
  for (const auto& f : failedShortcuts)
    report.Add(ProblemKind::pkShortcut, "Shortcut not created: " + f.link + " (" + f.message + ")");
  for (const auto& r : refused) report.Add(ProblemKind::pkRefused, "Refused: " + r);
  if (end == EngineEnd::eeInterrupted)
    report.Add(ProblemKind::pkStopped, "The installation was interrupted before its end");
  else if (end != EngineEnd::eeCompleted)
    report.Add(ProblemKind::pkStopped, error);
  for (const auto& n : notStarted) report.Warn(ProblemKind::pkNote, n);
  return report;
}

InstallEngine::InstallEngine(EngineContext context, EngineOptions options)
    : c_(context),
      options_(std::move(options)),
      log_(options_.onAction),
      guard_(c_.machine, options_.allowHostPaths) {}

EngineResult InstallEngine::Run() {
  try {
    Prepare();
    std::string full;
    if (!FindInstallDirectory()) {
      result_.end = EngineEnd::eeRefused;
      result_.error =
          "The setup configuration binds no <INSTALLDIR> directory in [Directories]; "
          "nothing was installed.";
    } else if (c_.machine.FullPath(result_.installDirectory, full) ==
               platform::kErrorFilenameExcedRange) {
      result_.end = EngineEnd::eeRefused;
      result_.error = "The installation directory " + result_.installDirectory +
                      " is a path too long for Windows; nothing was installed.";
    } else if (!guard_.Allowed(result_.installDirectory)) {
      result_.end = EngineEnd::eeRefused;
      // A chosen directory is refused only when it lies on no drive (a UNC path).
      result_.error = "The installation directory " + result_.installDirectory +
                      (options_.installDirChosen
                           ? " is not a path on a drive; nothing was installed."
                           : " lies outside the prefix's drives and was not chosen explicitly; "
                             "nothing was installed.");
    } else if (PathWithin(c_.machine, result_.installDirectory, c_.state.TempDir)) {
      // The setup empties its temporary folder when it ends: nothing installed there stays.
      result_.end = EngineEnd::eeRefused;
      result_.error = "The installation directory " + result_.installDirectory +
                      " lies in the setup's temporary folder " + c_.state.TempDir +
                      ", which is emptied when the setup ends; nothing was installed.";
    } else {
      BindDirectories();
      CheckEntries();
      CopySetupFiles();
      CopyProductFiles();
      MakeShortcuts();
      WriteIniFile();
      Checkpoint();
      WriteRegistry();
      Checkpoint();
      Launch();
      c_.pump.ProcessMessages();
      c_.wizard.CloseAfterInstall();
    }
  } catch (const std::exception& e) {
    // The failures the run does not survive: the message is the report. Whatever stops
    // a run that was asked to stop is the interruption.
    if (Interrupted()) {
      result_.end = EngineEnd::eeInterrupted;
      result_.error = "interrupted";
    } else {
      result_.end = EngineEnd::eeFailed;
      result_.error = e.what();
    }
  }
  CloseRecord();
  result_.actions = log_.Actions();
  return result_;
}

void InstallEngine::Checkpoint() {
  if (Interrupted()) throw EEngineInterrupted();
}

void InstallEngine::CloseRecord() {
  if (!record_) return;
  try {
    record_->Close();
  } catch (const std::exception& e) {
    if (result_.end == EngineEnd::eeCompleted) {
      result_.end = EngineEnd::eeFailed;
      result_.error = e.what();
    }
  }
}

void InstallEngine::RecordFolder(const std::string& folder) {
  if (record_)
    record_->CreatedFolder(folder);
  else
    unrecordedFolders_.push_back(folder);
}

void InstallEngine::RecordFile(const std::string& path, bool existed) {
  if (!record_ || options_.dryRun) return;
  // A file that was there before is the product's only when an installation made it.
  if (existed && !record_->CreatedEarlier(path)) return;
  // A new file was recorded as it took its name.
  if (!existed && record_->CreatedUnchanged(path)) return;
  const platform::ResolvedPath r = c_.machine.Resolve(path);
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  if (r.error.ok() && StatCreatedFile(r.host, size, modified))
    record_->CreatedFile(r.full, size, modified);
}

std::function<void(const InstalledFile&)> InstallEngine::RecordAhead(bool existed) {
  if (!record_ || options_.dryRun || existed) return {};
  return [this](const InstalledFile& f) { record_->CreatedFile(f.target, f.size, f.modified); };
}

platform::BeforeRename InstallEngine::RecordAheadOf(const std::string& target, bool existed,
                                                    std::exception_ptr& failure) {
  auto ahead = RecordAhead(existed);
  if (!ahead) return {};
  return [this, target, ahead = std::move(ahead), &failure](const std::filesystem::path& temp) {
    if (failure) return false;
    InstalledFile complete{target, 0, 0};
    StatCreatedFile(temp, complete.size, complete.modified);
    try {
      ahead(complete);
    } catch (const EIniFileError&) {
      failure = std::current_exception();
      return false;
    }
    return true;
  };
}

void InstallEngine::Status(const std::string& text) {
  c_.wizard.Edit().SourceText = text;
  if (c_.wizard.OnChanged) c_.wizard.OnChanged();
  c_.pump.ProcessMessages();
}

void InstallEngine::Advance() { ++c_.wizard.Edit().ProgressPosition; }

bool InstallEngine::Refuse(const std::string& path, const std::string& what) {
  const bool temporary = PathWithin(c_.machine, path, c_.state.TempDir);
  if (!temporary && guard_.Allowed(path)) return false;
  std::string full;
  const bool tooLong = c_.machine.FullPath(path, full) == platform::kErrorFilenameExcedRange;
  const std::string why = temporary ? "inside the setup's temporary folder, emptied at its end"
                          : tooLong ? "a path too long for Windows"
                                    : "outside the prefix's drives";
  EngineAction a;
  a.kind = ActionKind::akRefused;
  a.target = path;
  a.outcome = ActionOutcome::aoRefused;
  a.detail = what + " " + why;
  Log(std::move(a));
  result_.refused.push_back(what + " " + path + " (" + why + ")");
  return true;
}

bool InstallEngine::WouldExist(const std::string& path) const {
  if (platform::FileExists(c_.machine, path)) return true;
  return options_.dryRun && planned_.count(platform::AsciiUpper(path)) > 0;
}

void InstallEngine::Prepare() {
  c_.wizard.Edit().ShrunkToStatus = true;
  const auto& s = c_.settings;
  c_.wizard.Edit().ProgressMax = static_cast<int>(s.FileList.size() + s.DesktopList.size() +
                                                  s.IniSetupList.size() + s.WorkStationList.size());
  c_.wizard.Edit().ProgressPosition = 0;
  c_.shortcuts.FolderDesktop = c_.wizard.Controls().ShortcutFolderDesktop;
  c_.shortcuts.FolderStartMenu = c_.wizard.Controls().ShortcutFolderStartMenu;
  tokens_.windows = util::WindowsDirectory(c_.machine);
  tokens_.driveRoot = c_.state.WinDrive;
  tokens_.destination = c_.wizard.Controls().Label1;
  // Links go to the machine's own shell folders, wherever they lie.
  for (const auto& folder : c_.shortcuts.Locations.All()) guard_.AllowTree(folder);
  Status(kStatusPreparing);
}

bool InstallEngine::FindInstallDirectory() {
  bool found = false;
  for (const auto& entry : c_.settings.DirectoryList) {
    if (platform::AsciiUpper(SplitDirectoryEntry(entry).token) == "<INSTALLDIR>") {
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
  if (options_.dryRun && planned_.count(platform::AsciiUpper(directory))) return;
  if (Refuse(directory, "directory")) return;
  EngineAction a;
  a.kind = ActionKind::akMakeDirectory;
  a.target = directory;
  if (options_.dryRun) {
    planned_.insert(platform::AsciiUpper(directory));
  } else {
    // A failure does not stop the run; the copies into the directory fail later.
    // Each folder is on record just before it is made.
    MakeDirectoryPath(c_.machine, directory, [this](const std::string& f) { RecordFolder(f); });
    const bool made = platform::DirectoryExists(c_.machine, directory);
    a.outcome = made ? ActionOutcome::aoDone : ActionOutcome::aoFailed;
    if (!made && std::find(result_.directories.begin(), result_.directories.end(), directory) ==
                     result_.directories.end())
      result_.directories.push_back(directory);
  }
  Log(std::move(a));
}

void InstallEngine::BindDirectories() {
  for (const auto& entry : c_.settings.DirectoryList) {
    const DirectoryEntry e = SplitDirectoryEntry(entry);
    const std::string token = platform::AsciiUpper(e.token);
    const std::string target = ExpandDirectoryToken(e.token, e.path, tokens_);
    if (token == "<INSTALLDIR>") {
      tokens_.installDir = target;
      result_.installDirectory = target;
      MakeDirectory(target);
      auto record = std::make_unique<UninstallRecord>(c_.machine, target, options_.dryRun, log_);
      try {
        record->Open(c_.title);
      } catch (const std::exception&) {
        // Without a record nothing could remove the folders made so far: they go again,
        // deepest first, each only while empty.
        for (auto it = unrecordedFolders_.rbegin(); it != unrecordedFolders_.rend(); ++it)
          static_cast<void>(platform::RemoveDirectory(c_.machine, *it));
        unrecordedFolders_.clear();
        throw;
      }
      record_ = std::move(record);
      if (!options_.dryRun) result_.recordFile = record_->File();
      for (const auto& folder : unrecordedFolders_) record_->CreatedFolder(folder);
      unrecordedFolders_.clear();
      record_->AddUnins(target + "\\*.*");
      record_->AddUnins(target + "\\Setup\\*.*");
    }
    targets_.push_back({token, target});
    MakeDirectory(target);
    RewriteLaunchProgram(c_.settings.LaunchProgram, token, target);
  }
}

void InstallEngine::CheckEntries() {
  std::set<std::string> bound;
  for (const Target& t : targets_) bound.insert(t.token);
  auto check = [&](const char* section, const std::string& entry, const std::string& token) {
    if (entry.find('~') == std::string::npos)
      result_.unusable.push_back("[" + std::string(section) + "] \"" + entry +
                                 "\": no \"~\" separates its fields; not used");
    else if (!bound.count(platform::AsciiUpper(token)))
      result_.unusable.push_back("[" + std::string(section) + "] \"" + entry + "\": the token " +
                                 token + " is bound by no [Directories] entry; not used");
  };
  auto field = [](std::string entry, int index) {
    std::string head;
    for (int i = 0; i <= index; ++i) util::SplitAtChar(entry, '~', head);
    return head;
  };
  const auto& s = c_.settings;
  if (c_.wizard.Controls().MinSelected) {
    for (const auto& e : s.WorkStationList) check("WorkStation", e, field(e, 1));
  } else {
    for (const auto& e : s.FileList) check("Files", app::WithoutOverwriteMarker(e), field(e, 1));
  }
  for (const auto& e : s.DesktopList) check("Desktop", e, DesktopEntry::LeadingToken(field(e, 1)));
  for (const auto& e : s.IniSetupList)
    check("INI - Setup", e, DesktopEntry::LeadingToken(field(e, 2)));
}

}  // namespace nolvo::setup
