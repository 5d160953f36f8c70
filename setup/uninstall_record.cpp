#include "setup/uninstall_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file.h"
#include "platform/profile_file.h"
#include "platform/win_path.h"
#include "setup/profile_writer.h"

namespace nolvo::setup {

namespace {

// An empty profile that encodes text as a file of `encoding` does.
platform::ProfileText EmptyProfileIn(platform::ProfileEncoding encoding) {
  switch (encoding) {
    case platform::ProfileEncoding::peUtf16LeBom:
      return platform::ProfileText::Parse("\xFF\xFE");
    case platform::ProfileEncoding::peUtf8Bom:
      return platform::ProfileText::Parse("\xEF\xBB\xBF");
    case platform::ProfileEncoding::peAnsi:
      break;
  }
  return {};
}

}  // namespace

UninstallRecord::UninstallRecord(const platform::Machine& machine, const std::string& installDir,
                                 bool dryRun, ActionLog& log)
    : machine_(machine),
      file_(installDir + "\\" + kUninstallFileName),
      dryRun_(dryRun),
      log_(log) {}

UninstallRecord::~UninstallRecord() {
  try {
    Close();
  } catch (const std::exception&) {
    // The owner learns of a failed write from Close(); a destructor cannot report it.
  }
}

void UninstallRecord::Fail(EngineAction action, const std::string& why) {
  action.outcome = ActionOutcome::aoFailed;
  action.detail = why;
  log_.Add(std::move(action));
}

void UninstallRecord::Open(const std::string& title) {
  EngineAction a;
  a.kind = ActionKind::akUninstallTitle;
  a.target = file_;
  a.value = title;
  if (!dryRun_) {
    try {
      const platform::ResolvedPath r = machine_.Resolve(file_);
      if (!ProfileWritable(r)) throw EIniFileError("Unable to write to " + file_);
      host_ = r.host.string();
      // Copies of the record that a killed run left half-written are on no record; they go.
      for (const std::filesystem::path& temp : platform::LeftoverTemporaries(r.host)) {
        std::error_code ec;
        std::filesystem::remove(temp, ec);
      }
      platform::ProfileText profile = platform::LoadProfile(r.host);
      // A file of that name that no installation wrote is not the installation's to delete.
      if (r.exists && !HasCreatedSection(profile))
        createdLines_.push_back(FormatCreatedLine({CreatedKind::ckFound, r.full, 0, 0}));
      // What an earlier installation into this directory created stays on record.
      for (const CreatedEntry& e : ReadCreatedEntries(profile)) {
        createdLines_.push_back(FormatCreatedLine(e));
        if (e.kind == CreatedKind::ckFile) createdFiles_[platform::AsciiUpper(e.path)] = e;
      }
      profile.EraseSection(kUninsSection);
      profile.EraseSection(kFoldersSection);
      profile.Set(kProgramSection, "Title", title);
      Rewrite(std::move(profile));
      open_ = true;
    } catch (const EIniFileError& e) {
      Fail(std::move(a), e.what());
      throw;
    }
    a.outcome = ActionOutcome::aoDone;
  }
  log_.Add(std::move(a));
}

void UninstallRecord::Add(const char* section, const std::string& key) {
  EngineAction a;
  a.kind = ActionKind::akUninstallKey;
  a.target = file_;
  a.section = section;
  a.key = key;
  if (!dryRun_) {
    pending_.emplace_back(section, key);
    a.outcome = ActionOutcome::aoDone;
  }
  log_.Add(std::move(a));
}

void UninstallRecord::Flush() {
  if (dryRun_ || !open_ || pending_.empty()) return;
  platform::ProfileText profile = platform::LoadProfile(host_);
  // In order, each run of keys of one section at once.
  for (std::size_t i = 0; i < pending_.size();) {
    std::vector<std::pair<std::string, std::string>> keys;
    const char* section = pending_[i].first;
    for (; i < pending_.size() && pending_[i].first == section; ++i)
      keys.emplace_back(pending_[i].second, "");
    profile.SetAll(section, keys);
  }
  pending_.clear();
  try {
    Rewrite(std::move(profile));
  } catch (const EIniFileError& e) {
    EngineAction a;
    a.kind = ActionKind::akUninstallKey;
    a.target = file_;
    Fail(std::move(a), e.what());
    throw;
  }
}

void UninstallRecord::Close() {
  if (!open_) return;
  try {
    Flush();
  } catch (...) {
    CloseAppend();
    open_ = false;
    throw;
  }
  CloseAppend();
  open_ = false;
}

void UninstallRecord::Rewrite(platform::ProfileText profile) {
  while (profile.HasSection(kCreatedSection)) profile.EraseSection(kCreatedSection);
  profile.AppendLine(std::string("[") + kCreatedSection + "]");
  for (const auto& line : createdLines_) profile.AppendLine(line);
  CloseAppend();
  if (platform::WriteFileAtomic(host_, profile.Serialize()))
    throw EIniFileError("Unable to write to " + file_);
  encoding_ = EmptyProfileIn(profile.Encoding());
  fd_ = ::open(host_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
  if (fd_ < 0) throw EIniFileError("Unable to write to " + file_);
}

void UninstallRecord::Append(const std::string& line) {
  const std::string bytes = encoding_.EncodeText(line + "\r\n");
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EIniFileError("Unable to write to " + file_);
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  createdLines_.push_back(line);
}

void UninstallRecord::CloseAppend() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void UninstallRecord::Created(const CreatedEntry& entry) {
  CreatedEntry e = entry;
  std::string full;
  if (e.kind != CreatedKind::ckHostFile && e.kind != CreatedKind::ckHostFolder &&
      machine_.FullPath(e.path, full).ok())
    e.path = full;
  if (e.kind == CreatedKind::ckFile) createdFiles_[platform::AsciiUpper(e.path)] = e;
  if (dryRun_ || !open_) return;
  Append(FormatCreatedLine(e));
}

void UninstallRecord::CreatedHostFile(const std::filesystem::path& host) {
  CreatedEntry e{CreatedKind::ckHostFile, host.string(), 0, 0};
  if (StatCreatedFile(host, e.size, e.modified)) Created(e);
}

bool UninstallRecord::CreatedEarlier(const std::string& path) const {
  std::string full;
  if (!machine_.FullPath(path, full).ok()) full = path;
  return createdFiles_.count(platform::AsciiUpper(full)) > 0;
}

bool UninstallRecord::CreatedUnchanged(const std::string& path) const {
  std::string full;
  if (!machine_.FullPath(path, full).ok()) full = path;
  const auto it = createdFiles_.find(platform::AsciiUpper(full));
  if (it == createdFiles_.end()) return false;
  const platform::ResolvedPath r = machine_.Resolve(path);
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  return r.error.ok() && StatCreatedFile(r.host, size, modified) && size == it->second.size &&
         modified == it->second.modified;
}

}  // namespace nolvo::setup
