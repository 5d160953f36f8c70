// Wine's registry files: the reader and writer against a hive Wine itself wrote
// (tests/data/wine/system.reg, made by `wine regedit /S` and trimmed to a few keys), the
// store that edits them in place, the merge of a leftover registry.reg and the detection
// of a running Wine server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/machine.h"
#include "platform/machine_registry.h"
#include "platform/registry_file.h"
#include "platform/wine_hive.h"
#include "platform/wine_registry_store.h"
#include "platform/wine_server.h"
#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kTime = 0x1dd878655747f56ull;  // 2026-12-09 02:38:12 UTC
constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string Fixture() { return test::ReadText(test::DataDir() / "wine/system.reg"); }

std::vector<std::uint8_t> Utf16Data(std::u16string text) {
  text.push_back(0);
  std::vector<std::uint8_t> out;
  for (const char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

TEST(WineHive, TheWriterReproducesWhatWineWroteByteForByte) {
  const std::string text = Fixture();
  const WineHive hive = ParseWineHive(text, "fixture");
  ASSERT_EQ(hive.keys.size(), 6u);
  std::string again = hive.preamble;
  for (const WineHiveKey& key : hive.keys) {
    std::vector<std::string> lines;
    for (const WineHiveValue& v : key.values) {
      EXPECT_EQ(FormatWineHiveValue(v), v.text);
      lines.push_back(FormatWineHiveValue(v));
    }
    const auto at = key.text.find("#time=") + 6;
    const std::uint64_t time =
        std::stoull(key.text.substr(at, key.text.find('\n', at) - at), nullptr, 16);
    const std::string block = FormatWineHiveKey(key.path, key.options, lines, time);
    EXPECT_EQ(block, key.text);
    again += block;
  }
  EXPECT_EQ(again, text);
}

TEST(WineHive, NamesAndDataAreDecodedFromWinesEscapes) {
  const WineHive hive = ParseWineHive(Fixture(), "fixture");
  const auto key = [&](std::vector<std::u16string> path) -> const WineHiveKey& {
    for (const auto& k : hive.keys)
      if (k.path == path) return k;
    throw std::runtime_error("no such key");
  };
  const auto value = [&](const WineHiveKey& k, std::u16string name) {
    for (const auto& v : k.values)
      if (v.name == name) return v;
    throw std::runtime_error("no such value");
  };
  const WineHiveKey& fixture = key({u"Software", u"NolvoFixture"});
  struct Case {
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const Case cases[] = {
      {u"", 1, Utf16Data(u"default")},
      {u"Quote \"x\"", 1, Utf16Data(u"a\"b\\c")},
      {u"Ctrl", 1,
       Utf16Data(u"\x01"
                 u"5\x02")},
      {u"Unicode", 1, Utf16Data(u"caf\u00e9 \u65e5\u672c")},
      {u"HexNext", 1,
       Utf16Data(u"\u00e9"
                 u"1")},
      {u"Expand", 2, Utf16Data(u"%SystemRoot%")},
      {u"Multi", 7, Utf16Data(std::u16string(u"a\0b\0", 4))},
      {u"Dword", 4, {0x2a, 0, 0, 0}},
      {u"Qword", 0xb, {1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Case& c : cases) {
    const WineHiveValue v = value(fixture, c.name);
    EXPECT_EQ(v.type, c.type);
    EXPECT_EQ(v.data, c.data);
  }
  EXPECT_EQ(value(fixture, u"Binary").data.size(), 42u);
  EXPECT_NO_THROW(key({u"Software", u"NolvoFixture", u"Sub [brackets]"}));
  EXPECT_EQ(value(key({u"Software", u"NolvoFixture", u"\u65e5\u672c"}), u"\u540d").data,
            Utf16Data(u"\u5024"));
}

TEST(WineHive, MalformedTextIsRefusedWithItsLine) {
  const std::string head = "WINE REGISTRY Version 2\n\n";
  for (const std::string& bad : {std::string("REGEDIT4\n"), std::string(""),
                                 head + "\"a\"=\"b\"\n",              // value before any key
                                 head + "[Software\n",                // key line without "]"
                                 head + "[K] 1\n\"a\"=\"b\n",         // unterminated string
                                 head + "[K] 1\n\"a\"=dword:xyz\n",   // not hex
                                 head + "[K] 1\n\"a\"=hex:01,0\\\n",  // continued past the end
                                 head + "[K] 1\nwhat\n"}) {
    EXPECT_THROW(ParseWineHive(bad, "bad"), ERegistryFileError) << bad;
  }
}

class WineStore : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(prefix);
    test::WriteBytes(prefix / "system.reg", Fixture());
  }
  std::unique_ptr<Registry> Open() {
    return std::make_unique<Registry>(
        std::make_unique<WineRegistryStore>(prefix, CodePage(), [] { return kTime; }));
  }
  std::string System() const { return test::ReadText(prefix / "system.reg"); }

  test::TempDir dir;
  fs::path prefix = dir.Path() / "prefix";
};

TEST_F(WineStore, ANewKeyGoesWhereWinePutsItAndDeletingItRestoresTheFile) {
  auto reg = Open();
  EXPECT_EQ(reg->ReadString(kHKeyLocalMachine, "Software\\NolvoFixture", "Quote \"x\""), "a\"b\\c");
  EXPECT_EQ(reg->ReadString(kHKeyLocalMachine, "Software\\NolvoFixture", "Unicode"), "caf\xe9 ??");
  reg->WriteString(kHKeyLocalMachine, std::string(kUninstall) + "\\My Tool", "DisplayName",
                   "My Tool \xe9");

  const std::string block =
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\My Tool] 1796783892\n"
      "#time=1dd878655747f56\n\"DisplayName\"=\"My Tool \\xe9\"\n";
  std::string expected = Fixture();
  expected.insert(expected.find("\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\URL"),
                  block);
  EXPECT_EQ(System(), expected);
  EXPECT_FALSE(fs::exists(prefix / "user.reg"));
  EXPECT_EQ(
      Open()->ReadString(kHKeyLocalMachine, std::string(kUninstall) + "\\my tool", "displayname"),
      "My Tool \xe9");

  EXPECT_EQ(reg->DeleteTree(kHKeyLocalMachine, std::string(kUninstall) + "\\My Tool"),
            RegCode::kSuccess);
  EXPECT_EQ(System(), Fixture());
}

TEST_F(WineStore, AChangedKeyIsWrittenAnewAndKeepsTheLinesOfItsOtherValues) {
  auto reg = Open();
  reg->WriteString(kHKeyLocalMachine, "Software\\NolvoFixture", "Added", "x");
  const WineHive before = ParseWineHive(Fixture(), "before");
  const WineHive after = ParseWineHive(System(), "after");
  ASSERT_EQ(after.keys.size(), before.keys.size());
  for (std::size_t i = 0; i < before.keys.size(); ++i) {
    if (before.keys[i].path != std::vector<std::u16string>{u"Software", u"NolvoFixture"}) {
      EXPECT_EQ(after.keys[i].text, before.keys[i].text);
      continue;
    }
    EXPECT_NE(after.keys[i].text.find("#time=1dd878655747f56\n@=\"default\"\n\"Added\"=\"x\"\n"),
              std::string::npos);
    EXPECT_EQ(after.keys[i].values.size(), before.keys[i].values.size() + 1);
    for (const auto& v : before.keys[i].values)  // "Unicode" too: its CJK text is kept
      EXPECT_NE(after.keys[i].text.find(v.text), std::string::npos) << v.text;
  }
}

TEST_F(WineStore, KeysTheCodePageCannotSpellAndOtherRootsRefuseChanges) {
  auto reg = Open();
  RegKey key;
  ASSERT_EQ(reg->OpenKeyEx(kHKeyLocalMachine, "Software\\NolvoFixture\\??", &key),
            RegCode::kSuccess);
  EXPECT_EQ(reg->SetValueEx(key, "v", RegType::kSz, RegStringData("x")), RegCode::kAccessDenied);
  RegKey sub;
  EXPECT_EQ(reg->CreateKeyEx(key, "Sub", &sub, nullptr), RegCode::kAccessDenied);
  EXPECT_EQ(reg->CreateKeyEx(kHKeyClassesRoot, "x", &sub, nullptr), RegCode::kAccessDenied);
  EXPECT_EQ(System(), Fixture());
}

TEST_F(WineStore, AnEmptiedParentKeepsABlockAndTheUserHiveIsMadeWhenNeeded) {
  auto reg = Open();
  reg->WriteString(kHKeyLocalMachine, "Software\\Nolvo New\\Leaf", "a", "b");
  EXPECT_EQ(reg->DeleteKey(kHKeyLocalMachine, "Software\\Nolvo New\\Leaf"), RegCode::kSuccess);
  EXPECT_NE(System().find("\n[Software\\\\Nolvo New] 1796783892\n#time=1dd878655747f56\n"),
            std::string::npos);

  reg->WriteString(kHKeyCurrentUser, "Software\\Nolvo", "a", "b");
  EXPECT_EQ(
      test::ReadText(prefix / "user.reg"),
      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
      "#arch=win64\n\n[Software\\\\Nolvo] 1796783892\n#time=1dd878655747f56\n\"a\"=\"b\"\n");
}

TEST_F(WineStore, AHiveWineWroteBackSinceItWasReadIsNotWrittenOver) {
  auto reg = Open();
  const std::string wine = Fixture() + "\n[Software\\\\Wine Wrote] 1796783892\n#time=1\n";
  test::WriteBytes(prefix / "system.reg", wine);
  RegKey key;
  EXPECT_EQ(reg->CreateKeyEx(kHKeyLocalMachine, "Software\\Nolvo", &key, nullptr),
            RegCode::kAccessDenied);
  EXPECT_EQ(System(), wine);
  EXPECT_EQ(Open()->CreateKeyEx(kHKeyLocalMachine, "Software\\Nolvo", &key, nullptr),
            RegCode::kSuccess);
  EXPECT_NE(System().find("[Software\\\\Wine Wrote]"), std::string::npos);
}

TEST_F(WineStore, ARefreshTakesInWhatWineWroteBackAndKeepsItsKeys) {
  auto reg = Open();
  EXPECT_FALSE(reg->Refresh());
  // A hive that no longer loads leaves the copy as it was, and nothing is written over it.
  const std::string broken = Fixture() + "\n[Software\\Broken\n";
  test::WriteBytes(prefix / "system.reg", broken);
  EXPECT_THROW(reg->Refresh(), ERegistryFileError);
  RegKey key;
  EXPECT_NE(reg->CreateKeyEx(kHKeyLocalMachine, "Software\\Nolvo", &key, nullptr),
            RegCode::kSuccess);
  EXPECT_EQ(System(), broken);

  const std::string wine = Fixture() + "\n[Software\\\\Wine Wrote] 1796783892\n#time=1\n";
  test::WriteBytes(prefix / "system.reg", wine);
  EXPECT_TRUE(reg->Refresh());
  EXPECT_FALSE(reg->Refresh());
  EXPECT_EQ(reg->CreateKeyEx(kHKeyLocalMachine, "Software\\Nolvo", &key, nullptr),
            RegCode::kSuccess);
  EXPECT_NE(System().find("[Software\\\\Wine Wrote]"), std::string::npos);
  EXPECT_NE(System().find("[Software\\\\Nolvo]"), std::string::npos);
}

TEST_F(WineStore, ALeftoverRegistryFileIsMergedOnceAndKept) {
  test::WriteBytes(prefix / "registry.reg",
                   "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Old\\Key]\r\n\"A\"=\"1\"\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Old]\r\n\"B\"=dword:00000002\r\n");
  Machine machine(prefix, CodePage());
  Registry reg(MachineRegistryStore(machine));
  EXPECT_NE(MergeLeftoverRegistry(machine, reg).find("Merged the 2 keys"), std::string::npos);
  EXPECT_FALSE(fs::exists(prefix / "registry.reg"));
  EXPECT_TRUE(fs::exists(prefix / "registry.reg.merged"));
  EXPECT_EQ(Open()->ReadString(kHKeyLocalMachine, "Software\\Old\\Key", "A"), "1");
  EXPECT_NE(test::ReadText(prefix / "user.reg").find("\"B\"=dword:00000002\n"), std::string::npos);
  EXPECT_EQ(MergeLeftoverRegistry(machine, reg), "");
}

TEST_F(WineStore, ARunningWineServerIsSeenAndNothingIsWrittenMeanwhile) {
  // Debian's Wine names its server folder in the prefix's file "wineserver".
  const std::string base = "nolvo-test-" + std::to_string(::getpid());
  test::WriteBytes(prefix / "wineserver", base + "\n");
  struct stat st {};
  ASSERT_EQ(::stat(prefix.c_str(), &st), 0);
  char server[64];
  std::snprintf(server, sizeof server, "server-%llx-%llx",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  const fs::path serverDir = fs::path("/tmp") / base / server;
  fs::create_directories(serverDir);
  test::WriteBytes(serverDir / "lock", "");
  EXPECT_FALSE(WineServerRunning(prefix));

  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open((serverDir / "lock").c_str(), O_WRONLY);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    char c = ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
    (void)!::write(ready[1], &c, 1);
    (void)!::read(release[0], &c, 1);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  EXPECT_TRUE(WineServerRunning(prefix));
  EXPECT_FALSE(WaitForWineServerExit(prefix, std::chrono::milliseconds(200)));
  auto reg = Open();
  RegKey key;
  EXPECT_EQ(reg->CreateKeyEx(kHKeyLocalMachine, "Software\\Nolvo", &key, nullptr),
            RegCode::kAccessDenied);
  EXPECT_EQ(System(), Fixture());

  (void)!::write(release[1], "x", 1);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(WaitForWineServerExit(prefix, std::chrono::milliseconds(2000)));
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
  fs::remove_all(fs::path("/tmp") / base);
}

}  // namespace
}  // namespace nolvo::platform
