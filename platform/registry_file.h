#pragma once
// The registry store's file: REGEDIT4 text, the format regedit imports and exports.
//
// Written (DumpRegText) as a full dump: the header "REGEDIT4", then for every key (roots
// only when they hold values) a blank line, its "[full\path]" line and its values, keys
// in tree order (a parent before its children, siblings and values sorted by folded
// name), the default value "@" first. Every line ends in CR LF; text is kept as the
// ANSI bytes it was given. Strings are "quoted" with \\ and \" escapes (names too);
// a 4-byte DWORD is dword:xxxxxxxx; binary data is hex:..; any other type, and a string
// that has no final NUL or holds NUL, CR or LF, is hex(N):.. (lines longer than 80
// characters continue after "\" on a line indented by two blanks).
//
// Read (ApplyRegText) accepts that and what hand-written files add: either header
// ("REGEDIT4" or "Windows Registry Editor Version 5.00"), LF or CR line ends, comment
// lines (";"), blank lines, key deletion "[-key]" (with its subtree), value deletion
// "name"=-, dword with 1 to 8 digits, hex digits of either case, continuation lines.
// A key line under differently cased existing parents keeps the existing spelling.

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/platform_error.h"
#include "platform/registry_tree.h"

namespace nolvo::platform {

// Raised when a store file cannot be read or is not a registry text; the message names
// the file and the line.
class ERegistryFileError : public EPlatformError {
 public:
  using EPlatformError::EPlatformError;
};

// Applies the keys, values and deletions of `text` to `tree`. `source` names the text in
// error messages. Throws ERegistryFileError on malformed text (the tree may then hold the
// lines before the faulty one). An empty text (or only blanks) is a valid empty file.
void ApplyRegText(RegTree& tree, std::string_view text, std::string_view source);

// The full dump of `tree` as described above.
std::string DumpRegText(const RegTree& tree);

}  // namespace nolvo::platform
