#pragma once
// What a terminal sends, before it becomes keys: the bytes of a character in
// the locale's encoding put together (bytes that are no text refused), and
// the terminal's late answers to a query told apart from typed keys.
#include <cstddef>
#include <cwchar>
#include <vector>

namespace zeph {

// One input: a character (a code point) or, with `function_key`, a key code
// of the terminal library (an arrow, a resize).
struct TerminalInput {
    int code = 0;
    bool function_key = false;
    bool operator==(const TerminalInput&) const = default;
};

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
// positions (CSI 12;40 R). The terminal library hands such a sequence over
// as Esc followed by its characters; they are held until they either form
// an answer, dropped whole, or not, given back as keys.
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
