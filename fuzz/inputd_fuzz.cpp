// libFuzzer target: arbitrary bytes to INPUTD. The input is split at its first
// newline into the reply and the current-values text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf8.hpp"
#include "input/expr/inputd.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view reply = input.substr(0, newline);
    const std::string_view current = newline == std::string_view::npos ? std::string_view{} : input.substr(newline + 1);

    zeph::Interpreter interp([] { return 0.0; });
    const zeph::InputdResult r = zeph::inputd(interp, current, reply);
    if (r.decoded_count < 0 || r.decoded_count > 6) std::abort();
    using zeph::InputdOutcome;
    const bool decoded = r.outcome == InputdOutcome::decoded;
    if (decoded && r.decoded_count == 0) std::abort();
    if ((r.interp_status != zeph::InterpStatus::ok) != (r.outcome == InputdOutcome::not_evaluated)) std::abort();
    // Columns are characters: a kept text of 80 characters may be longer in bytes.
    if (decoded && zeph::character_count(r.current_text) > 80) std::abort();
    const bool refused = r.outcome == InputdOutcome::field_missing || r.outcome == InputdOutcome::too_many_fields;
    if (refused && r.console_lines.size() != 1) std::abort();
    if (r.outcome == InputdOutcome::not_evaluated && r.message.empty()) std::abort();

    // A successful decode decodes again from its own current text with the reply "/".
    if (decoded) {
        zeph::Interpreter again([] { return 0.0; });
        const zeph::InputdResult s = zeph::inputd(again, r.current_text, "/");
        (void)s;
    }
    return 0;
}
