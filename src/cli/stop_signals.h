// SIGINT and SIGTERM stop velkaro-batch the way the window's "Abbrechen" stops a run: the
// handler only raises a flag that the run looks at before each page, so the pages in hand are
// finished and the report so far is printed.
#pragma once

#include <atomic>

namespace vk::cli {

// Installs the handler for SIGINT and SIGTERM, unless the signal was ignored when the program
// started (a background job keeps ignoring Ctrl-C). The first signal raises the flag; it also
// gives both signals back their default action, so that a second one ends the program at once,
// without a report. Even then every page is old or new, since no page is written in place.
void InstallStopSignals();

// Raised by the first SIGINT or SIGTERM.
const std::atomic<bool>& StopRequested();

// 128 + the number of the first signal (130 for SIGINT, 143 for SIGTERM), or 0 before one.
int StopExitStatus();

}  // namespace vk::cli
