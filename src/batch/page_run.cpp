#include "batch/page_run.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/memory_page.h"
#include "engine/compress.h"
#include "engine/file_io.h"
#include "engine/my_tools.h"
#include "engine/replace.h"
#include "engine/special_chars.h"

namespace vk {
namespace {

// Keeps messages back until the page's single write has succeeded; yields and status texts
// pass at once.
class HeldFeedback : public Feedback {
 public:
  explicit HeldFeedback(Feedback& target) : target_(target) {}
  void Error(const std::string& text) override { held_.push_back(text); }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }

  void Release() {
    for (const std::string& text : held_) target_.Error(text);
    held_.clear();
  }

 private:
  Feedback& target_;
  std::vector<std::string> held_;
};

// Passes messages on and keeps a copy.
class CopyingFeedback : public Feedback {
 public:
  CopyingFeedback(Feedback& target, std::vector<std::string>& copies)
      : target_(target), copies_(copies) {}
  void Error(const std::string& text) override {
    copies_.push_back(text);
    target_.Error(text);
  }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }

 private:
  Feedback& target_;
  std::vector<std::string>& copies_;
};

// Loads the code list once per page. Should the page have to be redone on disk, the redo gets
// the same list and the same load messages instead of a second load: the first load may have
// repaired the stored list, and the real run loads once per file.
class OnceLoader {
 public:
  explicit OnceLoader(const std::function<HtmlCodeList(Feedback&)>& load) : load_(load) {}

  HtmlCodeListLoader For(Feedback& feedback) {
    return [this, &feedback]() {
      if (!list_) {
        CopyingFeedback copying(feedback, messages_);
        list_ = load_ ? load_(copying) : HtmlCodeList();
      } else {
        for (const std::string& text : messages_) feedback.Error(text);
      }
      return *list_;
    };
  }

 private:
  const std::function<HtmlCodeList(Feedback&)>& load_;
  std::optional<HtmlCodeList> list_;
  std::vector<std::string> messages_;
};

PageOutcome RunSteps(const std::string& path, const PageJob& job, const HtmlCodeListLoader& load,
                     Feedback& feedback, FileAccess& files) {
  PageOutcome outcome;
  if (job.flags.replace) outcome.htmlCount = ReplaceHtmlCode(path, load, feedback, files);
  if (job.flags.convert) {
    outcome.specialCount =
        ConvertSpecialCharsInFile(path, job.ignoreMetaTags, feedback, files);
  }
  if (job.flags.compress) CompressHtmlFile(path, feedback, files);
  return outcome;
}

PageOutcome OnDisk(const std::string& path, const PageJob& job, OnceLoader& loader,
                   Feedback& feedback, FileAccess& disk) {
  PageOutcome outcome = RunSteps(path, job, loader.For(feedback), feedback, disk);
  outcome.sizeAfter = MyTools().FileSizeOf(path);
  return outcome;
}

}  // namespace

PageOutcome ProcessPageStepByStep(const std::string& path, const PageJob& job,
                                  Feedback& feedback, FileAccess& disk) {
  OnceLoader loader(job.loadList);
  return OnDisk(path, job, loader, feedback, disk);
}

PageOutcome ProcessPage(const std::string& path, const PageJob& job, Feedback& feedback,
                        FileAccess& disk) {
  OnceLoader loader(job.loadList);
  if (job.dryRun) {
    // What a real run would do, kept in memory; a page the disk would refuse to take is
    // refused here too, with the same messages.
    MemoryPage page(path, IsWritableFile(path), disk);
    PageOutcome outcome = RunSteps(path, job, loader.For(feedback), feedback, page);
    outcome.sizeAfter = page.Written() ? static_cast<std::int64_t>(page.Content().size())
                                       : MyTools().FileSizeOf(path);
    return outcome;
  }
  // A page that cannot be written, or not read, gains nothing from memory: every step fails
  // on its own, exactly as on disk.
  if (!IsWritableFile(path)) return OnDisk(path, job, loader, feedback, disk);
  MemoryPage page(path, true, disk);
  if (!page.LoadStatus().ok()) return OnDisk(path, job, loader, feedback, disk);

  HeldFeedback held(feedback);
  PageOutcome outcome;
  try {
    outcome = RunSteps(path, job, loader.For(held), held, page);
  } catch (...) {
    held.Release();
    throw;
  }
  if (page.Written() && !disk.Write(path, page.Content()).ok()) {
    // The page on disk is as it was. Its real step-by-step run shows which step fails and
    // how; the messages kept back belong to a run that did not happen.
    return OnDisk(path, job, loader, feedback, disk);
  }
  held.Release();
  outcome.sizeAfter = MyTools().FileSizeOf(path);
  return outcome;
}

}  // namespace vk
