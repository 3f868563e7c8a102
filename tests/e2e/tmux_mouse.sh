#!/usr/bin/env bash
# The mouse over a plot in the terminal: SGR mouse reports written to the
# program through tmux's pseudo-terminal. Mouse reporting is on only while
# the plot is up; the bottom row shows the values under the pointer; a wheel
# step zooms about them (the bitmap equals that of the same view asked for
# with the range question); a click names the nearest point; reporting is
# switched off after Esc, after a plot error and after Ctrl+C.
set -euo pipefail
export LC_ALL=C.UTF-8
program=$1
session="zeph-mouse-$$"
source "$(dirname "$0")/tmux_common.bash"

start() {
    local command="cd '$work' && env -u DISPLAY -u WAYLAND_DISPLAY ZEPH_PLOT=symbols TERM=xterm-256color LANG=C.UTF-8 ./zeph"
    if tmux has-session -t "$session" 2>/dev/null; then
        tmux respawn-pane -k -t "$session" "$command"
    else
        new_session -x 100 -y 40 "$command"
    fi
    rm -f "$work/out.raw"
    tmux pipe-pane -o -t "$session" "cat >> '$work/out.raw'"
    wait_for "Enter command..."
}
reply() {   # the question on the screen, then the reply
    wait_for "$1"
    tmux send-keys -t "$session" "$2" Enter
}
mouse_flags() { tmux display -p -t "$session" '#{mouse_any_flag}#{mouse_sgr_flag}'; }
reporting_on() { [ "$(mouse_flags)" = 11 ]; }
reporting_off() { [ "$(mouse_flags)" = 00 ]; }
sgr() { tmux send-keys -t "$session" -l $'\e'"[<$1"; }
bottom_row() { screen | tail -n 1; }
readout_shown() { bottom_row | grep -qE '^x [0-9.]+, y [0-9.]+ *$'; }
# A plot of y = x from 0 to 1000 over exactly that range, saved as `file`.
plot_line() {   # x range, bitmap file
    tmux send-keys -t "$session" "AS RE PL BI" Enter
    reply "Xmin, Xmax, Ymin, Ymax for plot:" "$1, 0, 1000"
    reply "Enter file name for graphics BITMAP file" "$2"
    wait_until "no plot in symbols" plot_shown
    wait_until "mouse reporting not switched on" reporting_on
}

start
reporting_off || fail "mouse reporting on before any plot"
tmux send-keys -t "$session" "AS EQ" Enter
reply "Enter   # sample points,   Xmin,   dX" "1001 0 1"
reply "A = F(A,B,X,constants)" "X"
wait_for "Enter command..."
plot_line "0, 1000" zoom.bmp

# The pointer at a cell: its values on the bottom row.
sgr "35;50;20M"
wait_until "no coordinates on the bottom row" readout_shown
read -r shown_x < <(bottom_row | sed 's/^x \([0-9.]*\),.*/\1/')
echo "bottom row: $(bottom_row)"
# A wheel step there zooms x about that value.
screen >"$work/before.txt"
sgr "64;50;20M"
wait_until "the wheel did not zoom" new_plot_shown "$work/before.txt"
# A click (press and release in place) picks the nearest point.
sgr "0;50;20M"
sgr "0;50;20m"
tmux send-keys -t "$session" Escape
wait_for "Enter command..."
wait_until "mouse reporting not switched off after Esc" reporting_off
wait_for "Point "
grep -qF $'\e[?1003l' "$work/out.raw" || fail "no mode reset in the output after Esc"
wait_until "no bitmap of the zoomed view" file_written "$work/zoom.bmp"

# The same view through the range question: the same bitmap.
read -r lo hi < <(awk -v p="$shown_x" 'BEGIN { printf "%.17g %.17g\n", p - (p - 0) * 0.8, p + (1000 - p) * 0.8 }')
plot_line "$lo, $hi" asked.bmp
tmux send-keys -t "$session" Escape
wait_until "no bitmap of the asked view" file_written "$work/asked.bmp"
cmp -s "$work/zoom.bmp" "$work/asked.bmp" || fail "the wheel's view ($lo .. $hi) differs from the same range asked for"
wait_until "mouse reporting not switched off" reporting_off

# A plot that ends in an error (a logarithmic x axis panned below zero).
tmux send-keys -t "$session" "AS RE PL AX" Enter
reply "0:no axes, 1:axes drawn, 2:axes drawn & labeled" ""
reply "X axis. 0:Logarithmic" "0"
reply "Y axis. 0:Logarithmic" ""
reply "Xmin, Xmax, Ymin, Ymax for plot:" "1, 1000, 0, 1000"
wait_until "no logarithmic plot" plot_shown
wait_until "mouse reporting not switched on" reporting_on
tmux send-keys -t "$session" C-Left
wait_for "ERROR. Xmin<0 or Xmax<0 on logarithmic scale"
wait_until "mouse reporting not switched off after a plot error" reporting_off

# Ctrl+C during a plot ends the run; reporting is switched off on the way.
# (The axes answers are kept: x is still logarithmic.)
tmux send-keys -t "$session" "AS RE PL" Enter
reply "Xmin, Xmax, Ymin, Ymax for plot:" "1, 1000, 0, 1000"
wait_until "no plot in symbols" plot_shown
wait_until "mouse reporting not switched on" reporting_on
tmux send-keys -t "$session" C-c
pane_dead() { [ "$(tmux display -p -t "$session" '#{pane_dead}')" = 1 ]; }
wait_until "Ctrl+C did not end the run" pane_dead
# The pane keeps the modes the program's last output left.
reporting_off || fail "mouse reporting left on after Ctrl+C"
echo "terminal mouse: reporting on and off, readout, zoom, click as expected"
