#include "cli/stop_signals.h"

#include <signal.h>

namespace vk::cli {
namespace {

// Lock-free atomics are the only shared state a signal handler may touch.
std::atomic<bool> stopRequested{false};
std::atomic<int> firstSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int number) {
  int none = 0;
  firstSignal.compare_exchange_strong(none, number);
  stopRequested.store(true);
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(SIGINT, &defaultAction, nullptr);
  sigaction(SIGTERM, &defaultAction, nullptr);
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  // Reads, writes and syncs go on after the handler instead of failing with EINTR.
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    if (sigaction(number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(number, &action, nullptr);
  }
}

const std::atomic<bool>& StopRequested() { return stopRequested; }

int StopExitStatus() {
  const int number = firstSignal.load();
  return number == 0 ? 0 : 128 + number;
}

}  // namespace vk::cli
