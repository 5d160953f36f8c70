#include "setup/uninstaller.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <set>

#include "setup/created_files.h"
#include "setup/host_menu.h"
#include "setup/uninstall_record.h"
#include "tests/setup/engine_fixture.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;

// Every path below `root`, relative, except those below the temporary folder of the setup.
std::set<std::string> Tree(const fs::path& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = e.path().lexically_relative(root).generic_string();
    if (rel.rfind("WINDOWS/Temp", 0) == 0) continue;
    out.insert(rel);
  }
  return out;
}

bool Lists(const std::vector<UninstallItem>& items, const std::string& path) {
  return std::any_of(items.begin(), items.end(),
                     [&](const UninstallItem& i) { return i.path == path; });
}

class UninstallerTest : public EngineFixture {
 protected:
  void InstallProduct() {
    settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~Data", "<WINDOWS>~x",
                              "<SUB2><INSTALLDIR>~Data\\Deep"};
    settings.FileList = {"app.exe~<INSTALLDIR>~", "uninstaller.exe~<INSTALLDIR>~",
                         "data.dat~<SUB1>~", "deep.dat~<SUB2><INSTALLDIR>~", "tool.dll~<WINDOWS>~"};
    settings.DesktopList = {"Editor~<INSTALLDIR>app.exe~X~X~<INSTALLDIR>app.exe~Tools"};
    settings.IniFileName = "mytool.ini";
    settings.IniSetupList = {"Paths~Home~<INSTALLDIR>"};
    desktopOffered = {"Editor"};
    startMenuOffered = {"Editor"};
    folderDesktop = true;
    folderStartMenu = true;
    for (const char* f : {"app.exe", "uninstaller.exe", "data.dat", "deep.dat", "tool.dll"})
      PutTemp(f, f);
    const EngineResult r = Install();
    ASSERT_TRUE(r.FullSuccess()) << r.error;
  }
};

TEST_F(UninstallerTest, RoundTripLeavesOnlyWhatIsDocumented) {
  const std::set<std::string> before = Tree(tm.DriveC());
  InstallProduct();
  ASSERT_TRUE(Exists("C:\\WINDOWS\\Start Menu\\Tools\\Editor.lnk"));
  ASSERT_TRUE(Exists("C:\\WINDOWS\\Desktop\\Tools\\Editor.lnk"));
  // A file of the user's own in the Windows directory stays untouched.
  test::WriteBytes(Host("C:\\WINDOWS\\win.ini"), std::string("[windows]\r\n"));

  const auto target = FindUninstallTarget(tm.Machine(), registry, "My Tool");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->installDir, "C:\\Apps\\Tool");
  EXPECT_TRUE(target->registryKey);
  const UninstallReport report = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_TRUE(report.refused.empty());

  std::set<std::string> expected = before;
  // C:\Apps was made by the installation, so it goes too.
  for (const char* stays :
       {"WINDOWS/win.ini", "WINDOWS/Desktop", "WINDOWS/Start Menu", "WINDOWS/Start Menu/Programs"})
    expected.insert(stays);
  EXPECT_EQ(Tree(tm.DriveC()), expected);
  EXPECT_FALSE(
      registry.KeyExists(platform::kHKeyLocalMachine, std::string(kUninstallKeyBase) + "My Tool"));
  EXPECT_TRUE(registry.KeyExists(platform::kHKeyLocalMachine,
                                 "Software\\Microsoft\\Windows\\currentversion\\uninstall"));
  EXPECT_TRUE(Lists(report.removed, "C:\\WINDOWS\\mytool.ini"));
  EXPECT_TRUE(Lists(report.removed, "C:\\Apps\\Tool"));
  EXPECT_TRUE(Lists(report.removed, "C:\\WINDOWS\\Start Menu\\Programs\\Tools"));

  // Twice: nothing is found by title, and the same target again changes nothing.
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, "My Tool"));
  const UninstallReport again = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_TRUE(again.removed.empty());
  EXPECT_TRUE(again.refused.empty());
  EXPECT_EQ(Tree(tm.DriveC()), expected);
}

#if defined(__x86_64__)
// Runs `work` in a child process that the kernel kills at its first removal of a folder,
// as a kill at that moment would; true when it died there.
bool KilledAtTheFirstFolderRemoval(const std::function<void()>& work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rmdir, 4, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_unlinkat, 0, 2),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, AT_REMOVEDIR, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
      ::_exit(2);
    work();
    ::_exit(0);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) &&
         WTERMSIG(status) == SIGSYS;
}

// An uninstall killed as it starts on the folders is finished by uninstalling again: the
// record goes only once every folder that does not hold it is gone.
TEST_F(UninstallerTest, AnUninstallKilledAmongTheFoldersIsFinishedByTheNextOne) {
  const std::set<std::string> before = Tree(tm.DriveC());
  InstallProduct();
  const auto target = FindUninstallTarget(tm.Machine(), registry, "My Tool");
  ASSERT_TRUE(target);
  ASSERT_TRUE(
      KilledAtTheFirstFolderRemoval([&] { Uninstall(tm.Machine(), registry, *target, {}); }));
  const auto again = FindUninstallTarget(tm.Machine(), registry, "My Tool");
  ASSERT_TRUE(again);
  const UninstallReport report = Uninstall(tm.Machine(), registry, *again, {});
  EXPECT_TRUE(report.refused.empty());
  std::set<std::string> expected = before;
  for (const char* stays : {"WINDOWS/Desktop", "WINDOWS/Start Menu", "WINDOWS/Start Menu/Programs"})
    expected.insert(stays);
  EXPECT_EQ(Tree(tm.DriveC()), expected);
}
#endif

TEST_F(UninstallerTest, FoundByPathAndDryRunChangesNothing) {
  InstallProduct();
  const std::set<std::string> installed = Tree(tm.DriveC());
  auto byPath = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool\\uninstall.cfg");
  ASSERT_TRUE(byPath);
  EXPECT_EQ(byPath->title, "My Tool");
  EXPECT_TRUE(byPath->registryKey);
  auto byHostDir = FindUninstallTarget(tm.Machine(), registry, Host("C:\\Apps\\Tool").string());
  ASSERT_TRUE(byHostDir);
  EXPECT_EQ(byHostDir->recordFile, "C:\\Apps\\Tool\\uninstall.cfg");

  UninstallOptions dry;
  dry.dryRun = true;
  const UninstallReport plan = Uninstall(tm.Machine(), registry, *byPath, dry);
  EXPECT_EQ(Tree(tm.DriveC()), installed);
  EXPECT_TRUE(
      registry.KeyExists(platform::kHKeyLocalMachine, std::string(kUninstallKeyBase) + "My Tool"));
  EXPECT_TRUE(Lists(plan.removed, "C:\\Apps\\Tool\\app.exe"));
  EXPECT_TRUE(Lists(plan.removed, "C:\\Apps\\Tool\\Data\\Deep"));
  EXPECT_TRUE(Lists(plan.removed, "C:\\Apps\\Tool"));
  const UninstallReport real = Uninstall(tm.Machine(), registry, *byPath, {});
  EXPECT_EQ(real.removed.size(), plan.removed.size());
}

TEST_F(UninstallerTest, OnlyWhatTheRunCreatedAndNobodyChangedIsRemoved) {
  // The user's own files: one the overwrite question kept, one beside the product.
  fs::create_directories(Host("C:\\Apps\\Tool"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\app.exe"), std::string("the user's"));
  dialogs.OnMessage(platform::DialogResult::idNo, "File Already Exists (app.exe). Overwrite?");
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~X", "data.dat~<INSTALLDIR>~",
                       "notes.txt~<INSTALLDIR>~"};
  for (const char* f : {"app.exe", "data.dat", "notes.txt"}) PutTemp(f, f);
  ASSERT_TRUE(Install().FullSuccess());
  test::WriteBytes(Host("C:\\Apps\\Tool\\notes.txt"), std::string("edited by the user"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\mine.txt"), std::string("mine"));

  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool");
  ASSERT_TRUE(target);
  const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_TRUE(r.refused.empty());
  EXPECT_EQ(Read("C:\\Apps\\Tool\\app.exe"), "the user's");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\notes.txt"), "edited by the user");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\mine.txt"), "mine");
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\data.dat"));
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\install.exe"));
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\uninstall.cfg"));
  EXPECT_TRUE(Lists(r.kept, "C:\\Apps\\Tool\\notes.txt"));
  EXPECT_FALSE(Lists(r.kept, "C:\\Apps\\Tool\\app.exe"));  // never the installation's
  // The folder existed before: it is not the uninstaller's to remove.
  EXPECT_FALSE(Lists(r.kept, "C:\\Apps\\Tool"));
  EXPECT_FALSE(Lists(r.removed, "C:\\Apps\\Tool"));
}

TEST_F(UninstallerTest, CopiesOfTheRecordAKilledRunLeftGo) {
  // A run killed while it rewrote uninstall.cfg leaves a copy of it, on no record. It goes
  // with a later install or the uninstall; one whose writer still runs stays.
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ::waitpid(dead, nullptr, 0);
  const std::string gone = "C:\\Apps\\Tool\\.uninstall.cfg.tmp" + std::to_string(dead) + "-3";
  const std::string alive =
      "C:\\Apps\\Tool\\.uninstall.cfg.tmp" + std::to_string(::getpid()) + "-0";
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  for (const bool reinstall : {false, true}) {
    PutTemp("app.exe", "MZ");
    ASSERT_TRUE(Install().FullSuccess());
    test::WriteBytes(Host(gone), std::string("[Program]\r\n"));
    test::WriteBytes(Host(alive), std::string("[Program]\r\n"));
    if (reinstall) {
      PutTemp("app.exe", "MZ");
      ASSERT_TRUE(Install().FullSuccess());
      EXPECT_FALSE(Exists(gone));
    }
    EXPECT_TRUE(Exists(alive)) << reinstall;
    fs::remove(Host(alive));
    const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool");
    ASSERT_TRUE(target);
    const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
    EXPECT_FALSE(Exists("C:\\Apps\\Tool")) << reinstall;
    EXPECT_EQ(Lists(r.removed, gone), !reinstall);
  }
}

TEST_F(UninstallerTest, ARecordListsWhereEveryItemIsAllowedAndWhatIsLeft) {
  const fs::path hostFile = tm.Root() / "victim.txt";
  test::WriteBytes(hostFile, std::string("keep"));
  const std::string zFile = tm.Machine().ToWindows(hostFile);
  const fs::path menu = tm.Root() / "menu entry.desktop";
  test::WriteBytes(menu, std::string("[Desktop Entry]\n"));
  const fs::path changedMenu = tm.Root() / "changed.desktop";
  test::WriteBytes(changedMenu, std::string("[Desktop Entry]\n"));
  fs::create_directories(Host("C:\\WINDOWS\\Desktop"));
  fs::create_directories(Host("C:\\Apps\\X\\Sub"));
  test::WriteBytes(Host("C:\\Apps\\X\\own.txt"), std::string("o"));
  test::WriteBytes(Host("C:\\Apps\\X\\other.txt"), std::string("t"));
  test::WriteBytes(Host("C:\\Apps\\X\\.nolvo-1-0.part"), std::string("half"));
  test::WriteBytes(Host("C:\\Apps\\X\\Sub\\left.txt"), std::string("l"));
  auto stamp = [](const fs::path& p) {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    EXPECT_TRUE(StatCreatedFile(p, size, modified)) << p;
    return std::to_string(size) + "|" + std::to_string(modified) + "|";
  };
  test::WriteBytes(Host("C:\\Apps\\X\\uninstall.cfg"),
                   "[Program]\r\nTitle=X\r\n[UNINS]\r\nC:\\*.*=\r\n[Nolvo Created]\r\n"
                   "Folder=C:\\WINDOWS|\r\nFolder=C:\\WINDOWS\\Desktop|\r\nFolder=C:\\Apps\\X|\r\n"
                   "Folder=C:\\Apps\\X\\Sub|\r\n"
                   "File=" +
                       stamp(hostFile) + zFile +
                       "|\r\n"
                       "File=" +
                       stamp(Host("C:\\Apps\\X\\own.txt")) +
                       "C:\\Apps\\X\\own.txt|\r\n"
                       "File=1|1|C:\\Apps\\X\\other.txt|\r\n"
                       "Partial=C:\\Apps\\X\\.nolvo-1-0.part|\r\n"
                       "HostFile=" +
                       stamp(menu) + menu.string() +
                       "|\r\n"
                       "HostFile=1|1|" +
                       changedMenu.string() +
                       "|\r\n"
                       "File=1|1|C:\\Apps\\X\\gone.txt|\r\nnot an entry\r\n");
  test::WriteBytes(changedMenu, std::string("[Desktop Entry]\nName=changed\n"));
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\X");
  ASSERT_TRUE(target);
  const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
  ASSERT_EQ(r.refused.size(), 1u);  // the file on a host drive
  EXPECT_TRUE(fs::exists(hostFile));
  EXPECT_FALSE(Exists("C:\\Apps\\X\\own.txt"));
  EXPECT_FALSE(Exists("C:\\Apps\\X\\.nolvo-1-0.part"));
  EXPECT_FALSE(fs::exists(menu));
  EXPECT_TRUE(fs::exists(changedMenu));
  EXPECT_TRUE(Exists("C:\\Apps\\X\\other.txt"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Desktop"));
  EXPECT_TRUE(Lists(r.kept, "C:\\WINDOWS"));
  EXPECT_TRUE(Lists(r.kept, "C:\\Apps\\X\\other.txt"));
  EXPECT_TRUE(Lists(r.kept, changedMenu.string()));
  // What is left is named: the folder and what keeps it.
  const auto sub = std::find_if(r.kept.begin(), r.kept.end(), [](const UninstallItem& i) {
    return i.path == "C:\\Apps\\X\\Sub";
  });
  ASSERT_NE(sub, r.kept.end());
  EXPECT_EQ(sub->reason, "not empty: left.txt");
}

TEST_F(UninstallerTest, AHostileRecordRemovesNothingOffThePrefixOrOfTheUsers) {
  // A record edited to name files it did not create, each with its true size and time.
  const fs::path outside = tm.Root() / "outside";
  fs::create_directories(outside);
  fs::create_directories(Host("C:\\Apps\\X"));
  fs::create_directory_symlink(outside, Host("C:\\Apps\\X") / "Link");
  struct Case {
    const char* kind;
    fs::path file;
    std::string recorded;  // the path as the record names it
  };
  const std::vector<Case> cases = {
      {"File", outside / "victim.txt", "C:\\Apps\\X\\Link\\victim.txt"},
      // A partial file is removed whatever it holds: only one under a temporary name.
      {"Partial", Host("C:\\Apps\\X\\notes.txt"), "C:\\Apps\\X\\notes.txt"},
      // Host files an installation makes are menu entries, icons and their like.
      {"HostFile", outside / "letter.odt", (outside / "letter.odt").string()},
  };
  std::string record = "[Program]\r\nTitle=X\r\n[Nolvo Created]\r\nFolder=C:\\Apps\\X|\r\n";
  for (const Case& c : cases) {
    test::WriteBytes(c.file, std::string("precious"));
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    ASSERT_TRUE(StatCreatedFile(c.file, size, modified)) << c.file;
    const std::string kind = c.kind;
    record +=
        kind + "=" +
        (kind == "Partial" ? "" : std::to_string(size) + "|" + std::to_string(modified) + "|") +
        c.recorded + "|\r\n";
  }
  test::WriteBytes(Host("C:\\Apps\\X\\uninstall.cfg"), record);
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\X");
  ASSERT_TRUE(target);
  const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
  for (const Case& c : cases) {
    EXPECT_TRUE(fs::exists(c.file)) << c.recorded;
    EXPECT_TRUE(Lists(r.refused, c.recorded)) << c.recorded;
  }
}

TEST_F(UninstallerTest, FilesMadeOutsideTheMachineAreRecordedAndRemovedToo) {
  // What a step that writes host files (menu entries) does with the record.
  fs::create_directories(Host("C:\\Apps\\Tool"));
  const fs::path menu = tm.Root() / "menus", entry = menu / "tool.desktop";
  fs::create_directories(menu);
  test::WriteBytes(entry, std::string("[Desktop Entry]\n"));
  ActionLog log;
  {
    UninstallRecord record(tm.Machine(), "C:\\Apps\\Tool", false, log);
    record.Open("Tool");
    record.CreatedHostFolder(menu);
    record.CreatedHostFile(entry);
    record.Close();
  }
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool");
  ASSERT_TRUE(target);
  const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_TRUE(Lists(r.removed, entry.string()));
  EXPECT_FALSE(fs::exists(menu));
}

TEST_F(UninstallerTest, ARecordWithoutTheCreatedListRemovesNothing) {
  fs::create_directories(Host("C:\\Apps\\X"));
  test::WriteBytes(Host("C:\\Apps\\X\\app.exe"), std::string("a"));
  test::WriteBytes(Host("C:\\Apps\\X\\uninstall.cfg"),
                   std::string("[Program]\r\nTitle=X\r\n[UNINS]\r\nC:\\Apps\\X\\*.*=\r\n"));
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\X");
  ASSERT_TRUE(target);
  const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
  ASSERT_EQ(r.refused.size(), 1u);
  EXPECT_TRUE(r.removed.empty());
  EXPECT_TRUE(Exists("C:\\Apps\\X\\app.exe"));
  EXPECT_TRUE(Exists("C:\\Apps\\X\\uninstall.cfg"));
}

TEST_F(UninstallerTest, ATitleWhoseFolderAnotherProductTookOverRemovesNothing) {
  // Two products into one folder: the record there is the second one's now.
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  const std::pair<const char*, const char*> products[] = {{"Alpha", "alpha.txt"},
                                                          {"Beta", "beta.txt"}};
  for (const auto& [name, file] : products) {
    title = name;
    settings.FileList = {std::string(file) + "~<INSTALLDIR>~", "uninstaller.exe~<INSTALLDIR>~"};
    PutTemp(file, file);
    PutTemp("uninstaller.exe", "u");
    ASSERT_TRUE(Install().FullSuccess());
  }
  const auto alpha = FindUninstallTarget(tm.Machine(), registry, "Alpha");
  ASSERT_TRUE(alpha);
  const UninstallReport r = Uninstall(tm.Machine(), registry, *alpha, {});
  EXPECT_TRUE(r.removed.empty());
  EXPECT_TRUE(Lists(r.refused, "C:\\Apps\\Tool\\uninstall.cfg"));
  EXPECT_TRUE(Exists("C:\\Apps\\Tool\\beta.txt"));
  EXPECT_TRUE(Exists("C:\\Apps\\Tool\\uninstall.cfg"));
  for (const char* name : {"Alpha", "Beta"})
    EXPECT_TRUE(
        registry.KeyExists(platform::kHKeyLocalMachine, std::string(kUninstallKeyBase) + name));
  // The product that holds the record still goes as a whole.
  const auto beta = FindUninstallTarget(tm.Machine(), registry, "Beta");
  ASSERT_TRUE(beta);
  EXPECT_TRUE(Uninstall(tm.Machine(), registry, *beta, {}).refused.empty());
  EXPECT_FALSE(Exists("C:\\Apps\\Tool"));
}

TEST_F(UninstallerTest, AnIniFileTheUserEditedStaysAfterTheProductIsInstalledAgain) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  settings.IniFileName = "mytool.ini";
  settings.IniSetupList = {"Paths~Home~<INSTALLDIR>"};
  struct Case {
    bool edited;
    bool stays;
  };
  for (const Case c : {Case{false, false}, Case{true, true}}) {
    PutTemp("app.exe", "a");
    ASSERT_TRUE(Install().FullSuccess());
    if (c.edited)
      test::WriteBytes(Host("C:\\WINDOWS\\mytool.ini"),
                       Read("C:\\WINDOWS\\mytool.ini") + "[User]\r\nTheme=dark\r\n");
    PutTemp("app.exe", "a");
    ASSERT_TRUE(Install().FullSuccess());  // a repair, or the next version
    const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool");
    ASSERT_TRUE(target);
    Uninstall(tm.Machine(), registry, *target, {});
    EXPECT_EQ(Exists("C:\\WINDOWS\\mytool.ini"), c.stays) << c.edited;
    if (c.stays) {
      EXPECT_NE(Read("C:\\WINDOWS\\mytool.ini").find("Theme=dark"), std::string::npos);
    }
  }
}

TEST_F(UninstallerTest, AFolderTheUserMovedIsUninstalledWhereItLiesNow) {
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~Data"};
  settings.FileList = {"app.exe~<INSTALLDIR>~", "uninstaller.exe~<INSTALLDIR>~",
                       "data.dat~<SUB1>~"};
  settings.DesktopList = {"Editor~<INSTALLDIR>app.exe~~~<INSTALLDIR>app.exe~Tools"};
  for (const char* f : {"app.exe", "uninstaller.exe", "data.dat"}) PutTemp(f, f);
  ASSERT_TRUE(Install().FullSuccess());
  fs::rename(Host("C:\\Apps\\Tool"), Host("C:\\Apps\\Moved"));
  test::WriteBytes(Host("C:\\Apps\\Moved\\mine.txt"), std::string("mine"));

  // By title the record is not found: the entry goes, and the report says so.
  const auto byTitle = FindUninstallTarget(tm.Machine(), registry, "My Tool");
  ASSERT_TRUE(byTitle);
  UninstallOptions dry;
  dry.dryRun = true;
  EXPECT_TRUE(Lists(Uninstall(tm.Machine(), registry, *byTitle, dry).kept,
                    "C:\\Apps\\Tool\\uninstall.cfg"));

  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Moved");
  ASSERT_TRUE(target);
  EXPECT_TRUE(target->registryKey);  // the entry names where the record was
  const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_TRUE(r.refused.empty());
  EXPECT_EQ(Tree(Host("C:\\Apps")), std::set<std::string>({"Moved", "Moved/mine.txt"}));
  EXPECT_FALSE(Exists("C:\\WINDOWS\\Start Menu\\Programs\\Tools"));
  EXPECT_FALSE(
      registry.KeyExists(platform::kHKeyLocalMachine, std::string(kUninstallKeyBase) + "My Tool"));
}

TEST_F(UninstallerTest, ADryRunNamesWhatKeepsAFolderAsTheRunDoes) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  PutTemp("app.exe", "a");
  ASSERT_TRUE(Install().FullSuccess());
  test::WriteBytes(Host("C:\\Apps\\Tool\\mine.txt"), std::string("mine"));
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool");
  ASSERT_TRUE(target);
  auto reasons = [](const UninstallReport& r) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& i : r.kept) out.emplace_back(i.path, i.reason);
    return out;
  };
  UninstallOptions dry;
  dry.dryRun = true;
  const auto planned = reasons(Uninstall(tm.Machine(), registry, *target, dry));
  const auto done = reasons(Uninstall(tm.Machine(), registry, *target, {}));
  EXPECT_EQ(planned, done);
  EXPECT_NE(std::find(done.begin(), done.end(),
                      std::pair<std::string, std::string>("C:\\Apps\\Tool", "not empty: mine.txt")),
            done.end());
}

TEST_F(UninstallerTest, NothingRecordedIsNotFound) {
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, "No Such Product"));
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, "C:\\Nowhere\\uninstall.cfg"));
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, ""));
  // A pipe in the record's place is no record, and reading it would block.
  fs::create_directories(Host("C:\\Apps\\X"));
  ASSERT_EQ(::mkfifo(Host("C:\\Apps\\X\\uninstall.cfg").c_str(), 0666), 0);
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\X"));
  UninstallTarget byTitle;
  byTitle.installDir = "C:\\Apps\\X";
  byTitle.recordFile = "C:\\Apps\\X\\uninstall.cfg";
  EXPECT_TRUE(Uninstall(tm.Machine(), registry, byTitle, {}).removed.empty());
  EXPECT_TRUE(ReadHostMenuRecord(tm.Machine(), byTitle.recordFile).empty());
}

}  // namespace
}  // namespace nolvo::setup
