#!/usr/bin/env bash
# What a terminal sends that is no key (tmux, 80 x 50): with LANG=C a byte
# beyond ASCII is no text and is refused while the prompt stays usable; a
# terminal's late answer to the plot's query (device attributes, sizes)
# is neither typed into the reply nor taken as Esc by the plot.
set -euo pipefail
program=$1
session="zeph-input-$$"
source "$(dirname "$0")/tmux_common.bash"

new_session -x 80 -y 50 "cd '$work' && env -u LC_ALL -u LC_CTYPE -u DISPLAY -u WAYLAND_DISPLAY LANG=C \
TERM=xterm-256color ./zeph; echo \$? > status"
wait_for "Enter command..."
# é as UTF-8 and as Latin-1, then a reply, a Home key and a second reply.
tmux send-keys -t "$session" -H c3 a9 e9
tmux send-keys -t "$session" "AL" Enter
wait_for "Number of sample points to allocate memory for:"
tmux send-keys -t "$session" Home "2000" Enter
wait_for "Maximum number of sample points:      2000"

# Late answers between the replies of a plot and while it is up.
answers=$'\e[?62;4;22c\e[8;50;80t\e[4;800;640t\e[12;40R'
tmux send-keys -t "$session" "AS EQ" Enter
wait_for "Enter   # sample points"
tmux send-keys -t "$session" -l "$answers"
tmux send-keys -t "$session" "64 0 1" Enter
wait_for "A = F(A,B,X,constants)"
tmux send-keys -t "$session" "SIN(X/5.)" Enter
wait_for "Enter command..."
plot_a
wait_until "no plot" whole_plot_shown
screen >"$work/plot.txt"
# The answers do not end the plot: the arrow after them pans it.
tmux send-keys -t "$session" -l "$answers"
tmux send-keys -t "$session" Right
wait_until "the plot did not pan after the answers" new_plot_shown "$work/plot.txt"
tmux send-keys -t "$session" Escape
wait_for "Enter command..."
tmux send-keys -t "$session" "EN" Enter
wait_until "no ZEPH32.RL" file_written "$work/ZEPH32.RL"
wait_until "no exit status" file_written "$work/status"
[ "$(cat "$work/status")" = 0 ] || fail "exit status $(cat "$work/status")"
grep -q "^AL *\*! " "$work/ZEPH32.RL" || { cat "$work/ZEPH32.RL"; fail "the reply after é was not AL"; }
grep -q "^2000 *\*! Number of sample points to allocate" "$work/ZEPH32.RL" || { cat "$work/ZEPH32.RL"; fail "no 2000"; }
grep -q "^64 0 1 *\*! " "$work/ZEPH32.RL" || { cat "$work/ZEPH32.RL"; fail "an answer went into a reply"; }
! grep -q "62;4;22c\|50;80t\|12;40R" "$work/ZEPH32.RL" || { cat "$work/ZEPH32.RL"; fail "an answer was logged"; }
echo "terminal input test passed"
