#include "archive/media/digest_lists.h"

#include <gtest/gtest.h>

namespace nolvo::media {
namespace {

Sha256Digest Filled(std::uint8_t b) {
  Sha256Digest d;
  d.fill(b);
  return d;
}

TEST(DigestLists, KnownDigestAndHexForm) {
  // SHA-256 of "abc" (FIPS 180-2 example).
  const auto d = Sha256Of("abc");
  EXPECT_EQ(ToHex(d), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  Sha256Digest back{};
  EXPECT_TRUE(FromHex("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", back));
  EXPECT_EQ(back, d);
  EXPECT_FALSE(FromHex(ToHex(d).substr(1), back));
  EXPECT_FALSE(FromHex(std::string(63, '0') + "g", back));
}

TEST(DigestLists, NamesNoSegmentCanHave) {
  for (const char* name :
       {"nolvo-media.sha256", "NOLVO-MEDIA.SHA256", "nolvo-entries.digests", "setup.arc.digests"})
    EXPECT_TRUE(IsDigestListName(name)) << name;
  for (const char* name : {"disk.001", "disk.1234", "disk.sha", "media.sha256", "install.cfg"})
    EXPECT_FALSE(IsDigestListName(name)) << name;
  EXPECT_EQ(SidecarName("a.arc"), "a.arc.digests");
}

TEST(DigestLists, StoredNamesEscapeEveryByteAndComeBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string escaped = EscapeStoredName(all);
  for (const char c : escaped) EXPECT_TRUE(c > 0x20 && c < 0x7F) << int(c);
  std::string back;
  ASSERT_TRUE(UnescapeStoredName(escaped, back));
  EXPECT_EQ(back, all);
  EXPECT_EQ(EscapeStoredName("docs\\a b.txt"), "docs\\\\a\\x20b.txt");
  // Only the canonical form is read.
  for (const char* bad : {"a\\x41", "a b", "a\\", "a\\x2", "a\\xG0", "a\\y", "a\\X20"})
    EXPECT_FALSE(UnescapeStoredName(bad, back)) << bad;
}

TEST(DigestLists, EntryListRoundTrip) {
  const std::vector<EntryDigest> entries = {{0, 0, 3, Filled(1), "a.txt"},
                                            {0, 1, 0, Filled(2), ""},
                                            {2, 0, 70000, Filled(3), "sub\\Caf\xE9 \x01.bin"}};
  const std::string text = FormatEntryDigests(entries);
  EXPECT_EQ(text.substr(0, text.find('\n')), "# nolvo entry digests, format 1, 3 entries");
  const auto back = ParseEntryDigests(text);
  ASSERT_EQ(back.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i].Archive, entries[i].Archive);
    EXPECT_EQ(back[i].Entry, entries[i].Entry);
    EXPECT_EQ(back[i].Size, entries[i].Size);
    EXPECT_EQ(back[i].Digest, entries[i].Digest);
    EXPECT_EQ(back[i].Name, entries[i].Name);
  }
  EXPECT_EQ(FormatEntryDigests(back), text);
}

TEST(DigestLists, MalformedEntryListsAreRefused) {
  const std::string hex(64, 'a');
  const std::string head = "# nolvo entry digests, format 1, ";
  const std::vector<std::string> bad = {
      "",
      head + "1 entries\n0 0 1 " + hex + " a",                         // cut: no final line feed
      head + "2 entries\n0 0 1 " + hex + " a\n",                       // a line missing
      head + "1 entries\n",                                            // a line missing
      head + "0 entries\n0 0 1 " + hex + " a\n",                       // one line too many
      "# other list\n0 0 1 " + hex + " a\n",                           // wrong first line
      head + "1 entries\n0 1 1 " + hex + " a\n",                       // entries start at 0
      head + "2 entries\n0 0 1 " + hex + " a\n0 2 1 " + hex + " b\n",  // a gap
      head + "2 entries\n1 0 1 " + hex + " a\n0 0 1 " + hex + " b\n",  // archives descending
      head + "1 entries\n0 0 01 " + hex + " a\n",                      // leading zero
      head + "1 entries\n0 0 -1 " + hex + " a\n",                      // sign
      head + "1 entries\n0 0 2147483648 " + hex + " a\n",              // past int32
      head + "1 entries\n65536 0 1 " + hex + " a\n",                   // past an archive index
      head + "1 entries\n0 0 1 " + std::string(64, 'A') + " a\n",      // upper-case digest
      head + "1 entries\n0 0 1 " + hex + "a a\n",                      // digest too long
      head + "1 entries\n0 0 1 " + hex + " a b\n",                     // raw space in the name
      head + "1 entries\n0 0 1 " + hex + " a\r\n",                     // carriage return
      head + "1 entries\n0  0 1 " + hex + " a\n",                      // two spaces
      head + "1 entries\n\n",                                          // empty line
  };
  for (const auto& text : bad) EXPECT_THROW(ParseEntryDigests(text), EDigestList) << text;
}

TEST(DigestLists, MediaListReadsWhatSha256sumReads) {
  const std::vector<FileDigest> files = {{"disk.001", Filled(0xAB)}, {"install.cfg", Filled(0)}};
  const std::string text = FormatMediaDigests(files);
  EXPECT_EQ(text, "# nolvo media digests, format 1, 2 files\n" + ToHex(Filled(0xAB)) +
                      "  disk.001\n" + std::string(64, '0') + "  install.cfg\n");
  const auto back = ParseMediaDigests(text);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].Name, "install.cfg");
  EXPECT_EQ(back[0].Digest, Filled(0xAB));
  // sha256sum's binary marker and upper-case digits are read too.
  EXPECT_EQ(ParseMediaDigests("# nolvo media digests, format 1, 1 files\n" + std::string(64, 'F') +
                              " *disk.001\n")
                .front()
                .Digest,
            Filled(0xFF));
  const std::string head = "# nolvo media digests, format 1, ";
  const std::string hex(64, '0');
  for (const std::string& bad :
       {head + "1 files\n" + hex + "  disk.001", head + "2 files\n" + hex + "  disk.001\n",
        head + "1 files\n" + hex + "  ../disk.001\n", head + "1 files\n" + hex + "  a\\b\n",
        head + "1 files\n" + hex + " disk.001\n", head + "1 files\n" + hex + "  \n",
        head + "2 files\n" + hex + "  a\n" + hex + "  a\n", std::string("disk.001\n")})
    EXPECT_THROW(ParseMediaDigests(bad), EDigestList) << bad;
}

}  // namespace
}  // namespace nolvo::media
