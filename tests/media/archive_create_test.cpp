// Building one archive file: what is stored under which name, the entry list beside it,
// and a refused source that leaves nothing behind.

#include "archive/media/archive_create.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/media/digest_lists.h"
#include "archive/media/media_reader.h"
#include "archive/media/sha256.h"
#include "tests/support/temp_dir.h"

namespace nolvo::media {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteBytes;

TEST(CreateArchive, StoresFilesAndFoldersAndListsTheirDigests) {
  TempDir dir;
  WriteBytes(dir.Path() / "top.txt", std::string(5000, 't'));
  fs::create_directories(dir.Path() / "pack" / "sub");
  WriteBytes(dir.Path() / "pack" / "sub" / "b.bin", std::string("bb"));
  WriteBytes(dir.Path() / "pack" / "a.txt", std::string());
  const fs::path out = dir.Path() / "out.arc";
  const CreatedArchive created =
      CreateArchive({out, {(dir.Path() / "top.txt").string(), (dir.Path() / "pack").string()}}, {});

  // Empty files are stored first; each name is the source's own or the folder's and path.
  EXPECT_EQ(created.Names,
            (std::vector<std::string>{"pack\\a.txt", "top.txt", "pack\\sub\\b.bin"}));
  const auto text = test::ReadBytes(dir.Path() / SidecarName("out.arc"));
  const auto list = ParseEntryDigests(std::string(text.begin(), text.end()));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].Size, 5000);
  EXPECT_EQ(list[1].Digest, Sha256Of(std::string(5000, 't')));
  EXPECT_EQ(list[2].Name, "pack\\sub\\b.bin");
  // Only the archive and its list are new beside the sources.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"out.arc", SidecarName("out.arc"), "pack", "top.txt"}));
}

TEST(CreateArchive, RefusedSourcesWriteNothing) {
  TempDir dir;
  WriteBytes(dir.Path() / "a.txt", std::string("a"));
  fs::create_directories(dir.Path() / "b");
  WriteBytes(dir.Path() / "b" / "A.TXT", std::string("x"));
  const fs::path out = dir.Path() / "out.arc";
  const std::vector<std::vector<std::string>> refused = {
      {(dir.Path() / "missing").string()},
      {(dir.Path() / "a.txt").string(), (dir.Path() / "b" / "A.TXT").string()},  // one name
  };
  for (const auto& files : refused) {
    EXPECT_THROW(CreateArchive({out, files}, {}), EMediaPath);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir.Path() / SidecarName("out.arc")));
  }
  EXPECT_THROW(CreateArchive({dir.Path() / "b", {(dir.Path() / "a.txt").string()}}, {}),
               EMediaPath);
}

// A backslash is the stored names' folder separator: a host name holding one cannot be
// stored as it is, neither as a file given by name nor inside a folder.
TEST(CreateArchive, RefusesHostNamesHoldingABackslash) {
  TempDir dir;
  WriteBytes(dir.Path() / "back\\slash.txt", std::string("a"));
  fs::create_directories(dir.Path() / "f" / "in\\side");
  WriteBytes(dir.Path() / "f" / "in\\side" / "b.txt", std::string("b"));
  fs::create_directories(dir.Path() / "g\\h");
  WriteBytes(dir.Path() / "g\\h" / "c.txt", std::string("c"));
  const fs::path out = dir.Path() / "out.arc";
  for (const char* source : {"back\\slash.txt", "f", "g\\h"}) {
    SCOPED_TRACE(source);
    EXPECT_THROW(CreateArchive({out, {(dir.Path() / source).string()}}, {}), EMediaPath);
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST(CreateArchive, NeverReplacesAFileToBeStored) {
  TempDir dir;
  WriteBytes(dir.Path() / "a.txt", std::string("a"));
  fs::create_directories(dir.Path() / "d");
  WriteBytes(dir.Path() / "d" / "in.arc", std::string("b"));
  WriteBytes(dir.Path() / "x.arc.digests", std::string("c"));
  struct Case {
    fs::path out;
    std::string source;
  };
  const std::vector<Case> cases = {
      {dir.Path() / "a.txt", (dir.Path() / "a.txt").string()},               // the file itself
      {dir.Path() / "d" / "in.arc", (dir.Path() / "d").string()},            // a file in a folder
      {dir.Path() / "x.arc", (dir.Path() / "x.arc.digests").string()},       // the list's name
      {dir.Path() / "d" / ".." / "a.txt", (dir.Path() / "a.txt").string()},  // another spelling
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out.string());
    EXPECT_THROW(CreateArchive({c.out, {c.source}}, {}), EMediaPath);
  }
  // The sources are as they were, and nothing was written beside them.
  using Bytes = std::vector<unsigned char>;
  EXPECT_EQ(test::ReadBytes(dir.Path() / "a.txt"), Bytes{'a'});
  EXPECT_EQ(test::ReadBytes(dir.Path() / "d" / "in.arc"), Bytes{'b'});
  EXPECT_EQ(test::ReadBytes(dir.Path() / "x.arc.digests"), Bytes{'c'});
  EXPECT_FALSE(fs::exists(dir.Path() / "x.arc"));
  EXPECT_FALSE(fs::exists(dir.Path() / SidecarName("a.txt")));
}

}  // namespace
}  // namespace nolvo::media
