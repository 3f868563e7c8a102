#!/usr/bin/env bash
# zeph --help and --version answer and exit 0 without starting the workbench
# and without touching the reply log; "?" still prints the syntax line.
set -euo pipefail
program=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/zeph"
fail() { echo "FAIL: $*"; exit 1; }

# From a terminal too: with a pipe the workbench would read replies, so give
# it a command it would act on if it started.
out=$(echo "EN" | "$work/zeph" --help) || fail "--help exit status $?"
grep -qF "Usage: zeph [real file] [imag file] [RL] [filename.RL] [NOPAUSE]" <<<"$out" || fail "no usage: $out"
grep -qF "ZEPH_PLOT" <<<"$out" || fail "no ZEPH_PLOT"
grep -qF "For this program: $work/" <<<"$out" || fail "files folder not named: $out"
grep -qF "Maximum number of sample points" <<<"$out" && fail "--help started the workbench"

version=$(sed -n 's/^project(zeph VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$version" ] || fail "no version in CMakeLists.txt"
out=$(echo "EN" | "$work/zeph" --version) || fail "--version exit status $?"
[ "$out" = "zeph $version" ] || fail "--version printed: $out"

out=$(echo "EN" | "$work/zeph" '?') || fail "? exit status $?"
[ "$out" = "Syntax is: ZEPH [real file] [imag file] [RL] [filename.RL] [NOPAUSE]" ] || fail "? printed: $out"

[ ! -e "$work/ZEPH32.TMP" ] || fail "ZEPH32.TMP was created"
[ ! -e "$work/ZEPH32.RL" ] || fail "ZEPH32.RL was created"
echo "entry points ok"
