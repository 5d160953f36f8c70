#include "archive/stage/unzip.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "platform/ascii.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "util/copy_file_to.h"
#include "util/ensure_directory_path.h"
#include "util/windows_directory.h"

namespace nolvo::stage {

std::string SafeFileNamePart(const std::string& stored) {
  const auto cut = stored.find_last_of("\\/:");
  std::string name = cut == std::string::npos ? stored : stored.substr(cut + 1);
  if (name == "." || name == "..")
    throw EUnsafeFileName(fmt::format("Unsafe file name in archive: \"{}\"", stored));
  return name;
}

TUnzip::TUnzip(platform::Machine& machine, platform::Dialogs& dialogs, platform::MessagePump& pump,
               UnzipView& view, const app::StartupState& state, const app::SetupSettings& settings,
               Hooks hooks)
    : SegCompEZ1(machine, &dialogs, &pump),
      machine_(machine),
      dialogs_(dialogs),
      pump_(pump),
      view_(view),
      state_(state),
      settings_(settings),
      hooks_(std::move(hooks)) {
  // The designed properties of the reader on this window.
  SegCompEZ1.SetSegBaseName("segdata");
  SegCompEZ1.SetSegDir("a:\\");
  SegCompEZ1.SetSegPopUp(false);
  SegCompEZ1.SetExceptionOnFileError(false);
  SegCompEZ1.SetKey(0);
  SegCompEZ1.SetCheckSpaceBeforeExpand(false);
  SegCompEZ1.SetSegSize(1440000);
  SegCompEZ1.SegBuildMode = segment::TBuildMode::bmRecursive;
  SegCompEZ1.SegCompType = codec::TCompressionMethod::coLZH5;
  SegCompEZ1.SegMultiArc = true;
  SegCompEZ1.OnCheckFile = [this](std::string& path, container::TCProcessMode mode) {
    SegCompEZ1CheckFile(path, mode);
  };
  SegCompEZ1.OnShowProgress = [this](std::int32_t& percent) { SegCompEZ1ShowProgress(percent); };
  SegCompEZ1.OnSegBefore = [this](segment::TSegMode mode, const std::string& name,
                                  std::uint16_t number) {
    SegCompEZ1SegBefore(mode, name, number);
  };
}

void TUnzip::SetChecks(MediumChecks* checks) {
  checks_ = checks;
  if (!checks) {
    SegCompEZ1.OnSegArchiveJoined = nullptr;
    SegCompEZ1.OnEntrySelected = nullptr;
    SegCompEZ1.OnEntryOutput = nullptr;
    SegCompEZ1.OnEntryWritten = nullptr;
    return;
  }
  SegCompEZ1.OnSegArchiveJoined = [this](segment::TSegArc& arc, const std::string& joined) {
    checks_->ArchiveJoined(SegCompEZ1, arc, joined, report_);
    return true;
  };
  SegCompEZ1.OnEntrySelected = [this](const container::TListedEntry& entry) {
    checks_->EntrySelected(entry);
  };
  SegCompEZ1.OnEntryOutput = [this](const container::TListedEntry&, platform::ByteStream& out) {
    return checks_->EntryOutput(out);
  };
  SegCompEZ1.OnEntryWritten = [this](const container::TListedEntry&, const std::string& path) {
    checks_->EntryWritten(path, report_);
  };
}

void TUnzip::FormShow() {
  Abandoned = false;
  pump_.ProcessMessages();
  PictureShown = false;
}

void TUnzip::Timer1Timer() {
  Abandoned = false;
  ExpandSetupArchive();
}

void TUnzip::ExpandSetupArchive() {
  SegCompEZ1.SetSegBaseName("disk");
  SegCompEZ1.SetSegDir(state_.SourceDir);
  SegCompEZ1.SetSegTmpDir(util::WindowsDirectory(machine_) + "\\temp");
  SegCompEZ1.SetTargetPath(state_.TempDir);
  SegCompEZ1.SegArcList.clear();
  SegCompEZ1.SetSegSource({});
  try {
    util::EnsureDirectoryPath(machine_, state_.TempDir);
    util::EnsureDirectoryPath(machine_, SegCompEZ1.SegTmpDir());
    if (checks_) checks_->Begin(state_.SourceDir, report_);
    SegCompEZ1.ExpandSegmentedArchive();
    if (checks_) checks_->End(report_);
  } catch (const std::exception& e) {
    lastError_ = e.what();
    // After a confirmed abort the failure is the abort's doing, not the medium's.
    if (!Abandoned) RecordFailure();
    dialogs_.Inform(kExpandErrorText);
    if (hooks_.ClearRebootChoice) hooks_.ClearRebootChoice();
    Abandoned = true;
  }
  view_.Close();
}

void TUnzip::RecordFailure() {
  if (checks_) return checks_->Failed(lastError_, report_);
  MediaFinding finding;
  finding.Level = Severity::Fatal;
  finding.Segment = SegCompEZ1.SegName();
  finding.Text = lastError_;
  report_.Add(std::move(finding));
}

bool TUnzip::ExpectedSegmentExists() const {
  const auto r = machine_.Resolve(ExpectedSegment);
  return r.error.ok() && r.exists && !r.isDirectory;
}

void TUnzip::SegCompEZ1SegBefore(segment::TSegMode, const std::string&, std::uint16_t SegNumber) {
  const std::string padded = fmt::format("{:03d}", SegNumber);
  pump_.ProcessMessages();
  ExpectedSegment = state_.SourceDir + SegCompEZ1.SegBaseName() + "." + padded;
  for (int prompts = 0; !ExpectedSegmentExists() && prompts < 2; ++prompts)
    dialogs_.Inform(fmt::format("Please Insert Disk #{} into Floppy Drive.", SegNumber));
  if (SegNumber == 1) CopySetupFiles();
  pump_.ProcessMessages();
}

void TUnzip::CopySetupFiles() {
  view_.SetStatus("Copying Install Files...");
  countMax_ = 2;
  countPosition_ = 0;
  view_.SetCountRange(countMax_);
  view_.SetCountPosition(0);
  pump_.ProcessMessages();
  util::CopyFileTo(machine_, state_.SourceDir + "install.exe", state_.TempDir);
  view_.SetCountPosition(1);
  pump_.ProcessMessages();
  util::CopyFileTo(machine_, state_.SourceDir + "install.cfg", state_.TempDir);
  view_.SetCountPosition(2);
  pump_.ProcessMessages();
  countMax_ = static_cast<int>(settings_.FileList.size()) + 1;
  countPosition_ = 0;
  view_.SetCountRange(countMax_);
  view_.SetCountPosition(0);
}

void TUnzip::SegCompEZ1CheckFile(std::string& filepath, container::TCProcessMode) {
  // Every file goes flat into TempDir under the file-name part of its stored name. A name
  // without one (a directory entry such as DATA\) names no file that could be created
  // there: the entry is passed over and does not count towards the archive's total.
  const std::string name = SafeFileNamePart(filepath);
  if (name.empty()) {
    filepath.clear();
  } else {
    filepath = state_.TempDir + "\\" + name;
    const auto target = machine_.Resolve(filepath);
    const auto folder = machine_.Resolve(state_.TempDir);
    if (target.error == platform::kErrorFilenameExcedRange && folder.error.ok())
      throw EUnsafeFileName(
          fmt::format("Output path longer than Windows allows ({} characters at most): \"{}\"",
                      platform::kMaxPath, filepath));
    if (!target.error.ok() || !folder.error.ok() || target.host.parent_path() != folder.host)
      throw EUnsafeFileName(fmt::format("Output path outside the temporary folder: \"{}\"", name));
    ++filesExpanded_;
  }
  view_.SetStatus(name);
  countPosition_ = std::min(countPosition_ + 1, countMax_);
  view_.SetCountPosition(countPosition_);
  pump_.ProcessMessages();
  if (!settings_.BitmapFile.empty() && !PictureShown) {
    const auto picture = machine_.Resolve(state_.TempDir + "\\" + settings_.BitmapFile);
    if (picture.error.ok() && picture.exists) {
      PlacePicture();
      PictureShown = true;
    }
  }
}

void TUnzip::PlacePicture() {
  const std::string upper = platform::AsciiUpper(settings_.BitmapFile);
  SetupPicture picture;
  picture.windowsPath = state_.TempDir + "\\" + settings_.BitmapFile;
  picture.animated = upper.find("GIF") != std::string::npos;
  picture.alignCenter = settings_.AlignCenter;
  picture.alignLeft = settings_.AlignLeft;
  // A decoration must not block the installation: a picture that cannot be loaded is
  // skipped with a warning.
  try {
    if (!picture.animated && !StillPictureLoadable(settings_.BitmapFile))
      throw std::runtime_error(fmt::format("Cannot load the picture {}", settings_.BitmapFile));
    view_.ShowPicture(picture);
  } catch (const std::exception& e) {
    if (hooks_.Warning) hooks_.Warning(std::string(e.what()) + "; the setup goes on without it");
  }
  pump_.ProcessMessages();
}

void TUnzip::SegCompEZ1ShowProgress(std::int32_t& PercentageDone) {
  view_.SetFileProgress(0);
  pump_.ProcessMessages();
  view_.SetFileProgress(PercentageDone);
  pump_.ProcessMessages();
  if (Abandoned) PercentageDone = -1;
}

void TUnzip::FormClick() {
  if (!dialogs_.AskAbort(kAbortQuestion)) return;
  Abandoned = true;
  if (hooks_.ClearTempDir) hooks_.ClearTempDir();
  if (hooks_.Terminate) hooks_.Terminate();
}

}  // namespace nolvo::stage
