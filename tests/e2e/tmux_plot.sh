#!/usr/bin/env bash
# Plots in a terminal without a window: the program runs in tmux (80 x 50),
# first without DISPLAY, then with DISPLAY naming a display that does not
# exist. Each time the plot must appear in the pane as Unicode symbols, no
# library may write on the screen, and Esc must bring the prompt back.
set -euo pipefail
export LC_ALL=C.UTF-8   # the symbol ranges below are characters, not bytes
program=$1
session="zeph-plot-$$"
source "$(dirname "$0")/tmux_common.bash"

# Characters of the symbol sets in the pane: blocks and braille (not the blank one).
symbol_count() { screen | grep -oP '[\x{2580}-\x{259F}\x{2801}-\x{28FF}]' | wc -l; }

run_plot() {   # environment for the program
    local command="cd '$work' && env -u WAYLAND_DISPLAY $1 TERM=xterm-256color LANG=C.UTF-8 ./zeph; sleep 30"
    if tmux has-session -t "$session" 2>/dev/null; then
        tmux respawn-pane -k -t "$session" "$command"
    else
        tmux new-session -d -s "$session" -x 80 -y 50 "$command"
    fi
    wait_for "Enter command..."
    tmux send-keys -t "$session" "AS EQ" Enter
    wait_for "Enter   # sample points,   Xmin,   dX"
    tmux send-keys -t "$session" "1024 0 1" Enter
    wait_for "Y="
    tmux send-keys -t "$session" "SIN(X/20.)" Enter
    wait_for "Enter command..."
    tmux send-keys -t "$session" "AS RE PL" Enter
    wait_for "Xmin, Xmax, Ymin, Ymax for plot:"
    tmux send-keys -t "$session" Enter
    for _ in $(seq 1 50); do
        [ "$(symbol_count)" -gt 200 ] && break
        sleep 0.1
    done
    [ "$(symbol_count)" -gt 200 ] || fail "no plot in symbols"
    # The frame's bottom edge: one row with a long run of symbols.
    screen | grep -qP '[\x{2580}-\x{259F}\x{2801}-\x{28FF}]{40}' || fail "no frame line"
    ! screen | grep -qiE 'XDG_RUNTIME_DIR|error|SDL|display' || fail "a library wrote on the screen"
    screen >"$work/plot-screen.txt"
    # A new terminal size: the plot is drawn again at that size.
    tmux resize-window -t "$session" -x 100 -y 60
    sleep 1
    [ "$(symbol_count)" -gt 200 ] || fail "no plot after a resize"
    tmux resize-window -t "$session" -x 80 -y 50
    sleep 1
    tmux send-keys -t "$session" Escape
    wait_for "Enter command..."
    wait_for "Plots: in the terminal as text symbols (auto). Set ZEPH_PLOT to change."
    [ "$(symbol_count)" -eq 0 ] || fail "the plot stayed on the screen"
    ! screen | grep -qiE 'XDG_RUNTIME_DIR|SDL' || fail "a library wrote on the screen"
    tmux send-keys -t "$session" "EN" Enter
}

run_plot "-u DISPLAY"
[ -n "${ZEPH_E2E_KEEP:-}" ] && cp "$work/plot-screen.txt" "$ZEPH_E2E_KEEP/tmux-plot-screen.txt"
run_plot "DISPLAY=:93 XDG_RUNTIME_DIR="
echo "tmux plot test passed"
