#include "journal/journal_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <thread>

#include "fs/new_file.h"
#include "journal/journal_format.h"
#include "journal/sha256.h"

namespace vk {
namespace {

using Code = FileStatus::Code;
using journal::RecordType;

// The level the benchmark chose (bench/journal_bench.cpp): on pages of HTML the fast levels
// keep a third of what the default level 3 takes more time for, at a few percent more bytes.
constexpr int kCompressionLevel = 1;

// A page at least this big is compressed by several threads at once: a big page often runs
// alone, and its journal record would otherwise wait on one core.
constexpr std::size_t kBigPage = std::size_t{8} << 20;

// One compressor per thread that records pages, made on its first page and kept; `big` gives
// the one with helper threads of its own (where the library has them).
ZSTD_CCtx* Compressor(bool big) {
  struct Holder {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    explicit Holder(int workers) {
      ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, kCompressionLevel);
      // The frame carries a hash of its content, so a damaged record cannot restore wrong bytes.
      ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
      if (workers > 0) ZSTD_CCtx_setParameter(context, ZSTD_c_nbWorkers, workers);
    }
    ~Holder() { ZSTD_freeCCtx(context); }
  };
  if (big) {
    thread_local Holder holder(
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 4));
    return holder.context;
  }
  thread_local Holder holder(0);
  return holder.context;
}

// Header, body and check of a record, the body being `prefix` and `payload` bytes written at
// Payload() afterwards.
class RecordBuffer {
 public:
  RecordBuffer(RecordType type, std::string_view prefix, std::size_t payloadRoom)
      : RecordBuffer(type, prefix.size(), Room(prefix.size(), payloadRoom)) {
    SetPrefix(prefix);
  }
  // A record in a buffer made by Room, its payload perhaps written already.
  RecordBuffer(RecordType type, std::size_t prefixSize, std::unique_ptr<char[]> data)
      : type_(type), prefixSize_(prefixSize), data_(std::move(data)) {}
  static std::unique_ptr<char[]> Room(std::size_t prefixSize, std::size_t payloadRoom) {
    // Only the pages the record fills are ever touched.
    return std::make_unique_for_overwrite<char[]>(journal::kHeaderSize + prefixSize + payloadRoom +
                                                  journal::kCheckSize);
  }
  static char* PayloadOf(char* data, std::size_t prefixSize) {
    return data + journal::kHeaderSize + prefixSize;
  }
  // `prefix` is as long as the room made for it.
  void SetPrefix(std::string_view prefix) {
    std::memcpy(data_.get() + journal::kHeaderSize, prefix.data(), prefix.size());
  }
  char* Payload() { return PayloadOf(data_.get(), prefixSize_); }
  // Seals the record with `payloadSize` bytes of payload; returns the whole record.
  std::string_view Seal(std::size_t payloadSize) {
    const std::size_t body = prefixSize_ + payloadSize;
    journal::PutHeader(data_.get(), type_, body);
    journal::PutCheck(data_.get(), journal::kHeaderSize + body,
                      data_.get() + journal::kHeaderSize + body);
    return std::string_view(data_.get(), journal::kHeaderSize + body + journal::kCheckSize);
  }

 private:
  RecordType type_;
  std::size_t prefixSize_;
  std::unique_ptr<char[]> data_;
};

std::string NewId(std::int64_t timeNs) {
  const std::time_t seconds = static_cast<std::time_t>(timeNs / 1'000'000'000);
  struct tm local {};
  ::localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  thread_local std::mt19937 random{std::random_device{}()};
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, "-%04x", static_cast<unsigned>(random() & 0xFFFF));
  return std::string(text) + suffix;
}

// Creates the missing folders of `path` (ending with '/'), private to the user: journals hold
// the pages' old text.
FileStatus MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return FileStatus::FromErrno(errno);
  }
  return FileStatus::Ok();
}

int DataSync(int fd) {
  while (::fdatasync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// The journal file, locked, holding `content`, under the name of a new id. Made without a name
// and named when complete where the file system allows, so no other process ever sees it
// unlocked or half-written.
FileStatus CreateJournal(const std::string& folder, std::int64_t timeNs, std::string* id,
                         const std::function<std::string(const std::string&)>& content, Fd* fd,
                         std::string* path) {
  Fd& file = *fd;
  file.Reset(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  const bool unnamed = file.valid();
  for (int attempt = 0; attempt < 100; ++attempt) {
    *id = NewId(timeNs);
    *path = folder + *id + kJournalSuffix;
    if (!unnamed) {
      file.Reset(::open(path->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
      if (!file.valid()) {
        if (errno == EEXIST) continue;
        return FileStatus::FromErrno(errno);
      }
    }
    if (::flock(file.get(), LOCK_EX) != 0) return FileStatus::FromErrno(errno);
    if (::ftruncate(file.get(), 0) != 0) return FileStatus::FromErrno(errno);
    if (FileStatus written = WriteAll(file.get(), content(*id), 0); !written.ok()) {
      if (!unnamed) ::unlink(path->c_str());
      return written;
    }
    if (unnamed) {
      const std::string self = "/proc/self/fd/" + std::to_string(file.get());
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path->c_str(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno == EEXIST) continue;
        return FileStatus::FromErrno(errno);
      }
    }
    // The first Sync makes the journal and its name durable, before any page it names is
    // replaced; a journal that a crash leaves without them is removed by the next start.
    return FileStatus::Ok();
  }
  return FileStatus::FromErrno(EEXIST);
}

}  // namespace

std::unique_ptr<JournalWriter> JournalWriter::Start(const std::string& runsFolder,
                                                    const RunInfo& info, const KeepLimits& limits,
                                                    FileStatus* status) {
  *status = FileStatus::Ok();
  if (limits.runs <= 0 || limits.bytes <= 0) return nullptr;
  if (runsFolder.empty()) {
    *status = FileStatus::Error(Code::kNotFound, ENOENT);
    return nullptr;
  }
  const std::string folder = runsFolder.back() == '/' ? runsFolder : runsFolder + "/";
  if (FileStatus made = MakeFolders(folder); !made.ok()) {
    *status = made;
    return nullptr;
  }

  // What a start killed before its run record leaves, and damage, goes first; then the oldest
  // runs, for the new one's place and for the bytes.
  std::vector<std::string> unreadable;
  std::vector<JournalFile> files = JournalFiles(folder, &unreadable);
  for (const std::string& path : unreadable) RemoveJournal(path);
  std::int64_t total = 0;
  for (const JournalFile& file : files) total += file.bytes;
  for (std::size_t i = 0; i < files.size();) {
    const bool tooMany = static_cast<int>(files.size()) > limits.runs - 1;
    if ((!tooMany && total <= limits.bytes) || !RemoveJournal(files[i].path)) {
      ++i;
      continue;
    }
    total -= files[i].bytes;
    files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
  }

  std::unique_ptr<JournalWriter> run(new JournalWriter());
  run->folder_ = folder;
  run->byteLimit_ = limits.bytes;
  for (const JournalFile& file : files) run->others_.emplace_back(file.path, file.bytes);
  run->othersBytes_ = total;
  const std::int64_t timeNs = info.timeNs != 0
                                  ? info.timeNs
                                  : std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count();
  const auto content = [&](const std::string& id) {
    std::string body;
    journal::BodyWriter writer(body);
    writer.I64(timeNs);
    writer.U32(static_cast<std::uint32_t>(info.operation));
    writer.U32(0);  // flags
    writer.Text(id);
    writer.Text(info.folder);
    RecordBuffer record(RecordType::kRun, body, 0);
    return journal::Magic() + std::string(record.Seal(0));
  };
  *status = CreateJournal(folder, timeNs, &run->id_, content, &run->fd_, &run->path_);
  if (!status->ok()) return nullptr;
  struct stat st;
  if (::fstat(run->fd_.get(), &st) != 0) {
    *status = FileStatus::FromErrno(errno);
    return nullptr;
  }
  run->end_ = static_cast<std::uint64_t>(st.st_size);
  run->appended_ = run->end_;
  run->synced_ = run->end_;
  return run;
}

JournalWriter::~JournalWriter() = default;

namespace {

// The facts of a page record ahead of its packed bytes.
std::string FactsOf(const PageRecord& page, std::int64_t oldSize) {
  journal::PageFacts facts;
  facts.order = page.order;
  facts.device = page.device;
  facts.inode = page.inode;
  facts.oldSize = oldSize;
  facts.newSize = static_cast<std::int64_t>(page.newBytes.size());
  facts.newHash = Sha256(page.newBytes);
  facts.path = std::string(page.path);
  std::string prefix;
  journal::BodyWriter writer(prefix);
  journal::WriteFacts(writer, facts);
  return prefix;
}

// Compresses `oldBytes` to `out` (room for ZSTD_compressBound); false on a failure.
bool Compress(std::string_view oldBytes, char* out, std::size_t* size) {
  *size = ZSTD_compress2(Compressor(oldBytes.size() >= kBigPage), out,
                         ZSTD_compressBound(oldBytes.size()), oldBytes.data(), oldBytes.size());
  return !ZSTD_isError(*size);
}

}  // namespace

std::optional<PackedBytes> JournalWriter::Pack(std::string_view path, std::string_view oldBytes) {
  // The facts have the same length whatever the page's new content, so the bytes go straight
  // to their place in the record.
  PageRecord sample;
  sample.path = path;
  PackedBytes packed;
  packed.size = static_cast<std::int64_t>(oldBytes.size());
  packed.factsSize = FactsOf(sample, 0).size();
  packed.record = RecordBuffer::Room(packed.factsSize, ZSTD_compressBound(oldBytes.size()));
  if (!Compress(oldBytes, RecordBuffer::PayloadOf(packed.record.get(), packed.factsSize),
                &packed.packedSize)) {
    return std::nullopt;
  }
  return packed;
}

FileStatus JournalWriter::Add(const PageRecord& page) {
  PackedBytes* const packed = page.packedOld;
  const std::string prefix =
      FactsOf(page, packed ? packed->size : static_cast<std::int64_t>(page.oldBytes.size()));
  std::size_t compressed = 0;
  std::optional<RecordBuffer> record;
  if (packed != nullptr) {
    if (!packed->record || prefix.size() != packed->factsSize) {
      return FileStatus::Error(Code::kIoError, EINVAL);
    }
    record.emplace(RecordType::kPage, prefix.size(), std::move(packed->record));
    record->SetPrefix(prefix);
    compressed = packed->packedSize;
  } else {
    record.emplace(RecordType::kPage, prefix, ZSTD_compressBound(page.oldBytes.size()));
    if (!Compress(page.oldBytes, record->Payload(), &compressed)) {
      return FileStatus::Error(Code::kIoError, ENOMEM);
    }
  }
  const std::string_view bytes = record->Seal(compressed);

  std::lock_guard<std::mutex> lock(mutex_);
  if (othersBytes_ + static_cast<std::int64_t>(end_ + bytes.size()) > byteLimit_ &&
      !MakeRoomLocked(bytes.size())) {
    complete_ = false;
    RecordBuffer note(RecordType::kNotKept, prefix, 0);
    return AppendLocked(note.Seal(0));
  }
  return AppendLocked(bytes);
}

FileStatus JournalWriter::AppendLocked(std::string_view record) {
  if (FileStatus written = WriteAll(fd_.get(), record, static_cast<off_t>(end_)); !written.ok()) {
    // A torn record would end the journal for its reader; cut it off, so later records count.
    while (::ftruncate(fd_.get(), static_cast<off_t>(end_)) != 0 && errno == EINTR) {
    }
    return written;
  }
  end_ += record.size();
  appended_.store(end_);
  return FileStatus::Ok();
}

bool JournalWriter::MakeRoomLocked(std::uint64_t size) {
  const auto needed = [&] { return othersBytes_ + static_cast<std::int64_t>(end_ + size); };
  for (std::size_t i = 0; i < others_.size() && needed() > byteLimit_;) {
    if (!RemoveJournal(others_[i].first)) {
      ++i;
      continue;
    }
    othersBytes_ -= others_[i].second;
    others_.erase(others_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return needed() <= byteLimit_;
}

FileStatus JournalWriter::Sync() {
  const std::uint64_t target = appended_.load();
  if (target <= synced_.load()) return FileStatus::Ok();
  std::lock_guard<std::mutex> lock(syncMutex_);
  if (target <= synced_.load()) return FileStatus::Ok();  // another thread's sync covered it
  if (const int err = DataSync(fd_.get()); err != 0) return FileStatus::FromErrno(err);
  if (!named_) {
    SyncFolder(folder_);
    named_ = true;
  }
  synced_.store(target);
  return FileStatus::Ok();
}

bool JournalWriter::Complete() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return complete_;
}

std::int64_t JournalWriter::Bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::int64_t>(end_);
}

}  // namespace vk
