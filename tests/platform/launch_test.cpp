#include "platform/launch.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/host_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;

// Waits up to five seconds for a started program to finish writing `file` (it renames
// its output into place when done).
bool WaitForFile(const fs::path& file) {
  for (int i = 0; i < 500; ++i) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A host program that writes its folder, its arguments (one a line) and WINEPREFIX to
// `out`.
void WriteRecorder(const fs::path& script, const fs::path& out) {
  test::WriteBytes(script,
                   "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; "
                   "echo \"prefix=$WINEPREFIX\"; } > '" +
                       out.string() +
                       ".tmp'\n"
                       "/bin/mv '" +
                       out.string() + ".tmp' '" + out.string() + "'\n");
  fs::permissions(script, fs::perms::owner_all);
}

TEST(Launch, TheLaunchLogRecordsRequestsAndStartsNothing) {
  test::TempDir dir;
  const auto log = dir.Path() / "launch.log";
  const auto program = dir.Path() / "app.sh";
  WriteRecorder(program, dir.Path() / "ran");
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", log.string());

  LaunchRequest request{program, "-x \"a b\"", dir.Path(), 5, {}, "C:\\Apps\\app.sh", "C:\\Apps"};
  EXPECT_EQ(LaunchHostFile(request), LaunchCode::kStarted);
  request.display_file.clear();
  request.display_dir.clear();
  request.parameters = "tab\there";
  EXPECT_EQ(LaunchHostFile(request), LaunchCode::kStarted);
  EXPECT_EQ(test::ReadText(log), "C:\\Apps\\app.sh\t-x \"a b\"\tC:\\Apps\t5\n" + program.string() +
                                     "\ttab?here\t" + dir.Path().string() + "\t5\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(fs::exists(dir.Path() / "ran"));

  // A missing file is still reported as such and not recorded.
  request.file = dir.Path() / "missing.exe";
  EXPECT_EQ(LaunchHostFile(request), LaunchCode::kFileNotFound);
  // A log that cannot be written fails the launch.
  test::ScopedEnv bad("NOLVO_LAUNCH_LOG", (dir.Path() / "no" / "log").string());
  request.file = program;
  EXPECT_EQ(LaunchHostFile(request), LaunchCode::kAccessDenied);
}

TEST(Launch, MissingFilesAndFoldersGiveTheShellsCodes) {
  test::TempDir dir;
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", std::nullopt);
  EXPECT_EQ(LaunchHostFile({dir.Path() / "nothing.exe", "", {}, 5, {}, {}, {}}),
            LaunchCode::kFileNotFound);
  EXPECT_EQ(LaunchHostFile({dir.Path() / "a" / "b.txt", "", {}, 5, {}, {}, {}}),
            LaunchCode::kFileNotFound);
  test::WriteBytes(dir.Path() / "f.txt", std::string("x"));
  EXPECT_EQ(LaunchHostFile({dir.Path() / "f.txt", "", dir.Path() / "gone", 5, {}, {}, {}}),
            LaunchCode::kPathNotFound);
}

TEST(Launch, AHostProgramRunsDetachedInItsFolderWithSplitArguments) {
  test::TempDir dir;
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", std::nullopt);
  const auto program = dir.Path() / "app.sh";
  const auto out = dir.Path() / "ran";
  WriteRecorder(program, out);
  fs::create_directory(dir.Path() / "work");

  // The program first waits until the test lets it go: a launch that waited for it would
  // never return.
  const auto go = dir.Path() / "go";
  const std::string text = test::ReadText(program);
  test::WriteBytes(program, "#!/bin/sh\nwhile [ ! -e '" + go.string() +
                                "' ]; do sleep 0.01; done\n" + text.substr(text.find('\n') + 1));
  ASSERT_EQ(
      LaunchHostFile({program, "one \"two three\" a\\\"b", dir.Path() / "work", 5, {}, {}, {}}),
      LaunchCode::kStarted);
  test::WriteBytes(go, std::string());
  ASSERT_TRUE(WaitForFile(out));
  EXPECT_EQ(test::ReadText(out),
            (dir.Path() / "work").string() + "\n[one]\n[two three]\n[a\"b]\nprefix=\n");
  // Nothing is left for this process to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// Without Wine or an opener on PATH nothing can open the file; with them (here: small
// host programs of those names that record how they were called) the file goes to them.
TEST(Launch, WindowsProgramsGoThroughWineAndOtherFilesThroughTheOpener) {
  test::TempDir dir;
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", std::nullopt);
  const auto bin = dir.Path() / "bin";
  fs::create_directory(bin);
  test::ScopedEnv path("PATH", bin.string());
  const auto exe = dir.Path() / "Setup.EXE";
  const auto doc = dir.Path() / "readme.txt";
  test::WriteBytes(exe, std::string("MZ"));
  test::WriteBytes(doc, std::string("text"));
  EXPECT_EQ(LaunchHostFile({exe, "", {}, 5, dir.Path() / "prefix", {}, {}}),
            LaunchCode::kNoAssociation);
  EXPECT_EQ(LaunchHostFile({doc, "", {}, 5, {}, {}, {}}), LaunchCode::kNoAssociation);

  WriteRecorder(bin / "wine", dir.Path() / "wine.out");
  WriteRecorder(bin / "xdg-open", dir.Path() / "open.out");
  ASSERT_EQ(LaunchHostFile({exe, "/S x", dir.Path(), 5, dir.Path() / "prefix", {}, {}}),
            LaunchCode::kStarted);
  ASSERT_TRUE(WaitForFile(dir.Path() / "wine.out"));
  EXPECT_EQ(test::ReadText(dir.Path() / "wine.out"),
            dir.Path().string() + "\n[" + exe.string() +
                "]\n[/S]\n[x]\nprefix=" + (dir.Path() / "prefix").string() + "\n");
  ASSERT_EQ(LaunchHostFile({doc, "ignored", dir.Path(), 5, {}, {}, {}}), LaunchCode::kStarted);
  ASSERT_TRUE(WaitForFile(dir.Path() / "open.out"));
  EXPECT_EQ(test::ReadText(dir.Path() / "open.out"),
            dir.Path().string() + "\n[" + doc.string() + "]\nprefix=\n");
}

TEST(HostProcess, CommandLinesSplitByTheCRuntimeRules) {
  const std::pair<std::string_view, std::vector<std::string>> cases[] = {
      {"", {}},
      {"  a  b\tc ", {"a", "b", "c"}},
      {"\"C:\\Program Files\\x\" /S", {"C:\\Program Files\\x", "/S"}},
      {"a\\\\\\b", {"a\\\\\\b"}},    // backslashes not before a quote stay
      {"a\\\\\"b c\"", {"a\\b c"}},  // 2n backslashes + quote: n and a group
      {"a\\\\\\\"b", {"a\\\"b"}},    // 2n+1: n and a literal quote
      {"\"a\"\"b\"", {"a\"b"}},      // "" inside quotes
      {"\"\"", {""}},                // an empty quoted argument
      {"\"open", {"open"}},          // unterminated quote runs to the end
      {"x\\", {"x\\"}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(SplitCommandLine(text), expected) << text;
}

}  // namespace
}  // namespace nolvo::platform
