#pragma once
// Wine's registry files (system.reg, user.reg): "WINE REGISTRY Version 2" text, read and
// written the way Wine's server reads and writes them.
//
// Layout: the header line, comment lines (";"), global options such as "#arch=win64",
// then one block per key: a blank line, "[Path\\Below\\Root] <unix seconds>", the key's
// options ("#time=<FILETIME hex>", "#class=\"...\"", "#link"), then its values, one a line:
// "name"=... or @=... with the data "text" (REG_SZ), str(2):"text" (REG_EXPAND_SZ),
// str(7):"a\0b\0" (REG_MULTI_SZ), dword:0000002a, hex:01,02 or hex(N):.. (lines longer
// than 76 columns continue after "\" on a line indented by two blanks). Names and texts
// are UTF-16 written with C-style escapes: \\, \" (and \[ \] in key paths), \n-style
// escapes, \NNN octal for other control characters, \xHHHH for everything above 127.
//
// The reader keeps every block's exact text, so that a file can be written back with only
// the changed keys formatted anew.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nolvo::platform {

// One value of a key, as Wine keeps it: string data (types 1, 2, 7 written as text) is
// UTF-16LE with its final NUL.
struct WineHiveValue {
  std::u16string name;  // empty for the default value "@"
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  std::string text;  // the value's line(s) as the file holds them, each ending in LF

  friend bool operator==(const WineHiveValue& a, const WineHiveValue& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
  }
};

// One key block.
struct WineHiveKey {
  std::vector<std::u16string> path;   // components below the hive's root; empty: the root
  std::vector<std::string> options;   // option lines other than #time=, without LF
  std::vector<WineHiveValue> values;  // in file order
  std::string text;  // the block exactly as the file holds it: its blank line(s) first
};

struct WineHive {
  std::string preamble;  // everything before the first key block
  std::vector<WineHiveKey> keys;
};

// Reads a hive file's text. `source` names it in error messages. Throws
// ERegistryFileError (naming the source and the line) for a text that is not a Wine
// registry file, a malformed key line or value, or a value before the first key.
// Unknown option lines ("#...") are kept as options, as Wine ignores them.
WineHive ParseWineHive(std::string_view text, std::string_view source);

// The text of a new or changed key block: "\n[path] <seconds>\n#time=<hex>\n", the
// option lines, then `valueText` (each entry one formatted value). `filetime` is the
// key's modification time in 100 ns units since 1601.
std::string FormatWineHiveKey(std::span<const std::u16string> path,
                              std::span<const std::string> options,
                              std::span<const std::string> valueText, std::uint64_t filetime);
// One value's line(s) as Wine writes them, ending in LF.
std::string FormatWineHiveValue(const WineHiveValue& value);

// The header of a new hive file whose keys are relative to `root` (for instance
// "REGISTRY\\User\\S-1-5-21-0-0-0-1000"), with `archLine` ("#arch=win64", or empty).
std::string NewWineHivePreamble(std::string_view root, std::string_view archLine);

// Wine's order of key and value names: UTF-16 units compared case-insensitively (folded
// to lower case), a shorter name before a longer one it begins.
int CompareWineNames(std::u16string_view a, std::u16string_view b);
// Wine's order of key blocks in a file: a parent before its subkeys, siblings by name.
bool WinePathLess(std::span<const std::u16string> a, std::span<const std::u16string> b);

}  // namespace nolvo::platform
