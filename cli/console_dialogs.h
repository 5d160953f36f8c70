#pragma once
// The setup's questions without a window: answered by rule for unattended runs, or
// asked on the terminal.

#include <functional>
#include <stdexcept>
#include <string>

#include "platform/dialogs.h"

namespace nolvo::cli {

// Raised in an unattended run by the reader's missing- or wrong-segment box: nobody is
// there to insert the segment, so the run stops, naming it.
class ESegmentUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Answers every question by a fixed rule: the disk prompt and other information boxes
// OK; "File Already Exists (...). Overwrite?" as `overwrite` says; the new installation
// directory Yes (it was chosen on the command line); anything else the box's safe button
// (No). The reader's missing-segment and wrong-segment boxes (OK, Cancel) end the run
// with ESegmentUnavailable naming the segment. The input box is cancelled.
class UnattendedDialogs : public platform::Dialogs {
 public:
  explicit UnattendedDialogs(bool overwrite) : overwrite_(overwrite) {}
  platform::DialogResult ShowMessageBox(const platform::MessageRequest& request) override;
  platform::InputResult ShowInputBox(const platform::InputRequest& request) override;
  // Receives "question -> answer" lines (may be empty).
  std::function<void(const std::string&)> Log;
  // The segment file the extraction waits for (may be empty).
  std::function<std::string()> ExpectedSegment;

 private:
  bool overwrite_;
};

// Asks a person on the terminal (standard error for the question, standard input for the
// answer). End of input answers the box's last button.
class TerminalDialogs : public platform::Dialogs {
 public:
  platform::DialogResult ShowMessageBox(const platform::MessageRequest& request) override;
  platform::InputResult ShowInputBox(const platform::InputRequest& request) override;
  std::function<void(const std::string&)> Log;
  // Runs before a question is printed (clears a progress line).
  std::function<void()> BeforeQuestion;
};

// Reads one line from standard input; false at its end.
bool ReadAnswerLine(std::string& line);

}  // namespace nolvo::cli
