#include "platform/shell_link.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/machine.h"
#include "platform/win_error.h"
#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

void Append(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<unsigned char>(b));
}
void AppendAscii(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }
void AppendUtf16(Bytes& out, const std::string& ascii) {
  for (char c : ascii) Append(out, {c, 0});
}

// The verified minimal link: target C:\Apps\Tool\bin\ed.exe, working directory
// C:\Apps\Tool\bin\, icon C:\Apps\Tool\ed.ico index 0, laid out byte by byte.
Bytes MinimalLink() {
  Bytes b;
  Append(b, {0x4C, 0, 0, 0});
  Append(b, {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
             0x00, 0x46});
  Append(b, {0xD2, 0, 0, 0});  // LinkInfo, WorkingDir, IconLocation, Unicode
  Append(b, {0x20, 0, 0, 0});  // ARCHIVE
  b.insert(b.end(), 24, 0);    // three FILETIMEs
  Append(b, {0, 0, 0, 0});     // size
  Append(b, {0, 0, 0, 0});     // icon index
  Append(b, {1, 0, 0, 0});     // SW_SHOWNORMAL
  b.insert(b.end(), 12, 0);    // hot key, reserved
  EXPECT_EQ(b.size(), 0x4Cu);
  Append(b, {0x46, 0, 0,    0, 0x1C, 0, 0, 0, 0x01, 0, 0,    0, 0x1C, 0,
             0,    0, 0x2D, 0, 0,    0, 0, 0, 0,    0, 0x45, 0, 0,    0});
  Append(b, {0x11, 0, 0, 0, 0x03, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0});
  EXPECT_EQ(b.size(), 0x79u);
  AppendAscii(b, "C:\\Apps\\Tool\\bin\\ed.exe");
  Append(b, {0, 0});
  EXPECT_EQ(b.size(), 0x92u);
  Append(b, {0x11, 0});
  AppendUtf16(b, "C:\\Apps\\Tool\\bin\\");
  EXPECT_EQ(b.size(), 0xB6u);
  Append(b, {0x13, 0});
  AppendUtf16(b, "C:\\Apps\\Tool\\ed.ico");
  EXPECT_EQ(b.size(), 0xDEu);
  Append(b, {0, 0, 0, 0});
  return b;
}

ShellLink ToolLink() {
  ShellLink link;
  EXPECT_EQ(link.SetPath("C:\\Apps\\Tool\\bin\\ed.exe"), kErrorSuccess);
  EXPECT_EQ(link.SetWorkingDirectory("C:\\Apps\\Tool\\bin\\"), kErrorSuccess);
  EXPECT_EQ(link.SetIconLocation("C:\\Apps\\Tool\\ed.ico", 0), kErrorSuccess);
  link.Contents().fileAttributes = kFileAttributeArchive;
  return link;
}

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(ShellLinkTest, MinimalLinkIsByteExact) {
  const std::string bytes = ToolLink().Bytes();
  ASSERT_EQ(bytes.size(), 226u);
  EXPECT_EQ(AsBytes(bytes), MinimalLink());
}

TEST(ShellLinkTest, ParsesWhatItWrites) {
  for (const bool unicode : {true, false}) {
    ShellLink link = ToolLink();
    link.Contents().unicode = unicode;
    link.Contents().iconIndex = -3;
    link.Contents().writeTime = 0x01D2030405060708ull;
    link.Contents().fileSize = 123456;
    const std::string bytes = link.Bytes();
    // The ANSI variant stores the two strings with one byte per character.
    EXPECT_EQ(bytes.size(), unicode ? 226u : 190u);
    const Bytes data = AsBytes(bytes);
    const ParsedLink parsed = ParseLink(data, CodePage());
    EXPECT_EQ(parsed.linkFlags, unicode ? 0xD2u : 0x52u);
    EXPECT_EQ(parsed.TargetPath(), "C:\\Apps\\Tool\\bin\\ed.exe");
    EXPECT_EQ(parsed.workingDirectory, "C:\\Apps\\Tool\\bin\\");
    EXPECT_EQ(parsed.iconLocation, "C:\\Apps\\Tool\\ed.ico");
    EXPECT_EQ(parsed.iconIndex, -3);
    EXPECT_EQ(parsed.writeTime, 0x01D2030405060708ull);
    EXPECT_EQ(parsed.fileSize, 123456u);
    EXPECT_EQ(parsed.showCommand, kShowNormal);
    EXPECT_EQ(parsed.driveType, kDriveFixed);
    EXPECT_FALSE(parsed.relativePath.has_value());
    EXPECT_FALSE(parsed.arguments.has_value());
    EXPECT_EQ(parsed.size, data.size());
  }
}

TEST(ShellLinkTest, AnsiTextsGoThroughTheCodePage) {
  // 0x80 is the euro sign and 0xE9 e-acute in Windows-1252.
  ShellLink link;
  EXPECT_TRUE(link.SetPath("C:\\Caf\xE9\\\x80.exe").ok());
  EXPECT_TRUE(link.SetWorkingDirectory("C:\\Caf\xE9\\").ok());
  EXPECT_TRUE(link.SetIconLocation("C:\\\x80.ico", 0).ok());
  const Bytes data = AsBytes(link.Bytes());
  // LinkInfo keeps the ANSI bytes; the working directory is UTF-16: U+00E9 and U+20AC.
  const Bytes ansiPath = {'C', ':', '\\', 'C', 'a', 'f', 0xE9, '\\', 0x80, '.', 'e', 'x', 'e', 0};
  EXPECT_NE(std::search(data.begin(), data.end(), ansiPath.begin(), ansiPath.end()), data.end());
  const Bytes wideE = {'f', 0, 0xE9, 0x00, '\\', 0};
  EXPECT_NE(std::search(data.begin(), data.end(), wideE.begin(), wideE.end()), data.end());
  const Bytes wideEuro = {'\\', 0, 0xAC, 0x20, '.', 0};
  EXPECT_NE(std::search(data.begin(), data.end(), wideEuro.begin(), wideEuro.end()), data.end());

  const ParsedLink parsed = ParseLink(data, CodePage());
  EXPECT_EQ(parsed.TargetPath(), "C:\\Caf\u00e9\\\u20ac.exe");
  EXPECT_EQ(parsed.workingDirectory, "C:\\Caf\u00e9\\");
  EXPECT_EQ(parsed.iconLocation, "C:\\\u20ac.ico");
}

TEST(ShellLinkTest, SettersRefuseWhatTheAnsiInterfaceCannotTake) {
  ShellLink link;
  ASSERT_EQ(link.SetPath("C:\\a.exe"), kErrorSuccess);
  EXPECT_EQ(link.SetPath(""), kErrorInvalidParameter);
  EXPECT_EQ(link.SetPath("C:\\" + std::string(257, 'x')), kErrorInvalidParameter);
  EXPECT_EQ(link.Path(), "C:\\a.exe");
  EXPECT_EQ(link.SetPath("C:\\" + std::string(256, 'x')), kErrorSuccess);  // 259 characters
  EXPECT_EQ(link.SetWorkingDirectory(std::string(260, 'd')), kErrorInvalidParameter);
  EXPECT_EQ(link.SetIconLocation(std::string(260, 'i'), 1), kErrorInvalidParameter);
  EXPECT_TRUE(link.WorkingDirectory().empty());
  EXPECT_TRUE(link.IconLocation().empty());
  // A text ends at its first NUL, as the C string it stands for.
  EXPECT_EQ(link.SetPath(std::string("C:\\b.exe\0junk", 13)), kErrorSuccess);
  EXPECT_EQ(link.Path(), "C:\\b.exe");
  // Empty working directory and icon are left out of the file.
  const ParsedLink parsed = ParseLink(AsBytes(link.Bytes()), CodePage());
  EXPECT_EQ(parsed.linkFlags, kLinkHasLinkInfo | kLinkIsUnicode);
  EXPECT_FALSE(parsed.workingDirectory.has_value());
}

TEST(ShellLinkTest, ParserRejectsEveryTruncationAndBadHeaders) {
  const Bytes good = MinimalLink();
  for (std::size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
    EXPECT_THROW(ParseLink(cut, CodePage()), ELinkFormatError) << "length " << n;
  }
  Bytes bad = good;
  bad[0] = 0x4D;  // header size
  EXPECT_THROW(ParseLink(bad, CodePage()), ELinkFormatError);
  bad = good;
  bad[0x13] = 0x47;  // class id
  EXPECT_THROW(ParseLink(bad, CodePage()), ELinkFormatError);
  bad = good;
  bad[0x4C] = 0xFF;  // LinkInfo larger than the file
  EXPECT_THROW(ParseLink(bad, CodePage()), ELinkFormatError);
  bad = good;
  bad[0x5C] = 0x46;  // local base path offset past the LinkInfo
  EXPECT_THROW(ParseLink(bad, CodePage()), ELinkFormatError);
  bad = good;
  bad[0x90] = 'x';  // local base path loses its terminator into the suffix's only NUL...
  bad[0x91] = 'y';  // ...and the suffix loses its own
  EXPECT_THROW(ParseLink(bad, CodePage()), ELinkFormatError);
  bad = good;
  bad[0xDE] = 2;  // terminal block with an impossible size
  EXPECT_THROW(ParseLink(bad, CodePage()), ELinkFormatError);
}

TEST(ShellLinkTest, ParserWalksIdListAndExtraBlocks) {
  Bytes data = MinimalLink();
  data[0x14] |= kLinkHasTargetIdList;
  // ID list of one 4-byte item and the closing zero, inserted after the header.
  const Bytes idList = {6, 0, 4, 0, 0xAB, 0xCD, 0, 0};
  data.insert(data.begin() + 0x4C, idList.begin(), idList.end());
  // One extra-data block of 12 bytes before the terminal block.
  const Bytes block = {12, 0, 0, 0, 0x03, 0, 0, 0xA0, 1, 2, 3, 4};
  data.insert(data.end() - 4, block.begin(), block.end());
  ParsedLink parsed = ParseLink(data, CodePage());
  EXPECT_EQ(parsed.idListSize, 6u);
  EXPECT_EQ(parsed.extraBlocks, 1u);
  EXPECT_EQ(parsed.TargetPath(), "C:\\Apps\\Tool\\bin\\ed.exe");

  Bytes badItem = data;
  badItem[0x4C + 2] = 9;  // an item running past the list
  EXPECT_THROW(ParseLink(badItem, CodePage()), ELinkFormatError);
}

// Runs a program, returning its exit status and standard output.
struct RunResult {
  int status = -1;
  std::string out;
};

RunResult RunProgram(const std::vector<std::string>& argv) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  RunResult result;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
    result.out.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool HaveLnkinfo() { return RunProgram({"lnkinfo", "-V"}).status == 0; }

// lnkinfo comes with the bootstrap; on CI its absence is a failure, elsewhere a skip.
#define REQUIRE_LNKINFO()                                                             \
  do {                                                                                \
    if (!HaveLnkinfo()) {                                                             \
      const char* ci = std::getenv("CI");                                             \
      if (ci != nullptr && std::string(ci) == "true") FAIL() << "lnkinfo is missing"; \
      GTEST_SKIP() << "lnkinfo is not installed";                                     \
    }                                                                                 \
  } while (false)

std::string LineOf(const std::string& text, const std::string& label) {
  const std::size_t at = text.find(label);
  if (at == std::string::npos) return {};
  const std::size_t colon = text.find(':', at);
  const std::size_t end = text.find('\n', at);
  std::string value = text.substr(colon + 1, end - colon - 1);
  value.erase(0, value.find_first_not_of(" \t"));
  return value;
}

TEST(ShellLinkTest, LnkinfoReadsTargetWorkingDirectoryAndIcon) {
  REQUIRE_LNKINFO();
  test::TempDir dir;
  for (const bool unicode : {true, false}) {
    ShellLink link = ToolLink();
    link.Contents().unicode = unicode;
    if (!unicode) {  // header fields as a link to an existing target carries them
      link.Contents().fileSize = 4321;
      link.Contents().writeTime = UnixTimeToFileTime(1700000000);
    }
    const fs::path file = dir.Path() / (unicode ? "wide.lnk" : "ansi.lnk");
    ASSERT_FALSE(link.SaveToHost(file));
    const RunResult r = RunProgram({"lnkinfo", file.string()});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(LineOf(r.out, "Local path"), "C:\\Apps\\Tool\\bin\\ed.exe") << r.out;
    EXPECT_EQ(LineOf(r.out, "Working directory"), "C:\\Apps\\Tool\\bin\\") << r.out;
    EXPECT_EQ(LineOf(r.out, "Icon location"), "C:\\Apps\\Tool\\ed.ico") << r.out;
    EXPECT_NE(LineOf(r.out, "Drive type").find("Fixed"), std::string::npos) << r.out;
    EXPECT_EQ(LineOf(r.out, "File size"), unicode ? "0 bytes" : "4321 bytes") << r.out;
    EXPECT_EQ(LineOf(r.out, "Modification time").find("Not set"), unicode ? 0 : std::string::npos)
        << r.out;
  }
}

TEST(ShellLinkTest, LnkinfoRejectsACorruptedLink) {
  REQUIRE_LNKINFO();
  test::TempDir dir;
  const std::string bytes = ToolLink().Bytes();
  for (const std::size_t at : {std::size_t{0x00}, std::size_t{0x4C}}) {  // HeaderSize, LinkInfoSize
    std::string bad = bytes;
    bad[at] = static_cast<char>(0x7F);
    const fs::path file = dir.Path() / ("bad" + std::to_string(at) + ".lnk");
    test::WriteBytes(file, bad);
    EXPECT_NE(RunProgram({"lnkinfo", file.string()}).status, 0) << "byte " << at;
    EXPECT_THROW(ParseLink(AsBytes(bad), CodePage()), ELinkFormatError);
  }
}

TEST(ShellLinkTest, SaveToHostReplacesTheWholeFile) {
  test::TempDir dir;
  const fs::path file = dir.Path() / "a.lnk";
  test::WriteBytes(file, std::string(1000, 'z'));
  ASSERT_FALSE(ToolLink().SaveToHost(file));
  EXPECT_EQ(test::ReadBytes(file), MinimalLink());
  EXPECT_TRUE(ToolLink().SaveToHost(dir.Path() / "missing" / "a.lnk"));
}

class ShellLinkMachineTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  Machine machine{dir.Path() / "prefix", CodePage()};
  fs::path Host(const std::string& windowsPath) { return machine.Resolve(windowsPath).host; }
  fs::path DriveC() const { return dir.Path() / "prefix" / "drive_c"; }
};

TEST_F(ShellLinkMachineTest, SetPathTakesTheTargetsHeaderFields) {
  fs::create_directories(DriveC() / "Apps" / "Tool" / "bin");
  test::WriteBytes(Host("C:\\Apps\\Tool\\bin\\ed.exe"), std::string(4321, 'x'));
  ShellLink link(machine);
  EXPECT_EQ(link.SetPath("c:/Apps/Tool/bin/./ed.exe"), kErrorSuccess);
  EXPECT_EQ(link.Path(), "c:\\Apps\\Tool\\bin\\ed.exe");
  EXPECT_EQ(link.Contents().fileAttributes, kFileAttributeArchive);
  EXPECT_EQ(link.Contents().fileSize, 4321u);
  struct stat st {};
  ASSERT_EQ(::stat(Host("C:\\Apps\\Tool\\bin\\ed.exe").c_str(), &st), 0);
  EXPECT_EQ(link.Contents().writeTime, UnixTimeToFileTime(st.st_mtime));
  EXPECT_EQ(UnixTimeToFileTime(0), 116444736000000000ull);

  // A missing target is kept, with the header fields cleared.
  EXPECT_EQ(link.SetPath("C:\\Apps\\gone.exe"), kErrorFileNotFound);
  EXPECT_EQ(link.Path(), "C:\\Apps\\gone.exe");
  EXPECT_EQ(link.Contents().fileAttributes, 0u);
  EXPECT_EQ(link.Contents().fileSize, 0u);
  EXPECT_EQ(link.Contents().writeTime, 0u);
}

TEST_F(ShellLinkMachineTest, SaveBehavesAsCreateAlways) {
  ShellLink link(machine);
  EXPECT_EQ(link.SetPath("C:\\Apps\\ed.exe"), kErrorFileNotFound);  // kept all the same
  fs::create_directories(DriveC() / "Links");
  ASSERT_EQ(link.Save("C:\\links\\Ed.lnk"), kErrorSuccess);
  EXPECT_EQ(test::ReadBytes(Host("C:\\Links\\Ed.lnk")), AsBytes(link.Bytes()));

  // An existing name in another case is replaced and keeps its spelling.
  EXPECT_TRUE(link.SetWorkingDirectory("C:\\Apps\\").ok());
  ASSERT_EQ(link.Save("C:\\LINKS\\ED.LNK"), kErrorSuccess);
  EXPECT_EQ(test::ReadBytes(dir.Path() / "prefix" / "drive_c" / "Links" / "Ed.lnk"),
            AsBytes(link.Bytes()));
  EXPECT_FALSE(fs::exists(dir.Path() / "prefix" / "drive_c" / "Links" / "ED.LNK"));

  EXPECT_EQ(link.Save("C:\\Nowhere\\Ed.lnk"), kErrorPathNotFound);
  EXPECT_EQ(link.Save("C:\\Links\\E|d.lnk"), kErrorInvalidName);
  fs::create_directories(Host("C:\\Links\\Dir.lnk"));
  EXPECT_EQ(link.Save("C:\\Links\\Dir.lnk"), kErrorAccessDenied);

  test::WriteBytes(Host("C:\\Links\\Locked.lnk"), std::string("keep"));
  ASSERT_EQ(SetFileAttributes(machine, "C:\\Links\\Locked.lnk", kFileAttributeReadonly),
            kErrorSuccess);
  EXPECT_EQ(link.Save("C:\\Links\\Locked.lnk"), kErrorAccessDenied);
  EXPECT_EQ(test::ReadText(Host("C:\\Links\\Locked.lnk")), "keep");

  EXPECT_EQ(ShellLink().Save("C:\\Links\\x.lnk"), kErrorInvalidParameter);
}

}  // namespace
}  // namespace nolvo::platform
