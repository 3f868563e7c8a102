#include "input/reply_log.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/read_line.hpp"
#include "base/text.hpp"
#include "base/utf8.hpp"
#include "base/open_file.hpp"
#include "base/private_file.hpp"

namespace zeph {

namespace {
constexpr std::size_t kMinimumReplyWidth = 10;
constexpr std::size_t kSavedLineLength = 132;
constexpr std::size_t kLongestLine = 4096;   // longer replay lines are cut, never unbounded

std::optional<std::string> read_line(std::FILE* file) { return read_text_line(file, kLongestLine); }
}  // namespace

std::string format_reply_record(std::string_view reply, std::string_view prompt) {
    std::string record = trim_right(reply);
    const std::size_t width = character_count(record);
    if (width < kMinimumReplyWidth) record.append(kMinimumReplyWidth - width, ' ');
    record += kReplyMarker;
    record += trim_right(prompt);
    return record;
}

std::string reply_from_record(std::string_view line) {
    const auto marker = line.find("*!");
    return std::string(marker == std::string_view::npos ? line : line.substr(0, marker));
}

namespace {
bool is_name_character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
}  // namespace

std::optional<std::string> expand_variables(std::string_view reply, std::string& missing) {
    std::string result;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (reply[i] != '$' || i + 1 == reply.size()) {
            result.push_back(reply[i]);
            continue;
        }
        if (reply[i + 1] == '$') {
            result.push_back('$');
            ++i;
            continue;
        }
        std::size_t end = i + 2;
        while (end < reply.size() && is_name_character(reply[end])) ++end;
        const bool named = reply[i + 1] == '{' && end > i + 2 && end < reply.size() && reply[end] == '}';
        if (!named) {
            result.push_back('$');
            continue;
        }
        const std::string name(reply.substr(i + 2, end - i - 2));
        const char* value = std::getenv(name.c_str());
        if (!value) {
            missing = name;
            return std::nullopt;
        }
        result += value;
        i = end;
    }
    return result;
}

bool is_unlogged_reply(std::string_view reply) {
    static constexpr std::array<std::string_view, 7> kUnlogged{"*", "rl", "RL", "end", "en", "EN", "END"};
    const std::string trimmed = trim_right(reply);
    for (auto word : kUnlogged)
        if (trimmed == word) return true;
    return false;
}

ReplyLog::~ReplyLog() { close(); }

namespace {
// A second run that finds the log locked keeps its own beside it: "ZEPH32.TMP" -> "ZEPH32-<pid>.TMP".
std::string separate_log_path(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string pid = "-" + std::to_string(::getpid());
    return has_extension ? path.substr(0, dot) + pid + path.substr(dot) : path + pid;
}

// Opens the log for this run alone: a regular file of the user's, locked;
// -1 with the reason when it cannot be, or with `busy` set when another run holds it.
int open_locked_log(const std::string& path, bool& busy, std::string& why) {
    busy = false;
    const int fd = open_private_file(path, O_RDWR | O_CREAT, why);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        busy = errno == EWOULDBLOCK;
        why = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}
}  // namespace

Status ReplyLog::create(const std::string& path, std::string_view directory, std::string_view real_name,
                        std::string_view imag_name) {
    close();
    path_ = path;
    write_failed_ = failure_reported_ = false;
    bool busy = false;
    std::string why;
    int fd = open_locked_log(path, busy, why);
    if (fd < 0 && busy) {
        path_ = separate_log_path(path);
        separate_ = true;
        fd = open_locked_log(path_, busy, why);
    }
    if (fd < 0) return Status::failure(std::string(kCannotOpenFile) + path_ + " (" + why + ")");
    // Emptied only once this run holds the lock, so another run's log is never cut.
    if (::ftruncate(fd, 0) != 0 || !(file_ = ::fdopen(fd, "w+"))) {
        ::close(fd);
        return Status::failure(std::string(kCannotOpenFile) + path_);
    }
    write_header(directory, real_name, imag_name);
    return Status::success();
}

void ReplyLog::write_header(std::string_view directory, std::string_view real_name, std::string_view imag_name) {
    header_.clear();
    for (auto line : {directory, real_name, imag_name}) {
        header_ += trim_right(line);
        header_ += '\n';
    }
    if (std::fwrite(header_.data(), 1, header_.size(), file_) != header_.size()) write_failed_ = true;
    if (std::fflush(file_) != 0) write_failed_ = true;
}

void ReplyLog::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (separate_) ::unlink(path_.c_str());   // its replies were saved by EN, or are of no use
    separate_ = false;
}

void ReplyLog::append(std::string_view record) {
    if (!file_) return;
    if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() || std::fputc('\n', file_) == EOF)
        write_failed_ = true;
    if (std::fflush(file_) != 0) write_failed_ = true;
}

std::optional<std::string> ReplyLog::failure_notice() {
    if (!write_failed_ || failure_reported_) return std::nullopt;
    failure_reported_ = true;
    return std::string(kErrorWritingFile) + path_;
}

void ReplyLog::rewind_replies() {
    if (!file_) return;
    // Keep the three header lines; the replies of the replay replace the old
    // ones. The file is emptied in place: it stays this run's, locked.
    std::fflush(file_);
    std::rewind(file_);
    if (::ftruncate(fileno(file_), 0) != 0) {
        write_failed_ = true;
        return;
    }
    // The fresh log holds no reply yet: it is whole again when its header is.
    write_failed_ = std::fwrite(header_.data(), 1, header_.size(), file_) != header_.size() || std::fflush(file_) != 0;
}

Status ReplyLog::save_as(const std::string& path) {
    const Status failed = Status::failure(std::string(kErrorWritingFile) + path);
    // A log that missed a reply would replay every later reply one question
    // off: the file saved before is kept rather than replaced by it.
    if (!file_ || write_failed_ || std::fflush(file_) != 0) return failed;
    std::rewind(file_);
    std::string content;
    while (auto line = read_line(file_)) {
        content += trim_right(first_characters(*line, kSavedLineLength));
        content += '\n';
    }
    const bool read_whole = !std::ferror(file_);
    std::fseek(file_, 0, SEEK_END);
    if (!read_whole) return failed;
    // Replaced whole in one rename: runs that end at once leave one complete log.
    return replace_private_file(path, content);
}

ReplayFile::~ReplayFile() { close(); }

bool ReplayFile::open(const std::string& path) {
    close();
    file_ = open_file_without_waiting(path, "r");   // a named pipe without a writer must not hang the start
    return file_ != nullptr;
}

bool ReplayFile::open_program_file(const std::string& path) {
    close();
    std::string why;
    const int fd = open_private_file(path, O_RDONLY, why);
    if (fd < 0) return false;
    file_ = ::fdopen(fd, "r");
    if (!file_) ::close(fd);
    return file_ != nullptr;
}

void ReplayFile::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

std::optional<std::string> ReplayFile::next_line() {
    if (!file_) return std::nullopt;
    return read_line(file_);
}

}  // namespace zeph
