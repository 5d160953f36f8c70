#pragma once
// How the archive commands end: errors turned into a message and an exit code, and the
// progress bar they draw on standard error while media are read.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/media/media_reader.h"
#include "archive/stage/media_report.h"

namespace nolvo::cli {

// Runs `body` and turns what it throws into "nolvo <command>: <message>" on standard error:
// EMediaPath and CLI errors exit 2, every other failure exits 1 (a finding that stopped the
// run was printed when it was made).
int RunMediaCommand(const std::string& command, const std::function<int()>& body);

// A progress bar, drawn only when standard error is a terminal and the tool is not quiet.
class MediaProgressBar {
 public:
  MediaProgressBar(bool quiet, std::string label);
  ~MediaProgressBar();
  MediaProgressBar(const MediaProgressBar&) = delete;
  MediaProgressBar& operator=(const MediaProgressBar&) = delete;

  // Shows `what` at percent (0 to 100).
  void Show(const std::string& what, int percent);
  void Clear();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string label_;
};

// Prints a finding on standard error as "nolvo <command>: [note: |warning: ]<where>: <what>",
// notes and warnings only when not quiet.
void PrintFinding(const std::string& command, const stage::MediaFinding& finding,
                  const platform::CodePage& cp, bool quiet);

}  // namespace nolvo::cli
