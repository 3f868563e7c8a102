#include "window/plot_surface.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/scoped_variable.hpp"
#include "tests/support/script_keys.hpp"
#include "window/text_console.hpp"

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
