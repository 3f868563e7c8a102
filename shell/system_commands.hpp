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

// The program's own replay file (ZEPH32.RL in the program directory).
std::string program_replay_file(const Session& session);
// Opens the session's replay file; the program's own is never read through a link.
bool open_replay_file(Session& session);

}  // namespace zeph
