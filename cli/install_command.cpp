// nolvo install MEDIA_DIR: the whole setup run without a window, into a prefix.

#include <fmt/format.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "cli/command.h"
#include "cli/console_dialogs.h"
#include "cli/console_front_end.h"
#include "cli/install_choices.h"
#include "cli/wine_steps.h"
#include "platform/prefix_lock.h"
#include "platform/machine_registry.h"
#include "platform/registry.h"
#include "setup/install_engine.h"
#include "setup/setup_run.h"
#include "setup/shortcuts.h"
#include "util/file_errors.h"
#include "util/shown_text.h"

namespace nolvo::cli {

namespace {

struct InstallOptions {
  std::string media;
  std::string prefix;
  std::string staging;
  bool unattended = false;
  std::string dir, type, finish, overwrite, answers, saveAnswers, log;
  std::vector<std::string> noDesktop, noStartMenu;
  bool folderDesktop = false, folderStartMenu = false, acceptLicense = false;
  bool dryRun = false, allowHostPaths = false, noHostMenu = false;
};

constexpr const char* kUnattendedHelp =
    "Unattended answers (--unattended, required without a terminal):\n"
    "  licence (two or more lines)        accepted only with --accept-license, else the run\n"
    "                                     ends declined (exit 3)\n"
    "  \"Please Insert Disk #...\"          OK; the reader's missing/wrong segment boxes Cancel,\n"
    "                                     so a missing segment ends the run (exit 1)\n"
    "  \"File Already Exists (...)\"        --overwrite (default no: nothing is replaced unasked)\n"
    "  destination                        --dir, else the product's proposed directory\n"
    "  install type                       --type, else the product's preselection\n"
    "  shortcuts                          all offered, less --no-desktop/--no-startmenu\n"
    "  finish choice                      return, unless --finish says otherwise\n"
    "\n"
    "In a Wine prefix (one with Wine's system.reg) the registry is Wine's own and the\n"
    "shortcuts go to the prefix's shell folders, each with a menu entry on this host (see\n"
    "--no-host-menu). While Wine runs programs there the install stops (exit 1) and\n"
    "writes nothing.\n";

// A log file that takes one line per action, when asked for.
class RunLog {
 public:
  explicit RunLog(const std::string& path) {
    if (!path.empty()) out_ = std::make_unique<std::ofstream>(path, std::ios::app);
  }
  bool Ok() const { return !out_ || static_cast<bool>(*out_); }
  void Line(const std::string& text) {
    if (out_) *out_ << text << '\n' << std::flush;
  }

 private:
  std::unique_ptr<std::ofstream> out_;
};

// The Windows path of a --dir value: kept when it has a drive letter, mapped when it is a
// host path.
std::string WindowsDir(const platform::Machine& m, const std::string& dir) {
  if (dir.size() >= 2 && std::isalpha(static_cast<unsigned char>(dir[0])) && dir[1] == ':')
    return m.Codepage().FromUtf8(dir);
  return m.ToWindows(std::filesystem::absolute(dir));
}

InstallChoices MergeChoices(const InstallOptions& o, const platform::Machine& m) {
  InstallChoices c = o.answers.empty() ? InstallChoices{} : InstallChoices::Load(o.answers);
  if (!o.dir.empty()) c.Dir = WindowsDir(m, o.dir);
  if (!o.type.empty()) c.Type = o.type;
  if (!o.finish.empty()) c.Finish = o.finish;
  for (const auto& n : o.noDesktop) c.NoDesktop.push_back(m.Codepage().FromUtf8(n));
  for (const auto& n : o.noStartMenu) c.NoStartMenu.push_back(m.Codepage().FromUtf8(n));
  c.FolderDesktop = c.FolderDesktop || o.folderDesktop;
  c.FolderStartMenu = c.FolderStartMenu || o.folderStartMenu;
  if (!o.overwrite.empty()) c.Overwrite = o.overwrite == "yes";
  c.AcceptLicense = c.AcceptLicense || o.acceptLicense;
  return c;
}

// What the wizard was answered, for --save-answers.
void RecordChoices(const setup::TNolvo& w, InstallChoices& c) {
  c.Dir = w.Label1;
  c.Type = w.MinSelected ? "minimum" : "full";
  c.NoDesktop.clear();
  c.NoStartMenu.clear();
  for (const auto& i : w.DK)
    if (!i.Checked) c.NoDesktop.push_back(i.Name);
  for (const auto& i : w.SM)
    if (!i.Checked) c.NoStartMenu.push_back(i.Name);
  c.FolderStartMenu = w.CheckBox1;
  c.FolderDesktop = w.CheckBox2;
  c.Finish = w.LaunchSelected() ? "launch" : w.RebootSelected() ? "reboot" : "return";
}

int RunInstall(const InstallOptions& o, const GlobalOptions& global) {
  const bool interactive = !o.unattended;
  if (interactive && (::isatty(0) != 1 || ::isatty(2) != 1)) {
    fmt::print(stderr, "nolvo install: no terminal to ask on; use --unattended\n");
    return kExitUsage;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(o.media, ec)) {
    fmt::print(stderr, "nolvo install: {} is not a folder\n", o.media);
    return kExitUsage;
  }
  platform::Machine machine(o.prefix.empty() ? platform::Machine::DefaultPrefix()
                                             : std::filesystem::path(o.prefix));
  const std::string media = machine.ToWindows(std::filesystem::canonical(o.media));
  if (media.empty() || !machine.Resolve(media + "\\install.cfg").exists) {
    fmt::print(stderr, "nolvo install: no install.cfg in {}\n", o.media);
    return kExitUsage;
  }
  RunLog log(o.log);
  if (!log.Ok()) {
    fmt::print(stderr, "nolvo install: cannot write the log {}\n", o.log);
    return kExitUsage;
  }
  platform::PrefixLock lock(machine);
  machine.SetCurrentDirectory(media);

  InstallChoices choices = MergeChoices(o, machine);
  ConsoleProgress progress(global.quiet || interactive);
  UnattendedDialogs unattended(choices.Overwrite);
  TerminalDialogs terminal;
  platform::Dialogs& dialogs = interactive ? static_cast<platform::Dialogs&>(terminal) : unattended;
  auto logLine = [&](const std::string& line) { log.Line(line); };
  unattended.Log = terminal.Log = logLine;
  terminal.BeforeQuestion = [&] { progress.Clear(); };
  platform::NullMessagePump pump;
  ConsoleFrontEnd frontEnd(progress, choices, interactive);
  frontEnd.Log = frontEnd.View().Log = logLine;

  if (!o.dryRun && !WineLeavesRegistry(machine, "install")) return kExitFailure;
  platform::Registry registry(platform::MachineRegistryStore(machine));
  if (!o.dryRun) MergeLeftoverRegistry(machine, registry, "install", global.quiet);
  const platform::ShellFolders shellFolders = platform::ReadShellFolders(machine, registry);
  setup::EngineResult engineResult;
  bool engineRan = false;
  auto install = [&](setup::TNolvo& wizard, const setup::SetupRun& run) {
    RecordChoices(wizard, choices);
    app::SetupSettings settings = run.Loaded().Settings;
    setup::TShortcuts shortcuts(machine, shellFolders);
    setup::EngineContext context{machine, settings, run.State(), run.Loaded().Screen.Header.Text,
                                 wizard, dialogs, pump, shortcuts, registry};
    setup::EngineOptions options;
    options.allowHostPaths = o.allowHostPaths;
    options.installDirChosen = choices.Dir.has_value() || interactive;
    options.dryRun = o.dryRun;
    options.onAction = [&](const setup::EngineAction& a) {
      const std::string line = setup::DescribeAction(a);
      log.Line(line);
      if (o.dryRun && !global.quiet)
        fmt::print("{}\n", util::ShownName(line, machine.Codepage()));
    };
    engineResult = setup::InstallEngine(context, options).Run();
    engineRan = true;
  };

  setup::SetupRun run(machine, dialogs, pump, frontEnd, std::nullopt, install);
  run.FormShow();
  if (!o.staging.empty()) run.SetStagingDir(WindowsDir(machine, o.staging));
  if (const std::string problem =
          CheckChoices(choices, run.Loaded().Settings, run.Loaded().Wizard.Finish);
      !problem.empty()) {
    fmt::print(stderr, "nolvo install: {}\n", problem);
    return kExitUsage;
  }
  run.Timer1Timer();
  run.FormClose();
  progress.Clear();
  const setup::RunOutcome& outcome = run.Outcome();

  if (!o.saveAnswers.empty() && engineRan && !choices.Save(o.saveAnswers))
    fmt::print(stderr, "nolvo install: cannot write {}\n", o.saveAnswers);
  // What the extraction found about the medium: warnings and errors as they stand; the
  // finding that stopped it (with its segment, archive and entry) in place of the bare error.
  const platform::CodePage& cp = machine.Codepage();
  std::string stopped = outcome.ExtractionError;
  for (const auto& f : outcome.Media.Findings) {
    const std::string line = stage::Describe(f, cp);
    if (f.Level == stage::Severity::Fatal) {
      stopped = line;
      continue;
    }
    const bool warning = f.Level < stage::Severity::Error;
    log.Line((warning ? "medium warning: " : "medium error: ") + line);
    if (!warning || !global.quiet)
      fmt::print(stderr, "nolvo install: {}{}\n", warning ? "warning: " : "", line);
  }
  if (outcome.Abandoned) {
    fmt::print(stderr, "nolvo install: Error Expanding Files!! ({})\n", stopped);
    log.Line("extraction failed: " + stopped);
    return outcome.ExtractionError.empty() ? kExitCancelled : kExitFailure;
  }
  if (!engineRan) {
    const bool declined = outcome.End == setup::WizardEnd::weDeclined;
    fmt::print(stderr, "nolvo install: {}\n", declined ? "licence declined" : "cancelled");
    log.Line(declined ? "licence declined" : "cancelled");
    return kExitCancelled;
  }
  for (const auto& p : engineResult.Problems()) fmt::print(stderr, "nolvo install: {}\n", p);
  if (engineResult.end != setup::EngineEnd::eeCompleted) return kExitFailure;
  if (machine.IsWinePrefix() && !o.noHostMenu && !o.dryRun)
    MakeHostMenuEntries(machine, shellFolders, engineResult, global.quiet);
  if (!global.quiet && !o.dryRun) {
    fmt::print("Installed \"{}\" into {}\n",
               util::ShownName(run.Loaded().Screen.Header.Text, machine.Codepage()),
               util::ShownName(engineResult.installDirectory, machine.Codepage()));
    if (outcome.RebootRequested)
      fmt::print("Restart requested: {}\n", outcome.RebootAccepted ? "accepted" : "not available");
  }
  return engineResult.FullSuccess() && !outcome.Media.Failed() ? kExitOk : kExitFailure;
}

}  // namespace

CommandRegistration RegisterInstall(CLI::App& app, const GlobalOptions& global) {
  auto o = std::make_shared<InstallOptions>();
  CLI::App* sub = app.add_subcommand("install", "Install a product from its setup media");
  sub->add_option("MEDIA_DIR", o->media, "The medium: the folder with install.cfg and disk.001...")
      ->type_name("DIR")
      ->required();
  sub->add_option("--prefix", o->prefix, "The prefix to install into (else NOLVO_PREFIX)")
      ->type_name("DIR");
  sub->add_option("--staging", o->staging, "A staging folder whose plain files the end deletes")
      ->type_name("DIR");
  sub->add_flag("--unattended", o->unattended, "Ask nothing (see the answers below)");
  sub->add_option("--dir", o->dir, "Installation directory (a Windows or a host path)")
      ->type_name("DIR");
  sub->add_option("--type", o->type, "full or minimum")->check(CLI::IsMember({"full", "minimum"}));
  sub->add_option("--no-desktop", o->noDesktop, "Leave this shortcut off the desktop")
      ->type_name("NAME");
  sub->add_option("--no-startmenu", o->noStartMenu, "Leave this shortcut out of the Start Menu")
      ->type_name("NAME");
  sub->add_flag("--folder-desktop", o->folderDesktop, "Put the program folder on the desktop");
  sub->add_flag("--folder-startmenu", o->folderStartMenu,
                "Put the program folder at the top of the Start Menu");
  sub->add_option("--finish", o->finish, "launch, return or reboot")
      ->check(CLI::IsMember({"launch", "return", "reboot"}));
  sub->add_option("--overwrite", o->overwrite, "Answer to \"File Already Exists\": yes or no")
      ->check(CLI::IsMember({"yes", "no"}));
  sub->add_flag("--accept-license", o->acceptLicense, "Accept the licence");
  sub->add_option("--answers", o->answers, "Replay the choices saved in this file")
      ->check(CLI::ExistingFile);
  sub->add_option("--save-answers", o->saveAnswers, "Save this run's choices to this file");
  sub->add_option("--log", o->log, "Append every action with its outcome to this file");
  sub->add_flag("--dry-run", o->dryRun, "Print the plan and change nothing in the prefix");
  sub->add_flag("--allow-host-paths", o->allowHostPaths,
                "Allow targets on host drives such as Z: that the configuration names");
  sub->add_flag("--no-host-menu", o->noHostMenu,
                "In a Wine prefix, make no menu entries on this host for the shortcuts");
  sub->footer(std::string(kUnattendedHelp) + "\n" + kExitCodeHelp);
  auto run = [o, &global]() -> int { return RunInstall(*o, global); };
  return {sub, run};
}

}  // namespace nolvo::cli
