#include "setup/uninstall_record.h"

#include "setup/profile_writer.h"

namespace nolvo::setup {

UninstallRecord::UninstallRecord(const platform::Machine& machine, const std::string& installDir,
                                 bool dryRun, ActionLog& log)
    : machine_(machine), file_(installDir + "\\" + kUninstallFileName), dryRun_(dryRun), log_(log) {}

void UninstallRecord::Fail(EngineAction action, const std::string& why) {
  action.outcome = ActionOutcome::aoFailed;
  action.detail = why;
  log_.Add(std::move(action));
}

void UninstallRecord::Open(const std::string& title) {
  EngineAction a;
  a.kind = ActionKind::akUninstallTitle;
  a.target = file_;
  a.value = title;
  if (!dryRun_) {
    try {
      WriteProfileOrRaise(machine_, file_, kUninsSection, nullptr, nullptr);
      WriteProfileOrRaise(machine_, file_, kFoldersSection, nullptr, nullptr);
      WriteProfileOrRaise(machine_, file_, kProgramSection, "Title", title.c_str());
    } catch (const EIniFileError& e) {
      Fail(std::move(a), e.what());
      throw;
    }
    a.outcome = ActionOutcome::aoDone;
  }
  log_.Add(std::move(a));
}

void UninstallRecord::Add(const char* section, const std::string& key) {
  EngineAction a;
  a.kind = ActionKind::akUninstallKey;
  a.target = file_;
  a.section = section;
  a.key = key;
  if (!dryRun_) {
    try {
      WriteProfileOrRaise(machine_, file_, section, key.c_str(), "");
    } catch (const EIniFileError& e) {
      Fail(std::move(a), e.what());
      throw;
    }
    a.outcome = ActionOutcome::aoDone;
  }
  log_.Add(std::move(a));
}

}  // namespace nolvo::setup
