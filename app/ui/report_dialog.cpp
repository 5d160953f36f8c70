#include "app/ui/report_dialog.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "app/ui/ui_text.h"

namespace nolvo::ui {

ReportDialog::ReportDialog(const setup::RunReport& report, const platform::CodePage& codePage,
                           const QString& caption, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("ReportDialog");
  setWindowTitle(caption);
  setFont(DefaultFont());
  setModal(true);
  const bool failed = report.Failed();

  auto* icon = new QLabel(this);
  const QStyle::StandardPixmap kind =
      failed ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxInformation;
  icon->setPixmap(style()->standardIcon(kind).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  text_ = new QLabel(failed ? "The setup did not install everything it was asked to:"
                            : "The setup finished with these notes:",
                     this);
  text_->setWordWrap(true);
  list_ = new QListWidget(this);
  list_->setObjectName("ReportList");
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  for (const auto& line : report.Lines()) list_->addItem(FromAnsi(codePage, line));
  ok_ = new QPushButton("OK", this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addWidget(text_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  auto* col = new QVBoxLayout(this);
  col->addLayout(top);
  col->addWidget(list_, 1);
  col->addLayout(buttons);
  resize(520, 300);
}

}  // namespace nolvo::ui
