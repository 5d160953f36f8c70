#pragma once
// Checks of loaded settings that a product builder wants before shipping media: the
// problems the setup itself would meet silently.

#include <string>
#include <vector>

#include "app/setup_settings.h"

namespace nolvo::app {

// One line per problem: no "<INSTALLDIR>" binding; a [Files], [WorkStation], [Desktop] or
// [INI - Setup] entry whose token no [Directories] entry binds; [INI - Setup] entries
// while "INI File" is empty.
std::vector<std::string> DiagnoseSettings(const SetupSettings& settings);

}  // namespace nolvo::app
