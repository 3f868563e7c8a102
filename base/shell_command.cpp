#include "base/shell_command.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "base/stop_request.hpp"

namespace zeph {

namespace {

constexpr int kPollMilliseconds = 100;   // how often a silent command's run looks at the stop request
constexpr int kTermGraceTenths = 20;     // tenths of a second before SIGTERM is followed by SIGKILL

// In the child: its own process group, default signal dispositions (the
// program ignores SIGPIPE and SIGXFSZ, which the command must not inherit).
[[noreturn]] void exec_in_own_group(const std::string& command, int output) {
    ::setpgid(0, 0);
    for (int signal_number : {SIGPIPE, SIGXFSZ, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal_number, SIG_DFL);
    const int nothing = ::open("/dev/null", O_RDONLY);
    if (nothing >= 0) ::dup2(nothing, STDIN_FILENO);
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
}

// Ends the command's group: SIGTERM, then SIGKILL for what does not end.
void end_group(pid_t group) {
    ::kill(-group, SIGTERM);
    for (int tenth = 0; tenth < kTermGraceTenths; ++tenth) {
        if (::waitpid(group, nullptr, WNOHANG) == group) {
            ::kill(-group, SIGKILL);   // what the shell started may outlive it
            return;
        }
        ::poll(nullptr, 0, 100);
    }
    ::kill(-group, SIGKILL);
    ::waitpid(group, nullptr, 0);
}

// Gathers output bytes into lines.
class LineSplitter {
public:
    explicit LineSplitter(const std::function<void(std::string_view)>& on_line) : on_line_(on_line) {}
    void add(std::string_view bytes) {
        for (char c : bytes) {
            if (c == '\n') {
                flush();
                continue;
            }
            if (c == '\t') line_.append(8 - line_.size() % 8, ' ');
            else line_.push_back(c);
            if (line_.size() >= kLongestCommandLine) flush();
        }
    }
    void finish() {
        if (!line_.empty()) flush();
    }

private:
    void flush() {
        on_line_(line_);
        line_.clear();
    }
    const std::function<void(std::string_view)>& on_line_;
    std::string line_;
};

}  // namespace

CommandEnd run_shell_command(const std::string& command, const std::function<void(std::string_view)>& on_line) {
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return CommandEnd::not_started;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipe_ends[0]);
        ::close(pipe_ends[1]);
        return CommandEnd::not_started;
    }
    if (child == 0) exec_in_own_group(command, pipe_ends[1]);
    ::setpgid(child, child);   // also here: the group exists whichever process runs first
    ::close(pipe_ends[1]);
    LineSplitter lines(on_line);
    char buffer[8192];
    for (;;) {
        if (stop_requested()) {
            ::close(pipe_ends[0]);
            end_group(child);
            return CommandEnd::stopped;
        }
        pollfd request{pipe_ends[0], POLLIN, 0};
        const int ready = ::poll(&request, 1, kPollMilliseconds);
        if (ready <= 0) continue;   // a timeout, or a signal that the next turn looks at
        const ssize_t got = ::read(pipe_ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        lines.add(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
    lines.finish();
    ::close(pipe_ends[0]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        if (stop_requested()) {
            end_group(child);
            return CommandEnd::stopped;
        }
    }
    return CommandEnd::finished;
}

}  // namespace zeph
