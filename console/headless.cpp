#include "console/headless.hpp"

#include "base/stop_request.hpp"

#include <algorithm>
#include <csignal>
#include <array>

#include "base/read_line.hpp"
#include "base/text.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zeph {

namespace {

struct KeyName {
    std::string_view name;
    ConsoleKey key;
};

constexpr std::array kKeyNames{
    KeyName{"<ESC>", {kKeyEscape, false}},        KeyName{"<ENTER>", {kKeyEnter, false}},
    KeyName{"<LEFT>", {kKeyLeft, true}},          KeyName{"<RIGHT>", {kKeyRight, true}},
    KeyName{"<UP>", {kKeyUp, true}},              KeyName{"<DOWN>", {kKeyDown, true}},
    KeyName{"<PGUP>", {kKeyPageUp, true}},        KeyName{"<PGDN>", {kKeyPageDown, true}},
    KeyName{"<HOME>", {kKeyHome, true}},          KeyName{"<END>", {kKeyEnd, true}},
    KeyName{"<DEL>", {kKeyDelete, true}},         KeyName{"<CTRL-LEFT>", {kKeyCtrlLeft, true}},
    KeyName{"<CTRL-RIGHT>", {kKeyCtrlRight, true}},
};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upper_letter(x) == upper_letter(y);
           });
}

}  // namespace

ConsoleKey key_from_reply_line(std::string_view line) {
    if (line.empty()) return {kKeyEnter, false};
    for (const KeyName& k : kKeyNames) {
        if (equal_ignoring_case(line, k.name)) return k.key;
    }
    return {static_cast<unsigned char>(line.front()), false};
}

void HeadlessPresenter::transcript(std::string_view line) {
    if (!out_) return;
    std::u32string characters = decode_text(line);
    // Control characters (from SY output, a file name, a key reply) would act
    // on the reader's terminal: they are written as blanks, as in replies.
    for (char32_t& c : characters)
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = U' ';
    const std::string text = encode_text(characters);
    const bool written = std::fwrite(text.data(), 1, text.size(), out_) == text.size() &&
                         std::fputc('\n', out_) != EOF && std::fflush(out_) == 0;
    // The reader went away (a closed pipe): the run ends as on a signal, its replies saved.
    if (!written) {
        out_ = nullptr;
        request_stop(SIGPIPE);
    }
}

StreamKeySource::StreamKeySource(std::FILE* in, Presenter* transcript) : in_(in), transcript_(transcript) {
    if (in_) std::setvbuf(in_, nullptr, _IONBF, 0);
}

int StreamKeySource::read_key() {
    if (pending_code_ >= 0) {
        const int code = pending_code_;
        pending_code_ = -1;
        return code;
    }
    const std::optional<std::string> line = read_line();
    if (!line) return kKeyEscape;
    if (transcript_) transcript_->transcript(line->empty() ? "<ENTER>" : *line);
    const ConsoleKey key = key_from_reply_line(*line);
    if (!key.extended) return key.code;
    pending_code_ = key.code;
    return kKeyExtended;
}

int StreamKeySource::poll_key() {
    if (pending_code_ >= 0 || !in_) return read_key();
    // A stream without a descriptor (in memory) never has to wait.
    const int fd = ::fileno(in_);
    if (fd >= 0 && !has_buffered_line()) {
        pollfd request{fd, POLLIN, 0};
        if (::poll(&request, 1, 0) <= 0) return -1;
    }
    return read_key();
}

std::optional<std::string> StreamKeySource::read_line() {
    if (!in_) return std::nullopt;
    const int fd = ::fileno(in_);
    // A stream in memory has no descriptor: read through stdio.
    return fd >= 0 ? read_line_in_blocks(fd) : read_text_line(in_, kMaxLineBytes, true);
}

std::optional<std::string> StreamKeySource::read_line_in_blocks(int fd) {
    constexpr std::size_t kBlockBytes = 64 * 1024;
    std::string line;
    bool any = false;
    for (;;) {
        if (stop_requested()) return std::nullopt;
        if (next_ < buffer_.size()) {
            any = true;
            const std::size_t end_of_line = buffer_.find('\n', next_);
            const std::size_t end = end_of_line == std::string::npos ? buffer_.size() : end_of_line;
            // Beyond the longest line the rest is skipped, never kept.
            if (line.size() < kMaxLineBytes) line.append(buffer_, next_, std::min(end - next_, kMaxLineBytes - line.size()));
            next_ = end_of_line == std::string::npos ? buffer_.size() : end_of_line + 1;
            if (end_of_line != std::string::npos) break;
            continue;
        }
        if (end_of_input_) break;
        buffer_.resize(kBlockBytes);
        next_ = 0;
        const ssize_t got = ::read(fd, buffer_.data(), kBlockBytes);
        buffer_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        if (got < 0 && errno == EINTR) continue;   // a signal: the next turn looks at the stop request
        if (got <= 0) end_of_input_ = true;
    }
    if (!any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace zeph
