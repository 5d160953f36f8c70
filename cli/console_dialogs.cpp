#include "cli/console_dialogs.h"

#include <fmt/format.h>

#include <cctype>
#include <cstdio>
#include <iostream>

#include "platform/ascii.h"

namespace nolvo::cli {

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string Describe(const platform::MessageRequest& r, platform::DialogResult answer) {
  return fmt::format("question ({}): \"{}\" -> {}", platform::DialogButtonsName(r.buttons), r.text,
                     platform::DialogResultName(answer));
}

}  // namespace

platform::DialogResult UnattendedDialogs::ShowMessageBox(const platform::MessageRequest& r) {
  using platform::DialogButtons;
  using platform::DialogResult;
  DialogResult answer = DialogResult::idOk;
  switch (r.buttons) {
    case DialogButtons::dbOk:
      answer = DialogResult::idOk;
      break;
    case DialogButtons::dbOkCancel: {
      // Cancel would read as a person's abort; say instead what is missing.
      const std::string first = r.text.substr(0, r.text.find_first_of("\r\n"));
      const std::string segment = ExpectedSegment ? ExpectedSegment() : std::string();
      const std::string message =
          segment.empty()
              ? first + " (nobody is there to correct it)"
              : fmt::format("segment {} is missing or is not the segment needed here: {}", segment,
                            first);
      if (Log)
        Log(fmt::format("question ({}): \"{}\" -> no answer: {}",
                        platform::DialogButtonsName(r.buttons), r.text, message));
      throw ESegmentUnavailable(message);
    }
    case DialogButtons::dbNoAbort:
      answer = DialogResult::idNo;
      break;
    case DialogButtons::dbYesNo:
      if (StartsWith(r.text, "File Already Exists ("))
        answer = overwrite_ ? DialogResult::idYes : DialogResult::idNo;
      else if (StartsWith(r.text, "Create New Directory for Installation ["))
        answer = DialogResult::idYes;
      else
        answer = DialogResult::idNo;
      break;
  }
  if (Log) Log(Describe(r, answer));
  return answer;
}

platform::InputResult UnattendedDialogs::ShowInputBox(const platform::InputRequest& r) {
  if (Log) Log(fmt::format("input box: \"{}\" -> cancelled", r.prompt));
  return {};
}

bool ReadAnswerLine(std::string& line) { return static_cast<bool>(std::getline(std::cin, line)); }

platform::DialogResult TerminalDialogs::ShowMessageBox(const platform::MessageRequest& r) {
  using platform::DialogButtons;
  using platform::DialogResult;
  if (BeforeQuestion) BeforeQuestion();
  struct Choice {
    char key;
    const char* label;
    DialogResult result;
  };
  std::vector<Choice> choices;
  switch (r.buttons) {
    case DialogButtons::dbOk:
      choices = {{'o', "OK", DialogResult::idOk}};
      break;
    case DialogButtons::dbYesNo:
      choices = {{'y', "Yes", DialogResult::idYes}, {'n', "No", DialogResult::idNo}};
      break;
    case DialogButtons::dbNoAbort:
      choices = {{'n', "No", DialogResult::idNo}, {'a', "Abort", DialogResult::idAbort}};
      break;
    case DialogButtons::dbOkCancel:
      choices = {{'o', "OK", DialogResult::idOk}, {'c', "Cancel", DialogResult::idCancel}};
      break;
  }
  for (;;) {
    std::string prompt;
    for (const auto& c : choices) prompt += fmt::format("{}[{}]{} ", "", c.key, c.label + 1);
    fmt::print(stderr, "\n{}\n  {}> ", r.text, prompt);
    std::string line;
    if (!ReadAnswerLine(line)) {
      fmt::print(stderr, "\n");
      const DialogResult last = choices.back().result;
      if (Log) Log(Describe(r, last));
      return last;
    }
    if (choices.size() == 1 && line.empty())
      line.push_back('o');  // (not = "o": GCC 12 warns falsely)
    for (const auto& c : choices) {
      if (!line.empty() && platform::AsciiLower(line[0]) == c.key) {
        if (Log) Log(Describe(r, c.result));
        return c.result;
      }
    }
  }
}

platform::InputResult TerminalDialogs::ShowInputBox(const platform::InputRequest& r) {
  if (BeforeQuestion) BeforeQuestion();
  fmt::print(stderr, "\n{}\n{} [{}]: ", r.caption, r.prompt, r.default_text);
  std::string line;
  if (!ReadAnswerLine(line)) return {};
  return {true, line.empty() ? r.default_text : line};
}

}  // namespace nolvo::cli
