#!/usr/bin/env bash
# Plots inside real terminals on Xvfb, with DISPLAY removed for the program
# itself: xterm started as a VT340 (sixel graphics) must show the plot as an
# image, and tmux inside xterm must show it as Unicode symbols. Keys are
# typed with xdotool; screenshots are checked for the plot's white area and
# blue curve, and for the console coming back after Esc.
#
# Argument 1: the path of build/zeph. ZEPH_E2E_KEEP=dir keeps the screenshots there.
set -euo pipefail
program=$(readlink -f "$1")
for tool in Xvfb xterm xdotool import convert tmux; do
    command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done

work=$(mktemp -d)
source "$(dirname "$0")/xvfb_common.bash"
xterm_pid=""
session="zeph-xterm-$$"
cleanup() {
    [ -n "$xterm_pid" ] && kill "$xterm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    tmux -L "$session" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "xterm plot test failed: $*"; exit 1; }

start_xvfb -screen 0 1280x1024x24
cp "$program" "$work/zeph"

# The terminal's area at the top-left corner (80 x 50 cells of DejaVu Sans Mono 9).
area=""
screenshot() { import -display "$display" -window root -crop "$area" +repage "$1" 2>/dev/null; }
# Pixels near a colour in a screenshot (the console's light grey is no white).
pixels_like() {   # file, colour, fuzz
    convert "$1" -fuzz "$3" -fill '#FF00FF' -opaque "$2" -format %c histogram:info:- |
        grep -i '#FF00FF' | awk -F: '{s += $1} END {print s + 0}'
}
# The program logs each reply as it takes it (ZEPH32.TMP beside the copy):
# a line is typed once the one before has been taken.
log="$work/ZEPH32.TMP"
replies_logged() { [ "$(wc -l <"$log")" -gt "$1" ]; }
type_keys() { DISPLAY="$display" xdotool type --delay 15 "$1"; DISPLAY="$display" xdotool key Return; }
type_line() {
    local before
    before=$(wc -l <"$log")
    type_keys "$1"
    wait_until "the reply $1 was not taken" replies_logged "$before"
}

# The plot fills a third of the terminal in white, with its blue curve.
plot_shown() {   # screenshot file
    screenshot "$1" || return 1
    white=$(pixels_like "$1" '#FFFFFF' 2%)
    blue=$(pixels_like "$1" '#0000AA' 12%)
    [ "$white" -gt $((WIDTH * HEIGHT / 3)) ] && [ "$blue" -gt 500 ]
}
# The console is back: hardly any white.
plot_gone() {   # screenshot file
    screenshot "$1" || return 1
    white=$(pixels_like "$1" '#FFFFFF' 2%)
    [ "$white" -lt $((WIDTH * HEIGHT / 10)) ]
}
xterm_ended() { ! kill -0 "$xterm_pid" 2>/dev/null; }

# Starts xterm with `arguments`, running `command` in the work directory;
# replies a sine wave and plots it; checks the screenshot; Esc; checks again.
plot_in_xterm() {   # name, command, xterm arguments...
    local name=$1 command=$2
    shift 2
    rm -f "$log"
    DISPLAY="$display" xterm "$@" -fa 'DejaVu Sans Mono' -fs 9 -geometry 80x50+0+0 \
        -e bash -c "cd '$work' && $command" &
    xterm_pid=$!
    local window
    window=$(DISPLAY="$display" xdotool search --sync --onlyvisible --class xterm | head -n 1) || fail "no xterm"
    eval "$(DISPLAY="$display" xdotool getwindowgeometry --shell "$window")"
    area="${WIDTH}x${HEIGHT}+0+0"
    DISPLAY="$display" xdotool mousemove 40 40   # the pointer's window has the keyboard
    wait_until "$name: the program did not start" file_written "$log"
    type_line "AS EQ"
    type_line "1024 0 1"
    type_line "SIN(X/20.)"
    type_line "AS RE PL"
    DISPLAY="$display" xdotool key Return
    white=0 blue=0
    wait_until "$name: no plot with its curve on the screen" plot_shown "$work/$name.png"
    echo "$name: $white white, $blue blue pixels of $((WIDTH * HEIGHT))"
    if [ -n "${ZEPH_E2E_KEEP:-}" ]; then mkdir -p "$ZEPH_E2E_KEEP" && cp "$work/$name.png" "$ZEPH_E2E_KEEP/"; fi
    DISPLAY="$display" xdotool key Escape
    wait_until "$name: the plot stayed after Esc" plot_gone "$work/$name-after.png"
    echo "$name after Esc: $white white pixels"
    type_keys "EN"   # the log is saved and removed: the end of the terminal tells
    wait_until "$name: the terminal did not close after EN" xterm_ended
    wait "$xterm_pid" 2>/dev/null || true
    xterm_pid=""
}

plot_in_xterm plot-sixel-xterm "env -u DISPLAY ./zeph" -ti vt340 -xrm 'XTerm*numColorRegisters: 256'
plot_in_xterm plot-symbols-tmux "tmux -L $session new-session -s $session -x 80 -y 50 'env -u DISPLAY ./zeph'" -u8 \
    -xrm 'XTerm*termName: xterm-256color'
echo "xterm plot test passed"
