// Reading a file whole and replacing its content without ever leaving it half-written.
#pragma once

#include <string>
#include <string_view>

namespace vk {

// Outcome of a file operation. Errors are values; nothing here throws.
class FileStatus {
 public:
  enum class Code { kOk, kNotFound, kIsDirectory, kReadOnly, kTooLarge, kIoError };

  static FileStatus Ok() { return FileStatus(Code::kOk, 0); }
  static FileStatus Error(Code code, int err = 0) { return FileStatus(code, err); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  int err() const { return err_; }  // errno of the failing call, 0 when none

 private:
  FileStatus(Code code, int err) : code_(code), err_(err) {}
  Code code_;
  int err_;
};

// Reads the whole file at `path` (following a symbolic link) into *content. On failure
// *content is left empty. A folder gives kIsDirectory, a missing path kNotFound, anything else
// that is not a regular file (a pipe, a device) kIoError with EINVAL, a file too big for memory
// kTooLarge.
FileStatus ReadWholeFile(const std::string& path, std::string* content);

// True when the file at `path` may be rewritten: it exists, is a regular file (through a link)
// and its permission bits grant writing to the caller. Root counts as able to write only where
// some write bit is set, so a page marked read-only stays read-only for root as well.
bool IsWritableFile(const std::string& path);

// Replaces the content of the existing file at `path` by `content`, byte for byte.
// - A read-only file (see IsWritableFile) is never touched: kReadOnly.
// - A symbolic link is written through to its target; the link stays a link.
// - Normally the new content goes to a new file in the target's folder (see NewFile), which is
//   synced, given the original's permission bits (and owner, where allowed) and renamed over
//   the original. A failure at any step removes the new file and leaves the original byte for
//   byte as it was.
// - A file with several hard links, or one in a folder where no temporary file can be
//   created, is rewritten in place after its new size has been reserved, so the links stay;
//   when the space cannot be reserved the original is left as it was.
// - Hitting the file size limit (EFBIG) gives kTooLarge, other failures kIoError; err() holds
//   the errno either way.
FileStatus ReplaceFileContent(const std::string& path, std::string_view content);

// Where the file-level transformations read and write. The disk is the default; the batch run
// substitutes an in-memory page to chain several transformations with a single write, and to
// show what a run would do without touching anything.
class FileAccess {
 public:
  virtual ~FileAccess() = default;
  virtual FileStatus Read(const std::string& path, std::string* content) = 0;
  virtual FileStatus Write(const std::string& path, std::string_view content) = 0;
};

// ReadWholeFile and ReplaceFileContent.
FileAccess& DiskFileAccess();

}  // namespace vk
