// The engine's shortcut step: program folders and links of every [Desktop] entry,
// grouped by directory in [Directories] order, recorded for uninstall.

#include <map>

#include "platform/file_attributes.h"
#include "platform/win_path.h"
#include "setup/desktop_entry.h"
#include "setup/file_install.h"
#include "setup/install_engine.h"
#include "setup/profile_writer.h"
#include "setup/shortcut_record.h"

namespace nolvo::setup {

namespace {
bool CheckedItem(const std::vector<CheckItem>& items, const std::string& name) {
  for (const auto& item : items)
    if (item.Checked && item.Name == name) return true;
  return false;
}
}  // namespace

void InstallEngine::MakeShortcuts() {
  Status(kStatusIcons);
  for (const Target& target : targets_) {
    for (const auto& entry : c_.settings.DesktopList) {
      const DesktopEntry e = SplitDesktopEntry(entry);
      if (platform::AsciiUpper(DesktopEntry::LeadingToken(e.TargetField)) != target.token) continue;
      Checkpoint();
      MakeShortcut(entry, target.directory);
    }
  }
  if (record_) record_->Flush();
}

void InstallEngine::MakeShortcut(const std::string& entry, const std::string& dir) {
  const DesktopEntry e = SplitDesktopEntry(entry);
  c_.wizard.Edit().DestText = e.Folder;
  Advance();
  TShortcuts& s = c_.shortcuts;
  s.Folder = e.Folder;
  s.ProgramName = e.Name;
  s.RunProgram = dir + "\\" + DesktopEntry::AfterToken(e.TargetField);
  s.IconFile = dir + "\\" + DesktopEntry::AfterToken(e.IconField);
  s.Desktop = e.D == "X" && CheckedItem(c_.wizard.Controls().DK, e.Name);
  s.StartMenu = e.S == "X" && CheckedItem(c_.wizard.Controls().SM, e.Name);

  if (record_) {
    for (const auto& k : ShortcutRecordKeys(s, c_.machine.IsWinePrefix()))
      k.folder ? record_->AddFolder(k.key) : record_->AddUnins(k.key);
  }

  const std::vector<ShortcutPlacement> placements = s.Placements();
  bool refused = false;
  for (const auto& p : placements) refused = Refuse(p.link, "shortcut") || refused;
  if (refused) return;
  auto logLink = [&](const std::string& link, ActionOutcome outcome, const std::string& why) {
    EngineAction a;
    a.kind = ActionKind::akShortcut;
    a.source = s.RunProgram;
    a.target = link;
    a.outcome = outcome;
    a.detail = why;
    Log(std::move(a));
  };
  if (options_.dryRun) {
    for (const auto& p : placements) logLink(p.link, ActionOutcome::aoPlanned, {});
    return;
  }
  try {
    // The folders are made here, so that those that did not exist are on record.
    std::map<std::string, bool> existed;
    for (const auto& p : placements) {
      if (!p.folder.empty())
        MakeDirectoryPath(c_.machine, p.folder, [this](const std::string& f) { RecordFolder(f); });
      existed[p.link] = platform::FileExists(c_.machine, p.link);
    }
    std::function<bool(const std::string&)> keep;
    if (options_.keepExisting) keep = [&](const std::string& link) { return existed[link]; };
    // A new link is on record just before it takes its name; a record that cannot grow
    // fails the save and then stops the run.
    std::exception_ptr recordFailure;
    auto beforeSave = [&](const std::string& link, const std::filesystem::path& temp) {
      const platform::BeforeRename ahead = RecordAheadOf(link, existed[link], recordFailure);
      return !recordFailure && (!ahead || ahead(temp));
    };
    const ShortcutReport report = s.CreateShortcuts(keep, beforeSave);
    if (recordFailure) std::rethrow_exception(recordFailure);
    for (const auto& link : report.saved) {
      RecordFile(link, existed[link]);
      logLink(link, ActionOutcome::aoDone, {});
    }
    for (const auto& link : report.kept)
      logLink(link, ActionOutcome::aoSkipped, "kept: existing files are kept");
    for (const auto& f : report.failed) {
      const std::string why = "error " + std::to_string(f.error.value());
      logLink(f.link, ActionOutcome::aoFailed, why);
      result_.failedShortcuts.push_back({f.link, why});
    }
  } catch (const EIniFileError&) {
    throw;  // the uninstall record cannot be written: the run stops
  } catch (const std::exception& ex) {
    // The builder failed as a whole; the run goes on and names it at the end.
    for (const auto& p : placements) {
      logLink(p.link, ActionOutcome::aoFailed, ex.what());
      result_.failedShortcuts.push_back({p.link, ex.what()});
    }
  }
}

}  // namespace nolvo::setup
