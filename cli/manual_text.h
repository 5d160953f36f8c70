#pragma once
// The hand-written parts of the manual pages nolvo(1) and nolvo-setup(1). The commands,
// options, values and exit codes come from the command line itself (cli/docs). In these
// texts `word` is set in bold and a blank line starts a new paragraph.

namespace nolvo::cli::manual {

struct Entry {
  const char* term;
  const char* text;
};

inline constexpr const char* kToolDescription =
    "`nolvo` works with the setup media of a product: the segment files disk.001, disk.002, "
    "... beside an install.cfg, which carry one or more compressed archives. It shows what an "
    "install.cfg sets up, packs a product folder into media, lists, tests and extracts media "
    "and single archive files, and installs a product from its media into a prefix without "
    "any window, or removes it again. `nolvo-setup`(1) is the same setup with its windows.\n"
    "\n"
    "The prefix is the Windows machine everything installs into: the folder named by "
    "`--prefix` or `NOLVO_PREFIX`. It is laid out as a Wine prefix (dosdevices/c: links to "
    "../drive_c, dosdevices/z: to /), so an existing Wine prefix works as it is. A setup "
    "writes only on the prefix's own drives; host paths (drive Z:) are for reading media.\n"
    "\n"
    "Every command takes `-q` (`--quiet`) before or after its name, and `--help`.";

inline constexpr Entry kEnvironment[] = {
    {"NOLVO_PREFIX",
     "The prefix to install into and uninstall from when `--prefix` is not given. When it is "
     "unset or empty: $XDG_DATA_HOME/nolvo/prefix (when XDG_DATA_HOME is an absolute path), "
     "else ~/.local/share/nolvo/prefix."},
    {"NOLVO_CODEPAGE",
     "The ANSI code page of the names and texts in archives and install.cfg, by number "
     "(1252, 850) or by converter name (CP1250, windows-1251, IBM437). Default 1252. A code "
     "page the host cannot convert is an error."},
    {"NOLVO_LAUNCH_LOG",
     "When it names a file, nothing is started: every program or file the setup would open "
     "(such as the finish choice's program) is appended to that file as one line, the file, "
     "its parameters, its folder and the show mode separated by tabs."},
    {"NOLVO_RESTART_COMMAND",
     "What a restart request runs, through /bin/sh -c, with NOLVO_RESTART_FLAGS set to the "
     "request's flags; the restart counts as done when it exits with 0. Without it every "
     "restart request is refused: the host itself is never restarted."},
};

inline constexpr Entry kFiles[] = {
    {"install.cfg", "The setup configuration of a product, beside its segments."},
    {"disk.001, disk.002, ...", "The segments of setup media."},
    {"PREFIX/drive_c, PREFIX/dosdevices", "The prefix's drive C: and its drive letters."},
    {"PREFIX/registry.reg", "The prefix's registry, as REGEDIT4 text."},
    {"PREFIX/nolvo.lock", "Held while a setup runs; a second setup on the same prefix is refused."},
    {"INSTALLDIR/uninstall.cfg",
     "What an installation left, for `nolvo uninstall`; written by the setup."},
};

inline constexpr Entry kExamples[] = {
    {"nolvo check product/install.cfg",
     "Show what the configuration sets up and what is wrong with it."},
    {"nolvo pack product -o media --segment-size 1457664",
     "Pack the product folder into media of floppy-sized segments."},
    {"nolvo test media", "Check every entry of the media against its checksum."},
    {"nolvo extract media -d files", "Write the media's files below the folder files."},
    {"nolvo install media --prefix ~/.wine --unattended --accept-license --type full",
     "Install without any question into a Wine prefix."},
    {"nolvo uninstall \"Nolvo Demo\" --prefix ~/.wine --dry-run",
     "Show what removing the installed product would remove."},
};

// nolvo-setup(1).
inline constexpr const char* kSetupSummary = "the setup program of setup media, with its windows";
inline constexpr const char* kSetupArgument = "STAGING_DIR";
inline constexpr const char* kSetupDescription =
    "`nolvo-setup` is the setup as a user sees it: a full-screen gradient with the product's "
    "header, the extraction window that unpacks the segments (asking for the next disk when "
    "one is missing), the wizard (licence, destination, program folder and shortcuts, the "
    "kind of installation, the finish choice) and the installation into the prefix. Start "
    "it from inside the media folder, where install.cfg and disk.001 are.\n"
    "\n"
    "It needs a display (DISPLAY or WAYLAND_DISPLAY); without one it says so and exits 1. "
    "To install without windows, from a script or over a terminal, use "
    "`nolvo install --unattended` MEDIA_DIR (see `nolvo`(1)).";

inline constexpr Entry kSetupArguments[] = {
    {"STAGING_DIR",
     "A staging folder holding a copy of the media: it becomes the current folder and the "
     "media are read from it. When the setup ends, the files directly inside it are deleted "
     "(the folders below it stay) and the folder is removed when it is then empty. Never "
     "name the original media or a folder whose files you want to keep."},
};

inline constexpr Entry kSetupEnvironment[] = {
    {"DISPLAY, WAYLAND_DISPLAY", "The display to show the setup on."},
    {"NOLVO_PREFIX", "The prefix to install into, as for `nolvo`(1)."},
    {"NOLVO_CODEPAGE, NOLVO_LAUNCH_LOG, NOLVO_RESTART_COMMAND", "As for `nolvo`(1)."},
};

inline constexpr Entry kSetupExitStatus[] = {
    {"0", "the setup ran to its end (installed, declined or cancelled)"},
    {"1", "no display, or the staging folder or the prefix could not be used"},
};

}  // namespace nolvo::cli::manual
