#!/usr/bin/env bash
# EQ alone against numpy, side by side: rounds of build/bench_eq (the whole
# signal formulas and the session's two) and bench/eq_numpy.py taken in
# turn, so a busy machine slows both alike; the fastest of each is printed in
# ns per sample, wall and CPU time (zeph on one thread and on two, numpy on
# one; on a busy machine the CPU times of one thread are the fairer pair).
#   bench/eq_compare.sh [rounds] [bench_eq]     (default 3, build/bench_eq)
# ZEPH_VECTOR_MATH=avx2 (or sse2) runs the vector math as on a machine
# without the wider instructions.
set -euo pipefail
rounds="${1:-3}"
bench="${2:-build/bench_eq}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="$(mktemp -d "${TMPDIR:-/tmp}/eq_compare.XXXXXX")"
trap 'rm -rf "$out"' EXIT
for ((r = 0; r < rounds; ++r)); do
    "$bench" --benchmark_filter='BM_Eq(Signal|SignalNormal|SessionA|SessionB)/' --benchmark_format=csv \
        2> /dev/null | grep '^"BM_' >> "$out/zeph.csv"
    /usr/bin/python3 "$here/eq_numpy.py" 1 >> "$out/numpy.txt"
done
echo "zeph (fastest of $rounds, ns per sample, wall and CPU; the CPU time counts the first thread only):"
awk -F, '{ gsub(/"/, "", $1); split($1, p, "/"); wall = $3 * 1e6 / p[2]; cpu = $4 * 1e6 / p[2];
           if (!($1 in w) || wall < w[$1]) w[$1] = wall; if (!($1 in c) || cpu < c[$1]) c[$1] = cpu }
         END { for (k in w) printf "  %-40s %7.2f %7.2f\n", k, w[k], c[k] }' "$out/zeph.csv" | sort
echo "numpy (fastest of $rounds, ns per sample, wall and CPU):"
sort "$out/numpy.txt" | awk '{ split($0, f, ":"); key = f[1]; split(f[2], v, " ");
       if (!(key in w) || v[1] < w[key]) w[key] = v[1]; if (!(key in c) || v[4] < c[key]) c[key] = v[4] }
     END { for (k in w) printf "  %-40s %7.2f %7.2f\n", k, w[k], c[k] }' | sort
