// libFuzzer target: bytes as a terminal sends them, through the filter that
// drops late answers to the program's queries and makes mouse reports, then
// the mouse reports through the gesture tracker. Every input must come out
// in order as a key, inside a dropped answer, or inside one mouse report;
// nothing may be held after the end; reports and gestures stay in range.
// A byte 0xFF takes the next byte as a function key of the terminal library.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "console/pointer.hpp"
#include "console/terminal_input.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

constexpr int kFunctionKeyBase = 0x101;   // above every character byte

std::vector<zeph::TerminalInput> inputs_of(const std::uint8_t* data, std::size_t size) {
    std::vector<zeph::TerminalInput> inputs;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 1 < size) inputs.push_back({kFunctionKeyBase + data[++i], true});
        else inputs.push_back({data[i], false});
    }
    return inputs;
}

void check_gesture(const zeph::PointerGesture& gesture) {
    check(std::isfinite(gesture.x) && std::isfinite(gesture.y));
    check(std::isfinite(gesture.from_x) && std::isfinite(gesture.from_y));
    if (gesture.kind == zeph::PointerGesture::Kind::wheel) check(gesture.wheel == 1 || gesture.wheel == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<zeph::TerminalInput> inputs = inputs_of(data, size);
    zeph::LateAnswerFilter filter;
    zeph::GestureTracker gestures;
    std::vector<zeph::TerminalInput> out;
    for (const zeph::TerminalInput& input : inputs) {
        for (const zeph::TerminalInput& key : filter.feed(input)) out.push_back(key);
    }
    for (const zeph::TerminalInput& key : filter.flush()) out.push_back(key);
    check(!filter.holding());
    check(out.size() <= inputs.size());

    // The keys given back are the inputs in order, with whole answers and
    // reports taken out: a subsequence.
    std::size_t next = 0;
    for (const zeph::TerminalInput& key : out) {
        if (key.mouse) {
            const zeph::SgrMouse& m = *key.mouse;
            check(m.column >= 1 && m.row >= 1 && m.column < 1000000 && m.row < 1000000 && m.button >= 0);
            if (const auto report = zeph::pointer_of(m)) {
                check(report->x > 0 && report->y > 0);
                if (const auto gesture = gestures.take(*report)) check_gesture(*gesture);
            }
            continue;
        }
        while (next < inputs.size() && !(inputs[next] == key)) ++next;
        check(next < inputs.size());
        ++next;
    }
    return 0;
}
