#include "platform/launch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/ascii.h"
#include "platform/host_process.h"

namespace nolvo::platform {

namespace {

std::string LogField(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  return text;
}

int AppendToLog(const char* log, const LaunchRequest& request) {
  const std::string file =
      request.display_file.empty() ? request.file.string() : request.display_file;
  const std::string dir =
      request.display_dir.empty() ? request.working_dir.string() : request.display_dir;
  const std::string line = LogField(file) + "\t" + LogField(request.parameters) + "\t" +
                           LogField(dir) + "\t" + std::to_string(request.show_command) + "\n";
  const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return LaunchCode::kAccessDenied;
  // One write per line, so concurrent launches never interleave within a line.
  ssize_t n;
  do n = ::write(fd, line.data(), line.size());
  while (n < 0 && errno == EINTR);
  const bool ok = n == static_cast<ssize_t>(line.size());
  return ::close(fd) == 0 && ok ? LaunchCode::kStarted : LaunchCode::kAccessDenied;
}

bool IsWindowsProgram(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  ext = AsciiLower(ext);
  return ext == ".exe" || ext == ".com" || ext == ".bat";
}

bool IsHostExecutable(const std::filesystem::path& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0 && ::access(file.c_str(), X_OK) == 0;
}

int Start(const std::vector<std::string>& argv, const LaunchRequest& request,
          const std::vector<std::string>& env) {
  return SpawnDetached(argv, request.working_dir, env) ? LaunchCode::kNoAssociation
                                                       : LaunchCode::kStarted;
}

}  // namespace

int LaunchHostFile(const LaunchRequest& request) {
  struct stat st {};
  if (request.file.empty() || ::stat(request.file.c_str(), &st) != 0)
    return LaunchCode::kFileNotFound;
  if (!request.working_dir.empty() &&
      (::stat(request.working_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
    return LaunchCode::kPathNotFound;
  if (const char* log = std::getenv("NOLVO_LAUNCH_LOG"); log && *log)
    return AppendToLog(log, request);

  const std::vector<std::string> args = SplitCommandLine(request.parameters);
  std::vector<std::string> argv;
  if (IsWindowsProgram(request.file)) {
    const auto wine = FindOnPath("wine");
    if (!wine) return LaunchCode::kNoAssociation;
    argv = {wine->string(), request.file.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env;
    if (!request.prefix.empty()) env.push_back("WINEPREFIX=" + request.prefix.string());
    return Start(argv, request, env);
  }
  if (IsHostExecutable(request.file)) {
    argv = {request.file.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return Start(argv, request, {});
  }
  const auto opener = FindOnPath("xdg-open");
  if (!opener) return LaunchCode::kNoAssociation;
  return Start({opener->string(), request.file.string()}, request, {});
}

}  // namespace nolvo::platform
