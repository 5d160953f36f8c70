// The engine's copy steps: the setup's own files into the installation directory, then
// the product files of the active list, grouped by directory in [Directories] order.

#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/win_path.h"
#include "setup/install_engine.h"
#include "util/copy_file_to.h"
#include "util/file_errors.h"
#include "util/split_at_char.h"

namespace nolvo::setup {

void InstallEngine::CopySetupFiles() {
  for (const char* name : {"install.exe", "install.cfg"}) {
    EngineAction a;
    a.kind = ActionKind::akCopyFile;
    a.source = c_.state.TempDir + "\\" + name;
    a.target = tokens_.installDir + "\\" + name;
    if (options_.dryRun) {
      if (!platform::FileExists(c_.machine, a.source)) a.detail = "missing: the run would stop here";
      planned_.insert(platform::UpperAscii(a.target));
      Log(std::move(a));
      continue;
    }
    Perform<std::exception>(a, [&] { util::CopyFileTo(c_.machine, a.source, tokens_.installDir); });
    Log(std::move(a));
  }
}

void InstallEngine::CopyProductFiles() {
  const auto& list =
      c_.wizard.MinSelected ? c_.settings.WorkStationList : c_.settings.FileList;
  for (const Target& target : targets_) {
    Status(kStatusReady);
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::string rest = list[i], fileField, tokenField;
      util::SplitAtChar(rest, '~', fileField);
      util::SplitAtChar(rest, '~', tokenField);
      if (platform::UpperAscii(tokenField) != target.token) continue;
      const std::string file = FileNamePart(fileField);
      Advance();
      c_.wizard.DestText = target.directory;
      Status(file);
      CopyOne(list, i, file, rest, target.directory);
      if (record_) record_->AddUnins(target.directory + "\\" + file);
      c_.pump.ProcessMessages();
    }
  }
}

void InstallEngine::CopyOne(const std::vector<std::string>& list, std::size_t index,
                            const std::string& file, const std::string& rest,
                            const std::string& directory) {
  EngineAction a;
  a.kind = ActionKind::akCopyFile;
  a.source = c_.state.TempDir + "\\" + file;
  a.target = directory + "\\" + file;
  if (Refuse(a.target, "file")) return;
  a.asks = rest == "X" && WouldExist(a.target);
  if (options_.dryRun) {
    planned_.insert(platform::UpperAscii(a.target));
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
  try {
    // A target "directory" that is a file would be replaced by the copy, and a
    // destination that is a directory would receive the file one level down: both are
    // failed copies instead.
    const bool dirIsFile = platform::FileExists(c_.machine, directory) &&
                           !platform::DirectoryExists(c_.machine, directory);
    if (dirIsFile || platform::DirectoryExists(c_.machine, a.target))
      throw util::EFCreateError("Cannot create file " + a.target);
    util::CopyFileTo(c_.machine, a.source, directory);
  } catch (const util::EFileError& e) {
    a.outcome = ActionOutcome::aoFailed;
    a.detail = e.what();
    result_.failedCopies.push_back({a.source, a.target, e.what()});
    Log(std::move(a));
    return;  // the temporary copy stays: nothing else holds the file now
  }
  a.outcome = ActionOutcome::aoDone;
  Log(std::move(a));
  ReleaseTempCopy(list, index, file);
}

void InstallEngine::ReleaseTempCopy(const std::vector<std::string>& list, std::size_t index,
                                    const std::string& file) {
  const std::string upper = platform::UpperAscii(file);
  for (std::size_t k = 0; k < list.size(); ++k)
    if (k != index && platform::UpperAscii(list[k]).find(upper) != std::string::npos) return;
  EngineAction a;
  a.kind = ActionKind::akDeleteTemp;
  a.target = c_.state.TempDir + "\\" + file;
  if (!options_.dryRun) {
    const std::uint32_t error = platform::DeleteFile(c_.machine, a.target);
    a.outcome = error == 0 ? ActionOutcome::aoDone : ActionOutcome::aoFailed;
    if (error != 0) a.detail = "error " + std::to_string(error);
  }
  Log(std::move(a));
}

}  // namespace nolvo::setup
