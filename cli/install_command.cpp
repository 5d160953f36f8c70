// nolvo install MEDIA_DIR: the whole setup run without a window, into a prefix.

#include <fmt/format.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/settings_diagnostics.h"
#include "cli/command.h"
#include "cli/console_dialogs.h"
#include "cli/console_front_end.h"
#include "cli/install_choices.h"
#include "cli/interrupt.h"
#include "cli/wine_steps.h"
#include "platform/host_drive.h"
#include "platform/prefix_lock.h"
#include "setup/install_session.h"
#include "setup/staging_folder.h"
#include "util/file_errors.h"
#include "util/shown_text.h"
#include "util/windows_directory.h"

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
  bool dryRun = false, allowHostPaths = false, noHostMenu = false, keepExisting = false;
  bool runFollowOn = false;
};

constexpr const char* kUnattendedHelp =
    "Unattended answers (--unattended, required without a terminal):\n"
    "  licence (two or more lines)        accepted only with --accept-license, else the run\n"
    "                                     ends declined (exit 3)\n"
    "  \"Please Insert Disk #...\"          OK; a segment still missing or wrong ends the run,\n"
    "                                     naming the segment (exit 1)\n"
    "  \"File Already Exists (...)\"        --overwrite (default no). The product decides which\n"
    "                                     files ask: files it does not mark are replaced\n"
    "                                     without a question, as its setup does; with\n"
    "                                     --keep-existing every existing file is kept\n"
    "  destination                        --dir, else the product's proposed directory (refused\n"
    "                                     when it comes out empty, a drive root or the Windows\n"
    "                                     folder itself, unless --dir names it)\n"
    "  install type                       --type, else the product's preselection\n"
    "  shortcuts                          all offered, less --no-desktop/--no-startmenu\n"
    "  finish choice                      return, unless --finish says otherwise; nothing is\n"
    "                                     started unless asked: --finish launch starts the\n"
    "                                     product, --run-follow-on a follow-on setup that\n"
    "                                     \"Launch\" names (the log says what was not started)\n"
    "\n"
    "Every file, shortcut or configuration line that could not be installed or used is\n"
    "listed at the end and the run exits 1. The files and folders the run creates are\n"
    "recorded in uninstall.cfg as each is done; Ctrl+C (or SIGTERM) stops the run at the\n"
    "next step, removes the file being written and the temporary folders, and prints the\n"
    "`nolvo uninstall` command that removes what was installed (exit 3). --staging deletes\n"
    "only the files of a setup medium (install.cfg, install.exe, disk.NNN, the setup\n"
    "picture) and names the others; a file system root, a home folder or the prefix is\n"
    "refused (exit 2). The setup-medium files include the digest lists.\n"
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

// The Windows path of a --dir value: kept when it has a drive letter or is a UNC path
// ("\\server\share"), mapped when it is a host path.
std::string WindowsDir(const platform::Machine& m, const std::string& dir) {
  if ((dir.size() >= 2 && std::isalpha(static_cast<unsigned char>(dir[0])) && dir[1] == ':') ||
      dir.starts_with("\\\\"))
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

// A text as one word for a POSIX shell.
std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The host folder a --staging value names (a Windows or a host path).
std::filesystem::path StagingHostFolder(const platform::Machine& m, const std::string& staging) {
  if (staging.size() >= 2 && std::isalpha(static_cast<unsigned char>(staging[0])) &&
      staging[1] == ':')
    return m.Resolve(m.Codepage().FromUtf8(staging)).host;
  return std::filesystem::absolute(staging);
}

// Tells how to remove what a run that did not finish has written.
void PrintRemoval(const platform::Machine& machine, const setup::EngineResult& result) {
  if (result.recordFile.empty()) {
    fmt::print(stderr, "nolvo install: nothing was installed\n");
    return;
  }
  const std::string record = machine.Codepage().ToUtf8(result.recordFile);
  fmt::print(stderr,
             "nolvo install: what was installed is recorded in {}; to remove it:\n"
             "  nolvo uninstall --prefix {} {}\n",
             record, ShellQuote(machine.Prefix().string()), ShellQuote(record));
}

// The medium's and the staging folder's checks before anything runs. 0 when they pass,
// else the exit status (the reason printed).
int CheckFolders(const InstallOptions& o, const platform::Machine& machine,
                 const std::string& media) {
  if (media.empty() || !machine.Resolve(media + "\\install.cfg").exists) {
    fmt::print(stderr, "nolvo install: no install.cfg in {}\n", o.media);
    return kExitUsage;
  }
  if (!o.staging.empty()) {
    std::error_code ec;
    const std::filesystem::path staging = StagingHostFolder(machine, o.staging);
    if (!std::filesystem::is_directory(staging, ec)) {
      fmt::print(stderr, "nolvo install: --staging {} is not a folder\n", o.staging);
      return kExitUsage;
    }
    if (const auto refusal = setup::StagingFolderRefusal(machine, staging)) {
      fmt::print(stderr, "nolvo install: --staging refused: {}; nothing was deleted\n", *refusal);
      return kExitUsage;
    }
  }
  return kExitOk;
}

// What the run left to say, and its exit status.
int ReportEnd(const InstallOptions& o, const GlobalOptions& global, InstallChoices& choices,
              RunLog& log, platform::Machine& machine, setup::InstallSession& session) {
  const setup::RunOutcome& outcome = session.Run().Outcome();
  const std::optional<setup::EngineResult>& engine = session.Engine();
  if (!o.saveAnswers.empty() && engine && !choices.Save(o.saveAnswers))
    fmt::print(stderr, "nolvo install: cannot write {}\n", o.saveAnswers);
  const platform::CodePage& cp = machine.Codepage();
  if (Interrupted()) {
    fmt::print(stderr, "nolvo install: interrupted\n");
    log.Line("interrupted");
    if (engine)
      PrintRemoval(machine, *engine);
    else
      fmt::print(stderr, "nolvo install: nothing was installed\n");
    return kExitCancelled;
  }
  // The end-of-run list: the medium's findings, unusable lines, failed files and shortcuts.
  for (const auto& line : outcome.Report.Lines()) {
    fmt::print(stderr, "nolvo install: {}\n", util::ShownName(line, cp));
    log.Line(line);
  }
  if (outcome.Abandoned) {
    fmt::print(stderr, "nolvo install: Error Expanding Files!! ({})\n",
               util::ShownName(outcome.ExtractionError, cp));
    log.Line("extraction failed: " + outcome.ExtractionError);
    return outcome.ExtractionError.empty() ? kExitCancelled : kExitFailure;
  }
  if (!engine) {
    const bool declined = outcome.End == setup::WizardEnd::weDeclined;
    fmt::print(stderr, "nolvo install: {}\n", declined ? "licence declined" : "cancelled");
    log.Line(declined ? "licence declined" : "cancelled");
    return kExitCancelled;
  }
  if (!engine->notStarted.empty())
    fmt::print(stderr, "nolvo install: --run-follow-on starts a follow-on setup\n");
  if (engine->end != setup::EngineEnd::eeCompleted) {
    PrintRemoval(machine, *engine);
    return kExitFailure;
  }
  if (session.HostMenu()) PrintHostMenu(*session.HostMenu(), global.quiet);
  if (!global.quiet && !o.dryRun) {
    fmt::print("Installed \"{}\" into {}\n",
               util::ShownName(session.Run().Loaded().Screen.Header.Text, cp),
               util::ShownName(engine->installDirectory, cp));
    if (outcome.RebootRequested)
      fmt::print("Restart requested: {}\n", outcome.RebootAccepted ? "accepted" : "not available");
  }
  return outcome.Report.Failed() ? kExitFailure : kExitOk;
}

// The engine's options, and the wizard's answers recorded as Install is pressed.
setup::InstallSessionOptions SessionOptions(const InstallOptions& o, const GlobalOptions& global,
                                            bool interactive, const platform::Machine& machine,
                                            InstallChoices& choices, RunLog& log) {
  setup::InstallSessionOptions options;
  options.engine.allowHostPaths = o.allowHostPaths;
  options.engine.dryRun = o.dryRun;
  options.engine.keepExisting = o.keepExisting;
  options.engine.startFollowOn = interactive || o.runFollowOn;
  options.engine.interrupted = [] { return Interrupted(); };
  options.engine.onAction = [&o, &global, &machine, &log](const setup::EngineAction& a) {
    const std::string line = setup::DescribeAction(a);
    log.Line(line);
    if (o.dryRun && !global.quiet) fmt::print("{}\n", util::ShownName(line, machine.Codepage()));
  };
  options.hostMenu = !o.noHostMenu && !o.dryRun;
  // Only a directory named by --dir or the answers, or shown on a terminal, is the user's
  // choice (the answers recorded below always hold one).
  options.engine.installDirChosen = choices.Dir.has_value() || interactive;
  options.beforeEngine = [&choices](setup::TNolvo& wizard) {
    RecordChoices(wizard, choices);
    return true;
  };
  return options;
}

int RunInstall(const InstallOptions& o, const GlobalOptions& global) {
  const bool interactive = !o.unattended;
  if (interactive && (::isatty(0) != 1 || ::isatty(2) != 1)) {
    fmt::print(stderr, "nolvo install: no terminal to ask on; use --unattended\n");
    return kExitUsage;
  }
  if (!o.answers.empty()) {
    if (const std::string problem = AnswersProblem(o.answers); !problem.empty()) {
      fmt::print(stderr, "nolvo install: {}\n", problem);
      return kExitUsage;
    }
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(o.media, ec)) {
    fmt::print(stderr, "nolvo install: {} is not a folder\n", o.media);
    return kExitUsage;
  }
  platform::Machine machine(o.prefix.empty() ? platform::Machine::DefaultPrefix()
                                             : std::filesystem::path(o.prefix));
  const platform::RunHostDrive hostDrive(machine, std::filesystem::canonical(o.media));
  const std::string media = machine.ToWindows(std::filesystem::canonical(o.media));
  if (const int problem = CheckFolders(o, machine, media)) return problem;
  RunLog log(o.log);
  if (!log.Ok()) {
    fmt::print(stderr, "nolvo install: cannot write the log {}\n", o.log);
    return kExitUsage;
  }
  platform::PrefixLock lock(machine);
  if (!machine.SetCurrentDirectory(media).ok()) {
    fmt::print(stderr, "nolvo install: cannot enter {}\n", o.media);
    return kExitUsage;
  }
  InterruptGuard interruptGuard;

  InstallChoices choices = MergeChoices(o, machine);
  ConsoleProgress progress(global.quiet || interactive);
  UnattendedDialogs unattended(choices.Overwrite);
  TerminalDialogs terminal;
  platform::Dialogs& dialogs = interactive ? static_cast<platform::Dialogs&>(terminal) : unattended;
  auto logLine = [&](const std::string& line) { log.Line(line); };
  unattended.Log = terminal.Log = logLine;
  terminal.BeforeQuestion = [&] { progress.Clear(); };
  InterruptingPump pump;
  ConsoleFrontEnd frontEnd(progress, choices, interactive);
  frontEnd.Log = frontEnd.View().Log = logLine;
  unattended.ExpectedSegment = [&] { return frontEnd.ExpectedSegment(); };

  if (!o.dryRun && !WineLeavesRegistry(machine, "install")) return kExitFailure;
  setup::InstallSession session(machine, dialogs, pump, frontEnd, std::nullopt,
                                SessionOptions(o, global, interactive, machine, choices, log));
  if (!o.dryRun) MergeLeftoverRegistry(machine, session.Registry(), "install", global.quiet);
  // Read before the run: a registry that cannot be read stops it before anything happens.
  session.ShellFolders();

  setup::SetupRun& run = session.Run();
  run.FormShow();
  if (const std::string problem =
          CheckChoices(choices, run.Loaded().Settings, run.Loaded().Wizard.Finish);
      !problem.empty()) {
    fmt::print(stderr, "nolvo install: {}\n", problem);
    return kExitUsage;
  }
  if (!interactive && !choices.Dir) {
    if (const auto problem = app::DestinationProblem(run.Loaded().Settings, run.State().WinDrive,
                                                     util::WindowsDirectory(machine))) {
      fmt::print(stderr, "nolvo install: {}; name the installation directory with --dir\n",
                 machine.Codepage().ToUtf8(*problem));
      run.FormClose();
      return kExitFailure;
    }
  }
  // A dry run changes nothing, in the staging folder neither.
  if (!o.staging.empty() && !o.dryRun) run.SetStagingDir(WindowsDir(machine, o.staging));
  try {
    run.Timer1Timer();
  } catch (const EInterrupted&) {
    // Stopped between the stages; the close below cleans up.
  }
  run.FormClose();
  progress.Clear();
  const int status = ReportEnd(o, global, choices, log, machine, session);
  // A log the run could not write (a full disk) is a lost record of it, not a success.
  if (!log.Ok()) {
    fmt::print(stderr, "nolvo install: could not write the log {}\n", o.log);
    return status == kExitOk ? kExitFailure : status;
  }
  return status;
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
  sub->add_option("--staging", o->staging,
                  "A staging folder whose setup-medium files the end deletes (nothing else)")
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
  CLI::Option* overwrite =
      sub->add_option("--overwrite", o->overwrite,
                      "Answer to \"File Already Exists\", asked only for the files the product "
                      "marks: yes or no (unmarked files are replaced, see below)")
          ->check(CLI::IsMember({"yes", "no"}));
  sub->add_flag("--keep-existing", o->keepExisting,
                "Keep every file that exists already, marked or not (logged, not recorded "
                "as installed)")
      ->excludes(overwrite);
  sub->add_flag("--run-follow-on", o->runFollowOn,
                "Start a follow-on setup that \"Launch\" names (unattended runs start "
                "nothing unasked)");
  sub->add_flag("--accept-license", o->acceptLicense, "Accept the licence");
  sub->add_option("--answers", o->answers, "Replay the choices saved in this file")
      ->check(CLI::ExistingFile);
  sub->add_option("--save-answers", o->saveAnswers, "Save this run's choices to this file");
  sub->add_option("--log", o->log, "Append every action with its outcome to this file");
  sub->add_flag("--dry-run", o->dryRun,
                "Print the plan and change nothing in the prefix (the media are still expanded "
                "into the setup's temporary folder, C:\\WINDOWS\\Temp\\q, emptied at the end)");
  sub->add_flag("--allow-host-paths", o->allowHostPaths,
                "Allow targets on host drives such as Z: that the configuration names");
  sub->add_flag("--no-host-menu", o->noHostMenu,
                "In a Wine prefix, make no menu entries on this host for the shortcuts");
  sub->footer(std::string(kUnattendedHelp) + "\n" + kExitCodeHelp);
  auto run = [o, &global]() -> int {
    try {
      return RunInstall(*o, global);
    } catch (const EInterrupted&) {
      fmt::print(stderr, "nolvo install: interrupted; nothing was installed\n");
      return kExitCancelled;
    }
  };
  return {sub, run};
}

}  // namespace nolvo::cli
