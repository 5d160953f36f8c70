#pragma once
// The system's questions as real modal boxes, and the message pump over Qt's event loop.

#include "platform/code_page.h"
#include "platform/dialogs.h"

class QWidget;

namespace nolvo::ui {

class QtDialogs : public platform::Dialogs {
 public:
  explicit QtDialogs(const platform::CodePage& codePage) : codePage_(codePage) {}

  platform::DialogResult ShowMessageBox(const platform::MessageRequest& request) override;
  platform::InputResult ShowInputBox(const platform::InputRequest& request) override;

 private:
  const platform::CodePage& codePage_;
};

class QtMessagePump : public platform::MessagePump {
 public:
  void ProcessMessages() override;
};

}  // namespace nolvo::ui
