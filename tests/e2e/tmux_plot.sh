#!/usr/bin/env bash
# Plots in a terminal without a window: the program runs in tmux (80 x 50),
# first without DISPLAY, then with DISPLAY naming a display that does not
# exist, then with DISPLAY naming an X server that refuses the connection.
# Each time the plot must appear in the pane as Unicode symbols, no
# library may write on the screen, and Esc must bring the prompt back.
set -euo pipefail
export LC_ALL=C.UTF-8   # the symbol ranges below are characters, not bytes
program=$1
session="zeph-plot-$$"
source "$(dirname "$0")/tmux_common.bash"


# Starts the program with the given environment and makes A a sine.
start_with_sine() {
    local command="cd '$work' && env -u WAYLAND_DISPLAY $1 TERM=xterm-256color LANG=C.UTF-8 ./zeph"
    if tmux has-session -t "$session" 2>/dev/null; then
        tmux respawn-pane -k -t "$session" "$command"
    else
        new_session -x 80 -y 50 "$command"
    fi
    make_sine
}

wait_for_symbols() { wait_until "no plot in symbols${1:+ $1}" plot_shown; }

run_plot() {   # environment for the program, the note on where plots go
    start_with_sine "$1"
    plot_a
    wait_for_symbols
    # The frame's bottom edge: one row with a long run of symbols.
    screen | grep -qP '[\x{2580}-\x{259F}\x{2801}-\x{28FF}]{40}' || fail "no frame line"
    ! screen | grep -qiE 'XDG_RUNTIME_DIR|error|SDL|display' || fail "a library wrote on the screen"
    screen >"$work/plot-screen.txt"
    # A new terminal size: the plot is drawn again at that size.
    tmux resize-window -t "$session" -x 100 -y 60
    wait_until "no plot after a resize" new_plot_shown "$work/plot-screen.txt"
    screen >"$work/resized-screen.txt"
    tmux resize-window -t "$session" -x 80 -y 50
    wait_until "no plot after the size came back" new_plot_shown "$work/resized-screen.txt"
    tmux send-keys -t "$session" Escape
    wait_for "Enter command..."
    wait_for "$2"
    [ "$(symbol_count)" -eq 0 ] || fail "the plot stayed on the screen"
    ! screen | grep -qiE 'XDG_RUNTIME_DIR|SDL' || fail "a library wrote on the screen"
    tmux send-keys -t "$session" "EN" Enter
}

run_plot "-u DISPLAY" "Plots: in the terminal as text symbols (auto). Set ZEPH_PLOT to change."

# The plot's keys in the terminal: an arrow pans (the picture changes), B
# saves the bitmap asked for with BI, and an overlay draws on the picture.
start_with_sine "-u DISPLAY"
tmux send-keys -t "$session" "AS RE PL BI" Enter
wait_for "Xmin, Xmax, Ymin, Ymax for plot:"
tmux send-keys -t "$session" "0 500 -1 1" Enter
wait_for "Enter file name for graphics BITMAP file"
tmux send-keys -t "$session" "sine.bmp" Enter
wait_for_symbols
wait_until "the plot was not drawn whole" whole_plot_shown
screen >"$work/before-pan.txt"
tmux send-keys -t "$session" Right
wait_until "the arrow did not pan the plot" new_plot_shown "$work/before-pan.txt"
# B asks for the bitmap; it is written when the plot ends, before the prompt comes back.
tmux send-keys -t "$session" B
tmux send-keys -t "$session" Escape
wait_for "Enter command..."
identify "$work/sine.bmp" 2>/dev/null | grep -qE "BMP3? 1280x864" || fail "B did not save the bitmap"
tmux send-keys -t "$session" "AS IM PL OV" Enter
wait_for_symbols "for the overlay"
tmux send-keys -t "$session" Escape
wait_for "Enter command..."
tmux send-keys -t "$session" "EN" Enter
[ -n "${ZEPH_E2E_KEEP:-}" ] && cp "$work/plot-screen.txt" "$ZEPH_E2E_KEEP/tmux-plot-screen.txt"

# The texts of a symbol plot are characters: the title, the axis labels and
# numbers read back exactly, and the picture with its texts spans at least
# 95 % of the pane's columns or of its rows, whichever limits it.
# "columns rows" from the first to the last character drawn.
drawn_span() {
    screen | python3 -c '
import sys
rows = sys.stdin.read().split("\n")
drawn = [(i, len(r) - len(r.lstrip(" ")), len(r.rstrip(" "))) for i, r in enumerate(rows) if r.strip(" ")]
print(max(end for _, _, end in drawn) - min(start for _, start, _ in drawn), drawn[-1][0] - drawn[0][0] + 1)'
}
# The characters down one column of the pane (0-based), blanks left out.
column_text() { screen | sed -E "s/^.{$1}(.).*/\1/;t;d" | tr -d ' \n'; }
spans_the_pane() {   # columns, rows of the pane
    local span
    span=$(drawn_span)
    [ "${span% *}" -ge $(($1 * 95 / 100)) ] || [ "${span#* }" -ge $(($2 * 95 / 100)) ] ||
        fail "the plot spans $span of a $1 x $2 pane"
}
answer() { wait_for "$1" && tmux send-keys -t "$session" "$2" Enter; }   # question, reply
start_with_sine "-u DISPLAY"
tmux send-keys -t "$session" "AS RE PL LA" Enter
answer "Enter Title for graph. !=blank" "Sine of twentieths"
answer "Enter X axis label for graph. !=blank" "Sample number"
answer "Enter Y axis label for graph. !=blank" "Volts"
answer "Xmin, Xmax, Ymin, Ymax for plot:" "0 500 -1 1"
wait_for_symbols "with labels"
wait_until "the plot was not drawn whole" whole_plot_shown
for text in "Sine of twentieths" "Sample number" " 0. " "250.000" "500.000" "1.00000" "-1.00000"; do
    on_screen "$text" || fail "not written as text: $text"
done
# The Y label stands upright: one character a row down the first column.
[ "$(column_text 0)" = "Volts" ] || fail "the Y label is not down the first column: $(column_text 0)"
spans_the_pane 80 50
# A pan writes the new view's numbers, and no text twice.
screen >"$work/before-pan.txt"
tmux send-keys -t "$session" Right
wait_until "the arrow did not pan the plot" new_plot_shown "$work/before-pan.txt"
on_screen "625.000" && on_screen "Sine of twentieths" || fail "the panned plot lost its texts"
! on_screen "500.000" || fail "the numbers of the old view stayed"
[ "$(screen | grep -c "Sine of twentieths")" -eq 1 ] || fail "the title is written twice"
# A wide pane: the rows limit the picture.
screen >"$work/before-resize.txt"
tmux resize-window -t "$session" -x 200 -y 50
wait_until "no plot after a resize" new_plot_shown "$work/before-resize.txt"
on_screen "Sine of twentieths" || fail "the title went with the resize"
spans_the_pane 200 50
tmux send-keys -t "$session" Escape
wait_for "Enter command..."
tmux resize-window -t "$session" -x 80 -y 50
# A spectrogram: its colour bar's numbers and unit are text too.
tmux send-keys -t "$session" "WA SG PL" Enter
answer "Segment points, overlap points:" "256, 128"
answer "Segment window: Squared cosine, Rectangular, Kaiser" "S"
answer "Xmin, Xmax, Ymin, Ymax for plot:" ""
answer "Dynamic range in dB:" "80"
wait_for_symbols "for the spectrogram"
for text in " dB" "-20.0000" "-40.0000" "-60.0000"; do
    wait_until "not written as text in the spectrogram: $text" on_screen "$text"
done
tmux send-keys -t "$session" Escape
wait_for "Enter command..."
tmux send-keys -t "$session" "EN" Enter
# The user expected a window here: the note says why there is none.
run_plot "DISPLAY=:93 XDG_RUNTIME_DIR=" "Plots: in the terminal as text symbols (no window: no display answers at :93)."

# An X server that wants a cookie the program does not have: the note gives
# the X library's reason, which otherwise would have gone over the screen.
if command -v Xvfb >/dev/null && command -v xauth >/dev/null; then
    xauth -q -f "$work/cookies" add :0 . 0123456789abcdef0123456789abcdef
    source "$(dirname "$0")/xvfb_common.bash"
    trap 'kill $xvfb_pid 2>/dev/null || true; tmux kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
    start_xvfb -auth "$work/cookies" -screen 0 640x480x24
    run_plot "DISPLAY=$display XAUTHORITY=$work/no-cookies" \
        "Plots: in the terminal as text symbols (no window: Authorization required,...)."
fi
echo "tmux plot test passed"
