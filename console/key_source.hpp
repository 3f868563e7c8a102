#pragma once
// Where keys and reply lines come from: the terminal, a plot window, a
// headless input stream or a test script.
//
// Keys are the text console's codes: an extended key arrives as 0xE0 followed
// by its code letter ('K' left, 'M' right, 'H' up, 'P' down, 'I' PgUp,
// 'Q' PgDn, 'G' Home, 'O' End, 'S' Delete, 's' Ctrl+Left, 't' Ctrl+Right);
// Esc is 27, Enter 13, Backspace 8, Ctrl+V 22, Ctrl+A 1, Ctrl+E 5. No read
// waits for ever: at the end of input read_key returns Esc and read_line
// returns nothing (END).
//
// A typed character beyond ASCII arrives as its UTF-8 bytes, one per read_key
// and all of them at once. The lead byte 0xE0 (U+0800..U+0FFF) looks like the
// extended-key prefix; the byte after it tells them apart, since a key's code
// letter is ASCII and a continuation byte is 0x80..0xBF. read_typed_key does
// that assembly for readers that take text.
#include <optional>
#include <string>

#include "console/pointer.hpp"

namespace zeph {

inline constexpr int kKeyExtended = 0xE0;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyPaste = 22;
inline constexpr int kKeyCtrlA = 1, kKeyCtrlE = 5;
inline constexpr int kKeyLeft = 'K', kKeyRight = 'M', kKeyUp = 'H', kKeyDown = 'P';
inline constexpr int kKeyPageUp = 'I', kKeyPageDown = 'Q', kKeyHome = 'G', kKeyEnd = 'O';
inline constexpr int kKeyDelete = 'S', kKeyCtrlLeft = 's', kKeyCtrlRight = 't';
// Not a key: a report of the mouse is waiting (take_pointer), while a plot takes them.
inline constexpr int kKeyPointer = 0x100;

class KeySource;

// One key as a text reader takes it.
struct TypedKey {
    enum class Kind {
        plain,       // `code` is a console key or an ASCII character
        extended,    // `code` is the code letter that followed kKeyExtended
        character,   // `character` is a typed character beyond ASCII
        none,        // bytes that form no valid UTF-8 character: ignore
    };
    Kind kind = Kind::none;
    int code = 0;
    char32_t character = 0;
    bool operator==(const TypedKey&) const = default;
};

// Reads one key, assembling a non-ASCII character from its UTF-8 bytes.
TypedKey read_typed_key(KeySource& keys);

class KeySource {
public:
    virtual ~KeySource() = default;
    // Headless sources read whole reply lines instead of editing keys.
    virtual bool line_mode() const { return false; }
    // One key (0..255). After kKeyExtended the next call returns the code;
    // a non-ASCII character comes as its UTF-8 bytes (see above).
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
    // While `on`, a report of the mouse over the terminal is read as
    // kKeyPointer and taken with take_pointer (x, y in cells from 0); while
    // off, reports are dropped. Sources without a mouse ignore both.
    virtual void take_pointer_reports(bool on) { (void)on; }
    virtual std::optional<PointerReport> take_pointer() { return std::nullopt; }
};

}  // namespace zeph
