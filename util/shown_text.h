#pragma once
// Text from media (stored names, templates, list-file names) made safe to show on a
// terminal, in JSON and in a window: control characters become \xNN.

#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace nolvo::util {

// `utf8` with every control character written as \xNN (two lower-case hexadecimal digits
// of its code point): U+0000..U+001F, U+007F and U+0080..U+009F. Bytes that are not
// UTF-8 are written as \xNN of the byte too.
std::string EscapeControls(std::string_view utf8);

// An ANSI name from media in UTF-8 with its control characters escaped.
std::string ShownName(std::string_view ansi, const platform::CodePage& cp);

}  // namespace nolvo::util
