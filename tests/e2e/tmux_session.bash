# Shared by the terminal tests (sourced, not run): a private copy of the
# program in a temporary folder, a tmux session name, and screen helpers.
# Expects `program` (the program's path) and `session_prefix`.
set -euo pipefail
command -v tmux >/dev/null || { echo "tmux is missing"; exit 1; }

work=$(mktemp -d)
session="$session_prefix-$$"
trap 'tmux kill-session -t "$session" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$program" "$work/zeph"

screen() { tmux capture-pane -p -t "$session"; }
wait_for() {   # text, tries
    for _ in $(seq 1 "${2:-50}"); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    echo "not on the screen: $1"; screen; exit 1
}
