#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

TEST(CheckCommand, DemoConfigurationIsCleanAndComplete) {
  const auto r =
      RunCommand({NolvoTool(), "check", "--json", (SourceDir() / "examples/demo").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["InstallDir"], "Nolvo Demo");
  EXPECT_EQ(j["AddToProgramFiles"], true);
  EXPECT_EQ(j["FileList"][1], "readme.txt~<INSTALLDIR>~X");
  EXPECT_EQ(j["Header"], "Nolvo Demo 1.0");
  EXPECT_EQ(j["Header2 Font Name"], "Times New Roman");
  EXPECT_EQ(j["Sources"]["Header2 Font Name"], "default");
  EXPECT_EQ(j["Sources"]["Install Dir"], "file");
  EXPECT_EQ(j["FinishChoice"]["Choice"], "launch");
  EXPECT_TRUE(j["Diagnostics"].empty());
}

TEST(CheckCommand, EdgeCasesOfTheConfiguration) {
  TempDir dir;
  WriteBytes(dir.Path() / "INSTALL.CFG",
             std::string("[Setup - Main]\r\nFolder=\r\nDither From=blue\r\nDither To=$FF00\r\n"
                         "Show Warning Screen=yes\r\nLaunch=<INSTALLDIR>setup.exe\r\n"
                         "Show Re-Boot=0\r\nHeader=Caf\xE9\r\n"
                         "[Files]\r\nA=a.exe~<INSTALLDIR>\r\nB=b.exe~<NOWHERE>\r\n"
                         "[Files - OverWrite]\r\nFile #1=1\r\n"
                         "[INI - Setup]\r\nx=S~K~<INSTALLDIR>x\r\n"));
  const auto r = RunCommand({NolvoTool(), "check", "--json", dir.Path().string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["MainFolder"], "");
  EXPECT_EQ(j["Sources"]["Folder"], "file");
  EXPECT_EQ(j["FromColor"], 0xFF0000);
  EXPECT_EQ(j["ToColor"], 0x00FF00);
  EXPECT_EQ(j["ShowWarningScreen"], true);
  EXPECT_EQ(j["Header"], "Caf\xC3\xA9");
  EXPECT_EQ(j["FileList"][1], "b.exe~<NOWHERE>~X");
  EXPECT_EQ(j["FinishChoice"]["Choice"], "return");
  EXPECT_EQ(j["FinishChoice"]["Launch"]["Enabled"], false);
  EXPECT_EQ(j["FinishChoice"]["Reboot"]["Visible"], false);
  std::string all;
  for (const auto& d : j["Diagnostics"]) all += d.get<std::string>() + "\n";
  EXPECT_NE(all.find("<INSTALLDIR>\" entry"), std::string::npos) << all;
  EXPECT_NE(all.find("<NOWHERE>"), std::string::npos) << all;
  EXPECT_NE(all.find("\"INI File\" is empty"), std::string::npos) << all;
  EXPECT_NE(all.find("Dither From"), std::string::npos) << all;
  EXPECT_NE(all.find("Show Warning Screen"), std::string::npos) << all;
}

TEST(CheckCommand, EncodingsDuplicateKeysAndLongListsAreNamed) {
  TempDir dir;
  std::string text =
      "[Setup - Main]\r\nInstall Dir=\xE4\xB8\xAD\r\n[Directories]\r\n"
      "d=<INSTALLDIR>~\r\ns=<SUB1>~a\r\nt=<SUB1>~b\r\n[Files]\r\n";
  for (int i = 0; i < 800; ++i)
    text += "file entry " + std::to_string(i) + "=f" + std::to_string(i) + "~<INSTALLDIR>\r\n";
  text += "file entry 7=again~<INSTALLDIR>\r\nplain~<INSTALLDIR>\r\n";
  std::string utf16 = "\xFF\xFE";
  for (unsigned char c : text) {  // ASCII and one three-byte character, as UTF-16LE
    utf16 += static_cast<char>(c);
    utf16 += '\0';
  }
  const std::string han = std::string("\xE4\0\xB8\0\xAD\0", 6);
  utf16.replace(utf16.find(han), han.size(), std::string("\x2D\x4E", 2));
  WriteBytes(dir.Path() / "install.cfg", utf16);
  const auto r = RunCommand({NolvoTool(), "check", "--json", dir.Path().string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["Encoding"], "UTF-16LE with BOM");
  EXPECT_EQ(j["FileList"].size(), 801u);
  EXPECT_EQ(j["InstallDir"], "?");
  std::string all;
  for (const auto& d : j["Diagnostics"]) all += d.get<std::string>() + "\n";
  for (const char* said :
       {"line 2 holds characters that code page 1252 lacks",
        "the key \"file entry 7\" is used on lines", "8192-byte key list",
        "\"plain~<INSTALLDIR>\" has no \"=\"", "binds the token \"<SUB1>\" 2 times"})
    EXPECT_NE(all.find(said), std::string::npos) << said << "\n" << all;
}

TEST(CheckCommand, UsageErrors) {
  EXPECT_EQ(RunCommand({NolvoTool(), "check", "/nonexistent/install.cfg"}).exitCode, 2);
  EXPECT_EQ(RunCommand({NolvoTool(), "check"}).exitCode, 2);
  EXPECT_EQ(RunCommand({NolvoTool(), "frobnicate"}).exitCode, 2);
  const auto help = RunCommand({NolvoTool(), "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("3  cancelled or declined"), std::string::npos);
}

}  // namespace
}  // namespace nolvo::test
