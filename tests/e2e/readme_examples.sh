#!/usr/bin/env bash
# Runs every example of the README, in order, in one fresh folder, with the
# program copied to build/zeph there:
# - a ```zeph-session block is one headless run of zeph, one reply per line;
#   it must end with EN, and a files="a b" word on its fence names files it
#   must have written;
# - each line of a ```sh zeph-run block is a shell command.
# Any error message in a transcript, a non-zero exit or a session that does
# not end at its EN fails the test.
set -euo pipefail
program=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
readme=${README:-$source_dir/README.md}
work=$(mktemp -d)
# README_TRANSCRIPTS=folder keeps the transcripts for reading.
trap '[ -n "${README_TRANSCRIPTS:-}" ] && cp "$work"/*.transcript "$README_TRANSCRIPTS"/ 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/build" "$work/blocks"
cp "$program" "$work/build/zeph"
export PATH="$work/build:$PATH" ZEPH_PLOT=none
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "FAIL: $*"; exit 1; }
errors='ERROR|Error|[Cc]annot |Must |Incorrect entry|has not been|Unable to|not recognized|incompatible|do not match|allowed|MISSING|NOT BEEN ASSIGNED|No samples|out of range|too small|Graf32|Syntax is'

# Split the README into numbered block files: NNN.session or NNN.run, and NNN.files.
awk -v dir="$work/blocks" '
    /^```/ && inside { inside = 0; close(out); next }
    /^```zeph-session/ || /^```sh zeph-run/ {
        n++; inside = 1
        kind = ($0 ~ /zeph-session/) ? "session" : "run"
        out = sprintf("%s/%03d.%s", dir, n, kind)
        printf "" > out
        files = ""
        if (match($0, /files="[^"]*"/)) files = substr($0, RSTART + 7, RLENGTH - 8)
        printf "%s\n", files > sprintf("%s/%03d.files", dir, n)
        next
    }
    inside { print > out }
' "$readme"

sessions=0
for block in "$work"/blocks/*.session "$work"/blocks/*.run; do
    [ -e "$block" ] || continue
    [ "${block##*.}" = session ] && sessions=$((sessions + 1))
done
[ "$sessions" -ge 5 ] || fail "only $sessions zeph-session blocks in $readme"

for block in $(ls "$work"/blocks/*.session "$work"/blocks/*.run | sort); do
    name=$(basename "$block")
    transcript="$work/${name%.*}.transcript"
    if [ "${block##*.}" = session ]; then
        [ "$(tail -n 1 "$block")" = EN ] || fail "block $name does not end with EN"
        (cd "$work" && build/zeph <"$block" >"$transcript" 2>&1) || fail "block $name: exit status $?"
        [ "$(tail -n 1 "$transcript")" = EN ] || { cat "$transcript"; fail "block $name did not end at its EN"; }
    else
        : >"$transcript"
        while IFS= read -r command; do
            [ -n "$command" ] || continue
            (cd "$work" && bash -c "$command" </dev/null >>"$transcript" 2>&1) || fail "$command: exit status $?"
        done <"$block"
    fi
    if grep -En "$errors" "$transcript"; then
        fail "block $name: error messages in the transcript"
    fi
    for file in $(cat "$work/blocks/${name%.*}.files"); do
        [ -s "$work/$file" ] || fail "block $name did not write $file"
    done
done
echo "README examples ok: $(ls "$work"/blocks/*.session "$work"/blocks/*.run 2>/dev/null | wc -l) blocks"
