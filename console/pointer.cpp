#include "console/pointer.hpp"

#include <cmath>

namespace zeph {

std::optional<PointerGesture> GestureTracker::take(const PointerReport& report) {
    PointerGesture gesture;
    gesture.x = report.x, gesture.y = report.y;
    gesture.shift = report.shift, gesture.ctrl = report.ctrl;
    switch (report.kind) {
        case PointerReport::Kind::wheel:
            if (report.wheel == 0) return std::nullopt;
            gesture.kind = PointerGesture::Kind::wheel;
            gesture.wheel = report.wheel;
            return gesture;
        case PointerReport::Kind::press:
            pressed_ = true;
            dragging_ = false;
            press_x_ = last_x_ = report.x;
            press_y_ = last_y_ = report.y;
            return std::nullopt;
        case PointerReport::Kind::motion:
            if (!pressed_) return gesture;   // a move
            if (!dragging_ && std::hypot(report.x - press_x_, report.y - press_y_) < kClickSlopPixels)
                return std::nullopt;
            dragging_ = true;
            gesture.kind = PointerGesture::Kind::drag;
            gesture.from_x = last_x_, gesture.from_y = last_y_;
            last_x_ = report.x, last_y_ = report.y;
            return gesture;
        case PointerReport::Kind::release: {
            const bool was_pressed = pressed_;
            pressed_ = false;
            if (!was_pressed) return std::nullopt;
            if (dragging_ || std::hypot(report.x - press_x_, report.y - press_y_) >= kClickSlopPixels) {
                dragging_ = false;
                gesture.kind = PointerGesture::Kind::drag;   // the last step of the drag
                gesture.from_x = last_x_, gesture.from_y = last_y_;
                return gesture;
            }
            gesture.kind = PointerGesture::Kind::click;
            gesture.x = press_x_, gesture.y = press_y_;
            return gesture;
        }
    }
    return std::nullopt;
}

bool merge_pointer_input(PlotInput& waiting, const PlotInput& next) {
    if (!waiting.pointer || !next.pointer || waiting.pointer->kind != next.pointer->kind) return false;
    PointerGesture& w = *waiting.pointer;
    const PointerGesture& n = *next.pointer;
    if (w.kind != PointerGesture::Kind::move && w.kind != PointerGesture::Kind::drag) return false;
    w.x = n.x, w.y = n.y;   // a drag keeps where it started
    w.shift = n.shift, w.ctrl = n.ctrl;
    return true;
}

}  // namespace zeph
