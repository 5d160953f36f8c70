#include "cli/docs/man_page.h"

#include <cctype>
#include <sstream>

#include "cli/command.h"
#include "cli/manual_text.h"
#include "platform/ascii.h"

namespace nolvo::cli::docs {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Paragraphs of `text`, split at blank lines.
std::vector<std::vector<std::string>> Paragraphs(const std::string& text) {
  std::vector<std::vector<std::string>> paragraphs(1);
  for (const auto& line : Lines(text)) {
    if (Trim(line).empty()) {
      if (!paragraphs.back().empty()) paragraphs.emplace_back();
    } else {
      paragraphs.back().push_back(line);
    }
  }
  if (paragraphs.back().empty()) paragraphs.pop_back();
  return paragraphs;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += (text.empty() ? "" : " ") + Trim(l);
  return text;
}

// A sentence ends with a full stop in the manual, as it need not in `--help`.
std::string Sentence(std::string text) {
  if (!text.empty() && std::string(".!?:").find(text.back()) == std::string::npos) text += '.';
  return text;
}

// A name typed as it is (an option, a command): every dash a minus sign.
std::string Literal(const std::string& name) {
  std::string out;
  for (char c : name) out += c == '-' ? "\\-" : c == '\\' ? "\\e" : std::string(1, c);
  return out;
}

std::string Bold(const std::string& text) { return "\\fB" + Literal(text) + "\\fR"; }
std::string Italic(const std::string& text) { return "\\fI" + Literal(text) + "\\fR"; }

// A macro argument in double quotes.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\\(dq") : Literal(std::string(1, c));
  return out + "\"";
}

void AddParagraphs(std::string& out, const std::string& text) {
  for (const auto& p : Paragraphs(text)) out += ".PP\n" + Roff(Joined(p)) + "\n";
}

void AddEntries(std::string& out, const manual::Entry* begin, const manual::Entry* end,
                bool boldTerms) {
  for (auto e = begin; e != end; ++e)
    out += ".TP\n" + (boldTerms ? Bold(e->term) : Roff(e->term)) + "\n" + Roff(e->text) + "\n";
}

template <std::size_t N>
void AddEntries(std::string& out, const manual::Entry (&entries)[N], bool boldTerms) {
  AddEntries(out, entries, entries + N, boldTerms);
}

// The value an option takes, as its tag shows it: "full|minimum", "DIR", "INT ...".
std::string ValueText(const OptionDoc& o) {
  std::string v;
  if (!o.choices.empty()) {
    for (const auto& c : o.choices) v += (v.empty() ? "" : "|") + Italic(c);
  } else {
    v = Italic(o.valueName);
  }
  return o.repeatable ? v + " ..." : v;
}

std::string Tag(const OptionDoc& o) {
  if (o.positional) return Italic(o.names.front()) + (o.repeatable ? " ..." : "");
  std::string tag;
  for (const auto& n : o.names) tag += (tag.empty() ? "" : ", ") + Bold(n);
  if (o.kind != ValueKind::kNone) tag += " " + ValueText(o);
  return tag;
}

// What CLI11's own checks mean, in words.
std::string CheckText(const std::string& check) {
  if (check == "FILE") return "an existing file";
  if (check == "DIR") return "an existing folder";
  if (check == "PATH(existing)") return "an existing file or folder";
  if (check == "PATH(non-existing)") return "a name that does not exist yet";
  return check;
}

std::string Body(const OptionDoc& o) {
  std::string text = Sentence(o.description);
  for (const auto& c : o.checks) text += " Value: " + CheckText(c) + ".";
  if (o.required && !o.positional) text += " Required.";
  text = Roff(text);
  if (!o.defaultValue.empty()) text += " Default: " + Bold(o.defaultValue);
  return text;
}

void AddOption(std::string& out, const OptionDoc& o) {
  out += ".TP\n" + Tag(o) + "\n" + Body(o) + "\n";
}

// How the command is typed: "nolvo pack [OPTIONS] -o DIR SOURCE_DIR".
std::string Usage(const CommandDoc& c, const std::string& program) {
  std::string line = Bold(CommandLine(c, program));
  bool optional = false;
  std::string required;
  for (const auto& o : c.options) {
    if (o.builtIn) continue;
    if (o.required)
      required += " " + Bold(o.names.back()) + " " + ValueText(o);
    else
      optional = true;
  }
  if (optional) line += " [\\fIOPTIONS\\fR]";
  line += required;
  for (const auto& p : c.positionals) {
    const std::string name = Italic(p.names.front()) + (p.repeatable ? " ..." : "");
    line += p.required ? " " + name : " [" + name + "]";
  }
  if (!c.subcommands.empty()) line += " \\fICOMMAND\\fR ...";
  return line;
}

// The footer of a command's `--help`, without the exit codes every command shares:
// prose paragraphs, and "  term  text" tables as tagged paragraphs.
void AddFooter(std::string& out, std::string footer) {
  const std::string shared = kExitCodeHelp;
  if (footer.size() >= shared.size() &&
      footer.compare(footer.size() - shared.size(), shared.size(), shared) == 0)
    footer.resize(footer.size() - shared.size());
  for (const auto& p : Paragraphs(footer)) {
    std::string block;
    for (const auto& l : p) block += l + "\n";
    const auto rows = ParseTable(block);
    std::vector<std::string> heading;
    for (const auto& l : p)
      if (l.rfind(" ", 0) != 0) heading.push_back(l);
    if (!heading.empty()) out += ".PP\n" + Roff(Joined(heading)) + "\n";
    if (rows.empty()) continue;
    out += ".RS\n";
    for (const auto& r : rows) out += ".TP\n" + Roff(r.term) + "\n" + Roff(Sentence(r.text)) + "\n";
    out += ".RE\n";
  }
}

void AddCommand(std::string& out, const CommandDoc& c, const std::string& program) {
  out += ".SS " + Quoted(CommandLine(c, program)) + "\n";
  out += Usage(c, program) + "\n";
  out += ".PP\n" + Roff(Sentence(c.description)) + "\n";
  for (const auto& p : c.positionals) AddOption(out, p);
  for (const auto& o : c.options)
    if (!o.builtIn) AddOption(out, o);
  if (!c.subcommands.empty()) {
    std::string names;
    for (const auto& s : c.subcommands) names += (names.empty() ? "" : ", ") + Bold(s.name);
    out += ".PP\nCommands: " + names + ".\n";
  }
  AddFooter(out, c.footer);
}

std::string Header(const std::string& name, const std::string& version) {
  const std::string upper = platform::AsciiUpper(name);
  return ".\\\" Made by nolvo-docgen from the program's command line; do not edit.\n"
         ".TH " +
         Literal(upper) + " 1 \"\" " + Quoted(version) + " \"User Commands\"\n";
}

}  // namespace

std::vector<TableRow> ParseTable(const std::string& text) {
  std::vector<TableRow> rows;
  for (const auto& line : Lines(text)) {
    const bool row = line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ';
    if (row) {
      const auto gap = line.find("  ", 2);
      if (gap == std::string::npos) continue;
      rows.push_back({line.substr(2, gap - 2), Trim(line.substr(gap))});
    } else if (line.rfind("   ", 0) == 0 && !rows.empty() && !Trim(line).empty()) {
      rows.back().text += " " + Trim(line);
    }
  }
  return rows;
}

std::string Roff(const std::string& text) {
  std::string out;
  bool bold = false;
  bool option = false;  // inside a word that starts with a dash: --no-desktop
  char prev = ' ';
  for (char c : text) {
    if (c == '`') {
      out += bold ? "\\fR" : "\\fB";
      bold = !bold;
    } else if (c == '-') {
      if (std::string(" ([/|\"`\n").find(prev) != std::string::npos) option = true;
      out += bold || option ? "\\-" : "-";
    } else {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') option = false;
      if (c == '\\')
        out += "\\e";
      else if ((c == '.' || c == '\'') && (out.empty() || out.back() == '\n'))
        out += std::string("\\&") + c;
      else
        out += c;
    }
    prev = c;
  }
  if (bold) out += "\\fR";
  return out;
}

std::string ToolManPage(const CommandDoc& root, const std::string& version) {
  const std::string program = root.name;
  std::string out = Header(program, version);
  std::string summary = root.description;
  if (summary.rfind(program + ": ", 0) == 0) summary.erase(0, program.size() + 2);
  out += ".SH NAME\n" + Literal(program) + " \\- " + Roff(summary) + "\n";

  out += ".SH SYNOPSIS\n.nf\n";
  for (const CommandDoc* c : Flatten(root))
    if (!c->path.empty() && c->subcommands.empty()) out += Usage(*c, program) + "\n";
  out += Bold(program) + " " + Bold("--help") + " | " + Bold("--version") + "\n.fi\n";

  out += ".SH DESCRIPTION\n";
  AddParagraphs(out, manual::kToolDescription);
  out += ".SH OPTIONS\n";
  for (const auto& o : root.options) AddOption(out, o);
  out += ".SH COMMANDS\n";
  for (const CommandDoc* c : Flatten(root))
    if (!c->path.empty()) AddCommand(out, *c, program);

  out += ".SH \"EXIT STATUS\"\n";
  for (const auto& r : ParseTable(kExitCodeHelp))
    out += ".TP\n" + Roff(r.term) + "\n" + Roff(Sentence(r.text)) + "\n";
  out += ".SH ENVIRONMENT\n";
  AddEntries(out, manual::kEnvironment, true);
  out += ".SH FILES\n";
  AddEntries(out, manual::kFiles, false);
  out += ".SH EXAMPLES\n";
  AddEntries(out, manual::kExamples, true);
  out += ".SH \"SEE ALSO\"\n" + Bold("nolvo-setup") + "(1), " + Bold("wine") + "(1)\n";
  return out;
}

std::string SetupManPage(const std::string& version) {
  std::string out = Header("nolvo-setup", version);
  out += ".SH NAME\n" + Literal("nolvo-setup") + " \\- " + Roff(manual::kSetupSummary) + "\n";
  out += ".SH SYNOPSIS\n" + Bold("nolvo-setup") + " [" + Italic(manual::kSetupArgument) + "]\n";
  out += ".SH DESCRIPTION\n";
  AddParagraphs(out, manual::kSetupDescription);
  out += ".SH ARGUMENTS\n";
  for (const auto& e : manual::kSetupArguments)
    out += ".TP\n" + Italic(e.term) + "\n" + Roff(e.text) + "\n";
  out += ".SH \"EXIT STATUS\"\n";
  AddEntries(out, manual::kSetupExitStatus, false);
  out += ".SH ENVIRONMENT\n";
  AddEntries(out, manual::kSetupEnvironment, true);
  out += ".SH \"SEE ALSO\"\n" + Bold("nolvo") + "(1)\n";
  return out;
}

}  // namespace nolvo::cli::docs
