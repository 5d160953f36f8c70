#pragma once
// The questions the system asks a person: modal message boxes and an input box. The core
// asks only through this interface; the GUI shows real boxes, the command-line tool and
// the tests answer through their own implementations (see testing/scripted_dialogs.h).

#include <string>
#include <string_view>

namespace nolvo::platform {

// The icon and tone of a message box.
enum class DialogKind { dkInformation, dkConfirmation, dkWarning, dkError };

// The button sets the system uses.
enum class DialogButtons {
  dbOk,        // information boxes
  dbYesNo,     // confirmation questions (overwrite, new directory)
  dbNoAbort,   // the abort question
  dbOkCancel,  // the segment reader's error boxes
};

// The button that closed a box, numbered as Win32's IDOK, IDCANCEL, IDABORT, IDYES, IDNO.
enum class DialogResult { idOk = 1, idCancel = 2, idAbort = 3, idYes = 6, idNo = 7 };

struct MessageRequest {
  std::string caption;  // empty: the application's title
  std::string text;
  DialogKind kind = DialogKind::dkInformation;
  DialogButtons buttons = DialogButtons::dbOk;
};

struct InputRequest {
  std::string caption;
  std::string prompt;        // the label above the edit field
  std::string default_text;  // the edit field's text when the box opens
};

struct InputResult {
  bool accepted = false;  // OK (true) or Cancel / closed (false)
  std::string text;       // the edit field's text when accepted
};

// True when `result` is one of the buttons of `buttons`.
bool IsButtonOf(DialogResult result, DialogButtons buttons);
const char* DialogResultName(DialogResult result);
const char* DialogButtonsName(DialogButtons buttons);

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Shows a modal message box and answers the button pressed, always one of
  // `request.buttons` (a box closed without a button answers its last button: OK, No,
  // Abort or Cancel as the set has it).
  virtual DialogResult ShowMessageBox(const MessageRequest& request) = 0;
  // Shows the modal input box (caption, prompt, edit field, OK and Cancel).
  virtual InputResult ShowInputBox(const InputRequest& request) = 0;

  // The system's four kinds of question, with the application's title as caption.
  void Inform(std::string_view text);         // information, OK
  bool Confirm(std::string_view text);        // confirmation, Yes and No: true = Yes
  bool AskAbort(std::string_view text);       // warning, No and Abort: true = Abort
  bool ErrorOkCancel(std::string_view text);  // error, OK and Cancel: true = OK
};

// Lets the window system process pending messages at the system's fixed points (after
// each block read, each codec chunk, each file, each status change).
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  virtual void ProcessMessages() = 0;
};

// Does nothing (for runs without windows).
class NullMessagePump : public MessagePump {
 public:
  void ProcessMessages() override {}
};

}  // namespace nolvo::platform
