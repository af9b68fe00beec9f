#include "batch/page_run.h"

#include <string>
#include <utility>

#include "engine/compress.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "fs/file_info.h"
#include "fs/writable.h"

namespace vk {

// Keeps messages; yields and status texts pass at once.
class PageRun::KeptFeedback : public Feedback {
 public:
  KeptFeedback(Feedback& target, std::vector<std::string>& kept) : target_(target), kept_(kept) {}
  void Error(const std::string& text) override { kept_.push_back(text); }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }

 private:
  Feedback& target_;
  std::vector<std::string>& kept_;
};

PageRun::PageRun(std::string path, const PageJob& job, FileAccess& disk)
    : path_(std::move(path)), job_(job), disk_(disk) {}

HtmlCodeListLoader PageRun::LoaderFor(Feedback& feedback) {
  return [this, &feedback]() {
    if (!list_) {
      CopyingFeedback copying(feedback, loadMessages_);
      list_ = job_.loadList ? job_.loadList(copying) : HtmlCodeList();
    } else {
      for (const std::string& text : loadMessages_) feedback.Error(text);
    }
    return *list_;
  };
}

void PageRun::DecideEncoding(FileAccess& files) {
  std::string text;
  if (files.Read(path_, &text).ok()) encoding_ = DecidePageEncoding(text);
}

PageOutcome PageRun::RunSteps(Feedback& feedback, FileAccess& files) {
  PageOutcome outcome;
  outcome.encoding = encoding_;
  if (job_.flags.replace) {
    outcome.htmlCount = ReplaceHtmlCode(path_, LoaderFor(feedback), feedback, files, encoding_);
  }
  if (job_.flags.convert) {
    outcome.specialCount =
        ConvertSpecialCharsInFile(path_, job_.ignoreMetaTags, feedback, files, encoding_);
  }
  if (job_.flags.compress) CompressHtmlFile(path_, feedback, files);
  return outcome;
}

void PageRun::Prepare(Feedback& feedback) {
  KeptFeedback kept(feedback, kept_);
  if (job_.dryRun) {
    // What a real run would do, kept in memory; a page the disk would refuse to take is
    // refused here too, with the same messages.
    page_.emplace(path_, IsWritableFile(path_), disk_);
    if (page_->LoadStatus().ok()) encoding_ = DecidePageEncoding(page_->Content());
    outcome_ = RunSteps(kept, *page_);
    return;
  }
  // A page that cannot be written, or not read, gains nothing from memory: every step fails
  // on its own, exactly as on disk, and the disk stays as it is.
  if (IsWritableFile(path_)) {
    page_.emplace(path_, true, disk_);
    if (page_->LoadStatus().ok()) {
      encoding_ = DecidePageEncoding(page_->Content());
      outcome_ = RunSteps(kept, *page_);
      needsWrite_ = page_->Written();
      return;
    }
    page_.reset();
  }
  // No step can change the page here, so each would read the same bytes.
  DecideEncoding(disk_);
  outcome_ = RunSteps(kept, disk_);
}

const std::string& PageRun::Content() const { return page_->Content(); }

PageOutcome PageRun::Finish(const FileStatus* written, Feedback& feedback) {
  if (needsWrite_ && (written == nullptr || !written->ok())) {
    // The page on disk is as it was. Its real step-by-step run shows which step fails and
    // how; the messages kept belong to a run that did not happen.
    kept_.clear();
    page_.reset();
    needsWrite_ = false;
    outcome_ = RunSteps(feedback, disk_);
  } else {
    ReleaseMessages(feedback);
  }
  if (job_.dryRun && page_ && page_->Written()) {
    outcome_.sizeAfter = static_cast<std::int64_t>(page_->Content().size());
  } else {
    outcome_.sizeAfter = FileSizeOf(path_);
  }
  page_.reset();
  return outcome_;
}

void PageRun::ReleaseMessages(Feedback& feedback) {
  for (const std::string& text : kept_) feedback.Error(text);
  kept_.clear();
}

}  // namespace vk
