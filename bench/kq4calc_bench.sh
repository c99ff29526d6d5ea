#!/usr/bin/env bash
# End-to-end timing of kq4calc: every example and the problem near both limits, with the
# number of linear programs, the passes and rows that added rows the build left out, the rounds
# and rows of the whole-cycle refinement, iterations, user CPU time, peak memory, and (with
# --compare) the same LP sequence solved by GLPK and CLP through lp_compare. In the environment
# KQ4_COLD_START=1 solves every program from nothing, KQ4_SAMPLE_STRIDE=1 builds every row and
# KQ4_MULTIPLIER_RULE=1 keeps the solver's default rule (for comparisons).
#   bench/kq4calc_bench.sh [--whole-cycle[=TOL]] [--check] [--compare] [--bin=KQ4CALC] [FILE ...]
#     --whole-cycle[=TOL]  run a copy of each input with its start record's RPar[3] = TOL
#                          (default 0.001): the bounds held on the whole cycle
#     --check              add the largest relative violation of the written results on the
#                          whole cycle, by the independent evaluation of the tests (cycle_check)
#     --bin=KQ4CALC        time that program (another build's, e.g. of an earlier commit)
#                          instead of this tree's Release build
#     FILE ...             inputs instead of examples/*.kq4, examples/*.k4p, bench/*.kq4
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
top=$PWD
tol="" compare=OFF check=OFF files=() bin=""
for a in "$@"; do
    case $a in
    --whole-cycle) tol=0.001 ;;
    --whole-cycle=*) tol=${a#--whole-cycle=} ;;
    --check) check=ON ;;
    --compare) compare=ON ;;
    --bin=*) bin=$(readlink -f "${a#--bin=}") ;;
    -*) echo "kq4calc_bench.sh: unknown option $a" >&2; exit 2 ;;
    *) files+=("$(readlink -f "$a")") ;;
    esac
done
[ ${#files[@]} -gt 0 ] || files=(examples/*.kq4 examples/*.k4p bench/*.kq4)
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTERVANA_BUILD_TESTS=$check \
    -DTERVANA_BUILD_BENCH=$compare >/dev/null
targets=(kq4calc)
[ $check = ON ] && targets+=(cycle_check)
cmake --build build-bench --target "${targets[@]}" >/dev/null
[ -n "$bin" ] || bin=$top/build-bench/bin/kq4calc
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The input with RPar[3] of its start record (the first record of nine integers that begins
# with 0 0) set, all else as it stands.
set_tolerance() {
    awk -v tol="$1" '
        state == 1 && NF >= 3 { $3 = tol; state = 2; print; next }
        state == 0 && NF == 9 && $0 ~ /^[ \t]*0[ \t]+0([ \t]+-?[0-9]+)+[ \t]*\r?$/ { state = 1 }
        { print }' "$2" >"$3"
}

printf '%-28s %5s %6s %7s %6s %6s %10s %8s %8s %6s %s' input LPs passes sampled rounds rows \
    iterations "user s" "peak MB" result beta
[ $check = ON ] && printf '  %s' "violation %"
printf '\n'
for f in "${files[@]}"; do
    rm -rf "${work:?}"/*
    ext=${f##*.}
    if [ -n "$tol" ]; then set_tolerance "$tol" "$f" "$work/x.$ext"; else cp "$f" "$work/x.$ext"; fi
    (cd "$work" && KQ4_TRACE=1 /usr/bin/time -f '%U %M' "$bin" "x.$ext" 0 2>stderr.txt >/dev/null)
    # One trace line per solve; the solves after rows left out were added carry "pass=", those
    # of the refinement "round=".
    solves=$(grep -c 'kq4calc: LP' "$work/stderr.txt" || true)
    rounds=$(grep -c 'round=' "$work/stderr.txt" || true)
    passes=$(grep -c 'pass=' "$work/stderr.txt" || true)
    sum() { { grep -o "$1=[0-9]*" "$work/stderr.txt" || true; } | awk -F= '{s += $2} END {print s + 0}'; }
    rows=$(sum added)
    sampled=$(sum sampled)
    iters=$(sum iterations)
    read -r secs kb < <(tail -1 "$work/stderr.txt")
    beta=$(tail -1 "$work/x.fk1" 2>/dev/null | awk '{print $1}')
    printf '%-28s %5s %6s %7s %6s %6s %10s %8s %8.1f %6s %s' "$(basename "$f")" \
        $((solves - rounds - passes)) "$passes" "$sampled" "$rounds" "$rows" "$iters" "$secs" \
        "$(echo "$kb/1024" | bc -l)" "$(tr -d ' ' <"$work/kq4.err")" "${beta:--}"
    if [ $check = ON ]; then
        records="$work/x.$ext"
        [ -f "$work/x.kqe" ] && records="$work/x.kqe"
        printf '  %s' "$("$top/build-bench/bin/cycle_check" "$records" "$work/x" 2>/dev/null |
            awk '/^worst/ {print $4}')"
    fi
    printf '\n'
done
if [ $compare = ON ]; then
    cmake --build build-bench --target lp_compare >/dev/null
    rm -rf "${work:?}"/* && mkdir "$work/lps" && cp bench/near_limits.kq4 "$work/x.kq4"
    (cd "$work" && KQ4_DUMP_LP="$work/lps" "$bin" x.kq4 0 >/dev/null)
    "$top/build-bench/bench/lp_compare" --runs 1 "$work"/lps/*.mps
fi
