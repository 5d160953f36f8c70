#include "setup/desktop_file.h"

namespace nolvo::setup {

namespace {

std::string EscapeString(std::string_view value) {
  std::string out;
  for (const char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

}  // namespace

std::string QuoteExecArgument(std::string_view argument) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string doubled;
  for (const char c : argument) {
    doubled += c;
    if (c == '%') doubled += '%';
  }
  if (!argument.empty() && argument.find_first_of(kReserved) == std::string_view::npos)
    return doubled;
  std::string out = "\"";
  for (const char c : doubled) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string FormatDesktopFile(const DesktopFile& file) {
  std::string exec;
  for (const auto& arg : file.exec) exec += (exec.empty() ? "" : " ") + QuoteExecArgument(arg);
  std::string out = "[Desktop Entry]\nType=Application\nName=" + EscapeString(file.name) +
                    "\nExec=" + EscapeString(exec) + "\n";
  if (!file.icon.empty()) out += "Icon=" + EscapeString(file.icon) + "\n";
  return out + "StartupNotify=true\n";
}

std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key) {
  bool inGroup = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inGroup || line.empty() || line.front() == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view name = line.substr(0, eq);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (name != key) continue;
    std::string_view value = line.substr(eq + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    return Unescape(value);
  }
  return std::nullopt;
}

}  // namespace nolvo::setup
