#include "plot/metafile_text.hpp"

#include <array>
#include <optional>

#include "base/utf8.hpp"

namespace zeph {

namespace {

// Windows-1252 bytes 0x80..0x9F and the characters they stand for (the other
// bytes of 0xA0..0xFF are Latin-1, the code point itself).
struct AnsiByte {
    char32_t character;
    unsigned char byte;
};
constexpr std::array kAnsiExtras{
    AnsiByte{U'€', 0x80}, AnsiByte{U'‚', 0x82}, AnsiByte{U'ƒ', 0x83}, AnsiByte{U'„', 0x84},
    AnsiByte{U'…', 0x85}, AnsiByte{U'†', 0x86}, AnsiByte{U'‡', 0x87}, AnsiByte{U'ˆ', 0x88},
    AnsiByte{U'‰', 0x89}, AnsiByte{U'Š', 0x8A}, AnsiByte{U'‹', 0x8B}, AnsiByte{U'Œ', 0x8C},
    AnsiByte{U'Ž', 0x8E}, AnsiByte{U'‘', 0x91}, AnsiByte{U'’', 0x92}, AnsiByte{U'“', 0x93},
    AnsiByte{U'”', 0x94}, AnsiByte{U'•', 0x95}, AnsiByte{U'–', 0x96}, AnsiByte{U'—', 0x97},
    AnsiByte{U'˜', 0x98}, AnsiByte{U'™', 0x99}, AnsiByte{U'š', 0x9A}, AnsiByte{U'›', 0x9B},
    AnsiByte{U'œ', 0x9C}, AnsiByte{U'ž', 0x9E}, AnsiByte{U'Ÿ', 0x9F},
    AnsiByte{U'μ', 0xB5},   // Greek mu: the micro sign looks the same
};

struct Substitute {
    char32_t character;
    std::string_view text;
};
constexpr std::array kSubstitutes{
    Substitute{U'−', "-"},      Substitute{U'√', "sqrt"},  Substitute{U'≤', "<="},
    Substitute{U'≥', ">="},     Substitute{U'≠', "<>"},    Substitute{U'≈', "~"},
    Substitute{U'∞', "inf"},    Substitute{U'Δ', "Delta"}, Substitute{U'Θ', "Theta"},
    Substitute{U'Π', "Pi"},     Substitute{U'Σ', "Sigma"}, Substitute{U'Φ', "Phi"},
    Substitute{U'Ω', "Omega"},  Substitute{U'α', "alpha"}, Substitute{U'β', "beta"},
    Substitute{U'γ', "gamma"},  Substitute{U'δ', "delta"}, Substitute{U'ε', "epsilon"},
    Substitute{U'θ', "theta"},  Substitute{U'λ', "lambda"}, Substitute{U'ν', "nu"},
    Substitute{U'π', "pi"},     Substitute{U'ρ', "rho"},   Substitute{U'σ', "sigma"},
    Substitute{U'τ', "tau"},    Substitute{U'φ', "phi"},   Substitute{U'ω', "omega"},
};

std::optional<unsigned char> ansi_byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (const AnsiByte& a : kAnsiExtras)
        if (a.character == c) return a.byte;
    return std::nullopt;
}

}  // namespace

std::string metafile_text(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (const char32_t c : decode_text(utf8)) {
        if (const std::optional<unsigned char> b = ansi_byte(c)) {
            bytes.push_back(static_cast<char>(*b));
            continue;
        }
        std::string_view substitute = "?";
        for (const Substitute& s : kSubstitutes)
            if (s.character == c) substitute = s.text;
        bytes.append(substitute);
    }
    return bytes;
}

}  // namespace zeph
