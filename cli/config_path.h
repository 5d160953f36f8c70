#pragma once
// Finding the install.cfg a command names: the file itself, or the one in a media folder
// (its name matched without case, as the setup would find it).

#include <filesystem>
#include <optional>
#include <string>

namespace nolvo::cli {

std::optional<std::filesystem::path> FindConfigFile(const std::string& path);

}  // namespace nolvo::cli
