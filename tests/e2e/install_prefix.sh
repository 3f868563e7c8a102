#!/usr/bin/env bash
# cmake --install puts bin/zeph and the manual page under a prefix; run from a
# folder it cannot write (as an installed program is), zeph keeps its reply
# log, replay file and STATS.TXT in $XDG_STATE_HOME/zeph.
set -euo pipefail
program=$1
build_dir=$(cd "$(dirname "$program")" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
[ -x "$work/prefix/bin/zeph" ] || fail "bin/zeph not installed"
[ -f "$work/prefix/share/man/man1/zeph.1.gz" ] || fail "share/man/man1/zeph.1.gz not installed"
MANWIDTH=80 man -l "$work/prefix/share/man/man1/zeph.1.gz" 2>/dev/null | grep -q "zeph - interactive" \
    || fail "installed manual page does not render"
chmod -R a-w "$work/prefix"

# Root may write anywhere, so as root the program runs as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
mkdir -p "$work/state" "$work/run"
chmod 777 "$work/state" "$work/run"

run() {   # replies on standard input
    (cd "$work/run" && env -i PATH=/usr/bin:/bin HOME=/nonexistent XDG_STATE_HOME="$work/state" \
        ZEPH_PLOT=none "${as_user[@]}" "$work/prefix/bin/zeph" "$@")
}

out=$(run --help </dev/null) || fail "--help failed"
grep -qF "For this program: $work/state/zeph/" <<<"$out" || fail "--help names another folder: $out"
[ ! -e "$work/state/zeph" ] || fail "--help created the state folder"

# A few replies, a statistics report saved with SS, then EN.
printf 'AS EQ\n64 0 1\nSIN(X)\nAS RE ST SS NOPL LI\n\n\n<ESC>\nEN\n' | run >"$work/transcript.txt" \
    || fail "headless run failed"
for file in ZEPH32.TMP ZEPH32.RL STATS.TXT; do
    [ -s "$work/state/zeph/$file" ] || { cat "$work/transcript.txt"; fail "$file not in the state folder"; }
done
grep -q "^SIN(X) *\*! " "$work/state/zeph/ZEPH32.RL" || fail "replay file lacks the replies"
[ -z "$(ls -A "$work/prefix/bin" | grep -v '^zeph$')" ] || fail "files written beside the program"

# The replay of that run from the state folder ends by itself.
run RL NOPAUSE </dev/null >"$work/replay.txt" || fail "replay failed"
grep -qF "SIN(X)" "$work/replay.txt" || fail "replay did not replay"

# As the program's own user (root here) with its bin folder writable: an
# installation still keeps nothing beside the program.
if [ "$(id -u)" -eq 0 ]; then
    chmod -R u+w "$work/prefix"
    (cd "$work/run" && printf 'DE\nQ=1\nEN\n' | env -i PATH=/usr/bin:/bin HOME="$work/roothome" ZEPH_PLOT=none \
        "$work/prefix/bin/zeph" >"$work/root.txt") || fail "run as the owner failed"
    [ -z "$(ls -A "$work/prefix/bin" | grep -v '^zeph$')" ] || fail "files written beside a writable bin folder"
    [ -s "$work/roothome/.local/state/zeph/ZEPH32.RL" ] || fail "no replay file in the owner's state folder"
fi
echo "install prefix ok"
