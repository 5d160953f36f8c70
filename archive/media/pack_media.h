#pragma once
// Building setup media from a product folder, in four steps the tool runs in turn:
// collect the product's files, check their names, write the segments, and place the setup
// program with install.cfg and the digest lists beside them. Nothing here prints: the steps
// return what the tool reports.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/container/compression_method.h"
#include "archive/media/digest_files.h"
#include "archive/media/media_error.h"
#include "archive/segment/seg_writer.h"
#include "platform/code_page.h"

namespace nolvo::media {

// A pack that cannot go on; Usage is set when the command line named the wrong thing.
class EPackError : public EMediaError {
 public:
  EPackError(const std::string& what, bool usage) : EMediaError(what), Usage(usage) {}
  bool Usage;
};

struct PackSettings {
  std::filesystem::path Source;        // the product folder
  std::filesystem::path Media;         // the media folder to write (created when missing)
  std::filesystem::path Config;        // empty: Source/install.cfg
  std::filesystem::path SetupProgram;  // empty: this build's setup program, else a note
  container::TCompressionMethod Method = container::TCompressionMethod::coLZH5;
  std::int32_t SegmentSize = 1440000;  // at least 16384 is used
  std::int32_t Key = 0;
  std::int32_t Threads = 1;  // at most kMostThreads are used; the media are the same for any count
};

// Something the media will hold that the builder should look at; the pack goes on.
struct PackWarning {
  enum class Kind { SameName, NotOnMedia };
  Kind What = Kind::SameName;
  // SameName: the two files (UTF-8 paths below the product folder) that share a name.
  // NotOnMedia: the configuration's section and the file name it gives.
  std::string First, Second;
};

// The product as collected: its files in a stable order and their digests.
struct PackProduct {
  std::filesystem::path Config;  // the install.cfg used
  segment::TSegWriteArchive Archive;
  std::map<std::string, HostFileDigest> Digests;  // stored name -> original bytes
  // Held on the media folder until the last copy of the product goes, so that a second
  // pack into the same folder is refused rather than mixing its segments with these.
  std::shared_ptr<const void> FolderLock;
};

// Checks the folders, locks the media folder against a second pack, prepares it (removing digest
// lists of an earlier medium, which would not describe this one) and lists and hashes every file
// below the product folder but its install.cfg and the media folder. Throws EPackError for an entry
// that is not a file or folder (links to files count as files) or a name Windows cannot hold.
PackProduct CollectProduct(const PackSettings& settings, const platform::CodePage& cp);

// Files the setup would put into one folder under the same name, then files the
// configuration names that the media do not hold.
std::vector<PackWarning> CheckNames(const PackProduct& product, const platform::CodePage& cp);

// Progress of WriteMedia: the file about to be stored, with the bytes stored before it
// and the bytes of all files.
using PackProgress =
    std::function<void(const std::string& stored_name, std::int64_t done, std::int64_t total)>;

// Writes the segments disk.001, disk.002, ... into the media folder. Throws what
// segment::WriteSegmentedArchive throws.
segment::TSegWriteResult WriteMedia(const PackSettings& settings, const PackProduct& product,
                                    const PackProgress& progress);

// Puts install.cfg and install.exe beside the segments, then the entry list and the media
// list over every file of the medium. Throws EPackError, with the segments removed (also
// when a file changed while it was stored).
void PlaceSetupProgram(const PackSettings& settings, const PackProduct& product,
                       const segment::TSegWriteResult& written);

}  // namespace nolvo::media
