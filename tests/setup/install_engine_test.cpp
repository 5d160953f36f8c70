#include "setup/install_engine.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>

#include "platform/file_attributes.h"
#include "platform/profile_file.h"
#include "setup/created_files.h"
#include "setup/directory_tokens.h"
#include "tests/setup/engine_fixture.h"
#include "tests/support/scoped_env.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;
using platform::DialogResult;

TEST(DirectoryTokens, EveryRowOfTheExpansionTable) {
  TokenContext c{"C:\\WINDOWS", "C:\\", "C:\\Apps\\Tool", "C:\\Apps\\Tool"};
  const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
      {"<WINDOWS>", "Fonts", "C:\\WINDOWS"},
      {"<windows_system>", "x", "C:\\WINDOWS\\System"},
      {"<PROGRAMFILES>", "x", "C:\\Program Files"},
      {"<InstallDir>", "x", "C:\\Apps\\Tool"},
      {"<SUB2><WINDOWS>", "Fonts", "C:\\WINDOWS\\Fonts"},
      {"<SUB1><PROGRAMFILES>", "Common", "C:\\Program Files\\Common"},
      {"<SUB1><WINDOWS_SYSTEM>", "Drv", "C:\\WINDOWS\\System\\Drv"},
      {"<SUB1><INSTALLDIR>", "Bin", "C:\\Apps\\Tool\\Bin"},
      {"<SUB1><OTHER>", "D:\\Elsewhere", "D:\\Elsewhere"},
      {"<SUB1>", "Data", "C:\\Apps\\Tool\\Data"},
      {"<OTHER>", "Tools", "C:\\Tools"},
      {"<ALT1>", "Shared", "C:\\Shared"},
      {"<ALT1><WINDOWS>", "Shared", "C:\\Shared"},
  };
  for (const auto& [token, path, expected] : rows)
    EXPECT_EQ(ExpandDirectoryToken(token, path, c), expected) << token;
  // A compound with <SUB and <WINDOWS_SYSTEM> only: "<WINDOWS>" is not inside it.
  EXPECT_EQ(ExpandDirectoryToken("<SUB3><WINDOWS_SYSTEM>", "a", c), "C:\\WINDOWS\\System\\a");
}

TEST(DirectoryTokens, LaunchProgramRewriting) {
  std::string p = "<INSTALLDIR>bin\\app.exe";
  EXPECT_FALSE(RewriteLaunchProgram(p, "<WINDOWS>", "C:\\WINDOWS"));
  EXPECT_TRUE(RewriteLaunchProgram(p, "<INSTALLDIR>", "C:\\Program Files\\App"));
  EXPECT_EQ(p, "C:\\Program Files\\App\\bin\\app.exe");
  EXPECT_EQ(FileNamePart(p), "app.exe");
  EXPECT_EQ(DirectoryPart(p), "C:\\Program Files\\App\\bin\\");
  std::string lower = "<installdir>x.exe";
  EXPECT_TRUE(RewriteLaunchProgram(lower, "<INSTALLDIR>", "D:\\A"));
  EXPECT_EQ(lower, "D:\\A\\x.exe");
}

class InstallEngineTest : public EngineFixture {
 protected:
  void FullConfiguration() {
    settings.DirectoryList = {"<SUB1>~Data", "<INSTALLDIR>~x", "<WINDOWS>~Fonts"};
    settings.FileList = {"app.exe~<INSTALLDIR>~", "dist\\data.dat~<SUB1>~", "a.dll~<INSTALLDIR>~",
                         "data.dll~<WINDOWS>~", "lost.exe~<NOWHERE>~"};
    settings.WorkStationList = {"net.exe~<NOWHERE>"};
    settings.DesktopList = {"Editor~<INSTALLDIR>app.exe~X~~<INSTALLDIR>app.ico~Tools"};
    settings.IniFileName = "mytool.ini";
    settings.IniSetupList = {"Paths~Home~<INSTALLDIR>", "Paths~Data~<SUB1>files"};
    desktopOffered = {"Editor"};
    for (const char* f : {"app.exe", "data.dat", "a.dll", "data.dll", "lost.exe"}) PutTemp(f, f);
  }
  // Puts in the place of a file the setup writes what no setup may write: a folder, a
  // read-only file of the user's or a pipe.
  enum class InPlace { ipNothing, ipFolder, ipReadOnlyFile, ipPipe };
  void PutInPlace(InPlace what, const std::string& path) {
    fs::remove_all(Host(path));
    fs::create_directories(Host(path).parent_path());
    if (what == InPlace::ipFolder) fs::create_directories(Host(path));
    if (what == InPlace::ipPipe) {
      ASSERT_EQ(::mkfifo(Host(path).c_str(), 0666), 0);
    }
    if (what == InPlace::ipReadOnlyFile) {
      test::WriteBytes(Host(path), std::string("[Mine]\r\na=1\r\n"));
      ASSERT_TRUE(
          platform::SetFileAttributes(tm.Machine(), path, platform::kFileAttributeReadonly).ok());
    }
  }
};

TEST_F(InstallEngineTest, FullInstallationGroupsByDirectoryAndRecordsEverything) {
  FullConfiguration();
  const EngineResult r = Install();
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  // The one entry whose token nothing binds is named, and the run is no full success.
  EXPECT_EQ(r.unusable, (std::vector<std::string>{
                            "[Files] \"lost.exe~<NOWHERE>\": the token <NOWHERE> is bound by no "
                            "[Directories] entry; not used"}));
  EXPECT_FALSE(r.FullSuccess());
  EXPECT_EQ(r.installDirectory, "C:\\Apps\\Tool");
  EXPECT_EQ(wizard->End(), WizardEnd::weInstalled);
  EXPECT_TRUE(wizard->Controls().ShrunkToStatus);
  EXPECT_EQ(wizard->Controls().ProgressMax, 5 + 1 + 2 + 1);
  EXPECT_EQ(wizard->Controls().ProgressPosition, 4 + 1 + 2);
  EXPECT_EQ(wizard->Controls().SourceText, "Adding Items to Registry");

  EXPECT_EQ(Read("C:\\Apps\\Tool\\install.exe"), "setup program");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\install.cfg"), "[Setup - Main]\r\n");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\app.exe"), "app.exe");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\Data\\data.dat"), "data.dat");  // <SUB1> listed first
  EXPECT_EQ(Read("C:\\WINDOWS\\data.dll"), "data.dll");
  EXPECT_FALSE(Exists("C:\\Lost.exe"));
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\lost.exe"));
  // Temporary copies: a.dll stays because "data.dll" holds its name; lost.exe was never
  // used; the others are gone.
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Temp\\q\\a.dll"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Temp\\q\\lost.exe"));
  for (const char* gone : {"app.exe", "data.dat", "data.dll"})
    EXPECT_FALSE(Exists(std::string("C:\\WINDOWS\\Temp\\q\\") + gone)) << gone;

  EXPECT_EQ(SystemSections("C:\\Apps\\Tool\\uninstall.cfg"),
            "[Program]\r\nTitle=My Tool\r\n"
            "[UNINS]\r\n"
            "C:\\Apps\\Tool\\*.*=\r\n"
            "C:\\Apps\\Tool\\Setup\\*.*=\r\n"
            "C:\\Apps\\Tool\\Data\\data.dat=\r\n"
            "C:\\Apps\\Tool\\app.exe=\r\n"
            "C:\\Apps\\Tool\\a.dll=\r\n"
            "C:\\WINDOWS\\data.dll=\r\n"
            "C:\\WINDOWS\\Desktop\\Editor.*=\r\n"
            "C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Editor.*=\r\n"
            "C:\\WINDOWS\\mytool.ini=\r\n"
            "[Folders]\r\n"
            "C:\\WINDOWS\\Start Menu\\Programs\\Tools=\r\n");
  EXPECT_EQ(Read("C:\\WINDOWS\\mytool.ini"),
            "[Paths]\r\nData=C:\\Apps\\Tool\\Data\\files\r\nHome=C:\\Apps\\Tool\\\r\n");
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Desktop\\Editor.lnk"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Editor.lnk"));
  EXPECT_FALSE(Exists("C:\\WINDOWS\\Start Menu\\Editor.lnk"));
  // No uninstaller.exe among the files: no registry entry.
  EXPECT_FALSE(
      registry.KeyExists(platform::kHKeyLocalMachine, std::string(kUninstallKeyBase) + "My Tool"));
  EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(InstallEngineTest, StatusTextsFollowTheSteps) {
  FullConfiguration();
  std::vector<std::string> seen;
  pump.SetHook([&](std::size_t) {
    if (wizard && (seen.empty() || seen.back() != wizard->Controls().SourceText))
      seen.push_back(wizard->Controls().SourceText);
  });
  ASSERT_EQ(Install().end, EngineEnd::eeCompleted);
  const std::vector<std::string> expected = {"Preparing Directory Structure",
                                             "Ready to Install",
                                             "data.dat",
                                             "Ready to Install",
                                             "app.exe",
                                             "a.dll",
                                             "Ready to Install",
                                             "data.dll",
                                             "Creating Icons and Folders",
                                             "Creating INI Config File",
                                             "Adding Items to Registry"};
  EXPECT_EQ(seen, expected);
}

TEST_F(InstallEngineTest, SecondInstallationReplacesTheUninstallSectionsOnly) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  PutTemp("app.exe", "1");
  fs::create_directories(Host("C:\\Apps\\Tool"));
  test::WriteBytes(
      Host("C:\\Apps\\Tool\\uninstall.cfg"),
      std::string("[Extra]\r\nKeep=1\r\n[UNINS]\r\nC:\\old.txt=\r\n[Folders]\r\nC:\\Old=\r\n"));
  ASSERT_EQ(Install().end, EngineEnd::eeCompleted);
  EXPECT_EQ(SystemSections("C:\\Apps\\Tool\\uninstall.cfg"),
            "[Extra]\r\nKeep=1\r\n[Program]\r\nTitle=My Tool\r\n[UNINS]\r\n"
            "C:\\Apps\\Tool\\*.*=\r\nC:\\Apps\\Tool\\Setup\\*.*=\r\n"
            "C:\\Apps\\Tool\\app.exe=\r\n");
}

TEST_F(InstallEngineTest, OverwriteQuestionAnsweredNoKeepsTheFileAndTheTemporaryCopy) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"readme.txt~<INSTALLDIR>~X", "new.txt~<INSTALLDIR>~X"};
  PutTemp("readme.txt", "new text");
  PutTemp("new.txt", "fresh");
  fs::create_directories(Host("C:\\Apps\\Tool"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\readme.txt"), std::string("old text"));
  dialogs.OnMessage(DialogResult::idNo, "File Already Exists (readme.txt). Overwrite?");
  const EngineResult r = Install();
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  dialogs.Verify();  // exactly one question: new.txt did not exist
  EXPECT_EQ(Read("C:\\Apps\\Tool\\readme.txt"), "old text");
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Temp\\q\\readme.txt"));
  EXPECT_EQ(Read("C:\\Apps\\Tool\\new.txt"), "fresh");
  EXPECT_NE(Read("C:\\Apps\\Tool\\uninstall.cfg").find("C:\\Apps\\Tool\\readme.txt=\r\n"),
            std::string::npos);
  EXPECT_TRUE(r.FullSuccess());  // a No is the user's choice, not a failure
}

TEST_F(InstallEngineTest, OverwriteQuestionAnsweredYesReplacesTheFile) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"readme.txt~<INSTALLDIR>~X", "plain.txt~<INSTALLDIR>~"};
  PutTemp("readme.txt", "new text");
  PutTemp("plain.txt", "new plain");
  fs::create_directories(Host("C:\\Apps\\Tool"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\readme.txt"), std::string("old text"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\plain.txt"), std::string("old plain"));
  dialogs.OnMessage(DialogResult::idYes, "File Already Exists (readme.txt). Overwrite?");
  ASSERT_EQ(Install().end, EngineEnd::eeCompleted);
  dialogs.Verify();  // no question for the file without the mark
  EXPECT_EQ(Read("C:\\Apps\\Tool\\readme.txt"), "new text");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\plain.txt"), "new plain");
  EXPECT_FALSE(Exists("C:\\WINDOWS\\Temp\\q\\readme.txt"));
}

TEST_F(InstallEngineTest, SameFileUnderTwoTokensIsCopiedToBoth) {
  settings.DirectoryList = {"<INSTALLDIR>~x", "<ALT1>~Shared", "<SUB1><PROGRAMFILES>~Common"};
  settings.FileList = {"lib.dll~<ALT1>~", "lib.dll~<SUB1><PROGRAMFILES>~"};
  PutTemp("lib.dll", "lib");
  ASSERT_EQ(Install().end, EngineEnd::eeCompleted);
  EXPECT_EQ(Read("C:\\Shared\\lib.dll"), "lib");
  EXPECT_EQ(Read("C:\\Program Files\\Common\\lib.dll"), "lib");
}

TEST_F(InstallEngineTest, MinimumInstallationUsesTheWorkStationList) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"full.exe~<INSTALLDIR>~"};
  settings.WorkStationList = {"net.exe~<INSTALLDIR>", "net.ini~<INSTALLDIR>~X"};
  for (const char* f : {"full.exe", "net.exe", "net.ini"}) PutTemp(f, "new");
  fs::create_directories(Host("C:\\Apps\\Tool"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\net.exe"), std::string("old"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\net.ini"), std::string("old"));
  minimum = true;
  dialogs.OnMessage(DialogResult::idNo, "File Already Exists (net.ini). Overwrite?");
  ASSERT_EQ(Install().end, EngineEnd::eeCompleted);
  dialogs.Verify();
  EXPECT_EQ(Read("C:\\Apps\\Tool\\net.exe"), "new");  // no third field: replaced unasked
  EXPECT_EQ(Read("C:\\Apps\\Tool\\net.ini"), "old");
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\full.exe"));
  EXPECT_EQ(wizard->Controls().ProgressMax, 3);
  EXPECT_EQ(wizard->Controls().ProgressPosition, 2);
}

TEST_F(InstallEngineTest, RegistryEntryOnlyWithAnUninstaller) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"uninstaller.exe~<INSTALLDIR>~"};
  PutTemp("uninstaller.exe", "u");
  ASSERT_EQ(Install().end, EngineEnd::eeCompleted);
  platform::Registry reread(tm.Machine().RegistryFile());
  const std::string key = std::string(kUninstallKeyBase) + "My Tool";
  EXPECT_EQ(reread.ReadString(platform::kHKeyLocalMachine, key, "DisplayName"), "My Tool");
  EXPECT_EQ(reread.ReadString(platform::kHKeyLocalMachine, key, "UninstallString"),
            "C:\\Apps\\Tool\\uninstaller.exe My Tool");
}

TEST_F(InstallEngineTest, LaunchProgramIsRewrittenAndStartedInItsDirectory) {
  const fs::path launchLog = tm.Root() / "launch.log";
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", launchLog.string());
  destination = "C:\\Program Files\\App";
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~bin"};
  settings.FileList = {"app.exe~<SUB1>~"};
  settings.LaunchProgram = "<INSTALLDIR>bin\\app.exe";
  PutTemp("app.exe", "MZ");
  finish = app::FinishChoice::fcLaunch;
  const EngineResult r = Install();
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_TRUE(r.launched);
  EXPECT_EQ(settings.LaunchProgram, "C:\\Program Files\\App\\bin\\app.exe");
  const std::string logged = test::ReadText(launchLog);
  EXPECT_NE(logged.find("app.exe\t\tC:\\Program Files\\App\\bin\\\t5"), std::string::npos)
      << logged;
}

TEST_F(InstallEngineTest, LaunchRuleFollowsTheChoiceUnlessAFollowOnSetup) {
  const fs::path launchLog = tm.Root() / "launch.log";
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", launchLog.string());
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  PutTemp("app.exe", "MZ");
  settings.LaunchProgram = "<INSTALLDIR>app.exe";
  finish = app::FinishChoice::fcReturn;
  EXPECT_FALSE(Install().launched);
  EXPECT_FALSE(fs::exists(launchLog));

  settings.FileList = {"install.exe~<INSTALLDIR>~"};
  PutTemp("install.exe", "setup program");
  settings.LaunchProgram = "<INSTALLDIR>install.exe";
  finish = app::FinishChoice::fcReboot;
  EXPECT_TRUE(Install().launched);
  EXPECT_NE(test::ReadText(launchLog).find("install.exe"), std::string::npos);
}

TEST_F(InstallEngineTest, FailedCopiesAndShortcutsAreNamedAndTheRunGoesOn) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"missing.dll~<INSTALLDIR>~", "app.exe~<INSTALLDIR>~"};
  settings.DesktopList = {"Editor~<INSTALLDIR>app.exe~~~<INSTALLDIR>app.ico~Tools"};
  PutTemp("app.exe", "MZ");
  // A plain file where the program-group folder belongs: the link cannot be saved.
  fs::create_directories(Host("C:\\WINDOWS\\Start Menu\\Programs"));
  test::WriteBytes(Host("C:\\WINDOWS\\Start Menu\\Programs\\Tools"), std::string("x"));
  const EngineResult r = Install();
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_FALSE(r.FullSuccess());
  ASSERT_EQ(r.failedCopies.size(), 1u);
  EXPECT_EQ(r.failedCopies[0].destination, "C:\\Apps\\Tool\\missing.dll");
  EXPECT_NE(r.failedCopies[0].message.find("Cannot open file"), std::string::npos);
  ASSERT_EQ(r.failedShortcuts.size(), 1u);
  EXPECT_EQ(r.failedShortcuts[0].link, "C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Editor.lnk");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\app.exe"), "MZ");
  const std::string cfg = Read("C:\\Apps\\Tool\\uninstall.cfg");
  EXPECT_NE(cfg.find("C:\\Apps\\Tool\\missing.dll=\r\n"), std::string::npos);
  EXPECT_NE(cfg.find("Tools\\Editor.*=\r\n"), std::string::npos);
  EXPECT_EQ(r.ProblemList().Items().size(), 2u);
  EXPECT_EQ(wizard->End(), WizardEnd::weInstalled);
}

TEST_F(InstallEngineTest, UncaughtFailuresStopTheRunWithTheirMessage) {
  const fs::path launchLog = tm.Root() / "launch.log";
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", launchLog.string());
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~", "uninstaller.exe~<INSTALLDIR>~"};
  settings.LaunchProgram = "<INSTALLDIR>app.exe";
  finish = app::FinishChoice::fcLaunch;
  PutTemp("app.exe", "MZ");
  PutTemp("uninstaller.exe", "u");
  fs::remove(Host("C:\\WINDOWS\\Temp\\q\\install.exe"));
  EngineResult r = Install();
  EXPECT_EQ(r.end, EngineEnd::eeFailed);
  EXPECT_EQ(r.error, "Cannot open file C:\\WINDOWS\\Temp\\q\\install.exe");
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\app.exe"));
  EXPECT_EQ(wizard->End(), WizardEnd::weOpen);
  EXPECT_EQ(wizard->PageIndex(), kPageProgress);

  PutTemp("install.exe", "setup program");
  settings.LaunchProgram = "<INSTALLDIR>app.exe";
  registry.SetReadOnly(true);
  r = Install();
  EXPECT_EQ(r.end, EngineEnd::eeFailed);
  EXPECT_EQ(r.error, std::string("Failed to create key ") + kUninstallKeyBase + "My Tool");
  EXPECT_FALSE(r.launched);
  EXPECT_FALSE(fs::exists(launchLog));
  EXPECT_EQ(wizard->End(), WizardEnd::weOpen);

  registry.SetReadOnly(false);
  PutTemp("app.exe", "MZ");
  settings.IniFileName = "mytool.ini";
  settings.IniSetupList = {"S~K~<INSTALLDIR>"};
  for (const InPlace what : {InPlace::ipFolder, InPlace::ipReadOnlyFile, InPlace::ipPipe}) {
    PutInPlace(what, "C:\\WINDOWS\\mytool.ini");
    PutTemp("app.exe", "MZ");
    r = Install();
    EXPECT_EQ(r.end, EngineEnd::eeFailed) << static_cast<int>(what);
    EXPECT_EQ(r.error, "Unable to write to C:\\WINDOWS\\mytool.ini");
    if (what == InPlace::ipReadOnlyFile) {
      EXPECT_EQ(Read("C:\\WINDOWS\\mytool.ini"), "[Mine]\r\na=1\r\n");
    }
  }
}

// Every file and folder below drive C: with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = e.path().lexically_relative(root).generic_string();
    out[rel] = e.is_regular_file() ? test::ReadText(e.path()) : "<dir>";
  }
  return out;
}

TEST_F(InstallEngineTest, WithoutAnInstallDirBindingNothingIsWritten) {
  settings.DirectoryList = {"<SUB1>~Data", "<WINDOWS>~x"};
  settings.FileList = {"app.exe~<WINDOWS>~"};
  PutTemp("app.exe", "MZ");
  const auto before = Snapshot(tm.DriveC());
  const EngineResult r = Install();
  EXPECT_EQ(r.end, EngineEnd::eeRefused);
  EXPECT_NE(r.error.find("<INSTALLDIR>"), std::string::npos);
  EXPECT_EQ(Snapshot(tm.DriveC()), before);
  EXPECT_EQ(wizard->End(), WizardEnd::weOpen);
}

TEST_F(InstallEngineTest, ARecordThatCannotBeWrittenLeavesNoFolderBehind) {
  settings.DirectoryList = {"<SUB1>~Data", "<INSTALLDIR>~x"};
  // Nothing in the record's place: the folders fit a Windows path and their uninstall.cfg
  // does not. Else what is in the record's place stays as it is.
  for (const InPlace what : {InPlace::ipNothing, InPlace::ipReadOnlyFile, InPlace::ipPipe}) {
    destination = what != InPlace::ipNothing
                      ? "C:\\Apps\\Tool"
                      : "C:\\Apps\\" + std::string(120, 'd') + "\\" + std::string(120, 'e');
    if (what != InPlace::ipNothing) PutInPlace(what, destination + "\\uninstall.cfg");
    const auto before = Snapshot(tm.DriveC());
    const EngineResult r = Install();
    EXPECT_EQ(r.end, EngineEnd::eeFailed);
    EXPECT_EQ(r.error, "Unable to write to " + destination + "\\uninstall.cfg");
    EXPECT_EQ(Snapshot(tm.DriveC()), before) << static_cast<int>(what);
  }
}

// Keeps regular files from growing past their present size in this process (writes fail
// with EFBIG), as a full disk would, until it goes.
class RecordFreeze {
 public:
  RecordFreeze() { ::getrlimit(RLIMIT_FSIZE, &old_); }
  ~RecordFreeze() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    if (frozen_) std::signal(SIGXFSZ, handler_);
  }
  void At(std::uintmax_t size) {
    if (!frozen_) handler_ = std::signal(SIGXFSZ, SIG_IGN);
    frozen_ = true;
    rlimit limit = old_;
    limit.rlim_cur = static_cast<rlim_t>(size);
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }

 private:
  rlimit old_{};
  bool frozen_ = false;
  void (*handler_)(int) = SIG_DFL;
};

TEST_F(InstallEngineTest, AFileTakesItsNameOnlyOnceItIsOnRecord) {
  // The record stops taking lines while b.txt is installed, as when the run is killed (or
  // the disk fills) right then: no file that took its name may be missing from it. b.txt is
  // moved into place when nothing else needs it, and copied when another entry names it.
  struct Case {
    const char* how;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"moved", {"a.txt~<INSTALLDIR>~", "b.txt~<INSTALLDIR>~"}},
      {"copied", {"a.txt~<INSTALLDIR>~", "b.txt~<INSTALLDIR>~", "b.txt~<SUB1>~"}}};
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~Data"};
  for (const Case& c : cases) {
    fs::remove_all(Host("C:\\Apps"));
    settings.FileList = c.files;
    PutTemp("a.txt", "a");
    PutTemp("b.txt", "b");
    const fs::path record = Host(destination + "\\uninstall.cfg");
    EngineResult r;
    {
      RecordFreeze freeze;
      pump.SetHook([&](std::size_t) {
        if (wizard && wizard->Controls().SourceText == "b.txt") freeze.At(fs::file_size(record));
      });
      r = Install();
      pump.SetHook({});
    }
    EXPECT_EQ(r.end, EngineEnd::eeFailed) << c.how;
    EXPECT_EQ(r.error, "Unable to write to " + destination + "\\uninstall.cfg");
    std::set<std::string> recorded;
    for (const CreatedEntry& e : ReadCreatedEntries(platform::LoadProfile(record)))
      if (e.kind == CreatedKind::ckFile) recorded.insert(e.path);
    for (const auto& e : fs::recursive_directory_iterator(Host(destination))) {
      const std::string name = e.path().filename().string();
      if (!e.is_regular_file() || name == "uninstall.cfg" || IsTemporaryName(name)) continue;
      const std::string rel = e.path().lexically_relative(Host(destination)).string();
      EXPECT_EQ(recorded.count(destination + "\\" + (rel == name ? name : "Data\\" + name)), 1u)
          << rel << " is in place but not on record (" << c.how << ")";
    }
  }
}

TEST_F(InstallEngineTest, WhatTheRunMakesIsOnRecordBeforeItIsThere) {
  // The record stops taking lines at a step of the run, as when the run is killed (or the
  // disk fills) right then: nothing the run made on drive C: may be missing from it.
  struct Case {
    const char* what;
    const char* status;             // the step (null: just after the record is opened)
    std::vector<std::string> made;  // made beforehand
  };
  const Case cases[] = {
      {"folder", nullptr, {"C:\\Apps\\Tool"}},
      {"program folder", InstallEngine::kStatusIcons, {}},
      {"link", InstallEngine::kStatusIcons, {"C:\\WINDOWS\\Start Menu\\Programs\\Tools"}},
      {"INI file", InstallEngine::kStatusIni, {}},
  };
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~Data"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  settings.DesktopList = {"Editor~<INSTALLDIR>app.exe~~~<INSTALLDIR>app.exe~Tools"};
  settings.IniFileName = "mytool.ini";
  settings.IniSetupList = {"S~K~<INSTALLDIR>"};
  for (const Case& c : cases) {
    fs::remove_all(Host("C:\\Apps"));
    fs::remove_all(Host("C:\\WINDOWS\\Start Menu"));
    fs::remove(Host("C:\\WINDOWS\\mytool.ini"));
    for (const std::string& dir : c.made) fs::create_directories(Host(dir));
    PutTemp("app.exe", "MZ");
    std::set<std::string> before;
    for (const auto& e : fs::recursive_directory_iterator(tm.DriveC()))
      before.insert(e.path().string());
    const fs::path record = Host(destination + "\\uninstall.cfg");
    EngineResult r;
    {
      RecordFreeze freeze;
      EngineOptions options;
      if (!c.status)
        options.onAction = [&](const EngineAction& a) {
          if (a.kind == ActionKind::akUninstallTitle) freeze.At(fs::file_size(record));
        };
      pump.SetHook([&](std::size_t) {
        if (c.status && wizard && wizard->Controls().SourceText == c.status)
          freeze.At(fs::file_size(record));
      });
      r = Install(std::move(options));
      pump.SetHook({});
    }
    EXPECT_EQ(r.end, EngineEnd::eeFailed) << c.what;
    EXPECT_EQ(r.error, "Unable to write to " + destination + "\\uninstall.cfg") << c.what;
    std::set<std::string> recorded;
    for (const CreatedEntry& e : ReadCreatedEntries(platform::LoadProfile(record)))
      recorded.insert(platform::AsciiUpper(e.path));
    for (const auto& e : fs::recursive_directory_iterator(tm.DriveC())) {
      if (before.count(e.path().string()) || e.path() == record) continue;
      std::string windows = "C:\\" + e.path().lexically_relative(tm.DriveC()).string();
      std::replace(windows.begin(), windows.end(), '/', '\\');
      EXPECT_EQ(recorded.count(platform::AsciiUpper(windows)), 1u)
          << windows << " is there but not on record (" << c.what << ")";
    }
  }
}

TEST_F(InstallEngineTest, HostDriveTargetsAreRefusedUnlessAllowed) {
  const fs::path outside = tm.Root() / "host side";
  const std::string z = tm.Machine().ToWindows(tm.Root()) + "\\host side";
  ASSERT_EQ(z.substr(0, 2), "Z:");
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1><ELSE>~" + z};
  settings.FileList = {"app.exe~<INSTALLDIR>~", "tool.exe~<SUB1><ELSE>~"};
  PutTemp("app.exe", "MZ");
  PutTemp("tool.exe", "MZ");
  EngineResult r = Install();
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_FALSE(fs::exists(outside));
  EXPECT_EQ(Read("C:\\Apps\\Tool\\app.exe"), "MZ");
  EXPECT_EQ(r.refused.size(), 2u);  // the directory and the file
  EXPECT_FALSE(r.FullSuccess());

  EngineOptions allow;
  allow.allowHostPaths = true;
  r = Install(std::move(allow));
  EXPECT_TRUE(r.refused.empty());
  EXPECT_TRUE(fs::exists(outside / "tool.exe"));
}

TEST_F(InstallEngineTest, HostDestinationNeedsAnExplicitChoice) {
  const fs::path outside = tm.Root() / "chosen";
  destination = tm.Machine().ToWindows(tm.Root()) + "\\chosen";
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  PutTemp("app.exe", "MZ");
  EngineResult r = Install();
  EXPECT_EQ(r.end, EngineEnd::eeRefused);
  EXPECT_FALSE(fs::exists(outside));

  EngineOptions chosen;
  chosen.installDirChosen = true;
  r = Install(std::move(chosen));
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_TRUE(r.FullSuccess());
  EXPECT_TRUE(fs::exists(outside / "app.exe"));
  EXPECT_TRUE(fs::exists(outside / "uninstall.cfg"));
}

TEST_F(InstallEngineTest, ALinkInAChosenDestinationLeadsNowhereOutsideThePrefix) {
  // The chosen destination is allowed wherever it lies, but a link inside it that leads
  // off the prefix's drives is not inside it.
  const fs::path outside = tm.Root() / "outside";
  fs::create_directories(outside);
  fs::create_directories(Host("C:\\Apps\\Tool"));
  fs::create_directory_symlink(outside, Host("C:\\Apps\\Tool") / "Data");
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~Data"};
  settings.FileList = {"app.exe~<INSTALLDIR>~", "data.dat~<SUB1>~"};
  PutTemp("app.exe", "MZ");
  PutTemp("data.dat", "d");
  EngineOptions chosen;
  chosen.installDirChosen = true;
  const EngineResult r = Install(std::move(chosen));
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_EQ(Read("C:\\Apps\\Tool\\app.exe"), "MZ");
  EXPECT_TRUE(fs::is_empty(outside));
  ASSERT_EQ(r.refused.size(), 1u);
  EXPECT_NE(r.refused[0].find("data.dat"), std::string::npos) << r.refused[0];
}

TEST_F(InstallEngineTest, DryRunPlansEverythingAndChangesNothing) {
  FullConfiguration();
  settings.FileList.push_back("uninstaller.exe~<INSTALLDIR>~");
  settings.FileList.push_back("readme.txt~<INSTALLDIR>~X");
  PutTemp("uninstaller.exe", "u");
  PutTemp("readme.txt", "r");
  fs::create_directories(Host("C:\\Apps\\Tool"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\readme.txt"), std::string("mine"));
  settings.LaunchProgram = "<INSTALLDIR>app.exe";
  finish = app::FinishChoice::fcLaunch;
  const auto before = Snapshot(tm.DriveC());
  const fs::path launchLog = tm.Root() / "launch.log";
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", launchLog.string());
  std::vector<std::string> sink;
  EngineOptions options;
  options.dryRun = true;
  options.onAction = [&](const EngineAction& a) { sink.push_back(DescribeAction(a)); };
  const EngineResult r = Install(std::move(options));
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_EQ(Snapshot(tm.DriveC()), before);
  EXPECT_FALSE(fs::exists(launchLog));
  EXPECT_FALSE(fs::exists(tm.Machine().RegistryFile()));
  EXPECT_TRUE(dialogs.Asked().empty());
  EXPECT_EQ(sink.size(), r.actions.size());

  auto has = [&](const std::string& text) {
    return std::any_of(sink.begin(), sink.end(), [&](const std::string& s) { return s == text; });
  };
  EXPECT_TRUE(has("make directory C:\\Apps\\Tool\\Data: planned"));
  EXPECT_FALSE(has("make directory C:\\Apps\\Tool: planned"));  // exists already
  EXPECT_TRUE(
      has("copy C:\\WINDOWS\\Temp\\q\\readme.txt -> C:\\Apps\\Tool\\readme.txt "
          "(asks before overwriting): planned"));
  EXPECT_TRUE(has("copy C:\\WINDOWS\\Temp\\q\\app.exe -> C:\\Apps\\Tool\\app.exe: planned"));
  EXPECT_TRUE(has("shortcut C:\\WINDOWS\\Desktop\\Editor.lnk -> C:\\Apps\\Tool\\app.exe: planned"));
  EXPECT_TRUE(has("INI C:\\WINDOWS\\mytool.ini [Paths] Home=C:\\Apps\\Tool\\: planned"));
  EXPECT_TRUE(has("uninstall.cfg [Folders] C:\\WINDOWS\\Start Menu\\Programs\\Tools=: planned"));
  EXPECT_TRUE(
      has("registry HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\currentversion\\"
          "uninstall\\My Tool UninstallString=C:\\Apps\\Tool\\uninstaller.exe My Tool: planned"));
  EXPECT_TRUE(has("launch C:\\Apps\\Tool\\app.exe in C:\\Apps\\Tool\\: planned"));
}

TEST_F(InstallEngineTest, ActionLogRecordsOutcomes) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"gone.dll~<INSTALLDIR>~", "app.exe~<INSTALLDIR>~"};
  PutTemp("app.exe", "MZ");
  const EngineResult r = Install();
  std::vector<std::string> lines;
  for (const auto& a : r.actions) lines.push_back(DescribeAction(a));
  auto find = [&](const std::string& prefix) {
    return std::find_if(lines.begin(), lines.end(),
                        [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  };
  ASSERT_NE(find("copy C:\\WINDOWS\\Temp\\q\\gone.dll"), lines.end());
  EXPECT_NE(find("copy C:\\WINDOWS\\Temp\\q\\gone.dll")->find(": failed (Cannot open file"),
            std::string::npos);
  EXPECT_EQ(*find("copy C:\\WINDOWS\\Temp\\q\\app.exe"),
            "copy C:\\WINDOWS\\Temp\\q\\app.exe -> C:\\Apps\\Tool\\app.exe: done");
  EXPECT_EQ(*find("delete temporary copy"),
            "delete temporary copy C:\\WINDOWS\\Temp\\q\\app.exe: done");
  EXPECT_EQ(*find("make directory"), "make directory C:\\Apps\\Tool: done");
}

}  // namespace
}  // namespace nolvo::setup
