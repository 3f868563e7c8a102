#pragma once
// The headless front end: standard input is not a terminal. Replies are read
// as whole lines from a stream, and the program's text output becomes a plain
// transcript, one line per text line, without colours or escape codes.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "base/utf8.hpp"
#include "console/key_source.hpp"
#include "console/text_console.hpp"

namespace zeph {

// One key in the console's terms: a plain byte, or an extended key that
// arrives as kKeyExtended followed by `code`.
struct ConsoleKey {
    int code = 0;
    bool extended = false;
    bool operator==(const ConsoleKey&) const = default;
};

// The key a headless reply line stands for: an empty line is Enter; a line
// that is exactly a key name such as <ESC>, <LEFT> or <CTRL-RIGHT> (any case)
// is that key; otherwise the line's first byte (of a non-ASCII character,
// its UTF-8 lead byte).
ConsoleKey key_from_reply_line(std::string_view line);

// Prints every transcript line to a stream (standard output by default) as
// UTF-8 (a byte that is no valid UTF-8 becomes U+FFFD), flushed line by line
// so a reader on a pipe sees each prompt as it comes.
class HeadlessPresenter : public Presenter {
public:
    explicit HeadlessPresenter(std::FILE* out = stdout) : out_(out) {}
    void transcript(std::string_view line) override;

private:
    std::FILE* out_;
};

// Reads reply lines from a stream (standard input by default). The stream is
// read unbuffered, so that what poll_key sees waiting on its descriptor is all
// that has been sent and nothing is held back in a buffer.
class StreamKeySource : public KeySource {
public:
    // Longer lines are cut to this many bytes; the rest of the line is skipped.
    static constexpr std::size_t kMaxLineBytes = 4096;

    // Each key taken is written to `transcript` (when given) as the reply
    // line named it, so a script's replies line up with what used them.
    explicit StreamKeySource(std::FILE* in = stdin, Presenter* transcript = nullptr);

    bool line_mode() const override { return true; }
    // Consumes one line (see key_from_reply_line); Esc at the end of input.
    int read_key() override;
    // read_key when a line (or the end of input) is waiting, else -1.
    int poll_key() override;
    // The next line without its line break (a trailing \r is dropped too);
    // nothing at the end of input.
    std::optional<std::string> read_line() override;

private:
    // A line from the stream's descriptor, read in blocks (a long script or a
    // huge line costs a system call per block, not per byte).
    std::optional<std::string> read_line_in_blocks(int fd);
    bool has_buffered_line() const { return next_ < buffer_.size() || end_of_input_; }

    std::FILE* in_;
    Presenter* transcript_;
    int pending_code_ = -1;   // the code of an extended key already announced
    std::string buffer_;      // bytes read ahead of the lines taken
    std::size_t next_ = 0;    // the first byte of buffer_ not taken yet
    bool end_of_input_ = false;
};

}  // namespace zeph
