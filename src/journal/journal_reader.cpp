#include "journal/journal_reader.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vk {
namespace {

using Code = FileStatus::Code;
using journal::RecordType;

// Bodies are hashed in pieces this big; the start of a body (where a page's facts are) is kept
// up to this size.
constexpr std::size_t kChunk = std::size_t{1} << 20;

FileStatus ReadAt(int fd, char* out, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileStatus::FromErrno(errno);
    }
    if (n == 0) return FileStatus::Error(Code::kIoError, EBADMSG);  // the file shrank
    done += static_cast<std::size_t>(n);
  }
  return FileStatus::Ok();
}

// One decompressor per thread that reads old bytes, made on its first page and kept.
ZSTD_DCtx* Decompressor() {
  struct Holder {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ~Holder() { ZSTD_freeDCtx(context); }
  };
  thread_local Holder holder;
  return holder.context;
}

// Reads a file front to back through a window, so that the small pieces of a record cost no
// system call each.
class Window {
 public:
  explicit Window(int fd) : fd_(fd) {}

  // The `size` bytes (at most kChunk) at `offset`; EBADMSG when the file ends before them.
  FileStatus Get(std::uint64_t offset, std::size_t size, std::string_view* bytes) {
    if (offset < start_ || offset + size > start_ + data_.size()) {
      data_.resize(kWindowSize);
      std::size_t got = 0;
      while (got < data_.size()) {
        const ssize_t n =
            ::pread(fd_, data_.data() + got, data_.size() - got, static_cast<off_t>(offset + got));
        if (n < 0) {
          if (errno == EINTR) continue;
          data_.clear();
          return FileStatus::FromErrno(errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
      }
      data_.resize(got);
      start_ = offset;
      if (got < size) return FileStatus::Error(Code::kIoError, EBADMSG);
    }
    *bytes = std::string_view(data_).substr(static_cast<std::size_t>(offset - start_), size);
    return FileStatus::Ok();
  }

 private:
  static constexpr std::size_t kWindowSize = 4 * kChunk;
  int fd_;
  std::uint64_t start_ = 0;
  std::string data_;
};

}  // namespace

FileStatus JournalReader::Read(int fd, bool wholeJournal) {
  fd_ = fd;
  run_ = RunSummary();
  pages_.clear();
  validEnd_ = 0;
  struct stat st;
  if (::fstat(fd, &st) != 0) return FileStatus::FromErrno(errno);
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  run_.bytes = st.st_size;
  const std::string magic = journal::Magic();
  if (fileSize < magic.size()) return FileStatus::Error(Code::kIoError, EINVAL);
  std::string found(magic.size(), '\0');
  if (FileStatus read = ReadAt(fd, found.data(), found.size(), 0); !read.ok()) return read;
  if (found != magic) return FileStatus::Error(Code::kIoError, EINVAL);

  bool haveRun = false;
  std::uint64_t offset = magic.size();
  Window window(fd);
  std::string_view piece;
  Sha256Stream hash;
  // The record at `at`: whether its header is one a writer could have made, and whether the
  // whole record passes its check; its type, body length and the first piece of its body.
  struct Record {
    bool plausible = false;
    bool valid = false;
    std::uint8_t type = 0;
    std::uint64_t bodyLength = 0;
    std::string head;
  };
  const auto recordAt = [&](std::uint64_t at) {
    Record record;
    std::string_view header;
    if (fileSize - at < journal::kHeaderSize + journal::kCheckSize) return record;
    if (!window.Get(at, journal::kHeaderSize, &header).ok()) return record;
    journal::BodyReader fields(header);
    record.bodyLength = fields.U64();
    record.type = fields.U8();
    const std::string_view padding = fields.Raw(7);
    if (!journal::KnownType(record.type) ||
        padding.find_first_not_of('\0') != std::string_view::npos ||
        record.bodyLength > fileSize - at - journal::kHeaderSize - journal::kCheckSize) {
      return record;
    }
    record.plausible = true;
    hash.Update(header);
    bool readable = true;
    for (std::uint64_t done = 0; done < record.bodyLength && readable;) {
      const std::size_t size =
          static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, record.bodyLength - done));
      readable = window.Get(at + journal::kHeaderSize + done, size, &piece).ok();
      hash.Update(piece);
      if (done == 0) record.head = piece;
      done += size;
    }
    std::string_view check;
    const Sha256Digest digest = hash.Finish();
    record.valid =
        readable &&
        window.Get(at + journal::kHeaderSize + record.bodyLength, journal::kCheckSize, &check)
            .ok() &&
        std::memcmp(check.data(), digest.data(), journal::kCheckSize) == 0;
    return record;
  };
  for (;;) {
    validEnd_ = offset;
    Record record = recordAt(offset);
    const std::uint64_t next =
        offset + journal::kHeaderSize + record.bodyLength + journal::kCheckSize;
    if (!record.valid) {
      // A record cut short by a kill, or zeros after a power cut, end the journal. A record
      // that fails its check with a whole record behind it was damaged where it lies: it is
      // counted and passed over.
      if (!haveRun || !record.plausible || !recordAt(next).valid) break;
      ++run_.damaged;
      offset = next;
      continue;
    }
    const std::uint8_t type = record.type;
    const std::uint64_t bodyLength = record.bodyLength;
    const std::string& head = record.head;

    journal::BodyReader body(head);
    const auto recordType = static_cast<RecordType>(type);
    if (!haveRun && recordType != RecordType::kRun) break;
    if (recordType == RecordType::kRun) {
      if (haveRun) break;
      run_.timeNs = body.I64();
      run_.operation = static_cast<int>(body.U32());
      body.U32();  // flags, none yet
      run_.id = body.Text();
      run_.folder = body.Text();
      if (!body.ok()) break;
      haveRun = true;
      if (!wholeJournal) {
        validEnd_ = next;
        break;
      }
    } else if (recordType == RecordType::kUndone) {
      run_.undone = true;
    } else {
      JournalPage page;
      if (!journal::ReadFacts(body, &page)) break;
      page.kept = recordType == RecordType::kPage;
      if (page.kept) {
        const std::uint64_t factsLength = head.size() - body.Rest().size();
        page.frameOffset = offset + journal::kHeaderSize + factsLength;
        page.frameLength = bodyLength - factsLength;
      }
      run_.complete = run_.complete && page.kept;
      ++run_.pages;
      run_.pageBytes += page.oldSize;
      pages_.push_back(std::move(page));
    }
    offset = next;
  }
  if (!haveRun) return FileStatus::Error(Code::kIoError, EINVAL);
  return FileStatus::Ok();
}

FileStatus JournalReader::OldBytes(const JournalPage& page, std::string* bytes) const {
  bytes->clear();
  if (!page.kept) return FileStatus::Error(Code::kNotFound, ENOENT);
  std::string frame(static_cast<std::size_t>(page.frameLength), '\0');
  if (FileStatus read = ReadAt(fd_, frame.data(), frame.size(), page.frameOffset); !read.ok()) {
    return read;
  }
  const unsigned long long size = ZSTD_getFrameContentSize(frame.data(), frame.size());
  if (size != static_cast<unsigned long long>(page.oldSize)) {
    return FileStatus::Error(Code::kIoError, EBADMSG);
  }
  std::string out(static_cast<std::size_t>(size), '\0');
  const std::size_t got =
      ZSTD_decompressDCtx(Decompressor(), out.data(), out.size(), frame.data(), frame.size());
  if (ZSTD_isError(got) || got != out.size()) return FileStatus::Error(Code::kIoError, EBADMSG);
  *bytes = std::move(out);
  return FileStatus::Ok();
}

}  // namespace vk
