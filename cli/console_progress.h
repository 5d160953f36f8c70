#pragma once
// A one-line progress display on standard error, drawn only when standard error is a
// terminal and the tool is not quiet; otherwise silent.

#include <cstdint>
#include <string>

namespace nolvo::cli {

class ConsoleProgress {
 public:
  explicit ConsoleProgress(bool quiet);
  ~ConsoleProgress();
  ConsoleProgress(const ConsoleProgress&) = delete;
  ConsoleProgress& operator=(const ConsoleProgress&) = delete;

  bool Active() const { return active_; }
  // Shows `label` with a bar for done/total (total 0: no bar).
  void Update(const std::string& label, std::int64_t done, std::int64_t total);
  // Clears the line (before other output, and at the end).
  void Clear();

 private:
  bool active_ = false;
  bool drawn_ = false;
  std::string last_;
};

}  // namespace nolvo::cli
