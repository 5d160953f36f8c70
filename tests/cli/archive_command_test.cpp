#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/archive_media.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;

// A source tree with spaces, a non-ASCII name, an empty file and a sub-folder.
void MakeTree(const fs::path& root) {
  fs::create_directories(root / "app" / "sub dir");
  WriteBytes(root / "app" / "read me.txt", SampleBytes(5000, 1));
  WriteBytes(root / "app" / "sub dir" / "Caf\xC3\xA9.bin", SampleBytes(70000, 2));
  WriteBytes(root / "app" / "empty.dat", std::string());
  WriteBytes(root / "single.txt", std::string(3000, 'a'));
  WriteBytes(root / "zero.txt", std::string());
}

TEST(ArchiveCommand, CreateListTestExtractRoundTripForEveryMethod) {
  for (const std::string method : {"lh5", "lzh", "rle", "none"}) {
    SCOPED_TRACE(method);
    TempDir dir;
    MakeTree(dir.Path() / "src");
    const auto arc = (dir.Path() / "out.arc").string();
    // zero.txt comes last on the command line and is stored before every file with data.
    auto r =
        RunCommand({NolvoTool(), "archive", "create", arc, (dir.Path() / "src" / "app").string(),
                    (dir.Path() / "src" / "single.txt").string(),
                    (dir.Path() / "src" / "zero.txt").string(), "--method", method});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;  // standard error is not a terminal: no progress

    r = RunCommand({NolvoTool(), "list", "--json", arc});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["Archives"].size(), 1u);
    const auto& a = j["Archives"][0];
    EXPECT_EQ(a["Template"], "");
    const auto& entries = a["Entries"];
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0]["Name"], "app\\empty.dat");
    EXPECT_EQ(entries[0]["OriginalSize"], 0);
    EXPECT_EQ(entries[1]["Name"], "zero.txt");
    EXPECT_EQ(entries[3]["Name"], "app\\sub dir\\Caf\xC3\xA9.bin");
    EXPECT_EQ(entries[3]["OriginalSize"], 70000);
    EXPECT_EQ(entries[4]["Name"], "single.txt");
    // A run of one byte shrinks with every method but none.
    EXPECT_EQ(entries[4]["Method"], method == "none"  ? "coNone"
                                    : method == "rle" ? "coRLE"
                                    : method == "lzh" ? "coLZH"
                                                      : "coLZH5");
    if (method != "none") {
      EXPECT_LT(entries[4]["CompressedSize"].get<int>(), 3000);
    }
    EXPECT_EQ(entries[4]["Locked"], false);
    EXPECT_LT(entries[0]["EntryPosition"].get<int>(), entries[1]["EntryPosition"].get<int>());
    EXPECT_EQ(entries[4]["Date"].get<std::string>().size(), 19u);

    r = RunCommand({NolvoTool(), "test", arc});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("5 entries tested, 0 bad"), std::string::npos) << r.out;

    const fs::path out = dir.Path() / "out";
    r = RunCommand({NolvoTool(), "-q", "extract", arc, "-d", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(FilesBelow(out),
              (std::vector<std::string>{"app/empty.dat", "app/read me.txt",
                                        "app/sub dir/Caf\xC3\xA9.bin", "single.txt", "zero.txt"}));
    for (const char* f :
         {"app/read me.txt", "app/sub dir/Caf\xC3\xA9.bin", "app/empty.dat", "zero.txt"})
      EXPECT_EQ(ReadBytes(out / f), ReadBytes(dir.Path() / "src" / f)) << f;
    EXPECT_EQ(ReadBytes(out / "single.txt"), ReadBytes(dir.Path() / "src" / "single.txt"));
  }
}

TEST(ArchiveCommand, KeyLocksEveryEntry) {
  TempDir dir;
  MakeTree(dir.Path() / "src");
  const auto arc = (dir.Path() / "locked.arc").string();
  ASSERT_EQ(RunCommand({NolvoTool(), "archive", "create", arc,
                        (dir.Path() / "src" / "app").string(), "--key", "4711"})
                .exitCode,
            0);
  auto r = RunCommand({NolvoTool(), "list", "--json", arc});
  const auto listing = nlohmann::json::parse(r.out);
  for (const auto& e : listing["Archives"][0]["Entries"]) EXPECT_EQ(e["Locked"], true);

  r = RunCommand({NolvoTool(), "test", arc});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("app\\read me.txt"), std::string::npos) << r.err;
  r = RunCommand({NolvoTool(), "test", arc, "--key", "4711"});
  EXPECT_EQ(r.exitCode, 0) << r.err;

  // Without the key the first entry with data ends the run and leaves no partial file
  // (the empty entry before it has nothing to unlock).
  const fs::path out = dir.Path() / "out";
  r = RunCommand({NolvoTool(), "extract", arc, "-d", out.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("app\\read me.txt"), std::string::npos) << r.err;
  EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"app/empty.dat"}));
  fs::remove_all(out);
  r = RunCommand({NolvoTool(), "extract", arc, "-d", out.string(), "--key", "4711", "--flat"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FilesBelow(out),
            (std::vector<std::string>{"Caf\xC3\xA9.bin", "empty.dat", "read me.txt"}));
}

TEST(ArchiveCommand, CreateShowsControlCharactersOfStoredNamesEscaped) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> names = {
      {"a\x01z", "a\\x01z"}, {"tab\there", "tab\\x09here"}, {"q\"\x7f", "q\"\\x7f"}};
  std::vector<std::string> args = {NolvoTool(), "archive", "create",
                                   (dir.Path() / "x.arc").string()};
  for (const auto& [name, shown] : names) {
    WriteBytes(dir.Path() / name, std::string("data"));
    args.push_back((dir.Path() / name).string());
  }
  const auto r = RunCommand(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const auto& [name, shown] : names) {
    EXPECT_EQ(r.out.find(name), std::string::npos) << shown;
    EXPECT_NE(r.out.find(" " + shown + "\n"), std::string::npos) << r.out;
  }
}

TEST(ArchiveCommand, UsageAndDataErrors) {
  TempDir dir;
  WriteBytes(dir.Path() / "a.txt", std::string("abc"));
  const auto arc = (dir.Path() / "x.arc").string();
  EXPECT_EQ(RunCommand({NolvoTool(), "archive", "create", arc}).exitCode, 2);
  EXPECT_EQ(RunCommand({NolvoTool(), "archive", "create", arc, (dir.Path() / "a.txt").string(),
                        "--method", "zip"})
                .exitCode,
            2);
  EXPECT_EQ(RunCommand({NolvoTool(), "archive", "create", arc, (dir.Path() / "missing").string()})
                .exitCode,
            2);
  EXPECT_FALSE(fs::exists(arc));
  EXPECT_EQ(RunCommand({NolvoTool(), "list", (dir.Path() / "missing").string()}).exitCode, 2);
  EXPECT_EQ(RunCommand({NolvoTool(), "list", dir.Path().string()}).exitCode, 2);  // no disk.001

  // Not an archive: the header error, exit 1.
  WriteBytes(dir.Path() / "junk.arc", std::string(100, 'j'));
  const auto r = RunCommand({NolvoTool(), "list", (dir.Path() / "junk.arc").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(r.err.empty());

  // Two files that would get one stored name.
  fs::create_directories(dir.Path() / "b");
  WriteBytes(dir.Path() / "b" / "A.TXT", std::string("x"));
  EXPECT_EQ(RunCommand({NolvoTool(), "archive", "create", arc, (dir.Path() / "a.txt").string(),
                        (dir.Path() / "b" / "A.TXT").string()})
                .exitCode,
            2);
  // Nothing but the sources is left in the folder.
  EXPECT_EQ(FilesBelow(dir.Path()), (std::vector<std::string>{"a.txt", "b/A.TXT", "junk.arc"}));

  for (const char* cmd : {"list", "test", "extract"}) {
    const auto help = RunCommand({NolvoTool(), cmd, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos) << cmd;
  }
}

}  // namespace
}  // namespace nolvo::test
