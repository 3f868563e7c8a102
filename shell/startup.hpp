#pragma once
// Start-up: the command-line arguments, the program directory, the replay
// file, the reply log and the first allocation.
#include <filesystem>
#include <string>
#include <vector>

#include "shell/session.hpp"

namespace zeph {

struct StartupArguments {
    bool replay = false;        // RL or a file name ending in ".RL"
    bool nopause = false;       // NOPAUSE
    bool show_syntax = false;   // an argument containing "?"
    bool show_help = false;     // --help or -h
    bool show_version = false;  // --version
    std::string replay_file;    // empty: the default replay file
    std::string directory;      // the directory part of the real-part file name, when given
    std::string real_file_name;
    std::string imag_file_name;
};

// Classifies the arguments by their upper-cased text; file names keep their case.
StartupArguments classify_arguments(const std::vector<std::string>& arguments);

// Splits a path at its last "/" (or "\"): directory (empty when none) and name.
void split_path(std::string_view path, std::string& directory, std::string& name);

// The directory of the running program, ending in "/"; when it is not
// writable, $XDG_STATE_HOME/zeph/ (default ~/.local/state/zeph/), created on
// demand unless `create` is false.
std::string find_program_directory(bool create = true);
std::string choose_files_directory(const std::filesystem::path& program_folder, bool create);

// The text of --help; `files_directory` is where the log and replay files are kept.
std::string usage_text(std::string_view files_directory);

// Sets up the session: replay file, directory, reply log, storage. A failed
// allocation returns the message that ends the program.
Status start_session(Session& session, const StartupArguments& arguments);

}  // namespace zeph
