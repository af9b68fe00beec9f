#include "undo/run_undo_journal.h"

#include <optional>
#include <utility>
#include <vector>

#include "engine/texts.h"
#include "fs/file_info.h"
#include "journal/runs_folder.h"
#include "selection/folder_scan.h"

namespace vk {
namespace {

constexpr const char* kContext = "vk::RunUndo";
constexpr const char* kNoJournal = QT_TRANSLATE_NOOP(
    "vk::RunUndo",
    "Konnte das Protokoll für Rückgängig nicht anlegen: Dieser Lauf kann nicht rückgängig "
    "gemacht werden!");
constexpr const char* kQuestion = QT_TRANSLATE_NOOP("vk::RunUndo", "%1 Trotzdem starten?");

struct PackedPage : RunJournal::Packed {
  explicit PackedPage(PackedBytes bytes) : bytes(std::move(bytes)) {}
  PackedBytes bytes;
};

}  // namespace

RunUndoJournal::RunUndoJournal(std::unique_ptr<JournalWriter> writer)
    : writer_(std::move(writer)) {}

RunUndoJournal::~RunUndoJournal() {
  if (recorded_ > 0) return;
  const std::string path = writer_->Path();
  writer_.reset();  // its lock goes, so the journal may be removed
  RemoveJournal(path);
}

FileStatus RunUndoJournal::Record(const Page& page) {
  PageRecord record;
  record.path = page.path;
  record.device = static_cast<std::uint64_t>(page.device);
  record.inode = static_cast<std::uint64_t>(page.inode);
  record.oldBytes = page.oldBytes;
  if (page.packedOld != nullptr) {
    record.packedOld = &static_cast<PackedPage*>(page.packedOld)->bytes;
  }
  record.newBytes = page.newBytes;
  record.order = page.order;
  FileStatus status = writer_->Add(record);
  if (status.ok()) ++recorded_;
  return status;
}

std::unique_ptr<RunJournal::Packed> RunUndoJournal::Pack(const std::string& path,
                                                         std::string_view oldBytes) {
  std::optional<PackedBytes> packed = JournalWriter::Pack(path, oldBytes);
  if (!packed) return nullptr;
  return std::make_unique<PackedPage>(std::move(*packed));
}

FileStatus RunUndoJournal::Sync() { return writer_->Sync(); }

RunUndo PrepareRunUndo(const Options& options, int operation, const std::string& folder,
                       const BatchRows& rows, const std::string& runsFolder) {
  RunUndo undo;
  const KeepLimits limits = UndoLimits(options);
  std::vector<std::int64_t> sizes;
  if (limits.runs > 0 && limits.bytes > 0) {
    for (int row = 0; row < rows.Count(); ++row) {
      if (rows.Ticked(row)) sizes.push_back(FileSizeOf(FullPath(rows.Folder(row), rows.Name(row))));
    }
  }
  undo.coverage = CheckUndoCoverage(sizes, limits);
  if (undo.coverage.kind == UndoCoverage::Kind::kOff) return undo;
  RunInfo info;
  info.operation = operation;
  info.folder = folder;
  FileStatus status = FileStatus::Ok();
  std::unique_ptr<JournalWriter> writer = JournalWriter::Start(runsFolder, info, limits, &status);
  if (!writer) {
    undo.coverage.kind = UndoCoverage::Kind::kPartial;
    undo.coverage.message = Translate(kContext, kNoJournal);
    undo.coverage.question = FormatText(Translate(kContext, kQuestion), {undo.coverage.message});
    return undo;
  }
  undo.journal = std::make_unique<RunUndoJournal>(std::move(writer));
  return undo;
}

}  // namespace vk
