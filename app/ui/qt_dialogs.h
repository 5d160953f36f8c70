#pragma once
// The system's questions as real modal boxes, and the message pump over Qt's event loop.

#include <string>

#include "platform/code_page.h"
#include "platform/dialogs.h"

class QWidget;

namespace nolvo::ui {

class QtDialogs : public platform::Dialogs {
 public:
  // `title`: the caption of boxes that name none, the application's title.
  explicit QtDialogs(const platform::CodePage& codePage, std::string title = "Nolvo - Setup")
      : codePage_(codePage), title_(std::move(title)) {}

  platform::DialogResult ShowMessageBox(const platform::MessageRequest& request) override;
  platform::InputResult ShowInputBox(const platform::InputRequest& request) override;

 private:
  const platform::CodePage& codePage_;
  std::string title_;
};

class QtMessagePump : public platform::MessagePump {
 public:
  void ProcessMessages() override;
};

}  // namespace nolvo::ui
