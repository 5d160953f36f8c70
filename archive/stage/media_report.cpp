#include "archive/stage/media_report.h"

#include <fmt/format.h>

#include <algorithm>

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
  std::string text = f.Text;
  if (const auto at = text.find("{other}"); at != std::string::npos)
    text.replace(at, 7, "\"" + util::ShownName(f.Other, cp) + "\"");
  return where + text;
}

}  // namespace nolvo::stage
