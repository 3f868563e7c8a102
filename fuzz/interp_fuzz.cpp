// libFuzzer target: arbitrary bytes to INTERP. Each line of the input is
// evaluated in turn (so assignments feed later lines) for three samples of
// A, B and X, once by INTERP itself and once through a PreparedFormula in a
// second interpreter: statuses, messages, result bits, tables and random seeds
// must agree. Every result must also have a 19-character format_number text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/format_number.hpp"
#include "input/expr/interp.hpp"
#include "input/expr/prepared_formula.hpp"

namespace {

bool same_bits(zeph::Complex x, zeph::Complex y) { return std::memcmp(&x, &y, sizeof x) == 0; }

void check(bool condition) {
    if (!condition) std::abort();
}

void check_same_state(const zeph::Interpreter& a, const zeph::Interpreter& b) {
    check(a.variables().size() == b.variables().size());
    check(a.variables().size() <= 40);
    for (std::size_t i = 0; i < a.variables().size(); ++i) {
        check(a.variables()[i].name == b.variables()[i].name);
        check(same_bits(a.variables()[i].value, b.variables()[i].value));
    }
    check(a.random_seed() == b.random_seed());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zeph::Interpreter plain([] { return 0.0; });
    zeph::Interpreter fast([] { return 0.0; });
    std::string_view input(reinterpret_cast<const char*>(data), size);
    int lines = 0;
    while (!input.empty() && lines++ < 64) {
        const std::size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);

        zeph::PreparedFormula prepared(fast, line);
        for (int sample = 0; sample < 3; ++sample) {
            const zeph::Complex a{0.5 * sample - 1, 2.0}, b{sample == 1 ? 0.0 : -3.0, 0.25}, x{0.1 * sample, 0};
            plain.set_slot(4, a);
            plain.set_slot(5, b);
            plain.set_slot(6, x);
            zeph::Complex result{1.5, -2.5}, replayed{1.5, -2.5};
            std::string message, replayed_message;
            const zeph::InterpStatus status = plain.evaluate(line, result, message);
            const zeph::InterpStatus replayed_status = prepared.evaluate_sample(a, b, x, replayed, replayed_message);
            check(status != zeph::InterpStatus::stopped);
            check(status == zeph::InterpStatus::ok ? message.empty() : !message.empty() && result == zeph::Complex(1.5, -2.5));
            check(replayed_status == status && replayed_message == message && same_bits(replayed, result));
            check_same_state(plain, fast);
            check(zeph::format_number(result.real()).size() == 19 && zeph::format_number(result.imag()).size() == 19);
        }
    }
    return 0;
}
