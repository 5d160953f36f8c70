#include "cli/console_progress.h"

#include <unistd.h>

#include <cstdio>

namespace nolvo::cli {

ConsoleProgress::ConsoleProgress(bool quiet) : active_(!quiet && ::isatty(2) == 1) {}

ConsoleProgress::~ConsoleProgress() { Clear(); }

void ConsoleProgress::Update(const std::string& label, std::int64_t done, std::int64_t total) {
  if (!active_) return;
  std::string line;
  if (total > 0) {
    const int width = 30;
    const int filled = static_cast<int>(done * width / (total > 0 ? total : 1));
    line = "[" + std::string(static_cast<std::size_t>(std::min(filled, width)), '#') +
           std::string(static_cast<std::size_t>(width - std::min(filled, width)), ' ') + "] " +
           std::to_string(done * 100 / total) + "% ";
  }
  line += label.substr(0, 40);
  if (line == last_) return;
  last_ = line;
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ConsoleProgress::Clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
  last_.clear();
}

}  // namespace nolvo::cli
