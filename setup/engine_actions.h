#pragma once
// What the installation engine does, one action at a time: the plan of a dry run and
// the action log of a real one share this record.

#include <functional>
#include <string>
#include <vector>

namespace nolvo::setup {

enum class ActionKind {
  akMakeDirectory,   // target: the directory
  akCopyFile,        // source: TempDir file, target: destination file, asks: overwrite question
  akDeleteTemp,      // target: the temporary copy deleted after its last use
  akShortcut,        // source: the program, target: the link file
  akIniLine,         // target: the INI file, section/key/value
  akUninstallKey,    // target: uninstall.cfg, section/key (value always empty)
  akUninstallTitle,  // target: uninstall.cfg, value: the title
  akRegistryValue,   // target: the key, key: the value name, value: the data
  akLaunch,          // target: the program, source: the working directory
  akRefused,         // target: a path outside the places the run may write to
};

// How an action ended.
enum class ActionOutcome {
  aoPlanned,  // dry run: would be done
  aoDone,
  aoSkipped,  // not done on purpose (overwrite answered No, already there)
  aoFailed,   // tried and failed; `detail` says why
  aoRefused,  // not tried: the target lies outside the allowed places
};

struct EngineAction {
  ActionKind kind = ActionKind::akMakeDirectory;
  std::string source;
  std::string target;
  std::string section;
  std::string key;
  std::string value;
  bool asks = false;
  ActionOutcome outcome = ActionOutcome::aoPlanned;
  std::string detail;
};

// One line of text for an action, such as
// `copy C:\WINDOWS\Temp\q\app.exe -> C:\Apps\Tool\app.exe (asks before overwriting): done`.
std::string DescribeAction(const EngineAction& action);
const char* OutcomeName(ActionOutcome outcome);

// Collects the actions of one run and hands each to an optional sink as it happens.
class ActionLog {
 public:
  explicit ActionLog(std::function<void(const EngineAction&)> sink = {}) : sink_(std::move(sink)) {}
  void Add(EngineAction action);
  const std::vector<EngineAction>& Actions() const { return actions_; }

 private:
  std::function<void(const EngineAction&)> sink_;
  std::vector<EngineAction> actions_;
};

}  // namespace nolvo::setup
