#pragma once
// The bash completion script of the tool: subcommands, each command's options, the values
// of options with a fixed set, and file or folder names where a path is expected.

#include <string>

#include "cli/docs/command_doc.h"

namespace nolvo::cli::docs {

// A script that defines `_<program>` and registers it with `complete -F` for the program.
std::string BashCompletion(const CommandDoc& root);

}  // namespace nolvo::cli::docs
