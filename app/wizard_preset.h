#pragma once
// How the settings load leaves the wizard before it is shown: the finish choice of the
// ready page and the page the wizard opens on.

namespace nolvo::app {

// fcNone: no choice selected (the reboot choice was cleared).
enum class FinishChoice { fcLaunch, fcReturn, fcReboot, fcNone };

struct FinishChoiceState {
  FinishChoice Selected = FinishChoice::fcLaunch;
  bool LaunchEnabled = true;  // RadioButton1
  bool RebootVisible = true;  // reboot
};

struct WizardPreset {
  FinishChoiceState Finish;
  // 0: the welcome page; 1: the licence page (the load advanced once past the welcome
  // page, and Next stays disabled there until Accept).
  int PageIndex = 0;
  bool NextEnabled = true;
  bool BackEnabled = false;
};

}  // namespace nolvo::app
