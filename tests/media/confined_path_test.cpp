// Stored names and templates confined to an extraction folder: what is kept, what is
// changed, and that each change is noted.

#include "archive/media/confined_path.h"

#include <gtest/gtest.h>

namespace nolvo::media {
namespace {

using Parts = std::vector<std::string>;

TEST(ConfinePath, KeepsEveryPartInsideTheFolderAndNotesEachChange) {
  const platform::CodePage cp("1252");
  const struct {
    const char* path;
    bool silentRoot;
    Parts parts;
    std::size_t notes;
  } cases[] = {
      {"C:\\Apps\\Tool\\a.exe", true, {"Apps", "Tool", "a.exe"}, 0},
      {"C:\\Apps\\Tool\\a.exe", false, {"Apps", "Tool", "a.exe"}, 2},  // drive, backslash
      {"sub/./dir//x.txt", false, {"sub", "dir", "x.txt"}, 0},
      {"..\\..\\etc\\passwd", false, {"etc", "passwd"}, 2},
      {"a\\..\\b", true, {"a", "b"}, 1},
      {"dir\\con.txt", false, {"dir", "_con.txt"}, 1},
      {"LPT1\\COM10", false, {"_LPT1", "COM10"}, 1},
      {"a<b>\\q?.txt", false, {"a_b_", "q_.txt"}, 2},
      {"tab\there", false, {"tab_here"}, 1},
      {"caf\xe9.txt", false, {"caf\xc3\xa9.txt"}, 0},  // code page to UTF-8
      {"", false, {}, 0},
      {"\\\\..", false, {}, 2},
  };
  for (const auto& c : cases) {
    const ConfinedPath out = ConfinePath(c.path, c.silentRoot, cp);
    EXPECT_EQ(out.Parts, c.parts) << c.path;
    EXPECT_EQ(out.Notes.size(), c.notes) << c.path;
  }
}

TEST(ConfineFileName, KeepsTheLastPartOnly) {
  const platform::CodePage cp("1252");
  const struct {
    const char* name;
    Parts parts;
  } cases[] = {{"C:\\dir\\file.txt", {"file.txt"}},
               {"d:name", {"name"}},
               {"x/..", {}},
               {"dir\\", {}},
               {"nul", {"_nul"}}};
  for (const auto& c : cases) EXPECT_EQ(ConfineFileName(c.name, cp).Parts, c.parts) << c.name;
}

}  // namespace
}  // namespace nolvo::media
