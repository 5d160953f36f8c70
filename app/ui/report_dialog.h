#pragma once
// The one box at the end of a setup that did not do everything it was asked to: a line
// of explanation above a scrollable list of every problem (and warning), and OK.

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "platform/code_page.h"
#include "setup/run_report.h"

namespace nolvo::ui {

class ReportDialog : public QDialog {
 public:
  ReportDialog(const setup::RunReport& report, const platform::CodePage& codePage,
               const QString& caption, QWidget* parent = nullptr);

  QLabel* Text() { return text_; }
  QListWidget* List() { return list_; }
  QPushButton* OkButton() { return ok_; }

 private:
  QLabel* text_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace nolvo::ui
