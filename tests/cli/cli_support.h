// Running the velkaro-batch program from the end-to-end tests, taking a picture of a folder
// tree (every file's bytes and time stamp) to prove a run left it alone, and applying its diffs.
#pragma once

#include <sys/stat.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vk::test {

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the program with `args` in `workFolder`, the user's settings folder inside
// `configHome`, and the regional settings of `locale`.
inline ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& workFolder,
                             const std::string& configHome,
                             const std::string& locale = "de_DE.UTF-8") {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LC_ALL", QString::fromStdString(locale));
  environment.insert("LANG", QString::fromStdString(locale));
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(configHome));
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(QString::fromStdString(workFolder));
  QStringList arguments;
  for (const std::string& arg : args) arguments << QString::fromStdString(arg);
  process.start(VELKARO_BATCH_EXE, arguments);
  ProgramRun run;
  // A guard against a hang, not a measurement.
  if (!process.waitForFinished(300000)) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "velkaro-batch did not finish";
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

// Every file and link below `root`: its bytes (or link target) and modification time.
inline std::map<std::string, std::string> TreePicture(const std::string& root) {
  std::map<std::string, std::string> picture;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    struct stat info {};
    lstat(entry.path().c_str(), &info);
    std::string value = std::to_string(info.st_mtim.tv_sec) + "." +
                        std::to_string(info.st_mtim.tv_nsec) + " mode " +
                        std::to_string(info.st_mode) + " ";
    if (entry.is_symlink()) {
      value += "-> " + std::filesystem::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      value += ReadFile(entry.path().string());
    }
    picture[entry.path().string()] = value;
  }
  return picture;
}

// Every regular file below `root` by its path relative to it, with its bytes.
inline std::map<std::string, std::string> TreeBytes(const std::string& root) {
  std::map<std::string, std::string> bytes;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    bytes[std::filesystem::relative(entry.path(), root).string()] = ReadFile(entry.path().string());
  }
  return bytes;
}

// Applies `diffText` with `patch -p1` inside `folder`, as strictly as patch can (no fuzz, no
// backups). Returns "" or what patch said when it failed.
inline std::string ApplyPatch(const std::string& folder, const std::string& diffText) {
  TempDir work;
  WriteFile(work.File("diff.patch"), diffText);
  const std::string command = "patch -p1 --batch --fuzz=0 --no-backup-if-mismatch -d '" + folder +
                              "' -i '" + work.File("diff.patch") + "' > '" + work.File("log") +
                              "' 2>&1";
  if (std::system(command.c_str()) == 0) return "";
  return "patch failed: " + ReadFile(work.File("log"));
}

}  // namespace vk::test
