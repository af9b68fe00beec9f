// A file written beside the one it is to replace and put in its place only when complete.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "engine/file_access.h"
#include "fs/fd.h"

namespace vk {

// Writes all of `data` at `offset` (or at the current position when offset < 0). A process that
// ignores SIGXFSZ gets kTooLarge with EFBIG at its file size limit.
FileStatus WriteAll(int fd, std::string_view data, off_t offset = -1);

// Where the file system has unnamed files (O_TMPFILE), the new file has no name while it is
// written, so a process killed before Publish leaves nothing behind; it gets its temporary
// name (".<name>.vk-XXXXXX" beside the target, ".vk-XXXXXX" where that name would be too long)
// just before the rename. Elsewhere it has that name from the start. Whatever was not published
// is removed when the object goes. The new file is locked (flock) from its creation until it is
// published or removed, so RemoveLeftovers can tell it from one a killed process left.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates the file in the folder of `target` (the current one when it names none) with
  // `mode` (less the umask).
  FileStatus Create(const std::string& target, mode_t mode);
  int fd() const { return fd_.get(); }
  // Flushes what was written to the disk.
  FileStatus Sync() const;

  // Names the file, closes it (a failing close counts) and renames it over `target`. On
  // failure the new file is gone and `target` untouched.
  FileStatus Publish(const std::string& target);

  // Closes and removes the new file now.
  void Discard();

 private:
  int GiveName();

  Fd fd_;
  std::string folder_;  // ends with '/'
  std::string name_;
  std::string tempPath_;  // empty while the file has no name
};

// Removes, in `folder`, the temporary files of NewFile that no process is writing any more (a
// killed run's): regular files of the user's with the temporary names, which nobody holds
// locked. With `name`, only those beside that name (".<name>.vk-XXXXXX"). Returns how many
// were removed.
int RemoveLeftovers(const std::string& folder, const std::string& name = std::string());

}  // namespace vk
