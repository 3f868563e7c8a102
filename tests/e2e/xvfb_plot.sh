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
zeph_pid=""
cleanup() {
    exec 3>&- 2>/dev/null || true
    [ -n "$zeph_pid" ] && kill "$zeph_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "xvfb plot test failed: $*"; echo "--- transcript (last lines)"; tail -n 30 "$work/transcript.txt" 2>/dev/null || true; exit 1; }

start_xvfb -screen 0 1280x1024x24
screenshot() { import -display "$display" -window root "$1" 2>/dev/null; }
for _ in $(seq 1 100); do
    screenshot "$work/empty.png" && break
    sleep 0.1
done
screenshot "$work/empty.png" || fail "Xvfb did not start on $display"

cp "$program" "$work/zeph"
mkfifo "$work/replies"
(cd "$work" && DISPLAY="$display" exec ./zeph <replies >transcript.txt 2>&1) &
zeph_pid=$!
exec 3>"$work/replies"

wait_for_text() {   # text, tries of 0.1 s
    for _ in $(seq 1 "${2:-100}"); do
        grep -qF -- "$1" "$work/transcript.txt" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "not in the transcript: $1"
}

printf 'AS EQ\n1024 0 1\nSIN(X/20.)\nAS RE PL\n' >&3
wait_for_text "Xmin, Xmax, Ymin, Ymax for plot:"
printf '\n' >&3

# Pixels by colour inside the plot window (0.8 of the 1280 x 1024 screen at
# the top-left corner; the bare root window around it is black): the curve is
# blue (0000AA), frame, ticks, grids and texts black, the rest white.
window_area="1024x819+0+0"
histogram_of() { convert "$1" -crop "$window_area" +repage -format %c histogram:info:-; }
count_in() { echo "$1" | grep -i "#$2" | awk -F: '{s += $1} END {print s + 0}'; }

# Wait for the plot window, then a moment for the whole picture.
for _ in $(seq 1 50); do
    screenshot "$work/screen.png" || fail "screenshot failed"
    [ "$(count_in "$(histogram_of "$work/screen.png")" 0000AA)" -gt 0 ] && break
    sleep 0.2
done
sleep 0.5
screenshot "$work/screen.png" || fail "screenshot failed"
if [ -n "${ZEPH_E2E_KEEP:-}" ]; then mkdir -p "$ZEPH_E2E_KEEP" && cp "$work/screen.png" "$ZEPH_E2E_KEEP/xvfb_plot.png"; fi
histogram=$(histogram_of "$work/screen.png")
count_of() { count_in "$histogram" "$1"; }
blue=$(count_of 0000AA)
black=$(count_of 000000)
white=$(count_of FFFFFF)
echo "plot window: $blue blue (curve), $black black (frame, ticks, texts), $white white pixels"
[ "$blue" -ge 1500 ] || fail "too few curve pixels: $blue"
[ "$black" -ge 3000 ] || fail "too few frame pixels: $black"
[ "$white" -ge 500000 ] || fail "the plot window is not on the screen (white pixels: $white)"

# The frame's bottom side: one long black row inside the window.
longest=$(convert "$work/screen.png" -crop "$window_area" +repage -fill white +opaque black -fill black -opaque black \
          -scale 1x819! -format "%[fx:minima.intensity]" info: 2>/dev/null || echo 1)
awk -v m="$longest" 'BEGIN { exit !(m < 0.4) }' || fail "no frame row in the plot window (row darkness $longest)"

# Keys from the window and from the input both reach the plot: Right pans
# (typed in the window when xdotool is there), Home (a reply line) returns.
differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != "0" ]; }
if command -v xdotool >/dev/null; then
    window_id=$(DISPLAY="$display" xdotool search --name '^Tavola$' | head -n 1) || fail "xdotool found no window"
    DISPLAY="$display" xdotool windowfocus --sync "$window_id" key Right || fail "xdotool could not type"
else
    printf '<RIGHT>\n' >&3
fi
sleep 1
screenshot "$work/panned.png" || fail "screenshot failed"
differs "$work/screen.png" "$work/panned.png" || fail "Right did not pan the plot"
printf '<HOME>\n' >&3
sleep 1
screenshot "$work/home.png" || fail "screenshot failed"
if [ -n "${ZEPH_E2E_KEEP:-}" ]; then cp "$work/panned.png" "$work/home.png" "$ZEPH_E2E_KEEP/"; fi
differs "$work/screen.png" "$work/home.png" && fail "Home did not bring the first view back"

# Esc ends the plot; the end of input ends the run.
printf '<ESC>\n' >&3
exec 3>&-
for _ in $(seq 1 100); do
    kill -0 "$zeph_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$zeph_pid" 2>/dev/null; then fail "the program did not end"; fi
wait "$zeph_pid" || true
zeph_pid=""
grep -qF "Enter command..." "$work/transcript.txt" || fail "no command prompt"
echo "xvfb plot test passed"
