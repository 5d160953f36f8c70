#pragma once
// Reading install media for the commands that ask nothing and need no prefix (list, test,
// extract): a private throwaway machine in a host temporary folder, and a walk over the
// archives of a media folder (disk.001, ...) or of one container archive file. Archives
// are read where they lie, in the segment files or the archive file: nothing is joined.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/container/compress.h"
#include "archive/media/media_error.h"
#include "platform/machine.h"

namespace nolvo::media {

// The drive of the workspace machine mapped onto its work folder.
inline constexpr char kWorkDrive = 't';

// A host temporary folder (mkdtemp) holding a machine prefix and a work folder (the drives
// the tools map hold no data of their own). Everything in it is removed when it goes away.
class PrivateWorkspace {
 public:
  PrivateWorkspace();
  ~PrivateWorkspace();
  PrivateWorkspace(const PrivateWorkspace&) = delete;
  PrivateWorkspace& operator=(const PrivateWorkspace&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  platform::Machine& Machine() { return *machine_; }
  // The Windows path of the work folder (a drive of the machine mapped onto it).
  std::string WorkDir() const { return std::string(1, kWorkDrive) + ":\\"; }

 private:
  std::filesystem::path root_;
  std::unique_ptr<platform::Machine> machine_;
};

// One archive of the media as the commands see it.
struct MediaArchive {
  std::uint16_t Index = 0;
  std::string Template;   // empty for a single archive file
  std::string TargetDir;  // directory part of the template
  std::uint8_t ArcFlags = 0;
  std::vector<std::string> FileNames;  // the list file's stored names (segmented media)
  // Segmented media: where the reader stands after the archive's last byte (the segment's
  // number and its bytes not read yet), and the reader's segment folder and base name.
  std::uint16_t EndSegment = 0;
  std::int64_t EndRemaining = 0;
  std::string SegDir;
  std::string SegBaseName;
};

// What a walk read: the last segment opened (0 for a single archive file) and the
// reader's segment folder and base name.
struct MediaWalk {
  std::uint16_t LastSegment = 0;
  std::string SegDir;
  std::string SegBaseName;
};

// Where the media are: a segmented stream (folder and base name of its first segment)
// or a single container archive file.
struct MediaLocation {
  bool Segmented = false;
  std::filesystem::path Folder;  // segmented: the folder of the segment files
  std::string BaseName;          // segmented: the segment files' base name
  std::filesystem::path File;    // single archive file
};

// A command-line PATH the media cannot be found at (exit code 2).
class EMediaPath : public EMediaError {
 public:
  using EMediaError::EMediaError;
};

// PATH as media: a folder holding <base>.001 (disk.001 preferred), a first segment file
// itself, or any other file as a container archive. Throws EMediaPath.
MediaLocation LocateMedia(const std::filesystem::path& path);

// Called for each archive with the component to work on it and what opens the archive
// (each call a new stream over its bytes, from the segment files or the archive file).
using ArchiveVisitor =
    std::function<void(const MediaArchive& archive, container::TCompress& compress,
                       const container::TArchiveOpener& open)>;

// Walks the archives of `media` in order. `key` goes to the component before each visit.
// A missing or wrong segment ends the walk with segment::ESegError naming it; the
// workspace's machine is the one every path refers to. An archive file that cannot be
// opened raises util::EFOpenError.
MediaWalk ForEachArchive(PrivateWorkspace& workspace, const MediaLocation& media, std::int32_t key,
                         const ArchiveVisitor& visit);

}  // namespace nolvo::media

namespace nolvo::media {

// The segmented part of ForEachArchive (segmented_media.cpp).
MediaWalk ForEachSegmentedArchive(PrivateWorkspace& workspace, const MediaLocation& media,
                                  std::int32_t key, const ArchiveVisitor& visit);

}  // namespace nolvo::media
