# Shared by the terminal tests: a scratch folder with a copy of the program,
# a tmux session name, and waiting for text on the screen.
# Usage: source tmux_session.bash <program> <session prefix>
command -v tmux >/dev/null || { echo "tmux is missing"; exit 1; }

work=$(mktemp -d)
session="$2-$$"
trap 'tmux kill-session -t "$session" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$1" "$work/zeph"

screen() { tmux capture-pane -p -t "$session"; }
wait_for() {   # text, tries of 0.1 s
    for _ in $(seq 1 "${2:-50}"); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    echo "not on the screen: $1"; screen; exit 1
}
