#pragma once
// The command loop: asks for a line, sorts its words and executes it, until EN.
#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kCommandPrompt = "Enter command...";

// Runs until EN or the end of the input.
void run_command_loop(Session& session);

// Executes one line (typed reply); exposed for the dialogue tests.
void run_command_line(Session& session, std::string_view reply);

}  // namespace zeph
