# Shared by the tmux tests: sourced after `program` is set and with `session`
# naming the tmux session. Makes a work directory with a copy of the program,
# removes both at exit, and gives screen, fail, wait_until and wait_for. The test's tmux
# server is its own (a socket named after the session), apart from any other.
command -v tmux >/dev/null || { echo "tmux is missing"; exit 1; }
# The server reads its options from a file of the test's own before it makes
# the first session (set by a command after start-server, they raced the
# server's exit on a busy machine): panes stay after their program ends.
tmux() { command tmux -L "$session" -f "$work/tmux.conf" "$@"; }
work=$(mktemp -d)
printf 'set-option -g remain-on-exit on\n' >"$work/tmux.conf"
trap 'tmux kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$program" "$work/zeph"

screen() { tmux capture-pane -p -t "$session"; }
fail() { echo "failed: $*"; screen; exit 1; }
source "$(dirname "${BASH_SOURCE[0]}")/wait_until.bash"
# Starts the test's session with tmux's new-session arguments; the pane stays
# after the program ends, so its last screen can still be read.
new_session() { tmux new-session -d -s "$session" "$@"; }
on_screen() { screen | grep -qF -- "$1"; }
wait_for() { wait_until "not on the screen: $1" on_screen "$1"; }
# The screen no longer shows what `file` holds (a redraw has begun).
screen_differs() { ! screen | cmp -s - "$1"; }
# Two looks a tenth of a second apart show the same screen (a redraw has ended).
screen_steady() {
    local before
    before=$(screen)
    sleep 0.1
    [ "$(screen)" = "$before" ]
}
# Characters of the symbol sets in the pane: blocks and braille (not the blank one).
symbol_count() { LC_ALL=C.UTF-8 grep -oP '[\x{2580}-\x{259F}\x{2801}-\x{28FF}]' <(screen) | wc -l; }
# A plot in symbols is on the screen.
plot_shown() { [ "$(symbol_count)" -gt 200 ]; }
# The whole plot: its symbols, and no more drawing under way; with a file,
# on a screen unlike the one it holds (before a resize or a pan).
whole_plot_shown() { plot_shown && screen_steady; }
new_plot_shown() { screen_differs "$1" && whole_plot_shown; }
# At the command prompt: makes A a sine of 1024 points.
make_sine() {
    wait_for "Enter command..."
    tmux send-keys -t "$session" "AS EQ" Enter
    wait_for "Enter   # sample points,   Xmin,   dX"
    tmux send-keys -t "$session" "1024 0 1" Enter
    wait_for "Y="
    tmux send-keys -t "$session" "SIN(X/20.)" Enter
    wait_for "Enter command..."
}
# At the command prompt: plots A's real part over its whole range.
plot_a() {
    tmux send-keys -t "$session" "AS RE PL" Enter
    wait_for "Xmin, Xmax, Ymin, Ymax for plot:"
    tmux send-keys -t "$session" Enter
}
