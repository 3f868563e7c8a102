#include "console/terminal.hpp"

#include "base/stop_request.hpp"
#include "console/display_loss.hpp"

// curses.h defines refresh(), clear() and others as macros unless told not to.
#define NCURSES_NOMACROS 1
#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

#include <SDL.h>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <thread>

namespace zeph {

namespace {

constexpr std::array<Rgb, 16> kTextPalette{{
    {0, 0, 0},     {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
    {128, 0, 0},   {128, 0, 128}, {128, 128, 0}, {160, 160, 160},
    {80, 80, 80},  {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},   {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
}};

// The standard terminal colour of each palette entry. The palette is the
// classic one (blue before red); the terminal's order is ANSI (red before
// blue), with 8..15 the bright versions of 0..7.
constexpr std::array<int, 16> kStandardColourOfPalette{
    0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15,
};

constexpr int kCubeLevels[6] = {0, 95, 135, 175, 215, 255};

constexpr std::uint8_t kHeaderAttribute = 0x7B;   // light cyan on light grey, as the help's headings

int foreground_index(std::uint8_t attribute) { return attribute & 0x0F; }
int background_index(std::uint8_t attribute) { return (attribute >> 4) & 0x07; }

int squared_distance(Rgb a, Rgb b) {
    const int dr = a.red - b.red, dg = a.green - b.green, db = a.blue - b.blue;
    return dr * dr + dg * dg + db * db;
}

// Searched once: every cell of every redraw needs it.
const std::array<int, 16>& cube_colour_of_palette() {
    static const std::array<int, 16> table = [] {
        std::array<int, 16> colours{};
        for (std::size_t i = 0; i < colours.size(); ++i) {
            colours[i] = nearest_xterm256_colour(kTextPalette[i]);
        }
        return colours;
    }();
    return table;
}

int colour_for_mode(int palette_index, ColourMode mode, int palette_base) {
    switch (mode) {
        case ColourMode::Palette: return palette_base + palette_index;
        case ColourMode::Cube256: return cube_colour_of_palette()[palette_index];
        case ColourMode::Standard16: return kStandardColourOfPalette[palette_index];
        case ColourMode::Standard8: return kStandardColourOfPalette[palette_index] & 7;
        case ColourMode::None: return -1;
    }
    return -1;
}

// ncurses wants colour components in 0..1000.
short curses_component(int value) { return static_cast<short>(value * 1000 / 255); }

// --- one terminal per program ---------------------------------------------------
// Signals are not handled here: their handlers only set a flag (base/stop_request),
// and the terminal is restored by the destructor when the run has ended.
bool g_terminal_taken = false;

// Set when the program continues after a stop (Ctrl+Z, then fg): the terminal
// library redraws its text screen by itself, a plot must be drawn again.
volatile std::sig_atomic_t g_continued = 0;

void note_continued(int /*signal_number*/) { g_continued = 1; }

// Without SA_RESTART, so that a key read waiting at the time returns and
// redraws: the terminal library's own stop handler (which gives the terminal
// back, stops, and takes it again) loses that flag too.
void watch_for_continue() {
    struct sigaction action {};
    action.sa_handler = note_continued;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGCONT, &action, nullptr);
    struct sigaction stop {};
    if (sigaction(SIGTSTP, nullptr, &stop) == 0 && stop.sa_handler != SIG_DFL && stop.sa_handler != SIG_IGN) {
        stop.sa_flags &= ~SA_RESTART;
        sigaction(SIGTSTP, &stop, nullptr);
    }
}

constexpr int kCtrlC = 3;   // as the terminal sends it when it does not raise SIGINT itself
// How long a begun character or a possible late answer waits for its next byte [ms].
constexpr int kInputGapMs = 60;
constexpr int kRefusedHz = 800;   // the beep for a byte that is no text, or a key typed unseen
// Reads in a row that return nothing from a terminal still there before it counts as gone.
constexpr int kEmptyReadsTolerated = 16;

// --- key codes without an ncurses constant -------------------------------------
// Codes for Ctrl+Left/Right when the terminal description has none; ncurses
// numbers its own extended keys upward from KEY_MAX + 1.
constexpr int kOwnCtrlLeftCode = KEY_MAX + 400;
constexpr int kOwnCtrlRightCode = KEY_MAX + 401;

// Sequences terminals send for the key, also when their description omits it
// (xterm and tmux; rxvt).
constexpr const char* kCtrlLeftSequences[] = {"\033[1;5D", "\033Od"};
constexpr const char* kCtrlRightSequences[] = {"\033[1;5C", "\033Oc"};

// The terminal description's sequence for a key capability, if it has one.
const char* capability_sequence(const char* name) {
    const char* sequence = tigetstr(name);
    if (sequence == reinterpret_cast<const char*>(-1)) return nullptr;
    return sequence;
}

int ctrl_arrow_code(const char* capability, int own_code, const char* const* sequences,
                    std::size_t sequence_count) {
    int code = own_code;
    if (const char* described = capability_sequence(capability)) {
        const int bound = key_defined(described);
        if (bound > 0) {
            code = bound;
        } else if (bound == 0) {
            define_key(described, code);
        }
    }
    for (std::size_t i = 0; i < sequence_count; ++i) {
        if (key_defined(sequences[i]) == 0) define_key(sequences[i], code);
    }
    return code;
}

// Sequences common terminals send for the navigation keys. A terminal whose
// description does not match it (a wrong TERM) would otherwise deliver them
// as Esc and some letters, and Esc cancels the prompt.
struct KnownSequence {
    const char* sequence;
    int key;
};
constexpr KnownSequence kCommonSequences[] = {
    {"\033[A", KEY_UP},    {"\033[B", KEY_DOWN},  {"\033[C", KEY_RIGHT}, {"\033[D", KEY_LEFT},
    {"\033OA", KEY_UP},    {"\033OB", KEY_DOWN},  {"\033OC", KEY_RIGHT}, {"\033OD", KEY_LEFT},
    {"\033[H", KEY_HOME},  {"\033OH", KEY_HOME},  {"\033[1~", KEY_HOME}, {"\033[7~", KEY_HOME},
    {"\033[F", KEY_END},   {"\033OF", KEY_END},   {"\033[4~", KEY_END},  {"\033[8~", KEY_END},
    {"\033[3~", KEY_DC},   {"\033[5~", KEY_PPAGE}, {"\033[6~", KEY_NPAGE},
};

void define_common_sequences() {
    for (const KnownSequence& known : kCommonSequences) {
        if (key_defined(known.sequence) == 0) define_key(known.sequence, known.key);
    }
}

bool locale_is_utf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

// Standard input is still a terminal that has not hung up.
bool terminal_present() {
    pollfd request{STDIN_FILENO, POLLIN, 0};
    if (::poll(&request, 1, 0) < 0) return errno == EINTR;
    return (request.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0 && isatty(STDIN_FILENO);
}

bool display_reachable() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// Sends standard error to /dev/null for its lifetime: libraries probing for
// a display report their failures there, which would land in the middle of
// the drawn screen.
class SilencedStandardError {
public:
    SilencedStandardError() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null_device = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null_device >= 0) dup2(null_device, STDERR_FILENO);
        if (null_device >= 0) close(null_device);
    }
    ~SilencedStandardError() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    SilencedStandardError(const SilencedStandardError&) = delete;
    SilencedStandardError& operator=(const SilencedStandardError&) = delete;

private:
    int saved_ = -1;
};

bool start_sdl_video() {
    if (!display_reachable()) return false;
    const SilencedStandardError quiet;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    guard_display_connection();
    return true;
}

}  // namespace

// --- pure mappings -------------------------------------------------------------

const std::array<Rgb, 16>& text_palette() { return kTextPalette; }

ColourMode choose_colour_mode(bool has_colours, bool can_change_colours, int colour_count) {
    if (!has_colours || colour_count < 8) return ColourMode::None;
    // The 256-colour set holds the palette within a few units per channel and
    // needs no redefinition, which many terminals (and multiplexers) claiming
    // it silently ignore, leaving arbitrary colours on screen.
    if (colour_count >= 256) return ColourMode::Cube256;
    if (can_change_colours && colour_count >= 16) return ColourMode::Palette;
    if (colour_count >= 16) return ColourMode::Standard16;
    return ColourMode::Standard8;
}

int palette_base_colour(int colour_count) { return colour_count >= 32 ? 16 : 0; }

TerminalColours terminal_colours(std::uint8_t attribute, ColourMode mode, int palette_base) {
    const int fg = foreground_index(attribute);
    const int bg = background_index(attribute);
    TerminalColours colours{colour_for_mode(fg, mode, palette_base),
                            colour_for_mode(bg, mode, palette_base), false};
    // Without a bright colour of their own, bright foregrounds are shown bold.
    if (mode == ColourMode::Standard8 || mode == ColourMode::None) {
        colours.bold = kStandardColourOfPalette[fg] >= 8;
    }
    return colours;
}

Rgb xterm256_rgb(int colour) {
    if (colour >= 232) {
        const int level = 8 + 10 * (colour - 232);
        return {level, level, level};
    }
    const int cube = std::max(colour, 16) - 16;
    return {kCubeLevels[cube / 36], kCubeLevels[cube / 6 % 6], kCubeLevels[cube % 6]};
}

int nearest_xterm256_colour(Rgb colour) {
    // Colours 0..15 are left out: each terminal has its own idea of them.
    int best = 16;
    for (int candidate = 16; candidate < 256; ++candidate) {
        if (squared_distance(xterm256_rgb(candidate), colour) <
            squared_distance(xterm256_rgb(best), colour)) {
            best = candidate;
        }
    }
    return best;
}

wchar_t displayed_character(char32_t character, bool utf8_terminal, int columns) {
    if (character < 0x20 || (character >= 0x7F && character < 0xA0)) return L' ';
    if (character < 0x80) return static_cast<wchar_t>(character);
    if (!utf8_terminal) {
        switch (character) {
            case U'\u00B1': return L'+';
            case U'\u00B5': return L'u';
            case U'\u00BB': return L'>';
            default: return L'?';
        }
    }
    if (columns != 1) return static_cast<wchar_t>(kReplacementCharacter);
    return static_cast<wchar_t>(character);
}

std::string terminal_text(std::string_view text, bool utf8_terminal) {
    std::string shown;
    shown.reserve(text.size());
    for (const char32_t c : decode_text(text)) append_utf8(shown, displayed_character(c, utf8_terminal));
    return shown;
}

GridOrigin grid_origin(int columns, int rows) {
    return {std::max(rows - TextConsole::kRows, 0) / 2, std::max(columns - TextConsole::kColumns, 0) / 2};
}

std::vector<std::string> size_request_lines(int columns, int rows) {
    const std::string text = "zeph needs a terminal of at least " + std::to_string(kLeastColumns) + " x " +
                             std::to_string(kLeastRows) + " - this one is " +
                             std::to_string(columns) + " x " + std::to_string(rows) +
                             ". Please enlarge it.";
    std::vector<std::string> lines;
    if (columns < 1 || rows < 1) return lines;
    const auto width = static_cast<std::size_t>(columns);
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        if (!line.empty()) line += ' ';
        line += word;
        while (line.size() > width) {   // a word wider than the terminal
            lines.push_back(line.substr(0, width));
            line.erase(0, width);
        }
    }
    if (!line.empty()) lines.push_back(line);
    if (lines.size() > static_cast<std::size_t>(rows)) lines.resize(rows);
    return lines;
}

std::optional<ConsoleKey> console_key_from_terminal(int code, bool function_key,
                                                    const TerminalKeyCodes& codes) {
    if (!function_key) {
        switch (code) {
            case '\n':
            case '\r': return ConsoleKey{kKeyEnter, false};
            case 127:
            case 8: return ConsoleKey{kKeyBackspace, false};
            default: break;
        }
        if (code >= 0 && code < 0x80) return ConsoleKey{code, false};
        if (code >= 0xA0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
            return ConsoleKey{code, false};
        }
        return std::nullopt;
    }
    switch (code) {
        case KEY_LEFT: return ConsoleKey{kKeyLeft, true};
        case KEY_RIGHT: return ConsoleKey{kKeyRight, true};
        case KEY_UP: return ConsoleKey{kKeyUp, true};
        case KEY_DOWN: return ConsoleKey{kKeyDown, true};
        case KEY_PPAGE:
        case KEY_A3: return ConsoleKey{kKeyPageUp, true};
        case KEY_NPAGE:
        case KEY_C3: return ConsoleKey{kKeyPageDown, true};
        case KEY_HOME:
        case KEY_A1: return ConsoleKey{kKeyHome, true};
        case KEY_END:
        case KEY_C1: return ConsoleKey{kKeyEnd, true};
        case KEY_DC: return ConsoleKey{kKeyDelete, true};
        case KEY_ENTER: return ConsoleKey{kKeyEnter, false};
        case KEY_BACKSPACE: return ConsoleKey{kKeyBackspace, false};
        default: break;
    }
    if (code == codes.ctrl_left && code >= 0) return ConsoleKey{kKeyCtrlLeft, true};
    if (code == codes.ctrl_right && code >= 0) return ConsoleKey{kKeyCtrlRight, true};
    return std::nullopt;
}

std::string clipboard_line(std::string_view text) {
    std::string line;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\n' || b == '\r') break;
        if (b < 0x80) {
            line.push_back(static_cast<char>(b));
            ++i;
        } else if (const std::optional<Utf8Char> c = decode_utf8(text, i)) {
            line.append(text.substr(i, c->length));
            i += c->length;
        } else {   // a stray byte: dropped
            ++i;
        }
    }
    return line;
}

bool BellPacer::should_ring(Clock::time_point now) {
    if (last_ring_ && now - *last_ring_ < gap_) return false;
    last_ring_ = now;
    return true;
}

// --- presenter -----------------------------------------------------------------

std::unique_ptr<TerminalPresenter> TerminalPresenter::open() {
    std::unique_ptr<TerminalPresenter> presenter(new TerminalPresenter());
    if (!presenter->start()) return nullptr;
    return presenter;
}

bool TerminalPresenter::start() {
    if (g_terminal_taken) return false;   // one terminal per program
    // Only the character type: numbers must keep their "." whatever the locale.
    std::setlocale(LC_CTYPE, "");
    utf8_ = locale_is_utf8();
    std::fflush(stdout);
    // The console draws through its own copy of the terminal's descriptor, so
    // that what libraries print on standard output can be captured.
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    terminal_ = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (terminal_ == nullptr) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    use_tioctl(TRUE);   // the size the terminal reports, not stale LINES/COLUMNS
    screen_ = newterm(nullptr, terminal_, stdin);
    if (screen_ == nullptr) {
        std::fclose(terminal_);
        terminal_ = nullptr;
        return false;
    }
    set_terminal_output_fd(fd);
    set_term(screen_);
    g_terminal_taken = true;
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    // Mouse reports are read here, not by the terminal library (which would
    // take xterm's "Esc [ <" for its own mouse key and swallow them).
    keyok(KEY_MOUSE, FALSE);
    set_escdelay(25);   // ms: Esc alone must feel immediate
    set_up_colours();
    library_output_.start();
    watch_for_continue();
    return true;
}

TerminalPresenter::~TerminalPresenter() {
    if (screen_ == nullptr) return;
    library_output_.stop();
    endwin();
    g_terminal_taken = false;
    delscreen(screen_);
    set_terminal_output_fd(-1);
    std::fclose(terminal_);
}

void TerminalPresenter::set_up_colours() {
    const bool has = has_colors();
    if (has) start_color();
    mode_ = choose_colour_mode(has, has && can_change_color(), has ? COLORS : 0);
    if (mode_ != ColourMode::Palette) return;
    palette_base_ = palette_base_colour(COLORS);
    for (int i = 0; i < 16; ++i) {
        const Rgb& c = kTextPalette[i];
        if (init_color(static_cast<short>(palette_base_ + i), curses_component(c.red),
                       curses_component(c.green), curses_component(c.blue)) == ERR) {
            mode_ = ColourMode::Standard16;
            return;
        }
    }
}

short TerminalPresenter::colour_pair(const TerminalColours& colours) {
    if (colours.foreground < 0 || colours.background < 0) return 0;
    const int key = colours.foreground * 1024 + colours.background;
    if (const auto found = pairs_.find(key); found != pairs_.end()) return found->second;
    // Pairs run out only with many colour combinations on a small terminal;
    // the default pair then keeps the text readable.
    if (next_pair_ >= std::min(COLOR_PAIRS, 32767)) return 0;
    const auto pair = static_cast<short>(next_pair_);
    if (init_pair(pair, static_cast<short>(colours.foreground),
                  static_cast<short>(colours.background)) == ERR) {
        return 0;
    }
    ++next_pair_;
    pairs_.emplace(key, pair);
    return pair;
}

void TerminalPresenter::refresh(const TextConsole& console) {
    shown_ = console;
    redraw();
}

void TerminalPresenter::transcript(std::string_view line) {
    if (!suspended_) return;
    const std::string text = terminal_text(line, utf8_) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void TerminalPresenter::suspend() {
    if (suspended_) return;
    suspended_ = true;
    library_output_.stop();   // a command's own output is for the user to see
    endwin();
}

void TerminalPresenter::resume() {
    if (!suspended_) return;
    suspended_ = false;
    library_output_.start();
    repaint();   // the command wrote over the screen
}

void TerminalPresenter::repaint() {
    clearok(curscr, TRUE);
    redraw();
}

void TerminalPresenter::redraw() {
    if (suspended_) return;
    follow_terminal_size();
    if (resize_hook_) {
        erase();
        ::refresh();   // ncurses' own repaint for the new size happens now, not over the plot
        resize_hook_();
        return;
    }
    erase();
    if (console_fits(COLS, LINES)) {
        draw_console(grid_origin(COLS, LINES));
    } else {
        draw_size_request();
    }
    ::refresh();
}

int TerminalPresenter::rows() const {
    winsize size{};
    if (ioctl(terminal_output_fd(), TIOCGWINSZ, &size) == 0 && size.ws_row > 0) return size.ws_row;
    return LINES;
}

bool TerminalPresenter::refusing_keys() {
    if (suspended_ || resize_hook_) return false;
    follow_terminal_size();
    return !console_fits(COLS, LINES);
}

// ncurses learns of a new size only while reading a key; a redraw in between
// (during a computation) must already use the real size.
void TerminalPresenter::follow_terminal_size() {
    winsize size{};
    if (ioctl(terminal_output_fd(), TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) {
        return;
    }
    if (size.ws_row != LINES || size.ws_col != COLS) resize_term(size.ws_row, size.ws_col);
}

void TerminalPresenter::draw_cell(int y, int x, const Cell& cell) {
    const TerminalColours colours = terminal_colours(cell.attribute, mode_, palette_base_);
    const auto wide = static_cast<wchar_t>(cell.character);
    const int columns = cell.character < 0x80 ? 1 : wcwidth(wide);
    const wchar_t text[2] = {displayed_character(cell.character, utf8_, columns), L'\0'};
    cchar_t character;
    setcchar(&character, text, colours.bold ? A_BOLD : A_NORMAL, colour_pair(colours), nullptr);
    mvadd_wch(y, x, &character);
}

// The grid rows the terminal has room for (console/console_layout.hpp); on a
// short terminal at a prompt the first row is the help window's header.
void TerminalPresenter::draw_console(GridOrigin origin) {
    if (!shown_) {
        curs_set(0);
        return;
    }
    const std::vector<int> rows =
        shown_grid_rows(LINES, shown_->use(), shown_->help_top(), shown_->cursor_row());
    const std::u32string header = decode_text(help_header(shown_->help_top(), LINES, shown_->marked_words()));
    int cursor_y = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int y = origin.row + static_cast<int>(i);
        for (int column = 1; column <= TextConsole::kColumns; ++column) {
            Cell cell = shown_->cell(rows[i], column);
            if (rows[i] == kHeaderRow) {
                const auto c = static_cast<std::size_t>(column - 1);
                cell = Cell{c < header.size() ? header[c] : U' ', kHeaderAttribute};
            }
            draw_cell(y, origin.column + column - 1, cell);
        }
        if (rows[i] == shown_->cursor_row()) cursor_y = y;
    }
    if (cursor_y < 0) {
        curs_set(0);
        return;
    }
    move(cursor_y, origin.column + shown_->cursor_column() - 1);
    curs_set(1);
}

void TerminalPresenter::draw_size_request() {
    curs_set(0);
    const std::vector<std::string> lines = size_request_lines(COLS, LINES);
    const int top = (LINES - static_cast<int>(lines.size())) / 2;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int left = (COLS - static_cast<int>(lines[i].size())) / 2;
        mvaddstr(top + static_cast<int>(i), std::max(left, 0), lines[i].c_str());
    }
}

void TerminalPresenter::beep(int /*hz*/, int ms) {
    if (bell_.should_ring(BellPacer::Clock::now())) ::beep();
    // Wait out a short tone so a burst of beeps is heard as a series; a long
    // tone is not worth making the user wait for.
    const int wait_ms = std::clamp(ms, 0, 60);
    std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
}

// --- keys ----------------------------------------------------------------------

TerminalKeySource::TerminalKeySource(TerminalPresenter& presenter) : presenter_(presenter) {
    codes_.ctrl_left = ctrl_arrow_code("kLFT5", kOwnCtrlLeftCode, kCtrlLeftSequences,
                                       std::size(kCtrlLeftSequences));
    codes_.ctrl_right = ctrl_arrow_code("kRIT5", kOwnCtrlRightCode, kCtrlRightSequences,
                                        std::size(kCtrlRightSequences));
    define_common_sequences();
}

TerminalKeySource::~TerminalKeySource() {
    if (clipboard_ == Clipboard::Ready) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int TerminalKeySource::read_key() { return next_key(true); }

int TerminalKeySource::poll_key() { return next_key(false); }

int TerminalKeySource::next_key(bool wait) {
    if (stop_requested()) return kKeyEscape;   // the run is ending: never wait for a key again
    if (!pending_.empty()) {
        const auto code = static_cast<unsigned char>(pending_.front());
        pending_.erase(0, 1);
        return code;
    }
    // While an operating-system command has the terminal, its output stays on
    // screen: only the key modes are taken back for this read.
    const bool suspended = presenter_.suspended();
    if (suspended) reset_prog_mode();
    const int key = translated_key(wait);
    if (suspended) reset_shell_mode();
    return key;
}

int TerminalKeySource::translated_key(bool wait) {
    for (;;) {
        if (g_continued) {   // back from a stop: the screen (a plot too) is drawn again
            g_continued = 0;
            presenter_.redraw();
        }
        if (released_.empty()) {
            // What is held (a begun character, a possible answer) waits a moment for the rest.
            const bool holding = answers_.holding() || characters_.incomplete();
            timeout(holding ? kInputGapMs : wait ? -1 : 0);   // ms; -1 blocks
            errno = 0;
            const int code = wgetch(stdscr);
            if (code == ERR) {
                if (errno == EINTR && stop_requested()) {   // a signal asks the run to end
                    ended_ = true;
                    return kKeyEscape;
                }
                if (holding) {   // nothing more came
                    refuse_begun_character();
                    for (const TerminalInput& input : answers_.flush()) released_.push_back(input);
                    continue;
                }
                if (errno == EINTR && g_continued) continue;
                if (!wait) break;
                if (errno == EINTR) continue;
                // After a stop the terminal library may come back once with nothing read.
                if (terminal_present() && ++empty_reads_ < kEmptyReadsTolerated) continue;
                ended_ = true;
                return kKeyEscape;   // the terminal has gone away
            }
            empty_reads_ = 0;
            take_input(code);
            continue;
        }
        const TerminalInput input = released_.front();
        released_.pop_front();
        if (input.mouse) {   // only a plot takes the mouse; elsewhere a report is no key
            const std::optional<PointerReport> report = pointer_of(*input.mouse);
            if (!pointer_wanted_ || !report) continue;
            pointers_.push_back(*report);
            return kKeyPointer;
        }
        if (!input.function_key && input.code == kCtrlC) {   // raw input: Ctrl+C ends the run as SIGINT does
            request_stop(SIGINT);
            ended_ = true;
            return kKeyEscape;
        }
        if (input.function_key && input.code == KEY_RESIZE) {
            presenter_.redraw();
            continue;
        }
        const std::optional<ConsoleKey> key = console_key_from_terminal(input.code, input.function_key, codes_);
        if (!key) continue;
        if (presenter_.refusing_keys()) {   // the console is not shown: the key would act unseen
            presenter_.beep(kRefusedHz, 0);
            continue;
        }
        if (key->extended) {
            pending_.assign(1, static_cast<char>(key->code));
            return kKeyExtended;
        }
        if (key->code < 0x80) return key->code;
        std::string bytes;   // a character beyond ASCII: its UTF-8 bytes in turn
        append_utf8(bytes, static_cast<char32_t>(key->code));
        pending_ = bytes.substr(1);
        return static_cast<unsigned char>(bytes.front());
    }
    return -1;
}

void TerminalKeySource::take_pointer_reports(bool on) {
    pointer_wanted_ = on;
    pointers_.clear();
}

std::optional<PointerReport> TerminalKeySource::take_pointer() {
    if (pointers_.empty()) return std::nullopt;
    const PointerReport report = pointers_.front();
    pointers_.pop_front();
    return report;
}

// One byte or key code from the terminal library: bytes beyond ASCII make
// characters in the locale's encoding, and late answers to the terminal
// queries are dropped on the way to released_.
void TerminalKeySource::take_input(int code) {
    TerminalInput input{code, code >= KEY_MIN};
    if (!input.function_key && code >= 0x80 && code <= 0xFF) {
        char32_t character = 0;
        switch (characters_.feed(static_cast<unsigned char>(code), character)) {
            case CharacterAssembler::Result::incomplete: return;
            case CharacterAssembler::Result::refused: presenter_.beep(kRefusedHz, 0); return;
            case CharacterAssembler::Result::character: input.code = static_cast<int>(character); break;
        }
    } else {
        refuse_begun_character();
    }
    for (const TerminalInput& key : answers_.feed(input)) released_.push_back(key);
}

// A character whose other bytes never came is no text: refused with a beep.
void TerminalKeySource::refuse_begun_character() {
    if (!characters_.incomplete()) return;
    characters_.reset();
    presenter_.beep(kRefusedHz, 0);
}

std::string TerminalKeySource::clipboard_text() {
    if (clipboard_ == Clipboard::Untried) {
        clipboard_ = start_sdl_video() ? Clipboard::Ready : Clipboard::Unavailable;
    }
    if (clipboard_ != Clipboard::Ready || !SDL_HasClipboardText()) return {};
    char* text = SDL_GetClipboardText();
    if (text == nullptr) return {};
    std::string line = clipboard_line(text);
    SDL_free(text);
    return line;
}

}  // namespace zeph
