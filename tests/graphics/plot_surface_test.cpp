#include "graphics/plot_surface.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/scoped_variable.hpp"
#include "tests/support/script_keys.hpp"
#include "console/text_console.hpp"

namespace zeph {
namespace {

class PlotSurfaceChoice : public ::testing::Test {
protected:
    ScopedEnv no_display_{"DISPLAY", nullptr};
    ScopedEnv no_wayland_{"WAYLAND_DISPLAY", nullptr};
    TextConsole console_;
    ScriptKeySource keys_{"ab"};
};

TEST_F(PlotSurfaceChoice, HeadlessPlotsAreDrawnOffScreenAndTakeTheScriptsKeys) {
    for (const char* request : {"auto", "sixel", "symbols", "none"}) {
        ScopedEnv plot("ZEPH_PLOT", request);
        ChosenSurface chosen = choose_plot_surface({}, console_, 640, 480);
        EXPECT_EQ(chosen.target, PlotTarget::None) << request;
        ASSERT_TRUE(chosen.surface);
        ASSERT_TRUE(chosen.surface->begin(keys_, 640, 480).ok);
        EXPECT_TRUE(chosen.surface->seen()) << "a script answers the plot's pause";
        chosen.surface->end();
    }
    ScopedEnv plot("ZEPH_PLOT", "none");
    ChosenSurface chosen = choose_plot_surface({}, console_, 640, 480);
    ASSERT_TRUE(chosen.surface->begin(keys_, 640, 480).ok);
    EXPECT_EQ(chosen.surface->read_key(), 'a');
    EXPECT_EQ(chosen.surface->read_key(), 'b');
}

TEST_F(PlotSurfaceChoice, NoWindowAllowedMeansOffScreenWithoutANote) {
    ScopedEnv plot("ZEPH_PLOT", "window");
    const ChosenSurface chosen = choose_plot_surface({.window_allowed = false}, console_, 640, 480);
    EXPECT_EQ(chosen.target, PlotTarget::None);
    EXPECT_TRUE(chosen.note.empty());
}

TEST_F(PlotSurfaceChoice, AnAskedForWindowWithoutADisplayFailsToBegin) {
    ScopedEnv plot("ZEPH_PLOT", "window");
    ChosenSurface chosen = choose_plot_surface({}, console_, 640, 480);
    EXPECT_EQ(chosen.target, PlotTarget::Window);
    EXPECT_EQ(chosen.note, "Plots: in a window. Set ZEPH_PLOT to change.");
    const Status begun = chosen.surface->begin(keys_, 640, 480);
    EXPECT_FALSE(begun.ok);
    EXPECT_EQ(begun.message.rfind(kNoDisplayMessage, 0), 0u) << begun.message;
}

TEST(PlotWindowSize, EightTenthsOfTheScreenAtMost1280By1024) {
    EXPECT_EQ(plot_window_size({1920, 1080}).width, 1280);
    EXPECT_EQ(plot_window_size({1920, 1080}).height, 864);
    EXPECT_EQ(plot_window_size({1023, 767}).width, 818);
    EXPECT_EQ(plot_window_size({1023, 767}).height, 613);
    EXPECT_EQ(plot_window_size({3840, 2160}).height, 1024);
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

using Kind = PointerReport::Kind;

TEST(Gestures, APressAndReleaseInPlaceIsAClickAndMovingFurtherADrag) {
    GestureTracker tracker;
    EXPECT_EQ(tracker.take({Kind::motion, 10, 10})->kind, PointerGesture::Kind::move);
    EXPECT_FALSE(tracker.take({Kind::press, 10, 10}));
    EXPECT_FALSE(tracker.take({Kind::motion, 11, 11}));   // within the slop: still a click
    const auto click = tracker.take({Kind::release, 12, 11});
    ASSERT_TRUE(click);
    EXPECT_EQ(click->kind, PointerGesture::Kind::click);
    EXPECT_EQ(click->x, 10);   // where the button went down

    EXPECT_FALSE(tracker.take({Kind::press, 10, 10}));
    const auto first = tracker.take({Kind::motion, 20, 10});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->kind, PointerGesture::Kind::drag);
    EXPECT_EQ(first->from_x, 10);
    const auto second = tracker.take({Kind::motion, 25, 12});
    EXPECT_EQ(second->from_x, 20);   // each step from the last
    const auto last = tracker.take({Kind::release, 26, 12});
    ASSERT_TRUE(last);
    EXPECT_EQ(last->kind, PointerGesture::Kind::drag);
    EXPECT_EQ(last->from_x, 25);
    EXPECT_EQ(tracker.take({Kind::motion, 30, 12})->kind, PointerGesture::Kind::move);
    EXPECT_FALSE(tracker.take({Kind::release, 30, 12}));   // a release without a press
}

TEST(Gestures, WheelStepsKeepTheirCountAndModifiers) {
    GestureTracker tracker;
    const auto wheel = tracker.take({Kind::wheel, 5, 6, -2, true, false});
    ASSERT_TRUE(wheel);
    EXPECT_EQ(wheel->kind, PointerGesture::Kind::wheel);
    EXPECT_EQ(wheel->wheel, -2);
    EXPECT_TRUE(wheel->shift);
    EXPECT_FALSE(tracker.take({Kind::wheel, 5, 6, 0}));
}

TEST(Gestures, MovesAndDragsWaitingInARowBecomeOne) {
    PlotInput waiting{-1, PointerGesture{PointerGesture::Kind::drag, 5, 5, 1, 1}};
    EXPECT_TRUE(merge_pointer_input(waiting, {-1, PointerGesture{PointerGesture::Kind::drag, 9, 7, 5, 5}}));
    EXPECT_EQ(waiting.pointer->x, 9);
    EXPECT_EQ(waiting.pointer->from_x, 1);   // the whole way
    EXPECT_FALSE(merge_pointer_input(waiting, {-1, PointerGesture{PointerGesture::Kind::move, 9, 7}}));
    EXPECT_FALSE(merge_pointer_input(waiting, {kKeyEnter, std::nullopt}));
    PlotInput click{-1, PointerGesture{PointerGesture::Kind::click, 1, 1}};
    EXPECT_FALSE(merge_pointer_input(click, {-1, PointerGesture{PointerGesture::Kind::click, 2, 2}}));
}

}  // namespace
}  // namespace zeph
