#pragma once
// What a CLI11 application offers, as plain data: its subcommands, options, positionals,
// the values they take and their texts. The manual page and the shell completion are
// rendered from this, so they show exactly what the parser accepts and `--help` prints.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace nolvo::cli::docs {

// What an option's or positional's value is, for completing it.
enum class ValueKind {
  kNone,       // a flag: no value
  kChoice,     // one of `choices`
  kDirectory,  // a folder name (type name DIR)
  kFile,       // a file or folder name (TEXT, FILE, PATH)
  kOther,      // a number or a free-form name: nothing to complete
};

struct OptionDoc {
  std::vector<std::string> names;  // "-d", "--dir"; a positional has its one name ("PATH")
  bool positional = false;
  std::string valueName;             // "DIR", "TEXT", "INT"; empty for a flag
  std::vector<std::string> choices;  // the accepted values, when the parser checks a set
  std::vector<std::string> checks;   // other checks, as `--help` names them ("FILE")
  ValueKind kind = ValueKind::kNone;
  std::string description;
  std::string defaultValue;
  bool required = false;
  bool repeatable = false;  // takes several values
  bool builtIn = false;     // CLI11's own -h/--help and --version
};

struct CommandDoc {
  std::vector<std::string> path;  // {"archive", "create"}; empty for the program itself
  std::string name;               // the program's name, or the subcommand's
  std::string description;
  std::string footer;  // the text after the options in `--help`
  std::vector<OptionDoc> positionals;
  std::vector<OptionDoc> options;    // with -h/--help (and --version on the program)
  std::vector<OptionDoc> inherited;  // the parents' options it also takes (-q)
  std::vector<CommandDoc> subcommands;
};

// The whole tree below `app`.
CommandDoc DescribeApp(CLI::App& app);

// Every command of the tree, parents before their subcommands.
std::vector<const CommandDoc*> Flatten(const CommandDoc& root);

// "nolvo archive create"; `program` for the root.
std::string CommandLine(const CommandDoc& command, const std::string& program);

}  // namespace nolvo::cli::docs
