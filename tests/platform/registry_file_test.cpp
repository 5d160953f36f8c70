#include "platform/registry_file.h"

#include <gtest/gtest.h>

namespace nolvo::platform {
namespace {

std::shared_ptr<RegNode> Key(const RegTree& tree, std::string_view path) {
  const auto parts = SplitRegPath(path);
  std::shared_ptr<RegNode> node = tree.Root((*parts)[0]);
  for (std::size_t i = 1; node && i < parts->size(); ++i) node = node->FindChild((*parts)[i]);
  return node;
}

RegValue Value(const RegTree& tree, std::string_view path, std::string_view name) {
  const auto node = Key(tree, path);
  if (!node) throw std::runtime_error("no key " + std::string(path));
  const RegValue* value = node->FindValue(name);
  if (!value) throw std::runtime_error("no value " + std::string(name));
  return *value;
}

TEST(RegistryFile, ValuesOfEveryKindSurviveADumpAndReload) {
  RegTree tree;
  const auto key = Key(tree, "HKEY_LOCAL_MACHINE");
  bool created = false;
  const auto tool = AddChild(AddChild(key, "Software", created), "T\"o]ol", created);
  const std::vector<RegValue> values = {
      {"", RegType::kSz, RegStringData("default")},
      {"Quote \"x\"", RegType::kSz, RegStringData("a\"b\\c\\\\d\\")},
      {"Path\\Name", RegType::kSz, RegStringData("C:\\Apps\\Tool\\uninstaller.exe My Tool")},
      {"Ansi", RegType::kSz, RegStringData("caf\xe9 \x80")},
      {"Lines", RegType::kSz, RegStringData("one\r\ntwo")},  // not quotable
      {"NoNul", RegType::kSz, {'a', 'b'}},
      {"Dw", RegType::kDword, {0x78, 0x56, 0x34, 0x12}},
      {"Short", RegType::kDword, {1, 2}},
      {"Empty", RegType::kBinary, {}},
      {"Multi", RegType::kMultiSz, {'a', 0, 'b', 0, 0}},
      {"Q", RegType::kQword, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"Odd", 0x1234, {9}},
  };
  RegValue big{"Big", RegType::kBinary, {}};
  for (int i = 0; i < 100; ++i) big.data.push_back(static_cast<std::uint8_t>(i * 7));
  for (const RegValue& v : values) tool->values.emplace(FoldRegName(v.name), v);
  tool->values.emplace(FoldRegName(big.name), big);

  const std::string text = DumpRegText(tree);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\T\"o]ol]\r\n@=\"default\"\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"Quote \\\"x\\\"\"=\"a\\\"b\\\\c\\\\\\\\d\\\\\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Dw\"=dword:12345678\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Short\"=hex(4):01,02\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Lines\"=hex(1):6f,6e,65,0d,0a,74,77,6f,00\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Empty\"=hex:\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Odd\"=hex(1234):09\r\n"), std::string::npos);
  // Long byte lists continue on indented lines no wider than 80 columns.
  EXPECT_NE(text.find(",\\\r\n  "), std::string::npos);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
    EXPECT_LE(end - start, 80u);
    start = end + 2;
  }

  RegTree reloaded;
  ApplyRegText(reloaded, text, "dump");
  const std::string path = "HKEY_LOCAL_MACHINE\\Software\\T\"o]ol";
  for (const RegValue& v : values) EXPECT_EQ(Value(reloaded, path, v.name), v) << v.name;
  EXPECT_EQ(Value(reloaded, path, "big"), big);
  EXPECT_EQ(DumpRegText(reloaded), text);
}

TEST(RegistryFile, HandWrittenFilesWithDeletionsCommentsAndContinuations) {
  RegTree tree;
  ApplyRegText(tree,
               "REGEDIT4\n"
               "[HKEY_LOCAL_MACHINE\\Software\\Gone\\Deep]\n\"x\"=\"1\"\n"
               "[HKEY_LOCAL_MACHINE\\Software\\Keep]\n\"A\"=\"1\"\n\"B\"=\"2\"\n",
               "first");
  ApplyRegText(tree,
               "\r\nWindows Registry Editor Version 5.00\r\r"
               "; a comment\r"
               "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\gone]\r"
               "\"ignored\"=hex:01,\\\r  02\r"
               "[-HKEY_LOCAL_MACHINE\\Software\\NeverThere]\r"
               "  [hkey_local_machine\\software\\KEEP]  \r"
               "\"a\"=-\r"
               "\"b\" = \"3\"\r"
               "\"Bin\"=HEX:DE,ad, be ,\\\r"
               "    ef,\r"
               "\"Dw\"=dword:2A\r",
               "second");
  EXPECT_FALSE(Key(tree, "HKEY_LOCAL_MACHINE\\Software\\Gone"));
  const auto keep = Key(tree, "HKEY_LOCAL_MACHINE\\Software\\Keep");
  ASSERT_TRUE(keep);
  EXPECT_EQ(keep->name, "Keep");
  EXPECT_EQ(keep->FindValue("A"), nullptr);
  EXPECT_EQ(Value(tree, "HKEY_LOCAL_MACHINE\\Software\\Keep", "B"),
            (RegValue{"B", RegType::kSz, RegStringData("3")}));
  EXPECT_EQ(Value(tree, "HKEY_LOCAL_MACHINE\\Software\\Keep", "Bin").data,
            (std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef}));
  EXPECT_EQ(Value(tree, "HKEY_LOCAL_MACHINE\\Software\\Keep", "Dw").data,
            (std::vector<std::uint8_t>{0x2a, 0, 0, 0}));
  EXPECT_EQ(DumpRegText(tree),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Keep]\r\n\"B\"=\"3\"\r\n\"Bin\"=hex:de,ad,be,ef\r\n"
            "\"Dw\"=dword:0000002a\r\n\r\n");
}

TEST(RegistryFile, RootValuesAndOtherRootsAreKept) {
  RegTree tree;
  ApplyRegText(tree, "REGEDIT4\r\n\r\n[HKEY_USERS\\X]\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n@=\"r\"\r\n",
               "roots");
  EXPECT_EQ(DumpRegText(tree),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n@=\"r\"\r\n\r\n[HKEY_USERS\\X]\r\n\r\n");
  RegTree empty;
  ApplyRegText(empty, "", "empty");
  ApplyRegText(empty, " \r\n\t\r\n", "blank");
  EXPECT_EQ(DumpRegText(empty), "REGEDIT4\r\n\r\n");
}

TEST(RegistryFile, MalformedTextIsRefusedNamingTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"REGEDIT5\r\n", "line 1: not a registry file header"},
      {"REGEDIT4\r\n\"a\"=\"1\"\r\n", "line 2: value outside of a key"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n", "line 2: key line without closing"},
      {"REGEDIT4\r\n[HKEY_NOWHERE\\A]\r\n", "line 2: unknown root key"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\\\A]\r\n", "line 2: malformed key path"},
      {"REGEDIT4\r\n[-HKEY_LOCAL_MACHINE]\r\n", "line 2: a root key cannot be deleted"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\r\n\"a\"=\"x\r\n", "line 4: unterminated string"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\"a\"=\"x\" y\r\n", "line 3: text after the closing quote"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\"a\"\"x\"\r\n", "line 3: value line without '='"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\"a\"=dword:123456789\r\n", "line 3: malformed dword"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\"a\"=hex:1,,2\r\n", "line 3: malformed hex byte list"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\"a\"=hex:1,\\\r\n  zz\r\n", "line 4: malformed hex byte"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\"a\"=hex(q):1\r\n", "line 3: malformed hex type"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\n\"a\"=str:1\r\n", "line 3: unrecognised value data"},
      {"REGEDIT4\r\n[HKEY_USERS]\r\nfoo\r\n", "line 3: unrecognised line"},
  };
  std::string deep = "REGEDIT4\r\n[HKEY_USERS";
  for (int i = 0; i < 513; ++i) deep += "\\a";
  deep += "]\r\n";
  RegTree tree;
  EXPECT_THROW(ApplyRegText(tree, deep, "deep"), ERegistryFileError);
  for (const auto& [text, message] : cases) {
    RegTree tree;
    try {
      ApplyRegText(tree, text, "reg.reg");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const ERegistryFileError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("reg.reg: ") + message), std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace nolvo::platform
