#include "platform/wine_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace nolvo::platform {

namespace fs = std::filesystem;

namespace {

// The folder names a server of this prefix may use, below each temporary folder.
std::vector<std::string> BaseNames(const fs::path& prefix) {
  std::vector<std::string> names{".wine-" + std::to_string(::getuid())};
  std::ifstream in(prefix / "wineserver");
  std::string recorded;
  if (in && std::getline(in, recorded) && !recorded.empty() &&
      recorded.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") ==
          std::string::npos &&
      recorded != "." && recorded != "..")
    names.push_back(recorded);
  return names;
}

bool Locked(const fs::path& lockFile) {
  const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

}  // namespace

EWineRunning::EWineRunning(const fs::path& prefix)
    : EPlatformError("Wine is running programs of the prefix " + prefix.string() +
                     "; its registry cannot be changed meanwhile. Close them (or end them "
                     "with: WINEPREFIX=\"" +
                     prefix.string() + "\" wineserver -k) and try again. Nothing was changed.") {}

bool WineServerRunning(const fs::path& prefix) {
  struct stat st {};
  if (::stat(prefix.c_str(), &st) != 0) return false;
  char server[64];
  std::snprintf(server, sizeof server, "server-%llx-%llx",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::vector<fs::path> temps{"/tmp"};
  if (const char* t = std::getenv("TMPDIR"); t && *t == '/' && fs::path(t) != "/tmp")
    temps.emplace_back(t);
  for (const auto& tmp : temps)
    for (const auto& base : BaseNames(prefix))
      if (Locked(tmp / base / server / "lock")) return true;
  return false;
}

bool WaitForWineServerExit(const fs::path& prefix, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (WineServerRunning(prefix)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

}  // namespace nolvo::platform
