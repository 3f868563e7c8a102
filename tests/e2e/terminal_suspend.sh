#!/usr/bin/env bash
# A plot in the terminal (tmux, 80 x 50, an interactive shell with job
# control) survives Ctrl+Z and fg: the plot is drawn again and still
# answers its keys; Esc brings the console back.
set -euo pipefail
export LC_ALL=C.UTF-8
program=$1
session="zeph-suspend-$$"
source "$(dirname "$0")/tmux_common.bash"

new_session -x 80 -y 50 "env PS1='ready\$ ' bash --norc --noprofile -i"
wait_for "ready\$"
tmux send-keys -t "$session" "cd '$work' && env -u DISPLAY -u WAYLAND_DISPLAY TERM=xterm-256color ./zeph" Enter
make_sine
plot_a
wait_until "no plot" whole_plot_shown
screen >"$work/plot.txt"

tmux send-keys -t "$session" C-z
wait_for "Stopped"
tmux send-keys -t "$session" "fg" Enter
wait_until "the plot was not drawn again after fg" whole_plot_shown
screen >"$work/continued.txt"
tmux send-keys -t "$session" Right   # the plot still takes its keys
wait_until "the arrow did not pan the plot after fg" new_plot_shown "$work/continued.txt"
tmux send-keys -t "$session" Escape
wait_for "Enter command..."
tmux send-keys -t "$session" "EN" Enter
wait_for "ready\$ "
echo "terminal suspend test passed"
