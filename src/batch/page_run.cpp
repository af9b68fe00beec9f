#include "batch/page_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>

#include "engine/compress.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "engine/texts.h"
#include "fs/file_info.h"
#include "fs/large_buffer.h"
#include "fs/writable.h"

namespace vk {
namespace {

using Code = FileStatus::Code;

constexpr const char* kChanged = QT_TRANSLATE_NOOP(
    "vk::RunBatch", "Die Datei %1 wurde inzwischen geändert und wird nicht überschrieben!");
constexpr const char* kLinkRefused = QT_TRANSLATE_NOOP(
    "vk::RunBatch", "Die Verknüpfung %1 gehört einem fremden Benutzer und wird nicht verfolgt!");
constexpr const char* kNoNewFile =
    QT_TRANSLATE_NOOP("vk::RunBatch",
                      "Im Ordner von %1 kann keine neue Datei angelegt werden! Die Datei wird "
                      "nicht verändert!");
constexpr const char* kAttributesLost =
    QT_TRANSLATE_NOOP("vk::RunBatch",
                      "Konnte die erweiterten Attribute (Zugriffsrechte) von %1 nicht übernehmen! "
                      "Die Datei wird nicht verändert!");
constexpr const char* kGroupLost = QT_TRANSLATE_NOOP(
    "vk::RunBatch", "Konnte die Gruppe von %1 nicht übernehmen! Die Datei wird nicht verändert!");
constexpr const char* kNotJournaled =
    QT_TRANSLATE_NOOP("vk::RunBatch",
                      "Konnte die alte Fassung von %1 nicht für Rückgängig aufheben! Die Datei "
                      "wird nicht verändert!");
constexpr const char* kBackupFailed = QT_TRANSLATE_NOOP(
    "vk::RunBatch", "Konnte die Bak-Datei %1 nicht schreiben! Die Datei %2 wird nicht verändert!");

std::string Text(const char* text, std::initializer_list<std::string_view> args) {
  return FormatText(Translate("vk::RunBatch", text), args);
}

// Whether the folder of `path` lets the user create a file, by the system's own check.
bool FolderTakesNewFiles(const std::string& path) {
  return ::faccessat(AT_FDCWD, FolderOf(path).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace

std::string RefusalMessage(const std::string& path, const FileStatus& status) {
  switch (status.code()) {
    case Code::kChanged:
      return Text(kChanged, {path});
    case Code::kLinkRefused:
      return Text(kLinkRefused, {path});
    case Code::kNoNewFile:
      return Text(kNoNewFile, {path});
    case Code::kAttributesLost:
      return Text(kAttributesLost, {path});
    case Code::kGroupLost:
      return Text(kGroupLost, {path});
    case Code::kNotJournaled:
      return Text(kNotJournaled, {path});
    default:
      return std::string();
  }
}

std::string BackupFailedMessage(const std::string& backupPath, const std::string& path) {
  return Text(kBackupFailed, {backupPath, path});
}

// Keeps messages, the NUL-byte message once (the replacement and the compression would both
// give it); yields and status texts pass at once.
class PageRun::KeptFeedback : public Feedback {
 public:
  KeptFeedback(PageRun& run, Feedback& target, std::vector<std::string>* kept)
      : run_(run), target_(target), kept_(kept) {}
  void Error(const std::string& text) override {
    if (text == NulBytesMessage(run_.path_)) {
      if (run_.nulMessageShown_) return;
      run_.nulMessageShown_ = true;
    }
    if (kept_ != nullptr) {
      kept_->push_back(text);
    } else {
      target_.Error(text);
    }
  }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }

 private:
  PageRun& run_;
  Feedback& target_;
  std::vector<std::string>* kept_;  // null: messages pass at once
};

PageRun::PageRun(std::string path, const PageJob& job, std::int64_t expectedSize)
    : path_(std::move(path)), job_(job), expectedSize_(expectedSize) {}

std::size_t PageRun::BytesInHand(std::int64_t size) {
  // The bytes read, the page in memory after a step, a step's own copy and its output.
  constexpr std::size_t kCopies = 4;
  constexpr std::size_t kOverhead = 64 * 1024;
  return (size > 0 ? static_cast<std::size_t>(size) * kCopies : 0) + kOverhead;
}

HtmlCodeListLoader PageRun::LoaderFor(Feedback& feedback) {
  return [this, &feedback]() {
    if (!list_) {
      CopyingFeedback copying(feedback, loadMessages_);
      list_ = job_.loadList ? job_.loadList(copying) : SharedHtmlCodeList();
    } else {
      for (const std::string& text : loadMessages_) feedback.Error(text);
    }
    return *list_;
  };
}

PageOutcome PageRun::RunSteps(Feedback& feedback, FileAccess& files, MemoryPage* page) {
  PageOutcome outcome;
  outcome.encoding = encoding_;
  // Replacing and compressing leave a page with NUL bytes as it is, and say so; the conversion
  // of the same operation leaves it too, so that the message holds.
  if (job_.flags.convert && (job_.flags.replace || job_.flags.compress) &&
      std::memchr(original_.data(), 0, original_.size()) != nullptr) {
    if (job_.flags.replace) LoaderFor(feedback)();
    feedback.Error(NulBytesMessage(path_));
    return outcome;
  }
  if (job_.flags.replace) {
    outcome.htmlCount = ReplaceHtmlCode(path_, LoaderFor(feedback), feedback, files, encoding_);
    if (page != nullptr) LetGoOfOld(*page);
  }
  if (job_.flags.convert) {
    outcome.specialCount =
        ConvertSpecialCharsInFile(path_, job_.ignoreMetaTags, feedback, files, encoding_);
    if (page != nullptr) LetGoOfOld(*page);
  }
  if (job_.flags.compress) CompressHtmlFile(path_, feedback, files);
  return outcome;
}

void PageRun::LetGoOfOld(MemoryPage& page) {
  if (!job_.mayLetGoOfOld || oldLetGo_ || !page.Written()) return;
  if (job_.packOld) {
    packedOld_ = job_.packOld(path_, original_);
    if (!packedOld_) return;
  }
  // The page's content is in a buffer of its own now; the old one is room for the next step.
  page.Recycle(original_);
  std::string().swap(original_);
  oldLetGo_ = true;
}

void PageRun::Prepare(Feedback& feedback) {
  KeptFeedback kept(*this, feedback, &kept_);
  if (expectedSize_ > 0) {
    // Room enough for any step's output too, so that the buffer serves once the bytes go.
    const std::size_t room = PageRoom(static_cast<std::size_t>(expectedSize_));
    if (job_.buffers != nullptr) original_ = job_.buffers->Take(room);
    ReserveLarge(original_, room);
  }
  readStatus_ = ReadFileWithSnapshot(path_, &original_, &snapshot_);
  if (readStatus_.code() == Code::kLinkRefused) {
    // Nothing behind the link is read. The list is loaded as for every page, so its messages
    // and its repair do not depend on the page.
    if (job_.flags.replace) LoaderFor(kept)();
    kept.Error(RefusalMessage(path_, readStatus_));
    return;
  }
  // A page the disk would refuse to take is refused here too, with the same messages.
  const bool writable = readStatus_.ok() && IsWritableFile(snapshot_.writePath);
  page_.emplace(path_, readStatus_, original_,
                writable ? FileStatus::Ok() : FileStatus::Error(Code::kReadOnly, EACCES),
                job_.buffers);
  if (readStatus_.ok()) encoding_ = DecidePageEncoding(original_);
  outcome_ = RunSteps(kept, *page_, &*page_);
  if (!page_->Written()) return;
  if (job_.dryRun) {
    projected_ = ProjectedRefusal();
  } else {
    needsWrite_ = true;
  }
}

std::optional<FileStatus> PageRun::ProjectedRefusal() const {
  if (!FolderTakesNewFiles(snapshot_.writePath)) return FileStatus::Error(Code::kNoNewFile, EACCES);
  return std::nullopt;
}

std::string_view PageRun::Content() const { return page_->Content(); }

PageOutcome PageRun::Finish(const WriteResult* written, Feedback& feedback) {
  const bool backupFailed = written != nullptr && written->backupFailed;
  if (backupFailed) {
    // The backup comes before the steps; the page was left as it is.
    KeptFeedback(*this, feedback, nullptr).Error(BackupFailedMessage(written->backupPath, path_));
  }
  if (needsWrite_ && (written == nullptr || !written->status.ok() || backupFailed)) {
    const FileStatus failure =
        written == nullptr ? FileStatus::Error(Code::kIoError, EIO) : written->status;
    const std::string ownMessage = RefusalMessage(path_, failure);
    if (backupFailed || !ownMessage.empty()) {
      ReleaseMessages(feedback);
      if (!backupFailed) feedback.Error(ownMessage);
    } else {
      // The page on disk is as it was. The step-by-step run with writes that fail shows which
      // step wanted to write and how; the messages kept belong to a run that did not happen.
      kept_.clear();
      nulMessageShown_ = false;
      KeptFeedback shown(*this, feedback, nullptr);
      FileStatus readAgain = readStatus_;
      if (oldLetGo_) {
        // The bytes went once the steps no longer needed them; the page on disk is as it was.
        FileSnapshot unused;
        readAgain = ReadFileWithSnapshot(path_, &original_, &unused);
      }
      MemoryPage refusing(path_, readAgain, original_, failure);
      outcome_ = RunSteps(shown, refusing, nullptr);
    }
    needsWrite_ = false;
    page_.reset();
  } else if (projected_) {
    ReleaseMessages(feedback);
    feedback.Error(RefusalMessage(path_, *projected_));
    page_.reset();
  } else {
    ReleaseMessages(feedback);
  }
  if (job_.dryRun && page_ && page_->Written()) {
    outcome_.sizeAfter = static_cast<std::int64_t>(page_->Content().size());
  } else {
    outcome_.sizeAfter = FileSizeOf(path_);
  }
  page_.reset();
  packedOld_.reset();
  if (job_.buffers != nullptr) job_.buffers->Keep(std::move(original_));
  std::string().swap(original_);
  return outcome_;
}

void PageRun::ReleaseMessages(Feedback& feedback) {
  for (const std::string& text : kept_) feedback.Error(text);
  kept_.clear();
}

}  // namespace vk
