#include "cli/console_unzip_view.h"

#include "util/shown_text.h"

namespace nolvo::cli {

void ConsoleUnzipView::SetStatus(const std::string& text) {
  // A file name from the medium: in UTF-8, its control characters as \xNN.
  status_ = util::ShownName(text, cp_);
  if (Log) Log("extract: " + status_);
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
