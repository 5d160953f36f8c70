#include "platform/host_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace nolvo::platform {

namespace {

// Holds argv/envp arrays built before fork, so the child only calls async-signal-safe
// functions.
struct ExecImage {
  std::vector<std::string> env_strings;
  std::vector<char*> argv;
  std::vector<char*> envp;

  ExecImage(const std::vector<std::string>& args, const std::vector<std::string>& extra_env) {
    for (char** e = environ; e && *e; ++e) {
      const std::string_view entry(*e);
      bool replaced = false;
      for (const std::string& x : extra_env) {
        const auto eq = x.find('=');
        if (entry.substr(0, entry.find('=')) == std::string_view(x).substr(0, eq)) replaced = true;
      }
      if (!replaced) env_strings.emplace_back(entry);
    }
    env_strings.insert(env_strings.end(), extra_env.begin(), extra_env.end());
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env_strings) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
};

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// In the child: reports errno through `report` and ends.
[[noreturn]] void ChildFail(int report) {
  const int err = errno;
  [[maybe_unused]] const ssize_t n = ::write(report, &err, sizeof err);
  ::_exit(127);
}

// In the child: redirects stdin, changes folder and executes; never returns.
[[noreturn]] void ChildExec(const ExecImage& image, const char* dir, int null_fd, int report) {
  if (null_fd >= 0) ::dup2(null_fd, STDIN_FILENO);
  if (dir && ::chdir(dir) != 0) ChildFail(report);
  ::execve(image.argv[0], image.argv.data(), image.envp.data());
  ChildFail(report);
}

// Reads the child's errno report; EOF (exec succeeded, the descriptor closed) gives 0.
int ReadReport(int fd) {
  int err = 0;
  ssize_t n;
  do n = ::read(fd, &err, sizeof err);
  while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof err) ? err : 0;
}

pid_t WaitFor(pid_t pid, int& status) {
  pid_t r;
  do r = ::waitpid(pid, &status, 0);
  while (r < 0 && errno == EINTR);
  return r;
}

}  // namespace

std::error_code SpawnDetached(const std::vector<std::string>& argv,
                              const std::filesystem::path& working_dir,
                              const std::vector<std::string>& extra_env) {
  if (argv.empty()) return std::make_error_code(std::errc::invalid_argument);
  const ExecImage image(argv, extra_env);
  const std::string dir = working_dir.string();
  Fd null_fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {errno, std::generic_category()};
  Fd read_end(fds[0]);
  Fd write_end(fds[1]);

  const pid_t child = ::fork();
  if (child < 0) return {errno, std::generic_category()};
  if (child == 0) {
    // The middle process starts the program in a new session and ends at once, so the
    // program is adopted by init and never becomes our zombie.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) ChildFail(write_end.Get());
    if (grandchild == 0)
      ChildExec(image, dir.empty() ? nullptr : dir.c_str(), null_fd.Get(), write_end.Get());
    ::_exit(0);
  }
  write_end.Reset();
  int status = 0;
  WaitFor(child, status);
  if (const int err = ReadReport(read_end.Get())) return {err, std::generic_category()};
  return {};
}

std::optional<int> RunAndWait(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extra_env) {
  if (argv.empty()) return std::nullopt;
  const ExecImage image(argv, extra_env);
  Fd null_fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  Fd read_end(fds[0]);
  Fd write_end(fds[1]);
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) ChildExec(image, nullptr, null_fd.Get(), write_end.Get());
  write_end.Reset();
  const int err = ReadReport(read_end.Get());
  int status = 0;
  if (WaitFor(child, status) < 0 || err != 0 || !WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

std::optional<std::filesystem::path> FindOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
  std::string_view rest(path);
  while (true) {
    const auto colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    const std::filesystem::path candidate =
        std::filesystem::path(folder.empty() ? "." : std::string(folder)) / std::string(name);
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (colon == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(colon + 1);
  }
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) return args;
    std::string arg;
    bool quoted = false;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        std::size_t n = 0;
        while (i < text.size() && text[i] == '\\') ++n, ++i;
        if (i < text.size() && text[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2 == 1)
            arg.push_back('"');
          else
            --i;  // the quote is handled by the next round
        } else {
          arg.append(n, '\\');
          --i;
        }
      } else if (c == '"') {
        if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
          arg.push_back('"');
          ++i;
        } else {
          quoted = !quoted;
        }
      } else {
        arg.push_back(c);
      }
    }
    args.push_back(std::move(arg));
  }
}

}  // namespace nolvo::platform
