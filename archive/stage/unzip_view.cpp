#include "archive/stage/unzip_view.h"

#include "platform/profile_text.h"

namespace nolvo::stage {

int PictureFrameLeft(int gradientWidth, int panelWidth, bool alignCenter, bool alignLeft) {
  if (alignCenter) return gradientWidth / 2 - panelWidth / 2;
  if (alignLeft) return 20;
  return gradientWidth - (panelWidth + 20);
}

bool StillPictureLoadable(const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string ext = name.substr(dot + 1);
  for (const char* ok : {"bmp", "ico", "wmf", "emf"})
    if (platform::EqualsIgnoreCase(ext, ok)) return true;
  return false;
}

}  // namespace nolvo::stage
