#include "journal/runs_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "fs/fd.h"

namespace vk {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> JournalPaths(const std::string& folder) {
  std::vector<std::string> paths;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return paths;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (EndsWith(name, kJournalSuffix)) paths.push_back(folder + name);
  }
  ::closedir(dir);
  return paths;
}

struct tm LocalTime(std::int64_t timeNs) {
  const std::time_t seconds = static_cast<std::time_t>(timeNs / 1'000'000'000);
  struct tm local {};
  ::localtime_r(&seconds, &local);
  return local;
}

}  // namespace

std::string RunsFolder() {
  std::string folder;
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  if (state != nullptr && state[0] == '/') {
    folder = state;
  } else if (home != nullptr && home[0] == '/') {
    folder = home;
    if (folder.back() != '/') folder += '/';
    folder += ".local/state";
  } else {
    return "";
  }
  if (folder.back() != '/') folder += '/';
  return folder + "Velkaro/runs/";
}

std::vector<JournalFile> JournalFiles(const std::string& folder,
                                      std::vector<std::string>* unreadable) {
  std::vector<JournalFile> files;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const std::string& path : JournalPaths(prefix)) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) continue;
    JournalReader reader;
    if (!reader.Read(fd.get(), /*wholeJournal=*/false).ok()) {
      if (unreadable != nullptr) unreadable->push_back(path);
      continue;
    }
    const RunSummary& run = reader.Run();
    files.push_back({path, run.id, run.timeNs, run.operation, run.bytes});
  }
  std::sort(files.begin(), files.end(), [](const JournalFile& a, const JournalFile& b) {
    return a.timeNs != b.timeNs ? a.timeNs < b.timeNs : a.id < b.id;
  });
  return files;
}

std::vector<RunSummary> ListRuns(const std::string& folder) {
  std::vector<RunSummary> runs;
  const std::vector<JournalFile> files = JournalFiles(folder);
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    Fd fd(::open(it->path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) continue;
    JournalReader reader;
    if (!reader.Read(fd.get()).ok()) continue;
    RunSummary run = reader.Run();
    run.file = it->path;
    run.busy = JournalBusy(fd.get());
    runs.push_back(std::move(run));
  }
  return runs;
}

bool JournalBusy(int fd) {
  // A shared lock is refused only while someone holds the exclusive one.
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
  ::flock(fd, LOCK_UN);
  return false;
}

bool RemoveJournal(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd.valid()) return errno == ENOENT;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string RunTimeText(std::int64_t timeNs) {
  const struct tm local = LocalTime(timeNs);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
  return text;
}

std::string RunTimeIso(std::int64_t timeNs) {
  const struct tm local = LocalTime(timeNs);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  std::string iso = text;
  // %z gives "+0100"; the ISO form with a colon reads better and parses everywhere.
  if (iso.size() >= 5) iso.insert(iso.size() - 2, ":");
  return iso;
}

}  // namespace vk
