#!/usr/bin/env bash
# ME to SVG and PDF against the BI bitmap of the same plot: the program plots
# one period of a sine headless with ME and BI; rsvg-convert and pdftoppm
# render the files at the bitmap's size without a word on standard error,
# pdffonts lists every font embedded, and the frame corners, the curve and
# the title lie where the bitmap has them.
#
# Argument 1: the path of build/zeph. ZEPH_E2E_KEEP=dir keeps the pictures there.
set -euo pipefail
program=$(readlink -f "$1")
# Debian's python3 (with python3-numpy), not one that a user's PATH puts first.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
for tool in rsvg-convert pdftoppm pdffonts convert identify; do
    command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "vector export test failed: $*"; tail -n 20 "$work/transcript.txt" 2>/dev/null || true; exit 1; }
cd "$work"

"$python" -c "
import math
for i in range(256): print(1000 * math.sin(2 * math.pi * i / 256))" > sine.txt
# Two plots of the same view: ME to SVG with BI, then ME to PDF with BI.
printf 'RT\nsine.txt\n\nWA RE PL ME BI\n\nplot.svg\nsvg.bmp\n\nWA RE PL ME BI\n\nplot.PDF\npdf.bmp\n\nEN\n' |
    env -u DISPLAY ZEPH_PLOT=none timeout 60 "$program" > transcript.txt 2>&1 || fail "the run failed"
for f in plot.svg plot.PDF svg.bmp pdf.bmp; do [ -s "$f" ] || fail "$f was not written"; done
grep -q "Error writing file" transcript.txt && fail "a write failed"

# The window maps the 4:3 world with equal scales, centred: compare the
# vector pictures with that centred part of the bitmaps.
read -r window_width window_height < <(identify -format '%w %h\n' svg.bmp)
if [ $((window_width * 3)) -gt $((window_height * 4)) ]; then
    width=$((window_height * 4 / 3)); height=$window_height
else
    width=$window_width; height=$((window_width * 3 / 4))
fi
for f in svg.bmp pdf.bmp; do
    convert "$f" -gravity center -crop "${width}x${height}+0+0" +repage "$f.cropped.bmp" && mv "$f.cropped.bmp" "$f"
done
rsvg-convert -w "$width" -h "$height" plot.svg -o svg.png 2> rsvg.err || fail "rsvg-convert failed"
[ -s rsvg.err ] && fail "rsvg-convert: $(cat rsvg.err)"
pdftoppm -png -singlefile -scale-to-x "$width" -scale-to-y "$height" plot.PDF pdf 2> pdftoppm.err ||
    fail "pdftoppm failed"
[ -s pdftoppm.err ] && fail "pdftoppm: $(cat pdftoppm.err)"
pdffonts plot.PDF > fonts.txt 2>&1 || fail "pdffonts failed"
fonts=$(tail -n +3 fonts.txt | wc -l)
[ "$fonts" -ge 1 ] || fail "no fonts in the PDF: $(cat fonts.txt)"
tail -n +3 fonts.txt | awk '{ if ($(NF-4) != "yes") exit 1 }' || fail "a font is not embedded: $(cat fonts.txt)"
for f in svg.bmp pdf.bmp svg.png pdf.png; do convert "$f" "${f%.*}_${f##*.}.ppm"; done

"$python" - svg_bmp.ppm svg_png.ppm pdf_bmp.ppm pdf_png.ppm <<'PY' || fail "the pictures differ"
import sys
import numpy as np

def load(path):
    data = open(path, 'rb').read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace(): at += 1
        start = at
        while not data[at:at + 1].isspace(): at += 1
        fields.append(data[start:at])
    w, h = int(fields[1]), int(fields[2])
    return np.frombuffer(data[at + 1:at + 1 + w * h * 3], np.uint8).reshape(h, w, 3).astype(int)

def frame(img):
    # The axes: the columns and rows that are dark over at least 40 % of the
    # picture (the left and the bottom axis); the corners are where they end.
    dark = (img.max(axis=2) < 160)
    cols = np.where(dark.mean(axis=0) > 0.4)[0]
    rows = np.where(dark.mean(axis=1) > 0.4)[0]
    left_axis = dark[:, cols.min():cols.max() + 1].all(axis=1)
    bottom_axis = dark[rows.min():rows.max() + 1, :].all(axis=0)
    return cols.min(), np.where(bottom_axis)[0].max(), np.where(left_axis)[0].min(), rows.max()

def curve(img, left, right):
    # Mean row of the curve's blue ink in each column inside the frame.
    blue = (img[:, :, 2] > 120) & (img[:, :, 0] < 110) & (img[:, :, 1] < 110)
    rows = {}
    for x in range(left + 4, right - 3):
        ys = np.where(blue[:, x])[0]
        if len(ys): rows[x] = ys.mean()
    return rows

def title(img, top):
    # Ink above the frame, right of the axis labels: its bounding box centre.
    dark = (img.max(axis=2) < 160)[:max(top - 8, 1), :]
    ys, xs = np.nonzero(dark)
    return (xs.min() + xs.max()) / 2, (ys.min() + ys.max()) / 2

ok = True
for bitmap_path, vector_path in ((sys.argv[1], sys.argv[2]), (sys.argv[3], sys.argv[4])):
    bitmap, vector = load(bitmap_path), load(vector_path)
    fb, fv = frame(bitmap), frame(vector)
    print(vector_path, 'frame', fv, 'bitmap', fb)
    if max(abs(a - b) for a, b in zip(fb, fv)) > 3:
        print('frame corners differ'); ok = False
    cb, cv = curve(bitmap, fb[0], fb[1]), curve(vector, fb[0], fb[1])
    common = sorted(set(cb) & set(cv))
    if len(common) < 0.8 * (fb[1] - fb[0]):
        print('curve columns', len(common)); ok = False
    else:
        error = np.median([abs(cb[x] - cv[x]) for x in common])
        print('curve median row difference', error)
        if error > 2: ok = False
    tb, tv = title(bitmap, fb[2]), title(vector, fv[2])
    print('title centre', tv, 'bitmap', tb)
    if abs(tb[0] - tv[0]) > 8 or abs(tb[1] - tv[1]) > 6:
        print('title placed differently'); ok = False
sys.exit(0 if ok else 1)
PY
if [ -n "${ZEPH_E2E_KEEP:-}" ]; then cp ./*.png ./*.bmp ./*.svg ./*.PDF "$ZEPH_E2E_KEEP"/; fi
echo "vector export test passed"
