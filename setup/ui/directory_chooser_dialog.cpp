#include "setup/ui/directory_chooser_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextDocument>
#include <algorithm>
#include <filesystem>

#include "app/ui/ui_text.h"
#include "platform/ascii.h"

namespace nolvo::ui {

namespace {

// The designed lines, joined into two paragraphs that wrap in the substitute font.
const char* kInstructions =
    "Double click on directory to open folder or type directory location in box bellow.\n"
    "\n"
    "if directory does not exists it will automaticaly be created.";

// "C:\A\B" -> {"C:\", "C:\A", "C:\A\B"}.
std::vector<std::string> Ancestors(const std::string& dir) {
  std::vector<std::string> out;
  if (dir.size() < 3) return out;
  out.push_back(dir.substr(0, 3));
  for (std::size_t i = 3; i <= dir.size(); ++i)
    if (i == dir.size() || dir[i] == '\\') {
      if (i > 3) out.push_back(dir.substr(0, i));
    }
  return out;
}

std::string LastName(const std::string& dir) {
  if (dir.size() <= 3) return dir;
  return dir.substr(dir.rfind('\\') + 1);
}

}  // namespace

DirectoryChooserDialog::DirectoryChooserDialog(platform::Machine& machine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      machine_(machine) {
  setObjectName("Form3");
  setWindowTitle("Select Directory");
  setFont(DefaultFont());
  setFixedSize(238, 296);
  setModal(true);

  auto* group = new QGroupBox(this);
  group->setGeometry(8, 2, 222, 84);
  auto* memo = new QPlainTextEdit(kInstructions, group);
  memo->setObjectName("Memo1");
  memo->setReadOnly(true);
  memo->setFrameStyle(QFrame::NoFrame);
  memo->setFocusPolicy(Qt::NoFocus);
  // The substitute faces are wider than the designed one: a smaller size keeps the five
  // lines readable in the designed box, and wrapping keeps every word visible.
  memo->setFont(DesignedFont("MS Sans Serif", 7));
  memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setGeometry(4, 6, 214, 74);
  memo->document()->setDocumentMargin(2);
  QPalette pal = memo->palette();
  pal.setColor(QPalette::Base, palette().color(QPalette::Window));
  memo->setPalette(pal);

  auto* label1 = new QLabel("File Location", this);
  label1->setGeometry(8, 90, 222, 14);
  edit1_ = new QLineEdit("C:\\Program Files", this);
  edit1_->setObjectName("Edit1");
  edit1_->setGeometry(8, 105, 222, 21);
  auto* label2 = new QLabel("Directories", this);
  label2->setGeometry(8, 130, 222, 14);
  list_ = new QListWidget(this);
  list_->setObjectName("DirectoryListBox1");
  list_->setGeometry(8, 145, 222, 97);
  auto* label3 = new QLabel("Drives:", this);
  label3->setGeometry(8, 246, 120, 14);
  drives_ = new QComboBox(this);
  drives_->setObjectName("DriveComboBox1");
  drives_->setGeometry(8, 262, 104, 24);
  ok_ = new QPushButton("&OK", this);
  ok_->setObjectName("BitBtn1");
  ok_->setGeometry(118, 262, 54, 25);
  ok_->setDefault(true);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("BitBtn2");
  cancel_->setGeometry(176, 262, 54, 25);
  setTabOrder(ok_, cancel_);
  setTabOrder(cancel_, edit1_);
  setTabOrder(edit1_, list_);
  setTabOrder(list_, drives_);

  for (char letter : Drives()) drives_->addItem(QString("%1:").arg(QChar(letter)), QChar(letter));

  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { OpenItem(list_->row(item)); });
  connect(drives_, &QComboBox::activated, this, [this](int index) {
    if (index >= 0) ChooseDrive(drives_->itemData(index).toChar().toLatin1());
  });

  // The list starts at the machine's current directory, as the framework's list does.
  if (!SetDirectory(machine_.GetCurrentDirectory())) SetDirectory("C:\\");
}

std::vector<char> DirectoryChooserDialog::Drives() const {
  std::vector<char> letters;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(machine_.DosDevices(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])) &&
        machine_.DriveRoot(name[0]))
      letters.push_back(platform::AsciiLower(name[0]));
  }
  std::sort(letters.begin(), letters.end());
  return letters;
}

bool DirectoryChooserDialog::SetDirectory(const std::string& directory) {
  const platform::ResolvedPath r = machine_.Resolve(directory);
  if (!r.error.ok() || !r.exists || !r.isDirectory) return false;
  std::string full = r.full;
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  directory_ = full;
  Fill();
  DirectoryChanged();
  return true;
}

void DirectoryChooserDialog::Fill() {
  filling_ = true;
  list_->clear();
  paths_.clear();
  const platform::CodePage& cp = machine_.Codepage();
  int depth = 0;
  for (const std::string& dir : Ancestors(directory_)) {
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + FromAnsi(cp, LastName(dir)), list_);
    item->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    paths_.push_back(dir);
    ++depth;
  }
  const int current = list_->count() - 1;
  std::vector<std::string> children;
  std::error_code ec;
  const platform::ResolvedPath r = machine_.Resolve(directory_);
  for (const auto& entry : std::filesystem::directory_iterator(r.host, ec)) {
    std::error_code ec2;
    if (entry.is_directory(ec2))
      children.push_back(machine_.WindowsName(entry.path().filename().string()));
  }
  std::sort(children.begin(), children.end(), [](const std::string& a, const std::string& b) {
    return platform::AsciiUpper(a) < platform::AsciiUpper(b);
  });
  const std::string base = directory_.size() == 3 ? directory_ : directory_ + "\\";
  for (const std::string& name : children) {
    auto* item = new QListWidgetItem(QString(depth * 2, ' ') + FromAnsi(cp, name), list_);
    item->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
    paths_.push_back(base + name);
  }
  list_->setCurrentRow(current);
  const int index = drives_->findData(QChar(platform::AsciiLower(directory_[0])));
  if (index >= 0) drives_->setCurrentIndex(index);
  filling_ = false;
}

void DirectoryChooserDialog::DirectoryChanged() {
  edit1_->setText(FromAnsi(machine_.Codepage(), directory_));
}

void DirectoryChooserDialog::OpenItem(int row) {
  if (row < 0 || row >= static_cast<int>(paths_.size())) return;
  SetDirectory(paths_[static_cast<std::size_t>(row)]);
}

void DirectoryChooserDialog::ChooseDrive(char letter) {
  const char upper = platform::AsciiUpper(letter);
  // The drive's current directory: the machine's own when it is on that drive, else the root.
  const std::string& cur = machine_.GetCurrentDirectory();
  if (!cur.empty() && platform::AsciiUpper(cur[0]) == upper && SetDirectory(cur)) return;
  SetDirectory(std::string(1, upper) + ":\\");
}

void DirectoryChooserDialog::FormShow() {
  // A path that cannot be shown is left in the box as typed.
  SetDirectory(ToAnsi(machine_.Codepage(), edit1_->text()));
}

bool DirectoryChooserDialog::Choose(std::string& path) {
  edit1_->setText(FromAnsi(machine_.Codepage(), path));
  FormShow();
  ok_->setFocus();
  if (exec() != QDialog::Accepted) return false;
  path = ToAnsi(machine_.Codepage(), edit1_->text());
  return true;
}

}  // namespace nolvo::ui
