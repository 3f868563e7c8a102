#!/usr/bin/env bash
# The same analysis over many files at once, as GNU parallel runs it: the
# example script over 200 short WAV files made by sox, twice the cores at a
# time, each run in a folder of its own and then all in one folder, every run
# sharing one program copy (so one ZEPH32.TMP, ZEPH32.RL and STATS.TXT). Each
# output equals that of a run alone, STATS.TXT holds exactly one whole block
# per run, ZEPH32.RL is one complete log, no run's own log or temporary file
# is left, and every run ends with status 0.
#
# Argument 1: the path of build/zeph. ZEPH_MANY_FILES sets the number of files.
set -euo pipefail
program=$(readlink -f "$1")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
count=${ZEPH_MANY_FILES:-200}
for tool in sox parallel; do command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }; done
work=$(mktemp -d)
trap '[ -n "${ZEPH_E2E_KEEP:-}" ] || rm -rf "$work"' EXIT
fail() { echo "many files test failed: $*"; exit 1; }

mkdir -p "$work/prog" "$work/alone" "$work/shared"
cp "$program" "$work/prog/zeph"
cp "$source_dir/examples/analyse.RL" "$work/analyse.RL"
for i in $(seq 1 "$count"); do
    sox -D -n -r 8000 -b 16 -c 1 "$work/alone/tone$i.wav" synth 4.5 sine $((100 + 7 * i)) vol 0.5
done
cp "$work"/alone/*.wav "$work/shared/"

# One at a time: the outputs to compare with.
for i in $(seq 1 "$count"); do
    (cd "$work/alone" && ZEPH_IN=tone$i "$work/prog/zeph" "$work/analyse.RL" NOPAUSE > /dev/null) ||
        fail "a run alone ended with status $?"
done
rm "$work/prog/STATS.TXT"

check_stats() {   # $1: what ran
    local stats=$work/prog/STATS.TXT
    [ "$(grep -c '^Time domain function: tone[0-9]*\.wav' "$stats")" = "$count" ] || fail "$1: STATS.TXT blocks"
    # Every block whole: each has the same number of lines as a block alone.
    awk '/^Time domain function:/ { if (n) print n; n = 0 } { n++ } END { print n }' "$stats" | sort -u > "$work/sizes"
    [ "$(wc -l < "$work/sizes")" = 1 ] || fail "$1: blocks of different sizes (torn or mixed): $(tr '\n' ' ' < "$work/sizes")"
    [ "$(sed -n 's/^Time domain function: \(tone[0-9]*\)\.wav.*/\1/p' "$stats" | sort -u | wc -l)" = "$count" ] ||
        fail "$1: a run's block is missing or doubled"
    # One complete log: its header, then every reply of one run up to EN.
    # One complete log: the replies of one run, as the script gives them for its file (EN is not logged).
    local name replies
    name=$(sed -n '5s/^\(tone[0-9]*\)\.wav.*/\1/p' "$work/prog/ZEPH32.RL")
    [ -n "$name" ] || fail "$1: ZEPH32.RL names no input"
    replies() { sed -n '4,$s/ *\*!.*//p' "$1"; }
    [ "$(replies "$work/prog/ZEPH32.RL")" = "$(replies "$work/analyse.RL" | sed "s/\${ZEPH_IN}/$name/; /^EN$/d")" ] ||
        fail "$1: ZEPH32.RL is not one run's whole log"
    local left
    left=$(cd "$work/prog" && ls -A | grep -v -x -e zeph -e ZEPH32.TMP -e ZEPH32.RL -e STATS.TXT || true)
    [ -z "$left" ] || fail "$1: files left beside the program: $left"
    rm "$stats"
}

# Each run in a folder of its own.
export program_copy=$work/prog/zeph script=$work/analyse.RL
jobs=$((2 * $(nproc)))
mkdir -p "$work/own"
seq 1 "$count" | parallel -j "$jobs" --halt now,fail=1 \
    'mkdir -p '"$work"'/own/{} && cp '"$work"'/alone/tone{}.wav '"$work"'/own/{}/ && cd '"$work"'/own/{} &&
     ZEPH_IN=tone{} "$program_copy" "$script" NOPAUSE > /dev/null' || fail "a run in its own folder failed"
for i in $(seq 1 "$count"); do
    cmp -s "$work/alone/tone$i.psd.txt" "$work/own/$i/tone$i.psd.txt" || fail "tone$i.psd.txt differs (own folders)"
done
check_stats "own folders"

# All runs in one folder.
seq 1 "$count" | parallel -j "$jobs" --halt now,fail=1 \
    'cd '"$work"'/shared && ZEPH_IN=tone{} "$program_copy" "$script" NOPAUSE > /dev/null' || fail "a run in the shared folder failed"
for i in $(seq 1 "$count"); do
    cmp -s "$work/alone/tone$i.psd.txt" "$work/shared/tone$i.psd.txt" || fail "tone$i.psd.txt differs (one folder)"
done
left=$(cd "$work/shared" && ls -A | grep -v -e '^tone[0-9]*\.wav$' -e '^tone[0-9]*\.psd\.txt$' || true)
[ -z "$left" ] || fail "files left in the shared folder: $left"
check_stats "one folder"
echo "many files test passed: $count files, $jobs at a time"
