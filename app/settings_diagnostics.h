#pragma once
// Checks of loaded settings that a product builder wants before shipping media: the
// problems the setup itself would meet silently.

#include <optional>
#include <string>
#include <vector>

#include "app/setup_settings.h"

namespace nolvo::app {

// The installation directory the wizard proposes: `winDrive` (such as "C:\"), then
// "Program Files\" when "Add to Program Files" is 1, then "Install Dir".
std::string ProposedDestination(const SetupSettings& settings, const std::string& winDrive);

// Why the proposed installation directory is no place to install a product into: "Install
// Dir" is empty (the product would land in the drive root or the Program Files folder
// itself), or it comes out as a drive root, the Program Files folder or the Windows
// directory `windowsDir` itself. Nothing when it is a folder of its own.
std::optional<std::string> DestinationProblem(const SetupSettings& settings,
                                              const std::string& winDrive,
                                              const std::string& windowsDir);

// One line per problem: no "<INSTALLDIR>" binding; a token bound more than once; a
// [Files], [WorkStation], [Desktop] or
// [INI - Setup] entry without "~" or whose token no [Directories] entry binds; [INI -
// Setup] entries while "INI File" is empty; the destination problem above for a machine
// whose Windows directory is C:\WINDOWS.
std::vector<std::string> DiagnoseSettings(const SetupSettings& settings);

// A [Files] entry as install.cfg gives it: the loader's overwrite marker ("~X" or "~")
// removed.
std::string WithoutOverwriteMarker(const std::string& fileListEntry);

}  // namespace nolvo::app
