#include "cli/console_front_end.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "cli/console_dialogs.h"

namespace nolvo::cli {

using setup::TNolvo;

void ConsoleFrontEnd::ShowExtraction(stage::TUnzip& unzip) {
  struct Running {
    stage::TUnzip*& current;
    ~Running() { current = nullptr; }
  } running{unzip_ = &unzip};
  unzip.FormShow();
  unzip.Timer1Timer();
}

void ConsoleFrontEnd::ShowWizard(TNolvo& wizard, const std::function<void(TNolvo&)>& install) {
  if (interactive_)
    DriveInteractive(wizard, install);
  else
    DriveUnattended(wizard, install);
}

void ConsoleFrontEnd::ApplyShortcutChoices(TNolvo& w) {
  auto uncheck = [](std::vector<setup::CheckItem>& list, const std::vector<std::string>& names) {
    for (auto& item : list)
      if (std::find(names.begin(), names.end(), item.Name) != names.end()) item.Checked = false;
  };
  uncheck(w.Edit().DK, choices_.NoDesktop);
  uncheck(w.Edit().SM, choices_.NoStartMenu);
  w.Edit().CheckBox1 = choices_.FolderStartMenu;
  w.Edit().CheckBox2 = choices_.FolderDesktop;
}

namespace {

app::FinishChoice FinishFromName(const std::string& name) {
  if (name == "launch") return app::FinishChoice::fcLaunch;
  if (name == "reboot") return app::FinishChoice::fcReboot;
  return app::FinishChoice::fcReturn;
}

}  // namespace

void ConsoleFrontEnd::DriveUnattended(TNolvo& w, const std::function<void(TNolvo&)>& install) {
  // Each page is visited a bounded number of times; the flow only moves forward here.
  for (int step = 0; step < 32 && !w.Closed(); ++step) {
    switch (w.PageIndex()) {
      case setup::kPageWelcome:
        w.nextClick();
        break;
      case setup::kPageLicence:
        if (w.Controls().Memo3.size() >= 2 && !choices_.AcceptLicense) {
          if (Log) Log("licence: declined (no --accept-license)");
          w.declineClick();
          return;
        }
        if (Log)
          Log(w.Controls().Memo3.size() >= 2 ? "licence: accepted"
                                             : "licence page: nothing to accept");
        w.acceptClick();
        break;
      case setup::kPageDestination:
        if (choices_.Dir) {
          FixedChooser chooser(*choices_.Dir);
          w.browseClick(chooser);
        }
        w.nextClick();
        break;
      case setup::kPageFolders:
        w.nextClick();
        break;
      case setup::kPageInstallType:
        if (choices_.Type) w.Edit().MinSelected = *choices_.Type == "minimum";
        w.nextClick();
        break;
      case setup::kPageReady:
        ApplyShortcutChoices(w);
        w.SelectFinish(FinishFromName(choices_.Finish.value_or("return")));
        w.installClick(install);
        return;
      default:
        return;
    }
  }
}

namespace {

// Asks one line; "" at the end of input.
std::string Ask(const std::string& prompt) {
  fmt::print(stderr, "{}> ", prompt);
  std::string line;
  if (!ReadAnswerLine(line)) return "q";
  return line;
}

void ShowList(const char* title, const std::vector<setup::CheckItem>& list) {
  fmt::print(stderr, "{}\n", title);
  for (std::size_t i = 0; i < list.size(); ++i)
    fmt::print(stderr, "  {:>2}. [{}] {}\n", i + 1, list[i].Checked ? 'x' : ' ', list[i].Name);
}

void Toggle(std::vector<setup::CheckItem>& list, const std::string& arg) {
  try {
    const std::size_t n = std::stoul(arg);
    if (n >= 1 && n <= list.size()) list[n - 1].Checked = !list[n - 1].Checked;
  } catch (const std::exception&) {
  }
}

// A page's answer: one of the buttons' letters, or none when the page took the answer
// itself (a choice on the page) and is to be shown again.
using PageAnswer = std::optional<std::string>;

PageAnswer AskWelcome() {
  fmt::print(stderr,
             "Welcome. Close all other programs before you go on.\n"
             "Cancel quits the setup; Next goes on. This program is protected by law\n"
             "against unauthorised reproduction.\n");
  return Ask("[n]ext [c]ancel");
}

PageAnswer AskLicence(const TNolvo& w) {
  for (const auto& line : w.Controls().Memo3) fmt::print(stderr, "  {}\n", line);
  return Ask("[a]ccept [d]ecline [b]ack");
}

PageAnswer AskDestination(TNolvo& w) {
  fmt::print(stderr, "Destination Directory: {}\n", w.Controls().Label1);
  std::string a = Ask("[n]ext [b]ack [c]ancel, or type a new directory");
  if (a.size() <= 1) return a;
  FixedChooser chooser(a);
  w.browseClick(chooser);
  return std::nullopt;
}

PageAnswer AskFolders(TNolvo& w) {
  fmt::print(stderr,
             "Main Folder: {}\n  Add Folder to Start Menu [{}]  Add Folder to Desktop [{}]\n",
             w.Controls().CreateFolder, w.Controls().CheckBox1 ? 'x' : ' ',
             w.Controls().CheckBox2 ? 'x' : ' ');
  ShowList("Add Shortcut to Desktop?", w.Controls().DK);
  ShowList("Add Shortcut to Startmenu?", w.Controls().SM);
  std::string a =
      Ask("[n]ext [b]ack [c]ancel, s=folder in Start Menu, f=folder on Desktop, dN/mN toggle");
  if (a == "s") w.Edit().CheckBox1 = !w.Controls().CheckBox1;
  if (a == "f") w.Edit().CheckBox2 = !w.Controls().CheckBox2;
  if (a.size() > 1 && a[0] == 'd') Toggle(w.Edit().DK, a.substr(1));
  if (a.size() > 1 && a[0] == 'm') Toggle(w.Edit().SM, a.substr(1));
  if (a == "s" || a == "f" || a.size() > 1) return std::nullopt;
  return a;
}

PageAnswer AskInstallType(TNolvo& w) {
  fmt::print(stderr,
             "What type of install to Execute\n  [{}] Full Install\n  [{}] Network minimum\n",
             w.Controls().MinSelected ? ' ' : 'x', w.Controls().MinSelected ? 'x' : ' ');
  std::string a = Ask("[n]ext [b]ack [c]ancel, u=full, w=network minimum");
  if (a != "u" && a != "w") return a;
  w.Edit().MinSelected = a == "w";
  return std::nullopt;
}

// "i" starts the installation.
PageAnswer AskReady(TNolvo& w) {
  fmt::print(stderr, "Ready to Start Installing Software\n");
  for (const auto& line : w.Controls().Memo4) fmt::print(stderr, "  {}\n", line);
  auto mark = [&](app::FinishChoice c) { return w.Controls().Finish.Selected == c ? 'x' : ' '; };
  if (w.Controls().Finish.LaunchEnabled)
    fmt::print(stderr, "  1 [{}] Launch Program after installed ({})\n",
               mark(app::FinishChoice::fcLaunch), w.Controls().Label2);
  fmt::print(stderr, "  2 [{}] Return to Windows after installed\n",
             mark(app::FinishChoice::fcReturn));
  if (w.Controls().Finish.RebootVisible)
    fmt::print(stderr, "  3 [{}] Re Boot Windows After installed\n",
               mark(app::FinishChoice::fcReboot));
  std::string a = Ask("[i]nstall [b]ack [c]ancel, 1/2/3 to choose");
  if (a != "1" && a != "2" && a != "3") return a;
  w.SelectFinish(a == "1"   ? app::FinishChoice::fcLaunch
                 : a == "2" ? app::FinishChoice::fcReturn
                            : app::FinishChoice::fcReboot);
  return std::nullopt;
}

// The buttons every page shares.
void PressButton(TNolvo& w, const std::string& a) {
  if (a == "n" && w.Controls().NextEnabled)
    w.nextClick();
  else if (a == "b" && w.Controls().BackEnabled)
    w.backClick();
  else if (a == "a" && w.PageIndex() == setup::kPageLicence)
    w.acceptClick();
  else if (a == "d" && w.PageIndex() == setup::kPageLicence)
    w.declineClick();
  else if (a == "c" || a == "q")
    w.cancelClick();
}

}  // namespace

void ConsoleFrontEnd::DriveInteractive(TNolvo& w, const std::function<void(TNolvo&)>& install) {
  while (!w.Closed()) {
    fmt::print(stderr, "\n== Nolvo32 - Setup ==\n");
    PageAnswer a;
    switch (w.PageIndex()) {
      case setup::kPageWelcome:
        a = AskWelcome();
        break;
      case setup::kPageLicence:
        a = AskLicence(w);
        break;
      case setup::kPageDestination:
        a = AskDestination(w);
        break;
      case setup::kPageFolders:
        a = AskFolders(w);
        break;
      case setup::kPageInstallType:
        a = AskInstallType(w);
        break;
      case setup::kPageReady:
        a = AskReady(w);
        if (a == "i") {
          w.installClick(install);
          return;
        }
        break;
      default:
        return;
    }
    if (a) PressButton(w, *a);
  }
}

}  // namespace nolvo::cli
