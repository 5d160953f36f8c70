#include "platform/registry.h"

#include <gtest/gtest.h>

#include "platform/registry_error.h"
#include "platform/registry_file.h"
#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUninstall = "Software\\Microsoft\\Windows\\currentversion\\uninstall\\";

void WriteUninstallEntry(Registry& reg, const std::string& title) {
  reg.WriteString(kHKeyLocalMachine, std::string(kUninstall) + title, "DisplayName", title);
  reg.WriteString(kHKeyLocalMachine, std::string(kUninstall) + title, "UninstallString",
                  "C:\\Apps\\Tool\\uninstaller.exe " + title);
}

TEST(Registry, UninstallEntryOnAFreshStoreIsAFullDumpWithEveryIntermediateKey) {
  test::TempDir dir;
  const auto file = dir.Path() / "registry.reg";
  Registry reg(file);
  EXPECT_FALSE(fs::exists(file));  // nothing is written before the first change
  WriteUninstallEntry(reg, "My Tool");
  EXPECT_EQ(
      test::ReadText(file),
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\currentversion]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\currentversion\\uninstall]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\currentversion\\uninstall\\My Tool]\r\n"
      "\"DisplayName\"=\"My Tool\"\r\n"
      "\"UninstallString\"=\"C:\\\\Apps\\\\Tool\\\\uninstaller.exe My Tool\"\r\n\r\n");
}

TEST(Registry, KeysCreatedUnderDifferentlyCasedParentsKeepTheExistingSpelling) {
  test::TempDir dir;
  const auto file = dir.Path() / "registry.reg";
  test::WriteBytes(file, std::string("REGEDIT4\r\n\r\n"
                                     "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                                     "CurrentVersion\\Uninstall\\Other]\r\n\"A\"=\"1\"\r\n"));
  Registry reg(file);
  RegKey key;
  RegDisposition disposition{};
  ASSERT_EQ(reg.CreateKeyEx(kHKeyLocalMachine, "SOFTWARE\\microsoft", &key, &disposition),
            RegCode::kSuccess);
  EXPECT_EQ(disposition, RegDisposition::rdOpenedExistingKey);
  EXPECT_EQ(reg.KeyPath(key), "HKEY_LOCAL_MACHINE\\Software\\Microsoft");
  WriteUninstallEntry(reg, "My Tool");

  // The block equals what regedit exports for the entry.
  const std::string text = test::ReadText(file);
  EXPECT_NE(text.find("\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion"
                      "\\Uninstall\\My Tool]\r\n"
                      "\"DisplayName\"=\"My Tool\"\r\n"
                      "\"UninstallString\"=\"C:\\\\Apps\\\\Tool\\\\uninstaller.exe My Tool\"\r\n"
                      "\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("currentversion"), std::string::npos);
  // Siblings are sorted case-insensitively: "My Tool" before "Other".
  EXPECT_LT(text.find("\\My Tool]"), text.find("\\Other]"));
  EXPECT_EQ(reg.SubKeyNames(kHKeyLocalMachine,
                            "software\\MICROSOFT\\windows\\currentVERSION\\"
                            "uninstall"),
            (std::vector<std::string>{"My Tool", "Other"}));
}

TEST(Registry, ChangesSurviveReopeningAndDispositionTellsCreatedFromOpened) {
  test::TempDir dir;
  const auto file = dir.Path() / "registry.reg";
  {
    Registry reg(file);
    RegKey key;
    RegDisposition disposition{};
    ASSERT_TRUE(reg.CreateKeyEx(kHKeyLocalMachine, "Software\\Nolvo\\A", &key, &disposition).ok());
    EXPECT_EQ(disposition, RegDisposition::rdCreatedNewKey);
    const std::uint8_t dword[] = {0x2a, 0, 0, 0};
    ASSERT_TRUE(reg.SetValueEx(key, "Count", RegType::kDword, dword).ok());
    ASSERT_TRUE(reg.SetValueEx(key, "", RegType::kSz, RegStringData("default")).ok());
    ASSERT_TRUE(reg.SetValueEx(key, "count", RegType::kDword, dword).ok());  // same value
    EXPECT_TRUE(reg.CloseKey(key).ok());
    EXPECT_EQ(reg.CloseKey(key), RegCode::kInvalidHandle);
  }
  Registry reg(file);
  RegKey key;
  RegDisposition disposition{};
  ASSERT_TRUE(reg.CreateKeyEx(kHKeyLocalMachine, "software\\nolvo\\a\\", &key, &disposition).ok());
  EXPECT_EQ(disposition, RegDisposition::rdOpenedExistingKey);
  RegValue value;
  ASSERT_TRUE(reg.EnumValue(key, 0, &value).ok());
  EXPECT_EQ(value, (RegValue{"", RegType::kSz, RegStringData("default")}));
  ASSERT_TRUE(reg.EnumValue(key, 1, &value).ok());
  EXPECT_EQ(value, (RegValue{"Count", RegType::kDword, {0x2a, 0, 0, 0}}));
  EXPECT_EQ(reg.EnumValue(key, 2, &value), RegCode::kNoMoreItems);
  EXPECT_EQ(reg.ReadString(kHKeyLocalMachine, "Software\\Nolvo\\A", ""), "default");
  EXPECT_EQ(reg.ReadString(kHKeyLocalMachine, "Software\\Nolvo\\A", "Count"), std::nullopt);
}

TEST(Registry, QueryValueFollowsTheWin32BufferRules) {
  Registry reg;
  reg.WriteString(kHKeyLocalMachine, "Software\\X", "Name", "abc");
  RegKey key;
  ASSERT_TRUE(reg.OpenKeyEx(kHKeyLocalMachine, "Software\\X", &key).ok());
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_TRUE(reg.QueryValueEx(key, "NAME", &type, nullptr, &size).ok());
  EXPECT_EQ(type, RegType::kSz);
  EXPECT_EQ(size, 4u);  // text and its NUL
  std::uint8_t buf[8] = {};
  size = 3;
  EXPECT_EQ(reg.QueryValueEx(key, "Name", nullptr, buf, &size), RegCode::kMoreData);
  EXPECT_EQ(size, 4u);
  size = sizeof buf;
  EXPECT_TRUE(reg.QueryValueEx(key, "Name", nullptr, buf, &size).ok());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "abc");
  EXPECT_EQ(reg.QueryValueEx(key, "Other", nullptr, nullptr, nullptr), RegCode::kFileNotFound);
  EXPECT_EQ(reg.OpenKeyEx(kHKeyLocalMachine, "Software\\Y", &key), RegCode::kFileNotFound);
}

TEST(Registry, MalformedPathsAndUnstorableNamesAreRefused) {
  Registry reg;
  RegKey key;
  EXPECT_EQ(reg.CreateKeyEx(kHKeyLocalMachine, "\\Software", &key, nullptr), RegCode::kBadPathname);
  EXPECT_EQ(reg.CreateKeyEx(kHKeyLocalMachine, "a\\\\b", &key, nullptr), RegCode::kBadPathname);
  EXPECT_EQ(reg.CreateKeyEx(kHKeyLocalMachine, "a\r\nb", &key, nullptr),
            RegCode::kInvalidParameter);
  EXPECT_EQ(reg.CreateKeyEx(RegKey{12345}, "a", &key, nullptr), RegCode::kInvalidHandle);
  // Windows' limits: 255 characters a name, 512 levels below a root.
  EXPECT_EQ(reg.CreateKeyEx(kHKeyLocalMachine, std::string(256, 'k'), &key, nullptr),
            RegCode::kInvalidParameter);
  std::string deep = "a";
  for (int i = 1; i < 512; ++i) deep += "\\a";
  RegKey deepest;
  ASSERT_TRUE(reg.CreateKeyEx(kHKeyUsers, deep, &deepest, nullptr).ok());
  EXPECT_EQ(reg.CreateKeyEx(deepest, "b", &key, nullptr), RegCode::kInvalidParameter);
  EXPECT_TRUE(reg.DeleteTree(kHKeyUsers, "a").ok());
  ASSERT_TRUE(reg.CreateKeyEx(kHKeyLocalMachine, "a", &key, nullptr).ok());
  EXPECT_EQ(reg.SetValueEx(key, "x\ny", RegType::kSz, RegStringData("v")),
            RegCode::kInvalidParameter);
  EXPECT_FALSE(reg.KeyExists(kHKeyLocalMachine, "a\\b"));
  EXPECT_EQ(reg.Dump(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\r\n");
}

TEST(Registry, DeletingKeysTreesAndValues) {
  test::TempDir dir;
  const auto file = dir.Path() / "registry.reg";
  Registry reg(file);
  reg.WriteString(kHKeyLocalMachine, "Software\\Tool\\Sub", "A", "1");
  reg.WriteString(kHKeyLocalMachine, "Software\\Tool", "B", "2");
  reg.WriteString(kHKeyLocalMachine, "Software\\Tool", "C", "3");
  RegKey sub;
  ASSERT_TRUE(reg.OpenKeyEx(kHKeyLocalMachine, "Software\\Tool\\Sub", &sub).ok());

  EXPECT_EQ(reg.DeleteKey(kHKeyLocalMachine, "Software\\Tool"), RegCode::kAccessDenied);
  EXPECT_EQ(reg.DeleteKey(kHKeyLocalMachine, ""), RegCode::kAccessDenied);
  RegKey tool;
  ASSERT_TRUE(reg.OpenKeyEx(kHKeyLocalMachine, "software\\tool", &tool).ok());
  EXPECT_TRUE(reg.DeleteValue(tool, "b").ok());
  EXPECT_EQ(reg.DeleteValue(tool, "b"), RegCode::kFileNotFound);
  EXPECT_TRUE(reg.DeleteTree(kHKeyLocalMachine, "SOFTWARE\\TOOL").ok());
  EXPECT_FALSE(reg.KeyExists(kHKeyLocalMachine, "Software\\Tool"));
  // Handles into the deleted subtree now fail.
  EXPECT_EQ(reg.SetValueEx(sub, "A", RegType::kSz, RegStringData("x")), RegCode::kKeyDeleted);
  EXPECT_EQ(reg.QueryValueEx(tool, "C", nullptr, nullptr, nullptr), RegCode::kKeyDeleted);
  EXPECT_EQ(test::ReadText(file), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n");

  // An empty subkey name empties the key but keeps it; DeleteKey takes a leaf.
  reg.WriteString(kHKeyLocalMachine, "Software\\T2\\Leaf", "A", "1");
  reg.WriteString(kHKeyLocalMachine, "Software", "V", "1");
  RegKey software;
  ASSERT_TRUE(reg.OpenKeyEx(kHKeyLocalMachine, "Software", &software).ok());
  EXPECT_TRUE(reg.DeleteKey(software, "T2\\Leaf").ok());
  EXPECT_TRUE(reg.DeleteTree(software, "").ok());
  EXPECT_EQ(Registry(file).Dump(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n");
  EXPECT_EQ(reg.DeleteTree(kHKeyLocalMachine, "Missing"), RegCode::kFileNotFound);
}

TEST(Registry, AReadOnlyStoreRefusesChangesWithTheSystemsMessages) {
  test::TempDir dir;
  const auto file = dir.Path() / "registry.reg";
  Registry reg(file);
  reg.WriteString(kHKeyLocalMachine, "Software\\Keep", "A", "1");
  const std::string before = test::ReadText(file);
  reg.SetReadOnly(true);

  RegKey key;
  EXPECT_EQ(reg.CreateKeyEx(kHKeyLocalMachine, "Software\\Keep", &key, nullptr),
            RegCode::kAccessDenied);
  ASSERT_TRUE(reg.OpenKeyEx(kHKeyLocalMachine, "Software\\Keep", &key).ok());
  EXPECT_EQ(reg.SetValueEx(key, "A", RegType::kSz, RegStringData("2")), RegCode::kAccessDenied);
  EXPECT_EQ(reg.DeleteValue(key, "A"), RegCode::kAccessDenied);
  EXPECT_EQ(reg.DeleteTree(kHKeyLocalMachine, "Software"), RegCode::kAccessDenied);
  try {
    reg.WriteString(kHKeyLocalMachine, "Software\\New Tool", "DisplayName", "New Tool");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to create key Software\\New Tool");
    EXPECT_EQ(e.Code(), RegCode::kAccessDenied);
  }
  EXPECT_EQ(test::ReadText(file), before);
  EXPECT_EQ(reg.ReadString(kHKeyLocalMachine, "Software\\Keep", "A"), "1");
}

// The store file cannot be replaced (a directory took its place): every change fails,
// is undone in memory, and the error names the step that failed.
TEST(Registry, AnUnwritableFileUndoesTheChangeAndReportsAccessDenied) {
  test::TempDir dir;
  const auto file = dir.Path() / "registry.reg";
  Registry reg(file);
  reg.WriteString(kHKeyLocalMachine, "Software\\Tool", "DisplayName", "Old");
  fs::remove(file);
  fs::create_directory(file);

  try {
    reg.WriteString(kHKeyLocalMachine, "Software\\Tool", "DisplayName", "New");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'DisplayName'");
    EXPECT_EQ(e.Code(), RegCode::kAccessDenied);
  }
  EXPECT_EQ(reg.ReadString(kHKeyLocalMachine, "Software\\Tool", "DisplayName"), "Old");
  EXPECT_THROW(reg.WriteString(kHKeyLocalMachine, "Software\\Other\\Deep", "A", "1"),
               ERegistryException);
  EXPECT_FALSE(reg.KeyExists(kHKeyLocalMachine, "Software\\Other"));
  EXPECT_EQ(reg.DeleteTree(kHKeyLocalMachine, "Software\\Tool"), RegCode::kAccessDenied);
  EXPECT_EQ(reg.DeleteTree(kHKeyLocalMachine, "Software"), RegCode::kAccessDenied);
  EXPECT_EQ(reg.SubKeyNames(kHKeyLocalMachine, "Software"), std::vector<std::string>{"Tool"});
  EXPECT_EQ(reg.ReadString(kHKeyLocalMachine, "Software\\Tool", "DisplayName"), "Old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);

  // Opening a store whose file is a directory fails loudly.
  EXPECT_THROW(Registry{file}, ERegistryFileError);
}

}  // namespace
}  // namespace nolvo::platform
