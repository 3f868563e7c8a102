#!/usr/bin/env bash
# The manual page renders without warnings and names every command word,
# every option with its NO-form, the files and the environment variables.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
page="$source_dir/docs/zeph.1"
fail() { echo "FAIL: $*"; exit 1; }
command -v man >/dev/null || fail "man is missing (man-db)"

warnings=$(groff -ww -z -man "$page" 2>&1) || fail "groff failed"
[ -z "$warnings" ] || fail "groff warnings: $warnings"
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man failed"
[ -z "$warnings" ] || fail "man warnings: $warnings"
text=$(MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
wide=$(awk 'length > 80' <<<"$text")
[ -z "$wide" ] || fail "lines wider than 80: $wide"

for word in WA SP AS BS RE IM AM PO DP RP DD RD XY PR SU RX RR IN GR WP SG WI LT CS CH DX IX FF AC CV XC SW A= B= \
            AD MU DE SH EQ CR RT RF RA RB RC SY AL SE RL EN NOPAUSE ZEPH32.TMP ZEPH32.RL STATS.TXT ZEPH_PLOT \
            ZEPH_THREADS ZEPH_AUDIO XDG_STATE_HOME --help --version; do
    grep -qF -- "$word" <<<"$text" || fail "$word missing"
done
# Every option of the option scan, and the NO-form of each that has one.
# Every option of the command table, with its NO-form (OV has none).
options=$(grep -oE '((option|output)\("|\.word = ")[A-Z][A-Z]", (&OptionSet|\.kind = WordKind::option)' \
          "$source_dir/shell/command_rows.cpp" | grep -oE '"[A-Z][A-Z]"' | tr -d '"')
[ "$(wc -l <<<"$options")" -ge 27 ] || fail "option table not found"
while read -r word; do
    grep -qE "(^|[ ,])$word([ ,]|$)" <<<"$text" || fail "option $word missing"
    if [ "$word" != OV ]; then
        grep -qF "NO$word" <<<"$text" || fail "NO$word missing"
    fi
done <<<"$options"
for value in auto window sixel kitty iterm symbols none; do
    grep -qw "$value" <<<"$text" || fail "ZEPH_PLOT value $value missing"
done
echo "manual page ok"
