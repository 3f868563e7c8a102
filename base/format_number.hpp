#pragma once
// format_number: the 19-character text of one value, as shown in the
// current values of a prompt, the SH table and the DE title.
#include <string>

namespace zeph {

inline constexpr int kNumberTextLength = 19;

// Exactly 19 characters, blank-padded. Values whose 13-significant-digit form
// 0.ddddddddddddd x 10^e has -5 <= e <= 12 are written in plain decimal form
// with trailing zeros removed and no leading zero (.5, 100., .00125, .0,
// 999999999999., .000001); others in scientific form, sign-or-blank, one digit,
// point, 12 digits, D, signed two-digit exponent (-1.234567890123D+20,
// 1.000000000000D-07). A three-digit exponent replaces the D (1.000000000000+200).
// Every non-negative value (and -0) starts with one blank. Infinities and NaN
// give " INF", "-INF" and " NAN".
std::string format_number(double value);

}  // namespace zeph
