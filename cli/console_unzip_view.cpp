#include "cli/console_unzip_view.h"

namespace nolvo::cli {

void ConsoleUnzipView::SetStatus(const std::string& text) {
  status_ = text;
  if (Log) Log("extract: " + text);
  progress_.Update(status_, position_, max_);
}

void ConsoleUnzipView::SetCountPosition(int position) {
  position_ = position;
  progress_.Update(status_, position_, max_);
}

void ConsoleUnzipView::ShowPicture(const stage::SetupPicture& picture) {
  if (Log) Log("picture: " + picture.windowsPath + (picture.animated ? " (animated)" : ""));
}

}  // namespace nolvo::cli
