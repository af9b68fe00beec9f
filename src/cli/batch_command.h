// velkaro-batch from arguments to exit status: the settings, the rows from the PATHs, the
// run, and its results on `out`; usage errors and every message the run shows on `err`.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vk::cli {

inline constexpr int kExitOk = 0;        // no file reported a problem
inline constexpr int kExitProblems = 1;  // a message was shown, or the run was ended by an error
inline constexpr int kExitUsage = 2;     // the command line cannot be run

// `args` are the arguments after the program name.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// `path` made absolute against the current folder, with "." segments, doubled separators and
// trailing separators removed ("/" stays "/"). ".." is kept: through a link it need not lead
// back where it came from.
std::string AbsolutePath(const std::string& path);

}  // namespace vk::cli
