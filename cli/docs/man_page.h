#pragma once
// The manual pages nolvo(1) and nolvo-setup(1) as man(7) source: the commands and options
// from the command line's description, the rest from cli/manual_text.h.

#include <string>
#include <vector>

#include "cli/docs/command_doc.h"

namespace nolvo::cli::docs {

// nolvo(1) for the tool described by `root`; `version` is what `--version` prints.
std::string ToolManPage(const CommandDoc& root, const std::string& version);

// nolvo-setup(1).
std::string SetupManPage(const std::string& version);

// The rows of a "  term   text" table as `--help` footers lay them out: a row starts with
// two spaces and has its text after a gap of two or more spaces; a deeper-indented line
// continues the text before it. Other lines are left out.
struct TableRow {
  std::string term;
  std::string text;
};
std::vector<TableRow> ParseTable(const std::string& text);

// Plain text as man(7) source: backslashes and control characters at a line start
// escaped, the dashes of options as minus signs, `word` in bold.
std::string Roff(const std::string& text);

}  // namespace nolvo::cli::docs
