# Shared by the tests that need an X server: sourced after `work` (a scratch
# folder) and `fail` are defined. start_xvfb starts Xvfb on a display number
# it picks itself (written to fd 4), with the given extra arguments, and sets
# xvfb_pid and display (":N"); the caller's exit trap kills xvfb_pid.
xvfb_pid=""
start_xvfb() {
    Xvfb -displayfd 4 -nolisten tcp "$@" 4>"$work/display_number" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$work/display_number" ] && break
        sleep 0.1
    done
    [ -s "$work/display_number" ] || fail "Xvfb did not start"
    display=":$(head -n 1 "$work/display_number")"
}
