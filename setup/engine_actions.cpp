#include "setup/engine_actions.h"

namespace nolvo::setup {

const char* OutcomeName(ActionOutcome outcome) {
  switch (outcome) {
    case ActionOutcome::aoPlanned:
      return "planned";
    case ActionOutcome::aoDone:
      return "done";
    case ActionOutcome::aoSkipped:
      return "skipped";
    case ActionOutcome::aoFailed:
      return "failed";
    case ActionOutcome::aoRefused:
      return "refused";
  }
  return "planned";
}

std::string DescribeAction(const EngineAction& a) {
  std::string text;
  switch (a.kind) {
    case ActionKind::akMakeDirectory:
      text = "make directory " + a.target;
      break;
    case ActionKind::akCopyFile:
      text = "copy " + a.source + " -> " + a.target;
      if (a.asks) text += " (asks before overwriting)";
      break;
    case ActionKind::akDeleteTemp:
      text = "delete temporary copy " + a.target;
      break;
    case ActionKind::akShortcut:
      text = "shortcut " + a.target + " -> " + a.source;
      break;
    case ActionKind::akIniLine:
      text = "INI " + a.target + " [" + a.section + "] " + a.key + "=" + a.value;
      break;
    case ActionKind::akUninstallKey:
      text = "uninstall.cfg [" + a.section + "] " + a.key + "=";
      break;
    case ActionKind::akUninstallTitle:
      text = "uninstall.cfg [Program] Title=" + a.value + " (" + a.target + ")";
      break;
    case ActionKind::akRegistryValue:
      text = "registry HKEY_LOCAL_MACHINE\\" + a.target + " " + a.key + "=" + a.value;
      break;
    case ActionKind::akLaunch:
      text = "launch " + a.target + " in " + a.source;
      break;
    case ActionKind::akRefused:
      text = "refuse " + a.target;
      break;
  }
  text += ": ";
  text += OutcomeName(a.outcome);
  if (!a.detail.empty()) text += " (" + a.detail + ")";
  return text;
}

void ActionLog::Add(EngineAction action) {
  if (sink_) sink_(action);
  actions_.push_back(std::move(action));
}

}  // namespace nolvo::setup
