// The whole road through a real Wine prefix: a tiny 64-bit Windows program is built with
// MinGW-w64, packed into setup media, installed with `nolvo install --unattended` into a
// prefix made by `wineboot -i`, and then used and removed through Wine's own tools.
//
// Needs Debian's wine, wine64 and gcc-mingw-w64-x86-64 (scripts/bootstrap installs them).
// Without them the test is skipped, except under CI=true, where it fails.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "platform/host_process.h"
#include "platform/registry.h"
#include "platform/wine_registry_store.h"
#include "setup/desktop_file.h"
#include "tests/support/run_command.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Marker Tool 1.0";

constexpr const char* kMarkerSource = R"(#include <windows.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  while (n > 0 && path[n - 1] != '\\') --n;
  path[n] = 0;
  lstrcatA(path, "marker.txt");
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written;
  WriteFile(h, "ran\r\n", 5, &written, NULL);
  CloseHandle(h);
  return 0;
}
)";

constexpr const char* kInstallCfg =
    "[Setup - Main]\r\nInstall Disks=1\r\nInstall Dir=Marker Tool\r\n"
    "Launch=<INSTALLDIR>marker.exe\r\nFolder=Marker Tool\r\nHeader=Marker Tool 1.0\r\n"
    "\r\n[Directories]\r\nDir1=<INSTALLDIR>~\r\n"
    "\r\n[Files]\r\nF1=marker.exe~<INSTALLDIR>\r\nF2=uninstaller.exe~<INSTALLDIR>\r\n"
    "F3=marker.ico~<INSTALLDIR>\r\n"
    "\r\n[Desktop]\r\nS1=Marker Tool~<INSTALLDIR>marker.exe~X~~<INSTALLDIR>marker.ico~Marker "
    "Tool\r\n";

std::string Tool(const char* name) {
  const auto path = platform::FindOnPath(name);
  return path ? path->string() : std::string();
}

// Seconds since `start`, for the timing lines.
double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A UTF-16LE export of regedit as UTF-8 text.
std::string FromUtf16(const std::vector<unsigned char>& bytes) {
  std::string out;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    char32_t c = bytes[i] | bytes[i + 1] << 8;
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + ((bytes[i + 2] | bytes[i + 3] << 8) - 0xDC00);
      i += 2;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// A registry export as key -> its value lines (continuations joined).
using Export = std::map<std::string, std::string>;

Export ParseExport(const std::string& text) {
  Export keys;
  std::string key, line;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto end = text.find('\n', pos);
    std::string part = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    if (!part.empty() && part.back() == '\r') part.pop_back();
    line += part;
    if (!line.empty() && line.back() == '\\') {
      line.pop_back();
      continue;
    }
    if (!line.empty() && line.front() == '[') {
      key = line;
      keys[key];
    } else if (!key.empty() && !line.empty()) {
      keys[key] += line + "\n";
    }
    line.clear();
  }
  return keys;
}

// The keys that are not the same in both exports.
std::set<std::string> Changed(const Export& a, const Export& b) {
  std::set<std::string> changed;
  for (const auto& [key, values] : a)
    if (auto it = b.find(key); it == b.end() || it->second != values) changed.insert(key);
  for (const auto& [key, values] : b)
    if (!a.count(key)) changed.insert(key);
  return changed;
}

// A key with its GUIDs masked: Wine names some keys after a GUID it makes anew in every
// session (the display device below Control\Video).
std::string Masked(const std::string& key) {
  static const std::regex guid("\\{[0-9a-fA-F]{8}(-[0-9a-fA-F]{4}){3}-[0-9a-fA-F]{12}\\}");
  return std::regex_replace(key, guid, "{GUID}");
}

// Every file and folder of the prefix (relative), but Wine's hive files.
std::set<std::string> Listing(const fs::path& prefix) {
  std::set<std::string> all;
  for (fs::recursive_directory_iterator it(prefix), end; it != end; ++it) {
    const std::string rel = it->path().lexically_relative(prefix).string();
    if (rel == "system.reg" || rel == "user.reg" || rel == "userdef.reg" || rel == "nolvo.lock")
      continue;
    if (it->is_symlink()) it.disable_recursion_pending();
    all.insert(rel);
  }
  return all;
}

bool WaitForFile(const fs::path& file, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

class WineEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    wine_ = Tool("wine");
    wineserver_ = Tool("wineserver");
    gcc_ = Tool("x86_64-w64-mingw32-gcc");
    if (wine_.empty() || wineserver_.empty() || gcc_.empty()) {
      const char* ci = std::getenv("CI");
      if (ci && std::string(ci) == "true")
        FAIL() << "wine, wineserver and x86_64-w64-mingw32-gcc are needed (scripts/bootstrap)";
      GTEST_SKIP() << "Wine or MinGW-w64 is missing; scripts/bootstrap installs them";
    }
    home_ = dir_.Path() / "home";
    prefix_ = dir_.Path() / "prefix";
    fs::create_directories(home_);
    const std::pair<const char*, std::optional<std::string>> env[] = {
        {"HOME", home_.string()},
        {"XDG_DATA_HOME", (home_ / ".local/share").string()},
        {"XDG_CONFIG_HOME", (home_ / ".config").string()},
        {"XDG_CACHE_HOME", (home_ / ".cache").string()},
        {"XDG_DATA_DIRS", (home_ / ".local/share").string()},
        {"WINEPREFIX", prefix_.string()},
        {"WINEDEBUG", "-all"},
        {"WINEDLLOVERRIDES", "mscoree,mshtml="},
        {"DISPLAY", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {"NOLVO_PREFIX", std::nullopt},
        {"NOLVO_LAUNCH_LOG", std::nullopt},
    };
    for (const auto& [name, value] : env) env_.push_back(std::make_unique<ScopedEnv>(name, value));
  }

  CommandResult Wine(std::vector<std::string> args) {
    args.insert(args.begin(), wine_);
    return RunCommand(args);
  }
  void WaitForServer() { RunCommand({wineserver_, "-w"}); }
  Export RegistryExport(const std::string& name) {
    const fs::path file = dir_.Path() / name;
    Wine({"regedit", "/E", file.string()});
    WaitForServer();
    return ParseExport(FromUtf16(ReadBytes(file)));
  }
  void Step(const char* what, std::chrono::steady_clock::time_point start) {
    std::cout << "[ timing ] " << what << ": " << Since(start) << " s" << std::endl;
  }

  TempDir dir_;
  fs::path home_, prefix_;
  std::string wine_, wineserver_, gcc_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

TEST_F(WineEndToEnd, AProductInstalledIntoAWinePrefixIsOneWineKnowsAndUninstallLeavesNothing) {
  const auto begin = std::chrono::steady_clock::now();
  auto t = begin;

  // The product: the marker program, an uninstaller and an icon.
  const fs::path product = dir_.Path() / "product";
  fs::create_directories(product);
  WriteBytes(dir_.Path() / "marker.c", std::string(kMarkerSource));
  const auto cc =
      RunCommand({gcc_, "-Os", "-s", "-mwindows", "-o", (product / "marker.exe").string(),
                  (dir_.Path() / "marker.c").string()});
  ASSERT_EQ(cc.exitCode, 0) << cc.err;
  fs::copy_file(product / "marker.exe", product / "uninstaller.exe");
  fs::copy_file(SourceDir() / "examples/demo/demo.ico", product / "marker.ico");
  WriteBytes(product / "install.cfg", std::string(kInstallCfg));
  const fs::path media = dir_.Path() / "media";
  const auto pack = RunCommand({NolvoTool(), "pack", product.string(), "-o", media.string()});
  ASSERT_EQ(pack.exitCode, 0) << pack.err;
  Step("build and pack the product", t);

  t = std::chrono::steady_clock::now();
  const auto boot = Wine({"wineboot", "-i"});
  ASSERT_EQ(boot.exitCode, 0) << boot.err;
  WaitForServer();
  ASSERT_TRUE(fs::exists(prefix_ / "system.reg"));
  Step("wineboot -i", t);

  // Two sessions before the install show what Wine changes by itself.
  t = std::chrono::steady_clock::now();
  const Export before = RegistryExport("before1.reg");
  const Export again = RegistryExport("before2.reg");
  std::set<std::string> noise;
  for (const auto& k : Changed(before, again)) noise.insert(Masked(k));
  const std::set<std::string> filesBefore = Listing(prefix_);
  Step("two registry exports", t);

  t = std::chrono::steady_clock::now();
  const auto install = RunCommand({NolvoTool(), "install", media.string(), "--prefix",
                                   prefix_.string(), "--unattended", "--finish", "launch"});
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  Step("nolvo install (with menu entries)", t);
  const fs::path installDir = prefix_ / "drive_c/Marker Tool";
  EXPECT_TRUE(WaitForFile(installDir / "marker.txt", 30)) << "the finish launch ran nothing";
  WaitForServer();
  EXPECT_FALSE(fs::exists(prefix_ / "registry.reg"));

  t = std::chrono::steady_clock::now();
  const auto listed = Wine({"uninstaller", "--list"});
  WaitForServer();
  EXPECT_NE(listed.out.find(kTitle), std::string::npos) << listed.out;

  // Nothing in the registry changed but the product's key and Wine's own notes of the
  // menu entries it made.
  const Export after = RegistryExport("after.reg");
  const std::string key =
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Marker Tool "
      "1.0]";
  ASSERT_TRUE(after.count(key));
  EXPECT_EQ(after.at(key),
            "\"DisplayName\"=\"Marker Tool 1.0\"\n"
            "\"UninstallString\"=\"C:\\\\Marker Tool\\\\uninstaller.exe Marker Tool 1.0\"\n");
  const auto menuNotes = [](const std::string& k) {
    return k.ends_with("\\Software\\Wine\\MenuFiles]") &&
           (k.starts_with("[HKEY_CURRENT_USER\\") || k.starts_with("[HKEY_USERS\\S-1-5-21-"));
  };
  // Keys Wine keeps only in memory (volatile ones such as its count of started services)
  // are made anew in every session; the hive files do not hold them.
  platform::Registry hives(
      std::make_unique<platform::WineRegistryStore>(prefix_, platform::CodePage()));
  const auto inMemoryOnly = [&](const std::string& k) {
    for (const auto& [root, name] :
         {std::pair{platform::kHKeyLocalMachine, "[HKEY_LOCAL_MACHINE\\"},
          std::pair{platform::kHKeyCurrentUser, "[HKEY_CURRENT_USER\\"}})
      if (k.starts_with(name))
        return !hives.KeyExists(root, platform::CodePage().FromUtf8(k.substr(
                                          std::strlen(name), k.size() - std::strlen(name) - 1)));
    return false;
  };
  std::set<std::string> unexpected;
  for (const auto& k : Changed(before, after))
    if (!noise.count(Masked(k)) && k != key && !menuNotes(k) && !inMemoryOnly(k))
      unexpected.insert(k);
  EXPECT_TRUE(unexpected.empty()) << "also changed: " << *unexpected.begin();
  Step("uninstaller --list and an export", t);

  // The Start-menu link runs the program through `wine start`.
  t = std::chrono::steady_clock::now();
  fs::path startMenu;
  for (const auto& user : fs::directory_iterator(prefix_ / "drive_c/users"))
    if (fs::exists(user.path() / "AppData/Roaming/Microsoft/Windows/Start Menu"))
      startMenu = user.path() / "AppData/Roaming/Microsoft/Windows/Start Menu";
  const fs::path link = startMenu / "Programs/Marker Tool/Marker Tool.lnk";
  ASSERT_TRUE(fs::exists(link));
  fs::remove(installDir / "marker.txt");
  Wine({"start", "/unix", link.string()});
  EXPECT_TRUE(WaitForFile(installDir / "marker.txt", 30)) << "wine start on the link ran nothing";
  WaitForServer();
  Step("wine start on the Start-menu link", t);

  // So does the menu entry's Exec line.
  t = std::chrono::steady_clock::now();
  const fs::path entry =
      home_ / ".local/share/applications/wine/Programs/Marker Tool/Marker Tool.desktop";
  ASSERT_TRUE(fs::exists(entry));
  const auto exec = setup::DesktopEntryValue(ReadText(entry), "Exec");
  ASSERT_TRUE(exec.has_value());
  EXPECT_NE(setup::DesktopEntryValue(ReadText(entry), "Icon").value_or(""), "");
  fs::remove(installDir / "marker.txt");
  RunCommand({"/bin/sh", "-c", *exec});
  EXPECT_TRUE(WaitForFile(installDir / "marker.txt", 30))
      << "the menu entry ran nothing: " << *exec;
  WaitForServer();
  Step("the menu entry's Exec line", t);

  // The program's own file is no part of the installation: the uninstall would keep it.
  fs::remove(installDir / "marker.txt");
  t = std::chrono::steady_clock::now();
  const auto uninstall =
      RunCommand({NolvoTool(), "uninstall", kTitle, "--prefix", prefix_.string()});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.out << uninstall.err;
  const auto relisted = Wine({"uninstaller", "--list"});
  WaitForServer();
  EXPECT_EQ(relisted.out.find(kTitle), std::string::npos) << relisted.out;
  Step("nolvo uninstall and uninstaller --list", t);

  EXPECT_FALSE(fs::exists(link));
  EXPECT_FALSE(fs::exists(entry));
  std::vector<std::string> menuFiles;
  for (const auto* dir :
       {".local/share/applications", ".config/menus", ".local/share/desktop-directories"})
    if (fs::exists(home_ / dir))
      for (const auto& e : fs::recursive_directory_iterator(home_ / dir))
        if (e.is_regular_file()) menuFiles.push_back(e.path().string());
  for (const auto& e : fs::directory_iterator(home_))
    if (e.path().extension() == ".desktop" || e.path().extension() == ".lnk")
      menuFiles.push_back(e.path().string());
  EXPECT_TRUE(menuFiles.empty()) << "left: " << menuFiles.front();
  const std::set<std::string> filesAfter = Listing(prefix_);
  std::vector<std::string> differ;
  std::set_symmetric_difference(filesBefore.begin(), filesBefore.end(), filesAfter.begin(),
                                filesAfter.end(), std::back_inserter(differ));
  EXPECT_TRUE(differ.empty()) << "the prefix differs in " << differ.front();
  Step("the whole test", begin);
}

}  // namespace
}  // namespace nolvo::test
