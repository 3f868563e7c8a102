#!/usr/bin/env bash
# In a real terminal (tmux): Ctrl+C, Ctrl+\ and a hang-up end the run as EN
# does. The replies are saved as ZEPH32.RL, the exit status is 128 + the
# signal, and the terminal is given back in its normal (cooked, echoing) mode.
set -euo pipefail
program=$1
session="zeph-signals-$$"
source "$(dirname "$0")/tmux_common.bash"
# One run: start, answer AL with 2000, end it with `how` (a tmux key or
# "hangup"), then check the status, the saved replies and the terminal mode.
check_run() {   # how, expected status
    rm -f "$work/ZEPH32.RL" "$work/status" "$work/stty" "$work/pid"
    new_session -x 80 -y 50 \
        "cd '$work' && TERM=xterm-256color sh -c 'echo \$\$ > pid; exec ./zeph'; echo \$? > status; stty -a > stty"
    wait_for "Enter command..."
    tmux send-keys -t "$session" "AL" Enter
    wait_for "Number of sample points to allocate memory for:"
    tmux send-keys -t "$session" "2000" Enter
    wait_for "Maximum number of sample points:      2000"
    if [ "$1" = hangup ]; then
        kill -HUP "$(cat "$work/pid")"
    else
        tmux send-keys -t "$session" "$1"
    fi
    wait_until "no exit status" file_written "$work/status"
    wait_until "no terminal modes" file_written "$work/stty"
    [ "$(cat "$work/status")" = "$2" ] || { echo "$1: exit status $(cat "$work/status"), not $2"; exit 1; }
    grep -q "^2000 *\*! Number of sample points to allocate memory for:" "$work/ZEPH32.RL" || {
        echo "$1: reply log not saved"; cat "$work/ZEPH32.RL" 2>/dev/null; exit 1; }
    grep -qw -- "-icanon" "$work/stty" && { echo "$1: terminal left raw"; cat "$work/stty"; exit 1; }
    grep -qw -- "-echo" "$work/stty" && { echo "$1: terminal left without echo"; cat "$work/stty"; exit 1; }
    tmux kill-session -t "$session"
}

check_run C-c 130
check_run 'C-\' 131
check_run hangup 129
echo "terminal signal test passed"
