#include "base/text.hpp"
#include "base/utf8.hpp"
#include "shell/startup.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace zeph {

namespace {
constexpr std::size_t kFileNameLength = 80;

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
            result.real_file_name = std::string(first_characters(name, kFileNameLength));
        } else {
            std::string directory, name;
            split_path(argument, directory, name);
            result.imag_file_name = std::string(first_characters(name, kFileNameLength));
        }
    }
    return result;
}

std::string choose_files_directory(const std::filesystem::path& program_folder, bool create) {
    if (!program_folder.empty() && is_writable_directory(program_folder)) return with_separator(program_folder);
    std::error_code error;
    std::filesystem::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) {
        state = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        state = std::filesystem::path(home) / ".local" / "state";
    } else {
        state = std::filesystem::temp_directory_path(error);
    }
    state /= "zeph";
    if (create) std::filesystem::create_directories(state, error);
    return with_separator(state.string());
}

std::string find_program_directory(bool create) {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return choose_files_directory(error ? std::filesystem::path() : executable.parent_path(), create);
}

std::string usage_text(std::string_view files_directory) {
    std::string text =
        "Usage: zeph [real file] [imag file] [RL] [filename.RL] [NOPAUSE]\n"
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
        "  --help, --version      print this text or the version and exit\n"
        "\n"
        "Environment:\n"
        "  ZEPH_PLOT     where plots are shown: auto (default), window, sixel, kitty,\n"
        "                iterm, symbols or none (drawn off screen; exports still work)\n"
        "  ZEPH_THREADS  the most worker threads of the signal routines (default: all)\n"
        "\n"
        "Files: the reply log ZEPH32.TMP, the replay file ZEPH32.RL (saved by EN) and\n"
        "the statistics log STATS.TXT are kept in the program's folder, or in\n"
        "$XDG_STATE_HOME/zeph (default ~/.local/state/zeph) when that is not writable.\n"
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
    session.replay_file_name = arguments.replay_file.empty()
                                   ? session.program_directory + std::string(kReplayFileName)
                                   : arguments.replay_file;
    if (!arguments.directory.empty()) {
        std::error_code error;
        std::filesystem::current_path(arguments.directory, error);
    }
    workspace.real_file_name = arguments.real_file_name;
    workspace.imag_file_name = arguments.imag_file_name;

    session.input.source = InputSource::keyboard;
    if (arguments.replay && session.input.replay.open(session.replay_file_name)) {
        session.input.source = arguments.nopause ? InputSource::replay_then_end : InputSource::replay_then_keyboard;
        const auto directory = session.input.replay.next_line();
        const auto real_name = session.input.replay.next_line();
        const auto imag_name = session.input.replay.next_line();
        if (directory && !trim_right(*directory).empty()) {
            std::error_code error;
            std::filesystem::current_path(trim_right(*directory), error);
        }
        if (real_name) workspace.real_file_name = std::string(first_characters(trim_right(*real_name), kFileNameLength));
        if (imag_name) workspace.imag_file_name = std::string(first_characters(trim_right(*imag_name), kFileNameLength));
    }

    const std::string log_path = session.program_directory + std::string(kReplyLogName);
    if (Status created = session.input.log.create(log_path, current_directory(), workspace.real_file_name,
                                                  workspace.imag_file_name);
        !created) {
        workspace.message_line = created.message;
    }

    if (Status allocated = allocate_storage(workspace, kInitialMaxPoints); !allocated) return allocated;
    workspace.read_max = workspace.max_points;
    return Status::success();
}

}  // namespace zeph
