#include "batch/page_support.h"

#include "engine/compress.h"
#include "engine/encoding.h"
#include "engine/replace.h"
#include "engine/special_chars.h"
#include "fs/file_info.h"

namespace vk::test {

PageOutcome ProcessPageStepByStep(const std::string& path, const PageJob& job, Feedback& feedback,
                                  FileAccess& disk) {
  PageOutcome outcome;
  // The encoding is decided once, on the page as it is before the first step.
  std::string before;
  if (disk.Read(path, &before).ok()) outcome.encoding = DecidePageEncoding(before);
  if (job.flags.replace) {
    const HtmlCodeListLoader load = [&job, &feedback] {
      return job.loadList ? job.loadList(feedback) : HtmlCodeList();
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
  PageRun run(path, job, disk);
  try {
    run.Prepare(feedback);
  } catch (...) {
    run.ReleaseMessages(feedback);
    throw;
  }
  if (!run.NeedsWrite()) return run.Finish(nullptr, feedback);
  const FileStatus written = disk.Write(path, run.Content());
  return run.Finish(&written, feedback);
}

}  // namespace vk::test
