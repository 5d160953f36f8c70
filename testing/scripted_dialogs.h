#pragma once
// Dialogs answered from a script, for tests and fuzz targets: the answers are queued in
// the order the questions are expected. A question that finds the queue empty, an answer
// of the other kind (message box vs. input box), an expected caption or text that
// differs, or a scripted button the box does not have, throws EUnexpectedDialog naming
// the question; the failure is also remembered so that Verify() reports it even when the
// code under test swallowed the exception.

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "platform/dialogs.h"

namespace nolvo::testing {

using platform::DialogButtons;
using platform::DialogKind;
using platform::DialogResult;
using platform::Dialogs;
using platform::InputRequest;
using platform::InputResult;
using platform::MessagePump;
using platform::MessageRequest;

class EUnexpectedDialog : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// A question as it was asked.
using AskedQuestion = std::variant<MessageRequest, InputRequest>;
// One line describing a question, e.g. `message box (warning, No/Abort) "Abort Setup Process ?"`.
std::string DescribeQuestion(const AskedQuestion& question);

class ScriptedDialogs : public Dialogs {
 public:
  // Queues the answer to the next message box; when given, its text and caption must equal
  // `text` and `caption`.
  ScriptedDialogs& OnMessage(DialogResult answer, std::optional<std::string> text = std::nullopt,
                             std::optional<std::string> caption = std::nullopt);
  // Queues the answer to the next input box; when given, its caption must equal `caption`.
  ScriptedDialogs& OnInput(InputResult answer, std::optional<std::string> caption = std::nullopt);

  DialogResult ShowMessageBox(const MessageRequest& request) override;
  InputResult ShowInputBox(const InputRequest& request) override;

  // Every question asked so far, in order.
  const std::vector<AskedQuestion>& Asked() const { return asked_; }
  std::size_t Remaining() const { return script_.size(); }
  // Throws EUnexpectedDialog when a question went wrong or answers are left unused.
  void Verify() const;

 private:
  struct Entry {
    bool input = false;
    DialogResult result = DialogResult::idOk;
    InputResult input_result;
    std::optional<std::string> text;
    std::optional<std::string> caption;
  };
  // Takes the next entry for `question` or records the failure and throws.
  Entry Take(const AskedQuestion& question, bool input);
  [[noreturn]] void Fail(const std::string& why);

  std::deque<Entry> script_;
  std::vector<AskedQuestion> asked_;
  std::string failure_;
};

// Counts the calls; an optional hook runs inside each call (with the call's number, from
// 1), so a test can act "in the middle" of long work, as a person's click would.
class CountingMessagePump : public MessagePump {
 public:
  void ProcessMessages() override;
  std::size_t Count() const { return count_; }
  void SetHook(std::function<void(std::size_t)> hook) { hook_ = std::move(hook); }

 private:
  std::size_t count_ = 0;
  std::function<void(std::size_t)> hook_;
};

}  // namespace nolvo::testing
