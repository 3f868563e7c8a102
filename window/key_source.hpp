#pragma once
// Where keys and reply lines come from: the terminal, a plot window, a
// headless input stream or a test script.
//
// Keys are the text console's codes: an extended key arrives as 0xE0 followed
// by its code letter ('K' left, 'M' right, 'H' up, 'P' down, 'I' PgUp,
// 'Q' PgDn, 'G' Home, 'O' End, 'S' Delete, 's' Ctrl+Left, 't' Ctrl+Right);
// Esc is 27, Enter 13, Backspace 8, Ctrl+V 22. No read waits for ever: at the
// end of input read_key returns Esc and read_line returns nothing (END).
#include <optional>
#include <string>

namespace zeph {

inline constexpr int kKeyExtended = 0xE0;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyPaste = 22;
inline constexpr int kKeyLeft = 'K', kKeyRight = 'M', kKeyUp = 'H', kKeyDown = 'P';
inline constexpr int kKeyPageUp = 'I', kKeyPageDown = 'Q', kKeyHome = 'G', kKeyEnd = 'O';
inline constexpr int kKeyDelete = 'S', kKeyCtrlLeft = 's', kKeyCtrlRight = 't';

class KeySource {
public:
    virtual ~KeySource() = default;
    // Headless sources read whole reply lines instead of editing keys.
    virtual bool line_mode() const { return false; }
    // One key (0..255). After kKeyExtended the next call returns the code.
    virtual int read_key() = 0;
    // A key that is already waiting, -1 when none is: for looking at this
    // source while waiting for keys from somewhere else (the plot window).
    // At the end of input it returns Esc like read_key.
    virtual int poll_key() = 0;
    // One reply line (line mode only); nothing at the end of input.
    virtual std::optional<std::string> read_line() { return std::nullopt; }
    // The desktop clipboard's text, empty when there is none.
    virtual std::string clipboard_text() { return {}; }
    // True once no more keys can come (the terminal has gone away): every
    // read then returns Esc at once.
    virtual bool input_ended() const { return false; }
};

}  // namespace zeph
