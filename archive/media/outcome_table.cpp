#include "archive/media/outcome_table.h"

namespace nolvo::media {

using stage::FindingKind;
using stage::Severity;

namespace {

using Row = std::optional<Severity>;
constexpr Row kNone = std::nullopt;
constexpr Row kNote = Severity::Note;
constexpr Row kWarn = Severity::Warning;
constexpr Row kError = Severity::Error;
constexpr Row kStop = Severity::Fatal;

struct Outcome {
  FindingKind Kind;
  Row List, Test, Extract, Setup;
};

// One row per situation; the columns are list, test, extract and the setup (install).
constexpr Outcome kTable[] = {
    {FindingKind::NoDigestLists, kNote, kNote, kNone, kNone},
    {FindingKind::DigestListDamaged, kWarn, kError, kStop, kStop},
    {FindingKind::MediaFileMissing, kWarn, kError, kStop, kStop},
    {FindingKind::MediaFileDiffers, kNone, kError, kStop, kStop},
    {FindingKind::MediaFileUnlisted, kNone, kError, kNone, kNone},
    {FindingKind::EntryDiffers, kNone, kError, kError, kStop},
    {FindingKind::EntryUnlisted, kNone, kError, kError, kStop},
    {FindingKind::EntryMissing, kNone, kError, kError, kStop},
    {FindingKind::StoredSumBad, kNone, kError, kError, kError},
    {FindingKind::ListNameUnmatched, kWarn, kError, kError, kStop},
    {FindingKind::UnknownMethod, kNone, kError, kError, kStop},
    {FindingKind::AfterTotalSize, kWarn, kError, kWarn, kWarn},
    {FindingKind::NoArchive, kNone, kError, kError, kStop},
    {FindingKind::NamesCollide, kWarn, kError, kWarn, kWarn},
    {FindingKind::EntryFailed, kNone, kError, kStop, kStop},
    {FindingKind::NameUnusable, kNone, kNone, kError, kStop},
    {FindingKind::NameConfined, kNone, kNone, kWarn, kNone},
    {FindingKind::ReadFailed, kStop, kStop, kStop, kStop},
};

}  // namespace

std::optional<Severity> OutcomeOf(FindingKind kind, Tool tool) {
  for (const auto& row : kTable) {
    if (row.Kind != kind) continue;
    switch (tool) {
      case Tool::List:
        return row.List;
      case Tool::Test:
        return row.Test;
      case Tool::Extract:
        return row.Extract;
      case Tool::Setup:
        return row.Setup;
    }
  }
  return std::nullopt;
}

std::optional<Severity> FindingSink::Add(FindingKind kind, stage::MediaFinding finding) {
  const auto level = OutcomeOf(kind, tool_);
  if (!level) return level;
  finding.Kind = kind;
  finding.Level = *level;
  report_.Add(finding);
  if (OnFinding) OnFinding(finding);
  // In the code page, as the archive layer's own errors are: the setup shows either alike.
  if (*level == Severity::Fatal) throw EMediumRefused(cp_.FromUtf8(stage::Describe(finding, cp_)));
  return level;
}

}  // namespace nolvo::media
