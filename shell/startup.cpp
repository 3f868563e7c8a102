#include "base/text.hpp"
#include "base/utf8.hpp"
#include "base/private_file.hpp"
#include "fileio/sample_file.hpp"
#include "shell/startup.hpp"
#include "shell/system_commands.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace zeph {

namespace {

bool is_writable_directory(const std::filesystem::path& directory) {
    return ::access(directory.c_str(), W_OK | X_OK) == 0;
}

std::string with_separator(std::string directory) {
    if (directory.empty() || directory.back() != '/') directory.push_back('/');
    return directory;
}

std::string current_directory() {
    std::error_code error;
    const auto path = std::filesystem::current_path(error);
    return error ? std::string(".") : path.string();
}
}  // namespace

void split_path(std::string_view path, std::string& directory, std::string& name) {
    const auto last = path.find_last_of("/\\");
    if (last == std::string_view::npos) {
        directory.clear();
        name = std::string(path);
        return;
    }
    // "/name" keeps the root as its directory.
    directory = last == 0 ? std::string("/") : std::string(path.substr(0, last));
    for (char& c : directory)
        if (c == '\\') c = '/';
    name = std::string(path.substr(last + 1));
}

StartupArguments classify_arguments(const std::vector<std::string>& arguments) {
    StartupArguments result;
    bool have_real = false;
    for (const std::string& argument : arguments) {
        const std::string upper = upper_case(argument);
        if (argument == "--help" || argument == "-h") {
            result.show_help = true;
        } else if (argument == "--version") {
            result.show_version = true;
        } else if (argument == "--fail-fast") {
            result.fail_fast = true;
        } else if (argument.starts_with("--")) {
            if (result.unknown_option.empty()) result.unknown_option = argument;
        } else if (upper == "RL") {
            result.replay = true;
        } else if (upper == "NOPAUSE") {
            result.nopause = true;
        } else if (upper.find('?') != std::string::npos) {
            result.show_syntax = true;
        } else if (upper.ends_with(".RL")) {
            result.replay = true;
            result.replay_file = argument;
        } else if (!have_real) {
            have_real = true;
            std::string directory, name;
            split_path(argument, directory, name);
            result.directory = directory;
            result.real_file_name = name;
        } else {
            std::string directory, name;
            split_path(argument, directory, name);
            result.imag_file_name = name;
        }
    }
    return result;
}

std::filesystem::path state_folder() {
    // The XDG rules take only an absolute XDG_STATE_HOME.
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/') return std::filesystem::path(xdg) / "zeph";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "state" / "zeph";
    return {};   // never a shared folder such as /tmp, which another user could make first
}

bool keeps_files_beside_program(const std::filesystem::path& program_folder) {
    // An installation (".../bin") keeps its files in the state folder, for root too.
    return !program_folder.empty() && program_folder.filename() != "bin" && is_writable_directory(program_folder);
}

std::string choose_files_directory(const std::filesystem::path& program_folder, bool create, std::string* problem) {
    if (problem) problem->clear();
    if (keeps_files_beside_program(program_folder)) return with_separator(program_folder);
    const std::filesystem::path state = state_folder();
    if (state.empty()) {
        if (problem) *problem = std::string(kNoFilesFolder);
        return {};
    }
    if (create) {
        if (Status prepared = prepare_private_folder(state.string()); !prepared) {
            if (problem) *problem = prepared.message;
            return {};
        }
    }
    return with_separator(state.string());
}

std::string find_program_directory(bool create, std::string* problem) {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return choose_files_directory(error ? std::filesystem::path() : executable.parent_path(), create, problem);
}

std::string usage_text(std::string_view files_directory) {
    std::string text =
        "Usage: zeph [real file] [imag file] [RL] [filename.RL] [NOPAUSE] [--fail-fast]\n"
        "       zeph --help | --version\n"
        "\n"
        "An interactive signal-analysis workbench: two signals, A and B, examined with\n"
        "two-letter command words (WA SP RE PO PL EN ...) typed at \"Enter command...\".\n"
        "\n"
        "Start-up arguments (the words in any case):\n"
        "  real file [imag file]  names offered by the first read; a directory part of\n"
        "                         the real file becomes the current directory\n"
        "  RL                     replay the replies of the previous run (ZEPH32.RL)\n"
        "  filename.RL            replay that file instead\n"
        "  NOPAUSE                wait for no keys; end the program when the replay ends\n"
        "  ?                      print the syntax line and exit\n"
        "  --fail-fast            end the run at the first error message (status 1)\n"
        "  --help, --version      print this text or the version and exit\n"
        "\n"
        "Exit status of a script (no terminal on standard input, or NOPAUSE): 0 when\n"
        "no error was shown, 1 when one was (each also on standard error), 2 when the\n"
        "run could not start (a missing replay file, an unknown option), 128 + n after\n"
        "signal n. An interactive run ends with 0.\n"
        "In replies read from a replay file ${NAME} is the environment variable NAME\n"
        "and $$ a dollar sign.\n"
        "\n"
        "Environment:\n"
        "  ZEPH_PLOT     where plots are shown: auto (default), window, sixel, kitty,\n"
        "                iterm, symbols or none (drawn off screen; exports still work)\n"
        "  ZEPH_THREADS  the most worker threads of the signal routines (default: all)\n"
        "  ZEPH_AUDIO    none turns sound off (AU plays, RC records through SDL)\n"
        "\n"
        "Files: the reply log ZEPH32.TMP, the replay file ZEPH32.RL (saved by EN) and\n"
        "the statistics log STATS.TXT are kept in the program's folder, or in\n"
        "$XDG_STATE_HOME/zeph (default ~/.local/state/zeph) when that is not writable\n"
        "or is named bin (an installation).\n"
        "For this program: ";
    text += files_directory;
    text +=
        "\n"
        "\n"
        "Without a terminal on standard input, replies are read one per line from it\n"
        "and a plain transcript goes to standard output.\n"
        "\n"
        "The manual: man zeph (or man -l docs/zeph.1 in the source tree).\n";
    return text;
}

Status start_session(Session& session, const StartupArguments& arguments) {
    Workspace& workspace = session.workspace;
    session.nopause = arguments.nopause;
    session.replay_file_name = arguments.replay_file.empty() ? program_replay_file(session) : arguments.replay_file;
    if (!arguments.directory.empty()) {
        std::error_code error;
        std::filesystem::current_path(arguments.directory, error);
    }
    workspace.real_file_name = arguments.real_file_name;
    workspace.imag_file_name = arguments.imag_file_name;

    session.input.source = InputSource::keyboard;
    if (arguments.replay && open_replay_file(session)) {
        session.input.source = arguments.nopause ? InputSource::replay_then_end : InputSource::replay_then_keyboard;
        const auto directory = session.input.replay.next_line();
        const auto real_name = session.input.replay.next_line();
        const auto imag_name = session.input.replay.next_line();
        if (directory && !trim_right(*directory).empty()) {
            std::error_code error;
            std::filesystem::current_path(trim_right(*directory), error);
        }
        if (real_name) workspace.real_file_name = trim_right(*real_name);
        if (imag_name) workspace.imag_file_name = trim_right(*imag_name);
    } else if (arguments.replay && arguments.scripted) {
        // A script that cannot be read must not pass for one that ran.
        return Status::failure(std::string(kCannotFindFile) + session.replay_file_name);
    }

    if (session.program_directory.empty()) {
        workspace.message_line = session.files_problem;
    } else if (Status created = session.input.log.create(session.program_directory + std::string(kReplyLogName),
                                                         current_directory(), workspace.real_file_name,
                                                         workspace.imag_file_name);
               !created) {
        workspace.message_line = created.message;
    } else if (session.input.log.is_separate()) {
        std::string directory, name;
        split_path(session.input.log.path(), directory, name);
        workspace.message_line = std::string(kSeparateLogNotice) + name;
    }

    if (Status allocated = allocate_storage(workspace, kInitialMaxPoints); !allocated) return allocated;
    workspace.read_max = workspace.max_points;
    return Status::success();
}

}  // namespace zeph
