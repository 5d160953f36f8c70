#include "cli/docs/command_doc.h"

namespace nolvo::cli::docs {

namespace {

// CLI11 names an option's value as its type name followed by each check's description,
// joined by ':' ("TEXT:{full,minimum}", "INT:INT in [1 - 9]", "TEXT:FILE"). A set check
// is the list in braces.
std::vector<std::string> SplitTypeName(const std::string& full) {
  std::vector<std::string> parts(1);
  int depth = 0;
  for (char c : full) {
    if (c == '{' || c == '[') ++depth;
    if (c == '}' || c == ']') --depth;
    if (c == ':' && depth == 0)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

std::vector<std::string> SetMembers(const std::string& set) {
  std::vector<std::string> members;
  std::string item;
  for (std::size_t i = 1; i + 1 < set.size(); ++i) {
    if (set[i] == ',') {
      members.push_back(item);
      item.clear();
    } else {
      item += set[i];
    }
  }
  if (set.size() > 2) members.push_back(item);
  return members;
}

ValueKind KindOf(const OptionDoc& o) {
  if (o.valueName.empty()) return ValueKind::kNone;
  if (!o.choices.empty()) return ValueKind::kChoice;
  auto names = [&](const char* what) {
    if (o.valueName == what) return true;
    for (const auto& c : o.checks)
      if (c.rfind(what, 0) == 0) return true;
    return false;
  };
  if (names("DIR")) return ValueKind::kDirectory;
  if (names("FILE") || names("PATH") || o.valueName == "TEXT") return ValueKind::kFile;
  return ValueKind::kOther;
}

OptionDoc DescribeOption(const CLI::Option& opt) {
  OptionDoc o;
  o.positional = opt.get_positional() && !opt.nonpositional();
  if (o.positional) {
    o.names.push_back(opt.get_name(true, false));
  } else {
    for (const auto& s : opt.get_snames()) o.names.push_back("-" + s);
    for (const auto& l : opt.get_lnames()) o.names.push_back("--" + l);
  }
  o.description = opt.get_description();
  o.required = opt.get_required();
  if (opt.get_type_size_max() != 0) {
    const auto parts = SplitTypeName(opt.get_type_name());
    o.valueName = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
      if (parts[i].size() >= 2 && parts[i].front() == '{' && parts[i].back() == '}')
        o.choices = SetMembers(parts[i]);
      else
        o.checks.push_back(parts[i]);
    }
    o.defaultValue = opt.get_default_str();
    o.repeatable = opt.get_items_expected_max() > 1;
  }
  o.kind = KindOf(o);
  return o;
}

CommandDoc Describe(CLI::App& app, std::vector<std::string> path,
                    const std::vector<OptionDoc>& parentOptions) {
  CommandDoc doc;
  doc.path = path;
  doc.name = app.get_name();
  doc.description = app.get_description();
  doc.footer = app.get_footer();
  if (app.get_fallthrough()) doc.inherited = parentOptions;
  const CLI::Option* help = app.get_help_ptr();
  const CLI::Option* version = app.get_version_ptr();
  for (const CLI::Option* opt : app.get_options()) {
    if (opt->get_group().empty()) continue;  // hidden
    OptionDoc o = DescribeOption(*opt);
    o.builtIn = opt == help || opt == version;
    (o.positional ? doc.positionals : doc.options).push_back(std::move(o));
  }
  // What a subcommand of this one takes from above: these options, and what this one
  // takes from above in turn.
  std::vector<OptionDoc> passDown;
  for (const auto* list : {&doc.options, &doc.inherited})
    for (const auto& o : *list)
      if (!o.builtIn) passDown.push_back(o);
  for (CLI::App* sub : app.get_subcommands([](CLI::App* s) { return !s->get_group().empty(); })) {
    std::vector<std::string> subPath = path;
    subPath.push_back(sub->get_name());
    doc.subcommands.push_back(Describe(*sub, subPath, passDown));
  }
  return doc;
}

void Collect(const CommandDoc& doc, std::vector<const CommandDoc*>& out) {
  out.push_back(&doc);
  for (const auto& sub : doc.subcommands) Collect(sub, out);
}

}  // namespace

CommandDoc DescribeApp(CLI::App& app) { return Describe(app, {}, {}); }

std::vector<const CommandDoc*> Flatten(const CommandDoc& root) {
  std::vector<const CommandDoc*> all;
  Collect(root, all);
  return all;
}

std::string CommandLine(const CommandDoc& command, const std::string& program) {
  std::string line = program;
  for (const auto& p : command.path) line += " " + p;
  return line;
}

}  // namespace nolvo::cli::docs
