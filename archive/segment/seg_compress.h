#pragma once
// TSegCompress: the reader of segmented archives. It opens the segment files
// <SegDir>\<SegBaseName>.001, .002, ... in order (asking through Dialogs for a missing or
// wrong segment), reads the stream's header and one scan record per archive (template and
// list of stored names), joins each archive's bytes into a temporary file in SegTmpDir and
// expands it with the TCompress operations into the directory its template names.
//
// Without Dialogs the reader asks nothing: a missing or wrong segment ends the read with an
// ESegError naming the segment. All file access goes through the machine given at
// construction (Windows paths).
//
// A reader told not to join archives (the tools) reads each list archive and archive
// straight out of the segment files instead: the segments are opened, checked and passed
// in the same order with the same errors, but no temporary file is made and SegTmpDir is
// not used.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/container/compress.h"
#include "archive/segment/seg_arc.h"
#include "archive/segment/segment_span.h"
#include "platform/dialogs.h"
#include "platform/machine.h"

namespace nolvo::segment {

// What the reader needs of the form that owns it (each may be empty).
struct TSegOwnerHooks {
  std::function<void()> Repaint;        // repaint after a prompt
  std::function<void()> ArrowCursor;    // show the default arrow while prompting
  std::function<void()> RestoreCursor;  // put the remembered cursor back
};

class TSegCompress : public container::TCompress {
 public:
  // `dialogs` and `pump` may be null (no prompts; no message processing). Both, when
  // given, must outlive the component. With a pump, OnYield yields the processor.
  TSegCompress(platform::Machine& machine, platform::Dialogs* dialogs = nullptr,
               platform::MessagePump* pump = nullptr);

  // Published properties, normalised by their setters.
  const std::string& SegBaseName() const { return seg_base_name_; }
  void SetSegBaseName(const std::string& value);  // "" -> "SegData"; file-name part, lower case
  const std::string& SegDir() const { return seg_dir_; }
  void SetSegDir(const std::string& value);  // "" -> "a:\"; lower case
  const std::string& SegExt() const { return seg_ext_; }
  void SetSegExt(const std::string& value);  // first three characters
  bool SegPopUp() const { return seg_pop_up_; }
  void SetSegPopUp(bool value) { seg_pop_up_ = value; }
  std::int32_t SegSize() const { return seg_size_; }
  void SetSegSize(std::int32_t value);  // at least 16384
  const std::string& SegTmpDir() const { return seg_tmp_dir_; }
  void SetSegTmpDir(
      const std::string& value);  // "" -> current directory; no trailing "\"; lower case
  // Join each archive into a temporary file in SegTmpDir (the default), or read it where
  // it lies in the segments.
  bool JoinArchives() const { return join_archives_; }
  void SetJoinArchives(bool value) { join_archives_ = value; }

  TSegBeforeEvent OnSegBefore;
  TSegAfterEvent OnSegAfter;
  TSegBeforeExpandEvent OnSegBeforeExpand;
  TSegAfterArchiveEvent OnSegAfterArchive;
  TSegShowProgressEvent OnSegShowProgress;
  // For tools that list or test instead of expanding (see TSegArchiveJoinedEvent).
  TSegArchiveJoinedEvent OnSegArchiveJoined;
  TSegArchiveLocatedEvent OnSegArchiveLocated;

  TSegOwnerHooks Owner;

  // Reader state.
  std::uint16_t SegNumber() const { return seg_number_; }
  const std::string& SegName() const { return seg_name_; }
  const std::string& SegPath() const { return seg_path_; }
  TSegMode SegMode() const { return seg_mode_; }
  // Bytes left in the open segment while a read runs; 0 outside a read.
  std::int64_t SegRemaining() const { return seg_remaining_; }
  bool Aborted() const { return aborted_; }
  // The temporary files of one read: the joined archive and the list file.
  std::string TempArchiveName() const;
  std::string ListFileName() const;

  // Reads and expands the whole segmented archive. `SegArcList` is cleared first and holds
  // one TSegArc per archive read (also when an exception passes). After a read TargetPath
  // is the last archive's TargetDir and MakeDirectories is true.
  // Throws ESegError (the fixed messages; the invalid-length, empty-list, segment-limit
  // kinds; missing or wrong segment without Dialogs), the container's errors for the
  // joined archives, and the file layer's errors. No temporary file is left behind.
  void ExpandSegArcs(TSegArcList& SegArcList);

 protected:
  platform::Dialogs* DialogsOf() const { return dialogs_; }

 private:
  void BuildNames(std::uint16_t number);
  void BeforeSegment();
  bool PromptMountSegment();
  bool AskRetry(const std::string& text);
  // The span over the segment files and the work buffer of one ExpandSegArcs call.
  struct ReadSession;
  TOpenedSegment OpenSegment(std::uint16_t number);
  void ReadScanRecord(ReadSession& session, TSegArc& arc);
  // Expands the first entry of the list archive `archive` (from its start) into `list`.
  void ExpandListEntry(platform::ByteStream& archive, platform::ByteStream& list);
  void ExpandSegArc(ReadSession& session, TSegArc& arc);
  // Takes the span's remaining bytes into SegRemaining before outside code can look.
  void NoteRemaining(const ReadSession& session);
  void Pump();
  [[noreturn]] void Abort();

  platform::Dialogs* dialogs_;
  platform::MessagePump* pump_;

  std::string seg_base_name_ = "SegData";
  std::string seg_dir_ = "a:\\";
  std::string seg_ext_;
  bool seg_pop_up_ = true;
  std::int32_t seg_size_ = 1440000;
  std::string seg_tmp_dir_;
  bool join_archives_ = true;

  std::uint16_t seg_number_ = 0;
  std::string seg_name_;
  std::string seg_path_;
  TSegMode seg_mode_ = TSegMode::smIdle;
  bool aborted_ = false;
  std::int64_t seg_remaining_ = 0;
};

}  // namespace nolvo::segment
