#pragma once
// Operating-system commands (SY): run by /bin/sh in a process group of their
// own, so that a stop request ends the command and everything it started.
#include <functional>
#include <string>
#include <string_view>

namespace zeph {

enum class CommandEnd { finished, stopped, not_started };

// Runs `command` with /bin/sh -c, its input /dev/null and its errors mixed
// into its output. Each output line (tabs expanded to 8 columns, a line
// longer than kLongestCommandLine given in pieces) goes to `on_line` as it
// arrives, so nothing of a long output is kept. A stop request (a signal)
// ends the command's whole process group and returns `stopped` at once.
CommandEnd run_shell_command(const std::string& command, const std::function<void(std::string_view)>& on_line);

inline constexpr std::size_t kLongestCommandLine = 4096;

}  // namespace zeph
