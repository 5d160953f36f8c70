// What the tool reports when its standard output cannot take what it prints.

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

TEST(OutputErrors, AFullStandardOutputFailsTheCommand) {
  TempDir dir;
  const std::string demo = (SourceDir() / "examples/demo").string();
  const std::string media = (dir.Path() / "media").string();
  ASSERT_EQ(RunCommand({NolvoTool(), "pack", demo, "-o", media, "-q"}).exitCode, 0);

  struct Case {
    std::vector<std::string> args;
    int exitCode;  // with standard output on /dev/full
  };
  const Case cases[] = {
      {{"check", demo}, 1}, {{"check", "--json", demo}, 1},
      {{"list", media}, 1}, {{"list", "--json", media}, 1},
      {{"test", media}, 1}, {{"test", "-q", media}, 0},  // prints nothing
      {{"--version"}, 1},   {{"list", "--help"}, 1},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv{NolvoTool()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const std::string shown = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
    EXPECT_EQ(RunCommand(argv, {}, "/dev/null").exitCode, 0) << shown;
    const auto full = RunCommand(argv, {}, "/dev/full");
    EXPECT_EQ(full.exitCode, c.exitCode) << shown;
    EXPECT_EQ(full.err.empty(), c.exitCode == 0) << shown << ": " << full.err;
  }
}

}  // namespace
}  // namespace nolvo::test
