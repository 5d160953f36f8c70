#pragma once
// Segment file names and the normalisation rules of the reader's path properties.
// All paths are Windows paths ("\" separators) kept as text.

#include <cstdint>
#include <string>
#include <string_view>

namespace nolvo::segment {

struct TSegNames {
  std::string SegName;  // file name without directory, such as "disk.012"
  std::string SegPath;  // SegDir without one trailing backslash, "\", SegName
};

// SegBaseName + "." + extension, where the extension is `ext` when not empty and
// otherwise `number` in decimal padded with "0" to at least three digits.
TSegNames BuildSegmentNames(std::string_view baseName, std::string_view ext, std::uint32_t number,
                            std::string_view dir);

// The setters' rules. SegBaseName: empty gives "SegData", otherwise the file-name part
// (after the last "\" or ":") lower-cased, which is empty when the value ends in one of
// them. SegDir: empty gives "a:\", otherwise lower-cased. SegExt: at most its
// first three characters. SegSize: at least 16384. SegTmpDir: empty gives `currentDir`;
// one trailing backslash removed; lower-cased.
std::string NormaliseSegBaseName(std::string_view value);
std::string NormaliseSegDir(std::string_view value);
std::string NormaliseSegExt(std::string_view value);
std::int32_t NormaliseSegSize(std::int32_t value);
std::string NormaliseSegTmpDir(std::string_view value, std::string_view currentDir);

inline constexpr std::int32_t kDefaultSegSize = 1440000;
inline constexpr std::int32_t kMinSegSize = 16384;

// `path` without one trailing backslash.
std::string WithoutTrailingBackslash(std::string_view path);
// The directory part of a template: everything up to and including the last "\" or ":"
// (empty when it has neither).
std::string DirectoryPart(std::string_view path);

}  // namespace nolvo::segment
