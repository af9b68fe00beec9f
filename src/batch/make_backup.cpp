#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "batch/batch_run.h"
#include "engine/file_io.h"

namespace vk {
namespace {

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A new backup appears whole or not at all: written to a temporary file beside it, synced,
// given the page's permission bits and then renamed into place.
void CreateBackup(const std::string& backup, const std::string& content, mode_t mode) {
  std::string temp = backup + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return;
  const bool written =
      WriteAll(fd, content) && fchmod(fd, mode & 07777) == 0 && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temp.c_str(), backup.c_str()) != 0) unlink(temp.c_str());
}

}  // namespace

void MakeBackup(const std::string& path) {
  struct stat page {};
  if (stat(path.c_str(), &page) != 0 || !S_ISREG(page.st_mode)) return;
  std::string content;
  if (!ReadWholeFile(path, &content).ok()) return;
  const std::string backup = path + ".bak";
  struct stat existing {};
  if (lstat(backup.c_str(), &existing) == 0) {
    // Overwriting keeps what the old backup was: a read-only backup is left alone, a link
    // stays a link.
    ReplaceFileContent(backup, content);
    return;
  }
  CreateBackup(backup, content, page.st_mode);
}

}  // namespace vk
