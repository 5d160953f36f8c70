#include "setup/run_report.h"

#include <algorithm>

namespace nolvo::setup {

bool RunReport::Failed() const {
  return std::any_of(items_.begin(), items_.end(), [](const RunProblem& p) { return !p.warning; });
}

std::vector<std::string> RunReport::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(items_.size());
  for (const auto& p : items_) lines.push_back(p.warning ? "warning: " + p.text : p.text);
  return lines;
}

}  // namespace nolvo::setup
