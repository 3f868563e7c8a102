#pragma once
// The commands that act on the program rather than the signals: AL, SE, SY, RL, EN.
#include "shell/session.hpp"

namespace zeph {

void allocate_dialogue(Session& session);     // AL
void set_range_dialogue(Session& session);    // SE
void system_dialogue(Session& session);       // SY
void start_replay(Session& session);          // RL typed at the prompt; refused during a replay
inline constexpr std::string_view kReplayRunning = "A replay is running: RL is not started again.";
void end_program(Session& session);           // EN

}  // namespace zeph
