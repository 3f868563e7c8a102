# Shared by the tmux tests: sourced after `program` is set and with `session`
# naming the tmux session. Makes a work directory with a copy of the program,
# removes both at exit, and gives screen, fail and wait_for. The test's tmux
# server is its own (a socket named after the session), apart from any other.
command -v tmux >/dev/null || { echo "tmux is missing"; exit 1; }
tmux() { command tmux -L "$session" "$@"; }
work=$(mktemp -d)
trap 'tmux kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$program" "$work/zeph"

screen() { tmux capture-pane -p -t "$session"; }
fail() { echo "failed: $*"; screen; exit 1; }
wait_for() {   # text, tries of 0.1 s
    for _ in $(seq 1 "${2:-50}"); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    fail "not on the screen: $1"
}
