// The reader's questions: the mount prompt, the missing-segment and wrong-segment boxes,
// and the read without any dialogs.

#include <gtest/gtest.h>

#include "archive/segment/seg_compress.h"
#include "archive/segment/seg_id_header.h"
#include "testing/scripted_dialogs.h"
#include "tests/segment/seg_reader_fixture.h"

namespace nolvo::segment {
namespace {

using namespace nolvo::segment::test;
using platform::DialogResult;
using platform::InputRequest;
using platform::MessageRequest;
using Kind = ESegError::Kind;

const std::string kMissing2 =
    "Unable to locate \"disk.002\" on this segment!\n\rCorrect and then press OK, or Cancel to "
    "abort";
const std::string kWrong =
    "Incorrect segmented mounted!\n\rCorrect and then press OK, or Cancel to abort";

class SegPrompts : public SegReader {
 protected:
  // Two segments; the second is moved aside (as if its disk were not inserted).
  void TwoSegmentsSecondMissing() {
    const Bytes stream = SmallStream();
    WriteSegments(media(), stream, {40});
    fs::rename(media() / "disk.002", tmp.Path() / "aside");
  }
  void InsertSecond() { fs::rename(tmp.Path() / "aside", media() / "disk.002"); }
};

TEST_F(SegPrompts, MissingSegmentBoxOkRetriesFromOnSegBefore) {
  TwoSegmentsSecondMissing();
  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(DialogResult::idOk, kMissing2);
  TSegCompress reader(machine, &dialogs);
  Configure(reader);
  std::vector<std::uint16_t> before;
  reader.OnSegBefore = [&](TSegMode, const std::string&, std::uint16_t n) {
    before.push_back(n);
    // The person inserts the disk after the box.
    if (n == 2 && before.size() == 3) InsertSecond();
  };
  TSegArcList list;
  reader.ExpandSegArcs(list);
  dialogs.Verify();
  EXPECT_EQ(before, (std::vector<std::uint16_t>{1, 2, 2}));
  EXPECT_EQ(Read("Small/b.txt"), TextBytes("beta"));
  const auto& box = std::get<MessageRequest>(dialogs.Asked().at(0));
  EXPECT_EQ(box.kind, platform::DialogKind::dkError);
  EXPECT_EQ(box.buttons, platform::DialogButtons::dbOkCancel);
}

TEST_F(SegPrompts, CancelInTheMissingBoxAbortsAndLeavesNoTemporaryFile) {
  TwoSegmentsSecondMissing();
  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(DialogResult::idCancel, kMissing2);
  TSegCompress reader(machine, &dialogs);
  Configure(reader);
  try {
    TSegArcList list;
    reader.ExpandSegArcs(list);
    FAIL();
  } catch (const ESegError& e) {
    EXPECT_STREQ(e.what(), "(TSegCompress) Operation aborted by user");
  }
  EXPECT_TRUE(reader.Aborted());
  EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
  dialogs.Verify();
}

TEST_F(SegPrompts, WrongSegmentBoxThenTheRightDisk) {
  const Bytes stream = SmallStream();
  WriteSegments(media(), stream, {40});
  const auto right = nolvo::test::ReadBytes(media() / "disk.002");
  auto wrong = right;
  wrong[6] = 3;  // a disk carrying segment 3
  nolvo::test::WriteBytes(media() / "disk.002", wrong);

  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(DialogResult::idOk, kWrong);
  TSegCompress reader(machine, &dialogs);
  Configure(reader);
  int calls = 0;
  reader.OnSegBefore = [&](TSegMode, const std::string&, std::uint16_t n) {
    if (n == 2 && ++calls == 2) nolvo::test::WriteBytes(media() / "disk.002", right);
  };
  TSegArcList list;
  reader.ExpandSegArcs(list);
  dialogs.Verify();
  EXPECT_EQ(Read("Small/a.txt"), TextBytes("alpha"));
}

TEST_F(SegPrompts, WithoutDialogsAMissingOrWrongSegmentIsNamed) {
  TwoSegmentsSecondMissing();
  {
    TSegCompress reader(machine);
    Configure(reader);
    reader.SetSegPopUp(true);  // no dialogs: no prompt either
    try {
      TSegArcList list;
      reader.ExpandSegArcs(list);
      FAIL();
    } catch (const ESegError& e) {
      EXPECT_EQ(e.Why(), Kind::skMissingSegment);
      EXPECT_STREQ(e.what(), "(TSegCompress) Unable to locate \"d:\\disk.002\"");
    }
    EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
  }
  InsertSecond();
  auto bytes = nolvo::test::ReadBytes(media() / "disk.002");
  bytes[6] = 7;
  nolvo::test::WriteBytes(media() / "disk.002", bytes);
  TSegCompress reader(machine);
  Configure(reader);
  try {
    TSegArcList list;
    reader.ExpandSegArcs(list);
    FAIL();
  } catch (const ESegError& e) {
    EXPECT_EQ(e.Why(), Kind::skWrongSegment);
    EXPECT_STREQ(e.what(),
                 "(TSegCompress) Incorrect segment mounted: \"d:\\disk.002\" is segment 7, not 2");
  }
}

TEST_F(SegPrompts, MountPromptComesFirstAndAnEmptyAnswerAsksAgain) {
  fs::create_directories(media() / "Sub");
  WriteSegments(media() / "Sub", SmallStream(), {40});
  testing::ScriptedDialogs dialogs;
  dialogs.OnInput({true, ""}, "Mount Segment #1")
      .OnInput({true, "D:\\SUB"}, "Mount Segment #1")
      .OnInput({true, "D:\\SUB\\"}, "Mount Segment #2");
  testing::CountingMessagePump pump;
  TSegCompress reader(machine, &dialogs, &pump);
  Configure(reader);
  reader.SetSegPopUp(true);
  int repaints = 0, arrows = 0, restores = 0;
  reader.Owner.Repaint = [&] { ++repaints; };
  reader.Owner.ArrowCursor = [&] { ++arrows; };
  reader.Owner.RestoreCursor = [&] { ++restores; };
  std::vector<std::string> dirsSeen;
  reader.OnSegBefore = [&](TSegMode, const std::string&, std::uint16_t) {
    dirsSeen.push_back(reader.SegDir());
  };
  TSegArcList list;
  reader.ExpandSegArcs(list);
  dialogs.Verify();
  // The typed text is kept as typed (no lower-casing) and the prompt ran before OnSegBefore.
  EXPECT_EQ(dirsSeen, (std::vector<std::string>{"D:\\SUB", "D:\\SUB\\"}));
  const auto& first = std::get<InputRequest>(dialogs.Asked().at(0));
  EXPECT_EQ(first.prompt, "Directory Path:");
  EXPECT_EQ(first.default_text, "d:\\");
  EXPECT_EQ(std::get<InputRequest>(dialogs.Asked().at(1)).default_text, "d:\\");
  EXPECT_EQ(std::get<InputRequest>(dialogs.Asked().at(2)).default_text, "D:\\SUB");
  EXPECT_EQ(repaints, 2);
  EXPECT_EQ(arrows, 2);
  EXPECT_EQ(restores, 2);
  EXPECT_GT(pump.Count(), 3u);
  EXPECT_EQ(Read("Small/a.txt"), TextBytes("alpha"));
}

TEST_F(SegPrompts, CancelInTheMountPromptAborts) {
  WriteSegments(media(), SmallStream(), {});
  testing::ScriptedDialogs dialogs;
  dialogs.OnInput({false, ""});
  TSegCompress reader(machine, &dialogs);
  Configure(reader);
  reader.SetSegPopUp(true);
  int before = 0, repaints = 0;
  reader.OnSegBefore = [&](TSegMode, const std::string&, std::uint16_t) { ++before; };
  reader.Owner.Repaint = [&] { ++repaints; };
  ExpectSegError(reader, Kind::skAborted);
  EXPECT_TRUE(reader.Aborted());
  EXPECT_EQ(before, 0);
  EXPECT_EQ(repaints, 1);
}

}  // namespace
}  // namespace nolvo::segment
