#pragma once
// Child processes for the benchmarks that run whole programs: a host temporary folder,
// and a small launcher process that starts each child and reports its processor time
// (user and sys, from wait4), wall time and peak resident memory.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/temp_folder.h"

namespace nolvo::bench {

namespace fs = std::filesystem;

inline double Seconds(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}

// Resident memory of this process now, in KB (a forked child starts from it).
inline long SelfRssKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

struct ChildRun {
  int exitCode = -1;
  double user = 0, sys = 0, wall = 0;
  long maxRssKb = 0;
  long launcherKb = 0;  // the launcher's resident size at the fork: the child's floor
};

// Runs `args` (the program's full path first) with standard input from /dev/null and
// both outputs into `log`, and waits for it.
inline ChildRun Spawn(const std::vector<std::string>& args, const std::string& log) {
  ChildRun run;
  run.launcherKb = SelfRssKb();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) return run;
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.user = Seconds(usage.ru_utime);
  run.sys = Seconds(usage.ru_stime);
  run.maxRssKb = usage.ru_maxrss;
  return run;
}

inline bool ReadExact(int fd, void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::read(fd, p, count);
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

inline bool WriteExact(int fd, const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(fd, p, count);
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

// A small process, forked before the bench holds any data, that starts the children.
// A child's peak memory (ru_maxrss) counts from the size of the process it was forked
// from, so the bench itself, holding the stored streams, must not be that process.
class Launcher {
 public:
  Launcher() {
    int request[2], reply[2];
    if (::pipe(request) != 0 || ::pipe(reply) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::close(request[1]);
      ::close(reply[0]);
      Serve(request[0], reply[1]);
      ::_exit(0);
    }
    ::close(request[0]);
    ::close(reply[1]);
    to_ = request[1];
    from_ = reply[0];
  }
  ~Launcher() {
    ::close(to_);  // the launcher sees the end and leaves
    ::close(from_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  ChildRun Run(const std::vector<std::string>& args, const fs::path& log) {
    std::string message = log.string();
    for (const auto& a : args) message += '\0' + a;
    const auto size = static_cast<std::uint32_t>(message.size());
    ChildRun run;
    if (!WriteExact(to_, &size, sizeof size) || !WriteExact(to_, message.data(), size) ||
        !ReadExact(from_, &run, sizeof run))
      throw std::runtime_error("the launcher process is gone");
    if (run.exitCode < 0) throw std::runtime_error("cannot start " + args.front());
    return run;
  }

 private:
  static void Serve(int in, int out) {
    std::uint32_t size = 0;
    while (ReadExact(in, &size, sizeof size)) {
      std::string message(size, '\0');
      if (!ReadExact(in, message.data(), size)) return;
      std::vector<std::string> parts;
      std::size_t from = 0;
      for (std::size_t zero; (zero = message.find('\0', from)) != std::string::npos;
           from = zero + 1)
        parts.push_back(message.substr(from, zero - from));
      parts.push_back(message.substr(from));
      const std::string log = parts.front();
      parts.erase(parts.begin());
      const ChildRun run = Spawn(parts, log);
      if (!WriteExact(out, &run, sizeof run)) return;
    }
  }

  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
};

}  // namespace nolvo::bench
