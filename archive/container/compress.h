#pragma once
// TCompress: the compressed archive component. It lists an archive's entries, expands all
// or a selection of them into files of the modelled machine (checking checksums, honouring
// the key of locked entries, creating directories, testing free space, reporting each file
// and the progress through its handlers), and builds archives from files.
//
// Paths are Windows paths of the machine given at construction. Each operation opens the
// archive, works through it from the start and closes it, also when an exception passes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/container/compress_events.h"
#include "archive/container/compressed_file_info.h"
#include "platform/byte_stream.h"
#include "platform/machine.h"

namespace nolvo::container {

struct TExpandSettings;

struct TArchiveEntry;
struct TEntryOutput;

// The five handler slots, saved and restored together (the segmented reader suspends them
// while it reads its own list archives).
struct TCompressHandlers {
  TCompressEvent OnCompress;
  TExpandEvent OnExpand;
  TFilenameCheckEvent OnCheckFile;
  TRecognizeEvent OnRecognize;
  TShowProgressEvent OnShowProgress;
};

// One file to store with CompressArchiveEntries.
struct TArchiveSource {
  std::string FileName;    // Windows path of the file to read
  std::string StoredName;  // its name in the archive: a relative path with backslashes
  TCompressionMethod Method = TCompressionMethod::coLZH5;
};

// How one entry fared in TestArchiveEntries: `Error` is empty when its data expanded to the
// stored checksum, otherwise the exception that expanding it raised.
using TEntryTestResult = std::function<void(const TListedEntry& entry, std::exception_ptr Error)>;

// (Hooks of the tools and of the setup's medium checks, not published events.)
// OnEntrySelected is called in ExpandArchiveEntries for each entry the selection takes, just
// before OnCheckFile sees its path. OnEntryOutput sees the stream each entry's expanded bytes
// go to (the output file in ExpandArchiveEntries, a sink in TestArchiveEntries) and may
// answer a stream to write through instead, one that passes every byte on to `Output` in
// order; null keeps `Output`. OnEntryWritten is called once an entry's output file is
// complete, closed and given its attributes. What a hook throws ends the operation.
using TEntrySelectedEvent = std::function<void(const TListedEntry& Entry)>;
using TEntryOutputEvent = std::function<std::unique_ptr<platform::ByteStream>(
    const TListedEntry& Entry, platform::ByteStream& Output)>;
using TEntryWrittenEvent = std::function<void(const TListedEntry& Entry, const std::string& Path)>;

class TCompress {
 public:
  explicit TCompress(platform::Machine& machine);
  virtual ~TCompress() = default;
  TCompress(const TCompress&) = delete;
  TCompress& operator=(const TCompress&) = delete;

  // Handler slots (empty: not called).
  TCompressEvent OnCompress;  // stores coCustom entries when building an archive
  TExpandEvent OnExpand;
  TFilenameCheckEvent OnCheckFile;
  TRecognizeEvent OnRecognize;
  TShowProgressEvent OnShowProgress;
  TEntrySelectedEvent OnEntrySelected;
  TEntryOutputEvent OnEntryOutput;
  TEntryWrittenEvent OnEntryWritten;
  // Handed to every codec run (see codec::CodecComponent); empty: runs never yield.
  codec::TYieldEvent OnYield;

  // Directory prefix for stored names; a non-empty value gains a trailing backslash.
  const std::string& TargetPath() const { return target_path_; }
  void SetTargetPath(const std::string& value);
  // Create each output file's missing directories.
  bool MakeDirectories() const { return make_directories_; }
  void SetMakeDirectories(bool value) { make_directories_ = value; }
  // An output file that cannot be created raises instead of being skipped.
  bool ExceptionOnFileError() const { return exception_on_file_error_; }
  void SetExceptionOnFileError(bool value) { exception_on_file_error_ = value; }
  // Key for locked entries (0: none). Building with a key locks every entry.
  std::int32_t Key() const { return key_; }
  void SetKey(std::int32_t value) { key_ = value; }
  // Test the free space of the output drive before each file.
  bool CheckSpaceBeforeExpand() const { return check_space_; }
  void SetCheckSpaceBeforeExpand(bool value) { check_space_ = value; }
  // How much shorter than the original a compressed entry must be (default 1; values below
  // 0 give 0); an entry that cannot be made that short is stored as coNone.
  std::int32_t SizeMargin() const { return size_margin_; }
  void SetSizeMargin(std::int32_t value) { size_margin_ = value < 0 ? 0 : value; }
  // How many threads may encode one large entry when building, and expand entries in
  // the operations that take a TArchiveOpener (values below 1 give 1). The archive built
  // and the files written are the same for any count; see ExpandArchiveEntries for what
  // changes with more than one.
  std::int32_t Threads() const { return threads_; }
  void SetThreads(std::int32_t value) { threads_ = value < 1 ? 1 : value; }

  platform::Machine& Machine() const { return machine_; }

  // Saves the five handlers and empties the slots; ResumeEvents puts saved ones back.
  TCompressHandlers SuspendEvents();
  void ResumeEvents(TCompressHandlers saved);

  // Appends one TListedEntry per entry of the archive `FileName` (List is not cleared).
  // A file shorter than 46 bytes lists nothing. Throws util::EFOpenError when the file cannot
  // be opened, the header errors (EInvalidHeader, EInvalidHeaderArchiveType,
  // EUnrecognizedCompressionMethod) and EDamagedArchive (only before the entries add up to
  // TotalSize: after that point a damaged tail ends the archive).
  void ListArchiveEntries(const std::string& FileName, TCompressedFileList& List);
  // The same from an open stream over the archive (read from its start).
  void ListArchiveEntries(platform::ByteStream& Archive, TCompressedFileList& List);

  // Expands the archive `FileName`. With List null every entry is expanded; otherwise only
  // entries whose stored name equals one of its strings (ASCII letters without regard to
  // case), and on return List holds the full paths of the written files in archive order
  // (an exception leaves it unchanged). The archive ends once the entries passed (selected
  // or not; skipped ones do not count) add up to TotalSize. Output path: a stored name
  // beginning with a backslash as it stands, otherwise TargetPath + stored name; OnCheckFile
  // may change it, empty it (skip) or answer "*" (stop). Throws util::EFOpenError, the header
  // errors, EDamagedArchive, EInsufficientDiskSpace, util::EFCreateError (only with
  // ExceptionOnFileError), util::EInOutError for a directory that cannot be made, and the
  // errors of expanding an entry (EInvalidKey, EBadChecksum, the codec's).
  void ExpandArchiveEntries(const std::string& FileName, std::vector<std::string>* List);
  // The same over the archive `Open` gives. With Threads above 1 (and no OnExpand handler)
  // the entries' data are expanded on that many worker threads, each reading its own
  // stream from `Open`, up to Threads + 1 entries ahead of the one being completed: an
  // entry's OnEntrySelected, OnCheckFile and OnEntryOutput are called, and its file
  // created (replacing any file at its path) and written, while the entries before it are
  // still being expanded. OnShowProgress reports (in order, each entry's once it is the
  // one being completed), OnEntryWritten, the result list and the errors are those of a
  // run on one thread, on the calling thread. When the run fails, the files of the entries
  // after the failing one are deleted again; folders made for them stay.
  void ExpandArchiveEntries(const TArchiveOpener& Open, std::vector<std::string>* List);

  // Expands every entry of `FileName` into nothing but its checksum and reports each one to
  // `Result`; an entry's failure does not stop the run. Throws what ListArchiveEntries
  // throws. OnCheckFile is not consulted and nothing is written.
  void TestArchiveEntries(const std::string& FileName, const TEntryTestResult& Result);
  // The same over the archive `Open` gives. With Threads above 1 (and no OnExpand handler)
  // entries are expanded on worker threads ahead of the one being reported, as in
  // ExpandArchiveEntries: OnEntryOutput is called ahead, and the stream it answers is
  // written on a worker thread; OnShowProgress and Result come in order on the calling
  // thread.
  void TestArchiveEntries(const TArchiveOpener& Open, const TEntryTestResult& Result);

  // Creates (or replaces) the archive `FileName` holding `Files`, the empty ones first and
  // then the others, each group in the order given (a reader stops once the entries passed
  // add up to the archive's total), each with its own method, its date and its attributes; the
  // header names `ArchiveMethod`. An entry its method cannot make smaller is stored as coNone. On
  // failure the partial archive is deleted. Returns the entries as a listing would show them.
  // Throws util::EFOpenError for a source that cannot be opened, util::EFCreateError for the
  // archive, EArchiveLimit, the codec's errors.
  TCompressedFileList CompressArchiveEntries(const std::string& FileName,
                                             const std::vector<TArchiveSource>& Files,
                                             TCompressionMethod ArchiveMethod);

  // The free bytes for writing `path` (CheckSpaceBeforeExpand off: 2147483647): the drive's
  // free space, plus the size of a file already at `path`, which is about to be replaced.
  // A drive whose free space cannot be queried counts as unlimited.
  std::int64_t CheckFreeSpace(const std::string& path) const;

  // Creates `path` and its missing parents (one trailing backslash ignored). Stops at an
  // existing directory and at a path of fewer than 3 characters, which is never made. Throws
  // util::EInOutError when a directory cannot be created.
  void MakeDirectoryPath(const std::string& path) const;

 private:
  // What every entry of an archive with the method id `compressId` is expanded with: this
  // object's key and events.
  TExpandSettings ExpandSettings(const std::string& compressId) const;
  // `open` (may be null) lets entries be expanded on worker threads.
  void ExpandFrom(platform::ByteStream& archive, std::vector<std::string>* List,
                  const TArchiveOpener* open);
  void TestFrom(platform::ByteStream& archive, const TEntryTestResult& Result,
                const TArchiveOpener* open);
  // What becomes of a selected entry before its output is made.
  enum class TEntryAdmission { eaExpand, eaSkip, eaStop };
  // Reports the selected entry, gives its output path (OnCheckFile may change it, empty
  // skips the entry, "*" stops the expansion), checks the free space and makes the
  // directories.
  TEntryAdmission AdmitEntry(const TArchiveEntry& entry, std::string& path);
  // Creates the output file of `entry` at `path` with the stream its bytes go through;
  // null when the file could not be created and is skipped.
  std::unique_ptr<TEntryOutput> CreateOutput(const TArchiveEntry& entry, const std::string& path);
  // Ends an entry's output once its expansion ended with `error` (null: success): the
  // file gets its date and attributes and OnEntryWritten is called, or, after a failure,
  // the file keeps what was written (deleted for EInvalidKey) and the error is rethrown.
  void CompleteOutput(TEntryOutput& output, std::exception_ptr error);
  // Drops an entry's output that was never completed: the file is deleted.
  void DiscardOutput(TEntryOutput& output);

  platform::Machine& machine_;
  std::string target_path_;
  bool make_directories_ = false;
  bool exception_on_file_error_ = false;
  std::int32_t key_ = 0;
  bool check_space_ = false;
  std::int32_t size_margin_ = 1;
  std::int32_t threads_ = 1;
};

}  // namespace nolvo::container
