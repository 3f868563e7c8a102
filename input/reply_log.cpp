#include "input/reply_log.hpp"

#include <array>

#include "base/read_line.hpp"
#include "base/text.hpp"
#include "base/utf8.hpp"
#include "base/replace_file.hpp"

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

bool is_unlogged_reply(std::string_view reply) {
    static constexpr std::array<std::string_view, 7> kUnlogged{"*", "rl", "RL", "end", "en", "EN", "END"};
    const std::string trimmed = trim_right(reply);
    for (auto word : kUnlogged)
        if (trimmed == word) return true;
    return false;
}

ReplyLog::~ReplyLog() {
    if (file_) std::fclose(file_);
}

Status ReplyLog::create(const std::string& path, std::string_view directory, std::string_view real_name,
                        std::string_view imag_name) {
    if (file_) std::fclose(file_);
    path_ = path;
    write_failed_ = failure_reported_ = false;
    file_ = std::fopen(path.c_str(), "w+");
    if (!file_) return Status::failure(std::string(kCannotOpenFile) + path);
    for (auto header : {directory, real_name, imag_name}) {
        const std::string line = trim_right(header);
        if (std::fprintf(file_, "%s\n", line.c_str()) < 0) write_failed_ = true;
    }
    if (std::fflush(file_) != 0) write_failed_ = true;
    header_end_ = std::ftell(file_);
    return Status::success();
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
    // Keep the three header lines; the replies of the replay replace the old ones.
    std::fflush(file_);
    std::string header(static_cast<std::size_t>(header_end_), '\0');
    std::rewind(file_);
    const bool read_back = std::fread(header.data(), 1, header.size(), file_) == header.size();
    std::fseek(file_, 0, SEEK_END);
    if (!read_back) return;
    file_ = std::freopen(path_.c_str(), "w+", file_);
    if (!file_) return;
    // The fresh log holds no reply yet: it is whole again when its header is.
    write_failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size() || std::fflush(file_) != 0;
}

Status ReplyLog::save_as(const std::string& path) {
    const Status failed = Status::failure(std::string(kErrorWritingFile) + path);
    // A log that missed a reply would replay every later reply one question
    // off: the file saved before is kept rather than replaced by it.
    if (!file_ || write_failed_ || std::fflush(file_) != 0) return failed;
    std::rewind(file_);
    ReplacementFile out(path);
    bool ok = out.is_open();
    while (ok) {
        auto line = read_line(file_);
        if (!line) break;
        const std::string trimmed = trim_right(first_characters(*line, kSavedLineLength));
        ok = std::fprintf(out.get(), "%s\n", trimmed.c_str()) >= 0;
    }
    ok = ok && !std::ferror(file_);
    if (!ok) out.discard();
    ok = out.commit() && ok;
    std::fseek(file_, 0, SEEK_END);
    return ok ? Status::success() : failed;
}

ReplayFile::~ReplayFile() { close(); }

bool ReplayFile::open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "r");
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
