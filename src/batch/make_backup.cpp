#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "batch/batch_run.h"
#include "engine/file_io.h"
#include "engine/new_file.h"

namespace vk {
namespace {

// A new backup appears whole or not at all: written to a new file beside it, given the page's
// permission bits, synced and then renamed into place.
void CreateBackup(const std::string& backup, const std::string& content, mode_t mode) {
  NewFile file;
  if (file.Create(backup, 0600) != 0) return;
  if (WriteAll(file.fd(), content) != 0 || fchmod(file.fd(), mode & 07777) != 0 ||
      fsync(file.fd()) != 0) {
    return;
  }
  file.Publish(backup);
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
