#include "util/split_at_char.h"

namespace nolvo::util {

void SplitAtChar(std::string& text, char separator, std::string& head) {
  const std::size_t p = text.find(separator);
  if (p == std::string::npos) {
    head = text;
    return;
  }
  head = text.substr(0, p);
  text.erase(0, p + 1);
}

}  // namespace nolvo::util
