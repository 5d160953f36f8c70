#include "app/ui/qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/ui/ui_text.h"

namespace nolvo::ui {

using platform::DialogButtons;
using platform::DialogKind;
using platform::DialogResult;

namespace {

QString Caption(const platform::CodePage& cp, const std::string& caption,
                const std::string& title) {
  return FromAnsi(cp, caption.empty() ? title : caption);
}

QMessageBox::Icon IconOf(DialogKind kind) {
  switch (kind) {
    case DialogKind::dkInformation:
      return QMessageBox::Information;
    case DialogKind::dkConfirmation:
      return QMessageBox::Question;
    case DialogKind::dkWarning:
      return QMessageBox::Warning;
    case DialogKind::dkError:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

DialogResult QtDialogs::ShowMessageBox(const platform::MessageRequest& request) {
  QMessageBox box(IconOf(request.kind), Caption(codePage_, request.caption, title_),
                  FromAnsi(codePage_, request.text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  struct Choice {
    QString label;
    QMessageBox::ButtonRole role;
    DialogResult result;
  };
  std::vector<Choice> choices;
  switch (request.buttons) {
    case DialogButtons::dbOk:
      choices = {{"OK", QMessageBox::AcceptRole, DialogResult::idOk}};
      break;
    case DialogButtons::dbYesNo:
      choices = {{"&Yes", QMessageBox::YesRole, DialogResult::idYes},
                 {"&No", QMessageBox::NoRole, DialogResult::idNo}};
      break;
    case DialogButtons::dbNoAbort:
      choices = {{"&No", QMessageBox::NoRole, DialogResult::idNo},
                 {"&Abort", QMessageBox::DestructiveRole, DialogResult::idAbort}};
      break;
    case DialogButtons::dbOkCancel:
      choices = {{"OK", QMessageBox::AcceptRole, DialogResult::idOk},
                 {"Cancel", QMessageBox::RejectRole, DialogResult::idCancel}};
      break;
  }
  std::vector<QPushButton*> buttons;
  for (const Choice& c : choices) buttons.push_back(box.addButton(c.label, c.role));
  box.setDefaultButton(buttons.front());
  // Closing the box without a button answers the button that changes nothing: No, Cancel,
  // or OK when it is the only one. The abort question must not abort the setup when it
  // is merely dismissed.
  const std::size_t dismiss = request.buttons == DialogButtons::dbNoAbort ? 0 : buttons.size() - 1;
  box.setEscapeButton(buttons[dismiss]);
  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return choices[i].result;
  return choices[dismiss].result;
}

platform::InputResult QtDialogs::ShowInputBox(const platform::InputRequest& request) {
  bool ok = false;
  const QString text = QInputDialog::getText(QApplication::activeWindow(),
                                             Caption(codePage_, request.caption, title_),
                                             FromAnsi(codePage_, request.prompt), QLineEdit::Normal,
                                             FromAnsi(codePage_, request.default_text), &ok);
  platform::InputResult result;
  result.accepted = ok;
  if (ok) result.text = ToAnsi(codePage_, text);
  return result;
}

void QtMessagePump::ProcessMessages() { QCoreApplication::processEvents(); }

}  // namespace nolvo::ui
