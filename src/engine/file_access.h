// Where the engine reads and writes whole files: an interface, so that the batch run can chain
// transformations in memory and tests can put failing files in its place. The disk's
// implementation is the file layer's (fs/disk_file_access.h); the engine itself makes no
// system call.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

namespace vk {

// Outcome of a file operation, the one error type of every file access. Errors are values;
// nothing here throws.
class FileStatus {
 public:
  // The last four are refusals of the rewrite itself, each with a message of its own above
  // the engine: the page changed after it was read; a link to it that the rule for links does
  // not let the program follow; a folder in which no new file can be made; extended attributes
  // (ACLs, labels) that the new file could not be given.
  enum class Code {
    kOk,
    kNotFound,
    kIsDirectory,
    kReadOnly,
    kTooLarge,
    kIoError,
    kChanged,
    kLinkRefused,
    kNoNewFile,
    kAttributesLost,
    kGroupLost,
    kNotJournaled  // the undo journal could not take the page's old bytes
  };

  static FileStatus Ok() { return FileStatus(Code::kOk, 0); }
  static FileStatus Error(Code code, int err = 0) { return FileStatus(code, err); }
  // The code an errno stands for: a missing file or folder on the way kNotFound, a folder
  // kIsDirectory, the file size limit kTooLarge, anything else kIoError.
  static FileStatus FromErrno(int err) {
    if (err == ENOENT || err == ENOTDIR) return Error(Code::kNotFound, err);
    if (err == EISDIR) return Error(Code::kIsDirectory, err);
    if (err == EFBIG) return Error(Code::kTooLarge, err);
    return Error(Code::kIoError, err);
  }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  int err() const { return err_; }  // errno of the failing call, 0 when none

 private:
  FileStatus(Code code, int err) : code_(code), err_(err) {}
  Code code_;
  int err_;
};

class FileAccess {
 public:
  virtual ~FileAccess() = default;
  // The whole file at `path` into *content (empty on failure).
  virtual FileStatus Read(const std::string& path, std::string* content) = 0;
  // Replaces the content of the existing file at `path`; a failure leaves it as it was.
  virtual FileStatus Write(const std::string& path, std::string_view content) = 0;
  // The whole file at `path` as *view: into storage of the access's own that stays valid until
  // the next Write or Give of the file, or into *storage. An in-memory page hands out its bytes
  // without copying them.
  virtual FileStatus ReadView(const std::string& path, std::string* storage,
                              std::string_view* view) {
    const FileStatus status = Read(path, storage);
    *view = *storage;
    return status;
  }
  // Write that may take over `content`'s buffer instead of copying it; `content` is left valid
  // with unspecified bytes.
  virtual FileStatus Give(const std::string& path, std::string& content) {
    return Write(path, content);
  }
  // Takes back a buffer a step no longer needs, so that a later Reserve may use its room.
  virtual void Recycle(std::string& /*buffer*/) {}
  // Gives `buffer` room for `size` bytes of a page's new content before it is filled. The disk
  // asks the system to back a large buffer with huge pages, where faulting memory in 4 KiB at a
  // time can cost more than the transformation itself (virtual machines).
  virtual void Reserve(std::string& buffer, std::size_t size) { buffer.reserve(size); }
};

}  // namespace vk
