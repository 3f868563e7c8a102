#!/usr/bin/env bash
# In a real terminal (tmux) with the plot in a window on Xvfb: the display
# goes away while the window waits for its key. The run ends as on a
# hang-up (status 129), the replies are saved as ZEPH32.RL, and the terminal
# is given back in its normal (cooked, echoing) mode.
set -euo pipefail
program=$1
session="zeph-display-loss-$$"
source "$(dirname "$0")/tmux_common.bash"
command -v Xvfb >/dev/null && command -v xwininfo >/dev/null || { echo "Xvfb or xwininfo is missing"; exit 1; }
source "$(dirname "$0")/xvfb_common.bash"
trap 'kill $xvfb_pid 2>/dev/null || true; tmux kill-server 2>/dev/null || true; rm -rf "$work"' EXIT

start_xvfb -screen 0 800x600x24
new_session -x 80 -y 50 "cd '$work' && env -u WAYLAND_DISPLAY DISPLAY=$display ZEPH_PLOT=window \
TERM=xterm-256color ./zeph; echo \$? > status; stty -a > stty"
make_sine
plot_a
window_up() { DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -qF '"Tavola'; }
wait_until "no plot window" window_up
kill "$xvfb_pid"
wait_until "no exit status" file_written "$work/status"
wait_until "no terminal modes" file_written "$work/stty"
[ "$(cat "$work/status")" = 129 ] || fail "exit status $(cat "$work/status"), not 129"
grep -q "^SIN(X/20.) *\*! " "$work/ZEPH32.RL" || { cat "$work/ZEPH32.RL" 2>/dev/null; fail "reply log not saved"; }
! grep -qw -- "-icanon" "$work/stty" || fail "terminal left raw"
! grep -qw -- "-echo" "$work/stty" || fail "terminal left without echo"
echo "terminal display loss test passed"
