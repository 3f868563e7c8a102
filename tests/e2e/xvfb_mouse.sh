#!/usr/bin/env bash
# The mouse over a plot in a real window, driven by xdotool: the title bar
# shows the values under the pointer, a wheel step zooms about them (the
# bitmap of that view equals the bitmap of the same view asked for with the
# range question), a click puts the nearest point on the message line, and
# the next plot opens at the size the user gave the window.
#
# Argument 1: the path of build/zeph.
set -euo pipefail
program=$(readlink -f "$1")
for tool in Xvfb xdotool convert identify cmp awk; do
    command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done

work=$(mktemp -d)
source "$(dirname "$0")/xvfb_common.bash"
trap end_headless EXIT
fail() { echo "xvfb mouse test failed: $*"; echo "--- transcript (last lines)"; tail -n 30 "$work/transcript.txt" 2>/dev/null || true; exit 1; }

start_xvfb -screen 0 1280x1024x24
start_headless
xdo() { DISPLAY="$display" xdotool "$@"; }

in_transcript() { grep -qF -- "$1" "$work/transcript.txt" 2>/dev/null; }
wait_for_text() { wait_until "not in the transcript: $1" in_transcript "$1"; }
window_id=""
find_window() { window_id=$(xdo search --onlyvisible --name '^Tavola' 2>/dev/null | head -n 1) && [ -n "$window_id" ]; }
title() { xdo getwindowname "$window_id" 2>/dev/null; }

# y = x from 0 to 1000 in steps of 1, plotted over exactly that range.
printf 'AS EQ\n1001 0 1\nX\nAS RE PL BI\n' >&3
wait_for_text "Xmin, Xmax, Ymin, Ymax for plot:"
printf '0, 1000, 0, 1000\n' >&3
wait_for_text "BITMAP file"
printf 'zoom.bmp\n' >&3
wait_until "no plot window" find_window

# The frame: the curve y = x runs from its bottom-left to its top-right
# corner, so the box around the blue pixels is the frame.
shot() { DISPLAY="$display" import -window "$window_id" "$work/window.png" 2>/dev/null; }
frame_columns() {
    shot || return 1
    local box
    box=$(convert "$work/window.png" -fill white +opaque "#0000AA" -format '%@' info: 2>/dev/null) || return 1
    read -r box_width box_height left top < <(echo "$box" | tr 'x+' '  ')
    [ -n "$top" ] || return 1
    right=$((left + box_width - 1))
    bottom=$((top + box_height - 1))
    [ "$box_width" -gt 300 ] && [ "$box_height" -gt 200 ]
}
wait_until "no frame in the plot window" frame_columns
echo "frame: columns $left..$right, rows $top..$bottom"

# The pointer 40 % of the way across and 30 % up: x 400, y 300 within a pixel's worth.
px=$(awk -v l="$left" -v r="$right" 'BEGIN { printf "%d", l + 0.4 * (r - l) + 0.5 }')
py=$(awk -v t="$top" -v b="$bottom" 'BEGIN { printf "%d", b - 0.3 * (b - t) + 0.5 }')
xdo mousemove --window "$window_id" "$px" "$py"
readout_shown() { title | grep -q ' x [0-9.]*, y [0-9.]*$'; }
wait_until "no coordinates in the title ($(title))" readout_shown
read -r shown_x shown_y < <(title | sed 's/.* x \([0-9.]*\), y \([0-9.]*\)$/\1 \2/')
echo "title: $(title)"
pixel_worth=$(awk -v l="$left" -v r="$right" 'BEGIN { print 1000 / (r - l) }')
expected_x=$(awk -v l="$left" -v r="$right" -v p="$px" 'BEGIN { print 1000 * (p - l) / (r - l) }')
expected_y=$(awk -v t="$top" -v b="$bottom" -v p="$py" 'BEGIN { print 1000 * (b - p) / (b - t) }')
awk -v s="$shown_x" -v e="$expected_x" -v w="$pixel_worth" 'BEGIN { d = s - e; exit !(d < 1.5 * w && -d < 1.5 * w) }' ||
    fail "title x $shown_x, expected $expected_x within $pixel_worth"
awk -v s="$shown_y" -v e="$expected_y" -v w="$pixel_worth" 'BEGIN { d = s - e; exit !(d < 1.5 * w && -d < 1.5 * w) }' ||
    fail "title y $shown_y, expected $expected_y"

# One wheel step towards the picture zooms x about the value shown.
cp "$work/window.png" "$work/before.png"
xdo click --window "$window_id" 4
zoomed() { shot && [ "$(compare -metric AE "$work/window.png" "$work/before.png" null: 2>&1 || true)" != "0" ]; }
wait_until "the wheel did not zoom" zoomed
# A click picks the point under the pointer.
xdo click --window "$window_id" 1
sleep_free_esc() { printf '<ESC>\n' >&3; }
sleep_free_esc
wait_for_text "Point "
grep -F "Point " "$work/transcript.txt" | tail -n 1
bitmap_written() { [ -s "$work/zoom.bmp" ]; }
wait_until "no bitmap of the zoomed view" bitmap_written

# The same view through the range question gives the same bitmap.
read -r lo hi < <(awk -v p="$shown_x" 'BEGIN { printf "%.17g %.17g\n", p - (p - 0) * 0.8, p + (1000 - p) * 0.8 }')
printf 'AS RE PL BI\n' >&3
wait_for_text "Xmin, Xmax, Ymin, Ymax for plot:"
printf '%s, %s, 0, 1000\n' "$lo" "$hi" >&3
wait_for_text "BITMAP file"
printf 'asked.bmp\n' >&3
wait_until "no second plot window" find_window
printf '<ESC>\n' >&3
asked_written() { [ -s "$work/asked.bmp" ]; }
wait_until "no bitmap of the asked view" asked_written
cmp -s "$work/zoom.bmp" "$work/asked.bmp" || fail "the zoomed view ($lo .. $hi) differs from the same range asked for"

# The window keeps the size the user gives it: the next plot opens at that
# size and its picture is drawn for it.
printf 'AS RE PL\n' >&3
wait_for_text "Xmin, Xmax, Ymin, Ymax for plot:"
printf '\n' >&3
wait_until "no third plot window" find_window
# A drag pans the view: the picture changes under the moving pointer.
wait_until "no frame in the third plot" frame_columns
cp "$work/window.png" "$work/unpanned.png"
xdo mousemove --window "$window_id" 400 300 mousedown 1 mousemove --window "$window_id" 500 350 mouseup 1
panned() { shot && [ "$(compare -metric AE "$work/window.png" "$work/unpanned.png" null: 2>&1 || true)" != "0" ]; }
wait_until "a drag did not pan the plot" panned
xdo windowsize "$window_id" 700 500
resized() { [ "$(xdo getwindowgeometry "$window_id" | awk '/Geometry/ { print $2 }')" = "700x500" ]; }
wait_until "the window did not take 700x500" resized
printf '<ESC>\nAS RE PL BI\n\nsized.bmp\n<ESC>\n' >&3
sized_written() { [ -s "$work/sized.bmp" ]; }
wait_until "no bitmap of the resized plot" sized_written
[ "$(identify -format '%wx%h' "$work/sized.bmp")" = "700x500" ] ||
    fail "the next picture is $(identify -format '%wx%h' "$work/sized.bmp"), not 700x500"

exec 3>&-
ended() { ! kill -0 "$zeph_pid" 2>/dev/null; }
wait_until "the program did not end" ended
zeph_pid=""
echo "mouse: readout, wheel zoom, click and window size all as expected"
