#!/usr/bin/env bash
# Builds lp_compare (Release, -DTERVANA_BUILD_BENCH=ON) into build-bench/ and runs it.
#   bench/run.sh                       every Netlib and random LP, best of 3 runs
#   bench/run.sh --runs 5 FILE.mps     arguments go to lp_compare (see bench/README.md)
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

# GLPK and CLP come from Debian packages; install them if missing (as ./run.sh does for the rest).
pkgs=(g++ cmake ninja-build pkg-config libopenblas-dev libglpk-dev coinor-libclp-dev)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

gen=()
command -v ninja >/dev/null && [ ! -f build-bench/CMakeCache.txt ] && gen=(-G Ninja)
cmake -S . -B build-bench "${gen[@]}" -DCMAKE_BUILD_TYPE=Release -DTERVANA_BUILD_BENCH=ON \
    -DTERVANA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target lp_compare -j "$(nproc 2>/dev/null || echo 2)"
exec build-bench/bench/lp_compare "$@"
