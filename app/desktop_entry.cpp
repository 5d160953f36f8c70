#include "app/desktop_entry.h"

#include "util/split_at_char.h"

namespace nolvo::app {

std::string DesktopEntry::LeadingToken(const std::string& field) {
  const auto close = field.find('>');
  return close == std::string::npos ? field : field.substr(0, close + 1);
}

std::string DesktopEntry::AfterToken(const std::string& field) {
  const auto close = field.find('>');
  return close == std::string::npos ? field : field.substr(close + 1);
}

DesktopEntry SplitDesktopEntry(std::string entry) {
  DesktopEntry e;
  util::SplitAtChar(entry, '~', e.Name);
  util::SplitAtChar(entry, '~', e.TargetField);
  util::SplitAtChar(entry, '~', e.D);
  util::SplitAtChar(entry, '~', e.S);
  util::SplitAtChar(entry, '~', e.IconField);
  e.Folder = entry;
  return e;
}

}  // namespace nolvo::app
