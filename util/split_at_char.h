#pragma once

#include <string>

namespace nolvo::util {

// Takes the field before the first `separator` of `text` into `head` and leaves what
// follows it in `text`. Without a separator `head` is the whole text and `text` stays
// as it is, so further calls repeat the last field.
void SplitAtChar(std::string& text, char separator, std::string& head);

}  // namespace nolvo::util
