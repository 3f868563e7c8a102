#include "shell/system_commands.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/shell_command.hpp"
#include "base/text.hpp"
#include "shell/command_words.hpp"

namespace zeph {

namespace {
constexpr std::string_view kAllocatePrompt = "Number of sample points to allocate memory for:";
constexpr std::string_view kRangePrompt =
    "Sample numbers for read operations: First point #,  Interval,  Max #";
constexpr std::string_view kSystemPrompt = "Enter DOS command:";
constexpr auto kRefreshInterval = std::chrono::milliseconds(50);
constexpr std::string_view kCannotRunCommand = "Cannot run the command.";
constexpr std::string_view kHitAnyKey = "Hit any key to continue...";
constexpr std::string_view kRangeRefused = "Error. First point #, Interval and Max # must be at least 1.";
constexpr std::string_view kFirstBeyondCapacity = "Error. First point # is beyond the maximum number of sample points.";
constexpr int kHeaderLines = 3;

// Nearest whole number, halves away from zero, limited to the range of long long.
long long nearest_whole(double value) {
    if (std::isnan(value)) return 0;
    if (value > 9.0e18) return static_cast<long long>(9.0e18);
    if (value < -9.0e18) return static_cast<long long>(-9.0e18);
    return std::llround(value);
}

}  // namespace

void Session::wait_for_key() {
    if (!nopause) prompter.keys().read_key();
}

void allocate_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    PromptRequest request{.title = workspace.status_line, .prompt = kAllocatePrompt, .current = {},
                          .default_reply = "/", .mode = 'N', .value_count = 1,
                          .values = {static_cast<double>(workspace.max_points), 0, 0, 0}};
    if (!session.ask(request)) return;
    if (!(std::fabs(request.values[0]) < 9e15)) {   // beyond any storage: refused with the count as asked
        workspace.message_line = allocation_failure_message(request.values[0]);
        return;
    }
    const long long requested = nearest_whole(request.values[0]);
    const int old_max = workspace.max_points;
    const Status status = allocate_storage(workspace, requested);
    if (!status) {
        workspace.message_line = status.message;
        return;
    }
    if (workspace.read_max == old_max || workspace.read_max > workspace.max_points)
        workspace.read_max = workspace.max_points;
    session.help.read_range_set =
        !(workspace.read_first == 1 && workspace.read_interval == 1 && workspace.read_max == workspace.max_points);
    reset_selection(session);
}

void set_range_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    char default_reply[32];
    std::snprintf(default_reply, sizeof default_reply, "1   1   %7d", workspace.max_points);
    PromptRequest request{.title = workspace.status_line, .prompt = kRangePrompt, .current = {},
                          .default_reply = default_reply, .mode = 'N', .value_count = 3,
                          .values = {static_cast<double>(workspace.read_first),
                                     static_cast<double>(workspace.read_interval),
                                     static_cast<double>(workspace.read_max), 0}};
    if (!session.ask(request)) return;
    const long long first = nearest_whole(request.values[0]);
    const long long interval = nearest_whole(request.values[1]);
    const long long most = nearest_whole(request.values[2]);
    if (first < 1 || interval < 1 || most < 1) {
        workspace.message_line = kRangeRefused;
        return;
    }
    if (first > workspace.max_points) {
        workspace.message_line = kFirstBeyondCapacity;
        return;
    }
    workspace.read_first = static_cast<int>(first);
    workspace.read_interval = static_cast<int>(std::min<long long>(interval, workspace.max_points));
    workspace.read_max = static_cast<int>(std::min<long long>(most, workspace.max_points));
    session.help.read_range_set =
        !(workspace.read_first == 1 && workspace.read_interval == 1 && workspace.read_max == workspace.max_points);
    reset_selection(session);
}

void system_dialogue(Session& session) {
    std::string typed;
    if (!session.ask_line(kSystemPrompt, typed)) return;
    const std::string command = trim_right(typed);
    session.console.clear();
    // Lines are shown as they come: a long or endless output is never held in memory.
    auto shown = std::chrono::steady_clock::now();
    const CommandEnd end = run_shell_command(command, [&](std::string_view line) {
        for (std::size_t start = 0; start == 0 || start < line.size(); start += TextConsole::kColumns)
            session.console.print_line(line.substr(start, TextConsole::kColumns));
        // The screen follows a fast output a few times a second, not line by line.
        if (const auto now = std::chrono::steady_clock::now(); now - shown > kRefreshInterval) {
            session.console.present();
            shown = now;
        }
    });
    if (end == CommandEnd::not_started) session.console.print_line(kCannotRunCommand);
    if (end == CommandEnd::stopped) return;   // the run ends: no key is waited for
    session.console.print_line("");
    session.console.print_line(kHitAnyKey);
    session.console.present();
    session.wait_for_key();
}

bool open_replay_file(Session& session) {
    ReplayFile& replay = session.input.replay;
    if (session.replay_file_name == program_replay_file(session))
        return !session.program_directory.empty() && replay.open_program_file(session.replay_file_name);
    return replay.open(session.replay_file_name);
}

std::string program_replay_file(const Session& session) {
    return session.program_directory + std::string(kReplayFileName);
}

void start_replay(Session& session) {
    // A replay that reached RL would start itself again from the top, for ever.
    if (session.input.source != InputSource::keyboard) {
        session.workspace.message_line = kReplayRunning;
        return;
    }
    if (!open_replay_file(session)) return;
    // The three header lines describe the run; the replies follow them.
    for (int i = 0; i < kHeaderLines; ++i) session.input.replay.next_line();
    session.input.log.rewind_replies();
    session.input.source = InputSource::replay_then_keyboard;
}

void end_program(Session& session) {
    session.input.replay.close();
    // Without a folder for the program's files there is no log to save.
    if (session.input.log.is_open()) {
        const Status status = session.input.log.save_as(program_replay_file(session));
        if (!status) {
            session.console.print_line(status.message);
            session.input.report.shown(status.message);
        }
    }
    session.input.log.close();
    if (!trim_right(session.workspace.message_line).empty()) {
        session.console.print_line(session.workspace.message_line);
        session.input.report.shown(session.workspace.message_line);
    }
    session.console.present();
    session.ended = true;
}

}  // namespace zeph
