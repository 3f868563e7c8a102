#!/usr/bin/env bash
# Plots a signal in a real window: starts Xvfb on a free display, runs a copy
# of the program there with replies piped in (AS EQ builds a sine, AS RE PL
# plots it), takes a screenshot while the plot waits for its key, checks that
# the curve and the frame are on the screen, then ends the plot and the run.
#
# Argument 1: the path of build/zeph. ZEPH_E2E_KEEP=dir keeps the screenshot there.
set -euo pipefail
program=$(readlink -f "$1")
for tool in Xvfb import convert compare; do
    command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done

work=$(mktemp -d)
source "$(dirname "$0")/xvfb_common.bash"
trap end_headless EXIT
fail() { echo "xvfb plot test failed: $*"; echo "--- transcript (last lines)"; tail -n 30 "$work/transcript.txt" 2>/dev/null || true; exit 1; }

start_xvfb -screen 0 1280x1024x24
screenshot() { import -display "$display" -window root "$1" 2>/dev/null; }
wait_until "Xvfb did not start on $display" screenshot "$work/empty.png"

start_headless

in_transcript() { grep -qF -- "$1" "$work/transcript.txt" 2>/dev/null; }
wait_for_text() { wait_until "not in the transcript: $1" in_transcript "$1"; }

printf 'AS EQ\n1024 0 1\nSIN(X/20.)\nAS RE PL\n' >&3
wait_for_text "Xmin, Xmax, Ymin, Ymax for plot:"
printf '\n' >&3

# Pixels by colour inside the plot window (0.8 of the 1280 x 1024 screen at
# the top-left corner; the bare root window around it is black): the curve is
# blue (0000AA), frame, ticks, grids and texts black, the rest white.
window_area="1024x819+0+0"
histogram_of() { convert "$1" -crop "$window_area" +repage -format %c histogram:info:-; }
count_in() { echo "$1" | grep -i "#$2" | awk -F: '{s += $1} END {print s + 0}'; }

# Wait for the whole plot in its window: the curve, the frame and the window's white.
plot_on_screen() {
    screenshot "$work/screen.png" || return 1
    histogram=$(histogram_of "$work/screen.png")
    blue=$(count_in "$histogram" 0000AA)
    black=$(count_in "$histogram" 000000)
    white=$(count_in "$histogram" FFFFFF)
    [ "$blue" -ge 1500 ] && [ "$black" -ge 3000 ] && [ "$white" -ge 500000 ]
}
wait_until "no whole plot on the screen" plot_on_screen
if [ -n "${ZEPH_E2E_KEEP:-}" ]; then mkdir -p "$ZEPH_E2E_KEEP" && cp "$work/screen.png" "$ZEPH_E2E_KEEP/xvfb_plot.png"; fi
echo "plot window: $blue blue (curve), $black black (frame, ticks, texts), $white white pixels"

# The frame's bottom side: one long black row inside the window.
longest=$(convert "$work/screen.png" -crop "$window_area" +repage -fill white +opaque black -fill black -opaque black \
          -scale 1x819! -format "%[fx:minima.intensity]" info: 2>/dev/null || echo 1)
awk -v m="$longest" 'BEGIN { exit !(m < 0.4) }' || fail "no frame row in the plot window (row darkness $longest)"

# Keys from the window and from the input both reach the plot: Right pans
# (typed in the window when xdotool is there), Home (a reply line) returns.
differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != "0" ]; }
# A screenshot taken now as `file` is unlike (or, with "same", like) `reference`.
shot_differs() { screenshot "$1" && differs "$1" "$2"; }
shot_same() { screenshot "$1" && ! differs "$1" "$2"; }
if command -v xdotool >/dev/null; then
    window_id=$(DISPLAY="$display" xdotool search --name '^Tavola' | head -n 1) || fail "xdotool found no window"
    DISPLAY="$display" xdotool windowfocus --sync "$window_id" key Right || fail "xdotool could not type"
else
    printf '<RIGHT>\n' >&3
fi
wait_until "Right did not pan the plot" shot_differs "$work/panned.png" "$work/screen.png"
printf '<HOME>\n' >&3
wait_until "Home did not bring the first view back" shot_same "$work/home.png" "$work/screen.png"
if [ -n "${ZEPH_E2E_KEEP:-}" ]; then cp "$work/panned.png" "$work/home.png" "$ZEPH_E2E_KEEP/"; fi

# Esc ends the plot; the end of input ends the run.
printf '<ESC>\n' >&3
exec 3>&-
ended() { ! kill -0 "$zeph_pid" 2>/dev/null; }
wait_until "the program did not end" ended
wait "$zeph_pid" || true
zeph_pid=""
grep -qF "Enter command..." "$work/transcript.txt" || fail "no command prompt"
echo "xvfb plot test passed"
