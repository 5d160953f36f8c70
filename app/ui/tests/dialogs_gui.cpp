// The system's questions as real Qt boxes: the buttons each set offers, the answer of the
// button pressed, Escape as the button that changes nothing, and the input box.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/ui/qt_dialogs.h"
#include "app/ui/tests/gui_app.h"

namespace nolvo::ui {
namespace {

using platform::DialogButtons;
using platform::DialogResult;

// Runs `act` on the modal box once it is up.
template <typename Box>
void WhenShown(std::function<void(Box&)> act) {
  QTimer::singleShot(0, [act] {
    auto* box = qobject_cast<Box*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    act(*box);
  });
}

QStringList ButtonTexts(QMessageBox& box) {
  QStringList texts;
  for (QAbstractButton* b : box.buttons()) texts << b->text().remove('&');
  texts.sort();
  return texts;
}

TEST(QtDialogs, AbortQuestionOffersNoAndAbort) {
  test::GuiApp();
  platform::CodePage cp;
  QtDialogs dialogs(cp);
  QStringList seen;
  QString caption;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    seen = ButtonTexts(box);
    caption = box.windowTitle();
    for (QAbstractButton* b : box.buttons())
      if (b->text().remove('&') == "Abort") b->click();
  });
  EXPECT_TRUE(dialogs.AskAbort("Abort Setup Process ?"));
  EXPECT_EQ(seen, QStringList({"Abort", "No"}));
  EXPECT_EQ(caption, "Nolvo - Setup");

  // Escape and the close box answer the button that changes nothing: the abort question
  // is not an abort when it is dismissed.
  WhenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_FALSE(dialogs.AskAbort("Abort Setup Process ?"));
  WhenShown<QMessageBox>([](QMessageBox& box) { box.close(); });
  EXPECT_FALSE(dialogs.AskAbort("Abort Setup Process ?"));
  WhenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_FALSE(dialogs.Confirm("Create New Directory for Installation [C:\\X] ?"));
  WhenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_FALSE(dialogs.ErrorOkCancel("(TSegCompress) Segment file not found"));
}

TEST(QtDialogs, YesNoAndTheTextInTheCodePage) {
  test::GuiApp();
  platform::CodePage cp;  // Windows-1252
  QtDialogs dialogs(cp);
  QString text;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    text = box.text();
    box.defaultButton()->click();  // Yes is the default
  });
  EXPECT_TRUE(dialogs.Confirm("Caf\xE9 ?"));
  EXPECT_EQ(text, QString::fromUtf8("Caf\u00E9 ?"));
}

TEST(QtDialogs, InputBoxGivesTheTypedText) {
  test::GuiApp();
  platform::CodePage cp;
  QtDialogs dialogs(cp);
  WhenShown<QInputDialog>([](QInputDialog& box) {
    EXPECT_EQ(box.textValue(), "A:\\");
    box.setTextValue("D:\\SETUP");
    box.accept();
  });
  platform::InputResult r = dialogs.ShowInputBox({"Disk", "Where is disk 2?", "A:\\"});
  EXPECT_TRUE(r.accepted);
  EXPECT_EQ(r.text, "D:\\SETUP");
  WhenShown<QInputDialog>([](QInputDialog& box) { box.reject(); });
  r = dialogs.ShowInputBox({"Disk", "Where is disk 2?", "A:\\"});
  EXPECT_FALSE(r.accepted);
}

}  // namespace
}  // namespace nolvo::ui
