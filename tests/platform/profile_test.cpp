#include <gtest/gtest.h>

#include "platform/profile_file.h"
#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

std::string Get(const ProfileText& p, const char* section, const char* key,
                std::string_view def = "DEF", std::size_t size = 1024) {
  std::vector<char> buf(size);
  const std::size_t n = GetProfileString(p, section, key, def, buf);
  return std::string(buf.data(), n);
}

TEST(ProfileRead, ValueRulesOfOneFile) {
  const auto p = ProfileText::Parse(
      "before=ignored\r\n"
      " [ sp ] trailing\r\n"
      "  key1  =  v1  \r\n"
      "key2=\"q2\"\r\nkey3='q3'\r\nkey4=\"mix'\r\nkey5=\" in \"\r\n"
      "key6=a ; inline\r\n;key7=c\r\nkey8=\r\nnoeq\r\nkey11=\"a\"b\r\nkey12=\"\r\n"
      "key13=''\r\n# key14=h\r\n\"k10\"=z\r\nKEY9=first\r\nkey9=second\r\n");
  EXPECT_EQ(Get(p, "SP", "KEY1"), "v1");
  EXPECT_EQ(Get(p, "sp", "key2"), "q2");
  EXPECT_EQ(Get(p, "sp", "key3"), "q3");
  EXPECT_EQ(Get(p, "sp", "key4"), "\"mix'");
  EXPECT_EQ(Get(p, "sp", "key5"), " in ");
  EXPECT_EQ(Get(p, "sp", "key6"), "a ; inline");
  EXPECT_EQ(Get(p, "sp", ";key7"), "DEF");
  EXPECT_EQ(Get(p, "sp", "key8"), "");
  EXPECT_EQ(Get(p, "sp", "noeq"), "DEF");
  EXPECT_EQ(Get(p, "sp", "key11"), "\"a\"b");
  EXPECT_EQ(Get(p, "sp", "key12"), "\"");
  EXPECT_EQ(Get(p, "sp", "key13"), "");
  EXPECT_EQ(Get(p, "sp", "# key14"), "h");
  EXPECT_EQ(Get(p, "sp", "\"k10\""), "z");
  EXPECT_EQ(Get(p, "sp", "key9"), "first");
  EXPECT_EQ(Get(p, "sp", "before"), "DEF");
  EXPECT_EQ(Get(p, "  sp  ", "  key1 "), "v1");
  EXPECT_EQ(Get(p, "missing", "key1", "dflt   "), "dflt");
  // Comments and lines without "=" are never listed; duplicate keys are.
  const auto names = p.KeyNames("sp");
  EXPECT_EQ(std::count(names.begin(), names.end(), "noeq"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), ";key7"), 0);
  EXPECT_EQ(names.back(), "key9");
  EXPECT_EQ(names[names.size() - 2], "KEY9");
}

TEST(ProfileRead, LineEndsDuplicateSectionsAndMissingFiles) {
  const auto cr = ProfileText::Parse("[a]\rk=1\r[A]\rk=2\rj=3");
  EXPECT_EQ(Get(cr, "A", "k"), "1");
  EXPECT_EQ(Get(cr, "a", "j"), "DEF");  // only the first section counts
  const auto lf = ProfileText::Parse("[s]\nx = y\n");
  EXPECT_EQ(Get(lf, "s", "x"), "y");
  test::TempDir dir;
  const ProfileReader missing(dir.Path() / "nope.ini");
  EXPECT_EQ(missing.ReadString("s", "k", "def"), "def");
  EXPECT_TRUE(missing.ReadKeyNames("s").empty());
}

TEST(ProfileRead, ValueBuffersCutAtSizeMinusOne) {
  const auto p = ProfileText::Parse("[s]\nk=value\n");
  EXPECT_EQ(Get(p, "s", "k", "", 2), "v");
  EXPECT_EQ(Get(p, "s", "k", "", 1), "");
  EXPECT_EQ(Get(p, "s", "x", "DEF", 3), "DE");
  const ProfileReader reader(ProfileText::Parse("[s]\nk=" + std::string(2000, 'x') + "\n"));
  EXPECT_EQ(reader.ReadString("s", "k", "").size(), 1023u);
  EXPECT_TRUE(reader.ValueWasCut("s", "k"));
}

TEST(ProfileRead, KeyListsEndInTwoNulsWhenCut) {
  const auto p = ProfileText::Parse("[s]\nname1=a\nname2=b\nname4=c\n");
  std::vector<char> buf(16);
  EXPECT_EQ(GetProfileString(p, "s", nullptr, "", buf), 14u);
  EXPECT_EQ(std::string(buf.data(), 16), std::string("name1\0name2\0na\0\0", 16));
  // Keys a, bb need 6 characters: an exact fit still answers size - 2.
  const auto q = ProfileText::Parse("[s]\na=1\nbb=2\n");
  std::vector<char> six(6), seven(7);
  EXPECT_EQ(GetProfileString(q, "s", nullptr, "", six), 4u);
  EXPECT_EQ(GetProfileString(q, "s", nullptr, "", seven), 5u);
  // A missing section copies the default instead of a list.
  EXPECT_EQ(Get(q, "zz", nullptr, "DEF"), "DEF");
}

TEST(ProfileRead, NameListOverflowHidesLaterKeys) {
  // 1100 names of 7 characters: the 8192-byte list holds 1023 whole ones and 6
  // characters of the next.
  std::string text = "[L]\n";
  for (int i = 0; i < 1100; ++i) text += "k" + std::to_string(100000 + i) + "=v\n";
  const ProfileReader reader(ProfileText::Parse(text));
  const auto names = reader.ReadKeyNames("L");
  ASSERT_EQ(names.size(), 1024u);
  EXPECT_EQ(names[1022], "k101022");
  EXPECT_EQ(names[1023], "k10102");
  EXPECT_EQ(reader.KeyNamesLost("L"), 77u);
}

TEST(ProfileWrite, NewFileReplaceAppendAndNewSection) {
  test::TempDir dir;
  const auto f = dir.Path() / "p.ini";
  ASSERT_TRUE(WriteProfileString(f, "Program", "Title", "My Tool"));
  EXPECT_EQ(test::ReadText(f), "[Program]\r\nTitle=My Tool\r\n");
  test::WriteBytes(f, std::string("; top\n[Sec]\nKey=old\n\nother\n[Next]\nz=1"));
  ASSERT_TRUE(WriteProfileString(f, "sec", "KEY", "new"));
  ASSERT_TRUE(WriteProfileString(f, "SEC", "added", ""));
  ASSERT_TRUE(WriteProfileString(f, " Last ", " k ", "v"));
  EXPECT_EQ(test::ReadText(f),
            "; top\n[Sec]\nKey=new\r\nadded=\r\n\nother\n[Next]\nz=1\r\n[Last]\r\nk=v\r\n");
  ASSERT_TRUE(WriteProfileString(f, "sec", "key", nullptr));
  ASSERT_TRUE(WriteProfileString(f, "next", nullptr, nullptr));
  EXPECT_EQ(test::ReadText(f), "; top\n[Sec]\nadded=\r\n\nother\n[Last]\r\nk=v\r\n");
}

TEST(ProfileWrite, MissingFilesAndFoldersAreNeverCreatedByRemoval) {
  test::TempDir dir;
  const auto f = dir.Path() / "none.ini";
  EXPECT_TRUE(WriteProfileString(f, "s", nullptr, nullptr));
  EXPECT_TRUE(WriteProfileString(f, "s", "k", nullptr));
  EXPECT_FALSE(std::filesystem::exists(f));
  EXPECT_FALSE(WriteProfileString(dir.Path() / "sub" / "x.ini", "s", "k", "v"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "sub"));
  EXPECT_FALSE(WriteProfileString(f, nullptr, "k", "v"));
  // Nothing but the written file is left in the folder (no temporary files).
  ASSERT_TRUE(WriteProfileString(f, "s", "k", "v"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(ProfileWrite, UninstallRecordSequence) {
  test::TempDir dir;
  const auto f = dir.Path() / "uninstall.cfg";
  ASSERT_TRUE(WriteProfileString(f, "UNINS", nullptr, nullptr));
  ASSERT_TRUE(WriteProfileString(f, "Folders", nullptr, nullptr));
  ASSERT_TRUE(WriteProfileString(f, "Program", "Title", "My Tool"));
  for (const char* k :
       {"C:\\Apps\\Tool\\*.*", "C:\\Apps\\Tool\\Setup\\*.*", "C:\\Apps\\Tool\\app.exe"})
    ASSERT_TRUE(WriteProfileString(f, "UNINS", k, ""));
  ASSERT_TRUE(WriteProfileString(f, "Folders", "C:\\WINDOWS\\Start Menu\\Programs\\Tools", ""));
  ASSERT_TRUE(
      WriteProfileString(f, "UNINS", "C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Editor.*", ""));
  ASSERT_TRUE(WriteProfileString(f, "UNINS", "C:\\WINDOWS\\mytool.ini", ""));
  ASSERT_TRUE(WriteProfileString(f, "unins", "c:\\apps\\tool\\*.*", ""));
  EXPECT_EQ(test::ReadText(f),
            "[Program]\r\nTitle=My Tool\r\n[UNINS]\r\nC:\\Apps\\Tool\\*.*=\r\n"
            "C:\\Apps\\Tool\\Setup\\*.*=\r\nC:\\Apps\\Tool\\app.exe=\r\n"
            "C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Editor.*=\r\n"
            "C:\\WINDOWS\\mytool.ini=\r\n[Folders]\r\n"
            "C:\\WINDOWS\\Start Menu\\Programs\\Tools=\r\n");
}

// UTF-16LE bytes of UTF-8 text, for the encoding tests.
std::string Utf16(const std::string& utf8) { return Utf8ToUtf16Le(utf8); }

TEST(ProfileEncodings, ByteOrderMarksSelectUnicodeTextConvertedToTheCodePage) {
  const auto cp1252 = std::make_shared<const CodePage>();
  const std::string text =
      "[Setup - Main]\r\nInstall Dir=Caf\xC3\xA9\r\n[Files]\r\n1=\xE4\xB8\xAD.exe~<INSTALLDIR>\r\n";
  struct Case {
    std::string bytes;
    ProfileEncoding encoding;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF" + text, ProfileEncoding::peUtf8Bom},
      {"\xFF\xFE" + Utf16(text), ProfileEncoding::peUtf16LeBom},
  };
  for (const auto& c : cases) {
    const ProfileText p = ProfileText::Parse(c.bytes, cp1252);
    EXPECT_EQ(p.Encoding(), c.encoding);
    // The first section is found (the mark is no part of its name).
    EXPECT_EQ(p.Find("Setup - Main", "Install Dir"), "Caf\xE9");
    EXPECT_EQ(p.Find("Files", "1"), "?.exe~<INSTALLDIR>");
    EXPECT_EQ(p.UnmappedLines(), std::vector<std::size_t>{4});
    EXPECT_EQ(p.Serialize(), c.bytes);
  }
  // Without a mark the bytes are ANSI, as before.
  EXPECT_EQ(ProfileText::Parse("[s]\r\nk=\xE9\r\n", cp1252).Find("s", "k"), "\xE9");
}

TEST(ProfileEncodings, AUnicodeFileIsWrittenBackInItsEncodingKeepingUntouchedLines) {
  test::TempDir dir;
  const auto f = dir.Path() / "product.ini";
  const std::string lines = "[Names]\r\nk=\xE4\xB8\xAD\xE6\x96\x87\r\n";
  test::WriteBytes(f, "\xFF\xFE" + Utf16(lines));
  ASSERT_TRUE(WriteProfileString(f, "Paths", "Home", "C:\\Caf\xE9"));
  // Untouched lines keep the characters the code page lacks; the new ones are UTF-16.
  EXPECT_EQ(test::ReadText(f), "\xFF\xFE" + Utf16(lines + "[Paths]\r\nHome=C:\\Caf\xC3\xA9\r\n"));
  test::WriteBytes(f, "\xEF\xBB\xBF" + lines);
  ASSERT_TRUE(WriteProfileString(f, "Names", "j", "x"));
  EXPECT_EQ(test::ReadText(f), "\xEF\xBB\xBF[Names]\r\nk=\xE4\xB8\xAD\xE6\x96\x87\r\nj=x\r\n");
}

TEST(ProfileWrite, SetAllIsOneSetPerKey) {
  const std::string start = "[UNINS]\r\nA=1\r\n; note\r\nb=2\r\n\r\n[Other]\r\nx=y";
  const std::vector<std::pair<std::string, std::string>> keys = {
      {"new", ""}, {"B", "changed"}, {" c ", "3"}, {"NEW", "again"}, {"a", ""}};
  for (const char* section : {"unins", "Fresh"}) {
    ProfileText one = ProfileText::Parse(start), all = ProfileText::Parse(start);
    for (const auto& [k, v] : keys) one.Set(section, k, v);
    all.SetAll(section, keys);
    EXPECT_EQ(all.Serialize(), one.Serialize()) << section;
  }
}

TEST(ProfileSections, EveryKeyLineOfASectionWithItsLineNumber) {
  const auto p = ProfileText::Parse(
      "[Files]\r\n1=a\r\n1=b\r\n; note\r\nno "
      "equals\r\n\r\nx=c\r\n[Other]\r\nq=1\r\n[files]\r\n9=d\r\n");
  const ProfileSectionLines lines = p.SectionLines("FILES");
  ASSERT_EQ(lines.keys.size(), 3u);
  EXPECT_EQ(lines.keys[0].value, "a");
  EXPECT_EQ(lines.keys[1].value, "b");  // a repeated key is an entry of its own
  EXPECT_EQ(lines.keys[2].number, 7u);
  ASSERT_EQ(lines.others.size(), 1u);
  EXPECT_EQ(lines.others[0].number, 5u);
  EXPECT_EQ(lines.others[0].value, "no equals");
  ASSERT_EQ(lines.repeated.size(), 1u);
  EXPECT_EQ(lines.repeated[0].number, 11u);
  EXPECT_TRUE(p.SectionLines("Missing").keys.empty());
}

}  // namespace
}  // namespace nolvo::platform
