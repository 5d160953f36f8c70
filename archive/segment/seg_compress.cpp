#include "archive/segment/seg_compress.h"

#include <thread>

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_id_header.h"
#include "archive/segment/seg_names.h"
#include "platform/files.h"

namespace nolvo::segment {

namespace {
constexpr const char* kCorrect = "\n\rCorrect and then press OK, or Cancel to abort";
}

TSegCompress::TSegCompress(platform::Machine& machine, platform::Dialogs* dialogs,
                           platform::MessagePump* pump)
    : container::TCompress(machine), dialogs_(dialogs), pump_(pump) {
  seg_tmp_dir_ = NormaliseSegTmpDir("", machine.GetCurrentDirectory());
  // A reader that keeps windows alive runs on their one thread: its codec runs hand the
  // processor on between chunks, as that thread's other work expects.
  if (pump_) OnYield = [] { std::this_thread::yield(); };
}

void TSegCompress::SetSegBaseName(const std::string& value) {
  seg_base_name_ = NormaliseSegBaseName(value);
}
void TSegCompress::SetSegDir(const std::string& value) { seg_dir_ = NormaliseSegDir(value); }
void TSegCompress::SetSegExt(const std::string& value) { seg_ext_ = NormaliseSegExt(value); }
void TSegCompress::SetSegSize(std::int32_t value) { seg_size_ = NormaliseSegSize(value); }
void TSegCompress::SetSegTmpDir(const std::string& value) {
  seg_tmp_dir_ = NormaliseSegTmpDir(value, Machine().GetCurrentDirectory());
}

std::string TSegCompress::TempArchiveName() const {
  return WithoutTrailingBackslash(seg_tmp_dir_) + "\\" + seg_base_name_ + ".$A$";
}

std::string TSegCompress::ListFileName() const {
  return WithoutTrailingBackslash(seg_tmp_dir_) + "\\" + seg_base_name_ + ".$L$";
}

void TSegCompress::BuildNames(std::uint16_t number) {
  seg_number_ = number;
  const TSegNames names = BuildSegmentNames(seg_base_name_, seg_ext_, number, seg_dir_);
  seg_name_ = names.SegName;
  seg_path_ = names.SegPath;
}

void TSegCompress::Pump() {
  if (pump_) pump_->ProcessMessages();
}

void TSegCompress::Abort() {
  aborted_ = true;
  throw ESegError(ESegError::Kind::skAborted);
}

bool TSegCompress::PromptMountSegment() {
  if (Owner.ArrowCursor) Owner.ArrowCursor();
  platform::InputRequest request;
  request.caption = "Mount Segment #" + std::to_string(seg_number_);
  request.prompt = "Directory Path:";
  bool accepted = false;
  try {
    for (;;) {
      request.default_text = seg_dir_;
      const platform::InputResult answer = dialogs_->ShowInputBox(request);
      if (!answer.accepted) break;
      if (!answer.text.empty()) {
        seg_dir_ = answer.text;  // as typed, without the setter's lower-casing
        accepted = true;
        break;
      }
    }
  } catch (...) {
    if (Owner.RestoreCursor) Owner.RestoreCursor();
    throw;
  }
  if (Owner.RestoreCursor) Owner.RestoreCursor();
  return accepted;
}

void TSegCompress::BeforeSegment() {
  if (seg_pop_up_ && dialogs_) {
    const bool accepted = PromptMountSegment();
    if (Owner.Repaint) Owner.Repaint();
    if (!accepted) Abort();
    BuildNames(seg_number_);
  }
  if (OnSegBefore) OnSegBefore(seg_mode_, seg_name_, seg_number_);
}

bool TSegCompress::AskRetry(const std::string& text) { return dialogs_->ErrorOkCancel(text); }

TOpenedSegment TSegCompress::OpenSegment(std::uint16_t number) {
  BuildNames(number);
  for (;;) {
    BeforeSegment();
    if (!platform::FileExists(Machine(), seg_path_)) {
      if (!dialogs_)
        throw ESegError(ESegError::Kind::skMissingSegment,
                        "Unable to locate \"" + seg_path_ + "\"");
      if (AskRetry("Unable to locate \"" + seg_name_ + "\" on this segment!" + kCorrect)) continue;
      Abort();
    }

    // A first look at the identification record decides whether this is the segment.
    platform::WinError error;
    TSegIdBytes bytes{};
    {
      auto probe =
          platform::OpenFileRead(Machine(), seg_path_, platform::ShareMode::shExclusive, error);
      if (!probe) throw ESegError(ESegError::Kind::skOpenFailed);
      std::size_t got = 0;
      while (got < bytes.size()) {
        const std::size_t n = probe->Read(bytes.data() + got, bytes.size() - got);
        if (n == 0) break;
        got += n;
      }
      if (got < bytes.size()) throw ESegError(ESegError::Kind::skOpenFailed);
    }
    const auto id = ParseSegIdHeader(bytes);
    if (!id) throw ESegError(ESegError::Kind::skOpenFailed);
    if (id->SegmentNumber != number) {
      if (!dialogs_)
        throw ESegError(ESegError::Kind::skWrongSegment,
                        "Incorrect segment mounted: \"" + seg_path_ + "\" is segment " +
                            std::to_string(id->SegmentNumber) + ", not " + std::to_string(number));
      if (AskRetry(std::string("Incorrect segmented mounted!") + kCorrect)) continue;
      Abort();
    }

    auto stream =
        platform::OpenFileRead(Machine(), seg_path_, platform::ShareMode::shExclusive, error);
    if (!stream) throw ESegError(ESegError::Kind::skOpenFailed);
    TOpenedSegment opened;
    opened.Host = stream->Path();
    opened.Size = stream->Size();
    opened.Stream = std::move(stream);
    return opened;
  }
}

}  // namespace nolvo::segment
