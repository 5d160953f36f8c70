#include "cli/config_path.h"

#include "platform/profile_text.h"

namespace nolvo::cli {

std::optional<std::filesystem::path> FindConfigFile(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p(path);
  if (std::filesystem::is_regular_file(p, ec)) return p;
  if (!std::filesystem::is_directory(p, ec)) return std::nullopt;
  if (std::filesystem::is_regular_file(p / "install.cfg", ec)) return p / "install.cfg";
  for (const auto& entry : std::filesystem::directory_iterator(p, ec))
    if (platform::EqualsIgnoreCase(entry.path().filename().string(), "install.cfg") &&
        entry.is_regular_file(ec))
      return entry.path();
  return std::nullopt;
}

}  // namespace nolvo::cli
