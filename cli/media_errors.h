#pragma once
// How the archive commands end: errors turned into a message and an exit code, and the
// progress bar they draw on standard error while media are read.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/media/media_reader.h"

namespace nolvo::cli {

// Runs `body` and turns what it throws into "nolvo <command>: <message>" on standard error:
// media::EMediaPath and CLI errors exit 2, every other failure exits 1.
int RunMediaCommand(const std::string& command, const std::function<int()>& body);

// A progress bar over the archives of the media, drawn only when standard error is a
// terminal and the tool is not quiet.
class MediaProgressBar {
 public:
  MediaProgressBar(bool quiet, std::string label);
  ~MediaProgressBar();
  MediaProgressBar(const MediaProgressBar&) = delete;
  MediaProgressBar& operator=(const MediaProgressBar&) = delete;

  // Shows `what` at percent (0 to 100).
  void Show(const std::string& what, int percent);
  void Clear();
  // A callback for media::ForEachArchive.
  media::MediaProgress Callback();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string label_;
};

}  // namespace nolvo::cli
