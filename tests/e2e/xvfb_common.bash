# Shared by the tests that need an X server: sourced after `work` (a scratch
# folder) and `fail` are defined. start_xvfb starts Xvfb on a display number
# it picks itself (written to fd 4), with the given extra arguments, and sets
# xvfb_pid and display (":N"); the caller's exit trap kills xvfb_pid.
# The server never resets: a test's clients come and go.
source "$(dirname "${BASH_SOURCE[0]}")/wait_until.bash"
xvfb_pid=""
start_xvfb() {
    rm -f "$work/display_number"
    Xvfb -displayfd 4 -nolisten tcp -noreset "$@" 4>"$work/display_number" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_until "Xvfb did not start" file_written "$work/display_number"
    display=":$(head -n 1 "$work/display_number")"
}
# start_headless starts a copy of `program` on the display, with the given
# variables (NAME=value) added, replies from fd 3 (a named pipe) and its
# transcript in $work/transcript.txt; it sets zeph_pid. end_headless, for the
# exit trap, ends the program and the X server and removes the work folder.
zeph_pid=""
start_headless() {
    cp "$program" "$work/zeph"
    mkfifo "$work/replies"
    (cd "$work" && DISPLAY="$display" exec env "$@" ./zeph <replies >transcript.txt 2>&1) &
    zeph_pid=$!
    exec 3>"$work/replies"
}
end_headless() {
    exec 3>&- 2>/dev/null || true
    [ -n "$zeph_pid" ] && kill "$zeph_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
