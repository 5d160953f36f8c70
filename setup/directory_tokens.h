#pragma once
// Directory tokens of the setup configuration ("<WINDOWS>", "<INSTALLDIR>", "<SUB1>",
// "<ALT1>", compounds such as "<SUB1><WINDOWS>") and the directories they expand to.

#include <string>

namespace nolvo::setup {

// The directories a token expands against.
struct TokenContext {
  std::string windows;      // W: the Windows directory, no trailing "\"
  std::string driveRoot;    // R: the system drive root, such as "C:\"
  std::string installDir;   // I: the installation directory
  std::string destination;  // the destination the wizard shows (for "<INSTALLDIR>")
};

// The target directory of a [Directories] entry TOKEN~PATH; `token` in any case.
std::string ExpandDirectoryToken(const std::string& token, const std::string& path,
                                 const TokenContext& context);

// A [Directories] entry split into its token and path (missing path: the token again).
struct DirectoryEntry {
  std::string token;
  std::string path;
};
DirectoryEntry SplitDirectoryEntry(std::string entry);

// Rewrites `program` when it contains `upperToken` (compared in upper case): as many
// characters as the token has are cut from its start and `targetDir` and "\" are put in
// front. Returns whether it did.
bool RewriteLaunchProgram(std::string& program, const std::string& upperToken,
                          const std::string& targetDir);

// The file-name part of a Windows path (after the last "\", "/" or ":") and the directory
// part (up to and including it).
std::string FileNamePart(const std::string& path);
std::string DirectoryPart(const std::string& path);

}  // namespace nolvo::setup
