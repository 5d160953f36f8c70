#pragma once
// The extraction window on a terminal: the status line and the file-count bar as one
// progress line on standard error; the picture is only named in the log.

#include <functional>

#include "archive/stage/unzip_view.h"
#include "cli/console_progress.h"
#include "platform/code_page.h"

namespace nolvo::cli {

class ConsoleUnzipView : public stage::UnzipView {
 public:
  explicit ConsoleUnzipView(ConsoleProgress& progress) : progress_(progress) {}

  void SetStatus(const std::string& text) override;
  void SetFileProgress(int) override {}
  void SetCountRange(int max) override { max_ = max; }
  void SetCountPosition(int position) override;
  void ShowPicture(const stage::SetupPicture& picture) override;
  void Close() override { progress_.Clear(); }

  // Receives one line per event for the log (may be empty).
  std::function<void(const std::string&)> Log;

 private:
  ConsoleProgress& progress_;
  const platform::CodePage cp_ = platform::CodePage::FromEnvironment();
  std::string status_;
  int max_ = 100;
  int position_ = 0;
};

}  // namespace nolvo::cli
