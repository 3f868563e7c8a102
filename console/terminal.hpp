#pragma once
// The interactive front end: the text console drawn on the terminal with
// ncurses, and keys read from it.
//
// The 80 x 50 grid is centred in a larger terminal; a terminal of 24 to 49
// rows shows the prompt block under a window onto the help, or a page cut to
// its rows (console/console_layout.hpp). A terminal below 80 x 24 shows a
// request to enlarge it instead, and keys typed meanwhile are refused with a
// beep; the console comes back as soon as the terminal is large enough.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "console/headless.hpp"
#include "console/key_source.hpp"
#include "console/output_capture.hpp"
#include "console/console_layout.hpp"
#include "console/terminal_input.hpp"
#include "console/text_console.hpp"

struct screen;   // ncurses' SCREEN; <curses.h> stays out of headers for its macros

namespace zeph {

struct Rgb {
    int red = 0, green = 0, blue = 0;   // 0..255
};

// The text window's 16 colours, indexed by an attribute's palette indices.
const std::array<Rgb, 16>& text_palette();

// How a terminal can show the palette, in order of preference.
enum class ColourMode {
    Cube256,      // nearest of the xterm 256-colour cube and grey ramp
    Palette,      // colours redefined to the palette's exact RGB (init_color)
    Standard16,   // nearest of the 16 standard colours
    Standard8,    // nearest of the 8 standard colours, bold for the bright ones
    None,         // no colours at all
};

ColourMode choose_colour_mode(bool has_colours, bool can_change_colours, int colour_count);

// The first terminal colour redefined in Palette mode: above the 16 standard
// colours when there is room, so the user's own colours stay untouched.
int palette_base_colour(int colour_count);

struct TerminalColours {
    int foreground = -1;   // terminal colour numbers; -1 in ColourMode::None
    int background = -1;
    bool bold = false;     // the way to show a bright foreground with 8 colours
    bool operator==(const TerminalColours&) const = default;
};

// The terminal colours for a cell attribute: foreground palette index in the
// low four bits, background palette index in bits 4..6 (bit 7 is ignored).
TerminalColours terminal_colours(std::uint8_t attribute, ColourMode mode, int palette_base = 0);

// The xterm colour (16..255) closest to `colour`.
int nearest_xterm256_colour(Rgb colour);
Rgb xterm256_rgb(int colour);   // for 16..255

// The character shown for a grid cell. `columns` is what the terminal's
// locale says the character takes (wcwidth). Control characters (C0, DEL,
// C1) show as a blank; a character that does not take exactly one column
// (wide or combining) as U+FFFD, so the grid stays aligned. A terminal that is
// not UTF-8 gets ASCII only: +, u and > for ±, µ and », '?' for the rest.
wchar_t displayed_character(char32_t character, bool utf8_terminal, int columns = 1);
// A line of UTF-8 text for printing plainly (below an operating-system
// command's output): each character as above, except that wide characters
// pass; a byte that is no valid UTF-8 becomes U+FFFD (or '?').
std::string terminal_text(std::string_view text, bool utf8_terminal);

// Where the grid's top-left cell goes (0-based) on a terminal of this size:
// centred when the terminal is larger, at the corner otherwise.
struct GridOrigin {
    int row = 0;
    int column = 0;
    bool operator==(const GridOrigin&) const = default;
};
GridOrigin grid_origin(int columns, int rows);

// The request shown on a terminal smaller than 80 x 24, word-wrapped to its
// width; at most `rows` lines.
std::vector<std::string> size_request_lines(int columns, int rows);

// Key codes the terminal description assigns to keys that have no ncurses
// constant, looked up once at start.
struct TerminalKeyCodes {
    int ctrl_left = -1;
    int ctrl_right = -1;
};

// Translates one ncurses input to the console's key: `function_key` tells a
// KEY_* code (get_wch's KEY_CODE_YES) from a character. A character beyond
// ASCII comes back as its code point (the key source sends it on as UTF-8
// bytes). Nothing for inputs the console has no key for (other function
// keys, C1 control characters).
std::optional<ConsoleKey> console_key_from_terminal(int code, bool function_key,
                                                    const TerminalKeyCodes& codes);

// Clipboard text (UTF-8) for the edit line: the first line only; bytes that
// are no valid UTF-8 are dropped.
std::string clipboard_line(std::string_view text);

// Spaces terminal bells: a rapid series of beeps rings at most once per gap.
class BellPacer {
public:
    using Clock = std::chrono::steady_clock;
    explicit BellPacer(Clock::duration gap = std::chrono::milliseconds(100)) : gap_(gap) {}
    bool should_ring(Clock::time_point now);

private:
    Clock::duration gap_;
    std::optional<Clock::time_point> last_ring_;
};

class TerminalPresenter : public Presenter {
public:
    // Takes over the terminal on standard input and output; nothing when it
    // cannot be set up (unknown terminal type, not a terminal).
    static std::unique_ptr<TerminalPresenter> open();
    ~TerminalPresenter() override;
    TerminalPresenter(const TerminalPresenter&) = delete;
    TerminalPresenter& operator=(const TerminalPresenter&) = delete;

    void refresh(const TextConsole& console) override;
    // While suspended the lines of the text window are printed plainly below
    // what the command wrote; otherwise the grid shows them.
    void transcript(std::string_view line) override;
    // Hands the terminal to an operating-system command and takes it back.
    // While suspended, refreshes only keep the grid for the redraw on resume.
    void suspend() override;
    void resume() override;
    bool suspended() const { return suspended_; }
    // A terminal bell (no tones on a terminal), paced so a burst stays short.
    void beep(int hz, int ms) override;
    // Draws the last grid again, for the terminal's current size.
    void redraw();
    // The terminal's rows now.
    int rows() const override;
    // True while the request to enlarge the terminal is shown: a key typed
    // then would act unseen.
    bool refusing_keys();
    // Draws every cell again, whatever the screen shows now (after a plot
    // was drawn on the terminal).
    void repaint();
    // While set, a change of the terminal's size calls this instead of
    // drawing the grid (a plot has the screen).
    void set_resize_hook(std::function<void()> hook) { resize_hook_ = std::move(hook); }
    // While the console is up, standard output and standard error go to a
    // file, not the screen.
    std::string library_messages() override { return library_output_.take(); }

    bool utf8_terminal() const { return utf8_; }
    ColourMode colour_mode() const { return mode_; }

private:
    TerminalPresenter() = default;
    bool start();
    void set_up_colours();
    void follow_terminal_size();
    void draw_console(GridOrigin origin);
    void draw_cell(int y, int x, const Cell& cell);
    void draw_size_request();
    short colour_pair(const TerminalColours& colours);

    ::screen* screen_ = nullptr;
    bool utf8_ = false;
    bool suspended_ = false;
    ColourMode mode_ = ColourMode::None;
    int palette_base_ = 0;
    std::unordered_map<int, short> pairs_;   // (foreground, background) -> pair
    int next_pair_ = 1;
    std::optional<TextConsole> shown_;       // copy of the grid last refreshed
    BellPacer bell_;
    OutputCapture library_output_;
    std::FILE* terminal_ = nullptr;   // the console's own stream to the terminal
    std::function<void()> resize_hook_;
};

class TerminalKeySource : public KeySource {
public:
    // The presenter (which must outlive this source) redraws when the
    // terminal is resized while a key is awaited.
    explicit TerminalKeySource(TerminalPresenter& presenter);
    ~TerminalKeySource() override;
    TerminalKeySource(const TerminalKeySource&) = delete;
    TerminalKeySource& operator=(const TerminalKeySource&) = delete;

    // Waits for a key; Esc when the terminal has gone away.
    int read_key() override;
    // A key when one has been typed, else -1 at once.
    int poll_key() override;
    // The desktop clipboard through SDL when a display is reachable.
    std::string clipboard_text() override;
    bool input_ended() const override { return ended_; }
    void take_pointer_reports(bool on) override;
    std::optional<PointerReport> take_pointer() override;

private:
    enum class Clipboard { Untried, Ready, Unavailable };

    // The next console key; with `wait` false -1 when none has been typed.
    int next_key(bool wait);
    int translated_key(bool wait);
    void take_input(int code);
    void refuse_begun_character();

    TerminalPresenter& presenter_;
    TerminalKeyCodes codes_;
    std::string pending_;   // bytes of a key already begun (extended code, UTF-8)
    CharacterAssembler characters_;
    LateAnswerFilter answers_;
    std::deque<TerminalInput> released_;   // inputs that are keys, not yet translated
    bool pointer_wanted_ = false;
    std::deque<PointerReport> pointers_;   // reports read as kKeyPointer, not yet taken
    int empty_reads_ = 0;                  // waiting reads in a row that returned nothing
    bool ended_ = false;
    Clipboard clipboard_ = Clipboard::Untried;
};

}  // namespace zeph
