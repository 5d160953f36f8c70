#include <gtest/gtest.h>

#include <filesystem>

#include "platform/machine.h"
#include "platform/registry.h"
#include "setup/created_files.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;

// A prefix holding one recorded installation of "My Tool" in C:\Apps\Tool.
class UninstallCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Machine machine(prefix, platform::CodePage());
    fs::create_directories(tool);
    WriteBytes(tool / "app.exe", std::string("MZ"));
    WriteBytes(tool / "uninstaller.exe", std::string("MZ"));
    // The record as an installation leaves it: the product's sections, then what it created.
    std::string created = "[Nolvo Created]\r\nFolder=C:\\Apps\\Tool|\r\n";
    for (const char* name : {"app.exe", "uninstaller.exe"}) {
      std::uint64_t size = 0;
      std::int64_t modified = 0;
      ASSERT_TRUE(setup::StatCreatedFile(tool / name, size, modified));
      created += "File=" + std::to_string(size) + "|" + std::to_string(modified) +
                 "|C:\\Apps\\Tool\\" + name + "|\r\n";
    }
    WriteBytes(tool / "uninstall.cfg",
               std::string("[Program]\r\nTitle=My Tool\r\n[UNINS]\r\nC:\\Apps\\Tool\\*.*=\r\n"
                           "C:\\Apps\\Tool\\Setup\\*.*=\r\nC:\\Apps\\Tool\\app.exe=\r\n") +
                   created);
    platform::Registry registry(machine.RegistryFile());
    registry.WriteString(platform::kHKeyLocalMachine, key, "DisplayName", "My Tool");
    registry.WriteString(platform::kHKeyLocalMachine, key, "UninstallString",
                         "C:\\Apps\\Tool\\uninstaller.exe My Tool");
  }

  TempDir dir;
  fs::path prefix = dir.Path() / "prefix";
  fs::path tool = prefix / "drive_c" / "Apps" / "Tool";
  std::string key = "Software\\Microsoft\\Windows\\currentversion\\uninstall\\My Tool";
};

TEST_F(UninstallCommand, DryRunThenRealRunThenNothingLeft) {
  auto r =
      RunCommand({NolvoTool(), "uninstall", "My Tool", "--prefix", prefix.string(), "--dry-run"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("would remove file C:\\Apps\\Tool\\app.exe"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(tool / "app.exe"));

  r = RunCommand({NolvoTool(), "uninstall", "My Tool", "--prefix", prefix.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("removed folder C:\\Apps\\Tool"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(tool));
  platform::Machine machine(prefix, platform::CodePage());
  platform::Registry registry(machine.RegistryFile());
  EXPECT_FALSE(registry.KeyExists(platform::kHKeyLocalMachine, key));

  r = RunCommand({NolvoTool(), "uninstall", "My Tool", "--prefix", prefix.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("nothing to do"), std::string::npos) << r.err;
}

TEST_F(UninstallCommand, ByHostPathOfTheRecord) {
  const auto r = RunCommand(
      {NolvoTool(), "uninstall", (tool / "uninstall.cfg").string(), "--prefix", prefix.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::exists(tool));
}

TEST_F(UninstallCommand, ByHostPathWithLettersOutsideAscii) {
  // The folder is "Wärkzeug" on the host (UTF-8) and in code page 1252 in the record.
  const fs::path other = prefix / "drive_c" / "Apps" / "W\xc3\xa4rkzeug";
  for (const fs::path& named : {other, other / "uninstall.cfg"}) {
    fs::create_directories(other);
    WriteBytes(other / "app.exe", std::string("MZ"));
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    ASSERT_TRUE(setup::StatCreatedFile(other / "app.exe", size, modified));
    WriteBytes(
        other / "uninstall.cfg",
        "[Program]\r\nTitle=W\xe4rkzeug\r\n[Nolvo Created]\r\nFolder=C:\\Apps\\W\xe4rkzeug|\r\n"
        "File=" +
            std::to_string(size) + "|" + std::to_string(modified) +
            "|C:\\Apps\\W\xe4rkzeug\\app.exe|\r\n");
    const auto r =
        RunCommand({NolvoTool(), "uninstall", named.string(), "--prefix", prefix.string()});
    EXPECT_EQ(r.exitCode, 0) << named << r.err;
    EXPECT_FALSE(fs::exists(other)) << named;
  }
  EXPECT_TRUE(fs::exists(tool / "app.exe"));
}

TEST_F(UninstallCommand, HostPathsAndNamesOutsideAsciiAreShownAsTheyAre) {
  // A host file the installation made (a menu entry) and a file of the user's in a
  // recorded folder, both named with letters outside ASCII.
  const fs::path entry = dir.Path() / "Gr\xC3\xBC\xC3\x9F\x65.desktop";  // Grüße
  WriteBytes(entry, std::string("[Desktop Entry]\n"));
  WriteBytes(tool / "Notiz \xC3\xA4.txt", std::string("mine"));  // Notiz ä
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  ASSERT_TRUE(setup::StatCreatedFile(entry, size, modified));
  std::string record = ReadText(tool / "uninstall.cfg");
  record += "HostFile=" + std::to_string(size) + "|" + std::to_string(modified) + "|" +
            entry.string() + "|\r\n";
  WriteBytes(tool / "uninstall.cfg", record);

  const auto r = RunCommand({NolvoTool(), "uninstall", "My Tool", "--prefix", prefix.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_NE(r.out.find("removed file " + entry.string() + "\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("not empty: Notiz \xC3\xA4.txt\n"), std::string::npos) << r.out;
}

TEST_F(UninstallCommand, ATitleWithBackslashesLeavesNoKeysItMade) {
  // "Pro \\ 2\\ Beta" names the key Beta below the keys "Pro " and " 2", which the
  // installation made.
  const fs::path pro = prefix / "drive_c" / "Apps" / "Pro";
  fs::create_directories(pro);
  WriteBytes(pro / "uninstall.cfg",
             std::string("[Program]\r\nTitle=Pro \\ 2\\Beta\r\n[Nolvo Created]\r\n"
                         "Folder=C:\\Apps\\Pro|\r\n"));
  const std::string base = "Software\\Microsoft\\Windows\\currentversion\\uninstall\\";
  {
    platform::Machine machine(prefix, platform::CodePage());
    platform::Registry registry(machine.RegistryFile());
    registry.WriteString(platform::kHKeyLocalMachine, base + "Pro \\ 2\\Beta", "UninstallString",
                         "C:\\Apps\\Pro\\uninstaller.exe Pro \\ 2\\Beta");
  }
  const auto r =
      RunCommand({NolvoTool(), "uninstall", "C:\\Apps\\Pro", "--prefix", prefix.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
  platform::Machine machine(prefix, platform::CodePage());
  platform::Registry registry(machine.RegistryFile());
  EXPECT_FALSE(registry.KeyExists(platform::kHKeyLocalMachine, base + "Pro "));
  EXPECT_TRUE(registry.KeyExists(platform::kHKeyLocalMachine, key));  // the other product's
}

TEST_F(UninstallCommand, AFileThatCannotBeDeletedFailsTheRun) {
  // A file changed since is kept on purpose; a read-only one (Windows refuses to delete
  // it) is a removal that failed.
  struct Case {
    const char* name;
    void (*change)(const fs::path&);
    int exitCode;
  };
  const Case cases[] = {
      {"changed", [](const fs::path& f) { WriteBytes(f, std::string("MZ changed")); }, 0},
      {"read-only",
       [](const fs::path& f) {
         fs::permissions(f,
                         fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       },
       1},
  };
  for (const auto& c : cases) {
    SetUp();
    c.change(tool / "app.exe");
    const auto r = RunCommand({NolvoTool(), "uninstall", "My Tool", "--prefix", prefix.string()});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.name << r.err;
    EXPECT_TRUE(fs::exists(tool / "app.exe")) << c.name;
    EXPECT_FALSE(fs::exists(tool / "uninstaller.exe")) << c.name;
    fs::permissions(tool / "app.exe", fs::perms::owner_write, fs::perm_options::add);
    // After a failure the record and the entry stay, and a second run by title finishes.
    EXPECT_EQ(fs::exists(tool / "uninstall.cfg"), c.exitCode != 0) << c.name;
    if (c.exitCode != 0) {
      const auto again =
          RunCommand({NolvoTool(), "uninstall", "My Tool", "--prefix", prefix.string()});
      EXPECT_EQ(again.exitCode, 0) << again.err;
      EXPECT_FALSE(fs::exists(tool));
    }
  }
}

TEST_F(UninstallCommand, UsageErrors) {
  EXPECT_EQ(RunCommand({NolvoTool(), "uninstall", "--prefix", prefix.string()}).exitCode, 2);
  EXPECT_EQ(RunCommand({NolvoTool(), "uninstall", "X", "--prefix", (dir.Path() / "none").string()})
                .exitCode,
            2);
}

}  // namespace
}  // namespace nolvo::test
