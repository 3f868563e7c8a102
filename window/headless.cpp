#include "window/headless.hpp"

#include "base/stop_request.hpp"

#include <algorithm>
#include <csignal>
#include <array>

#include "base/read_line.hpp"
#include "base/text.hpp"

#include <poll.h>

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
    if (fd >= 0) {
        pollfd request{fd, POLLIN, 0};
        if (::poll(&request, 1, 0) <= 0) return -1;
    }
    return read_key();
}

std::optional<std::string> StreamKeySource::read_line() {
    return read_text_line(in_, kMaxLineBytes, true);
}

}  // namespace zeph
