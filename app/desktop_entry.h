#pragma once
// A [Desktop] entry split into its fields: NAME~TOKENTARGET~D~S~TOKENICON~FOLDER.

#include <string>

namespace nolvo::app {

struct DesktopEntry {
  std::string Name;
  std::string TargetField;  // token immediately followed by the program's relative path
  std::string D;            // "X": offered on the desktop
  std::string S;            // "X": offered in the Start Menu
  std::string IconField;    // token followed by the icon's relative path
  std::string Folder;       // the whole rest after the fifth "~" (or the fifth field again)

  // The token of a field that starts with one: up to and including the first ">".
  static std::string LeadingToken(const std::string& field);
  // The text after the field's first ">" (all of it when it holds no ">").
  static std::string AfterToken(const std::string& field);
};

// Splits an entry with SplitAtChar, so missing fields repeat the last one.
DesktopEntry SplitDesktopEntry(std::string entry);

}  // namespace nolvo::app
