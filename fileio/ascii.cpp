#include "fileio/ascii.hpp"

#include "base/stop_request.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "fileio/byte_io.hpp"

namespace zeph {

namespace {

constexpr std::size_t kColumnTestWidth = 80;     // characters of the first line that decide the columns
constexpr std::size_t kMaxLineBytes = 1 << 20;   // a longer line in a file is a read failure
constexpr std::size_t kMaxNumberBytes = 64;      // a longer token is not a number

// The lines of a text, without their line ends ("\n" or "\r\n"): a whole text
// in memory, or a file read in blocks of kMaxLineBytes.
class TextLines {
public:
    explicit TextLines(std::string_view text) : data_(text.data()), end_(text.size()), at_end_(true) {}
    explicit TextLines(std::FILE* file) : file_(file), buffer_(kMaxLineBytes) { data_ = buffer_.data(); }

    // The next line; false at the end of the text or when a read failed (failed()).
    bool next(std::string_view& line);
    bool rewind();
    bool failed() const { return failed_; }

private:
    bool refill();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    const char* data_ = nullptr;
    std::size_t begin_ = 0;   // start of the unread text in data_
    std::size_t end_ = 0;     // end of the text available in data_
    bool at_end_ = false;     // nothing more to read from the file
    bool failed_ = false;
};

bool TextLines::next(std::string_view& line) {
    for (;;) {
        const char* start = data_ + begin_;
        const std::size_t available = end_ - begin_;
        const void* newline = available > 0 ? std::memchr(start, '\n', available) : nullptr;
        std::size_t length = 0;
        if (newline) {
            length = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
            begin_ += length + 1;
        } else if (at_end_) {
            if (available == 0) return false;
            length = available;   // a last line without a line end
            begin_ = end_;
        } else {
            if (!refill()) return false;
            continue;
        }
        if (length > 0 && start[length - 1] == '\r') --length;
        line = {start, length};
        return true;
    }
}

// Moves the unfinished line to the front of the buffer and reads more after it.
bool TextLines::refill() {
    const std::size_t rest = end_ - begin_;
    // A line longer than the buffer, or the run is ending: the read is abandoned.
    if (rest == buffer_.size() || stop_requested()) {
        failed_ = true;
        return false;
    }
    std::memmove(buffer_.data(), buffer_.data() + begin_, rest);
    begin_ = 0;
    end_ = rest;
    const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    end_ += got;
    if (got == 0) {
        if (std::ferror(file_)) {
            failed_ = true;
            return false;
        }
        at_end_ = true;
    }
    return true;
}

bool TextLines::rewind() {
    begin_ = 0;
    if (!file_) return true;
    end_ = 0;
    at_end_ = false;
    if (std::fseek(file_, 0, SEEK_SET) != 0) failed_ = true;
    return !failed_;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }

bool is_blank_line(std::string_view line) { return std::all_of(line.begin(), line.end(), is_blank); }

// Two columns when a separator stands between the first and the last
// non-blank character of the line's first kColumnTestWidth characters.
bool has_two_columns(std::string_view line) {
    line = line.substr(0, kColumnTestWidth);
    const auto first = std::find_if_not(line.begin(), line.end(), is_blank);
    const auto last = std::find_if_not(line.rbegin(), line.rend(), is_blank).base();
    return first < last && std::any_of(first, last - 1, is_separator);
}

// A number in the forms from_chars does not take: a leading "+", or an
// exponent letter D or Q (Fortran's double and quad precision exponents).
bool parse_fortran_number(std::string_view token, double& value) {
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
        if (!token.empty() && (token.front() == '-' || token.front() == '+')) return false;
    }
    if (token.empty() || token.size() > kMaxNumberBytes) return false;
    char text[kMaxNumberBytes];
    std::transform(token.begin(), token.end(), text, [](char c) {
        return (c == 'D' || c == 'd' || c == 'Q' || c == 'q') ? 'e' : c;
    });
    const char* end = text + token.size();
    const auto [stop, error] = std::from_chars(text, end, value);
    return error == std::errc() && stop == end;
}

// Reads the next value of a line, passing over the separators before it, and
// drops what was read from the line.
bool read_value(std::string_view& line, double& value) {
    const auto start = std::find_if_not(line.begin(), line.end(), is_separator);
    if (start == line.end()) return false;
    const char* first = line.data() + (start - line.begin());
    const char* last = line.data() + line.size();
    const auto [stop, error] = std::from_chars(first, last, value);
    if (error == std::errc() && (stop == last || is_separator(*stop))) {
        line.remove_prefix(static_cast<std::size_t>(stop - line.data()));
        return true;
    }
    const char* token_end = std::find_if(first, last, is_separator);
    if (!parse_fortran_number({first, static_cast<std::size_t>(token_end - first)}, value)) return false;
    line.remove_prefix(static_cast<std::size_t>(token_end - line.data()));
    return true;
}

// The next line that is not blank; false at the end of the text.
bool next_value_line(TextLines& lines, std::string_view& line) {
    while (lines.next(line)) {
        if (!is_blank_line(line)) return true;
    }
    return false;
}

// False when the text ends (or a read fails) before `count` lines are passed.
bool skip_lines(TextLines& lines, std::int64_t count) {
    std::string_view line;
    for (std::int64_t i = 0; i < count; ++i) {
        if (!lines.next(line)) return false;
    }
    return true;
}

// The sample of one line: the only value, or the second of two.
bool read_sample(std::string_view line, bool two_columns, double& value) {
    double abscissa = 0.0;
    if (two_columns && !read_value(line, abscissa)) return false;
    return read_value(line, value);
}

// XMIN and DX of a two-column file: the first values of its first two value lines.
bool read_two_column_grid(TextLines& lines, std::string_view first_line, AsciiRead& result) {
    double x1 = 0.0, x2 = 0.0;
    std::string_view second_line;
    if (!read_value(first_line, x1)) return false;
    if (!next_value_line(lines, second_line) || !read_value(second_line, x2)) return false;
    result.xmin = x1;
    result.dx = x2 - x1;
    return true;
}

AsciiRead unreadable_ascii(std::string_view file_name) {
    AsciiRead result;
    result.code = ReadStatus::Unsupported;
    result.status = Status::failure(message_with_name(kErrorReadingAscii, file_name));
    return result;
}

// The values into `result`; false when the text cannot be read or a value is unreadable.
bool read_values(TextLines& lines, const ReadRange& range, std::uint64_t byte_count, AsciiRead& result) {
    if (range.first < 1 || range.interval < 1) return false;
    std::string_view line;
    if (!next_value_line(lines, line)) return !lines.failed();   // no value anywhere: nothing to read
    result.two_columns = has_two_columns(line);
    if (result.two_columns && !read_two_column_grid(lines, line, result)) return false;
    if (!lines.rewind()) return false;

    const auto max_count = static_cast<std::size_t>(std::max(range.max_count, 0));
    // Every value line but the last needs two bytes at least.
    reserve_samples(result.samples, static_cast<std::size_t>(std::min<std::uint64_t>(max_count, byte_count / 2 + 1)));
    bool more = skip_lines(lines, std::int64_t{range.first} - 1);
    while (more && result.samples.size() < max_count && next_value_line(lines, line)) {
        double value = 0.0;
        if (!read_sample(line, result.two_columns, value)) return false;
        result.samples.emplace_back(value, 0.0);
        more = skip_lines(lines, std::int64_t{range.interval} - 1);
    }
    // The lines the range would take beyond the maximum count, counted unread.
    result.available = result.samples.size();
    while (more && next_value_line(lines, line)) {
        ++result.available;
        more = skip_lines(lines, std::int64_t{range.interval} - 1);
    }
    if (lines.failed()) return false;
    result.xmin += static_cast<double>(range.first - 1) * result.dx;
    result.dx *= static_cast<double>(range.interval);
    return true;
}

AsciiRead read_ascii(TextLines& lines, const ReadRange& range, std::uint64_t byte_count, std::string_view file_name) {
    AsciiRead result;
    if (!read_values(lines, range, byte_count, result)) return unreadable_ascii(file_name);
    return result;
}

}  // namespace

AsciiRead read_ascii_file(const std::string& file_name, const ReadRange& range) {
    OpenedFile opened = open_for_reading(std::string(trimmed_file_name(file_name)));
    if (opened.outcome != OpenOutcome::Opened) return unreadable_ascii(file_name);
    TextLines lines(opened.file.get());
    return read_ascii(lines, range, opened.size, file_name);
}

AsciiRead read_ascii_text(std::string_view text, const ReadRange& range, std::string_view file_name) {
    TextLines lines(text);
    return read_ascii(lines, range, text.size(), file_name);
}

Status write_ascii_file(std::span<const double> values, AsciiLayout layout,
                        const std::string& file_name, double xmin, double dx) {
    const std::string name(trimmed_file_name(file_name));
    ReplacementFile file = create_output_file(name);
    if (!file) return Status::failure(message_with_name(kCannotOpenFile, name));
    LittleEndianWriter out(file.get());
    char line[64];
    for (std::size_t i = 0; i < values.size(); ++i) {
        // X from the index rather than by repeated addition, so it does not drift.
        const double x = xmin + static_cast<double>(i) * dx;
        const int length = layout == AsciiLayout::AbscissaAndValue
                               ? std::snprintf(line, sizeof line, " %23.15E, %23.15E\n", x, values[i])
                               : std::snprintf(line, sizeof line, " %23.15E\n", values[i]);
        out.text({line, static_cast<std::size_t>(length)});
    }
    return finish_output_file(std::move(file), out, name);
}

}  // namespace zeph
