#pragma once
// The mouse over a plot. The window and the terminal report buttons, motion
// and the wheel in the canvas's pixels; GestureTracker makes them into what
// a plot acts on: the pointer moved, dragged with the button held, clicked
// (pressed and released in place), or the wheel turned.
#include <optional>

namespace zeph {

struct PointerReport {
    enum class Kind { motion, press, release, wheel };
    Kind kind = Kind::motion;
    double x = 0, y = 0;   // canvas pixels
    int wheel = 0;         // steps; positive: turned away from the user
    bool shift = false, ctrl = false;
};

struct PointerGesture {
    enum class Kind { move, drag, click, wheel };
    Kind kind = Kind::move;
    double x = 0, y = 0;             // where the pointer is
    double from_x = 0, from_y = 0;   // drag: where it was at the drag's previous step
    int wheel = 0;
    bool shift = false, ctrl = false;
};

// A press and release less than this many pixels apart is a click.
inline constexpr double kClickSlopPixels = 3;

class GestureTracker {
public:
    // The gesture a report makes, if any (a press alone makes none).
    std::optional<PointerGesture> take(const PointerReport& report);

private:
    bool pressed_ = false;
    bool dragging_ = false;
    double press_x_ = 0, press_y_ = 0;
    double last_x_ = 0, last_y_ = 0;
};

// What a plot reads next: a key, or a gesture of the mouse.
struct PlotInput {
    int key = -1;   // a console key code; -1 with a gesture
    std::optional<PointerGesture> pointer;
};

// Adds `next` to the input waiting before it when both are moves or both
// drags (the pointer's path in between does not matter): true when merged.
bool merge_pointer_input(PlotInput& waiting, const PlotInput& next);

}  // namespace zeph
