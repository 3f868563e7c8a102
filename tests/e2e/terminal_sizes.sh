#!/usr/bin/env bash
# The console in tmux at 80 x 24, 80 x 30, 100 x 40, 80 x 50 and 200 x 60:
# - every zeph-session block of the README typed through to its EN, one key
#   or reply at a time, each sent when the program waits for input again; the
#   replay files it saves hold the same replies at every size;
# - the help window paged to its last row and back (below 50 rows);
# - a listing page cut to the rows there are, its footer on the last row.
# At 60 x 20 the request to enlarge shows, typed keys are refused and nothing
# runs; a resize from 80 x 50 to 80 x 24 and back in the middle of a reply
# keeps what was typed.
set -euo pipefail
export LC_ALL=C.UTF-8
program=$1
session="zeph-sizes-$$"
source "$(dirname "$0")/tmux_common.bash"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
readme=$source_dir/README.md
unset DISPLAY WAYLAND_DISPLAY

# --- the program's state, read from /proc ---------------------------------------
pid=
pane_dead() { [ "$(tmux display -p -t "$session" '#{pane_dead}')" = 1 ]; }
# Bytes the program has read so far (keys among them).
bytes_read() { awk '/^rchar/ { print $2 }' "/proc/$pid/io" 2>/dev/null || echo gone; }
# Asleep in a read of the terminal: every key sent has been taken.
waiting_for_keys() { pane_dead || [ "$(cat "/proc/$pid/wchan" 2>/dev/null)" = wait_woken ]; }
read_since() { pane_dead || [ "$(bytes_read)" != "$1" ]; }

start() {   # folder, columns, rows
    local command="cd '$1' && TERM=xterm-256color LANG=C.UTF-8 exec build/zeph"
    if tmux has-session -t "$session" 2>/dev/null; then
        tmux resize-window -t "$session" -x "$2" -y "$3"
        tmux respawn-pane -k -t "$session" "$command"
    else
        new_session -x "$2" -y "$3" "$command"
    fi
    pid=$(tmux display -p -t "$session" '#{pane_pid}')
    wait_until "the program did not start" waiting_for_keys
}

# Sends tmux keys and waits until the program has taken them and waits again.
send() {
    local before
    before=$(bytes_read)
    tmux send-keys -t "$session" "$@"
    wait_until "keys not read: $*" read_since "$before"
    wait_until "no wait for keys after: $*" waiting_for_keys
}

# A row of the pane (1-based; negative: from the bottom) without the blanks around it.
row_text() {
    local rows
    rows=$(screen | wc -l)
    screen | sed -n "$(($1 > 0 ? $1 : rows + 1 + $1))p" | sed 's/^ *//; s/ *$//'
}

reply_count() { wc -l <"$1/build/ZEPH32.TMP" 2>/dev/null || echo 0; }

# One line of a README block, as a user types it at this point.
type_line() {   # folder, line
    # A text cut into pages: a key shows the next one.
    while on_screen "-- any key: more (lines"; do send Space; done
    case "$2" in
        "") send Enter ;;
        "<ESC>") send Escape ;;
        /)  # answers at once where numbers are asked; a text question wants Enter
            local before
            before=$(reply_count "$1")
            send /
            [ "$(reply_count "$1")" != "$before" ] || send Enter ;;
        *)  # a reply: its question is on the screen
            on_screen "<Enter>" || fail "no prompt block on the screen to type: $2"
            send -l "$2"
            send Enter ;;
    esac
}

# --- the README's blocks ---------------------------------------------------------
blocks=$work/blocks
mkdir -p "$blocks"
awk -v dir="$blocks" '
    /^```/ && inside { inside = 0; close(out); next }
    /^```zeph-session/ || /^```sh zeph-run/ {
        n++; inside = 1
        out = sprintf("%s/%03d.%s", dir, n, ($0 ~ /zeph-session/) ? "session" : "run")
        printf "" > out
        next
    }
    inside { print > out }
' "$readme"
[ "$(ls "$blocks"/*.session | wc -l)" -ge 5 ] || fail "too few zeph-session blocks in $readme"

tour() {   # columns, rows
    local folder=$work/tour-$1x$2
    mkdir -p "$folder/build"
    cp "$work/zeph" "$folder/build/zeph"
    for block in $(ls "$blocks"/*.session "$blocks"/*.run | sort); do
        local name
        name=$(basename "$block")
        if [ "${block##*.}" = run ]; then
            while IFS= read -r command; do
                [ -n "$command" ] || continue
                (cd "$folder" && ZEPH_PLOT=none bash -c "$command" </dev/null >/dev/null 2>&1) ||
                    fail "$1 x $2: $command"
            done <"$block"
            continue
        fi
        start "$folder" "$1" "$2"
        while IFS= read -r line; do
            pane_dead && fail "$1 x $2, block $name: the program ended before: $line"
            type_line "$folder" "$line"
        done <"$block"
        wait_until "$1 x $2, block $name did not end at its EN" pane_dead
        # The replies the run saved, without the working folder (line 1).
        tail -n +2 "$folder/build/ZEPH32.RL" >"$work/$1x$2-${name%.*}.replies"
    done
}

sizes="80x50 80x24 80x30 100x40 200x60"
for size in $sizes; do tour "${size%x*}" "${size#*x}"; done
for size in $sizes; do
    for replies in "$work"/80x50-*.replies; do
        other=$work/$size-${replies#"$work"/80x50-}
        cmp -s "$replies" "$other" || { diff "$replies" "$other" || true; fail "replies at $size differ: $other"; }
    done
done
echo "README tour: the same replies at $sizes"

# --- the help window and a listing page at each size ----------------------------
# A is 0 .. 99, listed whole (the default range).
pages=$work/pages
mkdir -p "$pages/build"
cp "$work/zeph" "$pages/build/zeph"
for size in $sizes; do
    columns=${size%x*} rows=${size#*x}
    start "$pages" "$columns" "$rows"
    if [ "$rows" -lt 50 ]; then
        window=$((rows - 7))
        wait_for " Help rows 2-$((window + 1)) of 44, PgUp PgDn scroll  » PL"
        for _ in 1 2 3 4; do send PageDown; done
        wait_for " Help rows $((44 - window + 1))-44 of 44"
        on_screen "HIgh resolution, NOHI" || fail "$size: the help's last entry not shown"
        for _ in 1 2 3 4; do send PageUp; done
        wait_for " Help rows 2-$((window + 1)) of 44"
        on_screen "ALlocate     SEt range" || fail "$size: the help's first row not shown"
        # The prompt block stays whole at the bottom.
        [ "$(row_text -5)" = "Enter command..." ] || fail "$size: no prompt row above the block"
    else
        wait_for "ZEPH 1.0 - interactive signal-analysis workbench"
        send PageDown
        on_screen "ZEPH 1.0 - interactive signal-analysis workbench" || fail "$size: the help moved"
        on_screen " Help rows" && fail "$size: a help header at full height"
    fi
    type_line "$pages" "AS EQ"
    type_line "$pages" "100 0 1"
    type_line "$pages" "X"
    type_line "$pages" "AS RE NOPL LI"
    type_line "$pages" ""
    lines=$(( rows - 4 < 40 ? rows - 4 : 40 ))
    wait_for "<PgDn>, <PgUp>, <Home>, <End>, <Esc>"
    last_shown=$(screen | grep -E '^ +[0-9]+   ' | tail -n 1 | awk '{ print $1 }')
    [ "$last_shown" = "$lines" ] || fail "$size: the page ends at value $last_shown, not $lines"
    if [ "$rows" -lt 50 ]; then
        [ "$(row_text "$rows")" = "<PgDn>, <PgUp>, <Home>, <End>, <Esc>" ] ||
            fail "$size: the footer is not on the last row"
    fi
    send End
    wait_for "** END OF LISTING **"
    screen | grep -qE '^ +100   ' || fail "$size: End does not show the last value"
    send Escape
    type_line "$pages" "EN"
    wait_until "$size: no end" pane_dead
done
echo "help window and listing pages cut at $sizes"

# --- too small: keys are refused ------------------------------------------------
small=$work/small
mkdir -p "$small/build"
cp "$work/zeph" "$small/build/zeph"
start "$small" 80 24
wait_for "Enter command..."
tmux resize-window -t "$session" -x 60 -y 20
wait_for "zeph needs a terminal of at least 80 x 24"
wait_for "this one is 60 x"
replies=$(reply_count "$small")
send -l "EN"
send Enter
send -l "AS EQ"
send Enter
pane_dead && fail "60 x 20: keys typed behind the request ended the program"
[ "$(reply_count "$small")" = "$replies" ] || fail "60 x 20: a reply was taken behind the request"
tmux resize-window -t "$session" -x 80 -y 24
wait_for "Enter command..."
[ "$(row_text -2)" = "" ] || fail "refused keys reached the edit line"
type_line "$small" "EN"
wait_until "no end after the terminal was enlarged" pane_dead
echo "keys refused at 60 x 20"

# --- a resize in the middle of a reply ------------------------------------------
start "$small" 80 50
type_line "$small" "AS EQ"
wait_for "Enter   # sample points,   Xmin,   dX"
send -l "1024 0"
tmux resize-window -t "$session" -x 80 -y 24
wait_for " Help rows"
on_screen "Enter   # sample points,   Xmin,   dX" || fail "the question is gone at 80 x 24"
[ "$(row_text -2)" = "1024 0" ] || fail "the reply typed is not on the edit row at 80 x 24"
tmux resize-window -t "$session" -x 80 -y 50
wait_for "ZEPH 1.0 - interactive signal-analysis workbench"
on_screen " Help rows" && fail "the help header stayed at 80 x 50"
[ "$(row_text 49)" = "1024 0" ] || fail "the reply typed is not on the edit row at 80 x 50"
send -l " 1"
send Enter
type_line "$small" "SIN(X/20.)"
wait_for "Enter command..."
type_line "$small" "EN"
wait_until "no end after the resizes" pane_dead
grep -q "^1024 0 1 *\*! Enter   # sample points" "$small/build/ZEPH32.RL" || {
    cat "$small/build/ZEPH32.RL"; fail "the reply typed across the resizes was not taken whole"; }
echo "terminal sizes ok"
