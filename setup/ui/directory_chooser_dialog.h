#pragma once
// Form3: the "Select Directory" dialog. Its path box is filled by the caller; the
// directory list shows the selected drive from its root down to the current directory
// and that directory's sub-directories, over the modelled machine's drives.

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "setup/wizard.h"

namespace nolvo::ui {

class DirectoryChooserDialog : public QDialog, public setup::DirectoryChooser {
 public:
  explicit DirectoryChooserDialog(platform::Machine& machine, QWidget* parent = nullptr);

  // Fills the path box with `path`, shows the dialog modally and on OK gives back the
  // path box's text.
  bool Choose(std::string& path) override;

  // Show handler: makes the list show the directory in Edit1 when it exists.
  void FormShow();
  // Shows `directory` (a Windows path) in the list; false when it is not a directory.
  bool SetDirectory(const std::string& directory);
  // Opens the list's item `row` (a double click).
  void OpenItem(int row);
  // Chooses the drive `letter` in the drive box.
  void ChooseDrive(char letter);

  const std::string& Directory() const { return directory_; }
  // The drive letters of the machine (lower case), in order.
  std::vector<char> Drives() const;

  QLineEdit* Edit1() { return edit1_; }
  QListWidget* DirectoryListBox1() { return list_; }
  QComboBox* DriveComboBox1() { return drives_; }
  QPushButton* BitBtn1() { return ok_; }
  QPushButton* BitBtn2() { return cancel_; }

 private:
  void Fill();
  void DirectoryChanged();

  platform::Machine& machine_;
  std::string directory_;           // the list's current directory
  std::vector<std::string> paths_;  // the directory each list row opens
  QLineEdit* edit1_;
  QListWidget* list_;
  QComboBox* drives_;
  QPushButton* ok_;
  QPushButton* cancel_;
  bool filling_ = false;
};

}  // namespace nolvo::ui
