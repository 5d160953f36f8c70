#include "archive/segment/seg_names.h"

#include "platform/ascii.h"

namespace nolvo::segment {

std::string WithoutTrailingBackslash(std::string_view path) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

std::string DirectoryPart(std::string_view path) {
  const auto cut = path.find_last_of("\\:");
  if (cut == std::string_view::npos) return {};
  return std::string(path.substr(0, cut + 1));
}

TSegNames BuildSegmentNames(std::string_view baseName, std::string_view ext, std::uint32_t number,
                            std::string_view dir) {
  std::string extension(ext);
  if (extension.empty()) {
    extension = std::to_string(number);
    if (extension.size() < 3) extension.insert(0, 3 - extension.size(), '0');
  }
  TSegNames names;
  names.SegName = std::string(baseName) + "." + extension;
  names.SegPath = WithoutTrailingBackslash(dir) + "\\" + names.SegName;
  return names;
}

std::string NormaliseSegBaseName(std::string_view value) {
  if (value.empty()) return "SegData";
  const auto cut = value.find_last_of("\\:");
  if (cut != std::string_view::npos) value.remove_prefix(cut + 1);
  return platform::AsciiLower(value);
}

std::string NormaliseSegDir(std::string_view value) {
  if (value.empty()) return "a:\\";
  return platform::AsciiLower(value);
}

std::string NormaliseSegExt(std::string_view value) { return std::string(value.substr(0, 3)); }

std::int32_t NormaliseSegSize(std::int32_t value) {
  return value < kMinSegSize ? kMinSegSize : value;
}

std::string NormaliseSegTmpDir(std::string_view value, std::string_view currentDir) {
  if (value.empty()) value = currentDir;
  return platform::AsciiLower(WithoutTrailingBackslash(value));
}

}  // namespace nolvo::segment
