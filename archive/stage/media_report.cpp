#include "archive/stage/media_report.h"

#include <fmt/format.h>

#include <algorithm>
#include <string_view>

#include "util/shown_text.h"

namespace nolvo::stage {

bool MediaReport::Has(Severity level) const {
  return std::any_of(Findings.begin(), Findings.end(),
                     [level](const MediaFinding& f) { return f.Level >= level; });
}

std::string Describe(const MediaFinding& f, const platform::CodePage& cp) {
  std::string where;
  if (!f.Segment.empty()) where += util::ShownName(f.Segment, cp) + ": ";
  if (f.Archive >= 0) {
    where += fmt::format("archive {}", f.Archive);
    if (!f.Template.empty()) where += fmt::format(" \"{}\"", util::ShownName(f.Template, cp));
    where += ": ";
  }
  if (f.Entry >= 0)
    where += fmt::format("entry {} \"{}\": ", f.Entry, util::ShownName(f.Name, cp));
  else if (!f.Name.empty())
    where += fmt::format("\"{}\": ", util::ShownName(f.Name, cp));
  constexpr std::string_view kOther = "{other}";
  const std::string_view text = f.Text;
  const auto at = text.find(kOther);
  if (at == std::string_view::npos) return where + f.Text;
  return fmt::format("{}{}\"{}\"{}", where, text.substr(0, at), util::ShownName(f.Other, cp),
                     text.substr(at + kOther.size()));
}

}  // namespace nolvo::stage
