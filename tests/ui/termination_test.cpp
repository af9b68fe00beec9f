// SIGTERM and SIGHUP end the program as the close button does: the program itself, sent the
// signal, leaves the options and the placement in its settings file; during a run the files
// are finished first.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "main_window_support.h"
#include "ui/termination_signals.h"
#include "ui/vk_main.h"

extern char** environ;

namespace vk::test {
namespace {

void Pause() {
  const timespec tenth{0, 10 * 1000 * 1000};
  nanosleep(&tenth, nullptr);
}

// Starts the program with its own home and settings folder, on no screen.
pid_t StartProgram(const TempDir& home, const TempDir& config) {
  std::vector<std::string> env;
  for (char** each = environ; *each != nullptr; ++each) {
    const std::string entry = *each;
    if (entry.starts_with("HOME=") || entry.starts_with("XDG_CONFIG_HOME=") ||
        entry.starts_with("QT_QPA_PLATFORM=")) {
      continue;
    }
    env.push_back(entry);
  }
  env.push_back("HOME=" + home.Path());
  env.push_back("XDG_CONFIG_HOME=" + config.Path());
  env.push_back("QT_QPA_PLATFORM=offscreen");
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = VELKARO_EXE;
  char* argv[] = {program.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
  return pid;
}

// The child's wait status, or -1 when it has not ended within 30 seconds (then it is killed).
int WaitFor(pid_t pid) {
  for (int i = 0; i < 3000; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    Pause();
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

TEST(TerminationTest, TheProgramSavesOptionsAndPlacementOnSigtermAndSighup) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    TempDir home;
    TempDir config;
    const std::string folder = config.File("Velkaro");
    const pid_t pid = StartProgram(home, config);
    ASSERT_GT(pid, 0);
    // The settings folder is made while the window is created, after the signals are caught.
    for (int i = 0; i < 2000 && !std::filesystem::exists(folder); ++i) Pause();
    ASSERT_TRUE(std::filesystem::exists(folder)) << strsignal(signal);
    ASSERT_EQ(kill(pid, signal), 0);
    const int status = WaitFor(pid);
    ASSERT_TRUE(WIFEXITED(status)) << strsignal(signal) << " status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << strsignal(signal);
    const std::string settings = ReadFile(config.File("Velkaro/Velkaro.ini"));
    EXPECT_NE(
        settings.find("[Options]\r\nCreateBak=0\r\nIgnoreMetaTags=0\r\nOptCB.ItemIndex=0\r\n"),
        std::string::npos)
        << strsignal(signal) << "\n"
        << settings;
    EXPECT_NE(settings.find("[VelkaroWindowPosition]\r\n"), std::string::npos)
        << strsignal(signal) << "\n"
        << settings;
    EXPECT_NE(settings.find("Width="), std::string::npos) << settings;
  }
}

class TerminationRunTest : public MainWindowTest {};

TEST_F(TerminationRunTest, ASignalDuringARunFinishesTheFilesThenCloses) {
  Folder("web");
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) File(std::string("web/") + name, "<p>\xE4");
  auto window = ShowWindow();
  DropFiles(*window, {At("web/a.htm"), At("web/b.htm"), At("web/c.htm")});
  TerminationSignals termination;
  termination.CloseOnSignal(window.get());
  bool signalled = false;
  QTimer::singleShot(0, window.get(), [&] {
    ASSERT_TRUE(window->Running());
    raise(SIGTERM);
    QCoreApplication::processEvents();  // the window hears of it here, within the run
    signalled = true;
    EXPECT_TRUE(window->isVisible());
  });
  window->RunOperation(1);
  ASSERT_TRUE(signalled);
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) {
    EXPECT_EQ(ReadFile(root_.File(std::string("web/") + name)), "<p>&auml;") << name;
  }
  EXPECT_TRUE(boxes_.informations.isEmpty());  // the completion box closed by itself
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
  EXPECT_NE(SettingsFile().find("[Options]\r\n"), std::string::npos);
}

}  // namespace
}  // namespace vk::test
