#include "testing/scripted_dialogs.h"

namespace nolvo::testing {

namespace {

const char* KindName(DialogKind kind) {
  switch (kind) {
    case DialogKind::dkInformation:
      return "information";
    case DialogKind::dkConfirmation:
      return "confirmation";
    case DialogKind::dkWarning:
      return "warning";
    case DialogKind::dkError:
      return "error";
  }
  return "?";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string DescribeQuestion(const AskedQuestion& question) {
  if (const auto* m = std::get_if<MessageRequest>(&question)) {
    std::string out = std::string("message box (") + KindName(m->kind) + ", " +
                      platform::DialogButtonsName(m->buttons) + ") ";
    if (!m->caption.empty()) out += "caption " + Quoted(m->caption) + " ";
    return out + Quoted(m->text);
  }
  const auto& in = std::get<InputRequest>(question);
  return "input box caption " + Quoted(in.caption) + " prompt " + Quoted(in.prompt) + " default " +
         Quoted(in.default_text);
}

ScriptedDialogs& ScriptedDialogs::OnMessage(DialogResult answer, std::optional<std::string> text,
                                            std::optional<std::string> caption) {
  Entry e;
  e.result = answer;
  e.text = std::move(text);
  e.caption = std::move(caption);
  script_.push_back(std::move(e));
  return *this;
}

ScriptedDialogs& ScriptedDialogs::OnInput(InputResult answer, std::optional<std::string> caption) {
  Entry e;
  e.input = true;
  e.input_result = std::move(answer);
  e.caption = std::move(caption);
  script_.push_back(std::move(e));
  return *this;
}

void ScriptedDialogs::Fail(const std::string& why) {
  if (failure_.empty()) failure_ = why;
  throw EUnexpectedDialog(why);
}

ScriptedDialogs::Entry ScriptedDialogs::Take(const AskedQuestion& question, bool input) {
  asked_.push_back(question);
  const std::string what = DescribeQuestion(question);
  if (script_.empty()) Fail("Unexpected " + what + ": no scripted answer left");
  Entry e = script_.front();
  if (e.input != input)
    Fail("Unexpected " + what + ": the script expected " +
         (e.input ? "an input box" : "a message box"));
  const std::string& caption =
      input ? std::get<InputRequest>(question).caption : std::get<MessageRequest>(question).caption;
  if (e.caption && *e.caption != caption)
    Fail("Unexpected " + what + ": the script expected caption " + Quoted(*e.caption));
  if (!input && e.text && *e.text != std::get<MessageRequest>(question).text)
    Fail("Unexpected " + what + ": the script expected text " + Quoted(*e.text));
  if (!input && !IsButtonOf(e.result, std::get<MessageRequest>(question).buttons))
    Fail("Unexpected " + what + ": the scripted answer " + DialogResultName(e.result) +
         " is not one of its buttons");
  script_.pop_front();
  return e;
}

DialogResult ScriptedDialogs::ShowMessageBox(const MessageRequest& request) {
  return Take(request, false).result;
}

InputResult ScriptedDialogs::ShowInputBox(const InputRequest& request) {
  return Take(request, true).input_result;
}

void ScriptedDialogs::Verify() const {
  if (!failure_.empty()) throw EUnexpectedDialog(failure_);
  if (script_.empty()) return;
  std::string why = std::to_string(script_.size()) + " scripted answer(s) left unused; next: ";
  const Entry& e = script_.front();
  why += e.input ? "input box" : std::string("message box answered ") + DialogResultName(e.result);
  if (e.text) why += " text " + Quoted(*e.text);
  if (e.caption) why += " caption " + Quoted(*e.caption);
  throw EUnexpectedDialog(why);
}

void CountingMessagePump::ProcessMessages() {
  ++count_;
  if (hook_) hook_(count_);
}

}  // namespace nolvo::testing
