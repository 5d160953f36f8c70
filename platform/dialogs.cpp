#include "platform/dialogs.h"

namespace nolvo::platform {

bool IsButtonOf(DialogResult result, DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::dbOk:
      return result == DialogResult::idOk;
    case DialogButtons::dbYesNo:
      return result == DialogResult::idYes || result == DialogResult::idNo;
    case DialogButtons::dbNoAbort:
      return result == DialogResult::idNo || result == DialogResult::idAbort;
    case DialogButtons::dbOkCancel:
      return result == DialogResult::idOk || result == DialogResult::idCancel;
  }
  return false;
}

const char* DialogResultName(DialogResult result) {
  switch (result) {
    case DialogResult::idOk:
      return "OK";
    case DialogResult::idCancel:
      return "Cancel";
    case DialogResult::idAbort:
      return "Abort";
    case DialogResult::idYes:
      return "Yes";
    case DialogResult::idNo:
      return "No";
  }
  return "?";
}

const char* DialogButtonsName(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::dbOk:
      return "OK";
    case DialogButtons::dbYesNo:
      return "Yes/No";
    case DialogButtons::dbNoAbort:
      return "No/Abort";
    case DialogButtons::dbOkCancel:
      return "OK/Cancel";
  }
  return "?";
}

void Dialogs::Inform(std::string_view text) {
  ShowMessageBox({"", std::string(text), DialogKind::dkInformation, DialogButtons::dbOk});
}

bool Dialogs::Confirm(std::string_view text) {
  return ShowMessageBox({"", std::string(text), DialogKind::dkConfirmation,
                         DialogButtons::dbYesNo}) == DialogResult::idYes;
}

bool Dialogs::AskAbort(std::string_view text) {
  return ShowMessageBox({"", std::string(text), DialogKind::dkWarning, DialogButtons::dbNoAbort}) ==
         DialogResult::idAbort;
}

bool Dialogs::ErrorOkCancel(std::string_view text) {
  return ShowMessageBox({"", std::string(text), DialogKind::dkError, DialogButtons::dbOkCancel}) ==
         DialogResult::idOk;
}

}  // namespace nolvo::platform
