#pragma once
// Scripted input and a recording presenter, for driving dialogues in tests.
//
//   ScriptKeySource keys;
//   keys.text("SP PO DB PL").enter().extended(kKeyUp).escape();
//
// Line mode replays reply lines instead, as the headless front end reads them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/key_source.hpp"
#include "console/text_console.hpp"

namespace zeph {

class ScriptKeySource : public KeySource {
public:
    ScriptKeySource() = default;
    // Keys one byte each, in order.
    explicit ScriptKeySource(std::string keys) : keys_(std::move(keys)) {}
    // A line-mode source: read_line returns these lines, read_key consumes
    // one line the way the headless source does (empty = Enter, <ESC>, ...).
    static ScriptKeySource from_lines(std::vector<std::string> lines);

    ScriptKeySource& text(std::string_view bytes);
    ScriptKeySource& key(int code);
    ScriptKeySource& enter() { return key(kKeyEnter); }
    ScriptKeySource& escape() { return key(kKeyEscape); }
    ScriptKeySource& backspace() { return key(kKeyBackspace); }
    ScriptKeySource& paste() { return key(kKeyPaste); }
    // kKeyExtended followed by `code` (kKeyLeft, kKeyHome, ...).
    ScriptKeySource& extended(int code);
    // Appends a reply line (line mode).
    ScriptKeySource& line(std::string_view reply);

    void set_clipboard(std::string text) { clipboard_ = std::move(text); }

    // Keys (or lines, in line mode) not read yet.
    std::size_t remaining() const;
    bool exhausted() const { return remaining() == 0; }

    bool line_mode() const override { return line_mode_; }
    int read_key() override;   // Esc once exhausted
    int poll_key() override { return read_key(); }   // a script's keys are all there
    std::optional<std::string> read_line() override;
    std::string clipboard_text() override { return clipboard_; }

private:
    std::string keys_;
    std::size_t next_key_ = 0;
    bool line_mode_ = false;
    std::vector<std::string> lines_;
    std::size_t next_line_ = 0;
    int pending_code_ = -1;   // extended code announced by a line-mode key
    std::string clipboard_;
};

struct BeepRecord {
    int hz = 0;
    int ms = 0;
    bool operator==(const BeepRecord&) const = default;
};

// Collects what a presenter is given, for tests to inspect.
class RecordingPresenter : public Presenter {
public:
    void refresh(const TextConsole&) override { ++refreshes; }
    void transcript(std::string_view line) override { lines.emplace_back(line); }
    void beep(int hz, int ms) override { beeps.push_back({hz, ms}); }
    int rows() const override { return terminal_rows; }

    int terminal_rows = kFullRows;   // the height of the terminal it stands for
    std::vector<std::string> lines;
    std::vector<BeepRecord> beeps;
    int refreshes = 0;
};

}  // namespace zeph
