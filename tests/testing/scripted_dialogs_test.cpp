#include "testing/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace nolvo::testing {
namespace {

TEST(ScriptedDialogs, AnswersTheSystemsQuestionsInOrder) {
  ScriptedDialogs dialogs;
  dialogs.OnMessage(DialogResult::idOk, "Please Insert Disk #2 into Floppy Drive.")
      .OnMessage(DialogResult::idNo)
      .OnMessage(DialogResult::idAbort, "Abort Setup Process ?")
      .OnMessage(DialogResult::idCancel)
      .OnInput({true, "d:\\disk2"}, "Mount Segment #2");

  dialogs.Inform("Please Insert Disk #2 into Floppy Drive.");
  EXPECT_FALSE(dialogs.Confirm("File Already Exists (a.txt). Overwrite?"));
  EXPECT_TRUE(dialogs.AskAbort("Abort Setup Process ?"));
  EXPECT_FALSE(dialogs.ErrorOkCancel("Incorrect segmented mounted!"));
  const InputResult input = dialogs.ShowInputBox({"Mount Segment #2", "Directory Path:", "a:\\"});
  EXPECT_TRUE(input.accepted);
  EXPECT_EQ(input.text, "d:\\disk2");
  EXPECT_NO_THROW(dialogs.Verify());

  ASSERT_EQ(dialogs.Asked().size(), 5u);
  const auto& abort = std::get<MessageRequest>(dialogs.Asked()[2]);
  EXPECT_EQ(abort.kind, DialogKind::dkWarning);
  EXPECT_EQ(abort.buttons, DialogButtons::dbNoAbort);
  EXPECT_EQ(std::get<MessageRequest>(dialogs.Asked()[3]).buttons, DialogButtons::dbOkCancel);
  EXPECT_EQ(std::get<InputRequest>(dialogs.Asked()[4]).default_text, "a:\\");
}

TEST(ScriptedDialogs, UnexpectedQuestionsFailLoudlyNamingTheQuestion) {
  ScriptedDialogs empty;
  try {
    empty.AskAbort("Abort Setup Process ?");
    FAIL() << "no exception";
  } catch (const EUnexpectedDialog& e) {
    EXPECT_STREQ(e.what(),
                 "Unexpected message box (warning, No/Abort) \"Abort Setup Process ?\": "
                 "no scripted answer left");
  }

  ScriptedDialogs wrong_text;
  wrong_text.OnMessage(DialogResult::idYes, "Create New Directory for Installation [C:\\A] ?");
  EXPECT_THROW(wrong_text.Confirm("Create New Directory for Installation [C:\\B] ?"),
               EUnexpectedDialog);

  ScriptedDialogs wrong_kind;
  wrong_kind.OnInput({false, ""});
  EXPECT_THROW(wrong_kind.Inform("x"), EUnexpectedDialog);

  ScriptedDialogs wrong_caption;
  wrong_caption.OnInput({true, "x"}, "Mount Segment #3");
  EXPECT_THROW(wrong_caption.ShowInputBox({"Mount Segment #2", "Directory Path:", ""}),
               EUnexpectedDialog);

  // A scripted button the box does not have is a script error, not an answer.
  ScriptedDialogs wrong_button;
  wrong_button.OnMessage(DialogResult::idYes);
  EXPECT_THROW(wrong_button.Inform("Error Expanding Files!!"), EUnexpectedDialog);
}

TEST(ScriptedDialogs, VerifyReportsSwallowedFailuresAndUnusedAnswers) {
  ScriptedDialogs dialogs;
  try {
    dialogs.Inform("Error Expanding Files!!");
  } catch (...) {
    // code under test that swallows every error
  }
  try {
    dialogs.Verify();
    FAIL() << "no exception";
  } catch (const EUnexpectedDialog& e) {
    EXPECT_NE(std::string(e.what()).find("\"Error Expanding Files!!\""), std::string::npos);
  }

  ScriptedDialogs unused;
  unused.OnMessage(DialogResult::idOk).OnMessage(DialogResult::idYes, "Overwrite?");
  unused.Inform("first");
  EXPECT_EQ(unused.Remaining(), 1u);
  try {
    unused.Verify();
    FAIL() << "no exception";
  } catch (const EUnexpectedDialog& e) {
    EXPECT_STREQ(e.what(),
                 "1 scripted answer(s) left unused; next: message box answered Yes text "
                 "\"Overwrite?\"");
  }
}

TEST(MessagePump, CountingPumpCountsAndRunsItsHookInsideEachCall) {
  CountingMessagePump pump;
  std::vector<std::size_t> seen;
  pump.SetHook([&](std::size_t call) { seen.push_back(call); });
  MessagePump& as_interface = pump;
  for (int i = 0; i < 3; ++i) as_interface.ProcessMessages();
  EXPECT_EQ(pump.Count(), 3u);
  EXPECT_EQ(seen, (std::vector<std::size_t>{1, 2, 3}));
  platform::NullMessagePump null;
  null.ProcessMessages();
}

}  // namespace
}  // namespace nolvo::testing
