#!/usr/bin/env bash
# End-to-end timing of kq4calc: every example and the problem near both limits, with the
# number of linear programs, peak memory, and (with --compare) the same LP sequence solved by
# GLPK and CLP through lp_compare. KQ4_COLD_START=1 in the environment solves every program
# from nothing (for a comparison with the warm starts between levels).
#   bench/kq4calc_bench.sh [--compare]
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
top=$PWD
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTERVANA_BUILD_TESTS=OFF \
    -DTERVANA_BUILD_BENCH="$([ "${1:-}" = --compare ] && echo ON || echo OFF)" >/dev/null
cmake --build build-bench --target kq4calc >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-26s %6s %10s %8s %8s %9s %s\n' input LPs iterations seconds "peak MB" "result" "beta"
for f in examples/*.kq4 bench/near_limits.kq4; do
    rm -rf "$work"/* && cp "$f" "$work/x.kq4"
    (cd "$work" && KQ4_TRACE=1 /usr/bin/time -f '%e %M' "$top/build-bench/bin/kq4calc" x.kq4 0 \
        2>stderr.txt >/dev/null)
    lps=$(grep -c 'kq4calc: LP' "$work/stderr.txt" || true)
    iters=$(grep -o 'iterations=[0-9]*' "$work/stderr.txt" | awk -F= '{s += $2} END {print s + 0}')
    read -r secs kb < <(tail -1 "$work/stderr.txt")
    beta=$(tail -1 "$work/x.fk1" 2>/dev/null | awk '{print $1}')
    printf '%-26s %6s %10s %8s %8.1f %9s %s\n' "$(basename "$f")" "$lps" "$iters" "$secs" \
        "$(echo "$kb/1024" | bc -l)" \
        "$(tr -d ' ' < "$work/kq4.err")" "${beta:--}"
done
if [ "${1:-}" = --compare ]; then
    cmake --build build-bench --target lp_compare >/dev/null
    rm -rf "$work"/* && mkdir "$work/lps" && cp bench/near_limits.kq4 "$work/x.kq4"
    (cd "$work" && KQ4_DUMP_LP="$work/lps" "$top/build-bench/bin/kq4calc" x.kq4 0 >/dev/null)
    "$top/build-bench/bench/lp_compare" --runs 1 "$work"/lps/*.mps
fi
