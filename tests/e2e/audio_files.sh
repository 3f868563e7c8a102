#!/usr/bin/env bash
# Audio files through the whole program, headless: sox makes one tone as
# 16-bit WAV and in the other formats; RA reads each and FI writes its real
# parts as ASCII, which must agree with the 16-bit WAV's on the 16-bit scale
# (lossy formats within their error). FI writes FLAC, AIFF and Ogg that sox
# reads back with the values and rate. A damaged file of each format gives
# "Error reading file:" and leaves signal A as it was.
#
# Argument 1: the path of build/zeph.
set -euo pipefail
program=$(readlink -f "$1")
python=/usr/bin/python3
[ -x "$python" ] || python=python3
command -v sox >/dev/null || { echo "sox is missing"; exit 1; }
work=$(mktemp -d)
trap '[ -n "${ZEPH_E2E_KEEP:-}" ] && cp "$work"/transcript.txt "$ZEPH_E2E_KEEP"/; rm -rf "$work"' EXIT
fail() { echo "audio files test failed: $*"; tail -n 20 "$work/transcript.txt" 2>/dev/null || true; exit 1; }
cd "$work"

sox -D -n -r 8000 -b 16 -c 1 tone.wav synth 0.1 sine 440 vol 0.6
sox -D tone.wav -b 24 tone24.wav
sox -D tone.wav -e floating-point -b 32 float.wav
sox -D tone.wav -b 24 tone.flac
sox -D tone.wav tone.aiff
sox -D tone.wav tone.caf
sox -D tone.wav tone.ogg
lossless=(tone.wav tone24.wav float.wav tone.flac tone.aiff tone.caf)

# One run: each file read with RA and written as 1C; then FI to the audio formats.
input=""
for f in "${lossless[@]}" tone.ogg; do
    input+="RA\n$f\n\nAS RE FI\n$f.txt\n1C\n"
done
for f in out.flac out.aiff out.ogg; do
    input+="RA\ntone.wav\n\nAS RE FI\n$f\nMO\n"
done
# Damaged copies: cut inside the header, and a header scrambled after the magic.
for f in tone24.wav tone.flac tone.aiff tone.ogg tone.caf; do
    head -c 20 "$f" > "cut_$f"
    "$python" -c "
import sys
data = bytearray(open('$f', 'rb').read())
for k in range(12, 64): data[k] ^= 0xA5
open('bad_$f', 'wb').write(data)"
    input+="RA\ncut_$f\n\nRA\nbad_$f\n\n"
done
input+="AS RE FI\nafter.txt\n1C\nEN\n"
status=0
printf "$input" | env -u DISPLAY ZEPH_PLOT=none timeout 60 "$program" > transcript.txt 2> errors.txt || status=$?
# The damaged reads are errors: the run says so with its status and on standard error, one line each.
[ "$status" = 1 ] || fail "the run ended with status $status, not 1"
[ "$(grep -c '^zeph: .*: \(cut\|bad\)_tone' errors.txt)" = 10 ] || { cat errors.txt; fail "errors on standard error"; }
[ "$(wc -l < errors.txt)" = 10 ] || { cat errors.txt; fail "other errors on standard error"; }

"$python" - "${lossless[@]}" <<'PY' || fail "values differ"
import sys
ref = [float(v) for v in open('tone.wav.txt')]
assert len(ref) == 800, len(ref)
for name in sys.argv[1:] + ['tone.ogg']:
    got = [float(v) for v in open(name + '.txt')]
    assert len(got) == len(ref), (name, len(got))
    if name == 'tone.ogg':
        error = (sum((a - b) ** 2 for a, b in zip(got, ref)) / sum(b * b for b in ref)) ** 0.5
        assert error < 0.05, (name, error)
    else:
        worst = max(abs(a - b) for a, b in zip(got, ref))
        assert worst == 0, (name, worst)
# After the damaged reads signal A is still the last file read well (tone.wav).
after = [float(v) for v in open('after.txt')]
assert after == ref, 'signal A changed'
PY

for f in out.flac out.aiff out.ogg; do
    [ "$(sox --i -r "$f")" = 8000 ] || fail "$f: rate $(sox --i -r "$f")"
    [ "$(sox --i -c "$f")" = 1 ] || fail "$f: channels"
    sox "$f" -t dat - | grep -v '^;' | awk '{ print $2 * 32768 }' > "$f.sox.txt"
done
"$python" - <<'PY' || fail "sox reads other values"
ref = [float(v) for v in open('tone.wav.txt')]
for name, limit in (('out.flac', 1e-3), ('out.aiff', 1e-3), ('out.ogg', 0.05)):
    got = [float(v) for v in open(name + '.sox.txt')]
    assert len(got) == len(ref), (name, len(got))
    if limit < 0.01:
        worst = max(abs(a - b) for a, b in zip(got, ref))
        assert worst <= limit, (name, worst)
    else:
        error = (sum((a - b) ** 2 for a, b in zip(got, ref)) / sum(b * b for b in ref)) ** 0.5
        assert error < limit, (name, error)
PY

for f in tone24.wav tone.flac tone.aiff tone.ogg tone.caf; do
    for damaged in "cut_$f" "bad_$f"; do
        grep -qE "^(Error reading file|No data chunk in WAV file|No samples in file): $damaged" transcript.txt ||
            fail "no message for $damaged"
    done
done
echo "audio files test passed"
