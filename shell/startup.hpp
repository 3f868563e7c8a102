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
    bool fail_fast = false;     // --fail-fast: the first error message ends the run
    std::string unknown_option; // an argument beginning "--" that is none of these
    bool scripted = false;      // standard input is not a terminal: a replay that cannot be read ends the start
    std::string replay_file;    // empty: the default replay file
    std::string directory;      // the directory part of the real-part file name, when given
    std::string real_file_name;
    std::string imag_file_name;
};

// Classifies the arguments by their upper-cased text; file names keep their case.
StartupArguments classify_arguments(const std::vector<std::string>& arguments);

// Splits a path at its last "/" (or "\"): directory (empty when none) and name.
void split_path(std::string_view path, std::string& directory, std::string& name);

// Where the reply log, the replay file and STATS.TXT are kept, ending in "/":
// the running program's folder when it is writable and not named "bin";
// otherwise (an installation) $XDG_STATE_HOME/zeph/ (default
// ~/.local/state/zeph/), created mode 0700 unless `create` is false, and
// refused when another user owns it or others may write it. Empty, with the
// reason in `problem`, when there is no such folder: the run keeps no files then.
std::string find_program_directory(bool create = true, std::string* problem = nullptr);
std::string choose_files_directory(const std::filesystem::path& program_folder, bool create,
                                   std::string* problem = nullptr);

// Without HOME or XDG_STATE_HOME there is no folder of the user's to keep the files in.
inline constexpr std::string_view kNoFilesFolder = "No reply log: neither HOME nor XDG_STATE_HOME is set.";

// The text of --help; `files_directory` is where the log and replay files are kept.
std::string usage_text(std::string_view files_directory);

// A second run in the same folder: the log of this run is named in the transcript.
inline constexpr std::string_view kSeparateLogNotice = "ZEPH32.TMP is in use by another run; this run logs to ";

// Sets up the session: replay file, directory, reply log, storage. A failed
// allocation, or a replay file that a script (NOPAUSE or no terminal) names
// and that cannot be read, returns the message that ends the start.
Status start_session(Session& session, const StartupArguments& arguments);

}  // namespace zeph
