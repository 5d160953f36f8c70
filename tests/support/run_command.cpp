#include "tests/support/run_command.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace nolvo::test {

CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env,
                         const std::string& stdoutFile) {
  TempDir dir;
  const auto outPath = dir.Path() / "out", errPath = dir.Path() / "err";
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = stdoutFile.empty() ? ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                                       : ::open(stdoutFile.c_str(), O_WRONLY);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  CommandResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (stdoutFile.empty()) r.out = ReadText(outPath);
  r.err = ReadText(errPath);
  return r;
}

CommandResult RunOnTerminal(const std::vector<std::string>& argv,
                            const std::vector<std::string>& answers, int seconds) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  CommandResult r;
  std::size_t next = 0;
  std::size_t answeredAt = 0;  // output length when the last answer was typed
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  bool killed = false;
  for (;;) {
    pollfd fd{master, POLLIN, 0};
    const int ready = ::poll(&fd, 1, 100);
    if (ready > 0) {
      char buffer[4096];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;  // EIO: the terminal's other side closed
      r.out.append(buffer, static_cast<std::size_t>(n));
    } else if (ready < 0 && errno != EINTR) {
      break;
    }
    if (r.out.size() > answeredAt && r.out.ends_with("> ")) {
      if (next == answers.size() || std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        killed = true;
        break;
      }
      const std::string line = answers[next++] + "\n";
      if (::write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
      answeredAt = r.out.size();
    } else if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      killed = true;
      break;
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  r.exitCode = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : 128 + SIGKILL;
  return r;
}

std::string NolvoTool() { return (BinaryDir() / "cli" / "nolvo").string(); }

}  // namespace nolvo::test
