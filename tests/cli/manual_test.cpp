// The manual page and the bash completion against what `nolvo --help` lists: every
// command, option, positional and set of values of every command must be in both.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

struct Entry {
  Names names;
  Names choices;
};

// One command as its `--help` shows it.
struct Help {
  std::map<std::string, Entry> options;  // by the entry's first name
  std::map<std::string, Entry> positionals;
  std::vector<std::string> subcommands;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// An entry's key: its long name, else its only one.
std::string Key(const Names& names) {
  for (const auto& n : names)
    if (n.rfind("--", 0) == 0) return n;
  return *names.begin();
}

Names Split(const std::string& text, char sep) {
  Names parts;
  std::istringstream in(text);
  for (std::string p; std::getline(in, p, sep);)
    if (!p.empty()) parts.insert(p);
  return parts;
}

// "  -o,--output DIR REQUIRED   text": the names, and the values of a "{a,b}" type.
Entry HelpEntry(const std::string& line) {
  const std::string head = line.substr(2, line.find("  ", 2) - 2);
  Entry e;
  std::istringstream tokens(head);
  std::string names, type;
  tokens >> names >> type;
  e.names = Split(names, ',');
  const auto open = type.find('{');
  if (open != std::string::npos)
    e.choices = Split(type.substr(open + 1, type.find('}') - open - 1), ',');
  return e;
}

Help ParseHelp(const std::vector<std::string>& path) {
  std::vector<std::string> argv = {NolvoTool()};
  argv.insert(argv.end(), path.begin(), path.end());
  argv.push_back("--help");
  const auto r = RunCommand(argv);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  Help help;
  std::string section;
  for (const auto& line : Lines(r.out)) {
    if (line.empty() || line[0] != ' ') {
      section = line;
      continue;
    }
    if (line.size() < 3 || line[2] == ' ') continue;  // a description's second line
    Entry e = HelpEntry(line);
    const std::string first = Key(e.names);
    if (section == "Options:") help.options[first] = e;
    if (section == "Positionals:") help.positionals[first] = e;
    if (section == "Subcommands:") help.subcommands.push_back(first);
  }
  return help;
}

// Every command below the program, by its path.
std::map<std::vector<std::string>, Help> AllHelp() {
  std::map<std::vector<std::string>, Help> all;
  std::vector<std::vector<std::string>> pending = {{}};
  while (!pending.empty()) {
    const auto path = pending.back();
    pending.pop_back();
    all[path] = ParseHelp(path);
    for (const auto& sub : all[path].subcommands) {
      auto subPath = path;
      subPath.push_back(sub);
      pending.push_back(subPath);
    }
  }
  return all;
}

std::string Unescape(std::string s) { return std::regex_replace(s, std::regex(R"(\\-)"), "-"); }

// One command's section of the manual page: the ".TP" items outside the footer's tables.
struct ManSection {
  std::map<std::string, Entry> options, positionals;
  std::vector<std::string> emptyItems;
};

std::map<std::string, ManSection> ParseMan(const std::string& page) {
  std::map<std::string, ManSection> sections;
  const auto lines = Lines(page);
  std::string current;
  bool inTable = false;
  const std::regex bold(R"(\\fB(.*?)\\fR)"), italic(R"(\\fI(.*?)\\fR)");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (l.rfind(".SH ", 0) == 0) current = l == ".SH OPTIONS" ? "nolvo" : "";
    if (l.rfind(".SS ", 0) == 0) current = Unescape(l.substr(5, l.size() - 6));
    if (l == ".RS") inTable = true;
    if (l == ".RE") inTable = false;
    if (l != ".TP" || current.empty() || inTable || i + 2 >= lines.size()) continue;
    const std::string tag = lines[i + 1];
    ManSection& s = sections[current];
    if (lines[i + 2].empty() || lines[i + 2][0] == '.') s.emptyItems.push_back(tag);
    Entry e;
    std::smatch m;
    if (tag.rfind("\\fI", 0) == 0 && std::regex_search(tag, m, italic)) {
      e.names.insert(Unescape(m[1]));
      s.positionals[*e.names.begin()] = e;
      continue;
    }
    for (auto it = std::sregex_iterator(tag.begin(), tag.end(), bold); it != std::sregex_iterator();
         ++it)
      e.names.insert(Unescape((*it)[1]));
    if (tag.find('|') != std::string::npos)
      for (auto it = std::sregex_iterator(tag.begin(), tag.end(), italic);
           it != std::sregex_iterator(); ++it)
        e.choices.insert((*it)[1]);
    s.options[Key(e.names)] = e;
  }
  return sections;
}

fs::path Generated(const std::string& name) { return BinaryDir() / "cli" / "docs" / name; }

std::string Join(const std::vector<std::string>& path) {
  std::string s = "nolvo";
  for (const auto& p : path) s += " " + p;
  return s;
}

TEST(Manual, EveryCommandOptionAndValueOfHelpIsInTheManualPage) {
  const auto man = ParseMan(ReadText(Generated("nolvo.1")));
  for (const auto& [path, help] : AllHelp()) {
    SCOPED_TRACE(Join(path));
    if (!help.subcommands.empty() && help.options.size() == 1) continue;  // only --help
    ASSERT_TRUE(man.count(Join(path)));
    const ManSection& section = man.at(Join(path));
    auto options = help.options;
    if (!path.empty()) options.erase("--help");  // stated once for every command
    ASSERT_EQ(section.options.size(), options.size());
    for (const auto& [name, entry] : options) {
      ASSERT_TRUE(section.options.count(name)) << name;
      EXPECT_EQ(section.options.at(name).names, entry.names);
      EXPECT_EQ(section.options.at(name).choices, entry.choices) << name;
    }
    ASSERT_EQ(section.positionals.size(), help.positionals.size());
    for (const auto& [name, entry] : help.positionals) EXPECT_TRUE(section.positionals.count(name));
    EXPECT_TRUE(section.emptyItems.empty())
        << "without a description: " << section.emptyItems.front();
  }
}

TEST(Manual, PagesAreCleanAndAgreeWithTheProgram) {
  const std::string page = ReadText(Generated("nolvo.1"));
  const std::string version = RunCommand({NolvoTool(), "--version"}).out;
  EXPECT_NE(page.find(".TH NOLVO 1 \"\" \"" + version.substr(0, version.size() - 1) + "\""),
            std::string::npos);
  for (const char* code : {"\n0\n", "\n1\n", "\n2\n", "\n3\n"})
    EXPECT_NE(page.find(code, page.find(".SH \"EXIT STATUS\"")), std::string::npos) << code;
  for (const char* var :
       {"NOLVO_PREFIX", "NOLVO_CODEPAGE", "NOLVO_LAUNCH_LOG", "NOLVO_RESTART_COMMAND"})
    EXPECT_NE(page.find("\\fB" + std::string(var) + "\\fR", page.find(".SH ENVIRONMENT")),
              std::string::npos)
        << var;
  // The setup page points to an option the tool has.
  const std::string setup = ReadText(Generated("nolvo-setup.1"));
  EXPECT_NE(setup.find("\\fBnolvo install \\-\\-unattended\\fR"), std::string::npos);
  EXPECT_TRUE(ParseHelp({"install"}).options.count("--unattended"));
  for (const auto& file : {Generated("nolvo.1"), Generated("nolvo-setup.1")}) {
    const auto r = RunCommand({"/usr/bin/groff", "-man", "-Tutf8", "-ww", "-z", file.string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "") << file;
  }
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// What bash offers for the last of `words` (as bash split them), run in `dir`.
Names Complete(const std::vector<std::string>& words, const fs::path& dir) {
  std::string array;
  for (const auto& w : words) array += " " + Quote(w);
  const std::string script = "cd " + Quote(dir.string()) + " && source " +
                             Quote(Generated("nolvo.bash-completion").string()) +
                             " && COMP_WORDS=(" + array +
                             ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                             " && _nolvo && printf '%s\\n' \"${COMPREPLY[@]}\"";
  const auto r = RunCommand({"/bin/bash", "--norc", "--noprofile", "-c", script});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Names offered;
  for (const auto& l : Lines(r.out))
    if (!l.empty()) offered.insert(l);
  return offered;
}

TEST(Completion, OffersWhatHelpListsForEveryCommand) {
  TempDir dir;
  for (const auto& [path, help] : AllHelp()) {
    SCOPED_TRACE(Join(path));
    std::vector<std::string> words = {"nolvo"};
    words.insert(words.end(), path.begin(), path.end());

    auto withWord = [&](std::vector<std::string> w, const std::string& last) {
      w.push_back(last);
      return w;
    };
    Names expected = path.empty() ? Names{} : Names{"-q", "--quiet"};
    for (const auto& [name, entry] : help.options)
      expected.insert(entry.names.begin(), entry.names.end());
    EXPECT_EQ(Complete(withWord(words, "-"), dir.Path()), expected);
    if (!help.subcommands.empty()) {
      EXPECT_EQ(Complete(withWord(words, ""), dir.Path()),
                Names(help.subcommands.begin(), help.subcommands.end()));
    }
    for (const auto& [name, entry] : help.options) {
      if (entry.choices.empty()) continue;
      EXPECT_EQ(Complete(withWord(withWord(words, name), ""), dir.Path()), entry.choices) << name;
      EXPECT_EQ(Complete(withWord(withWord(withWord(words, name), "="), ""), dir.Path()),
                entry.choices)
          << name << "=";
    }
  }
}

TEST(Completion, CommandsValuesAndPaths) {
  TempDir dir;
  fs::create_directories(dir.Path() / "media");
  fs::create_directories(dir.Path() / "product");
  WriteBytes(dir.Path() / "readme.txt", std::string("x"));
  WriteBytes(dir.Path() / "media.cfg", std::string("x"));
  const Names dirs = {"media", "product"}, all = {"media", "product", "readme.txt", "media.cfg"};
  const struct {
    std::vector<std::string> words;
    Names expected;
  } cases[] = {
      {{"nolvo", "ex"}, {"extract"}},
      {{"nolvo", "-q", "in"}, {"install"}},
      {{"nolvo", "install", "--prefix", ""}, dirs},
      {{"nolvo", "install", "--staging", "=", "pro"}, {"product"}},
      {{"nolvo", "install", ""}, dirs},
      {{"nolvo", "pack", "-o", "out", ""}, dirs},
      {{"nolvo", "extract", "-d", "m"}, {"media"}},
      {{"nolvo", "check", "me"}, {"media", "media.cfg"}},
      {{"nolvo", "install", "media", "--answers", ""}, all},
      {{"nolvo", "archive", "create", "--key", "7", "out", "readme.txt", "p"}, {"product"}},
      {{"nolvo", "test", "--key", ""}, {}},
      {{"nolvo", "install", "--no-desktop", ""}, {}},
      {{"nolvo", "-q", "install", "--type", "full", "--finish", "=", "re"}, {"return", "reboot"}},
      {{"nolvo", "check", "media", "--j"}, {"--json"}},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& w : c.words) shown += "[" + w + "]";
    EXPECT_EQ(Complete(c.words, dir.Path()), c.expected) << shown;
  }
}

}  // namespace
}  // namespace nolvo::test
