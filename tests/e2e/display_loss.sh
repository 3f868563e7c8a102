#!/usr/bin/env bash
# The display goes away while a plot window waits for its key: the run ends
# as on a hang-up (status 128 + SIGHUP) with the replies saved as ZEPH32.RL,
# not in Xlib's silent exit.
#
# Argument 1: the path of build/zeph.
set -euo pipefail
program=$(readlink -f "$1")
for tool in Xvfb xwininfo; do
    command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done

work=$(mktemp -d)
source "$(dirname "$0")/xvfb_common.bash"
trap end_headless EXIT
fail() { echo "display loss test failed: $*"; echo "--- transcript (last lines)"; tail -n 20 "$work/transcript.txt" 2>/dev/null || true; exit 1; }

start_xvfb -screen 0 800x600x24
start_headless ZEPH_PLOT=window
printf 'AS EQ\n64 0 1\nSIN(X/5.)\nAS RE PL\n\n' >&3
window_up() { DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -qF '"Tavola'; }
wait_until "no plot window" window_up

kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=""
ended() { ! kill -0 "$zeph_pid" 2>/dev/null; }
wait_until "the program did not end when the display went away" ended
status=0
wait "$zeph_pid" || status=$?
zeph_pid=""
[ "$status" -eq 129 ] || fail "exit status $status, not 129 (128 + SIGHUP)"
[ -f "$work/ZEPH32.RL" ] || fail "no ZEPH32.RL"
grep -qF "SIN(X/5.)" "$work/ZEPH32.RL" || fail "the replies are not in ZEPH32.RL"
echo "display loss test passed"

# The display goes away between two plots: the next plot finds no window
# and says so, and the run goes on.
rm -f "$work/replies" "$work/ZEPH32.RL" "$work/transcript.txt"
start_xvfb -screen 0 800x600x24
start_headless ZEPH_PLOT=window
printf 'AS EQ\n64 0 1\nSIN(X/5.)\nAS RE PL\n\n' >&3
wait_until "no plot window" window_up
printf '<ESC>\n' >&3
window_gone() { ! window_up; }
wait_until "the plot window did not close" window_gone
kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=""
printf 'AS RE PL\n\nAL\n2000\n' >&3
exec 3>&-
wait_until "the program did not end after the second plot" ended
status=0
wait "$zeph_pid" || status=$?
zeph_pid=""
[ "$status" -eq 1 ] || fail "exit status $status after a plot without the display, not 1 (its error shown)"
grep -qF "Maximum number of sample points:      2000" "$work/transcript.txt" || fail "the run did not go on"
echo "display loss between plots test passed"
