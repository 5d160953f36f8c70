#pragma once
// An extraction view for tests: records every status text, progress value and picture.

#include <string>
#include <vector>

#include "archive/stage/unzip_view.h"

namespace nolvo::test {

class RecordingUnzipView : public stage::UnzipView {
 public:
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void SetFileProgress(int percent) override { fileProgress.push_back(percent); }
  void SetCountRange(int max) override { countRanges.push_back(max); }
  void SetCountPosition(int position) override { countPositions.push_back(position); }
  void ShowPicture(const stage::SetupPicture& picture) override { pictures.push_back(picture); }
  void Close() override { ++closed; }

  std::vector<std::string> statuses;
  std::vector<int> fileProgress, countRanges, countPositions;
  std::vector<stage::SetupPicture> pictures;
  int closed = 0;
};

}  // namespace nolvo::test
