#include "batch/page_support.h"

#include <utility>

#include "batch/page_write.h"
#include "engine/compress.h"
#include "engine/encoding.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "fs/file_info.h"

namespace vk::test {
namespace {

// Passes everything on but a second NUL-byte message.
class NulMessageOnce : public Feedback {
 public:
  NulMessageOnce(Feedback& target, const std::string& path)
      : target_(target), nulMessage_(NulBytesMessage(path)) {}
  void Error(const std::string& text) override {
    if (text == nulMessage_ && std::exchange(shown_, true)) return;
    target_.Error(text);
  }
  void Yield() override { target_.Yield(); }
  void Status(const std::string& text) override { target_.Status(text); }

 private:
  Feedback& target_;
  std::string nulMessage_;
  bool shown_ = false;
};

}  // namespace

PageOutcome ProcessPageStepByStep(const std::string& path, const PageJob& job, Feedback& shown,
                                  FileAccess& disk) {
  NulMessageOnce feedback(shown, path);
  PageOutcome outcome;
  // The encoding is decided once, on the page as it is before the first step.
  std::string before;
  if (disk.Read(path, &before).ok()) outcome.encoding = DecidePageEncoding(before);
  // A page with NUL bytes: the conversion leaves it too where another step refuses it.
  if (job.flags.convert && (job.flags.replace || job.flags.compress) &&
      before.find('\0') != std::string::npos) {
    if (job.flags.replace && job.loadList) job.loadList(feedback);
    feedback.Error(NulBytesMessage(path));
    outcome.sizeAfter = FileSizeOf(path);
    return outcome;
  }
  if (job.flags.replace) {
    const HtmlCodeListLoader load = [&job, &feedback] {
      return job.loadList ? job.loadList(feedback) : SharedHtmlCodeList();
    };
    outcome.htmlCount = ReplaceHtmlCode(path, load, feedback, disk, outcome.encoding);
  }
  if (job.flags.convert) {
    outcome.specialCount =
        ConvertSpecialCharsInFile(path, job.ignoreMetaTags, feedback, disk, outcome.encoding);
  }
  if (job.flags.compress) CompressHtmlFile(path, feedback, disk);
  outcome.sizeAfter = FileSizeOf(path);
  return outcome;
}

PageOutcome ProcessPage(const std::string& path, const PageJob& job, Feedback& feedback,
                        FileAccess& disk) {
  PageRun run(path, job);
  try {
    run.Prepare(feedback);
  } catch (...) {
    run.ReleaseMessages(feedback);
    throw;
  }
  if (!run.NeedsWrite()) return run.Finish(nullptr, feedback);
  WriteResult written;
  if (&disk == &DiskFileAccess()) {
    PageWrite write;
    write.StagePage(run.Snapshot(), run.Content());
    write.Sync();
    written = write.Commit(run.Snapshot());
  } else {
    written.status = disk.Write(path, run.Content());
  }
  return run.Finish(&written, feedback);
}

}  // namespace vk::test
