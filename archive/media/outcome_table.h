#pragma once
// The outcome table: for each situation a read of a medium can meet, what each tool and
// the setup make of it. The README's table says the same in words.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

#include "archive/media/media_error.h"
#include "archive/stage/media_report.h"

namespace nolvo::media {

enum class Tool : std::uint8_t { List, Test, Extract, Setup };

// The weight `kind` has for `tool`; nullopt when the tool does not report it.
std::optional<stage::Severity> OutcomeOf(stage::FindingKind kind, Tool tool);

// A run its caller stops (an interrupt): passed on as it is, never recorded as a finding.
class ECancelled : public EMediaError {
 public:
  using EMediaError::EMediaError;
};

// A finding that stops the run (its text is the finding's line, in the code page).
class EMediumRefused : public EMediaError {
 public:
  using EMediaError::EMediaError;
};

// Where the findings of one run go: each is weighed for the tool, recorded, and passed on
// as it happens.
class FindingSink {
 public:
  FindingSink(Tool tool, stage::MediaReport& report, const platform::CodePage& cp)
      : tool_(tool), report_(report), cp_(cp) {}

  Tool Of() const { return tool_; }
  // Records `finding` as a `kind` with the tool's weight (nothing when the tool does not
  // report it) and returns that weight. A Fatal finding throws EMediumRefused once it is
  // recorded.
  std::optional<stage::Severity> Add(stage::FindingKind kind, stage::MediaFinding finding);

  // Sees each finding as it is recorded (may be empty).
  std::function<void(const stage::MediaFinding&)> OnFinding;

 private:
  Tool tool_;
  stage::MediaReport& report_;
  const platform::CodePage& cp_;
};

}  // namespace nolvo::media
