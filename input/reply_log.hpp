#pragma once
// The reply log (ZEPH32.TMP) and the replay file (ZEPH32.RL).
//
// Both are line files: the working directory, the real-part file name and the
// imaginary-part file name, then one line per reply: the reply padded to at
// least 10 characters, "  *! " and the prompt. Both are UTF-8; a replay reads
// only the reply part, so a file whose prompts were written differently (the
// ASCII prompts of older versions) replays the same.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "base/status.hpp"

namespace zeph {

inline constexpr std::string_view kReplyMarker = "  *! ";

// One reply as the log records it.
std::string format_reply_record(std::string_view reply, std::string_view prompt);
// The reply part of a replay line: everything before the first "*!".
std::string reply_from_record(std::string_view line);
// A reply read from a replay file with ${NAME} replaced by the environment
// variable NAME (letters, digits and "_") and "$$" by "$"; any other "$" stays.
// Nothing, with the name in `missing`, when a variable named is not set.
std::optional<std::string> expand_variables(std::string_view reply, std::string& missing);
inline constexpr std::string_view kVariableNotSet = "Error. Environment variable not set: ";

// Replies that are neither logged nor kept in the history.
bool is_unlogged_reply(std::string_view reply);

class ReplyLog {
public:
    ReplyLog() = default;
    ~ReplyLog();
    ReplyLog(const ReplyLog&) = delete;
    ReplyLog& operator=(const ReplyLog&) = delete;

    // Creates the log anew with its three header lines, for this run alone:
    // the file is locked while the run lasts. When another run holds `path`,
    // the log is a file of this run's own beside it (see path(), is_separate()),
    // removed when the log is closed. A link, a named pipe or another user's
    // file at `path` is refused.
    Status create(const std::string& path, std::string_view directory, std::string_view real_name,
                  std::string_view imag_name);
    // Writes and flushes one reply; a failure is remembered (see failure_notice).
    void append(std::string_view record);
    // "Error writing file: " and the log's name, once, after a write failed.
    std::optional<std::string> failure_notice();
    // Starts the replies again after the header (a typed RL replays into a fresh log).
    void rewind_replies();
    // Copies the log to `path`, each line cut to 132 characters (never inside
    // one), trailing blanks removed. The old file is replaced only by a complete
    // copy of a log that lost no reply; otherwise it stays and the status has failed.
    Status save_as(const std::string& path);
    bool is_open() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }
    bool is_separate() const { return separate_; }
    // Closes the log (and removes it when it was this run's own).
    void close();

private:
    void write_header(std::string_view directory, std::string_view real_name, std::string_view imag_name);

    std::FILE* file_ = nullptr;
    std::string path_;
    std::string header_;
    bool separate_ = false;
    bool write_failed_ = false;
    bool failure_reported_ = false;
};

// The replay file, read line by line.
class ReplayFile {
public:
    ReplayFile() = default;
    ~ReplayFile();
    ReplayFile(const ReplayFile&) = delete;
    ReplayFile& operator=(const ReplayFile&) = delete;

    // A replay file the user named.
    bool open(const std::string& path);
    // The program's own replay file: never through a link, only a regular file of the user's.
    bool open_program_file(const std::string& path);
    void close();
    bool is_open() const { return file_ != nullptr; }
    // The next line without its end of line; nothing at the end of the file or on an error.
    std::optional<std::string> next_line();

private:
    std::FILE* file_ = nullptr;
};

}  // namespace zeph
