# Shared by the end-to-end tests: sourced after `fail` is defined.
# wait_until polls a command until it succeeds. The bound (a minute) is
# reached only by a hung run: a busy machine is slow, never wrong.
wait_until() {   # what failed, command...
    local what=$1
    shift
    for _ in $(seq 1 600); do
        "$@" && return 0
        sleep 0.1
    done
    fail "$what"
}
file_written() { [ -s "$1" ]; }
