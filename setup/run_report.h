#pragma once
// The end-of-run list of one setup: everything that was not done as asked (a file or a
// shortcut that failed, a configuration line the setup could not use, a problem of the
// media, the failure that stopped the installation) and the warnings that did not change
// the outcome (a setup picture that could not be shown, files left in a staging folder).
// Plain data: the engine and the run fill it, the console prints it, the GUI shows it in
// one box with a scrollable list. Texts are ANSI, as every text of the core.

#include <string>
#include <vector>

namespace nolvo::setup {

enum class ProblemKind {
  pkFile,           // a product file or a setup file not installed
  pkShortcut,       // a shortcut not created
  pkConfiguration,  // a configuration line that could not be used
  pkDirectory,      // a directory that could not be made
  pkIniFile,        // an INI line not written
  pkRefused,        // a target outside the places the setup may write to
  pkMedia,          // the media or the extraction stage
  pkStopped,        // the failure or interruption that ended the installation early
  pkNote,           // said for information only
};

struct RunProblem {
  ProblemKind kind = ProblemKind::pkFile;
  std::string text;
  bool warning = false;  // said, but the run's outcome stays what it was
};

class RunReport {
 public:
  void Add(ProblemKind kind, std::string text) { items_.push_back({kind, std::move(text), false}); }
  void Warn(ProblemKind kind, std::string text) { items_.push_back({kind, std::move(text), true}); }
  void Append(const std::vector<RunProblem>& items) {
    items_.insert(items_.end(), items.begin(), items.end());
  }

  const std::vector<RunProblem>& Items() const { return items_; }
  bool Empty() const { return items_.empty(); }
  // Some item is more than a warning: the run did not do everything it was asked to.
  bool Failed() const;
  // One line per item, warnings marked "warning: ".
  std::vector<std::string> Lines() const;

 private:
  std::vector<RunProblem> items_;
};

}  // namespace nolvo::setup
