#!/usr/bin/env bash
# Runs the program in a real terminal larger than the grid (tmux, 100 x 60,
# UTF-8): the grid is centred, prompts show their own characters, and typed
# non-ASCII text is edited by character and logged as UTF-8.
set -euo pipefail
program=$1
session="zeph-unicode-$$"
source "$(dirname "$0")/tmux_common.bash"

new_session -x 100 -y 60 "cd '$work' && LC_ALL=C.UTF-8 TERM=xterm-256color ./zeph"
wait_for "Enter command..."
# 20 spare columns and 10 spare rows: the grid starts 10 columns in, 5 rows down.
row=$(screen | grep -nF "ALlocate     SEt range" | cut -d: -f1)
[ "$row" = 7 ] || { echo "row 2 of the grid on terminal row $row, not 7"; screen; exit 1; }
screen | grep -q "^ \{12\}ALlocate" || { echo "grid not centred across"; screen; exit 1; }

tmux send-keys -t "$session" "AS EQ" Enter
wait_for "Enter   # sample points"
tmux send-keys -t "$session" "8 0 1" Enter
wait_for "A = F(A,B,X,constants)"
tmux send-keys -t "$session" "X" Enter
wait_for "Enter command..."
tmux send-keys -t "$session" "AS LT" Enter
wait_for "Type: A=+(A+jB), M=*(A+jB), E=*(A+jB)*EXP(j2πft), S=*(A+jB)*COS(2πft+Θ), C=conj."
tmux send-keys -t "$session" Escape
wait_for "Enter command..."

# "cho π€x", Home, "e", End, Backspace, Ctrl+A, Right, Delete, "c": "echo π€" by characters.
tmux send-keys -t "$session" "SY" Enter
wait_for "Enter DOS command:"
tmux send-keys -t "$session" "cho π€x" Home "e" End BSpace C-a Right Delete "c"
wait_for "echo π€"
tmux send-keys -t "$session" Enter
wait_for "Hit any key"
screen | grep -q "^ *π€$" || { echo "command output not shown"; screen; exit 1; }
tmux send-keys -t "$session" Enter
wait_for "Enter command..."

tmux send-keys -t "$session" "EN" Enter
wait_until "no ZEPH32.RL" file_written "$work/ZEPH32.RL"
grep -q "^echo π€ *\*! " "$work/ZEPH32.RL" || { echo "reply not logged as typed"; cat "$work/ZEPH32.RL"; exit 1; }
echo "terminal unicode test passed"
