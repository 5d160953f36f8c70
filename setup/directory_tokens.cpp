#include "setup/directory_tokens.h"

#include "platform/win_path.h"
#include "util/split_at_char.h"

namespace nolvo::setup {

namespace {
bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
}  // namespace

std::string ExpandDirectoryToken(const std::string& token, const std::string& path,
                                 const TokenContext& c) {
  const std::string t = platform::AsciiUpper(token);
  if (t == "<WINDOWS>") return c.windows;
  if (t == "<WINDOWS_SYSTEM>") return c.windows + "\\System";
  if (t == "<PROGRAMFILES>") return c.driveRoot + "Program Files";
  if (t == "<INSTALLDIR>") return c.destination;
  if (Has(t, "<SUB")) {
    if (!Has(t, "><")) return c.installDir + "\\" + path;
    if (Has(t, "<WINDOWS>")) return c.windows + "\\" + path;
    if (Has(t, "<PROGRAMFILES>")) return c.driveRoot + "Program Files\\" + path;
    if (Has(t, "<WINDOWS_SYSTEM>")) return c.windows + "\\System\\" + path;
    if (Has(t, "<INSTALLDIR>")) return c.installDir + "\\" + path;
    return path;
  }
  return c.driveRoot + path;
}

DirectoryEntry SplitDirectoryEntry(std::string entry) {
  DirectoryEntry e;
  util::SplitAtChar(entry, '~', e.token);
  util::SplitAtChar(entry, '~', e.path);
  return e;
}

bool RewriteLaunchProgram(std::string& program, const std::string& upperToken,
                          const std::string& targetDir) {
  if (upperToken.empty() || !Has(platform::AsciiUpper(program), upperToken.c_str())) return false;
  const std::string rest =
      upperToken.size() < program.size() ? program.substr(upperToken.size()) : "";
  program = targetDir + "\\" + rest;
  return true;
}

std::string FileNamePart(const std::string& path) {
  const auto cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string DirectoryPart(const std::string& path) {
  const auto cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace nolvo::setup
