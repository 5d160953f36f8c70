#include "cli/media_errors.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "archive/media/outcome_table.h"
#include "cli/command.h"
#include "cli/interrupt.h"

namespace nolvo::cli {

int RunMediaCommand(const std::string& command, const std::function<int()>& body) {
  try {
    InterruptGuard guard;
    return body();
  } catch (const EInterrupted&) {
    fmt::print(stderr, "nolvo {}: interrupted\n", command);
    return kExitCancelled;
  } catch (const media::EMediumRefused&) {
    return kExitFailure;
  } catch (const media::EMediaPath& e) {
    fmt::print(stderr, "nolvo {}: {}\n", command, e.what());
    return kExitUsage;
  } catch (const std::exception& e) {
    fmt::print(stderr, "nolvo {}: {}\n", command, e.what());
    return kExitFailure;
  }
}

void PrintFinding(const std::string& command, const stage::MediaFinding& finding,
                  const platform::CodePage& cp, bool quiet) {
  const char* prefix = "";
  if (finding.Level == stage::Severity::Note) prefix = "note: ";
  if (finding.Level == stage::Severity::Warning) prefix = "warning: ";
  if (quiet && finding.Level < stage::Severity::Error) return;
  fmt::print(stderr, "nolvo {}: {}{}\n", command, prefix, stage::Describe(finding, cp));
}

struct MediaProgressBar::Impl {
  bool active = false;
  bool drawn = false;
  std::string last;
};

MediaProgressBar::MediaProgressBar(bool quiet, std::string label)
    : impl_(std::make_unique<Impl>()), label_(std::move(label)) {
  impl_->active = !quiet && ::isatty(2) == 1;
}

MediaProgressBar::~MediaProgressBar() { Clear(); }

void MediaProgressBar::Show(const std::string& what, int percent) {
  ThrowIfInterrupted();
  if (!impl_->active) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::string line = fmt::format("[{}{}] {:>3}% {} {}", std::string(filled, '#'),
                                 std::string(kWidth - filled, ' '), percent, label_, what);
  if (line.size() > 78) line.resize(78);
  if (line == impl_->last) return;
  impl_->last = line;
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  impl_->drawn = true;
}

void MediaProgressBar::Clear() {
  if (!impl_->drawn) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  impl_->drawn = false;
  impl_->last.clear();
}

}  // namespace nolvo::cli
