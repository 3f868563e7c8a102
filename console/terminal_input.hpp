#pragma once
// What a terminal sends, before it becomes keys: the bytes of a character in
// the locale's encoding put together (bytes that are no text refused), and
// the terminal's late answers to a query told apart from typed keys.
#include <cstddef>
#include <cwchar>
#include <optional>
#include <vector>

#include "console/pointer.hpp"

namespace zeph {

// A report of the mouse in xterm's SGR mode (CSI < b ; column ; row M, or m
// for a release), which xterm, kitty, foot, WezTerm, GNOME Terminal and tmux
// send while a plot has switched mouse reporting on.
struct SgrMouse {
    int button = 0;              // the b parameter: button, modifiers, motion, wheel
    int column = 1, row = 1;     // the cell, from 1
    bool released = false;
    bool operator==(const SgrMouse&) const = default;
};

// One input: a character (a code point) or, with `function_key`, a key code
// of the terminal library (an arrow, a resize), or a report of the mouse.
struct TerminalInput {
    int code = 0;
    bool function_key = false;
    std::optional<SgrMouse> mouse;
    bool operator==(const TerminalInput&) const = default;
};

// The pointer report of a mouse report, at the centre of its cell counted
// from 0 (x across, y down, in cells); nothing for buttons other than the
// first and for what is not a report a plot acts on.
std::optional<PointerReport> pointer_of(const SgrMouse& mouse);

// Switches the terminal's reporting of every mouse event in SGR form on, and off.
inline constexpr const char* kMouseReportingOn = "\x1b[?1003h\x1b[?1006h";
inline constexpr const char* kMouseReportingOff = "\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l";

// Puts characters together from bytes beyond ASCII in the encoding of the
// calling thread's LC_CTYPE locale: UTF-8 sequences in a UTF-8 locale, single
// bytes in a single-byte one; in the C locale no such byte is text.
class CharacterAssembler {
public:
    enum class Result { character, incomplete, refused };
    // Feeds one byte of 0x80..0xFF. On `character` the code point is in
    // `character`; on `refused` the bytes so far are dropped.
    Result feed(unsigned char byte, char32_t& character);
    // A character has begun and waits for its other bytes.
    bool incomplete() const { return pending_ > 0; }
    // Drops a begun character (its bytes did not all come).
    void reset();

private:
    std::mbstate_t state_{};
    int pending_ = 0;
};

// Drops the answers a terminal gives to the program's queries when they come
// too late to be read as answers: device attributes (CSI ? 62;4;22 c),
// text area and window sizes (CSI 4;800;640 t, CSI 8;50;80 t) and cursor
// positions (CSI 12;40 R); and makes mouse reports (CSI < 0;12;5 M) into
// one input each. The terminal library hands such a sequence over as Esc
// followed by its characters; they are held until they either form an
// answer, dropped whole, or a mouse report, or neither, given back as keys.
class LateAnswerFilter {
public:
    // Feeds one input; returns the inputs that are keys after all, in order.
    std::vector<TerminalInput> feed(TerminalInput input);
    // Something is held: the caller waits a moment for more before flush.
    bool holding() const { return !held_.empty(); }
    // Nothing more came: what is held is given back as keys.
    std::vector<TerminalInput> flush();

private:
    static constexpr std::size_t kLongestAnswer = 48;   // characters; a longer run is no answer
    std::vector<TerminalInput> held_;
};

}  // namespace zeph
