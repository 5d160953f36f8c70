// The engine's copy steps: the setup's own files into the installation directory, then
// the product files of the active list, grouped by directory in [Directories] order.

#include "app/settings_diagnostics.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/win_path.h"
#include "setup/file_install.h"
#include "setup/install_engine.h"
#include "util/file_errors.h"
#include "util/split_at_char.h"

namespace nolvo::setup {

bool InstallEngine::Expanded(const std::string& file) const {
  return c_.expanded == nullptr || c_.expanded->count(platform::AsciiUpper(file)) > 0;
}

void InstallEngine::CopySetupFiles() {
  for (const char* name : {"install.exe", "install.cfg"}) {
    Checkpoint();
    EngineAction a;
    a.kind = ActionKind::akCopyFile;
    a.source = c_.state.TempDir + "\\" + name;
    a.target = tokens_.installDir + "\\" + name;
    if (options_.dryRun) {
      if (!platform::FileExists(c_.machine, a.source))
        a.detail = "missing: the run would stop here";
      planned_.insert(platform::AsciiUpper(a.target));
      Log(std::move(a));
      continue;
    }
    const bool existed = platform::FileExists(c_.machine, a.target);
    Perform<std::exception>(a, [&] {
      InstallFile(
          c_.machine, a.source, a.target,
          [&](const std::string& temp) { record_->PartialFile(temp); }, [&] { Checkpoint(); },
          RecordAhead(existed));
    });
    RecordFile(a.target, existed);
    Log(std::move(a));
  }
}

void InstallEngine::CopyProductFiles() {
  const auto& list =
      c_.wizard.Controls().MinSelected ? c_.settings.WorkStationList : c_.settings.FileList;
  for (const Target& target : targets_) {
    Status(kStatusReady);
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::string rest = list[i], fileField, tokenField;
      util::SplitAtChar(rest, '~', fileField);
      util::SplitAtChar(rest, '~', tokenField);
      if (platform::AsciiUpper(tokenField) != target.token) continue;
      Checkpoint();
      const std::string file = FileNamePart(fileField);
      Advance();
      c_.wizard.Edit().DestText = target.directory;
      Status(file);
      if (!Expanded(file)) {
        const std::string entry =
            c_.wizard.Controls().MinSelected ? list[i] : app::WithoutOverwriteMarker(list[i]);
        result_.unusable.push_back(
            "[" + std::string(c_.wizard.Controls().MinSelected ? "WorkStation" : "Files") + "] \"" +
            entry + "\": " + file + " is not in the media; not installed");
      } else {
        CopyOne(list, i, file, rest, target.directory);
      }
      if (record_) record_->AddUnins(target.directory + "\\" + file);
      c_.pump.ProcessMessages();
    }
  }
  if (record_) record_->Flush();
}

void InstallEngine::CopyOne(const std::vector<std::string>& list, std::size_t index,
                            const std::string& file, const std::string& rest,
                            const std::string& directory) {
  EngineAction a;
  a.kind = ActionKind::akCopyFile;
  a.source = c_.state.TempDir + "\\" + file;
  a.target = directory + "\\" + file;
  if (Refuse(a.target, "file")) return;
  if (record_ && PathWithin(c_.machine, a.target, record_->File()) &&
      PathWithin(c_.machine, record_->File(), a.target)) {
    // The record of what was installed is not the product's to replace.
    a.outcome = ActionOutcome::aoRefused;
    a.detail = "it would replace the uninstall record";
    result_.refused.push_back("file " + a.target + " (it would replace the uninstall record)");
    Log(std::move(a));
    return;
  }
  const bool existed = WouldExist(a.target);
  if (existed && options_.keepExisting) {
    a.outcome = ActionOutcome::aoSkipped;
    a.detail = "kept: existing files are kept";
    Log(std::move(a));
    return;
  }
  a.asks = rest == "X" && existed;
  if (options_.dryRun) {
    planned_.insert(platform::AsciiUpper(a.target));
    if (!platform::FileExists(c_.machine, a.source)) a.detail = "source missing";
    Log(std::move(a));
    ReleaseTempCopy(list, index, file);
    return;
  }
  if (a.asks && !c_.dialogs.Confirm("File Already Exists (" + file + "). Overwrite?")) {
    a.outcome = ActionOutcome::aoSkipped;
    a.detail = "not overwritten";
    Log(std::move(a));
    return;
  }
  // The temporary copy is needed no longer when no other entry names the file: then it is
  // moved into place (with a new copy's metadata) instead of copied and deleted.
  const bool lastUse = !NamedElsewhere(list, index, platform::AsciiUpper(file));
  bool moved = false;
  try {
    // A target "directory" that is a file cannot receive the copy, and a destination
    // that is a directory is not replaced: both are failed copies.
    const bool dirIsFile = platform::FileExists(c_.machine, directory) &&
                           !platform::DirectoryExists(c_.machine, directory);
    if (dirIsFile || platform::DirectoryExists(c_.machine, a.target))
      throw util::EFCreateError("Cannot create file " + a.target);
    moved = lastUse &&
            MoveFileIntoPlace(c_.machine, a.source, a.target, RecordAhead(existed)).has_value();
    if (!moved)
      InstallFile(
          c_.machine, a.source, a.target,
          [&](const std::string& temp) {
            if (record_) record_->PartialFile(temp);
          },
          [&] { Checkpoint(); }, RecordAhead(existed));
  } catch (const util::EFileError& e) {
    a.outcome = ActionOutcome::aoFailed;
    a.detail = e.what();
    result_.failedCopies.push_back({a.source, a.target, e.what()});
    Log(std::move(a));
    return;  // the temporary copy stays: nothing else holds the file now
  }
  RecordFile(a.target, existed);
  a.outcome = ActionOutcome::aoDone;
  Log(std::move(a));
  if (moved) {
    EngineAction gone;
    gone.kind = ActionKind::akDeleteTemp;
    gone.target = c_.state.TempDir + "\\" + file;
    gone.outcome = ActionOutcome::aoDone;
    Log(std::move(gone));
  } else if (lastUse) {
    ReleaseTempCopy(list, index, file);
  }
}

bool InstallEngine::NamedElsewhere(const std::vector<std::string>& list, std::size_t index,
                                   const std::string& upperName) {
  // The list is indexed once, so that each name is looked for once, not per entry.
  if (entryIndex_.Size() != list.size()) entryIndex_ = EntryTextIndex(list);
  if (upperName.empty()) return list.size() > 1;
  return entryIndex_.OccursOutside(upperName, index);
}

void InstallEngine::ReleaseTempCopy(const std::vector<std::string>& list, std::size_t index,
                                    const std::string& file) {
  // Kept while any other entry of the list contains the name (both in upper case).
  if (NamedElsewhere(list, index, platform::AsciiUpper(file))) return;
  EngineAction a;
  a.kind = ActionKind::akDeleteTemp;
  a.target = c_.state.TempDir + "\\" + file;
  if (!options_.dryRun) {
    const platform::WinError error = platform::DeleteFile(c_.machine, a.target);
    a.outcome = error.ok() ? ActionOutcome::aoDone : ActionOutcome::aoFailed;
    if (!error.ok()) a.detail = "error " + std::to_string(error.value());
  }
  Log(std::move(a));
}

}  // namespace nolvo::setup
