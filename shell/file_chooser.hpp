#pragma once
// The file chooser behind a "*" reply to a file-name prompt: drawn in the text
// window above the prompt block, it lists the current directory's
// sub-directories and the files that match the selected filter. Tab switches
// the filter, the arrow keys, PgUp/PgDn, Home and End move, Enter opens a
// directory or picks a file, Esc cancels. Headless, the next input line is
// the path.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kDataFilesFilter = "Data Files(*.DAT, *.RE, *.IM, *.WAV)";
inline constexpr std::string_view kAllFilesFilter = "All files(*.*)";

enum class FileFilter { data_files, all_files };

// Rows 1..44 belong to the chooser; the prompt block below stays as it is.
inline constexpr int kChooserFirstRow = 1, kChooserLastRow = 44;

struct ChooserEntry {
    std::string name;
    bool is_directory = false;
    bool operator==(const ChooserEntry&) const = default;
};

// Data files end in .DAT, .RE, .IM or .WAV in any case; all files match *.*.
bool matches_filter(std::string_view file_name, FileFilter filter);

// The entries of `directory` for `filter`: ".." first (except at the root),
// then the sub-directories, then the matching files, each group sorted by
// name ignoring case. An unreadable directory lists ".." alone.
std::vector<ChooserEntry> list_directory(const std::filesystem::path& directory, FileFilter filter);

// Lets the user pick a file. Returns its full path, or "" when cancelled. At
// the end of the headless input it also asks the program to end, as a prompt does.
std::string choose_file(Session& session);

}  // namespace zeph
