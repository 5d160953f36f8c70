// The engine's last steps: the product's INI file, the uninstall registry entry and the
// launch of the installed program.

#include "platform/file_attributes.h"
#include "platform/registry_error.h"
#include "platform/win_path.h"
#include "setup/desktop_entry.h"
#include "setup/install_engine.h"
#include "setup/profile_writer.h"
#include "util/launch_file.h"
#include "util/split_at_char.h"

namespace nolvo::setup {

void InstallEngine::WriteIniFile() {
  const auto& s = c_.settings;
  if (!s.IniFileName.empty() && record_) record_->AddUnins(tokens_.windows + "\\" + s.IniFileName);
  if (s.IniSetupList.empty()) {
    if (record_) record_->Close();  // the uninstall configuration is complete
    return;
  }
  Status(kStatusIni);
  const std::string file = IniFilePath(s.IniFileName, tokens_.windows);
  bool refused = false;
  if (s.IniFileName.empty()) {
    result_.refused.push_back("[INI - Setup] entries without an \"INI File\" to write them to");
    refused = true;
  } else {
    refused = Refuse(file, "INI file");
  }
  // The INI file is the product's when this run makes it, or when an installation made it
  // and nobody changed it since: lines the user added to it are not the product's to remove.
  const bool existed = platform::FileExists(c_.machine, file);
  const bool ours = !existed || (record_ && record_->CreatedUnchanged(file));
  for (const Target& target : targets_) {
    for (const auto& entry : s.IniSetupList) {
      Checkpoint();
      std::string valueField = entry, section, key;
      util::SplitAtChar(valueField, '~', section);
      util::SplitAtChar(valueField, '~', key);
      if (platform::AsciiUpper(DesktopEntry::LeadingToken(valueField)) != target.token) continue;
      Advance();
      if (refused) continue;
      EngineAction a;
      a.kind = ActionKind::akIniLine;
      a.target = file;
      a.section = section;
      a.key = key;
      a.value = target.directory + "\\" + DesktopEntry::AfterToken(valueField);
      if (!options_.dryRun) {
        // The product's file is on record with each new content just before it takes it.
        std::exception_ptr recordFailure;
        Perform<EIniFileError>(a, [&] {
          try {
            WriteProfileOrRaise(c_.machine, file, section.c_str(), key.c_str(), a.value.c_str(),
                                RecordAheadOf(file, !ours, recordFailure));
          } catch (const EIniFileError&) {
            if (recordFailure) std::rethrow_exception(recordFailure);
            throw;
          }
        });
        if (ours) RecordFile(file, false);
      }
      Log(std::move(a));
    }
  }
  if (record_) record_->Close();  // the uninstall configuration is complete
}

void InstallEngine::WriteRegistry() {
  Status(kStatusRegistry);
  const std::string uninstaller = tokens_.installDir + "\\" + kUninstallerName;
  if (!WouldExist(uninstaller)) return;
  const std::string key = kUninstallKeyBase + c_.title;
  const std::pair<const char*, std::string> values[] = {
      {"DisplayName", c_.title},
      {"UninstallString", uninstaller + " " + c_.title},
  };
  for (const auto& [name, data] : values) {
    EngineAction a;
    a.kind = ActionKind::akRegistryValue;
    a.target = key;
    a.key = name;
    a.value = data;
    if (!options_.dryRun) {
      Perform<platform::ERegistryException>(a, [&, &name = name, &data = data] {
        c_.registry.WriteString(platform::kHKeyLocalMachine, key, name, data);
      });
    }
    Log(std::move(a));
  }
}

void InstallEngine::Launch() {
  const std::string& program = c_.settings.LaunchProgram;
  const std::string upper = platform::AsciiUpper(program);
  const bool followOn =
      upper.find("SETUP.") != std::string::npos || upper.find("INSTALL.") != std::string::npos;
  if (program.empty()) return;
  EngineAction a;
  a.kind = ActionKind::akLaunch;
  a.target = program;
  a.source = DirectoryPart(program);
  const bool chosen = c_.wizard.LaunchSelected();
  if (!chosen && !(followOn && options_.startFollowOn)) {
    // Nothing starts unasked; the log says what was left.
    a.outcome = ActionOutcome::aoSkipped;
    a.detail = followOn ? "a follow-on setup, not started unless asked"
                        : "not started: the launch choice is not selected";
    if (followOn) result_.notStarted.push_back("Follow-on setup not started: " + program);
    Log(std::move(a));
    return;
  }
  if (Refuse(program, "program")) return;
  result_.launched = true;
  if (!options_.dryRun) {
    const int code = util::LaunchFile(c_.machine, FileNamePart(program), "", a.source, 5);
    a.outcome = code > 32 ? ActionOutcome::aoDone : ActionOutcome::aoFailed;
    if (code <= 32) a.detail = "shell result " + std::to_string(code);
  }
  Log(std::move(a));
}

}  // namespace nolvo::setup
