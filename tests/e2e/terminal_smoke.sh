#!/usr/bin/env bash
# Runs the program in a real terminal (tmux, 80 x 50), checks the help screen
# and a prompt, then shrinks the terminal and checks the request to enlarge it.
set -euo pipefail
program=$1
session="zeph-smoke-$$"
source "$(dirname "$0")/tmux_common.bash"

new_session -x 80 -y 50 "cd '$work' && TERM=xterm-256color ./zeph"
wait_for "Enter command..."
wait_for "ALlocate     SEt range    RTime    RFreq    RAsig    RBsig    SYstem    ENd"
wait_for "SPectrum: Y(f) [=B(x)]"
# PLot is on at start: its marker stands before it.
screen | grep -qF "»PLot, NOPL" || { echo "no PLot marker"; screen; exit 1; }

tmux send-keys -t "$session" "AL" Enter
wait_for "Number of sample points to allocate memory for:"
wait_for "/ 32768."
tmux send-keys -t "$session" "2000" Enter
wait_for "Maximum number of sample points:      2000"

tmux send-keys -t "$session" "sp po db" Enter
wait_for "Must create data first. Use RT, RF, RA, RB, AS EQ, or BS EQ"
screen | grep -qF "»SPectrum" || { echo "no SPectrum marker"; screen; exit 1; }

tmux resize-window -t "$session" -x 72 -y 24 2>/dev/null || tmux resize-pane -t "$session" -x 72 -y 24
wait_for "72 x 24"
tmux resize-window -t "$session" -x 80 -y 50 2>/dev/null || tmux resize-pane -t "$session" -x 80 -y 50
wait_for "Enter command..."

tmux send-keys -t "$session" "EN" Enter
wait_until "no ZEPH32.RL" file_written "$work/ZEPH32.RL"
grep -q "^2000 *\*! Number of sample points to allocate memory for:" "$work/ZEPH32.RL" || {
    echo "reply log not saved"; cat "$work/ZEPH32.RL" 2>/dev/null; exit 1; }
echo "terminal smoke test passed"
