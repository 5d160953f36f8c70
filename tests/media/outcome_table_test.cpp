// The outcome table, situation by situation: crafted media read by list, test, extract
// and the setup's extraction stage, each judged as the README's table says.

#include "archive/media/outcome_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

#include "app/settings_loader.h"
#include "archive/container/entry_header.h"
#include "archive/media/digest_files.h"
#include "archive/media/digest_lists.h"
#include "archive/media/medium_extract.h"
#include "archive/media/medium_list.h"
#include "archive/media/medium_test.h"
#include "archive/media/setup_checks.h"
#include "archive/stage/unzip.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/archive_media.h"
#include "tests/support/recording_unzip_view.h"
#include "tests/support/scoped_env.h"
#include "tests/support/seg_media.h"
#include "tests/support/test_machine.h"

namespace nolvo::media {
namespace {

namespace fs = std::filesystem;
namespace st = segment::test;
using container::TCompressionMethod;
using stage::FindingKind;
using stage::Severity;
using Bytes = st::Bytes;

struct Stored {
  std::string Name;
  std::string Content;
  TCompressionMethod Method = TCompressionMethod::coLZH5;
};

// Offsets of each entry header in an archive file.
std::vector<std::size_t> EntryOffsets(const Bytes& archive) {
  std::vector<std::size_t> at;
  for (std::size_t p = 21; p + 25 <= archive.size();) {
    at.push_back(p);
    const std::size_t name = archive[p] | archive[p + 1] << 8;
    const std::size_t data = archive[p + 12] | archive[p + 13] << 8 | archive[p + 14] << 16;
    p += 25 + name + data;
  }
  return at;
}

void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// What each of the four makes of a situation: nothing, a warning, an error, a stop.
enum Out { kNo, kWarn, kFail, kStop };

struct Situation {
  const char* What;
  std::vector<Stored> Files;
  std::optional<std::vector<std::string>> ListNames;  // default: every stored name
  std::function<void(Bytes& archive)> Tweak;          // on the archive's bytes
  bool NoArchive = false;                             // a stream without archives
  bool Digests = false;                               // an entry list beside the segments
  std::function<void(std::string& entryList)> DigestTweak;
  FindingKind Kind;
  Out List, Test, Extract, Setup;
  std::vector<std::string> Extracted;  // the files extract leaves (with --flat)
  bool MediaListLost = false;          // the entry list without the media list beside it
};

void PrintTo(const Situation& s, std::ostream* os) { *os << s.What; }

const std::vector<Stored> kTwo = {{"a.txt", "first file, first file, first file"},
                                  {"b.txt", "second file"}};

const Situation kSituations[] = {
    {"list name matching no entry",
     kTwo,
     std::vector<std::string>{"a.txt", "GONE.TXT", "b.txt"},
     nullptr,
     false,
     false,
     nullptr,
     FindingKind::ListNameUnmatched,
     kWarn,
     kFail,
     kFail,
     kStop,
     {"a.txt", "b.txt"}},
    {"unknown method",
     kTwo,
     std::nullopt,
     [](Bytes& a) { a[EntryOffsets(a)[1] + 16] = 7; },
     false,
     false,
     nullptr,
     FindingKind::UnknownMethod,
     kNo,
     kFail,
     kFail,
     kStop,
     {"a.txt"}},
    {"non-empty entry after TotalSize",
     kTwo,
     std::nullopt,
     // The total ends with the first entry.
     [](Bytes& a) {
       const std::size_t e = EntryOffsets(a)[0] + 8;
       PutLe32(a, 8, a[e] | a[e + 1] << 8 | a[e + 2] << 16);
     },
     false,
     false,
     nullptr,
     FindingKind::AfterTotalSize,
     kWarn,
     kFail,
     kWarn,
     kWarn,
     {"a.txt"}},
    {"no archive",
     kTwo,
     std::nullopt,
     nullptr,
     true,
     false,
     nullptr,
     FindingKind::NoArchive,
     kNo,
     kFail,
     kFail,
     kStop,
     {}},
    {"archive without entries where its list names files",
     {},
     std::vector<std::string>{"a.txt"},
     nullptr,
     false,
     false,
     nullptr,
     FindingKind::NoArchive,
     kNo,
     kFail,
     kFail,
     kStop,
     {}},
    {"names that flatten to one",
     {{"docs\\a.txt", "one"}, {"data\\a.txt", "two"}},
     std::nullopt,
     nullptr,
     false,
     false,
     nullptr,
     FindingKind::NamesCollide,
     kWarn,
     kFail,
     kWarn,
     kWarn,
     {"a.txt"}},
    {"stored entry whose byte sum does not add up",
     {{"a.txt", "stored as it stands", TCompressionMethod::coNone}},
     std::nullopt,
     [](Bytes& a) { a[EntryOffsets(a)[0] + 17] ^= 1; },
     false,
     false,
     nullptr,
     FindingKind::StoredSumBad,
     kNo,
     kFail,
     kFail,
     kFail,
     {"a.txt"}},
    {"stored entry whose original size differs from its stored size",
     {{"a.txt", "stored as it stands", TCompressionMethod::coNone}},
     std::nullopt,
     [](Bytes& a) { a[EntryOffsets(a)[0] + 8] ^= 4; },
     false,
     false,
     nullptr,
     FindingKind::StoredSumBad,
     kNo,
     kFail,
     kFail,
     kFail,
     {"a.txt"}},
    {"bytes that differ from the entry list",
     kTwo,
     std::nullopt,
     nullptr,
     false,
     true,
     [](std::string& list) {
       char& digit = list[list.rfind(' ') - 1];
       digit = digit == '0' ? '1' : '0';
     },
     FindingKind::EntryDiffers,
     kNo,
     kFail,
     kFail,
     kStop,
     {"a.txt"}},
    {"an entry list cut short",
     kTwo,
     std::nullopt,
     nullptr,
     false,
     true,
     [](std::string& list) { list.pop_back(); },
     FindingKind::DigestListDamaged,
     kWarn,
     kFail,
     kStop,
     kStop,
     {}},
    {"an entry the entry list does not name",
     kTwo,
     std::nullopt,
     nullptr,
     false,
     true,
     [](std::string& list) {
       list.erase(list.rfind('\n', list.size() - 2) + 1);
       list.replace(list.find("2 entries"), 9, "1 entries");
     },
     FindingKind::EntryUnlisted,
     kNo,
     kFail,
     kFail,
     kStop,
     {"a.txt"}},
    {"an entry of the entry list the archive lacks",
     kTwo,
     std::nullopt,
     nullptr,
     false,
     true,
     [](std::string& list) {
       list += "0 2 0 " + ToHex(Sha256Of("")) + " c.txt\n";
       list.replace(list.find("2 entries"), 9, "3 entries");
     },
     FindingKind::EntryMissing,
     kNo,
     kFail,
     kFail,
     kStop,
     {"a.txt", "b.txt"}},
    {"an entry of the entry list its archive's list leaves out",
     kTwo,
     std::vector<std::string>{"a.txt"},
     nullptr,
     false,
     true,
     nullptr,
     FindingKind::EntryMissing,
     kNo,
     kFail,
     kFail,
     kStop,
     {"a.txt"}},
    {"the media list lost beside the entry list",
     kTwo,
     std::nullopt,
     nullptr,
     false,
     true,
     nullptr,
     FindingKind::DigestListDamaged,
     kWarn,
     kFail,
     kStop,
     kStop,
     {},
     true},
};

// A medium in C:\MEDIA of a fresh machine, built from a situation.
class CraftedMedium {
 public:
  explicit CraftedMedium(const Situation& s) {
    folder_ = tm_.DriveC() / "MEDIA";
    fs::create_directories(folder_);
    std::vector<std::pair<std::string, Bytes>> files;
    std::vector<std::string> names;
    for (const auto& f : s.Files) {
      files.emplace_back(f.Name, st::TextBytes(f.Content));
      names.push_back(f.Name);
    }
    Bytes archive = st::MakeArchive(files, TCompressionMethod::coLZH5);
    // The writer keeps what it cannot shrink as it stands; a stored entry is asked for.
    for (std::size_t i = 0; i < s.Files.size(); ++i) {
      if (s.Files[i].Method == TCompressionMethod::coNone) {
        EXPECT_EQ(archive[EntryOffsets(archive)[i] + 16], 0) << "not stored as it stands";
      }
    }
    if (s.Tweak) s.Tweak(archive);
    const Bytes list = st::MakeArchive({{"list", st::ListFile(s.ListNames.value_or(names), 64)}});
    Bytes stream = st::SegHeaderRecord(s.NoArchive ? 0 : 1);
    if (!s.NoArchive) {
      const Bytes scan = st::ScanRecord("C:\\APP\\*.*", 64, list);
      const Bytes arc = st::ArcRecord(0, archive);
      stream.insert(stream.end(), scan.begin(), scan.end());
      stream.insert(stream.end(), arc.begin(), arc.end());
    }
    // Two segments: the archive runs across them.
    st::WriteSegments(folder_, stream, {stream.size() - archive.size() / 2});
    test::WriteBytes(folder_ / "install.exe", std::string("MZ setup"));
    test::WriteBytes(folder_ / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=App\r\n"));
    if (s.Digests) {
      std::vector<EntryDigest> digests;
      for (std::size_t i = 0; i < s.Files.size(); ++i)
        digests.push_back({0, static_cast<std::uint32_t>(i),
                           static_cast<std::int64_t>(s.Files[i].Content.size()),
                           Sha256Of(s.Files[i].Content), s.Files[i].Name});
      std::string text = FormatEntryDigests(digests);
      if (s.DigestTweak) s.DigestTweak(text);
      test::WriteBytes(folder_ / std::string(kEntryDigestsName), text);
      // The media list covers every file, as the packer writes it.
      std::vector<std::string> all;
      for (const auto& e : fs::directory_iterator(folder_)) all.push_back(e.path().filename());
      if (!s.MediaListLost)
        test::WriteBytes(folder_ / std::string(kMediaDigestsName),
                         FormatMediaDigests(DigestFolderFiles(folder_, all)));
    }
    location_.Segmented = true;
    location_.Folder = folder_;
    location_.BaseName = "disk";
  }

  test::TestMachine tm_;
  fs::path folder_;
  MediaLocation location_;
};

// The weight the findings of `kind` had (kNo when there was none); every other finding of
// an error's weight fails the check.
Out WeightOf(const stage::MediaReport& report, FindingKind kind, const std::string& who) {
  Out out = kNo;
  for (const auto& f : report.Findings) {
    if (f.Kind != kind) {
      EXPECT_LT(f.Level, Severity::Error) << who << ": " << Describe(f, platform::CodePage());
      continue;
    }
    out = f.Level == Severity::Fatal     ? kStop
          : f.Level == Severity::Error   ? kFail
          : f.Level == Severity::Warning ? kWarn
                                         : kNo;
  }
  return out;
}

class OutcomeTable : public ::testing::TestWithParam<Situation> {};

TEST_P(OutcomeTable, EachToolAndTheSetupDoWhatTheTableSays) {
  const Situation& s = GetParam();
  CraftedMedium m(s);
  test::TempDir temp;
  test::ScopedEnv tmpdir("TMPDIR", temp.Path().string());

  stage::MediaReport listed;
  try {
    ListMedium(m.location_, {}, listed);
  } catch (const EMediumRefused&) {
  }
  EXPECT_EQ(WeightOf(listed, s.Kind, "list"), s.List);

  TestResult tested;
  try {
    TestMedium(m.location_, 0, 1, {}, tested);
  } catch (const EMediumRefused&) {
  }
  EXPECT_EQ(WeightOf(tested.Report, s.Kind, "test"), s.Test);
  EXPECT_EQ(tested.Report.Failed(), s.Test >= kFail);

  ExtractResult extracted;
  ExtractOptions options;
  options.Dir = temp.Path() / "out";
  options.Flat = true;
  try {
    ExtractMedium(m.location_, options, {}, extracted);
  } catch (const EMediumRefused&) {
  }
  EXPECT_EQ(WeightOf(extracted.Report, s.Kind, "extract"), s.Extract);
  EXPECT_EQ(test::FilesBelow(options.Dir), s.Extracted);

  // The setup's extraction stage, with the checks the setup run gives it.
  testing::ScriptedDialogs dialogs;
  if (s.Setup == kStop) dialogs.OnMessage(platform::DialogResult::idOk, "Error Expanding Files!!");
  platform::NullMessagePump pump;
  test::RecordingUnzipView view;
  const app::StartupState state{"C:\\MEDIA\\", "C:\\WINDOWS\\Temp\\q", "C:\\", ""};
  const app::SetupSettings settings;
  stage::TUnzip unzip(m.tm_.Machine(), dialogs, pump, view, state, settings, {});
  SetupChecks checks(m.tm_.Machine());
  unzip.SetChecks(&checks);
  unzip.FormShow();
  unzip.Timer1Timer();
  EXPECT_EQ(WeightOf(unzip.Report(), s.Kind, "setup"), s.Setup);
  EXPECT_EQ(unzip.Abandoned, s.Setup == kStop);
  dialogs.Verify();
}

INSTANTIATE_TEST_SUITE_P(Situations, OutcomeTable, ::testing::ValuesIn(kSituations),
                         [](const auto& info) { return "S" + std::to_string(info.index); });

// Without --flat, files keep their folders: only two entries of the very same path meet, and
// extract then says so and keeps the later one, as it does with --flat.
TEST(OutcomeTable, ExtractKeptInFoldersWarnsOnlyForTheVerySamePath) {
  struct Case {
    std::vector<Stored> Files;
    Out Extract;
    std::vector<std::string> Extracted;
    std::string Content;  // of the first file extracted
  };
  const Case cases[] = {
      {{{"docs\\a.txt", "one"}, {"docs\\a.txt", "two"}}, kWarn, {"APP/docs/a.txt"}, "two"},
      {{{"docs\\a.txt", "one"}, {"data\\a.txt", "two"}},
       kNo,
       {"APP/data/a.txt", "APP/docs/a.txt"},
       "two"},
  };
  for (const Case& c : cases) {
    Situation s{
        "",  c.Files, std::nullopt, nullptr, false, false, nullptr, FindingKind::NamesCollide,
        kNo, kNo,     kNo,          kNo,     {}};
    CraftedMedium m(s);
    test::TempDir temp;
    ExtractResult extracted;
    ExtractOptions options;
    options.Dir = temp.Path() / "out";
    ExtractMedium(m.location_, options, {}, extracted);
    EXPECT_EQ(WeightOf(extracted.Report, FindingKind::NamesCollide, "extract"), c.Extract);
    EXPECT_FALSE(extracted.Report.Failed());
    ASSERT_EQ(test::FilesBelow(options.Dir), c.Extracted);
    EXPECT_EQ(test::ReadText(options.Dir / c.Extracted[0]), c.Content);
  }
}

// A lone file without the 21-byte archive header holds no archive: test and extract say so
// rather than report an archive of no entries; a header with no entries is an empty archive.
TEST(OutcomeTable, ALoneFileShorterThanAnArchiveHeaderHoldsNoArchive) {
  const std::string header("VELK\x1aLH5\0\0\0\0\x01\0\0\0\0\0\0\0\0", 21);
  const struct {
    std::string Bytes;
    bool NoArchive;
  } kCases[] = {{"", true}, {"hello world", true}, {header.substr(0, 20), true}, {header, false}};
  for (const auto& c : kCases) {
    test::TempDir temp;
    const fs::path file = temp.Path() / "lone.arc";
    std::ofstream(file, std::ios::binary) << c.Bytes;
    const auto noArchive = [](const stage::MediaReport& report) {
      return std::count_if(report.Findings.begin(), report.Findings.end(), [](const auto& f) {
        return f.Kind == FindingKind::NoArchive && f.Level == Severity::Error;
      });
    };
    TestResult tested;
    TestMedium(LocateMedia(file), 0, 1, {}, tested);
    EXPECT_EQ(noArchive(tested.Report), c.NoArchive ? 1 : 0) << c.Bytes.size() << " bytes";
    ExtractOptions options;
    options.Dir = temp.Path() / "out";
    ExtractResult extracted;
    ExtractMedium(LocateMedia(file), options, {}, extracted);
    EXPECT_EQ(noArchive(extracted.Report), c.NoArchive ? 1 : 0) << c.Bytes.size() << " bytes";
  }
}

// The finding that stops a run is its error text, in the code page as the archive layer's
// own errors are, so that a stored name in it is shown once converted, not twice.
TEST(OutcomeTable, TheStoppingFindingIsTextInTheCodePage) {
  const platform::CodePage cp("1252");
  stage::MediaReport report;
  FindingSink sink(Tool::Setup, report, cp);
  stage::MediaFinding f;
  f.Archive = 0;
  f.Name = "CAF\xC9.TXT";
  f.Text = "no entry has this name";
  try {
    sink.Add(FindingKind::ListNameUnmatched, f);
    FAIL() << "not stopped";
  } catch (const EMediumRefused& e) {
    EXPECT_EQ(std::string(e.what()), "archive 0: \"CAF\xC9.TXT\": no entry has this name");
  }
}

TEST(OutcomeTable, EveryToolHasAWordForEverySituation) {
  // Where the table says nothing the tool is silent; a failed read stops all four.
  for (const Tool tool : {Tool::List, Tool::Test, Tool::Extract, Tool::Setup})
    EXPECT_EQ(OutcomeOf(FindingKind::ReadFailed, tool), Severity::Fatal);
  EXPECT_FALSE(OutcomeOf(FindingKind::EntryDiffers, Tool::List));
  EXPECT_EQ(OutcomeOf(FindingKind::NoDigestLists, Tool::Test), Severity::Note);
  EXPECT_FALSE(OutcomeOf(FindingKind::NoDigestLists, Tool::Setup));
}

}  // namespace
}  // namespace nolvo::media
