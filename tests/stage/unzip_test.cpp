#include "archive/stage/unzip.h"

#include <gtest/gtest.h>

#include "app/settings_loader.h"
#include "archive/segment/seg_writer.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/recording_unzip_view.h"
#include "tests/support/seg_media.h"
#include "tests/support/test_machine.h"

namespace nolvo::stage {
namespace {

namespace fs = std::filesystem;

// A medium in C:\MEDIA holding install.exe, install.cfg and the segments of one archive.
class Medium {
 public:
  explicit Medium(std::int32_t segSize = 1440000) {
    media_ = tm_.DriveC() / "MEDIA";
    fs::create_directories(media_);
    fs::create_directories(tm_.Root() / "src" / "DATA");
    test::WriteBytes(media_ / "install.exe", std::string("MZ setup"));
    test::WriteBytes(
        media_ / "install.cfg",
        std::string("[Setup - Main]\r\nBitmap File=logo.bmp\r\n"
                    "[Files]\r\na=app.exe~<INSTALLDIR>\r\nb=readme.txt~<INSTALLDIR>\r\n"));
    std::string noise;
    std::uint32_t x = 12345;
    for (int i = 0; i < 60000; ++i)
      noise += static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    AddFile("DATA\\app.exe", noise);
    appContent_ = noise;
    AddFile("logo.bmp", "BMpicture");
    AddFile("readme.txt", "hello");
    std::string text;
    for (int i = 0; text.size() < 200000; ++i)
      text += "line " + std::to_string(i * 7919 % 1000) + " of the manual\n";
    AddFile("manual.txt", text);
    segment::TSegWriterSettings s;
    s.Dir = media_;
    s.SegSize = segSize;
    segs_ = segment::WriteSegmentedArchive(s, {archive_}).Segments;
    state_ = {"C:\\MEDIA\\", "C:\\WINDOWS\\Temp\\q", "C:\\", ""};
    settings_ = app::LoadSettings(platform::ProfileReader(media_ / "install.cfg")).Settings;
  }
  void AddFile(const std::string& stored, const std::string& content) {
    const auto path = tm_.Root() / "src" / ("f" + std::to_string(archive_.Files.size()));
    test::WriteBytes(path, content);
    archive_.Files.push_back({path, stored});
  }
  fs::path TempHost() { return tm_.DriveC() / "windows" / "Temp" / "q"; }
  std::string appContent_;

  test::TestMachine tm_;
  fs::path media_;
  segment::TSegWriteArchive archive_;
  std::vector<fs::path> segs_;
  app::StartupState state_;
  app::SetupSettings settings_;
};

TEST(Unzip, ExpandsFlatIntoTempDirWithSetupFilesAndPicture) {
  Medium m;
  testing::ScriptedDialogs dialogs;
  testing::CountingMessagePump pump;
  test::RecordingUnzipView view;
  TUnzip unzip(m.tm_.Machine(), dialogs, pump, view, m.state_, m.settings_, {});
  unzip.FormShow();
  unzip.Timer1Timer();
  EXPECT_FALSE(unzip.Abandoned) << unzip.LastError();
  EXPECT_EQ(test::ReadText(m.TempHost() / "app.exe"), m.appContent_);
  EXPECT_EQ(test::ReadText(m.TempHost() / "install.exe"), "MZ setup");
  EXPECT_TRUE(fs::exists(m.TempHost() / "install.cfg"));
  EXPECT_EQ(view.statuses.front(), "Copying Install Files...");
  EXPECT_EQ(view.statuses.back(), "manual.txt");
  EXPECT_EQ(view.countRanges, (std::vector<int>{2, 3}));  // two [Files] entries + 1
  EXPECT_EQ(view.countPositions.back(), 3);               // held at the maximum
  ASSERT_EQ(view.pictures.size(), 1u);  // placed at the first file after it arrived
  EXPECT_FALSE(view.pictures[0].animated);
  EXPECT_EQ(view.closed, 1);
  EXPECT_TRUE(unzip.PictureShown);
  dialogs.Verify();
  // The joined archives in C:\WINDOWS\temp (the folder that also holds q) are gone.
  const auto joined = m.tm_.Machine().Resolve("C:\\WINDOWS\\temp").host;
  for (const auto& e : fs::directory_iterator(joined))
    if (!e.is_directory()) ADD_FAILURE() << "left behind: " << e.path();
}

TEST(Unzip, MissingSegmentPromptsTwiceThenTheReaderAsks) {
  Medium m(16384);
  ASSERT_GE(m.segs_.size(), 3u);
  const auto moved = m.tm_.Root() / "disk.002";
  fs::rename(m.segs_[1], moved);
  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(platform::DialogResult::idOk, "Please Insert Disk #2 into Floppy Drive.")
      .OnMessage(platform::DialogResult::idOk, "Please Insert Disk #2 into Floppy Drive.")
      .OnMessage(platform::DialogResult::idCancel)  // the reader's missing-segment box
      .OnMessage(platform::DialogResult::idOk, "Error Expanding Files!!");
  testing::CountingMessagePump pump;
  test::RecordingUnzipView view;
  bool rebootCleared = false;
  TUnzip unzip(m.tm_.Machine(), dialogs, pump, view, m.state_, m.settings_,
               {nullptr, nullptr, [&] { rebootCleared = true; }, nullptr});
  unzip.Timer1Timer();
  EXPECT_TRUE(unzip.Abandoned);
  EXPECT_TRUE(rebootCleared);
  EXPECT_EQ(view.closed, 1);
  dialogs.Verify();
}

TEST(Unzip, AbortDuringDecodingStopsTheExpansion) {
  Medium m;
  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(platform::DialogResult::idAbort, "Abort Setup Process ?")
      .OnMessage(platform::DialogResult::idOk, "Error Expanding Files!!");
  testing::CountingMessagePump pump;
  test::RecordingUnzipView view;
  int cleared = 0, terminated = 0;
  TUnzip unzip(m.tm_.Machine(), dialogs, pump, view, m.state_, m.settings_,
               {[&] { ++cleared; }, [&] { ++terminated; }, nullptr, nullptr});
  bool clicked = false;
  // A click arrives while the first file's data is being decoded.
  unzip.SegCompEZ1.OnShowProgress = [&](std::int32_t& percent) {
    if (!clicked) {
      clicked = true;
      unzip.FormClick();
    }
    unzip.SegCompEZ1ShowProgress(percent);
  };
  unzip.Timer1Timer();
  EXPECT_TRUE(unzip.Abandoned);
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(terminated, 1);
  dialogs.Verify();
}

TEST(Unzip, ANameTooLongForTheTemporaryFolderIsNamedAsSuch) {
  Medium m;
  m.AddFile(std::string(250, 'n') + ".txt", "long");
  segment::TSegWriterSettings s;
  s.Dir = m.media_;
  m.segs_ = segment::WriteSegmentedArchive(s, {m.archive_}).Segments;
  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(platform::DialogResult::idOk, "Error Expanding Files!!");
  testing::CountingMessagePump pump;
  test::RecordingUnzipView view;
  TUnzip unzip(m.tm_.Machine(), dialogs, pump, view, m.state_, m.settings_, {});
  unzip.Timer1Timer();
  EXPECT_TRUE(unzip.Abandoned);
  EXPECT_NE(unzip.LastError().find("longer than Windows allows"), std::string::npos)
      << unzip.LastError();
}

TEST(Unzip, FileNamePartsAreSafe) {
  EXPECT_EQ(SafeFileNamePart("DATA\\SUB\\app.exe"), "app.exe");
  EXPECT_EQ(SafeFileNamePart("a/b/c.txt"), "c.txt");
  EXPECT_EQ(SafeFileNamePart("C:evil.dll"), "evil.dll");
  for (const char* directory : {"dir\\", "a:", ""}) EXPECT_EQ(SafeFileNamePart(directory), "");
  for (const char* bad : {"..", "x\\..", ".", "a/."})
    EXPECT_THROW(SafeFileNamePart(bad), EUnsafeFileName) << bad;
}

// Crafted media in C:\MEDIA: the setup files and one archive for C:\App\ whose list names
// every entry, cut into segments of the given slice sizes.
struct CraftedMedium {
  CraftedMedium(const std::vector<std::pair<std::string, segment::test::Bytes>>& files,
                const std::vector<std::size_t>& slices) {
    using namespace segment::test;
    const fs::path media = tm.DriveC() / "MEDIA";
    fs::create_directories(media);
    test::WriteBytes(media / "install.exe", std::string("MZ setup"));
    test::WriteBytes(media / "install.cfg", std::string("[Setup - Main]\r\n"));
    std::vector<std::string> names;
    for (const auto& f : files) names.push_back(f.first);
    Bytes stream = SegHeaderRecord(1);
    for (const Bytes& part :
         {ScanRecord("C:\\App\\*.*", 32, MakeArchive({{"l", ListFile(names, 32)}})),
          ArcRecord(0, MakeArchive(files, container::TCompressionMethod::coNone))})
      stream.insert(stream.end(), part.begin(), part.end());
    WriteSegments(media, stream, slices);
  }
  test::TestMachine tm;
  app::StartupState state{"C:\\MEDIA\\", "C:\\WINDOWS\\Temp\\q", "C:\\", ""};
  app::SetupSettings settings;
};

TEST(Unzip, MediaTheFormatAllowsAreExpandedAndUnsafeNamesStillRefused) {
  using segment::test::TextBytes;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, segment::test::Bytes>> files;
    std::vector<std::size_t> slices;
    bool abandoned;
  };
  const Case cases[] = {
      {"segments holding only their identification record",
       {{"app.txt", TextBytes("app")}},
       {0, 30, 0, 0},
       false},
      {"directory entries are passed over",
       {{"DATA\\", {}}, {"DATA\\SUB\\", {}}, {"", {}}, {"DATA\\app.txt", TextBytes("app")}},
       {},
       false},
      {"a name ending in ..",
       {{"DATA\\..", TextBytes("x")}, {"app.txt", TextBytes("app")}},
       {},
       true},
      {"a name ending in .",
       {{"DATA\\.", TextBytes("x")}, {"app.txt", TextBytes("app")}},
       {},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CraftedMedium m(c.files, c.slices);
    testing::ScriptedDialogs dialogs;
    if (c.abandoned) dialogs.OnMessage(platform::DialogResult::idOk, kExpandErrorText);
    testing::CountingMessagePump pump;
    test::RecordingUnzipView view;
    TUnzip unzip(m.tm.Machine(), dialogs, pump, view, m.state, m.settings, {});
    unzip.Timer1Timer();
    EXPECT_EQ(unzip.Abandoned, c.abandoned) << unzip.LastError();
    const fs::path temp = m.tm.Machine().Resolve("C:\\WINDOWS\\Temp\\q").host;
    EXPECT_EQ(fs::exists(temp / "app.txt"), !c.abandoned);
    if (!c.abandoned) {
      EXPECT_EQ(test::ReadText(temp / "app.txt"), "app");
      EXPECT_EQ(unzip.FilesExpanded(), 1);
      // Nothing but the file and the two setup files: no directory, no nameless file.
      std::size_t entries = 0;
      for ([[maybe_unused]] const auto& e : fs::directory_iterator(temp)) ++entries;
      EXPECT_EQ(entries, 3u);
    }
    dialogs.Verify();
  }
}

TEST(Unzip, DesignedValuesOfTheReaderOnTheWindow) {
  test::TestMachine tm;
  testing::ScriptedDialogs dialogs;
  testing::CountingMessagePump pump;
  test::RecordingUnzipView view;
  const app::StartupState state;
  const app::SetupSettings settings;
  TUnzip unzip(tm.Machine(), dialogs, pump, view, state, settings, {});
  const segment::TSegCompEZ& reader = unzip.SegCompEZ1;
  EXPECT_EQ(reader.SegCompType, codec::TCompressionMethod::coLZH5);
  EXPECT_TRUE(reader.SegMultiArc);
  EXPECT_EQ(reader.SegBuildMode, segment::TBuildMode::bmRecursive);
  // A component of its own keeps the class's defaults.
  const segment::TSegCompEZ plain(tm.Machine());
  EXPECT_EQ(plain.SegCompType, codec::TCompressionMethod::coLZH);
  EXPECT_FALSE(plain.SegMultiArc);
}

TEST(Unzip, PictureFramePlacement) {
  EXPECT_EQ(PictureFrameLeft(1024, 125, true, true), 512 - 62);
  EXPECT_EQ(PictureFrameLeft(1024, 125, false, true), 20);
  EXPECT_EQ(PictureFrameLeft(1024, 125, false, false), 1024 - 145);
  EXPECT_TRUE(StillPictureLoadable("LOGO.BMP"));
  EXPECT_FALSE(StillPictureLoadable("photo.jpg"));
}

}  // namespace
}  // namespace nolvo::stage
