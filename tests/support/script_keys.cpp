#include "tests/support/script_keys.hpp"

#include "console/headless.hpp"

namespace zeph {

ScriptKeySource ScriptKeySource::from_lines(std::vector<std::string> lines) {
    ScriptKeySource source;
    source.line_mode_ = true;
    source.lines_ = std::move(lines);
    return source;
}

ScriptKeySource& ScriptKeySource::text(std::string_view bytes) {
    keys_.append(bytes);
    return *this;
}

ScriptKeySource& ScriptKeySource::key(int code) {
    keys_.push_back(static_cast<char>(code & 0xFF));
    return *this;
}

ScriptKeySource& ScriptKeySource::extended(int code) {
    key(kKeyExtended);
    return key(code);
}

ScriptKeySource& ScriptKeySource::line(std::string_view reply) {
    line_mode_ = true;
    lines_.emplace_back(reply);
    return *this;
}

std::size_t ScriptKeySource::remaining() const {
    if (line_mode_) return lines_.size() - next_line_ + (pending_code_ >= 0 ? 1 : 0);
    return keys_.size() - next_key_;
}

int ScriptKeySource::read_key() {
    if (!line_mode_) {
        if (next_key_ >= keys_.size()) return kKeyEscape;
        return static_cast<unsigned char>(keys_[next_key_++]);
    }
    if (pending_code_ >= 0) {
        const int code = pending_code_;
        pending_code_ = -1;
        return code;
    }
    const std::optional<std::string> reply = read_line();
    if (!reply) return kKeyEscape;
    const ConsoleKey key = key_from_reply_line(*reply);
    if (!key.extended) return key.code;
    pending_code_ = key.code;
    return kKeyExtended;
}

std::optional<std::string> ScriptKeySource::read_line() {
    if (next_line_ >= lines_.size()) return std::nullopt;
    return lines_[next_line_++];
}

}  // namespace zeph
