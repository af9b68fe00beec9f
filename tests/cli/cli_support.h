// Running the velkaro-batch program from the end-to-end tests, and taking a picture of a
// folder tree (every file's bytes and time stamp) to prove a run left it alone.
#pragma once

#include <sys/stat.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
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

}  // namespace vk::test
