#include "support/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>

namespace vk::test {
namespace {

void ApplyLimits(const ChildSetup& setup) {
  if (!setup.fileSizeLimit) return;
  signal(SIGXFSZ, setup.defaultFileSizeSignal ? SIG_DFL : SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = *setup.fileSizeLimit;
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(121);
}

// Reads the read ends of `pipes` until every writer has closed them; pipes, not files, so
// that the size limit of the child never cuts what it says. `seen` hears the text of the first
// pipe so far after each read from it.
std::vector<std::string> Drain(const std::vector<int>& pipes,
                               const std::function<void(const std::string&)>& seen = {}) {
  std::vector<std::string> texts(pipes.size());
  std::vector<pollfd> watched;
  for (int fd : pipes) watched.push_back({fd, POLLIN, 0});
  std::size_t left = watched.size();
  char buffer[65536];
  while (left > 0) {
    if (poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      ADD_FAILURE() << "poll: " << std::strerror(errno);
      break;
    }
    for (std::size_t i = 0; i < watched.size(); ++i) {
      if (watched[i].fd < 0 || watched[i].revents == 0) continue;
      const ssize_t n = read(watched[i].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        texts[i].append(buffer, static_cast<std::size_t>(n));
        if (i == 0 && seen) seen(texts[0]);
        continue;
      }
      close(watched[i].fd);
      watched[i].fd = -1;
      --left;
    }
  }
  return texts;
}

struct Pipe {
  int readEnd = -1;
  int writeEnd = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe: " << std::strerror(errno);
      return;
    }
    readEnd = fds[0];
    writeEnd = fds[1];
  }
};

void WaitFor(pid_t pid, ChildResult* result) {
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      ADD_FAILURE() << "wait4: " << std::strerror(errno);
      return;
    }
  }
  result->maxRssKb = usage.ru_maxrss;
  if (WIFEXITED(status)) {
    result->exited = true;
    result->exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result->signal = WTERMSIG(status);
  }
}

}  // namespace

ChildResult RunInChild(const std::function<std::string()>& body, const ChildSetup& setup) {
  ChildResult result;
  Pipe out;
  const pid_t pid = fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    return result;
  }
  if (pid == 0) {
    // The child ends with _exit: the parent's folders and objects are not the child's to end.
    close(out.readEnd);
    ApplyLimits(setup);
    std::string text;
    try {
      text = body();
    } catch (const std::exception& e) {
      text = std::string("exception: ") + e.what();
    } catch (...) {
      text = "exception";
    }
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
      const ssize_t n = write(out.writeEnd, p, left);
      if (n <= 0) _exit(122);
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(out.writeEnd);
  result.out = Drain({out.readEnd})[0];
  WaitFor(pid, &result);
  return result;
}

ChildResult RunBatchProgram(const std::vector<std::string>& args, const ChildSetup& setup) {
  std::vector<std::string> command;
  if (!setup.straceArgs.empty()) {
    command = {"strace", "-f", "-o", "/dev/null"};
    command.insert(command.end(), setup.straceArgs.begin(), setup.straceArgs.end());
    command.push_back("--");
  }
  // Another user keeps the undo journals of its runs in a folder of its own, as in its home.
  std::string stateHome;
  if (setup.user) {
    const std::string id = std::to_string(*setup.user);
    command.insert(command.end(),
                   {"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"});
    stateHome = "/tmp/velkaro-test-state-" + id;
    mkdir(stateHome.c_str(), 0700);
    EXPECT_EQ(chown(stateHome.c_str(), *setup.user, *setup.user), 0) << stateHome;
  }
  command.push_back(VELKARO_BATCH_EXE);
  command.insert(command.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  ChildResult result;
  Pipe out;
  Pipe err;
  const pid_t pid = fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    return result;
  }
  if (pid == 0) {
    dup2(out.writeEnd, STDOUT_FILENO);
    if (!setup.outputFile.empty()) {
      const int file = open(setup.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (file < 0 || dup2(file, STDOUT_FILENO) < 0) _exit(124);
    }
    dup2(err.writeEnd, STDERR_FILENO);
    if (!setup.workFolder.empty() && chdir(setup.workFolder.c_str()) != 0) _exit(123);
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("LANG", "C.UTF-8", 1);
    if (!setup.configHome.empty()) setenv("XDG_CONFIG_HOME", setup.configHome.c_str(), 1);
    if (!stateHome.empty()) setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
    if (!setup.straceArgs.empty()) {
      // The leak check of a sanitizer build cannot stop a traced program's threads; the runs
      // without strace still check for leaks.
      const char* asan = getenv("ASAN_OPTIONS");
      const std::string options = std::string(asan ? asan : "") + ":detect_leaks=0";
      setenv("ASAN_OPTIONS", options.c_str(), 1);
    }
    ApplyLimits(setup);
    if (setup.signal != 0) {
      // A test run in the background may have been started with the signal ignored, and the
      // program keeps a signal ignored that it was started with.
      signal(setup.signal, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out.writeEnd);
  close(err.writeEnd);
  bool signalled = setup.signalAfter.empty();
  const std::vector<std::string> texts =
      Drain({out.readEnd, err.readEnd}, [&](const std::string& text) {
        if (signalled || text.find(setup.signalAfter) == std::string::npos) return;
        signalled = true;
        if (kill(pid, setup.signal) != 0) ADD_FAILURE() << "kill: " << std::strerror(errno);
      });
  if (!signalled) ADD_FAILURE() << "velkaro-batch never printed " << setup.signalAfter;
  result.out = texts[0];
  result.err = texts[1];
  WaitFor(pid, &result);
  return result;
}

bool StraceWorks() {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execlp("strace", "strace", "-f", "-o", "/dev/null", "--", "true", nullptr);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vk::test
