#include "base/format_number.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zeph {

std::string format_number(double value) {
    std::string text(kNumberTextLength, ' ');
    if (std::isnan(value)) {
        text.replace(0, 4, " NAN");
        return text;
    }
    if (std::isinf(value)) {
        text.replace(0, 4, value < 0 ? "-INF" : " INF");
        return text;
    }
    const char sign = std::signbit(value) && value != 0 ? '-' : ' ';

    // The 13 significant digits d1..d13 and the exponent e of 0.d1d2...d13 x 10^e.
    char digits[14] = "0000000000000";
    int e = 0;
    if (value != 0) {
        char scientific[40];   // d.dddddddddddde+XXX
        std::snprintf(scientific, sizeof scientific, "%.12e", std::fabs(value));
        digits[0] = scientific[0];
        for (int i = 0; i < 12; ++i) digits[i + 1] = scientific[i + 2];
        e = std::atoi(scientific + 15) + 1;
    }

    text[0] = sign;
    if (e >= -5 && e <= 12) {
        int column = 1;
        if (e > 0) {
            for (int i = 0; i < e; ++i) text[static_cast<std::size_t>(column++)] = digits[i];
            text[static_cast<std::size_t>(column++)] = '.';
            for (int i = e; i < 13 && e < 12; ++i) text[static_cast<std::size_t>(column++)] = digits[i];
        } else {
            text[static_cast<std::size_t>(column++)] = '.';
            for (int i = 0; i < -e; ++i) text[static_cast<std::size_t>(column++)] = '0';
            for (int i = 0; i < 12; ++i) text[static_cast<std::size_t>(column++)] = digits[i];
        }
        // Trailing zeros and blanks are blanked from the 19th character down to the 4th.
        for (int i = kNumberTextLength - 1; i >= 3 && (text[static_cast<std::size_t>(i)] == '0' ||
                                                       text[static_cast<std::size_t>(i)] == ' ');
             --i)
            text[static_cast<std::size_t>(i)] = ' ';
        return text;
    }

    // Scientific form: sign, d1, point, d2..d13, then D+XX (or +XXX).
    const int exponent = e - 1;
    std::string out(1, sign);
    out += digits[0];
    out += '.';
    out.append(digits + 1, 12);
    const int magnitude = std::abs(exponent);   // at most 324
    if (magnitude <= 99) out += 'D';
    out += exponent < 0 ? '-' : '+';
    if (magnitude > 99) out += static_cast<char>('0' + magnitude / 100);
    out += static_cast<char>('0' + magnitude / 10 % 10);
    out += static_cast<char>('0' + magnitude % 10);
    out.resize(kNumberTextLength, ' ');
    return out;
}

}  // namespace zeph
