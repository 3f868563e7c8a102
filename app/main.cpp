// zeph: an interactive signal-analysis workbench.
//
// With a terminal on standard input and output the text console is drawn
// with ncurses; otherwise replies are read as lines from standard input and a
// plain transcript goes to standard output.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/replace_file.hpp"
#include "base/stop_request.hpp"
#include "shell/command_loop.hpp"
#include "shell/startup.hpp"
#include "shell/system_commands.hpp"
#include "console/display_loss.hpp"
#include "console/headless.hpp"
#include "console/terminal.hpp"
#include "graphics/terminal_image.hpp"

namespace {
// A start-up that cannot begin (a replay file that cannot be read, no memory).
constexpr int kExitCannotStart = 2;
// A script that showed at least one error message.
constexpr int kExitErrorShown = 1;

// A crash still removes the temporary file of a write in progress, then ends
// as the signal would have.
void remove_temporaries_and_end(int signal_number) {
    zeph::remove_replacement_temporaries();
    zeph::switch_mouse_reporting_off_now();
    std::raise(signal_number);   // the disposition is the default again (SA_RESETHAND)
}

void install_crash_handlers() {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_end;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS})
        sigaction(signal_number, &action, nullptr);
}
}  // namespace

int main(int argc, char** argv) {
    using namespace zeph;
    // A file size limit is an ordinary write error ("Error writing file:"), not the end of the run.
    std::signal(SIGXFSZ, SIG_IGN);
    // Before the terminal opens, so that ncurses keeps out of these signals.
    install_stop_handlers();
    install_crash_handlers();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    StartupArguments startup = classify_arguments(arguments);
    // --help and --version answer before anything is opened or written.
    if (startup.show_help) {
        std::fputs(usage_text(find_program_directory(false)).c_str(), stdout);
        return 0;
    }
    if (startup.show_version) {
        std::printf("zeph %s\n", ZEPH_VERSION);
        return 0;
    }
    if (!startup.unknown_option.empty()) {
        std::fprintf(stderr, "zeph: unknown option: %s (zeph --help lists them)\n", startup.unknown_option.c_str());
        return kExitCannotStart;
    }
    if (startup.show_syntax) {
        std::printf("%s\n", std::string(kSyntaxLine).c_str());
        return 0;
    }

    std::unique_ptr<TerminalPresenter> terminal;
    if (::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO)) terminal = TerminalPresenter::open();
    std::unique_ptr<Presenter> headless_presenter;
    std::unique_ptr<KeySource> keys;
    TextConsole console;
    if (terminal) {
        keys = std::make_unique<TerminalKeySource>(*terminal);
        console.set_presenter(terminal.get());
    } else {
        headless_presenter = std::make_unique<HeadlessPresenter>(stdout);
        keys = std::make_unique<StreamKeySource>(stdin, headless_presenter.get());
        console.set_presenter(headless_presenter.get());
    }
    console.clear();
    std::unique_ptr<TerminalPlotScreen> plot_screen;
    if (terminal) plot_screen = std::make_unique<TerminalPlotScreen>(*terminal);

    Interpreter interpreter;
    Session session(console, *keys, interpreter);
    session.plot.terminal_screen = plot_screen.get();
    session.program_directory = find_program_directory(true, &session.files_problem);
    // The display lost under a plot window ends the run at once, as a hang-up does.
    on_display_lost([&] {
        end_program(session);
        terminal.reset();
    });
    startup.scripted = startup.nopause || !terminal;
    if (!terminal) session.input.report.set_error_stream(stderr);
    session.input.report.set_fail_fast(startup.fail_fast);
    const Status started = start_session(session, startup);
    if (!started) {
        keys.reset();
        terminal.reset();
        std::fprintf(stderr, "zeph: %s\n", started.message.c_str());
        return kExitCannotStart;
    }
    run_command_loop(session);
    // A signal ended the run as EN does; the terminal is given back before exit.
    if (const int signal_number = stop_signal()) {
        keys.reset();
        terminal.reset();
        return 128 + signal_number;
    }
    // A script (headless, or a NOPAUSE replay) tells whether any error was shown.
    return startup.scripted && session.input.report.errors() > 0 ? kExitErrorShown : 0;
}
