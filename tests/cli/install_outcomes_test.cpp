// `nolvo install` when things go wrong: Ctrl+C (SIGTERM) and kill -9 in the middle of a
// run, a missing segment, a staging folder that is no staging folder, an installation
// directory that comes out as a drive root, and the options that keep files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;

class InstallOutcomes : public ::testing::Test {
 protected:
  // A product of `count` files in C:\Big (stored, one segment per 256 KB) with `cfg`'s
  // [Setup - Main] lines first.
  void Pack(int count, const std::string& main = "Install Dir=Big\r\n") {
    const fs::path product = dir_.Path() / "product";
    fs::create_directories(product);
    std::string cfg = "[Setup - Main]\r\nFolder=\r\nShow Re-Boot=0\r\n" + main +
                      "[Directories]\r\nd=<INSTALLDIR>~\r\n[Files]\r\n";
    for (int i = 0; i < count; ++i) {
      const std::string name = "file" + std::to_string(i) + ".dat";
      WriteBytes(product / name, std::string(20000 + i, static_cast<char>('a' + i % 26)));
      cfg += std::to_string(i) + "=" + name + "~<INSTALLDIR>\r\n";
    }
    WriteBytes(product / "install.cfg", cfg);
    const auto packed = RunCommand({NolvoTool(), "pack", product.string(), "-o", media_.string(),
                                    "--method", "none", "--segment-size", "262144", "-q"});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
  }
  std::vector<std::string> Install(std::vector<std::string> extra) const {
    std::vector<std::string> argv = {NolvoTool(), "install",        media_.string(),
                                     "--prefix",  prefix_.string(), "--unattended"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
  }
  // How many product files the record lists as created.
  int Recorded() const {
    std::ifstream in(Big() / "uninstall.cfg");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int listed = 0;
    for (std::size_t at = 0; (at = text.find("\\file", at)) != std::string::npos; ++at) ++listed;
    return listed;
  }
  // How many files the extraction has put into the temporary folder.
  int Extracted() const {
    std::error_code ec;
    int count = 0;
    for (auto it = fs::directory_iterator(prefix_ / "drive_c" / "windows" / "Temp" / "q", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
      ++count;
    return count;
  }
  // Starts an unattended install, waits until `ready` says so, sends `signal` and waits for
  // the end. Returns the exit status and standard error.
  std::pair<int, std::string> InstallAndSignal(int signal, const std::function<bool()>& ready) {
    const fs::path err = dir_.Path() / "err.txt";
    const auto argv = Install({});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!ready() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadText(err)};
  }
  fs::path Big() const { return prefix_ / "drive_c" / "Big"; }
  std::vector<std::string> Left() const {
    std::vector<std::string> names;
    if (fs::exists(Big()))
      for (const auto& e : fs::directory_iterator(Big()))
        names.push_back(e.path().filename().string());
    return names;
  }

  TempDir dir_;
  fs::path media_ = dir_.Path() / "media";
  fs::path prefix_ = dir_.Path() / "prefix";
};

TEST_F(InstallOutcomes, TerminationStopsCleansUpAndNamesTheUninstallCommand) {
  Pack(1500);
  const auto [code, err] = InstallAndSignal(SIGTERM, [this] { return Recorded() >= 20; });
  ASSERT_EQ(code, 3) << err;
  EXPECT_NE(err.find("nolvo install: interrupted"), std::string::npos) << err;
  const std::string marker = "nolvo uninstall --prefix '" + prefix_.string() + "' '";
  const auto at = err.find(marker);
  ASSERT_NE(at, std::string::npos) << err;
  EXPECT_FALSE(fs::exists(prefix_ / "drive_c" / "windows" / "Temp" / "q"));
  for (const auto& name : Left()) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  EXPECT_LT(Left().size(), 1500u);
  // The printed command removes the half installation.
  const std::string record =
      err.substr(at + marker.size(), err.find('\'', at + marker.size()) - at - marker.size());
  const auto u = RunCommand({NolvoTool(), "uninstall", "--prefix", prefix_.string(), record});
  EXPECT_EQ(u.exitCode, 0) << u.err << u.out;
  EXPECT_FALSE(fs::exists(Big()));
}

TEST_F(InstallOutcomes, AfterKillNineTheUninstallRemovesEveryFinishedFile) {
  Pack(1500);
  const auto [code, err] = InstallAndSignal(SIGKILL, [this] { return Recorded() >= 20; });
  ASSERT_EQ(code, 128 + SIGKILL) << err;
  const auto u = RunCommand(
      {NolvoTool(), "uninstall", "--prefix", prefix_.string(), (Big() / "uninstall.cfg").string()});
  EXPECT_EQ(u.exitCode, 0) << u.err << u.out;
  // At most the file in flight stays (it had its name, not yet its line).
  EXPECT_LE(Left().size(), 1u);
  for (const auto& name : Left()) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
}

TEST_F(InstallOutcomes, AnInterruptedExtractionLeavesNothing) {
  Pack(1500);
  const auto [code, err] = InstallAndSignal(SIGINT, [this] { return Extracted() >= 50; });
  ASSERT_EQ(code, 3) << err;
  EXPECT_NE(err.find("nothing was installed"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(Big()));
  EXPECT_FALSE(fs::exists(prefix_ / "drive_c" / "windows" / "Temp" / "q"));
  for (const auto& e : fs::directory_iterator(prefix_ / "drive_c" / "windows" / "Temp"))
    ADD_FAILURE() << "left in the temporary folder: " << e.path();
}

TEST_F(InstallOutcomes, AMissingSegmentIsNamedAndIsAFailure) {
  Pack(40);
  ASSERT_TRUE(fs::exists(media_ / "disk.003"));
  fs::remove(media_ / "disk.003");
  // Without the digest lists: the media list would name the missing file before anything
  // is read.
  fs::remove(media_ / "nolvo-media.sha256");
  fs::remove(media_ / "nolvo-entries.digests");
  const auto r = RunCommand(Install({}));
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("segment "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("disk.003"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("aborted by user"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Big()));
}

TEST_F(InstallOutcomes, AStagingFolderThatIsNoneIsRefused) {
  Pack(2);
  const fs::path home = dir_.Path() / "home";
  fs::create_directories(home);
  WriteBytes(home / "install.cfg", std::string("the user's own"));
  auto r = RunCommand(Install({"--staging", home.string()}), {{"HOME", home.string()}});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("is a home folder; nothing was deleted"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(home / "install.cfg"));
  EXPECT_FALSE(fs::exists(Big()));
  r = RunCommand(Install({"--staging", prefix_.string()}));
  EXPECT_EQ(r.exitCode, 2) << r.err;
}

TEST_F(InstallOutcomes, ADriveRootAsInstallationDirectoryNeedsDir) {
  Pack(2, "Install Dir=\r\n");
  auto r = RunCommand(Install({}));
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(
      r.err.find("comes out as the drive root C:\\; name the installation directory with --dir"),
      std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(prefix_ / "drive_c" / "file0.dat"));
  r = RunCommand(Install({"--dir", "C:\\"}));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(prefix_ / "drive_c" / "file0.dat"));
}

TEST_F(InstallOutcomes, AUncInstallationDirectoryIsAWindowsPathNotAHostName) {
  Pack(2);
  const auto r = RunCommand(Install({"--dir", "\\\\server\\share\\x"}));
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("\\\\server\\share\\x"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("is not a path on a drive"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Big()));
}

TEST_F(InstallOutcomes, KeepExistingKeepsEveryExistingFile) {
  Pack(2);
  fs::create_directories(Big());
  WriteBytes(Big() / "file0.dat", std::string("the user's"));
  const fs::path log = dir_.Path() / "install.log";
  auto r = RunCommand(Install({"--keep-existing", "--log", log.string()}));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadText(Big() / "file0.dat"), "the user's");
  EXPECT_NE(ReadText(log).find("file0.dat: skipped (kept: existing files are kept)"),
            std::string::npos);
  EXPECT_EQ(RunCommand(Install({"--keep-existing", "--overwrite", "yes"})).exitCode, 2);
  // A log that cannot be written fails the run that lost it.
  r = RunCommand(Install({"--keep-existing", "--log", "/dev/full"}));
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("could not write the log /dev/full"), std::string::npos) << r.err;
  const auto help = RunCommand({NolvoTool(), "install", "--help"});
  for (const char* said :
       {"--keep-existing", "--run-follow-on", "product decides which", "files ask"})
    EXPECT_NE(help.out.find(said), std::string::npos) << said;
}

}  // namespace
}  // namespace nolvo::test
