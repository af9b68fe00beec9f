#include "batch/batch_run.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "batch/page_run.h"
#include "batch/page_workers.h"
#include "batch/page_write.h"
#include "engine/my_tools.h"
#include "engine/texts.h"
#include "fs/fd.h"
#include "fs/file_info.h"
#include "fs/file_releaser.h"
#include "fs/file_snapshot.h"
#include "fs/new_file.h"
#include "fs/sync_files.h"
#include "selection/folder_scan.h"

namespace vk {
namespace {

// The file a path leads to, to recognise a page reached again through another name.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const std::optional<FileInfo> info = InfoOf(path);
  if (!info) return std::nullopt;
  return FileIdentity{info->device, info->inode};
}

// A row whose page is in hand: prepared and staged on this thread or on a helper, renamed into
// place and reported in row order.
struct PendingRow {
  ResultRow row;
  PageJob job;  // this page's own job: on a helper it carries the list loaded for it
  std::unique_ptr<PageRun> run;
  PageWrite write;
  std::optional<FileIdentity> identity;
  std::size_t bytesInHand = 0;
  std::int64_t order = 0;              // the row's place in the run
  bool again = false;                  // its file was reached before in this run
  bool recorded = false;               // the journal holds the page
  std::future<void> done;              // valid when a helper has the page
  std::optional<WriteResult> written;  // how its commit ended; none in a dry run
};

// A group of pages made durable together: up to this many pages or staged bytes (at least one
// page), with one sync for their new files that also makes the renames of the group before
// durable; the last group's renames get one more at the end of the run.
constexpr std::size_t kGroupPages = 64;
constexpr std::size_t kGroupBytes = std::size_t{32} << 20;

class Run {
 public:
  Run(const ProcessFlags& flags, BatchSink& sink, Feedback& feedback, const BatchOptions& options)
      : flags_(flags),
        sink_(sink),
        feedback_(feedback),
        options_(options),
        pagesAtOnce_(std::max(options.pagesAtOnce, 1)),
        budget_(options.memoryBudget > 0 ? options.memoryBudget : DefaultMemoryBudget()) {
    job_.flags = flags;
    job_.ignoreMetaTags = options.ignoreMetaTags;
    job_.dryRun = options.dryRun;
    job_.loadList = options.loadHtmlCodeList;
    job_.buffers = &buffers_;
    job_.mayLetGoOfOld = !sink.KeepsOldBytes() && (options.dryRun || !options.createBak);
    if (!options.dryRun && options.journal != nullptr) {
      job_.packOld = [journal = options.journal](const std::string& path,
                                                 std::string_view oldBytes) {
        return journal->Pack(path, oldBytes);
      };
    }
    if (pagesAtOnce_ > 1) workers_.emplace(pagesAtOnce_);
    if (!options.dryRun) syncer_.emplace(1);
  }

  void File(const std::string& name, const std::string& folder) {
    auto pending = std::make_unique<PendingRow>();
    ResultRow& row = pending->row;
    row.name = name;
    sink_.FileStarted(row.name);
    row.path = FullPath(folder, row.name);
    // A page is looked at again only once its earlier run is done.
    pending->identity = IdentityOf(row.path);
    if (InHand(row.path, pending->identity)) CompleteAll();

    row.bytesBefore = FileSizeOf(row.path);
    oldTotal_ += row.bytesBefore;
    row.sizeBefore = tools_.SizeText(row.bytesBefore);
    if (!options_.dryRun) RemoveLeftoversOnce(row.path);
    feedback_.Yield();

    pending->job = job_;
    pending->order = rowsStarted_++;
    // A file reached again under another name (a link to it, the same path twice) is rewritten
    // once per run: its later rows run no step and show it as it is then.
    if (!reached_.insert(ReachedAs(folder, row.name, row.path)).second) {
      pending->again = true;
      pending->job.flags = ProcessFlags{};
    }
    pending->bytesInHand = PageRun::BytesInHand(row.bytesBefore);
    // A page bigger than the budget waits until it is the only one in hand.
    while (bytesInHand_ > 0 && bytesInHand_ + pending->bytesInHand > budget_) CompleteFirst();
    if (workers_) {
      HandOver(*pending);
    } else {
      pending->run = std::make_unique<PageRun>(row.path, pending->job, row.bytesBefore);
      try {
        Prepare(*pending, feedback_);
      } catch (...) {
        EndEarly(*pending, {});
        throw;
      }
    }
    bytesInHand_ += pending->bytesInHand;
    pending_.push_back(std::move(pending));
    while (static_cast<int>(pending_.size()) > pagesAtOnce_ - 1) JoinGroup();
  }

  int FilesDone() const { return fileRows_; }

  void End() {
    CompleteAll();
    SyncRenames();
    const std::array<ResultRow, 2> sums =
        SumRows(fileRows_, oldTotal_, newTotal_, specialSum_, htmlSum_);
    sink_.AddSumRows(sums[0], sums[1]);
  }

 private:
  // Runs the page's steps and stages what it writes, on the thread it is called on. The sync
  // is the group's.
  void Prepare(PendingRow& pending, Feedback& feedback) const {
    PageRun& run = *pending.run;
    run.Prepare(feedback);
    if (options_.seams.afterPrepare) options_.seams.afterPrepare(pending.row.path);
    if (options_.dryRun) return;
    if (options_.createBak && run.WasRead() && !pending.again)
      pending.write.StageBackup(run.Snapshot(), run.Original());
    if (run.NeedsWrite()) {
      pending.write.StagePage(run.Snapshot(), run.Content());
      Record(pending);
    }
  }

  // The journal hears of a staged page on the thread that prepared it: compressing its old
  // bytes and hashing its new ones cost as much as a step, so the helpers share that work. A
  // page the journal cannot record is kept as it is.
  void Record(PendingRow& pending) const {
    RunJournal* journal = options_.journal;
    if (journal == nullptr || !pending.write.PageStaged()) return;
    const PageRun& run = *pending.run;
    const FileSnapshot& snapshot = run.Snapshot();
    const FileStatus status = journal->Record(
        RunJournal::Page{pending.row.path, snapshot.identity.device, snapshot.identity.inode,
                         run.Original(), run.Content(), pending.order, run.PackedOld()});
    if (status.ok()) {
      pending.recorded = true;
    } else {
      pending.write.Fail(FileStatus::Error(FileStatus::Code::kNotJournaled, status.err()));
    }
  }

  // The list is loaded here, in row order, as the replacement would load it first thing; the
  // helper's replacement gets it, with the messages of the load, from the page's own job.
  void HandOver(PendingRow& pending) {
    if (flags_.replace) {
      std::vector<std::string> loadMessages;
      SharedHtmlCodeList list;
      if (job_.loadList) {
        SilentFeedback silent;
        CopyingFeedback copying(silent, loadMessages);
        try {
          list = job_.loadList(copying);
        } catch (...) {
          EndEarly(pending, loadMessages);
          throw;
        }
      }
      pending.job.loadList = [list = std::move(list),
                              loadMessages = std::move(loadMessages)](Feedback& feedback) {
        for (const std::string& text : loadMessages) feedback.Error(text);
        return list;
      };
    }
    pending.run = std::make_unique<PageRun>(pending.row.path, pending.job, pending.row.bytesBefore);
    pending.done = workers_->Submit([this, &pending] {
      SilentFeedback helper;  // messages are kept by the run; yields are not passed on here
      Prepare(pending, helper);
    });
  }

  // The file a row leads to, as a path free of links: a folder is resolved once, a page only
  // where it is a link itself.
  std::string ReachedAs(const std::string& folder, const std::string& name,
                        const std::string& path) {
    if (IsLink(path)) return ResolvedPath(path);
    auto [entry, fresh] = resolvedFolders_.try_emplace(folder);
    if (fresh) entry->second = ResolvedPath(folder);
    return entry->second + '/' + name;
  }

  bool InHand(const std::string& path, const std::optional<FileIdentity>& identity) const {
    for (const auto* rows : {&syncing_, &group_, &pending_}) {
      for (const auto& pending : *rows) {
        if (pending->row.path == path || (identity && pending->identity == identity)) return true;
      }
    }
    return false;
  }

  // A killed run may have left the new files it was about to rename; they go before this run
  // writes in the folder.
  void RemoveLeftoversOnce(const std::string& path) {
    const std::string folder = FolderOf(path);
    if (cleanedFolders_.insert(folder).second) RemoveLeftovers(folder);
  }

  // An exception ends the run in this row: the rows ahead are finished first, then this one is
  // reported as far as it got, with the messages shown until then. The rows behind it, in hand
  // on helpers, are never renamed into place: their new files go with them, untouched pages
  // need no row.
  void EndEarly(PendingRow& pending, const std::vector<std::string>& messages) {
    while (!pending_.empty() && pending_.front().get() != &pending) JoinGroup();
    CommitGroup();
    FinishSyncing();
    SyncRenames();
    ResultRow& row = pending.row;
    CopyingFeedback rowFeedback(feedback_, row.messages);
    for (const std::string& text : messages) rowFeedback.Error(text);
    if (pending.run) pending.run->ReleaseMessages(rowFeedback);
    row.complete = false;
    sink_.AddRow(row);
  }

  void CompleteAll() {
    while (!pending_.empty()) JoinGroup();
    CommitGroup();
    FinishSyncing();
  }

  // Reports the first row in hand: its group is committed, and with it the rows before it.
  void CompleteFirst() {
    if (!synced_.valid()) {
      if (group_.empty()) JoinGroup();
      CommitGroup();
    }
    FinishSyncing();
  }

  // The first row in hand, once its page is prepared and staged, joins the group; a full group
  // is committed. In a dry run every row is its own group: nothing waits for a sync.
  void JoinGroup() {
    if (pending_.front()->done.valid()) {
      try {
        pending_.front()->done.get();
      } catch (...) {
        EndEarly(*pending_.front(), {});
        throw;
      }
    }
    groupBytes_ += pending_.front()->write.Bytes();
    group_.push_back(std::move(pending_.front()));
    pending_.pop_front();
    // The group before is renamed and reported as soon as its sync is done.
    if (synced_.valid() && synced_.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
      FinishSyncing();
    if (options_.dryRun || group_.size() >= kGroupPages || groupBytes_ >= kGroupBytes) {
      CommitGroup();
    }
  }

  // The group's pages go to the disk with one sync, which also makes the renames of the groups
  // before durable, and the journal's records of the group with one more. The sync runs on a
  // thread of its own while the pages behind the group are prepared; the group before is
  // finished first, so groups are renamed and reported in row order.
  void CommitGroup() {
    FinishSyncing();
    if (group_.empty()) return;
    groupBytes_ = 0;
    if (options_.dryRun) {
      ReportAll(group_);
      return;
    }
    std::vector<int> fds;
    for (const auto& pending : group_) {
      for (const int fd : pending->write.Fds()) fds.push_back(fd);
    }
    std::vector<std::string> folders(renamedIn_.begin(), renamedIn_.end());
    const bool recorded = std::any_of(group_.begin(), group_.end(),
                                      [](const auto& pending) { return pending->recorded; });
    syncing_.swap(group_);
    synced_ = syncer_->Submit([this, fds = std::move(fds), folders = std::move(folders), recorded] {
      groupSync_.status = SyncFilesAndFolders(fds, folders);
      groupSync_.renamesDurable = groupSync_.status.ok();
      if (groupSync_.status.ok() && recorded) {
        const FileStatus journaled = options_.journal->Sync();
        if (!journaled.ok()) {
          groupSync_.status = FileStatus::Error(FileStatus::Code::kNotJournaled, journaled.err());
        }
      }
    });
  }

  // Waits for the sync of the group that has one running; then its pages are checked and
  // renamed in row order (none where the sync failed) and reported.
  void FinishSyncing() {
    if (!synced_.valid()) return;
    synced_.get();
    const GroupSync& sync = groupSync_;
    if (sync.renamesDurable) renamedIn_.clear();
    for (const auto& pending : syncing_) {
      if (!sync.status.ok() && !pending->write.Fds().empty()) pending->write.Fail(sync.status);
      if (options_.seams.beforeCommit) options_.seams.beforeCommit(pending->row.path);
      pending->written = pending->write.Commit(pending->run->Snapshot(), &releaser_);
      for (const std::string& folder : pending->write.Folders()) renamedIn_.insert(folder);
    }
    ReportAll(syncing_);
  }

  void ReportAll(std::deque<std::unique_ptr<PendingRow>>& rows) {
    while (!rows.empty()) {
      std::unique_ptr<PendingRow> pending = std::move(rows.front());
      rows.pop_front();
      Report(*pending);
    }
  }

  // The folders renamed in since the last sync, with one sync per file system. The contents
  // are safe by then; a failure can only lose a rename, which leaves the old page.
  void SyncRenames() {
    if (renamedIn_.empty()) return;
    std::vector<std::string> folders(renamedIn_.begin(), renamedIn_.end());
    renamedIn_.clear();
    // On the thread of the groups' syncs, as one more of them.
    syncer_->Submit([folders = std::move(folders)] { SyncFolders(folders); }).get();
  }

  void Report(PendingRow& pending) {
    bytesInHand_ -= pending.bytesInHand;
    ResultRow& row = pending.row;
    PageRun& run = *pending.run;
    const std::optional<WriteResult>& written = pending.written;
    if (run.Changed() &&
        (written ? written->status.ok() && !written->backupFailed : options_.dryRun)) {
      sink_.PageChanged(row.path, run.Original(), run.Content(), *run.Encoding());
    }
    CopyingFeedback rowFeedback(feedback_, row.messages);
    const PageOutcome outcome = run.Finish(written ? &*written : nullptr, rowFeedback);

    if (flags_.replace) htmlCount_ = outcome.htmlCount;
    const std::int64_t specialCount = flags_.convert ? outcome.specialCount : 0;
    row.bytesAfter = outcome.sizeAfter;
    newTotal_ += row.bytesAfter;
    row.sizeAfter = tools_.SizeText(row.bytesAfter);
    row.savingPercent = SavingPercent(row.bytesBefore, row.bytesAfter).value_or(0);
    row.saving = std::to_string(*row.savingPercent);
    row.specialCount = specialCount;
    row.htmlCount = htmlCount_;
    row.encoding = outcome.encoding;
    row.specialChars = std::to_string(specialCount);
    row.htmlCode = std::to_string(htmlCount_);
    specialSum_ += specialCount;
    htmlSum_ += htmlCount_;
    ++fileRows_;
    sink_.AddRow(row);
  }

  const ProcessFlags& flags_;
  BatchSink& sink_;
  Feedback& feedback_;
  const BatchOptions& options_;
  const int pagesAtOnce_;
  const std::size_t budget_;
  const TMyTools& tools_ = MyTools();
  PageJob job_;
  // Room for the two buffers of each page in hand, up to a quarter of the budget. Declared
  // before the rows, whose pages give their buffers back when they go.
  PageBuffers buffers_{budget_ / 4, 2 * static_cast<std::size_t>(pagesAtOnce_) + 2};
  // The rows in hand in row order: first the group whose sync runs, then the group prepared
  // and staged, waiting for its commit, then the rows still being prepared.
  std::deque<std::unique_ptr<PendingRow>> syncing_;
  struct GroupSync {
    FileStatus status = FileStatus::Ok();
    bool renamesDurable = false;  // the renames of the groups before are on the disk
  };
  GroupSync groupSync_;
  std::future<void> synced_;
  // The one thread the groups' syncs run on, in a real run; declared behind the group it
  // syncs, so that it has finished before the group's files go.
  std::optional<PageWorkers> syncer_;
  std::deque<std::unique_ptr<PendingRow>> group_;
  std::size_t groupBytes_ = 0;
  std::set<std::string> renamedIn_;  // folders of renames not yet made durable
  std::deque<std::unique_ptr<PendingRow>> pending_;
  std::size_t bytesInHand_ = 0;
  FileReleaser releaser_;
  // Declared after the rows it works on, so it is stopped (its work finished) before they go.
  std::optional<PageWorkers> workers_;
  std::set<std::string> cleanedFolders_;
  std::unordered_set<std::string> reached_;  // the files of the rows so far, free of links
  std::unordered_map<std::string, std::string> resolvedFolders_;
  std::int64_t oldTotal_ = 0;
  std::int64_t newTotal_ = 0;
  std::int64_t specialSum_ = 0;
  std::int64_t htmlSum_ = 0;
  int fileRows_ = 0;
  std::int64_t rowsStarted_ = 0;
  // Set once per run; a file processed with replacement overwrites it.
  std::int64_t htmlCount_ = 0;
};

}  // namespace

std::size_t DefaultMemoryBudget() {
  constexpr std::size_t kMost = std::size_t{512} << 20;
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return kMost;
  const std::size_t quarter =
      static_cast<std::size_t>(pages) / 4 * static_cast<std::size_t>(pageSize);
  return std::min(kMost, quarter);
}

std::optional<std::int64_t> SavingPercent(std::int64_t oldSize, std::int64_t newSize) {
  if (oldSize == 0) return std::nullopt;
  // Unsigned arithmetic wraps around where the signed one would overflow into undefined
  // behaviour; no real size comes near it.
  const std::uint64_t scaled = static_cast<std::uint64_t>(newSize) * 100u;
  if (oldSize == -1) return static_cast<std::int64_t>(100u + scaled);
  const std::int64_t quotient = static_cast<std::int64_t>(scaled) / oldSize;
  return static_cast<std::int64_t>(100u - static_cast<std::uint64_t>(quotient));
}

std::array<ResultRow, 2> SumRows(int fileRows, std::int64_t oldTotal, std::int64_t newTotal,
                                 std::int64_t specialSum, std::int64_t htmlSum) {
  std::array<ResultRow, 2> rows;
  rows[0].name = Translate("vk::RunBatch", QT_TRANSLATE_NOOP("vk::RunBatch", "**Summen**"));
  ResultRow& totals = rows[1];
  totals.name =
      FormatText(Translate("vk::RunBatch", QT_TRANSLATE_NOOP("vk::RunBatch", "%1 Datei(en)")),
                 {std::to_string(fileRows)});
  totals.sizeBefore = MyTools().SizeText(oldTotal);
  totals.sizeAfter = MyTools().SizeText(newTotal);
  totals.bytesBefore = oldTotal;
  totals.bytesAfter = newTotal;
  totals.specialCount = specialSum;
  totals.htmlCount = htmlSum;
  totals.savingPercent = SavingPercent(oldTotal, newTotal);
  // The failed division ends the row: no saving, and no counts behind it.
  if (totals.savingPercent) {
    totals.saving = std::to_string(*totals.savingPercent);
    totals.specialChars = std::to_string(specialSum);
    totals.htmlCode = std::to_string(htmlSum);
  }
  return rows;
}

RunEnd RunBatch(const ProcessFlags& flags, BatchRows& rows, BatchSink& sink, Feedback& feedback,
                const BatchOptions& options) {
  sink.ClearResults();
  Run run(flags, sink, feedback, options);
  RunEnd end;
  const int count = rows.Count();
  for (int index = 0; index < count; ++index) {
    if (!rows.Ticked(index)) continue;
    ++end.filesTicked;
    if (!end.cancelled && options.cancel != nullptr && options.cancel->load()) end.cancelled = true;
    if (!end.cancelled) run.File(rows.Name(index), rows.Folder(index));
  }
  run.End();
  end.filesDone = run.FilesDone();
  return end;
}

}  // namespace vk
