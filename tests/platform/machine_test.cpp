#include "platform/machine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/file_ops.h"
#include "platform/prefix_lock.h"
#include "platform/win_error.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_machine.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::TestMachine;
using test::WriteBytes;

TEST(MachineTest, NewPrefixHasWineLayout) {
  TempDir dir;
  Machine m(dir.Path() / "p", CodePage());
  EXPECT_EQ(m.Prefix(), dir.Path() / "p");
  EXPECT_EQ(fs::read_symlink(dir.Path() / "p/dosdevices/c:"), "../drive_c");
  EXPECT_EQ(fs::read_symlink(dir.Path() / "p/dosdevices/z:"), "/");
  EXPECT_TRUE(fs::is_directory(dir.Path() / "p/drive_c"));
  EXPECT_EQ(m.RegistryFile(), dir.Path() / "p/registry.reg");
  EXPECT_EQ(m.LockFile(), dir.Path() / "p/nolvo.lock");
  EXPECT_EQ(*m.DriveRoot('c'), fs::canonical(dir.Path() / "p/drive_c"));
  EXPECT_EQ(*m.DriveRoot('Z'), fs::path("/"));
  EXPECT_FALSE(m.DriveRoot('Q'));
}

TEST(MachineTest, MissingPartsAreCompletedAndAWinePrefixIsAcceptedAsItIs) {
  TempDir dir;
  const fs::path wine = dir.Path() / "wine";
  fs::create_directories(wine / "dosdevices");
  fs::create_directories(dir.Path() / "elsewhere/windows");
  fs::create_directory_symlink(dir.Path() / "elsewhere", wine / "dosdevices/c:");
  Machine m(wine, CodePage());
  EXPECT_EQ(fs::read_symlink(wine / "dosdevices/c:"), dir.Path() / "elsewhere");
  EXPECT_FALSE(fs::exists(wine / "drive_c"));
  // Z: (the host's root) is made only in a new prefix: one removed from a prefix stays away.
  EXPECT_FALSE(fs::exists(fs::symlink_status(wine / "dosdevices/z:")));
  // C:\WINDOWS resolves onto Wine's lower-case folder instead of making a second one.
  EXPECT_EQ(m.WindowsDirectory(), "C:\\WINDOWS");
  EXPECT_FALSE(fs::exists(dir.Path() / "elsewhere/WINDOWS"));

  fs::remove_all(dir.Path() / "p2/drive_c");
  fs::create_directories(dir.Path() / "p2/dosdevices");
  fs::create_directory_symlink("../drive_c", dir.Path() / "p2/dosdevices/c:");
  Machine m2(dir.Path() / "p2", CodePage());
  EXPECT_TRUE(fs::is_directory(dir.Path() / "p2/drive_c"));
}

TEST(MachineTest, UnusablePrefixGivesOneErrorNamingTheFolder) {
  TempDir dir;
  WriteBytes(dir.Path() / "file", "x");
  const fs::path bad = dir.Path() / "file/prefix";
  try {
    Machine m(bad, CodePage());
    FAIL() << "no error";
  } catch (const EPrefixError& e) {
    EXPECT_NE(std::string(e.what()).find(bad.string()), std::string::npos) << e.what();
  }
  // A prefix whose dosdevices is a plain file cannot be completed either.
  fs::create_directories(dir.Path() / "q");
  WriteBytes(dir.Path() / "q/dosdevices", "x");
  EXPECT_THROW(Machine(dir.Path() / "q", CodePage()), EPrefixError);
  EXPECT_THROW(Machine("", CodePage()), EPrefixError);
}

TEST(MachineTest, DefaultPrefixFollowsTheEnvironment) {
  ::setenv("NOLVO_PREFIX", "/srv/nolvo", 1);
  EXPECT_EQ(Machine::DefaultPrefix(), fs::path("/srv/nolvo"));
  ::unsetenv("NOLVO_PREFIX");
  ::setenv("XDG_DATA_HOME", "/data", 1);
  EXPECT_EQ(Machine::DefaultPrefix(), fs::path("/data/nolvo/prefix"));
  ::setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(Machine::DefaultPrefix(), fs::path("/home/u/.local/share/nolvo/prefix"));
  ::unsetenv("XDG_DATA_HOME");
}

TEST(MachineTest, SecondSetupLockIsRefusedUntilTheFirstEnds) {
  TestMachine tm;
  {
    PrefixLock first(tm.Machine());
    try {
      PrefixLock second(tm.Machine());
      FAIL() << "second lock taken";
    } catch (const EPrefixLocked& e) {
      EXPECT_EQ(std::string(e.what()),
                "another setup is running on prefix " + tm.Machine().Prefix().string());
    }
  }
  EXPECT_NO_THROW(PrefixLock again(tm.Machine()));
}

TEST(MachineTest, AnotherProcessIsRefusedTheLockToo) {
  TempDir dir;
  ::setenv("NOLVO_PREFIX", (dir.Path() / "env-prefix").c_str(), 1);
  Machine m = Machine::FromEnvironment();
  ::unsetenv("NOLVO_PREFIX");
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "env-prefix/dosdevices/c:"));
  PrefixLock held(m);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child opens the lock file anew, as a second setup program would.
    int code = 1;
    try {
      PrefixLock mine(m);
    } catch (const EPrefixLocked&) {
      code = 42;
    } catch (...) {
      code = 2;
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 42);
}

TEST(MachineTest, ResolvesCaseInsensitivelyExactNameFirst) {
  TestMachine tm;
  const Machine& m = tm.Machine();
  fs::create_directories(tm.DriveC() / "Program Files/Tool");
  WriteBytes(tm.DriveC() / "Program Files/Tool/README", "1");
  WriteBytes(tm.DriveC() / "Program Files/Tool/ReadMe", "2");
  WriteBytes(tm.DriveC() / "Program Files/Tool/readme", "3");

  ResolvedPath r = m.Resolve("c:\\PROGRAM FILES\\tool\\ReadMe");
  ASSERT_EQ(r.error, kErrorSuccess);
  EXPECT_TRUE(r.exists);
  EXPECT_EQ(r.host, fs::canonical(tm.DriveC()) / "Program Files/Tool/ReadMe");
  // No exact match: the lowest byte order wins ("README" < "ReadMe" < "readme").
  r = m.Resolve("C:\\program files\\TOOL\\rEaDmE");
  EXPECT_EQ(r.host.filename(), "README");
  EXPECT_EQ(r.full, "C:\\program files\\TOOL\\rEaDmE");

  // A new last component keeps the case given; a missing middle one is path-not-found.
  r = m.Resolve("C:\\PROGRAM FILES\\NewName.TXT");
  EXPECT_EQ(r.error, kErrorSuccess);
  EXPECT_FALSE(r.exists);
  EXPECT_EQ(r.host, fs::canonical(tm.DriveC()) / "Program Files/NewName.TXT");
  EXPECT_EQ(m.Resolve("C:\\nowhere\\x").error, kErrorPathNotFound);
  EXPECT_EQ(m.Resolve("C:\\Program Files\\Tool\\README\\x").error, kErrorPathNotFound);
  EXPECT_EQ(m.Resolve("Q:\\x").error, kErrorPathNotFound);
  EXPECT_EQ(m.Resolve("C:\\a|b").error, kErrorInvalidName);
  EXPECT_EQ(m.Resolve("C:\\a*").error, kErrorInvalidName);
  EXPECT_EQ(m.Resolve("\\\\server\\share\\f").error, kErrorBadPathname);
}

TEST(MachineTest, TheNameIndexOfAFolderFollowsEveryChange) {
  TestMachine tm;
  Machine& m = tm.Machine();
  const fs::path d = tm.DriveC() / "D";
  fs::create_directories(d);
  auto age = [&] {  // an old time, so that any change shows in the folder's time
    const timespec old[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, d.c_str(), old, 0), 0);
  };
  age();
  EXPECT_FALSE(m.Resolve("C:\\D\\readme.txt").exists);
  WriteBytes(d / "README.TXT", std::string("x"));  // behind the machine's back
  EXPECT_EQ(m.Resolve("C:\\D\\readme.txt").host.filename(), "README.TXT");
  // Gone and made again in another case while the folder's time stays: still found.
  struct stat before {};
  ASSERT_EQ(::stat(d.c_str(), &before), 0);
  fs::remove(d / "README.TXT");
  WriteBytes(d / "ReadMe.txt", std::string("y"));
  const timespec same[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, d.c_str(), same, 0), 0);
  EXPECT_EQ(m.Resolve("C:\\D\\readme.txt").host.filename(), "ReadMe.txt");
  // What the machine makes itself is known without a new scan, and found in any case.
  WinError error;
  ASSERT_TRUE(CreateFileAlways(m, "C:\\D\\New.bin", error));
  ASSERT_TRUE(CreateDirectory(m, "C:\\D\\Sub").ok());
  EXPECT_EQ(m.Resolve("C:\\D\\NEW.BIN").host.filename(), "New.bin");
  EXPECT_EQ(CreateDirectory(m, "C:\\D\\SUB"), kErrorAlreadyExists);
  EXPECT_FALSE(m.Resolve("C:\\D\\other.bin").exists);
}

TEST(MachineTest, NonAsciiNamesAreUtf8OnTheHostAndBytesOnWindowsSide) {
  TestMachine tm;
  const Machine& m = tm.Machine();
  const std::string cafe = "C:\\Caf\xE9";  // cp1252
  const ResolvedPath r = m.Resolve(cafe);
  EXPECT_EQ(r.host.filename().string(), "Caf\xC3\xA9");
  fs::create_directory(r.host);
  EXPECT_TRUE(m.Resolve("c:\\CAF\xE9").exists);  // ASCII letters fold, é stays
  EXPECT_EQ(m.ToWindows(r.host), cafe);

  TempDir dir;
  Machine cyr(dir.Path() / "p", CodePage("1251"));
  const ResolvedPath c = cyr.Resolve("C:\\\xCF\xF0\xE8\xEC\xE5\xF0");  // "Пример"
  EXPECT_EQ(c.host.filename().string(), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80");
}

TEST(MachineTest, HostPathsMapBackToTheDeepestDrive) {
  TestMachine tm;
  Machine& m = tm.Machine();
  fs::create_directories(tm.Root() / "floppy/SETUP");
  ASSERT_EQ(m.MapDrive('a', tm.Root() / "floppy"), kErrorSuccess);
  EXPECT_EQ(m.ToWindows(tm.DriveC() / "WINDOWS/Temp"), "C:\\WINDOWS\\Temp");
  EXPECT_EQ(m.ToWindows(tm.DriveC()), "C:\\");
  EXPECT_EQ(m.ToWindows(tm.Root() / "floppy/SETUP"), "A:\\SETUP");
  EXPECT_EQ(m.ToWindows("/usr/share"), "Z:\\usr\\share");
  EXPECT_EQ(m.ToWindows("/"), "Z:\\");
  EXPECT_EQ(m.Resolve("a:\\setup").host, fs::canonical(tm.Root() / "floppy/SETUP"));
}

TEST(MachineTest, OnlyTheDrivesInsideThePrefixAreItsOwn) {
  TestMachine tm;
  Machine& m = tm.Machine();
  EXPECT_TRUE(m.IsOnPrefixDrive("C:\\WINDOWS\\x.ini"));
  EXPECT_TRUE(m.IsOnPrefixDrive("C:\\missing\\deeper\\file"));
  EXPECT_TRUE(m.IsOnPrefixDrive("C:\\..\\..\\..\\etc"));  // cannot climb out of C:
  EXPECT_FALSE(m.IsOnPrefixDrive("Z:\\etc\\passwd"));
  EXPECT_FALSE(m.IsOnPrefixDrive("Q:\\x"));
  EXPECT_FALSE(m.IsOnPrefixDrive("\\\\server\\share"));
  fs::create_directories(tm.Machine().Prefix() / "drive_d");
  EXPECT_TRUE(m.MapDrive('D', m.Prefix() / "drive_d").ok());
  EXPECT_TRUE(m.IsOnPrefixDrive("D:\\x"));
  // A link inside C: that leads out of the prefix does not count as C:.
  fs::create_directory_symlink("/tmp", tm.DriveC() / "out");
  EXPECT_FALSE(m.IsOnPrefixDrive("C:\\out"));
  EXPECT_FALSE(m.IsOnPrefixDrive("C:\\OUT\\not-yet-there"));
}

TEST(MachineTest, CurrentDirectoryKeepsTheCallersSpellingPerDrive) {
  TestMachine tm;
  Machine& m = tm.Machine();
  fs::create_directories(tm.DriveC() / "FS/sub");
  fs::create_directories(tm.Root() / "floppy");
  EXPECT_TRUE(m.MapDrive('A', tm.Root() / "floppy").ok());

  ASSERT_EQ(m.SetCurrentDirectory("c:\\fs\\SUB\\"), kErrorSuccess);
  EXPECT_EQ(m.GetCurrentDirectory(), "c:\\fs\\SUB");
  EXPECT_EQ(m.CurrentHostDirectory(), fs::canonical(tm.DriveC() / "FS/sub"));
  ASSERT_EQ(m.SetCurrentDirectory("A:\\"), kErrorSuccess);
  EXPECT_EQ(m.GetCurrentDirectory(), "A:\\");
  std::string full;
  EXPECT_TRUE(m.FullPath("C:file", full).ok());
  EXPECT_EQ(full, "c:\\fs\\SUB\\file");  // C: remembers its own directory
  EXPECT_TRUE(m.FullPath("disk.002", full).ok());
  EXPECT_EQ(full, "A:\\disk.002");

  EXPECT_EQ(m.SetCurrentDirectory("C:\\FS\\missing"), kErrorFileNotFound);
  EXPECT_EQ(m.SetCurrentDirectory("C:\\nope\\missing"), kErrorPathNotFound);
  WriteBytes(tm.DriveC() / "FS/file", "x");
  EXPECT_EQ(m.SetCurrentDirectory("C:\\FS\\file"), kErrorDirectory);
  EXPECT_EQ(m.GetCurrentDirectory(), "A:\\");
}

TEST(MachineTest, StartsInTheHostWorkingDirectory) {
  TempDir dir;
  const fs::path old = fs::current_path();
  fs::current_path(dir.Path());
  Machine m(dir.Path() / "p", CodePage());
  fs::current_path(old);
  EXPECT_EQ(m.GetCurrentDirectory(), m.ToWindows(dir.Path()));
  EXPECT_EQ(m.GetCurrentDirectory().substr(0, 3), "Z:\\");
}

TEST(MachineTest, WindowsDirectoryIsCreatedOnFirstUse) {
  TestMachine tm;
  EXPECT_FALSE(fs::exists(tm.DriveC() / "windows"));
  EXPECT_EQ(tm.Machine().WindowsDirectory(), "C:\\WINDOWS");
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "windows"));
}

}  // namespace
}  // namespace nolvo::platform
